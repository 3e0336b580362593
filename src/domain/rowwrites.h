#pragma once

#include "core/status.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace bm::db
{
class Transaction;
}

// Writing the records of a list the guide edited as a whole (the booking
// page's trips, a trip's party): what he removed, added and changed, in the
// caller's transaction.
namespace bm::domain
{

// One record as its fields' kept values, in the order of the caller's list
// of fields; id 0 for a record not kept yet.
struct KeptRow {
    qint64 id = 0;
    QVariantList values;
};

// A text as the record sources keep it: an empty text is no value.
QVariant kept(const QString &text);

// The fields' names quoted and joined by commas.
QString quotedList(const QStringList &fields);

// One new record.
[[nodiscard]] Status insertRow(
    db::Transaction &t, const QString &table, const QStringList &fields, const QVariantList &values);

// The fields whose values differ, as "a = ?, b = ?", with their values.
QString changedFields(
    const QStringList &fields, const QVariantList &before, const QVariantList &after, QVariantList &binds);

// The records of a list as the guide left them: those gone from the list
// are deleted, new ones inserted, changed ones updated field by field. A
// record changed here that another desk removed meanwhile is kept as a new
// one.
[[nodiscard]] Status writeRows(db::Transaction &t, const QString &table, const QStringList &fields,
    const QList<KeptRow> &before, const QList<KeptRow> &after);

} // namespace bm::domain
