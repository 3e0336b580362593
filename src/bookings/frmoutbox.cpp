#include "bookings/frmoutbox.h"

#include "bookings/bookingwindows.h"
#include "core/apppaths.h"
#include "core/dates.h"
#include "platform/failures.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"

#include <QPushButton>

namespace bm
{

namespace
{

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
    : ListWindow(QStringLiteral("frmOutbox"), QStringLiteral("Outbox"), QStringLiteral("grdOutbox"),
        QStringList { QStringLiteral("Made"), QStringLiteral("Kind"), QStringLiteral("To"),
            QStringLiteral("Subject"), QStringLiteral("State"), QStringLiteral("Tries"),
            QStringLiteral("Sent"), QStringLiteral("Reason") },
        parent)
    , m_cmdSendAgain(commandButton(QStringLiteral("cmdSendAgain"), QStringLiteral("Send &Again"), this))
    , m_cmdCancelMessage(
          commandButton(QStringLiteral("cmdCancelMessage"), QStringLiteral("Cancel &Message"), this))
{
    m_cmdSendAgain->setToolTip(QStringLiteral("Try a message that could not go once more, from now"));
    m_cmdCancelMessage->setToolTip(QStringLiteral("Keep a message that has not gone from going"));
    connect(m_cmdSendAgain, &QPushButton::clicked, this, &FrmOutbox::sendAgain);
    connect(m_cmdCancelMessage, &QPushButton::clicked, this, &FrmOutbox::cancelMessage);
    finish({ m_cmdSendAgain, m_cmdCancelMessage }, QStringLiteral("3700"), { QLatin1String(table::Outbox) },
        WhenGone::ChooseNone, QSize(900, 380));
}

Status FrmOutbox::readRows(QList<Row> &rows)
{
    QList<db::outbox::Message> read;
    if (Status s = db::outbox::read(databasePath(), read); !s)
        return s;
    m_listed = std::move(read);
    for (const db::outbox::Message &m : std::as_const(m_listed)) {
        const QString to = m.recipientName.isEmpty()
            ? m.recipient
            : QStringLiteral("%1 <%2>").arg(m.recipientName, m.recipient);
        rows.append({ m.id,
            { shortDateTime(m.made), m.kind, to, m.subject, m.state, QString::number(m.tries),
                shortDateTime(m.sent), m.lastError },
            m.lastError });
    }
    return Status::ok();
}

QString FrmOutbox::countText() const
{
    qsizetype waiting = 0, stuck = 0;
    for (const db::outbox::Message &m : m_listed) {
        waiting
            += m.state == QLatin1String(mailState::queued) || m.state == QLatin1String(mailState::sending);
        stuck += m.state == QLatin1String(mailState::failed) || m.state == QLatin1String(mailState::givenUp);
    }
    return QStringLiteral("%1 waiting to go, %2 that could not go, %3 in all.")
        .arg(waiting)
        .arg(stuck)
        .arg(m_listed.size());
}

QString FrmOutbox::unreadText() const
{
    return QStringLiteral("The outbox could not be read.");
}

const db::outbox::Message *FrmOutbox::chosen() const
{
    const int row = chosenRow();
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
    if (!platform::reportFailure(
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
    if (!platform::reportFailure(db::outbox::cancel(databasePath(), m->id, changed), this))
        return;
    if (!changed)
        platform::inform(
            QStringLiteral("The message is on its way or has gone; it can no longer be cancelled."), this);
    reread();
}

void FrmOutbox::openRow(int row)
{
    if (row < 0 || row >= m_listed.size())
        return;
    bool whole = false;
    const qint64 id = m_listed[row].booking.toLongLong(&whole);
    if (whole)
        openEditBooking(Bookmark { id });
}

} // namespace bm
