#pragma once

#include "data/status.h"

#include <QString>

namespace bm::report::says
{

// Why a report could not be printed, in words for the person who edited the
// definition. Each message is written here once.

// The definition file.
Status fileMissing(const QString &definitionPath);
Status notAReportFile(const QString &definitionPath);
Status fileUnreadable(const QString &reason);
Status fileTooLarge(int megabytes);
Status tooManyQueries(int line, int maxQueries);
Status headingTooLong(int line, int maxLength);

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

// The layout or the footer (where: "layout", "footer").
Status templateMistake(const QString &where, const QString &mistake);
Status templateTakesInFiles(const QString &where, const QString &tag);
Status templateUnescaped(const QString &where, const QString &tag);
Status templateChangesTagMarks(const QString &where, const QString &tag);
Status templateNestedTooDeep(const QString &where, const QString &section, int maxDepth);
Status templateRepeatsTooMuch(const QString &where, double millions);
Status templateRepeatsTooOften(const QString &where, const QString &section);
Status templateUnknownName(const QString &where, const QString &name);
Status templateTooLong(const QString &where, int megabytes);
Status templateTooLarge(const QString &where);

// The person printing asked to stop (Cancel).
Status stopped();

// The whole report: the reason beneath the report's name.
Status notPrinted(const QString &fileName, const Status &reason);

} // namespace bm::report::says
