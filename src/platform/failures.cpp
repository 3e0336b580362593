#include "platform/failures.h"

#include "platform/messages.h"

#include <QWidget>

Q_LOGGING_CATEGORY(lcWindows, "bm.windows")

namespace bm::platform
{

void logFailure(const Status &s)
{
    if (!s)
        qCWarning(lcWindows).noquote() << s.message();
}

bool reportFailure(const Status &s, QWidget *parent)
{
    if (s)
        return true;
    logFailure(s);
    warn(s.message(), parent);
    return false;
}

} // namespace bm::platform
