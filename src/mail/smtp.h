#pragma once

#include "mail/message.h"

#include <QString>

// Sending one message to the guide's mail server over SMTP (libcurl). Each
// send has a connection of its own, so several threads may send at once.
namespace bm::mail
{

enum class Security {
    None, // plain SMTP: nothing is encrypted
    StartTls, // plain connection made encrypted before anything is sent; refused if the server can't
    Tls, // encrypted from the first byte (smtps, usually port 465)
};

struct SmtpSettings {
    QString host;
    int port = 587;
    Security security = Security::StartTls;
    QString user; // empty: no login
    QString password;
    // Certificates trusted instead of the system's (a PEM file); empty: the
    // system's. The tests' server has a certificate of its own.
    QString caFile;
    int connectTimeoutMs = 20000;
    int timeoutMs = 120000; // the whole send, from connecting to the server's last answer
};

struct SendResult {
    enum Outcome {
        Sent,
        Temporary, // no connection, no answer in time, the server put it off (4xx): try again later
        Permanent, // the server refused the address or the message (5xx): trying again won't help
        Setup, // the settings are wrong: login, certificate, encryption, server name
    };
    Outcome outcome = Setup;
    QString reason; // in a guide's words; names the server's answer where there is one
    int replyCode = 0; // the server's last reply code (250, 451, 550, ...); 0 when none came
    QString reply; // the server's last reply, bounded and without control characters

    bool sent() const { return outcome == Sent; }
};

// Whether the text can name a mail server: an IP address, or a host name of
// ASCII letters, digits, dots and hyphens, at most 253 characters.
bool plausibleHost(const QString &host);

// Composes the message (filling in its Message-ID and date, see compose())
// and sends it to message.to. A message that can not be composed is not
// sent: Permanent, with compose()'s reason.
SendResult send(const SmtpSettings &settings, Message &message);

// The guide's check of the settings: a short message to an address of
// their choosing, sent like any other.
SendResult sendTestMessage(const SmtpSettings &settings, const Mailbox &from, const Mailbox &to);

} // namespace bm::mail
