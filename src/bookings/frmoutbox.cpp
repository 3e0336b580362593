#include "bookings/frmoutbox.h"

#include "bookings/bookingwindows.h"
#include "core/apppaths.h"
#include "core/dates.h"
#include "db/changes.h"
#include "platform/failures.h"
#include "platform/help.h"
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

QString when(const QDateTime &t)
{
    if (!t.isValid())
        return {};
    const QDateTime local = t.toLocalTime();
    return shortDate(local.date()) + QLatin1Char(' ')
        + QLocale().toString(local.time(), QLocale::ShortFormat);
}

QString countText(const QList<db::outbox::Message> &all)
{
    qsizetype waiting = 0, stuck = 0;
    for (const db::outbox::Message &m : all) {
        waiting
            += m.state == QLatin1String(mailState::queued) || m.state == QLatin1String(mailState::sending);
        stuck += m.state == QLatin1String(mailState::failed) || m.state == QLatin1String(mailState::givenUp);
    }
    return QStringLiteral("%1 waiting to go, %2 that could not go, %3 in all.")
        .arg(waiting)
        .arg(stuck)
        .arg(all.size());
}

bool mayCancel(const db::outbox::Message &m)
{
    return m.state == QLatin1String(mailState::queued);
}

bool maySendAgain(const db::outbox::Message &m)
{
    return m.state == QLatin1String(mailState::failed) || m.state == QLatin1String(mailState::givenUp)
        || m.state == QLatin1String(mailState::cancelled);
}

} // namespace

FrmOutbox::FrmOutbox(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_grid(listGrid(QStringLiteral("grdOutbox"),
          QStringList { QStringLiteral("Made"), QStringLiteral("Kind"), QStringLiteral("To"),
              QStringLiteral("Subject"), QStringLiteral("State"), QStringLiteral("Tries"),
              QStringLiteral("Sent"), QStringLiteral("Reason") },
          this))
    , m_count(new QLabel(this))
    , m_cmdSendAgain(commandButton(QStringLiteral("cmdSendAgain"), QStringLiteral("Send &Again"), this))
    , m_cmdCancelMessage(
          commandButton(QStringLiteral("cmdCancelMessage"), QStringLiteral("Cancel &Message"), this))
    , m_cmdHelp(commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this))
    , m_cmdClose(commandButton(QStringLiteral("cmdClose"), QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("frmOutbox"));
    setWindowTitle(QStringLiteral("Outbox"));
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_cmdSendAgain->setToolTip(QStringLiteral("Try a message that could not go once more, from now"));
    m_cmdCancelMessage->setToolTip(QStringLiteral("Keep a message that has not gone from going"));

    auto *commands = new QHBoxLayout;
    commands->addWidget(m_count, 1);
    commands->addWidget(m_cmdSendAgain);
    commands->addWidget(m_cmdCancelMessage);
    commands->addSpacing(12);
    commands->addWidget(m_cmdHelp);
    commands->addWidget(m_cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(commands);

    connect(m_cmdSendAgain, &QPushButton::clicked, this, &FrmOutbox::sendAgain);
    connect(m_cmdCancelMessage, &QPushButton::clicked, this, &FrmOutbox::cancelMessage);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("3700")); });
    platform::addHelpCommand(this, m_cmdHelp);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row) { openBooking(row); });
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &FrmOutbox::enableCommands);
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &location, const QString &table) {
            if (location == databasePath() && table == QLatin1String(table::Outbox))
                reread();
        });
    reread();
    resize(900, 380);
}

void FrmOutbox::reread()
{
    QList<db::outbox::Message> read;
    if (const Status s = db::outbox::read(databasePath(), read); !s) {
        // The list stays as it was: an outage is not an empty outbox.
        if (!m_readFailed)
            platform::reportFailure(s, this);
        m_readFailed = true;
        m_count->setText(QStringLiteral("The outbox could not be read."));
        return;
    }
    m_readFailed = false;
    const db::outbox::Message *was = chosen();
    const qint64 keep = was ? was->id : 0;
    m_listed = std::move(read);
    m_grid->setRowCount(0);
    m_grid->setRowCount(int(m_listed.size()));
    int current = -1;
    for (int row = 0; row < m_listed.size(); ++row) {
        const db::outbox::Message &m = m_listed[row];
        const QString to = m.recipientName.isEmpty()
            ? m.recipient
            : QStringLiteral("%1 <%2>").arg(m.recipientName, m.recipient);
        const QString texts[] = { when(m.made), m.kind, to, m.subject, m.state, QString::number(m.tries),
            when(m.sent), m.lastError };
        for (int c = 0; c < 8; ++c)
            m_grid->setItem(row, c, new QTableWidgetItem(texts[c]));
        m_grid->item(row, 7)->setToolTip(m.lastError);
        if (m.id == keep)
            current = row;
    }
    m_grid->resizeColumnsToContents();
    if (current >= 0)
        m_grid->selectRow(current);
    m_count->setText(countText(m_listed));
    enableCommands();
}

const db::outbox::Message *FrmOutbox::chosen() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_grid->selectedRanges();
    if (ranges.isEmpty())
        return nullptr;
    const int row = ranges.constFirst().topRow();
    return row >= 0 && row < m_listed.size() ? &m_listed[row] : nullptr;
}

void FrmOutbox::enableCommands()
{
    const db::outbox::Message *m = chosen();
    m_cmdSendAgain->setEnabled(m && maySendAgain(*m));
    m_cmdCancelMessage->setEnabled(m && mayCancel(*m));
}

void FrmOutbox::sendAgain()
{
    const db::outbox::Message *m = chosen();
    if (!m)
        return;
    bool changed = false;
    if (platform::reportFailure(
            db::outbox::sendAgain(databasePath(), m->id, QDateTime::currentDateTimeUtc(), changed), this))
        return;
    if (!changed)
        platform::inform(
            QStringLiteral("The message has changed meanwhile; it can not be sent again now."), this);
    reread();
}

void FrmOutbox::cancelMessage()
{
    const db::outbox::Message *m = chosen();
    if (!m)
        return;
    bool changed = false;
    if (platform::reportFailure(db::outbox::cancel(databasePath(), m->id, changed), this))
        return;
    if (!changed)
        platform::inform(
            QStringLiteral("The message is on its way or has gone; it can no longer be cancelled."), this);
    reread();
}

void FrmOutbox::openBooking(int row)
{
    if (row < 0 || row >= m_listed.size())
        return;
    bool whole = false;
    const qint64 id = m_listed[row].booking.toLongLong(&whole);
    if (whole)
        openEditBooking(Bookmark { id });
}

} // namespace bm
