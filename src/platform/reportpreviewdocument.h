#pragma once

#include "data/report/runner.h"
#include "data/status.h"

#include <QPageLayout>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class QTextDocument;

namespace bm::platform::flow
{
struct Flow;
}

namespace bm::platform
{

// A rendered report laid out on pages of one paper: the same pages show in
// the preview, go to the printer and into a PDF. The foot of every page
// carries the report's footer, the print date and "Page 2 of 5".
//
// A long report is laid out a few pages at a time, on demand: the first
// pages show at once, layoutStep() goes on with the rest, and everything
// that needs every page (the count, printing, the PDF) finishes it first.
class ReportPages
{
public:
    // The paper a guide expects: Letter where the system measures in inches,
    // A4 elsewhere, in the report's orientation.
    static QPageLayout defaultLayout(bool landscape);

    explicit ReportPages(const report::Rendered &report);
    ReportPages(const report::Rendered &report, const QPageLayout &layout);
    ~ReportPages();
    ReportPages(const ReportPages &) = delete;
    ReportPages &operator=(const ReportPages &) = delete;

    const report::Rendered &report() const { return m_report; }
    const QPageLayout &pageLayout() const { return m_layout; }
    int pageCount() const; // lays every page out
    int knownPageCount() const { return m_known; } // laid out so far
    bool isComplete() const { return m_complete; }
    // Lays out the next few pages; false once every page is laid out.
    bool layoutStep() const;
    // The whole page in layout units (96 to the inch).
    QSizeF pageSize() const;
    QString plainText() const;
    // The text that stands on one page (0-based), a line for each paragraph.
    QString pageText(int page) const;
    // The width the laid-out text takes, and the room the page gives it.
    double layoutWidth() const;
    double contentWidth() const { return contentRect().width(); }

    // Draws one page (0-based) with its foot; the painter stands in layout
    // units with the page's top left corner at the origin. While the count
    // of pages is not known yet the foot says "Page 2" alone.
    void paintPage(QPainter &painter, int page) const;

    // Paints pages first..last (0-based, inclusive) on a printer or a PDF
    // writer that is set to this layout.
    bool paint(QPagedPaintDevice &device, int first, int last) const;

    // Writes every page into a PDF file.
    Status savePdf(const QString &path) const;

    static constexpr double unitsPerInch = 96.0;

private:
    struct Chunk {
        std::unique_ptr<QTextDocument> doc;
        int firstPage = 0; // of the report
        int pages = 0; // taken from this document
    };

    QRectF contentRect() const; // in layout units, on the page
    std::unique_ptr<QTextDocument> layOut(const QString &html) const;
    void ensurePage(int page) const;
    const Chunk *chunkOf(int page) const;

    report::Rendered m_report;
    QPageLayout m_layout;
    mutable std::unique_ptr<flow::Flow> m_flow; // none: laid out whole
    mutable std::vector<Chunk> m_chunks;
    mutable int m_nextUnit = 0;
    mutable int m_chunkUnits = 0;
    mutable int m_known = 0;
    mutable bool m_complete = false;
};

} // namespace bm::platform
