#pragma once

// The functions a report's query may call, on the file and on the server.

#include <QSet>
#include <QString>

namespace bm::db
{

// On the file: the program's own two (amount, shortdate), and the plain
// scalar, date and aggregate functions a report writer expects.
const QSet<QString> &reportFunctions();

// On the server: those of the file's list that the server has under the
// same name, and those the translation from SQLite's words brings in.
const QSet<QString> &serverFunctions();

} // namespace bm::db
