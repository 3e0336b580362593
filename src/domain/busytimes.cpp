#include "domain/busytimes.h"

#include "core/dates.h"
#include "db/query.h"
#include "domain/failures.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <algorithm>
#include <tuple>

namespace bm::busytimes
{

namespace X = field::BusyTimes;

using domain::failed;
using domain::where;

namespace
{

// The longest summary kept, in characters.
constexpr qsizetype summaryLimit = 200;

QString clock(const QDateTime &t, const QDate &day)
{
    return t.date() > day ? QStringLiteral("24:00") : t.time().toString(QStringLiteral("HH:mm"));
}

QString columns()
{
    return QStringLiteral("%1, %2, %3, %4")
        .arg(schema::quoted(X::Date), schema::quoted(X::StartTime), schema::quoted(X::EndTime),
            schema::quoted(X::Summary));
}

// The kept days of the guide from..to, in daysOf()'s order.
Status kept(db::Query &q, const QString &guide, const QDate &from, const QDate &to, QList<Day> &days)
{
    if (const Status s = q.run(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? AND %4 BETWEEN ? AND ? "
                                              "ORDER BY %4, %5, %6, %7")
                                   .arg(columns(), schema::quoted(table::BusyTimes), schema::quoted(X::Guide),
                                       schema::quoted(X::Date), schema::quoted(X::StartTime),
                                       schema::quoted(X::EndTime), schema::quoted(X::Summary)),
            { guide, from.toString(Qt::ISODate), to.toString(Qt::ISODate) });
        !s)
        return s;
    while (q.next())
        days.append(
            { QDate::fromString(q.value(X::Date).toString(), Qt::ISODate), q.value(X::StartTime).toString(),
                q.value(X::EndTime).toString(), q.value(X::Summary).toString() });
    return q.status();
}

} // namespace

QList<Day> daysOf(const QList<Busy> &times, const QDate &from, const QDate &to)
{
    QList<Day> days;
    for (const Busy &b : times) {
        if (!b.start.isValid() || !b.end.isValid() || b.end < b.start)
            continue;
        QString summary = b.summary.simplified().left(summaryLimit);
        if (summary.isEmpty())
            summary = QStringLiteral("Busy");
        // An event that ends at midnight does not touch the next day.
        QDate last = b.end.date();
        if (b.end > b.start && b.end.time() == QTime(0, 0))
            last = last.addDays(-1);
        for (QDate d = std::max(b.start.date(), from); d <= std::min(last, to); d = d.addDays(1)) {
            const QString start = d == b.start.date() ? clock(b.start, d) : QStringLiteral("00:00");
            const QString end = d == b.end.date() ? clock(b.end, d) : QStringLiteral("24:00");
            days.append({ d, start, end, summary });
        }
    }
    std::sort(days.begin(), days.end(), [](const Day &a, const Day &b) {
        return std::tie(a.date, a.start, a.end, a.summary) < std::tie(b.date, b.start, b.end, b.summary);
    });
    return days;
}

Status replace(const QString &guide, const QDate &from, const QDate &to, const QList<Busy> &times,
    bool *changed, const QString &path)
{
    if (changed)
        *changed = false;
    const QString what = QStringLiteral("The busy times of your calendar could not be kept");
    const QList<Day> days = daysOf(times, from, to);
    db::Transaction t(where(path));
    if (const Status s = t.begin(); !s)
        return failed(what, s);
    QList<Day> before;
    {
        db::Query q(where(path));
        if (const Status s = kept(q, guide, from, to, before); !s)
            return failed(what, s);
    }
    if (before == days) {
        if (const Status s = t.commit(); !s)
            return failed(what, s);
        return Status::ok();
    }
    if (const Status s = t.write(table::BusyTimes,
            QStringLiteral("DELETE FROM %1 WHERE %2 = ? AND %3 BETWEEN ? AND ?")
                .arg(schema::quoted(table::BusyTimes), schema::quoted(X::Guide), schema::quoted(X::Date)),
            { guide, from.toString(Qt::ISODate), to.toString(Qt::ISODate) });
        !s)
        return failed(what, s);
    const QString insert = QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?, ?, ?, ?)")
                               .arg(schema::quoted(table::BusyTimes), schema::quoted(X::Guide), columns());
    for (const Day &d : days)
        if (const Status s = t.write(
                table::BusyTimes, insert, { guide, d.date.toString(Qt::ISODate), d.start, d.end, d.summary });
            !s)
            return failed(what, s);
    if (const Status s = t.commit(); !s)
        return failed(what, s);
    if (changed)
        *changed = true;
    return Status::ok();
}

Status onDays(
    const QDate &first, const QDate &last, const QString &guide, QStringList &notices, const QString &path)
{
    notices.clear();
    const QDate end = std::min(last, first.addDays(98));
    db::Query q(where(path));
    const QString mine = guide.trimmed().isEmpty()
        ? QString()
        : QStringLiteral(" AND (coalesce(%1, '') = '' OR %1 = ?)").arg(schema::quoted(X::Guide));
    QVariantList values { first.toString(Qt::ISODate), end.toString(Qt::ISODate) };
    if (!mine.isEmpty())
        values << guide.trimmed();
    if (const Status s
        = q.run(QStringLiteral("SELECT %1 FROM %2 WHERE %3 BETWEEN ? AND ?%4 ORDER BY %3, %5, %6, %7")
                    .arg(columns(), schema::quoted(table::BusyTimes), schema::quoted(X::Date), mine,
                        schema::quoted(X::StartTime), schema::quoted(X::EndTime), schema::quoted(X::Summary)),
            values);
        !s)
        return failed(QStringLiteral("Your calendar's busy times could not be read"), s);
    QStringList read;
    while (q.next()) {
        const QString start = q.value(X::StartTime).toString(), end = q.value(X::EndTime).toString();
        const QString summary = q.value(X::Summary).toString();
        QString line = start == QLatin1String("00:00") && end == QLatin1String("24:00")
            ? QStringLiteral("%1 (all day)").arg(summary)
            : QStringLiteral("%1 %2\u2013%3").arg(summary, start, end);
        if (first != last)
            line = QStringLiteral("%1: %2").arg(
                shortDate(QDate::fromString(q.value(X::Date).toString(), Qt::ISODate)), line);
        if (!read.contains(line))
            read << line;
    }
    if (!q.status())
        return failed(QStringLiteral("Your calendar's busy times could not be read"), q.status());
    notices = read;
    return Status::ok();
}

} // namespace bm::busytimes
