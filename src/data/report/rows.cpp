#include "data/report/rows.h"

#include "data/fieldvalue.h"
#include "data/report/messages.h"
#include "data/schema.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace bm::report
{

namespace km = kainjow::mustache;

namespace
{

constexpr int maxRows = 1000000;

// The kind of a result column: that of the table field it comes from, else
// text (a computed value prints as the query gives it).
FieldKind kindOf(sqlite3_stmt *stmt, int column)
{
    const char *table = sqlite3_column_table_name(stmt, column);
    const char *origin = sqlite3_column_origin_name(stmt, column);
    if (!table || !origin)
        return FieldKind::Text;
    const TableDef *def = schema::table(QString::fromUtf8(table));
    if (!def)
        return FieldKind::Text;
    const QString field = QString::fromUtf8(origin);
    for (const FieldDef &f : def->fields)
        if (f.name == field)
            return f.kind;
    return FieldKind::Text;
}

km::data valueOf(sqlite3_stmt *stmt, int column, FieldKind kind, const QLocale &locale)
{
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL || type == SQLITE_BLOB)
        return km::data(false);
    if (kind == FieldKind::Text) { // as the engine writes it
        const auto *raw = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        const int bytes = sqlite3_column_bytes(stmt, column);
        return raw && bytes > 0 ? km::data(std::string(raw, std::size_t(bytes))) : km::data(false);
    }
    // A value its field's kind can not read prints as it is stored.
    const QVariant stored = fieldvalue::fromEngine(sqlite3_column_value(stmt, column));
    const QVariant typed = fieldvalue::fromStored(kind, stored);
    const QString text
        = typed.isNull() ? stored.toString() : fieldvalue::shown(typed, fieldvalue::Amounts::Printed, locale);
    return text.isEmpty() ? km::data(false) : km::data(text.toStdString());
}

} // namespace

const QStringList &rowNames()
{
    static const QStringList names = { QStringLiteral("Row Number"), QStringLiteral("First Row"),
        QStringLiteral("Last Row"), QStringLiteral("Even Row") };
    return names;
}

Status readRows(
    sqlite3 *h, const Query &q, Statement &st, const QLocale &locale, km::data &rows, QSet<QString> &names)
{
    const int columns = sqlite3_column_count(st.stmt);
    std::vector<std::string> columnNames;
    std::vector<FieldKind> kinds;
    for (int c = 0; c < columns; ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(st.stmt, c));
        names.insert(name);
        columnNames.push_back(name.toStdString());
        kinds.push_back(kindOf(st.stmt, c));
    }

    std::vector<km::data> list;
    int rc;
    {
        const TimeLimit limit(h);
        while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
            if (int(list.size()) >= maxRows)
                return says::queryTooManyRows(q.name, maxRows);
            km::data row;
            for (int c = 0; c < columns; ++c)
                row[columnNames[std::size_t(c)]] = valueOf(st.stmt, c, kinds[std::size_t(c)], locale);
            row["Row Number"] = km::data(std::to_string(list.size() + 1));
            row["First Row"] = km::data(list.empty());
            row["Even Row"] = km::data(list.size() % 2 == 1);
            list.push_back(std::move(row));
        }
    }
    if (rc != SQLITE_DONE)
        return says::queryFailed(q.name, QString::fromUtf8(sqlite3_errmsg(h)));

    rows = km::data(km::data::type::list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i]["Last Row"] = km::data(i + 1 == list.size());
        rows.push_back(list[i]);
    }
    return Status::ok();
}

} // namespace bm::report
