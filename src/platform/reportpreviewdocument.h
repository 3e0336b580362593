#pragma once

#include "data/report/runner.h"
#include "data/status.h"

#include <QPageLayout>
#include <QRectF>
#include <QString>

#include <memory>

class QPainter;
class QPagedPaintDevice;
class QTextDocument;

namespace bm::platform
{

// A rendered report laid out on pages of one paper: the same pages show in
// the preview, go to the printer and into a PDF. The foot of every page
// carries the report's footer, the print date and "Page 2 of 5".
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
    int pageCount() const;
    // The whole page in layout units (96 to the inch).
    QSizeF pageSize() const;
    QString plainText() const;
    // The width the laid-out text takes, and the room the page gives it.
    double layoutWidth() const;
    double contentWidth() const { return contentRect().width(); }

    // Draws one page (0-based) with its foot; the painter stands in layout
    // units with the page's top left corner at the origin.
    void paintPage(QPainter &painter, int page) const;

    // Paints pages first..last (0-based, inclusive) on a printer or a PDF
    // writer that is set to this layout.
    bool paint(QPagedPaintDevice &device, int first, int last) const;

    // Writes every page into a PDF file.
    Status savePdf(const QString &path) const;

    static constexpr double unitsPerInch = 96.0;

private:
    void build();
    QRectF contentRect() const; // in layout units, on the page

    report::Rendered m_report;
    QPageLayout m_layout;
    std::unique_ptr<QTextDocument> m_doc;
};

} // namespace bm::platform
