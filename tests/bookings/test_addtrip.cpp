#include "bookings/frmaddtrip.h"
#include "bookings/invoicewindows.h"
#include "checks.h"
#include "core/dates.h"
#include "doubles.h"
#include "testenv.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

using namespace bm;

namespace
{

QString stored(Bookmark booking, const QString &field)
{
    RecordSource rs("reader", "Booking");
    BM_CHECK(rs.setBookmark(booking));
    return rs.value(field).toString();
}

QStringList entries(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

} // namespace

class TestAddtrip : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void lists_data();
    void lists();
    void opensOnTheBookingWithEmptyBoxes();
    void saveWritesTypedTextAndRereadsTheMainWindow();
    void typedStartOfAnEntryIsNotCompleted_data();
    void typedStartOfAnEntryIsNotCompleted();
    void cancelLeavesTheBooking();
    void openingAgainMovesToTheCurrentBooking();
    void writeFailureKeepsTheWindowOpen();

private:
    QComboBox *combo(const QString &field) const
    {
        return qobject_cast<QComboBox *>(m_window->boxFor(field));
    }

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    Bookmark m_first;
    Bookmark m_second;
    QPointer<FrmAddtrip> m_window;
};

void TestAddtrip::init()
{
    test::resetDatabase();
    m_hub = std::make_unique<test::FakeHub>();
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_first = m_hub->datBookings().bookmark();
    {
        RecordSource rs("adder", "Booking");
        BM_VERIFY(rs.AddNew());
        BM_VERIFY(rs.setValue("Date", QDate(2026, 7, 4)));
        BM_VERIFY(rs.setValue("Lake", "Bull Shoals"));
        BM_VERIFY(rs.setValue("Name", "Second Client"));
        BM_VERIFY(rs.setValue("Type", "Half Day"));
        BM_VERIFY(rs.setValue("Weather", "Rain"));
        QVERIFY(rs.Update());
        m_second = rs.LastModified();
    }
    BM_VERIFY(m_hub->datBookings().Refresh());
    QVERIFY(m_hub->datBookings().setBookmark(m_second));
    m_window = openTripLog(m_hub->datBookings().bookmark());
}

void TestAddtrip::cleanup()
{
    if (m_window)
        m_window->close();
    delete m_window;
    m_messages.reset();
    m_hub.reset();
}

void TestAddtrip::lists_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("objectName"); // position in the tab order
    QTest::newRow("weather") << "Weather"
                             << QStringList { "Sunny", "Partly Cloudy", "Cloudy", "Overcast", "Rain", "Snow",
                                    "Fog" }
                             << "Combo1";
    QTest::newRow("air temp") << "Air Temp"
                              << QStringList { "'Teens", "20's", "30's", "40's", "50's", "60's", "70's",
                                     "80's", "90's" }
                              << "Combo2";
    QTest::newRow("wind direction") << "Wind Direction"
                                    << QStringList { "North", "Northeast", "East", "Southeast", "South",
                                           "Southwest", "West", "Northwest" }
                                    << "Combo3";
    QTest::newRow("wind speed") << "Wind Speed"
                                << QStringList { "Calm", "Light", "Moderate", "Strong", "Gusty" } << "Combo4";
    QTest::newRow("lake area") << "Lake Area"
                               << QStringList { "Upper Lake", "Lower Lake", "Mid Lake", "Upper River",
                                      "Lower River", "Mid River" }
                               << "Combo5";
    QTest::newRow("depth") << "Depth" << QStringList { "Top Water", "Shallow", "Medium", "Deep" } << "Combo6";
    QTest::newRow("water temp") << "Water Temp"
                                << QStringList { "30's", "40's", "50's", "60's", "70's", "80's", "90's" }
                                << "Combo7";
    QTest::newRow("water color") << "Water Color" << QStringList { "Clear", "Stained", "Muddy" } << "Combo8";
    QTest::newRow("structure") << "Structure"
                               << QStringList { "Banks", "Brush Piles", "Docks", "Coves", "Points",
                                      "Submerged Trees", "Stumps", "Logs", "Rocks", "Weeds", "Lily Pads" }
                               << "Combo9";
    QTest::newRow("species from the table")
        << "Species"
        << QStringList { "Largemouth Bass", "Smallmouth Bass", "Spotted Bass", "Striped Bass", "White Bass",
               "Walleye", "Crappie", "Bluegill", "Channel Catfish", "Rainbow Trout", "Brown Trout",
               "Northern Pike", "Muskellunge" }
        << "Combo10";
    QTest::newRow("lures from the table")
        << "Lure"
        << QStringList { "Plastic Worm", "Spinnerbait", "Crankbait", "Jig and Pig", "Topwater Popper",
               "Jerkbait", "Spoon", "Live Minnows", "Nightcrawlers" }
        << "Combo11";
    QTest::newRow("colours from the table") << "Lure Color"
                                            << QStringList { "Black", "White", "Chartreuse", "Watermelon",
                                                   "Green Pumpkin", "Junebug", "Red", "Silver", "Firetiger" }
                                            << "Combo12";
    QTest::newRow("total fish") << "Total Fish"
                                << QStringList { "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
                                       "12", "13" }
                                << "Combo13";
    QTest::newRow("big fish") << "Big Fish"
                              << QStringList { "Largemouth Bass", "Smallmouth Bass", "Striper", "Hybrid",
                                     "Rainbow Trout", "Brown Trout", "Walleye", "Catfish", "Crappie", "Carp",
                                     "Northern Pike", "Bluegill" }
                              << "Combo14";
    QTest::newRow("weight") << "Weight"
                            << QStringList { "5 lbs.", "6 lbs.", "7 lbs.", "8 lbs.", "9 lbs.", "10 lbs.",
                                   "11 lbs.", "12 lbs.", "13 lbs." }
                            << "Combo15";
    QTest::newRow("length") << "Length"
                            << QStringList { "15 inches", "16 inches", "17 inches", "18 inches", "19 inches",
                                   "20 inches", "21 inches", "22 inches", "23 inches", "24 inches" }
                            << "Combo16";
}

void TestAddtrip::lists()
{
    QFETCH(QString, field);
    QFETCH(QStringList, expected);
    QFETCH(QString, objectName);
    QComboBox *box = combo(field);
    QVERIFY(box);
    QCOMPARE(entries(box), expected);
    QVERIFY(box->isEditable());
    QCOMPARE(box->objectName(), objectName);
    // The tab order runs through the lists in the order of the groups.
    const int n = objectName.mid(5).toInt();
    QWidget *next = box->nextInFocusChain();
    while (next && (next->focusPolicy() == Qt::NoFocus || next->parentWidget() == box))
        next = next->nextInFocusChain();
    const QString nextName = n < 16 ? QString("Combo%1").arg(n + 1) : QString("Text1");
    QVERIFY(next);
    QCOMPARE(next->objectName(), nextName);
}

void TestAddtrip::opensOnTheBookingWithEmptyBoxes()
{
    QCOMPARE(m_window->windowTitle(), QString("Add Trip Summary"));
    QVERIFY(!(m_window->windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(m_window->booking()->bookmark(), m_second);
    QCOMPARE(m_window->booking()->editMode(), RecordSource::EditMode::Edit);
    QCOMPARE(m_window->findChild<QLabel *>("lblDate")->text(), shortDate(QDate(2026, 7, 4)));
    QCOMPARE(m_window->findChild<QLabel *>("lblName")->text(), QString("Second Client"));
    QCOMPARE(m_window->findChild<QLabel *>("lblLake")->text(), QString("Bull Shoals"));
    QCOMPARE(m_window->findChild<QLabel *>("lblType")->text(), QString("Half Day"));
    QCOMPARE(combo("Weather")->currentText(), QString("Rain"));
    QCOMPARE(combo("Wind Speed")->currentText(), QString());
    QCOMPARE(combo("Species")->currentText(), QString());
}

void TestAddtrip::saveWritesTypedTextAndRereadsTheMainWindow()
{
    combo("Wind Speed")->setEditText("Windy");
    combo("Air Temp")->setCurrentIndex(0);
    combo("Species")->setCurrentIndex(12);
    qobject_cast<QPlainTextEdit *>(m_window->boxFor("Remarks"))->setPlainText("Two fish on the point.");
    m_window->findChild<QPushButton *>("cmdSave")->click();

    QCOMPARE(m_messages->shown.size(), 0);
    QVERIFY(!m_window->isVisible());
    QTRY_VERIFY(m_window.isNull());
    QCOMPARE(stored(m_second, "Wind Speed"), QString("Windy"));
    QCOMPARE(stored(m_second, "Air Temp"), QString("'Teens"));
    QCOMPARE(stored(m_second, "Species"), QString("Muskellunge"));
    QCOMPARE(stored(m_second, "Remarks"), QString("Two fish on the point."));
    QCOMPARE(stored(m_second, "Weather"), QString("Rain"));
    QCOMPARE(stored(m_first, "Wind Speed"), QString());
    // The main window re-read its bookings: it stands on the first one and
    // shows the new results when the booking is chosen again.
    QCOMPARE(m_hub->datBookings().bookmark(), m_first);
    BM_VERIFY(m_hub->datBookings().setBookmark(m_second));
    QCOMPARE(m_hub->datBookings().text("Wind Speed"), QString("Windy"));
}

void TestAddtrip::typedStartOfAnEntryIsNotCompleted_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::newRow("wind speed") << "Wind Speed"
                                << "Gust";
    QTest::newRow("lake area") << "Lake Area"
                               << "Mid";
    QTest::newRow("weight") << "Weight"
                            << "5";
    QTest::newRow("species") << "Species"
                             << "B";
}

void TestAddtrip::typedStartOfAnEntryIsNotCompleted()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    // Typed with the focus in the box, as the user does.
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QComboBox *box = combo(field);
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    QTest::keyClicks(box, typed);
    QCOMPARE(box->currentText(), typed);
    m_window->findChild<QPushButton *>("cmdSave")->click();
    QCOMPARE(stored(m_second, field), typed);
}

void TestAddtrip::cancelLeavesTheBooking()
{
    combo("Weather")->setEditText("Snow");
    combo("Lure")->setEditText("Jerkbait");
    m_window->findChild<QPushButton *>("cmdCancel")->click();
    QVERIFY(!m_window->isVisible());
    QTRY_VERIFY(m_window.isNull());
    QCOMPARE(stored(m_second, "Weather"), QString("Rain"));
    QCOMPARE(stored(m_second, "Lure"), QString());
    QCOMPARE(m_hub->datBookings().bookmark(), m_second);
    QCOMPARE(m_messages->shown.size(), 0);
}

void TestAddtrip::openingAgainMovesToTheCurrentBooking()
{
    combo("Weather")->setEditText("Snow");
    BM_VERIFY(m_hub->datBookings().setBookmark(m_first));
    FrmAddtrip *again = openTripLog(m_hub->datBookings().bookmark());
    QCOMPARE(again, m_window.data());
    QCOMPARE(m_window->booking()->bookmark(), m_first);
    QCOMPARE(m_window->booking()->editMode(), RecordSource::EditMode::Edit);
    QCOMPARE(m_window->findChild<QLabel *>("lblName")->text(), QString("Sample Customer"));
    QCOMPARE(combo("Weather")->currentText(), QString());
    combo("Water Color")->setEditText("Stained");
    QVERIFY(m_window->save());
    QCOMPARE(stored(m_first, "Water Color"), QString("Stained"));
    QCOMPARE(stored(m_first, "Weather"), QString());
    QCOMPARE(stored(m_second, "Weather"), QString("Rain"));
}

void TestAddtrip::writeFailureKeepsTheWindowOpen()
{
    // Another window deleted the booking meanwhile: the write fails.
    {
        RecordSource other("other", "Booking");
        QVERIFY(other.setBookmark(m_second));
        QVERIFY(other.Delete());
    }
    // The main window followed the deletion; the failed write moves it no more.
    const Bookmark mainOn = m_hub->datBookings().bookmark();
    QCOMPARE(mainOn, m_first);
    combo("Weather")->setEditText("Fog");
    m_messages->expect();
    QVERIFY(!m_window->save());
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_window->booking()->editMode(), RecordSource::EditMode::Edit);
    QCOMPARE(m_hub->datBookings().bookmark(), mainOn);
}

BM_TEST_MAIN(TestAddtrip)
#include "test_addtrip.moc"
