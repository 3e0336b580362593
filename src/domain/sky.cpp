#include "domain/sky.h"

#include <libnova/lunar.h>
#include <libnova/rise_set.h>
#include <libnova/solar.h>

#include <algorithm>
#include <cmath>

namespace bm::sky
{

namespace
{

constexpr double unixEpochJd = 2440587.5;
constexpr double msecsPerDay = 86400000.0;

// The lunar theory's terms below this size are left out: the moon's place is
// then within two seconds of arc of the whole series (a few seconds of time)
// at a fiftieth of its cost.
constexpr double lunarPrecision = 1e-6;

double julianDay(const QDateTime &t)
{
    return unixEpochJd + double(t.toMSecsSinceEpoch()) / msecsPerDay;
}

QDateTime timeOf(double jd, const QTimeZone &zone)
{
    return QDateTime::fromMSecsSinceEpoch(qRound64((jd - unixEpochJd) * msecsPerDay), zone);
}

// The day as an interval of Julian days [first, last): from its midnight to
// the next (a midnight that a change of clocks skips is the first moment
// after it).
struct Span {
    double first;
    double last;
};

Span daySpan(const QDate &day, const QTimeZone &zone)
{
    return { julianDay(QDateTime(day, QTime(0, 0), zone)),
        julianDay(QDateTime(day.addDays(1), QTime(0, 0), zone)) };
}

// The moon's elongation east of the sun along the ecliptic, 0 to 360: 0 at
// new moon, 90 at the first quarter, 180 at full moon, 270 at the last.
double elongation(double jd)
{
    ln_lnlat_posn moon {};
    ln_lnlat_posn sun {};
    ln_get_lunar_ecl_coords(jd, &moon, lunarPrecision);
    ln_get_solar_ecl_coords(jd, &sun);
    const double e = std::fmod(moon.lng - sun.lng, 360.0);
    return e < 0 ? e + 360 : e;
}

// The observer as libnova takes it: longitude east positive, as ours.
ln_lnlat_posn observer(const Position &where)
{
    ln_lnlat_posn o {};
    o.lng = where.longitude;
    o.lat = where.latitude;
    return o;
}

using RiseSetTransit = int (*)(double, ln_lnlat_posn *, ln_rst_time *);

int lunarRiseSetTransit(double jd, ln_lnlat_posn *observer, ln_rst_time *rst)
{
    return ln_get_body_rst_horizon(
        jd, observer,
        [](double at, ln_equ_posn *position) { ln_get_lunar_equ_coords_prec(at, position, lunarPrecision); },
        LN_LUNAR_STANDART_HORIZON, rst);
}

// The rises, sets and transits of a body over a span of days, each once,
// earliest first. libnova answers for one day of universal time at a time;
// the days around the span are asked too, since a local day straddles two of
// them and an event near the edge of one may be given by its neighbour.
struct Events {
    QList<double> rises;
    QList<double> sets;
    QList<double> transits;
    bool alwaysUp = false; // some day of the span had the body above the horizon throughout
};

void addOnce(QList<double> &list, double jd)
{
    // The same event given by two neighbouring days differs by moments; two
    // events of one kind are most of a day apart.
    for (double seen : list)
        if (std::abs(seen - jd) < 0.25)
            return;
    list.append(jd);
}

Events eventsAround(RiseSetTransit rst, const Span &span, const Position &where, double margin)
{
    Events out;
    ln_lnlat_posn o = observer(where);
    const double firstDay = std::floor(span.first - 0.5 - margin) + 0.5;
    for (double day = firstDay; day < span.last + margin; day += 1) {
        ln_rst_time t {};
        const int answer = rst(day, &o, &t);
        if (answer == 1 && day + 1 > span.first && day < span.last)
            out.alwaysUp = true;
        if (answer != 0)
            continue;
        addOnce(out.rises, t.rise);
        addOnce(out.sets, t.set);
        addOnce(out.transits, t.transit);
    }
    for (QList<double> *list : { &out.rises, &out.sets, &out.transits })
        std::sort(list->begin(), list->end());
    return out;
}

std::optional<QDateTime> firstWithin(const QList<double> &events, const Span &span, const QTimeZone &zone)
{
    for (double jd : events)
        if (jd >= span.first && jd < span.last)
            return timeOf(jd, zone);
    return std::nullopt;
}

} // namespace

QString latitudeProblem(double latitude)
{
    if (std::isfinite(latitude) && latitude >= -90 && latitude <= 90)
        return {};
    return QStringLiteral("The latitude must be between -90 and 90 degrees (north positive).");
}

QString longitudeProblem(double longitude)
{
    if (std::isfinite(longitude) && longitude >= -180 && longitude <= 180)
        return {};
    return QStringLiteral("The longitude must be between -180 and 180 degrees (east positive).");
}

QString phaseName(Phase phase)
{
    switch (phase) {
    case Phase::NewMoon:
        return QStringLiteral("New Moon");
    case Phase::WaxingCrescent:
        return QStringLiteral("Waxing Crescent");
    case Phase::FirstQuarter:
        return QStringLiteral("First Quarter");
    case Phase::WaxingGibbous:
        return QStringLiteral("Waxing Gibbous");
    case Phase::FullMoon:
        return QStringLiteral("Full Moon");
    case Phase::WaningGibbous:
        return QStringLiteral("Waning Gibbous");
    case Phase::LastQuarter:
        return QStringLiteral("Last Quarter");
    case Phase::WaningCrescent:
        break;
    }
    return QStringLiteral("Waning Crescent");
}

MoonDay moonOn(const QDate &day, const QTimeZone &zone)
{
    const Span span = daySpan(day, zone);
    const double atStart = elongation(span.first);
    // The moon gains 10 to 15 degrees a day on the sun: a principal phase
    // (a multiple of 90) passed between the two midnights is the day's.
    const double gained = std::fmod(elongation(span.last) - atStart + 360.0, 360.0);
    const double noon = julianDay(QDateTime(day, QTime(12, 0), zone));
    MoonDay out;
    // Between the principal phases: the one after the quarter passed last.
    out.phase = Phase(int(elongation(noon) / 90.0) % 4 * 2 + 1);
    for (int quarter = 0; quarter < 4; ++quarter)
        if (std::fmod(quarter * 90.0 - atStart + 360.0, 360.0) < gained)
            out.phase = Phase(quarter * 2);
    out.illuminated = std::clamp(ln_get_lunar_disk(noon), 0.0, 1.0);
    return out;
}

SunDay sunOn(const QDate &day, const Position &where, const QTimeZone &zone)
{
    const Span span = daySpan(day, zone);
    const Events events = eventsAround(ln_get_solar_rst, span, where, 1);
    SunDay out;
    out.rise = firstWithin(events.rises, span, zone);
    out.set = firstWithin(events.sets, span, zone);
    out.alwaysUp = !out.rise && !out.set && events.alwaysUp;
    return out;
}

QList<Period> solunarOn(const QDate &day, const Position &where, const QTimeZone &zone)
{
    const Span span = daySpan(day, zone);
    const Events events = eventsAround(lunarRiseSetTransit, span, where, 2);
    QList<std::pair<double, bool>> middles; // when, major
    // The moon's opposite transit lies midway between two of its transits
    // a lunar day apart (further apart, a day between had none found, as in
    // the far north, and the midpoint is no transit).
    for (qsizetype i = 0; i < events.transits.size(); ++i) {
        middles.append({ events.transits[i], true });
        if (i + 1 < events.transits.size() && events.transits[i + 1] - events.transits[i] < 1.1)
            middles.append({ (events.transits[i] + events.transits[i + 1]) / 2, true });
    }
    for (double jd : events.rises)
        middles.append({ jd, false });
    for (double jd : events.sets)
        middles.append({ jd, false });
    std::sort(middles.begin(), middles.end());

    QList<Period> out;
    for (const auto &[jd, major] : middles) {
        if (jd < span.first || jd >= span.last)
            continue;
        const double half = major ? 1.0 / 24 : 0.5 / 24;
        out.append({ major, timeOf(jd - half, zone), timeOf(jd + half, zone) });
    }
    return out;
}

} // namespace bm::sky
