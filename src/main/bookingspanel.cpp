#include "main/bookingspanel.h"

#include "bookings/bookingwindows.h"
#include "bookings/invoicewindows.h"
#include "db/changes.h"
#include "db/recordsource.h"
#include "domain/bookingmail.h"
#include "domain/schedulemodel.h"
#include "main/emailcommand.h"
#include "main/viewparts.h"
#include "platform/failures.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/binder.h"
#include "recordform/commandbutton.h"
#include "recordform/recordform.h"
#include "records/frmpicture.h"
#include "schema/fields.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>

namespace bm
{

namespace
{

QLabel *subheading(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

BookingsPanel::BookingsPanel(RecordSource &datBookings, QWidget *parent)
    : QWidget(parent)
    , m_source(datBookings)
    , m_binder(new FieldBinder(&datBookings, this))
    , m_dates(new ScheduleModel({ field::Booking::Date }, this))
    , m_list(new QListView(this))
    , m_count(new QLabel(this))
    , m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("PicBookings"));
    m_count->setObjectName(QStringLiteral("lblBookingcount"));
    m_list->setObjectName(QStringLiteral("lstBookings"));
    m_list->setModel(m_dates);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFixedWidth(m_list->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 40);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->addTab(tripPage(), QStringLiteral("Trip Information"));
    m_tabs->addTab(customerPage(), QStringLiteral("Customer Information"));
    m_binder->setLocked(true); // for display

    auto *list = new QVBoxLayout;
    list->addWidget(new QLabel(QStringLiteral("Select a Date"), this));
    list->addWidget(m_list, 1);
    list->addWidget(m_count);

    // The booking commands, in order.
    struct Command {
        const char *name;
        const char *caption;
        const char *tooltip;
        void (BookingsPanel::*run)();
    };
    static const Command table[] = {
        { "cmdEditbooking", "&Edit this Booking", nullptr, &BookingsPanel::editBooking },
        { "cmdDeletebooking", "&Delete this Booking", nullptr, &BookingsPanel::deleteBooking },
        { "cmdAddtrip", "&Add Trip Results", nullptr, &BookingsPanel::addTripResults },
        { "cmdInvoice", "&Show Invoice", nullptr, &BookingsPanel::showInvoice },
        { "cmdPrintbooking", "&Print Booking", nullptr, &BookingsPanel::printBooking },
        { "cmdPictures", "&View Pictures", "View Picture from trip", &BookingsPanel::viewPictures },
        { "cmdManifest", "Ma&nifest...", "Print who is aboard this trip", &BookingsPanel::printManifest },
    };
    auto *commands = new QHBoxLayout;
    for (const Command &c : table) {
        QPushButton *b = commandButton(c.name, QString::fromLatin1(c.caption), this);
        if (c.tooltip)
            b->setToolTip(QString::fromLatin1(c.tooltip));
        connect(b, &QPushButton::clicked, this, c.run);
        commands->addWidget(b);
    }
    commands->addStretch(1);

    auto *details = new QVBoxLayout;
    details->addWidget(m_tabs, 1);
    details->addLayout(commands);
    auto *body = new QHBoxLayout;
    body->addLayout(list);
    body->addLayout(details, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view::makeHeading(QStringLiteral("Bookings"), this));
    layout->addLayout(body, 1);

    // A click, or the arrow keys, on a date makes that booking the current one.
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &i) { dateChosen(i.row()); });
    connect(&m_source, &RecordSource::refreshed, this, &BookingsPanel::reread);
    connect(&m_source, &RecordSource::currentChanged, this, &BookingsPanel::showCurrent);
    connect(&m_source, &RecordSource::currentChanged, this, &BookingsPanel::showMailRefused);
    connect(&m_source, &RecordSource::refreshed, this, &BookingsPanel::showMailRefused);
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &location, const QString &table) {
            if (location == m_source.location() && table == QLatin1String(table::Outbox))
                showMailRefused();
        });
    // The list of dates says an outage once (logged by the model); it keeps
    // the dates it showed.
    connect(m_dates, &ScheduleModel::readFailed, this,
        [this](const QString &message) { platform::warn(message, this); });
    // The panel has no modes; it follows the record form's delete rule and
    // its messages, with a question that names the trip date. After the
    // deletion the bookings are read again: the first booking is current.
    FormDeclaration d;
    d.source = &m_source;
    d.texts = FormTexts::forItem(QStringLiteral("Booking"));
    d.deleteQuestionText = [this] {
        return QStringLiteral("Are you sure you want to delete this Booking for ") + m_tripDate->text()
            + QStringLiteral("?");
    };
    d.deleted = [this] { platform::logFailure(m_source.Refresh()); };
    m_form = new RecordForm(std::move(d), this);

    rewriteCount();
    showCurrent();
    showMailRefused();
}

QLineEdit *BookingsPanel::fieldBox(QWidget *page, const QString &name, const QString &fieldName)
{
    auto *box = new QLineEdit(page);
    box->setObjectName(name);
    m_binder->bind(box, fieldName);
    return box;
}

QWidget *BookingsPanel::tripPage()
{
    auto *page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("tabTrip"));
    auto *left = new QFormLayout;
    m_tripDate = fieldBox(page, QStringLiteral("txtTripdate"), field::Booking::Date);
    left->addRow(
        QStringLiteral("Client:"), fieldBox(page, QStringLiteral("txtClient"), field::Booking::Name));
    left->addRow(
        QStringLiteral("Trip Type:"), fieldBox(page, QStringLiteral("txtTriptype"), field::Booking::Type));
    left->addRow(QStringLiteral("Lake:"), fieldBox(page, QStringLiteral("txtLake"), field::Booking::Lake));
    left->addRow(QStringLiteral("Trip Date:"), m_tripDate);
    left->addRow(
        QStringLiteral("Weather:"), fieldBox(page, QStringLiteral("txtWeather"), field::Booking::Weather));
    left->addRow(
        QStringLiteral("Air Temp:"), fieldBox(page, QStringLiteral("txtAirtemp"), field::Booking::AirTemp));
    left->addRow(QStringLiteral("Wind Speed:"),
        fieldBox(page, QStringLiteral("txtWindspeed"), field::Booking::WindSpeed));
    left->addRow(QStringLiteral("Wind Dir:"),
        fieldBox(page, QStringLiteral("txtWinddir"), field::Booking::WindDirection));
    left->addRow(QStringLiteral("Water Temp:"),
        fieldBox(page, QStringLiteral("txtWatertemp"), field::Booking::WaterTemp));
    left->addRow(QStringLiteral("Water Color:"),
        fieldBox(page, QStringLiteral("txtWatercolor"), field::Booking::WaterColor));
    left->addRow(QStringLiteral("Lake Area:"),
        fieldBox(page, QStringLiteral("txtLakearea"), field::Booking::LakeArea));
    left->addRow(
        QStringLiteral("Depth Fished:"), fieldBox(page, QStringLiteral("txtDepth"), field::Booking::Depth));

    auto *right = new QFormLayout;
    right->addRow(subheading(QStringLiteral("Trip Results"), page));
    right->addRow(QStringLiteral("Structure:"),
        fieldBox(page, QStringLiteral("txtStructure"), field::Booking::Structure));
    right->addRow(
        QStringLiteral("Species:"), fieldBox(page, QStringLiteral("txtSpecies"), field::Booking::Species));
    right->addRow(
        QStringLiteral("Big Fish:"), fieldBox(page, QStringLiteral("txtBigfish"), field::Booking::BigFish));
    right->addRow(
        QStringLiteral("Weight:"), fieldBox(page, QStringLiteral("txtWeight"), field::Booking::Weight));
    right->addRow(
        QStringLiteral("Length:"), fieldBox(page, QStringLiteral("txtLength"), field::Booking::Length));
    right->addRow(QStringLiteral("Total Fish:"),
        fieldBox(page, QStringLiteral("txtTotalfish"), field::Booking::TotalFish));
    right->addRow(
        QStringLiteral("Lure Used:"), fieldBox(page, QStringLiteral("txtLure"), field::Booking::Lure));
    right->addRow(QStringLiteral("Lure Color:"),
        fieldBox(page, QStringLiteral("txtLurecolor"), field::Booking::LureColor));
    auto *remarks = new QPlainTextEdit(page);
    remarks->setObjectName(QStringLiteral("txtRemarks"));
    remarks->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    remarks->setTabChangesFocus(true);
    m_binder->bind(remarks, field::Booking::Remarks);
    right->addRow(QStringLiteral("Remarks:"), remarks);

    auto *layout = new QHBoxLayout(page);
    layout->addLayout(left, 1);
    layout->addSpacing(12);
    layout->addLayout(right, 1);
    return page;
}

QWidget *BookingsPanel::customerPage()
{
    auto *page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("tabCustomer"));
    auto *left = new QFormLayout;
    m_customer = fieldBox(page, QStringLiteral("txtCustomer"), field::Booking::Name);
    m_email = fieldBox(page, QStringLiteral("txtEmail"), field::Booking::Email);
    auto *emailButton = commandButton("cmdEmailcust", QStringLiteral("E&mail"), page);
    emailButton->setToolTip(QStringLiteral("Send Email to Customer"));
    connect(emailButton, &QPushButton::clicked, this, &BookingsPanel::emailCustomer);
    auto *email = new QHBoxLayout;
    email->addWidget(m_email, 1);
    email->addWidget(emailButton);
    auto *notes = new QPlainTextEdit(page);
    notes->setObjectName(QStringLiteral("txtNotes"));
    notes->setTabChangesFocus(true);
    m_binder->bind(notes, field::Booking::Notes);
    left->addRow(QStringLiteral("Customer:"), m_customer);
    left->addRow(
        QStringLiteral("Address:"), fieldBox(page, QStringLiteral("txtAddress"), field::Booking::Address));
    left->addRow(
        QStringLiteral("Address:"), fieldBox(page, QStringLiteral("txtAddress2"), field::Booking::Address2));
    left->addRow(QStringLiteral("City:"), fieldBox(page, QStringLiteral("txtCity"), field::Booking::City));
    left->addRow(QStringLiteral("State:"), fieldBox(page, QStringLiteral("txtState"), field::Booking::State));
    left->addRow(
        QStringLiteral("Zip Code:"), fieldBox(page, QStringLiteral("txtZipcode"), field::Booking::ZipCode));
    left->addRow(QStringLiteral("Telephone:"),
        fieldBox(page, QStringLiteral("txtTelephone"), field::Booking::Telephone));
    left->addRow(QStringLiteral("Work Phone:"),
        fieldBox(page, QStringLiteral("txtWorkphone"), field::Booking::WorkPhone));
    left->addRow(QStringLiteral("Cell Phone:"),
        fieldBox(page, QStringLiteral("txtCellphone"), field::Booking::CellPhone));
    left->addRow(QStringLiteral("Email Address:"), email);
    m_mailRefused = new QLabel(page);
    m_mailRefused->setObjectName(QStringLiteral("lblMailRefused"));
    m_mailRefused->setWordWrap(true);
    m_mailRefused->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_mailRefused->setStyleSheet(QStringLiteral("QLabel { color: #c00000; }"));
    m_mailRefused->hide();
    left->addRow(m_mailRefused);
    left->addRow(
        QStringLiteral("Lodging:"), fieldBox(page, QStringLiteral("txtLodging"), field::Booking::Lodging));
    left->addRow(
        QStringLiteral("Meet at:"), fieldBox(page, QStringLiteral("txtMeetat"), field::Booking::MeetAt));
    left->addRow(QStringLiteral("Notes:"), notes);

    auto *right = new QFormLayout;
    right->addRow(subheading(QStringLiteral("Payment Details"), page));
    right->addRow(QStringLiteral("Deposit Received:"),
        fieldBox(page, QStringLiteral("txtDepositreceived"), field::Booking::DepositReceived));
    right->addRow(QStringLiteral("Balance Due:"),
        fieldBox(page, QStringLiteral("txtBalancedue"), field::Booking::BalanceDue));
    right->addRow(QStringLiteral("Deposit Amount:"),
        fieldBox(page, QStringLiteral("txtDepositamount"), field::Booking::DepositAmount));
    right->addRow(
        QStringLiteral("Paid By:"), fieldBox(page, QStringLiteral("txtPaidby"), field::Booking::PaidBy));
    auto *billing = new QPlainTextEdit(page);
    billing->setObjectName(QStringLiteral("txtBillingnotes"));
    billing->setTabChangesFocus(true);
    m_binder->bind(billing, field::Booking::BillingNotes);
    right->addRow(QStringLiteral("Billing Notes:"), billing);

    auto *layout = new QHBoxLayout(page);
    layout->addLayout(left, 1);
    layout->addSpacing(12);
    layout->addLayout(right, 1);
    return page;
}

void BookingsPanel::rewriteCount()
{
    m_count->setText(view::countText(m_source, QStringLiteral(" Bookings are Saved")));
}

void BookingsPanel::reread()
{
    m_dates->reload();
    rewriteCount();
    showCurrent();
    showMailRefused();
}

void BookingsPanel::showCurrent()
{
    const int row = m_dates->rowOf(m_source.bookmark());
    if (row < 0 || m_list->currentIndex().row() == row)
        return;
    m_list->setCurrentIndex(m_dates->index(row, 0));
}

void BookingsPanel::showMailRefused()
{
    std::optional<QString> line;
    if (m_source.bookmark().isValid()
        && !bookingmail::readRefusal(m_source.location(), m_source.bookmark().id, line))
        line.reset(); // logged; the line waits for the next change
    m_mailRefused->setText(line.value_or(QString()));
    m_mailRefused->setVisible(line.has_value());
}

void BookingsPanel::dateChosen(int row)
{
    const Bookmark chosen = m_dates->bookmarkAt(row);
    if (chosen.isValid() && chosen != m_source.bookmark())
        platform::reportFailure(m_source.setBookmark(chosen), this);
}

// The booking entry window on the current booking.
void BookingsPanel::editBooking()
{
    openEditBooking(m_source.bookmark());
}

// The current booking deleted as the form's Delete command does it.
void BookingsPanel::deleteBooking()
{
    m_form->deleteRecord();
}

// The trip report's print preview.
void BookingsPanel::printBooking()
{
    platform::printReport(QStringLiteral("trip.rpt"));
}

// The passenger manifest of the current booking: who is aboard, where and
// when the trip leaves.
void BookingsPanel::printManifest()
{
    platform::printReport(QStringLiteral("manifest.rpt"), m_source.bookmark());
}

// The customer's address handed to the system's e-mail program.
void BookingsPanel::emailCustomer()
{
    view::emailTo(m_email->text(), m_customer->text(), this);
}

// The trip log entry on the current booking (its Data1 bookmark, then Edit).
void BookingsPanel::addTripResults()
{
    openTripLog(m_source.bookmark());
}

// The invoice on the current booking (its Data2 bookmark); the main window
// hides behind it.
void BookingsPanel::showInvoice()
{
    openInvoice(m_source.bookmark());
}

// The trip pictures window on the current booking (its Data1 bookmark, set
// before the window is shown).
void BookingsPanel::viewPictures()
{
    openPictures(m_source.bookmark());
}

} // namespace bm
