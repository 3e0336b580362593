#pragma once

#include "core/status.h"

#include <QByteArray>
#include <QString>

namespace bm::db
{

// Builds the delivered database file at output: the program's migrations
// create the tables of the current layout on a new file, then the starter
// script adds the records a guide finds on first start, stamped as the
// program stamps every record it writes. The result must pass the same
// inspection as any file the program takes in; on a failure nothing is left
// at output.
[[nodiscard]] Status buildDelivered(const QByteArray &starterSql, const QString &output);

} // namespace bm::db
