#include "domain/requests.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "domain/failures.h"
#include "mail/queue.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QHash>

#include <algorithm>

namespace bm::requests
{

namespace B = field::Booking;
namespace R = field::PageRequests;

namespace
{

const QString keyName = QString::fromLatin1(schema::keyColumn);

using domain::failed;
using domain::where;

// A request answered meanwhile (at another desk, or withdrawn by the
// client on his page) is not answered again.
Status answer(db::Transaction &t, Bookmark booking, const char *status)
{
    db::Written written;
    if (Status s = t.write(table::Booking,
            QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ? AND %2 = ?")
                .arg(schema::quoted(table::Booking), schema::quoted(B::Status), keyName),
            { QLatin1String(status), booking.id, QLatin1String(bookingStatus::requested) }, &written);
        !s)
        return s;
    if (written.rowsAffected == 0)
        return Status::failure(QStringLiteral("it is no longer waiting (it was answered at another desk, "
                                              "withdrawn by the client or deleted)."));
    return Status::ok();
}

} // namespace

Status waiting(QList<Request> &requests, const QString &path)
{
    requests.clear();
    const QString what = QStringLiteral("The requests could not be read");
    const QString at = where(path);
    QList<Request> read;
    {
        db::Query q(at);
        if (Status s = q.run(
                QStringLiteral("SELECT %2, %3, %4, %5, %6, %7, %8, %9, %10 FROM %1 WHERE %11 = ? "
                               "ORDER BY %3, %4, %2")
                    .arg(schema::quoted(table::Booking), keyName, schema::quoted(B::Date),
                        schema::quoted(B::StartTime), schema::quoted(B::Type), schema::quoted(B::Name),
                        schema::quoted(B::PartySize), schema::quoted(B::Email), schema::quoted(B::CellPhone))
                    .arg(schema::quoted(B::Telephone), schema::quoted(B::Status)),
                { QLatin1String(bookingStatus::requested) });
            !s)
            return failed(what, s);
        while (q.next()) {
            const QString cell = q.value(B::CellPhone).toString();
            read.append({ Bookmark { q.value(keyName).toLongLong() },
                fieldvalue::fromStored(FieldKind::Date, q.value(B::Date)).toDate(),
                q.value(B::StartTime).toString(), q.value(B::Type).toString(), q.value(B::Name).toString(),
                q.value(B::PartySize).toString(), q.value(B::Email).toString(),
                cell.isEmpty() ? q.value(B::Telephone).toString() : cell, {} });
        }
        if (!q.status())
            return failed(what, q.status());
    }
    // When each was made, from the page's own records of the requests
    // waiting (the first record where a booking has several).
    db::Query q(at);
    if (Status s = q.run(
            QStringLiteral("SELECT %2, %3 FROM %1 WHERE %2 IN (SELECT CAST(%4 AS TEXT) FROM %5 "
                           "WHERE %6 = ?) ORDER BY %7")
                .arg(schema::quoted(table::PageRequests), schema::quoted(R::Booking), schema::quoted(R::Made),
                    keyName, schema::quoted(table::Booking), schema::quoted(B::Status), keyName),
            { QLatin1String(bookingStatus::requested) });
        !s)
        return failed(what, s);
    QHash<qint64, QDateTime> made;
    while (q.next()) {
        const qint64 booking = q.value(R::Booking).toLongLong();
        if (!made.contains(booking))
            made.insert(booking, QDateTime::fromString(q.value(R::Made).toString(), Qt::ISODate));
    }
    if (!q.status())
        return failed(what, q.status());
    for (Request &r : read)
        r.made = made.value(r.booking.id);
    requests = std::move(read);
    return Status::ok();
}

Status accept(Bookmark booking, const QString &path)
{
    const QString what = QStringLiteral("The request could not be accepted");
    db::Transaction t(where(path));
    if (Status s = t.begin(); !s)
        return failed(what, s);
    if (Status s = answer(t, booking, bookingStatus::confirmed); !s)
        return failed(what, s);
    bool queued = false;
    if (Status s = mail::queueFor(t, where(path), QLatin1String(mail::kind::confirmed), booking.id,
            QDateTime::currentDateTimeUtc(), queued);
        !s)
        return failed(what, s);
    if (Status s = t.commit(); !s)
        return failed(what, s);
    return Status::ok();
}

Status decline(Bookmark booking, const QString &reason, const QString &path)
{
    const QString what = QStringLiteral("The request could not be declined");
    db::Transaction t(where(path));
    if (Status s = t.begin(); !s)
        return failed(what, s);
    if (Status s = answer(t, booking, bookingStatus::cancelled); !s)
        return failed(what, s);
    db::Written written;
    if (Status s = t.write(table::PageRequests,
            QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                .arg(schema::quoted(table::PageRequests), schema::quoted(R::Reason),
                    schema::quoted(R::Booking)),
            { reason, QString::number(booking.id) }, &written);
        !s)
        return failed(what, s);
    if (written.rowsAffected == 0) {
        // Made at the desk: the reason goes on a line of its own after the
        // notes the booking has.
        QVariant notes;
        if (Status s = t.single(QStringLiteral("SELECT %2 FROM %1 WHERE %3 = ?")
                                    .arg(schema::quoted(table::Booking), schema::quoted(B::Notes), keyName),
                { booking.id }, notes);
            !s)
            return failed(what, s);
        const QString line = QStringLiteral("Declined: %1").arg(reason);
        const QString before = notes.toString();
        if (Status s = t.write(table::Booking,
                QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                    .arg(schema::quoted(table::Booking), schema::quoted(B::Notes), keyName),
                { before.isEmpty() ? line : before + QLatin1Char('\n') + line, booking.id });
            !s)
            return failed(what, s);
    }
    bool queued = false;
    if (Status s = mail::queueFor(t, where(path), QLatin1String(mail::kind::declined), booking.id,
            QDateTime::currentDateTimeUtc(), queued);
        !s)
        return failed(what, s);
    if (Status s = t.commit(); !s)
        return failed(what, s);
    return Status::ok();
}

} // namespace bm::requests
