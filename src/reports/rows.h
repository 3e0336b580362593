#pragma once

#include "core/progress.h"
#include "core/status.h"
#include "db/query.h"
#include "reports/definition.h"

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

// What the data of one report may take, shared by all its queries: reading
// stops as soon as the estimate passes maxBytes.
//
// The figure: the delivered invoice shows the most fields of the delivered
// reports; at 100,000 bookings with the fields a guide fills (names,
// places, amounts, remarks) its data is estimated at 456 MB (442 MB as
// allocated), the schedule's at 176 MB (169 MB). 768 MB leaves room for
// longer notes and keeps a runaway query (a recursive WITH at the row cap
// took 1.7 to 4 GB; a field of a megabyte in every row) under a gigabyte.
struct DataBudget {
    static constexpr qint64 maxBytes = qint64(768) << 20;
    qint64 bytes = 0; // the estimate so far
    qint64 rows = 0; // the rows read so far, of all queries
};

// Runs a prepared query and gives its rows as a list for the layout. Values
// print as the report shows them: amounts of amount fields as "###0.00",
// dates of date fields in the short date format, a computed value as the
// query gives it; no value is false, so that {{#Email}}..{{/Email}} shows
// only where there is one. names collects the query's column names; only
// the columns (and row names) in used are kept, since the layout can show
// no other. Each row and value is counted against budget; progress is told
// every few thousand rows how many have been read (total 0), and an answer
// of false stops the reading with says::stopped().
[[nodiscard]] Status readRows(const Query &query, db::Query &statement, const QLocale &locale,
    const QSet<QString> &used, DataBudget &budget, Progress &progress, kainjow::mustache::data &rows,
    QSet<QString> &names);

} // namespace bm::report
