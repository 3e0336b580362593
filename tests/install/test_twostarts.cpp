#include "program.h"
#include "testenv.h"

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

using namespace bm;
using namespace bm::test;
using namespace std::chrono_literals;

namespace
{
const QString program = QStringLiteral(BRINDLEMOOR_EXE);
const QString mainWindow = QStringLiteral("frmMain");

qint64 lockHolder(const QString &dataHome)
{
    qint64 pid = 0;
    QString host, app;
    QLockFile(platform::SingleInstance::lockFileName(programFolder(dataHome))).getLockInfo(&pid, &host, &app);
    return pid;
}
} // namespace

class TestTwoStarts : public QObject
{
    Q_OBJECT
private slots:
    void secondStartCallsTheFirstForward();
    void startsAtOnce();
    void killedCopyIsTakenOver();
};

void TestTwoStarts::secondStartCallsTheFirstForward()
{
    QTemporaryDir home;
    QProcess first;
    startProgram(first, program, home.path());
    QCOMPARE(waitUntilUp(home.path(), 60s).value_or(QString()), mainWindow);

    QProcess second;
    startProgram(second, program, home.path());
    // It leaves at once, with success: the first copy answered it.
    QVERIFY2(second.waitForFinished(30000), "the second start kept running beside the first");
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(lockHolder(home.path()), first.processId());
    QCOMPARE(waitUntilUp(home.path(), 10s).value_or(QString()), mainWindow);
    killProgram(first, home.path());
}

void TestTwoStarts::startsAtOnce()
{
    // Two starts in the same moment: exactly one copy stays.
    QTemporaryDir home;
    QProcess one, two;
    startProgram(one, program, home.path());
    startProgram(two, program, home.path());
    QCOMPARE(waitUntilUp(home.path(), 60s).value_or(QString()), mainWindow);
    QTRY_VERIFY_WITH_TIMEOUT(
        one.state() == QProcess::NotRunning || two.state() == QProcess::NotRunning, 60000);
    QProcess &left = one.state() == QProcess::NotRunning ? one : two;
    QProcess &stayed = one.state() == QProcess::NotRunning ? two : one;
    QCOMPARE(left.exitStatus(), QProcess::NormalExit);
    QCOMPARE(left.exitCode(), 0);
    QTest::qWait(500);
    QCOMPARE(stayed.state(), QProcess::Running);
    QCOMPARE(lockHolder(home.path()), stayed.processId());
    killProgram(stayed, home.path());
}

void TestTwoStarts::killedCopyIsTakenOver()
{
    QTemporaryDir home;
    QProcess killed;
    startProgram(killed, program, home.path());
    QCOMPARE(waitUntilUp(home.path(), 60s).value_or(QString()), mainWindow);
    killed.kill(); // SIGKILL: nothing is cleaned up
    QVERIFY(killed.waitForFinished(10000));
    QVERIFY2(QFile::exists(platform::SingleInstance::lockFileName(programFolder(home.path()))),
        "the killed copy left no lock behind");

    QProcess next;
    startProgram(next, program, home.path());
    QCOMPARE(waitUntilUp(home.path(), 60s).value_or(QString()), mainWindow);
    QCOMPARE(next.state(), QProcess::Running);
    QCOMPARE(lockHolder(home.path()), next.processId());

    // And the copy that took over is the one a later start calls forward.
    QProcess later;
    startProgram(later, program, home.path());
    QVERIFY(later.waitForFinished(30000));
    QCOMPARE(later.exitCode(), 0);
    QCOMPARE(next.state(), QProcess::Running);
    killProgram(next, home.path());
}

BM_TEST_MAIN(TestTwoStarts)
#include "test_twostarts.moc"
