// The booking page under load, served from the shared database on a local
// server: 200 clients reading month views and 50 sending requests for the
// same ten days at once, for 60 seconds, with wrk (Debian's package).
//   cmake -S . -B build-bench -DBM_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench --target bench_web
//   ./build-bench/bench/bench_web [seconds]
// It starts a throwaway server of its own (tests/support/pgcluster.sh) and
// the page in this process, as its own login with no right on any table.
// Five guides work each day, one trip each: fifty places on the ten days.
#include "benchdata.h"
#include "pagefixture.h"

#include "db/bookingpage.h"
#include "web/service.h"
#include "web/site.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace bm;

namespace
{

constexpr int guides = 5;
constexpr int days = 10;

QHash<QString, qint64> figures(const QByteArray &out)
{
    QHash<QString, qint64> f;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            f.insert(QString::fromLatin1(parts[0]),
                qint64(parts[1].toDouble() * (parts[0] == "seconds" ? 1000 : 1)));
    }
    return f;
}

QString errors(const QHash<QString, qint64> &f)
{
    QStringList kinds;
    for (const char *kind : { "connect", "read", "write", "timeout" })
        if (const qint64 n = f.value(QLatin1String(kind)))
            kinds << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(kind));
    return kinds.isEmpty() ? QStringLiteral("none") : kinds.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 60;
    QTemporaryDir work;
    const QString state = work.filePath(QStringLiteral("pgserver.state"));
    bench::serverCluster(QStringLiteral(BM_PGCLUSTER), QStringLiteral("start"), state);
    qputenv("BM_TEST_SERVER", state.toLocal8Bit());
    test::PageServer server;
    if (!server.setUp(QStringLiteral("benchweb")))
        qFatal("no database on the benchmark's server");
    QStringList dayList;
    for (int g = 0; g < guides; ++g)
        server.sql(QStringLiteral("INSERT INTO \"Guides\" (\"Name\", \"Active\") VALUES ('Guide %1', 'Yes')")
                       .arg(g));
    for (int d = 0; d < days; ++d)
        dayList << server.dayAhead(10 + d).toString(Qt::ISODate);

    db::page::Gateway source(server.webUri());
    web::Site site(source, { QUrl(QStringLiteral("http://127.0.0.1")), 1000000 });
    web::Config config;
    config.databaseUri = server.webUri();
    config.port = 0;
    web::Service service(site, config);
    if (!service.bind())
        qFatal("the page can not listen");
    std::unique_ptr<QThread> serving(QThread::create([&] { service.run(); }));
    serving->start();

    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(service.port());
    const QString month = QStringLiteral("%1/?month=%2").arg(base, dayList.first().left(7));
    QProcess readers, senders;
    readers.start(QStringLiteral("wrk"),
        { QStringLiteral("-t2"), QStringLiteral("-c200"), QStringLiteral("-d%1s").arg(seconds),
            QStringLiteral("--timeout"), QStringLiteral("10s"), QStringLiteral("-s"),
            QStringLiteral(BM_BENCH_DIR "/web_month.lua"), month });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BM_DAYS"), dayList.join(u' '));
    senders.setProcessEnvironment(env);
    senders.start(QStringLiteral("wrk"),
        { QStringLiteral("-t1"), QStringLiteral("-c50"), QStringLiteral("-d%1s").arg(seconds),
            QStringLiteral("--timeout"), QStringLiteral("10s"), QStringLiteral("-s"),
            QStringLiteral(BM_BENCH_DIR "/web_request.lua"), base });
    if (!readers.waitForFinished((seconds + 60) * 1000) || !senders.waitForFinished(60000))
        qFatal("wrk did not finish (is the package wrk installed?)");
    service.stop();
    serving->wait();

    const auto r = figures(readers.readAllStandardOutput());
    const auto s = figures(senders.readAllStandardOutput());
    const QString taken = server.value(
        QStringLiteral("SELECT count(*) FROM \"Booking\" WHERE coalesce(\"Status\", '') <> 'Cancelled'"));
    const QString overfull = server.value(QStringLiteral(
        "SELECT count(*) FROM (SELECT \"Date\" FROM \"Booking\" GROUP BY 1 HAVING count(*) > %1) x")
                                              .arg(guides));
    std::printf("month views: %lld in %.1f s = %.0f a second; median %.1f ms, 95th percentile %.1f ms; "
                "socket errors %s, not 2xx %lld\n",
        r.value("requests"), r.value("seconds") / 1000.0,
        r.value("requests") * 1000.0 / std::max<qint64>(1, r.value("seconds")), r.value("p50_us") / 1000.0,
        r.value("p95_us") / 1000.0, qPrintable(errors(r)), r.value("non2xx"));
    std::printf("requests sent: %lld in %.1f s = %.0f a second; median %.1f ms, 95th percentile %.1f ms; "
                "socket errors %s\n",
        s.value("requests"), s.value("seconds") / 1000.0,
        s.value("requests") * 1000.0 / std::max<qint64>(1, s.value("seconds")), s.value("p50_us") / 1000.0,
        s.value("p95_us") / 1000.0, qPrintable(errors(s)));
    std::printf("places taken %s of %d offered; days with more bookings than places: %s\n", qPrintable(taken),
        guides * days, qPrintable(overfull));
    bench::serverCluster(QStringLiteral(BM_PGCLUSTER), QStringLiteral("stop"), state);
    return 0;
}
