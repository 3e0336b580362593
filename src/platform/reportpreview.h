#pragma once

#include "platform/reportpreviewdocument.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QLabel;
class QScrollArea;

namespace bm::platform
{

class ReportPageView;

// The "Print Preview" window: the report's pages as they will print, with
// commands to print them on a printer of the system or save them as PDF.
// It opens beside the program; printing another report shows that one.
class ReportPreview : public QMainWindow
{
    Q_OBJECT
public:
    explicit ReportPreview(QWidget *parent = nullptr);
    ~ReportPreview() override;

    void setReport(const report::Rendered &report);
    const ReportPages *pages() const { return m_pages.get(); }
    int currentPage() const; // 0-based: the page at the top of the view
    double zoom() const;

public slots:
    void printReport();
    void savePdf();
    void zoomIn();
    void zoomOut();
    void fitWidth();
    void showPage(int page); // 0-based

private:
    void layOutMore(); // the next pages, while the window waits for commands
    bool layOutAll(); // false when the guide stopped it
    void updatePageLabel();
    void setZoom(double zoom);

    // The work on the pages (printing, saving) holds them: another report
    // shown meanwhile does not pull them away.
    std::shared_ptr<const ReportPages> m_pages;
    bool m_busy = false; // printing or saving: the pages are not laid out meanwhile
    ReportPageView *m_view = nullptr;
    QScrollArea *m_scroll = nullptr;
    QLabel *m_pageLabel = nullptr;
    QAction *m_first = nullptr;
    QAction *m_previous = nullptr;
    QAction *m_next = nullptr;
    QAction *m_last = nullptr;
};

// Opens the preview window (or brings the open one forward) on a report.
ReportPreview *showPreview(const report::Rendered &report);

} // namespace bm::platform
