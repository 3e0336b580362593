#pragma once

#include "data/recordsource.h"
#include "data/report/definition.h"
#include "data/status.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace bm::report
{

// A connection of the report's own to the database file that can only read:
// opened read-only, every action of a statement but reading refused while it
// is prepared, and a field misspelt in double quotes an error rather than a
// text. Its queries may call amount(units), which prints an amount as
// "###0.00", and shortdate(stored), which prints a stored date.
class ReadOnlyConnection
{
public:
    ReadOnlyConnection();
    ~ReadOnlyConnection();
    ReadOnlyConnection(const ReadOnlyConnection &) = delete;
    ReadOnlyConnection &operator=(const ReadOnlyConnection &) = delete;

    // locale: how amount() and shortdate() print; it must outlive the
    // connection.
    [[nodiscard]] Status open(const QString &path, const QLocale &locale);
    sqlite3 *handle() const { return m_handle; }

private:
    QString m_name;
    sqlite3 *m_handle = nullptr;
};

// One prepared statement, finalized when it goes.
struct Statement {
    Statement() = default;
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *stmt = nullptr;
};

// The statement guard: prepares the query as one statement that only reads
// and gives rows, and binds :booking to the selection (null for none). Any
// other value, a second statement or a statement that would write is
// refused, in words that name the query.
[[nodiscard]] Status prepareQuery(sqlite3 *handle, const Query &query, Bookmark selection, Statement &out);

// While it lives, a statement of the connection that runs away (an endless
// recursive WITH) is stopped.
class TimeLimit
{
public:
    explicit TimeLimit(sqlite3 *handle);
    ~TimeLimit();
    TimeLimit(const TimeLimit &) = delete;
    TimeLimit &operator=(const TimeLimit &) = delete;

private:
    static int progress(void *self);
    sqlite3 *m_handle;
    QElapsedTimer m_timer;
};

} // namespace bm::report
