#include "benchdata.h"

#include "data/apppaths.h"
#include "data/database.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QLocale>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>

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
    QSqlQuery q(database::connection(databasePath()));
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
    database::bumpGeneration(databasePath());
}

void clearTable(const QString &table)
{
    QSqlQuery(database::connection(databasePath())).exec(QString("DELETE FROM \"%1\"").arg(table));
}

int runBenchmarks(int argc, char **argv, const std::function<void()> &setUp)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (!database::prepare())
        return 1;
    setUp();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    database::closeAll();
    return 0;
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

} // namespace bm::bench
