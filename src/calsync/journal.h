#pragma once

#include "core/status.h"

#include <QFile>
#include <QHash>
#include <QString>

namespace bm::calsync
{

// What this desk has put on one calendar: each event's sequence and the
// server's ETag, kept in a file so that a sync that was killed leaves at most
// the request in flight unknown. The file's first line names the calendar;
// then a line "uid \t sequence \t etag" per answer, "-" as the sequence of a
// deleted event and "!N" of an event the server refused at sequence N.
class Journal
{
public:
    struct Entry {
        int sequence = -1;
        QString etag;
        int refused = -1; // the sequence the server last refused; -1: none
    };

    Journal() = default;
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // Reads the journal at path for the calendar at calendarUrl; a missing
    // file or one of another calendar starts a fresh one.
    [[nodiscard]] Status open(const QString &path, const QString &calendarUrl);

    const QHash<QString, Entry> &entries() const { return m_entries; }

    // Each written to the file and flushed to the disk before it returns.
    [[nodiscard]] Status put(const QString &uid, int sequence, const QString &etag);
    [[nodiscard]] Status remove(const QString &uid);
    [[nodiscard]] Status refuse(const QString &uid, int sequence);

private:
    [[nodiscard]] Status append(const QByteArray &line);
    [[nodiscard]] Status rewrite();

    QString m_path;
    QString m_calendarUrl;
    QHash<QString, Entry> m_entries;
    QFile m_file;
    int m_lines = 0;
};

} // namespace bm::calsync
