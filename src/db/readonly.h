#pragma once

#include "core/status.h"

#include <QElapsedTimer>
#include <QHash>
#include <QLocale>
#include <QString>

#include <functional>

struct sqlite3;
struct pg_conn;
struct pg_result;

namespace bm::db
{

class Query;
namespace sqlstate
{
enum class Code; // the server's error codes (engine/sqlstate.h)
}

// The values a report's queries may name, each bound to the statement (on
// the server written as a literal by the translation), never pasted into
// its text.
struct ReportValues {
    qint64 booking = 0; // :booking, the booking printed (the invoice); 0 binds null
    QString guide; // :guide, the guide whose trips are printed; empty binds null
    QString month; // :month, the month printed as "yyyy-MM" (the logbook); empty binds null
};

// A connection of a report's own to a database file that can only read:
// opened read-only, every action of a statement but reading refused while it
// is prepared, only the functions a report needs callable, and a field
// misspelt in double quotes an error rather than a text. Its queries may
// call amount(units), which prints an amount as "###0.00", and
// shortdate(stored), which prints a stored date.
//
// On a server location it is a connection of its own to the server, not the
// program's: every transaction of its session is read-only, a statement is
// translated from SQLite's words and checked as one statement that calls
// only the report functions, and amount() and shortdate() are functions of
// the session, built from the locale to print as on the file.
class ReadOnlyConnection
{
public:
    ReadOnlyConnection() = default;
    ~ReadOnlyConnection();
    ReadOnlyConnection(const ReadOnlyConnection &) = delete;
    ReadOnlyConnection &operator=(const ReadOnlyConnection &) = delete;

    // locale: how amount() and shortdate() print; it must outlive the
    // connection.
    [[nodiscard]] Status open(const QString &location, const QLocale &locale);

    // The statement guard: prepares a report's query as one statement that
    // only reads and gives rows, and binds :booking, :guide and :month to their
    // values (null for none). Any other value, a second statement, a
    // statement that would write or a function reports may not call is
    // refused, in words that name the query. A query that runs away (an
    // endless recursive WITH) is stopped after a minute.
    [[nodiscard]] Status prepare(
        const QString &name, const QString &sql, const ReportValues &values, Query &out) const;

    // Asked again and again while a statement works (thousands of times a
    // second: it must be quick); false stops the statement there, as the time
    // limit does. A query that sorts or groups a large table can be stopped
    // this way before its first row.
    void setStillWanted(std::function<bool()> stillWanted) { m_stillWanted = std::move(stillWanted); }

    // The longest value a report may read or compute.
    static constexpr int maxValueBytes = 1024 * 1024;
    // How long a query may run before it is stopped.
    static constexpr qint64 queryTimeLimitMs = 60 * 1000;

    const QString &location() const { return m_location; }
    sqlite3 *handle() const { return m_handle; }

private:
    class ServerRows; // a result on the server, read a row at a time
    static int authorize(void *self, int action, const char *, const char *, const char *, const char *);
    static int progress(void *self);
    // What plainly writes, or is no SELECT, refused by its first word before
    // an engine sees it; the engines' own guards stop the rest.
    static Status firstWordRefusal(const QString &name, const QString &sql);
    Status openOnServer(const QLocale &locale);
    // The statement a report's query becomes on the server (the report
    // functions called as the session's own), or why it is refused, in the
    // words prepare() gives.
    static Status serverText(
        const QString &name, const QString &sql, const ReportValues &values, QString &out);
    Status prepareOnServer(
        const QString &name, const QString &sql, const ReportValues &values, Query &out) const;
    // Runs the checked statement; the query reads its rows one at a time
    // with nextServerRows(). origins: the table and field of each column.
    Status runOnServer(const QString &name, const QString &text, QList<std::pair<QString, QString>> origins,
        Query &out) const;
    // The next rows of the statement running, giving the progress its say
    // while the server works: a result of one row, or of none at the end
    // (then the connection is ready for the next statement), or why not.
    Status nextServerRows(const QString &name, pg_result *&rows) const;
    // A statement given up before its end: stopped on the server, and what
    // it still sends read and let go.
    void abandonOnServer() const;
    void cancelOnServer() const;
    void drainOnServer() const;
    // Why the server refused or stopped a query, in the words prepare() gives.
    Status refusedOnServer(
        const QString &name, const QString &sql, sqlstate::Code code, const QString &message) const;
    // The table and field of each column of a described statement.
    QList<std::pair<QString, QString>> originsOf(const pg_result *described) const;

    QString m_location;
    sqlite3 *m_handle = nullptr;
    QString m_serverConnection; // the name of its own server connection
    pg_conn *m_server = nullptr;
    mutable QHash<quint64, std::pair<QString, QString>> m_origins; // by table and column number
    mutable QString m_refusedFunction; // the last function the guard refused
    mutable QElapsedTimer m_timer;
    std::function<bool()> m_stillWanted;
};

} // namespace bm::db
