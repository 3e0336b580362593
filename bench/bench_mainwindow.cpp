// The main window over 100,000 bookings: start-up to the first activation,
// switching to the bookings panel, the schedule grid's two sorts, and the
// resident memory with the grid shown next to the same program on the
// delivered database.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_mainwindow
//   QT_QPA_PLATFORM=offscreen ./build/bench/bench_mainwindow
// Each figure is the median of five rounds (start-up: five main windows in
// turn); memory is measured in fresh processes of this program.
#include "benchdata.h"
#include "data/apppaths.h"
#include "data/database.h"
#include "main/frmmain.h"
#include "main/scheduleview.h"
#include "platform/messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
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
    const QStringList lakes = bench::lakes
        + QStringList { "Stockton Lake", "Truman Lake", "Lake of the Ozarks", "Pomme de Terre",
              "Greers Ferry" };
    const QStringList first { "Ann", "Bob", "Carl", "Dana", "Ed", "Fay", "Gus", "Hal", "Ivy", "Jim" };
    const QStringList last { "Lee", "Smith", "Jones", "White", "Brown", "Green", "Hill", "King" };
    const QStringList types { "Half Day", "Full Day", "Evening Trip", "Fly Fishing", "Multi-Day Trip" };
    bench::insertRows("Booking",
        { "Date", "Lake", "Type", "Name", "Meet At", "Address", "City", "State", "ZipCode", "Telephone",
            "Cell Phone", "Email", "Lodging", "Notes", "Total Charge", "Deposit Amount", "Balance Due",
            "Deposit Received", "Paid By", "Weather", "Air Temp", "Wind Speed", "Water Temp", "Species",
            "Total Fish", "Big Fish", "Lure", "Lure Color", "Remarks" },
        bookings, [&](int i, QRandomGenerator &rng) {
            const QDate date = QDate(2000, 1, 1).addDays(int(rng.bounded(9000)));
            const QString name = first[i % first.size()] + ' ' + last[(i / 10) % last.size()];
            const QString remark = bench::words(rng, 14);
            const qint64 charge = (i % 3 == 0 ? 4000000 : 2500000);
            return QVariantList { date.toString(Qt::ISODate), lakes[int(rng.bounded(lakes.size()))],
                types[i % types.size()], name, "State Park Marina", QString("%1 Lake Road").arg(i % 900 + 1),
                "Branson", "MO", "65616", "(555) 555-0100", "(555) 555-0199",
                QString("client%1@example.com").arg(i), "Lakeside Cabins", "Bring rain gear", charge, 1000000,
                charge - 1000000, date.addDays(-21).toString(Qt::ISODate), "Check", "Sunny", "72", "5-10",
                "64", "Largemouth Bass", "12", "4 lb 3 oz", "Jig and Pig", "Green Pumpkin", remark };
        });
}

FrmMain *openMainWindow()
{
    auto *m = new FrmMain;
    m->resize(1024, 740);
    m->show();
    waitFor([m] { return m->isActiveWindow(); });
    m->repaint();
    return m;
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

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    const QByteArray given = qgetenv("BM_BENCH_HOME");
    qputenv("XDG_DATA_HOME", given.isEmpty() ? home.path().toLocal8Bit() : given);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brindlemoor");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (!database::prepare())
        return 1;

    const QStringList args = app.arguments();
    if (args.size() == 2 && args[1] == "--rss") {
        FrmMain *m = openMainWindow();
        m->scheduleView()->findChild<QPushButton *>("cmdDate")->click();
        m->scheduleView()->findChild<QPushButton *>("cmdLake")->click();
        m->repaint();
        std::printf("%ld\n", residentKb());
        delete m;
        return 0;
    }

    generateBookings();
    database::closeAll(); // start-up opens the file as the program does
    QList<double> startup, panel, byDate, byLake;
    for (int round = 0; round < 5; ++round) {
        FrmMain *m = nullptr;
        startup << timed([&] { m = openMainWindow(); });
        QPushButton *date = m->scheduleView()->findChild<QPushButton *>("cmdDate");
        QPushButton *lake = m->scheduleView()->findChild<QPushButton *>("cmdLake");
        byDate << timed([&] {
            date->click();
            m->repaint();
        });
        byLake << timed([&] {
            lake->click();
            m->repaint();
        });
        panel << timed([&] {
            m->toolbarButton("Bookings")->trigger();
            m->repaint();
        });
        m->toolbarButton("Schedule")->trigger();
        delete m;
    }
    std::printf("bookings: %d (rows in the grid: %d)\n", bookings, bookings + 1);
    std::printf("start-up to active:        median %7.1f ms (first %7.1f ms)\n", median(startup), startup[0]);
    std::printf("switch to bookings panel:  median %7.1f ms\n", median(panel));
    std::printf("sort by date:              median %7.1f ms\n", median(byDate));
    std::printf("sort by lake:              median %7.1f ms\n", median(byLake));

    const long delivered = residentInChild(args[0], QString());
    const long full = residentInChild(args[0], home.path());
    std::printf("resident memory, grid shown and sorted: delivered database %ld kB, %d bookings %ld kB, "
                "growth %.1f MB\n",
        delivered, bookings, full, (full - delivered) / 1024.0);
    database::closeAll();
    return 0;
}
