// The lodge's rights, enforced by the server: each desk's login with plain
// SQL, as a guide with psql and his password would try.

#include "db/bin.h"
#include "db/database.h"
#include "db/rights.h"
#include "lodgeserver.h"
#include "serverdb.h"
#include "testenv.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace bm;
using namespace bm::test;

class TestRights : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void aGuideCanNotLayTheTablesIn();
    void eachRole_data();
    void eachRole();
    void theDeskReadsItsRole_data();
    void theDeskReadsItsRole();
    void theOfficeRestoresWhatWasDeleted();
    void anEarlierLodgeIsBroughtOver();

private:
    // Runs sql as login in a transaction that is rolled back: the first
    // value of the first row as text ("<null>" for none), "done" for a
    // statement that gives no row, "refused" when the server refuses it.
    QString as(const QString &login, const QString &sql);

    LodgeServer m_lodge;
};

void TestRights::initTestCase()
{
    BM_REQUIRE_SERVER();
    QVERIFY(m_lodge.setUp(QStringLiteral("rights"),
        { { QStringLiteral("ann"), QStringLiteral("owner") },
            { QStringLiteral("bob"), QStringLiteral("office") },
            { QStringLiteral("cy"), QStringLiteral("guide") },
            { QStringLiteral("dee"), QStringLiteral("guide") } }));
}

void TestRights::cleanupTestCase()
{
    db::closeAll();
    m_lodge.tearDown();
}

void TestRights::aGuideCanNotLayTheTablesIn()
{
    // A guide's desk first: it may not make tables, and says who must.
    const Status refused = db::check(m_lodge.uri(QStringLiteral("cy")));
    QVERIFY(!refused);
    QVERIFY2(refused.message().contains(QLatin1String("owner")), qPrintable(refused.message()));
    db::closeAll();
    // The owner's desk lays them in, as the tables' owner.
    const Status laid = db::check(m_lodge.uri(QStringLiteral("ann")));
    QVERIFY2(laid, qPrintable(laid.message()));
    db::closeAll();
    QString out;
    QVERIFY(
        m_lodge.psql(QStringLiteral("SELECT DISTINCT pg_get_userbyid(relowner) || '/' || relforcerowsecurity "
                                    "FROM pg_class WHERE relname IN ('Booking', 'Phone', 'Outbox')"),
            &out));
    QCOMPARE(out.trimmed(), m_lodge.name() + QStringLiteral("_schema/true"));

    // The lodge's records, as its owner enters them.
    QCOMPARE(as(QStringLiteral("ann"), QStringLiteral(R"(
        DELETE FROM "Booking"; DELETE FROM "Phone"; DELETE FROM "Guides";
        INSERT INTO "Guides" ("Name", "Login", "Active") VALUES ('Cy', '%cy%', 'Yes'), ('Dee', '%dee%', 'Yes');
        INSERT INTO "Booking" ("ID", "Date", "Name", "Guide", "Lake", "Total Charge", "Status")
            VALUES (101, '2026-06-01', 'Carl', 'Cy', 'Bull Shoals', 4000000, 'Confirmed'),
                   (102, '2026-06-02', 'Dora', 'Dee', 'Table Rock', 5000000, 'Confirmed');
        INSERT INTO "Phone" ("Name", "Home Telephone Number") VALUES ('Carl', '555-0101'), ('Dora', '555-0102');
        INSERT INTO "Outbox" ("Kind", "Booking", "Recipient", "Subject", "Body", "State")
            VALUES ('Confirmed', '101', 'carl@example.com', 's', 'b', 'Sent'),
                   ('Confirmed', '102', 'dora@example.com', 's', 'b', 'Sent');
        INSERT INTO "Party" ("Booking", "Angler", "License No") VALUES ('101', 'Carl', 'WA-1'), ('102', 'Dora', 'WA-2');
        INSERT INTO "Catch" ("Booking", "Angler", "Kept") VALUES ('101', 'Carl', '2'), ('102', 'Dora', '3');
        INSERT INTO "Busy Times" ("Guide", "Date", "Summary") VALUES ('Cy', '2026-06-03', 'Dentist'), ('Dee', '2026-06-03', 'Vet');
        COMMIT)")),
        QStringLiteral("done"));
}

void TestRights::eachRole_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const char *login, const char *sql, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(login) << QString::fromUtf8(sql)
                            << QString::fromUtf8(expected);
    };
    // A guide: his own trip and client, nothing of another's.
    row("guide's bookings", "cy", R"(SELECT string_agg("Name", ',' ORDER BY "ID") FROM "Booking")", "Carl");
    row("guide's clients", "cy", R"(SELECT string_agg("Name", ',' ORDER BY "Name") FROM "Phone")", "Carl");
    row("guide's messages", "cy", R"(SELECT string_agg("Recipient", ',') FROM "Outbox")", "carl@example.com");
    row("guide's party and catch", "cy",
        R"(SELECT concat((SELECT string_agg("License No", ',') FROM "Party"), '/', (SELECT string_agg("Kept", ',') FROM "Catch")))",
        "WA-1/2");
    row("catch on another's trip", "cy", R"(INSERT INTO "Catch" ("Booking", "Kept") VALUES ('102', '9'))",
        "refused");
    row("site codes are the lodge's", "cy",
        R"(INSERT INTO "Site Codes" ("Code", "Name") VALUES ('X1', 'Somewhere'); SELECT count(*) FROM "Site Codes" WHERE "Code" = 'X1')",
        "1");
    row("guide's own busy times", "cy", R"(SELECT string_agg("Summary", ',') FROM "Busy Times")", "Dentist");
    row("busy time for another guide", "cy",
        R"(INSERT INTO "Busy Times" ("Guide", "Date", "Summary") VALUES ('Dee', '2026-06-04', 'x'))",
        "refused");
    row("busy time of his own", "cy",
        R"(INSERT INTO "Busy Times" ("Guide", "Date", "Summary") VALUES ('Cy', '2026-06-04', 'Vet'); SELECT count(*) FROM "Busy Times")",
        "2");
    row("another's booking by key", "cy", R"(SELECT count(*) FROM "Booking" WHERE "ID" = 102)", "0");
    row("update another's", "cy",
        R"(WITH x AS (UPDATE "Booking" SET "Notes" = 'x' WHERE "ID" = 102 RETURNING 1) SELECT count(*) FROM x)",
        "0");
    row("delete another's", "cy",
        R"(WITH x AS (DELETE FROM "Booking" WHERE "ID" = 102 RETURNING 1) SELECT count(*) FROM x)", "0");
    row("delete another's client", "cy",
        R"(WITH x AS (DELETE FROM "Phone" WHERE "Name" = 'Dora' RETURNING 1) SELECT count(*) FROM x)", "0");
    row("change his own", "cy",
        R"(WITH x AS (UPDATE "Booking" SET "Notes" = 'x' WHERE "ID" = 101 RETURNING 1) SELECT count(*) FROM x)",
        "1");
    row("hand his trip to another", "cy", R"(UPDATE "Booking" SET "Guide" = 'Dee' WHERE "ID" = 101)",
        "refused");
    row("book for another", "cy", R"(INSERT INTO "Booking" ("Date", "Guide") VALUES ('2026-07-01', 'Dee'))",
        "refused");
    row("book for himself", "cy", R"(INSERT INTO "Booking" ("Date", "Guide") VALUES ('2026-07-01', 'Cy'))",
        "done");
    row("a new trip is his", "cy",
        R"(WITH x AS (INSERT INTO "Booking" ("Date", "Guide") VALUES ('2026-07-01', '') RETURNING "Guide") SELECT * FROM x)",
        "Cy");
    row("other trips on the schedule", "cy",
        R"(SELECT string_agg(concat_ws('/', "Name", "Guide", "Lake", "Total Charge"), ',' ORDER BY "ID") FROM "Schedule")",
        "Carl/Cy/Bull Shoals/4000000,booked/Dee/Table Rock");
    row("take another's login", "cy", R"(UPDATE "Guides" SET "Login" = '%cy%' WHERE "Name" = 'Dee')",
        "refused");
    row("change the settings", "cy", R"(UPDATE "Guide Info" SET "Phone" = '1')", "refused");
    row("read the settings", "cy", R"(SELECT count(*) > 0 FROM "Guide Info")", "true");
    row("drop a table", "cy", R"(DROP TABLE "Booking")", "refused");
    row("disable a trigger", "cy", R"(ALTER TABLE "Booking" DISABLE TRIGGER ALL)", "refused");
    row("drop a policy", "cy", R"(DROP POLICY guide ON "Booking")", "refused");
    row("unforce the policies", "cy", R"(ALTER TABLE "Booking" NO FORCE ROW LEVEL SECURITY)", "refused");
    row("make a table", "cy", R"(CREATE TABLE mine (x int))", "refused");
    row("become an owner", "cy", R"(GRANT %owners% TO CURRENT_USER)", "refused");
    row("act as the tables' owner", "cy", R"(SET ROLE %schema%)", "refused");
    row("forge a stamp", "cy", R"(DELETE FROM "Change Stamp")", "refused");
    row("forge who changed", "cy", R"(DELETE FROM "Desk Changes")", "refused");
    row("take the page's mail", "cy", R"(SELECT count(*) FROM bm_web_mail_take('x', 50))", "refused");
    row("guide's role", "cy", "SELECT bm_role()", "guide");
    row("a contact he adds stays his", "cy",
        R"(INSERT INTO "Phone" ("Name") VALUES ('Walk In'); SELECT count(*) FROM "Phone" WHERE "Name" = 'Walk In')",
        "1");
    row("history of his booking", "cy",
        R"(SELECT count(*) > 0 FROM "History" WHERE "Kind" = 'Booking' AND "Record" = 101)", "true");
    row("history of another's", "cy",
        R"(SELECT count(*) FROM "History" WHERE "Kind" = 'Booking' AND "Record" = 102)", "0");
    row("history of the clients", "cy", R"(SELECT count(*) FROM "History" WHERE "Kind" = 'Phone')", "1");
    row("forge the history", "cy", R"(DELETE FROM "History")", "refused");
    row("his change is in the history", "cy",
        R"(UPDATE "Booking" SET "Notes" = 'rods' WHERE "ID" = 101; SELECT "Login" || ':' || "New" FROM "History" WHERE "Record" = 101 AND "Field" = 'Notes')",
        "%cy%:rods");
    row("look into the bin", "cy", R"(SELECT count(*) FROM "Bin")", "refused");
    row("the other guide's", "dee", R"(SELECT string_agg("Name", ',' ORDER BY "ID") FROM "Booking")", "Dora");
    // The office: every booking and client, the settings, not the roster.
    row("office's bookings", "bob", R"(SELECT count(*) FROM "Booking")", "2");
    row("office's clients", "bob", R"(SELECT count(*) FROM "Phone")", "2");
    row("office's catch", "bob", R"(SELECT count(*) FROM "Catch")", "2");
    row("office's busy times", "bob", R"(SELECT count(*) FROM "Busy Times")", "2");
    row("office deletes any", "bob",
        R"(WITH x AS (DELETE FROM "Booking" WHERE "ID" = 102 RETURNING 1) SELECT count(*) FROM x)", "1");
    row("office's settings", "bob",
        R"(WITH x AS (UPDATE "Guide Info" SET "Phone" = '1' RETURNING 1) SELECT count(*) > 0 FROM x)",
        "true");
    row("office's roster", "bob", R"(UPDATE "Guides" SET "Login" = '%bob%')", "refused");
    row("office's role", "bob", "SELECT bm_role()", "office");
    row("office's bin", "bob",
        R"(DELETE FROM "Booking" WHERE "ID" = 102; SELECT "Login" || ':' || "Summary" FROM "Bin" WHERE "Record" = 102)",
        "%bob%:2026-06-02 Dora");
    // The owner: everything the program does, nothing the tables' owner does.
    row("owner's roster", "ann",
        R"(WITH x AS (UPDATE "Guides" SET "Phone" = '1' RETURNING 1) SELECT count(*) FROM x)", "2");
    row("owner drops a table", "ann", R"(DROP TABLE "Booking")", "refused");
    row("owner's role", "ann", "SELECT bm_role()", "owner");
}

void TestRights::eachRole()
{
    QFETCH(QString, login);
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(as(login, sql), m_lodge.expand(expected));
}

void TestRights::theDeskReadsItsRole_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("guide");
    QTest::newRow("owner") << "ann" << int(db::Role::Owner) << "";
    QTest::newRow("office") << "bob" << int(db::Role::Office) << "";
    QTest::newRow("guide") << "cy" << int(db::Role::Guide) << "Cy";
}

void TestRights::theDeskReadsItsRole()
{
    QFETCH(QString, login);
    QFETCH(int, role);
    QFETCH(QString, guide);
    db::Rights rights;
    const Status s = db::readRights(m_lodge.uri(login), rights);
    db::closeAll();
    QVERIFY2(s, qPrintable(s.message()));
    QCOMPARE(int(rights.role), role);
    QCOMPARE(rights.guide, guide);
    QCOMPARE(rights.login, m_lodge.login(login));
}

void TestRights::theOfficeRestoresWhatWasDeleted()
{
    QCOMPARE(as(QStringLiteral("dee"), QStringLiteral(R"(DELETE FROM "Booking" WHERE "ID" = 102; COMMIT)")),
        QStringLiteral("done"));
    // A guide's desk has no bin to read.
    QList<db::bin::Entry> entries;
    QVERIFY(!db::bin::read(m_lodge.uri(QStringLiteral("cy")), entries));
    db::closeAll();
    const QString office = m_lodge.uri(QStringLiteral("bob"));
    QVERIFY(db::bin::read(office, entries));
    const auto entry = std::find_if(
        entries.cbegin(), entries.cend(), [](const db::bin::Entry &e) { return e.record == 102; });
    QVERIFY(entry != entries.cend());
    QCOMPARE(entry->login, m_lodge.login(QStringLiteral("dee")));
    db::bin::Restored restored;
    const Status s = db::bin::restore(office, entry->id, restored);
    db::closeAll();
    QVERIFY2(s, qPrintable(s.message()));
    QCOMPARE(int(restored.outcome), int(db::bin::Outcome::SameId));
    // Back with its money and its message, and his guide sees it again.
    QCOMPARE(as(QStringLiteral("dee"),
                 QStringLiteral(
                     R"(SELECT b."Name" || ':' || b."Total Charge" || ':' || o."Recipient" FROM "Booking" b )"
                     R"(JOIN "Outbox" o ON o."Booking" = CAST(b."ID" AS TEXT) WHERE b."ID" = 102)")),
        QStringLiteral("Dora:5000000:dora@example.com"));
}

void TestRights::anEarlierLodgeIsBroughtOver()
{
    // A lodge as the earlier script made it, its tables laid in by a desk
    // acting as the group.
    LodgeServer old;
    QVERIFY(old.setUpAsBefore(QStringLiteral("early"), { QStringLiteral("eve"), QStringLiteral("fay") }));
    const Status laid = db::check(old.uri(QStringLiteral("fay")));
    QVERIFY2(laid, qPrintable(laid.message()));
    db::closeAll();
    const QString counts
        = QStringLiteral("SELECT (SELECT count(*) FROM \"Booking\") || '/' || "
                         "(SELECT count(*) FROM \"Phone\") || '/' || (SELECT count(*) FROM \"Reminder\")");
    QString before, after, out;
    {
        ServerConnection desk(old.uri(QStringLiteral("fay")));
        QSqlQuery q(desk.database());
        QVERIFY(q.exec(old.expand(
            QStringLiteral("INSERT INTO \"Guides\" (\"Name\", \"Login\") VALUES ('Fay', '%fay%')"))));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO \"Booking\" (\"Date\", \"Name\", \"Guide\") "
                                      "VALUES ('2026-06-03', 'Gus', 'Fay'), ('2026-06-04', 'Hal', '')")));
        QVERIFY(q.exec(QStringLiteral("SELECT bm_role()")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("owner")); // every desk, as before
    }
    QVERIFY(old.psql(counts, &before));

    QVERIFY2(old.script(QStringLiteral("sql_update_rights %1").arg(old.login(QStringLiteral("eve"))), &out),
        qPrintable(out));
    QVERIFY(old.psql(counts, &after));
    QCOMPARE(after, before);
    QVERIFY(old.psql(
        QStringLiteral("SELECT pg_get_userbyid(relowner) FROM pg_class WHERE relname = 'Booking'"), &out));
    QVERIFY2(out.contains(old.name() + QStringLiteral("_schema")), qPrintable(out));
    {
        ServerConnection owner(old.uri(QStringLiteral("eve")));
        QSqlQuery q(owner.database());
        QVERIFY(q.exec(
            QStringLiteral("SELECT bm_role(), current_user = session_user, count(*) FROM \"Booking\"")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("owner"));
        QVERIFY(q.value(1).toBool()); // no longer acting as the group
        QCOMPARE(q.value(2).toString(), before.trimmed().section(QLatin1Char('/'), 0, 0));
        ServerConnection guide(old.uri(QStringLiteral("fay")));
        QSqlQuery g(guide.database());
        QVERIFY(g.exec(QStringLiteral("SELECT bm_role(), string_agg(\"Name\", ',') FROM \"Booking\""))
            && g.next());
        QCOMPARE(g.value(0).toString(), QStringLiteral("guide"));
        QCOMPARE(g.value(1).toString(), QStringLiteral("Gus"));
        QVERIFY(!g.exec(QStringLiteral("DROP TABLE \"Booking\"")));
    }
    db::closeAll();
    old.tearDown();
}

QString TestRights::as(const QString &login, const QString &sql)
{
    ServerConnection desk(m_lodge.uri(login));
    const QString statement = m_lodge.expand(sql);
    if (!desk.status())
        return QStringLiteral("no connection: ") + desk.status().message();
    QString result;
    {
        QSqlQuery q(desk.database());
        if (!q.exec(QStringLiteral("BEGIN")))
            return QStringLiteral("no transaction");
        // Statements one by one (no row's text holds a semicolon); the
        // answer is the last one's. Ending in COMMIT keeps them: the lodge's
        // records.
        const bool commits = statement.trimmed().endsWith(QLatin1String("COMMIT"));
        const QStringList parts
            = (commits ? statement.left(statement.lastIndexOf(QLatin1String("COMMIT"))) : statement)
                  .split(QLatin1Char(';'), Qt::SkipEmptyParts);
        bool ran = true;
        for (const QString &part : std::as_const(parts))
            if (!part.trimmed().isEmpty() && !(ran = q.exec(part)))
                break;
        if (!ran) {
            result = QStringLiteral("refused");
            if (commits)
                qWarning().noquote() << q.lastError().text();
        } else if (q.isSelect() && q.next())
            result = q.isNull(0) ? QStringLiteral("<null>") : q.value(0).toString();
        else
            result = QStringLiteral("done");
        if (result != QLatin1String("refused") && commits)
            q.exec(QStringLiteral("COMMIT"));
        else
            q.exec(QStringLiteral("ROLLBACK"));
    }
    return result;
}

BM_TEST_MAIN(TestRights)
#include "test_rights.moc"
