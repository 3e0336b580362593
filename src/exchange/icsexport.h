#pragma once

#include "core/status.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace bm::ics
{

// The identity of a database file that the events' UIDs carry: eight hex
// digits, drawn at random on the first calendar export and kept in the
// file's header (its user version), so that copies, backups and restores of
// the file keep it and another guide's file has its own.
QString databaseIdentity(const QString &databasePath);

// The UID of the event of one record: "booking-42.1a2b3c4d@brindlemoor".
QString eventUid(const QString &kind, qint64 key, const QString &identity);

// Which records become events.
struct EventChoice {
    bool bookings = true;
    bool reminders = true;
    bool skipCancelled = false; // leave out bookings whose Status is Cancelled
    QString guide; // non-empty: only the bookings whose Guide is this
    // When given, only the events it wants are written out; the others come
    // with their uid and sequence and an empty vevent, at little cost.
    std::function<bool(const QString &uid, int sequence)> wanted;
};

// One record's event, as the calendar file and the calendar server get it.
struct EventText {
    QString kind; // "booking" or "reminder"
    qint64 key = 0;
    QString uid;
    int sequence = 0;
    QByteArray vevent; // one serialized VEVENT; empty when not wanted
};

// Calls each for every record with a date, bookings then reminders, each in
// ID order; stops with the first failure, the callback's included. A
// booking's event lasts its Days (empty: one day, at most 99).
[[nodiscard]] Status eachEvent(const QString &databasePath, const EventChoice &choice,
    const std::function<Status(const EventText &)> &each);

// A whole VCALENDAR around one VEVENT, as a calendar server keeps each event.
QByteArray calendarText(const QByteArray &vevent);

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
