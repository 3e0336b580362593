#pragma once

#include "core/status.h"

#include <QString>
#include <QUrl>

// The web service's settings, in the INI form the desks' settings have:
//
//   [database]
//   uri=postgresql://db.lodge/lodge?user=lodge_web&sslmode=verify-full
//   [web]
//   listen=127.0.0.1
//   port=8080
//   public_url=https://book.example.com
//   requests_per_hour=5
//   threads=8
//   locale=en_US
//   [mail]
//   send=yes
//   password_file=mail-password
//
// The database's password is not kept here: libpq reads it from the
// service's own ~/.pgpass or the file passfile= in the URI names. The mail
// server's login is the desks' (Options, Mail); its password is read from
// password_file= (relative to this file's folder), a file only its owner
// may read.
namespace bm::web
{

struct Config {
    QString databaseUri;
    QString listen = QStringLiteral("127.0.0.1");
    int port = 8080;
    QUrl publicUrl; // the page's address as clients see it
    int requestsPerHour = 5; // requests one client address may send an hour
    int threads = 8; // requests answered at once
    // Whether a request that comes from this machine (the proxy in front)
    // is from the address its X-Real-IP header names.
    bool behindProxy = true;
    // How dates and prices are written (a locale name such as en_US); the
    // system's when not given.
    QString locale;
    // Whether the service sends the outbox's mail too (the desks do when it
    // does not), and the mail server's password for that, when one is needed.
    bool sendMail = true;
    QString mailPassword;
    bool mailPasswordGiven = false;
};

inline const QString defaultConfigPath = QStringLiteral("/etc/brindlemoor/web.conf");

// Reads the file; what is missing takes its default, what is wrong is said
// with the file's name and the setting's.
[[nodiscard]] Status readConfig(const QString &path, Config &out);

} // namespace bm::web
