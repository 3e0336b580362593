#include "platform/mainhub.h"

#include "data/apppaths.h"

namespace bm::platform
{

namespace
{
MainHub *hub = nullptr;
}

MainHub *mainHub()
{
    return hub;
}
void setMainHub(MainHub *h)
{
    hub = h;
}

void showHelpTopic(const QString &topicNumber)
{
    if (hub)
        hub->dlgHelp().showTopic(topicNumber);
}

void printReport(const QString &reportFileName, Bookmark selection)
{
    if (!hub)
        return;
    ReportComponent &r = hub->report();
    r.setReportFileName(appFile(reportFileName));
    r.setSelection(selection);
    r.showPreview();
}

} // namespace bm::platform
