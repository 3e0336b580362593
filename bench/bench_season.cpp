// The season summary over 100,000 bookings in twenty years (5,000 a year,
// most with trip results): the whole summary of one year, next to the bare
// SQL aggregate of trips and charges per month that it can not be faster
// than, the money owed and the list of years.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_season
//   ./build/bench/bench_season
#include "core/apppaths.h"
#include "db/database.h"
#include "domain/season.h"

#include "benchdata.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDate>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace bm;

namespace
{

constexpr int bookings = 100000;
constexpr int firstYear = 2006;
constexpr int years = 20;
constexpr int year = 2020; // the year summarised

void generateBookings()
{
    const QStringList species { "Largemouth Bass", "Smallmouth Bass", "Crappie", "Walleye", "White Bass" };
    const QStringList lures { "Jig and Pig", "Spinnerbait", "Crankbait", "Plastic Worm", "Spoon" };
    const QStringList colors { "Black", "White", "Chartreuse", "Green Pumpkin", "Firetiger" };
    const QVariant none(QMetaType::fromType<QString>());
    const int days = QDate(firstYear, 1, 1).daysTo(QDate(firstYear + years, 1, 1));
    bench::clearTable("Booking");
    bench::insertRows("Booking",
        { "Date", "Lake", "Type", "Name", "Meet At", "City", "State", "Telephone", "Email", "Total Charge",
            "Deposit Amount", "Balance Due", "Charge Total", "Weather", "Species", "Total Fish", "Big Fish",
            "Weight", "Length", "Lure", "Lure Color", "Remarks" },
        bookings, [&](int i, QRandomGenerator &rng) {
            const bool results = rng.bounded(10) < 8;
            // In the order drawn.
            QVariantList row {
                QDate(firstYear, 1, 1).addDays(qint64(i) * days / bookings).toString(Qt::ISODate)
            };
            row << bench::lakes[int(rng.bounded(bench::lakes.size()))] << (i % 2 ? "Full Day" : "Half Day")
                << QString("Client %1").arg(i) << "State Park Marina"
                << "Branson"
                << "MO"
                << "(555) 555-0100" << QString("client%1@example.com").arg(i) << (i % 2 ? 4000000 : 2500000)
                << 1000000;
            row << (rng.bounded(20) == 0 ? QVariant(1500000) : QVariant(0));
            row << (i % 3 ? none : QVariant(4500000)) << "Sunny";
            row << (results ? QVariant(species[int(rng.bounded(species.size()))]) : none);
            row << (results ? QVariant(QString("%1 fish").arg(rng.bounded(25))) : none);
            row << (results ? QVariant("Largemouth Bass") : none);
            row << (results ? QVariant(QString("%1 lbs.").arg(1 + rng.bounded(90) / 10.0)) : none);
            row << (results ? QVariant(QString("%1 inches").arg(12 + rng.bounded(12))) : none);
            row << (results ? QVariant(lures[int(rng.bounded(lures.size()))]) : none);
            row << (results ? QVariant(colors[int(rng.bounded(colors.size()))]) : none);
            row << "slow bite on the points in the morning, then topwater along the bluffs";
            return row;
        });
}

void SeasonSummary(benchmark::State &state)
{
    for (auto _ : state) {
        season::Summary s;
        if (!season::summarize(year, s))
            state.SkipWithError("summary failed");
        state.counters["trips"] = s.current.trips;
        state.counters["lake months"] = s.lures.size();
    }
}

// Trips and charges per month of the two years, added up by SQLite alone.
void BareSqlAggregate(benchmark::State &state)
{
    QSqlDatabase db = db::connection(databasePath());
    for (auto _ : state) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(QString("SELECT substr(\"Date\", 1, 7), COUNT(*), "
                       "SUM(CASE WHEN \"Charge Total\" > 0 THEN \"Charge Total\" ELSE \"Total Charge\" END) "
                       "FROM Booking WHERE \"Date\" >= '%1-01-01' AND \"Date\" < '%2-01-01' GROUP BY 1")
                   .arg(year - 1)
                   .arg(year + 1));
        int months = 0;
        while (q.next())
            ++months;
        state.counters["months"] = months;
    }
}

void MoneyOwed(benchmark::State &state)
{
    for (auto _ : state) {
        season::MoneyOwed owed;
        if (!season::moneyOwed(owed))
            state.SkipWithError("money owed failed");
        state.counters["owed"] = owed.bookings.size();
    }
}

void BookingYears(benchmark::State &state)
{
    for (auto _ : state) {
        QList<int> found;
        if (!season::bookingYears(found))
            state.SkipWithError("years failed");
        state.counters["years"] = found.size();
    }
}

} // namespace

BENCHMARK(SeasonSummary)->Unit(benchmark::kMillisecond);
BENCHMARK(BareSqlAggregate)->Unit(benchmark::kMillisecond);
BENCHMARK(MoneyOwed)->Unit(benchmark::kMillisecond);
BENCHMARK(BookingYears)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, generateBookings);
}
