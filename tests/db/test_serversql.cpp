// The program's SQLite statements as the database server gets them: names,
// values, the functions and operators the two spell differently, and the
// statements the translation must refuse. No server is needed: each expected
// text was checked by hand to be one PostgreSQL takes with the meaning SQLite
// gives the statement.

#include "db/engine/serversql.h"

#include <QDate>
#include <QTest>

using namespace bm;
using db::serversql::Translated;

class TestServerSql : public QObject
{
    Q_OBJECT

private slots:
    void translates_data();
    void translates();
    void flagsWrites_data();
    void flagsWrites();
    void refuses_data();
    void refuses();
};

// A row's fault, when the translation is known to be wrong: the expected text
// is then the right one and the row is an expected failure until it is fixed.
void TestServerSql::translates_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariantList>("binds");
    QTest::addColumn<QVariantMap>("named");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("fault");

    const QVariantList none;
    const QVariantMap noNames;

    // Names: bare, in double quotes, backquotes or brackets, in any case.
    QTest::newRow("names of tables and fields")
        << "SELECT name, [meet at], \"LAKE\", `guide` FROM booking" << none << noNames
        << "SELECT \"Name\", \"Meet At\", \"Lake\", \"Guide\" FROM \"Booking\"" << QString();
    QTest::newRow("name with a space") << "SELECT [Guide Name] FROM [guide info]" << none << noNames
                                       << "SELECT \"Guide Name\" FROM \"Guide Info\"" << QString();
    QTest::newRow("alias keeps its case")
        << "SELECT Name AS Who FROM Booking ORDER BY who" << none << noNames
        << "SELECT \"Name\" AS \"Who\" FROM \"Booking\" ORDER BY \"Who\" NULLS FIRST" << QString();
    QTest::newRow("unknown name in quotes stays quoted")
        << "SELECT \"Odd Thing\" FROM Booking" << none << noNames << "SELECT \"Odd Thing\" FROM \"Booking\""
        << QString();

    // Values: written in as literals, in order; NULL bare.
    QTest::newRow("? take the values in order")
        << "SELECT ID FROM Booking WHERE Name = ? AND Date >= ? AND Guide = ?"
        << QVariantList { QStringLiteral("O'Brien"), QDate(2026, 5, 14), QVariant() } << noNames
        << "SELECT \"ID\" FROM \"Booking\" WHERE \"Name\" = 'O''Brien' AND \"Date\" >= '2026-05-14' AND "
           "\"Guide\" = NULL"
        << QString();
    QTest::newRow("numbers, truth and bytes")
        << "SELECT ID FROM Booking WHERE ID = ? OR Name = ? OR length(?) = 2 LIMIT ?"
        << QVariantList { 42, true, QByteArray("ab"), qlonglong(5) } << noNames
        << "SELECT \"ID\" FROM \"Booking\" WHERE \"ID\" = '42' OR \"Name\" = '1' OR length('\\x6162'::bytea) "
           "= 2 "
           "LIMIT '5'"
        << QString();
    QTest::newRow("fraction beside a whole number")
        << "SELECT ID FROM Booking WHERE ID < ?" << QVariantList { 2.5 } << noNames
        << "SELECT \"ID\" FROM \"Booking\" WHERE \"ID\" < 2.5"
        << QStringLiteral(
               "'2.5' is taken for a whole number beside a whole-number field, which the server refuses");
    QTest::newRow("named values")
        << "SELECT ID FROM Booking WHERE Guide = :guide OR Lake = @lake" << none
        << QVariantMap { { "guide", "Jim" }, { "lake", "Bull Shoals" } }
        << "SELECT \"ID\" FROM \"Booking\" WHERE \"Guide\" = 'Jim' OR \"Lake\" = 'Bull Shoals'" << QString();
    QTest::newRow("a ? in quotes is text")
        << "SELECT '?' FROM Booking WHERE Name = ?" << QVariantList { "x" } << noNames
        << "SELECT '?' FROM \"Booking\" WHERE \"Name\" = 'x'" << QString();

    // GLOB: a case-sensitive whole-text match, its specials taken as written.
    QTest::newRow("GLOB") << "SELECT Name FROM Booking WHERE Name GLOB 'A*[0-9]?'" << none << noNames
                          << "SELECT \"Name\" FROM \"Booking\" WHERE \"Name\" ~ '^A.*[0-9].$' " << QString();
    QTest::newRow("GLOB of regex specials")
        << "SELECT Lake FROM Booking WHERE Lake GLOB '(1.5)+*'" << none << noNames
        << "SELECT \"Lake\" FROM \"Booking\" WHERE \"Lake\" ~ '^\\(1\\.5\\)\\+.*$' " << QString();
    QTest::newRow("GLOB with a negated set")
        << "SELECT Lake FROM Booking WHERE Lake GLOB '[^a-z]*'" << none << noNames
        << "SELECT \"Lake\" FROM \"Booking\" WHERE \"Lake\" ~ '^[^a-z].*$' " << QString();
    QTest::newRow("NOT GLOB") << "SELECT Name FROM Booking WHERE Name NOT GLOB 'A*'" << none << noNames
                              << "SELECT \"Name\" FROM \"Booking\" WHERE \"Name\" !~ '^A.*$' " << QString();

    // LIKE: blind to ASCII case, no escape character unless one is given.
    QTest::newRow("LIKE before AND")
        << "SELECT Name FROM Booking WHERE Lake LIKE 'table%' AND ID = 1" << none << noNames
        << "SELECT \"Name\" FROM \"Booking\" WHERE \"Lake\" ILIKE 'table%'  ESCAPE ''AND \"ID\" = 1"
        << QString();
    QTest::newRow("NOT LIKE in parentheses")
        << "SELECT Name FROM Booking WHERE (Name NOT LIKE ?)" << QVariantList { "a\\_%" } << noNames
        << "SELECT \"Name\" FROM \"Booking\" WHERE( \"Name\" NOT ILIKE 'a\\_%' ESCAPE '')" << QString();
    QTest::newRow("LIKE with its own ESCAPE")
        << "SELECT Name FROM Booking WHERE Name LIKE 'a!%%' ESCAPE '!'" << none << noNames
        << "SELECT \"Name\" FROM \"Booking\" WHERE \"Name\" ILIKE 'a!%%' ESCAPE '!'" << QString();

    // COLLATE NOCASE folds ASCII letters; SQLite's nulls sort first.
    QTest::newRow("ORDER BY COLLATE NOCASE DESC")
        << "SELECT Name FROM Booking ORDER BY Name COLLATE NOCASE DESC, ID" << none << noNames
        << "SELECT \"Name\" FROM \"Booking\" ORDER BY lower(\"Name\" ) COLLATE \"C\"  DESC NULLS LAST, "
           "\"ID\" "
           "NULLS FIRST"
        << QString();
    QTest::newRow("COLLATE BINARY")
        << "SELECT Name FROM Booking ORDER BY Name COLLATE BINARY NULLS LAST" << none << noNames
        << "SELECT \"Name\" FROM \"Booking\" ORDER BY \"Name\" COLLATE \"C\"  NULLS LAST" << QString();
    QTest::newRow("comparison COLLATE NOCASE")
        << "SELECT ID FROM Booking WHERE Name = 'ann' COLLATE NOCASE" << none << noNames
        << "SELECT \"ID\" FROM \"Booking\" WHERE lower(\"Name\") = lower('ann' ) COLLATE \"C\""
        << QStringLiteral("only the operand before COLLATE is folded: 'Ann' no longer equals 'ann'");

    // IS compares any two values, nulls alike; == and a unary + are SQLite's.
    QTest::newRow("IS a value") << "SELECT ID FROM Booking WHERE Guide IS ?" << QVariantList { "Jim" }
                                << noNames
                                << "SELECT \"ID\" FROM \"Booking\" WHERE \"Guide\" IS NOT DISTINCT FROM 'Jim'"
                                << QString();
    QTest::newRow("IS NOT a value")
        << "SELECT ID FROM Booking WHERE Guide IS NOT Lake" << none << noNames
        << "SELECT \"ID\" FROM \"Booking\" WHERE \"Guide\" IS DISTINCT FROM  \"Lake\"" << QString();
    QTest::newRow("IS NULL and IS NOT NULL")
        << "SELECT ID FROM Booking WHERE Guide IS NULL OR Lake IS NOT NULL" << none << noNames
        << "SELECT \"ID\" FROM \"Booking\" WHERE \"Guide\" IS NULL OR \"Lake\" IS NOT NULL" << QString();
    QTest::newRow("==") << "SELECT ID FROM Booking WHERE ID == 3" << none << noNames
                        << "SELECT \"ID\" FROM \"Booking\" WHERE \"ID\" = 3" << QString();
    QTest::newRow("unary + dropped, adding + kept")
        << "SELECT ID + 1 FROM Booking WHERE +Lake = 'x' ORDER BY +Date" << none << noNames
        << "SELECT \"ID\" + 1 FROM \"Booking\" WHERE \"Lake\" = 'x' ORDER BY \"Date\" NULLS FIRST"
        << QString();

    // Functions SQLite has and the server spells otherwise.
    QTest::newRow("group_concat") << "SELECT group_concat(Name) FROM Booking" << none << noNames
                                  << "SELECT string_agg(CAST(\"Name\" AS TEXT), ',') FROM \"Booking\""
                                  << QString();
    QTest::newRow("group_concat with a separator")
        << "SELECT group_concat(Name, '; ') FROM Booking" << none << noNames
        << "SELECT string_agg(CAST(\"Name\" AS TEXT), '; ') FROM \"Booking\""
        << QStringLiteral("the separator lands inside the CAST, which the server does not parse");
    QTest::newRow("ifnull and instr")
        << "SELECT ifnull(Guide, ''), INSTR(Name, 'a') FROM Booking" << none << noNames
        << "SELECT coalesce(\"Guide\", ''), strpos(\"Name\", 'a') FROM \"Booking\"" << QString();
    QTest::newRow("total, sum and avg")
        << "SELECT total(ID), sum(ID), avg(ID) FROM Booking" << none << noNames
        << "SELECT CAST(coalesce(sum(\"ID\"), 0) AS DOUBLE PRECISION), CAST(sum(\"ID\") AS BIGINT), "
           "CAST(avg(\"ID\") AS DOUBLE PRECISION) FROM \"Booking\""
        << QString();
    QTest::newRow("nested rewrites")
        << "SELECT ifnull(group_concat(Name), '-') FROM Booking" << none << noNames
        << "SELECT coalesce(string_agg(CAST(\"Name\" AS TEXT), ','), '-') FROM \"Booking\"" << QString();
    QTest::newRow("CAST keeps its type")
        << "SELECT CAST(ID AS TEXT) AS Shown FROM Booking" << none << noNames
        << "SELECT CAST(\"ID\" AS TEXT) AS \"Shown\" FROM \"Booking\"" << QString();

    // Writes keep their shape; the table of an INSERT is named as the schema has it.
    QTest::newRow("INSERT") << "INSERT INTO booking (name, date) VALUES (?, ?)"
                            << QVariantList { "Ann", "2026-05-14" } << noNames
                            << "INSERT INTO \"Booking\" (\"Name\", \"Date\") VALUES( 'Ann', '2026-05-14')"
                            << QString();
    QTest::newRow("UPDATE") << "UPDATE Booking SET Guide = :g WHERE ID = :id;" << none
                            << QVariantMap { { "g", QVariant() }, { "id", 7 } }
                            << "UPDATE \"Booking\" SET \"Guide\" = NULL WHERE \"ID\" = '7'" << QString();
    QTest::newRow("comments are blanks") << "SELECT Name -- who\nFROM Booking /* all */" << none << noNames
                                         << "SELECT \"Name\"  \nFROM \"Booking\"  " << QString();
}

void TestServerSql::translates()
{
    QFETCH(QString, statement);
    QFETCH(QVariantList, binds);
    QFETCH(QVariantMap, named);
    QFETCH(QString, expected);
    QFETCH(QString, fault);

    Translated out;
    const Status s = db::serversql::translate(statement, binds, out, named);
    QVERIFY2(s, qPrintable(s.message()));
    if (!fault.isEmpty())
        QEXPECT_FAIL("", qPrintable(fault), Continue);
    QCOMPARE(out.text, expected);
}

// What would change the database, or its settings, is flagged as writing,
// whatever the case: reports are refused such statements.
void TestServerSql::flagsWrites_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("writes");
    QTest::addColumn<QString>("insertInto");

    QTest::newRow("SELECT") << "SELECT Name FROM Booking" << false << QString();
    QTest::newRow("replace() reads") << "SELECT replace(Name, 'a', 'b') FROM Booking" << false << QString();
    QTest::newRow("REPLACE statement") << "REPLACE INTO Lures (Bait) VALUES ('Spoon')" << true << "Lures";
    QTest::newRow("insert, lower case") << "insert into \"lures\" (bait) values ('Spoon')" << true << "Lures";
    QTest::newRow("INSERT into a table of spaces")
        << "INSERT INTO [Lure Color] (Color) VALUES ('Red')" << true << "Lure Color";
    QTest::newRow("DELETE") << "DELETE FROM Booking WHERE ID = 1" << true << QString();
    QTest::newRow("PRAGMA") << "PRAGMA foreign_keys = ON" << true << QString();
    QTest::newRow("SELECT INTO") << "SELECT Name INTO Copy FROM Booking" << true << QString();
    QTest::newRow("write in a subquery")
        << "WITH gone AS (DELETE FROM Booking RETURNING ID) SELECT ID FROM gone" << true << QString();
}

void TestServerSql::flagsWrites()
{
    QFETCH(QString, statement);
    QFETCH(bool, writes);
    QFETCH(QString, insertInto);

    Translated out;
    const Status s = db::serversql::translate(statement, {}, out);
    QVERIFY2(s, qPrintable(s.message()));
    QCOMPARE(out.writes, writes);
    QCOMPARE(out.insertInto, insertInto);
}

void TestServerSql::refuses_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariantList>("binds");
    QTest::addColumn<QVariantMap>("named");
    QTest::addColumn<QString>("reason"); // words of the refusal

    const QVariantMap noNames;
    QTest::newRow("NUL in a value") << "SELECT ID FROM Booking WHERE Name = ?"
                                    << QVariantList { QStringLiteral("a") + QChar(0) + QStringLiteral("b") }
                                    << noNames << "character the server can not keep";
    QTest::newRow("too few values") << "SELECT ID FROM Booking WHERE Name = ? AND Lake = ?"
                                    << QVariantList { "Ann" } << noNames << "more ? than values";
    QTest::newRow("too many values") << "SELECT ID FROM Booking WHERE Name = ?"
                                     << QVariantList { "Ann", "Bob" } << noNames
                                     << "more values than it has ?";
    QTest::newRow("values for none") << "SELECT ID FROM Booking" << QVariantList { "Ann" } << noNames
                                     << "more values than it has ?";
    QTest::newRow("named value missing") << "SELECT ID FROM Booking WHERE Guide = :guide" << QVariantList()
                                         << QVariantMap { { "lake", "x" } } << "no value is given for :guide";
    QTest::newRow("numbered value") << "SELECT ID FROM Booking WHERE Name = ?1" << QVariantList { "Ann" }
                                    << noNames << "numbered values";
    QTest::newRow("GLOB of a value") << "SELECT ID FROM Booking WHERE Name GLOB ?" << QVariantList { "A*" }
                                     << noNames << "GLOB needs a pattern in quotes";
    QTest::newRow("GLOB of a field") << "SELECT ID FROM Booking WHERE Name GLOB Lake" << QVariantList()
                                     << noNames << "GLOB needs a pattern in quotes";
    QTest::newRow("unknown collation") << "SELECT Name FROM Booking ORDER BY Name COLLATE RTRIM"
                                       << QVariantList() << noNames << "collation rtrim is not known";
    QTest::newRow("two statements") << "SELECT 1; SELECT 2" << QVariantList() << noNames
                                    << "more than one statement";
    QTest::newRow("open quote") << "SELECT 'abc FROM Booking" << QVariantList() << noNames
                                << "quote is not closed";
    QTest::newRow("open name quote") << "SELECT \"Name FROM Booking" << QVariantList() << noNames
                                     << "name's quote is not closed";
    QTest::newRow("open bracket") << "SELECT [Name FROM Booking" << QVariantList() << noNames
                                  << "name's [ is not closed";
    QTest::newRow("open parenthesis")
        << "SELECT count(ID FROM Booking" << QVariantList() << noNames << "( is not closed";
    QTest::newRow("lone parenthesis")
        << "SELECT ID) FROM Booking" << QVariantList() << noNames << ") has no (";
}

void TestServerSql::refuses()
{
    QFETCH(QString, statement);
    QFETCH(QVariantList, binds);
    QFETCH(QVariantMap, named);
    QFETCH(QString, reason);

    Translated out;
    const Status s = db::serversql::translate(statement, binds, out, named);
    QVERIFY2(!s, qPrintable(QStringLiteral("translated to: ") + out.text));
    QVERIFY2(s.message().contains(reason), qPrintable(s.message()));
    QVERIFY(out.text.isEmpty());
}

QTEST_GUILESS_MAIN(TestServerSql)
#include "test_serversql.moc"
