#include "doubles.h"
#include "serverdb.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/dbfiles.h"
#include "db/query.h"
#include "maintenance/frmdbutility.h"
#include "platform/windows.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

using namespace bm;

namespace
{

// A statement's first value, read past the program.
QVariant valueOn(const QString &uri, const QString &sql)
{
    test::ServerConnection c(uri);
    QSqlQuery q(c.database());
    return q.exec(sql) && q.next() ? q.value(0) : QVariant(QStringLiteral("<unreadable>"));
}

// pg_restore of the machine; its listing, or "<failed>".
QByteArray pgRestore(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/pg_restore"), arguments);
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return ok ? p.readAllStandardOutput() : QByteArray("<failed>");
}

class Painting : public dbfiles::Observer
{
public:
    void progress() override { ++calls; }
    int calls = 0;
};

const QString marker = QStringLiteral("Marker Contact");
const QString contacts = QStringLiteral("SELECT string_agg(\"Name\", ',' ORDER BY \"Name\") FROM \"Phone\"");

} // namespace

class TestServerUtility : public QObject
{
    Q_OBJECT
    QString m_uri;
    QByteArray m_path = qgetenv("PATH");
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        BM_REQUIRE_SERVER();
        m_uri = test::freshServerDatabase(QStringLiteral("utility"));
        QVERIFY(!m_uri.isEmpty());
        setDatabaseLocation(m_uri);
        QVERIFY(db::write(m_uri, QStringLiteral("Phone"),
            QStringLiteral("INSERT INTO Phone (Name) VALUES (?)"), { marker }));
        m_dir = std::make_unique<QTemporaryDir>();
    }
    void cleanup()
    {
        test::deleteWindows();
        qputenv("PATH", m_path);
        db::closeAll();
        setDatabaseLocation(QString());
    }
    void backup_data();
    void backup();
    void repair_data();
    void repair();
    void window();
};

// pg_dump runs through a stand-in that notes what it was given, then does
// what the row says (the real pg_dump by default).
void TestServerUtility::backup_data()
{
    QTest::addColumn<QString>("then"); // after noting its arguments; "" = no pg_dump at all
    QTest::addColumn<QString>("database"); // a database of another name; "" = the test's
    QTest::addColumn<QString>("said"); // in the message; "" = it succeeds
    const QString real = QStringLiteral("exec /usr/bin/pg_dump \"$@\"");
    QTest::newRow("archive") << real << ""
                             << "";
    QTest::newRow("no such database") << real << "no_such_db"
                                      << "\"no_such_db\" does not exist";
    QTest::newRow("not installed") << ""
                                   << ""
                                   << "pg_dump is not installed (Debian package postgresql-client)";
    QTest::newRow("stops half way")
        << "printf PGDMP > \"${3#--file=}\"; echo 'pg_dump: error: disk full' >&2; exit 1"
        << ""
        << "pg_dump: error: disk full";
    QTest::newRow("not an archive") << "printf plain-text-not-an-archive > \"${3#--file=}\""
                                    << ""
                                    << "pg_restore: error: input file does not appear to be a valid archive";
}

void TestServerUtility::backup()
{
    QFETCH(QString, then);
    QFETCH(QString, database);
    QFETCH(QString, said);
    QTemporaryDir tools;
    const QString seen = tools.filePath(QStringLiteral("seen"));
    if (!then.isEmpty()) {
        QFile tool(tools.filePath(QStringLiteral("pg_dump")));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write(
            QStringLiteral("#!/bin/sh\necho \"$@\" \"$PGPASSWORD\" > '%1'\n%2\n").arg(seen, then).toUtf8());
        tool.close();
        QVERIFY(tool.setPermissions(tool.permissions() | QFile::ExeOwner));
    }
    // pg_restore stays reachable, pg_dump only as the stand-in.
    qputenv("PATH", (tools.path() + QLatin1Char(':')).toLocal8Bit() + (then.isEmpty() ? "" : m_path));
    const QString file = m_dir->filePath(QStringLiteral("lodge.backup"));
    QFile older(file);
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
    older.close();
    QString uri = m_uri + QStringLiteral("&password=Tr0ut%27s");
    if (!database.isEmpty())
        uri.replace(QUrl(m_uri).path().mid(1), database);

    Painting painting;
    const Status s = dbfiles::serverBackup(uri, file, &painting);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "lodge.backup" });
    if (QFile f(seen); f.open(QIODevice::ReadOnly)) {
        const QString given = QString::fromUtf8(f.readAll()).trimmed();
        QVERIFY2(given.endsWith(QLatin1String(" Tr0ut's")), qPrintable(given)); // in its environment only
        QCOMPARE(given.count(QLatin1String("Tr0ut")), 1);
    }
    if (!said.isEmpty()) {
        QVERIFY2(!s && s.message().contains(said), qPrintable(s.message()));
        QVERIFY(s.message().endsWith(QLatin1String("The older backup was kept.")));
        QVERIFY(older.open(QIODevice::ReadOnly));
        QCOMPARE(older.readAll(), QByteArray("older"));
        return;
    }
    QVERIFY2(s, qPrintable(s.message()));
    QVERIFY(painting.calls > 0);
    QCOMPARE(QFile::permissions(file) & 0x0077, QFileDevice::Permissions()); // nobody else's to read
    QVERIFY(pgRestore({ QStringLiteral("--list"), file }).contains("TABLE DATA public Phone"));
    // Restored into an empty database, it holds what the program wrote.
    const QString copy = test::freshServerDatabase(QStringLiteral("utility_copy"));
    QVERIFY(
        pgRestore({ QStringLiteral("--no-owner"), QStringLiteral("--dbname=") + copy, file }) != "<failed>");
    QVERIFY(valueOn(copy, contacts).toString().split(QLatin1Char(',')).contains(marker));
    QCOMPARE(valueOn(copy, contacts), valueOn(m_uri, contacts));
}

void TestServerUtility::repair_data()
{
    QTest::addColumn<bool>("owner"); // connected as the owner of the tables
    QTest::newRow("owner") << true;
    QTest::newRow("not the owner") << false;
}

void TestServerUtility::repair()
{
    QFETCH(bool, owner);
    QString uri = m_uri;
    if (!owner) {
        const QString role = QStringLiteral("utility_guest_%1").arg(QCoreApplication::applicationPid());
        test::ServerConnection admin(m_uri);
        QSqlQuery q(admin.database());
        q.exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(role)); // there already from an earlier run: fine
        QVERIFY(q.exec(QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(role)));
        uri.replace(QLatin1String("user=bm"), QStringLiteral("user=") + role);
    }
    const Status s = dbfiles::repair(uri);
    QCOMPARE(bool(s), owner);
    if (!owner) {
        QVERIFY2(s.message().contains(QLatin1String("only table or database owner can vacuum it")),
            qPrintable(s.message()));
        QVERIFY(s.message().contains(db::displayName(uri)));
        return;
    }
    // Every table was vacuumed and analysed just now.
    QCOMPARE(valueOn(m_uri,
                 QStringLiteral("SELECT count(*) FILTER (WHERE last_vacuum IS NULL OR last_analyze IS NULL) "
                                "FROM pg_stat_user_tables"))
                 .toInt(),
        0);
}

// The window on a server: the same pages and texts; each command does what
// the server allows or says why not.
void TestServerUtility::window()
{
    test::ScriptedMessages boxes;
    test::FakeFileDialogs dialogs;
    // The server's own maintenance may grow or shrink the files while the
    // window opens: the size shown is the one before or the one after.
    const QString sizeQuery = QStringLiteral("SELECT pg_database_size(current_database())");
    const QString before = dbfiles::sizeText(valueOn(m_uri, sizeQuery).toLongLong());
    auto *w = platform::showWindow<FrmDbutility>();
    auto label = [w](const char *name) { return w->findChild<QLabel *>(QLatin1String(name))->text(); };
    auto click = [w](const char *name) { w->findChild<QPushButton *>(QLatin1String(name))->click(); };
    const QString after = dbfiles::sizeText(valueOn(m_uri, sizeQuery).toLongLong());
    QVERIFY2(label("Label8") == before || label("Label8") == after,
        qPrintable(
            label("Label8") + QStringLiteral(" is neither ") + before + QStringLiteral(" nor ") + after));
    QCOMPARE(
        dbfiles::databaseSize(QString(m_uri).replace(QLatin1String("///"), QLatin1String("///gone"))), -1);

    const QString file = m_dir->filePath(QStringLiteral("lodge.backup"));
    dialogs.answers << file;
    boxes.expect();
    click("cmdBackup");
    QCOMPARE(boxes.last().text, QStringLiteral("Backup has been saved."));
    QVERIFY(pgRestore({ QStringLiteral("--list"), file }).contains("TABLE public Phone"));

    boxes.expect();
    click("cmdRestore");
    QCOMPARE(dialogs.requests.size(), 1); // no backup asked for
    QVERIFY(boxes.last().text.startsWith(QLatin1String("Database has not been restored.\n")));
    QVERIFY(boxes.last().text.contains(db::displayName(m_uri)));
    QCOMPARE(valueOn(m_uri, contacts).toString().count(marker), 1);

    boxes.expect();
    click("cmdRepair");
    QCOMPARE(boxes.last().text, QStringLiteral("DataBase has been repaired !"));
    QCOMPARE(label("Label9"), dbfiles::sizeText(valueOn(m_uri, sizeQuery).toLongLong()));
    if (const QString shots = qEnvironmentVariable("BM_SCREENSHOTS"); !shots.isEmpty())
        w->grab().save(QDir(shots).filePath(QStringLiteral("dbutility-server.png")));
}

BM_TEST_MAIN(TestServerUtility)
#include "test_serverutility.moc"
