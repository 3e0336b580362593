#pragma once

#include "core/status.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One e-mail message to one client, and its bytes as they go to the mail
// server (RFC 5322, a plain-text body in UTF-8).
//
// Names, subjects and addresses may come from a client's own typing on the
// booking page. A control character in a name or subject becomes a blank and
// the text is encoded, so it can never start a header of its own; an address
// that is not plainly one address is refused, so no second recipient can be
// slipped in.
namespace bm::mail
{

struct Mailbox {
    QString address; // client@example.com
    QString name; // shown by the client's mail program; may be empty
};

struct Message {
    Mailbox from;
    Mailbox to;
    Mailbox replyTo; // an empty address: no Reply-To
    QString subject;
    QString body; // plain text; any line ends
    // <random@sender's domain>. Empty: compose() makes one. A message sent
    // again keeps its ID, so the client's mail program sees one message.
    QString messageId;
    QDateTime date; // invalid: compose() takes the present moment
};

// Whether the text is one mail address the program can send to: local part
// and domain in plain ASCII, exactly one @, no blanks, commas, angle
// brackets or control characters, and at most 254 characters.
bool plausibleAddress(const QString &address);

// A new Message-ID in the sender's domain: <32 random hex digits@domain>.
QString makeMessageId(const QString &senderAddress);

// The Date header's form: "Tue, 4 Mar 2025 14:05:09 +0100", in English
// whatever the locale, with the time's own zone offset.
QByteArray rfc5322Date(const QDateTime &when);

// The message's bytes, header and body, every line ended by CRLF. An empty
// Message-ID or an invalid date is filled in, in the message too, so that a
// second try sends the same. Fails, naming the address, when an address is
// not plausibleAddress(), or when a given Message-ID is not of the usual form.
Status compose(Message &message, QByteArray &out);

} // namespace bm::mail
