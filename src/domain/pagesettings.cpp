#include "domain/pagesettings.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "domain/failures.h"
#include "domain/rowwrites.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QRegularExpression>

#include <algorithm>

namespace bm::bookingpage
{

namespace P = field::BookingPage;
namespace T = field::PageTrips;
namespace O = field::DaysOff;

namespace
{

const QString keyName = QString::fromLatin1(schema::keyColumn);

using domain::failed;
using domain::kept;
using domain::KeptRow;
using domain::quotedList;
using domain::where;

// Values as the record sources keep them: no date and no amount are no value.
QVariant kept(const QDate &date)
{
    return fieldvalue::toStored(date.isValid() ? QVariant(date) : QVariant());
}
QVariant kept(const std::optional<Money> &amount)
{
    return fieldvalue::toStored(amount ? QVariant::fromValue(*amount) : QVariant());
}

const QStringList settingFields { P::SeasonStart, P::SeasonEnd, P::Weekdays, P::TripsPerGuide, P::NoticeDays,
    P::DaysAhead, P::CancelDays };
const QStringList tripFields { T::TripType, T::Length, T::StartTime, T::Price, T::Deposit, T::LargestParty };
const QStringList dayOffFields { O::Date, O::Guide };

QVariantList values(const Settings &s)
{
    // No weekday at all is kept as an empty text: the page reads a missing
    // value as every day.
    return { kept(s.seasonStart), kept(s.seasonEnd), QVariant(s.weekdays), QString::number(s.tripsPerGuide),
        QString::number(s.noticeDays), QString::number(s.daysAhead), QString::number(s.cancelDays) };
}

QList<KeptRow> rows(const QList<Trip> &trips)
{
    QList<KeptRow> r;
    for (const Trip &t : trips)
        r.append({ t.id,
            { kept(t.tripType), kept(t.length), kept(t.startTime), kept(t.price), kept(t.deposit),
                kept(t.largestParty) } });
    return r;
}

QList<KeptRow> rows(const QList<DayOff> &days)
{
    QList<KeptRow> r;
    for (const DayOff &d : days)
        r.append({ d.id, { kept(d.date), kept(d.guide) } });
    return r;
}

QString weekdaysOf(const QVariant &kept)
{
    // As the page reads them: no value is every day; anything but the
    // digits 1 to 7 is passed over.
    if (kept.isNull())
        return QLatin1String(everyDay);
    QString days;
    for (const QChar c : QLatin1String(everyDay))
        if (kept.toString().contains(c))
            days += c;
    return days;
}

Status readSettings(const QString &path, Settings &settings)
{
    settings = Settings();
    db::Query q(path);
    if (Status s = q.run(QStringLiteral("SELECT %2 FROM %1 ORDER BY %3 LIMIT 1")
                             .arg(schema::quoted(table::BookingPage), quotedList(settingFields), keyName));
        !s)
        return s;
    if (!q.next())
        return q.status();
    settings.seasonStart = fieldvalue::fromStored(FieldKind::Date, q.value(P::SeasonStart)).toDate();
    settings.seasonEnd = fieldvalue::fromStored(FieldKind::Date, q.value(P::SeasonEnd)).toDate();
    settings.weekdays = weekdaysOf(q.value(P::Weekdays));
    settings.tripsPerGuide = number(q.value(P::TripsPerGuide).toString(), tripsPerGuideBounds);
    settings.noticeDays = number(q.value(P::NoticeDays).toString(), noticeDaysBounds);
    settings.daysAhead = number(q.value(P::DaysAhead).toString(), daysAheadBounds);
    settings.cancelDays = number(q.value(P::CancelDays).toString(), cancelDaysBounds);
    return Status::ok();
}

Status readTrips(const QString &path, QList<Trip> &trips)
{
    db::Query q(path);
    if (Status s = q.run(QStringLiteral("SELECT %2, %3 FROM %1 ORDER BY %2")
                             .arg(schema::quoted(table::PageTrips), keyName, quotedList(tripFields)));
        !s)
        return s;
    auto amount = [&](const char *field) {
        const QVariant v = fieldvalue::fromStored(FieldKind::Amount, q.value(field));
        return v.isNull() ? std::nullopt : std::optional<Money>(v.value<Money>());
    };
    while (q.next())
        trips.append({ q.value(keyName).toLongLong(), q.value(T::TripType).toString(),
            q.value(T::Length).toString(), q.value(T::StartTime).toString(), amount(T::Price),
            amount(T::Deposit), q.value(T::LargestParty).toString() });
    return q.status();
}

Status readDaysOff(const QString &path, QList<DayOff> &days)
{
    db::Query q(path);
    if (Status s = q.run(QStringLiteral("SELECT %2, %3 FROM %1 ORDER BY %4, %2")
                             .arg(schema::quoted(table::DaysOff), keyName, quotedList(dayOffFields),
                                 schema::quoted(O::Date)));
        !s)
        return s;
    while (q.next())
        days.append({ q.value(keyName).toLongLong(),
            fieldvalue::fromStored(FieldKind::Date, q.value(O::Date)).toDate(),
            q.value(O::Guide).toString() });
    return q.status();
}

} // namespace

int number(const QString &kept, const Bounds &bounds)
{
    static const QRegularExpression whole(QStringLiteral("^\\s*[0-9]{1,6}\\s*$"));
    if (!whole.match(kept).hasMatch())
        return bounds.fallback;
    return std::clamp(kept.trimmed().toInt(), bounds.lowest, bounds.highest);
}

Status read(Page &page, const QString &path)
{
    page = Page();
    Page read;
    const QString at = where(path);
    if (Status s = readSettings(at, read.settings); !s)
        return failed(QStringLiteral("The booking page's settings could not be read"), s);
    if (Status s = readTrips(at, read.trips); !s)
        return failed(QStringLiteral("The trips of the booking page could not be read"), s);
    if (Status s = readDaysOff(at, read.daysOff); !s)
        return failed(QStringLiteral("The days off could not be read"), s);
    page = std::move(read);
    return Status::ok();
}

Status save(const Page &before, const Page &after, const QString &path)
{
    const QString what = QStringLiteral("The booking page could not be saved");
    db::Transaction t(where(path));
    if (Status s = t.begin(); !s)
        return failed(what, s);
    QVariantList binds;
    const QString set
        = domain::changedFields(settingFields, values(before.settings), values(after.settings), binds);
    if (!set.isEmpty()) {
        const QString table = QLatin1String(table::BookingPage);
        db::Written written;
        if (Status s = t.write(table,
                QStringLiteral("UPDATE %1 SET %2 WHERE %3 = (SELECT min(%3) FROM %1)")
                    .arg(schema::quoted(table), set, keyName),
                binds, &written);
            !s)
            return failed(what, s);
        if (written.rowsAffected == 0)
            if (Status s = domain::insertRow(t, table, settingFields, values(after.settings)); !s)
                return failed(what, s);
    }
    if (Status s = domain::writeRows(
            t, QLatin1String(table::PageTrips), tripFields, rows(before.trips), rows(after.trips));
        !s)
        return failed(what, s);
    if (Status s = domain::writeRows(
            t, QLatin1String(table::DaysOff), dayOffFields, rows(before.daysOff), rows(after.daysOff));
        !s)
        return failed(what, s);
    if (Status s = t.commit(); !s)
        return failed(what, s);
    return Status::ok();
}

} // namespace bm::bookingpage
