#pragma once

#include "core/status.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The busy times of a guide's own calendar, as the desk that syncs with it
// keeps them in the database (table Busy Times, a row a day): on the shared
// database they close the guide's days on the booking page, and saving a
// booking on such a day names what his calendar holds.
namespace bm::busytimes
{

// An event of the guide's calendar, in local time.
struct Busy {
    QDateTime start;
    QDateTime end;
    QString summary;
};

// One day of busy time: "HH:mm" from and to ("24:00" for the day's end).
struct Day {
    QDate date;
    QString start;
    QString end;
    QString summary;
    bool operator==(const Day &) const = default;
};

// The days from..to that the times cover, a row for each day an event
// touches, in the order of day, start, end and summary. An event without a
// length holds its moment; one that ends before it starts holds nothing.
QList<Day> daysOf(const QList<Busy> &times, const QDate &from, const QDate &to);

// Keeps times as the guide's busy time from..to (an empty guide: the whole
// service's) in place of what was kept of those days, in one transaction.
// Nothing is written when the days kept are those given already; changed
// tells whether they were not.
[[nodiscard]] Status replace(const QString &guide, const QDate &from, const QDate &to,
    const QList<Busy> &times, bool *changed = nullptr, const QString &path = QString());

// What the guide's calendar holds on the days first..last (at most 99),
// one line an event: "Dentist 14:00–15:00", "Holidays (all day)", each
// after its day's short date when there are several days. Busy time kept
// for the whole service counts for every guide; a booking without a guide
// sees every guide's.
[[nodiscard]] Status onDays(const QDate &first, const QDate &last, const QString &guide, QStringList &notices,
    const QString &path = QString());

} // namespace bm::busytimes
