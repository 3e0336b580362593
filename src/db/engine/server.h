#pragma once

// The shared database on a PostgreSQL server, beside the file: for the data
// layer's own files (the gateway, the copy of a file, the database
// utilities); everything else goes through the gateway. A database is named by
// its location, which is either the path of a file or a libpq connection
// URI ("postgresql:///lodge?host=/var/run/postgresql&user=ann").

#include "core/status.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

struct pg_conn; // libpq's PGconn

namespace bm::db::server
{

// How long a statement waits for a record another desk's transaction holds
// before it fails, and can be tried again.
constexpr int lockWaitMs = 10000;

// The database as messages name it: "lodge on /var/run/postgresql". A
// password the URI may hold is never shown.
QString displayName(const QString &uri);

// "The shared database <name> <what>": every message about the server.
Status failure(const QString &uri, const QString &what);

// Opens a connection of the given name to the server and readies its
// session. The first connection to an empty database lays the program's
// tables and starter records in, all or nothing; a database of an older
// layout is brought up to this version's; one that holds other tables, or a
// newer layout, is refused and left as it is. Layout::AsItIs leaves the
// layout to the caller, for a role with no right to read it (the booking
// page's service asks through its own functions).
enum class Layout { Prepare, AsItIs };
QSqlDatabase open(
    const QString &uri, const QString &connectionName, Status *status, Layout layout = Layout::Prepare);

// Runs a statement already in the server's words on the connection. A
// failure is logged with the statement and handed back in a guide's words;
// a connection the server has lost is said to be lost.
[[nodiscard]] Status exec(QSqlDatabase &db, const QString &uri, QSqlQuery &query, const QString &sql);

// libpq's own connection behind Qt's driver (null for another driver), for
// what Qt's driver does not reach: cancelling, notices, prepared checks.
::pg_conn *libpq(const QSqlDatabase &db);

// Whether the connection to the server is gone (the server stopped, the
// network went): the next use must open it afresh.
bool lost(const QSqlDatabase &db);

// Who last changed or deleted a record, as far as the server knows: for
// the message of a save another desk overtook.
struct LastChange {
    bool known = false;
    QString login; // the desk's login on the server
    QString guide; // the roster's name of the guide with that login, if any
    QString desk; // the computer's name
    bool thisSession = false; // this desk's own connection: another window here
    QDateTime at;
    bool deleted = false;
};
[[nodiscard]] Status lastChange(const QString &uri, const QString &table, qint64 record, LastChange &out);

// The computer's name in a session's application name, as the server
// records it for a change ("Brindlemoor@ann-laptop": "ann-laptop"); another
// program's name as it is.
QString deskOf(const QString &applicationName);

// A value of a result row as the file's engine would give it: integers as
// qlonglong (true and false as 1 and 0), null as an invalid QVariant.
QVariant asStored(const QVariant &value);

// The table and field a column of the query's current result is read
// from; empty for a computed column.
QString originTable(const QSqlQuery &query, int column);
QString originField(const QSqlQuery &query, int column);

} // namespace bm::db::server
