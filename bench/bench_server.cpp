// The shared database on a PostgreSQL server over its local socket, with
// 100,000 bookings, next to the same bookings in the file:
// - the copy of the file to an empty shared database;
// - the whole program's start to the shown main window, on the file and on
//   the server (fresh processes, taken in turn);
// - the schedule grid's two sorts;
// - the trip search for a common and a rare word next to the bare SQL that
//   yields the same lines into the same kind of list.
//   cmake -S . -B build-bench -DBM_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench --target bench_server
//   QT_QPA_PLATFORM=offscreen ./build-bench/bench/bench_server
// The benchmark starts a throwaway server of its own (tests/support/
// pgcluster.sh, with the server's usual settings for writing) and stops it
// at the end. In-process figures are medians of five rounds; the whole-process
// start is the median of nine starts of each, after one of each not counted.
#include "benchdata.h"
#include "core/apppaths.h"
#include "db/database.h"
#include "db/servercopy.h"
#include "main/frmmain.h"
#include "main/startdatabase.h"
#include "records/findtrips.h"
#include "records/frmfind.h"
#include "serverdb.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace bm;
using namespace bm::bench;

namespace
{

constexpr int bookings = 100000;
constexpr int rounds = 5;

// A settings folder whose choice is the shared database at uri (none: the file).
void chooseIn(const QString &configHome, const QString &uri)
{
    QSettings settings(configHome + "/Brindlemoor/Brindlemoor.conf", QSettings::IniFormat);
    settings.setValue("database/uri", uri);
}

const FindCommand &remarksCommand()
{
    for (const FindCommand &c : findCommands())
        if (QLatin1String(c.field) == QLatin1String("Remarks"))
            return c;
    return findCommands().front();
}

// The lines of dated bookings whose remarks hold word, by bare SQL in the
// engine's own words, into a list.
int bareLines(QListWidget &list, bool server, const QString &word)
{
    QSqlQuery q(db::connection(databasePath()));
    q.setForwardOnly(true);
    q.prepare(server
            ? "SELECT \"Date\", \"Lake\" FROM \"Booking\" WHERE \"Date\" <> '' AND \"Remarks\" ILIKE ? "
              "ORDER BY \"ID\""
            : "SELECT Date, Lake FROM Booking WHERE Date AND Remarks LIKE ? ORDER BY ID");
    q.addBindValue("%" + word + "%");
    return listTripLines(q, list);
}

struct Figures {
    double openWindow = 0, byDate = 0, byLake = 0;
    double search[2] = {}, bare[2] = {};
    int found[2] = {}, bareFound[2] = {};
};

// Everything timed inside the process, on the database in use.
Figures inProcess(bool server)
{
    Figures f;
    QList<double> open, date, lake;
    for (int round = 0; round < rounds; ++round) {
        FrmMain *m = nullptr;
        open << timed([&] { m = openMainWindow(); });
        date << timedSort(m, "cmdDate");
        lake << timedSort(m, "cmdLake");
        delete m;
    }
    f.openWindow = median(open);
    f.byDate = median(date);
    f.byLake = median(lake);

    const QString words[2] = { "jig", "trophy" };
    FrmFind window;
    auto *text = window.findChild<QLineEdit *>("Text1");
    auto *list = window.findChild<QListWidget *>("List1");
    QListWidget bareList;
    for (int w = 0; w < 2; ++w) {
        text->setText(words[w]);
        QList<double> search, bare;
        for (int round = 0; round < rounds; ++round) {
            search << timed([&] { window.search(remarksCommand()); });
            bare << timed([&] { f.bareFound[w] = bareLines(bareList, server, words[w]); });
        }
        f.found[w] = list->count();
        f.search[w] = median(search);
        f.bare[w] = median(bare);
    }
    return f;
}

void print(const char *engine, const Figures &f)
{
    std::printf("%s: main window shown %.1f ms; sort by date %.1f ms, by lake %.1f ms\n", engine,
        f.openWindow, f.byDate, f.byLake);
    const char *words[2] = { "common word \"jig\"", "rare word \"trophy\"" };
    for (int w = 0; w < 2; ++w)
        std::printf("  trip search, %s: %d lines in %.1f ms; bare SQL %d lines in %.1f ms; ratio %.2f\n",
            words[w], f.found[w], f.search[w], f.bareFound[w], f.bare[w], f.search[w] / f.bare[w]);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir ownHome, ownConfig;
    const QString home = useDataHome(ownHome);
    QApplication app(argc, argv);
    nameApplication();
    const QStringList args = app.arguments();
    // The program's own start, on whatever the settings folder chooses, to
    // its main window shown; the process ends there.
    if (args.size() == 2 && args[1] == "--start")
        return startAndEnd(openDatabaseAtStart);
    // The caller's own choice of database never comes in.
    qputenv("XDG_CONFIG_HOME", ownConfig.path().toLocal8Bit());
    // BM_BENCH_URI: only the in-process figures, on a database a run with
    // BM_BENCH_KEEP=1 left (for a profiler).
    if (const QString kept = qEnvironmentVariable("BM_BENCH_URI"); !kept.isEmpty()) {
        setDatabaseLocation(kept);
        if (!db::check(kept))
            return 1;
        print("server", inProcess(true));
        return 0;
    }

    QTemporaryDir work;
    work.setAutoRemove(!qEnvironmentVariableIsSet("BM_BENCH_KEEP"));
    const QString state = work.filePath("pgserver.state");
    serverCluster(BM_PGCLUSTER, "start", state);
    qputenv("BM_TEST_SERVER", state.toLocal8Bit());
    const QString uri = test::freshServerDatabase("bench");
    if (uri.isEmpty())
        qFatal("no database on the benchmark's server");

    if (!db::prepare())
        return 1;
    insertBookings(bookings);
    const QString file = databasePath();
    db::closeAll();

    servercopy::Report copied;
    Status copyStatus;
    const double copyMs = timed([&] { copyStatus = servercopy::copy(file, uri, &copied); });
    if (!copyStatus)
        qFatal("the copy failed: %s", qPrintable(copyStatus.message()));
    qint64 records = 0;
    for (const auto &table : copied.tables)
        records += table.records;
    db::closeAll();
    // What the server's own maintenance would do in the minute after the
    // copy, done now so that it does not run under the figures below (the
    // program's Repair does the same).
    {
        test::ServerConnection admin(uri);
        if (!admin.status() || !QSqlQuery(admin.database()).exec("VACUUM (ANALYZE)"))
            qFatal("the server's maintenance did not run");
    }

    // The whole program's start on the file and on the server in turn, so
    // that a busy machine slows both alike.
    QTemporaryDir serverHome, serverConfig;
    chooseIn(serverConfig.path(), uri);
    QList<double> startFile, startServer, openFile, openServer, ratios;
    for (int round = 0; round < 10; ++round) {
        const auto onFile = startInChild(args[0], home, ownConfig.path());
        const auto onServer = startInChild(args[0], serverHome.path(), serverConfig.path());
        if (round == 0)
            continue; // the first start of each warms the caches
        startFile << onFile.first;
        startServer << onServer.first;
        openFile << onFile.second;
        openServer << onServer.second;
        ratios << onServer.first / onFile.first;
    }

    setDatabaseLocation(QString());
    if (!db::prepare())
        return 1;
    const Figures fileFigures = inProcess(false);
    db::closeAll();
    setDatabaseLocation(uri);
    if (!db::check(uri))
        return 1;
    const Figures serverFigures = inProcess(true);
    db::closeAll();
    // BM_BENCH_KEEP=1 leaves the server and its database for a profiler.
    if (qEnvironmentVariableIsSet("BM_BENCH_KEEP"))
        std::printf("the server stays: %s (stop: bash %s stop %s)\n", qPrintable(uri), BM_PGCLUSTER,
            qPrintable(state));
    else
        serverCluster(BM_PGCLUSTER, "stop", state);

    std::printf("bookings: %d\n", bookings);
    std::printf("copy of the file to the empty shared database: %lld records of %lld tables in %.0f ms\n",
        records, qlonglong(copied.tables.size()), copyMs);
    std::printf("whole-process start to the shown main window: file median %.1f ms, server median %.1f ms, "
                "ratio %.2f (median of the paired ratios %.2f)\n",
        median(startFile), median(startServer), median(startServer) / median(startFile), median(ratios));
    std::printf("  of it the opening of the database: file median %.1f ms, server median %.1f ms\n",
        median(openFile), median(openServer));
    print("file", fileFigures);
    print("server", serverFigures);
    return 0;
}
