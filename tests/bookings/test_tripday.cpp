#include "behind.h"
#include "doubles.h"
#include "outboxfixture.h"
#include "testenv.h"

#include "bookings/frmtripday.h"
#include "bookings/tripday.h"
#include "core/apppaths.h"
#include "db/database.h"
#include "db/recordsource.h"
#include "mail/texts.h"
#include "main/frmmain.h"
#include "platform/windows.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlError>
#include <QUrlQuery>
#include <QtTest>

using namespace bm;

Q_DECLARE_METATYPE(tripday::Trip)

namespace
{

Money amount(const char *text)
{
    return *Money::parse(QString::fromLatin1(text));
}

// Two bookings: a full moon on the lake with an e-mail address, and a
// crescent with none.
void layInBookings()
{
    QVERIFY(test::execBehind(QStringLiteral("DELETE FROM Booking")));
    QString error;
    QVERIFY2(
        test::execBehind(
            QStringLiteral(
                "INSERT INTO Booking (Name, Date, Lake, \"Meet At\", Type, Email, \"Total Charge\", "
                "\"Deposit Amount\", \"Deposit Received\", \"Balance Due\") VALUES "
                "('Zoë Brandt', '2027-01-22', 'Table Rock Lake', 'State Park Marina', 'Full Day', "
                "'zoe@example.com', 4000000, 1000000, '2026-12-01', 3000000), "
                "('Ann Lee', '2027-01-11', 'Bull Shoals', NULL, 'Half Day', NULL, 2500000, NULL, NULL, "
                "NULL), "
                "('Bo Dean', NULL, 'Bull Shoals', NULL, NULL, 'bo@example.com', NULL, NULL, NULL, NULL)"),
            &error),
        qPrintable(error));
}

} // namespace

class TestTripDay : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void confirmationText_data();
    void confirmationText();
    void followsTheMainWindowsBooking();
    void positionIsCheckedAndKept_data();
    void positionIsCheckedAndKept();
    void keptTextThatIsNoPositionIsShownAsItIs();
    void typedPositionIsNotLostOnClose_data();
    void typedPositionIsNotLostOnClose();
    void sendsTheConfirmation();
    void confirmationThroughTheOutbox_data();
    void confirmationThroughTheOutbox();
    void opensFromTheUtilitiesMenu();
    void screenshot();

private:
    FrmTripDay *open();
    template <class W> W *child(const QString &name)
    {
        W *w = m_window->findChild<W *>(name);
        if (!w)
            qFatal("no %s", qPrintable(name));
        return w;
    }
    QString label(const QString &name) { return child<QLabel>(name)->text(); }
    void typePosition(const QString &latitude, const QString &longitude);

    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<test::FakeShell> m_shell;
    std::unique_ptr<test::FakeHub> m_hub;
    QPointer<FrmTripDay> m_window;
};

void TestTripDay::init()
{
    test::resetDatabase();
    layInBookings();
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_shell = std::make_unique<test::FakeShell>();
}

void TestTripDay::cleanup()
{
    m_hub.reset(); // before the windows: it owns its main window
    test::deleteWindows();
    m_shell.reset();
    m_messages.reset();
}

FrmTripDay *TestTripDay::open()
{
    if (!m_hub)
        m_hub = std::make_unique<test::FakeHub>();
    m_window = platform::showWindow<FrmTripDay>();
    return m_window;
}

void TestTripDay::typePosition(const QString &latitude, const QString &longitude)
{
    child<QLineEdit>("txtLatitude")->setText(latitude);
    child<QLineEdit>("txtLongitude")->setText(longitude);
    child<QPushButton>("cmdSavePosition")->click();
}

void TestTripDay::confirmationText_data()
{
    QTest::addColumn<tripday::Trip>("trip");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");

    const tripday::Trip full { "Zoë Brandt", QDate(2027, 6, 5), "Table Rock Lake", "State Park Marina",
        "Full Day", amount("400"), amount("100"), QDate(2027, 5, 1), amount("300") };
    const QString guide = QStringLiteral("\n\nGuide: Ozark Bass Guides\nPhone: 417-555-0100\nEmail: "
                                         "guide@example.com");
    QTest::newRow("every detail")
        << full << "Your fishing trip on 6/5/2027"
        << "Dear Zoë Brandt,\n\nThis confirms your fishing trip:\n\nDate: 6/5/2027\n"
           "Lake: Table Rock Lake\nMeeting place: State Park Marina\nTrip type: Full "
           "Day\n\nTotal charge: 400.00\nDeposit: 100.00, received 5/1/2027\n"
           "Balance due: 300.00"
            + guide;

    tripday::Trip waiting = full;
    waiting.depositReceived = QDate();
    waiting.balanceDue.reset();
    waiting.meetAt.clear();
    QTest::newRow("deposit not received, balance left to work out")
        << waiting << "Your fishing trip on 6/5/2027"
        << "Dear Zoë Brandt,\n\nThis confirms your fishing trip:\n\nDate: 6/5/2027\nLake: Table Rock Lake\n"
           "Trip type: Full Day\n\nTotal charge: 400.00\nDeposit: 100.00, not received yet\nBalance due: "
           "300.00"
            + guide;

    const tripday::Trip bare { "", QDate(), "", "", "", std::nullopt, std::nullopt, QDate(), std::nullopt };
    QTest::newRow("nothing but the booking") << bare << "Your fishing trip"
                                             << "Hello,\n\nThis confirms your fishing trip:\n\nTotal "
                                                "charge: 0.00\nDeposit: 0.00\nBalance due: 0.00"
            + guide;

    tripday::Trip odd = full;
    odd.totalCharge = amount("1234.5");
    odd.deposit = amount("0");
    odd.balanceDue = amount("1234.5");
    odd.lake = QStringLiteral("Lake of the Ozarks, Bagnell Dam & Co.");
    QTest::newRow("amounts as ###0.00, commas and ampersands kept")
        << odd << "Your fishing trip on 6/5/2027"
        << "Dear Zoë Brandt,\n\nThis confirms your fishing trip:\n\nDate: 6/5/2027\n"
           "Lake: Lake of the Ozarks, Bagnell Dam & Co.\nMeeting place: State Park Marina\nTrip type: Full "
           "Day\n\n"
           "Total charge: 1234.50\nDeposit: 0.00\nBalance due: 1234.50"
            + guide;
}

void TestTripDay::confirmationText()
{
    QFETCH(tripday::Trip, trip);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    const tripday::Message m = tripday::confirmation(
        trip, { QStringLiteral("Ozark Bass Guides"), QStringLiteral("417-555-0100"), "guide@example.com" });
    QCOMPARE(m.subject, subject);
    QCOMPARE(m.body, body);
}

// The booking moves in the main window and the window follows; the moon
// shows from the start, the sun and the solunar periods once the position
// is given.
void TestTripDay::followsTheMainWindowsBooking()
{
    open();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Trip Day"));
    QCOMPARE(label("lblClient"), QStringLiteral("Zoë Brandt"));
    QCOMPARE(label("lblDate"), QStringLiteral("1/22/2027"));
    QCOMPARE(label("lblLake"), QStringLiteral("Table Rock Lake"));
    QCOMPARE(label("lblMeetAt"), QStringLiteral("State Park Marina"));
    QCOMPARE(label("lblType"), QStringLiteral("Full Day"));
    QVERIFY2(
        label("lblMoonPhase").startsWith(QStringLiteral("Full Moon, ")), qPrintable(label("lblMoonPhase")));
    QVERIFY(label("lblSunrise").isEmpty());
    QVERIFY(label("lblSolunar").isEmpty());
    QVERIFY(label("lblNote").contains(QStringLiteral("need the position of your home water")));
    QVERIFY(child<QPushButton>("cmdConfirm")->isEnabled());

    typePosition(QStringLiteral("36.6"), QStringLiteral("-93.3"));
    QCOMPARE(m_messages->shown.size(), 0);
    const QRegularExpression time(QStringLiteral("^\\d{1,2}:\\d\\d\\s?[AP]M$"));
    QVERIFY2(time.match(label("lblSunrise")).hasMatch(), qPrintable(label("lblSunrise")));
    QVERIFY2(time.match(label("lblSunset")).hasMatch(), qPrintable(label("lblSunset")));
    QVERIFY2(label("lblSolunar").startsWith(QStringLiteral("Major: ")), qPrintable(label("lblSolunar")));
    QVERIFY(label("lblSolunar").contains(QStringLiteral("\nMinor: ")));
    QVERIFY(child<QLabel>("lblNote")->isHidden());

    QVERIFY(m_hub->bookings->MoveNext());
    QCOMPARE(label("lblClient"), QStringLiteral("Ann Lee"));
    QVERIFY2(label("lblMoonPhase").startsWith(QStringLiteral("Waxing Crescent, ")),
        qPrintable(label("lblMoonPhase")));
    QVERIFY(!label("lblSunrise").isEmpty());

    QVERIFY(m_hub->bookings->MoveNext());
    QCOMPARE(label("lblClient"), QStringLiteral("Bo Dean"));
    QVERIFY(label("lblMoonPhase").isEmpty());
    QVERIFY(label("lblSunrise").isEmpty());
    QCOMPARE(label("lblNote"),
        QStringLiteral("This booking has no trip date, so there is no moon or sun to show."));
}

void TestTripDay::positionIsCheckedAndKept_data()
{
    QTest::addColumn<QString>("latitude");
    QTest::addColumn<QString>("longitude");
    QTest::addColumn<QString>("problem"); // empty: kept
    QTest::addColumn<QStringList>("stored");

    QTest::newRow("home") << "36.6"
                          << " -93.3 "
                          << "" << QStringList { "36.6", "-93.3" };
    QTest::newRow("the edges") << "-90"
                               << "180"
                               << "" << QStringList { "-90", "180" };
    QTest::newRow("past the pole") << "90.5"
                                   << "0"
                                   << "The latitude must be between -90 and 90 degrees" << QStringList();
    QTest::newRow("past the date line")
        << "0"
        << "-181"
        << "The longitude must be between -180 and 180 degrees" << QStringList();
    QTest::newRow("words") << "north"
                           << "1"
                           << "Type the latitude of your home water in decimal degrees" << QStringList();
    QTest::newRow("empty longitude") << "1"
                                     << ""
                                     << "Type the longitude of your home water in decimal degrees"
                                     << QStringList();
    QTest::newRow("degrees and minutes") << "36°36'"
                                         << "-93.3"
                                         << "Type the latitude" << QStringList();
}

void TestTripDay::positionIsCheckedAndKept()
{
    QFETCH(QString, latitude);
    QFETCH(QString, longitude);
    QFETCH(QString, problem);
    QFETCH(QStringList, stored);

    open();
    if (!problem.isEmpty())
        m_messages->expect();
    typePosition(latitude, longitude);
    QCOMPARE(m_messages->shown.size(), problem.isEmpty() ? 0 : 1);
    if (!problem.isEmpty())
        QVERIFY2(m_messages->last().text.startsWith(problem), qPrintable(m_messages->last().text));

    QStringList rows;
    for (const QVariantList &row :
        test::rowsBehind(QStringLiteral("SELECT Latitude, Longitude FROM \"Home Water\"")))
        rows << row[0].toString() << row[1].toString();
    QCOMPARE(rows, stored);

    // Kept for the next time the window opens; what was refused is not.
    // An unkept position typed is asked about on closing, and not kept; a
    // kept one closes without a question.
    if (!problem.isEmpty())
        m_messages->expect(platform::Answer::No);
    m_window->close();
    delete m_window;
    m_messages->clear();
    open();
    QCOMPARE(child<QLineEdit>("txtLatitude")->text(), stored.value(0));
    QCOMPARE(child<QLineEdit>("txtLongitude")->text(), stored.value(1));
    QCOMPARE(label("lblSunrise").isEmpty(), stored.isEmpty());
}

// A file from elsewhere may keep anything there: it is no position, and the
// guide sees it to type it again.
void TestTripDay::keptTextThatIsNoPositionIsShownAsItIs()
{
    QVERIFY(test::execBehind(
        QStringLiteral("INSERT INTO \"Home Water\" (Latitude, Longitude) VALUES ('north', '1e999')")));
    open();
    QCOMPARE(child<QLineEdit>("txtLatitude")->text(), QStringLiteral("north"));
    QCOMPARE(child<QLineEdit>("txtLongitude")->text(), QStringLiteral("1e999"));
    QVERIFY(label("lblSunrise").isEmpty());
    QVERIFY(label("lblNote").contains(QStringLiteral("need the position of your home water")));
    typePosition(QStringLiteral("36.6"), QStringLiteral("-93.3"));
    QVERIFY(!label("lblSunrise").isEmpty());
    // Kept in the one record, in its place.
    QStringList rows;
    for (const QVariantList &row :
        test::rowsBehind(QStringLiteral("SELECT Latitude, Longitude FROM \"Home Water\"")))
        rows << row[0].toString() + QLatin1Char('|') + row[1].toString();
    QCOMPARE(rows, QStringList { QStringLiteral("36.6|-93.3") });
}

void TestTripDay::typedPositionIsNotLostOnClose_data()
{
    QTest::addColumn<QString>("latitude");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("kept") << "44.98" << int(platform::Answer::Yes) << true << "44.98";
    QTest::newRow("thrown away") << "44.98" << int(platform::Answer::No) << true << "";
    QTest::newRow("kept but not a position: the window stays")
        << "444" << int(platform::Answer::Yes) << false << "";
}

void TestTripDay::typedPositionIsNotLostOnClose()
{
    QFETCH(QString, latitude);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(QString, kept);

    open();
    child<QLineEdit>("txtLatitude")->setText(latitude);
    child<QLineEdit>("txtLongitude")->setText(QStringLiteral("-93.27"));
    m_messages->expect(platform::Answer(answer));
    if (!closed)
        m_messages->expect(); // why it can not be kept
    QCOMPARE(m_window->close(), closed);
    QCOMPARE(
        m_messages->shown.first().text, QStringLiteral("Keep the position you typed for your home water?"));
    QCOMPARE(m_messages->pending(), 0);
    RecordSource homeWater(QStringLiteral("check"), QStringLiteral("Home Water"));
    QCOMPARE(homeWater.text(QStringLiteral("Latitude")), kept);
    if (!closed) {
        m_messages->expect(platform::Answer::No);
        QVERIFY(m_window->close());
    }
}

void TestTripDay::sendsTheConfirmation()
{
    QVERIFY(test::execBehind(QStringLiteral("UPDATE \"Guide Info\" SET \"Guide Name\" = 'Ozark Bass Guides', "
                                            "Phone = '417-555-0100', Email = 'guide@example.com'")));
    open();
    child<QPushButton>("cmdConfirm")->click();
    QCOMPARE(m_messages->shown.size(), 0);
    QCOMPARE(m_shell->urls.size(), 1);
    const QUrl url = m_shell->urls.first();
    QCOMPARE(url.scheme(), QStringLiteral("mailto"));
    QCOMPARE(url.path(), QStringLiteral("zoe@example.com"));
    const QUrlQuery fields(url);
    QCOMPARE(fields.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
        QStringLiteral("Your fishing trip on 1/22/2027"));
    const QString body = fields.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    for (const QString &line :
        { QStringLiteral("Dear Zoë Brandt,"), QStringLiteral("Meeting place: State Park Marina"),
            QStringLiteral("Total charge: 400.00"), QStringLiteral("Deposit: 100.00, received 12/1/2026"),
            QStringLiteral("Balance due: 300.00"), QStringLiteral("Guide: Ozark Bass Guides"),
            QStringLiteral("Phone: 417-555-0100"), QStringLiteral("Email: guide@example.com") })
        QVERIFY2(body.split(QStringLiteral("\r\n")).contains(line), qPrintable(line + " in " + body));

    // No address: said, and nothing opened.
    QVERIFY(m_hub->bookings->MoveNext());
    m_messages->expect();
    child<QPushButton>("cmdConfirm")->click();
    QCOMPARE(m_messages->last().text,
        QStringLiteral(
            "There is no email address for Ann Lee, so no confirmation can be sent. Enter one with "
            "Edit Booking."));
    QCOMPARE(m_shell->urls.size(), 1);

    // No mail program: said.
    QVERIFY(m_hub->bookings->MoveNext());
    m_shell->canOpen = false;
    m_messages->expect();
    child<QPushButton>("cmdConfirm")->click();
    QCOMPARE(m_shell->urls.size(), 2);
    QCOMPARE(
        m_messages->last().text, QStringLiteral("No e-mail program could be opened for the confirmation."));
}

void TestTripDay::confirmationThroughTheOutbox_data()
{
    QTest::addColumn<bool>("setUp");
    QTest::addColumn<bool>("confirmationOn");
    QTest::addColumn<QString>("earlier"); // the state of an earlier confirmation; empty: none
    QTest::addColumn<QString>("said"); // empty: nothing said, the e-mail program opened
    QTest::addColumn<int>("confirmations"); // in the outbox afterwards

    const QString queued = QStringLiteral("The confirmation to zoe@example.com is in the outbox.");
    const QString waiting = QStringLiteral("A confirmation to zoe@example.com is already in the outbox, "
                                           "waiting to go; no second one was added.");
    QTest::newRow("mail set up") << true << true << "" << queued << 1;
    QTest::newRow("one sent before") << true << true << "Sent" << queued << 2;
    QTest::newRow("one waiting") << true << true << "Queued" << waiting << 1;
    QTest::newRow("confirmation off") << true << false << ""
                                      << "" << 0;
    QTest::newRow("mail not set up") << false << true << ""
                                     << "" << 0;
}

// With mail set up the confirmation goes through the outbox, once; without,
// or with the confirmation off, the e-mail program gets it as ever.
void TestTripDay::confirmationThroughTheOutbox()
{
    QFETCH(bool, setUp);
    QFETCH(bool, confirmationOn);
    QFETCH(QString, earlier);
    QFETCH(QString, said);
    QFETCH(int, confirmations);
    if (setUp)
        test::setUpMail();
    if (!confirmationOn) {
        mail::Text text;
        QVERIFY(mail::text(databasePath(), QLatin1String(mail::kind::confirmed), text));
        text.send = false;
        QVERIFY(mail::saveText(databasePath(), text));
    }
    open();
    const qint64 zoe = m_hub->bookings->bookmark().id;
    QCOMPARE(label("lblClient"), QStringLiteral("Zoë Brandt"));
    if (!earlier.isEmpty())
        QVERIFY(test::layInMessage(zoe, QStringLiteral("Confirmed"), earlier));
    if (!said.isEmpty())
        m_messages->expect();
    child<QPushButton>("cmdConfirm")->click();

    QCOMPARE(m_messages->shown.size(), said.isEmpty() ? 0 : 1);
    if (!said.isEmpty()) {
        QCOMPARE(m_messages->last().text, said);
        QCOMPARE(m_messages->last().icon, platform::Icon::Information);
    }
    QCOMPARE(m_shell->urls.size(), said.isEmpty() ? 1 : 0);
    const QList<db::outbox::Message> outbox = test::outboxMessages();
    QCOMPARE(outbox.size(), confirmations);
    if (confirmations == 0)
        return;
    const db::outbox::Message &last = outbox.constLast();
    QCOMPARE(last.kind, QStringLiteral("Confirmed"));
    QCOMPARE(last.booking, QString::number(zoe));
    if (confirmations == (earlier.isEmpty() ? 0 : 1)) {
        QCOMPARE(last.state, earlier); // the one waiting, alone
        return;
    }
    QCOMPARE(last.recipient, QStringLiteral("zoe@example.com"));
    QCOMPARE(last.state, QString::fromLatin1(mailState::queued));
}

void TestTripDay::opensFromTheUtilitiesMenu()
{
    auto *main = new FrmMain;
    main->show();
    auto *item = main->findChild<QAction *>(QStringLiteral("mnuTripDay"));
    QVERIFY(item);
    item->trigger();
    m_window = qobject_cast<FrmTripDay *>(platform::findWindow(QStringLiteral("frmTripDay")));
    QVERIFY(m_window && m_window->isVisible());
    QCOMPARE(label("lblClient"), main->hub().datBookings().text(QStringLiteral("Name")));
    m_window->close();
    m_messages->expect(platform::Answer::No); // the backup question
    main->close();
}

void TestTripDay::screenshot()
{
    const QString folder = qEnvironmentVariable("BM_TRIPDAY_SHOTS");
    if (folder.isEmpty())
        QSKIP("set BM_TRIPDAY_SHOTS to a folder for a picture of the window");
    open();
    typePosition(QStringLiteral("36.6"), QStringLiteral("-93.3"));
    QCoreApplication::processEvents();
    QVERIFY(m_window->grab().save(folder + QStringLiteral("/tripday.png")));
}

BM_TEST_MAIN(TestTripDay)
#include "test_tripday.moc"
