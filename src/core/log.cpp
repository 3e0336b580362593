#include "core/log.h"

namespace bm
{

Q_LOGGING_CATEGORY(dataLog, "bm.data")

} // namespace bm
