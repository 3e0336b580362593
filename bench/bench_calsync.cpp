// The calendar sync against Debian's Radicale on this machine: the first
// sync of every booking, then a sync after one booking changed (one request).
// Radicale takes about ten events a second into a small calendar and ever
// fewer as it grows (it reads the calendar for each one), so a first sync of
// the default of 10,000 bookings runs for more than an hour;
// BM_CALSYNC_BOOKINGS=300 shows it works in half a minute. With
// BM_CALSYNC_SEEDED=1 the first sync is not run: the events are laid into
// Radicale's folder as it keeps them and the journal as a first sync leaves
// it (the ETags asked of the server), and only the sync of one change runs.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_calsync
//   BM_CALSYNC_BOOKINGS=300 ./build/bench/bench_calsync
#include "calsync/davxml.h"
#include "calsync/sync.h"
#include "core/apppaths.h"
#include "db/query.h"
#include "exchange/icsexport.h"

#include "benchdata.h"
#include "radicaleserver.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUrl>

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

// The calendar and the journal as a first sync of every booking leaves them,
// made without sending the events one by one.
bool seed()
{
    server->stop();
    QHash<QString, int> sequences;
    ics::EventChoice choice;
    choice.reminders = false;
    choice.skipCancelled = true;
    const Status laid = ics::eachEvent(databasePath(), choice, [&](const ics::EventText &e) {
        // The file is named as the server names the event's address.
        QFile f(server->calendarFolder() + QLatin1Char('/')
            + QUrl::fromPercentEncoding(calsync::resourceName(e.uid).toUtf8()));
        if (!f.open(QIODevice::WriteOnly) || f.write(ics::calendarText(e.vevent)) < 0)
            return Status::failure(QStringLiteral("%1 could not be written").arg(f.fileName()));
        sequences.insert(e.uid, e.sequence);
        return Status::ok();
    });
    if (!laid || !server->start()) {
        std::fprintf(stderr, "the calendar could not be laid in: %s\n", qPrintable(laid.message()));
        return false;
    }
    // Radicale reads every event the first time it is asked for them all.
    calsync::Account patient = server->account();
    patient.timeoutMs = 15 * 60 * 1000;
    const calsync::Reply r = calsync::request(patient, "PROPFIND", server->calendarUrl(),
        { { "Depth", "1" }, { "Content-Type", "application/xml" } },
        "<?xml version=\"1.0\"?><d:propfind xmlns:d=\"DAV:\"><d:prop><d:getetag/></d:prop></d:propfind>");
    QList<calsync::DavResponse> answers;
    if (!calsync::parseMultistatus(r.body, server->calendarUrl(), answers))
        return false;
    calsync::Journal journal;
    if (!journal.open(target().journalPath, target().calendarUrl))
        return false;
    int known = 0;
    for (const calsync::DavResponse &a : std::as_const(answers)) {
        QString uid
            = QUrl::fromPercentEncoding(QUrl(a.href).path(QUrl::FullyEncoded).section('/', -1).toUtf8());
        uid.chop(4); // ".ics"
        if (!sequences.contains(uid) || a.etag.isEmpty())
            continue;
        if (!journal.put(uid, sequences.value(uid), a.etag))
            return false;
        ++known;
    }
    std::fprintf(stderr, "%d of %d events laid into the calendar\n", known, int(sequences.size()));
    return known == sequences.size();
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

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool seeded = qEnvironmentVariableIntValue("BM_CALSYNC_SEEDED") == 1;
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
        if (seeded && !seed())
            std::exit(1);
        if (!seeded)
            benchmark::RegisterBenchmark("FirstSync", FirstSync)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1)
                ->UseRealTime();
        benchmark::RegisterBenchmark("OneChange", OneChange)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(5)
            ->UseRealTime();
    });
}
