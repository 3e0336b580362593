#pragma once

// The server's error codes (SQLSTATE) that the program tells apart, named
// once, in one table.

#include <QString>

namespace bm::db::sqlstate
{

enum class Code {
    Other, // any code the program does not tell apart
    UndefinedTable, // 42P01: a table the database does not have
    UndefinedColumn, // 42703: a field its tables do not have
    ReadOnlyTransaction, // 25006: a write in a read-only session
    ProgramLimitExceeded, // 54000: a value too large
    QueryCanceled, // 57014: stopped by its time limit or a cancel
    LockNotAvailable, // 55P03: a record another desk's transaction holds
};

Code of(const QString &sqlState);

} // namespace bm::db::sqlstate
