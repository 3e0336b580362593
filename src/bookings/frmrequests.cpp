#include "bookings/frmrequests.h"

#include "bookings/bookingwindows.h"
#include "core/apppaths.h"
#include "core/dates.h"
#include "db/changes.h"
#include "platform/failures.h"
#include "platform/follow.h"
#include "platform/help.h"
#include "platform/input.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/commandbutton.h"
#include "recordform/listgrid.h"
#include "schema/fields.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableWidget>
#include <QVBoxLayout>

namespace bm
{

namespace
{

// When the client asked, in the guide's own time.
QString madeText(const QDateTime &made)
{
    if (!made.isValid())
        return {};
    const QDateTime local = made.toLocalTime();
    return shortDate(local.date()) + QLatin1Char(' ')
        + QLocale().toString(local.time(), QLocale::ShortFormat);
}

QString countText(qsizetype n)
{
    if (n == 0)
        return QStringLiteral("No requests are waiting.");
    return n == 1 ? QStringLiteral("1 request is waiting.")
                  : QStringLiteral("%1 requests are waiting.").arg(n);
}

} // namespace

FrmRequests::FrmRequests(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_grid(listGrid(QStringLiteral("grdRequests"),
          QStringList { QStringLiteral("Date"), QStringLiteral("Start"), QStringLiteral("Trip"),
              QStringLiteral("Client"), QStringLiteral("Party"), QStringLiteral("E-mail"),
              QStringLiteral("Phone"), QStringLiteral("Asked") },
          this))
    , m_count(new QLabel(this))
    , m_cmdAccept(commandButton(QStringLiteral("cmdAccept"), QStringLiteral("&Accept"), this))
    , m_cmdDecline(commandButton(QStringLiteral("cmdDecline"), QStringLiteral("&Decline"), this))
    , m_cmdHelp(commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this))
    , m_cmdClose(commandButton(QStringLiteral("cmdClose"), QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("frmRequests"));
    setWindowTitle(QStringLiteral("Requests"));
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_grid->horizontalHeaderItem(7)->setToolTip(QStringLiteral("When the client asked on the booking page"));
    m_cmdAccept->setToolTip(QStringLiteral("Take the trip: the booking is confirmed"));
    m_cmdDecline->setToolTip(QStringLiteral("Turn the trip down, with a reason the client reads"));

    auto *commands = new QHBoxLayout;
    commands->addWidget(m_count, 1);
    commands->addWidget(m_cmdAccept);
    commands->addWidget(m_cmdDecline);
    commands->addSpacing(12);
    commands->addWidget(m_cmdHelp);
    commands->addWidget(m_cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(commands);

    connect(m_cmdAccept, &QPushButton::clicked, this, &FrmRequests::accept);
    connect(m_cmdDecline, &QPushButton::clicked, this, &FrmRequests::decline);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("3600")); });
    platform::addHelpCommand(this, m_cmdHelp);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row) { openBooking(row); });
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &FrmRequests::enableCommands);
    // A request arrives as a new booking; one answered elsewhere changes
    // its booking, and the page's record of it may follow.
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &location, const QString &table) {
            if (location == databasePath()
                && (table == QLatin1String(table::Booking) || table == QLatin1String(table::PageRequests)))
                reread();
        });
    reread();
    resize(820, 360);
}

void FrmRequests::reread()
{
    QList<requests::Request> read;
    if (const Status s = requests::waiting(read); !s) {
        // The list stays as it was: an outage is not an empty list.
        if (!m_readFailed)
            platform::reportFailure(s, this);
        m_readFailed = true;
        m_count->setText(QStringLiteral("The requests could not be read."));
        return;
    }
    m_readFailed = false;
    const requests::Request *was = chosen();
    const Bookmark keep = was ? was->booking : Bookmark {};
    const int keepRow = m_grid->currentRow();
    m_listed = std::move(read);
    m_grid->setRowCount(0);
    m_grid->setRowCount(int(m_listed.size()));
    int current = -1;
    for (int row = 0; row < m_listed.size(); ++row) {
        const requests::Request &r = m_listed[row];
        const QString texts[] = { shortDate(r.date), r.startTime, r.tripType, r.client, r.partySize, r.email,
            r.phone, madeText(r.made) };
        for (int c = 0; c < 8; ++c)
            m_grid->setItem(row, c, new QTableWidgetItem(texts[c]));
        if (r.booking == keep)
            current = row;
    }
    m_grid->resizeColumnsToContents();
    if (current < 0 && !m_listed.isEmpty())
        current = std::clamp(keepRow, 0, int(m_listed.size()) - 1);
    if (current >= 0)
        m_grid->selectRow(current);
    m_count->setText(countText(m_listed.size()));
    enableCommands();
}

const requests::Request *FrmRequests::chosen() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_grid->selectedRanges();
    if (ranges.isEmpty())
        return nullptr;
    const int row = ranges.constFirst().topRow();
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

void FrmRequests::openBooking(int row)
{
    if (row >= 0 && row < m_listed.size())
        openEditBooking(m_listed[row].booking);
}

} // namespace bm
