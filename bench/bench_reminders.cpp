// The reminder list over 10,000 reminders: opening it to its first
// activation, the date sort, and the re-read after another window writes a
// reminder.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_reminders
//   QT_QPA_PLATFORM=offscreen ./build/bench/bench_reminders
// Each figure is the median of five rounds, each on a freshly opened list.
#include "benchdata.h"
#include "core/apppaths.h"
#include "db/database.h"
#include "db/recordsource.h"
#include "reminders/frmreminder.h"
#include "reminders/remindergrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace bm;
using namespace bm::bench;

namespace
{

constexpr int reminders = 10000;

void generateReminders()
{
    const QStringList words { "call", "marina", "order", "line", "renew", "licence", "boat", "service",
        "trailer", "bearings", "client", "deposit", "lures", "jig", "tournament" };
    bench::insertRows(
        "Reminder", { "Date", "Reminder" }, reminders,
        [&](int, QRandomGenerator &rng) {
            const QString text = bench::words(rng, 6 + int(rng.bounded(30)), words);
            return QVariantList { QDate(1998, 1, 1).addDays(int(rng.bounded(10000))).toString(Qt::ISODate),
                text };
        },
        7);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    nameApplication();
    if (!db::prepare())
        return 1;
    generateReminders();
    // The list opens while the program runs: the file is open already, and
    // the first round reads it from the disk cache like every later one.
    db::closeAll();
    db::connection(databasePath());

    QList<double> open, sort, openAndSort, reread;
    for (int round = 0; round < 5; ++round) {
        FrmReminder *w = nullptr;
        const double opened = timed([&] {
            w = openReminderList();
            waitFor([w] { return w->isActiveWindow(); });
            w->repaint();
        });
        QPushButton *cmdSort = w->findChild<QPushButton *>("cmdSort");
        const double sorted = timed([&] {
            cmdSort->click();
            w->repaint();
        });
        open << opened;
        sort << sorted;
        openAndSort << opened + sorted;
        reread << timed([&] {
            RecordSource other("other", "Reminder");
            Status s = other.AddNew();
            if (s)
                s = other.setValue("Reminder", "Written by another window");
            if (s)
                s = other.setValue("Date", QDate(2026, 5, 14));
            if (s)
                s = other.Update();
            // A timing of a write that did not happen means nothing.
            if (!s)
                qFatal("%s", qPrintable(s.message()));
            w->repaint();
        });
        delete w;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::printf("reminders: %d\n", reminders);
    std::printf("open to active:       median %7.1f ms (first %7.1f ms)\n", median(open), open[0]);
    std::printf("sort by date:         median %7.1f ms\n", median(sort));
    std::printf("open and sort:        median %7.1f ms (first %7.1f ms; limit 300 ms)\n", median(openAndSort),
        openAndSort[0]);
    std::printf("re-read after a save: median %7.1f ms\n", median(reread));
    db::closeAll();
    return 0;
}
