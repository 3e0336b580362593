#include "mail/sender.h"

#include "core/log.h"
#include "db/outbox.h"
#include "schema/fields.h"

namespace bm::mail
{

QDateTime nextTry(const QDateTime &now, int triesSoFar)
{
    const int doublings = qBound(0, triesSoFar - 1, 6);
    return now.addSecs(qMin<qint64>(60LL << doublings, 3600));
}

Sender::Sender(
    const QString &location, const QString &name, const SmtpSettings &settings, const Mailbox &from)
    : m_own(std::make_unique<db::outbox::AtLocation>(location))
    , m_store(m_own.get())
    , m_name(name)
    , m_settings(settings)
    , m_from(from)
{
}

Sender::Sender(
    db::outbox::Store &store, const QString &name, const SmtpSettings &settings, const Mailbox &from)
    : m_store(&store)
    , m_name(name)
    , m_settings(settings)
    , m_from(from)
{
}

Status Sender::take(const QDateTime &now, int most, QList<db::outbox::Message> &out)
{
    return m_store->take(m_name, now, most, staleSeconds, out);
}

SendResult Sender::send(const db::outbox::Message &m) const
{
    Message message;
    message.from = m_from;
    message.to = { m.recipient, m.recipientName };
    message.subject = m.subject;
    message.body = m.body;
    message.messageId = m.messageId;
    const SendResult r = mail::send(m_settings, message);
    if (r.sent() && m_afterSend)
        m_afterSend(m);
    return r;
}

Status Sender::record(const db::outbox::Message &m, const SendResult &r, const QDateTime &now, Round &out)
{
    bool held = true;
    Status written;
    if (r.sent()) {
        written = m_store->markSent(m, QDateTime::currentDateTimeUtc(), held);
        out.sent += held;
    } else if (r.outcome == SendResult::Permanent) {
        written = m_store->end(m, mailState::failed, r.reason, held);
        out.failed += held;
    } else if (m.made.isValid() && m.made.secsTo(now) > triedForSeconds) {
        written = m_store->end(m, mailState::givenUp,
            QStringLiteral("Given up after three days of tries. The last: %1").arg(r.reason), held);
        out.givenUp += held;
    } else {
        written = m_store->putOff(m, r.reason, nextTry(now, m.tries + 1), held);
        out.putOff += held;
    }
    out.lost += !held;
    return written;
}

bool Sender::holdsTheRest(const SendResult &r)
{
    return !r.sent() && r.outcome != SendResult::Permanent;
}

Status Sender::release(const QList<db::outbox::Message> &rest)
{
    for (const db::outbox::Message &m : rest) {
        bool held = true;
        if (Status s = m_store->release(m, held); !s)
            return s;
    }
    return Status::ok();
}

Status Sender::round(const QDateTime &now, Round &out, int most)
{
    out = {};
    QList<db::outbox::Message> taken;
    if (Status s = take(now, most, taken); !s)
        return s;
    for (qsizetype i = 0; i < taken.size(); ++i) {
        const SendResult r = send(taken[i]);
        if (Status s = record(taken[i], r, now, out); !s)
            return s;
        if (holdsTheRest(r))
            return release(taken.mid(i + 1));
    }
    return Status::ok();
}

} // namespace bm::mail
