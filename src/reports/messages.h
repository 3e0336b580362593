#pragma once

#include "core/status.h"
#include "db/readonlysays.h"

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

// A query: refused before it runs, or failed (the read-only gateway says so).
using db::says::dataTooLarge;
using db::says::queryCallsRefusedFunction;
using db::says::queryEmpty;
using db::says::queryFailed;
using db::says::queryFunctionNotOnServer;
using db::says::queryHoldsMore;
using db::says::queryNotASelect;
using db::says::queryTooManyRows;
using db::says::queryUnknownValue;
using db::says::queryValueTooLarge;
using db::says::queryWouldChange;
using db::says::stopped;

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

// The whole report: the reason beneath the report's name.
Status notPrinted(const QString &fileName, const Status &reason);

} // namespace bm::report::says
