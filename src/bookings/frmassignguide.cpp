#include "bookings/frmassignguide.h"

#include "core/dates.h"
#include "db/recordsource.h"
#include "platform/failures.h"
#include "platform/follow.h"
#include "platform/mainhub.h"
#include "platform/messages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

namespace
{

const QString caption = QStringLiteral("Assign Guide");

QLabel *valueLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(220);
    return label;
}

// One booking as the notice lists it: date, lake, client.
QString describe(const guides::BookingLine &b)
{
    QStringList parts { shortDate(b.date) };
    if (!b.lake.isEmpty())
        parts << b.lake;
    if (!b.client.isEmpty())
        parts << b.client;
    return parts.join(QStringLiteral(", "));
}

} // namespace

FrmAssignGuide::FrmAssignGuide(Bookmark booking, QWidget *parent)
    : QDialog(parent)
    , m_booking(booking)
    , m_date(valueLabel("lblDate", this))
    , m_lake(valueLabel("lblLake", this))
    , m_client(valueLabel("lblClient", this))
    , m_guide(new QComboBox(this))
{
    setObjectName(QStringLiteral("frmAssignGuide"));
    setWindowTitle(caption);
    setModal(true);
    m_guide->setObjectName(QStringLiteral("cboGuide"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Trip Date:"), m_date);
    form->addRow(QStringLiteral("Lake:"), m_lake);
    form->addRow(QStringLiteral("Client:"), m_client);
    form->addRow(QStringLiteral("&Guide:"), m_guide);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FrmAssignGuide::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FrmAssignGuide::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

Status FrmAssignGuide::load()
{
    m_guide->clear();
    if (const Status s = guides::booking(m_booking, m_line, m_guideBefore); !s)
        return s;
    QList<guides::Guide> roster;
    if (const Status s = guides::roster(roster); !s)
        return s;
    m_date->setText(shortDate(m_line.date));
    m_lake->setText(m_line.lake);
    m_client->setText(m_line.client);

    m_guide->addItem(QStringLiteral("(no guide)"), QString());
    for (const guides::Guide &g : std::as_const(roster))
        if (g.active)
            m_guide->addItem(g.name, g.name);
    // The booking's own guide is kept as a choice even when he no longer
    // takes bookings or has left the roster: OK without a change must not
    // take him off the trip.
    int current = m_guide->findData(m_guideBefore);
    if (current < 0) {
        m_guide->addItem(m_guideBefore, m_guideBefore);
        current = m_guide->count() - 1;
    }
    m_guide->setCurrentIndex(current);
    return Status::ok();
}

void FrmAssignGuide::accept()
{
    const QString chosen = m_guide->currentData().toString();
    if (chosen == m_guideBefore) {
        QDialog::accept();
        return;
    }
    {
        // The main window stays on the booking it shows.
        const platform::KeepPlace keep;
        if (!platform::reportFailure(guides::assign(m_booking, chosen), this))
            return;
    }
    m_guideBefore = chosen;
    QList<guides::BookingLine> others;
    if (platform::reportFailure(guides::otherBookings(chosen, m_line.date, m_booking, others), this)
        && !others.isEmpty()) {
        QStringList lines;
        for (const guides::BookingLine &b : std::as_const(others))
            lines << describe(b);
        // A notice, not a refusal: a guide may well take a morning and an
        // evening trip on one day.
        platform::message(QStringLiteral("%1 is now the guide of this trip, and already has another "
                                         "booking that day:\n%2")
                              .arg(chosen, lines.join(QLatin1Char('\n'))),
            platform::Icon::Information, platform::Buttons::Ok, caption, this);
    }
    QDialog::accept();
}

void assignGuideToCurrentBooking(QWidget *parent)
{
    platform::MainHub *hub = platform::mainHub();
    RecordSource *bookings = hub ? &hub->datBookings() : nullptr;
    if (bookings && !platform::reportFailure(bookings->readCurrent(), parent))
        return;
    if (!bookings || !bookings->hasCurrent() || !bookings->bookmark().isValid()) {
        platform::message(QStringLiteral("There is no booking chosen. Choose a trip in the schedule or "
                                         "the bookings panel, then Assign Guide."),
            platform::Icon::Exclamation, platform::Buttons::Ok, caption, parent);
        return;
    }
    FrmAssignGuide dialog(bookings->bookmark(), parent);
    if (!platform::reportFailure(dialog.load(), parent))
        return;
    dialog.exec();
}

} // namespace bm
