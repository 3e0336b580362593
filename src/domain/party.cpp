#include "domain/party.h"

#include "db/fieldvalue.h"
#include "db/query.h"
#include "domain/failures.h"
#include "domain/rowwrites.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QSet>

namespace bm::party
{

namespace F = field::Party;

namespace
{

using domain::failed;
using domain::kept;
using domain::where;

const QString keyName = QString::fromLatin1(schema::keyColumn);
const QStringList fields { F::Booking, F::Angler, F::License, F::Role, F::EmergencyContact,
    F::EmergencyPhone };

// A party's records name their booking by its ID as text.
QString bookingKey(Bookmark booking)
{
    return QString::number(booking.id);
}

QList<domain::KeptRow> rows(Bookmark booking, const QList<Angler> &party)
{
    QList<domain::KeptRow> r;
    for (const Angler &a : party)
        r.append({ a.id,
            { bookingKey(booking), kept(a.name), kept(a.license), kept(a.role), kept(a.emergencyContact),
                kept(a.emergencyPhone) } });
    return r;
}

// The angler's catch on this trip follows his new name.
Status carryNames(
    db::Transaction &t, Bookmark booking, const QList<Angler> &before, const QList<Angler> &after)
{
    for (const Angler &now : after) {
        for (const Angler &was : before) {
            if (now.id == 0 || was.id != now.id || was.name == now.name || was.name.isEmpty())
                continue;
            if (Status s = t.write(QLatin1String(table::Catch),
                    QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ? AND %2 = ?")
                        .arg(schema::quoted(QLatin1String(table::Catch)),
                            schema::quoted(QLatin1String(field::Catch::Angler)),
                            schema::quoted(QLatin1String(field::Catch::Booking))),
                    { now.name, bookingKey(booking), was.name });
                !s)
                return s;
        }
    }
    return Status::ok();
}

} // namespace

const QStringList &roles()
{
    static const QStringList all { QLatin1String(partyRole::client), QLatin1String(partyRole::crew),
        QLatin1String(partyRole::comped) };
    return all;
}

Status readTrip(Bookmark booking, Trip &trip, const QString &path)
{
    namespace B = field::Booking;
    trip = Trip();
    const QString what = QStringLiteral("The booking could not be read");
    db::Query q(where(path));
    if (Status s = q.run(QStringLiteral("SELECT %2, %3, %4 FROM %1 WHERE %5 = ?")
                             .arg(schema::quoted(QLatin1String(table::Booking)), schema::quoted(B::Name),
                                 schema::quoted(B::Date), schema::quoted(B::PartySize), keyName),
            { booking.id });
        !s)
        return failed(what, s);
    if (!q.next())
        return q.status() ? failed(what, Status::failure(QStringLiteral("it is not there any more.")))
                          : failed(what, q.status());
    trip.client = q.value(B::Name).toString();
    trip.date = fieldvalue::fromStored(FieldKind::Date, q.value(B::Date)).toDate();
    trip.partySize = q.value(B::PartySize).toString();
    return Status::ok();
}

Status read(Bookmark booking, QList<Angler> &party, const QString &path)
{
    party.clear();
    db::Query q(where(path));
    if (Status s = q.run(QStringLiteral("SELECT %2, %3 FROM %1 WHERE %4 = ? ORDER BY %2")
                             .arg(schema::quoted(QLatin1String(table::Party)), keyName,
                                 domain::quotedList(fields), schema::quoted(F::Booking)),
            { bookingKey(booking) });
        !s)
        return failed(QStringLiteral("The party of the trip could not be read"), s);
    QList<Angler> read;
    while (q.next())
        read.append({ q.value(keyName).toLongLong(), q.value(F::Angler).toString(),
            q.value(F::License).toString(), q.value(F::Role).toString(),
            q.value(F::EmergencyContact).toString(), q.value(F::EmergencyPhone).toString() });
    if (!q.status())
        return failed(QStringLiteral("The party of the trip could not be read"), q.status());
    party = std::move(read);
    return Status::ok();
}

Status anglersOf(Bookmark booking, QStringList &names, const QString &path)
{
    names.clear();
    QList<Angler> party;
    if (const Status s = read(booking, party, path); !s)
        return s;
    QStringList found;
    for (const Angler &a : party)
        if (const QString name = a.name.trimmed(); !name.isEmpty() && !found.contains(name))
            found << name;
    if (party.isEmpty()) {
        Trip trip;
        if (const Status s = readTrip(booking, trip, path); !s)
            return s;
        if (const QString client = trip.client.trimmed(); !client.isEmpty())
            found << client;
    }
    names = std::move(found);
    return Status::ok();
}

std::optional<Refusal> refusal(const QList<Angler> &party)
{
    if (party.size() > largestParty)
        return Refusal { int(party.size()) - 1,
            QStringLiteral("A party can have at most %1 people aboard.").arg(largestParty) };
    QSet<QString> names;
    for (int i = 0; i < party.size(); ++i) {
        const QString name = party[i].name.trimmed();
        if (name.isEmpty())
            return Refusal { i, QStringLiteral("Please enter the name of angler %1.").arg(i + 1) };
        // The catch names its angler: two of one name could not be told apart.
        if (names.contains(name.toCaseFolded()))
            return Refusal { i,
                QStringLiteral("%1 is listed twice. Please tell the two apart, e.g. by a middle initial.")
                    .arg(name) };
        names.insert(name.toCaseFolded());
        if (!roles().contains(party[i].role))
            return Refusal { i,
                QStringLiteral("Please choose the role of %1: %2.")
                    .arg(name, roles().join(QStringLiteral(", "))) };
    }
    return std::nullopt;
}

Status save(Bookmark booking, const QList<Angler> &before, const QList<Angler> &after, int &partySize,
    const QString &path)
{
    partySize = 0;
    const QString what = QStringLiteral("The party could not be saved");
    const QString at = where(path);
    db::Transaction t(at);
    if (Status s = t.begin(); !s)
        return failed(what, s);
    if (Status s = domain::writeRows(
            t, QLatin1String(table::Party), fields, rows(booking, before), rows(booking, after));
        !s)
        return failed(what, s);
    if (Status s = carryNames(t, booking, before, after); !s)
        return failed(what, s);
    // Counted as written, another desk's anglers of this trip too.
    QVariant aboard;
    if (Status s = t.single(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?")
                                .arg(schema::quoted(QLatin1String(table::Party)), schema::quoted(F::Booking)),
            { bookingKey(booking) }, aboard);
        !s)
        return failed(what, s);
    const int size = aboard.toInt();
    if (size > 0) {
        db::Written written;
        if (Status s = t.write(QLatin1String(table::Booking),
                QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                    .arg(schema::quoted(QLatin1String(table::Booking)),
                        schema::quoted(QLatin1String(field::Booking::PartySize)), keyName),
                { QString::number(size), booking.id }, &written);
            !s)
            return failed(what, s);
        if (written.rowsAffected != 1)
            return failed(what, Status::failure(QStringLiteral("its booking is not there any more.")));
    }
    if (Status s = t.commit(); !s)
        return failed(what, s);
    partySize = size;
    return Status::ok();
}

} // namespace bm::party
