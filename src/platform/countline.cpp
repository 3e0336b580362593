#include "platform/countline.h"

#include "data/recordsource.h"
#include "platform/failures.h"

namespace bm::platform
{

QString countLine(const RecordSource &source, const QString &pattern, const QString &shown, QWidget *parent)
{
    int n = 0;
    const Status counted = source.count(n);
    if (counted)
        return pattern.arg(n);
    const QString line = pattern.arg(QStringLiteral("?"));
    if (line == shown)
        logFailure(counted);
    else
        reportFailure(counted, parent);
    return line;
}

} // namespace bm::platform
