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
    : m_location(location)
    , m_name(name)
    , m_settings(settings)
    , m_from(from)
{
}

Status Sender::round(const QDateTime &now, Round &out, int most)
{
    out = {};
    QList<db::outbox::Message> taken;
    if (Status s = db::outbox::take(m_location, m_name, now, most, staleSeconds, taken); !s)
        return s;
    for (int i = 0; i < taken.size(); ++i) {
        const db::outbox::Message &m = taken[i];
        Message message;
        message.from = m_from;
        message.to = { m.recipient, m.recipientName };
        message.subject = m.subject;
        message.body = m.body;
        message.messageId = m.messageId;
        const SendResult r = send(m_settings, message);
        bool held = true;
        Status written;
        if (r.sent()) {
            if (m_afterSend)
                m_afterSend(m);
            written = db::outbox::markSent(m_location, m, QDateTime::currentDateTimeUtc(), held);
            out.sent += held;
        } else if (r.outcome == SendResult::Permanent) {
            written = db::outbox::end(m_location, m, mailState::failed, r.reason, held);
            out.failed += held;
        } else if (m.made.isValid() && m.made.secsTo(now) > triedForSeconds) {
            written = db::outbox::end(m_location, m, mailState::givenUp,
                QStringLiteral("Given up after three days of tries. The last: %1").arg(r.reason), held);
            out.givenUp += held;
        } else {
            written = db::outbox::putOff(m_location, m, r.reason, nextTry(now, m.tries + 1), held);
            out.putOff += held;
        }
        out.lost += !held;
        if (!written)
            return written;
        // Wrong settings or no connection hold for the rest: they wait for
        // the next round, untouched.
        if (!r.sent() && r.outcome != SendResult::Permanent) {
            for (int j = i + 1; j < taken.size(); ++j) {
                bool alsoHeld = true;
                if (Status s = db::outbox::release(m_location, taken[j], alsoHeld); !s)
                    return s;
            }
            break;
        }
    }
    return Status::ok();
}

} // namespace bm::mail
