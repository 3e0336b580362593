// Ten desks at one shared database for a minute: each a process of its own
// that books new trips, edits bookings (twenty of them shared by all, so that
// desks overtake each other) and reads the bookings back, through the
// program's record sources, as fast as it can, with a pause for "typing"
// inside each edit. This process listens as one more desk would.
//   cmake -S . -B build-bench -DBM_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench --target bench_desks
//   ./build-bench/bench/bench_desks [seconds, default 60] [desks, default 10] [guides]
// With "guides" every desk is a guide of a lodge set up by lodge-server.sh's
// own statements, under the server's row policies: each sees and edits only
// his own bookings (two of the shared ones each, so no desk overtakes
// another), and the new bookings are counted by the server's superuser.
// It reports the new bookings acknowledged against those present afterwards
// (they must be equal), the edits saved and refused as overtaken, failures
// (deadlocks apart), desks that did not finish or report, and how long a desk's save
// took to be heard here: one desk also saves a reminder four times a second
// holding its time, and this process reads the delay off each it hears.
#include "benchdata.h"
#include "core/apppaths.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/query.h"
#include "db/recordsource.h"
#include "lodgeserver.h"
#include "serverdb.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace bm;
using namespace bm::bench;

namespace
{

constexpr int sharedBookings = 20;
constexpr int probeMs = 250;

struct Tally {
    qlonglong added = 0, edited = 0, overtaken = 0, gaveUp = 0, failed = 0, deadlocks = 0, reads = 0;
};

// A failure counted; the first few are told the way the desk's windows
// would tell them.
void count(Tally &t, const Status &s)
{
    if (s.message().contains("deadlock"))
        ++t.deadlocks;
    else
        ++t.failed;
    if (t.failed + t.deadlocks <= 3)
        std::printf("failure %s\n", qPrintable(s.message()));
}

// One desk: works until the time is up, then prints its tally.
int desk(int number, const QString &uri, int seconds)
{
    setDatabaseLocation(uri);
    if (Status s = db::check(uri); !s)
        qFatal("desk %d: %s", number, qPrintable(s.message()));
    Tally t;
    QRandomGenerator random(quint32(number) * 7919u + 1);
    RecordSource bookings("Data1", "Booking", nullptr, uri);
    // The shared bookings this desk may edit: all of them, or a guide's own.
    QList<qint64> shared;
    {
        db::Query q(uri);
        if (!q.run("SELECT ID FROM Booking WHERE Name = 'shared' ORDER BY ID"))
            qFatal("desk %d: the shared bookings can not be read", number);
        while (q.next())
            shared << q.value("ID").toLongLong();
        if (shared.isEmpty())
            qFatal("desk %d: no shared booking to edit", number);
    }
    QElapsedTimer clock;
    clock.start();
    qint64 nextProbe = 0;
    for (int k = 0; clock.elapsed() < seconds * 1000LL; ++k) {
        if (number == 0 && clock.elapsed() >= nextProbe) {
            nextProbe += probeMs;
            const QString sent = QString::number(QDateTime::currentMSecsSinceEpoch());
            if (Status s = db::write(uri, "Reminder", "INSERT INTO Reminder (Reminder) VALUES (?)", { sent });
                !s)
                count(t, s);
        }
        const int what = random.bounded(10);
        if (what < 4) {
            Status s = bookings.AddNew();
            if (s)
                s = bookings.setValue("Name", QString("desk %1 #%2").arg(number).arg(k));
            if (s)
                s = bookings.setValue("Date", QDate(2027, 1, 1).addDays(random.bounded(365)));
            if (s)
                s = bookings.Update();
            if (s)
                ++t.added;
            else {
                count(t, s);
                bookings.CancelUpdate();
            }
        } else if (what < 8) {
            Status s = bookings.setBookmark(Bookmark { shared[random.bounded(int(shared.size()))] });
            if (s)
                s = bookings.Edit();
            if (s)
                s = bookings.setValue("Notes", QString("desk %1 edit %2").arg(number).arg(k));
            QThread::msleep(random.bounded(20)); // the guide types
            if (s)
                s = bookings.Update();
            for (int again = 0; again < 3 && !s && s.message().contains("was changed at another desk");
                 ++again) {
                ++t.overtaken;
                s = bookings.Update(); // saved again, as the message says
            }
            if (s)
                ++t.edited;
            else {
                if (s.message().contains("was changed at another desk"))
                    ++t.gaveUp; // overtaken four times running
                else
                    count(t, s);
                bookings.CancelUpdate();
            }
        } else {
            int n = 0;
            Status s = bookings.Refresh();
            if (s)
                s = bookings.count(n);
            if (s)
                s = bookings.MoveLast();
            if (s)
                ++t.reads;
            else
                count(t, s);
        }
    }
    std::printf("tally %lld %lld %lld %lld %lld %lld %lld\n", t.added, t.edited, t.overtaken, t.gaveUp,
        t.failed, t.deadlocks, t.reads);
    std::fflush(stdout);
    db::closeAll();
    return 0;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min<qsizetype>(values.size() - 1, qsizetype(p * (values.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args[1] == "--desk")
        return desk(args[2].toInt(), args[3], args[4].toInt());
    const int seconds = args.size() > 1 ? args[1].toInt() : 60;
    const int desks = args.size() > 2 ? args[2].toInt() : 10;
    const bool asGuides = args.size() > 3 && args[3] == "guides";

    QTemporaryDir work;
    qputenv("XDG_DATA_HOME", work.filePath("data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", work.filePath("config").toLocal8Bit());
    const QString state = work.filePath("server.state");
    serverCluster(BM_PGCLUSTER, "start", state);
    qputenv("BM_TEST_SERVER", state.toLocal8Bit());
    // The desks' databases: one for all, or each guide's login to the lodge's.
    test::LodgeServer lodge;
    QStringList desksUri;
    QString uri;
    if (asGuides) {
        QList<test::LodgeServer::Desk> logins { { "own", "owner" } };
        for (int d = 0; d < desks; ++d)
            logins.append({ QString("g%1").arg(d), "guide" });
        if (!lodge.setUp("deskguides", logins))
            qFatal("the lodge can not be set up");
        uri = lodge.uri("own");
        for (int d = 0; d < desks; ++d)
            desksUri << lodge.uri(QString("g%1").arg(d));
    } else {
        uri = test::freshServerDatabase("desks");
    }
    setDatabaseLocation(uri);
    if (Status s = db::check(uri); !s)
        qFatal("%s", qPrintable(s.message()));
    if (asGuides) {
        QStringList roster;
        for (int d = 0; d < desks; ++d)
            roster << QString("('Guide %1', '%2', 'Yes')").arg(d).arg(lodge.login(QString("g%1").arg(d)));
        if (!lodge.psql(
                QString("DELETE FROM \"Guides\"; INSERT INTO \"Guides\" (\"Name\", \"Login\", \"Active\") "
                        "VALUES %1;")
                    .arg(roster.join(", "))))
            qFatal("the roster can not be written");
    }
    for (int i = 0; i < sharedBookings + 5; ++i)
        if (Status s = db::write(uri, "Booking",
                "INSERT INTO Booking (Name, Date, Guide) VALUES ('shared', '2027-01-01', ?)",
                { asGuides ? QString("Guide %1").arg(i % desks) : QString() });
            !s)
            qFatal("%s", qPrintable(s.message()));
    // Counted where every booking shows: the owner's desk, or the server's
    // superuser under the policies' lodge.
    const QString counting
        = asGuides ? test::serverBaseUri().replace("/postgres?", "/" + lodge.name() + "?") : uri;
    qlonglong before = 0;
    {
        QVariant n;
        if (!db::Query(counting).single("SELECT COUNT(*) FROM Booking WHERE Name LIKE 'desk %'", {}, n))
            qFatal("the bookings can not be counted");
        before = n.toLongLong();
    }

    // This desk hears the probes: the delay from a reminder's save there to
    // its announcement here.
    QList<double> delays;
    QVariant newestReminder;
    if (!db::Query(uri).single("SELECT COALESCE(MAX(ID), 0) FROM Reminder", {}, newestReminder))
        qFatal("the reminders can not be read");
    qlonglong seenReminder = newestReminder.toLongLong();
    QObject::connect(&DataChanges::instance(), &DataChanges::tableChanged, &app,
        [&](const QString &path, const QString &table) {
            if (path != uri || table != "Reminder" || !DataChanges::instance().fromElsewhere())
                return;
            const qint64 heard = QDateTime::currentMSecsSinceEpoch();
            db::Query q(uri);
            if (!q.run("SELECT ID, Reminder FROM Reminder WHERE ID > ? ORDER BY ID", { seenReminder }))
                return;
            while (q.next()) {
                seenReminder = q.value("ID").toLongLong();
                delays << double(heard - q.value("Reminder").toString().toLongLong());
            }
        });

    QList<QProcess *> running;
    for (int d = 0; d < desks; ++d) {
        auto *p = new QProcess(&app);
        // The desks' own log would tell every overtaken save; they report
        // their tally instead.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_LOGGING_RULES", "bm.data.warning=false");
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->start(app.applicationFilePath(),
            { "--desk", QString::number(d), asGuides ? desksUri[d] : uri, QString::number(seconds) });
        running << p;
    }
    QElapsedTimer clock;
    clock.start();
    const qint64 limit = (seconds + 60) * 1000LL;
    while (clock.elapsed() < limit && std::any_of(running.begin(), running.end(), [](QProcess *p) {
        return p->state() != QProcess::NotRunning;
    }))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    Tally all;
    int unfinished = 0, reported = 0;
    for (QProcess *p : running) {
        if (p->state() != QProcess::NotRunning) {
            ++unfinished;
            p->kill();
            p->waitForFinished();
        }
        for (const QByteArray &line : p->readAllStandardOutput().split('\n')) {
            if (line.startsWith("failure "))
                std::printf("  a desk said: %s\n", line.mid(8).constData());
            const QList<QByteArray> f = line.split(' ');
            if (f.size() != 8 || f[0] != "tally")
                continue;
            ++reported;
            all.added += f[1].toLongLong();
            all.edited += f[2].toLongLong();
            all.overtaken += f[3].toLongLong();
            all.gaveUp += f[4].toLongLong();
            all.failed += f[5].toLongLong();
            all.deadlocks += f[6].toLongLong();
            all.reads += f[7].toLongLong();
        }
        const QByteArray errors = p->readAllStandardError();
        if (!errors.isEmpty())
            std::fprintf(stderr, "%s", errors.left(2000).constData());
    }
    QVariant present;
    if (!db::Query(counting).single("SELECT COUNT(*) FROM Booking WHERE Name LIKE 'desk %'", {}, present))
        qFatal("the bookings can not be counted");

    std::printf("%d desks%s for %d s on one shared database\n", desks,
        asGuides ? ", each a guide under the row policies," : "", seconds);
    std::printf("  new bookings acknowledged: %lld, present afterwards: %lld (%s)\n", all.added,
        present.toLongLong() - before, all.added == present.toLongLong() - before ? "equal" : "NOT EQUAL");
    std::printf("  edits saved: %lld; saves refused as overtaken by another desk: %lld; edits given up after "
                "four refusals running: %lld\n",
        all.edited, all.overtaken, all.gaveUp);
    std::printf("  reads: %lld\n", all.reads);
    std::printf("  failures: %lld, deadlocks: %lld, desks that did not finish: %d, that did not report: %d\n",
        all.failed, all.deadlocks, unfinished, desks - reported);
    std::printf(
        "  notification delay over %lld saves heard: median %.1f ms, 95th percentile %.1f ms, most %.1f ms\n",
        qlonglong(delays.size()), percentile(delays, 0.5), percentile(delays, 0.95), percentile(delays, 1.0));
    db::closeAll();
    if (asGuides)
        lodge.tearDown();
    serverCluster(BM_PGCLUSTER, "stop", state);
    return all.added == present.toLongLong() - before && unfinished == 0 && reported == desks
            && all.deadlocks == 0
        ? 0
        : 1;
}
