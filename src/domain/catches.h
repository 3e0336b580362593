#pragma once

#include "core/status.h"

#include <QDate>
#include <QList>
#include <QString>

namespace bm::catches
{

// Whether the state asks the origin (hatchery or wild) and life stage
// (adult or jack) of a fish of this species: salmon and steelhead, known by
// their names ("King Salmon", "Coho", "Steelhead Trout"; "king", "silver"
// and "pink" alone), in any case.
bool asksOriginAndStage(const QString &species);

// The days of a trip that starts on start and lasts Days days: one day when
// Days is empty or no whole number, at most longestTrip.
inline constexpr int longestTrip = 31;
QList<QDate> tripDays(const QDate &start, const QString &days);

// The most fish of one species one angler keeps or releases at one site on
// one day; more is a typing error.
inline constexpr int mostFish = 999;

// One line of the catch: what one angler kept and released of one species.
// No species: the angler fished the site and caught nothing.
struct Line {
    QString angler;
    QString species;
    QString origin; // catchOrigin, for salmon and steelhead only
    QString stage; // catchStage, likewise
    int kept = 0;
    int released = 0;
    bool operator==(const Line &) const = default;
};

// A line as the guide typed it, every value as text.
struct TypedLine {
    QString angler;
    QString species;
    QString origin;
    QString stage;
    QString kept;
    QString released;
};

// Where a typed line is wrong: its row and which of its values.
struct Refusal {
    enum Column { Angler, Species, Kept, Released, Origin, Stage };
    int row = -1;
    Column column = Angler;
};

// The typed lines as lines, every one checked: an angler; counts that are
// whole numbers from 0 to mostFish (empty is 0, read in the system's
// format); a species for fish caught; the origin and stage of a salmon or
// steelhead, and none for another fish. The first wrong line is a failure
// that says which and why, and tells where in refusal.
[[nodiscard]] Status checked(const QList<TypedLine> &typed, QList<Line> &lines, Refusal *refusal = nullptr);

// The lines of one site on one day of a trip.
struct SiteDay {
    QDate day;
    QString site; // the state's site code, or what the guide typed
    QString water; // the lake or river
    QList<Line> lines;
};

// Every line of a trip, by its booking's key: by day, and within a day by
// site in the order the sites were first recorded.
[[nodiscard]] Status read(qint64 booking, QList<SiteDay> &siteDays, const QString &path = QString());

// What a trip's catch comes to: the fish kept and released, and the species
// of which most were caught (the one first recorded of equals); none when
// no fish was caught.
struct Totals {
    int fish = 0;
    QString topSpecies;
};
Totals totalsOf(const QList<SiteDay> &siteDays);

// Replaces the lines of one site and day of a trip with siteDay's (none
// removes them), in one transaction with the trip's results: while the
// trip has lines, its Total Fish becomes their total and an empty Species
// the species caught most; a trip left without lines keeps its Total Fish.
[[nodiscard]] Status save(qint64 booking, const SiteDay &siteDay, const QString &path = QString());

} // namespace bm::catches
