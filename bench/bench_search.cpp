// The trip search over 100,000 bookings: opening the window, and a search
// for a common and a rare word in the trip remarks, each beside a direct SQL
// query that yields the same lines into the same kind of list.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_search
//   QT_QPA_PLATFORM=offscreen ./build/bench/bench_search
#include "core/apppaths.h"
#include "db/database.h"
#include "records/findtrips.h"
#include "records/frmfind.h"

#include "benchdata.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
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
        { "Date", "Lake", "Name", "Weather", "Species", "Lure", "Lake Area", "Remarks" }, bookings,
        [](int i, QRandomGenerator &rng) {
            QString remark = bench::words(rng, 8);
            if (i % 200 == 0)
                remark += " trophy";
            // One booking in fifty is not dated yet.
            return QVariantList { i % 50 == 7 ? QVariant()
                                              : QDate(2006, 1, 1).addDays(i / 14).toString(Qt::ISODate),
                bench::lakes[i % bench::lakes.size()],
                bench::clients[i % bench::clients.size()] + QString::number(i), "Sunny", "Largemouth Bass",
                "Jig and Pig", i % 3 ? "Upper Lake" : "", remark };
        });
}

const FindCommand &remarksCommand()
{
    for (const FindCommand &c : findCommands())
        if (QLatin1String(c.field) == QLatin1String("Remarks"))
            return c;
    return findCommands().front();
}

// The lines of a direct query of dates and lakes, into a list.
int directLines(QListWidget &list, const QString &condition, const QString &word)
{
    QSqlQuery q(db::connection(databasePath()));
    q.setForwardOnly(true);
    q.prepare("SELECT Date, Lake FROM Booking WHERE Date" + condition + " ORDER BY ID");
    if (!word.isEmpty())
        q.addBindValue("%" + word + "%");
    return bench::listTripLines(q, list);
}

void OpenSearchWindow(benchmark::State &state)
{
    for (auto _ : state) {
        FrmFind window;
        state.counters["listed"] = window.findChild<QListWidget *>("List1")->count();
    }
}

void DirectAllDated(benchmark::State &state)
{
    QListWidget list;
    for (auto _ : state)
        state.counters["listed"] = directLines(list, QString(), QString());
}

void SearchWord(benchmark::State &state, const QString &word)
{
    FrmFind window;
    window.findChild<QLineEdit *>("Text1")->setText(word);
    auto *list = window.findChild<QListWidget *>("List1");
    for (auto _ : state) {
        window.search(remarksCommand());
        state.counters["listed"] = list->count();
    }
}

void DirectLike(benchmark::State &state, const QString &word)
{
    QListWidget list;
    for (auto _ : state)
        state.counters["listed"] = directLines(list, " AND Remarks LIKE ?", word);
}

void SearchCommonWord(benchmark::State &state)
{
    SearchWord(state, "jig");
}
void DirectLikeCommonWord(benchmark::State &state)
{
    DirectLike(state, "jig");
}
void SearchRareWord(benchmark::State &state)
{
    SearchWord(state, "trophy");
}
void DirectLikeRareWord(benchmark::State &state)
{
    DirectLike(state, "trophy");
}

} // namespace

BENCHMARK(OpenSearchWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectAllDated)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchCommonWord)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectLikeCommonWord)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchRareWord)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectLikeRareWord)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, generateBookings);
}
