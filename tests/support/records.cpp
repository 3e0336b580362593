#include "records.h"

#include "checks.h"
#include "recordcount.h"

namespace bm::test
{

Bookmark addRecord(const QString &table, const FieldValues &values)
{
    RecordSource rs(QStringLiteral("adder"), table);
    if (!BM_CHECK(rs.AddNew()))
        return {};
    for (const auto &[field, value] : values)
        if (!BM_CHECK(rs.setValue(field, value)))
            return {};
    if (!BM_CHECK(rs.Update()))
        return {};
    return rs.LastModified();
}

Bookmark addContact(const QString &name, const QString &homePhone)
{
    return addRecord(QStringLiteral("Phone"),
        { { QStringLiteral("Name"), name }, { QStringLiteral("Home Telephone Number"), homePhone } });
}

void fillTable(const QString &table, const QList<QHash<QString, QVariant>> &records)
{
    RecordSource rs(QStringLiteral("fill"), table);
    while (recordCount(rs) > 0) {
        if (!BM_CHECK(rs.MoveFirst()) || !BM_CHECK(rs.Delete()))
            return;
    }
    for (const auto &record : records) {
        FieldValues values;
        for (auto it = record.cbegin(); it != record.cend(); ++it)
            values.append({ it.key(), it.value() });
        if (!addRecord(table, values).isValid())
            return;
    }
}

void fillTable(const QString &table, const QString &field, const QStringList &entries)
{
    QList<QHash<QString, QVariant>> records;
    for (const QString &e : entries)
        records.append({ { field, e } });
    fillTable(table, records);
}

} // namespace bm::test
