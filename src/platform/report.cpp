#include "platform/report.h"

namespace bm::platform
{

namespace
{

// Until the report engine is built reports go nowhere.
class NoReports : public ReportService
{
public:
    void run(const QString &, Bookmark) override { }
};

NoReports fallback;
ReportService *current = nullptr;

} // namespace

ReportService &reportService()
{
    return current ? *current : fallback;
}
void setReportService(ReportService *service)
{
    current = service;
}

void ReportComponent::setAction(int action)
{
    if (action != 1)
        return;
    const Bookmark selection = m_selection;
    m_selection = {};
    reportService().run(m_file, selection);
}

} // namespace bm::platform
