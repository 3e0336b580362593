#pragma once

#include "core/status.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace bm::calsync
{

// Where the guide's calendar server is and how to log in to it.
struct Account {
    QString server; // base address, https://host[:port]/path/
    QString user;
    QString password;
    QString caFile; // PEM file trusted instead of the system's certificates; empty: the system's
    int timeoutMs = 30000;
};

// A server's answer to one request.
struct Reply {
    int code = 0;
    QByteArray body;
    QString etag;
    QString reason; // the server's status text or the error, bounded, no control characters
    QString location; // where a move (3xx) points, as sent: printable, bounded; not followed here
    Status status; // a failure means no answer at all (connection, certificate, timeout)
};

using Headers = QList<std::pair<QByteArray, QByteArray>>;

// The largest answer body read from a server; a longer one is cut off and the
// request fails.
inline constexpr qsizetype maxAnswerBytes = 8 * 1024 * 1024;

// Sends one request with libcurl (thread-safe: one handle per call). The
// password goes only over TLS, which is always verified, or to this machine.
Reply request(const Account &account, const QByteArray &method, const QString &url,
    const Headers &headers = {}, const QByteArray &body = {});

// The failure of a request in the guide's words: the login refused, the
// calendar gone, the certificate, the server out of reach, or the server's
// own refusal with its code and reason. Empty for a success (2xx).
QString describe(const Reply &reply);

// The address resolved against a base (relative paths and absolute paths),
// or empty when it is not on the same scheme, host and port as the base.
QString sameServer(const QString &base, const QString &href);

} // namespace bm::calsync
