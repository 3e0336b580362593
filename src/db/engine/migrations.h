#pragma once

#include "core/status.h"

#include <QList>
#include <QString>

#include <functional>

struct sqlite3;

namespace bm
{

// The layouts of the database file and the steps from one to the next.
//
// Layout 1 is the file as the program first delivered it: the seventeen
// tables, no mark. Layout 2 adds the version mark (a table of the program's
// own, since PRAGMA user_version holds the calendar identity) and the
// indexes the windows sort, search and count by. Layout 3 adds the change
// stamps of bookings and reminders (schema.h: the stamp table and the
// triggers that keep it); the records already there are stamped as never
// changed, at the time of the upgrade. Layout 4 adds the table of the
// position of the guide's home water. Layout 5 changes only the shared
// database (server.cpp: its truth test, and its indexes in sort order).
// Layout 6 adds the roster of a lodge's guides and the guide of each
// booking. Layout 7 adds a booking's Status, Party Size and Start Time (the
// bookings there become Confirmed) and the tables of the booking page.
// Layout 8 adds the outbox of mail, the mail server's settings and the mail
// texts. Layout 9 changes only the shared database (the outbox's functions
// for the booking page's service). Layout 10 adds the history of bookings
// and contacts and the bin of deleted ones (schema.h, historySince), kept
// by triggers. Layout 11 changes only the shared database (the lodge's
// rights, rightssql.h). Layout 12 adds a trip's party and its catch by
// angler and site, the state's site codes, a trip's number of days and the
// guides' licence numbers. Layout 13 adds the busy times read from the
// guide's own calendar.
//
// To add a field or a table later: give its FieldDef or TableDef in
// schema.cpp `since = N` and append a step of version N (its apply may do
// nothing more); the runner adds every table, field and index of that layout,
// and the check of a file compares it with the tables and fields of its own
// layout.
namespace migrations
{

// The layout this program writes and reads.
inline constexpr int currentVersion = 13;

// The version mark: one row, its Version a whole number.
inline constexpr const char markTable[] = "Schema Version";
inline constexpr const char markField[] = "Version";

struct Step {
    int version; // the layout the file has once the step has run
    // Changes the file; an empty answer when done, otherwise why it failed.
    std::function<QString(sqlite3 *)> apply;
};

// The program's steps, from an empty file up to currentVersion.
const QList<Step> &steps();

// Brings the file open on db from the layout it has up to the last step's
// version, in one transaction: every step, the fields and indexes of each
// layout, the mark, and a check of the result against that layout. A step
// that fails rolls everything back, and the file is left byte for byte as it
// was. shownAs names the file in messages.
Status upgrade(sqlite3 *db, const QString &shownAs, const QList<Step> &steps = migrations::steps());

// The same on the file at path, on a connection of its own.
Status upgradeFile(const QString &path, const QString &shownAs = QString());

} // namespace migrations
} // namespace bm
