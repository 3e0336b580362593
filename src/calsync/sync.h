#pragma once

#include "calsync/caldav.h"
#include "calsync/journal.h"

#include <QList>
#include <QStringList>

#include <atomic>

namespace bm::calsync
{

// Which records go to which calendar.
struct Target {
    QString location; // the database
    QString calendarUrl;
    bool reminders = false;
    QString guide; // empty: every trip
    QString journalPath;
};

struct Change {
    enum Kind { Put, Delete } kind = Put;
    QString uid;
    int sequence = 0;
    QByteArray text; // the VCALENDAR of a Put
    QString etag; // known from the journal; empty: new on the server
};

// What the calendar needs to follow the records: each event whose sequence
// differs from the journal's is put, each one the journal has that is no
// longer among the records (cancelled, deleted, filtered out) is deleted.
[[nodiscard]] Status plan(const Target &target, const Journal &journal, QList<Change> &out);

struct Outcome {
    int sent = 0;
    int deleted = 0;
    int overwritten = 0;
    int requests = 0;
    int left = 0; // not tried: the round stopped
    Status status; // the first failure, in plain words
    QStringList log;
};

// Sends the changes, writing each answer into the journal at once. Runs on a
// worker thread; stop, when set, ends the round before its next request.
Outcome carryOut(const Account &account, const Target &target, Journal &journal, const QList<Change> &changes,
    const std::atomic_bool *stop = nullptr);

// The name of an event's resource in the calendar: the uid with every
// character but letters, digits, '-', '_' and '.' written as %XX, and ".ics".
QString resourceName(const QString &uid);

} // namespace bm::calsync
