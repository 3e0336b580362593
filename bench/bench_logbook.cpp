// The state's logbook of a busy lodge: 10 guides with 60 trips each in one
// month (600 trips), 4 anglers a trip, each with a catch line at one or two
// sites, beside 20,000 bookings of other years. How long the month's
// logbook takes to read (rows and problems), the report to its first page
// (the queries, filling the layout and laying out the first page), and the
// whole PDF.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_logbook
//   QT_QPA_PLATFORM=offscreen ./build/bench/bench_logbook
#include "core/apppaths.h"
#include "db/database.h"
#include "domain/logbook.h"
#include "platform/reportpreviewdocument.h"
#include "reports/runner.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include "benchdata.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace bm;

namespace
{

constexpr int guides = 10;
constexpr int tripsPerGuide = 60;
constexpr int anglers = 4;
const QDate month(2026, 11, 1);

void generateMonth()
{
    bench::insertBookings(20000);
    const int trips = guides * tripsPerGuide;
    // The month's bookings take the keys after the last one.
    QSqlQuery last(db::connection(databasePath()));
    if (!last.exec(QStringLiteral("SELECT MAX(%1) FROM %2")
                       .arg(QLatin1String(schema::keyColumn), schema::quoted(QLatin1String(table::Booking))))
        || !last.next())
        qFatal("the bookings can not be counted");
    const qint64 firstId = last.value(0).toLongLong() + 1;
    bench::insertRows(QString::fromLatin1(table::Booking),
        { field::Booking::Date, field::Booking::Guide, field::Booking::Lake, field::Booking::Name,
            field::Booking::Status },
        trips, [](int i, QRandomGenerator &) -> QVariantList {
            return { month.addDays(i % 30).toString(Qt::ISODate), QStringLiteral("Guide %1").arg(i % guides),
                QStringLiteral("Cowlitz River"), QStringLiteral("Client %1").arg(i),
                QString::fromLatin1(bookingStatus::confirmed) };
        });
    bench::insertRows(QString::fromLatin1(table::Guides), { field::Guides::Name, field::Guides::License },
        guides, [](int i, QRandomGenerator &) -> QVariantList {
            return { QStringLiteral("Guide %1").arg(i), QStringLiteral("G-%1").arg(100 + i) };
        });
    bench::insertRows(QString::fromLatin1(table::Party),
        { field::Party::Booking, field::Party::Angler, field::Party::License, field::Party::Role },
        trips * anglers, [firstId](int i, QRandomGenerator &) -> QVariantList {
            return { QString::number(firstId + i / anglers), QStringLiteral("Angler %1").arg(i % anglers),
                QStringLiteral("WA-%1").arg(i),
                QString::fromLatin1(i % anglers ? partyRole::client : partyRole::crew) };
        });
    // One line per angler at the first site, and at a second site on every
    // other trip.
    bench::insertRows(QString::fromLatin1(table::Catch),
        { field::Catch::Booking, field::Catch::Day, field::Catch::Site, field::Catch::Water,
            field::Catch::Angler, field::Catch::Species, field::Catch::Origin, field::Catch::LifeStage,
            field::Catch::Kept, field::Catch::Released },
        trips * anglers * 2, [firstId](int i, QRandomGenerator &rng) -> QVariantList {
            const int trip = (i / anglers) % (guides * tripsPerGuide);
            const bool second = i >= guides * tripsPerGuide * anglers;
            if (second && trip % 2)
                return { QString::number(firstId + trip), QString(), QString(), QString(), QString(),
                    QString(), QString(), QString(), QString(),
                    QString() }; // a stray empty line of no trip-day
            return { QString::number(firstId + trip), month.addDays(trip % 30).toString(Qt::ISODate),
                second ? QStringLiteral("28") : QStringLiteral("27"), QStringLiteral("Cowlitz River"),
                QStringLiteral("Angler %1").arg(i % anglers), QStringLiteral("Steelhead"),
                QString::fromLatin1(catchOrigin::hatchery), QString::fromLatin1(catchStage::adult),
                QString::number(rng.bounded(3)), QString::number(rng.bounded(4)) };
        });
}

report::Request logbookRequest()
{
    report::Request r;
    r.definitionPath = appFile(QStringLiteral("logbook.rpt"));
    r.month = month.toString(QStringLiteral("yyyy-MM"));
    r.printDate = QDate(2026, 12, 8);
    return r;
}

void BM_LogbookRows(benchmark::State &state)
{
    for (auto _ : state) {
        logbook::Month m;
        if (const Status s = logbook::read(month, QString(), m); !s)
            state.SkipWithError(qPrintable(s.message()));
        const QList<QStringList> rows = logbook::tableRows(m);
        state.counters["visits"] = double(m.visits.size());
        state.counters["rows"] = double(rows.size());
        state.counters["problems"] = double(m.problems.size());
    }
}
BENCHMARK(BM_LogbookRows)->Unit(benchmark::kMillisecond)->Iterations(5);

// What the print command does before the preview shows its first page.
void BM_LogbookFirstPage(benchmark::State &state)
{
    for (auto _ : state) {
        report::Rendered rendered;
        if (const Status s = report::render(logbookRequest(), rendered); !s) {
            state.SkipWithError(qPrintable(s.message()));
            return;
        }
        platform::ReportPages pages(rendered);
        state.counters["known pages"] = pages.knownPageCount();
    }
}
BENCHMARK(BM_LogbookFirstPage)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LogbookWholePdf(benchmark::State &state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        report::Rendered rendered;
        if (const Status s = report::render(logbookRequest(), rendered); !s) {
            state.SkipWithError(qPrintable(s.message()));
            return;
        }
        const platform::ReportPages pages(rendered);
        if (const Status s = pages.savePdf(dir.filePath(QStringLiteral("logbook.pdf"))); !s)
            state.SkipWithError(qPrintable(s.message()));
        state.counters["pages"] = pages.pageCount();
    }
}
BENCHMARK(BM_LogbookWholePdf)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, generateMonth);
}
