#include "reports/rows.h"

#include "db/fieldvalue.h"
#include "db/readonly.h"
#include "reports/messages.h"
#include "schema/schema.h"

#include <deque>
#include <string>
#include <vector>

namespace bm::report
{

namespace km = kainjow::mustache;

namespace
{

constexpr int maxRows = 1000000;

// What kainjow data takes for the report's values besides their text, on a
// 64-bit build (glibc allocates in steps of 16 with 8 bytes to spare):
// - each value of a row: the node of the row's map (link, key, data and hash,
//   96 bytes, 112 as allocated) and its share of the bucket array;
constexpr qint64 perValue = 128;
// - a text value: its std::string, on the heap of its own (48 as allocated),
//   and past the 15 bytes kept inside it a buffer (see heapBytes);
constexpr qint64 perText = 48;
// - each row: its map (64 as allocated), its place in the list (48) and in
//   the queue it is read into, which stands beside the list for a moment.
constexpr qint64 perRow = 160;
// Rows read between two words to the progress, and bytes.
constexpr qint64 progressRows = 4096;
constexpr qint64 progressBytes = qint64(16) << 20;

// A text's buffer beside its std::string, as allocated.
qint64 heapBytes(qsizetype length)
{
    return length > 15 ? (qint64(length) + 1 + 8 + 15) & ~qint64(15) : 0;
}

// A text value without a copy: kainjow data only takes a text by copying
// it, so the text is swapped into the string the data holds (its own
// object on the heap, which is not const).
km::data textData(std::string &&text)
{
    km::data d(km::data::type::string);
    const_cast<std::string &>(d.string_value()).swap(text);
    return d;
}

// The kind of a result column: that of the table field it comes from, else
// text (a computed value prints as the query gives it).
FieldKind kindOf(const db::Query &statement, int column)
{
    const TableDef *def = schema::table(statement.originTable(column));
    if (!def)
        return FieldKind::Text;
    const QString field = statement.originField(column);
    for (const FieldDef &f : def->fields)
        if (f.name == field)
            return f.kind;
    return FieldKind::Text;
}

// One value, counted against the budget before it is copied.
Status valueOf(const Query &q, const db::Query &statement, int column, FieldKind kind, const QLocale &locale,
    DataBudget &budget, km::data &out)
{
    out = km::data(false);
    if (statement.isNullAt(column))
        return Status::ok();
    const QVariant stored = statement.valueAt(column);
    if (stored.typeId() == QMetaType::QByteArray) // a blob prints as nothing
        return Status::ok();
    std::string text;
    if (kind == FieldKind::Text) { // as the engine writes it
        const QByteArrayView view = statement.textAt(column);
        // The engine refuses longer values; this holds if that changes.
        if (view.size() > db::ReadOnlyConnection::maxValueBytes)
            return says::queryValueTooLarge(q.name);
        budget.bytes += perText + heapBytes(view.size());
        if (budget.bytes > DataBudget::maxBytes)
            return says::dataTooLarge(q.name, int(DataBudget::maxBytes >> 20));
        text.assign(view.data(), std::size_t(view.size()));
    } else {
        // A value its field's kind can not read prints as it is stored.
        const QVariant typed = fieldvalue::fromStored(kind, stored);
        text = (typed.isNull() ? stored.toString()
                               : fieldvalue::shown(typed, fieldvalue::Amounts::Printed, locale))
                   .toStdString();
        budget.bytes += perText + heapBytes(qsizetype(text.size()));
        if (budget.bytes > DataBudget::maxBytes)
            return says::dataTooLarge(q.name, int(DataBudget::maxBytes >> 20));
    }
    if (!text.empty())
        out = textData(std::move(text));
    return Status::ok();
}

} // namespace

const QStringList &rowNames()
{
    static const QStringList names = { QStringLiteral("Row Number"), QStringLiteral("First Row"),
        QStringLiteral("Last Row"), QStringLiteral("Even Row") };
    return names;
}

Status readRows(const Query &q, db::Query &statement, const QLocale &locale, const QSet<QString> &used,
    DataBudget &budget, Progress &progress, km::data &rows, QSet<QString> &names)
{
    // Only the columns the layout names are kept: a SELECT * of fifty
    // fields for a page that shows twenty would take the memory of fifty.
    struct Column {
        int index;
        std::string name;
        FieldKind kind;
    };
    std::vector<Column> columns;
    qint64 rowBytes = perRow;
    for (int c = 0; c < statement.columnCount(); ++c) {
        const QString name = statement.columnName(c);
        names.insert(name);
        if (!used.contains(name))
            continue;
        columns.push_back({ c, name.toStdString(), kindOf(statement, c) });
        rowBytes += perValue + heapBytes(qsizetype(columns.back().name.size()));
    }
    const bool rowNumber = used.contains(rowNames().at(0)), firstRow = used.contains(rowNames().at(1)),
               lastRow = used.contains(rowNames().at(2)), evenRow = used.contains(rowNames().at(3));
    for (const QString &name : rowNames())
        if (used.contains(name))
            rowBytes += perValue + (name == rowNames().at(0) ? perText : 0);

    // A deque: growing it moves no row. kainjow data's move may throw, so a
    // growing vector would copy every row it holds.
    std::deque<km::data> read;
    qint64 nextRows = budget.rows + progressRows, nextBytes = budget.bytes + progressBytes;
    while (statement.next()) {
        if (read.size() >= std::size_t(maxRows))
            return says::queryTooManyRows(q.name, maxRows);
        budget.bytes += rowBytes;
        km::data row;
        for (const Column &c : columns) {
            km::data value;
            if (const Status s = valueOf(q, statement, c.index, c.kind, locale, budget, value); !s)
                return s;
            row[c.name] = std::move(value);
        }
        if (budget.bytes > DataBudget::maxBytes)
            return says::dataTooLarge(q.name, int(DataBudget::maxBytes >> 20));
        if (rowNumber)
            row["Row Number"] = km::data(std::to_string(read.size() + 1));
        if (firstRow)
            row["First Row"] = km::data(read.empty());
        if (lastRow)
            row["Last Row"] = km::data(false);
        if (evenRow)
            row["Even Row"] = km::data(read.size() % 2 == 1);
        read.push_back(std::move(row));
        ++budget.rows;
        if (budget.rows >= nextRows || budget.bytes >= nextBytes) {
            nextRows = budget.rows + progressRows;
            nextBytes = budget.bytes + progressBytes;
            if (!progress.advance(budget.rows, 0))
                return says::stopped();
        }
    }
    // A server that stopped part way has said it in the report's words.
    if (!statement.status())
        return statement.reason().isEmpty() ? statement.status()
                                            : says::queryFailed(q.name, statement.reason());
    if (lastRow && !read.empty())
        read.back()["Last Row"] = km::data(true);

    // The list is filled in place, room made first, so that every row is
    // moved into it once: kainjow data gives its list only as const, though
    // the list is its own object on the heap.
    rows = km::data(km::data::type::list);
    auto &list = const_cast<km::list &>(rows.list_value());
    list.reserve(read.size());
    while (!read.empty()) {
        list.push_back(std::move(read.front()));
        read.pop_front();
    }
    return Status::ok();
}

} // namespace bm::report
