#pragma once

#include "core/money.h"
#include "core/status.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

namespace bm::bookingpage
{

// What the booking page offers clients, as the guide sets it: the one
// record of Booking Page, the trips of Page Trips and the days of Days Off.
// The web service reads the same tables on the shared database.

// A whole-number setting: the page holds a kept number within the bounds,
// and takes the fallback for a text that is no number. The bounds are the
// page's own (the server's bm_page_number), so that the desk shows what
// the page uses.
struct Bounds {
    int fallback;
    int lowest;
    int highest;
};
inline constexpr Bounds tripsPerGuideBounds { 1, 0, 20 };
inline constexpr Bounds noticeDaysBounds { 1, 0, 365 };
inline constexpr Bounds daysAheadBounds { 90, 0, 730 };
inline constexpr Bounds cancelDaysBounds { 2, 0, 365 };
inline constexpr Bounds largestPartyBounds { 1, 1, 50 };

// A kept setting as the page reads it.
int number(const QString &kept, const Bounds &bounds);

// Every day of the week, Monday (1) to Sunday (7).
inline constexpr char everyDay[] = "1234567";

struct Settings {
    QDate seasonStart; // none: the season has no first day
    QDate seasonEnd;
    QString weekdays = QLatin1String(everyDay); // the days worked, in order
    int tripsPerGuide = tripsPerGuideBounds.fallback; // trips a guide takes a day
    int noticeDays = noticeDaysBounds.fallback; // the shortest notice
    int daysAhead = daysAheadBounds.fallback; // how far ahead the page shows
    int cancelDays = cancelDaysBounds.fallback; // the client cancels up to this many days before
    bool operator==(const Settings &) const = default;
};

struct Trip {
    qint64 id = 0; // 0: not kept yet
    QString tripType;
    QString length; // "4 hours"
    QString startTime; // "HH:mm", or empty
    std::optional<Money> price;
    std::optional<Money> deposit;
    QString largestParty; // a whole number, or empty
    bool operator==(const Trip &) const = default;
};

struct DayOff {
    qint64 id = 0; // 0: not kept yet
    QDate date;
    QString guide; // a guide of the roster; empty: the whole service
    bool operator==(const DayOff &) const = default;
};

struct Page {
    Settings settings;
    QList<Trip> trips; // in the order the page lists them
    QList<DayOff> daysOff; // by date
    bool operator==(const Page &) const = default;
};

// Reads the page from the database at path (empty: the program's). Without
// a settings record the page's own defaults stand.
[[nodiscard]] Status read(Page &page, const QString &path = QString());

// Writes in one transaction what the guide changed from `before` (the page
// as read) to `after`: the settings' changed fields, and the trips and days
// off added, changed (only their changed fields) and removed. What another
// desk saved meanwhile in anything the guide left alone stays; a trip or a
// day off the guide changed that another desk removed is added again.
[[nodiscard]] Status save(const Page &before, const Page &after, const QString &path = QString());

} // namespace bm::bookingpage
