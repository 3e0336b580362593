#include "bookings/frmrequests.h"

#include "bookings/bookingwindows.h"
#include "core/apppaths.h"
#include "core/dates.h"
#include "platform/failures.h"
#include "platform/follow.h"
#include "platform/input.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

namespace bm
{

FrmRequests::FrmRequests(QWidget *parent)
    : ListWindow(QStringLiteral("frmRequests"), QStringLiteral("Requests"), QStringLiteral("grdRequests"),
        QStringList { QStringLiteral("Date"), QStringLiteral("Start"), QStringLiteral("Trip"),
            QStringLiteral("Client"), QStringLiteral("Party"), QStringLiteral("E-mail"),
            QStringLiteral("Phone"), QStringLiteral("Asked") },
        parent)
    , m_cmdAccept(commandButton(QStringLiteral("cmdAccept"), QStringLiteral("&Accept"), this))
    , m_cmdDecline(commandButton(QStringLiteral("cmdDecline"), QStringLiteral("&Decline"), this))
{
    grid()->horizontalHeaderItem(7)->setToolTip(QStringLiteral("When the client asked on the booking page"));
    m_cmdAccept->setToolTip(QStringLiteral("Take the trip: the booking is confirmed"));
    m_cmdDecline->setToolTip(QStringLiteral("Turn the trip down, with a reason the client reads"));
    connect(m_cmdAccept, &QPushButton::clicked, this, &FrmRequests::accept);
    connect(m_cmdDecline, &QPushButton::clicked, this, &FrmRequests::decline);
    // A request arrives as a new booking; one answered elsewhere changes
    // its booking, and the page's record of it may follow.
    finish({ m_cmdAccept, m_cmdDecline }, QStringLiteral("3600"),
        { QLatin1String(table::Booking), QLatin1String(table::PageRequests) }, WhenGone::ChooseNearest,
        QSize(820, 360));
}

Status FrmRequests::readRows(QList<Row> &rows)
{
    QList<requests::Request> read;
    if (Status s = requests::waiting(read); !s)
        return s;
    m_listed = std::move(read);
    for (const requests::Request &r : std::as_const(m_listed))
        rows.append({ r.booking.id,
            { shortDate(r.date), r.startTime, r.tripType, r.client, r.partySize, r.email, r.phone,
                shortDateTime(r.made) },
            {} });
    return Status::ok();
}

QString FrmRequests::countText() const
{
    const qsizetype n = m_listed.size();
    if (n == 0)
        return QStringLiteral("No requests are waiting.");
    return n == 1 ? QStringLiteral("1 request is waiting.")
                  : QStringLiteral("%1 requests are waiting.").arg(n);
}

QString FrmRequests::unreadText() const
{
    return QStringLiteral("The requests could not be read.");
}

const requests::Request *FrmRequests::chosen() const
{
    const int row = chosenRow();
    return row >= 0 && row < m_listed.size() ? &m_listed[row] : nullptr;
}

void FrmRequests::enableCommands()
{
    const bool any = chosen() != nullptr;
    m_cmdAccept->setEnabled(any);
    m_cmdDecline->setEnabled(any);
}

// Answering a request writes its booking without moving the guide's place
// in the main window.
void FrmRequests::accept()
{
    const requests::Request *r = chosen();
    if (!r)
        return;
    const platform::KeepPlace keep;
    if (!platform::reportFailure(requests::accept(r->booking), this))
        reread();
}

void FrmRequests::decline()
{
    const requests::Request *r = chosen();
    if (!r)
        return;
    const Bookmark booking = r->booking;
    const std::optional<QString> reason = platform::askText(
        { QStringLiteral("Decline Request"),
            QStringLiteral(
                "Why can you not take the trip of %1 on %2?\nThe client reads this on the booking page.")
                .arg(r->client, shortDate(r->date)),
            {} },
        this);
    if (!reason)
        return;
    if (reason->trimmed().isEmpty()) {
        platform::warn(
            QStringLiteral("Please give the client a reason, or click Cancel to leave the request."), this);
        return;
    }
    const platform::KeepPlace keep;
    if (!platform::reportFailure(requests::decline(booking, reason->trimmed()), this))
        reread();
}

void FrmRequests::openRow(int row)
{
    if (row >= 0 && row < m_listed.size())
        openEditBooking(m_listed[row].booking);
}

} // namespace bm
