#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "roster.h"
#include "testenv.h"

#include "recordform/datepicker.h"
#include "setup/frmbookingpage.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

using namespace bm;
using platform::Answer;

namespace
{

// A statement's rows as stored, a row's values joined by "|"; no value
// shows as "(none)", so that it differs from an empty text.
QStringList stored(const QString &sql)
{
    QStringList rows;
    for (const QVariantList &r : test::rowsBehind(sql)) {
        QStringList values;
        for (const QVariant &v : r)
            values << (v.isNull() ? QStringLiteral("(none)") : v.toString());
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList storedSettings()
{
    return stored(QStringLiteral("SELECT \"Season Start\", \"Season End\", Weekdays, \"Trips Per Guide\", "
                                 "\"Notice Days\", \"Days Ahead\", \"Cancel Days\" FROM \"Booking Page\""));
}

QStringList storedTrips()
{
    return stored(
        QStringLiteral("SELECT \"Trip Type\", Length, \"Start Time\", Price, Deposit, \"Largest Party\" "
                       "FROM \"Page Trips\" ORDER BY ID"));
}

QStringList storedDaysOff()
{
    return stored(QStringLiteral("SELECT Date, Guide FROM \"Days Off\" ORDER BY ID"));
}

// The grid's rows as shown, a row's cells joined by "|".
QStringList shown(const QTableWidget *grid)
{
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

void setCells(QTableWidget *grid, int row, const QStringList &texts)
{
    for (int c = 0; c < texts.size(); ++c)
        grid->item(row, c)->setText(texts[c]);
}

const QStringList starterTrips { "Half Day|4 hours|06:00|2500000|500000|2",
    "Full Day|8 hours|06:00|4000000|1000000|3" };

} // namespace

class TestBookingPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void showsThePageAsKept();
    void settingsReadBack_data();
    void settingsReadBack();
    void tripsAndDaysOffReadBack();
    void refused_data();
    void refused();
    void closing_data();
    void closing();
    void anotherDesksChangesStay();
    void sharedDatabaseNote();
    void unreadablePageOffersNoSave();

private:
    FrmBookingPage *open();
    template <class T> T *child(const char *name) const
    {
        T *c = m_window ? m_window->findChild<T *>(QString::fromLatin1(name)) : nullptr;
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    void click(const char *name) { child<QPushButton>(name)->click(); }
    // Whether the window has closed (and gone, as a window that deletes
    // itself on closing goes).
    bool closed() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !m_window;
    }

    test::ScriptedMessages m_boxes;
    QPointer<FrmBookingPage> m_window;
};

void TestBookingPage::init()
{
    test::resetDatabase();
    test::addGuides({ "Jim", "Kay" });
}

void TestBookingPage::cleanup()
{
    test::deleteWindows();
    m_boxes.clear();
}

FrmBookingPage *TestBookingPage::open()
{
    m_window = new FrmBookingPage;
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window))
        qWarning("the booking page window did not show");
    return m_window;
}

// The delivered page: every day, the starter's limits and two trips,
// amounts shown as the guide types them.
void TestBookingPage::showsThePageAsKept()
{
    open();
    QVERIFY(child<DatePicker>("dtpSeasonStart")->isEmpty());
    QVERIFY(child<DatePicker>("dtpSeasonEnd")->isEmpty());
    for (const char *day :
        { "chkMonday", "chkTuesday", "chkWednesday", "chkThursday", "chkFriday", "chkSaturday", "chkSunday" })
        QVERIFY2(child<QCheckBox>(day)->isChecked(), day);
    QCOMPARE(child<QSpinBox>("spnTripsPerGuide")->value(), 1);
    QCOMPARE(child<QSpinBox>("spnNoticeDays")->value(), 2);
    QCOMPARE(child<QSpinBox>("spnDaysAhead")->value(), 120);
    QCOMPARE(child<QSpinBox>("spnCancelDays")->value(), 2);
    QCOMPARE(shown(m_window->tripsGrid()),
        QStringList({ "Half Day|4 hours|06:00|250.00|50.00|2", "Full Day|8 hours|06:00|400.00|100.00|3" }));
    QCOMPARE(m_window->daysOffGrid()->rowCount(), 0);
    QVERIFY(!m_window->hasChanges());
}

void TestBookingPage::settingsReadBack_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");
    QTest::addColumn<QString>("days"); // the boxes checked: digits 1 for Monday to 7 for Sunday
    QTest::addColumn<QList<int>>("numbers"); // trips per guide, notice, ahead, cancel
    QTest::addColumn<QString>("expected");
    QTest::newRow("a season, weekends") << QDate(2027, 4, 15) << QDate(2027, 10, 31) << "67"
                                        << QList<int> { 2, 3, 60, 7 } << "2027-04-15|2027-10-31|67|2|3|60|7";
    QTest::newRow("no day worked is no day, not every day")
        << QDate() << QDate() << "" << QList<int> { 1, 2, 120, 2 } << "(none)|(none)||1|2|120|2";
    QTest::newRow("only a first day, the limits at their ends") << QDate(2027, 5,
        1) << QDate() << "135" << QList<int> { 20, 0, 730, 365 } << "2027-05-01|(none)|135|20|0|730|365";
}

void TestBookingPage::settingsReadBack()
{
    QFETCH(QDate, start);
    QFETCH(QDate, end);
    QFETCH(QString, days);
    QFETCH(QList<int>, numbers);
    QFETCH(QString, expected);
    open();
    child<DatePicker>("dtpSeasonStart")->setValue(start);
    child<DatePicker>("dtpSeasonEnd")->setValue(end);
    const char *boxes[] = { "chkMonday", "chkTuesday", "chkWednesday", "chkThursday", "chkFriday",
        "chkSaturday", "chkSunday" };
    for (int d = 0; d < 7; ++d)
        child<QCheckBox>(boxes[d])->setChecked(days.contains(QChar(u'1' + d)));
    const char *counts[] = { "spnTripsPerGuide", "spnNoticeDays", "spnDaysAhead", "spnCancelDays" };
    for (int i = 0; i < 4; ++i)
        child<QSpinBox>(counts[i])->setValue(numbers[i]);
    QVERIFY(m_window->hasChanges());
    click("cmdSave");
    QVERIFY(closed()); // saved and closed
    QCOMPARE(storedSettings(), QStringList { expected });
    QCOMPARE(storedTrips(), starterTrips);

    open();
    QCOMPARE(child<DatePicker>("dtpSeasonStart")->value(), start);
    QCOMPARE(child<DatePicker>("dtpSeasonEnd")->value(), end);
    for (int d = 0; d < 7; ++d)
        QCOMPARE(child<QCheckBox>(boxes[d])->isChecked(), days.contains(QChar(u'1' + d)));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(child<QSpinBox>(counts[i])->value(), numbers[i]);
    QVERIFY(!m_window->hasChanges());
}

// A trip changed keeps its record (the page's links name it), one removed
// goes, new trips and days off are added; an empty row added is no trip.
void TestBookingPage::tripsAndDaysOffReadBack()
{
    const QList<QVariantList> before
        = test::rowsBehind(QStringLiteral("SELECT ID FROM \"Page Trips\" ORDER BY ID"));
    QCOMPARE(before.size(), 2);
    open();
    QTableWidget *trips = m_window->tripsGrid();
    QTableWidget *days = m_window->daysOffGrid();
    setCells(trips, 0, { "Half Day", "5 hours", "7:15", "275.5", "", "4" });
    trips->setCurrentCell(1, 0);
    click("cmdRemoveTrip");
    click("cmdAddTrip");
    setCells(trips, 1, { "Evening Trip", "3 hours", "18:00", "150", "0", "" });
    click("cmdAddTrip"); // left empty
    click("cmdAddDayOff");
    setCells(days, 0, { "7/4/2027", "(everyone)" });
    click("cmdAddDayOff");
    setCells(days, 1, { "7/9/2027", "Kay" });
    click("cmdSave");
    QVERIFY(closed());
    QCOMPARE(storedTrips(),
        QStringList(
            { "Half Day|5 hours|07:15|2755000|(none)|4", "Evening Trip|3 hours|18:00|1500000|0|(none)" }));
    QCOMPARE(
        test::rowsBehind(QStringLiteral("SELECT ID FROM \"Page Trips\" WHERE \"Trip Type\" = 'Half Day'"))
            .value(0)
            .value(0),
        before[0][0]);
    QCOMPARE(storedDaysOff(), QStringList({ "2027-07-04|(none)", "2027-07-09|Kay" }));

    open();
    QCOMPARE(shown(m_window->tripsGrid()),
        QStringList({ "Half Day|5 hours|07:15|275.50||4", "Evening Trip|3 hours|18:00|150.00|0.00|" }));
    QCOMPARE(shown(m_window->daysOffGrid()), QStringList({ "7/4/2027|(everyone)", "7/9/2027|Kay" }));

    // Removing a day off removes its record alone.
    m_window->daysOffGrid()->setCurrentCell(0, 0);
    click("cmdRemoveDayOff");
    click("cmdSave");
    QCOMPARE(storedDaysOff(), QStringList({ "2027-07-09|Kay" }));
}

void TestBookingPage::refused_data()
{
    QTest::addColumn<QString>("where"); // "trip", "day off" or "season"
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("start time with a point") << "trip" << 2 << "6.30"
                                             << "Please enter the Start Time of trip 1 as hours and minutes";
    QTest::newRow("price in words") << "trip" << 3 << "cheap"
                                    << "Please enter the Price of trip 1 as a Dollar Amount.";
    QTest::newRow("deposit below nothing") << "trip" << 4 << "-5"
                                           << "Please enter the Deposit of trip 1 as a Dollar Amount.";
    QTest::newRow("party of none")
        << "trip" << 5 << "0"
        << "Please enter the Largest Party of trip 1 as a whole number from 1 to 50.";
    QTest::newRow("party past the page's largest")
        << "trip" << 5 << "51"
        << "Please enter the Largest Party of trip 1 as a whole number from 1 to 50.";
    QTest::newRow("no trip type") << "trip" << 0 << ""
                                  << "Please choose the Trip Type of trip 1.";
    QTest::newRow("day off not a date") << "day off" << 0 << "someday"
                                        << "Please enter the date of day off 1 as a date";
    QTest::newRow("day off with a guide and no date") << "day off" << 0 << ""
                                                      << "Please enter the date of day off 1 as a date";
    QTest::newRow("season ends before it starts") << "season" << 0 << ""
                                                  << "The last day of the season is before its first day.";
}

// What can not be kept is said and shown; nothing at all is written, and
// the window stays with what was typed.
void TestBookingPage::refused()
{
    QFETCH(QString, where);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    const QStringList settings = storedSettings();
    open();
    child<QSpinBox>("spnDaysAhead")->setValue(45); // a change that must not be written either
    QTableWidget *grid = m_window->tripsGrid();
    if (where == "trip") {
        grid->item(0, column)->setText(typed);
    } else if (where == "day off") {
        grid = m_window->daysOffGrid();
        click("cmdAddDayOff");
        setCells(grid, 0, { typed, "Jim" });
    } else {
        grid = nullptr;
        child<DatePicker>("dtpSeasonStart")->setValue(QDate(2027, 9, 1));
        child<DatePicker>("dtpSeasonEnd")->setValue(QDate(2027, 5, 1));
    }
    m_boxes.expect();
    click("cmdSave");
    QVERIFY2(m_boxes.last().text.startsWith(message), qPrintable(m_boxes.last().text));
    QVERIFY(m_window && m_window->isVisible());
    QVERIFY(m_window->hasChanges());
    QCOMPARE(storedSettings(), settings);
    QCOMPARE(storedTrips(), starterTrips);
    QCOMPARE(storedDaysOff(), QStringList());
    if (grid) {
        QCOMPARE(grid->currentRow(), 0);
        QCOMPARE(grid->currentColumn(), column);
    }
}

void TestBookingPage::closing_data()
{
    QTest::addColumn<QString>("change"); // "none", "good" or "bad"
    QTest::addColumn<int>("answer"); // to the question; -1: no question
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("savedAhead");
    QTest::newRow("nothing changed, nothing asked") << "none" << -1 << true << 120;
    QTest::newRow("changed, saved") << "good" << int(Answer::Yes) << true << 45;
    QTest::newRow("changed, dropped") << "good" << int(Answer::No) << true << 120;
    QTest::newRow("changed and refused, stays open") << "bad" << int(Answer::Yes) << false << 120;
    QTest::newRow("changed and refused, dropped") << "bad" << int(Answer::No) << true << 120;
}

// Closing the window by its frame loses nothing typed without asking.
void TestBookingPage::closing()
{
    QFETCH(QString, change);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(int, savedAhead);
    open();
    if (change != "none")
        child<QSpinBox>("spnDaysAhead")->setValue(45);
    if (change == "bad")
        m_window->tripsGrid()->item(0, 2)->setText(QStringLiteral("noon"));
    if (answer >= 0)
        m_boxes.expect(Answer(answer));
    if (change == "bad" && answer == int(Answer::Yes))
        m_boxes.expect(); // what can not be kept
    m_window->close();
    QCOMPARE(this->closed(), closed);
    if (answer >= 0)
        QCOMPARE(m_boxes.shown.constFirst().text,
            QStringLiteral("Do you want to save the changes to the booking page?"));
    QCOMPARE(stored(QStringLiteral("SELECT \"Days Ahead\" FROM \"Booking Page\"")),
        QStringList { QString::number(savedAhead) });
}

// The save writes what the guide changed and nothing else: what another
// desk saved meanwhile in the rest stays.
void TestBookingPage::anotherDesksChangesStay()
{
    open();
    child<QSpinBox>("spnNoticeDays")->setValue(3);
    m_window->tripsGrid()->item(0, 3)->setText(QStringLiteral("260"));
    QVERIFY(test::execBehind(QStringLiteral("UPDATE \"Booking Page\" SET \"Days Ahead\" = '200'")));
    QVERIFY(
        test::execBehind(QStringLiteral("UPDATE \"Page Trips\" SET Length = '9 hours' WHERE \"Trip Type\" = "
                                        "'Full Day'")));
    QVERIFY(
        test::execBehind(QStringLiteral("UPDATE \"Page Trips\" SET Deposit = 600000 WHERE \"Trip Type\" = "
                                        "'Half Day'")));
    click("cmdSave");
    QVERIFY(closed());
    QCOMPARE(storedSettings(), QStringList { "(none)|(none)|1234567|1|3|200|2" });
    QCOMPARE(storedTrips(),
        QStringList(
            { "Half Day|4 hours|06:00|2600000|600000|2", "Full Day|9 hours|06:00|4000000|1000000|3" }));
}

// The page is served from the shared database only: on the file the window
// says that its settings wait.
void TestBookingPage::sharedDatabaseNote()
{
    open();
    QLabel *note = child<QLabel>("lblFileNote");
    QCOMPARE(note->isVisibleTo(m_window), !test::onServer());
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_window->grab().save(folder + "/bookingpage.png");
}

// A page that can not be read is said, and nothing is offered to save: a
// save could only write the trips shown a second time.
void TestBookingPage::unreadablePageOffersNoSave()
{
    QVERIFY(test::execBehind(QStringLiteral("DROP TABLE \"Days Off\"")));
    m_boxes.expect();
    open();
    QVERIFY2(m_boxes.last().text.startsWith(QStringLiteral("The days off could not be read")),
        qPrintable(m_boxes.last().text));
    QVERIFY(!child<QPushButton>("cmdSave")->isEnabled());
    child<QSpinBox>("spnDaysAhead")->setValue(45);
    QVERIFY(!m_window->hasChanges());
    m_window->close();
    QVERIFY(closed());
    QCOMPARE(storedTrips(), starterTrips);
}

BM_TEST_MAIN(TestBookingPage)
#include "test_frmbookingpage.moc"
