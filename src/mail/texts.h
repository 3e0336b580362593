#pragma once

#include "core/status.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantHash>

// What the mail that goes by itself says: for each kind of message its
// subject and body, Mustache templates filled with the booking's values,
// whether it goes at all and, for the planned ones, when. The delivered
// texts serve until the guide changes one; his are kept in the database
// (Mail Texts), one per kind.
namespace bm::mail
{

namespace kind
{
// To the client.
inline constexpr char requestReceived[] = "Request Received";
inline constexpr char confirmed[] = "Confirmed";
inline constexpr char declined[] = "Declined";
inline constexpr char cancelled[] = "Cancelled";
inline constexpr char reminder[] = "Reminder";
inline constexpr char balanceDue[] = "Balance Due";
inline constexpr char thankYou[] = "Thank You";
// To the guide.
inline constexpr char newRequest[] = "New Request";
} // namespace kind

struct Text {
    QString kind;
    bool send = true;
    QString subject;
    QString body;
    // The planned kinds: days before the trip (Reminder: "2"; Balance Due:
    // "30, 14, 7") or after it (Thank You: "1"). Empty for the others.
    QString days;
};

// Every kind with its delivered text, in the order the guide sees them.
const QList<Text> &deliveredTexts();

// The text of each kind in use: the guide's where he changed it, else the
// delivered one.
[[nodiscard]] Status texts(const QString &location, QList<Text> &out);
[[nodiscard]] Status text(const QString &location, const QString &kind, Text &out);
// The same from the rows of Mail Texts as kept (Send "Yes" or "No"), in
// their order: a later row of a kind stands over an earlier one.
struct KeptText {
    QString kind, send, subject, body, days;
};
QList<Text> textsWith(const QList<KeptText> &kept);
// Keeps the guide's text of its kind (replacing the one he had).
[[nodiscard]] Status saveText(const QString &location, const Text &text);

// The days of a planned kind's text, each from 0 to 365, largest first;
// none when the text holds none.
QList<int> daysOf(const Text &text);

// What a text may name, for one booking: client, trip, date, start, lake,
// meet_at, party, total, deposit, balance, species, total_fish, big_fish,
// catch, reason, and the guide's service, phone, email and website.
using Values = QHash<QString, QString>;
[[nodiscard]] Status bookingValues(const QString &location, qint64 booking, Values &out);
// The same from a booking's fields and the guide details' fields as they are
// stored, by field name, and the guide's reason when he declined.
Values valuesOf(const QVariantHash &booking, const QVariantHash &guide, const QString &reason);

// The text with the values filled in; a name with no value is left empty.
// Nothing is escaped: the mail is plain text. Fails, naming the kind, when
// the template can not be read.
[[nodiscard]] Status render(const Text &text, const Values &values, QString &subject, QString &body);

} // namespace bm::mail
