#include "bookings/frmtripday.h"

#include "bookings/tripday.h"
#include "db/recordsource.h"
#include "domain/bookingmail.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "schema/fields.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

namespace
{

QLabel *valueLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(260);
    return label;
}

std::optional<Money> amount(const RecordSource &source, const QString &field)
{
    const QVariant v = source.value(field);
    return v.metaType() == QMetaType::fromType<Money>() ? std::optional<Money>(v.value<Money>())
                                                        : std::nullopt;
}

} // namespace

FrmTripDay::FrmTripDay(QWidget *parent)
    : QWidget(parent)
    , m_hub(platform::mainHub())
    , m_client(valueLabel(QStringLiteral("lblClient"), this))
    , m_date(valueLabel(QStringLiteral("lblDate"), this))
    , m_lake(valueLabel(QStringLiteral("lblLake"), this))
    , m_meetAt(valueLabel(QStringLiteral("lblMeetAt"), this))
    , m_type(valueLabel(QStringLiteral("lblType"), this))
    , m_moon(valueLabel(QStringLiteral("lblMoonPhase"), this))
    , m_sunrise(valueLabel(QStringLiteral("lblSunrise"), this))
    , m_sunset(valueLabel(QStringLiteral("lblSunset"), this))
    , m_solunar(valueLabel(QStringLiteral("lblSolunar"), this))
    , m_note(valueLabel(QStringLiteral("lblNote"), this))
    , m_latitude(new QLineEdit(this))
    , m_longitude(new QLineEdit(this))
    , m_savePosition(new QPushButton(QStringLiteral("&Save Position"), this))
    , m_confirm(new QPushButton(QStringLiteral("Send &Confirmation"), this))
{
    setObjectName(QStringLiteral("frmTripDay"));
    setWindowTitle(QStringLiteral("Trip Day"));

    auto *trip = new QGroupBox(QStringLiteral("Trip"), this);
    trip->setObjectName(QStringLiteral("fraTrip"));
    auto *tripForm = new QFormLayout(trip);
    tripForm->addRow(QStringLiteral("Client:"), m_client);
    tripForm->addRow(QStringLiteral("Date:"), m_date);
    tripForm->addRow(QStringLiteral("Lake:"), m_lake);
    tripForm->addRow(QStringLiteral("Meet at:"), m_meetAt);
    tripForm->addRow(QStringLiteral("Type:"), m_type);

    auto *skyBox = new QGroupBox(QStringLiteral("Moon and Sun at the Home Water"), this);
    skyBox->setObjectName(QStringLiteral("fraSky"));
    auto *skyForm = new QFormLayout(skyBox);
    skyForm->addRow(QStringLiteral("Moon:"), m_moon);
    skyForm->addRow(QStringLiteral("Sunrise:"), m_sunrise);
    skyForm->addRow(QStringLiteral("Sunset:"), m_sunset);
    skyForm->addRow(QStringLiteral("Solunar:"), m_solunar);
    skyForm->addRow(m_note);
    m_note->setStyleSheet(
        QStringLiteral("QLabel { background: #fff4d6; border: 1px solid #e0c070; padding: 4px; }"));

    auto *home = new QGroupBox(QStringLiteral("Home Water"), this);
    home->setObjectName(QStringLiteral("fraHomeWater"));
    m_latitude->setObjectName(QStringLiteral("txtLatitude"));
    m_latitude->setToolTip(QStringLiteral("Decimal degrees, north positive (for example 36.6)"));
    m_longitude->setObjectName(QStringLiteral("txtLongitude"));
    m_longitude->setToolTip(QStringLiteral("Decimal degrees, east positive (for example -93.3)"));
    m_savePosition->setObjectName(QStringLiteral("cmdSavePosition"));
    auto *homeRow = new QHBoxLayout(home);
    auto *latitudeCaption = new QLabel(QStringLiteral("L&atitude:"), home);
    latitudeCaption->setBuddy(m_latitude);
    auto *longitudeCaption = new QLabel(QStringLiteral("L&ongitude:"), home);
    longitudeCaption->setBuddy(m_longitude);
    homeRow->addWidget(latitudeCaption);
    homeRow->addWidget(m_latitude);
    homeRow->addSpacing(8);
    homeRow->addWidget(longitudeCaption);
    homeRow->addWidget(m_longitude);
    homeRow->addSpacing(8);
    homeRow->addWidget(m_savePosition);

    m_confirm->setObjectName(QStringLiteral("cmdConfirm"));
    m_confirm->setToolTip(QStringLiteral(
        "Send the client the trip's details: through the outbox when mail is set up, else in a new e-mail"));
    auto *closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_confirm);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(trip);
    layout->addWidget(skyBox);
    layout->addWidget(home);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(m_savePosition, &QPushButton::clicked, this, [this] {
        if (savePosition())
            showBooking();
    });
    for (QLineEdit *box : { m_latitude, m_longitude })
        connect(box, &QLineEdit::returnPressed, m_savePosition, &QPushButton::click);
    connect(m_confirm, &QPushButton::clicked, this, &FrmTripDay::sendConfirmation);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    if (m_hub) {
        connect(&m_hub->datBookings(), &RecordSource::currentChanged, this, &FrmTripDay::showBooking);
        connect(&m_hub->datBookings(), &RecordSource::refreshed, this, &FrmTripDay::showBooking);
    }

    readPosition();
    showBooking();
}

void FrmTripDay::readPosition()
{
    if (const Status s = homewater::read(m_kept); !s)
        platform::warn(s.message(), this);
    const auto [latitude, longitude] = keptTexts();
    m_latitude->setText(latitude);
    m_longitude->setText(longitude);
}

std::pair<QString, QString> FrmTripDay::keptTexts() const
{
    // A kept text that is not a position is shown as it is, to be typed anew.
    if (!m_kept.position)
        return { m_kept.latitude, m_kept.longitude };
    return { tripday::shownDegrees(m_kept.position->latitude),
        tripday::shownDegrees(m_kept.position->longitude) };
}

void FrmTripDay::showBooking()
{
    for (QLabel *label :
        { m_client, m_date, m_lake, m_meetAt, m_type, m_moon, m_sunrise, m_sunset, m_solunar })
        label->clear();
    m_confirm->setEnabled(false);
    auto note = [this](const QString &text) {
        m_note->setText(text);
        m_note->setVisible(!text.isEmpty());
    };
    if (!m_hub) {
        note(QStringLiteral("The trip day shows the booking chosen in the main window; open it from there."));
        return;
    }
    RecordSource &bookings = m_hub->datBookings();
    if (const Status s = bookings.readCurrent(); !s) {
        note(s.message());
        return;
    }
    if (!bookings.hasCurrent()) {
        note(QStringLiteral("There is no booking to show."));
        return;
    }
    m_client->setText(bookings.text(field::Booking::Name));
    m_date->setText(bookings.text(field::Booking::Date));
    m_lake->setText(bookings.text(field::Booking::Lake));
    m_meetAt->setText(bookings.text(field::Booking::MeetAt));
    m_type->setText(bookings.text(field::Booking::Type));
    m_confirm->setEnabled(true);

    const QDate day = bookings.value(field::Booking::Date).toDate();
    if (!day.isValid()) {
        note(QStringLiteral("This booking has no trip date, so there is no moon or sun to show."));
        return;
    }
    showSky(day);
    note(m_kept.position
            ? QString()
            : QStringLiteral("Sunrise, sunset and the solunar times need the position of your home "
                             "water: type its latitude and longitude below and choose Save Position."));
}

void FrmTripDay::showSky(const QDate &day)
{
    m_moon->setText(tripday::moonText(sky::moonOn(day)));
    if (!m_kept.position)
        return;
    const sky::SunDay sun = sky::sunOn(day, *m_kept.position);
    m_sunrise->setText(tripday::sunriseText(sun));
    m_sunset->setText(tripday::sunsetText(sun));
    m_solunar->setText(tripday::solunarText(sky::solunarOn(day, *m_kept.position)));
}

bool FrmTripDay::savePosition()
{
    const tripday::TypedPosition typed = tripday::readTyped(m_latitude->text(), m_longitude->text());
    if (!typed.position) {
        platform::warn(typed.problem, this);
        return false;
    }
    if (const Status s = homewater::keep(*typed.position); !s) {
        platform::warn(
            QStringLiteral("The position of your home water could not be kept: %1").arg(s.message()), this);
        return false;
    }
    readPosition();
    return true;
}

bool FrmTripDay::positionTyped() const
{
    const auto [latitude, longitude] = keptTexts();
    return m_latitude->text().trimmed() != latitude || m_longitude->text().trimmed() != longitude;
}

void FrmTripDay::sendConfirmation()
{
    if (!m_hub)
        return;
    const RecordSource &bookings = m_hub->datBookings();
    if (const Status s = bookings.readCurrent(); !s) {
        platform::warn(s.message(), this);
        return;
    }
    const QString name = bookings.text(field::Booking::Name).trimmed();
    const QString address = bookings.text(field::Booking::Email).trimmed();
    if (address.isEmpty()) {
        platform::warn(
            QStringLiteral("There is no email address for %1, so no confirmation can be sent. Enter "
                           "one with Edit Booking.")
                .arg(name.isEmpty() ? QStringLiteral("this booking") : name),
            this);
        return;
    }
    // With mail set up the outbox sends it, unless it waits there already.
    bookingmail::Confirmation byOutbox = bookingmail::Confirmation::ByHand;
    if (const Status s = bookingmail::queueConfirmation(
            bookings.location(), bookings.bookmark().id, QDateTime::currentDateTimeUtc(), byOutbox);
        !s) {
        platform::warn(s.message(), this);
        return;
    }
    if (byOutbox == bookingmail::Confirmation::Queued) {
        platform::inform(QStringLiteral("The confirmation to %1 is in the outbox.").arg(address), this);
        return;
    }
    if (byOutbox == bookingmail::Confirmation::Waiting) {
        platform::inform(
            QStringLiteral("A confirmation to %1 is already in the outbox, waiting to go; no second one was "
                           "added.")
                .arg(address),
            this);
        return;
    }
    RecordSource guideInfo(QStringLiteral("datGuide"), table::GuideInfo);
    Status read = guideInfo.openStatus();
    if (read)
        read = guideInfo.readCurrent();
    if (!read) {
        platform::warn(QStringLiteral("The guide details could not be read: %1").arg(read.message()), this);
        return;
    }
    const tripday::Trip trip { name, bookings.value(field::Booking::Date).toDate(),
        bookings.text(field::Booking::Lake), bookings.text(field::Booking::MeetAt),
        bookings.text(field::Booking::Type), amount(bookings, field::Booking::TotalCharge),
        amount(bookings, field::Booking::DepositAmount),
        bookings.value(field::Booking::DepositReceived).toDate(),
        amount(bookings, field::Booking::BalanceDue) };
    const tripday::Guide guide { guideInfo.text(field::GuideInfo::GuideName),
        guideInfo.text(field::GuideInfo::Phone), guideInfo.text(field::GuideInfo::Email) };
    const tripday::Message m = tripday::confirmation(trip, guide);
    if (!platform::openMail(address, m.subject, m.body))
        platform::warn(QStringLiteral("No e-mail program could be opened for the confirmation."), this);
}

void FrmTripDay::closeEvent(QCloseEvent *event)
{
    if (positionTyped()
        && platform::askYesNo(QStringLiteral("Keep the position you typed for your home water?"),
            QStringLiteral("Trip Day"), this)
        && !savePosition()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace bm
