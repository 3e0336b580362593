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

// The days kept where condition holds (its values in binds), in daysOf()'s
// order.
Status keptDays(const QString &path, const QString &condition, const QVariantList &binds, QList<Day> &days)
{
    db::Query q(where(path));
    if (const Status s = q.run(
            QStringLiteral("SELECT %2, %3, %4, %5 FROM %1 WHERE %6 ORDER BY %2, %3, %4, %5")
                .arg(schema::quoted(table::BusyTimes), schema::quoted(X::Date), schema::quoted(X::StartTime),
                    schema::quoted(X::EndTime), schema::quoted(X::Summary), condition),
            binds);
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
    const QVariantList mine { guide, from.toString(Qt::ISODate), to.toString(Qt::ISODate) };
    const QString guideAndDays = QStringLiteral("%1 = ? AND %2 BETWEEN ? AND ?")
                                     .arg(schema::quoted(X::Guide), schema::quoted(X::Date));
    QList<Day> before;
    if (const Status s = keptDays(path, guideAndDays, mine, before); !s)
        return failed(what, s);
    if (before == days) {
        if (const Status s = t.commit(); !s)
            return failed(what, s);
        return Status::ok();
    }
    if (const Status s = t.write(table::BusyTimes,
            QStringLiteral("DELETE FROM %1 WHERE %2").arg(schema::quoted(table::BusyTimes), guideAndDays),
            mine);
        !s)
        return failed(what, s);
    const QString insert
        = QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5, %6) VALUES (?, ?, ?, ?, ?)")
              .arg(schema::quoted(table::BusyTimes), schema::quoted(X::Guide), schema::quoted(X::Date),
                  schema::quoted(X::StartTime), schema::quoted(X::EndTime), schema::quoted(X::Summary));
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
    QString condition = QStringLiteral("%1 BETWEEN ? AND ?").arg(schema::quoted(X::Date));
    QVariantList binds { first.toString(Qt::ISODate),
        std::min(last, first.addDays(98)).toString(Qt::ISODate) };
    if (!guide.trimmed().isEmpty()) {
        condition += QStringLiteral(" AND (coalesce(%1, '') = '' OR %1 = ?)").arg(schema::quoted(X::Guide));
        binds << guide.trimmed();
    }
    QList<Day> days;
    if (const Status s = keptDays(path, condition, binds, days); !s)
        return failed(QStringLiteral("Your calendar's busy times could not be read"), s);
    for (const Day &d : std::as_const(days)) {
        QString line = d.start == QLatin1String("00:00") && d.end == QLatin1String("24:00")
            ? QStringLiteral("%1 (all day)").arg(d.summary)
            : QStringLiteral("%1 %2\u2013%3").arg(d.summary, d.start, d.end);
        if (first != last)
            line = QStringLiteral("%1: %2").arg(shortDate(d.date), line);
        if (!notices.contains(line))
            notices << line;
    }
    return Status::ok();
}

} // namespace bm::busytimes
