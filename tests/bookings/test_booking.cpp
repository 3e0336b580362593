#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "outboxfixture.h"
#include "records.h"
#include "testenv.h"

#include "bookings/bookingwindows.h"
#include "bookings/frmbooking.h"
#include "core/apppaths.h"
#include "core/money.h"
#include "db/database.h"
#include "domain/busytimes.h"
#include "platform/windows.h"
#include "recordform/datepicker.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace bm;
using bm::platform::Answer;
using bm::platform::Icon;

namespace
{

const QDate day(2026, 12, 8);

QColor baseOf(const QComboBox *box)
{
    return box->lineEdit()->palette().color(QPalette::Base);
}

void addListEntry(const QString &table, const QString &field, const QString &value)
{
    QVERIFY(test::execBehind(
        QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES (?)").arg(table, field), { value }));
}

int bookingCount()
{
    const QList<QVariantList> rows = test::rowsBehind(QStringLiteral("SELECT COUNT(*) FROM Booking"));
    return rows.size() == 1 ? rows[0][0].toInt() : -1;
}

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

} // namespace

class TestBooking : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void newBookingStartsEmpty();
    void listsFollowTheirTables_data();
    void listsFollowTheirTables();
    void amountFilter_data();
    void amountFilter();
    void navigationKeysPassTheFilter();
    void typedTextIsNotCompleted_data();
    void typedTextIsNotCompleted();
    void leaveChecks_data();
    void leaveChecks();
    void tabbingOnFromAnEmptyBoxAsksOnce_data();
    void tabbingOnFromAnEmptyBoxAsksOnce();
    void acceptedAfterErrorTurnsWhite();
    void leavingForCancelAsksNothing();
    void balance_data();
    void balance();
    void typedPricesGiveTheBalance();
    void saveNew();
    void saveByAccessKeyFromAnEmptyPrice();
    void saveNeedsAName_data();
    void saveNeedsAName();
    void saveRefusedByTheEngine();
    void editShowsAndSavesTheBooking();
    void bookingWithNoDateKeepsNone();
    void clientFieldsInTabOrder();
    void cancelLeavesEverything_data();
    void cancelLeavesEverything();
    void givingTheCommandAgainStartsOver();
    void stateAndPartyRoundTrip_data();
    void stateAndPartyRoundTrip();
    void badPartyOrStartRefused_data();
    void badPartyOrStartRefused();
    void daysBox_data();
    void daysBox();
    void busyDaysAreNamedOnSave_data();
    void busyDaysAreNamedOnSave();
    void untouchedStateIsKept_data();
    void untouchedStateIsKept();
    void stateFieldsAfterTheWrittenOnes();
    void mailOnSave_data();
    void mailOnSave();
    void mailGoesOnlyWithTheSave_data();
    void mailGoesOnlyWithTheSave();
    void refusedMailIsShown();

private:
    FrmBooking *openNew();
    FrmBooking *openEdit();
    template <class W> W *child(const char *name)
    {
        W *w = m_window ? m_window->findChild<W *>(QString::fromLatin1(name)) : nullptr;
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QComboBox *combo(const char *name) { return child<QComboBox>(name); }
    void focus(QWidget *w)
    {
        w->setFocus(Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), w);
    }

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    QPointer<FrmBooking> m_window;
};

void TestBooking::init()
{
    m_hub.reset();
    test::resetDatabase();
    QVERIFY(test::addBooking(
        { { "Name", "Second Client" }, { "Date", QDate(2026, 7, 1) }, { "Total Charge", "250" } })
                .isValid());
    m_hub = std::make_unique<test::FakeHub>();
    m_messages = std::make_unique<test::ScriptedMessages>();
}

void TestBooking::cleanup()
{
    if (m_window)
        m_window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_messages.reset();
    m_hub.reset();
}

FrmBooking *TestBooking::openNew()
{
    m_window = openNewBooking(day);
    if (!QTest::qWaitForWindowActive(m_window))
        qWarning("the booking entry did not become active");
    return m_window;
}

FrmBooking *TestBooking::openEdit()
{
    m_window = openEditBooking(m_hub->bookings->bookmark());
    if (m_window && !QTest::qWaitForWindowActive(m_window))
        qWarning("the booking entry did not become active");
    return m_window;
}

void TestBooking::newBookingStartsEmpty()
{
    FrmBooking *w = openNew();
    QCOMPARE(w->objectName(), QStringLiteral("frmBooking"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Add a new Booking"));
    QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(w->booking().editMode(), RecordSource::EditMode::Add);
    QCOMPARE(child<DatePicker>("DTPicker1")->value(), day);
    QCOMPARE(child<DatePicker>("DTPicker2")->value(), day);
    for (const char *name :
        { "DBCombo1", "DBCombo2", "DBCombo3", "DBCombo4", "DBCombo5", "cmbState", "Combo2" })
        QVERIFY2(combo(name)->currentText().isEmpty(), name);
    for (const char *name : { "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8", "Text9",
             "Text12", "Text13", "Text14" })
        QVERIFY2(child<QLineEdit>(name)->text().isEmpty(), name);
    QVERIFY(child<QPlainTextEdit>("Text1")->toPlainText().isEmpty());
    QCOMPARE(items(combo("cmbState")).size(), 52);
    QCOMPARE(items(combo("cmbState")).mid(0, 4), QStringList({ "AL", "AK", "AZ", "AR" }));
    QCOMPARE(items(combo("cmbState")).last(), QStringLiteral("WY"));
    QCOMPARE(items(combo("Combo2")), QStringList({ "Cash", "Check", "Money Order", "Credit Card" }));
}

void TestBooking::listsFollowTheirTables_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Fishing at") << "DBCombo1"
                                << "Lakes Fished"
                                << "Lake" << QStringList { "Table Rock Lake", "Bull Shoals", "Beaver Lake" };
    QTest::newRow("Meet at") << "DBCombo2"
                             << "Marinas"
                             << "Ramps" << QStringList { "State Park Marina", "Bull Shoals", "Beaver Lake" };
    QTest::newRow("Total Charge") << "DBCombo3"
                                  << "Trip Rates"
                                  << "Trip Rates"
                                  << QStringList { "250.00", "400.00", "Bull Shoals", "Beaver Lake" };
    QTest::newRow("Type") << "DBCombo4"
                          << "Trip Type"
                          << "Trip Type"
                          << QStringList { "Half Day", "Full Day", "Evening Trip", "Fly Fishing",
                                 "Multi-Day Trip", "Bull Shoals", "Beaver Lake" };
    QTest::newRow("Deposit Amount") << "DBCombo5"
                                    << "Deposits"
                                    << "Deposits"
                                    << QStringList { "50.00", "100.00", "Bull Shoals", "Beaver Lake" };
}

void TestBooking::listsFollowTheirTables()
{
    QFETCH(QString, control);
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QStringList, expected);
    // Added out of alphabetical order: the list keeps the table's order.
    addListEntry(table, field, QStringLiteral("Bull Shoals"));
    addListEntry(table, field, QStringLiteral("Beaver Lake"));
    openNew();
    QCOMPARE(items(combo(control.toLatin1().constData())), expected);
}

void TestBooking::amountFilter_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message");

    QTest::newRow("digits point slash") << "DBCombo3"
                                        << "12.5/3"
                                        << "12.5/3" << QString();
    QTest::newRow("letter in charge") << "DBCombo3"
                                      << "2a"
                                      << "0"
                                      << "Please enter the Total Charge in a Dollar Amount.";
    QTest::newRow("letter in deposit") << "DBCombo5"
                                       << "x"
                                       << "0"
                                       << "Please enter the Deposit Received in a Dollar Amount.";
    QTest::newRow("minus") << "DBCombo3"
                           << "-"
                           << "0"
                           << "Please enter the Total Charge in a Dollar Amount.";
    QTest::newRow("comma") << "DBCombo5"
                           << "1,"
                           << "0"
                           << "Please enter the Deposit Received in a Dollar Amount.";
    QTest::newRow("blank") << "DBCombo3"
                           << "5 "
                           << "0"
                           << "Please enter the Total Charge in a Dollar Amount.";
    QTest::newRow("dollar sign") << "DBCombo3"
                                 << "$"
                                 << "0"
                                 << "Please enter the Total Charge in a Dollar Amount.";
}

void TestBooking::amountFilter()
{
    QFETCH(QString, control);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    openNew();
    QComboBox *box = combo(control.toLatin1().constData());
    focus(box);
    if (!message.isEmpty())
        m_messages->expect(Answer::Ok);
    QTest::keyClicks(box, keys);
    QCOMPARE(box->currentText(), expected);
    QCOMPARE(QApplication::focusWidget(), box);
    if (message.isEmpty()) {
        QVERIFY(m_messages->shown.isEmpty());
        QCOMPARE(baseOf(box), QColor(Qt::white));
    } else {
        QCOMPARE(m_messages->shown.size(), 1);
        QCOMPARE(m_messages->last().text, message);
        QCOMPARE(m_messages->last().icon, Icon::Exclamation);
        QCOMPARE(m_messages->last().caption, QStringLiteral("Brindlemoor"));
        QCOMPARE(baseOf(box), QColor(255, 255, 0));
    }
}

void TestBooking::navigationKeysPassTheFilter()
{
    openNew();
    QComboBox *box = combo("DBCombo3");
    focus(box);
    QTest::keyClicks(box, QStringLiteral("2507"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClicks(box, QStringLiteral("1"));
    QCOMPARE(box->currentText(), QStringLiteral("510"));
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QStringLiteral("9"));
    QCOMPARE(box->currentText(), QStringLiteral("9"));
    QVERIFY(m_messages->shown.isEmpty());
}

void TestBooking::typedTextIsNotCompleted_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::newRow("lake") << "DBCombo1"
                          << "Table";
    QTest::newRow("state") << "cmbState"
                           << "M";
    QTest::newRow("paid by") << "Combo2"
                             << "C";
    QTest::newRow("charge") << "DBCombo3"
                            << "2";
}

void TestBooking::typedTextIsNotCompleted()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    openNew();
    QComboBox *box = combo(control.toLatin1().constData());
    focus(box);
    QTest::keyClicks(box, typed);
    QCOMPARE(box->currentText(), typed);
}

void TestBooking::leaveChecks_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message");

    QTest::newRow("whole charge") << "DBCombo3"
                                  << "150"
                                  << "150.00" << QString();
    QTest::newRow("charge rounded") << "DBCombo3"
                                    << "2.675"
                                    << "2.68" << QString();
    QTest::newRow("charge full stop unchanged") << "DBCombo3"
                                                << "."
                                                << "." << QString();
    QTest::newRow("charge slash unchanged") << "DBCombo3"
                                            << "1/2"
                                            << "1/2" << QString();
    QTest::newRow("deposit") << "DBCombo5"
                             << "50"
                             << "50.00" << QString();
    QTest::newRow("empty charge") << "DBCombo3"
                                  << ""
                                  << "0"
                                  << "Please enter the cost for the Trip";
    QTest::newRow("empty deposit") << "DBCombo5"
                                   << ""
                                   << "0"
                                   << "Please enter a Deposit amount.";
}

void TestBooking::leaveChecks()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    openNew();
    QComboBox *box = combo(control.toLatin1().constData());
    focus(box);
    box->setEditText(text);
    if (!message.isEmpty())
        m_messages->expect(Answer::Ok);
    QTest::keyClick(box, Qt::Key_Backtab);
    QCOMPARE(box->currentText(), expected);
    if (message.isEmpty()) {
        QVERIFY(m_messages->shown.isEmpty());
        QVERIFY(QApplication::focusWidget() != box);
        QCOMPARE(baseOf(box), QColor(Qt::white));
    } else {
        QCOMPARE(m_messages->shown.size(), 1);
        QCOMPARE(m_messages->last().text, message);
        QCOMPARE(m_messages->last().icon, Icon::Exclamation);
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(baseOf(box), QColor(255, 255, 0));
    }
}

void TestBooking::tabbingOnFromAnEmptyBoxAsksOnce_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("message");
    QTest::newRow("charge, towards the deposit") << "DBCombo3"
                                                 << "Please enter the cost for the Trip";
    QTest::newRow("deposit, towards the balance") << "DBCombo5"
                                                  << "Please enter a Deposit amount.";
}

// The box hands the focus back before the next box (or the balance) is
// entered: only one message, and the next box is neither checked nor entered.
void TestBooking::tabbingOnFromAnEmptyBoxAsksOnce()
{
    QFETCH(QString, control);
    QFETCH(QString, message);
    openNew();
    QComboBox *box = combo(control.toLatin1().constData());
    focus(box);
    m_messages->expect(Answer::Ok);
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text, message);
    QCOMPARE(QApplication::focusWidget(), box);
    QCOMPARE(box->currentText(), QStringLiteral("0"));
    QVERIFY(child<QLineEdit>("Text12")->text().isEmpty());
}

void TestBooking::acceptedAfterErrorTurnsWhite()
{
    openNew();
    QComboBox *box = combo("DBCombo5");
    focus(box);
    m_messages->expect(Answer::Ok);
    QTest::keyClick(box, Qt::Key_Backtab);
    QCOMPARE(baseOf(box), QColor(255, 255, 0));
    QTest::keyClick(box, Qt::Key_Backtab); // leaves with the "0" it was given
    QCOMPARE(box->currentText(), QStringLiteral("0.00"));
    QCOMPARE(baseOf(box), QColor(Qt::white));
}

void TestBooking::leavingForCancelAsksNothing()
{
    FrmBooking *w = openNew();
    focus(combo("DBCombo3"));
    QTest::mouseClick(child<QPushButton>("cmdCancel"), Qt::LeftButton);
    QVERIFY(m_messages->shown.isEmpty());
    QVERIFY(!w->isVisible());
    QCOMPARE(bookingCount(), 2);
}

void TestBooking::balance_data()
{
    QTest::addColumn<QString>("charge");
    QTest::addColumn<QString>("deposit");
    QTest::addColumn<QString>("expected"); // empty: refused

    QTest::newRow("formatted") << "250.00"
                               << "50.00"
                               << "200.00";
    QTest::newRow("as typed") << "250"
                              << "50"
                              << "200.00";
    QTest::newRow("deposit above charge") << "50"
                                          << "250"
                                          << "-200.00";
    QTest::newRow("tenths exactly") << "0.3"
                                    << "0.1"
                                    << "0.20";
    QTest::newRow("rounded on display") << "2.675"
                                        << "0"
                                        << "2.68";
    QTest::newRow("full stop") << "."
                               << "50" << QString();
    QTest::newRow("empty charge") << ""
                                  << "50" << QString();
    QTest::newRow("empty deposit") << "250"
                                   << "" << QString();
    QTest::newRow("slash") << "1/2"
                           << "0" << QString();
}

void TestBooking::balance()
{
    QFETCH(QString, charge);
    QFETCH(QString, deposit);
    QFETCH(QString, expected);
    openNew();
    QLineEdit *balance = child<QLineEdit>("Text12");
    balance->setText(QStringLiteral("12.00"));
    focus(child<QLineEdit>("Text2"));
    combo("DBCombo3")->setEditText(charge);
    combo("DBCombo5")->setEditText(deposit);
    if (expected.isEmpty())
        m_messages->expect(Answer::Ok);
    balance->setFocus(Qt::MouseFocusReason);
    if (expected.isEmpty()) {
        QCOMPARE(m_messages->shown.size(), 1);
        QCOMPARE(m_messages->last().text,
            QStringLiteral("Make sure that a price is entered in the Total Charge or Deposit Amount boxes.\n"
                           "They cannot be blank."));
        QCOMPARE(m_messages->last().icon, Icon::Critical);
        QCOMPARE(balance->text(), QStringLiteral("12.00"));
        QCOMPARE(QApplication::focusWidget(), combo("DBCombo3"));
        QCOMPARE(baseOf(combo("DBCombo3")), QColor(255, 255, 0));
    } else {
        QCOMPARE(balance->text(), expected);
        QCOMPARE(QApplication::focusWidget(), balance);
    }
}

void TestBooking::typedPricesGiveTheBalance()
{
    openNew();
    QComboBox *charge = combo("DBCombo3");
    focus(charge);
    QTest::keyClicks(charge, QStringLiteral("250"));
    QTest::keyClick(charge, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), combo("DBCombo5"));
    QTest::keyClicks(combo("DBCombo5"), QStringLiteral("50"));
    QTest::keyClick(combo("DBCombo5"), Qt::Key_Tab);
    QCOMPARE(charge->currentText(), QStringLiteral("250.00"));
    QCOMPARE(combo("DBCombo5")->currentText(), QStringLiteral("50.00"));
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>("Text12"));
    QCOMPARE(child<QLineEdit>("Text12")->text(), QStringLiteral("200.00"));
    // A changed price is not taken in until the box is entered again; the
    // balance may be overtyped.
    charge->setEditText(QStringLiteral("300"));
    QCOMPARE(child<QLineEdit>("Text12")->text(), QStringLiteral("200.00"));
}

void TestBooking::saveNew()
{
    BM_VERIFY(m_hub->bookings->MoveLast());
    const Bookmark first = [] {
        RecordSource r(QStringLiteral("check"), QStringLiteral("Booking"));
        return r.bookmark();
    }();
    QVERIFY(m_hub->bookings->bookmark() != first);
    FrmBooking *w = openNew();
    child<QLineEdit>("Text2")->setText(QStringLiteral("Ann Angler"));
    combo("DBCombo1")->setEditText(QStringLiteral("Bull Shoals")); // typed, not in the list
    combo("DBCombo4")->setCurrentIndex(1);
    combo("cmbState")->setEditText(QStringLiteral("ON"));
    combo("DBCombo3")->setEditText(QStringLiteral("250.00"));
    combo("DBCombo5")->setEditText(QStringLiteral("50.00"));
    child<QLineEdit>("Text12")->setText(QStringLiteral("200.00"));
    combo("Combo2")->setEditText(QStringLiteral("Gift Card"));
    child<QPlainTextEdit>("Text1")->setPlainText(QStringLiteral("Bring rain gear"));
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);

    QVERIFY(!w->isVisible());
    QCOMPARE(bookingCount(), 3);
    QCOMPARE(m_hub->bookings->bookmark(), first); // re-read: on the first booking again
    RecordSource saved(QStringLiteral("check"), QStringLiteral("Booking"));
    BM_VERIFY(saved.MoveLast());
    QCOMPARE(saved.value(QStringLiteral("Name")).toString(), QStringLiteral("Ann Angler"));
    QCOMPARE(saved.value(QStringLiteral("Date")).toDate(), day);
    QCOMPARE(saved.value(QStringLiteral("Deposit Received")).toDate(), day);
    QCOMPARE(saved.value(QStringLiteral("Lake")).toString(), QStringLiteral("Bull Shoals"));
    QCOMPARE(saved.value(QStringLiteral("Type")).toString(), QStringLiteral("Full Day"));
    QCOMPARE(saved.value(QStringLiteral("State")).toString(), QStringLiteral("ON"));
    QCOMPARE(saved.value(QStringLiteral("Paid By")).toString(), QStringLiteral("Gift Card"));
    QCOMPARE(saved.value(QStringLiteral("Notes")).toString(), QStringLiteral("Bring rain gear"));
    QCOMPARE(saved.value(QStringLiteral("Total Charge")).value<Money>().units(), 2500000);
    QCOMPARE(saved.value(QStringLiteral("Balance Due")).value<Money>().units(), 2000000);
}

// Saving straight from an empty price box: the booking may go without a price,
// and the box is not checked while the window closes.
void TestBooking::saveByAccessKeyFromAnEmptyPrice()
{
    FrmBooking *w = openNew();
    child<QLineEdit>("Text2")->setText(QStringLiteral("Ann Angler"));
    focus(combo("DBCombo3"));
    QTest::keyClick(combo("DBCombo3"), Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(!m_window || !w->isVisible()); // the button clicks itself a moment later
    QVERIFY(m_messages->shown.isEmpty());
    QCOMPARE(bookingCount(), 3);
}

void TestBooking::saveNeedsAName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("saved");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blanks count as a name") << QStringLiteral("  ") << true;
}

void TestBooking::saveNeedsAName()
{
    QFETCH(QString, name);
    QFETCH(bool, saved);
    FrmBooking *w = openNew();
    child<QLineEdit>("Text2")->setText(name);
    if (!saved)
        m_messages->expect(Answer::Ok);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QCOMPARE(bookingCount(), saved ? 3 : 2);
    QCOMPARE(w->isVisible(), !saved);
    if (!saved) {
        QCOMPARE(
            m_messages->last().text, QStringLiteral("Please enter a client name or press Cancel to exit."));
        QCOMPARE(m_messages->last().icon, Icon::Exclamation);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>("Text2"));
        QCOMPARE(w->booking().editMode(), RecordSource::EditMode::Add);
    }
}

void TestBooking::saveRefusedByTheEngine()
{
    FrmBooking *w = openNew();
    child<QLineEdit>("Text2")->setText(QStringLiteral("Ann Angler"));
    QComboBox *charge = combo("DBCombo3");
    focus(charge);
    QTest::keyClicks(charge, QStringLiteral("1/2"));
    m_messages->expect(Answer::Ok);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text, QStringLiteral("The value 1/2 can not be stored in Total Charge."));
    QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    QVERIFY(w->isVisible());
    QCOMPARE(w->booking().editMode(), RecordSource::EditMode::Add);
    QCOMPARE(bookingCount(), 2);
    QCOMPARE(child<QLineEdit>("Text2")->text(), QStringLiteral("Ann Angler"));

    // Mended, the same booking saves.
    charge->setEditText(QStringLiteral("12.50"));
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QCOMPARE(bookingCount(), 3);
}

void TestBooking::editShowsAndSavesTheBooking()
{
    FrmBooking *w = openEdit(); // the hub stands on the first booking
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Editing this Booking"));
    QCOMPARE(w->booking().editMode(), RecordSource::EditMode::Edit);
    QCOMPARE(w->booking().bookmark(), m_hub->bookings->bookmark());
    QCOMPARE(child<QLineEdit>("Text2")->text(), QStringLiteral("Sample Customer"));
    QCOMPARE(child<DatePicker>("DTPicker1")->value(), QDate(2026, 6, 6));
    QCOMPARE(child<DatePicker>("DTPicker2")->value(), QDate(2026, 5, 1));
    QCOMPARE(combo("DBCombo3")->currentText(), QStringLiteral("400.00"));
    QCOMPARE(combo("Combo2")->currentText(), QStringLiteral("Check"));

    child<QLineEdit>("Text2")->setText(QStringLiteral("Renamed Customer"));
    BM_VERIFY(m_hub->bookings->MoveLast());
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QCOMPARE(bookingCount(), 2);
    // The main window's bookings were re-read: first booking, new name.
    QCOMPARE(m_hub->bookings->text(QStringLiteral("Name")), QStringLiteral("Renamed Customer"));
}

void TestBooking::bookingWithNoDateKeepsNone()
{
    QVERIFY(test::execBehind(QStringLiteral("UPDATE Booking SET Date = NULL, \"Deposit Received\" = ''")));
    BM_VERIFY(m_hub->bookings->Refresh());
    FrmBooking *w = openEdit();
    QVERIFY(w);
    QVERIFY(child<DatePicker>("DTPicker1")->isEmpty());
    QVERIFY(child<DatePicker>("DTPicker2")->isEmpty());
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QCOMPARE(m_hub->bookings->value(QStringLiteral("Date")), QVariant());
    QCOMPARE(m_hub->bookings->text(QStringLiteral("Deposit Received")), QString());
}

void TestBooking::clientFieldsInTabOrder()
{
    openNew();
    focus(child<QLineEdit>("Text2"));
    QStringList order { QApplication::focusWidget()->objectName() };
    for (int i = 0; i < 11; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order,
        QStringList({ "Text2", "Text3", "Text4", "Text5", "cmbState", "Text6", "Text7", "Text13", "Text14",
            "Text8", "Text9", "Text1" }));
}

void TestBooking::cancelLeavesEverything_data()
{
    QTest::addColumn<bool>("edit");
    QTest::newRow("new") << false;
    QTest::newRow("edit") << true;
}

void TestBooking::cancelLeavesEverything()
{
    QFETCH(bool, edit);
    FrmBooking *w = edit ? openEdit() : openNew();
    QVERIFY(w);
    child<QLineEdit>("Text2")->setText(QStringLiteral("Not Kept"));
    BM_VERIFY(m_hub->bookings->MoveLast());
    const Bookmark before = m_hub->bookings->bookmark();
    QSignalSpy moves(m_hub->bookings, &RecordSource::currentChanged);
    QTest::mouseClick(child<QPushButton>("cmdCancel"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QCOMPARE(bookingCount(), 2);
    QCOMPARE(moves.count(), 0);
    QCOMPARE(m_hub->bookings->bookmark(), before);
    BM_VERIFY(m_hub->bookings->MoveFirst());
    QCOMPARE(m_hub->bookings->text(QStringLiteral("Name")), QStringLiteral("Sample Customer"));
}

void TestBooking::givingTheCommandAgainStartsOver()
{
    FrmBooking *w = openEdit();
    child<QLineEdit>("Text2")->setText(QStringLiteral("Dropped"));
    // Left in an empty price box painted as wrong: starting over neither
    // checks the box nor keeps the mark.
    focus(combo("DBCombo5"));
    m_messages->expect(Answer::Ok);
    QTest::keyClicks(combo("DBCombo5"), QStringLiteral("x"));
    combo("DBCombo5")->setEditText(QString());
    FrmBooking *again = openNewBooking(QDate(2027, 1, 2));
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(baseOf(combo("DBCombo5")), QColor(Qt::white));
    QCOMPARE(again, w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Add a new Booking"));
    QCOMPARE(w->booking().editMode(), RecordSource::EditMode::Add);
    QVERIFY(child<QLineEdit>("Text2")->text().isEmpty());
    QVERIFY(combo("DBCombo5")->currentText().isEmpty());
    QCOMPARE(child<DatePicker>("DTPicker1")->value(), QDate(2027, 1, 2));

    BM_VERIFY(m_hub->bookings->MoveLast());
    QCOMPARE(openEditBooking(m_hub->bookings->bookmark()), w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Editing this Booking"));
    QCOMPARE(child<QLineEdit>("Text2")->text(), QStringLiteral("Second Client"));
    QCOMPARE(bookingCount(), 2);
    RecordSource check(QStringLiteral("check"), QStringLiteral("Booking"));
    QCOMPARE(check.text(QStringLiteral("Name")), QStringLiteral("Sample Customer"));
}

void TestBooking::stateAndPartyRoundTrip_data()
{
    QTest::addColumn<QString>("status"); // empty: left as the new booking has it
    QTest::addColumn<QString>("party");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("storedStatus");
    QTest::addColumn<QString>("storedParty");
    QTest::addColumn<QString>("storedStart");
    QTest::newRow("new booking as it starts") << ""
                                              << ""
                                              << ""
                                              << "Confirmed"
                                              << ""
                                              << "";
    QTest::newRow("requested, hour of one digit") << "Requested"
                                                  << "4"
                                                  << "6:30"
                                                  << "Requested"
                                                  << "4"
                                                  << "06:30";
    QTest::newRow("cancelled, blanks around") << "Cancelled"
                                              << " 12 "
                                              << " 23:59"
                                              << "Cancelled"
                                              << "12"
                                              << "23:59";
    QTest::newRow("no-show, leading zero, midnight") << "No-show"
                                                     << "07"
                                                     << "00:00"
                                                     << "No-show"
                                                     << "7"
                                                     << "00:00";
    QTest::newRow("largest party") << "Confirmed"
                                   << "99"
                                   << "13:05"
                                   << "Confirmed"
                                   << "99"
                                   << "13:05";
}

// What the guide chooses and types is kept as the page reads it, and shows
// again when the booking is opened.
void TestBooking::stateAndPartyRoundTrip()
{
    QFETCH(QString, status);
    QFETCH(QString, party);
    QFETCH(QString, start);
    QFETCH(QString, storedStatus);
    QFETCH(QString, storedParty);
    QFETCH(QString, storedStart);
    FrmBooking *w = openNew();
    QCOMPARE(combo("cboStatus")->currentText(), QStringLiteral("Confirmed"));
    child<QLineEdit>("Text2")->setText(QStringLiteral("Ann Angler"));
    if (!status.isEmpty())
        combo("cboStatus")->setCurrentText(status);
    child<QLineEdit>("txtPartySize")->setText(party);
    child<QLineEdit>("txtStartTime")->setText(start);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    const QList<QVariantList> rows = test::rowsBehind(QStringLiteral(
        "SELECT Status, \"Party Size\", \"Start Time\", ID FROM Booking WHERE Name = 'Ann Angler'"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0].toString(), storedStatus);
    QCOMPARE(rows[0][1].toString(), storedParty);
    QCOMPARE(rows[0][2].toString(), storedStart);

    FrmBooking *again = openEditBooking(Bookmark { rows[0][3].toLongLong() });
    QVERIFY(again);
    m_window = again;
    QCOMPARE(combo("cboStatus")->currentText(), storedStatus);
    QCOMPARE(child<QLineEdit>("txtPartySize")->text(), storedParty);
    QCOMPARE(child<QLineEdit>("txtStartTime")->text(), storedStart);
}

void TestBooking::badPartyOrStartRefused_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString party
        = QStringLiteral("Please enter the Party Size as a whole number from 1 to 99, or leave it empty.");
    const QString start
        = QStringLiteral("Please enter the Start Time as hours and minutes, like 06:30, or leave it empty.");
    QTest::newRow("party of none") << "txtPartySize"
                                   << "0" << party;
    QTest::newRow("party of a hundred") << "txtPartySize"
                                        << "100" << party;
    QTest::newRow("party with a fraction") << "txtPartySize"
                                           << "2.5" << party;
    QTest::newRow("party below none") << "txtPartySize"
                                      << "-1" << party;
    QTest::newRow("party in words") << "txtPartySize"
                                    << "two" << party;
    QTest::newRow("hour past the day") << "txtStartTime"
                                       << "24:00" << start;
    QTest::newRow("minutes past the hour") << "txtStartTime"
                                           << "6:60" << start;
    QTest::newRow("point for colon") << "txtStartTime"
                                     << "6.30" << start;
    QTest::newRow("no colon") << "txtStartTime"
                              << "0630" << start;
    QTest::newRow("one minute digit") << "txtStartTime"
                                      << "7:5" << start;
    QTest::newRow("in words") << "txtStartTime"
                              << "dawn" << start;
}

void TestBooking::badPartyOrStartRefused()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    FrmBooking *w = openNew();
    child<QLineEdit>("Text2")->setText(QStringLiteral("Ann Angler"));
    QLineEdit *box = child<QLineEdit>(qPrintable(control));
    box->setText(typed);
    m_messages->expect(Answer::Ok);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text, message);
    QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    QVERIFY(w->isVisible());
    QCOMPARE(w->booking().editMode(), RecordSource::EditMode::Add);
    QCOMPARE(bookingCount(), 2);
    QCOMPARE(QApplication::focusWidget(), box);
    QCOMPARE(box->palette().color(QPalette::Base), QColor(255, 255, 0));
    QCOMPARE(box->text(), typed);

    // Mended, the same booking saves, and the mark is gone.
    box->clear();
    QTest::keyClicks(box, control == "txtPartySize" ? QStringLiteral("5") : QStringLiteral("5:00"));
    QVERIFY(box->palette().color(QPalette::Base) != QColor(255, 255, 0));
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QCOMPARE(bookingCount(), 3);
}

void TestBooking::daysBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept"); // null: refused
    QTest::newRow("empty, one day") << ""
                                    << "";
    QTest::newRow("one") << "1"
                         << "1";
    QTest::newRow("blanks and a nought") << " 07 "
                                         << "7";
    QTest::newRow("a month") << "30"
                             << "30";
    QTest::newRow("none") << "0" << QString();
    QTest::newRow("more than a month") << "31" << QString();
    QTest::newRow("half a day") << "2.5" << QString();
    QTest::newRow("below none") << "-3" << QString();
    QTest::newRow("in words") << "two" << QString();
}

// How many days a trip lasts: a whole number of 1 to 30, or nothing.
void TestBooking::daysBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    FrmBooking *w = openEdit();
    QVERIFY(w);
    QLineEdit *days = child<QLineEdit>("txtDays");
    days->setText(typed);
    if (kept.isNull())
        m_messages->expect(Answer::Ok);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    const QString stored
        = test::rowsBehind(QStringLiteral("SELECT Days FROM Booking WHERE Name = 'Sample Customer'"))
              .value(0)
              .value(0)
              .toString();
    if (kept.isNull()) {
        QCOMPARE(m_messages->last().text,
            QStringLiteral("Please enter the Days as a whole number from 1 to 30, or leave it empty for a "
                           "trip of one day."));
        QVERIFY(w->isVisible());
        QCOMPARE(QApplication::focusWidget(), days);
        QCOMPARE(stored, QString());
        return;
    }
    QVERIFY(!w->isVisible());
    QCOMPARE(stored, kept);
}

void TestBooking::busyDaysAreNamedOnSave_data()
{
    QTest::addColumn<int>("busyDay"); // days after the trip's
    QTest::addColumn<QString>("days");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("notice"); // empty: none
    QTest::newRow("busy that day") << 0 << ""
                                   << ""
                                   << "Dentist 14:00\u201315:00";
    QTest::newRow("busy the next day") << 1 << ""
                                       << ""
                                       << "";
    QTest::newRow("busy on the trip's second day") << 1 << "2"
                                                   << ""
                                                   << "12/9/2026: Dentist 14:00\u201315:00";
    QTest::newRow("a cancelled trip") << 0 << ""
                                      << "Cancelled"
                                      << "";
}

// Saving a trip on a day the guide's own calendar is busy says so and saves.
void TestBooking::busyDaysAreNamedOnSave()
{
    QFETCH(int, busyDay);
    QFETCH(QString, days);
    QFETCH(QString, status);
    QFETCH(QString, notice);
    const QDate busy = day.addDays(busyDay);
    BM_VERIFY(busytimes::replace(QString(), day.addDays(-7), day.addDays(7),
        { { QDateTime(busy, QTime(14, 0)), QDateTime(busy, QTime(15, 0)), QStringLiteral("Dentist") } }));
    FrmBooking *w = openNew();
    child<QLineEdit>("Text2")->setText(QStringLiteral("Ann Angler"));
    child<QLineEdit>("txtDays")->setText(days);
    if (!status.isEmpty())
        combo("cboStatus")->setCurrentText(status);
    const qsizetype before = m_messages->shown.size();
    if (!notice.isEmpty())
        m_messages->expect(Answer::Ok);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QCOMPARE(bookingCount(), 3);
    if (notice.isEmpty())
        QCOMPARE(m_messages->shown.size(), before);
    else
        QCOMPARE(m_messages->last().text, QStringLiteral("Your own calendar holds this day:\n") + notice);
}

void TestBooking::untouchedStateIsKept_data()
{
    QTest::addColumn<QVariant>("stored"); // null: none
    QTest::addColumn<QString>("shown");
    QTest::newRow("none, which is confirmed") << QVariant() << "Confirmed";
    QTest::newRow("one of the program's") << QVariant(QStringLiteral("No-show")) << "No-show";
    QTest::newRow("another tool's") << QVariant(QStringLiteral("Tentative")) << "Tentative";
}

// A booking saved without its state being touched keeps the state it had,
// whatever the box shows for it.
void TestBooking::untouchedStateIsKept()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    QVERIFY(test::execBehind(QStringLiteral("UPDATE Booking SET Status = ?"),
        { stored.isNull() ? QVariant(QMetaType::fromType<QString>()) : stored }));
    BM_VERIFY(m_hub->bookings->Refresh());
    FrmBooking *w = openEdit();
    QVERIFY(w);
    QCOMPARE(combo("cboStatus")->currentText(), shown);
    child<QLineEdit>("Text2")->setText(QStringLiteral("Renamed Customer"));
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    const QList<QVariantList> rows
        = test::rowsBehind(QStringLiteral("SELECT Status FROM Booking WHERE Name = 'Renamed Customer'"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0].isNull(), stored.isNull());
    QCOMPARE(rows[0][0].toString(), stored.toString());

    // Another booking shown in the window afterwards offers the program's
    // states alone.
    openNew();
    QCOMPARE(items(combo("cboStatus")), QStringList({ "Requested", "Confirmed", "Cancelled", "No-show" }));
}

// The new boxes follow every box there was, before the commands.
void TestBooking::stateFieldsAfterTheWrittenOnes()
{
    openNew();
    focus(child<QPlainTextEdit>("Text11"));
    QStringList order;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    // Party... waits until the new booking is saved.
    QCOMPARE(order, QStringList({ "cboStatus", "txtPartySize", "txtStartTime", "txtDays", "cmdOK" }));
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_window->grab().save(folder + "/booking.png");
}

void TestBooking::mailOnSave_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("stored"); // the status of the booking changed; empty: none
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("setUp");
    QTest::addColumn<QString>("answer"); // Yes, No; empty: no question
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("queued"); // the kind in the outbox afterwards; empty: none

    const QString ann = QStringLiteral("ann@example.com");
    const QString confirm = QStringLiteral("Send Ann Angler a confirmation of the trip by e-mail?");
    const QString cancel = QStringLiteral("Tell Ann Angler by e-mail that the trip is cancelled?");
    QTest::newRow("new confirmed, yes") << true << ""
                                        << "Confirmed" << ann << true << "Yes" << confirm << "Confirmed";
    QTest::newRow("new confirmed, no") << true << ""
                                       << "Confirmed" << ann << true << "No" << confirm << "";
    QTest::newRow("new confirmed, mail not set up") << true << ""
                                                    << "Confirmed" << ann << false << ""
                                                    << ""
                                                    << "";
    QTest::newRow("requested to confirmed, yes")
        << false << "Requested"
        << "Confirmed" << ann << true << "Yes" << confirm << "Confirmed";
    QTest::newRow("confirmed to cancelled, yes")
        << false << "Confirmed"
        << "Cancelled" << ann << true << "Yes" << cancel << "Cancelled";
    QTest::newRow("no status to cancelled, yes")
        << false << ""
        << "Cancelled" << ann << true << "Yes" << cancel << "Cancelled";
    QTest::newRow("confirmed, unchanged") << false << "Confirmed"
                                          << "Confirmed" << ann << true << ""
                                          << ""
                                          << "";
}

// A save that makes a booking Confirmed or Cancelled asks whether to tell
// the client; Yes writes the message with the booking, to the address
// typed, for the booking's key.
void TestBooking::mailOnSave()
{
    QFETCH(bool, adding);
    QFETCH(QString, stored);
    QFETCH(QString, chosen);
    QFETCH(QString, email);
    QFETCH(bool, setUp);
    QFETCH(QString, answer);
    QFETCH(QString, question);
    QFETCH(QString, queued);
    if (setUp)
        test::setUpMail();
    FrmBooking *w = nullptr;
    if (adding) {
        w = openNew();
    } else {
        QVERIFY(test::execBehind(QStringLiteral("UPDATE Booking SET Status = ?"),
            { stored.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(stored) }));
        BM_VERIFY(m_hub->bookings->Refresh());
        w = openEdit();
    }
    QVERIFY(w);
    child<QLineEdit>("Text2")->setText(QStringLiteral("Ann Angler"));
    child<QLineEdit>("Text8")->setText(email);
    combo("cboStatus")->setCurrentText(chosen);
    if (!answer.isEmpty())
        m_messages->expect(answer == QLatin1String("Yes") ? Answer::Yes : Answer::No);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!w->isVisible());

    QCOMPARE(m_messages->shown.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
        QCOMPARE(m_messages->last().text, question);
        QCOMPARE(m_messages->last().icon, Icon::Question);
        QCOMPARE(m_messages->last().caption,
            adding ? QStringLiteral("Add a new Booking") : QStringLiteral("Editing this Booking"));
    }
    const qint64 saved = adding
        ? test::rowsBehind(QStringLiteral("SELECT MAX(ID) FROM Booking")).value(0).value(0).toLongLong()
        : m_hub->bookings->bookmark().id;
    const QList<QVariantList> status
        = test::rowsBehind(QStringLiteral("SELECT Status FROM Booking WHERE ID = %1").arg(saved));
    QCOMPARE(status.value(0).value(0).toString(), chosen);
    const QList<db::outbox::Message> outbox = test::outboxMessages();
    QCOMPARE(outbox.size(), queued.isEmpty() ? 0 : 1);
    if (queued.isEmpty())
        return;
    QCOMPARE(outbox[0].kind, queued);
    QCOMPARE(outbox[0].booking, QString::number(saved));
    QCOMPARE(outbox[0].recipient, email);
    QCOMPARE(outbox[0].recipientName, QStringLiteral("Ann Angler"));
    QCOMPARE(outbox[0].state, QString::fromLatin1(mailState::queued));
}

void TestBooking::mailGoesOnlyWithTheSave_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("why");
    QTest::newRow("the outbox refuses the message") << true << "the disk is full";
    QTest::newRow("the booking was deleted meanwhile") << false << "deleted";
}

// A save that fails leaves no message, and one that fails for the message
// leaves no booking: the booking stays pending, and saved again the guide
// is asked again.
void TestBooking::mailGoesOnlyWithTheSave()
{
    QFETCH(bool, adding);
    QFETCH(QString, why);
    test::setUpMail();
    if (adding)
        QVERIFY(test::refuseWrites(QStringLiteral("refuse"), QStringLiteral("INSERT"),
            QStringLiteral("Outbox"), QStringLiteral("the disk is full")));
    else
        QVERIFY(test::execBehind(QStringLiteral("UPDATE Booking SET Status = 'Requested'")));
    BM_VERIFY(m_hub->bookings->Refresh());
    FrmBooking *w = adding ? openNew() : openEdit();
    QVERIFY(w);
    child<QLineEdit>("Text2")->setText(QStringLiteral("Ann Angler"));
    child<QLineEdit>("Text8")->setText(QStringLiteral("ann@example.com"));
    combo("cboStatus")->setCurrentText(QStringLiteral("Confirmed"));
    if (!adding)
        QVERIFY(test::execBehind(
            QStringLiteral("DELETE FROM Booking WHERE ID = ?"), { m_hub->bookings->bookmark().id }));
    const int before = bookingCount();
    m_messages->expect(Answer::Yes);
    m_messages->expect(Answer::Ok);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QCOMPARE(m_messages->shown.size(), 2);
    QCOMPARE(
        m_messages->shown[0].text, QStringLiteral("Send Ann Angler a confirmation of the trip by e-mail?"));
    QVERIFY2(m_messages->last().text.contains(why), qPrintable(m_messages->last().text));
    QVERIFY(w->isVisible());
    QCOMPARE(w->booking().editMode(), adding ? RecordSource::EditMode::Add : RecordSource::EditMode::Edit);
    QCOMPARE(bookingCount(), before);
    QCOMPARE(test::outboxMessages().size(), 0);
    if (!adding)
        return;

    // The outbox takes it again: asked again, both are written.
    QVERIFY(test::execBehind(test::onServer() ? QStringLiteral("DROP TRIGGER refuse ON \"Outbox\"")
                                              : QStringLiteral("DROP TRIGGER refuse")));
    m_messages->expect(Answer::Yes);
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    QCOMPARE(m_messages->shown.size(), 3);
    QVERIFY(!w->isVisible());
    QCOMPARE(bookingCount(), before + 1);
    const QList<db::outbox::Message> outbox = test::outboxMessages();
    QCOMPARE(outbox.size(), 1);
    QCOMPARE(outbox[0].kind, QStringLiteral("Confirmed"));
}

// A message the mail server refused shows on its booking until one of its
// kind has gone since; the line follows the outbox while the window is
// open, and the booking shown.
void TestBooking::refusedMailIsShown()
{
    const qint64 first = m_hub->bookings->bookmark().id;
    QVERIFY(test::layInMessage(first, QStringLiteral("Reminder"), QStringLiteral("Sent")));
    QVERIFY(test::layInMessage(first, QStringLiteral("Confirmed"), QStringLiteral("Failed"),
        QStringLiteral("550 5.1.1 No such user\r\n  at example.com")));
    FrmBooking *w = openEdit();
    QVERIFY(w);
    auto *line = child<QLabel>("lblMailRefused");
    QVERIFY(!line->isHidden());
    QCOMPARE(line->text(),
        QStringLiteral("Mail to the client was refused: 550 5.1.1 No such user at example.com"));

    w->startNew(day);
    QVERIFY(line->isHidden());
    QVERIFY(w->startEdit(Bookmark { first }));
    QVERIFY(!line->isHidden());

    QVERIFY(test::layInMessage(first, QStringLiteral("Confirmed"), QStringLiteral("Sent")));
    QVERIFY(line->isHidden());
}

BM_TEST_MAIN(TestBooking)
#include "test_booking.moc"
