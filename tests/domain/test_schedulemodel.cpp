#include "behind.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/recordsource.h"
#include "domain/schedulemodel.h"

#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>

#include <algorithm>
#include <numeric>

using namespace bm;

namespace
{

void exec(const QString &sql)
{
    QString error;
    QVERIFY2(test::execBehind(sql, &error), qPrintable(sql + ": " + error));
}

QStringList names(const ScheduleModel &model)
{
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.index(row, 1).data().toString();
    return shown;
}

constexpr int page = ScheduleModel::pageSize;

// count bookings named B1, B2, ... with every seventh deleted again, so that
// the keys have gaps and a row's key is not its position.
void makeBookings(int count)
{
    exec("DELETE FROM Booking");
    exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                 "INSERT INTO Booking (Date, Lake, Name) SELECT %2, 'Lake ' || (i % 4), 'B' || i FROM n")
             .arg(count + count / 5 + 7)
             .arg(test::onServer() ? "to_char(CAST('2001-01-01' AS DATE) + i * 37 % 500, 'YYYY-MM-DD')"
                                   : "date('2001-01-01', '+' || (i * 37 % 500) || ' days')"));
    exec("DELETE FROM Booking WHERE CAST(substr(Name, 2) AS INTEGER) % 7 = 3");
    exec(QString("DELETE FROM Booking WHERE ID NOT IN (SELECT ID FROM Booking ORDER BY ID LIMIT %1)")
             .arg(count));
}

// The bookings as the database has them, by key: what the rows must show.
QList<QPair<qint64, QString>> stored(const QString &orderBy = "ID")
{
    QList<QPair<qint64, QString>> rows;
    for (const QVariantList &row : test::rowsBehind("SELECT ID, Name FROM Booking ORDER BY " + orderBy))
        rows << qMakePair(row[0].toLongLong(), row[1].toString());
    return rows;
}

// Row by row in the order given: the name shown, the bookmark and rowOf
// agree with the database.
void checkRows(
    const ScheduleModel &model, const QList<int> &order, const QList<QPair<qint64, QString>> &expected)
{
    for (int row : order) {
        QCOMPARE(model.index(row, 1).data().toString(), expected[row].second);
        QCOMPARE(model.bookmarkAt(row).id, expected[row].first);
    }
    for (int row : order)
        QCOMPARE(model.rowOf(Bookmark { expected[row].first }), row);
}

} // namespace

// Bookings that can not be read are said to be unreadable, once, and never
// shown as a schedule without bookings; what was shown stays.
class TestScheduleModel : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        test::resetDatabase();
        exec("DELETE FROM Booking");
        exec("INSERT INTO Booking (Date, Name, \"Total Charge\") VALUES ('2005-06-01', 'Cy', 2500000), "
             "('2005-05-14', 'Ann', NULL), ('2005-05-20', 'Bo', 26750)");
    }

    void shownAsTheScreensShowThem()
    {
        ScheduleModel model({ "Date", "Name", "Total Charge" });
        const QAbstractItemModelTester modelTested(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.status());
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(0, 0).data().toString(), QString("6/1/2005"));
        QCOMPARE(model.index(0, 2).data().toString(), QString("250.00"));
        QCOMPARE(model.index(1, 2).data().toString(), QString());
        QCOMPARE(model.index(2, 2).data().toString(), QString("2.675"));
    }

    void statusBesideTheColumns_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("sort");
        QTest::newRow("dates alone, in record order") << QStringList { "Date" } << "";
        QTest::newRow("dates alone, sorted") << QStringList { "Date" } << "date";
        QTest::newRow("with Status, sorted by lake") << QStringList { "Name", "Status" } << "lake";
    }
    // Every cell gives its booking's Status, whether Status is a column or
    // not, in whatever order the rows stand.
    void statusBesideTheColumns()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, sort);
        exec("UPDATE Booking SET Status = 'Requested', Lake = 'B' WHERE Name = 'Ann'");
        exec("UPDATE Booking SET Status = 'Cancelled', Lake = 'A' WHERE Name = 'Bo'");
        exec("UPDATE Booking SET Status = NULL, Lake = 'C' WHERE Name = 'Cy'");
        ScheduleModel model(fields);
        if (sort == "date")
            model.sortByDate();
        else if (sort == "lake")
            model.sortByLake();
        QCOMPARE(model.columnCount(), fields.size());
        const QHash<qint64, QString> expected {
            { test::rowsBehind("SELECT ID FROM Booking WHERE Name = 'Ann'").value(0).value(0).toLongLong(),
                "Requested" },
            { test::rowsBehind("SELECT ID FROM Booking WHERE Name = 'Bo'").value(0).value(0).toLongLong(),
                "Cancelled" },
            { test::rowsBehind("SELECT ID FROM Booking WHERE Name = 'Cy'").value(0).value(0).toLongLong(),
                "" },
        };
        QCOMPARE(model.rowCount(), 3);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < model.columnCount(); ++column)
                QCOMPARE(model.index(row, column).data(ScheduleModel::StatusRole).toString(),
                    expected.value(model.bookmarkAt(row).id, "?"));
    }

    void failedReadsAreSaid_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<QStringList>("shownWhileFailing");
        QTest::newRow("reload") << "reload" << QStringList { "Cy", "Ann", "Bo" };
        QTest::newRow("sort") << "sort" << QStringList { "Cy", "Ann", "Bo" };
        QTest::newRow("page of rows") << "page" << QStringList { "", "", "" };
    }
    void failedReadsAreSaid()
    {
        QFETCH(QString, read);
        QFETCH(QStringList, shownWhileFailing);
        ScheduleModel model({ "Date", "Name" });
        if (read != "page")
            QCOMPARE(names(model), QStringList({ "Cy", "Ann", "Bo" }));
        QSignalSpy said(&model, &ScheduleModel::readFailed);
        exec("ALTER TABLE Booking RENAME TO \"Booking away\"");
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(
                "^The bookings could not be .*" + QRegularExpression::escape(test::missingTable("Booking"))));
        if (read == "reload")
            model.reload();
        else if (read == "sort")
            model.sortByDate();
        QCOMPARE(names(model), shownWhileFailing); // a page tried again says nothing new
        QVERIFY(!model.status());
        QVERIFY2(model.status().message().contains(test::missingTable("Booking")),
            qPrintable(model.status().message()));
        QCOMPARE(said.count(), 0); // said after the read, not during it (a grid may be painting)
        QVERIFY(said.wait(1000));
        QCOMPARE(said.count(), 1);
        QVERIFY2(
            said[0][0].toString().contains(test::missingTable("Booking")), qPrintable(said[0][0].toString()));
        QCOMPARE(model.rowCount(), 3);

        exec("ALTER TABLE \"Booking away\" RENAME TO Booking");
        if (read == "reload")
            model.reload();
        else if (read == "sort")
            model.sortByDate();
        const QStringList expected
            = read == "sort" ? QStringList { "Ann", "Bo", "Cy" } : QStringList { "Cy", "Ann", "Bo" };
        QCOMPARE(names(model), expected);
        QVERIFY(model.status());
        QTest::qWait(10);
        QCOMPARE(said.count(), 1);
    }

    // Rows, bookmarks and rowOf right across page boundaries and on the last
    // partial page, whichever order the rows are read in: each page is read
    // from the nearest row whose key the model already knows.
    void rowsAcrossPages_data()
    {
        QTest::addColumn<int>("bookings");
        QTest::addColumn<QList<int>>("order");
        const int n = 2 * page + 5;
        QTest::newRow("forward") << n << QList<int> { 0, page - 1, page, 2 * page - 1, 2 * page, n - 1 };
        QTest::newRow("backward from the end")
            << n << QList<int> { n - 1, 2 * page, 2 * page - 1, page, page - 1, 0 };
        QTest::newRow("middle first") << n << QList<int> { page + 3, n - 2, 1, 2 * page - 1 };
        QTest::newRow("last page only") << n << QList<int> { 2 * page + 4, 2 * page };
        QTest::newRow("exactly full pages") << 2 * page << QList<int> { 2 * page - 1, page, page - 1, 0 };
        QTest::newRow("one short of a page") << page - 1 << QList<int> { page - 2, 0 };
        QTest::newRow("four pages, jumps")
            << 4 * page + 1 << QList<int> { 4 * page, 2 * page + 7, 3 * page, page + 1, 0 };
        // Further from any row read than the model steps over: a row near
        // the page is found by its key first.
        QTest::newRow("far jumps") << 30 * page
                + 3 << QList<int> { 15 * page + 5, 7 * page + 70, 30 * page + 2, 22 * page, 23 * page - 1 };
    }
    void rowsAcrossPages()
    {
        QFETCH(int, bookings);
        QFETCH(QList<int>, order);
        makeBookings(bookings);
        const auto expected = stored();
        QCOMPARE(expected.size(), bookings);
        ScheduleModel model({ "Date", "Name" });
        const QAbstractItemModelTester modelTested(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), bookings);
        checkRows(model, order, expected);
        QVERIFY(!model.bookmarkAt(bookings).isValid());
        QVERIFY(!model.index(bookings, 1).data().isValid());
        QVERIFY(model.status());

        // rowOf before any row is read: counted, not looked up in a page.
        ScheduleModel fresh({ "Name" });
        const QAbstractItemModelTester freshTested(
            &fresh, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int row : order)
            QCOMPARE(fresh.rowOf(Bookmark { expected[row].first }), row);
        // A key that is not a booking (a deleted one) has no row.
        qint64 gap = expected.last().first + 1;
        for (qsizetype i = 1; i < expected.size(); ++i)
            if (expected[i].first != expected[i - 1].first + 1) {
                gap = expected[i - 1].first + 1;
                break;
            }
        QCOMPARE(fresh.rowOf(Bookmark { gap }), -1);
        QVERIFY(fresh.status());
    }

    // The sorts keep their rules across pages: dates compared as dates
    // (unreadable last), lakes that read as numbers by value before the
    // others as text without case, empty last; equal keys in record order.
    void sortsKeepTheirRules_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("values");
        // Indexes into values, in sorted order; values grouped together sort
        // as equal, their bookings in record order among each other.
        QTest::addColumn<QList<QList<int>>>("expected");
        QTest::newRow("dates as dates")
            << "Date" << QStringList { "2005-06-02", "2005/06/01", "junk", "", "2005-06-01", "1999-12-31" }
            << QList<QList<int>> { { 5 }, { 1, 4 }, { 0 }, { 2, 3 } };
        QTest::newRow("lakes") << "Lake"
                               << QStringList { "Table Rock", "5.0", "", "bull shoals", "5", "  ",
                                      "Bull Shoals", "12" }
                               << QList<QList<int>> { { 1, 4 }, { 7 }, { 6 }, { 3 }, { 0 }, { 2, 5 } };
    }
    void sortsKeepTheirRules()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, values);
        QFETCH(QList<QList<int>>, expected);
        exec("DELETE FROM Booking");
        // Each value on a run of bookings long enough to cross pages.
        const int copies = page / 2 + 3;
        for (int i = 0; i < values.size(); ++i)
            exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                         "INSERT INTO Booking (\"%2\", Name) SELECT '%3', 'V%4-' || i FROM n")
                     .arg(copies)
                     .arg(field, values[i])
                     .arg(i));
        // Interleave the runs so that ties must be put back in key order.
        exec("UPDATE Booking SET ID = ID * 1000 + (ID % 5) * 100000000");
        QList<QPair<qint64, QString>> order;
        for (const QList<int> &equal : expected)
            for (const auto &b : stored("ID"))
                if (equal.contains(b.second.section('-', 0, 0).mid(1).toInt()))
                    order << b;
        ScheduleModel model({ "Date", "Name" });
        const QAbstractItemModelTester modelTested(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        if (field == "Date")
            model.sortByDate();
        else
            model.sortByLake();
        QVERIFY(model.status());
        QVERIFY(!model.inRecordOrder());
        QCOMPARE(model.rowCount(), order.size());
        QList<int> all(order.size());
        std::iota(all.begin(), all.end(), 0);
        std::reverse(all.begin(), all.end()); // rowOf must not lean on pages read in order
        checkRows(model, all, order);
        QCOMPARE(model.rowOf(Bookmark { 7 }), -1);

        model.reload(); // back in record order
        QVERIFY(model.inRecordOrder());
        checkRows(model, { int(order.size()) - 1, 0, page }, stored("ID"));
    }

    // A booking added or deleted through another record source shows (or
    // goes) in every row after the change is said, wherever the rows had
    // been read before.
    void followsOtherRecordSources_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("sorted");
        QTest::newRow("delete on the first page") << "delete 5" << false;
        QTest::newRow("delete on a page boundary") << "delete 128" << false;
        QTest::newRow("delete the last") << "delete last" << false;
        QTest::newRow("add") << "add" << false;
        QTest::newRow("delete, sorted") << "delete 5" << true;
        QTest::newRow("add, sorted") << "add" << true;
    }
    void followsOtherRecordSources()
    {
        QFETCH(QString, change);
        QFETCH(bool, sorted);
        const int n = 3 * page - 2;
        makeBookings(n);
        ScheduleModel model({ "Date", "Name" });
        const QAbstractItemModelTester modelTested(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        connect(&DataChanges::instance(), &DataChanges::tableChanged, &model,
            [&model](const QString &, const QString &table) {
                if (table == "Booking")
                    model.reload();
            });
        if (sorted)
            model.sortByDate();
        QList<int> everyRow(n);
        std::iota(everyRow.begin(), everyRow.end(), 0);
        for (int row : everyRow) // every page read, and rows known
            model.index(row, 1).data();

        RecordSource other("DatOther", "Booking");
        QVERIFY(other.openStatus());
        const auto before = stored();
        if (change == "add") {
            QVERIFY(other.AddNew());
            QVERIFY(other.setValue("Name", "Added"));
            QVERIFY(other.setValue("Date", QDate(2000, 1, 1)));
            QVERIFY(other.Update());
        } else {
            const int row = change == "delete last" ? n - 1 : change.mid(7).toInt();
            QVERIFY(other.setBookmark(Bookmark { before[row].first }));
            QVERIFY(other.Delete());
        }
        const auto after = stored();
        QCOMPARE(model.rowCount(), int(after.size()));
        QVERIFY(model.inRecordOrder()); // read again: back in the record source's order
        QList<int> rows(after.size());
        std::iota(rows.begin(), rows.end(), 0);
        std::reverse(rows.begin(), rows.end());
        checkRows(model, rows, after);
        QVERIFY(model.status());
    }

    // A read that fails keeps the rows that were shown, in either order,
    // across pages, and says so once.
    void failedReadKeepsShownRows_data()
    {
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QString>("read");
        for (bool sorted : { false, true }) {
            const char *order = sorted ? "sorted" : "record order";
            QTest::addRow("%s, pages again", order) << sorted << "pages";
            QTest::addRow("%s, reload", order) << sorted << "reload";
            QTest::addRow("%s, sort", order) << sorted << "sort";
        }
        QTest::newRow("record order, a row found") << false << "rowOf";
    }
    void failedReadKeepsShownRows()
    {
        QFETCH(bool, sorted);
        QFETCH(QString, read);
        const int n = 2 * page + 9;
        makeBookings(n);
        ScheduleModel model({ "Date", "Name" });
        const QAbstractItemModelTester modelTested(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        if (sorted)
            model.sortByLake();
        QStringList shown;
        QList<qint64> keys;
        for (int row = 0; row < n; ++row) {
            shown << model.index(row, 1).data().toString();
            keys << model.bookmarkAt(row).id;
        }
        QVERIFY(!shown.contains(QString()));
        QSignalSpy said(&model, &ScheduleModel::readFailed);
        exec("ALTER TABLE Booking RENAME TO \"Booking away\"");
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(
                "^The bookings could not be .*" + QRegularExpression::escape(test::missingTable("Booking"))));
        if (read == "reload")
            model.reload();
        else if (read == "sort")
            model.sortByDate();
        else if (read == "rowOf")
            QCOMPARE(model.rowOf(Bookmark { keys.last() + 1 }), -1);
        QCOMPARE(model.rowCount(), n);
        for (int row = n - 1; row >= 0; --row) {
            QCOMPARE(model.index(row, 1).data().toString(), shown[row]);
            QCOMPARE(model.bookmarkAt(row).id, keys[row]);
        }
        QVERIFY(!model.status());
        QVERIFY(said.wait(1000));
        QTest::qWait(10);
        QCOMPARE(said.count(), 1);
        exec("ALTER TABLE \"Booking away\" RENAME TO Booking");
    }

    // Opening the model and showing a screen of rows anywhere reads a page,
    // not every booking; a sort reads every booking (so the count can tell).
    void readsWhatIsShown_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<quint64>("mostRowsRead");
        QTest::newRow("open") << "open" << -1 << quint64(0);
        QTest::newRow("first screen") << "screen" << 0 << quint64(page);
        QTest::newRow("last screen") << "screen" << 1970 << quint64(2 * page);
        QTest::newRow("middle screen") << "screen" << 1000 << quint64(2 * page);
        QTest::newRow("row of the last booking") << "rowOf" << 1999 << quint64(0);
        QTest::newRow("sort") << "sort" << -1 << quint64(4000);
    }
    void readsWhatIsShown()
    {
        QFETCH(QString, step);
        QFETCH(int, firstRow);
        QFETCH(quint64, mostRowsRead);
        makeBookings(2000);
        const auto expected = stored();
        const quint64 before = ScheduleModel::rowsRead();
        ScheduleModel model({ "Date", "Name" });
        if (step == "screen") {
            for (int row = firstRow; row < firstRow + 30; ++row)
                QCOMPARE(model.index(row, 1).data().toString(), expected[row].second);
        } else if (step == "rowOf") {
            QCOMPARE(model.rowOf(Bookmark { expected[firstRow].first }), firstRow);
        } else if (step == "sort") {
            model.sortByDate();
        }
        const quint64 read = ScheduleModel::rowsRead() - before;
        if (step == "sort")
            QVERIFY2(read >= 2000 && read <= mostRowsRead, qPrintable(QString::number(read)));
        else
            QVERIFY2(read <= mostRowsRead, qPrintable(QString::number(read)));
    }
};

BM_TEST_MAIN(TestScheduleModel)
#include "test_schedulemodel.moc"
