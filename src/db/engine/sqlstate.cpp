#include "db/engine/sqlstate.h"

#include <array>
#include <utility>

namespace bm::db::sqlstate
{

Code of(const QString &sqlState)
{
    static constexpr std::array<std::pair<const char *, Code>, 6> codes { {
        { "42P01", Code::UndefinedTable },
        { "42703", Code::UndefinedColumn },
        { "25006", Code::ReadOnlyTransaction },
        { "54000", Code::ProgramLimitExceeded },
        { "57014", Code::QueryCanceled },
        { "55P03", Code::LockNotAvailable },
    } };
    for (const auto &[state, code] : codes)
        if (sqlState == QLatin1String(state))
            return code;
    return Code::Other;
}

} // namespace bm::db::sqlstate
