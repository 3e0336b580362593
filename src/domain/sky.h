#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace bm::sky
{

// The moon, the sun and the solunar periods of a day, computed with libnova.
// A day is the calendar day of the given time zone, from midnight to
// midnight; every time given back is in that zone.

// A place on the earth in decimal degrees, north and east positive.
struct Position {
    double latitude = 0;
    double longitude = 0;
};

// The range checks of a typed position. Each gives the message for the
// value, empty when it is within range.
QString latitudeProblem(double latitude);
QString longitudeProblem(double longitude);

// The eight phases, in the order the moon passes through them.
enum class Phase {
    NewMoon,
    WaxingCrescent,
    FirstQuarter,
    WaxingGibbous,
    FullMoon,
    WaningGibbous,
    LastQuarter,
    WaningCrescent,
};
inline constexpr int phaseCount = 8;

// "New Moon", "Waxing Crescent", ...
QString phaseName(Phase phase);

struct MoonDay {
    // The principal phase whose moment falls within the day, otherwise the
    // one between the principal phases the moon is in at noon.
    Phase phase = Phase::NewMoon;
    double illuminated = 0; // the lit share of the disk at noon, 0 to 1
};

MoonDay moonOn(const QDate &day, const QTimeZone &zone = QTimeZone::systemTimeZone());

// Sunrise and sunset (the upper limb on the horizon, with refraction). A day
// without one has none: in a polar summer the sun never sets, in a polar
// winter it never rises.
struct SunDay {
    std::optional<QDateTime> rise;
    std::optional<QDateTime> set;
    bool alwaysUp = false; // neither, and the sun above the horizon all day
};

SunDay sunOn(const QDate &day, const Position &where, const QTimeZone &zone = QTimeZone::systemTimeZone());

// A solunar period: the two hours around the moon's transit and around its
// opposite (major), the hour around moonrise and around moonset (minor).
struct Period {
    bool major = false;
    QDateTime start;
    QDateTime end;
};

// The periods whose middle falls within the day, earliest first.
QList<Period> solunarOn(
    const QDate &day, const Position &where, const QTimeZone &zone = QTimeZone::systemTimeZone());

} // namespace bm::sky
