#include "doubles.h"
#include "serverdb.h"
#include "testenv.h"

#include "bookings/frmbooking.h"
#include "bookings/frminvoice.h"
#include "core/apppaths.h"
#include "core/money.h"
#include "db/database.h"
#include "db/recordsource.h"
#include "main/bookingspanel.h"
#include "main/frmmain.h"
#include "main/scheduleview.h"
#include "platform/mainhub.h"
#include "platform/windows.h"
#include "reminders/frmaddreminder.h"
#include "reminders/frmreminder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>

#include <atomic>
#include <memory>
#include <thread>

using namespace bm;

// A desk whose guide opens, changes, saves and closes windows again and
// again while another desk saves to the same shared database all the while:
// the other desk's saves are heard, and followed, as windows close and as
// the main window goes. Run under a sanitizer (bench/sanitized-desk.sh) it
// also finds what outlives its window.
class TestBusyDesk : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void flowsWhileAnotherDeskSaves_data();
    void flowsWhileAnotherDeskSaves();

private:
    void openMain();
    void closeMain();
    void invoiceRound(int round);
    void bookingRound(int round);
    void reminderRound(int round);
    void startOtherDesk();
    void stopOtherDesk();
    QPushButton *panelButton(const char *name) const;

    QString m_uri;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<test::FakeClock> m_clock;
    QPointer<FrmMain> m_main;
    Bookmark m_worked; // the booking this desk works on
    std::thread m_otherDesk;
    std::atomic<bool> m_stop { false };
    std::atomic<int> m_otherSaves { 0 };
    std::atomic<int> m_otherFailures { 0 };
};

void TestBusyDesk::init()
{
    BM_REQUIRE_SERVER();
    m_uri = test::freshServerDatabase(QStringLiteral("busydesk"));
    QVERIFY(!m_uri.isEmpty());
    setDatabaseLocation(m_uri);
    QVERIFY(db::check(m_uri));
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_clock = std::make_unique<test::FakeClock>(QDate(2026, 6, 1));
    // The booking worked on comes first in every list: the other desk's
    // bookings are later.
    RecordSource rs(QStringLiteral("adder"), QStringLiteral("Booking"));
    QVERIFY(rs.AddNew());
    QVERIFY(rs.setValue(QStringLiteral("Date"), QDate(2026, 1, 5)));
    QVERIFY(rs.setValue(QStringLiteral("Name"), QStringLiteral("Worked Client")));
    QVERIFY(rs.setValue(QStringLiteral("Total Charge"), QStringLiteral("250")));
    QVERIFY(rs.Update());
    m_worked = rs.LastModified();
}

void TestBusyDesk::cleanup()
{
    stopOtherDesk();
    test::deleteWindows();
    QCOMPARE(m_messages ? m_messages->pending() : 0, 0);
    m_messages.reset();
    m_clock.reset();
    db::closeAll();
    setDatabaseLocation(QString());
    if (!m_uri.isEmpty())
        QVERIFY(test::dropServerDatabase(m_uri));
    m_uri.clear();
}

// The other desk, a connection of its own on a thread of its own: a booking
// and a reminder added and deleted again and again, and a booking of its
// own changed, so that every write is heard here and the tables stay small.
void TestBusyDesk::startOtherDesk()
{
    m_stop = false;
    m_otherSaves = 0;
    m_otherFailures = 0;
    m_otherDesk = std::thread([this, uri = m_uri] {
        test::ServerConnection other(uri);
        if (!other.status()) {
            ++m_otherFailures;
            return;
        }
        const QStringList statements {
            QStringLiteral(
                "INSERT INTO \"Booking\" (\"Date\", \"Name\") VALUES ('2026-08-01', 'Other Desk')"),
            QStringLiteral(
                "INSERT INTO \"Reminder\" (\"Date\", \"Reminder\") VALUES ('2026-08-01', 'Other')"),
            QStringLiteral(
                "UPDATE \"Booking\" SET \"Notes\" = 'changed elsewhere' WHERE \"Name\" = 'Other Desk'"),
            QStringLiteral("DELETE FROM \"Booking\" WHERE \"Name\" = 'Other Desk'"),
            QStringLiteral("DELETE FROM \"Reminder\" WHERE \"Reminder\" = 'Other'"),
        };
        for (int i = 0; !m_stop; ++i) {
            QSqlQuery q(other.database());
            if (q.exec(statements[i % statements.size()]))
                ++m_otherSaves;
            else
                ++m_otherFailures;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

void TestBusyDesk::stopOtherDesk()
{
    m_stop = true;
    if (m_otherDesk.joinable())
        m_otherDesk.join();
}

void TestBusyDesk::openMain()
{
    m_main = new FrmMain;
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main));
}

// File > Exit, as the guide ends the day: no backup. The main window is
// deleted once closed, with whatever the other desk says meanwhile.
void TestBusyDesk::closeMain()
{
    QVERIFY(m_main);
    m_messages->expect(platform::Answer::No);
    m_main->toolbarClick(QStringLiteral("Exit"));
    QTRY_VERIFY_WITH_TIMEOUT(m_main.isNull(), 2000);
    QVERIFY(!platform::mainHub());
}

QPushButton *TestBusyDesk::panelButton(const char *name) const
{
    return m_main->bookingsPanel()->findChild<QPushButton *>(QLatin1String(name));
}

// Show Invoice on the booking, its totals changed and saved, Exit.
void TestBusyDesk::invoiceRound(int round)
{
    m_main->toolbarClick(QStringLiteral("Bookings"));
    QVERIFY(m_main->hub().datBookings().setBookmark(m_worked));
    panelButton("cmdInvoice")->click();
    QPointer<FrmInvoice> invoice = platform::findWindow<FrmInvoice>();
    QVERIFY(invoice && invoice->isVisible());
    QCOMPARE(invoice->booking()->bookmark(), m_worked);
    invoice->findChild<QPushButton *>(QStringLiteral("cmdEdit"))->click();
    const int quantity = round % 5 + 1;
    invoice->findChild<QComboBox *>(QStringLiteral("Combo1"))->setEditText(QString::number(quantity));
    invoice->findChild<QLineEdit *>(QStringLiteral("Text9"))->setText(QStringLiteral("100"));
    invoice->findChild<QLineEdit *>(QStringLiteral("Text17"))->setText(QStringLiteral("0"));
    m_messages->expect();
    invoice->findChild<QPushButton *>(QStringLiteral("cmdSave"))->click();
    QCOMPARE(m_messages->last().text, QStringLiteral("Changes have been Saved."));
    invoice->findChild<QPushButton *>(QStringLiteral("cmdExit"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(invoice.isNull(), 2000);
    QVERIFY(m_main->isVisible());
    RecordSource stored(QStringLiteral("reader"), QStringLiteral("Booking"));
    QVERIFY(stored.setBookmark(m_worked));
    QCOMPARE(stored.value(QStringLiteral("GS Total")).value<Money>().format(),
        Money::fromUnits(quantity * 100 * Money::scale).format());
}

// Edit this Booking, the client renamed, Save (which closes it).
void TestBusyDesk::bookingRound(int round)
{
    m_main->toolbarClick(QStringLiteral("Bookings"));
    QVERIFY(m_main->hub().datBookings().setBookmark(m_worked));
    panelButton("cmdEditbooking")->click();
    QPointer<FrmBooking> booking = platform::findWindow<FrmBooking>();
    QVERIFY(booking && booking->isVisible());
    const QString name = QStringLiteral("Worked Client %1").arg(round);
    booking->findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(name);
    booking->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(booking.isNull(), 2000);
    RecordSource stored(QStringLiteral("reader"), QStringLiteral("Booking"));
    QVERIFY(stored.setBookmark(m_worked));
    QCOMPARE(stored.text(QStringLiteral("Name")), name);
}

// Reminders, New, a reminder added and saved, Close both.
void TestBusyDesk::reminderRound(int round)
{
    m_main->toolbarClick(QStringLiteral("Reminders"));
    QPointer<FrmReminder> list = platform::findWindow<FrmReminder>();
    QVERIFY(list && list->isVisible());
    list->findChild<QPushButton *>(QStringLiteral("cmdNew"))->click();
    QPointer<FrmAddreminder> editor = platform::findWindow<FrmAddreminder>();
    QVERIFY(editor && editor->isVisible());
    editor->findChild<QPushButton *>(QStringLiteral("cmdAdd"))->click();
    const QString text = QStringLiteral("Busy desk %1").arg(round);
    editor->findChild<QPlainTextEdit *>(QStringLiteral("Text1"))->setPlainText(text);
    m_messages->expect();
    editor->findChild<QPushButton *>(QStringLiteral("cmdSave"))->click();
    editor->findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
    list->findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(editor.isNull() && list.isNull(), 2000);
    QSqlQuery stored(db::connection(m_uri));
    QVERIFY(
        stored.exec(QStringLiteral("SELECT count(*) FROM \"Reminder\" WHERE \"Reminder\" = '%1'").arg(text)));
    QVERIFY(stored.next());
    QCOMPARE(stored.value(0).toInt(), 1);
}

void TestBusyDesk::flowsWhileAnotherDeskSaves_data()
{
    QTest::addColumn<QString>("flow");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("perMainWindow"); // rounds before the main window goes
    QTest::newRow("invoice") << "invoice" << 12 << 3;
    QTest::newRow("booking") << "booking" << 12 << 3;
    QTest::newRow("reminder") << "reminder" << 12 << 3;
}

void TestBusyDesk::flowsWhileAnotherDeskSaves()
{
    QFETCH(QString, flow);
    QFETCH(int, rounds);
    QFETCH(int, perMainWindow);
    startOtherDesk();
    for (int round = 0; round < rounds; ++round) {
        if (!m_main)
            openMain();
        if (flow == QLatin1String("invoice"))
            invoiceRound(round);
        else if (flow == QLatin1String("booking"))
            bookingRound(round);
        else
            reminderRound(round);
        if (QTest::currentTestFailed())
            return;
        // What the other desk said meanwhile arrives as the windows go.
        QTest::qWait(15);
        if ((round + 1) % perMainWindow == 0)
            closeMain();
        if (QTest::currentTestFailed())
            return;
    }
    // The last of the other desk's saves shows here as well.
    if (!m_main)
        openMain();
    stopOtherDesk();
    QCOMPARE(m_otherFailures.load(), 0);
    QVERIFY(m_otherSaves > rounds);
    QSqlQuery count(db::connection(m_uri));
    QVERIFY(count.exec(QStringLiteral("SELECT count(*) FROM \"Booking\"")) && count.next());
    QTRY_COMPARE_WITH_TIMEOUT(
        m_main->scheduleView()->grid()->model()->rowCount(), count.value(0).toInt(), 2000);
}

BM_TEST_MAIN(TestBusyDesk)
#include "test_busydesk.moc"
