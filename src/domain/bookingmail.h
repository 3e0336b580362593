#pragma once

#include "core/status.h"
#include "db/outbox.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The mail a booking's change at the desk calls for: when the guide is asked
// whether to tell the client, what he is asked, the trip day's confirmation
// through the outbox, and a message the mail server refused.
namespace bm::bookingmail
{

// A save of a booking as the entry makes it: new or a change, the booking's
// status before (of a change) and after it, and the client's address. An
// empty status is a booking agreed with the client: Confirmed.
struct Save {
    bool isNew = false;
    QString before;
    QString after;
    QString email;
};

// What the mail settings and the outbox say: whether mail goes out by
// itself, whether each kind is on, and the booking's messages (any order).
struct Outbox {
    bool setUp = false;
    bool confirmedOn = false;
    bool cancelledOn = false;
    QList<db::outbox::Message> messages;
};

// The kind a save's change of status calls for: Confirmed for a booking
// saved new as Confirmed or changed to it from another status, Cancelled
// for a Requested or Confirmed one changed to Cancelled; empty for any
// other save.
QString calledFor(const Save &save);

// The kind the guide is asked whether to send, or empty: the save calls for
// it, mail is set up, the kind is on, the client has an address, and the
// client has not already been told. He has been when a message of the kind
// is queued, being sent or sent, and no message of the opposite kind
// (Confirmed against Cancelled) went after it: a trip confirmed again after
// a cancellation is news.
QString toAsk(const Save &save, const Outbox &outbox);

// The question for the kind: "Send Ann Lee a confirmation of the trip by
// e-mail?"
QString question(const QString &kind, const QString &clientName);

// Reads what toAsk() needs and answers it; booking is the booking's key, 0
// for one not saved yet. Reads nothing when the save calls for no mail.
[[nodiscard]] Status askFor(const QString &location, qint64 booking, const Save &save, QString &kind);

// The trip day's confirmation, put in the outbox in a transaction of its
// own. ByHand: mail is not set up, the Confirmed kind is off or the address
// is none the outbox takes; nothing is written and the guide's mail program
// sends it as before. Waiting: a confirmation is already queued or being
// sent; no second one is queued.
enum class Confirmation { ByHand, Queued, Waiting };
[[nodiscard]] Status queueConfirmation(
    const QString &location, qint64 booking, const QDateTime &now, Confirmation &out);

// The line a booking shows while the mail server has refused a message to
// its client for good (Failed) and no message of the same kind was sent
// after it: "Mail to the client was refused: <reason>", the reason on one
// line and at most refusalLength characters. Nothing otherwise.
inline constexpr int refusalLength = 200;
std::optional<QString> refusal(const QList<db::outbox::Message> &messages);
[[nodiscard]] Status readRefusal(const QString &location, qint64 booking, std::optional<QString> &out);

} // namespace bm::bookingmail
