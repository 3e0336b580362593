#include "behind.h"
#include "checks.h"
#include "seasonfixture.h"

#include "db/query.h"
#include "domain/season.h"

#include <QtTest>

using namespace bm;
using bm::test::SeasonRow;

Q_DECLARE_METATYPE(QList<SeasonRow>)

namespace
{

QString money(Money m)
{
    return m.format();
}

// One figure of a summary, named the way the test table names it.
QString figure(const season::Summary &s, const QString &name)
{
    const QStringList part = name.split(QLatin1Char(' '));
    if (part.size() == 2 && (part[0] == QLatin1String("trips") || part[0] == QLatin1String("income"))) {
        const int year = part[1].left(4).toInt();
        const season::YearFigures &y = year == s.current.year ? s.current : s.previous;
        if (year != y.year)
            return QStringLiteral("no such year");
        if (part[1].size() == 4)
            return part[0] == QLatin1String("trips") ? QString::number(y.trips) : money(y.income);
        const season::MonthFigures &m = y.months[part[1].mid(5).toInt() - 1];
        return part[0] == QLatin1String("trips") ? QString::number(m.trips) : money(m.income);
    }
    if (name == QLatin1String("fish"))
        return QString::number(s.fish);
    if (name == QLatin1String("trips with results"))
        return QString::number(s.tripsWithResults);
    if (name == QLatin1String("species")) {
        QStringList out;
        for (const season::SpeciesCatch &c : s.species)
            out << QStringLiteral("%1:%2/%3").arg(c.species).arg(c.fish).arg(c.trips);
        return out.join(QStringLiteral(", "));
    }
    if (name == QLatin1String("lures")) {
        QStringList out;
        for (const season::LureMonth &l : s.lures)
            out << QStringLiteral("%1 %2: %3 %4 %5/%6 of %7, big %8 %9 %10 %11")
                       .arg(l.lake)
                       .arg(l.month)
                       .arg(l.lure, l.color)
                       .arg(l.fish)
                       .arg(l.trips)
                       .arg(l.allFish)
                       .arg(l.bigFish, l.weight ? QString::number(*l.weight) : QStringLiteral("-"), l.length,
                           l.bigFishDate.toString(Qt::ISODate));
        return out.join(QStringLiteral(" | "));
    }
    if (name == QLatin1String("moon")) {
        QStringList out;
        for (int p = 0; p < sky::phaseCount; ++p)
            if (s.moon[p].trips > 0)
                out << QStringLiteral("%1 %2/%3")
                           .arg(sky::phaseName(sky::Phase(p)))
                           .arg(s.moon[p].fish)
                           .arg(s.moon[p].trips);
        return out.join(QStringLiteral(", "));
    }
    if (name == QLatin1String("left out")) {
        const season::LeftOut &l = s.leftOut;
        return QStringLiteral("undated %1, bad date %2, charge %3, fish %4, weight %5")
            .arg(l.undated)
            .arg(l.badDate)
            .arg(l.badCharge)
            .arg(l.badFish)
            .arg(l.badWeight);
    }
    return QStringLiteral("unknown figure ") + name;
}

} // namespace

class TestSeason : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }

    void readsNumbersLeniently_data();
    void readsNumbersLeniently();
    void summaryOfASeason_data();
    void summaryOfASeason();
    void yearsWithBookings();
    void figuresOfOneGuide_data();
    void figuresOfOneGuide();
    void moneyOwedOldestFirst();
    void littleOrNoData_data();
    void littleOrNoData();
    void unreadableDatabaseIsAFailure();
};

void TestSeason::readsNumbersLeniently_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<double>("value");

    const QString us = QStringLiteral("en_US"), de = QStringLiteral("de_DE");
    QTest::newRow("count alone") << "count" << us << "12" << true << 12.0;
    QTest::newRow("count with unit") << "count" << us << "12 fish" << true << 12.0;
    QTest::newRow("count blanks") << "count" << us << "  7 " << true << 7.0;
    QTest::newRow("count grouped") << "count" << us << "1,200" << true << 1200.0;
    QTest::newRow("count none") << "count" << us << "None" << true << 0.0;
    QTest::newRow("count zero") << "count" << us << "0" << true << 0.0;
    QTest::newRow("count word") << "count" << us << "lots" << false << 0.0;
    QTest::newRow("count fraction") << "count" << us << "12.5" << false << 0.0;
    QTest::newRow("count negative") << "count" << us << "-3" << false << 0.0;
    QTest::newRow("count range") << "count" << us << "5-10" << false << 0.0;
    QTest::newRow("count after word") << "count" << us << "about 12" << false << 0.0;
    QTest::newRow("count question") << "count" << us << "12?" << false << 0.0;
    QTest::newRow("count empty") << "count" << us << "" << false << 0.0;
    QTest::newRow("count typo") << "count" << us << "99999999999" << false << 0.0;
    QTest::newRow("weight lbs.") << "weight" << us << "5 lbs." << true << 5.0;
    QTest::newRow("weight decimal") << "weight" << us << "5.5 lb" << true << 5.5;
    QTest::newRow("weight bare") << "weight" << us << "5" << true << 5.0;
    QTest::newRow("weight pounds ounces") << "weight" << us << "6 lbs 8 oz" << true << 6.5;
    QTest::newRow("weight packed") << "weight" << us << "6lb. 4oz." << true << 6.25;
    QTest::newRow("weight ounces") << "weight" << us << "12 oz" << true << 0.75;
    QTest::newRow("weight fraction") << "weight" << us << ".5 lbs" << true << 0.5;
    QTest::newRow("weight kilograms") << "weight" << us << "2 kg" << true << 2 / 0.45359237;
    QTest::newRow("weight inches") << "weight" << us << "20 inches" << false << 0.0;
    QTest::newRow("weight word") << "weight" << us << "heavy" << false << 0.0;
    QTest::newRow("weight dash") << "weight" << us << "5-4" << false << 0.0;
    QTest::newRow("number inches") << "number" << us << "15 inches" << true << 15.0;
    QTest::newRow("number grouped") << "number" << us << "1,250.5" << true << 1250.5;
    QTest::newRow("number comma en") << "number" << us << "5,5" << false << 0.0;
    QTest::newRow("number comma de") << "number" << de << "5,5 kg" << true << 5.5;
    QTest::newRow("number point de") << "number" << de << "5.5" << true << 5.5;
    QTest::newRow("number grouped de") << "number" << de << "1.250,5" << true << 1250.5;
    QTest::newRow("number two numbers") << "number" << us << "5 6" << false << 0.0;
}

void TestSeason::readsNumbersLeniently()
{
    QFETCH(QString, reader);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, readable);
    QFETCH(double, value);

    const QLocale l(locale);
    std::optional<double> read;
    if (reader == QLatin1String("count")) {
        if (const auto c = season::readCount(text, l))
            read = double(*c);
    } else if (reader == QLatin1String("weight")) {
        read = season::readWeight(text, l);
    } else {
        read = season::readNumber(text, l);
    }
    QCOMPARE(read.has_value(), readable);
    if (readable)
        QCOMPARE(*read, value);
}

void TestSeason::summaryOfASeason_data()
{
    QTest::addColumn<QString>("figure");
    QTest::addColumn<QString>("expected");

    QTest::newRow("March trips") << "trips 2025-03"
                                 << "4";
    QTest::newRow("March income, invoice over charge") << "income 2025-03"
                                                       << "1325.50";
    QTest::newRow("June trips") << "trips 2025-06"
                                << "3";
    QTest::newRow("June income") << "income 2025-06"
                                 << "750.00";
    QTest::newRow("July: trip counted, bad charge left out") << "income 2025-07"
                                                             << "0.00";
    QTest::newRow("July trips") << "trips 2025-07"
                                << "1";
    QTest::newRow("last day of the year") << "trips 2025-12"
                                          << "1";
    QTest::newRow("empty month") << "trips 2025-05"
                                 << "0";
    QTest::newRow("year trips") << "trips 2025"
                                << "9";
    QTest::newRow("year income") << "income 2025"
                                 << "2475.50";
    QTest::newRow("year before, March") << "trips 2024-03"
                                        << "1";
    QTest::newRow("year before, November income") << "income 2024-11"
                                                  << "300.00";
    QTest::newRow("year before") << "income 2024"
                                 << "500.00";
    QTest::newRow("fish") << "fish"
                          << "42";
    QTest::newRow("trips with results") << "trips with results"
                                        << "6";
    QTest::newRow("species, most first, names folded")
        << "species"
        << "Largemouth Bass:20/2, Crappie:15/1, :4/1, walleye:3/2";
    QTest::newRow("best lure per lake and month")
        << "lures"
        << "Bull Shoals 3: Crankbait Firetiger 3/1 of 3, big  -  "
           " | Table Rock Lake 3: Jig Black 20/2 of 35, big Largemouth Bass 6.5 21 inches 2025-03-15"
           " | Table Rock Lake 6: Spoon Silver 4/2 of 4, big  -  ";
    // 2025: new moon 28 February, full moon 14 March and 11 June (07:44
    // UTC), last quarter 22 March, new moon 29 March.
    QTest::newRow("fish by the moon's phase of the trip's day")
        << "moon"
        << "Waxing Crescent 12/1, Full Moon 0/1, Waning Gibbous 27/3, Waning Crescent 3/1";
    // The server's amount fields hold whole numbers alone: the charge that is
    // a word on the file is no charge there.
    QTest::newRow("left out") << "left out"
                              << (test::onServer() ? "undated 1, bad date 1, charge 0, fish 1, weight 1"
                                                   : "undated 1, bad date 1, charge 1, fish 1, weight 1");
}

void TestSeason::summaryOfASeason()
{
    QFETCH(QString, figure);
    QFETCH(QString, expected);
    test::layInSeason(test::smallSeason());
    season::Summary s;
    const Status status = season::summarize(2025, s);
    QVERIFY2(status.isOk(), qPrintable(status.message()));
    QCOMPARE(::figure(s, figure), expected);
}

// The small season shared by two guides: Kay has Ann to Ed and the undated
// trip, O'Neil the rest. Each one's figures are of his trips alone, and the
// two add up to the whole.
void TestSeason::figuresOfOneGuide_data()
{
    QTest::addColumn<QString>("guide");
    QTest::addColumn<QString>("figure");
    QTest::addColumn<QString>("expected");
    const struct {
        const char *figure, *kay, *oneil;
    } rows[] = {
        { "trips 2025", "5", "4" },
        { "income 2025", "1575.50", "900.00" },
        { "trips 2025-03", "4", "0" },
        { "trips 2024", "0", "2" },
        { "income 2024", "0.00", "500.00" },
        { "fish", "38", "4" },
        { "trips with results", "4", "2" },
        { "species", "Largemouth Bass:20/2, Crappie:15/1, walleye:3/1", ":4/1" },
        { "left out", "undated 1, bad date 0, charge 0, fish 1, weight 1",
            test::onServer() ? "undated 0, bad date 1, charge 0, fish 0, weight 0"
                             : "undated 0, bad date 1, charge 1, fish 0, weight 0" },
        { "owed", "2 bookings 225.00: Carl Jones, Lou Park",
            "3 bookings 750.00: Jim Nash, Fay Green, Ida Moss" },
    };
    for (const auto &r : rows) {
        QTest::addRow("Kay: %s", r.figure) << "Kay" << r.figure << r.kay;
        QTest::addRow("O'Neil: %s", r.figure) << "O'Neil" << r.figure << r.oneil;
    }
    QTest::newRow("a guide without trips") << "Zed"
                                           << "trips 2025"
                                           << "0";
    QTest::newRow("names are compared exactly") << "kay"
                                                << "income 2025"
                                                << "0.00";
}

void TestSeason::figuresOfOneGuide()
{
    QFETCH(QString, guide);
    QFETCH(QString, figure);
    QFETCH(QString, expected);
    test::layInSeason(test::smallSeason());
    BM_VERIFY(db::write(databasePath(), QStringLiteral("Booking"),
        QStringLiteral("UPDATE Booking SET Guide = CASE WHEN Name < 'F' OR Name = 'Lou Park' THEN 'Kay' "
                       "ELSE 'O''Neil' END"),
        {}));
    if (figure == QLatin1String("owed")) {
        season::MoneyOwed owed;
        BM_VERIFY(season::moneyOwed(guide, owed));
        QStringList names;
        for (const season::OwedBooking &b : owed.bookings)
            names << b.name;
        QCOMPARE(QStringLiteral("%1 bookings %2: %3")
                     .arg(owed.bookings.size())
                     .arg(owed.total.format(), names.join(QStringLiteral(", "))),
            expected);
        return;
    }
    season::Summary s;
    BM_VERIFY(season::summarize(2025, guide, s));
    QCOMPARE(::figure(s, figure), expected);
}

void TestSeason::yearsWithBookings()
{
    test::layInSeason(test::smallSeason());
    QList<int> years { 1999 };
    QVERIFY(season::bookingYears(years).isOk());
    QCOMPARE(years, QList<int>({ 2026, 2025, 2024, 2023 }));
}

void TestSeason::moneyOwedOldestFirst()
{
    test::layInSeason(test::smallSeason());
    season::MoneyOwed owed;
    QVERIFY(season::moneyOwed(owed).isOk());
    QStringList rows;
    for (const season::OwedBooking &b : owed.bookings)
        rows << QStringLiteral("%1 %2 %3").arg(b.date.toString(Qt::ISODate), b.name, b.balance.format());
    QCOMPARE(rows,
        QStringList({ "2024-03-05 Jim Nash 100.00", "2025-03-20 Carl Jones 150.00",
            "2025-06-11 Fay Green 250.00", "2025-12-31 Ida Moss 400.00", " Lou Park 75.00" }));
    QCOMPARE(owed.total.format(), QStringLiteral("975.00"));
    QCOMPARE(owed.unreadable, test::onServer() ? 0 : 1); // a balance that is a word: on the file alone

    // The bookmark names the booking itself.
    RecordSource rs(QStringLiteral("Data1"), QStringLiteral("Booking"));
    QVERIFY(rs.setBookmark(owed.bookings[1].booking).isOk());
    QCOMPARE(rs.text(QStringLiteral("Name")), QStringLiteral("Carl Jones"));
}

void TestSeason::littleOrNoData_data()
{
    QTest::addColumn<QList<SeasonRow>>("rows");
    QTest::addColumn<int>("trips");
    QTest::addColumn<int>("withResults");
    QTest::addColumn<int>("undated");
    QTest::addColumn<QList<int>>("years");

    QTest::newRow("no bookings") << QList<SeasonRow>() << 0 << 0 << 0 << QList<int>();
    QTest::newRow("no trip results") << QList<SeasonRow>(
        { { .date = "2025-04-01", .lake = "Bull Shoals", .charge = test::units(250) },
            { .date = "2025-05-01", .lake = "Bull Shoals" } })
                                     << 2 << 0 << 0 << QList<int>({ 2025 });
    QTest::newRow("dates missing") << QList<SeasonRow>(
        { { .lake = "Bull Shoals", .fish = "3" }, { .date = "", .fish = "2" } })
                                   << 0 << 0 << 2 << QList<int>();
}

void TestSeason::littleOrNoData()
{
    QFETCH(QList<SeasonRow>, rows);
    QFETCH(int, trips);
    QFETCH(int, withResults);
    QFETCH(int, undated);
    QFETCH(QList<int>, years);

    test::layInSeason(rows);
    season::Summary s;
    QVERIFY(season::summarize(2025, s).isOk());
    QCOMPARE(s.current.trips, trips);
    QCOMPARE(s.tripsWithResults, withResults);
    QCOMPARE(s.leftOut.undated, undated);
    QVERIFY(s.species.isEmpty());
    QVERIFY(s.lures.isEmpty());
    QList<int> found;
    QVERIFY(season::bookingYears(found).isOk());
    QCOMPARE(found, years);
    season::MoneyOwed owed;
    QVERIFY(season::moneyOwed(owed).isOk());
    QVERIFY(owed.bookings.isEmpty());
    QCOMPARE(owed.total, Money());
}

void TestSeason::unreadableDatabaseIsAFailure()
{
    const QString missing = test::dataHome() + QStringLiteral("/nowhere/tallow.mdb");
    season::Summary s;
    const Status summary = season::summarize(2025, s, missing);
    QVERIFY(!summary.isOk());
    QVERIFY(summary.message().contains(QStringLiteral("does not exist")));
    QList<int> years;
    QVERIFY(!season::bookingYears(years, missing).isOk());
    season::MoneyOwed owed;
    QVERIFY(!season::moneyOwed(owed, missing).isOk());

    QVERIFY(!season::summarize(0, s).isOk());

    // A database without the table: the failure says so, no empty figures.
    QVERIFY(test::execBehind(QStringLiteral("ALTER TABLE Booking RENAME TO Bookings")));
    const Status broken = season::summarize(2025, s);
    QVERIFY(!broken.isOk());
    QVERIFY2(broken.message().contains(test::missingTable(QStringLiteral("Booking"))),
        qPrintable(broken.message()));
    QVERIFY(!season::moneyOwed(owed).isOk());
    QVERIFY(!season::bookingYears(years).isOk());
}

BM_TEST_MAIN(TestSeason)
#include "test_season.moc"
