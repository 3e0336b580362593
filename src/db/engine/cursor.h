#pragma once

// The rows of a statement as one engine gives them. A query reads every
// engine's rows through a cursor; each engine has a cursor of its own.

#include "core/status.h"

#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace bm::db
{

class Cursor
{
public:
    virtual ~Cursor() = default;

    // Moves to the next row. False at the end and on a failure: a failure
    // in words is handed back in said, an engine's own reason in reason
    // (the query words it and logs it with the statement).
    virtual bool next(Status &said, QString &reason) = 0;

    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    // The table and field a column is read from; empty for a computed one.
    virtual QString originTable(int column) const = 0;
    virtual QString originField(int column) const = 0;

    // The current row's values, as the file's engine gives them: integers as
    // qlonglong, null as an invalid QVariant. The column is within range.
    virtual QVariant value(int column) const = 0;
    // The same as UTF-8 text, without a copy where the engine allows;
    // valid until the next row.
    virtual QByteArrayView text(int column) const = 0;
    virtual bool isNull(int column) const = 0;

    // The statement, as the log names it.
    virtual QString statement() const = 0;
};

// A statement the file's engine prepared (finalized with the cursor).
std::unique_ptr<Cursor> fileCursor(sqlite3 *db, sqlite3_stmt *stmt);

} // namespace bm::db
