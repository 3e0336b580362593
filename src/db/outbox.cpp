#include "db/outbox.h"

#include "db/database.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QTimeZone>

namespace bm::db::outbox
{

using schema::quoted;

namespace O = field::Outbox;

namespace
{

const QString keyName = QString::fromLatin1(schema::keyColumn);

const QString outboxTable = quoted(table::Outbox);

QDateTime fromStamp(const QVariant &v)
{
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
    if (t.isValid())
        t = t.toUTC();
    return t;
}

QVariant orNull(const QString &s)
{
    return s.isEmpty() ? QVariant() : QVariant(s);
}

// The fields a message is written with, in this order.
const QList<const char *> &writtenFields()
{
    static const QList<const char *> fields { O::Kind, O::Booking, O::Recipient, O::RecipientName, O::Subject,
        O::Body, O::State, O::Tries, O::MessageId, O::Made, O::NextTry, O::PlanKey };
    return fields;
}

QVariantList writtenValues(const Message &m, const QDateTime &now)
{
    return { m.kind, orNull(m.booking), m.recipient, orNull(m.recipientName), m.subject, m.body,
        QLatin1String(mailState::queued), QStringLiteral("0"), m.messageId, stamp(now),
        stamp(m.nextTry.isValid() ? m.nextTry : now), orNull(m.planKey) };
}

QString fieldList()
{
    QStringList names;
    for (const char *f : writtenFields())
        names << quoted(f);
    return names.join(QStringLiteral(", "));
}

QString selectAll()
{
    QStringList names { keyName };
    for (const char *f : { O::Kind, O::Booking, O::Recipient, O::RecipientName, O::Subject, O::Body, O::State,
             O::Tries, O::LastError, O::MessageId, O::Made, O::Sent, O::NextTry, O::PlanKey, O::Claim })
        names << quoted(f);
    return QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), outboxTable);
}

Message messageOf(const Query &r)
{
    Message m;
    m.id = r.value(keyName).toLongLong();
    m.kind = r.value(O::Kind).toString();
    m.booking = r.value(O::Booking).toString();
    m.recipient = r.value(O::Recipient).toString();
    m.recipientName = r.value(O::RecipientName).toString();
    m.subject = r.value(O::Subject).toString();
    m.body = r.value(O::Body).toString();
    m.state = r.value(O::State).toString();
    m.tries = r.value(O::Tries).toString().toInt();
    m.lastError = r.value(O::LastError).toString();
    m.messageId = r.value(O::MessageId).toString();
    m.made = fromStamp(r.value(O::Made));
    m.sent = fromStamp(r.value(O::Sent));
    m.nextTry = fromStamp(r.value(O::NextTry));
    m.planKey = r.value(O::PlanKey).toString();
    m.claim = r.value(O::Claim).toString();
    return m;
}

Status readWhere(
    const QString &location, const QString &where, const QVariantList &binds, QList<Message> &out)
{
    out.clear();
    Query r(location);
    if (Status s = r.run(selectAll() + where, binds); !s)
        return s;
    while (r.next())
        out.append(messageOf(r));
    return r.status();
}

// A planned message, written unless one with its key is there.
QString planStatement()
{
    const QString marks = QStringLiteral("?, ").repeated(writtenFields().size() - 1) + QLatin1Char('?');
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3 WHERE NOT EXISTS (SELECT 1 FROM %1 WHERE %4 = ?)")
        .arg(outboxTable, fieldList(), marks, quoted(O::PlanKey));
}

QVariantList planBinds(const Message &m, const QDateTime &now)
{
    QVariantList binds = writtenValues(m, now);
    binds << m.planKey;
    return binds;
}

// A change to a message the sender holds: only while its mark is still the
// one it took it with.
Status whileHeld(
    const QString &location, const Message &m, const QString &set, QVariantList binds, bool &taken)
{
    binds << m.id << m.claim << QLatin1String(mailState::sending);
    Written w;
    if (Status s = write(location, QLatin1String(table::Outbox),
            QStringLiteral("UPDATE %1 SET %2, %3 = NULL WHERE %4 = ? AND %3 = ? AND %5 = ?")
                .arg(outboxTable, set, quoted(O::Claim), keyName, quoted(O::State)),
            binds, &w);
        !s)
        return s;
    taken = w.rowsAffected == 1;
    return Status::ok();
}

} // namespace

QString stamp(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

Status queue(Transaction &t, const Message &message, const QDateTime &now)
{
    const QString marks = QStringLiteral("?, ").repeated(writtenFields().size() - 1) + QLatin1Char('?');
    return t.write(QLatin1String(table::Outbox),
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(outboxTable, fieldList(), marks),
        writtenValues(message, now));
}

Status plan(const QString &location, const Message &message, const QDateTime &now, bool &added)
{
    added = false;
    if (message.planKey.isEmpty())
        return Status::failure(QStringLiteral("A planned message needs its key."));
    Written w;
    const Status s
        = write(location, QLatin1String(table::Outbox), planStatement(), planBinds(message, now), &w);
    if (s) {
        added = w.rowsAffected == 1;
        return s;
    }
    // Another sender planned the same message between the check and the
    // insert: the index that keeps each key once refused this one.
    QVariant there;
    Query r(location);
    if (Status found = r.single(
            QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?").arg(outboxTable, quoted(O::PlanKey)),
            { message.planKey }, there);
        found && there.toLongLong() == 1)
        return Status::ok();
    return s;
}

Status plan(Transaction &t, const Message &message, const QDateTime &now, bool &added)
{
    added = false;
    if (message.planKey.isEmpty())
        return Status::failure(QStringLiteral("A planned message needs its key."));
    Written w;
    if (Status s = t.write(QLatin1String(table::Outbox), planStatement(), planBinds(message, now), &w); !s)
        return s;
    added = w.rowsAffected == 1;
    return Status::ok();
}

Status take(const QString &location, const QString &sender, const QDateTime &now, int most, int staleSeconds,
    QList<Message> &out)
{
    out.clear();
    const QString table = QLatin1String(table::Outbox);
    // A mark begins with the moment it was made, so that the marks sort by
    // their age.
    if (Status s = write(location, table,
            QStringLiteral("UPDATE %1 SET %2 = ?, %3 = NULL WHERE %2 = ? AND %3 < ?")
                .arg(outboxTable, quoted(O::State), quoted(O::Claim)),
            { QLatin1String(mailState::queued), QLatin1String(mailState::sending),
                stamp(now.addSecs(-staleSeconds)) });
        !s)
        return s;
    const QString mark = stamp(now) + QLatin1Char(' ') + sender;
    // On a server the rows chosen are locked, and those another sender is
    // taking this moment passed over. They are chosen once, into an array:
    // as an IN the choice is made again for each row, passing over the rows
    // the statement itself has just taken, until it has taken them all.
    // Either way the state is read again once a row is locked, so no message
    // is taken twice.
    const QString chosen = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? AND %4 <= ? ORDER BY %1 LIMIT %5")
                               .arg(keyName, outboxTable, quoted(O::State), quoted(O::NextTry))
                               .arg(qMax(1, most));
    const QString among = onServer(location)
        ? QStringLiteral("%1 = ANY(ARRAY(%2 FOR UPDATE SKIP LOCKED))").arg(keyName, chosen)
        : QStringLiteral("%1 IN (%2)").arg(keyName, chosen);
    if (Status s = write(location, table,
            QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ? WHERE %2 = ? AND %4")
                .arg(outboxTable, quoted(O::State), quoted(O::Claim), among),
            { QLatin1String(mailState::sending), mark, QLatin1String(mailState::queued),
                QLatin1String(mailState::queued), stamp(now) });
        !s)
        return s;
    return readWhere(location,
        QStringLiteral(" WHERE %1 = ? AND %2 = ? ORDER BY %3")
            .arg(quoted(O::Claim), quoted(O::State), keyName),
        { mark, QLatin1String(mailState::sending) }, out);
}

Status markSent(const QString &location, const Message &message, const QDateTime &now, bool &taken)
{
    return whileHeld(location, message,
        QStringLiteral("%1 = ?, %2 = ?, %3 = ?, %4 = NULL")
            .arg(quoted(O::State), quoted(O::Sent), quoted(O::Tries), quoted(O::LastError)),
        { QLatin1String(mailState::sent), stamp(now), QString::number(message.tries + 1) }, taken);
}

Status putOff(const QString &location, const Message &message, const QString &reason,
    const QDateTime &nextTry, bool &taken)
{
    return whileHeld(location, message,
        QStringLiteral("%1 = ?, %2 = ?, %3 = ?, %4 = ?")
            .arg(quoted(O::State), quoted(O::Tries), quoted(O::LastError), quoted(O::NextTry)),
        { QLatin1String(mailState::queued), QString::number(message.tries + 1), reason, stamp(nextTry) },
        taken);
}

Status end(
    const QString &location, const Message &message, const char *state, const QString &reason, bool &taken)
{
    return whileHeld(location, message,
        QStringLiteral("%1 = ?, %2 = ?, %3 = ?")
            .arg(quoted(O::State), quoted(O::Tries), quoted(O::LastError)),
        { QLatin1String(state), QString::number(message.tries + 1), reason }, taken);
}

Status release(const QString &location, const Message &message, bool &taken)
{
    return whileHeld(location, message, QStringLiteral("%1 = ?").arg(quoted(O::State)),
        { QLatin1String(mailState::queued) }, taken);
}

namespace
{

// A message that waits takes another state; not one taken or ended.
Status leaveQueue(const QString &location, qint64 id, const char *state, bool &changed)
{
    Written w;
    if (Status s = write(location, QLatin1String(table::Outbox),
            QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ? AND %2 = ?")
                .arg(outboxTable, quoted(O::State), keyName),
            { QLatin1String(state), id, QLatin1String(mailState::queued) }, &w);
        !s)
        return s;
    changed = w.rowsAffected == 1;
    return Status::ok();
}

} // namespace

Status cancel(const QString &location, qint64 id, bool &changed)
{
    return leaveQueue(location, id, mailState::cancelled, changed);
}

Status drop(const QString &location, qint64 id, bool &changed)
{
    return leaveQueue(location, id, mailState::dropped, changed);
}

Status sendAgain(const QString &location, qint64 id, const QDateTime &now, bool &changed)
{
    Written w;
    if (Status s = write(location, QLatin1String(table::Outbox),
            QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ?, %4 = ?, %5 = ? WHERE %6 = ? AND %2 IN (?, ?, ?)")
                .arg(outboxTable, quoted(O::State), quoted(O::Tries), quoted(O::NextTry), quoted(O::Made),
                    keyName),
            { QLatin1String(mailState::queued), QStringLiteral("0"), stamp(now), stamp(now), id,
                QLatin1String(mailState::failed), QLatin1String(mailState::givenUp),
                QLatin1String(mailState::cancelled) },
            &w);
        !s)
        return s;
    changed = w.rowsAffected == 1;
    return Status::ok();
}

Status read(const QString &location, QList<Message> &out, const QString &booking)
{
    if (booking.isEmpty())
        return readWhere(location, QStringLiteral(" ORDER BY %1 DESC").arg(keyName), {}, out);
    return readWhere(location,
        QStringLiteral(" WHERE %1 = ? ORDER BY %2 DESC").arg(quoted(O::Booking), keyName), { booking }, out);
}

} // namespace bm::db::outbox
