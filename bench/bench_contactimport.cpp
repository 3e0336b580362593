// Import of a 100 MB contacts file as Google Contacts writes it: the time to
// read and plan it, the time to add its contacts, and the process's peak
// memory beside the file's size. Run it alone: the peak is the process's.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_contactimport
//   ./build/bench/bench_contactimport
#include "core/apppaths.h"
#include "exchange/contactimport.h"

#include "benchdata.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

using namespace bm;

namespace
{

constexpr qint64 fileSize = qint64(100) * 1000 * 1000;

double peakMb()
{
    rusage use {};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_maxrss / 1024.0; // kilobytes on Linux
}

// The file is written a row at a time, so that writing it raises the
// peak little.
QString googleFile(const QTemporaryDir &dir)
{
    const QString path = dir.filePath("google.csv");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("can not write %s", qPrintable(path));
    f.write("Name,Given Name,Additional Name,Family Name,Yomi Name,Birthday,Notes,Group Membership,"
            "E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,"
            "Address 1 - Type,Address 1 - Formatted,Address 1 - Street,Address 1 - City,Address 1 - Region,"
            "Address 1 - Postal Code,Address 1 - Country,Organization 1 - Name\r\n");
    for (int i = 0; f.size() < fileSize; ++i) {
        const QByteArray n = QByteArray::number(i);
        f.write("Client " + n + ",Client," + ",Number " + n
            + ",,1970-01-01,\"Likes topwater, early starts\","
              "* myContacts,* Home,c"
            + n + "@example.com,Mobile,417-555-" + n
            + ",Work,417-555-0199,Home,"
              "\""
            + n + " Main Street\nBranson, MO 65616\"," + n + " Main Street,Branson,MO,65616,US,\r\n");
    }
    return path;
}

void ImportHundredMegabytes(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = googleFile(dir);
    const double before = peakMb();
    const double size = QFileInfo(file).size() / (1024.0 * 1024.0);
    for (auto _ : state) {
        bench::clearTable("Phone");
        ContactImport import;
        QElapsedTimer timer;
        timer.start();
        if (!import.load(file, databasePath()))
            state.SkipWithError("load failed");
        state.counters["read_s"] = timer.elapsed() / 1000.0;
        timer.restart();
        int added = 0;
        if (!import.commit(&added))
            state.SkipWithError("commit failed");
        state.counters["add_s"] = timer.elapsed() / 1000.0;
        state.counters["contacts"] = added;
    }
    state.counters["file_MB"] = size;
    state.counters["peak_MB"] = peakMb();
    state.counters["peak_before_MB"] = before;
    state.counters["budget_MB"] = 4 * size + 50;
}
BENCHMARK(ImportHundredMegabytes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, [] {});
}
