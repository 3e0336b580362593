#include "bookings/frmaddtrip.h"
#include "bookings/frminvoice.h"
#include "checks.h"
#include "doubles.h"
#include "main/bookingspanel.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "reports/runner.h"
#include "testenv.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>

using namespace bm;

// The trip log entry and the invoice opened from the main window's bookings
// panel, on its current booking.
class TestInvoiceMain : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void addTripResultsOnTheCurrentBooking();
    void showInvoiceHidesTheMainWindow();
    void printShowsTheInvoiceOnScreen();

private:
    void choose(int row);
    void click(const char *name) { m_panel->findChild<QPushButton *>(name)->click(); }

    std::unique_ptr<test::ScriptedMessages> m_messages;
    QPointer<FrmMain> m_main;
    BookingsPanel *m_panel = nullptr;
    Bookmark m_second;
};

void TestInvoiceMain::init()
{
    test::resetDatabase();
    {
        RecordSource rs("adder", "Booking");
        BM_VERIFY(rs.AddNew());
        BM_VERIFY(rs.setValue("Date", QDate(2026, 7, 4)));
        BM_VERIFY(rs.setValue("Name", "Second Client"));
        BM_VERIFY(rs.setValue("Total Charge", "250"));
        QVERIFY(rs.Update());
        m_second = rs.LastModified();
    }
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_main = new FrmMain;
    m_main->show();
    m_main->toolbarClick("Bookings");
    m_panel = m_main->bookingsPanel();
    choose(1);
    QCOMPARE(m_main->hub().datBookings().bookmark(), m_second);
}

void TestInvoiceMain::cleanup()
{
    test::deleteWindows(m_main.data());
    delete m_main.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_messages.reset();
}

void TestInvoiceMain::choose(int row)
{
    auto *list = m_panel->findChild<QListView *>();
    list->setCurrentIndex(list->model()->index(row, 0));
}

void TestInvoiceMain::addTripResultsOnTheCurrentBooking()
{
    click("cmdAddtrip");
    auto *trip = qobject_cast<FrmAddtrip *>(platform::findWindow("frmAddtrip"));
    QVERIFY(trip && trip->isVisible());
    QCOMPARE(trip->booking()->bookmark(), m_second);
    QVERIFY(m_main->isVisible());

    qobject_cast<QComboBox *>(trip->boxFor("Wind Speed"))->setEditText("Windy");
    trip->findChild<QPushButton *>("cmdSave")->click();
    QVERIFY(!platform::findWindow("frmAddtrip"));
    // The panel re-read its bookings; chosen again, the booking shows the
    // result.
    QVERIFY(m_main->hub().datBookings().bookmark() != m_second);
    choose(1);
    QCOMPARE(m_panel->findChild<QLineEdit *>("txtWindspeed")->text(), QString("Windy"));
}

void TestInvoiceMain::showInvoiceHidesTheMainWindow()
{
    click("cmdInvoice");
    auto *invoice = qobject_cast<FrmInvoice *>(platform::findWindow("frmInvoice"));
    QVERIFY(invoice && invoice->isVisible());
    QCOMPARE(invoice->booking()->bookmark(), m_second);
    QVERIFY(!invoice->isEditMode());
    QVERIFY(!m_main->isVisible());

    invoice->findChild<QPushButton *>("cmdExit")->click();
    QVERIFY(!platform::findWindow("frmInvoice"));
    QVERIFY(m_main->isVisible());
    QCOMPARE(m_main->hub().datBookings().bookmark(), m_second);
}

void TestInvoiceMain::printShowsTheInvoiceOnScreen()
{
    test::RecordingReports reports;
    click("cmdInvoice");
    auto *invoice = qobject_cast<FrmInvoice *>(platform::findWindow("frmInvoice"));
    QVERIFY(invoice);
    invoice->findChild<QPushButton *>("cmdPrint")->click();
    QCOMPARE(reports.files.size(), 1);

    report::Request request;
    request.definitionPath = reports.files[0];
    request.selection = reports.selections[0];
    report::Rendered out;
    const Status s = report::render(request, out);
    QVERIFY2(s, qPrintable(s.message()));
    QVERIFY(out.html.contains("Second Client"));
    QVERIFY(!out.html.contains("Sample Customer"));
}

BM_TEST_MAIN(TestInvoiceMain)
#include "test_invoicemain.moc"
