// The calendar sync against Debian's Radicale on this machine: the first
// sync of every booking, then a sync after one booking changed (one request).
// Radicale takes about ten events a second, so the default of 10,000
// bookings runs for a quarter of an hour; BM_CALSYNC_BOOKINGS=300 shows it
// works in half a minute.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_calsync
//   BM_CALSYNC_BOOKINGS=300 ./build/bench/bench_calsync
#include "calsync/sync.h"
#include "core/apppaths.h"
#include "db/query.h"

#include "benchdata.h"
#include "radicaleserver.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace bm;

namespace
{

test::RadicaleServer *server = nullptr;
QTemporaryDir *folder = nullptr;

int bookingCount()
{
    const int n = qEnvironmentVariableIntValue("BM_CALSYNC_BOOKINGS");
    return n > 0 ? n : 10000;
}

calsync::Target target()
{
    return { databasePath(), server->calendarUrl(), false, {}, folder->filePath("journal") };
}

calsync::Outcome syncRound()
{
    calsync::Journal journal;
    QList<calsync::Change> changes;
    if (!journal.open(target().journalPath, target().calendarUrl) || !plan(target(), journal, changes))
        return { 0, 0, 0, 0, 0, Status::failure("planning failed"), {} };
    return carryOut(server->account(), target(), journal, changes);
}

void FirstSync(benchmark::State &state)
{
    for (auto _ : state) {
        const calsync::Outcome o = syncRound();
        if (!o.status)
            state.SkipWithError(qPrintable(o.status.message()));
        state.counters["requests"] = o.requests;
        state.counters["sent"] = o.sent;
    }
}

void OneChange(benchmark::State &state)
{
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!db::write(databasePath(), "Booking",
                "UPDATE Booking SET Notes = ? WHERE ID = (SELECT min(ID) FROM Booking)",
                { QString("changed %1").arg(++round) }))
            state.SkipWithError("the booking could not be changed");
        state.ResumeTiming();
        const calsync::Outcome o = syncRound();
        if (!o.status)
            state.SkipWithError(qPrintable(o.status.message()));
        state.counters["requests"] = o.requests;
    }
}

} // namespace

BENCHMARK(FirstSync)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(OneChange)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!test::RadicaleServer::available()) {
        std::fprintf(stderr, "radicale is not installed\n");
        return 1;
    }
    QTemporaryDir files;
    folder = &files;
    test::RadicaleServer radicale;
    server = &radicale;
    return bench::runBenchmarks(argc, argv, [&] {
        if (!radicale.start()) {
            std::fprintf(stderr, "radicale did not start\n");
            std::exit(1);
        }
        bench::clearTable("Booking");
        bench::insertBookings(bookingCount());
    });
}
