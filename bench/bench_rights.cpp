// What the lodge's rights cost: the same 100,000 bookings of ten guides on a
// lodge's shared database, opened at the owner's desk and at a guide's
// desk, whose every read goes through the server's row policies and whose
// schedule reads every trip through the view that hides the others' clients:
// - the main window opened (the database checked, the rights read, the
//   window shown and drawn);
// - the schedule grid's two sorts.
//   cmake -S . -B build-bench -DBM_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench --target bench_rights
//   QT_QPA_PLATFORM=offscreen ./build-bench/bench/bench_rights
// It starts a throwaway server of its own (tests/support/pgcluster.sh), sets
// the lodge up with lodge-server.sh's own statements and stops it at the
// end. Figures are medians of five rounds.
#include "benchdata.h"
#include "core/apppaths.h"
#include "db/database.h"
#include "db/rights.h"
#include "lodgeserver.h"
#include "main/frmmain.h"
#include "serverdb.h"

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

using namespace bm;
using namespace bm::bench;

namespace
{

constexpr int bookings = 100000;
constexpr int guides = 10;
constexpr int rounds = 5;

struct Figures {
    double open = 0, byDate = 0, byLake = 0;
    int rows = 0;
};

Figures measure(const QString &uri)
{
    Figures f;
    QList<double> open, date, lake;
    for (int round = 0; round < rounds; ++round) {
        FrmMain *m = nullptr;
        open << timed([&] {
            if (!db::check(uri))
                qFatal("the database can not be opened");
            setDatabaseLocation(uri);
            db::Rights rights;
            if (!db::readRights(uri, rights))
                qFatal("the rights can not be read");
            db::setRights(rights);
            m = openMainWindow();
        });
        date << timedSort(m, "cmdDate");
        lake << timedSort(m, "cmdLake");
        f.rows = m->findChild<QTableView *>("DBGrid1")->model()->rowCount();
        delete m;
        db::closeAll();
    }
    f.open = median(open);
    f.byDate = median(date);
    f.byLake = median(lake);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir ownHome, ownConfig, work;
    useDataHome(ownHome);
    QApplication app(argc, argv);
    nameApplication();
    qputenv("XDG_CONFIG_HOME", ownConfig.path().toLocal8Bit());
    const QString state = work.filePath("pgserver.state");
    serverCluster(BM_PGCLUSTER, "start", state);
    qputenv("BM_TEST_SERVER", state.toLocal8Bit());

    QList<test::LodgeServer::Desk> desks { { "own", "owner" } };
    for (int g = 0; g < guides; ++g)
        desks.append({ QString("g%1").arg(g), "guide" });
    test::LodgeServer lodge;
    if (!lodge.setUp("rightsbench", desks))
        qFatal("the lodge can not be set up");
    if (!db::check(lodge.uri("own")))
        qFatal("the owner's desk can not lay the tables in");
    db::closeAll();
    QStringList roster;
    for (int g = 0; g < guides; ++g)
        roster << QString("('Guide %1', '%2', 'Yes')").arg(g).arg(lodge.login(QString("g%1").arg(g)));
    // Twenty seasons of trips, each guide's in turn, as a busy lodge's.
    if (!lodge.psql(QString(R"(
        DELETE FROM "Booking"; DELETE FROM "Guides";
        INSERT INTO "Guides" ("Name", "Login", "Active") VALUES %1;
        INSERT INTO "Booking" ("Date", "Lake", "Name", "Guide", "Total Charge", "Status", "Remarks")
            SELECT to_char(date '2006-01-01' + (n * 7300 / %2), 'YYYY-MM-DD'),
                   'Lake ' || (n %% 37), 'Client ' || n, 'Guide ' || (n %% %3), 4000000 + n, 'Confirmed',
                   'caught ' || (n %% 13) || ' on a jig'
              FROM generate_series(1, %2) n;
        VACUUM ANALYZE;)")
                        .arg(roster.join(", "))
                        .arg(bookings)
                        .arg(guides)
                        .replace("%%", "%")))
        qFatal("the bookings can not be laid in");

    const Figures owner = measure(lodge.uri("own"));
    const Figures guide = measure(lodge.uri("g0"));
    db::setRights(db::Rights {});
    setDatabaseLocation(QString());
    lodge.tearDown();
    serverCluster(BM_PGCLUSTER, "stop", state);

    std::printf("bookings: %d of %d guides\n", bookings, guides);
    std::printf("%-8s %10s %14s %14s %10s\n", "desk", "open ms", "sort date ms", "sort lake ms", "rows");
    std::printf(
        "%-8s %10.1f %14.1f %14.1f %10d\n", "owner", owner.open, owner.byDate, owner.byLake, owner.rows);
    std::printf(
        "%-8s %10.1f %14.1f %14.1f %10d\n", "guide", guide.open, guide.byDate, guide.byLake, guide.rows);
    return 0;
}
