#include "doubles.h"
#include "testenv.h"

#include "platform/singleinstance.h"

#include <QDialog>
#include <QFile>
#include <QLocalServer>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <memory>

using namespace bm;
using namespace bm::platform;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(bm::platform::SingleInstance::Start)

namespace
{

// What the data folder holds before the program starts.
enum class Left { Nothing, EmptyLockFile, LockOfGoneProcess, LockOfEndedCopy, LockOfLiveCopy };

// What is shown when the call to come forward arrives.
enum class Shown { MainBehindOther, MainMinimized, MainHidden, ModalBox, Nothing };

} // namespace

Q_DECLARE_METATYPE(Left)
Q_DECLARE_METATYPE(Shown)

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteWindows(); }

    void claim_data();
    void claim();
    void foldersApart();

    void comeForward_data();
    void comeForward();
};

void TestSingleInstance::claim_data()
{
    QTest::addColumn<Left>("left");
    QTest::addColumn<SingleInstance::Start>("expected");

    QTest::newRow("first start") << Left::Nothing << SingleInstance::Start::First;
    QTest::newRow("lock file left empty") << Left::EmptyLockFile << SingleInstance::Start::First;
    QTest::newRow("lock of a process that is gone")
        << Left::LockOfGoneProcess << SingleInstance::Start::First;
    QTest::newRow("lock of a copy that has ended") << Left::LockOfEndedCopy << SingleInstance::Start::First;
    QTest::newRow("copy running that does not answer")
        << Left::LockOfLiveCopy << SingleInstance::Start::NoAnswer;
}

void TestSingleInstance::claim()
{
    QFETCH(Left, left);
    QFETCH(SingleInstance::Start, expected);

    QTemporaryDir data;
    const QString folder = data.filePath(QStringLiteral("Brindlemoor"));
    const QString lockName = SingleInstance::lockFileName(folder);
    QDir().mkpath(folder);

    // A copy that runs in this process holds the lock, but its socket is
    // never served while this test waits: it stands for a copy that hangs.
    std::unique_ptr<SingleInstance> holder;
    switch (left) {
    case Left::Nothing:
        break;
    case Left::EmptyLockFile: {
        QFile file(lockName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        break;
    }
    case Left::LockOfGoneProcess: {
        QProcess gone;
        gone.start(QStringLiteral("sleep"), { QStringLiteral("0.1") });
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile file(lockName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::number(pid) + "\nbrindlemoor\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        break;
    }
    case Left::LockOfEndedCopy:
    case Left::LockOfLiveCopy:
        holder = std::make_unique<SingleInstance>(folder);
        QCOMPARE(holder->start(1s), SingleInstance::Start::First);
        if (left == Left::LockOfEndedCopy)
            holder.reset();
        break;
    }

    test::ScriptedMessages messages;
    if (expected == SingleInstance::Start::NoAnswer)
        messages.expect();
    SingleInstance instance(folder);
    QCOMPARE(instance.start(1500ms), expected);

    if (expected == SingleInstance::Start::First) {
        QVERIFY(messages.shown.isEmpty());
        qint64 pid = 0;
        QString host, app;
        QVERIFY(QLockFile(lockName).getLockInfo(&pid, &host, &app));
        QCOMPARE(pid, QCoreApplication::applicationPid());
    } else {
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.last().icon, Icon::Exclamation);
        QVERIFY(messages.last().text.startsWith(QStringLiteral("Brindlemoor is already running")));
        // The running copy keeps its lock.
        qint64 pid = 0;
        QString host, app;
        QVERIFY(QLockFile(lockName).getLockInfo(&pid, &host, &app));
        QCOMPARE(pid, QCoreApplication::applicationPid());
        holder.reset();
        QVERIFY(!QFile::exists(lockName));
    }
}

void TestSingleInstance::foldersApart()
{
    // Two data folders may each have their copy running; one folder named
    // two ways is one folder.
    QTemporaryDir data;
    const QString one = data.filePath(QStringLiteral("one"));
    const QString two = data.filePath(QStringLiteral("two"));
    QDir().mkpath(one);
    QDir().mkpath(two);
    QCOMPARE(SingleInstance::serverName(one), SingleInstance::serverName(two + QStringLiteral("/../one/")));
    QVERIFY(SingleInstance::serverName(one) != SingleInstance::serverName(two));

    SingleInstance first(one);
    SingleInstance second(two);
    QCOMPARE(first.start(1s), SingleInstance::Start::First);
    QCOMPARE(second.start(1s), SingleInstance::Start::First);
}

void TestSingleInstance::comeForward_data()
{
    QTest::addColumn<Shown>("shown");
    QTest::addColumn<QString>("expected");

    QTest::newRow("main window behind another") << Shown::MainBehindOther << QStringLiteral("frmMain");
    QTest::newRow("main window minimized") << Shown::MainMinimized << QStringLiteral("frmMain");
    QTest::newRow("main window hidden by the gear window") << Shown::MainHidden << QStringLiteral("frmGear");
    QTest::newRow("a message box open") << Shown::ModalBox << QStringLiteral("box");
    QTest::newRow("no window shown") << Shown::Nothing << QString();
}

void TestSingleInstance::comeForward()
{
    QFETCH(Shown, shown);
    QFETCH(QString, expected);

    auto *main = new QWidget;
    main->setObjectName(QStringLiteral("frmMain"));
    auto *other = new QWidget;
    other->setObjectName(QStringLiteral("frmGear"));
    switch (shown) {
    case Shown::MainBehindOther:
    case Shown::ModalBox:
        main->show();
        other->show();
        other->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), other);
        break;
    case Shown::MainMinimized:
        main->showMinimized();
        other->show();
        other->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), other);
        break;
    case Shown::MainHidden:
        other->show();
        break;
    case Shown::Nothing:
        break;
    }
    if (shown == Shown::ModalBox) {
        auto *box = new QDialog(main);
        box->setObjectName(QStringLiteral("box"));
        box->setModal(true);
        box->show();
        QTRY_COMPARE(QApplication::activeModalWidget(), box);
        other->activateWindow();
    }

    QWidget *target = platform::comeForward();
    if (expected.isEmpty()) {
        QVERIFY(!target);
        QVERIFY(!main->isVisible());
        return;
    }
    QVERIFY(target);
    QCOMPARE(target->objectName(), expected);
    QVERIFY(target->isVisible());
    QVERIFY(!target->isMinimized());
    QTRY_COMPARE(QApplication::activeWindow(), target);
    // A window that was hidden on purpose stays hidden.
    if (shown == Shown::MainHidden)
        QVERIFY(!main->isVisible());
}

BM_TEST_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
