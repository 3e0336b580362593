#include "benchdata.h"

#include "core/apppaths.h"
#include "core/dates.h"
#include "db/database.h"
#include "main/frmmain.h"
#include "main/scheduleview.h"
#include "records/findtrips.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bm::bench
{

const QStringList lakes { "Table Rock Lake", "Bull Shoals", "Lake Taneycomo", "Beaver Lake", "Norfork Lake" };
const QStringList clients { "Ann Lee", "Bob Smith", "Carl Jones", "Dana White", "Ed Brown", "Fay Green" };
const QStringList remarkWords { "slow", "bite", "windy", "topwater", "jig", "deep", "points", "clear",
    "cold" };

QString words(QRandomGenerator &rng, int count, const QStringList &from)
{
    QStringList drawn;
    for (int w = 0; w < count; ++w)
        drawn << from[int(rng.bounded(from.size()))];
    return drawn.join(' ');
}

void insertRows(
    const QString &table, const QStringList &columns, int count, const RowMaker &row, quint32 seed)
{
    QSqlQuery q(db::connection(databasePath()));
    q.exec("BEGIN");
    QStringList quoted;
    for (const QString &c : columns)
        quoted << '"' + c + '"';
    const QString marks = QStringList(columns.size(), QStringLiteral("?")).join(", ");
    q.prepare(QString("INSERT INTO \"%1\" (%2) VALUES (%3)").arg(table, quoted.join(", "), marks));
    QRandomGenerator rng(seed);
    for (int i = 0; i < count; ++i) {
        for (const QVariant &v : row(i, rng))
            q.addBindValue(v);
        if (!q.exec())
            qFatal("insert into %s failed", qPrintable(table));
    }
    q.exec("COMMIT");
    db::bumpGeneration(databasePath());
}

void insertBookings(int count)
{
    const QStringList manyLakes = lakes
        + QStringList { "Stockton Lake", "Truman Lake", "Lake of the Ozarks", "Pomme de Terre",
              "Greers Ferry" };
    const QStringList first { "Ann", "Bob", "Carl", "Dana", "Ed", "Fay", "Gus", "Hal", "Ivy", "Jim" };
    const QStringList last { "Lee", "Smith", "Jones", "White", "Brown", "Green", "Hill", "King" };
    const QStringList types { "Half Day", "Full Day", "Evening Trip", "Fly Fishing", "Multi-Day Trip" };
    insertRows("Booking",
        { "Date", "Lake", "Type", "Name", "Meet At", "Address", "City", "State", "ZipCode", "Telephone",
            "Cell Phone", "Email", "Lodging", "Notes", "Total Charge", "Deposit Amount", "Balance Due",
            "Deposit Received", "Paid By", "Weather", "Air Temp", "Wind Speed", "Water Temp", "Species",
            "Total Fish", "Big Fish", "Lure", "Lure Color", "Remarks" },
        count, [&](int i, QRandomGenerator &rng) {
            const QDate date = QDate(2000, 1, 1).addDays(int(rng.bounded(9000)));
            const QString name = first[i % first.size()] + ' ' + last[(i / 10) % last.size()];
            QString remark = words(rng, 14);
            if (i % 200 == 0)
                remark += QStringLiteral(" trophy");
            const qint64 charge = (i % 3 == 0 ? 4000000 : 2500000);
            return QVariantList { date.toString(Qt::ISODate), manyLakes[int(rng.bounded(manyLakes.size()))],
                types[i % types.size()], name, "State Park Marina", QString("%1 Lake Road").arg(i % 900 + 1),
                "Branson", "MO", "65616", "(555) 555-0100", "(555) 555-0199",
                QString("client%1@example.com").arg(i), "Lakeside Cabins", "Bring rain gear", charge, 1000000,
                charge - 1000000, date.addDays(-21).toString(Qt::ISODate), "Check", "Sunny", "72", "5-10",
                "64", "Largemouth Bass", "12", "4 lb 3 oz", "Jig and Pig", "Green Pumpkin", remark };
        });
}

void clearTable(const QString &table)
{
    QSqlQuery(db::connection(databasePath())).exec(QString("DELETE FROM \"%1\"").arg(table));
}

int runBenchmarks(int argc, char **argv, const std::function<void()> &setUp)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (!db::prepare())
        return 1;
    setUp();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    db::closeAll();
    return 0;
}

QString useDataHome(const QTemporaryDir &own)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray given = qgetenv("BM_BENCH_HOME");
    const QString home = given.isEmpty() ? own.path() : QString::fromLocal8Bit(given);
    qputenv("XDG_DATA_HOME", home.toLocal8Bit());
    return home;
}

void serverCluster(const QString &script, const QString &action, const QString &state)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BM_PGCLUSTER_DURABLE", "1");
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::ForwardedChannels);
    run.start("bash", { script, action, state });
    if (!run.waitForFinished(300000) || run.exitCode() != 0)
        qFatal("the benchmark's server did not %s", qPrintable(action));
}

void nameApplication()
{
    QApplication::setApplicationName("Brindlemoor");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

int listTripLines(QSqlQuery &query, QListWidget &list)
{
    list.clear();
    if (!query.exec())
        qFatal("the bare search failed");
    QStringList lines;
    while (query.next())
        lines << TripFinder::line(
            shortDate(QDate::fromString(query.value(0).toString(), Qt::ISODate)), query.value(1).toString());
    list.addItems(lines);
    return list.count();
}

void waitFor(const std::function<bool()> &condition)
{
    while (!condition())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

double timed(const std::function<void()> &step)
{
    QElapsedTimer t;
    t.start();
    step();
    return t.nsecsElapsed() / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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

int startAndEnd(const std::function<bool()> &open)
{
    QElapsedTimer opening;
    opening.start();
    if (!open())
        return 1;
    const double openingMs = opening.nsecsElapsed() / 1e6;
    openMainWindow();
    std::printf("shown %.3f\n", openingMs);
    std::fflush(stdout);
    std::_Exit(0);
}

double timedSort(FrmMain *window, const char *button)
{
    auto *sort = window->scheduleView()->findChild<QPushButton *>(QLatin1String(button));
    if (!sort)
        qFatal("the schedule has no button %s", button);
    return timed([&] {
        sort->click();
        window->repaint();
    });
}

QPair<double, double> startInChild(const QString &program, const QString &dataHome, const QString &configHome)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BM_BENCH_HOME", dataHome);
    if (!configHome.isEmpty())
        env.insert("XDG_CONFIG_HOME", configHome);
    child.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    child.start(program, { "--start" });
    QByteArray said;
    while (!said.contains('\n') && child.waitForReadyRead(600000))
        said += child.readAllStandardOutput();
    const double ms = t.nsecsElapsed() / 1e6;
    child.waitForFinished(600000);
    const QList<QByteArray> words = said.trimmed().split(' ');
    if (words.size() != 2 || words[0] != "shown")
        qFatal("the program did not start on %s", qPrintable(dataHome));
    return { ms, words[1].toDouble() };
}

} // namespace bm::bench
