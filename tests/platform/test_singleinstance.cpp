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

#include <sys/stat.h>
#include <unistd.h>

using namespace bm;
using namespace bm::platform;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(bm::platform::SingleInstance::Start)

namespace
{

// What the data folder holds before the program starts.
enum class Left { Nothing, EmptyLockFile, LockOfGoneProcess, LockOfEndedCopy, LockOfLiveCopy };

// What stands where the private socket folder goes, in a temporary folder
// without a runtime folder (or with one).
enum class Place { Nothing, OursOpen, OursPrivate, Link, File, OtherUsers, RuntimeFolder };

// Sets an environment variable for as long as it lives.
class EnvironmentGuard
{
public:
    EnvironmentGuard(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_before(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentGuard()
    {
        if (m_had)
            qputenv(m_name, m_before);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_before;
};

// The mode bits of a file (not following a link), or -1.
int modeOf(const QString &path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

// What is shown when the call to come forward arrives.
enum class Shown { MainBehindOther, MainMinimized, MainHidden, ModalBox, Nothing };

} // namespace

Q_DECLARE_METATYPE(Left)
Q_DECLARE_METATYPE(Shown)
Q_DECLARE_METATYPE(Place)

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteWindows(); }

    void claim_data();
    void claim();
    void foldersApart();
    void socketPlace_data();
    void socketPlace();

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
        // The lock file is the user's alone, even one left open to all.
        QCOMPARE(modeOf(lockName), 0600);
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

void TestSingleInstance::socketPlace_data()
{
    QTest::addColumn<Place>("place");
    QTest::addColumn<QString>("refusal"); // empty: the socket goes there
    QTest::newRow("no runtime folder, nothing there") << Place::Nothing << QString();
    QTest::newRow("our folder, open to others: closed") << Place::OursOpen << QString();
    QTest::newRow("our private folder") << Place::OursPrivate << QString();
    QTest::newRow("a link in its place") << Place::Link << "is not a folder but a link or a file";
    QTest::newRow("a file in its place") << Place::File << "is not a folder but a link or a file";
    QTest::newRow("another user's folder") << Place::OtherUsers << "belongs to another user";
    QTest::newRow("runtime folder") << Place::RuntimeFolder << QString();
}

// Without a runtime folder the socket goes into a folder of the temporary
// folder that only this user can enter; a place that can not be made so is
// refused, and the program starts without a socket and says why.
void TestSingleInstance::socketPlace()
{
    QFETCH(Place, place);
    QFETCH(QString, refusal);
    QTemporaryDir temp;
    QTemporaryDir runtime;
    QTemporaryDir data;
    const EnvironmentGuard tmpdir("TMPDIR", QFile::encodeName(temp.path()));
    const EnvironmentGuard xdg(
        "XDG_RUNTIME_DIR", place == Place::RuntimeFolder ? QFile::encodeName(runtime.path()) : QByteArray());
    const QString folder = data.filePath(QStringLiteral("Brindlemoor"));
    QDir().mkpath(folder);
    const QString priv = QDir(temp.path()).filePath(QStringLiteral("brindlemoor-%1").arg(::getuid()));
    const QString elsewhere = temp.filePath(QStringLiteral("elsewhere"));
    const QByteArray privNative = QFile::encodeName(priv);
    switch (place) {
    case Place::Nothing:
    case Place::RuntimeFolder:
        break;
    case Place::OursOpen:
        QCOMPARE(::mkdir(privNative.constData(), 0700), 0);
        QCOMPARE(::chmod(privNative.constData(), 0755), 0);
        break;
    case Place::OursPrivate:
        QCOMPARE(::mkdir(privNative.constData(), 0700), 0);
        break;
    case Place::Link:
        // A link to a folder that would pass every other test.
        QCOMPARE(::mkdir(QFile::encodeName(elsewhere).constData(), 0700), 0);
        QVERIFY(QFile::link(elsewhere, priv));
        break;
    case Place::File: {
        QFile file(priv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        break;
    }
    case Place::OtherUsers:
        if (::geteuid() != 0)
            QSKIP("only root can make a folder another user owns");
        QCOMPARE(::mkdir(privNative.constData(), 0700), 0);
        QCOMPARE(::chown(privNative.constData(), 65534, 65534), 0);
        break;
    }

    QString name;
    const Status found = SingleInstance::serverName(folder, name);
    test::ScriptedMessages messages;
    if (refusal.isEmpty()) {
        QVERIFY2(found, qPrintable(found.message()));
        const QString expectedFolder = place == Place::RuntimeFolder ? runtime.path() : priv;
        QCOMPARE(QFileInfo(name).absolutePath(), expectedFolder);
        if (place == Place::RuntimeFolder) {
            QVERIFY(!QFileInfo::exists(priv)); // nothing made in the temporary folder
        } else {
            QVERIFY(QFileInfo(priv).isDir());
            QVERIFY(!QFileInfo(priv).isSymLink());
            QCOMPARE(QFileInfo(priv).ownerId(), ::getuid());
            QCOMPARE(modeOf(priv), 0700);
        }
        SingleInstance instance(folder);
        QCOMPARE(instance.start(1s), SingleInstance::Start::First);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(QFileInfo::exists(name)); // the socket, listening
    } else {
        QVERIFY(!found);
        QVERIFY2(found.message().contains(refusal), qPrintable(found.message()));
        QVERIFY(name.isEmpty());
        QVERIFY(SingleInstance::serverName(folder).isEmpty());
        // The program starts all the same, and says why a second start may
        // not find it.
        messages.expect();
        SingleInstance instance(folder);
        QCOMPARE(instance.start(1s), SingleInstance::Start::First);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.last().icon, Icon::Exclamation);
        QVERIFY2(messages.last().text.contains(refusal), qPrintable(messages.last().text));
        QVERIFY(messages.last().text.startsWith(QStringLiteral("Brindlemoor can not make sure")));
        // Nothing was made through the link, nor anything changed on it.
        if (place == Place::Link) {
            QVERIFY(QDir(elsewhere).isEmpty(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot));
            QCOMPARE(modeOf(elsewhere), 0700);
            QVERIFY(QFileInfo(priv).isSymLink());
        }
        if (place == Place::OtherUsers)
            QCOMPARE(QFileInfo(priv).ownerId(), 65534u);
        // A second start asks nobody.
        QVERIFY(!SingleInstance::callForward(folder, 100ms));
    }
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

    test::FakeHub hub;
    QWidget *main = hub.mainWindow.get();
    main->setObjectName(QStringLiteral("frmMain"));
    const auto otherWindow = std::make_unique<QWidget>();
    QWidget *other = otherWindow.get();
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
