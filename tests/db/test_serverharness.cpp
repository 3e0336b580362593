#include "serverdb.h"
#include "testenv.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

using namespace bm;
using bm::test::ServerConnection;

namespace
{

QString nameOf(const QString &uri)
{
    return QUrl(uri).path().mid(1);
}

QString quoted(QString identifier)
{
    identifier.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + identifier + QLatin1Char('"');
}

// The tables a user made in the connected database; -1 when they can't be
// counted.
int userTables(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_tables "
                                   "WHERE schemaname NOT IN ('pg_catalog', 'information_schema')"))
        || !query.next()) {
        qWarning() << "tables not counted:" << query.lastError().text();
        return -1;
    }
    return query.value(0).toInt();
}

// The user id a process of this machine runs as; -1 when unknown.
int processUid(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QRegularExpression uidLine(QStringLiteral("^Uid:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = uidLine.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestServerHarness : public QObject
{
    Q_OBJECT
    QString m_shared; // one database for the cases that make their own tables
private slots:
    void initTestCase()
    {
        BM_REQUIRE_SERVER();
        m_shared = test::freshServerDatabase(QStringLiteral("harness"));
        QVERIFY(!m_shared.isEmpty());
    }

    // Whatever a test calls its databases, each one is new, empty, apart
    // from the others and reachable under the name handed back.
    void freshDatabasesAreApart_data()
    {
        QTest::addColumn<QString>("label");
        QTest::newRow("plain") << "bookings";
        QTest::newRow("mixed case and blanks") << "Lake Area Report";
        QTest::newRow("symbols") << "gear/reels & lines (2024)!";
        QTest::newRow("starts with a digit") << "2024 season";
        QTest::newRow("no label") << "";
        QTest::newRow("letters beyond ASCII") << QString::fromUtf8("Lough Derg – Ufer");
        QTest::newRow("longer than a name may be") << QString(90, QLatin1Char('x'));
    }
    void freshDatabasesAreApart()
    {
        QFETCH(QString, label);
        const QString first = test::freshServerDatabase(label);
        const QString second = test::freshServerDatabase(label);
        QVERIFY(!first.isEmpty());
        QVERIFY(!second.isEmpty());
        QVERIFY2(nameOf(first) != nameOf(second), qPrintable(first));
        const QRegularExpression plainName(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
        QVERIFY2(plainName.match(nameOf(first)).hasMatch(), qPrintable(first));

        ServerConnection a(first);
        ServerConnection b(second);
        QVERIFY2(a.status(), qPrintable(a.status().message()));
        QVERIFY2(b.status(), qPrintable(b.status().message()));
        {
            QSqlQuery query(a.database());
            QVERIFY(query.exec(QStringLiteral("SELECT current_database()")) && query.next());
            QCOMPARE(query.value(0).toString(), nameOf(first));
        }
        QCOMPARE(userTables(a.database()), 0);
        QCOMPARE(userTables(b.database()), 0);
        // A table made in one is not seen in the other.
        {
            QSqlQuery query(a.database());
            QVERIFY2(query.exec(QStringLiteral("CREATE TABLE trips (id integer)")),
                qPrintable(query.lastError().text()));
        }
        QCOMPARE(userTables(a.database()), 1);
        QCOMPARE(userTables(b.database()), 0);
    }

    // A database of an earlier process with the same id (ids come back in
    // a long run) is left alone: the next free name is taken instead.
    void takenNamesAreSkipped()
    {
        const QString probe = nameOf(test::freshServerDatabase(QStringLiteral("clash")));
        const qsizetype cut = probe.lastIndexOf(QLatin1Char('_'));
        QVERIFY2(cut > 0, qPrintable(probe));
        const QString stem = probe.left(cut + 1);
        const int counter = probe.mid(cut + 1).toInt();
        ServerConnection admin(test::serverBaseUri());
        QVERIFY2(admin.status(), qPrintable(admin.status().message()));
        {
            QSqlQuery query(admin.database());
            for (int next = counter + 1; next <= counter + 3; ++next)
                QVERIFY2(query.exec(QStringLiteral("CREATE DATABASE %1").arg(stem + QString::number(next))),
                    qPrintable(query.lastError().text()));
        }
        QCOMPARE(
            nameOf(test::freshServerDatabase(QStringLiteral("clash"))), stem + QString::number(counter + 4));
    }

    // Names only quoting keeps as written, side by side in one database:
    // a name folded to lower case would meet its twin. Values go in through
    // "?" placeholders, which the driver hands to the server as parameters.
    void quotedNamesRoundTrip_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("water");
        QTest::addColumn<int>("depth");
        QTest::newRow("mixed case with a blank") << "Lake Area"
                                                 << "Lough Corrib" << 46;
        QTest::newRow("lower case twin") << "lake area"
                                         << "Lough Mask" << 58;
        QTest::newRow("upper case twin") << "LAKE AREA"
                                         << "Loch Awe" << 94;
        QTest::newRow("quotes in the name") << "Guide's \"Lake\" Area"
                                            << "Pat's 'Pool'" << 3;
        QTest::newRow("letters beyond ASCII")
            << QString::fromUtf8("Seeufer Größe") << QString::fromUtf8("Wörthersee – Süd") << 85;
    }
    void quotedNamesRoundTrip()
    {
        QFETCH(QString, table);
        QFETCH(QString, water);
        QFETCH(int, depth);
        ServerConnection c(m_shared);
        QVERIFY2(c.status(), qPrintable(c.status().message()));
        QSqlQuery query(c.database());
        QVERIFY2(
            query.exec(QStringLiteral("CREATE TABLE %1 (\"Water Name\" text, \"Depth\" integer, note text)")
                           .arg(quoted(table))),
            qPrintable(query.lastError().text()));
        QVERIFY(query.prepare(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?)").arg(quoted(table))));
        query.addBindValue(water);
        query.addBindValue(depth);
        query.addBindValue(QVariant(QMetaType(QMetaType::QString)));
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
        QVERIFY(
            query.prepare(QStringLiteral("SELECT \"Water Name\", \"Depth\", note FROM %1 WHERE \"Depth\" = ?")
                              .arg(quoted(table))));
        query.addBindValue(depth);
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toString(), water);
        QCOMPARE(query.value(1).toInt(), depth);
        QVERIFY(query.value(2).isNull());
        QVERIFY(!query.next());
    }

    // The URI taken apart into the driver's fields; anything that is not a
    // server database URI is refused, not opened as some default database.
    void serverUris_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("port");
        QTest::newRow("socket folder")
            << "postgresql:///trips_12_3?host=/tmp/bmpg.a1&user=bm" << true << "trips_12_3"
            << "/tmp/bmpg.a1"
            << "bm" << -1;
        QTest::newRow("escaped folder and port")
            << "postgres:///diary?host=%2Ftmp%2Fpg%20x&user=guide&port=5433" << true << "diary"
            << "/tmp/pg x"
            << "guide" << 5433;
        QTest::newRow("host and user in the authority")
            << "postgresql://guide@db.example:6543/gear" << true << "gear"
            << "db.example"
            << "guide" << 6543;
        QTest::newRow("other scheme") << "mysql:///diary?host=/tmp/x" << false << ""
                                      << ""
                                      << "" << -1;
        QTest::newRow("no database") << "postgresql:///?host=/tmp/x" << false << ""
                                     << ""
                                     << "" << -1;
        QTest::newRow("plain name") << "diary" << false << ""
                                    << ""
                                    << "" << -1;
    }
    void serverUris()
    {
        QFETCH(QString, uri);
        QFETCH(bool, accepted);
        const QString connection = QStringLiteral("uri check");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            const Status s = test::setServerUri(db, uri);
            QCOMPARE(s.isOk(), accepted);
            if (accepted) {
                QTEST(db.databaseName(), "database");
                QTEST(db.hostName(), "host");
                QTEST(db.userName(), "user");
                QTEST(db.port(), "port");
            } else {
                QVERIFY(!s.message().isEmpty());
            }
        }
        QSqlDatabase::removeDatabase(connection);
    }

    // The server of the run is its own: an ordinary user's process, reached
    // only through the socket in its folder, not on any TCP port.
    void serverIsIsolated_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no TCP address") << "listen_addresses"
                                        << "";
        QTest::newRow("socket in its own folder") << "unix_socket_directories" << test::serverFolder();
        QTest::newRow("UTF-8") << "server_encoding"
                               << "UTF8";
    }
    void serverIsIsolated()
    {
        QFETCH(QString, setting);
        QFETCH(QString, expected);
        ServerConnection c(test::serverBaseUri());
        QVERIFY2(c.status(), qPrintable(c.status().message()));
        QSqlQuery query(c.database());
        QVERIFY(query.prepare(QStringLiteral("SELECT current_setting(?)")));
        query.addBindValue(setting);
        QVERIFY2(query.exec() && query.next(), qPrintable(query.lastError().text()));
        QCOMPARE(query.value(0).toString(), expected);
    }

    void serverRunsAsOrdinaryUser()
    {
        ServerConnection c(test::serverBaseUri());
        QVERIFY2(c.status(), qPrintable(c.status().message()));
        QSqlQuery query(c.database());
        QVERIFY(query.exec(QStringLiteral("SELECT pg_backend_pid(), inet_server_addr() IS NULL, "
                                          "current_setting('max_connections')::integer"))
            && query.next());
        const int uid = processUid(query.value(0).toLongLong());
        QVERIFY2(uid > 0, qPrintable(QStringLiteral("server process runs as uid %1").arg(uid)));
        QVERIFY2(query.value(1).toBool(), "connected through TCP, not the socket");
        // Many suites run in parallel, each with connections of its own.
        QVERIFY(query.value(2).toInt() >= 100);
    }
};

BM_TEST_MAIN(TestServerHarness)
#include "test_serverharness.moc"
