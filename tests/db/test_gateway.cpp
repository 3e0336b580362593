#include "testenv.h"

#include "core/apppaths.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/query.h"

#include <QDir>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>

using namespace bm;

namespace
{

void exec(const QString &sql)
{
    QSqlQuery q(db::connection(databasePath()));
    QVERIFY2(q.exec(sql), qPrintable(sql + QStringLiteral(": ") + q.lastError().text()));
}

QStringList fish()
{
    QStringList names;
    db::Query q;
    if (!q.run(QStringLiteral("SELECT \"Fish\" FROM \"Species\" ORDER BY ID")))
        return { QStringLiteral("<unreadable>") };
    while (q.next())
        names << q.value(QStringLiteral("Fish")).toString();
    return names;
}

} // namespace

// The one way into the database: reads by name, one write path that always
// tells the windows, and connections that do not trust the file.
class TestGateway : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        test::resetDatabase();
        exec("DELETE FROM \"Species\"");
        exec("INSERT INTO \"Species\" (\"Fish\") VALUES ('Bass'), ('Pike')");
    }

    // Every write that lands is said once, after the rows changed, with its
    // table, and the file's generation grows; one that does not land says
    // nothing and leaves the rows as they were.
    void writesAreSaidOnceTheyLand_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("tablesSaid");
        QTest::addColumn<QStringList>("fishAfter");
        const QStringList unchanged { "Bass", "Pike" };
        QTest::newRow("insert") << "insert" << QStringList { "Species" }
                                << QStringList { "Bass", "Pike", "Perch" };
        QTest::newRow("update") << "update" << QStringList { "Species" } << QStringList { "Bass", "Walleye" };
        QTest::newRow("delete") << "delete" << QStringList { "Species" } << QStringList { "Pike" };
        QTest::newRow("refused by the engine") << "refused" << QStringList {} << unchanged;
        QTest::newRow("transaction of two tables")
            << "transaction" << QStringList { "Species", "Lures" } << QStringList { "Bass", "Pike", "Perch" };
        QTest::newRow("transaction not committed") << "abandoned" << QStringList {} << unchanged;
        QTest::newRow("transaction failing half way") << "half way" << QStringList {} << unchanged;
    }
    void writesAreSaidOnceTheyLand()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, tablesSaid);
        QFETCH(QStringList, fishAfter);
        const QString insert = QStringLiteral("INSERT INTO \"Species\" (\"Fish\") VALUES (?)");
        QSignalSpy spy(&DataChanges::instance(), &DataChanges::tableChanged);
        const quint64 before = db::generation(databasePath());
        Status s;
        if (how == "insert") {
            db::Written w;
            s = db::write({}, "Species", insert, { "Perch" }, &w);
            QVERIFY(w.insertId > 0);
            QCOMPARE(w.rowsAffected, 1);
        } else if (how == "update") {
            s = db::write({}, "Species", "UPDATE \"Species\" SET \"Fish\" = ? WHERE \"Fish\" = ?",
                { "Walleye", "Pike" });
        } else if (how == "delete") {
            s = db::write({}, "Species", "DELETE FROM \"Species\" WHERE \"Fish\" = ?", { "Bass" });
        } else if (how == "refused") {
            exec("CREATE TRIGGER refuse BEFORE INSERT ON \"Species\" BEGIN SELECT RAISE(ABORT, 'refused'); "
                 "END");
            s = db::write({}, "Species", insert, { "Perch" });
            QVERIFY2(s.message().contains("refused"), qPrintable(s.message()));
        } else {
            db::Transaction t({});
            QVERIFY(t.begin());
            QVERIFY(t.write("Species", insert, { "Perch" }));
            if (how == "half way")
                s = t.write("Lures", "INSERT INTO \"No Such Table\" (\"Bait\") VALUES (?)", { "Spoon" });
            else
                QVERIFY(t.write("Lures", "INSERT INTO \"Lures\" (\"Bait\") VALUES (?)", { "Spoon" }));
            QCOMPARE(spy.count(), 0); // nothing is said before the commit
            if (how == "transaction")
                s = t.commit();
            else if (how == "abandoned")
                s = Status::failure("abandoned");
        } // an uncommitted transaction rolls back as it goes
        QCOMPARE(bool(s), !tablesSaid.isEmpty());
        QStringList said;
        for (const QList<QVariant> &signal : std::as_const(spy)) {
            QCOMPARE(signal[0].toString(), databasePath());
            said << signal[1].toString();
        }
        QCOMPARE(said, tablesSaid);
        QCOMPARE(db::generation(databasePath()) > before, !tablesSaid.isEmpty());
        QCOMPARE(fish(), fishAfter);
    }

    // A query only reads: whatever would change the file is refused before
    // it runs, and write() takes nothing but a write.
    void queriesOnlyRead_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("insert") << "INSERT INTO \"Species\" (\"Fish\") VALUES ('Perch')";
        QTest::newRow("delete") << "DELETE FROM \"Species\"";
        QTest::newRow("delete behind a WITH") << "WITH x AS (SELECT 1) DELETE FROM \"Species\"";
        QTest::newRow("drop") << "DROP TABLE \"Species\"";
        QTest::newRow("pragma that writes") << "PRAGMA user_version = 7";
        QTest::newRow("nothing") << "   ";
    }
    void queriesOnlyRead()
    {
        QFETCH(QString, sql);
        QSignalSpy spy(&DataChanges::instance(), &DataChanges::tableChanged);
        db::Query q;
        QVERIFY(!q.run(sql));
        QVERIFY(!q.next());
        QVERIFY(!q.status());
        QCOMPARE(fish(), (QStringList { "Bass", "Pike" }));
        QVERIFY(!db::write({}, "Species", "SELECT * FROM \"Species\"", {}));
        QCOMPARE(spy.count(), 0);
    }

    // Columns are read by the name the statement gives them; a failure part
    // way is told from the end of the rows.
    void readsByNameAndTellsFailureFromEnd()
    {
        db::Query q;
        QVERIFY(q.run("SELECT \"Fish\" AS Name, ID FROM \"Species\" ORDER BY ID DESC"));
        QVERIFY(q.next());
        QCOMPARE(q.value("Name").toString(), QString("Pike"));
        QVERIFY(q.value("ID").toLongLong() > 0);
        QCOMPARE(q.text("Name"), QByteArrayView("Pike"));
        QVERIFY(!q.value("Fish").isValid());

        // bm_like fails on a pattern it can not read, on the second row.
        QVERIFY(q.run("SELECT CASE WHEN ID = (SELECT MAX(ID) FROM \"Species\") "
                      "THEN bm_like('[', \"Fish\", 0) ELSE 1 END AS Matched FROM \"Species\" ORDER BY ID"));
        QVERIFY(q.next());
        QVERIFY(!q.next());
        QVERIFY(!q.status());
        QVERIFY2(q.reason().contains("invalid pattern"), qPrintable(q.reason()));

        db::Query missing(QDir(test::dataHome()).filePath("nowhere/tallow.mdb"));
        const Status s = missing.run("SELECT 1 AS One");
        QVERIFY(!s);
        QVERIFY2(s.message().contains("does not exist"), qPrintable(s.message()));
    }

    // What the file holds can not reach the engine's internals through the
    // program's own connection.
    void connectionDistrustsTheFile_data()
    {
        QTest::addColumn<QString>("setUp"); // run first, on the same connection
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("refusal"); // empty: the statement gives nothing
        QTest::newRow("tokenizer pointer read") << ""
                                                << "SELECT fts3_tokenizer('simple') AS P"
                                                << "";
        QTest::newRow("tokenizer pointer planted")
            << ""
            << "SELECT fts3_tokenizer('simple', x'4141414141414141') AS P"
            << "fts3tokenize disabled";
        QTest::newRow("extension") << ""
                                   << "SELECT load_extension('/nonexistent/libevil.so') AS P"
                                   << "not authorized";
        QTest::newRow("huge value") << ""
                                    << "SELECT zeroblob(64 * 1024 * 1024) AS P"
                                    << "too big";
        QTest::newRow("huge text") << ""
                                   << "SELECT printf('%.*c', 64 * 1024 * 1024, 'x') AS P"
                                   << "";
        QTest::newRow("own function from the file's schema")
            << "CREATE VIEW \"Sneaky\" AS SELECT bm_like('a%', \"Fish\", 0) AS M FROM \"Species\""
            << "SELECT * FROM \"Sneaky\""
            << "unsafe use of bm_like";
    }
    void connectionDistrustsTheFile()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, sql);
        QFETCH(QString, refusal);
        if (!setUp.isEmpty())
            exec(setUp);
        db::Query q;
        QVariant value;
        const Status s = q.single(sql, {}, value);
        if (refusal.isEmpty()) {
            QVERIFY2(s, qPrintable(s.message()));
            QVERIFY2(value.isNull(), qPrintable(value.toByteArray().toHex()));
        } else {
            QVERIFY2(!s, qPrintable(value.toString()));
            QVERIFY2(q.reason().contains(refusal), qPrintable(q.reason()));
        }
    }

    // The file's own description of its tables can not be written as data.
    void schemaCanNotBeWrittenAsData()
    {
        QSqlQuery q(db::connection(databasePath()));
        q.exec("PRAGMA writable_schema = ON");
        QVERIFY(
            !q.exec("UPDATE sqlite_schema SET sql = 'CREATE TABLE \"Species\" (x)' WHERE name = 'Species'"));
        q.exec("PRAGMA writable_schema = OFF");
        QCOMPARE(fish(), (QStringList { "Bass", "Pike" }));
    }
};

BM_TEST_MAIN(TestGateway)
#include "test_gateway.moc"
