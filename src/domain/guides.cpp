#include "domain/guides.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/query.h"
#include "domain/failures.h"
#include "schema/fields.h"
#include "schema/schema.h"

namespace bm::guides
{

namespace B = field::Booking;
namespace G = field::Guides;

namespace
{

using domain::failed;
using domain::where;

} // namespace

Status roster(QList<Guide> &guides, const QString &path)
{
    guides.clear();
    const QString what = QStringLiteral("The list of guides could not be read");
    db::Query q(where(path));
    if (const Status s
        = q.run(QStringLiteral("SELECT %2, %3 FROM %1 WHERE %2 <> '' ORDER BY %2, ID")
                    .arg(schema::quoted(table::Guides), schema::quoted(G::Name), schema::quoted(G::Active)));
        !s)
        return failed(what, s);
    QList<Guide> read;
    while (q.next())
        read.append({ q.value(G::Name).toString(), q.value(G::Active).toString() == QLatin1String("Yes") });
    if (!q.status())
        return failed(what, q.status());
    guides = std::move(read);
    return Status::ok();
}

Status count(int &n, const QString &path)
{
    n = 0;
    db::Query q(where(path));
    QVariant v;
    if (const Status s = q.single(QStringLiteral("SELECT COUNT(*) AS n FROM %1 WHERE %2 <> ''")
                                      .arg(schema::quoted(table::Guides), schema::quoted(G::Name)),
            {}, v);
        !s)
        return failed(QStringLiteral("The guides could not be counted"), s);
    bool ok = false;
    n = v.toInt(&ok);
    if (!ok)
        return failed(QStringLiteral("The guides could not be counted"),
            Status::failure(QStringLiteral("the database gave no count.")));
    return Status::ok();
}

namespace
{

BookingLine lineOf(const db::Query &q)
{
    return { Bookmark { q.value(QStringLiteral("ID")).toLongLong() },
        QDate::fromString(q.value(B::Date).toString(), Qt::ISODate), q.value(B::Lake).toString(),
        q.value(B::Name).toString() };
}

} // namespace

Status booking(Bookmark which, BookingLine &line, QString &guide, const QString &path)
{
    line = {};
    guide.clear();
    const QString what = QStringLiteral("The booking could not be read");
    db::Query q(where(path));
    if (const Status s
        = q.run(QStringLiteral("SELECT ID, %2, %3, %4, %5 FROM %1 WHERE ID = ?")
                    .arg(schema::quoted(table::Booking), schema::quoted(B::Date), schema::quoted(B::Lake),
                        schema::quoted(B::Name), schema::quoted(B::Guide)),
            { which.id });
        !s)
        return failed(what, s);
    if (!q.next())
        return failed(
            what, q.status() ? Status::failure(QStringLiteral("it is no longer there.")) : q.status());
    line = lineOf(q);
    guide = q.value(B::Guide).toString();
    return Status::ok();
}

Status assign(Bookmark booking, const QString &guide, const QString &path)
{
    const QString what = QStringLiteral("The guide could not be assigned to the booking");
    if (!booking.isValid())
        return failed(what, Status::failure(QStringLiteral("no booking was chosen.")));
    db::Written written;
    if (const Status s = db::write(where(path), table::Booking,
            QStringLiteral("UPDATE %1 SET %2 = ? WHERE ID = ?")
                .arg(schema::quoted(table::Booking), schema::quoted(B::Guide)),
            { guide, booking.id }, &written);
        !s)
        return failed(what, s);
    if (written.rowsAffected != 1)
        return failed(what, Status::failure(QStringLiteral("the booking is no longer there.")));
    return Status::ok();
}

Status otherBookings(const QString &guide, const QDate &day, Bookmark except, QList<BookingLine> &bookings,
    const QString &path)
{
    bookings.clear();
    if (guide.isEmpty() || !day.isValid())
        return Status::ok();
    const QString what = QStringLiteral("The other bookings of %1 could not be read").arg(guide);
    db::Query q(where(path));
    if (const Status s
        = q.run(QStringLiteral("SELECT ID, %2, %3, %4 FROM %1 WHERE %5 = ? AND %2 = ? AND ID <> ? "
                               "ORDER BY ID")
                    .arg(schema::quoted(table::Booking), schema::quoted(B::Date), schema::quoted(B::Lake),
                        schema::quoted(B::Name), schema::quoted(B::Guide)),
            { guide, day.toString(Qt::ISODate), except.id });
        !s)
        return failed(what, s);
    QList<BookingLine> read;
    while (q.next())
        read.append(lineOf(q));
    if (!q.status())
        return failed(what, q.status());
    bookings = std::move(read);
    return Status::ok();
}

Status nameTaken(const QString &name, Bookmark self, bool &taken, const QString &path)
{
    taken = false;
    db::Query q(where(path));
    QVariant v;
    if (const Status s = q.single(QStringLiteral("SELECT COUNT(*) AS n FROM %1 WHERE %2 = ? AND ID <> ?")
                                      .arg(schema::quoted(table::Guides), schema::quoted(G::Name)),
            { name, self.id }, v);
        !s)
        return failed(QStringLiteral("The names of the guides could not be read"), s);
    taken = v.toInt() > 0;
    return Status::ok();
}

Status moveBookings(const QString &from, const QString &to, int &bookingsMoved, const QString &path)
{
    bookingsMoved = 0;
    if (from.isEmpty() || from == to)
        return Status::ok();
    db::Written moved;
    if (const Status s = db::write(where(path), table::Booking,
            QStringLiteral("UPDATE %1 SET %2 = ? WHERE %2 = ?")
                .arg(schema::quoted(table::Booking), schema::quoted(B::Guide)),
            { to, from }, &moved);
        !s)
        return failed(QStringLiteral("The bookings of %1 could not be given the name %2").arg(from, to), s);
    bookingsMoved = moved.rowsAffected;
    return Status::ok();
}

} // namespace bm::guides
