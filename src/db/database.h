#pragma once

#include "core/status.h"

#include <QString>

class QSqlDatabase; // the engine's; only the database layer uses it

namespace bm
{

// The open database files. Every record source on one file shares one
// connection; each write is committed at once, durably.
namespace db
{

// Checks that the file is this program's database and can be used: it can be
// read, its folder and the file can be written, it is an intact database that
// holds nothing but the program's tables, fields and indexes (no code of its
// own). A file of an older layout is then brought up to this version's, in
// one transaction; a file refused, or one whose migration fails, is left
// byte for byte as it was. The message names the file and what is wrong.
// Pages::Later reads only each table's first and last records instead of
// every page, for a PageCheck to read the rest without holding anyone up.
enum class Pages { All, Later };
Status check(const QString &location, Pages pages = Pages::All);

// Start-up: lays the delivered files in where missing, then checks the
// database file; its pages are left to a PageCheck once the window shows,
// so that twenty years of bookings do not slow the start.
Status prepare();

// The shared connection to a file (opened on first use, after check()).
// Returns an invalid connection with the reason when it can not be opened.
QSqlDatabase connection(const QString &location, Status *status = nullptr);

// Closes every connection (before a file is replaced, and at exit).
void closeAll();

// Closes the connection to one file, so that nothing of the program holds it
// (before the file is copied over or replaced). The next connection() opens
// the file afresh. No record source on the file may be alive: it would lose
// its connection.
void close(const QString &location);

// A counter that grows with every write through any record source on the
// file, so cached counts know when to read again.
quint64 generation(const QString &location);
void bumpGeneration(const QString &location);
// After a write to table of the file: the generation grows, then every
// window hears of it (DataChanges). The write location (data/query.h) says it
// for every write; nothing else needs to.
void changed(const QString &location, const QString &table);

// The identity of the file that the calendar's event identities carry:
// made once, at random, and kept in the file.
[[nodiscard]] Status calendarIdentity(const QString &location, quint32 &identity);

// The record sources alive on the file: each record source says when it
// opens and closes. While any lives, the file must not be copied over or
// replaced.
void sourceOpened(const QString &location);
void sourceClosed(const QString &location);
int openSources(const QString &location);

// Whether the database at location is on a server (a connection URI) rather
// than in a file.
bool onServer(const QString &location);

// The file's name as the messages show it.
QString displayName(const QString &location);

// "The database file <name> <what>": every message about the file itself.
Status fileFailure(const QString &location, const QString &what);

} // namespace db
} // namespace bm
