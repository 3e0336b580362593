#pragma once

#include <QtGlobal>

namespace bm
{

// Looks on while a long piece of work runs (reading a large file, writing
// many records): told now and then how far it has come, it answers whether
// the work goes on. A window shows it; tests stop the work at a chosen point.
class Progress
{
public:
    virtual ~Progress() = default;
    // done of total (total 0: not known yet); false asks the work to stop.
    virtual bool advance(qint64 done, qint64 total) = 0;
};

} // namespace bm
