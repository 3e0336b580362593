#pragma once

#include "core/status.h"
#include "schema/schema.h"

#include <QLocale>
#include <QString>
#include <QVariant>

struct sqlite3_value;

namespace bm
{

// The one conversion between what the database file holds and what a field
// of a given kind shows and accepts.
//
//   stored   what the file holds: text; a date as yyyy-MM-dd; an amount as a
//            whole number of ten-thousandths
//   typed    QString, QDate or Money; null for no value
//   shown    the text a screen or a printed page shows
namespace fieldvalue
{

// The typed value of a stored one. Null for no value, and for a value the
// field's kind can not read (a date field holding "soon").
QVariant fromStored(FieldKind kind, const QVariant &stored);

// The stored form of a typed value; null stays null.
QVariant toStored(const QVariant &typed);

// Amounts on a screen keep every significant decimal ("2.675", "250.00");
// printed they are "###0.00".
enum class Amounts { Editing, Printed };

// A typed value as shown: dates in the short date format, amounts in the
// given style, empty for no value.
QString shown(const QVariant &typed, Amounts amounts = Amounts::Editing, const QLocale &locale = QLocale());

// A stored value as shown; a value the kind can not read shows empty.
QString shownStored(FieldKind kind, const QVariant &stored, Amounts amounts = Amounts::Editing,
    const QLocale &locale = QLocale());

// What a screen hands over, as the field's typed value: a QString, QDate,
// QDateTime or Money, a whole or fractional number for an amount, or text in
// the system's formats. An empty text is no value. A failure names the value
// and the field when the field can not hold it.
[[nodiscard]] Status fromInput(const FieldDef &field, const QVariant &in, QVariant &out);

// A value as the engine hands it to a function or a result row, as stored.
QVariant fromEngine(sqlite3_value *value);

} // namespace fieldvalue
} // namespace bm
