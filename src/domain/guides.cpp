#include "domain/guides.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/query.h"

namespace bm::guides
{

namespace
{

QString where(const QString &path)
{
    return path.isEmpty() ? databasePath() : path;
}

// A failure in a guide's words, logged with what was being done.
Status failed(const QString &what, const Status &why)
{
    const Status s = Status::failure(QStringLiteral("%1: %2").arg(what, why.message()));
    qCWarning(dataLog).noquote() << s.message();
    return s;
}

} // namespace

Status roster(QList<Guide> &guides, const QString &path)
{
    guides.clear();
    const QString what = QStringLiteral("The list of guides could not be read");
    db::Query q(where(path));
    if (const Status s = q.run(QStringLiteral("SELECT Name, Active FROM Guides WHERE Name <> '' "
                                              "ORDER BY Name, ID"));
        !s)
        return failed(what, s);
    QList<Guide> read;
    while (q.next())
        read.append({ q.value(QStringLiteral("Name")).toString(),
            q.value(QStringLiteral("Active")).toString() == QLatin1String("Yes") });
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
    if (const Status s = q.single(QStringLiteral("SELECT COUNT(*) AS n FROM Guides WHERE Name <> ''"), {}, v);
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
        QDate::fromString(q.value(QStringLiteral("Date")).toString(), Qt::ISODate),
        q.value(QStringLiteral("Lake")).toString(), q.value(QStringLiteral("Name")).toString() };
}

} // namespace

Status booking(Bookmark which, BookingLine &line, QString &guide, const QString &path)
{
    line = {};
    guide.clear();
    const QString what = QStringLiteral("The booking could not be read");
    db::Query q(where(path));
    if (const Status s
        = q.run(QStringLiteral("SELECT ID, Date, Lake, Name, Guide FROM Booking WHERE ID = ?"), { which.id });
        !s)
        return failed(what, s);
    if (!q.next())
        return failed(
            what, q.status() ? Status::failure(QStringLiteral("it is no longer there.")) : q.status());
    line = lineOf(q);
    guide = q.value(QStringLiteral("Guide")).toString();
    return Status::ok();
}

Status assign(Bookmark booking, const QString &guide, const QString &path)
{
    const QString what = QStringLiteral("The guide could not be assigned to the booking");
    if (!booking.isValid())
        return failed(what, Status::failure(QStringLiteral("no booking was chosen.")));
    db::Written written;
    if (const Status s = db::write(where(path), QStringLiteral("Booking"),
            QStringLiteral("UPDATE Booking SET Guide = ? WHERE ID = ?"), { guide, booking.id }, &written);
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
    if (const Status s = q.run(QStringLiteral("SELECT ID, Date, Lake, Name FROM Booking "
                                              "WHERE Guide = ? AND Date = ? AND ID <> ? ORDER BY ID"),
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
    if (const Status s
        = q.single(QStringLiteral("SELECT COUNT(*) AS n FROM Guides WHERE Name = ? AND ID <> ?"),
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
    if (const Status s = db::write(where(path), QStringLiteral("Booking"),
            QStringLiteral("UPDATE Booking SET Guide = ? WHERE Guide = ?"), { to, from }, &moved);
        !s)
        return failed(QStringLiteral("The bookings of %1 could not be given the name %2").arg(from, to), s);
    bookingsMoved = moved.rowsAffected;
    return Status::ok();
}

} // namespace bm::guides
