// Export of 100,000 bookings to CSV and to an iCalendar file, and import of
// 100,000 contacts from CSV, each beside the sqlite3 command line tool doing
// the same rows bare (sqlite3 must be installed).
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_exchange
//   ./build/bench/bench_exchange
#include "core/apppaths.h"
#include "db/database.h"
#include "exchange/contactimport.h"
#include "exchange/csvexchange.h"
#include "exchange/icsexport.h"

#include "benchdata.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

using namespace bm;

namespace
{

constexpr int rows = 100000;
QTemporaryDir *out = nullptr;

void generateBookings()
{
    const QStringList names { "Ann Lee", "Bob Smith", "Zoë Ängström", "O'Brien, \"Bud\"", "Ed Brown" };
    bench::clearTable("Booking");
    bench::insertRows("Booking",
        { "Date", "Lake", "Type", "Name", "Meet At", "Address", "City", "State", "ZipCode", "Telephone",
            "Cell Phone", "Email", "Notes", "Total Charge", "Deposit Amount", "Balance Due",
            "Deposit Received", "Weather", "Species", "Lure", "Remarks" },
        rows, [&](int i, QRandomGenerator &rng) {
            return QVariantList { QDate(2006, 1, 1).addDays(i / 14).toString(Qt::ISODate),
                bench::lakes[i % bench::lakes.size()], i % 2 ? "Full Day" : "Half Day",
                names[i % names.size()] + QString::number(i), "State Park Marina, north ramp",
                QString("%1 Main Street").arg(i), "Branson", "MO", "65616", "(555) 555-0100",
                "(555) 555-0199", QString("client%1@example.com").arg(i),
                i % 3 ? "Bring rain gear, lunch and \"the\" license" : "Two lines\nof notes",
                i % 2 ? 4000000 : 2500000, 1000000, i % 2 ? 3000000 : 1500000,
                QDate(2005, 12, 1).addDays(i / 14).toString(Qt::ISODate), "Sunny", "Largemouth Bass",
                "Jig and Pig", QString("slow bite, windy on the points %1").arg(rng.bounded(1000)) };
        });
}

QString contactsFile()
{
    const QString path = out->filePath("contacts-in.csv");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray text(
        "Name,Address,City,State,Zip Code,Home Phone,Work Phone,Mobile Phone,E-mail Address,Notes\r\n");
    for (int i = 0; i < rows; ++i)
        text += "Client " + QByteArray::number(i) + ",\"" + QByteArray::number(i)
            + " Main Street, Apt 2\",Branson,MO,65616,555-" + QByteArray::number(i) + ",,(555) 555-0199,c"
            + QByteArray::number(i) + "@example.com,\"Likes \"\"topwater\"\", early starts\"\r\n";
    f.write(text);
    return path;
}

// Processor time of the finished child processes, in milliseconds: the
// figure to set beside the CPU column of the program's own benchmarks.
double childCpuMs()
{
    rusage use {};
    getrusage(RUSAGE_CHILDREN, &use);
    auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(use.ru_utime) + ms(use.ru_stime);
}

// The sqlite3 command line tool on the database with a script on its input.
void sqlite3Cli(benchmark::State &state, const QStringList &args, const QByteArray &script = {})
{
    const double before = childCpuMs();
    QProcess p;
    p.start("sqlite3", QStringList { databasePath() } + args);
    if (!script.isEmpty())
        p.write(script);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    if (p.exitCode() != 0)
        qFatal("sqlite3 failed: %s", p.readAllStandardError().constData());
    state.counters["sqlite3_cpu_ms"] = childCpuMs() - before;
}

void ExportBookingsCsv(benchmark::State &state)
{
    const QString file = out->filePath("bookings.csv");
    for (auto _ : state) {
        int written = 0;
        if (!csv::exportTable(databasePath(), "Booking", file, &written))
            state.SkipWithError("export failed");
        state.counters["rows"] = written;
    }
}

void BareSqliteBookingsCsv(benchmark::State &state)
{
    const QString file = out->filePath("bookings-bare.csv");
    for (auto _ : state)
        sqlite3Cli(
            state, { "-csv", "-header", "-cmd", ".output " + file, "SELECT * FROM Booking ORDER BY ID" });
}

void ExportBookingsCalendar(benchmark::State &state)
{
    const QString file = out->filePath("bookings.ics");
    for (auto _ : state) {
        ics::Counts counts;
        if (!ics::exportCalendar(databasePath(), file, &counts))
            state.SkipWithError("export failed");
        state.counters["events"] = counts.bookings + counts.reminders;
    }
}

void BareSqliteCalendarColumns(benchmark::State &state)
{
    const QString file = out->filePath("bookings-bare-ics.csv");
    for (auto _ : state)
        sqlite3Cli(state,
            { "-csv", "-cmd", ".output " + file,
                "SELECT ID, Date, Name, Lake, \"Meet At\", Type, Telephone, \"Cell Phone\", Notes FROM "
                "Booking "
                "WHERE Date IS NOT NULL ORDER BY ID" });
}

void ImportContacts(benchmark::State &state)
{
    const QString file = contactsFile();
    for (auto _ : state) {
        state.PauseTiming();
        QSqlQuery(db::connection(databasePath())).exec("DELETE FROM Phone");
        db::bumpGeneration(databasePath());
        state.ResumeTiming();
        ContactImport import;
        int added = 0;
        if (!import.load(file, databasePath()) || !import.commit(&added))
            state.SkipWithError("import failed");
        state.counters["added"] = added;
    }
}

void BareSqliteImportContacts(benchmark::State &state)
{
    const QString file = contactsFile();
    const QByteArray script = ".import --csv " + file.toUtf8()
        + " ImportRows\n"
          "INSERT INTO Phone (Name, Address, City, State, \"Zip Code\", \"Home Telephone Number\", "
          "\"Work Telephone Number\", \"Mobile Phone Number\", Email, Remarks) SELECT * FROM ImportRows;\n"
          "DROP TABLE ImportRows;\n";
    for (auto _ : state) {
        state.PauseTiming();
        QSqlQuery(db::connection(databasePath())).exec("DELETE FROM Phone");
        state.ResumeTiming();
        sqlite3Cli(state, {}, script);
    }
}

} // namespace

BENCHMARK(ExportBookingsCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BareSqliteBookingsCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(ExportBookingsCalendar)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BareSqliteCalendarColumns)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(ImportContacts)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BareSqliteImportContacts)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir files;
    out = &files;
    return bench::runBenchmarks(argc, argv, generateBookings);
}
