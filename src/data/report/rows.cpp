#include "data/report/rows.h"

#include "data/fieldvalue.h"
#include "data/report/messages.h"
#include "data/schema.h"

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

km::data valueOf(const db::Query &statement, int column, FieldKind kind, const QLocale &locale)
{
    if (statement.isNullAt(column))
        return km::data(false);
    const QVariant stored = statement.valueAt(column);
    if (stored.typeId() == QMetaType::QByteArray) // a blob prints as nothing
        return km::data(false);
    if (kind == FieldKind::Text) { // as the engine writes it
        const QByteArrayView text = statement.textAt(column);
        return text.isEmpty() ? km::data(false)
                              : km::data(std::string(text.data(), std::size_t(text.size())));
    }
    // A value its field's kind can not read prints as it is stored.
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
    const Query &q, db::Query &statement, const QLocale &locale, km::data &rows, QSet<QString> &names)
{
    const int columns = statement.columnCount();
    std::vector<std::string> columnNames;
    std::vector<FieldKind> kinds;
    for (int c = 0; c < columns; ++c) {
        const QString name = statement.columnName(c);
        names.insert(name);
        columnNames.push_back(name.toStdString());
        kinds.push_back(kindOf(statement, c));
    }

    std::vector<km::data> list;
    while (statement.next()) {
        if (int(list.size()) >= maxRows)
            return says::queryTooManyRows(q.name, maxRows);
        km::data row;
        for (int c = 0; c < columns; ++c)
            row[columnNames[std::size_t(c)]] = valueOf(statement, c, kinds[std::size_t(c)], locale);
        row["Row Number"] = km::data(std::to_string(list.size() + 1));
        row["First Row"] = km::data(list.empty());
        row["Even Row"] = km::data(list.size() % 2 == 1);
        list.push_back(std::move(row));
    }
    if (!statement.status())
        return says::queryFailed(q.name, statement.reason());

    rows = km::data(km::data::type::list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i]["Last Row"] = km::data(i + 1 == list.size());
        rows.push_back(list[i]);
    }
    return Status::ok();
}

} // namespace bm::report
