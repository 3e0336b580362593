#include "platform/reportpreviewdocument.h"

#include "platform/reportpreviewflow.h"
#include "platform/reportrows.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextOption>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <limits>

namespace bm::platform
{

namespace
{

QFont reportFont(double points)
{
    QFont f;
    f.setFamilies({ QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"), QStringLiteral("Arial"),
        QStringLiteral("DejaVu Sans") });
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    return f;
}

std::unique_ptr<QTextDocument> newDocument()
{
    auto doc = std::make_unique<QTextDocument>();
    // The same device for documents and rows alone: lines and pages break
    // alike whatever the screen.
    doc->documentLayout()->setPaintDevice(&rows::device());
    doc->setUseDesignMetrics(true);
    doc->setDocumentMargin(0);
    doc->setDefaultFont(reportFont(10));
    QTextOption option = doc->defaultTextOption();
    // A word longer than its column (a pasted link, a row of dashes) breaks
    // where it must instead of pushing the page wider.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);
    return doc;
}

QPageLayout withoutMargins(const QPageLayout &layout)
{
    return QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF(0, 0, 0, 0));
}

} // namespace

QPageLayout ReportPages::defaultLayout(bool landscape)
{
    const bool inches = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4),
        landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(16, 14, 16, 20),
        QPageLayout::Millimeter);
}

ReportPages::ReportPages(const report::Rendered &report)
    : ReportPages(report, defaultLayout(report.landscape))
{
}

ReportPages::ReportPages(const report::Rendered &report, const QPageLayout &layout, qint64 keptCharacters)
    : m_report(report)
    , m_layout(layout)
    , m_keepCharacters(keptCharacters)
{
    if (auto f = flow::split(m_report.html))
        m_flow = std::make_unique<flow::Flow>(std::move(*f));
    layoutStep();
}

ReportPages::~ReportPages() = default;

ReportPages::Document ReportPages::layOut(const QString &html) const
{
    auto doc = std::shared_ptr<QTextDocument>(newDocument());
    doc->setPageSize(contentRect().size());
    if (!m_report.folder.isEmpty()) // <img src="logo.png"> beside the definition
        doc->setBaseUrl(QUrl::fromLocalFile(m_report.folder + QLatin1Char('/')));
    doc->setHtml(html);
    m_width = qMax(m_width, doc->documentLayout()->documentSize().width());
    return doc;
}

ReportPages::Document ReportPages::layOut(const Chunk &chunk) const
{
    return layOut(m_flow ? flow::assemble(*m_flow, chunk.firstUnit, chunk.lastUnit) : m_report.html);
}

void ReportPages::addChunk(const Chunk &chunk, Document doc) const
{
    m_chunks.push_back(chunk);
    m_known += chunk.pages;
    // Laid out ahead of need: kept while there is room, so that a report of
    // a few hundred pages prints without being laid out again, and a longer
    // one keeps its first pages, which print first.
    if (m_kept.size() < fewestKept || m_keptCharacters + doc->characterCount() <= m_keepCharacters)
        keep(m_chunks.size() - 1, std::move(doc));
}

// A laid-out document takes some 30 bytes for each character it shows; the
// documents used longest ago go first, so that memory stays the same
// whatever the length of the report.
void ReportPages::keep(std::size_t chunk, Document doc) const
{
    m_keptCharacters += doc->characterCount();
    m_kept.emplace_back(chunk, std::move(doc));
    while (m_kept.size() > fewestKept && m_keptCharacters > m_keepCharacters) {
        m_keptCharacters -= m_kept.front().second->characterCount();
        m_kept.pop_front();
    }
}

// One more document of the report. It is made of the next rows and what
// stands between them; its pages are taken up to the last page that begins
// with a row (not the first) of a table, and the next document starts with
// that row, under the table's headings, on a fresh page. So every page is
// as the whole report laid out at once would show it, and each document
// stays small enough to lay out and draw quickly.
bool ReportPages::layoutStep() const
{
    if (m_complete)
        return false;
    if (!m_flow) {
        Document whole = layOut(Chunk {});
        const int pages = qMax(1, whole->pageCount());
        addChunk({ 0, 0, 0, pages }, std::move(whole));
        m_complete = true;
        return false;
    }
    if (!m_chunks.empty() && layOutRows())
        return true;
    // The first pages show at once; after them larger steps lay out fewer
    // rows twice (those of the last page of a step begin the next). After
    // rows drawn alone the document takes over for a page or two.
    const bool afterRows = !m_chunks.empty() && m_chunks.back().rowsOnly;
    const int rowsPerStep = m_chunks.empty() ? 120 : afterRows ? 30 : 360;
    const auto &units = m_flow->units;
    const int total = int(units.size());
    int take = afterRows ? rowsPerStep : qMax(m_chunkUnits, rowsPerStep);
    for (;;) {
        const int first = m_nextUnit;
        const int last = qMin(total, first + take);
        Document doc = layOut(flow::assemble(*m_flow, first, last));
        const int pages = qMax(1, doc->pageCount());
        if (last == total) {
            addChunk({ first, last, m_known, pages }, std::move(doc));
            m_complete = true;
            return false;
        }
        // Where each row of this document stands: its table and its page.
        const QList<QTextFrame *> frames = doc->rootFrame()->childFrames();
        const double height = contentRect().height();
        int frameIndex = -1, rowInTable = 0, previousTable = -2, previousRowPage = -1;
        bool textSinceRow = false;
        int splitUnit = -1, splitPage = 0;
        bool structureKnown = true;
        for (int i = first; i < last && structureKnown; ++i) {
            const flow::Unit &u = units.at(i);
            if (u.table < 0) {
                // A piece of other content may hold tables of its own.
                const QStringView text = m_flow->text(u);
                frameIndex += int(text.count(QLatin1String("<table"), Qt::CaseInsensitive));
                previousTable = -1;
                textSinceRow = textSinceRow || !flow::isEmpty(text);
                continue;
            }
            if (u.table != previousTable) {
                ++frameIndex;
                rowInTable = 0;
            }
            auto *table
                = frameIndex < frames.size() ? qobject_cast<QTextTable *>(frames.at(frameIndex)) : nullptr;
            const int row = rowInTable + (table ? table->format().headerRowCount() : 0);
            if (!table || row >= table->rows()) {
                structureKnown = false;
                break;
            }
            const QTextBlock block = table->cellAt(row, 0).firstCursorPosition().block();
            const int page = int(doc->documentLayout()->blockBoundingRect(block).top() / height);
            // A page may start here when all before it stands on earlier
            // pages (empty pieces between, such as a page break, are left
            // out: the next document starts on a fresh page anyway).
            if (previousRowPage >= 0 && page > previousRowPage && !textSinceRow && page < pages)
                splitUnit = i, splitPage = page;
            previousTable = u.table;
            previousRowPage = page;
            textSinceRow = false;
            ++rowInTable;
        }
        if (structureKnown && frameIndex + 1 != int(frames.size()))
            structureKnown = false;
        if (!structureKnown) {
            // Not the tables expected: the report is laid out whole.
            m_flow.reset();
            m_rows.clear();
            m_chunks.clear();
            m_kept.clear();
            m_keptCharacters = 0;
            m_known = 0;
            m_nextUnit = 0;
            return layoutStep();
        }
        if (splitUnit > first && splitPage > 0) {
            addChunk({ first, last, m_known, splitPage }, std::move(doc));
            m_nextUnit = splitUnit;
            m_chunkUnits = rowsPerStep;
            return true;
        }
        take *= 2; // no page of these rows can end here: take more
        m_chunkUnits = take;
    }
}

bool ReportPages::layOutAll(Progress *progress) const
{
    while (layoutStep())
        if (progress && !progress->advance(m_known, 0))
            return false;
    return true;
}

// Pages of a table's rows drawn without a document, a step's worth, for as
// long as its rows allow.
bool ReportPages::layOutRows() const
{
    constexpr int pagesPerStep = 20;
    const auto &units = m_flow->units;
    int added = 0;
    while (added < pagesPerStep && m_nextUnit < int(units.size())) {
        const int table = units.at(m_nextUnit).table;
        const std::optional<int> end = table < 0 ? std::nullopt : rowsOf(table).page(m_nextUnit);
        if (!end)
            break;
        m_chunks.push_back({ m_nextUnit, *end, m_known, 1, true });
        ++m_known;
        m_nextUnit = *end;
        ++added;
    }
    return added > 0;
}

bool ReportPages::drawnAlone(int page) const
{
    return rowsPage(page) != nullptr;
}

// The page's rows, when it is drawn as rows alone.
const ReportPages::Chunk *ReportPages::rowsPage(int page) const
{
    const std::size_t index = chunkOf(page);
    return index < m_chunks.size() && m_chunks[index].rowsOnly ? &m_chunks[index] : nullptr;
}

const rows::Table &ReportPages::rowsOf(const Chunk &chunk) const
{
    return rowsOf(m_flow->units.at(chunk.firstUnit).table);
}

const rows::Table &ReportPages::rowsOf(int table) const
{
    if (m_rows.size() < std::size_t(m_flow->tables.size()))
        m_rows.resize(std::size_t(m_flow->tables.size()));
    auto &rows = m_rows[std::size_t(table)];
    if (!rows)
        rows = std::make_unique<rows::Table>(
            *m_flow, table, contentRect().height(), [this](const QString &html) { return layOut(html); });
    return *rows;
}

// The piece of the report a page stands in, laid out so far.
std::size_t ReportPages::chunkOf(int page) const
{
    while (!m_complete && page >= m_known)
        layoutStep();
    if (m_chunks.empty())
        return std::size_t(-1);
    auto chunk = std::upper_bound(m_chunks.begin(), m_chunks.end(), page,
        [](int p, const Chunk &c) { return p < c.firstPage + c.pages; });
    if (chunk == m_chunks.end())
        --chunk;
    return std::size_t(chunk - m_chunks.begin());
}

// The document a page stands in: one of the latest kept, else laid out
// again from its pieces (the same pieces give the same pages).
ReportPages::Placed ReportPages::place(int page) const
{
    const std::size_t index = chunkOf(page);
    if (index >= m_chunks.size() || m_chunks[index].rowsOnly)
        return {};
    const Chunk &chunk = m_chunks[index];
    const int local = qBound(0, page - chunk.firstPage, chunk.pages - 1);
    for (auto kept = m_kept.begin(); kept != m_kept.end(); ++kept)
        if (kept->first == index) {
            auto used = std::move(*kept);
            m_kept.erase(kept);
            m_kept.push_back(used); // used last
            return { used.second, local };
        }
    Document doc = layOut(chunk);
    keep(index, doc);
    return { doc, local };
}

QSizeF ReportPages::pageSize() const
{
    return m_layout.fullRect(QPageLayout::Inch).size() * unitsPerInch;
}

QRectF ReportPages::contentRect() const
{
    const QRectF r = m_layout.paintRect(QPageLayout::Inch);
    return QRectF(r.topLeft() * unitsPerInch, r.size() * unitsPerInch);
}

int ReportPages::pageCount() const
{
    layOutAll(nullptr);
    return qMax(1, m_known);
}

double ReportPages::layoutWidth() const
{
    pageCount();
    return m_width;
}

QString ReportPages::pageText(int page) const
{
    if (const Chunk *chunk = rowsPage(page); chunk && page < m_known)
        return rowsOf(*chunk).text(chunk->firstUnit, chunk->lastUnit);
    const Placed placed = place(page);
    if (!placed.doc || page < 0 || page >= m_known)
        return {};
    const double height = contentRect().height();
    QString text;
    const QAbstractTextDocumentLayout *layout = placed.doc->documentLayout();
    for (QTextBlock b = placed.doc->begin(); b.isValid(); b = b.next()) {
        const double top = layout->blockBoundingRect(b).top();
        if (int(top / height) == placed.local && !b.text().isEmpty())
            text += b.text() + QLatin1Char('\n');
    }
    return text;
}

QString ReportPages::plainText() const
{
    auto doc = newDocument();
    doc->setHtml(m_report.html);
    return doc->toPlainText();
}

void ReportPages::paintPage(QPainter &painter, int page) const
{
    const QRectF content = contentRect();
    const double height = content.height();
    if (const Chunk *chunk = rowsPage(page)) {
        painter.save();
        painter.translate(content.topLeft());
        painter.setClipRect(QRectF(QPointF(0, 0), content.size()), Qt::IntersectClip);
        rowsOf(*chunk).paint(painter, chunk->firstUnit, chunk->lastUnit);
        painter.restore();
        paintFoot(painter, page);
        return;
    }
    const Placed placed = place(page);
    if (!placed.doc)
        return;

    painter.save();
    painter.translate(content.topLeft());
    painter.setClipRect(QRectF(QPointF(0, 0), content.size()), Qt::IntersectClip);
    painter.translate(0, -placed.local * height);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, placed.local * height, content.width(), height);
    context.palette.setColor(QPalette::Text, Qt::black);
    placed.doc->documentLayout()->draw(&painter, context);
    painter.restore();
    paintFoot(painter, page);
}

// The foot: a thin rule, then the footer, the print date and the page. Its
// document is made once; from page to page only the number changes.
void ReportPages::paintFoot(QPainter &painter, int page) const
{
    const QRectF content = contentRect();
    const double footTop = content.bottom() + 0.12 * unitsPerInch;
    painter.save();
    painter.setPen(QPen(QColor(0x1f, 0x3b, 0x57), 0.75));
    painter.drawLine(QPointF(content.left(), footTop), QPointF(content.right(), footTop));
    painter.restore();

    const QString number = m_complete ? QStringLiteral("Page %1 of %2").arg(page + 1).arg(m_known)
                                      : QStringLiteral("Page %1").arg(page + 1);
    auto *table = m_foot ? qobject_cast<QTextTable *>(m_foot->rootFrame()->childFrames().value(0)) : nullptr;
    if (!table) {
        m_foot = newDocument();
        m_foot->setDefaultFont(reportFont(8));
        m_foot->setTextWidth(content.width());
        const QString printed = m_report.printDate.isEmpty()
            ? QString()
            : QStringLiteral("Printed %1").arg(m_report.printDate.toHtmlEscaped());
        m_foot->setHtml(QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr>"
                                       "<td width=\"45%\">%1</td><td width=\"25%\" align=\"center\">%2</td>"
                                       "<td width=\"30%\" align=\"right\">%3</td></tr></table>")
                            .arg(m_report.footer.toHtmlEscaped(), printed, number));
    } else {
        const QTextTableCell cell = table->cellAt(0, 2);
        QTextCursor text = cell.firstCursorPosition();
        text.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
        if (text.selectedText() != number)
            text.insertText(number);
    }
    painter.save();
    painter.translate(content.left(), footTop + 0.05 * unitsPerInch);
    QAbstractTextDocumentLayout::PaintContext footContext;
    footContext.palette.setColor(QPalette::Text, QColor(0x4a, 0x4a, 0x4a));
    m_foot->documentLayout()->draw(&painter, footContext);
    painter.restore();
}

ReportPages::Outcome ReportPages::paint(
    QPagedPaintDevice &device, int first, int last, Progress *progress) const
{
    if (!layOutAll(progress)) // every page, so that each foot has the count
        return Outcome::Stopped;
    QPainter painter;
    if (!painter.begin(&device))
        return Outcome::Failed;
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double sx = device.logicalDpiX() / unitsPerInch;
    const double sy = device.logicalDpiY() / unitsPerInch;
    first = qBound(0, first, pageCount() - 1);
    last = qBound(first, last, pageCount() - 1);
    for (int page = first; page <= last; ++page) {
        if (progress && !progress->advance(page - first, last - first + 1)) {
            painter.end();
            return Outcome::Stopped;
        }
        if (page > first && !device.newPage()) {
            painter.end();
            return Outcome::Failed;
        }
        painter.save();
        painter.scale(sx, sy);
        paintPage(painter, page);
        painter.restore();
    }
    return painter.end() ? Outcome::Done : Outcome::Failed;
}

Status ReportPages::savePdf(const QString &path, Progress *progress) const
{
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(
            QStringLiteral("The file %1 can not be written: %2.").arg(shown, file.errorString()));
    Outcome outcome = Outcome::Failed;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(withoutMargins(m_layout));
        writer.setResolution(600);
        writer.setTitle(m_report.title);
        writer.setCreator(QStringLiteral("Brindlemoor"));
        outcome = paint(writer, 0, std::numeric_limits<int>::max(), progress);
    }
    if (outcome != Outcome::Done) {
        file.cancelWriting(); // nothing of a half-written file is left
        if (outcome == Outcome::Stopped)
            return Status::failure(QStringLiteral("The file %1 was not written: it was stopped.").arg(shown));
        return Status::failure(QStringLiteral("The file %1 could not be written.").arg(shown));
    }
    if (!file.commit())
        return Status::failure(
            QStringLiteral("The file %1 can not be written: %2.").arg(shown, file.errorString()));
    return Status::ok();
}

} // namespace bm::platform
