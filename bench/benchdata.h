#pragma once

// What every benchmark shares: a large database made up row by row, and the
// fixture that runs the benchmarks on it in a scratch application folder.

#include <QCoreApplication>
#include <QList>
#include <QRandomGenerator>
#include <QStringList>
#include <QVariantList>

#include <functional>

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

// Empties the table first, as insertRows() leaves what is there.
void clearTable(const QString &table);

// The application folder in a fresh temporary folder (removed on return)
// with the delivered database and the en_US locale; setUp() fills it, then
// the registered benchmarks run. The application object is the caller's.
int runBenchmarks(int argc, char **argv, const std::function<void()> &setUp);

// For the benchmarks that time windows by hand, in milliseconds.
void waitFor(const std::function<bool()> &condition);
double timed(const std::function<void()> &step);
double median(QList<double> values);

} // namespace bm::bench
