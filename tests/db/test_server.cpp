#include "filtercases.h"
#include "recordcount.h"
#include "serverdb.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/bin.h"
#include "db/database.h"
#include "db/engine/migrations.h"
#include "db/filter.h"
#include "db/query.h"
#include "db/recordsource.h"
#include "db/servercopy.h"
#include "schema/schema.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

using namespace bm;

namespace
{

// The rows a statement gives, every value as text ("<null>" for none).
QStringList answers(const QString &path, const QString &sql, const QVariantList &binds = {})
{
    QStringList rows;
    db::Query q(path);
    if (const Status s = q.run(sql, binds); !s) {
        rows << QStringLiteral("failed: ") + s.message();
        return rows;
    }
    while (q.next()) {
        QStringList row;
        for (int c = 0; c < q.columnCount(); ++c)
            row << (q.isNullAt(c) ? QStringLiteral("<null>") : q.valueAt(c).toString());
        rows << row.join(QLatin1Char('|'));
    }
    if (!q.status())
        rows << QStringLiteral("failed: ") + q.status().message();
    return rows;
}

// The same bookings on whichever database: names of mixed case and
// characters, dates (one missing), amounts (one missing).
void layInBookings(const QString &path)
{
    QVERIFY(db::write(path, "Booking", "DELETE FROM Booking", {}));
    const struct {
        const char *name;
        const char *date;
        qint64 charge;
    } rows[] = {
        { "ann", "2025-06-01", 2500000 },
        { "Bob", "2025-05-14", -1 },
        { "Éva", nullptr, 12345 },
        { "bob", "2024-12-31", 0 },
        { "Zed O'Neil", "2025-06-01", 2500000 },
        { "", "soon", 7 },
        { "C:\\temp\\", "2025-01-01", 5 },
    };
    for (const auto &r : rows)
        QVERIFY(
            db::write(path, "Booking", "INSERT INTO Booking (Name, Date, \"Total Charge\") VALUES (?, ?, ?)",
                { QString::fromUtf8(r.name), r.date ? QVariant(QString::fromLatin1(r.date)) : QVariant(),
                    r.charge < 0 ? QVariant() : QVariant(r.charge) }));
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        db::closeAll();
        test::resetDatabase();
    }

    // The program writes its statements in the file engine's words; the
    // server must give the same answers to each.
    void sameAnswersOnBothEngines_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantList>("binds");
        const QString all = "SELECT ID, Name, Date, \"Total Charge\" FROM Booking ";
        QTest::newRow("bare names, any case")
            << "select id, NAME, date FROM booking ORDER BY ID" << QVariantList();
        QTest::newRow("square brackets")
            << "SELECT [Total Charge] FROM [Booking] ORDER BY [ID]" << QVariantList();
        QTest::newRow("values written in")
            << all + "WHERE Name = ? OR Name = ? ORDER BY ID" << QVariantList { "Zed O'Neil", "ann" };
        QTest::newRow("null and number values")
            << all + "WHERE ? IS NULL OR ID > ? ORDER BY ID" << QVariantList { QVariant(), 2 };
        QTest::newRow("alias keeps its case")
            << "SELECT Name AS Value, COUNT(*) AS n FROM Booking GROUP BY Name "
               "ORDER BY Value"
            << QVariantList();
        QTest::newRow("byte order") << "SELECT Name FROM Booking ORDER BY Name, ID" << QVariantList();
        QTest::newRow("nulls first, then a limit")
            << "SELECT ID FROM Booking ORDER BY Date\nLIMIT 3" << QVariantList();
        QTest::newRow("nulls last going down")
            << "SELECT ID, Date FROM Booking ORDER BY Date DESC, ID DESC LIMIT 4" << QVariantList();
        QTest::newRow("case-blind order")
            << "SELECT Name FROM Booking ORDER BY Name COLLATE NOCASE, ID" << QVariantList();
        QTest::newRow("like is blind to ASCII case")
            << "SELECT ID FROM Booking WHERE Name LIKE 'b%' ORDER BY ID" << QVariantList();
        QTest::newRow("like with a backslash")
            << "SELECT ID FROM Booking WHERE Name LIKE '%\\%' ORDER BY ID" << QVariantList();
        QTest::newRow("glob") << "SELECT ID FROM Booking WHERE Date GLOB '[0-9][0-9][0-9][0-9]-*' ORDER BY ID"
                              << QVariantList();
        QTest::newRow("is between values")
            << "SELECT ID FROM Booking WHERE Date IS ? ORDER BY ID" << QVariantList { "2025-06-01" };
        QTest::newRow("is not null value")
            << "SELECT ID FROM Booking WHERE Date IS NOT ? ORDER BY ID" << QVariantList { QVariant() };
        QTest::newRow("keys of a group")
            << "SELECT Date, group_concat(ID) AS keys FROM Booking GROUP BY Date "
               "ORDER BY Date"
            << QVariantList();
        QTest::newRow("sum and total") << "SELECT SUM(\"Total Charge\") AS s, TOTAL(\"Total Charge\") AS t, "
                                          "COUNT(\"Total Charge\") AS c FROM Booking"
                                       << QVariantList();
        QTest::newRow("count past the index")
            << "SELECT COUNT(*) FROM Booking WHERE +ID > ?" << QVariantList { 1 };
        QTest::newRow("ifnull, instr, substr")
            << "SELECT ifnull(Date, 'none'), instr(Name, 'b'), substr(Date, 1, 4) FROM Booking ORDER BY ID"
            << QVariantList();
        QTest::newRow("year as a number")
            << "SELECT DISTINCT CAST(substr(\"Date\", 1, 4) AS INTEGER) AS Year "
               "FROM Booking WHERE Date GLOB '[0-9]*' ORDER BY Year"
            << QVariantList();
        QTest::newRow("replace reads")
            << "SELECT replace(Name, 'b', 'p') FROM Booking ORDER BY ID" << QVariantList();
        QTest::newRow("exists") << "SELECT EXISTS (SELECT 1 FROM Booking WHERE Name = ?) AS found"
                                << QVariantList { "Bob" };
    }
    void sameAnswersOnBothEngines()
    {
        BM_REQUIRE_SERVER();
        QFETCH(QString, sql);
        QFETCH(QVariantList, binds);
        const QString file = appFile("tallow.mdb");
        const QString server = test::onServer() ? databasePath() : test::freshServerDatabase("answers");
        QVERIFY(!server.isEmpty());
        layInBookings(file);
        layInBookings(server);
        const QStringList onFile = answers(file, sql, binds);
        QVERIFY(!onFile.isEmpty());
        QVERIFY2(!onFile.first().startsWith("failed"), qPrintable(onFile.first()));
        QCOMPARE(answers(server, sql, binds), onFile);
    }

    // Statements the server can't be given the same meaning are refused,
    // not sent half understood.
    void refusedBeforeTheServer_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantList>("binds");
        QTest::addColumn<QString>("why");
        QTest::newRow("two statements")
            << "SELECT 1; DELETE FROM Booking" << QVariantList() << "more than one statement";
        QTest::newRow("a write as a query") << "DELETE FROM Booking" << QVariantList() << "not a query";
        QTest::newRow("a NUL in a value")
            << "SELECT ?" << QVariantList { QString(QChar(0)) } << "can not keep";
        QTest::newRow("too few values") << "SELECT ?, ?" << QVariantList { 1 } << "more ? than values";
        QTest::newRow("too many values") << "SELECT ?" << QVariantList { 1, 2 } << "more values";
        QTest::newRow("unclosed quote") << "SELECT 'a" << QVariantList() << "quote is not closed";
    }
    void refusedBeforeTheServer()
    {
        BM_REQUIRE_SERVER();
        QFETCH(QString, sql);
        QFETCH(QVariantList, binds);
        QFETCH(QString, why);
        const QString server = test::onServer() ? databasePath() : test::freshServerDatabase("refused");
        QVERIFY(db::write(server, "Booking", "INSERT INTO Booking (Name) VALUES ('kept')", {}));
        db::Query q(server);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused"));
        const Status s = q.run(sql, binds);
        QVERIFY(!s);
        QVERIFY2(s.message().contains(why), qPrintable(s.message()));
        QCOMPARE(answers(server, "SELECT COUNT(*) FROM Booking WHERE Name = 'kept'"), QStringList { "1" });
    }

    // An empty database gets the file's tables, fields, layout and starter
    // records; the stamps are kept by the server as by the file.
    void emptyDatabaseIsLaidIn()
    {
        BM_REQUIRE_SERVER();
        const QString server = test::freshServerDatabase("layin");
        QVERIFY(db::check(server));
        const QString file = appFile("tallow.mdb");
        for (const TableDef &t : schema::tables()) {
            QStringList fields { "ID" };
            for (const FieldDef &f : t.fields)
                fields << schema::quoted(f.name);
            const QString sql
                = QString("SELECT %1 FROM %2 ORDER BY ID").arg(fields.join(", "), schema::quoted(t.name));
            QCOMPARE(answers(server, sql), answers(file, sql));
        }
        QCOMPARE(answers(server, "SELECT Version FROM \"Schema Version\""),
            QStringList { QString::number(migrations::currentVersion) });
        db::Written w;
        QVERIFY(db::write(server, "Booking", "INSERT INTO Booking (Name) VALUES ('new')", {}, &w));
        QVERIFY(w.insertId > 0);
        QVERIFY(
            db::write(server, "Booking", "UPDATE Booking SET Name = 'newer' WHERE ID = ?", { w.insertId }));
        QVERIFY(
            db::write(server, "Booking", "UPDATE Booking SET Name = 'newer' WHERE ID = ?", { w.insertId }));
        QCOMPARE(
            answers(server, "SELECT Sequence FROM \"Change Stamp\" WHERE Kind = 'Booking' AND Record = ?",
                { w.insertId }),
            QStringList { "1" }); // a save that changes nothing leaves the stamp
        QVERIFY(db::write(server, "Booking", "DELETE FROM Booking WHERE ID = ?", { w.insertId }));
        QCOMPARE(
            answers(server, "SELECT COUNT(*) FROM \"Change Stamp\" WHERE Record = ? AND Kind = 'Booking'",
                { w.insertId }),
            QStringList { "0" });
    }

    // A database of an earlier layout is brought to this one, its records
    // kept: the roster and the booking's guide are added, and every table
    // announces its changes and notes who made them; a booking gains its
    // Status (Confirmed for those there, with no change stamped on them),
    // the booking page's tables and functions come in, the outbox, and the
    // history with the bin.
    void earlierLayoutIsBroughtUp_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QStringList>("undo"); // what the layouts after it brought
        const QStringList seven { "DROP TABLE \"Booking Page\"", "DROP TABLE \"Page Trips\"",
            "DROP TABLE \"Days Off\"", "DROP TABLE \"Page Requests\"",
            "ALTER TABLE \"Booking\" DROP COLUMN \"Status\"",
            "ALTER TABLE \"Booking\" DROP COLUMN \"Party Size\"",
            "ALTER TABLE \"Booking\" DROP COLUMN \"Start Time\"", "DROP FUNCTION bm_web_request",
            "DROP FUNCTION bm_web_days", "DROP FUNCTION bm_page_places" };
        const QStringList six { "DROP TABLE \"Guides\"", "ALTER TABLE \"Booking\" DROP COLUMN \"Guide\"",
            "DROP TABLE \"Desk Changes\"", "DROP FUNCTION bm_note_change CASCADE",
            "DROP FUNCTION bm_announce CASCADE" };
        const QStringList eight { "DROP TABLE \"Outbox\"", "DROP TABLE \"Mail Settings\"",
            "DROP TABLE \"Mail Texts\"" };
        const QStringList nine { "DROP FUNCTION bm_web_mail_queue", "DROP FUNCTION bm_web_mail_take",
            "DROP FUNCTION bm_web_mail_done" };
        const QStringList ten { "DROP TABLE \"History\"", "DROP TABLE \"Bin\"",
            "DROP FUNCTION bm_history CASCADE" };
        // The rights of a database without the lodge's roles: functions and
        // the view alone.
        const QStringList eleven { "DROP VIEW IF EXISTS \"Schedule\"",
            "DROP FUNCTION bm_booking_guide CASCADE", "DROP FUNCTION bm_apply_rights",
            "DROP FUNCTION bm_role", "DROP FUNCTION bm_role_of", "DROP FUNCTION bm_guide",
            "DROP FUNCTION bm_added_by_me" };
        // The schedule's view names every field of the booking.
        const QStringList twelve { "DROP VIEW IF EXISTS \"Schedule\"", "DROP TABLE \"Party\"",
            "DROP TABLE \"Catch\"", "DROP TABLE \"Site Codes\"",
            "ALTER TABLE \"Booking\" DROP COLUMN \"Days\"",
            "ALTER TABLE \"Guide Info\" DROP COLUMN \"License No\"",
            "ALTER TABLE \"Guides\" DROP COLUMN \"License No\"" };
        // The day's function of the page reads the busy times.
        const QStringList thirteen { "DROP TABLE \"Busy Times\"" };
        QTest::newRow("layout 12") << 12 << thirteen;
        QTest::newRow("layout 11") << 11 << thirteen + twelve;
        QTest::newRow("layout 10") << 10 << thirteen + twelve + eleven;
        QTest::newRow("layout 9") << 9 << thirteen + twelve + eleven + ten;
        QTest::newRow("layout 8") << 8 << thirteen + twelve + eleven + ten + nine;
        QTest::newRow("layout 7") << 7 << thirteen + twelve + eleven + ten + nine + eight;
        QTest::newRow("layout 6") << 6 << thirteen + twelve + eleven + ten + nine + eight + seven;
        QTest::newRow("layout 5") << 5 << thirteen + twelve + eleven + ten + nine + eight + seven + six;
    }

    void earlierLayoutIsBroughtUp()
    {
        QFETCH(int, layout);
        QFETCH(QStringList, undo);
        BM_REQUIRE_SERVER();
        const QString server = test::freshServerDatabase("earlier");
        QVERIFY(db::check(server));
        QVERIFY(db::write(
            server, "Booking", "INSERT INTO Booking (Name, Date) VALUES ('kept', '2025-06-01')", {}));
        db::closeAll();
        // Asked of the server in its own words.
        const auto raw = [&](const QString &sql) {
            test::ServerConnection c(server);
            QSqlQuery q(c.database());
            return q.exec(sql) && q.next() ? q.value(0).toString()
                                           : QStringLiteral("failed: ") + q.lastError().text();
        };
        const auto stamps = [&] {
            return raw("SELECT string_agg(concat_ws(':', \"Record\", \"Sequence\", \"Modified\"), ' ' "
                       "ORDER BY \"Record\") FROM \"Change Stamp\" WHERE \"Kind\" = 'Booking'");
        };
        const QString stamped = stamps();
        db::closeAll();
        {
            test::ServerConnection raw(server);
            QSqlQuery q(raw.database());
            QVERIFY(q.exec(QString("UPDATE \"Schema Version\" SET \"Version\" = %1").arg(layout)));
            for (const QString &sql : undo)
                QVERIFY2(q.exec(sql), qPrintable(sql + ": " + q.lastError().text()));
        }
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("brought from layout"));
        QVERIFY(db::check(server));
        QCOMPARE(answers(server, "SELECT Version FROM \"Schema Version\""),
            QStringList { QString::number(migrations::currentVersion) });
        RecordSource dated("Data1", "SELECT * FROM Booking WHERE Date", nullptr, server);
        QCOMPARE(test::recordCount(dated), 2); // the starter booking and the kept one
        if (layout < 7) {
            QCOMPARE(answers(server, "SELECT DISTINCT Status FROM Booking"), QStringList { "Confirmed" });
            QCOMPARE(answers(server, "SELECT count(*) FROM \"Page Trips\""), QStringList { "0" });
        }
        QCOMPARE(stamps(), stamped);
        QCOMPARE(answers(server, "SELECT count(*) FROM Outbox"), QStringList { "0" });
        QCOMPARE(raw("SELECT count(*) FROM pg_proc WHERE proname LIKE 'bm\\_web\\_%'"), QStringLiteral("16"));
        QVERIFY(db::write(server, "Booking", "UPDATE Booking SET Guide = 'Ann' WHERE Name = 'kept'", {}));
        QCOMPARE(answers(server, "SELECT count(*) FROM \"Desk Changes\" WHERE \"Kind\" = 'Booking'"),
            QStringList { "1" });
        // What was there has no history; what happens from now on has.
        QCOMPARE(answers(server, "SELECT \"Field\" FROM \"History\" WHERE \"Action\" = 'changed'"),
            QStringList { "Guide" });
        QCOMPARE(answers(server,
                     "SELECT count(*) FROM pg_trigger WHERE tgname LIKE '% announced' AND NOT tgisinternal"),
            QStringList { QString::number(schema::tables().size()) });
    }

    void otherDatabasesAreLeftAlone_data()
    {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QString>("why");
        QTest::newRow("another program's tables") << "CREATE TABLE invoices (id int)"
                                                  << "another program";
        QTest::newRow("a newer layout")
            << "CREATE TABLE \"Schema Version\" (\"ID\" bigint, \"Version\" bigint); "
               "INSERT INTO \"Schema Version\" VALUES (1, 99)"
            << "layout 99";
    }
    void otherDatabasesAreLeftAlone()
    {
        BM_REQUIRE_SERVER();
        QFETCH(QString, setUp);
        QFETCH(QString, why);
        const QString server = test::freshServerDatabase("other");
        {
            test::ServerConnection raw(server);
            QVERIFY(raw.status());
            QSqlQuery q(raw.database());
            QVERIFY(q.exec(setUp));
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("can not be used"));
        const Status s = db::check(server);
        QVERIFY(!s);
        QVERIFY2(s.message().contains(why) && s.message().contains("left as it is"), qPrintable(s.message()));
        test::ServerConnection raw(server);
        QSqlQuery q(raw.database());
        QVERIFY(q.exec("SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }

    // A server that goes away while the guide works: the save is refused
    // with the reason, nothing half written is kept, and the next save
    // reaches the server again.
    void lostConnectionIsToldAndRecovers()
    {
        BM_REQUIRE_SERVER();
        const QString server = test::onServer() ? databasePath() : test::freshServerDatabase("lost");
        QVERIFY(db::check(server));
        auto cutOff = [&] {
            QVariant pid;
            db::Query q(server);
            QVERIFY(q.single("SELECT pg_backend_pid()", {}, pid));
            test::ServerConnection other(server);
            QSqlQuery kill(other.database());
            QVERIFY(kill.exec(QString("SELECT pg_terminate_backend(%1)").arg(pid.toLongLong())));
            // No events run meanwhile: a desk that noticed the loss would
            // open its connection afresh before the save.
            QThread::msleep(100);
        };
        cutOff();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the server refused"));
        const Status lost
            = db::write(server, "Booking", "INSERT INTO Booking (Name) VALUES ('first try')", {});
        QVERIFY(!lost);
        QVERIFY2(lost.message().contains("can not be reached") && lost.message().contains("try again"),
            qPrintable(lost.message()));
        QVERIFY(db::write(server, "Booking", "INSERT INTO Booking (Name) VALUES ('second try')", {}));

        // A transaction the connection was lost in keeps nothing.
        db::Transaction t(server);
        QVERIFY(t.begin());
        QVERIFY(t.write("Booking", "INSERT INTO Booking (Name) VALUES ('half')", {}));
        cutOff();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the server refused"));
        QVERIFY(!t.write("Booking", "INSERT INTO Booking (Name) VALUES ('other half')", {}));
        QVERIFY(!t.commit());
        QCOMPARE(answers(server,
                     "SELECT Name FROM Booking WHERE Name LIKE '%try' OR Name LIKE '%half' ORDER BY ID"),
            QStringList { "second try" });
    }

    // The search language's cases hold on the server as on the file.
    void searchPatternsOnTheServer()
    {
        BM_REQUIRE_SERVER();
        const QString server = test::onServer() ? databasePath() : test::freshServerDatabase("patterns");
        int checked = 0;
        for (const test::FilterCase &c : test::filterCases()) {
            if (!test::serverCanHold(c.text))
                continue;
            const std::optional<filter::Pattern> p = filter::Pattern::compile(c.pattern);
            QVERIFY2(p, c.name);
            QVariant matched;
            db::Query q(server);
            QVERIFY2(q.single("SELECT CAST(? AS TEXT) ~ ?", { QString::fromUtf8(c.text), p->serverRegex() },
                         matched),
                c.name);
            QVERIFY2(matched.toBool() == c.expected, c.name);
            ++checked;
        }
        QVERIFY(checked > 40);
    }

    // The guide's whole file into an empty shared database: every record
    // with its key, exactly; a database that holds records is refused.
    void fileCopiedToTheServer()
    {
        BM_REQUIRE_SERVER();
        const QString file = appFile("tallow.mdb");
        QRandomGenerator rng(7);
        db::Transaction t(file);
        QVERIFY(t.begin());
        for (int i = 0; i < 600; ++i)
            QVERIFY(t.write("Booking",
                "INSERT INTO Booking (Name, Date, \"Total Charge\", Notes) VALUES (?, ?, ?, ?)",
                { QString("Guest %1 ü'\\").arg(i), QDate(2020, 1, 1).addDays(i).toString(Qt::ISODate),
                    qint64(rng.bounded(1000000000)) - 100000000,
                    i % 3 ? QVariant() : QVariant("line\nbreak") }));
        QVERIFY(t.write("Phone", "INSERT INTO Phone (Name) VALUES ('Cy')", {}));
        QVERIFY(t.commit());
        QVERIFY(db::write(file, "Booking", "DELETE FROM Booking WHERE ID % 50 = 0", {}));

        const QString server = test::freshServerDatabase("copy");
        servercopy::Report report;
        const Status copied = servercopy::copy(file, server, &report);
        QVERIFY2(copied, qPrintable(copied.message()));
        QVERIFY(report.summary().contains("Booking: 589"));
        for (const QString table : { "Booking", "Phone", "Lures", "Change Stamp", "History", "Bin" }) {
            const QString sql = table == QLatin1String("Change Stamp")
                ? "SELECT Kind, Record, Sequence, Modified FROM \"Change Stamp\" ORDER BY Kind, Record"
                : table == QLatin1String("Bin")
                ? "SELECT ID, Kind, Record, \"Deleted\", Login, \"Summary\" FROM \"Bin\" ORDER BY ID"
                : QString("SELECT * FROM \"%1\" ORDER BY ID").arg(table);
            QCOMPARE(answers(server, sql), answers(file, sql));
        }
        // A booking the file deleted comes back on the server as the file
        // brings it back: every stored value, the amount too.
        const QString binned = "SELECT ID FROM \"Bin\" WHERE Record = 50";
        for (const QString &at : { file, server }) {
            db::bin::Restored restored;
            QVERIFY(db::bin::restore(at, answers(at, binned).value(0).toLongLong(), restored));
            QCOMPARE(restored.outcome, db::bin::Outcome::SameId);
        }
        QCOMPARE(answers(server, "SELECT * FROM Booking WHERE ID = 50"),
            answers(file, "SELECT * FROM Booking WHERE ID = 50"));
        QCOMPARE(answers(server, "SELECT count(*) FROM Booking WHERE ID = 50"), QStringList { "1" });
        db::Written w;
        QVERIFY(db::write(server, "Booking", "INSERT INTO Booking (Name) VALUES ('after')", {}, &w));
        QCOMPARE(w.insertId, answers(file, "SELECT max(ID) FROM Booking").first().toLongLong() + 1);

        const Status again = servercopy::copy(file, server);
        QVERIFY(!again);
        QVERIFY2(again.message().contains("already holds records"), qPrintable(again.message()));
        QCOMPARE(answers(server, "SELECT COUNT(*) FROM Booking"), QStringList { "591" });
    }
};

BM_TEST_MAIN(TestServer)
#include "test_server.moc"
