// Record sources over 100,000 bookings: open and count, MoveLast, positioning
// by bookmark, Refresh, and the find loop next to a direct SQL LIKE query.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_recordsource
//   ./build/bench/bench_recordsource
#include "data/apppaths.h"
#include "data/database.h"
#include "data/recordsource.h"

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
    QSqlDatabase db = database::connection(databasePath());
    QSqlQuery q(db);
    q.exec("BEGIN");
    q.prepare("INSERT INTO Booking (Date, Lake, Type, Name, \"Meet At\", City, State, Telephone, Email, "
              "\"Total Charge\", \"Deposit Amount\", \"Balance Due\", Weather, Species, Lure, Remarks) "
              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QStringList lakes { "Table Rock Lake", "Bull Shoals", "Lake Taneycomo", "Beaver Lake",
        "Norfork Lake" };
    const QStringList names { "Ann Lee", "Bob Smith", "Carl Jones", "Dana White", "Ed Brown", "Fay Green" };
    const QStringList words { "slow", "bite", "windy", "topwater", "jig", "deep", "points", "clear", "cold" };
    QRandomGenerator rng(42);
    for (int i = 0; i < bookings; ++i) {
        QStringList remark;
        for (int w = 0; w < 12; ++w)
            remark << words[int(rng.bounded(words.size()))];
        if (i % 50 == 0)
            remark << "trophy";
        q.addBindValue(QDate(2006, 1, 1).addDays(i / 14).toString(Qt::ISODate));
        q.addBindValue(lakes[i % lakes.size()]);
        q.addBindValue(i % 2 ? "Full Day" : "Half Day");
        q.addBindValue(names[i % names.size()] + QString::number(i));
        q.addBindValue("State Park Marina");
        q.addBindValue("Branson");
        q.addBindValue("MO");
        q.addBindValue("(555) 555-0100");
        q.addBindValue(QString("client%1@example.com").arg(i));
        q.addBindValue(i % 2 ? 4000000 : 2500000);
        q.addBindValue(1000000);
        q.addBindValue(i % 2 ? 3000000 : 1500000);
        q.addBindValue("Sunny");
        q.addBindValue("Largemouth Bass");
        q.addBindValue("Jig and Pig");
        q.addBindValue(remark.join(' '));
        q.exec();
    }
    q.exec("COMMIT");
    database::bumpGeneration(databasePath());
}

void OpenAndRecordCount(benchmark::State &state)
{
    for (auto _ : state) {
        RecordSource rs("DatBookings", "Booking");
        benchmark::DoNotOptimize(rs.RecordCount());
    }
}

void MoveLast(benchmark::State &state)
{
    RecordSource rs("DatBookings", "Booking");
    for (auto _ : state) {
        rs.MoveLast();
        benchmark::DoNotOptimize(rs.text("Name"));
        rs.MoveFirst();
    }
}

void BookmarkPositioning(benchmark::State &state)
{
    RecordSource a("DatBookings", "Booking");
    RecordSource b("Data1", "Booking");
    QRandomGenerator rng(7);
    for (auto _ : state) {
        state.PauseTiming();
        a.setBookmark(Bookmark { qint64(rng.bounded(bookings)) + 1 });
        state.ResumeTiming();
        b.setBookmark(a.bookmark());
        benchmark::DoNotOptimize(b.text("Name"));
    }
}

void Refresh(benchmark::State &state)
{
    RecordSource rs("DatBookings", "Booking");
    for (auto _ : state) {
        rs.Refresh();
        benchmark::DoNotOptimize(rs.RecordCount());
    }
}

void FindLoop(benchmark::State &state)
{
    RecordSource rs("Data1", "SELECT * FROM Booking WHERE Date");
    const QString filter = "Remarks LIKE '*trophy*'";
    for (auto _ : state) {
        int found = 0;
        rs.FindFirst(filter);
        while (!rs.NoMatch()) {
            ++found;
            rs.FindNext(filter);
        }
        state.counters["found"] = found;
    }
}

void DirectLikeQuery(benchmark::State &state)
{
    QSqlDatabase db = database::connection(databasePath());
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
    QSqlDatabase db = database::connection(databasePath());
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
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    if (!database::prepare())
        return 1;
    generateBookings();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    database::closeAll();
    return 0;
}
