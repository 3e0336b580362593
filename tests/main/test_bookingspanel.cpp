#include "bookingfixture.h"
#include "checks.h"
#include "outboxfixture.h"

#include "bookings/frmbooking.h"
#include "db/recordsource.h"
#include "main/bookingspanel.h"
#include "main/scheduleview.h"
#include "platform/windows.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace bm;
using platform::Answer;
using platform::Icon;

namespace
{

QStringList linesOf(const QListView *list)
{
    QStringList lines;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        lines << list->model()->index(row, 0).data().toString();
    return lines;
}

} // namespace

class TestBookingsPanel : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void listShowsEveryDateAndMovesTheBooking();
    void pagesShowTheCurrentBooking_data();
    void pagesShowTheCurrentBooking();
    void deleteBooking_data();
    void deleteBooking();
    void deleteAnsweredNo();
    void lastBookingCanNotBeDeleted();
    void email_data();
    void email();
    void editThisBooking();
    void printsTheFixedReport_data();
    void printsTheFixedReport();
    void refusedMailShowsUnderTheAddress();

private:
    void openPanel();
    template <class W> W *child(const QString &name)
    {
        W *w = m_panel->findChild<W *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QString shown(const QString &name) { return child<QLineEdit>(name)->text(); }
    void click(const char *name)
    {
        QTest::mouseClick(child<QPushButton>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<ScheduleView> m_schedule;
    std::unique_ptr<BookingsPanel> m_panel;
};

void TestBookingsPanel::init()
{
    m_hub.reset();
    test::resetDatabase();
    m_messages = std::make_unique<test::ScriptedMessages>();
}

void TestBookingsPanel::cleanup()
{
    if (QWidget *w = platform::findWindow(QStringLiteral("frmBooking")))
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_panel.reset();
    m_schedule.reset();
    m_hub.reset();
    m_messages.reset();
}

void TestBookingsPanel::openPanel()
{
    m_hub = std::make_unique<test::FakeHub>();
    m_schedule = std::make_unique<ScheduleView>(m_hub->datBookings(), nullptr);
    m_panel = std::make_unique<BookingsPanel>(m_hub->datBookings(), nullptr);
    m_panel->resize(980, 560);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
}

void TestBookingsPanel::listShowsEveryDateAndMovesTheBooking()
{
    test::layInBookings(
        { { "Ann Lee", "2005-05-14", "" }, { "Bob Smith", "", "" }, { "Carl Jones", "2006-01-03", "" } });
    openPanel();
    QCOMPARE(m_panel->objectName(), QStringLiteral("PicBookings"));
    QListView *list = m_panel->dateList();
    QCOMPARE(linesOf(list), QStringList({ "5/14/2005", "", "1/3/2006" }));
    QCOMPARE(list->currentIndex().row(), 0);
    QCOMPARE(m_panel->countLabel()->text(), QStringLiteral("3 Bookings are Saved"));

    QTest::mouseClick(
        list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
    QCOMPARE(m_hub->datBookings().text(QStringLiteral("Name")), QStringLiteral("Carl Jones"));
    QCOMPARE(shown(QStringLiteral("txtClient")), QStringLiteral("Carl Jones"));
    QCOMPARE(shown(QStringLiteral("txtTripdate")), QStringLiteral("1/3/2006"));

    // The booking with no date shows an empty date.
    QTest::mouseClick(
        list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    QCOMPARE(shown(QStringLiteral("txtCustomer")), QStringLiteral("Bob Smith"));
    QCOMPARE(shown(QStringLiteral("txtTripdate")), QString());

    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(shown(QStringLiteral("txtClient")), QStringLiteral("Ann Lee"));

    // Moved elsewhere, the list shows the current booking.
    BM_VERIFY(m_hub->datBookings().MoveLast());
    QCOMPARE(list->currentIndex().row(), 2);
}

void TestBookingsPanel::pagesShowTheCurrentBooking_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("expected");

    // The delivered booking, with each of its text fields holding its own
    // name: each box must show the field it stands for.
    const QList<std::tuple<int, const char *, const char *, const char *>> rows {
        { 0, "Client:", "txtClient", "Name" },
        { 0, "Trip Type:", "txtTriptype", "Type" },
        { 0, "Lake:", "txtLake", "Lake" },
        { 0, "Trip Date:", "txtTripdate", "6/6/2026" },
        { 0, "Weather:", "txtWeather", "Weather" },
        { 0, "Air Temp:", "txtAirtemp", "Air Temp" },
        { 0, "Wind Speed:", "txtWindspeed", "Wind Speed" },
        { 0, "Wind Dir:", "txtWinddir", "Wind Direction" },
        { 0, "Water Temp:", "txtWatertemp", "Water Temp" },
        { 0, "Water Color:", "txtWatercolor", "Water Color" },
        { 0, "Lake Area:", "txtLakearea", "Lake Area" },
        { 0, "Depth Fished:", "txtDepth", "Depth" },
        { 0, "Structure:", "txtStructure", "Structure" },
        { 0, "Species:", "txtSpecies", "Species" },
        { 0, "Big Fish:", "txtBigfish", "Big Fish" },
        { 0, "Weight:", "txtWeight", "Weight" },
        { 0, "Length:", "txtLength", "Length" },
        { 0, "Total Fish:", "txtTotalfish", "Total Fish" },
        { 0, "Lure Used:", "txtLure", "Lure" },
        { 0, "Lure Color:", "txtLurecolor", "Lure Color" },
        { 0, "Remarks:", "txtRemarks", "Remarks" },
        { 1, "Customer:", "txtCustomer", "Name" },
        { 1, "Address:", "txtAddress", "Address" },
        { 1, "Address:", "txtAddress2", "Address2" },
        { 1, "City:", "txtCity", "City" },
        { 1, "State:", "txtState", "State" },
        { 1, "Zip Code:", "txtZipcode", "ZipCode" },
        { 1, "Telephone:", "txtTelephone", "Telephone" },
        { 1, "Work Phone:", "txtWorkphone", "Work Phone" },
        { 1, "Cell Phone:", "txtCellphone", "Cell Phone" },
        { 1, "Email Address:", "txtEmail", "Email" },
        { 1, "Lodging:", "txtLodging", "Lodging" },
        { 1, "Meet at:", "txtMeetat", "Meet At" },
        { 1, "Notes:", "txtNotes", "Notes" },
        { 1, "Deposit Received:", "txtDepositreceived", "5/1/2026" },
        { 1, "Balance Due:", "txtBalancedue", "300.00" },
        { 1, "Deposit Amount:", "txtDepositamount", "100.00" },
        { 1, "Paid By:", "txtPaidby", "Paid By" },
        { 1, "Billing Notes:", "txtBillingnotes", "Billing Notes" },
    };
    for (const auto &[page, caption, control, expected] : rows)
        QTest::addRow("%s %s", caption, control) << page << caption << control << expected;
}

namespace
{

// The caption of the form row that holds the box.
QString captionOf(QWidget *page, QWidget *box)
{
    for (QFormLayout *form : page->findChildren<QFormLayout *>()) {
        for (int row = 0; row < form->rowCount(); ++row) {
            QLayoutItem *item = form->itemAt(row, QFormLayout::FieldRole);
            QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole);
            if (!item || !label || !label->widget())
                continue;
            bool holds = item->widget() == box;
            if (QLayout *inner = item->layout())
                holds = holds || inner->indexOf(box) >= 0;
            if (holds)
                return qobject_cast<QLabel *>(label->widget())->text();
        }
    }
    return {};
}

} // namespace

void TestBookingsPanel::pagesShowTheCurrentBooking()
{
    QFETCH(int, page);
    QFETCH(QString, caption);
    QFETCH(QString, control);
    QFETCH(QString, expected);
    {
        RecordSource r(QStringLiteral("fill"), QStringLiteral("Booking"));
        QVERIFY(r.Edit());
        for (const QString &f : r.fieldNames())
            if (r.kind(f) == FieldKind::Text)
                BM_VERIFY(r.setValue(f, f));
        QVERIFY(r.Update());
    }
    openPanel();
    auto *tabs = child<QTabWidget>(QStringLiteral("SSTab1"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Trip Information"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Customer Information"));
    QWidget *box = child<QWidget>(control);
    QVERIFY(tabs->widget(page)->isAncestorOf(box));
    QCOMPARE(captionOf(tabs->widget(page), box), caption);
    if (auto *edit = qobject_cast<QLineEdit *>(box)) {
        QCOMPARE(edit->text(), expected);
        QVERIFY(edit->isReadOnly()); // for display only
    } else {
        auto *notes = qobject_cast<QPlainTextEdit *>(box);
        QVERIFY(notes);
        QCOMPARE(notes->toPlainText(), expected);
        QVERIFY(notes->isReadOnly());
    }
}

void TestBookingsPanel::deleteBooking_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("first") << 0;
    QTest::newRow("in between") << 1;
    QTest::newRow("last in order") << 2;
}

void TestBookingsPanel::deleteBooking()
{
    QFETCH(int, which);
    test::layInBookings({ { "Ann Lee", "2005-05-14", "" }, { "Bob Smith", "2005-12-30", "" },
        { "Carl Jones", "2006-01-03", "" } });
    openPanel();
    RecordSource &source = m_hub->datBookings();
    for (int i = 0; i < which; ++i)
        BM_VERIFY(source.MoveNext());
    const QString name = source.text(QStringLiteral("Name"));
    const QString date = shown(QStringLiteral("txtTripdate"));
    m_messages->expect(Answer::Yes);
    click("cmdDeletebooking");

    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text,
        QStringLiteral("Are you sure you want to delete this Booking for ") + date + QStringLiteral("?"));
    QCOMPARE(m_messages->last().caption, QStringLiteral("Delete Information"));
    QCOMPARE(m_messages->last().icon, Icon::Question);
    QCOMPARE(m_messages->last().buttons, platform::Buttons::YesNo);
    QCOMPARE(test::storedBookings(), 2);
    // Re-read: the first remaining booking, the deleted one gone everywhere.
    QCOMPARE(shown(QStringLiteral("txtClient")),
        which == 0 ? QStringLiteral("Bob Smith") : QStringLiteral("Ann Lee"));
    QCOMPARE(m_panel->dateList()->model()->rowCount(), 2);
    QVERIFY(!linesOf(m_panel->dateList()).contains(date));
    QCOMPARE(m_schedule->grid()->model()->rowCount(), 2);
    QCOMPARE(m_panel->countLabel()->text(), QStringLiteral("2 Bookings are Saved"));
    QCOMPARE(m_schedule->countLabel()->text(), QStringLiteral("2 Trips are Scheduled"));
    QCOMPARE(m_panel->dateList()->currentIndex().row(), 0);
    BM_VERIFY(source.MoveFirst());
    while (!source.isEOF()) {
        QVERIFY(source.text(QStringLiteral("Name")) != name);
        BM_VERIFY(source.MoveNext());
    }
}

void TestBookingsPanel::deleteAnsweredNo()
{
    test::layInBookings({ { "Ann Lee", "2005-05-14", "" }, { "Bob Smith", "", "" } });
    openPanel();
    BM_VERIFY(m_hub->datBookings().MoveLast());
    m_messages->expect(Answer::No);
    click("cmdDeletebooking");
    // A booking with no date is asked about with an empty date.
    QCOMPARE(m_messages->last().text, QStringLiteral("Are you sure you want to delete this Booking for ?"));
    QCOMPARE(test::storedBookings(), 2);
    QCOMPARE(shown(QStringLiteral("txtClient")), QStringLiteral("Bob Smith"));
    QCOMPARE(m_panel->countLabel()->text(), QStringLiteral("2 Bookings are Saved"));
}

void TestBookingsPanel::lastBookingCanNotBeDeleted()
{
    openPanel(); // the delivered database holds one booking
    m_messages->expect(Answer::Ok);
    click("cmdDeletebooking");
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text,
        QStringLiteral("This Booking can not be deleted.\nYou can edit this Booking.\n"
                       "At least one record has to be present at all times."));
    QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    QCOMPARE(m_messages->last().caption, QStringLiteral("Brindlemoor"));
    QCOMPARE(test::storedBookings(), 1);
}

void TestBookingsPanel::email_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("canOpen");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("caption");

    QTest::newRow("sent") << "ann@example.com" << true << QString() << QString();
    QTest::newRow("no address") << "" << true << "There is no email address for Ann Lee."
                                << "Brindlemoor";
    QTest::newRow("no mail program") << "ann@example.com" << false
                                     << "Can't find Email program.\nThis command may not work if you are not "
                                        "using MS Outlook."
                                     << "Email Program not found";
}

void TestBookingsPanel::email()
{
    QFETCH(QString, address);
    QFETCH(bool, canOpen);
    QFETCH(QString, message);
    QFETCH(QString, caption);
    test::layInBookings({ { "Ann Lee", "2005-05-14", "" } });
    QVERIFY(test::execBehind(QStringLiteral("UPDATE Booking SET Email = ?"), { address }));
    test::FakeShell shell;
    shell.canOpen = canOpen;
    openPanel();
    if (!message.isEmpty())
        m_messages->expect(Answer::Ok);
    click("cmdEmailcust");
    if (address.isEmpty()) {
        QVERIFY(shell.urls.isEmpty());
    } else {
        QCOMPARE(shell.urls.size(), 1);
        QCOMPARE(shell.urls.first().scheme(), QStringLiteral("mailto"));
        QCOMPARE(shell.urls.first().path(), address);
    }
    if (message.isEmpty()) {
        QVERIFY(m_messages->shown.isEmpty());
    } else {
        QCOMPARE(m_messages->shown.size(), 1);
        QCOMPARE(m_messages->last().text, message);
        QCOMPARE(m_messages->last().caption, caption);
        QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    }
    QCOMPARE(child<QPushButton>(QStringLiteral("cmdEmailcust"))->toolTip(),
        QStringLiteral("Send Email to Customer"));
}

void TestBookingsPanel::editThisBooking()
{
    test::layInBookings({ { "Ann Lee", "2005-05-14", "" }, { "Bob Smith", "2005-12-30", "" } });
    openPanel();
    BM_VERIFY(m_hub->datBookings().MoveLast());
    click("cmdEditbooking");
    auto *entry = qobject_cast<FrmBooking *>(platform::findWindow(QStringLiteral("frmBooking")));
    QVERIFY(entry);
    QCOMPARE(entry->windowTitle(), QStringLiteral("Editing this Booking"));
    QCOMPARE(entry->booking().editMode(), RecordSource::EditMode::Edit);
    QCOMPARE(entry->booking().bookmark(), m_hub->datBookings().bookmark());
    QCOMPARE(entry->findChild<QLineEdit *>(QStringLiteral("Text2"))->text(), QStringLiteral("Bob Smith"));
}

void TestBookingsPanel::printsTheFixedReport_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("report");
    QTest::addColumn<bool>("forTheBooking"); // handed the current booking, else none
    QTest::newRow("Print Booking") << "cmdPrintbooking"
                                   << "/trip.rpt" << false;
    QTest::newRow("Print Schedule") << "cmdPrintsched"
                                    << "/schedule.rpt" << false;
    QTest::newRow("Manifest") << "cmdManifest"
                              << "/manifest.rpt" << true;
}

void TestBookingsPanel::printsTheFixedReport()
{
    QFETCH(QString, command);
    QFETCH(QString, report);
    QFETCH(bool, forTheBooking);
    test::layInBookings({ { "Ann Lee", "2005-05-14", "" }, { "Bob Smith", "2005-12-30", "" } });
    openPanel();
    test::RecordingReports reports;
    // Whatever booking is current, a report of every trip is handed no
    // selection; the manifest is the current trip's.
    BM_VERIFY(m_hub->datBookings().MoveLast());
    QPushButton *button = m_panel->findChild<QPushButton *>(command);
    if (!button)
        button = m_schedule->findChild<QPushButton *>(command);
    QVERIFY(button);
    button->click();
    QCOMPARE(reports.files.size(), 1);
    QVERIFY2(reports.files[0].endsWith(report), qPrintable(reports.files[0]));
    QCOMPARE(reports.selections[0], forTheBooking ? m_hub->datBookings().bookmark() : Bookmark {});
    QVERIFY(!forTheBooking || reports.selections[0].isValid());
    QVERIFY(m_messages->shown.isEmpty());
}

// The line under the address follows the booking shown and the outbox.
void TestBookingsPanel::refusedMailShowsUnderTheAddress()
{
    test::layInBookings({ { "Ann Lee", "2005-05-14", "" }, { "Bob Smith", "2005-06-01", "" } });
    const qint64 ann = test::rowsBehind(QStringLiteral("SELECT ID FROM Booking WHERE Name = 'Ann Lee'"))
                           .value(0)
                           .value(0)
                           .toLongLong();
    QVERIFY(test::layInMessage(
        ann, QStringLiteral("Reminder"), QStringLiteral("Failed"), QStringLiteral("552 Mailbox full")));
    openPanel();
    auto *line = child<QLabel>(QStringLiteral("lblMailRefused"));
    QCOMPARE(m_hub->bookings->bookmark().id, ann);
    QVERIFY(!line->isHidden());
    QCOMPARE(line->text(), QStringLiteral("Mail to the client was refused: 552 Mailbox full"));

    BM_VERIFY(m_hub->bookings->MoveNext());
    QVERIFY(line->isHidden());
    BM_VERIFY(m_hub->bookings->MovePrevious());
    QVERIFY(!line->isHidden());

    QVERIFY(test::layInMessage(ann, QStringLiteral("Reminder"), QStringLiteral("Sent")));
    QVERIFY(line->isHidden());
}

BM_TEST_MAIN(TestBookingsPanel)
#include "test_bookingspanel.moc"
