// Record sources over 100,000 bookings: open and count, MoveLast, positioning
// by bookmark, Refresh, and the find loop next to a direct SQL LIKE query.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_recordsource
//   ./build/bench/bench_recordsource
#include "core/apppaths.h"
#include "db/database.h"
#include "db/recordsource.h"

#include "benchdata.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace bm;

namespace
{

constexpr int bookings = 100000;

void generateBookings()
{
    bench::insertRows("Booking",
        { "Date", "Lake", "Type", "Name", "Meet At", "City", "State", "Telephone", "Email", "Total Charge",
            "Deposit Amount", "Balance Due", "Weather", "Species", "Lure", "Remarks" },
        bookings, [](int i, QRandomGenerator &rng) {
            QString remark = bench::words(rng, 12);
            if (i % 50 == 0)
                remark += " trophy";
            return QVariantList { QDate(2006, 1, 1).addDays(i / 14).toString(Qt::ISODate),
                bench::lakes[i % bench::lakes.size()], i % 2 ? "Full Day" : "Half Day",
                bench::clients[i % bench::clients.size()] + QString::number(i), "State Park Marina",
                "Branson", "MO", "(555) 555-0100", QString("client%1@example.com").arg(i),
                i % 2 ? 4000000 : 2500000, 1000000, i % 2 ? 3000000 : 1500000, "Sunny", "Largemouth Bass",
                "Jig and Pig", remark };
        });
}

// Stops the benchmark with the failure's message; true when s succeeded.
bool ok(benchmark::State &state, const Status &s)
{
    if (!s)
        state.SkipWithError(qPrintable(s.message()));
    return s.isOk();
}

void OpenAndRecordCount(benchmark::State &state)
{
    for (auto _ : state) {
        RecordSource rs("DatBookings", "Booking");
        int n = 0;
        if (!ok(state, rs.count(n)))
            break;
        benchmark::DoNotOptimize(n);
    }
}

void MoveLast(benchmark::State &state)
{
    RecordSource rs("DatBookings", "Booking");
    for (auto _ : state) {
        if (!ok(state, rs.MoveLast()))
            break;
        benchmark::DoNotOptimize(rs.text("Name"));
        if (!ok(state, rs.MoveFirst()))
            break;
    }
}

void BookmarkPositioning(benchmark::State &state)
{
    RecordSource a("DatBookings", "Booking");
    RecordSource b("Data1", "Booking");
    QRandomGenerator rng(7);
    for (auto _ : state) {
        state.PauseTiming();
        const Status placed = a.setBookmark(Bookmark { qint64(rng.bounded(bookings)) + 1 });
        state.ResumeTiming();
        if (!ok(state, placed) || !ok(state, b.setBookmark(a.bookmark())))
            break;
        benchmark::DoNotOptimize(b.text("Name"));
    }
}

void Refresh(benchmark::State &state)
{
    RecordSource rs("DatBookings", "Booking");
    for (auto _ : state) {
        int n = 0;
        if (!ok(state, rs.Refresh()) || !ok(state, rs.count(n)))
            break;
        benchmark::DoNotOptimize(n);
    }
}

void FindLoop(benchmark::State &state)
{
    RecordSource rs("Data1", "SELECT * FROM Booking WHERE Date");
    const QString filter = "Remarks LIKE '*trophy*'";
    for (auto _ : state) {
        int found = 0;
        bool going = ok(state, rs.FindFirst(filter));
        while (going && !rs.NoMatch()) {
            ++found;
            going = ok(state, rs.FindNext(filter));
        }
        if (!going)
            break;
        state.counters["found"] = found;
    }
}

void DirectLikeQuery(benchmark::State &state)
{
    QSqlDatabase db = db::connection(databasePath());
    for (auto _ : state) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec("SELECT ID FROM Booking WHERE Date AND Remarks LIKE '%trophy%' ORDER BY ID");
        int found = 0;
        while (q.next())
            ++found;
        state.counters["found"] = found;
    }
}

void DirectOwnMatcherQuery(benchmark::State &state)
{
    QSqlDatabase db = db::connection(databasePath());
    for (auto _ : state) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec("SELECT ID FROM Booking WHERE Date AND bm_like('*trophy*', Remarks, 0) ORDER BY ID");
        int found = 0;
        while (q.next())
            ++found;
        state.counters["found"] = found;
    }
}

} // namespace

BENCHMARK(DirectOwnMatcherQuery)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenAndRecordCount)->Unit(benchmark::kMillisecond);
BENCHMARK(MoveLast)->Unit(benchmark::kMicrosecond);
BENCHMARK(BookmarkPositioning)->Unit(benchmark::kMicrosecond);
BENCHMARK(Refresh)->Unit(benchmark::kMicrosecond);
BENCHMARK(FindLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectLikeQuery)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, generateBookings);
}
