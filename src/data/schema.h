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
    // The layout of the file (see migrations.h) that brought the field in:
    // a file of an older layout is checked without it, and the migration to
    // that layout adds it.
    int since = 1;
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

// An index the windows sort, search and count by. Other parts of the
// program name these indexes, so their names never change.
struct IndexDef {
    QString name;
    QString table;
    QString field;
    int since; // the layout that brought it in
};
const QList<IndexDef> &indexes();

// The type a field is declared with: TEXT, DATE or CURRENCY.
QString declaredType(FieldKind kind);

// The CREATE TABLE statement of a table as the given layout has it: the
// hidden key first, then the fields of that layout in their order.
QString createStatement(const TableDef &table, int layout);

// The CREATE INDEX statement of an index.
QString createStatement(const IndexDef &index);

// A name written as an SQL identifier: "Lake Area" -> "Lake Area" in quotes.
QString quoted(const QString &identifier);

} // namespace schema
} // namespace bm
