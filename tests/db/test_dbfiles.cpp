#include "dbfixture.h"

#include "db/dbfiles.h"

#include <QProcess>
#include <QTemporaryDir>

using namespace bm;
using dbfiles::Step;

namespace
{

enum class Op { Backup, Restore, Repair };

// Counts the steps of an operation and makes one of them fail.
class Steps : public dbfiles::Observer
{
public:
    bool proceed(Step s) override
    {
        seen << s;
        return int(seen.size()) - 1 != failAt;
    }
    void progress() override { ++progressCalls; }

    int failAt = -1;
    QList<Step> seen;
    int progressCalls = 0;
};

// The database holds the contact "current"; the backup folder holds an
// older backup ("older") or, for a restore, the backup to restore ("backup").
struct Scene {
    QTemporaryDir away;
    QString db = databasePath();
    QString backupFile = away.filePath(QStringLiteral("tallow.mdb"));
    Op op;

    explicit Scene(Op o)
        : op(o)
    {
        test::resetDatabase();
        QVERIFY(test::makeDatabase(db, QStringLiteral("current")));
        QVERIFY(test::makeDatabase(
            backupFile, op == Op::Restore ? QStringLiteral("backup") : QStringLiteral("older")));
    }

    Status run(dbfiles::Observer *observer = nullptr) const
    {
        switch (op) {
        case Op::Backup:
            return dbfiles::backup(db, away.path(), observer);
        case Op::Restore:
            return dbfiles::restore(away.path(), db, observer);
        case Op::Repair:
            break;
        }
        return dbfiles::repair(db, observer);
    }

    // The file the operation replaces, and what it holds afterwards.
    QString target() const { return op == Op::Backup ? backupFile : db; }
    QStringList oldContent() const
    {
        return { op == Op::Backup ? QStringLiteral("older") : QStringLiteral("current") };
    }
    QStringList newContent() const
    {
        return { op == Op::Restore ? QStringLiteral("backup") : QStringLiteral("current") };
    }
};

void addOps()
{
    QTest::addColumn<Op>("op");
    QTest::newRow("backup") << Op::Backup;
    QTest::newRow("restore") << Op::Restore;
    QTest::newRow("repair") << Op::Repair;
}

// Writes garbage over the middle of a file.
void damage(const QString &path)
{
    // Three pages from the second on, where the first tables' roots are:
    // the header still reads, the integrity check fails (a page in the
    // middle may be a free one).
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray header = f.read(18);
    QCOMPARE(header.size(), 18);
    const qint64 pageSize = (quint8(header[16]) << 8) | quint8(header[17]);
    QVERIFY(pageSize >= 512);
    QVERIFY(f.seek(pageSize));
    QCOMPARE(f.write(QByteArray(3 * pageSize, '\x5a')), 3 * pageSize);
}

} // namespace

class TestDbfiles : public QObject
{
    Q_OBJECT
private slots:
    void sizeText_data();
    void sizeText();
    void succeeds_data() { addOps(); }
    void succeeds();
    void failsAtEveryStep_data() { addOps(); }
    void failsAtEveryStep();
    void refuses_data();
    void refuses();
    void killedMidway_data() { addOps(); }
    void killedMidway();
    void dataFolderOwnerOnly();
};

void TestDbfiles::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1536") << qint64(1536) << "en_US"
                          << "1.5 KB";
    QTest::newRow("one megabyte") << qint64(1048576) << "en_US"
                                  << "1024 KB";
    QTest::newRow("no rounding") << qint64(1234567) << "en_US"
                                 << "1205.6318359375 KB";
    QTest::newRow("empty") << qint64(0) << "en_US"
                           << "0 KB";
    QTest::newRow("one byte") << qint64(1) << "en_US"
                              << "0.0009765625 KB";
    QTest::newRow("15 digits") << qint64(123456789012) << "en_US"
                               << "120563270.519531 KB";
    QTest::newRow("decimal comma") << qint64(1234567) << "de_DE"
                                   << "1205,6318359375 KB";
    QTest::newRow("no separators") << qint64(5000000000) << "de_DE"
                                   << "4882812,5 KB";
}

void TestDbfiles::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, locale);
    QFETCH(QString, shown);
    QCOMPARE(dbfiles::sizeText(bytes, QLocale(locale)), shown);
}

void TestDbfiles::succeeds()
{
    QFETCH(Op, op);
    Scene scene(op);
    const QStringList dataFiles = test::filesIn(appFolder());
    const QStringList awayFiles = test::filesIn(scene.away.path());
    const qint64 before = dbfiles::fileSize(scene.db);

    Steps steps;
    const Status done = scene.run(&steps);
    QVERIFY2(done, qPrintable(done.message()));
    QCOMPARE(test::contactsOf(scene.target()), scene.newContent());
    QVERIFY(test::isSound(scene.target()));
    QVERIFY(test::isSound(scene.db));
    QCOMPARE(QFile::permissions(scene.target()), test::ownerOnly());
    QVERIFY(steps.progressCalls > 0);
    // Nothing is left beside the files.
    QCOMPARE(test::filesIn(appFolder()), dataFiles);
    QCOMPARE(test::filesIn(scene.away.path()), awayFiles);
    if (op == Op::Repair) {
        QVERIFY2(dbfiles::fileSize(scene.db) < before * 3 / 4,
            qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(dbfiles::fileSize(scene.db))));
    } else {
        QVERIFY(steps.seen.count(Step::CopyChunk) > 1);
    }
}

// A step that fails leaves the old file as it was (or, once the new file has
// its name, the new one) and nothing else behind; the database opens and is
// intact whatever happened.
void TestDbfiles::failsAtEveryStep()
{
    QFETCH(Op, op);
    QList<Step> all;
    {
        Scene scene(op);
        Steps clean;
        QVERIFY(scene.run(&clean));
        all = clean.seen;
    }
    for (Step s :
        { Step::OpenSource, Step::CreateTemp, Step::SyncFile, Step::Verify, Step::Replace, Step::SyncFolder })
        QVERIFY(all.contains(s));
    QVERIFY(all.contains(op == Op::Repair ? Step::Compact : Step::CopyChunk));

    for (int k = 0; k < all.size(); ++k) {
        const QString at = QStringLiteral("failing step %1 (%2)").arg(k).arg(int(all[k]));
        Scene scene(op);
        const QStringList dataFiles = test::filesIn(appFolder());
        const QStringList awayFiles = test::filesIn(scene.away.path());
        Steps steps;
        steps.failAt = k;
        const Status done = scene.run(&steps);
        QVERIFY2(!done, qPrintable(at));
        QVERIFY2(!done.message().isEmpty(), qPrintable(at));
        // Only a failure after the rename leaves the new content.
        const bool renamed = all[k] == Step::SyncFolder;
        QVERIFY2(test::contactsOf(scene.target()) == (renamed ? scene.newContent() : scene.oldContent()),
            qPrintable(at));
        QVERIFY2(test::isSound(scene.target()), qPrintable(at));
        QVERIFY2(test::isSound(scene.db), qPrintable(at));
        QVERIFY2(test::filesIn(appFolder()) == dataFiles, qPrintable(at));
        QVERIFY2(test::filesIn(scene.away.path()) == awayFiles, qPrintable(at));
    }
}

void TestDbfiles::refuses_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<QString>("situation");
    QTest::newRow("backup into a missing folder") << Op::Backup << "no folder";
    QTest::newRow("backup of a damaged database") << Op::Backup << "damaged database";
    QTest::newRow("backup of a missing database") << Op::Backup << "no database";
    QTest::newRow("restore from a folder without tallow.mdb") << Op::Restore << "no backup";
    QTest::newRow("restore of a text file") << Op::Restore << "text";
    QTest::newRow("restore of half a backup") << Op::Restore << "cut short";
    QTest::newRow("restore of another program's database") << Op::Restore << "foreign";
    QTest::newRow("restore of a damaged backup") << Op::Restore << "damaged backup";
    QTest::newRow("restore of a backup missing a field") << Op::Restore << "old layout";
    QTest::newRow("repair with tallow2.mdb there") << Op::Repair << "tallow2 there";
    QTest::newRow("repair of a missing database") << Op::Repair << "no database";
}

void TestDbfiles::refuses()
{
    QFETCH(Op, op);
    QFETCH(QString, situation);
    Scene scene(op);
    const QString tallow2 = QDir(appFolder()).filePath(QStringLiteral("tallow2.mdb"));
    QStringList expected = scene.oldContent();
    if (situation == "no folder") {
        QVERIFY(scene.away.remove());
        expected.clear();
    } else if (situation == "damaged database") {
        damage(scene.db);
    } else if (situation == "no database") {
        QVERIFY(QFile::remove(scene.db));
        if (op != Op::Backup)
            expected.clear();
    } else if (situation == "no backup") {
        QVERIFY(QFile::remove(scene.backupFile));
    } else if (situation == "text" || situation == "cut short") {
        QFile f(scene.backupFile);
        QVERIFY(f.open(QIODevice::ReadWrite));
        if (situation == "text")
            QVERIFY(f.write("Name,Phone\nAnn,555-0100\n") > 0 && f.resize(f.pos()));
        else
            QVERIFY(f.resize(f.size() / 2));
    } else if (situation == "foreign" || situation == "old layout") {
        QSqlQuery q(db::connection(scene.backupFile));
        // The contacts' history names their fields: it goes before a field can.
        const QStringList sql = situation == "foreign"
            ? QStringList { "DROP TABLE Booking" }
            : QStringList { "DROP TRIGGER \"Phone history on insert\"",
                  "DROP TRIGGER \"Phone history on update\"", "DROP TRIGGER \"Phone history on delete\"",
                  "ALTER TABLE Phone DROP COLUMN Email" };
        for (const QString &statement : sql)
            QVERIFY2(q.exec(statement), qPrintable(statement));
        q = QSqlQuery();
        db::close(scene.backupFile);
    } else if (situation == "damaged backup") {
        damage(scene.backupFile);
    } else if (situation == "tallow2 there") {
        QFile f(tallow2);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QStringList dataFiles = test::filesIn(appFolder());

    const Status done = scene.run();
    QVERIFY(!done);
    QVERIFY(!done.message().isEmpty());
    if (situation != "damaged database")
        QCOMPARE(test::contactsOf(scene.target()), expected);
    QCOMPARE(test::filesIn(appFolder()), dataFiles);
    if (situation == "tallow2 there")
        QCOMPARE(QFileInfo(tallow2).size(), 0);
    if (op == Op::Backup && situation == "damaged database") {
        QVERIFY(done.message().contains(QStringLiteral("older backup was kept")));
        QVERIFY(test::isSound(scene.backupFile));
        QCOMPARE(test::contactsOf(scene.backupFile), QStringList { "older" });
    }
    if (situation != "no database" && situation != "damaged database")
        QVERIFY(test::isSound(scene.db));
}

// A process killed in the middle of an operation, at any of its steps, leaves
// a database that opens and is intact, holding either the old or the new
// content.
void TestDbfiles::killedMidway()
{
    QFETCH(Op, op);
    int count = 0;
    {
        Scene scene(op);
        Steps clean;
        QVERIFY(scene.run(&clean));
        count = int(clean.seen.size());
    }
    const char *names[] = { "backup", "restore", "repair" };
    for (int k = 0; k < count; ++k) {
        Scene scene(op);
        QProcess child;
        child.start(QStringLiteral(DBFILES_CHILD),
            { QString::fromLatin1(names[int(op)]), scene.db, scene.away.path(), QString::number(k) });
        QVERIFY(child.waitForFinished(60000));
        const QString at
            = QStringLiteral("killed at step %1: %2").arg(k).arg(QString::fromLocal8Bit(child.readAll()));
        QVERIFY2(child.exitStatus() == QProcess::CrashExit, qPrintable(at));
        const QStringList content = test::contactsOf(scene.target());
        QVERIFY2(content == scene.oldContent() || content == scene.newContent(), qPrintable(at));
        QVERIFY2(test::isSound(scene.target()), qPrintable(at));
        QVERIFY2(test::isSound(scene.db), qPrintable(at));
        if (op == Op::Backup)
            QCOMPARE(test::contactsOf(scene.db), QStringList { "current" });
    }
}

// The folder that holds the clients' details is the user's alone, also where
// an older install left it open; so are the files laid into it.
void TestDbfiles::dataFolderOwnerOnly()
{
    db::closeAll();
    QVERIFY(QFile::setPermissions(appFolder(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QFile::remove(databasePath()));
    QVERIFY(installDeliveredFiles());
    QCOMPARE(QFile::permissions(appFolder()) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(QFile::permissions(databasePath()), test::ownerOnly());
}

BM_TEST_MAIN(TestDbfiles)
#include "test_dbfiles.moc"
