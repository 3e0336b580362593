#pragma once

#include "calsync/caldav.h"

#include <QDate>
#include <QDateTime>

namespace bm::calsync
{

// A span of the guide's own time taken by something in his calendar.
struct BusyTime {
    QDateTime start, end; // local time
    QString summary;
    bool operator==(const BusyTime &) const = default;
};

inline constexpr int maxOccurrences = 5000;
inline constexpr int maxSummaryLength = 200;

// Reads the busy time between the days from and to (whole days, local) from
// a calendar's address (a CalDAV calendar-query with a time range) or from an
// .ics subscription address (webcal:// is read as https://). Recurring events
// are expanded; all-day events take 00:00 to 24:00 of each of their days;
// transparent and cancelled events are left out.
[[nodiscard]] Status readBusy(
    const Account &account, const QString &address, const QDate &from, const QDate &to, QList<BusyTime> &out);

// The reading alone: the text of one or more VCALENDARs.
[[nodiscard]] Status parseBusy(
    const QByteArray &icalendar, const QDate &from, const QDate &to, QList<BusyTime> &out);

} // namespace bm::calsync
