#include "bookingfixture.h"
#include "checks.h"

#include "bookings/frmbooking.h"
#include "db/recordsource.h"
#include "domain/schedulemodel.h"
#include "main/scheduleview.h"
#include "platform/windows.h"
#include "recordform/datepicker.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace bm;

namespace
{

QStringList namesShown(const QTableView *grid)
{
    QStringList names;
    const int nameColumn = ScheduleModel::allFields().indexOf(QStringLiteral("Name"));
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        names << grid->model()->index(row, nameColumn).data().toString();
    return names;
}

} // namespace

class TestBookingSchedule : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void gridShowsEveryBookingInRecordOrder();
    void sorts_data();
    void sorts();
    void rereadShowsRecordOrderAgain();
    void gridAndCurrentBookingFollowEachOther();
    void newBooking();
    void marksRequestsAndCancelledTrips_data();
    void marksRequestsAndCancelledTrips();

private:
    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<ScheduleView> m_view;
    QTableView *grid() const { return m_view->grid(); }
    void click(const char *name)
    {
        QTest::mouseClick(m_view->findChild<QPushButton *>(name), Qt::LeftButton);
    }
    void openView()
    {
        m_hub = std::make_unique<test::FakeHub>();
        m_view = std::make_unique<ScheduleView>(m_hub->datBookings(), nullptr);
        m_view->resize(900, 500);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }
};

void TestBookingSchedule::init()
{
    m_view.reset();
    m_hub.reset();
    test::resetDatabase();
}

void TestBookingSchedule::cleanup()
{
    if (QWidget *w = platform::findWindow(QStringLiteral("frmBooking")))
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_view.reset();
    m_hub.reset();
}

void TestBookingSchedule::gridShowsEveryBookingInRecordOrder()
{
    test::layInBookings({ { "Ann Lee", "2005-05-14", "Bull Shoals" }, { "Bob Smith", "", "" },
        { "Carl Jones", "2006-01-03", "Table Rock Lake" } });
    openView();
    QAbstractItemModel *model = grid()->model();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Date"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Lake"));
    QStringList headers;
    for (int c = 0; c < model->columnCount(); ++c)
        headers << model->headerData(c, Qt::Horizontal).toString();
    RecordSource booking(QStringLiteral("check"), QStringLiteral("Booking"));
    // Every field but a booking's guide, which shows only where the roster
    // holds several guides (test_scheduleguides).
    QCOMPARE(headers.size(), booking.fieldNames().size() - 1);
    for (const QString &field : booking.fieldNames())
        QVERIFY2(headers.contains(field) == (field != QLatin1String("Guide")), qPrintable(field));
    QVERIFY(!headers.contains(QStringLiteral("ID")));

    QCOMPARE(namesShown(grid()), QStringList({ "Ann Lee", "Bob Smith", "Carl Jones" }));
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("5/14/2005"));
    QCOMPARE(model->index(1, 0).data().toString(), QString()); // no date: empty
    const int charge = headers.indexOf(QStringLiteral("Total Charge"));
    QCOMPARE(model->index(2, charge).data().toString(), QStringLiteral("250.00"));
    QCOMPARE(m_view->countLabel()->text(), QStringLiteral("3 Trips are Scheduled"));
    // The grid can't be typed into.
    QCOMPARE(grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
}

void TestBookingSchedule::sorts_data()
{
    QTest::addColumn<QList<test::NewBooking>>("bookings");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("expected");

    const QList<test::NewBooking> trips { { "A", "2006-01-03", "Table Rock Lake" }, { "B", "", "12" },
        { "C", "2005-12-30", "9" }, { "D", "2005-05-14", "bull shoals" }, { "E", "2006-13-45", "" },
        { "F", "2005-12-30", "Beaver Lake" }, { "G", "2010-02-01", "9" } };
    QTest::newRow("date: as dates, not as text; none last")
        << trips << "cmdDate" << QStringList { "D", "C", "F", "A", "G", "B", "E" };
    QTest::newRow("lake: numbers by value, then text; none last")
        << trips << "cmdLake" << QStringList { "C", "G", "B", "F", "D", "A", "E" };
    QTest::newRow("one booking") << QList<test::NewBooking> { { "A", "", "" } } << "cmdDate"
                                 << QStringList { "A" };
}

void TestBookingSchedule::sorts()
{
    QFETCH(QList<test::NewBooking>, bookings);
    QFETCH(QString, command);
    QFETCH(QStringList, expected);
    test::layInBookings(bookings);
    openView();
    RecordSource &source = m_hub->datBookings();
    BM_VERIFY(source.MoveNext());
    const Bookmark current = source.bookmark();
    click(command.toLatin1().constData());
    QCOMPARE(namesShown(grid()), expected);
    // Display only: the record source keeps its order and its current booking,
    // which the grid still shows as current.
    QCOMPARE(source.bookmark(), current);
    QCOMPARE(m_view->model()->bookmarkAt(grid()->currentIndex().row()), current);
    QStringList walked;
    BM_VERIFY(source.MoveFirst());
    while (!source.isEOF()) {
        walked << source.text(QStringLiteral("Name"));
        BM_VERIFY(source.MoveNext());
    }
    QStringList inserted;
    for (const test::NewBooking &b : bookings)
        inserted << b.name;
    QCOMPARE(walked, inserted);
}

void TestBookingSchedule::rereadShowsRecordOrderAgain()
{
    test::layInBookings(
        { { "A", "2006-01-03", "X" }, { "B", "2005-12-30", "Y" }, { "C", "2001-01-01", "Z" } });
    openView();
    click("cmdDate");
    QCOMPARE(namesShown(grid()), QStringList({ "C", "B", "A" }));
    // Another window adds a booking and re-reads the bookings.
    test::layInBookings({ { "A", "2006-01-03", "X" }, { "B", "2005-12-30", "Y" }, { "C", "2001-01-01", "Z" },
        { "D", "1999-01-01", "W" } });
    BM_VERIFY(m_hub->datBookings().Refresh());
    QCOMPARE(namesShown(grid()), QStringList({ "A", "B", "C", "D" }));
    QCOMPARE(grid()->currentIndex().row(), 0);
    QCOMPARE(m_view->countLabel()->text(), QStringLiteral("4 Trips are Scheduled"));
}

void TestBookingSchedule::gridAndCurrentBookingFollowEachOther()
{
    test::layInBookings(
        { { "A", "2006-01-03", "X" }, { "B", "2005-12-30", "Y" }, { "C", "2001-01-01", "Z" } });
    openView();
    RecordSource &source = m_hub->datBookings();
    QCOMPARE(grid()->currentIndex().row(), 0);
    BM_VERIFY(source.MoveLast());
    QCOMPARE(grid()->currentIndex().row(), 2);
    click("cmdLake");
    click("cmdDate"); // C, B, A: the last booking is now the first row
    QCOMPARE(grid()->currentIndex().row(), 0);
    // Choosing a row makes its booking the current one.
    const QRect second = grid()->visualRect(grid()->model()->index(1, 2));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(source.text(QStringLiteral("Name")), QStringLiteral("B"));
    QTest::keyClick(grid(), Qt::Key_Down);
    QCOMPARE(source.text(QStringLiteral("Name")), QStringLiteral("A"));
}

void TestBookingSchedule::newBooking()
{
    test::FakeClock clock(QDate(2027, 3, 4));
    openView();
    click("cmdAddbooking");
    auto *entry = qobject_cast<FrmBooking *>(platform::findWindow(QStringLiteral("frmBooking")));
    QVERIFY(entry);
    QCOMPARE(entry->booking().editMode(), RecordSource::EditMode::Add);
    QCOMPARE(entry->findChild<DatePicker *>(QStringLiteral("DTPicker1"))->value(), QDate(2027, 3, 4));
    QCOMPARE(entry->findChild<DatePicker *>(QStringLiteral("DTPicker2"))->value(), QDate(2027, 3, 4));
}

void TestBookingSchedule::marksRequestsAndCancelledTrips_data()
{
    QTest::addColumn<QString>("sort"); // a sort button, or none
    QTest::newRow("in record order") << QString();
    QTest::newRow("sorted by date") << "cmdDate";
    QTest::newRow("sorted by lake") << "cmdLake";
}

// A request waiting for the guide stands out, its client's name followed by
// "(requested)"; a cancelled trip is struck out. The values themselves are
// the stored ones.
void TestBookingSchedule::marksRequestsAndCancelledTrips()
{
    QFETCH(QString, sort);
    test::layInBookings({ { "Ann", "2027-06-03", "B" }, { "Bob", "2027-06-01", "A" },
        { "Cy", "2027-06-02", "C" }, { "Dee", "2027-06-04", "D" }, { "Eve", "2027-06-05", "E" } });
    for (const auto &[name, status] : { std::pair("Ann", "'Requested'"), std::pair("Bob", "'Cancelled'"),
             std::pair("Cy", "'Confirmed'"), std::pair("Dee", "NULL"), std::pair("Eve", "'No-show'") })
        QVERIFY(test::execBehind(QStringLiteral("UPDATE Booking SET Status = %1 WHERE Name = '%2'")
                                     .arg(QLatin1String(status), QLatin1String(name))));
    openView();
    if (!sort.isEmpty())
        click(qPrintable(sort));
    auto *marks = dynamic_cast<ScheduleMarks *>(grid()->itemDelegate());
    QVERIFY(marks);
    QAbstractItemModel *model = grid()->model();
    const int nameColumn = ScheduleModel::allFields().indexOf(QStringLiteral("Name"));
    const QStringList names = namesShown(grid());
    QCOMPARE(names.size(), 5);
    for (int row = 0; row < names.size(); ++row) {
        const QString &name = names[row];
        const QStyleOptionViewItem client = marks->look(model->index(row, nameColumn));
        const QStyleOptionViewItem date = marks->look(model->index(row, 0));
        const bool requested = name == QLatin1String("Ann"), cancelled = name == QLatin1String("Bob");
        QCOMPARE(client.text, requested ? name + " (requested)" : name);
        QCOMPARE(model->index(row, nameColumn).data().toString(), name);
        QVERIFY2(!date.text.contains(QStringLiteral("requested")), qPrintable(date.text));
        for (const QStyleOptionViewItem &cell : { client, date }) {
            QCOMPARE(cell.font.italic(), requested);
            QCOMPARE(cell.font.strikeOut(), cancelled);
        }
    }
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_view->grab().save(folder + "/schedule.png");
}

BM_TEST_MAIN(TestBookingSchedule)
#include "test_bookingschedule.moc"
