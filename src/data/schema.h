#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace bm
{

// What a field holds, as the screens give it values.
enum class FieldKind { Text, Date, Amount };

struct FieldDef {
    QString name;
    FieldKind kind;
};

struct TableDef {
    QString name;
    QList<FieldDef> fields; // in the table's order, without the hidden key
};

namespace schema
{

// The name of the hidden integer key column every table has.
inline constexpr const char *keyColumn = "ID";

// The seventeen tables of tallow.mdb.
const QList<TableDef> &tables();
const TableDef *table(const QString &name); // exact name; nullptr if unknown

// A name written as an SQL identifier: "Lake Area" -> "Lake Area" in quotes.
QString quoted(const QString &identifier);

} // namespace schema
} // namespace bm
