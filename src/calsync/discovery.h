#pragma once

#include "calsync/caldav.h"

namespace bm::calsync
{

struct Calendar {
    QString url; // absolute
    QString name; // the display name, or the last part of the path
    bool events = true; // takes events (VEVENT)
};

// Finds the calendars of the account's user: the principal of the server
// address (or of /.well-known/caldav), its calendar home, the calendars in it.
[[nodiscard]] Status findCalendars(const Account &account, QList<Calendar> &out);

} // namespace bm::calsync
