#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace bm::exchangedb
{

// The engine's own handle of the shared connection to a database file, for
// the bulk reads and writes of export and import (row by row through a
// record source they would take minutes). Null, with the reason, when the
// file can not be opened.
sqlite3 *handle(const QString &databasePath, Status *status);

// One prepared statement, finalized when it goes.
class Statement
{
public:
    Statement(sqlite3 *db, const QString &sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    sqlite3_stmt *get() const { return m_stmt; }
    // The engine's last error on the statement's connection, in words.
    Status error(const QString &what) const;

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};

// Text of a column of the current row as UTF-8 bytes (empty for no value).
QByteArray columnText(sqlite3_stmt *stmt, int column);

} // namespace bm::exchangedb
