#pragma once

#include "core/status.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The outbox: the mail the program sends by itself, kept in the database
// until the mail server has taken it. A message is written in the same
// transaction as the change that calls for it. A sender takes the messages
// due (on a server each is taken by one sender only, whichever desk or
// service it runs in), sends them and says how each went; one it took and
// never answered for (it was stopped) goes back to the queue after a while
// and is sent again with the same Message-ID.
namespace bm::db
{

class Transaction;

namespace outbox
{

struct Message {
    qint64 id = 0;
    QString kind;
    QString booking; // the booking's key as text; empty when none
    QString recipient;
    QString recipientName;
    QString subject;
    QString body;
    QString state; // mailState
    int tries = 0;
    QString lastError;
    QString messageId;
    QString planKey; // booking, kind and day of a planned message; empty otherwise
    QDateTime made, sent, nextTry; // UTC
    QString claim; // the sender's mark while taken
};

// A moment as the outbox keeps it: UTC, to the millisecond, so that the
// text sorts as the time does.
QString stamp(const QDateTime &when);

// Writes a message, Queued and due at once, within the caller's
// transaction.
[[nodiscard]] Status queue(Transaction &t, const Message &message, const QDateTime &now);

// Writes a planned message (a reminder, a balance note) unless one with the
// same plan key was planned before, by this program or another: added says
// which.
[[nodiscard]] Status plan(const QString &location, const Message &message, const QDateTime &now, bool &added);
// The same within the caller's transaction, for many at once: another
// planner's message with the same key, written meanwhile, fails the
// transaction rather than this one call.
[[nodiscard]] Status plan(Transaction &t, const Message &message, const QDateTime &now, bool &added);

// Takes up to most messages due by now for sender (a name of its own for
// each running sender), marking them Sending, the oldest first. Before
// that, messages taken more than staleSeconds ago and never answered for go
// back to the queue.
[[nodiscard]] Status take(const QString &location, const QString &sender, const QDateTime &now, int most,
    int staleSeconds, QList<Message> &out);

// How a taken message went, written only while the sender still holds it
// (taken is false when it no longer did: it was taken back meanwhile).
// Sent: the mail server has it. Put off: due again at nextTry. Ended: one
// of the states that leave it as it is (Failed, Given Up, Dropped).
[[nodiscard]] Status markSent(
    const QString &location, const Message &message, const QDateTime &now, bool &taken);
[[nodiscard]] Status putOff(const QString &location, const Message &message, const QString &reason,
    const QDateTime &nextTry, bool &taken);
[[nodiscard]] Status end(
    const QString &location, const Message &message, const char *state, const QString &reason, bool &taken);
// Gives a taken message back untried, as it was.
[[nodiscard]] Status release(const QString &location, const Message &message, bool &taken);

// Where a sender takes messages and writes how each went: the outbox of a
// database the program reaches itself (AtLocation), or one it reaches only
// through the server's functions for it (the booking page's service).
class Store
{
public:
    virtual ~Store() = default;
    [[nodiscard]] virtual Status take(
        const QString &sender, const QDateTime &now, int most, int staleSeconds, QList<Message> &out)
        = 0;
    [[nodiscard]] virtual Status markSent(const Message &message, const QDateTime &now, bool &taken) = 0;
    [[nodiscard]] virtual Status putOff(
        const Message &message, const QString &reason, const QDateTime &nextTry, bool &taken)
        = 0;
    [[nodiscard]] virtual Status end(
        const Message &message, const char *state, const QString &reason, bool &taken)
        = 0;
    [[nodiscard]] virtual Status release(const Message &message, bool &taken) = 0;
};

// The functions above, on the outbox at one location.
class AtLocation : public Store
{
public:
    explicit AtLocation(const QString &location)
        : m_location(location)
    {
    }
    Status take(
        const QString &sender, const QDateTime &now, int most, int staleSeconds, QList<Message> &out) override
    {
        return outbox::take(m_location, sender, now, most, staleSeconds, out);
    }
    Status markSent(const Message &message, const QDateTime &now, bool &taken) override
    {
        return outbox::markSent(m_location, message, now, taken);
    }
    Status putOff(
        const Message &message, const QString &reason, const QDateTime &nextTry, bool &taken) override
    {
        return outbox::putOff(m_location, message, reason, nextTry, taken);
    }
    Status end(const Message &message, const char *state, const QString &reason, bool &taken) override
    {
        return outbox::end(m_location, message, state, reason, taken);
    }
    Status release(const Message &message, bool &taken) override
    {
        return outbox::release(m_location, message, taken);
    }

private:
    QString m_location;
};

// The guide's hand: a message not yet sent is cancelled; one that failed,
// was given up or cancelled is queued again, due at once, its tries
// counted afresh. changed is false when the message was not in a state
// that allows it.
[[nodiscard]] Status cancel(const QString &location, qint64 id, bool &changed);
// A planned message its trip no longer calls for, while it waits.
[[nodiscard]] Status drop(const QString &location, qint64 id, bool &changed);
[[nodiscard]] Status sendAgain(const QString &location, qint64 id, const QDateTime &now, bool &changed);

// Every message, the newest first, or those of one booking.
[[nodiscard]] Status read(const QString &location, QList<Message> &out, const QString &booking = QString());

} // namespace outbox
} // namespace bm::db
