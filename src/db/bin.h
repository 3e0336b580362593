#pragma once

#include "core/status.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>

// The bin: the bookings and contacts deleted in the last schema::binDays
// days, each kept whole by the database's own trigger as it went, from
// which a guide brings one back.
namespace bm::db::bin
{

struct Entry {
    qint64 id = 0; // the bin's own key
    QString kind; // the record's table: Booking or Phone
    qint64 record = 0; // the record's ID when it was deleted
    QDateTime deleted; // UTC
    QString login; // on a server, who deleted it; empty on the file
    QString summary; // a booking's date (as stored) and client, a contact's name
    QVariantMap row; // the record's fields as stored, its ID included
};

// The entries still kept, the latest deletion first. An empty bin is an
// empty list, not a failure.
[[nodiscard]] Status read(const QString &location, QList<Entry> &out);

// How a restore went: the record is back with its own ID (every record that
// named it, a message of the outbox or a request, names it again), or with
// a new one because its own was taken meanwhile; or the entry was no longer
// there (another desk restored it, or its days were over), and nothing was
// changed.
enum class Outcome { SameId, NewId, Gone };
struct Restored {
    Outcome outcome = Outcome::Gone;
    qint64 record = 0; // the ID the record has now
};

// Brings the entry's record back and takes the entry out of the bin, in one
// transaction: both or neither. Every window hears of the record.
[[nodiscard]] Status restore(const QString &location, qint64 entry, Restored &out);

} // namespace bm::db::bin
