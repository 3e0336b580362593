#include "domain/party.h"

#include "db/query.h"
#include "domain/failures.h"
#include "schema/fields.h"
#include "schema/schema.h"

namespace bm::party
{

using domain::failed;
using domain::where;

Status anglersOf(qint64 booking, QStringList &names, const QString &path)
{
    names.clear();
    const QString what = QStringLiteral("The anglers of the trip could not be read");
    const QString at = where(path);
    QStringList read;
    {
        db::Query q(at);
        if (const Status s
            = q.run(QStringLiteral("SELECT %2 FROM %1 WHERE %3 = ? ORDER BY ID")
                        .arg(schema::quoted(table::Party), schema::quoted(field::Party::Angler),
                            schema::quoted(field::Party::Booking)),
                { QString::number(booking) });
            !s)
            return failed(what, s);
        while (q.next()) {
            const QString name = q.value(field::Party::Angler).toString().trimmed();
            if (!name.isEmpty() && !read.contains(name))
                read << name;
        }
        if (!q.status())
            return failed(what, q.status());
    }
    if (read.isEmpty()) {
        db::Query q(at);
        if (const Status s
            = q.run(QStringLiteral("SELECT %2 FROM %1 WHERE ID = ?")
                        .arg(schema::quoted(table::Booking), schema::quoted(field::Booking::Name)),
                { booking });
            !s)
            return failed(what, s);
        if (!q.next())
            return failed(what,
                q.status() ? Status::failure(QStringLiteral("the booking is no longer there.")) : q.status());
        if (const QString client = q.value(field::Booking::Name).toString().trimmed(); !client.isEmpty())
            read << client;
    }
    names = std::move(read);
    return Status::ok();
}

} // namespace bm::party
