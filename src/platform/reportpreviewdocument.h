#pragma once

#include "core/progress.h"
#include "core/status.h"
#include "reports/runner.h"

#include <QPageLayout>
#include <QRectF>
#include <QString>

#include <deque>
#include <memory>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class QTextDocument;

namespace bm::platform::flow
{
struct Flow;
}
namespace bm::platform::rows
{
class Table;
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
// Only the last few laid-out pieces are kept; a page further back is laid
// out again when it is wanted, so that memory does not grow with the pages.
class ReportPages
{
public:
    enum class Outcome { Done, Stopped, Failed };

    // The paper a guide expects: Letter where the system measures in inches,
    // A4 elsewhere, in the report's orientation.
    static QPageLayout defaultLayout(bool landscape);

    // About 60 MB of laid-out pages; a report longer than that keeps the
    // latest few documents.
    static constexpr qint64 defaultKeptCharacters = 2'000'000;

    explicit ReportPages(const report::Rendered &report);
    ReportPages(const report::Rendered &report, const QPageLayout &layout,
        qint64 keptCharacters = defaultKeptCharacters);
    ~ReportPages();
    ReportPages(const ReportPages &) = delete;
    ReportPages &operator=(const ReportPages &) = delete;

    const report::Rendered &report() const { return m_report; }
    const QPageLayout &pageLayout() const { return m_layout; }
    int pageCount() const; // lays every page out
    int knownPageCount() const { return m_known; } // laid out so far
    bool isComplete() const { return m_complete; }
    // Whether a page (0-based) is drawn as rows alone.
    bool drawnAlone(int page) const;
    // Lays out the next few pages; false once every page is laid out.
    bool layoutStep() const;
    // Lays out every page, telling progress the pages known so far; false
    // when progress asked to stop.
    bool layOutAll(Progress *progress) const;
    // The whole page in layout units (96 to the inch).
    QSizeF pageSize() const;
    QString plainText() const;
    // The text that stands on one page (0-based), a line for each paragraph.
    QString pageText(int page) const;
    // The width the laid-out text takes (every page), and the room the page
    // gives it.
    double layoutWidth() const;
    double contentWidth() const { return contentRect().width(); }

    // Draws one page (0-based) with its foot; the painter stands in layout
    // units with the page's top left corner at the origin. While the count
    // of pages is not known yet the foot says "Page 2" alone.
    void paintPage(QPainter &painter, int page) const;

    // Paints pages first..last (0-based, inclusive) on a printer or a PDF
    // writer that is set to this layout, telling progress the pages done of
    // the pages to paint.
    Outcome paint(QPagedPaintDevice &device, int first, int last, Progress *progress = nullptr) const;

    // Writes every page into a PDF file. Stopped by progress, it fails and
    // leaves no file behind.
    Status savePdf(const QString &path, Progress *progress = nullptr) const;

    static constexpr double unitsPerInch = 96.0;

private:
    using Document = std::shared_ptr<QTextDocument>;
    // One document of the report: the pieces [firstUnit, lastUnit) of the
    // flow it was laid out from (the whole report when there is no flow),
    // and the pages taken from it; or one page of a table's rows drawn
    // without a document.
    struct Chunk {
        int firstUnit = 0;
        int lastUnit = 0;
        int firstPage = 0; // of the report
        int pages = 0;
        bool rowsOnly = false;
    };
    // A page's document and where the page stands in it.
    struct Placed {
        Document doc;
        int local = 0;
    };

    QRectF contentRect() const; // in layout units, on the page
    Document layOut(const QString &html) const;
    Document layOut(const Chunk &chunk) const;
    void addChunk(const Chunk &chunk, Document doc) const;
    void keep(std::size_t chunk, Document doc) const;
    std::size_t chunkOf(int page) const;
    Placed place(int page) const;
    bool layOutRows() const;
    const Chunk *rowsPage(int page) const;
    const rows::Table &rowsOf(int table) const;
    const rows::Table &rowsOf(const Chunk &chunk) const;
    void paintFoot(QPainter &painter, int page) const;

    report::Rendered m_report;
    QPageLayout m_layout;
    qint64 m_keepCharacters;
    mutable std::unique_ptr<flow::Flow> m_flow; // none: laid out whole
    mutable std::vector<std::unique_ptr<rows::Table>> m_rows; // of each table of the flow, once wanted
    mutable std::vector<Chunk> m_chunks;
    static constexpr std::size_t fewestKept = 4; // the pages in sight and either side
    mutable std::deque<std::pair<std::size_t, Document>> m_kept; // the one used last at the back
    mutable qint64 m_keptCharacters = 0;
    mutable int m_nextUnit = 0;
    mutable int m_chunkUnits = 0;
    mutable int m_known = 0;
    mutable bool m_complete = false;
    mutable double m_width = 0; // of the widest document laid out
    mutable std::unique_ptr<QTextDocument> m_foot;
};

} // namespace bm::platform
