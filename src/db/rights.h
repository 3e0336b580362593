#pragma once

#include "core/status.h"

#include <QString>

namespace bm::db
{

// What the desk may do with the database. The file on one desk is one
// person's, with every right. On a lodge's shared database the server says
// (and enforces it): an owner may do everything, the office everything but
// change the roster, a guide only his own trips (the bookings the roster
// names him for, their clients, invoices and messages), with every other
// trip shown on his schedule as booked.
enum class Role { Owner, Office, Guide };

// The server's view of every trip a guide's schedule reads instead of
// Booking: the other guides' trips with their date, start time, lake, guide
// and state, and "booked" for the client.
inline constexpr char scheduleView[] = "Schedule";
inline constexpr char bookedByOthers[] = "booked";

struct Rights {
    Role role = Role::Owner;
    QString login; // the server's login; empty on the file
    QString guide; // the roster's name of a guide's login; empty when none

    bool isGuide() const { return role == Role::Guide; }
    // The lodge's settings: the guide details, the booking page, mail.
    bool mayChangeSettings() const { return role != Role::Guide; }
    bool mayChangeRoster() const { return role == Role::Owner; }
    // The deleted records of every guide, and the bin they are kept in.
    bool maySeeBin() const { return role != Role::Guide; }
};

// Reads the rights of the desk's session on the database at location (the
// program's own database if empty). A database on a server laid in before
// the lodge's rights gives every right, as before.
[[nodiscard]] Status readRights(const QString &location, Rights &out);

// The role a login has on the lodge's shared database at location, in the
// server's words: "owner", "office", "guide", or empty for a login that is
// no desk of the lodge. Empty on the file, and on a server laid in before
// the lodge's rights.
[[nodiscard]] Status roleOf(const QString &location, const QString &login, QString &role);

// The rights read when the program's database was last opened (the program
// keeps them for its windows; tests set them).
const Rights &rights();
void setRights(const Rights &rights);

// Why a command a role may not use is disabled, for its tooltip.
QString notForRole(const Rights &rights);

} // namespace bm::db
