#include "domain/bookingmail.h"

#include "db/query.h"
#include "domain/failures.h"
#include "mail/message.h"
#include "mail/queue.h"
#include "mail/texts.h"
#include "schema/fields.h"

#include <algorithm>

namespace bm::bookingmail
{

namespace
{

using domain::failed;

const QString confirmed = QLatin1String(bookingStatus::confirmed);

// A status as it counts: none is Confirmed.
QString counted(const QString &status)
{
    const QString s = status.trimmed();
    return s.isEmpty() ? confirmed : s;
}

// A message that has gone or is on its way.
bool told(const db::outbox::Message &m)
{
    return m.state == QLatin1String(mailState::queued) || m.state == QLatin1String(mailState::sending)
        || m.state == QLatin1String(mailState::sent);
}

bool alreadyTold(const QList<db::outbox::Message> &messages, const QString &kind)
{
    const QString opposite = kind == QLatin1String(mail::kind::confirmed)
        ? QLatin1String(mail::kind::cancelled)
        : QLatin1String(mail::kind::confirmed);
    qint64 lastOfKind = 0;
    qint64 lastOpposite = 0;
    for (const db::outbox::Message &m : messages) {
        if (!told(m))
            continue;
        if (m.kind == kind)
            lastOfKind = std::max(lastOfKind, m.id);
        else if (m.kind == opposite)
            lastOpposite = std::max(lastOpposite, m.id);
    }
    return lastOfKind > lastOpposite;
}

} // namespace

QString calledFor(const Save &save)
{
    const QString after = counted(save.after);
    const QString before = counted(save.before);
    if (after == confirmed)
        return save.isNew || before != confirmed ? QLatin1String(mail::kind::confirmed) : QString();
    if (after == QLatin1String(bookingStatus::cancelled) && !save.isNew
        && (before == confirmed || before == QLatin1String(bookingStatus::requested)))
        return QLatin1String(mail::kind::cancelled);
    return {};
}

QString toAsk(const Save &save, const Outbox &outbox)
{
    const QString kind = calledFor(save);
    if (kind.isEmpty() || !outbox.setUp || !mail::plausibleAddress(save.email.trimmed()))
        return {};
    const bool on = kind == QLatin1String(mail::kind::confirmed) ? outbox.confirmedOn : outbox.cancelledOn;
    if (!on || alreadyTold(outbox.messages, kind))
        return {};
    return kind;
}

QString question(const QString &kind, const QString &clientName)
{
    const QString name = clientName.trimmed().isEmpty() ? QStringLiteral("the client") : clientName.trimmed();
    if (kind == QLatin1String(mail::kind::cancelled))
        return QStringLiteral("Tell %1 by e-mail that the trip is cancelled?").arg(name);
    return QStringLiteral("Send %1 a confirmation of the trip by e-mail?").arg(name);
}

Status askFor(const QString &location, qint64 booking, const Save &save, QString &kind)
{
    kind.clear();
    const QString called = calledFor(save);
    if (called.isEmpty() || !mail::plausibleAddress(save.email.trimmed()))
        return Status::ok();
    const QString what = QStringLiteral("Whether to tell the client by e-mail could not be read");
    Outbox outbox;
    if (Status s = mail::isSetUp(location, outbox.setUp); !s)
        return failed(what, s);
    if (!outbox.setUp)
        return Status::ok();
    mail::Text text;
    if (Status s = mail::text(location, called, text); !s)
        return failed(what, s);
    outbox.confirmedOn = called == QLatin1String(mail::kind::confirmed) && text.send;
    outbox.cancelledOn = called == QLatin1String(mail::kind::cancelled) && text.send;
    if (booking > 0)
        if (Status s = db::outbox::read(location, outbox.messages, QString::number(booking)); !s)
            return failed(what, s);
    kind = toAsk(save, outbox);
    return Status::ok();
}

Status queueConfirmation(const QString &location, qint64 booking, const QDateTime &now, Confirmation &out)
{
    out = Confirmation::ByHand;
    const QString what = QStringLiteral("The confirmation could not be put in the outbox");
    bool setUp = false;
    if (Status s = mail::isSetUp(location, setUp); !s)
        return failed(what, s);
    if (!setUp)
        return Status::ok();
    mail::Text text;
    if (Status s = mail::text(location, QLatin1String(mail::kind::confirmed), text); !s)
        return failed(what, s);
    if (!text.send)
        return Status::ok();
    QList<db::outbox::Message> messages;
    if (Status s = db::outbox::read(location, messages, QString::number(booking)); !s)
        return failed(what, s);
    for (const db::outbox::Message &m : std::as_const(messages))
        if (m.kind == QLatin1String(mail::kind::confirmed)
            && (m.state == QLatin1String(mailState::queued)
                || m.state == QLatin1String(mailState::sending))) {
            out = Confirmation::Waiting;
            return Status::ok();
        }
    db::Transaction t(location);
    if (Status s = t.begin(); !s)
        return failed(what, s);
    bool queued = false;
    if (Status s = mail::queueFor(t, location, QLatin1String(mail::kind::confirmed), booking, now, queued);
        !s)
        return failed(what, s);
    if (!queued)
        return Status::ok(); // no address the outbox takes: nothing was written
    if (Status s = t.commit(); !s)
        return failed(what, s);
    out = Confirmation::Queued;
    return Status::ok();
}

std::optional<QString> refusal(const QList<db::outbox::Message> &messages)
{
    const db::outbox::Message *refused = nullptr;
    for (const db::outbox::Message &m : messages) {
        // The guide's own mail is not the client's.
        if (m.state != QLatin1String(mailState::failed) || m.kind == QLatin1String(mail::kind::newRequest))
            continue;
        const bool sentSince = std::any_of(messages.cbegin(), messages.cend(), [&m](const auto &later) {
            return later.kind == m.kind && later.id > m.id && later.state == QLatin1String(mailState::sent);
        });
        if (!sentSince && (!refused || m.id > refused->id))
            refused = &m;
    }
    if (!refused)
        return std::nullopt;
    QString reason = refused->lastError.simplified();
    if (reason.isEmpty())
        return QStringLiteral("Mail to the client was refused.");
    if (reason.size() > refusalLength) {
        reason.truncate(refusalLength - 1);
        if (reason.back().isHighSurrogate())
            reason.chop(1);
        reason = reason.trimmed() + QChar(0x2026);
    }
    return QStringLiteral("Mail to the client was refused: %1").arg(reason);
}

Status readRefusal(const QString &location, qint64 booking, std::optional<QString> &out)
{
    out.reset();
    QList<db::outbox::Message> messages;
    if (Status s = db::outbox::read(location, messages, QString::number(booking)); !s)
        return failed(QStringLiteral("The booking's mail could not be read"), s);
    out = refusal(messages);
    return Status::ok();
}

} // namespace bm::bookingmail
