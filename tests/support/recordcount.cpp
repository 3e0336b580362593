#include "recordcount.h"

#include "db/recordsource.h"

#include <QtDebug>

namespace bm::test
{

int recordCount(const RecordSource &source)
{
    int n = 0;
    if (const Status s = source.count(n); !s) {
        qWarning("%s", qPrintable(s.message()));
        return -1;
    }
    return n;
}

} // namespace bm::test
