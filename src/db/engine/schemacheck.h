#pragma once

#include "core/status.h"

#include <QString>

struct sqlite3;

namespace bm
{

// Reading a database file's layout before the program uses it. A file that a
// guide lays in, restores or gets from a repair may hold more than tables:
// triggers and views run code of the file's own when records are written or
// read, and a table without its record key lets one edit overwrite several
// records. Such a file is refused whole, before anything of it runs and
// before anything is written to it.
namespace schemacheck
{

// What reading a file found: the layout version it has, or why the program
// can not use it (status failed, version 0).
struct Finding {
    Status status;
    int version = 0;
    QString problem; // the message's words after the file's name
};

// Reads the file at path and tells its layout, changing nothing in it and
// running nothing it holds. A file without the version mark whose tables and
// fields are all there has layout 1. shownAs is the name the messages give
// the file (the path when empty): a restore names the backup, not the copy
// it checks. checkPages: run the engine's quick check of every page as well
// (a caller that runs the full integrity check itself leaves it out).
Finding inspect(const QString &path, const QString &shownAs = QString(), bool checkPages = true);

// The same on a connection already open (a migration checks its work with it
// before committing). newest: the newest layout accepted. checkPages: run the
// engine's quick check of every page as well.
Finding inspect(sqlite3 *db, const QString &shownAs, int newest, bool checkPages);

// The layout the version mark gives, read within a migration's transaction:
// the mark's version; 1 for a file with tables but no mark; 0 for a file
// without any table (a new file). -1 with the reason when the mark can not
// be read.
int layoutOf(sqlite3 *db, QString *problem);

// How a connection of the data layer's own opens a file.
enum class Access {
    Read, // existing file; nothing is written (query_only)
    Write, // existing file
    Create, // created when missing
};

// A connection of the data layer's own, on which nothing the file holds can
// run: defensive, the file's schema not trusted, triggers and views off.
// nullptr with the reason when the file can not be opened. Closed with
// sqlite3_close_v2.
sqlite3 *openGuarded(const QString &path, Access access, QString *reason);

// "The database file <shown> <what>", the words of every message about the
// file itself.
QString fileMessage(const QString &shownAs, const QString &what);

} // namespace schemacheck
} // namespace bm
