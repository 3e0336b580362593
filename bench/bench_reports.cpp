// Report figures with 10,000 bookings (BM_BENCH_BOOKINGS sets another
// count): how long "schedule.rpt" takes from the print command until the
// preview shows its first page, its parts, how long saving or printing the
// whole report takes from the preview, and the peak memory of the process.
//
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_reports
//   QT_QPA_PLATFORM=offscreen build/bench/bench_reports
//   BM_BENCH_BOOKINGS=100000 QT_QPA_PLATFORM=offscreen build/bench/bench_reports

#include "core/apppaths.h"
#include "core/progress.h"
#include "db/database.h"
#include "platform/report.h"
#include "platform/reportpreview.h"
#include "platform/windows.h"
#include "reports/runner.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPrinter>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <limits>

using namespace bm;

namespace
{

int bookingCount()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("BM_BENCH_BOOKINGS", &ok);
    return ok && n > 0 ? n : 10000;
}

// The heap in use, in MB, at its highest of the moments it was told of: a
// progress that looks at the heap on every page.
class HeapWatch : public Progress
{
public:
    bool advance(qint64, qint64) override
    {
        m_most = std::max(m_most, inUse());
        return true;
    }
    static double inUse()
    {
        const struct mallinfo2 info = mallinfo2();
        return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
    }
    double most() const { return m_most; }

private:
    double m_most = 0;
};

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void fillBookings(int bookings)
{
    QSqlDatabase db = db::connection(databasePath());
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO Booking (\"Date\", \"Name\", \"Lake\", \"Meet At\", \"Type\", "
                             "\"Total Charge\", \"Deposit Amount\", \"Balance Due\", \"Remarks\") "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDate start(2020, 1, 1);
    for (int i = 0; i < bookings - 1; ++i) {
        q.addBindValue(start.addDays(i % 2500).toString(Qt::ISODate));
        q.addBindValue(QStringLiteral("Client number %1").arg(i));
        q.addBindValue(i % 3 ? QStringLiteral("Table Rock Lake") : QStringLiteral("Bull Shoals Lake"));
        q.addBindValue(QStringLiteral("State Park Marina"));
        q.addBindValue(i % 2 ? QStringLiteral("Full Day") : QStringLiteral("Half Day"));
        q.addBindValue(qint64(4000000 + i));
        q.addBindValue(qint64(1000000));
        q.addBindValue(qint64(3000000 + i));
        q.addBindValue(QStringLiteral("Caught a few on the points."));
        q.exec();
    }
    db.commit();
}

report::Request scheduleRequest()
{
    report::Request r;
    r.definitionPath = appFile(QStringLiteral("schedule.rpt"));
    r.printDate = QDate(2026, 12, 8);
    return r;
}

bool renderSchedule(benchmark::State &state, report::Rendered &rendered)
{
    if (report::render(scheduleRequest(), rendered))
        return true;
    state.SkipWithError("the schedule could not be rendered");
    return false;
}

// The whole command: run the report, lay it out, open the preview and
// paint the page in sight.
void BM_ScheduleFirstPage(benchmark::State &state)
{
    for (auto _ : state) {
        platform::reportService().run(appFile(QStringLiteral("schedule.rpt")), {}, {}, {});
        auto *preview
            = qobject_cast<platform::ReportPreview *>(platform::findWindow(QStringLiteral("frmPreview")));
        if (!preview) {
            state.SkipWithError("no preview");
            return;
        }
        const QPixmap shown = preview->grab();
        benchmark::DoNotOptimize(shown);
        state.PauseTiming();
        state.counters["pages"] = preview->pages()->pageCount();
        preview->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ScheduleFirstPage)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScheduleRender(benchmark::State &state)
{
    for (auto _ : state) {
        report::Rendered rendered;
        const Status s = report::render(scheduleRequest(), rendered);
        benchmark::DoNotOptimize(rendered.html);
        if (!s)
            state.SkipWithError(qPrintable(s.message()));
    }
}
BENCHMARK(BM_ScheduleRender)->Unit(benchmark::kMillisecond)->Iterations(3);

// Laying out the pages the preview shows first.
void BM_ScheduleFirstPages(benchmark::State &state)
{
    report::Rendered rendered;
    if (!renderSchedule(state, rendered))
        return;
    for (auto _ : state) {
        platform::ReportPages pages(rendered);
        state.counters["known"] = pages.knownPageCount();
    }
}
BENCHMARK(BM_ScheduleFirstPages)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScheduleLayout(benchmark::State &state)
{
    report::Rendered rendered;
    if (!renderSchedule(state, rendered))
        return;
    for (auto _ : state) {
        platform::ReportPages pages(rendered);
        state.counters["pages"] = pages.pageCount();
    }
}
BENCHMARK(BM_ScheduleLayout)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScheduleSavePdf(benchmark::State &state)
{
    report::Rendered rendered;
    if (!renderSchedule(state, rendered))
        return;
    const platform::ReportPages pages(rendered);
    pages.pageCount(); // laid out by the preview while the guide looks at it
    QTemporaryDir dir;
    for (auto _ : state) {
        const Status s = pages.savePdf(dir.filePath(QStringLiteral("schedule.pdf")));
        if (!s)
            state.SkipWithError(qPrintable(s.message()));
    }
    state.counters["pages"] = pages.pageCount();
    state.counters["MB"] = QFileInfo(dir.filePath(QStringLiteral("schedule.pdf"))).size() / 1e6;
}
BENCHMARK(BM_ScheduleSavePdf)->Unit(benchmark::kMillisecond)->Iterations(2);

// Saving as PDF from the preview: the preview has laid out its first pages,
// the rest are laid out and every page written. "peak MB" is that of the
// process so far; "saving MB" the most heap saving held, page by page, above
// what was in use before.
void BM_SchedulePdfFromPreview(benchmark::State &state)
{
    report::Rendered rendered;
    if (!renderSchedule(state, rendered))
        return;
    QTemporaryDir dir;
    for (auto _ : state) {
        state.PauseTiming();
        const double before = HeapWatch::inUse();
        HeapWatch heap;
        const platform::ReportPages pages(rendered);
        state.ResumeTiming();
        const Status s = pages.savePdf(dir.filePath(QStringLiteral("schedule.pdf")), &heap);
        if (!s)
            state.SkipWithError(qPrintable(s.message()));
        state.PauseTiming();
        state.counters["saving MB"] = heap.most() - before;
        state.counters["pages"] = pages.pageCount();
        state.ResumeTiming();
    }
    state.counters["peak MB"] = peakMegabytes();
}
BENCHMARK(BM_SchedulePdfFromPreview)->Unit(benchmark::kMillisecond)->Iterations(2);

// Printing the whole schedule from the preview, through the printer's path
// to a PDF file.
void BM_SchedulePrintFromPreview(benchmark::State &state)
{
    report::Rendered rendered;
    if (!renderSchedule(state, rendered))
        return;
    QTemporaryDir dir;
    for (auto _ : state) {
        state.PauseTiming();
        const platform::ReportPages pages(rendered);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        printer.setPageLayout(pages.pageLayout());
        printer.setFullPage(true);
        state.ResumeTiming();
        if (pages.paint(printer, 0, std::numeric_limits<int>::max()) != platform::ReportPages::Outcome::Done)
            state.SkipWithError("the schedule could not be printed");
        state.counters["pages"] = pages.pageCount();
    }
}
BENCHMARK(BM_SchedulePrintFromPreview)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (const Status s = db::prepare(); !s) {
        qCritical("%s", qPrintable(s.message()));
        return 1;
    }
    fillBookings(bookingCount());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    db::closeAll();
    return 0;
}
