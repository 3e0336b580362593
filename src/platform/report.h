#pragma once

#include "db/recordsource.h"

#include <QObject>
#include <QString>

namespace bm::platform
{

// Runs a report definition and shows the result in the "Print Preview"
// window. Production uses the report engine; tests record what was run.
class ReportService
{
public:
    virtual ~ReportService() = default;
    // selection: the one record the report is for (the invoice), or none;
    // guide: the one guide whose trips it prints, or empty for every guide.
    // month: the month it prints as "yyyy-MM" (the logbook), or empty.
    virtual void run(
        const QString &reportFile, Bookmark selection, const QString &guide, const QString &month)
        = 0;
};

ReportService &reportService();
void setReportService(ReportService *service); // nullptr restores production

// The main window's report component: set the report file name (a full
// path), then show its preview to run it.
class ReportComponent : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void setReportFileName(const QString &path) { m_file = path; }
    const QString &reportFileName() const { return m_file; }
    // The booking the invoice is printed for; cleared after each run.
    void setSelection(Bookmark selection) { m_selection = selection; }
    // The guide whose trips are printed (empty: every guide); cleared after
    // each run.
    void setGuide(const QString &guide) { m_guide = guide; }
    // The month printed, "yyyy-MM" (empty: none); cleared after each run.
    void setMonth(const QString &month) { m_month = month; }
    // Runs the report and shows it in the print preview window.
    void showPreview();

private:
    QString m_file;
    Bookmark m_selection;
    QString m_guide;
    QString m_month;
};

} // namespace bm::platform
