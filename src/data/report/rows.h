#pragma once

#include "data/query.h"
#include "data/report/definition.h"
#include "data/status.h"

#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringList>

#include <kainjow/mustache.hpp>

namespace bm::report
{

// The names every row of a query gives besides its columns: "Row Number"
// (from 1), "First Row", "Last Row" and "Even Row".
const QStringList &rowNames();

// Runs a prepared query and gives its rows as a list for the layout. Values
// print as the report shows them: amounts of amount fields as "###0.00",
// dates of date fields in the short date format, a computed value as the
// query gives it; no value is false, so that {{#Email}}..{{/Email}} shows
// only where there is one. names collects the query's column names.
[[nodiscard]] Status readRows(const Query &query, db::Query &statement, const QLocale &locale,
    kainjow::mustache::data &rows, QSet<QString> &names);

} // namespace bm::report
