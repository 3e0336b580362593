#include "platform/reportrows.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace bm::platform::rows
{

QPaintDevice &device()
{
    static QImage image = [] {
        QImage i(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(96 / 0.0254);
        i.setDotsPerMeterX(dotsPerMeter);
        i.setDotsPerMeterY(dotsPerMeter);
        return i;
    }();
    return image;
}

namespace
{

// The text document reckons in 64ths of a unit.
double fixed(double v)
{
    return std::round(v * 64) / 64;
}

bool near(double a, double b)
{
    return std::abs(a - b) < 1.0 / 32;
}

// The blanks HTML runs together; any other blank (a no-break space typed
// into a field) is left to the text document.
bool htmlBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool inlineTag(const QString &name)
{
    static const QStringList names = { QStringLiteral("b"), QStringLiteral("i"), QStringLiteral("u"),
        QStringLiteral("s"), QStringLiteral("em"), QStringLiteral("strong"), QStringLiteral("span"),
        QStringLiteral("font"), QStringLiteral("small"), QStringLiteral("big"), QStringLiteral("code"),
        QStringLiteral("tt"), QStringLiteral("sub"), QStringLiteral("sup") };
    return names.contains(name);
}

// The character an entity at html[i] stands for; i moves past it.
std::optional<QString> entity(QStringView html, qsizetype &i)
{
    const qsizetype semicolon = html.indexOf(u';', i);
    if (semicolon < 0 || semicolon - i > 10)
        return std::nullopt;
    const QStringView name = html.mid(i + 1, semicolon - i - 1);
    i = semicolon + 1;
    if (name.startsWith(u'#')) {
        bool ok = false;
        const bool hex = name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X');
        const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
        if (!ok || code < 0x20 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)
            || (QChar::isSpace(code) && code != 0xA0))
            return std::nullopt;
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    static const QList<std::pair<QLatin1String, QChar>> named = { { QLatin1String("amp"), u'&' },
        { QLatin1String("lt"), u'<' }, { QLatin1String("gt"), u'>' }, { QLatin1String("quot"), u'"' },
        { QLatin1String("apos"), u'\'' }, { QLatin1String("nbsp"), QChar::Nbsp } };
    for (const auto &[n, c] : named)
        if (name == n)
            return QString(c);
    return std::nullopt;
}

} // namespace

std::optional<Row> read(QStringView html)
{
    Row row;
    Cell *cell = nullptr;
    qsizetype pieceStart = 0;
    bool opened = false, closed = false;
    // Each tag ends a piece of text; the form tells the pieces that show
    // text from those that show none, so that rows of one form map piece
    // to piece.
    auto endPiece = [&] {
        if (!cell)
            return;
        if (cell->text.size() > pieceStart) {
            cell->pieces.append(int(pieceStart));
            row.form += u'+';
        } else {
            row.form += u'-';
        }
        pieceStart = cell->text.size();
    };
    for (qsizetype i = 0; i < html.size();) {
        const QChar c = html.at(i);
        if (c == u'<') {
            const qsizetype end = html.indexOf(u'>', i);
            if (end < 0)
                return std::nullopt;
            const QStringView tag = html.mid(i, end + 1 - i);
            i = end + 1;
            qsizetype from = 1;
            const bool closing = tag.size() > 1 && tag.at(1) == u'/';
            if (closing)
                ++from;
            qsizetype to = from;
            while (to < tag.size() && tag.at(to).isLetterOrNumber())
                ++to;
            const QString name = tag.mid(from, to - from).toString().toLower();
            if (name.isEmpty())
                return std::nullopt; // a comment, a declaration or a stray '<'
            endPiece();
            row.form += tag;
            if (name == QLatin1String("tr")) {
                if (closing ? !opened || closed : opened)
                    return std::nullopt;
                (closing ? closed : opened) = true;
                cell = nullptr;
                continue;
            }
            if (!opened || closed)
                return std::nullopt;
            if (name == QLatin1String("td") || name == QLatin1String("th")) {
                cell = nullptr;
                if (!closing) {
                    row.cells.append(Cell {});
                    cell = &row.cells.last();
                    pieceStart = 0;
                }
                continue;
            }
            if (!cell)
                return std::nullopt;
            if (name == QLatin1String("br")) {
                cell->text += QChar::LineSeparator;
                endPiece();
                continue;
            }
            if (!inlineTag(name))
                return std::nullopt;
            continue;
        }
        if (htmlBlank(c)) {
            if (cell && !cell->text.isEmpty() && cell->text.back() != u' '
                && cell->text.back() != QChar::LineSeparator)
                cell->text += u' ';
            ++i;
            continue;
        }
        if (!cell)
            return std::nullopt; // text between the cells
        if (c == u'&') {
            const std::optional<QString> e = entity(html, i);
            if (!e)
                return std::nullopt;
            cell->text += *e;
            continue;
        }
        if (c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return std::nullopt;
        cell->text += c;
        ++i;
    }
    endPiece();
    if (!opened || row.cells.isEmpty())
        return std::nullopt;
    return row;
}

// How the rows of one form look.
struct Table::Look {
    struct CellLook {
        double left = 0, width = 0; // the room for the text, on the page
        double top = 0, bottom = 0, leftPadding = 0, rightPadding = 0;
        QBrush background;
        QPen pen; // of its first text
        QTextCharFormat::VerticalAlignment align = QTextCharFormat::AlignNormal;
        QTextOption option;
        QFont font;
        QList<QTextCharFormat> formats; // of each piece that shows text
    };
    int id = 0; // of the form, for the cells laid out lately
    QList<CellLook> cells;
    double spacing = 0; // between two rows
    // A row whose cells all begin below end goes to the next page, as does
    // a line that ends below end less its cell's bottom padding.
    double end = 0;

    double offset(int cell, double cellHeight, double rowHeight) const
    {
        switch (cells.at(cell).align) {
        case QTextCharFormat::AlignMiddle:
            return fixed((rowHeight - cellHeight) / 2);
        case QTextCharFormat::AlignBottom:
            return rowHeight - cellHeight;
        default:
            return 0;
        }
    }
};

// A row's cells laid out.
struct Table::Laid {
    std::shared_ptr<const QTextLayout> layout;
    double height = 0; // of the text, paddings included
};

namespace
{

// A row is as high as its highest cell.
double rowHeight(const std::vector<Table::Laid> &laid)
{
    double h = 0;
    for (const auto &cell : laid)
        h = std::max(h, cell.height);
    return h;
}

} // namespace

Table::Table(const flow::Flow &flow, int table, double pageHeight, LayOut layOut)
    : m_flow(flow)
    , m_table(table)
    , m_pageHeight(pageHeight)
    , m_layOut(std::move(layOut))
{
}

Table::~Table() = default;

QString Table::sampleHtml(int unit, int times) const
{
    const flow::Table &t = m_flow.tables.at(m_table);
    QString html = m_flow.html.left(m_flow.bodyStart) + t.open;
    if (!t.header.isEmpty())
        html += QStringLiteral("<thead>") + t.header + QStringLiteral("</thead>");
    const QStringView row = m_flow.text(m_flow.units.at(unit));
    for (int i = 0; i < times; ++i)
        html += row;
    html += QStringLiteral("</table>\n");
    html += QStringView(m_flow.html).mid(m_flow.bodyEnd);
    return html;
}

// Each cell laid out as the text document lays out a cell's only block:
// lines as wide as the cell, each as high as its text rounded up. Texts
// come back row after row (the lake, the trip's type, the deposit), so the
// cells laid out lately are kept.
std::vector<Table::Laid> Table::lay(const Look &look, const Row &row) const
{
    // A few pages' cells, and no more text than a long page holds.
    constexpr qsizetype mostKept = 4096;
    constexpr qsizetype mostKeptCharacters = 1'000'000;
    std::vector<Laid> laid(std::size_t(row.cells.size()));
    for (int c = 0; c < row.cells.size(); ++c) {
        const Look::CellLook &l = look.cells.at(c);
        const Cell &cell = row.cells.at(c);
        QString key = QString::number(look.id) + QLatin1Char('/') + QString::number(c);
        for (const int start : cell.pieces)
            key += QLatin1Char(',') + QString::number(start);
        key += QLatin1Char(':') + cell.text;
        if (const auto known = m_laid.constFind(key); known != m_laid.cend()) {
            laid[std::size_t(c)] = *known;
            continue;
        }
        auto layout = std::make_shared<QTextLayout>(cell.text, l.font, &device());
        layout->setTextOption(l.option);
        QList<QTextLayout::FormatRange> ranges;
        for (int p = 0; p < cell.pieces.size(); ++p) {
            const int start = cell.pieces.at(p);
            const int end = p + 1 < cell.pieces.size() ? cell.pieces.at(p + 1) : int(cell.text.size());
            ranges.append({ start, end - start, l.formats.value(p) });
        }
        layout->setFormats(ranges);
        layout->beginLayout();
        double y = 0, bottom = 0;
        for (;;) {
            QTextLine line = layout->createLine();
            if (!line.isValid())
                break;
            line.setLeadingIncluded(true);
            line.setLineWidth(l.width);
            line.setPosition(QPointF(0, y));
            bottom = y + fixed(line.height());
            y += std::ceil(line.ascent() + line.descent() + line.leading());
        }
        layout->endLayout();
        Laid &one = laid[std::size_t(c)];
        one.height = l.top + std::max(y, bottom) + l.bottom;
        one.layout = std::move(layout);
        if (m_laid.size() >= mostKept || m_laidCharacters + key.size() > mostKeptCharacters) {
            m_laid.clear();
            m_laidCharacters = 0;
        }
        m_laidCharacters += key.size();
        m_laid.insert(key, one);
    }
    return laid;
}

namespace
{

// Where the text document puts a row that would begin at top: on this page;
// on the next, as every cell begins below this page's end, or is moved there
// as all its text would end below it (the row before then reaches down to
// the end); or broken across the two, which is left to it.
enum class Placed { Here, NextPage, Moved, Broken };

Placed place(const Table::Look &look, const std::vector<Table::Laid> &laid, double top)
{
    bool startsHere = false;
    for (const auto &cell : look.cells)
        startsHere = startsHere || top + cell.top < look.end;
    if (!startsHere)
        return Placed::NextPage;
    int moved = 0;
    for (std::size_t c = 0; c < laid.size(); ++c) {
        const auto &l = look.cells.at(int(c));
        const QTextLayout &layout = *laid[c].layout;
        for (int k = 0; k < layout.lineCount(); ++k) {
            const QTextLine line = layout.lineAt(k);
            if (top + l.top + line.y() + fixed(line.height()) > look.end - l.bottom) {
                if (k > 0)
                    return Placed::Broken;
                ++moved;
                break;
            }
        }
    }
    if (moved == 0)
        return Placed::Here;
    return moved == int(laid.size()) ? Placed::Moved : Placed::Broken;
}

} // namespace

// Learns how rows of this form look from a document of the table's headings
// and the row twice, and trusts it only when every line and both rows stand
// where this module would put them.
bool Table::learn(Look &look, const Row &row, int unit) const
{
    const Document doc = m_layOut(sampleHtml(unit, 2));
    const QList<QTextFrame *> frames = doc->rootFrame()->childFrames();
    auto *table = frames.size() == 1 ? qobject_cast<QTextTable *>(frames.first()) : nullptr;
    if (!table)
        return false;
    const QTextTableFormat format = table->format();
    const int headings = format.headerRowCount();
    if (table->rows() != headings + 2 || format.border() != 0 || format.padding() != 0
        || format.borderCollapse() || format.background().style() != Qt::NoBrush)
        return false;
    // A column without a width is as wide as its widest text in the whole
    // table; only a document of all the rows knows that.
    for (const QTextLength &width : format.columnWidthConstraints())
        if (width.type() == QTextLength::VariableLength)
            return false;
    look.spacing = format.cellSpacing();
    look.end = m_pageHeight - format.bottomMargin() - look.spacing;

    const QAbstractTextDocumentLayout *layout = doc->documentLayout();
    QList<QTextBlock> blocks[2];
    for (int column = 0, c = 0; column < table->columns(); ++c) {
        const QTextTableCell cell = table->cellAt(headings, column);
        column += cell.columnSpan();
        if (cell.rowSpan() != 1 || c >= row.cells.size())
            return false;
        QTextFrame::iterator blocksOfCell = cell.begin();
        const QTextBlock block = blocksOfCell.currentBlock();
        if (!block.isValid() || !(++blocksOfCell).atEnd() || block.text() != row.cells.at(c).text)
            return false;
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        for (const auto side : { QTextFormat::TableCellTopBorder, QTextFormat::TableCellBottomBorder,
                 QTextFormat::TableCellLeftBorder, QTextFormat::TableCellRightBorder })
            if (f.hasProperty(side) && f.doubleProperty(side) > 0)
                return false;
        auto padding = [&](QTextFormat::Property side) {
            return f.hasProperty(side) ? f.doubleProperty(side) : format.cellPadding();
        };
        Look::CellLook l;
        l.top = padding(QTextFormat::TableCellTopPadding);
        l.bottom = padding(QTextFormat::TableCellBottomPadding);
        l.leftPadding = padding(QTextFormat::TableCellLeftPadding);
        l.rightPadding = padding(QTextFormat::TableCellRightPadding);
        l.background = f.background();
        l.align = f.verticalAlignment();
        const QTextLayout *text = block.layout();
        if (text->lineCount() < 1)
            return false;
        l.option = text->textOption();
        l.left = layout->blockBoundingRect(block).left();
        l.width = text->lineAt(0).width();
        l.font = QFont(doc->defaultFont(), &device());
        for (const int start : row.cells.at(c).pieces)
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const int at = fragment.position() - block.position();
                if (start >= at && start < at + fragment.length()) {
                    l.formats.append(fragment.charFormat());
                    break;
                }
            }
        if (l.formats.size() != row.cells.at(c).pieces.size())
            return false;
        l.pen = QPen(Qt::black);
        if (!l.formats.isEmpty() && l.formats.first().hasProperty(QTextFormat::ForegroundBrush))
            l.pen = QPen(l.formats.first().foreground(), 0);
        look.cells.append(l);
        blocks[0].append(block);
        blocks[1].append(table->cellAt(headings + 1, cell.column()).firstCursorPosition().block());
    }
    if (look.cells.size() != row.cells.size())
        return false;

    // The lines this lays out must be the document's, and the rows stand
    // where it put them.
    const std::vector<Laid> laid = lay(look, row);
    for (int c = 0; c < look.cells.size(); ++c) {
        const QTextLayout *theirs = blocks[0].at(c).layout();
        const QTextLayout &mine = *laid[std::size_t(c)].layout;
        if (theirs->lineCount() != mine.lineCount() || theirs->minimumWidth() > look.cells.at(c).width)
            return false;
        for (int k = 0; k < mine.lineCount(); ++k) {
            const QTextLine a = theirs->lineAt(k), b = mine.lineAt(k);
            if (a.textStart() != b.textStart() || a.textLength() != b.textLength() || !near(a.y(), b.y())
                || !near(a.height(), b.height()) || !near(a.naturalTextWidth(), b.naturalTextWidth()))
                return false;
        }
    }
    const double height = rowHeight(laid);
    const double top = layout->blockBoundingRect(blocks[0].first()).top() - look.cells.first().top
        - look.offset(0, laid.front().height, height);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < look.cells.size(); ++c) {
            const double expected = top + r * (height + look.spacing) + look.cells.at(c).top
                + look.offset(c, laid[std::size_t(c)].height, height);
            if (!near(layout->blockBoundingRect(blocks[r].at(c)).top(), expected))
                return false;
        }
    if (m_firstRowTop < 0) {
        m_firstRowTop = top;
        m_headings = doc;
    }
    return near(top, m_firstRowTop);
}

// The page's last row found here must be the document's: a document of the
// row over and over, a page and more of it.
bool Table::checkPageEnd(const Look &look, const Row &row, int unit) const
{
    const std::vector<Laid> laid = lay(look, row);
    const double step = rowHeight(laid) + look.spacing;
    if (step <= 0)
        return false;
    int here = 0;
    for (double top = m_firstRowTop; place(look, laid, top) == Placed::Here; top += step)
        ++here;
    if (here == 0)
        return false;
    const Document doc = m_layOut(sampleHtml(unit, here + 2));
    auto *table = qobject_cast<QTextTable *>(doc->rootFrame()->childFrames().value(0));
    if (!table || table->rows() != table->format().headerRowCount() + here + 2)
        return false;
    auto pageOf = [&](int r) {
        const QTextBlock block
            = table->cellAt(table->format().headerRowCount() + r, 0).firstCursorPosition().block();
        return int(doc->documentLayout()->blockBoundingRect(block).top() / m_pageHeight);
    };
    return pageOf(here - 1) == 0 && pageOf(here) == 1;
}

const Table::Look *Table::lookOf(const Row &row, int unit) const
{
    if (m_refused)
        return nullptr;
    if (const auto known = m_lookOfForm.constFind(row.form); known != m_lookOfForm.cend())
        return *known < 0 ? nullptr : m_looks.at(std::size_t(*known)).get();
    // A table whose rows come in many forms is left to the text document.
    constexpr qsizetype mostForms = 24;
    if (m_lookOfForm.size() >= mostForms) {
        m_refused = true;
        return nullptr;
    }
    auto look = std::make_unique<Look>();
    look->id = m_nextLook++;
    bool drawn = learn(*look, row, unit);
    if (drawn && !m_pageEndChecked) {
        m_pageEndChecked = true;
        m_refused = !checkPageEnd(*look, row, unit);
        drawn = !m_refused;
    }
    if (!drawn) {
        m_lookOfForm.insert(row.form, -1);
        return nullptr;
    }
    m_lookOfForm.insert(row.form, int(m_looks.size()));
    m_looks.push_back(std::move(look));
    return m_looks.back().get();
}

std::optional<int> Table::page(int first) const
{
    const auto &units = m_flow.units;
    double top = 0;
    for (int i = first; i < units.size() && units.at(i).table == m_table; ++i) {
        const std::optional<Row> row = read(m_flow.text(units.at(i)));
        const Look *look = row ? lookOf(*row, i) : nullptr;
        if (!look)
            return std::nullopt;
        if (i == first)
            top = m_firstRowTop; // known once a row is learnt
        const std::vector<Laid> laid = lay(*look, *row);
        for (std::size_t c = 0; c < laid.size(); ++c)
            if (laid[c].layout->minimumWidth() > look->cells.at(int(c)).width)
                return std::nullopt; // a word wider than its column widens the column
        switch (place(*look, laid, top)) {
        case Placed::Here:
            top += rowHeight(laid) + look->spacing;
            break;
        case Placed::NextPage:
        case Placed::Moved:
            if (i == first)
                return std::nullopt;
            return i;
        case Placed::Broken:
            return std::nullopt;
        }
    }
    return std::nullopt; // the table ends on this page, with what follows it
}

void Table::paint(QPainter &painter, int first, int last) const
{
    if (!m_headings)
        return;
    const double width = m_headings->size().width();
    painter.save();
    painter.setClipRect(QRectF(0, 0, width, m_firstRowTop), Qt::IntersectClip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, 0, width, m_firstRowTop);
    context.palette.setColor(QPalette::Text, Qt::black);
    m_headings->documentLayout()->draw(&painter, context);
    painter.restore();

    painter.save();
    double top = m_firstRowTop;
    std::optional<Row> row = read(m_flow.text(m_flow.units.at(first)));
    const Look *look = row ? lookOf(*row, first) : nullptr;
    std::vector<Laid> laid = look ? lay(*look, *row) : std::vector<Laid>();
    for (int i = first; i < last && look; ++i) {
        double height = rowHeight(laid);
        std::optional<Row> next;
        if (i + 1 < m_flow.units.size() && m_flow.units.at(i + 1).table == m_table)
            next = read(m_flow.text(m_flow.units.at(i + 1)));
        const Look *nextLook = next ? lookOf(*next, i + 1) : nullptr;
        std::vector<Laid> nextLaid = nextLook ? lay(*nextLook, *next) : std::vector<Laid>();
        if (i + 1 == last && nextLook
            && place(*nextLook, nextLaid, top + height + look->spacing) == Placed::Moved)
            height = look->end - top;
        // The row's backgrounds first, those of neighbouring cells alike
        // as one, then its text; each cell's text in the colour it starts
        // with, so that the pen changes only where the colour does.
        QRectF band;
        QBrush bandBrush;
        for (int c = 0; c <= look->cells.size(); ++c) {
            const Look::CellLook *l = c < look->cells.size() ? &look->cells.at(c) : nullptr;
            const QRectF cell = l
                ? QRectF(l->left - l->leftPadding, top, l->width + l->leftPadding + l->rightPadding, height)
                : QRectF();
            if (l && l->background == bandBrush && !band.isNull()
                && qFuzzyCompare(band.right(), cell.left())) {
                band.setRight(cell.right());
                continue;
            }
            if (!band.isNull() && bandBrush.style() != Qt::NoBrush)
                painter.fillRect(band, bandBrush);
            band = cell;
            bandBrush = l ? l->background : QBrush();
        }
        for (int c = 0; c < look->cells.size(); ++c) {
            const Look::CellLook &l = look->cells.at(c);
            const Laid &cell = laid[std::size_t(c)];
            painter.setPen(l.pen);
            cell.layout->draw(&painter, QPointF(l.left, top + l.top + look->offset(c, cell.height, height)));
        }
        top += height + look->spacing;
        row = std::move(next);
        look = nextLook;
        laid = std::move(nextLaid);
    }
    painter.restore();
}

QString Table::text(int first, int last) const
{
    QString text;
    if (m_headings)
        for (QTextBlock b = m_headings->begin(); b.isValid(); b = b.next())
            if (m_headings->documentLayout()->blockBoundingRect(b).top() < m_firstRowTop
                && !b.text().isEmpty())
                text += b.text() + QLatin1Char('\n');
    for (int i = first; i < last; ++i)
        if (const std::optional<Row> row = read(m_flow.text(m_flow.units.at(i))))
            for (const Cell &cell : row->cells)
                if (!cell.text.isEmpty())
                    text += cell.text + QLatin1Char('\n');
    return text;
}

} // namespace bm::platform::rows
