#include "behind.h"
#include "checks.h"
#include "recordcount.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "core/money.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/query.h"
#include "db/recordsource.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>

using namespace bm;

namespace
{

// Replaces the records of a reference table with the given entries.
void fillTable(const QString &table, const QString &field, const QStringList &entries)
{
    QVERIFY(test::execBehind(QStringLiteral("DELETE FROM \"%1\"").arg(table)));
    for (const QString &e : entries)
        QVERIFY(db::write(databasePath(), table,
            QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES (?)").arg(table, field), { e }));
}

// Runs a statement on the shared connection behind the record sources' backs.
void exec(const QString &sql)
{
    QString error;
    QVERIFY2(test::execBehind(sql, &error), qPrintable(sql + ": " + error));
}

QStringList walk(RecordSource &rs, const QString &field)
{
    QStringList seen;
    BM_CHECK(rs.MoveFirst());
    while (!rs.isEOF()) {
        seen << rs.text(field);
        BM_CHECK(rs.MoveNext());
    }
    return seen;
}

// The first column of every row a statement reads behind the record
// sources' backs.
QStringList walkBehind(const QString &sql)
{
    QStringList values;
    for (const QVariantList &row : test::rowsBehind(sql))
        values << row.value(0).toString();
    return values;
}

} // namespace

class TestRecordSource : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }

    void opensOnFirstRecordAndWalksToTheEnds()
    {
        fillTable("Lakes Fished", "Lake", { "Alpha", "Beta", "Gamma" });
        RecordSource rs("Data2", "Lakes Fished");
        QVERIFY(rs.openStatus());
        QCOMPARE(rs.objectName(), QString("Data2"));
        QCOMPARE(test::recordCount(rs), 3);
        QCOMPARE(rs.text("Lake"), QString("Alpha"));
        QVERIFY(!rs.isBOF() && !rs.isEOF());

        QVERIFY(rs.MovePrevious());
        QVERIFY(rs.isBOF());
        QVERIFY(!rs.MovePrevious()); // nothing before BOF
        QVERIFY(rs.MoveNext());
        QCOMPARE(rs.text("Lake"), QString("Alpha"));

        QVERIFY(rs.MoveLast());
        QCOMPARE(rs.text("Lake"), QString("Gamma"));
        QVERIFY(rs.MoveNext());
        QVERIFY(rs.isEOF());
        QVERIFY(rs.MovePrevious());
        QCOMPARE(rs.text("Lake"), QString("Gamma"));
        QCOMPARE(walk(rs, "Lake"), QStringList({ "Alpha", "Beta", "Gamma" }));
    }

    void oneRecordIsBothEnds()
    {
        RecordSource rs("Data1", "Guide Info");
        QCOMPARE(test::recordCount(rs), 1);
        QVERIFY(rs.MoveNext());
        QVERIFY(rs.isEOF());
        QVERIFY(rs.MovePrevious());
        QCOMPARE(rs.text("Guide Name"), QString("Your Guide Service"));
        QVERIFY(rs.MovePrevious());
        QVERIFY(rs.isBOF());
        QVERIFY(rs.MoveNext());
        QVERIFY(rs.hasCurrent());
    }

    void emptyTableIsBofAndEof()
    {
        fillTable("Marinas", "Ramps", {});
        RecordSource rs("Data5", "Marinas");
        QVERIFY(rs.openStatus());
        QVERIFY(rs.isEOF());
        QCOMPARE(test::recordCount(rs), 0);
        QVERIFY(!rs.Edit());
        QVERIFY(!rs.Delete());
        QVERIFY(rs.AddNew());
        QVERIFY(rs.setValue("Ramps", "First ramp"));
        QVERIFY(rs.Update());
        QCOMPARE(test::recordCount(rs), 1);
    }

    void deleteThenMove_data()
    {
        QTest::addColumn<int>("deleteIndex");
        QTest::addColumn<QString>("currentAfter");
        QTest::addColumn<QStringList>("remaining");
        QTest::newRow("first") << 0 << "Beta" << QStringList { "Beta", "Gamma", "Delta" };
        QTest::newRow("middle") << 1 << "Gamma" << QStringList { "Alpha", "Gamma", "Delta" };
        QTest::newRow("last") << 3 << "Gamma" << QStringList { "Alpha", "Beta", "Gamma" };
    }
    void deleteThenMove()
    {
        QFETCH(int, deleteIndex);
        QFETCH(QString, currentAfter);
        QFETCH(QStringList, remaining);
        fillTable("Lures", "Bait", { "Alpha", "Beta", "Gamma", "Delta" });
        RecordSource rs("Data3", "Lures");
        for (int i = 0; i < deleteIndex; ++i)
            BM_VERIFY(rs.MoveNext());
        QVERIFY(rs.Delete());
        QVERIFY(!rs.hasCurrent());
        QVERIFY(rs.value("Bait").isNull());
        QCOMPARE(test::recordCount(rs), 3);
        QVERIFY(rs.MoveNext());
        if (rs.isEOF())
            QVERIFY(rs.MovePrevious());
        QCOMPARE(rs.text("Bait"), currentAfter);
        QCOMPARE(walk(rs, "Bait"), remaining);
    }

    void addNewUpdateStandsOnThePreviousRecord()
    {
        fillTable("Species", "Fish", { "Bass", "Pike" });
        RecordSource rs("Data6", "Species");
        BM_VERIFY(rs.MoveNext()); // Pike
        QVERIFY(rs.AddNew());
        QVERIFY(rs.value("Fish").isNull());
        QVERIFY(rs.setValue("Fish", "Walleye"));
        QCOMPARE(rs.text("Fish"), QString("Walleye")); // the pending record shows
        QVERIFY(rs.Update());
        QCOMPARE(rs.text("Fish"), QString("Pike"));
        QCOMPARE(test::recordCount(rs), 3);
        QVERIFY(rs.setBookmark(rs.LastModified()));
        QCOMPARE(rs.text("Fish"), QString("Walleye"));
        QCOMPARE(walk(rs, "Fish"), QStringList({ "Bass", "Pike", "Walleye" }));
    }

    void cancelUpdateDropsNewAndChangedRecords()
    {
        fillTable("Species", "Fish", { "Bass", "Pike" });
        RecordSource rs("Data6", "Species");
        QVERIFY(rs.AddNew());
        BM_VERIFY(rs.setValue("Fish", "Dropped"));
        rs.CancelUpdate();
        QCOMPARE(rs.text("Fish"), QString("Bass"));
        QVERIFY(rs.Edit());
        BM_VERIFY(rs.setValue("Fish", "Changed"));
        rs.CancelUpdate();
        QCOMPARE(rs.text("Fish"), QString("Bass"));
        QCOMPARE(walk(rs, "Fish"), QStringList({ "Bass", "Pike" }));
        QCOMPARE(rs.editMode(), RecordSource::EditMode::None);
    }

    void addNewDuringEditDropsTheChange()
    {
        fillTable("Species", "Fish", { "Bass", "Pike" });
        RecordSource rs("Data6", "Species");
        BM_VERIFY(rs.MoveNext());
        QVERIFY(rs.Edit());
        BM_VERIFY(rs.setValue("Fish", "Dropped change"));
        QVERIFY(rs.AddNew());
        BM_VERIFY(rs.setValue("Fish", "Perch"));
        QVERIFY(rs.Update());
        QCOMPARE(rs.text("Fish"), QString("Pike"));
        QCOMPARE(walk(rs, "Fish"), QStringList({ "Bass", "Pike", "Perch" }));
    }

    void editUpdateKeepsPositionAndSetsLastModified()
    {
        fillTable("Species", "Fish", { "Bass", "Pike", "Perch" });
        RecordSource rs("Data6", "Species");
        BM_VERIFY(rs.MoveNext());
        const Bookmark pike = rs.bookmark();
        QVERIFY(rs.Edit());
        BM_VERIFY(rs.setValue("Fish", "Northern Pike"));
        QVERIFY(rs.Update());
        QCOMPARE(rs.bookmark(), pike);
        QCOMPARE(rs.LastModified(), pike);
        QCOMPARE(rs.text("Fish"), QString("Northern Pike"));
    }

    void bookmarksCrossRecordSourcesAndRefresh()
    {
        fillTable("Lakes Fished", "Lake", { "Alpha", "Beta", "Gamma" });
        RecordSource a("DatA", "Lakes Fished");
        RecordSource b("DatB", "Lakes Fished");
        BM_VERIFY(a.MoveLast());
        const Bookmark gamma = a.bookmark();
        QVERIFY(b.setBookmark(gamma));
        QCOMPARE(b.text("Lake"), QString("Gamma"));
        QSignalSpy rereads(&a, &RecordSource::refreshed);
        QVERIFY(a.Refresh());
        QCOMPARE(a.text("Lake"), QString("Alpha"));
        BM_VERIFY(a.MoveNext());
        QCOMPARE(rereads.count(), 1); // a re-read, not a move
        BM_VERIFY(a.MoveFirst());
        QVERIFY(b.Refresh());
        QVERIFY(b.setBookmark(gamma));
        QCOMPARE(b.text("Lake"), QString("Gamma"));

        // A record deleted through one record source can't be reached by the other.
        QVERIFY(b.Delete());
        QVERIFY(!a.setBookmark(gamma));
        QCOMPARE(a.text("Lake"), QString("Alpha")); // position unchanged

        // Records added through one show in the other's count at once and
        // in its records after Refresh.
        QVERIFY(a.AddNew());
        BM_VERIFY(a.setValue("Lake", "Delta"));
        QVERIFY(a.Update());
        QCOMPARE(test::recordCount(b), 3);
        BM_VERIFY(b.Refresh());
        QCOMPARE(walk(b, "Lake"), QStringList({ "Alpha", "Beta", "Delta" }));
    }

    void pendingRecordsAreIndependent()
    {
        RecordSource a("A", "Phone");
        RecordSource b("B", "Phone");
        QVERIFY(a.Edit());
        BM_VERIFY(a.setValue("Name", "Changed in A"));
        QCOMPARE(b.text("Name"), QString("Sample Customer"));
        QCOMPARE(b.editMode(), RecordSource::EditMode::None);
        a.CancelUpdate();
    }

    void fieldKinds_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown");
        QTest::newRow("amount text") << "Total Charge" << QVariant("250") << true << "250.00";
        QTest::newRow("amount decimals") << "Total Charge" << QVariant("12.345") << true << "12.345";
        QTest::newRow("amount grouped") << "Total Charge" << QVariant("1,250.5") << true << "1250.50";
        QTest::newRow("amount negative") << "Balance Due" << QVariant("-20") << true << "-20.00";
        QTest::newRow("amount empty") << "Total Charge" << QVariant("") << true << "";
        QTest::newRow("amount money")
            << "Tax" << QVariant::fromValue(Money::fromUnits(202500)) << true << "20.25";
        QTest::newRow("amount slash") << "Total Charge" << QVariant("1/2") << false << "";
        QTest::newRow("amount letters") << "Deposit Amount" << QVariant("fifty") << false << "";
        QTest::newRow("amount dollar sign") << "Deposit Amount" << QVariant("$50") << false << "";
        QTest::newRow("amount lone point") << "Deposit Amount" << QVariant(".") << false << "";
        QTest::newRow("date") << "Date" << QVariant(QDate(2005, 5, 14)) << true << "5/14/2005";
        QTest::newRow("date text") << "Date" << QVariant("12/30/2005") << true << "12/30/2005";
        QTest::newRow("date iso") << "Date" << QVariant("2006-01-03") << true << "1/3/2006";
        QTest::newRow("date empty") << "Deposit Received" << QVariant(QDate()) << true << "";
        QTest::newRow("date invalid") << "Date" << QVariant("2/30/2005") << false << "";
        QTest::newRow("date words") << "Date" << QVariant("next Tuesday") << false << "";
        QTest::newRow("text anything") << "Remarks" << QVariant("O'Brien; DROP TABLE \"Booking\" --") << true
                                       << "O'Brien; DROP TABLE \"Booking\" --";
        QTest::newRow("text blanks") << "Name" << QVariant("   ") << true << "   ";
        QTest::newRow("text long") << "Notes" << QVariant(QString(100000, QChar(0x00e9))) << true
                                   << QString(100000, QChar(0x00e9));
    }
    void fieldKinds()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, input);
        QFETCH(bool, accepted);
        QFETCH(QString, shown);
        RecordSource rs("Data1", "Booking");
        const int before = test::recordCount(rs);
        QVERIFY(rs.AddNew());
        BM_VERIFY(rs.setValue("Name", "Kind test"));
        QVERIFY(rs.setValue(field, input));
        const Status s = rs.Update();
        QCOMPARE(bool(s), accepted);
        if (!accepted) {
            QCOMPARE(
                s.message(), QString("The value %1 can not be stored in %2.").arg(input.toString(), field));
            QCOMPARE(rs.editMode(), RecordSource::EditMode::Add); // still pending
            QCOMPARE(rs.text("Name"), QString("Kind test"));
            QCOMPARE(test::recordCount(rs), before); // nothing written
            rs.CancelUpdate();
            return;
        }
        RecordSource check("Check", "Booking");
        QVERIFY(check.setBookmark(rs.LastModified()));
        QCOMPARE(check.text(field), shown);
    }

    void amountsAreStoredExactly()
    {
        RecordSource rs("Data1", "Booking");
        BM_VERIFY(rs.Edit());
        BM_VERIFY(rs.setValue("Total Charge", "0.1"));
        BM_VERIFY(rs.setValue("Deposit Amount", "0.2"));
        QVERIFY(rs.Update());
        const auto rows = test::rowsBehind(
            QString("SELECT %1(\"Total Charge\"), \"Total Charge\" + \"Deposit Amount\" FROM Booking")
                .arg(test::onServer() ? "pg_typeof" : "typeof"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toString(), QString(test::onServer() ? "bigint" : "integer"));
        QCOMPARE(rows[0][1].toLongLong(), 3000LL);
        QCOMPARE(rs.value("Total Charge").value<Money>().units(), 1000);
    }

    void queryYieldsBookingsWithADate()
    {
        RecordSource all("Data1", "Booking");
        for (const QVariant &date :
            { QVariant(QDate(2005, 5, 14)), QVariant(), QVariant(QDate(2006, 1, 3)) }) {
            QVERIFY(all.AddNew());
            BM_VERIFY(all.setValue("Name", date.isNull() ? "No date" : "Dated"));
            BM_VERIFY(all.setValue("Date", date));
            QVERIFY(all.Update());
        }
        RecordSource dated("Data1", "SELECT * FROM Booking WHERE Date");
        QVERIFY(dated.openStatus());
        QCOMPARE(test::recordCount(all), 4);
        QCOMPARE(test::recordCount(dated), 3);
        QCOMPARE(walk(dated, "Name"), QStringList({ "Sample Customer", "Dated", "Dated" }));
        QCOMPARE(test::recordCount(RecordSource("X", "select * from booking where [Date]")), 3);
        QVERIFY(!RecordSource("X", "SELECT * FROM Booking WHERE Nonsense").openStatus());
        QVERIFY(!RecordSource("X", "No Such Table").openStatus());
    }

    // A query source's bare field keeps what the file's engine holds true:
    // a value that starts with a number other than zero.
    void queryKeepsWhatTheFileHoldsTrue_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("kept");
        const struct {
            const char *stored;
            bool kept;
        } cases[] = { { "2025-06-01", true }, { "0000-00-00", false }, { "9z", true }, { " 7", true },
            { "+3", true }, { ".5", true }, { "-0", false }, { "0.0e9", false }, { "1.5e3", true },
            { "2E-3", true }, { "1e0x", true }, { "1e400", true }, { "-0e99999", false }, { "soon", false },
            { "0x10", false }, { "", false } };
        for (const auto &c : cases)
            QTest::newRow(*c.stored ? c.stored : "empty") << QString::fromLatin1(c.stored) << c.kept;
    }
    void queryKeepsWhatTheFileHoldsTrue()
    {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        QVERIFY(test::execBehind("DELETE FROM Booking"));
        QVERIFY(test::execBehind("INSERT INTO Booking (Name, Date) VALUES ('x', ?)", { stored }));
        QCOMPARE(test::recordCount(RecordSource("Data1", "SELECT * FROM Booking WHERE Date")), kept ? 1 : 0);
    }

    void implicitChangeIsWrittenOnMoveAndClose()
    {
        fillTable("Lakes Fished", "Lake", { "Alpha", "Beta" });
        {
            RecordSource rs("Data1", "Lakes Fished");
            QVERIFY(rs.setValue("Lake", "Alpha Lake"));
            BM_VERIFY(rs.MoveNext());
            QVERIFY(rs.setValue("Lake", "Beta Lake"));
        } // closes
        RecordSource check("Check", "Lakes Fished");
        QCOMPARE(walk(check, "Lake"), QStringList({ "Alpha Lake", "Beta Lake" }));
    }

    void findFirstAndNext()
    {
        RecordSource rs("Data1", "Booking");
        const QStringList remarks { "Big bass on a jig", "nothing", "JIGS all day", "rain", "jigging" };
        for (const QString &r : remarks) {
            BM_VERIFY(rs.AddNew());
            BM_VERIFY(rs.setValue("Remarks", r));
            QVERIFY(rs.Update());
        }
        QStringList found;
        QVERIFY(rs.FindFirst("Remarks LIKE '*jig*'"));
        while (!rs.NoMatch()) {
            found << rs.text("Remarks");
            QVERIFY(rs.FindNext("Remarks LIKE '*jig*'"));
        }
        QCOMPARE(found, QStringList({ "Big bass on a jig", "JIGS all day", "jigging" }));
        QCOMPARE(rs.text("Remarks"), QString("jigging")); // stays on the last match

        QVERIFY(rs.FindFirst("[Lake Area] LIKE '*x*'"));
        QVERIFY(rs.NoMatch());
        QVERIFY(!rs.FindFirst("Remarks LIKE '*O'Brien*'"));
        QVERIFY(!rs.FindFirst("Nonsense LIKE '*'"));

        QVERIFY(rs.FindFirst("Date LIKE '6/6/2026'"));
        QVERIFY(!rs.NoMatch());
        QCOMPARE(rs.text("Name"), QString("Sample Customer"));
    }

    void columnListsEveryRecordInOrder()
    {
        fillTable("Trip Type", "Trip Type", { "Half Day", "", "Full Day" });
        RecordSource rs("Data7", "Trip Type");
        const auto rows = rs.column("Trip Type");
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].second, QString("Half Day"));
        QCOMPARE(rows[1].second, QString());
        QVERIFY(rs.setBookmark(rows[2].first));
        QCOMPARE(rs.text("Trip Type"), QString("Full Day"));
    }

    // A failure of the engine is handed back and logged; it never reads as
    // an empty table, an empty list or a record with empty fields.
    void engineFailuresAreToldNotShownAsEmpty_data()
    {
        QTest::addColumn<QString>("read");
        QTest::newRow("count") << "count";
        QTest::newRow("column") << "column";
        QTest::newRow("current record") << "current";
        QTest::newRow("edit") << "edit";
    }
    void engineFailuresAreToldNotShownAsEmpty()
    {
        QFETCH(QString, read);
        fillTable("Lures", "Bait", { "Jig", "Spinner" });
        RecordSource rs("Data3", "Lures");
        exec("ALTER TABLE \"Lures\" RENAME TO \"Lures away\"");
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(
                "^Data3 \\(Lures\\): .*" + QRegularExpression::escape(test::missingTable("Lures"))));
        int n = -1;
        QVector<QPair<Bookmark, QString>> rows { { Bookmark { 1 }, "stale" } };
        Status s;
        if (read == "count")
            s = rs.count(n);
        else if (read == "column")
            s = rs.columnValues("Bait", rows);
        else if (read == "current")
            s = rs.readCurrent();
        else
            s = rs.Edit();
        QVERIFY(!s);
        QVERIFY2(s.message().startsWith("The database could not do this: " + test::missingTable("Lures")),
            qPrintable(s.message()));
        QCOMPARE(rs.editMode(), RecordSource::EditMode::None); // nothing to save over the record

        exec("ALTER TABLE \"Lures away\" RENAME TO \"Lures\"");
        if (read == "count") {
            QVERIFY(rs.count(n));
            QCOMPARE(n, 2);
        } else if (read == "column") {
            QVERIFY(rs.columnValues("Bait", rows));
            QCOMPARE(rows.size(), 2);
            QCOMPARE(rows[1].second, QString("Spinner"));
        } else if (read == "current") {
            QVERIFY(rs.readCurrent()); // asked again, read again
            QCOMPARE(rs.text("Bait"), QString("Jig"));
        } else {
            QVERIFY(!rs.Update()); // the refused Edit left nothing pending
            QVERIFY(rs.Edit());
            QCOMPARE(rs.text("Bait"), QString("Jig"));
            rs.CancelUpdate();
        }
    }

    void recordDeletedElsewhereIsNotShownAsBlank()
    {
        fillTable("Lures", "Bait", { "Jig", "Spinner" });
        RecordSource a("DatA", "Lures");
        RecordSource b("DatB", "Lures");
        QVERIFY(b.Delete());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^DatA \\(Lures\\): .*may have been deleted"));
        const Status s = a.Edit();
        QVERIFY(!s);
        QCOMPARE(s.message(), QString("The record can not be found; it may have been deleted."));
        QCOMPARE(a.editMode(), RecordSource::EditMode::None);
        QVERIFY(a.MoveNext());
        QVERIFY(a.readCurrent());
        QCOMPARE(a.text("Bait"), QString("Spinner"));
    }

    // What a save writes along with its record is committed with it, sees
    // the record as written, and goes when the record's write does not.
    void alsoWriteStandsOrFallsWithTheSave_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<bool>("alsoFails");
        QTest::addColumn<bool>("deletedMeanwhile");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("alsoCalls");
        QTest::newRow("new record") << true << false << false << true << 1;
        QTest::newRow("changed record") << false << false << false << true << 1;
        QTest::newRow("new record, the other write fails") << true << true << false << false << 1;
        QTest::newRow("changed record, the other write fails") << false << true << false << false << 1;
        QTest::newRow("changed record deleted meanwhile") << false << false << true << false << 0;
    }
    void alsoWriteStandsOrFallsWithTheSave()
    {
        QFETCH(bool, adding);
        QFETCH(bool, alsoFails);
        QFETCH(bool, deletedMeanwhile);
        QFETCH(bool, saved);
        QFETCH(int, alsoCalls);
        fillTable("Lakes Fished", "Lake", { "Alpha", "Beta" });
        fillTable("Marinas", "Ramps", {});
        RecordSource rs("Data2", "Lakes Fished");
        QVERIFY(rs.MoveLast());
        const qint64 beta = rs.bookmark().id;
        QList<qint64> keys;
        QList<RecordSource::EditMode> modes;
        rs.setAlsoWrite([&](db::Transaction &t, qint64 key, RecordSource::EditMode mode) {
            keys << key;
            modes << mode;
            // The record is there for what goes with it, as it is written.
            QVariant lake;
            if (Status s = t.single("SELECT Lake FROM \"Lakes Fished\" WHERE ID = ?", { key }, lake); !s)
                return s;
            if (Status s = t.write("Marinas", "INSERT INTO Marinas (Ramps) VALUES (?)", { lake.toString() });
                !s)
                return s;
            return alsoFails ? Status::failure("The ramp could not be added.") : Status::ok();
        });
        QVERIFY(adding ? rs.AddNew() : rs.Edit());
        QVERIFY(rs.setValue("Lake", "Gamma"));
        if (deletedMeanwhile)
            QVERIFY(test::execBehind("DELETE FROM \"Lakes Fished\" WHERE ID = ?", { beta }));
        QSignalSpy told(&DataChanges::instance(), &DataChanges::tableChanged);
        if (alsoFails)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Data2 \\(Lakes Fished\\): "));
        const Status s = rs.Update();
        QCOMPARE(bool(s), saved);
        QCOMPARE(keys.size(), alsoCalls);
        auto lakes = [] { return walkBehind("SELECT Lake FROM \"Lakes Fished\" ORDER BY ID"); };
        auto ramps = [] { return walkBehind("SELECT Ramps FROM Marinas ORDER BY ID"); };
        if (saved) {
            QCOMPARE(rs.editMode(), RecordSource::EditMode::None);
            QCOMPARE(keys.first(), rs.LastModified().id);
            QCOMPARE(modes.first(), adding ? RecordSource::EditMode::Add : RecordSource::EditMode::Edit);
            if (!adding)
                QCOMPARE(keys.first(), beta);
            QCOMPARE(lakes(),
                adding ? QStringList({ "Alpha", "Beta", "Gamma" }) : QStringList({ "Alpha", "Gamma" }));
            QCOMPARE(ramps(), QStringList { "Gamma" });
            QStringList tables;
            for (const QList<QVariant> &said : told)
                tables << said[1].toString();
            QVERIFY2(
                tables.contains("Lakes Fished") && tables.contains("Marinas"), qPrintable(tables.join(", ")));
            return;
        }
        // Nothing of it stays, nothing is said, and the record is pending as
        // the guide left it.
        if (alsoFails)
            QVERIFY2(s.message().contains("The ramp could not be added."), qPrintable(s.message()));
        QCOMPARE(told.count(), 0);
        QCOMPARE(rs.editMode(), adding ? RecordSource::EditMode::Add : RecordSource::EditMode::Edit);
        QCOMPARE(rs.text("Lake"), QString("Gamma"));
        QCOMPARE(lakes(), deletedMeanwhile ? QStringList { "Alpha" } : QStringList({ "Alpha", "Beta" }));
        QCOMPARE(ramps(), QStringList());
        if (deletedMeanwhile)
            return;
        // Saved again without what went with it, it is written as it was.
        rs.setAlsoWrite({});
        QVERIFY(rs.Update());
        QCOMPARE(
            lakes(), adding ? QStringList({ "Alpha", "Beta", "Gamma" }) : QStringList({ "Alpha", "Gamma" }));
        QCOMPARE(ramps(), QStringList());
    }

    void changeThatCanNotBeWrittenIsTold()
    {
        fillTable("Lures", "Bait", { "Jig" });
        QVERIFY(test::refuseWrites("refuse", "UPDATE", "Lures", "the disk is full"));
        QSignalSpy lost(&DataChanges::instance(), &DataChanges::changeLost);
        const QRegularExpression refused("^Data3 \\(Lures\\): .*the disk is full");
        {
            RecordSource rs("Data3", "Lures");
            QVERIFY(rs.setValue("Bait", "Spinner"));
            // Written on request: the failure is handed back, the change stays.
            QTest::ignoreMessage(QtWarningMsg, refused);
            const Status s = rs.writePending();
            QVERIFY(!s);
            QVERIFY2(s.message().contains("the disk is full"), qPrintable(s.message()));
            QCOMPARE(rs.text("Bait"), QString("Spinner"));
            QCOMPARE(lost.count(), 0);
            // Closing with it: logged and told.
            QTest::ignoreMessage(QtWarningMsg, refused);
            QTest::ignoreMessage(QtWarningMsg,
                QRegularExpression("^Data3 \\(Lures\\): a change was lost as the record source closed"));
        }
        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost[0][0].toString(), databasePath());
        QCOMPARE(lost[0][1].toString(), QString("Lures"));
        QVERIFY2(lost[0][2].toString().contains("the disk is full"), qPrintable(lost[0][2].toString()));

        exec(test::onServer() ? "DROP TRIGGER refuse ON \"Lures\"" : "DROP TRIGGER refuse");
        {
            RecordSource rs("Data3", "Lures");
            QCOMPARE(rs.text("Bait"), QString("Jig")); // nothing was half written
            QVERIFY(rs.setValue("Bait", "Spinner"));
            QVERIFY(rs.writePending());
        }
        QCOMPARE(lost.count(), 1);
        RecordSource check("Check", "Lures");
        QCOMPARE(check.text("Bait"), QString("Spinner"));
    }
};

BM_TEST_MAIN(TestRecordSource)
#include "test_recordsource.moc"
