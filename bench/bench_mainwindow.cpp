// The main window over 100,000 bookings: the whole program's start to the
// shown main window against the same start on the delivered database (fresh
// processes, taken in turn), start-up inside one process, switching to the
// bookings panel, the schedule grid's two sorts, scrolling the grid, and the
// resident memory with the grid shown next to the same program on the
// delivered database.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_mainwindow
//   QT_QPA_PLATFORM=offscreen ./build/bench/bench_mainwindow
// Each in-process figure is the median of five rounds; the whole-process
// start is the median of nine starts of each database, one after the other,
// after one start of each that is not counted.
#include "benchdata.h"
#include "core/apppaths.h"
#include "db/database.h"
#include "main/frmmain.h"
#include "main/scheduleview.h"
#include "platform/messages.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace bm;
using namespace bm::bench;

namespace
{

constexpr int bookings = 100000;

void generateBookings()
{
    bench::insertBookings(bookings);
}

long residentKb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// A fresh process that shows the main window on the database of the data
// folder given (a fresh delivered one when empty), sorts once each way and
// reports its resident memory.
long residentInChild(const QString &program, const QString &dataHome)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BM_BENCH_HOME", dataHome);
    child.setProcessEnvironment(env);
    child.start(program, { "--rss" });
    child.waitForFinished(600000);
    return child.readAllStandardOutput().trimmed().toLong();
}

void prepareInChild(const QString &program, const QString &dataHome)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BM_BENCH_HOME", dataHome);
    child.setProcessEnvironment(env);
    child.start(program, { "--prepare" });
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        qFatal("the delivered database could not be laid in %s", qPrintable(dataHome));
}

// Scrolls the grid from its top to its end a screen at a time: the slowest
// step, the one slower than 99 in 100, and the median, in ms.
struct Scroll {
    double slowest, p99, median;
};
Scroll scrollThrough(QTableView *grid)
{
    QScrollBar *bar = grid->verticalScrollBar();
    bar->setValue(0);
    grid->viewport()->repaint();
    QList<double> steps;
    while (bar->value() < bar->maximum())
        steps << timed([&] {
            bar->setValue(bar->value() + bar->pageStep());
            grid->viewport()->repaint();
        });
    std::sort(steps.begin(), steps.end());
    return { steps.last(), steps[steps.size() * 99 / 100], median(steps) };
}

double jumpTo(QTableView *grid, double fraction)
{
    QScrollBar *bar = grid->verticalScrollBar();
    return timed([&] {
        bar->setValue(int(bar->maximum() * fraction));
        grid->viewport()->repaint();
    });
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir ownHome;
    const QString home = useDataHome(ownHome);
    QApplication app(argc, argv);
    nameApplication();
    const QStringList args = app.arguments();
    const QString mode = args.size() == 2 ? args[1] : QString();
    // What the program does from its start to its main window shown; the
    // process ends there.
    if (mode == "--start")
        return startAndEnd([] { return bool(db::prepare()); });
    if (!db::prepare())
        return 1;
    // --generate lays the large database in the folder BM_BENCH_HOME names
    // and stops, for a profiler: BM_BENCH_HOME=<folder> bench_mainwindow --start
    if (mode == "--prepare" || mode == "--generate") {
        if (mode == "--generate")
            generateBookings();
        db::closeAll();
        return 0;
    }
    if (mode == "--rss") {
        FrmMain *m = openMainWindow();
        m->scheduleView()->findChild<QPushButton *>("cmdDate")->click();
        m->scheduleView()->findChild<QPushButton *>("cmdLake")->click();
        m->repaint();
        std::printf("%ld\n", residentKb());
        delete m;
        return 0;
    }

    generateBookings();
    db::closeAll(); // start-up opens the file as the program does

    // The whole program's start, on the delivered database and on the large
    // one in turn, so that a busy machine slows both alike.
    QTemporaryDir deliveredHome;
    prepareInChild(args[0], deliveredHome.path());
    QList<double> startDelivered, startFull, startRatios, checkDelivered, checkFull;
    for (int round = 0; round < 10; ++round) {
        const auto delivered = startInChild(args[0], deliveredHome.path());
        const auto full = startInChild(args[0], home);
        if (round == 0)
            continue; // the first start of each warms the caches
        startDelivered << delivered.first;
        startFull << full.first;
        startRatios << full.first / delivered.first;
        checkDelivered << delivered.second;
        checkFull << full.second;
    }

    QList<double> startup, panel, byDate, byLake;
    for (int round = 0; round < 5; ++round) {
        FrmMain *m = nullptr;
        startup << timed([&] { m = openMainWindow(); });
        byDate << timedSort(m, "cmdDate");
        byLake << timedSort(m, "cmdLake");
        panel << timed([&] {
            m->toolbarButton("Bookings")->trigger();
            m->repaint();
        });
        m->toolbarButton("Schedule")->trigger();
        delete m;
    }

    // Scrolling in the record order, in a fresh window each: jumps to rows
    // never read before, then the whole grid a screen at a time.
    FrmMain *m = openMainWindow();
    QTableView *grid = m->scheduleView()->grid();
    const double toMiddle = jumpTo(grid, 0.5);
    const double toEnd = jumpTo(grid, 1.0);
    const double toQuarter = jumpTo(grid, 0.25);
    delete m;
    m = openMainWindow();
    grid = m->scheduleView()->grid();
    const Scroll inOrder = scrollThrough(grid);
    m->scheduleView()->findChild<QPushButton *>("cmdLake")->click();
    const Scroll byLakeScroll = scrollThrough(grid);
    delete m;

    std::printf("bookings: %d (rows in the grid: %d)\n", bookings, bookings + 1);
    std::printf("whole-process start to the shown main window: delivered database median %7.1f ms, "
                "%d bookings median %7.1f ms, ratio %.2f (median of the %lld paired ratios %.2f)\n",
        median(startDelivered), bookings, median(startFull), median(startFull) / median(startDelivered),
        qlonglong(startRatios.size()), median(startRatios));
    std::printf("  of it the check of the database file (db::prepare): delivered median %.1f ms, "
                "%d bookings median %.1f ms\n",
        median(checkDelivered), bookings, median(checkFull));
    std::printf(
        "start-up to active, in process: median %7.1f ms (first %7.1f ms)\n", median(startup), startup[0]);
    std::printf("switch to bookings panel:  median %7.1f ms\n", median(panel));
    std::printf("sort by date:              median %7.1f ms\n", median(byDate));
    std::printf("sort by lake:              median %7.1f ms\n", median(byLake));
    std::printf("grid jumps to rows not read: middle %.1f ms, end %.1f ms, quarter %.1f ms\n", toMiddle,
        toEnd, toQuarter);
    std::printf("grid scrolled through a screen at a time (step ms: slowest, 99th percentile, median): "
                "record order %.1f, %.1f, %.1f; by lake %.1f, %.1f, %.1f\n",
        inOrder.slowest, inOrder.p99, inOrder.median, byLakeScroll.slowest, byLakeScroll.p99,
        byLakeScroll.median);

    const long delivered = residentInChild(args[0], deliveredHome.path());
    const long full = residentInChild(args[0], home);
    std::printf("resident memory, grid shown and sorted: delivered database %ld kB, %d bookings %ld kB, "
                "growth %.1f MB\n",
        delivered, bookings, full, (full - delivered) / 1024.0);
    db::closeAll();
    return 0;
}
