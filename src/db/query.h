#pragma once

#include "core/status.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>

namespace bm::db
{

class Cursor; // an engine's rows (engine/cursor.h)
class ReadOnlyConnection;
class TransactionEngine; // a dialect's side of a transaction (engine/dialect.h)

// One statement that reads a database file, through the gateway. Every
// failure is logged with its statement and handed back in a guide's words;
// columns are read by the name the statement gives them. Statements that
// change the file are refused here: they go through write() or a
// Transaction, which tell every window of the change.
//
//     db::Query q(location);
//     if (Status s = q.run("SELECT ID, Name FROM Phone WHERE Name > ?", { name }); !s)
//         return s;
//     while (q.next())
//         use(q.value("ID"), q.value("Name"));
//     if (!q.status()) ... // the engine stopped part way
class Query
{
public:
    // On the program's connection to location (the program's own file if empty).
    explicit Query(const QString &location = QString());
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
    // Takes over the rows of a statement a report's connection prepared or
    // ran.
    void adopt(std::unique_ptr<Cursor> cursor);
    Status failed(const QString &sql, const QString &reason);
    int indexOf(const QString &column) const;

    QString m_location;
    const ReadOnlyConnection *m_readOnly = nullptr;
    std::unique_ptr<Cursor> m_cursor;
    bool m_row = false; // on a row of the cursor
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
[[nodiscard]] Status write(const QString &location, const QString &table, const QString &sql,
    const QVariantList &binds, Written *out = nullptr);

// Several writes that stand or fall together. Nothing is said until
// commit(); a transaction that goes without commit() is rolled back.
class Transaction
{
public:
    explicit Transaction(const QString &location);
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
    void rollback();

    QString m_location;
    bool m_open = false;
    std::unique_ptr<TransactionEngine> m_engine; // the dialect's, once begun
    QStringList m_tables;
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
// location, the reports' guard and the translation to the server's words:
// Whether a word of a statement (in any case), wherever it stands, is one
// that writes or changes the session: INSERT, SET, INTO, PRAGMA...
bool changesTheDatabase(const QString &word);
// A statement that changes the database or the session by its first word
// (END TRANSACTION too).
bool changes(const QString &statement);
// A statement that writes records (INSERT, UPDATE, DELETE, REPLACE): the
// only kind the write location takes.
bool writesRecords(const QString &statement);
// A statement that only gives rows (SELECT, WITH, VALUES) by its first word.
bool reads(const QString &statement);
// True where the column's text starts like a stored date (yyyy-MM-dd).
QString looksLikeDate(const QString &column);

} // namespace sql

} // namespace bm::db
