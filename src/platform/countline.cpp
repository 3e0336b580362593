#include "platform/countline.h"

#include "db/recordsource.h"
#include "platform/failures.h"

namespace bm::platform
{

namespace
{

Status counted(const RecordSource &source, const QString &pattern, QString &line)
{
    int n = 0;
    const Status s = source.count(n);
    line = s ? pattern.arg(n) : pattern.arg(QStringLiteral("?"));
    return s;
}

} // namespace

QString countLine(const RecordSource &source, const QString &pattern, const QString &shown, QWidget *parent)
{
    QString line;
    const Status s = counted(source, pattern, line);
    if (!s && line == shown)
        logFailure(s);
    else
        reportFailure(s, parent);
    return line;
}

QString countLine(const RecordSource &source, const QString &pattern, QString &why)
{
    QString line;
    const Status s = counted(source, pattern, line);
    logFailure(s);
    why = s.message();
    return line;
}

} // namespace bm::platform
