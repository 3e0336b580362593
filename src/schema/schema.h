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
    int since = 1; // the layout that brought the table in
};

namespace schema
{

// The name of the hidden integer key column every table has.
inline constexpr const char *keyColumn = "ID";

// The tables of tallow.mdb: the seventeen it has always had, then those
// later layouts brought in.
const QList<TableDef> &tables();
const TableDef *table(const QString &name); // exact name; nullptr if unknown

// An index the windows sort, search and count by. Other parts of the
// program name these indexes, so their names never change.
struct IndexDef {
    QString name;
    QString table;
    QString field;
    int since; // the layout that brought it in
    bool unique = false; // no two records with the same value (empty ones aside)
};
const QList<IndexDef> &indexes();

// The names of a table's fields in its order, without the hidden key.
QStringList fieldNames(const TableDef &table);

// The type a field is declared with: TEXT, DATE or CURRENCY.
QString declaredType(FieldKind kind);

// The CREATE TABLE statement of a table as the given layout has it: the
// hidden key first, then the fields of that layout in their order.
QString createStatement(const TableDef &table, int layout);

// The CREATE INDEX statement of an index.
QString createStatement(const IndexDef &index);

// A name written as an SQL identifier: "Lake Area" -> "Lake Area" in quotes.
QString quoted(const QString &identifier);
inline QString quoted(const char *identifier)
{
    return quoted(QString::fromLatin1(identifier));
}

// The change stamps of the records a calendar shows: for each booking and
// reminder, how many times it has been changed since it was made (its
// sequence) and when it last was (UTC, "yyyy-MM-ddTHH:mm:ssZ"). The triggers
// below keep them, so every write of those tables counts, whoever makes it.
// A record may have no stamp (written where triggers were off): it counts as
// never changed, time unknown.
inline constexpr const char stampTable[] = "Change Stamp";
inline constexpr int stampsSince = 3; // the layout that brought them in

// The tables whose records carry a stamp; a stamp's Kind is its table's name.
const QStringList &stampedTables();

// The CREATE TABLE statement of the stamp table.
QString createStampTable();

// A trigger the program keeps in the file. A file may hold these and no
// other, each exactly as written here.
struct TriggerDef {
    QString name;
    QString table;
    QString sql; // the CREATE TRIGGER statement
};

// The stamp triggers of a layout (none before stampsSince): a new record is
// stamped with sequence 0, a change to any field of the layout's adds one,
// and a deleted record loses its stamp. A save that changes nothing leaves
// the stamp as it is.
QList<TriggerDef> stampTriggers(int layout);

// The history of bookings and contacts and the bin of the deleted ones
// (fields.h: table::History, table::Bin), from layout historySince on. Both
// are written by triggers alone: a new record writes one "added" event, a
// save one "changed" event for each field whose value changed (a save that
// changes nothing writes none), a deletion a "deleted" event and the whole
// record into the bin, where it is kept binDays days. The file's triggers
// write no login or desk; the server's write its session's.
inline constexpr int historySince = 10;
inline constexpr int binDays = 30;
inline constexpr const char historyIndex[] = "History by Record";

// The tables whose records have a history and go to the bin.
const QStringList &historyTables();

// The CREATE statements of the two tables and of the history's index, as
// the file has them.
QString createHistoryTable();
QString createBinTable();
QString createHistoryIndex();

// The history's and the bin's triggers of a layout (none before
// historySince), each naming the fields of its layout.
QList<TriggerDef> historyTriggers(int layout);

// Every trigger the program keeps in a file of the layout: the stamps' and
// the history's.
QList<TriggerDef> ownTriggers(int layout);

} // namespace schema
} // namespace bm
