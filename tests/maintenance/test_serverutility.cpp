#include "doubles.h"
#include "serverdb.h"
#include "testenv.h"

#include "data/apppaths.h"
#include "data/database.h"
#include "data/dbfiles.h"
#include "data/query.h"
#include "maintenance/frmdbutility.h"
#include "platform/windows.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>

using namespace bm;
using dbfiles::Step;
using platform::Icon;

namespace
{

// Fails the step given by number, and counts the steps and the painting.
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

// Runs a client tool of the machine; its standard output, or the test fails.
QByteArray runTool(const QString &tool, const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/") + tool, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning().noquote() << tool << arguments << p.readAllStandardError();
        return QByteArray("<failed>");
    }
    return p.readAllStandardOutput();
}

// The names of the contacts of a server database, read past the program.
QStringList contactsOn(const QString &uri)
{
    test::ServerConnection c(uri);
    QStringList names;
    QSqlQuery q(c.database());
    if (!q.exec(QStringLiteral("SELECT \"Name\" FROM \"Phone\" ORDER BY \"Name\"")))
        return { QStringLiteral("<unreadable: %1>").arg(q.lastError().text()) };
    while (q.next())
        names << q.value(0).toString();
    return names;
}

// A program that stands in for pg_dump: a shell script in its own folder.
void writeTool(const QString &folder, const QString &name, const QString &body)
{
    QFile f(QDir(folder).filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(("#!/bin/sh\n" + body + "\n").toUtf8());
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QString labelText(const QWidget *w, const char *name)
{
    auto *label = w->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

void click(const QWidget *w, const char *name)
{
    auto *b = w->findChild<QPushButton *>(QLatin1String(name));
    QVERIFY2(b, name);
    b->click();
}

const QString marker = QStringLiteral("Marker Contact");

} // namespace

class TestServerUtility : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void backup_data();
    void backup();
    void backupFailsAtEveryStep();
    void passwordNotOnCommandLine();
    void restoreRefused();
    void repair_data();
    void repair();
    void size();
    void window();

private:
    QString m_uri;
    QByteArray m_path; // PATH as the run found it
    std::unique_ptr<QTemporaryDir> m_away;
    std::unique_ptr<QTemporaryDir> m_tools;
};

void TestServerUtility::initTestCase()
{
    m_path = qgetenv("PATH");
}

void TestServerUtility::init()
{
    BM_REQUIRE_SERVER();
    m_uri = test::freshServerDatabase(QStringLiteral("utility"));
    QVERIFY(!m_uri.isEmpty());
    setDatabaseLocation(m_uri);
    QVERIFY(db::write(
        m_uri, QStringLiteral("Phone"), QStringLiteral("INSERT INTO Phone (Name) VALUES (?)"), { marker }));
    m_away = std::make_unique<QTemporaryDir>();
    m_tools = std::make_unique<QTemporaryDir>();
}

void TestServerUtility::cleanup()
{
    test::deleteWindows();
    qputenv("PATH", m_path);
    database::closeAll();
    setDatabaseLocation(QString());
    m_away.reset();
    m_tools.reset();
}

// The archive is one that pg_restore reads back whole; whatever goes wrong
// leaves no part of it behind and an older backup as it was.
void TestServerUtility::backup_data()
{
    QTest::addColumn<QString>("tool"); // a stand-in for pg_dump; empty: the real one
    QTest::addColumn<QString>("path"); // PATH while it runs; empty: the tools' folder, then the run's
    QTest::addColumn<bool>("older");
    QTest::addColumn<QString>("database"); // another database name; empty: the test's
    QTest::addColumn<QString>("said"); // in the message; empty: it succeeds

    QTest::newRow("new archive") << ""
                                 << "" << false << ""
                                 << "";
    QTest::newRow("older backup replaced") << ""
                                           << "" << true << ""
                                           << "";
    QTest::newRow("no such database") << ""
                                      << "" << true << "no_such_db"
                                      << "\"no_such_db\" does not exist";
    QTest::newRow("pg_dump not installed") << ""
                                           << "none" << true << ""
                                           << "Debian package postgresql-client";
    QTest::newRow("pg_dump stops half way")
        << "printf 'PGDMP half' > \"${3#--file=}\"; echo 'pg_dump: error: the disk is full' >&2; exit 1"
        << "" << true << ""
        << "pg_dump: error: the disk is full";
    QTest::newRow("not an archive") << "printf 'not an archive' > \"${3#--file=}\""
                                    << "" << false << ""
                                    << "pg_restore: error";
}

void TestServerUtility::backup()
{
    QFETCH(QString, tool);
    QFETCH(QString, path);
    QFETCH(bool, older);
    QFETCH(QString, database);
    QFETCH(QString, said);
    if (!tool.isEmpty())
        writeTool(m_tools->path(), QStringLiteral("pg_dump"), tool);
    qputenv("PATH",
        (m_tools->path() + QLatin1Char(':')).toLocal8Bit() + (path.isEmpty() ? m_path : QByteArray()));
    const QString file = m_away->filePath(QStringLiteral("lodge.backup"));
    if (older) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("older");
    }
    QString uri = m_uri;
    if (!database.isEmpty())
        uri.replace(QUrl(m_uri).path().mid(1), database);

    Steps steps;
    const Status s = dbfiles::serverBackup(uri, file, &steps);
    qputenv("PATH", m_path);

    QCOMPARE(
        filesIn(m_away->path()), older || said.isEmpty() ? QStringList { "lodge.backup" } : QStringList());
    if (!said.isEmpty()) {
        QVERIFY(!s);
        QVERIFY2(s.message().contains(said), qPrintable(s.message()));
        QCOMPARE(s.message().endsWith(QLatin1String("The older backup was kept.")), older);
        if (older) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("older"));
        }
        return;
    }
    QVERIFY2(s, qPrintable(s.message()));
    QCOMPARE(QFile::permissions(file) & 0x0077, QFileDevice::Permissions()); // nobody else's to read
    QVERIFY(steps.progressCalls > 0);
    const QByteArray listing = runTool(QStringLiteral("pg_restore"), { QStringLiteral("--list"), file });
    QVERIFY2(listing.contains("TABLE public Phone") && listing.contains("TABLE DATA public Booking"),
        listing.constData());
    // Restored into an empty database, it holds what the program wrote.
    const QString copy = test::freshServerDatabase(QStringLiteral("utility_copy"));
    QVERIFY(!copy.isEmpty());
    runTool(QStringLiteral("pg_restore"),
        { QStringLiteral("--no-owner"), QStringLiteral("--dbname=") + copy, file });
    QVERIFY(contactsOn(copy).contains(marker));
    QCOMPARE(contactsOn(copy), contactsOn(m_uri));
}

void TestServerUtility::backupFailsAtEveryStep()
{
    const QString file = m_away->filePath(QStringLiteral("lodge.backup"));
    Steps all;
    QVERIFY2(dbfiles::serverBackup(m_uri, file, &all), "a backup without failures");
    const QList<Step> expected { Step::CreateTemp, Step::Dump, Step::SyncFile, Step::Verify, Step::Replace,
        Step::SyncFolder };
    QCOMPARE(all.seen, expected);
    const QByteArray good = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    for (int k = 0; k < int(expected.size()); ++k) {
        Steps steps;
        steps.failAt = k;
        QVERIFY(QFile::resize(file, 5));
        const Status s = dbfiles::serverBackup(m_uri, file, &steps);
        QVERIFY2(!s, qPrintable(QString::number(k)));
        QCOMPARE(s.message().endsWith(QLatin1String("The older backup was kept.")),
            expected[k] != Step::SyncFolder);
        QCOMPARE(filesIn(m_away->path()), QStringList { "lodge.backup" });
        // Renamed before the folder is synced: the new archive is there.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.size(), expected[k] == Step::SyncFolder ? good.size() : 5);
    }
}

// A password of the URI reaches pg_dump through its environment only; the
// rest of the URI is its connection.
void TestServerUtility::passwordNotOnCommandLine()
{
    const QString seen = m_tools->filePath(QStringLiteral("seen"));
    writeTool(m_tools->path(), QStringLiteral("pg_dump"),
        QStringLiteral("echo \"$@\" > '%1'; echo \"$PGPASSWORD\" >> '%1'; exec /usr/bin/pg_dump \"$@\"")
            .arg(seen));
    qputenv("PATH", (m_tools->path() + QLatin1Char(':')).toLocal8Bit() + m_path);
    const Status s = dbfiles::serverBackup(
        m_uri + QStringLiteral("&password=Tr0ut%27s"), m_away->filePath(QStringLiteral("lodge.backup")));
    QVERIFY2(s, qPrintable(s.message()));
    QFile f(seen);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    QVERIFY(lines.size() >= 2);
    QVERIFY2(!lines[0].contains(QLatin1String("Tr0ut")), qPrintable(lines[0]));
    QVERIFY2(lines[0].contains(QLatin1String("dbname='") + QUrl(m_uri).path().mid(1) + QLatin1Char('\'')),
        qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("Tr0ut's"));
}

// Nothing is read, nothing changes, and the message names the server.
void TestServerUtility::restoreRefused()
{
    QVERIFY(QFile::copy(
        QStringLiteral(":/delivered/tallow.mdb"), m_away->filePath(QStringLiteral("tallow.mdb"))));
    Steps steps;
    const Status s = dbfiles::restore(m_away->path(), m_uri, &steps);
    QVERIFY(!s);
    QVERIFY2(s.message().contains(database::displayName(m_uri)), qPrintable(s.message()));
    QVERIFY(s.message().contains(QLatin1String("administrator")));
    QVERIFY(steps.seen.isEmpty());
    QCOMPARE(contactsOn(m_uri).count(marker), 1);
}

void TestServerUtility::repair_data()
{
    QTest::addColumn<bool>("owner"); // connected as the owner of the tables
    QTest::addColumn<QString>("said"); // in the message; empty: it succeeds
    QTest::newRow("owner") << true << "";
    QTest::newRow("not the owner") << false << "only table or database owner can vacuum it";
}

void TestServerUtility::repair()
{
    QFETCH(bool, owner);
    QFETCH(QString, said);
    QString uri = m_uri;
    if (!owner) {
        const QString role = QStringLiteral("utility_guest_%1").arg(QCoreApplication::applicationPid());
        test::ServerConnection admin(m_uri);
        QSqlQuery q(admin.database());
        // Left from an earlier run of the same process id, it is reused.
        q.exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(role));
        QVERIFY2(
            q.exec(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %1")
                       .arg(role)),
            qPrintable(q.lastError().text()));
        uri.replace(QLatin1String("user=bm"), QStringLiteral("user=") + role);
        QVERIFY(uri != m_uri);
    }
    Steps steps;
    const Status s = dbfiles::repair(uri, &steps);
    if (!said.isEmpty()) {
        QVERIFY(!s);
        QVERIFY2(s.message().contains(said), qPrintable(s.message()));
        QVERIFY(s.message().contains(database::displayName(uri)));
        return;
    }
    QVERIFY2(s, qPrintable(s.message()));
    QCOMPARE(steps.seen, (QList<Step> { Step::OpenSource, Step::Compact }));
    // Every table of the program was vacuumed and analysed just now.
    test::ServerConnection c(m_uri);
    QSqlQuery q(c.database());
    QVERIFY(
        q.exec(QStringLiteral("SELECT string_agg(relname, ', ' ORDER BY relname) FILTER (WHERE last_vacuum "
                              "IS NULL OR last_analyze IS NULL), count(*) FROM pg_stat_user_tables")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString());
    QVERIFY(q.value(1).toInt() > 5);
}

void TestServerUtility::size()
{
    test::ServerConnection c(m_uri);
    QSqlQuery q(c.database());
    QVERIFY(q.exec(QStringLiteral("SELECT pg_database_size(current_database())")) && q.next());
    QCOMPARE(dbfiles::databaseSize(m_uri), q.value(0).toLongLong());
    QString gone = m_uri;
    gone.replace(QUrl(m_uri).path().mid(1), QStringLiteral("no_such_db"));
    QCOMPARE(dbfiles::databaseSize(gone), qint64(-1));
}

// The window on a server: the same pages and texts, and each command does
// what the server allows or says why not.
void TestServerUtility::window()
{
    test::ScriptedMessages boxes;
    test::FakeFileDialogs dialogs;
    auto *w = platform::showWindow<FrmDbutility>();
    QCOMPARE(labelText(w, "Label8"), dbfiles::sizeText(dbfiles::databaseSize(m_uri)));
    QCOMPARE(labelText(w, "Label9"), QStringLiteral("?"));

    const QString file = m_away->filePath(QStringLiteral("lodge.backup"));
    dialogs.answers << file;
    boxes.expect();
    click(w, "cmdBackup");
    QCOMPARE(dialogs.requests.size(), 1);
    QCOMPARE(dialogs.requests[0].title, QStringLiteral("Save Database Backup"));
    QCOMPARE(boxes.last().text, QStringLiteral("Backup has been saved."));
    QVERIFY(runTool(QStringLiteral("pg_restore"), { QStringLiteral("--list"), file })
                .contains("TABLE public Phone"));

    boxes.expect();
    click(w, "cmdRestore");
    QCOMPARE(dialogs.requests.size(), 1); // no file asked for
    QCOMPARE(boxes.last().icon, Icon::Exclamation);
    QVERIFY(boxes.last().text.startsWith(QLatin1String("Database has not been restored.\n")));
    QVERIFY(boxes.last().text.contains(database::displayName(m_uri)));

    boxes.expect();
    click(w, "cmdRepair");
    QCOMPARE(boxes.last().text, QStringLiteral("DataBase has been repaired !"));
    QVERIFY(labelText(w, "Label9").endsWith(QLatin1String(" KB")));

    auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    QVERIFY(tabs);
    tabs->setCurrentIndex(2);
    const QString shots = qEnvironmentVariable("BM_SCREENSHOTS");
    if (!shots.isEmpty())
        w->grab().save(QDir(shots).filePath(QStringLiteral("dbutility-server-Repair.png")));
    QCOMPARE(boxes.shown.size(), 3);
}

BM_TEST_MAIN(TestServerUtility)
#include "test_serverutility.moc"
