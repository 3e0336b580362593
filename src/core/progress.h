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

// Passes progress on to the caller's (if any) and remembers whether it
// asked to stop: work that was stopped has not failed.
class ProgressWatch : public Progress
{
public:
    explicit ProgressWatch(Progress *caller)
        : m_caller(caller)
    {
    }
    bool advance(qint64 done, qint64 total) override
    {
        if (m_caller && !m_stopped && !m_caller->advance(done, total))
            m_stopped = true;
        return !m_stopped;
    }
    bool stopped() const { return m_stopped; }

private:
    Progress *m_caller;
    bool m_stopped = false;
};

} // namespace bm
