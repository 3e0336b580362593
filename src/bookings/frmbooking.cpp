#include "bookings/frmbooking.h"

#include "bookings/numberkeys.h"

#include "bookings/bookingwindows.h"
#include "bookings/frmparty.h"
#include "core/entries.h"
#include "core/money.h"
#include "db/changes.h"
#include "domain/bookingmail.h"
#include "domain/busytimes.h"
#include "mail/queue.h"
#include "platform/failures.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/windows.h"
#include "recordform/binder.h"
#include "recordform/datepicker.h"
#include "recordform/recordform.h"
#include "schema/fields.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace bm
{

namespace
{

const QString newTitle = QStringLiteral("Add a new Booking");
// Requested, Confirmed, Cancelled, No-show: the states the list offers.
constexpr int statesOffered = 4;
const QString editTitle = QStringLiteral("Editing this Booking");

// A focus change the user made inside the window (not a message box or a
// drop-down list taking the focus for a while).
bool movedByUser(const QFocusEvent *event)
{
    switch (event->reason()) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        return true;
    default:
        return false;
    }
}

QPlainTextEdit *notesBox(QWidget *parent)
{
    auto *box = new QPlainTextEdit(parent);
    box->setTabChangesFocus(true);
    box->setFixedHeight(box->fontMetrics().lineSpacing() * 3 + 12);
    return box;
}

// The "$" sign before a money box.
QWidget *withDollarSign(QWidget *box, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("$"), row));
    layout->addWidget(box, 1);
    return row;
}

template <class W> W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

const QColor &FrmBooking::errorColour()
{
    static const QColor yellow(255, 255, 0);
    return yellow;
}

FrmBooking::FrmBooking(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_booking(new RecordSource(QStringLiteral("Data1"), table::Booking, this))
    , m_binder(new FieldBinder(m_booking, this))
{
    setObjectName(QStringLiteral("frmBooking"));
    setWindowTitle(newTitle);
    buildForm();
    declareForm();
}

// Always in edit mode while shown: Save writes the booking unless the client
// name is empty, and Save and Cancel both close the window.
void FrmBooking::declareForm()
{
    FormDeclaration d;
    d.source = m_booking;
    d.binder = m_binder;
    d.keyField = m_clientName;
    d.texts.emptyEntry.text = QStringLiteral("Please enter a client name or press Cancel to exit.");
    d.focusOnAdd = d.focusOnEdit = m_tripDate;
    d.validate = [this] {
        if (!checkPartyAndStart())
            return false;
        askAboutMail();
        // The trip's days as saved: the form shows another record once it has.
        m_saving = { m_tripDate->value(), std::clamp(m_days->text().trimmed().toInt(), 1, 99),
            m_booking->text(field::Booking::Guide),
            m_status->currentText() == QLatin1String(bookingStatus::cancelled) };
        return true;
    };
    d.saved = [this] {
        noteBusyDays();
        close();
    };
    d.cancelled = [this] { close(); };
    m_form = new RecordForm(std::move(d), this);
    m_form->attach(FormCommand::Save, m_cmdOK);
    m_form->attach(FormCommand::Cancel, m_cmdCancel);
}

void FrmBooking::buildForm()
{
    // The reference lists, in their tables' order.
    auto *lakes = new RecordSource(QStringLiteral("Data2"), table::LakesFished, this);
    auto *marinas = new RecordSource(QStringLiteral("Data3"), table::Marinas, this);
    auto *tripRates = new RecordSource(QStringLiteral("Data4"), table::TripRates, this);
    auto *tripTypes = new RecordSource(QStringLiteral("Data5"), table::TripType, this);
    auto *deposits = new RecordSource(QStringLiteral("Data6"), table::Deposits, this);

    auto *tripGroup = new QGroupBox(QStringLiteral("Trip Information"), this);
    auto *trip = new QFormLayout(tripGroup);
    m_tripDate = named(new DatePicker(tripGroup), "DTPicker1");
    m_lake = named(new QComboBox(tripGroup), "DBCombo1");
    m_meetAt = named(new QComboBox(tripGroup), "DBCombo2");
    m_tripType = named(new QComboBox(tripGroup), "DBCombo4");
    trip->addRow(QStringLiteral("Trip Date:"), m_tripDate);
    trip->addRow(QStringLiteral("Fishing at:"), m_lake);
    trip->addRow(QStringLiteral("Meet at:"), m_meetAt);
    trip->addRow(QStringLiteral("Type:"), m_tripType);
    // A list that can not be read keeps its entries; fillList has shown why.
    (void)fillList(m_lake, *lakes, field::LakesFished::Lake);
    (void)fillList(m_meetAt, *marinas, field::Marinas::Ramps);
    (void)fillList(m_tripType, *tripTypes, field::TripType::TripType);

    auto *clientGroup = new QGroupBox(QStringLiteral("Client Information"), this);
    auto *client = new QFormLayout(clientGroup);
    m_clientName = named(new QLineEdit(clientGroup), "Text2");
    auto *address = named(new QLineEdit(clientGroup), "Text3");
    auto *address2 = named(new QLineEdit(clientGroup), "Text4");
    auto *city = named(new QLineEdit(clientGroup), "Text5");
    m_state = named(new QComboBox(clientGroup), "cmbState");
    auto *zipCode = named(new QLineEdit(clientGroup), "Text6");
    auto *homePhone = named(new QLineEdit(clientGroup), "Text7");
    auto *workPhone = named(new QLineEdit(clientGroup), "Text13");
    auto *mobilePhone = named(new QLineEdit(clientGroup), "Text14");
    m_email = named(new QLineEdit(clientGroup), "Text8");
    auto *lodging = named(new QLineEdit(clientGroup), "Text9");
    auto *notes = named(notesBox(clientGroup), "Text1");
    client->addRow(QStringLiteral("Full Name:"), m_clientName);
    client->addRow(QStringLiteral("Address:"), address);
    client->addRow(QStringLiteral("Address:"), address2);
    client->addRow(QStringLiteral("City:"), city);
    client->addRow(QStringLiteral("State:"), m_state);
    client->addRow(QStringLiteral("Zip Code:"), zipCode);
    client->addRow(QStringLiteral("Home #:"), homePhone);
    client->addRow(QStringLiteral("Work #:"), workPhone);
    client->addRow(QStringLiteral("Mobile #:"), mobilePhone);
    client->addRow(QStringLiteral("Email:"), m_email);
    client->addRow(QStringLiteral("Lodging:"), lodging);
    client->addRow(QStringLiteral("Trip Notes:"), notes);
    fillList(m_state, stateCodes());

    auto *payGroup = new QGroupBox(QStringLiteral("Payment Information"), this);
    auto *pay = new QFormLayout(payGroup);
    m_totalCharge = named(new QComboBox(payGroup), "DBCombo3");
    m_depositAmount = named(new QComboBox(payGroup), "DBCombo5");
    m_balanceDue = named(new QLineEdit(payGroup), "Text12");
    m_depositReceived = named(new DatePicker(payGroup), "DTPicker2");
    m_paidBy = named(new QComboBox(payGroup), "Combo2");
    auto *billingNotes = named(notesBox(payGroup), "Text11");
    pay->addRow(QStringLiteral("Total Charge:"), withDollarSign(m_totalCharge, payGroup));
    pay->addRow(QStringLiteral("Deposit Amount:"), withDollarSign(m_depositAmount, payGroup));
    pay->addRow(QStringLiteral("Balance Due:"), withDollarSign(m_balanceDue, payGroup));
    pay->addRow(QStringLiteral("Deposit Received:"), m_depositReceived);
    pay->addRow(QStringLiteral("Paid By:"), m_paidBy);
    pay->addRow(QStringLiteral("Remarks:"), billingNotes);
    // As above: fillList has shown why a list can not be read.
    (void)fillList(m_totalCharge, *tripRates, field::TripRates::TripRates);
    (void)fillList(m_depositAmount, *deposits, field::Deposits::Deposits);
    fillList(m_paidBy,
        { QStringLiteral("Cash"), QStringLiteral("Check"), QStringLiteral("Money Order"),
            QStringLiteral("Credit Card") });

    // Below the written fields: how the booking stands (a client's request
    // from the booking page waits as Requested), the party and the hour the
    // trip starts.
    auto *stateGroup = new QGroupBox(QStringLiteral("Booking Status"), this);
    auto *state = new QHBoxLayout(stateGroup);
    m_status = named(new QComboBox(stateGroup), "cboStatus");
    m_status->addItems({ QLatin1String(bookingStatus::requested), QLatin1String(bookingStatus::confirmed),
        QLatin1String(bookingStatus::cancelled), QLatin1String(bookingStatus::noShow) });
    m_partySize = named(new QLineEdit(stateGroup), "txtPartySize");
    m_startTime = named(new QLineEdit(stateGroup), "txtStartTime");
    m_startTime->setPlaceholderText(QStringLiteral("hh:mm"));
    // How many days the trip lasts: empty for one.
    m_days = named(new QLineEdit(stateGroup), "txtDays");
    m_days->setPlaceholderText(QStringLiteral("1"));
    const int narrow = m_startTime->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) * 2 + 12;
    m_partySize->setFixedWidth(narrow);
    m_startTime->setFixedWidth(narrow);
    m_days->setFixedWidth(narrow);
    const QList<QPair<QString, QWidget *>> stateRow { { QStringLiteral("Status:"), m_status },
        { QStringLiteral("Party Size:"), m_partySize }, { QStringLiteral("Start Time:"), m_startTime },
        { QStringLiteral("Days:"), m_days } };
    for (const auto &[caption, box] : stateRow) {
        auto *label = new QLabel(caption, stateGroup);
        label->setBuddy(box);
        state->addWidget(label);
        state->addWidget(box);
        state->addSpacing(12);
    }
    state->addStretch(1);
    // Who is aboard: the party of a saved booking.
    m_cmdParty = named(new QPushButton(QStringLiteral("&Party..."), stateGroup), "cmdParty");
    m_cmdParty->setAutoDefault(false);
    connect(m_cmdParty, &QPushButton::clicked, this, &FrmBooking::showParty);
    state->addWidget(m_cmdParty);
    for (QLineEdit *box : { m_partySize, m_startTime, m_days })
        connect(box, &QLineEdit::textEdited, this, [box] { box->setPalette(QPalette()); });
    connect(m_booking, &RecordSource::currentChanged, this, &FrmBooking::showStatus);
    // A message to the client the mail server refused for good, until one
    // of its kind has gone since.
    m_mailRefused = named(new QLabel(this), "lblMailRefused");
    m_mailRefused->setWordWrap(true);
    m_mailRefused->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_mailRefused->setStyleSheet(QStringLiteral("QLabel { color: #c00000; }"));
    m_mailRefused->hide();
    connect(m_booking, &RecordSource::currentChanged, this, &FrmBooking::showMailRefused);
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &location, const QString &table) {
            if (location == m_booking->location() && table == QLatin1String(table::Outbox))
                showMailRefused();
        });
    connect(m_booking, &RecordSource::aboutToWrite, this, &FrmBooking::handOverStatus);

    m_cmdOK = named(new QPushButton(QStringLiteral("&Save"), this), "cmdOK");
    m_cmdCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancel");
    m_cmdHelp = named(new QPushButton(QStringLiteral("&Help"), this), "cmdHelp");
    m_cmdOK->setAutoDefault(false);
    m_cmdCancel->setAutoDefault(false);
    m_cmdHelp->setAutoDefault(false);

    const QList<QPair<QWidget *, const char *>> bindings {
        { m_tripDate, field::Booking::Date },
        { m_lake, field::Booking::Lake },
        { m_meetAt, field::Booking::MeetAt },
        { m_tripType, field::Booking::Type },
        { m_clientName, field::Booking::Name },
        { address, field::Booking::Address },
        { address2, field::Booking::Address2 },
        { city, field::Booking::City },
        { m_state, field::Booking::State },
        { zipCode, field::Booking::ZipCode },
        { homePhone, field::Booking::Telephone },
        { workPhone, field::Booking::WorkPhone },
        { mobilePhone, field::Booking::CellPhone },
        { m_email, field::Booking::Email },
        { lodging, field::Booking::Lodging },
        { notes, field::Booking::Notes },
        { m_totalCharge, field::Booking::TotalCharge },
        { m_depositAmount, field::Booking::DepositAmount },
        { m_balanceDue, field::Booking::BalanceDue },
        { m_depositReceived, field::Booking::DepositReceived },
        { m_paidBy, field::Booking::PaidBy },
        { billingNotes, field::Booking::BillingNotes },
        { m_partySize, field::Booking::PartySize },
        { m_startTime, field::Booking::StartTime },
        { m_days, field::Booking::Days },
    };
    QWidget *previous = nullptr;
    for (const auto &[widget, field] : bindings) {
        m_binder->bind(widget, QString::fromLatin1(field));
        // The state comes after the written fields, before the party.
        if (widget == m_partySize) {
            setTabOrder(previous, m_status);
            previous = m_status;
        }
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    setTabOrder(previous, m_cmdParty);
    setTabOrder(m_cmdParty, m_cmdOK);
    setTabOrder(m_cmdOK, m_cmdCancel);
    setTabOrder(m_cmdCancel, m_cmdHelp);

    for (QComboBox *box : { m_totalCharge, m_depositAmount }) {
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }
    m_balanceDue->installEventFilter(this);

    connect(m_cmdHelp, &QPushButton::clicked, this, &FrmBooking::showHelp);
    platform::addHelpCommand(this, m_cmdHelp);

    auto *left = new QVBoxLayout;
    left->addWidget(tripGroup);
    left->addWidget(payGroup);
    left->addStretch(1);
    auto *groups = new QHBoxLayout;
    groups->addLayout(left, 1);
    groups->addWidget(clientGroup, 1, Qt::AlignTop);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    buttons->addWidget(m_cmdHelp);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(groups, 1);
    layout->addWidget(stateGroup);
    layout->addWidget(m_mailRefused);
    layout->addLayout(buttons);
    resize(sizeHint().expandedTo(QSize(760, 0)));
}

// Whatever was pending is dropped without a word, and the money boxes are
// neither marked nor checked any more.
void FrmBooking::startOver(const QString &title)
{
    m_form->dropPending();
    m_booking->setAlsoWrite({});
    setWindowTitle(title);
    m_amountEntered = nullptr;
    markAmount(m_totalCharge, false);
    markAmount(m_depositAmount, false);
    m_partySize->setPalette(QPalette());
    m_startTime->setPalette(QPalette());
    m_days->setPalette(QPalette());
}

void FrmBooking::startNew(const QDate &date)
{
    startOver(newTitle);
    m_form->add();
    // A new booking has no party until it is saved.
    m_cmdParty->setEnabled(false);
    m_cmdParty->setToolTip(QStringLiteral("Save the new booking first; then enter its party here."));
    if (!m_form->isEditing())
        return;
    // The new record takes the chosen date; a field it can not take is
    // said, and the record stays new for the guide to fill in.
    for (const char *name : { field::Booking::Date, field::Booking::DepositReceived })
        platform::reportFailure(m_booking->setValue(name, date), this);
    m_binder->showRecord();
}

bool FrmBooking::startEdit(Bookmark bookmark)
{
    startOver(editTitle);
    if (!platform::reportFailure(m_booking->setBookmark(bookmark), this))
        return false;
    m_form->edit();
    m_cmdParty->setEnabled(m_form->isEditing());
    m_cmdParty->setToolTip(QStringLiteral("Who is aboard this trip"));
    return m_form->isEditing();
}

void FrmBooking::showParty()
{
    if (m_booking->editMode() != RecordSource::EditMode::Edit)
        return;
    if (FrmParty *party = openParty(m_booking->bookmark()))
        connect(party, &FrmParty::partySaved, this, &FrmBooking::partySaved, Qt::UniqueConnection);
}

void FrmBooking::partySaved(Bookmark booking)
{
    if (!m_form->isEditing() || m_booking->editMode() != RecordSource::EditMode::Edit
        || m_booking->bookmark() != booking)
        return;
    // What the guide changed here so far, field by field as shown.
    const QStringList fields = m_booking->fieldNames();
    QHash<QString, QString> shown;
    for (const QString &f : fields)
        shown.insert(f, m_booking->text(f));
    m_binder->collect();
    QList<QPair<QString, QVariant>> typed;
    for (const QString &f : fields)
        if (f != QLatin1String(field::Booking::PartySize) && m_booking->text(f) != shown.value(f))
            typed.append({ f, m_booking->value(f) });
    const QString statusChosen = m_status->currentText();
    const QString statusBefore = m_statusShown;
    // The booking as saved now, the party's Party Size with it, so that
    // this save does not take the party's own for another desk's.
    if (!platform::reportFailure(m_booking->Edit(), this))
        return;
    for (const auto &[f, value] : std::as_const(typed))
        platform::reportFailure(m_booking->setValue(f, value), this);
    m_binder->showRecord();
    if (statusChosen != statusBefore)
        m_status->setCurrentText(statusChosen);
    m_partySize->setPalette(QPalette());
}

void FrmBooking::markAmount(QComboBox *box, bool error)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Base, error ? errorColour() : QColor(Qt::white));
    box->setPalette(p);
    box->lineEdit()->setPalette(p);
}

void FrmBooking::showStatus()
{
    // No state is a booking agreed with its client. A state the program
    // does not offer (written by another tool) shows as it is, so that an
    // unchanged booking keeps it.
    const QString stored = m_booking->text(field::Booking::Status);
    const QString shown = stored.isEmpty() ? QLatin1String(bookingStatus::confirmed) : stored;
    while (m_status->count() > statesOffered) // another booking's
        m_status->removeItem(statesOffered);
    if (m_status->findText(shown) < 0)
        m_status->addItem(shown);
    m_status->setCurrentText(shown);
    m_statusShown = shown;
}

void FrmBooking::handOverStatus()
{
    // A booking that had no state keeps none until the guide chooses one; a
    // new booking is stored with the state it was given.
    const QString chosen = m_status->currentText();
    if (m_booking->editMode() != RecordSource::EditMode::Add && chosen == m_statusShown)
        return;
    platform::reportFailure(m_booking->setValue(field::Booking::Status, chosen), this);
}

void FrmBooking::askAboutMail()
{
    m_booking->setAlsoWrite({});
    const bool adding = m_booking->editMode() == RecordSource::EditMode::Add;
    const bookingmail::Save save { adding, adding ? QString() : m_statusShown, m_status->currentText(),
        m_email->text() };
    const qint64 key = adding ? 0 : m_booking->bookmark().id;
    QString kind;
    if (const Status s = bookingmail::askFor(m_booking->location(), key, save, kind); !s) {
        // The save goes on; only the question is missed.
        platform::warn(
            QStringLiteral("%1\nNo message to the client goes with this save.").arg(s.message()), this);
        return;
    }
    if (kind.isEmpty()
        || !platform::askYesNo(bookingmail::question(kind, m_clientName->text()), windowTitle(), this))
        return;
    m_booking->setAlsoWrite([kind, location = m_booking->location()](
                                db::Transaction &t, qint64 booking, RecordSource::EditMode) {
        bool queued = false;
        if (Status s = mail::queueFor(t, location, kind, booking, QDateTime::currentDateTimeUtc(), queued);
            !s)
            return Status::failure(
                QStringLiteral("The message to the client could not be put in the outbox, so the booking "
                               "was not saved.\n%1")
                    .arg(s.message()));
        return Status::ok();
    });
}

void FrmBooking::noteBusyDays()
{
    const Saving trip = m_saving;
    if (trip.cancelled || !trip.date.isValid())
        return;
    QStringList notices;
    if (const Status s = busytimes::onDays(
            trip.date, trip.date.addDays(trip.days - 1), trip.guide, notices, m_booking->location());
        !s) {
        platform::warn(QStringLiteral("The booking was saved.\n%1").arg(s.message()), this);
        return;
    }
    if (!notices.isEmpty())
        platform::inform(
            QStringLiteral("Your own calendar holds this day:\n%1").arg(notices.join(QLatin1Char('\n'))),
            this);
}

void FrmBooking::showMailRefused()
{
    std::optional<QString> line;
    if (m_booking->editMode() != RecordSource::EditMode::Add && m_booking->bookmark().isValid()) {
        if (const Status s = bookingmail::readRefusal(m_booking->location(), m_booking->bookmark().id, line);
            !s)
            line.reset(); // logged; the line waits for the next change
    }
    m_mailRefused->setText(line.value_or(QString()));
    m_mailRefused->setVisible(line.has_value());
}

bool FrmBooking::refuseEntry(QLineEdit *box, const QString &message)
{
    platform::warn(message, this);
    QPalette p = box->palette();
    p.setColor(QPalette::Base, errorColour());
    box->setPalette(p);
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    return false;
}

// Save's check of the party, the start time and the days; what they read
// as is what is kept ("6:30" is kept as "06:30").
bool FrmBooking::checkPartyAndStart()
{
    const std::optional<QString> party = entries::wholeNumber(m_partySize->text(), 1, 99);
    if (!party)
        return refuseEntry(m_partySize,
            QStringLiteral("Please enter the Party Size as a whole number from 1 to 99, or leave it empty."));
    const std::optional<QString> start = entries::startTime(m_startTime->text());
    if (!start)
        return refuseEntry(m_startTime,
            QStringLiteral(
                "Please enter the Start Time as hours and minutes, like 06:30, or leave it empty."));
    const std::optional<QString> days = entries::wholeNumber(m_days->text(), 1, 30);
    if (!days)
        return refuseEntry(m_days,
            QStringLiteral("Please enter the Days as a whole number from 1 to 30, or leave it empty for a "
                           "trip of one day."));
    m_partySize->setText(*party);
    m_startTime->setText(*start);
    m_days->setText(*days);
    return true;
}

void FrmBooking::refuseAmountKey(QComboBox *box)
{
    platform::warn(box == m_totalCharge
            ? QStringLiteral("Please enter the Total Charge in a Dollar Amount.")
            : QStringLiteral("Please enter the Deposit Received in a Dollar Amount."),
        this);
    box->setFocus(Qt::OtherFocusReason);
    markAmount(box, true);
    box->setEditText(QStringLiteral("0"));
}

void FrmBooking::leaveAmount(QComboBox *box)
{
    // Leaving for Cancel drops the booking anyway: no point in asking for a price.
    if (QApplication::focusWidget() == m_cmdCancel)
        return;
    if (!box->currentText().isEmpty()) {
        markAmount(box, false);
        box->setEditText(formatAmountText(box->currentText()));
        return;
    }
    platform::warn(box == m_totalCharge ? QStringLiteral("Please enter the cost for the Trip")
                                        : QStringLiteral("Please enter a Deposit amount."),
        this);
    markAmount(box, true);
    box->setEditText(QStringLiteral("0"));
    box->setFocus(Qt::OtherFocusReason);
}

void FrmBooking::enterBalance()
{
    const std::optional<Money> charge = Money::parse(m_totalCharge->currentText());
    const std::optional<Money> deposit = Money::parse(m_depositAmount->currentText());
    const std::optional<Money> balance = charge && deposit ? charge->minus(*deposit) : std::nullopt;
    if (!balance) {
        platform::stop(QStringLiteral("Make sure that a price is entered in the Total Charge or Deposit "
                                      "Amount boxes.\nThey cannot be blank."),
            this);
        markAmount(m_totalCharge, true);
        m_totalCharge->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_balanceDue->setText(balance->format());
}

bool FrmBooking::eventFilter(QObject *watched, QEvent *event)
{
    for (QComboBox *box : { m_totalCharge, m_depositAmount }) {
        if (watched != box && watched != box->lineEdit())
            continue;
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (NumberKeyFilter::refuses(key)) {
                refuseAmountKey(box);
                return true;
            }
        } else if (event->type() == QEvent::FocusIn && watched == box) {
            m_amountEntered = box;
        } else if (event->type() == QEvent::FocusOut && watched == box && m_amountEntered == box
            && movedByUser(static_cast<QFocusEvent *>(event))) {
            // Only a box that was entered is left: focus handed back to a box
            // from a check passes through its neighbour unseen.
            m_amountEntered = nullptr;
            leaveAmount(box);
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == m_balanceDue && event->type() == QEvent::FocusIn
        && movedByUser(static_cast<QFocusEvent *>(event)))
        enterBalance();
    return QWidget::eventFilter(watched, event);
}

// The help topic of the booking entry.
void FrmBooking::showHelp()
{
    platform::showHelpTopic(QStringLiteral("400"));
}

FrmBooking *openNewBooking(const QDate &date)
{
    auto *w = platform::showWindow<FrmBooking>();
    w->startNew(date);
    return w;
}

FrmBooking *openEditBooking(Bookmark bookmark)
{
    auto *w = platform::showWindow<FrmBooking>();
    if (!w->startEdit(bookmark)) {
        w->close();
        return nullptr;
    }
    return w;
}

} // namespace bm
