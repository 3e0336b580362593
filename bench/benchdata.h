#pragma once

// What every benchmark shares: a large database made up row by row, and the
// fixture that runs the benchmarks on it in a scratch application folder.

#include <QCoreApplication>
#include <QList>
#include <QPair>
#include <QRandomGenerator>
#include <QStringList>
#include <QVariantList>

#include <functional>

class QListWidget;
class QSqlQuery;
class QTemporaryDir;

namespace bm
{
class FrmMain;
}

namespace bm::bench
{

// What the made-up bookings draw on.
extern const QStringList lakes; // five lakes
extern const QStringList clients; // six names, a number is added
extern const QStringList remarkWords;

// `count` words drawn from `words`, joined by blanks.
QString words(QRandomGenerator &rng, int count, const QStringList &from = remarkWords);

// Inserts `count` rows into the table of the program's database in one
// transaction: row(i, rng) gives the values of `columns` in their order,
// drawing on one generator seeded with `seed`. Windows and record sources
// see the new rows (the database generation moves on).
using RowMaker = std::function<QVariantList(int i, QRandomGenerator &rng)>;
void insertRows(
    const QString &table, const QStringList &columns, int count, const RowMaker &row, quint32 seed = 42);

// Inserts `count` bookings as a busy service would have them: every field
// filled, dates over 25 years, ten lakes, remarks of 14 words drawn from
// remarkWords, with "trophy" added to one in 200.
void insertBookings(int count);

// Empties the table first, as insertRows() leaves what is there.
void clearTable(const QString &table);

// The application folder in a fresh temporary folder (removed on return)
// with the delivered database and the en_US locale; setUp() fills it, then
// the registered benchmarks run. The application object is the caller's.
int runBenchmarks(int argc, char **argv, const std::function<void()> &setUp);

// For a benchmark that times windows by hand, before its application object
// is made: the offscreen platform unless one is chosen, and the data folder
// BM_BENCH_HOME names (a child's of startInChild, or a profiler's), else
// `own`, made the application's. Its path.
QString useDataHome(const QTemporaryDir &own);
// After the application object is made: its name and the en_US locale.
void nameApplication();

// Starts or stops ("start", "stop") a benchmark's own throwaway server with
// the tests' script, with the server's usual settings for writing; its
// state file names it. A server that does not start ends the benchmark.
void serverCluster(const QString &script, const QString &action, const QString &state);

// Runs the prepared query of dates and lakes (a search by bare SQL) and puts
// the trip search's lines of its rows into list: how many it lists.
int listTripLines(QSqlQuery &query, QListWidget &list);

// For the benchmarks that time windows by hand, in milliseconds.
void waitFor(const std::function<bool()> &condition);
double timed(const std::function<void()> &step);
double median(QList<double> values);

// A main window of 1024 x 740, shown, active and drawn.
FrmMain *openMainWindow();

// Sorts the schedule with one of its buttons ("cmdDate", "cmdLake") and draws
// the window again: the time it took, in ms.
double timedSort(FrmMain *window, const char *button);

// What a child started with "--start" does: opens the database with open,
// shows the main window, writes "shown MS" (the opening's time) and ends the
// process there. 1 when the database could not be opened.
int startAndEnd(const std::function<bool()> &open);

// Starts program with "--start" in a fresh process on the data folder given
// (and the settings folder, when one is given): the time from starting the
// process to its main window shown, and the part of it its opening of the
// database took, which the process writes as "shown MS", in ms.
QPair<double, double> startInChild(
    const QString &program, const QString &dataHome, const QString &configHome = QString());

} // namespace bm::bench
