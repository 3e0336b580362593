#pragma once

#include "core/status.h"

#include <QString>

namespace bm::sharedchoice
{

// The one setting of the program: which database it works on. It lives in
// the user's settings file, $XDG_CONFIG_HOME/Brindlemoor/Brindlemoor.conf,
// group "database", key "uri": a libpq connection URI for the shared
// database on a server; no key for tallow.mdb on this computer. An
// administrator may write the same file on every desk.
QString settingsFile();

// The shared database chosen; empty for the file.
QString chosenServer();

// Keeps uri as the choice. A URI that is not one of libpq's, or that holds
// a password, is refused: no password is ever written to the file (libpq
// reads it from ~/.pgpass).
[[nodiscard]] Status chooseServer(const QString &uri);

// Goes back to the file on this computer.
[[nodiscard]] Status chooseFile();

// The parts a guide fills in, and the URI they make.
struct Parts {
    QString host; // a name or address, or the folder of a local socket
    int port = 0; // 0: the server's usual port
    QString database;
    QString user;
    QString tls; // libpq's sslmode: disable, prefer, require, verify-ca, verify-full
};
QString uriOf(const Parts &parts);
// The parts of a URI; false when it is not a libpq URI.
bool partsOf(const QString &uri, Parts &parts);

} // namespace bm::sharedchoice
