#pragma once

#include "core/status.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// This desk's calendar sync, as the guide set it up in Options > Calendar
// Sync: kept in the desk's settings file (Brindlemoor.conf, group
// "calendar"), beside the desk's choice of database. The password is never
// there: it lives in the desktop's keyring under keyringKey().
namespace bm::calsync
{

class Courier;

struct Config {
    QString server; // the CalDAV server's address, https://...
    QString user;
    QString calendarUrl; // where the trips go; empty: nothing goes
    QString calendarName; // its name, as discovery found it
    QStringList busyAddresses; // the server's calendars busy time is read from
    QString subscription; // and an .ics address (https:// or webcal://)
    bool reminders = false; // the reminders go too
    QString guide; // on a roster, whose trips go; empty: every trip
    bool operator==(const Config &) const = default;
};

// Whether the desk syncs at all: a calendar chosen for the trips, or busy
// time to read (check() asks a server of the calendars).
inline bool isSetUp(const Config &c)
{
    return !c.calendarUrl.isEmpty() || !c.busyAddresses.isEmpty() || !c.subscription.isEmpty();
}

// Whether the settings can be kept: a server's http(s) address without a
// password in it, a user without control characters, calendar addresses on
// http(s). The failure says which, in the guide's words.
[[nodiscard]] Status check(const Config &config);

[[nodiscard]] Status readConfig(Config &config);
// Checks (blanks trimmed) and writes; nothing is written when refused.
[[nodiscard]] Status writeConfig(const Config &config);

// The keyring's key of the password, "calendar:<user>@<host>"; empty
// without a user.
QString keyringKey(const Config &config);

// Where this desk keeps what it has put on the calendar, for the database
// at location: a file of its own in the data folder for each database and
// calendar. Another choice of trips keeps the file, so that what no longer
// goes (the reminders, another guide's trips) is taken off the calendar.
QString journalPath(const Config &config, const QString &location);

// How the last round went, kept so that the window shows it after a start.
struct LastRound {
    QDateTime when;
    bool ok = true;
    QString state;
};
LastRound readLastRound();
void writeLastRound(const LastRound &round);

// The sync's log, a file of this desk's data folder (calendar-sync.log):
// each round's notes (an event written over, one the server refused) and
// its state, each line after the round's time. It keeps its last 256 KB.
QString logPath();
void appendToLog(const QDateTime &when, const QStringList &lines);
// Its last lines, at most count of them.
QStringList lastLogLines(int count);

// The program's courier, for the window's Sync Now; nullptr when none runs.
Courier *programCourier();
void setProgramCourier(Courier *courier);

} // namespace bm::calsync
