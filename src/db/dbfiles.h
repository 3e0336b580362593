#pragma once

#include "core/status.h"

#include <QLocale>
#include <QString>

namespace bm
{

// Backup, restore and repair of the database file itself. Each operation
// writes its new file beside the file it will replace, makes sure the new
// file is a sound database of this program and on the disk, and then renames
// it over the old one: at every moment the old file is either untouched or
// wholly replaced. A failure leaves the old file as it was and removes what
// the operation had begun.
//
// No record source may be alive on the database while these run: the caller
// makes sure of that; the operations close the program's connection to the
// file themselves.
//
// A database on a server (its location a connection URI) keeps its own
// files: its backup is an archive of the server's dump tool, its repair the
// server's own maintenance, and its restore is left to the server's
// administrator.
namespace dbfiles
{

// The steps of the operations, in the order in which they run.
enum class Step {
    OpenSource, // reading the file to copy, or opening the database to compact
    CreateTemp, // the new file, beside the file it will replace
    Dump, // the server's dump tool writes the archive into the new file
    CopyChunk, // one piece of a copy (a copy has many)
    Compact, // the engine writes the compacted copy; on a server, its maintenance
    SyncFile, // the new file reaches the disk
    Verify, // the new file is an intact database of this program (or archive)
    Replace, // the new file takes the old one's name
    SyncFolder, // the new name reaches the disk
};

// Looks on while an operation runs: called before every step, and now and
// then during a long one. The window keeps painting from progress(); tests
// make a step fail.
class Observer
{
public:
    virtual ~Observer() = default;
    // false: the step fails as if the system had refused it.
    virtual bool proceed(Step) { return true; }
    virtual void progress() { }
};

// The name of the backup, the compacted copy and the database.
inline constexpr char databaseName[] = "tallow.mdb";
inline constexpr char compactName[] = "tallow2.mdb";

// Copies the database to tallow.mdb in the folder, replacing an older backup
// there only once the new one is complete and sound.
Status backup(const QString &database, const QString &folder, Observer *observer = nullptr);

// Writes an archive of the database on a server (pg_dump's custom format,
// which pg_restore reads) to the file, replacing an older file there only
// once the new archive is complete and readable. The dump tool connects with
// the URI's parameters; a password in the URI reaches it through its
// environment, never its command line, and libpq otherwise reads
// ~/.pgpass.
Status serverBackup(const QString &uri, const QString &file, Observer *observer = nullptr);

// Copies tallow.mdb of the folder over the database, once the copy has shown
// itself an intact database of this program. A database on a server is
// refused, unchanged: restoring it is its administrator's work.
Status restore(const QString &folder, const QString &database, Observer *observer = nullptr);

// Compacts the database into tallow2.mdb beside it, which then takes the
// database's name. Fails, changing nothing, when tallow2.mdb is there
// already. On a server: VACUUM (ANALYZE) of each of the program's tables; a
// table the server skips (not the connection's own) fails it.
Status repair(const QString &database, Observer *observer = nullptr);

// The length of a file in bytes; -1 when it can not be read.
qint64 fileSize(const QString &path);

// The size of the database in bytes: its file's, or on a server what the
// server keeps for it. -1 when it can not be told.
qint64 databaseSize(const QString &database);

// A file size as the database utility shows it: the bytes divided by 1024,
// in the general number format (up to 15 significant digits, no thousands
// separator, no trailing zeros), then " KB". 1536 bytes: "1.5 KB".
QString sizeText(qint64 bytes, const QLocale &locale = QLocale());

} // namespace dbfiles
} // namespace bm
