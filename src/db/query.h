#pragma once

#include "core/status.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;
struct pg_result;

class QSqlDatabase; // the engine's; only the database layer uses it

namespace bm::db
{

class ReadOnlyConnection;

// One statement that reads a database file, through the gateway. Every
// failure is logged with its statement and handed back in a guide's words;
// columns are read by the name the statement gives them. Statements that
// change the file are refused here: they go through write() or a
// Transaction, which tell every window of the change.
//
//     db::Query q(path);
//     if (Status s = q.run("SELECT ID, Name FROM Phone WHERE Name > ?", { name }); !s)
//         return s;
//     while (q.next())
//         use(q.value("ID"), q.value("Name"));
//     if (!q.status()) ... // the engine stopped part way
class Query
{
public:
    // On the program's connection to path (the program's own file if empty).
    explicit Query(const QString &path = QString());
    // On a report's read-only connection, which must outlive the query.
    explicit Query(const ReadOnlyConnection &connection);
    ~Query();
    Query(Query &&) noexcept;
    Query &operator=(Query &&) noexcept;

    // Prepares, binds the ? in order and runs the statement; the first row
    // is read with next().
    [[nodiscard]] Status run(const QString &sql, const QVariantList &binds = {});
    // The next row: false at the end, and on a failure (status() tells).
    bool next();
    // Ok, or why the statement could not run or stopped part way.
    [[nodiscard]] const Status &status() const { return m_status; }
    // The engine's own words for the last failure, for callers that say it
    // in their own message.
    const QString &reason() const { return m_reason; }

    // The value of a column of the current row, as stored, by the name the
    // statement gives it ("ID", "Name", or the name after AS). An unknown name
    // is a programming error: it is logged and gives an invalid value.
    QVariant value(const QString &column) const;
    // The same as UTF-8 text, without a copy; valid until the next row.
    QByteArrayView text(const QString &column) const;

    // Runs a statement that gives one row, and reads its first column.
    [[nodiscard]] Status single(const QString &sql, const QVariantList &binds, QVariant &out);

    // For callers that go through every column whatever they are (reports).
    int columnCount() const;
    QString columnName(int column) const;
    // The table and field a column is read from; empty for a computed one.
    QString originTable(int column) const;
    QString originField(int column) const;
    QVariant valueAt(int column) const;
    QByteArrayView textAt(int column) const;
    bool isNullAt(int column) const;

private:
    friend class ReadOnlyConnection;
    struct Engine;
    // Takes over a statement the report guard prepared.
    void adopt(sqlite3 *db, sqlite3_stmt *stmt);
    // Takes over the first result of a statement the report guard ran on a
    // server (freed with the query); origins: the table and field of each
    // column, empty for a computed one. When more is to come, next() asks
    // the connection for the rest, named name in what it says.
    void adoptResult(
        pg_result *result, QList<std::pair<QString, QString>> origins, bool moreToCome, const QString &name);
    Status failed(const QString &sql, const QString &reason);
    Status runOnServer(const QString &sql, const QVariantList &binds);
    int indexOf(const QString &column) const;

    QString m_path;
    const ReadOnlyConnection *m_readOnly = nullptr;
    std::unique_ptr<Engine> m_engine;
    QHash<QString, int> m_columns;
    Status m_status;
    QString m_reason;
};

// What a write did.
struct Written {
    qint64 insertId = 0; // the new record's key, after an INSERT
    int rowsAffected = 0;
};

// The one way to change a database file: runs one INSERT, UPDATE or DELETE on
// table, committed at once, then tells every window of the change (the
// file's generation grows and DataChanges says it).
[[nodiscard]] Status write(const QString &path, const QString &table, const QString &sql,
    const QVariantList &binds, Written *out = nullptr);

// Several writes that stand or fall together. Nothing is said until
// commit(); a transaction that goes without commit() is rolled back.
class Transaction
{
public:
    explicit Transaction(const QString &path);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    [[nodiscard]] Status begin();
    // One statement of the transaction; the same sql is prepared once.
    [[nodiscard]] Status write(
        const QString &table, const QString &sql, const QVariantList &binds, Written *out = nullptr);
    // Reads one value within the transaction: what it has written so far
    // counts. Statements that change records go through write().
    [[nodiscard]] Status single(const QString &sql, const QVariantList &binds, QVariant &out);
    // Commits, then tells of every table written.
    [[nodiscard]] Status commit();

private:
    struct Prepared;
    void rollback();
    QSqlDatabase serverConnection(Status *status) const;

    QString m_path;
    bool m_open = false;
    QString m_serverConnection; // on a server: the connection it began on
    QStringList m_tables;
    QHash<QString, std::shared_ptr<Prepared>> m_prepared;
};

// The pieces of a statement that each database engine writes its own way;
// callers build their statements with these rather than with one engine's
// words.
namespace sql
{

// The keys of a group's rows as one text, joined by commas.
QString joinedKeys(const QString &column);
// The column compared without its index, for a count that is quicker over
// the table's smallest index than over the column's own.
QString withoutIndex(const QString &column);
// The first word of a statement, upper case, past blanks and comments.
QString firstWord(const QString &statement);

// Whether a statement reads or writes, decided here once for the write
// path, the reports' guard and the translation to the server's words:
// Whether a word of a statement (in any case), wherever it stands, is one
// that writes or changes the session: INSERT, SET, INTO, PRAGMA...
bool changesTheDatabase(const QString &word);
// A statement that changes the database or the session by its first word
// (END TRANSACTION too).
bool changes(const QString &statement);
// A statement that writes records (INSERT, UPDATE, DELETE, REPLACE): the
// only kind the write path takes.
bool writesRecords(const QString &statement);
// A statement that only gives rows (SELECT, WITH, VALUES) by its first word.
bool reads(const QString &statement);
// True where the column's text starts like a stored date (yyyy-MM-dd).
QString looksLikeDate(const QString &column);

} // namespace sql

} // namespace bm::db
