#pragma once

// A month of guided trips (November 2026) for the state's logbook, laid in
// through record sources: a two-day trip with two sites on its first day
// and nothing on its second, crew and a comped angler, salmon and steelhead
// with and without their origin and life stage, a trip with nothing kept
// and no party, a trip that began the month before, and trips that do not
// count (cancelled, in December).

#include "records.h"

#include "schema/fields.h"

#include <QDate>

namespace bm::test
{

struct LogbookMonth {
    Bookmark twoDays; // Nov 3-4, Ann Reed: Carl Dunn, Dee Dunn (comped), Eli Moss (crew)
    Bookmark released; // Nov 10, Bo Lind: Fay Hill alone, nothing kept, no site code
    Bookmark crewFished; // Nov 20, Ann Reed: Gus Park, Hal Ames (crew, no licence)
    Bookmark fromOctober; // Oct 31 - Nov 1, Ann Reed: Jo Wren alone
};

inline void addParty(Bookmark booking, const QString &angler, const QString &license, const char *role)
{
    addRecord(QLatin1String(table::Party),
        { { QLatin1String(field::Party::Booking), QString::number(booking.id) },
            { QLatin1String(field::Party::Angler), angler },
            { QLatin1String(field::Party::License), license },
            { QLatin1String(field::Party::Role), QLatin1String(role) } });
}

// One catch line: "" species is nothing caught.
struct CatchEntry {
    QDate day;
    QString site, water, angler, species, kept, released;
    QString origin {}, stage {};
};

inline void addCatch(Bookmark booking, const CatchEntry &c)
{
    namespace C = field::Catch;
    addRecord(QLatin1String(table::Catch),
        { { QLatin1String(C::Booking), QString::number(booking.id) }, { QLatin1String(C::Day), c.day },
            { QLatin1String(C::Site), c.site }, { QLatin1String(C::Water), c.water },
            { QLatin1String(C::Angler), c.angler }, { QLatin1String(C::Species), c.species },
            { QLatin1String(C::Kept), c.kept }, { QLatin1String(C::Released), c.released },
            { QLatin1String(C::Origin), c.origin }, { QLatin1String(C::LifeStage), c.stage } });
}

inline Bookmark addTrip(const QDate &date, const QString &days, const QString &guide, const QString &lake,
    const QString &client, const char *status = bookingStatus::confirmed)
{
    namespace B = field::Booking;
    return addBooking({ { QLatin1String(B::Date), date }, { QLatin1String(B::Days), days },
        { QLatin1String(B::Guide), guide }, { QLatin1String(B::Lake), lake },
        { QLatin1String(B::Name), client }, { QLatin1String(B::Status), QLatin1String(status) } });
}

inline LogbookMonth layLogbookMonth()
{
    fillTable(QLatin1String(table::Guides),
        { { { QLatin1String(field::Guides::Name), QStringLiteral("Ann Reed") },
              { QLatin1String(field::Guides::License), QStringLiteral("G-100") },
              { QLatin1String(field::Guides::Active), QStringLiteral("Yes") } },
            { { QLatin1String(field::Guides::Name), QStringLiteral("Bo Lind") },
                { QLatin1String(field::Guides::Active), QStringLiteral("Yes") } } });
    fillTable(QLatin1String(table::SiteCodes),
        { { { QLatin1String(field::SiteCodes::Code), QStringLiteral("27") },
              { QLatin1String(field::SiteCodes::Name), QStringLiteral("Cowlitz R. - Barrier Dam to I-5") } },
            { { QLatin1String(field::SiteCodes::Code), QStringLiteral("28") },
                { QLatin1String(field::SiteCodes::Name), QStringLiteral("Cowlitz R. - I-5 to mouth") } } });
    const QString cowlitz = QStringLiteral("Cowlitz River");
    LogbookMonth m;
    m.fromOctober = addTrip(QDate(2026, 10, 31), QStringLiteral("2"), QStringLiteral("Ann Reed"), cowlitz,
        QStringLiteral("Jo Wren"));
    addCatch(m.fromOctober, { QDate(2026, 10, 31), "27", cowlitz, "Jo Wren", "Rainbow Trout", "1", "0" });
    addCatch(m.fromOctober, { QDate(2026, 11, 1), "27", cowlitz, "Jo Wren", "Rainbow Trout", "2", "1" });

    m.twoDays = addTrip(QDate(2026, 11, 3), QStringLiteral("2"), QStringLiteral("Ann Reed"), cowlitz,
        QStringLiteral("Carl Dunn"));
    addParty(m.twoDays, QStringLiteral("Carl Dunn"), QStringLiteral("WA-1"), partyRole::client);
    addParty(m.twoDays, QStringLiteral("Dee Dunn"), QStringLiteral("WA-2"), partyRole::comped);
    addParty(m.twoDays, QStringLiteral("Eli Moss"), QString(), partyRole::crew);
    addCatch(
        m.twoDays, { QDate(2026, 11, 3), "28", cowlitz, "Carl Dunn", "", "", "", "", "" }); // nothing caught
    addCatch(m.twoDays,
        { QDate(2026, 11, 3), "27", cowlitz, "Carl Dunn", "Steelhead", "1", "0", catchOrigin::hatchery,
            catchStage::adult });
    addCatch(m.twoDays,
        { QDate(2026, 11, 3), "27", cowlitz, "Dee Dunn", "Steelhead", "0", "1", catchOrigin::wild,
            catchStage::jack });

    m.released = addTrip(QDate(2026, 11, 10), QString(), QStringLiteral("Bo Lind"),
        QStringLiteral("Lake Sawyer"), QStringLiteral("Fay Hill"));
    addCatch(m.released,
        { QDate(2026, 11, 10), "", "Lake Sawyer", "Fay Hill", "Cutthroat Trout", "0", "3", "", "" });

    m.crewFished = addTrip(QDate(2026, 11, 20), QStringLiteral("1"), QStringLiteral("Ann Reed"), cowlitz,
        QStringLiteral("Gus Park"));
    addParty(m.crewFished, QStringLiteral("Gus Park"), QStringLiteral("WA-3"), partyRole::client);
    addParty(m.crewFished, QStringLiteral("Hal Ames"), QString(), partyRole::crew);
    addCatch(m.crewFished,
        { QDate(2026, 11, 20), "27", cowlitz, "Hal Ames", "Coho Salmon", "1", "0", catchOrigin::hatchery,
            "" });
    addCatch(m.crewFished,
        { QDate(2026, 11, 20), "27", cowlitz, "Ivy Stone", "Chinook", "1", "0", catchOrigin::wild,
            catchStage::adult });

    const Bookmark cancelled = addTrip(QDate(2026, 11, 12), QString(), QStringLiteral("Ann Reed"), cowlitz,
        QStringLiteral("Kim Cole"), bookingStatus::cancelled);
    addCatch(cancelled, { QDate(2026, 11, 12), "27", cowlitz, "Kim Cole", "Steelhead", "1", "0" });
    addTrip(QDate(2026, 12, 2), QString(), QStringLiteral("Ann Reed"), cowlitz, QStringLiteral("Lu Ott"));
    return m;
}

} // namespace bm::test
