#include "doubles.h"
#include "recordform/datepicker.h"
#include "testenv.h"

#include <QCalendarWidget>

using namespace bm;

// A picker that holds no date is edited like one that holds a date: it
// starts from today, never from the date that stands for "no date".
class TestDatePicker : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::FakeClock> clock;
    std::unique_ptr<DatePicker> picker;

private slots:
    void init()
    {
        clock = std::make_unique<test::FakeClock>(QDate(2026, 3, 17));
        picker = std::make_unique<DatePicker>();
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
        picker->setFocus();
        QVERIFY(picker->isEmpty());
    }
    void cleanup()
    {
        picker.reset();
        clock.reset();
    }

    void firstKeyStartsFromToday_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("up") << int(Qt::Key_Up) << QDate(2026, 3, 17);
        QTest::newRow("down") << int(Qt::Key_Down) << QDate(2026, 3, 17);
        QTest::newRow("a digit replaces the month") << int(Qt::Key_5) << QDate(2026, 5, 17);
    }
    void firstKeyStartsFromToday()
    {
        QFETCH(int, key);
        QFETCH(QDate, expected);
        QTest::keyClick(picker.get(), Qt::Key(key));
        QCOMPARE(picker->value(), expected);
    }

    void lockedPickerStaysEmpty()
    {
        picker->setReadOnly(true);
        QTest::keyClick(picker.get(), Qt::Key_Up);
        QTest::keyClick(picker.get(), Qt::Key_5);
        QVERIFY(picker->isEmpty());
        QCOMPARE(picker->value(), QDate());
    }

    void calendarOpensOnThisMonth_data()
    {
        QTest::addColumn<QDate>("held");
        QTest::addColumn<QDate>("page");
        QTest::newRow("no date") << QDate() << QDate(2026, 3, 1);
        QTest::newRow("a date") << QDate(2005, 5, 14) << QDate(2005, 5, 1);
    }
    void calendarOpensOnThisMonth()
    {
        QFETCH(QDate, held);
        QFETCH(QDate, page);
        picker->setValue(held);
        // The drop-down arrow stands at the right end of the box.
        QTest::mouseClick(
            picker.get(), Qt::LeftButton, {}, QPoint(picker->width() - 5, picker->height() / 2));
        QCalendarWidget *calendar = picker->calendarWidget();
        QTRY_VERIFY(calendar->isVisible());
        QCOMPARE(QDate(calendar->yearShown(), calendar->monthShown(), 1), page);
        QCOMPARE(picker->value(), held); // opening it chooses nothing
    }
};

BM_TEST_MAIN(TestDatePicker)
#include "test_datepicker.moc"
