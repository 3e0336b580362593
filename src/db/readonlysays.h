#pragma once

#include "core/status.h"

#include <QString>

namespace bm::db::says
{

// Why a query of a report (or any read-only query a person wrote) was refused
// or failed, in words for the person who wrote it. Each message is written
// here once; the report layer tells the rest of a report's failures.

// A query: refused before it runs.
Status queryWouldChange(const QString &query);
Status queryNotASelect(const QString &query);
Status queryEmpty(const QString &query);
Status queryHoldsMore(const QString &query);
Status queryUnknownValue(const QString &query, const QString &parameter);
Status queryTooManyRows(const QString &query, int maxRows);
Status queryValueTooLarge(const QString &query);
// The data of all the report's queries together passed the budget while
// query was read.
Status dataTooLarge(const QString &query, int megabytes);
Status queryCallsRefusedFunction(const QString &query, const QString &function);
// A function of the file's that a server database does not have (strftime).
Status queryFunctionNotOnServer(const QString &query, const QString &function);
// A query the engine refused or stopped, told from the engine's words.
Status queryFailed(const QString &query, const QString &engineMessage);

// The person running the query asked to stop (Cancel).
Status stopped();

} // namespace bm::db::says
