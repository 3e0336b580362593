#pragma once

#include "core/status.h"

#include <QList>
#include <QString>

namespace bm::servercopy
{

// What a copy moved, table by table.
struct Report {
    QString server; // as messages name it
    struct Table {
        QString name;
        qint64 records = 0;
    };
    QList<Table> tables;
    // The result in a guide's words, table by table.
    QString summary() const;
};

// Copies the whole database file into the shared database at uri, in one
// transaction: every record of every table with its key, the change
// stamps, and the history and bin of bookings and contacts. The shared database must hold nothing a guide
// wrote (only what an empty one is laid in with); one that does is refused and left as it is. Afterwards
// every table is counted on the server and must hold as many records as in the file, or nothing of the copy
// is kept.
[[nodiscard]] Status copy(const QString &file, const QString &uri, Report *report = nullptr);

} // namespace bm::servercopy
