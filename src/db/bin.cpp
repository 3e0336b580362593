#include "db/bin.h"

#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace bm::db::bin
{

namespace B = field::Bin;
using schema::quoted;

namespace
{

const QString keyName = QString::fromLatin1(schema::keyColumn);

QString stamp(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

// The oldest deletion still kept: the triggers purge older entries only as
// another record is deleted, so a read leaves them out itself.
QString oldestKept()
{
    return stamp(QDateTime::currentDateTimeUtc().addDays(-schema::binDays));
}

QVariantMap rowOf(const QString &json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object().toVariantMap();
}

} // namespace

Status read(const QString &location, QList<Entry> &out)
{
    out.clear();
    Query q(location);
    if (Status s = q.run(QStringLiteral("SELECT %1, %2, %3, %4, %5, %6, %7 FROM %8 WHERE %4 >= ? "
                                        "ORDER BY %4 DESC, %1 DESC")
                             .arg(quoted(keyName), quoted(B::Kind), quoted(B::Record), quoted(B::Deleted),
                                 quoted(B::Login), quoted(B::Summary), quoted(B::Row), quoted(table::Bin)),
            { oldestKept() });
        !s)
        return s;
    while (q.next()) {
        Entry e;
        e.id = q.value(keyName).toLongLong();
        e.kind = q.value(B::Kind).toString();
        e.record = q.value(B::Record).toLongLong();
        e.deleted = QDateTime::fromString(q.value(B::Deleted).toString(), Qt::ISODate).toUTC();
        e.login = q.value(B::Login).toString();
        e.summary = q.value(B::Summary).toString();
        e.row = rowOf(q.value(B::Row).toString());
        out << e;
    }
    return q.status();
}

Status restore(const QString &location, qint64 entry, Restored &out)
{
    out = Restored {};
    Transaction t(location);
    if (Status s = t.begin(); !s)
        return s;
    const QString where = QStringLiteral(" FROM %1 WHERE %2 = ? AND %3 >= ?")
                              .arg(quoted(table::Bin), quoted(keyName), quoted(B::Deleted));
    const QVariantList binds { entry, oldestKept() };
    QVariant there, kind, record, row;
    if (Status s = t.single(QStringLiteral("SELECT count(*)") + where, binds, there); !s)
        return s;
    if (there.toLongLong() == 0)
        return Status::ok();
    if (Status s = t.single(QStringLiteral("SELECT %1").arg(quoted(B::Kind)) + where, binds, kind); !s)
        return s;
    if (Status s = t.single(QStringLiteral("SELECT %1").arg(quoted(B::Record)) + where, binds, record); !s)
        return s;
    if (Status s = t.single(QStringLiteral("SELECT %1").arg(quoted(B::Row)) + where, binds, row); !s)
        return s;
    const QString table = kind.toString();
    const TableDef *def = schema::historyTables().contains(table) ? schema::table(table) : nullptr;
    const QVariantMap values = rowOf(row.toString());
    if (!def || values.isEmpty())
        return Status::failure(QStringLiteral(
            "The deleted record can not be brought back: the bin holds it in a form Brindlemoor "
            "does not know."));

    // Another desk bringing the same entry back waits here, then finds it
    // gone.
    Written taken;
    if (Status s = t.write(QLatin1String(table::Bin),
            QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(quoted(table::Bin), quoted(keyName)), { entry },
            &taken);
        !s)
        return s;
    if (taken.rowsAffected == 0)
        return Status::ok();

    QVariant used;
    if (Status s
        = t.single(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?").arg(quoted(table), quoted(keyName)),
            { record }, used);
        !s)
        return s;
    const bool sameId = used.toLongLong() == 0;
    QStringList columns, marks;
    QVariantList binds2;
    if (sameId) {
        columns << quoted(keyName);
        binds2 << record;
    }
    for (const FieldDef &f : def->fields) {
        const auto v = values.constFind(f.name);
        if (v == values.constEnd())
            continue;
        columns << quoted(f.name);
        binds2 << (v->isNull() ? QVariant() : *v);
    }
    marks.fill(QStringLiteral("?"), columns.size());
    Written written;
    if (Status s = t.write(table,
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(quoted(table), columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
            binds2, &written);
        !s)
        return s;
    if (Status s = t.commit(); !s)
        return s;
    out.outcome = sameId ? Outcome::SameId : Outcome::NewId;
    out.record = sameId ? record.toLongLong() : written.insertId;
    return Status::ok();
}

} // namespace bm::db::bin
