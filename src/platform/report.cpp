#include "platform/report.h"

#include "core/apppaths.h"
#include "platform/failures.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "platform/reportpreview.h"
#include "platform/shell.h"
#include "reports/runner.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace bm::platform
{

namespace
{

// The report engine: runs the definition and shows the preview, or says in
// a message box why the report could not be printed.
class PreviewReports : public ReportService
{
public:
    void run(
        const QString &reportFile, Bookmark selection, const QString &guide, const QString &month) override
    {
        // A delivered definition that was deleted is laid in again first.
        const QFileInfo file(reportFile);
        // When that fails, the report is not run: it is not there.
        if (!file.exists() && QDir(file.absolutePath()) == QDir(appFolder())
            && !reportFailure(installDeliveredFiles()))
            return;

        // A report of many rows takes a while: its window tells how far it
        // has come and can stop it.
        const auto window = progress(QStringLiteral("Preparing the report..."), QApplication::activeWindow());
        ProgressWatch watch(window.get());
        report::Request request;
        request.definitionPath = reportFile;
        request.selection = selection;
        request.guide = guide;
        request.month = month;
        request.printDate = today();
        request.progress = &watch;
        report::Rendered rendered;
        const Status s = report::render(request, rendered);
        if (s)
            showPreview(rendered);
        else if (!watch.stopped())
            message(s.message(), Icon::Exclamation);
    }
};

PreviewReports production;
ReportService *current = nullptr;

} // namespace

ReportService &reportService()
{
    return current ? *current : production;
}
void setReportService(ReportService *service)
{
    current = service;
}

void ReportComponent::showPreview()
{
    const Bookmark selection = m_selection;
    const QString guide = m_guide;
    const QString month = m_month;
    m_selection = {};
    m_guide.clear();
    m_month.clear();
    reportService().run(m_file, selection, guide, month);
}

} // namespace bm::platform
