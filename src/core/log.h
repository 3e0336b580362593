#pragma once

#include <QLoggingCategory>

namespace bm
{

// Failures of the database engine and of reading or writing records are
// written to the log under "bm.data" as well as handed back to the caller.
Q_DECLARE_LOGGING_CATEGORY(dataLog)

} // namespace bm
