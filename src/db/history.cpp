#include "db/history.h"

#include "db/engine/server.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

namespace bm::db::history
{

namespace H = field::History;
using schema::quoted;

Status read(const QString &location, const QString &table, qint64 record, QList<Event> &out)
{
    out.clear();
    Query q(location);
    if (Status s
        = q.run(QStringLiteral("SELECT %1, %2, %3, %4, %5, %6, %7, %8 FROM %9 WHERE %10 = ? AND %11 = ? "
                               "ORDER BY %2 DESC, %1 DESC")
                    .arg(quoted(QLatin1String(schema::keyColumn)), quoted(H::At), quoted(H::Login),
                        quoted(H::Desk), quoted(H::Action), quoted(H::Field), quoted(H::Old), quoted(H::New),
                        quoted(table::History))
                    .arg(quoted(H::Kind), quoted(H::Record)),
            { table, record });
        !s)
        return s;
    while (q.next()) {
        Event e;
        e.id = q.value(QLatin1String(schema::keyColumn)).toLongLong();
        e.at = QDateTime::fromString(q.value(H::At).toString(), Qt::ISODate).toUTC();
        e.login = q.value(H::Login).toString();
        e.desk = server::deskOf(q.value(H::Desk).toString());
        e.action = q.value(H::Action).toString();
        e.field = q.value(H::Field).toString();
        e.before = q.value(H::Old).toString();
        e.after = q.value(H::New).toString();
        out << e;
    }
    return q.status();
}

QString shown(const QString &table, const QString &field, const QString &stored)
{
    const TableDef *def = schema::table(table);
    if (!def || stored.isEmpty())
        return stored;
    for (const FieldDef &f : def->fields) {
        if (f.name != field || f.kind == FieldKind::Text)
            continue;
        const QString text = fieldvalue::shownStored(f.kind, stored);
        return text.isEmpty() ? stored : text;
    }
    return stored;
}

} // namespace bm::db::history
