#pragma once

// Records the tests lay in through a record source, as the program's own
// windows write them: the one place that knows how to add a booking, a
// contact or any record, and how to fill a table.

#include "db/recordsource.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace bm::test
{

// Field to value, in the order they are set.
using FieldValues = QList<QPair<QString, QVariant>>;

// Adds one record to a table. A step that fails fails the running test; the
// new record's bookmark, or an invalid one when it was not written.
Bookmark addRecord(const QString &table, const FieldValues &values);

// A booking with these fields (amounts as a guide types them, "250").
inline Bookmark addBooking(const FieldValues &values)
{
    return addRecord(QStringLiteral("Booking"), values);
}

// A contact with a name and a home telephone number (empty: none typed).
Bookmark addContact(const QString &name, const QString &homePhone = QString());

// Empties a table and writes these records (field to value each), in order.
void fillTable(const QString &table, const QList<QHash<QString, QVariant>> &records);

// Empties a table and writes one record per entry, the entry in one field.
void fillTable(const QString &table, const QString &field, const QStringList &entries);

} // namespace bm::test
