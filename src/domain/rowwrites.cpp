#include "domain/rowwrites.h"

#include "db/query.h"
#include "schema/schema.h"

#include <QSet>

#include <algorithm>

namespace bm::domain
{

namespace
{

const QString keyName = QString::fromLatin1(schema::keyColumn);

} // namespace

QVariant kept(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QString quotedList(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &f : fields)
        quoted << schema::quoted(f);
    return quoted.join(QLatin1String(", "));
}

Status insertRow(
    db::Transaction &t, const QString &table, const QStringList &fields, const QVariantList &values)
{
    return t.write(table,
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(schema::quoted(table), quotedList(fields),
                QStringList(fields.size(), QStringLiteral("?")).join(QLatin1String(", "))),
        values);
}

QString changedFields(
    const QStringList &fields, const QVariantList &before, const QVariantList &after, QVariantList &binds)
{
    QStringList set;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (before.value(i) == after.value(i))
            continue;
        set << schema::quoted(fields[i]) + QStringLiteral(" = ?");
        binds << after.value(i);
    }
    return set.join(QLatin1String(", "));
}

Status writeRows(db::Transaction &t, const QString &table, const QStringList &fields,
    const QList<KeptRow> &before, const QList<KeptRow> &after)
{
    QSet<qint64> staying;
    for (const KeptRow &r : after)
        if (r.id > 0)
            staying.insert(r.id);
    for (const KeptRow &r : before)
        if (!staying.contains(r.id))
            if (Status s = t.write(table,
                    QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(schema::quoted(table), keyName),
                    { r.id });
                !s)
                return s;
    for (const KeptRow &r : after) {
        const auto was = std::find_if(
            before.cbegin(), before.cend(), [&](const KeptRow &b) { return r.id > 0 && b.id == r.id; });
        if (was == before.cend()) {
            if (Status s = insertRow(t, table, fields, r.values); !s)
                return s;
            continue;
        }
        QVariantList binds;
        const QString set = changedFields(fields, was->values, r.values, binds);
        if (set.isEmpty())
            continue;
        db::Written written;
        if (Status s = t.write(table,
                QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(schema::quoted(table), set, keyName),
                binds << r.id, &written);
            !s)
            return s;
        // Removed at another desk while the guide changed it here: what he
        // typed is kept as a new record.
        if (written.rowsAffected == 0)
            if (Status s = insertRow(t, table, fields, r.values); !s)
                return s;
    }
    return Status::ok();
}

} // namespace bm::domain
