#pragma once

#include "core/status.h"
#include "db/outbox.h"
#include "mail/smtp.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

// The outbox's sending: one round takes the messages due, sends each to
// the mail server and writes how it went. Any number of senders (desks, the
// booking page's service) may run rounds on one database at once: each
// message is taken by one of them.
namespace bm::mail
{

struct Round {
    int sent = 0;
    int putOff = 0; // to be tried again later
    int failed = 0; // refused for good by the mail server
    int givenUp = 0; // no connection for days
    int lost = 0; // taken back from this sender before it could say how it went
};

// How long a message that could not go waits before its next try: a minute
// after the first, doubling, at most an hour.
QDateTime nextTry(const QDateTime &now, int triesSoFar);

// How long a message is tried before it is given up.
inline constexpr qint64 triedForSeconds = 3 * 24 * 3600;

// A message taken and not answered for within this long is taken back: its
// sender was stopped. Longer than a round can take.
inline constexpr int staleSeconds = 30 * 60;

class Sender
{
public:
    // name: this sender's own, distinct from every other's (a desk's user
    // and process, the service's host and process).
    Sender(const QString &location, const QString &name, const SmtpSettings &settings, const Mailbox &from);
    // On another outbox, which outlives the sender.
    Sender(db::outbox::Store &store, const QString &name, const SmtpSettings &settings, const Mailbox &from);

    // One round of at most most messages, due by now: take, then for each
    // send and record. A failure to read or write the outbox ends the
    // round; a message that could not go does not.
    [[nodiscard]] Status round(const QDateTime &now, Round &out, int most = 10);

    // The steps of a round, for a caller that sends on another thread than
    // it reads and writes the database on. Each message is recorded as soon
    // as it was sent, so that a sender stopped in a round sends at most the
    // message it was sending twice.
    [[nodiscard]] Status take(const QDateTime &now, int most, QList<db::outbox::Message> &out);
    // Only the mail server: safe on any thread.
    SendResult send(const db::outbox::Message &m) const;
    [[nodiscard]] Status record(
        const db::outbox::Message &m, const SendResult &r, const QDateTime &now, Round &out);
    // After a result that holds for every message (no connection, wrong
    // settings) the rest of the round goes back untried.
    static bool holdsTheRest(const SendResult &r);
    [[nodiscard]] Status release(const QList<db::outbox::Message> &rest);

    // Called after the mail server took a message and before that is
    // written: the moment a stopped sender leaves a message to go twice.
    using AfterSend = std::function<void(const db::outbox::Message &)>;
    void setAfterSend(AfterSend afterSend) { m_afterSend = std::move(afterSend); }

private:
    std::unique_ptr<db::outbox::Store> m_own;
    db::outbox::Store *m_store;
    QString m_name;
    SmtpSettings m_settings;
    Mailbox m_from;
    AfterSend m_afterSend;
};

} // namespace bm::mail
