#pragma once

#include "core/status.h"
#include "mail/texts.h"

#include <QDate>
#include <QDateTime>
#include <QString>

namespace bm::db
{
class Transaction;
}

// Putting the mail a change calls for into the outbox, and planning the
// mail that goes by the calendar (reminders, balance notes, thanks).
namespace bm::mail
{

// The address the guide's own mail goes to: the mail settings' guide
// address, else the guide details' e-mail; empty when neither is one.
[[nodiscard]] Status guideAddress(const QString &location, QString &out);

// Whether mail can go out by itself: the mail settings name a server and a
// sender's address. Until then nothing is queued or planned.
[[nodiscard]] Status isSetUp(const QString &location, bool &setUp);

// Queues the message of the kind for the booking within the caller's
// transaction, filled from the booking as the transaction has it: to the
// client, or to the guide for the guide's kinds. Nothing is queued (queued
// false, and ok) when mail is not set up, the kind is off or there is no
// address to send to.
[[nodiscard]] Status queueFor(db::Transaction &t, const QString &location, const QString &kind,
    qint64 booking, const QDateTime &now, bool &queued);

struct Plan {
    int planned = 0; // new messages
    int dropped = 0; // planned ones the trip no longer calls for
};

// Plans what today calls for: a reminder the set days before each trip,
// balance notes at each of their days while a balance is owed, a thank-you
// the set days after it, each under a key of booking, kind and day, so
// that no two planners (desks, the service, a restart) plan one twice.
// Queued planned messages whose trip moved, was cancelled or paid, or is
// gone, are dropped. Only trips agreed with a client count (not requested,
// cancelled or no-show), and only those with an e-mail address.
[[nodiscard]] Status plan(const QString &location, const QDate &today, const QDateTime &now, Plan &out);

} // namespace bm::mail
