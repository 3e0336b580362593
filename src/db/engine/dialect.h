#pragma once

// Where the file and the server differ, each has a dialect: one object per
// engine that reads, writes and holds transactions its own way, so that the
// query, the write path and transactions ask no "which engine?" themselves.

#include "core/status.h"
#include "db/database.h"
#include "schema/schema.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <memory>

struct sqlite3;

namespace bm::filter
{
struct Expression;
}

namespace bm::db
{

class Cursor;
struct Written;

// The engine's side of a transaction: begun, written to, committed or
// rolled back on the program's connection to the database.
class TransactionEngine
{
public:
    virtual ~TransactionEngine() = default;
    [[nodiscard]] virtual Status begin() = 0;
    // One statement of records already checked to be a write.
    [[nodiscard]] virtual Status write(const QString &sql, const QVariantList &binds, Written *out) = 0;
    // Whether the connection that holds the transaction is still the one it
    // began on (a read within it must see its writes).
    [[nodiscard]] virtual Status stillHeld() const = 0;
    [[nodiscard]] virtual Status commit() = 0;
    virtual void rollback() = 0;
};

class Dialect
{
public:
    virtual ~Dialect() = default;

    // The file's dialect or the server's, by the location.
    static const Dialect &of(const QString &location);

    // The connections (database.h): the key a location's connection is kept
    // by, its name in messages, the check before first use.
    virtual QString key(const QString &location) const = 0;
    virtual QString displayName(const QString &location) const = 0;
    [[nodiscard]] virtual Status check(const QString &location, Pages pages) const = 0;
    // Opens the program's connection named name to the database at key; an
    // invalid one, with the reason, when it can not be opened. reopened: a
    // connection that was lost is opened again.
    virtual QSqlDatabase open(
        const QString &key, const QString &name, bool reopened, Status *status) const = 0;
    // Whether an open connection has been lost (the server went away).
    virtual bool lost(const QSqlDatabase &db) const = 0;
    [[nodiscard]] virtual Status calendarIdentity(const QString &location, quint32 &identity) const = 0;

    // The record sources' words (recordsource.cpp): a bare field as a
    // condition (true for any set, non-zero value); the expression of a
    // record's row version, empty where there is none; the condition that
    // finds a filter expression's matches, with its one value, or false
    // when the record source must match each record itself.
    virtual QString truth(const QString &quotedField) const = 0;
    virtual QString rowVersion() const = 0;
    virtual bool findTest(const QString &quotedField, FieldKind kind, const filter::Expression &e,
        QString &test, QVariant &bind) const = 0;

    // Runs a statement that only reads on the program's connection. A
    // failure in words comes back as the status; one the engine gives, as
    // reason (the query words and logs it); either way without a cursor.
    [[nodiscard]] virtual Status read(const QString &location, const QString &sql, const QVariantList &binds,
        std::unique_ptr<Cursor> &out, QString &reason) const = 0;

    // One write of records, committed at once. Saying the change is the
    // caller's.
    [[nodiscard]] virtual Status write(
        const QString &location, const QString &sql, const QVariantList &binds, Written *out) const = 0;

    virtual std::unique_ptr<TransactionEngine> transaction(const QString &location) const = 0;
};

// The file's engine's words for what went wrong on a handle.
QString reasonOf(sqlite3 *handle);

// "The database could not do this: reason", logged with the statement.
Status refusal(const QString &location, const QString &sql, const QString &reason);

// Runs a statement that only reads on a handle of the file's engine (the
// program's, or a report's guarded one).
[[nodiscard]] Status readOnFile(sqlite3 *handle, const QString &sql, const QVariantList &binds,
    std::unique_ptr<Cursor> &out, QString &reason);

// The dialects themselves (engine/filedialect.cpp, engine/serverdialect.cpp).
const Dialect &fileDialect();
const Dialect &serverDialect();

} // namespace bm::db
