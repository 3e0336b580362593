#pragma once

#include "core/status.h"

#include <QString>

namespace bm::ics
{

// The identity of a database file that the events' UIDs carry: eight hex
// digits, drawn at random on the first calendar export and kept in the
// file's header (its user version), so that copies, backups and restores of
// the file keep it and another guide's file has its own.
QString databaseIdentity(const QString &databasePath);

// The UID of the event of one record: "booking-42.1a2b3c4d@brindlemoor".
QString eventUid(const QString &kind, qint64 key, const QString &identity);

struct Counts {
    int bookings = 0;
    int reminders = 0;
};

// Writes an iCalendar file (RFC 5545) with one all-day event for each
// booking and each reminder that has a date. A booking's event is titled with
// the client's name and the lake, placed at the meeting place, and describes
// the trip type, telephone numbers and notes. Each event carries the
// record's change stamp (schema.h): SEQUENCE, which grows with every change
// of the record, and LAST-MODIFIED (UTC) where the time is known, so that a
// calendar that imports the file again takes the newer version. Line breaks
// of any kind are written as the calendar's own. The file appears whole or
// not at all, readable by its owner only.
Status exportCalendar(const QString &databasePath, const QString &filePath, Counts *counts = nullptr);

} // namespace bm::ics
