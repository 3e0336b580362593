#pragma once

#include "core/status.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The history of a booking or a contact: what the database's own triggers
// recorded of every addition, change and deletion, whoever made it (the
// program, another desk, the booking page, a tool). Nothing here writes it.
namespace bm::db::history
{

// One event: for a change, one field with its value before and after as the
// database stored them (as text; none is null).
struct Event {
    qint64 id = 0;
    QDateTime at; // UTC
    QString login; // on a server, the session's login; empty on the file
    QString desk; // on a server, the computer's name; empty on the file
    QString action; // historyAction: added, changed, deleted
    QString field;
    QString before;
    QString after;
};

// The events of one record of table (schema::historyTables), the newest
// first. None recorded is an empty list, not a failure.
[[nodiscard]] Status read(const QString &location, const QString &table, qint64 record, QList<Event> &out);

// A stored value of the history as a screen shows the field: a date in the
// short format, an amount with its decimals; a field the program does not
// know, or a value its kind can not read, as it was stored.
QString shown(const QString &table, const QString &field, const QString &stored);

} // namespace bm::db::history
