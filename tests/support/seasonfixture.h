#pragma once

// A small season of bookings whose figures are known by hand, laid into a
// fresh database; and a generator of a larger season for the window.

#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/query.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace bm::test
{

// One booking. Amounts are given as stored (ten-thousandths) or as text
// where a test needs a value that is not an amount; empty: not set.
struct SeasonRow {
    QVariant date {}; // as stored
    QString lake {};
    QVariant charge {}; // "Total Charge"
    QVariant invoice {}; // "Charge Total"
    QString species {};
    QString fish {};
    QString lure {};
    QString color {};
    QString bigFish {};
    QString weight {};
    QString length {};
    QVariant balance {};
    QString name = QStringLiteral("Client");
};

inline QVariant units(double amount)
{
    return QVariant(qlonglong(qRound64(amount * 10000)));
}

inline void layInSeason(const QList<SeasonRow> &rows)
{
    const QVariant none(QMetaType::fromType<QString>());
    auto orNone = [&](const QVariant &v) { return v.isValid() ? v : none; };
    auto textOrNone = [&](const QString &s) { return s.isEmpty() ? none : QVariant(s); };
    // A text where an amount belongs can only be on the file: the server's
    // amount fields hold whole numbers alone, and the text reads as no
    // amount either way.
    auto amount = [&](const QVariant &v) {
        bool whole = false;
        v.toLongLong(&whole);
        return onServer() && v.isValid() && !whole ? none : orNone(v);
    };
    db::Transaction t(databasePath());
    QVERIFY(t.begin());
    QVERIFY(t.write(QStringLiteral("Booking"), QStringLiteral("DELETE FROM Booking"), {}));
    for (const SeasonRow &r : rows) {
        const Status s = t.write(QStringLiteral("Booking"),
            QStringLiteral(
                "INSERT INTO Booking (Name, Date, Lake, \"Total Charge\", \"Charge Total\", Species, "
                "\"Total Fish\", Lure, \"Lure Color\", \"Big Fish\", Weight, Length, \"Balance Due\") "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            { r.name, orNone(r.date), textOrNone(r.lake), amount(r.charge), amount(r.invoice),
                textOrNone(r.species), textOrNone(r.fish), textOrNone(r.lure), textOrNone(r.color),
                textOrNone(r.bigFish), textOrNone(r.weight), textOrNone(r.length), amount(r.balance) });
        QVERIFY2(s, qPrintable(s.message()));
    }
    QVERIFY(t.commit());
}

// The hand-counted season: 2025 beside 2024, with every kind of bad value.
inline QList<SeasonRow> smallSeason()
{
    const QString tr = QStringLiteral("Table Rock Lake"), bs = QStringLiteral("Bull Shoals");
    return {
        { .date = "2025-03-02",
            .lake = tr,
            .charge = units(250),
            .species = "Largemouth Bass",
            .fish = "12",
            .lure = "Jig",
            .color = "Black",
            .bigFish = "Largemouth Bass",
            .weight = "5 lbs.",
            .length = "20 inches",
            .balance = units(0),
            .name = "Ann Lee" },
        { .date = "2025-03-15",
            .lake = tr,
            .charge = units(250),
            .invoice = units(275.5),
            .species = "Largemouth Bass",
            .fish = "8 fish",
            .lure = "Jig",
            .color = "Black",
            .bigFish = "Largemouth Bass",
            .weight = "6 lbs 8 oz",
            .length = "21 inches",
            .name = "Bob Smith" },
        { .date = "2025-03-20",
            .lake = tr,
            .charge = units(400),
            .species = "Crappie",
            .fish = "15",
            .lure = "Spinnerbait",
            .color = "White",
            .bigFish = "Crappie",
            .weight = "1.5 lb",
            .balance = units(150),
            .name = "Carl Jones" },
        { .date = "2025-03-28",
            .lake = bs,
            .charge = units(400),
            .species = "walleye",
            .fish = "3",
            .lure = "Crankbait",
            .color = "Firetiger",
            .bigFish = "Walleye",
            .weight = "lots",
            .name = "Dana White" },
        { .date = "2025-06-10",
            .lake = tr,
            .charge = units(250),
            .species = "Walleye",
            .fish = "lots",
            .lure = "Jig",
            .color = "Black",
            .name = "Ed Brown" },
        { .date = "2025-06-11",
            .lake = tr,
            .charge = units(250),
            .species = "Walleye",
            .fish = "none",
            .lure = "Spoon",
            .color = "Silver",
            .balance = units(250),
            .name = "Fay Green" },
        { .date = "2025-06-12",
            .lake = tr,
            .charge = units(250),
            .fish = "4",
            .lure = "spoon",
            .color = "silver",
            .name = "Gus Hall" },
        { .date = "2025-07-04",
            .lake = bs,
            .charge = QStringLiteral("abc"),
            .balance = units(-50),
            .name = "Hal King" },
        { .date = "2025-12-31",
            .lake = "Beaver Lake",
            .charge = units(400),
            .balance = units(400),
            .name = "Ida Moss" },
        { .date = "2024-03-05",
            .lake = tr,
            .charge = units(200),
            .species = "Walleye",
            .fish = "20",
            .lure = "Jig",
            .color = "Black",
            .balance = units(100),
            .name = "Jim Nash" },
        { .date = "2024-11-01", .lake = tr, .charge = units(300), .name = "Kay Ott" },
        { .lake = tr, .charge = units(250), .balance = units(75), .name = "Lou Park" },
        { .date = "soon",
            .lake = tr,
            .charge = units(250),
            .balance = QStringLiteral("x"),
            .name = "Max Quin" },
        { .date = "2023-05-01", .lake = tr, .charge = units(250), .name = "Ned Rae" },
        { .date = "2026-01-02",
            .lake = tr,
            .charge = units(250),
            .species = "Crappie",
            .fish = "30",
            .lure = "Jig",
            .color = "Black",
            .name = "Ola Sims" },
    };
}

// A season of a few hundred trips for looking at the window: more trips in
// summer, more this year than last, a handful of lakes, lures and species.
inline QList<SeasonRow> generatedSeason(int thisYear, int trips)
{
    QRandomGenerator rng(2024);
    const QStringList lakes { "Table Rock Lake", "Bull Shoals", "Lake Taneycomo", "Beaver Lake" };
    const QStringList species { "Largemouth Bass", "Smallmouth Bass", "Crappie", "Walleye", "White Bass",
        "Rainbow Trout" };
    const QStringList lures { "Jig and Pig", "Spinnerbait", "Crankbait", "Plastic Worm", "Topwater Popper" };
    const QStringList colors { "Black", "White", "Chartreuse", "Green Pumpkin", "Firetiger" };
    const int weights[] = { 1, 1, 2, 3, 5, 6, 7, 7, 6, 4, 2, 1 }; // by month: more trips in summer
    QList<SeasonRow> rows;
    for (int i = 0; i < trips; ++i) {
        const int year = i % 5 < 3 ? thisYear : thisYear - 1;
        int pick = int(rng.bounded(45));
        int month = 1;
        while (pick >= weights[month - 1]) {
            pick -= weights[month - 1];
            ++month;
        }
        const QDate date(year, month, 1 + int(rng.bounded(28)));
        SeasonRow r;
        r.date = date.toString(Qt::ISODate);
        r.lake = lakes[int(rng.bounded(lakes.size()))];
        r.charge = units(i % 3 ? 250 : 400);
        r.name = QStringLiteral("Client %1").arg(i + 1);
        if (date < QDate(thisYear, 9, 1) && rng.bounded(10) < 8) {
            r.species = species[int(rng.bounded(std::min<int>(species.size(), 2 + month % 5)))];
            r.fish = QString::number(rng.bounded(20)) + (i % 4 ? QString() : QStringLiteral(" fish"));
            r.lure = lures[int(rng.bounded(lures.size()))];
            r.color = colors[int(rng.bounded(colors.size()))];
            r.bigFish = r.species;
            r.weight = QStringLiteral("%1 lbs.").arg(1 + rng.bounded(80) / 10.0);
            r.length = QStringLiteral("%1 inches").arg(12 + rng.bounded(12));
        }
        if (i % 7 == 0)
            r.fish = QStringLiteral("a bunch");
        r.balance = rng.bounded(12) == 0 ? units(50 * (1 + rng.bounded(6))) : units(0);
        rows.append(r);
    }
    return rows;
}

} // namespace bm::test
