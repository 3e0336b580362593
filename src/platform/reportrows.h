#pragma once

#include "platform/reportpreviewflow.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QPaintDevice;
class QTextDocument;

namespace bm::platform::rows
{

// The device reports are laid out for: 96 dots to the inch, with the fonts'
// design metrics, so that the preview, the printer and the PDF break lines
// and pages in the same places whatever the screen.
QPaintDevice &device();

// One row of a report table read off its HTML: each cell's text as the text
// document would hold it (blanks run together, entities read) and where its
// pieces begin. The form is the row with its text taken out: rows of one
// form look alike, piece for piece.
struct Cell {
    QString text;
    QList<int> pieces; // where each piece that shows text starts
};
struct Row {
    QString form;
    QList<Cell> cells;
};

// None when the row holds more than text in plain inline tags (a picture,
// a table, a paragraph, a comment, an entity not known here).
std::optional<Row> read(QStringView html);

// The rows of one table of a report, laid out and drawn a page at a time
// without a text document: the pages of a long report are mostly its rows,
// and a document of them costs far more to build than the rows to draw.
//
// How rows of each form look (the cells' places, paddings, fonts, colours)
// is learnt from a text document of a few of them, and only trusted when
// that document puts the lines and the page's last row where this does;
// a row it can not place so (of a form not learnt, too long a word, a row
// broken across the page) is left to the text document.
class Table
{
public:
    using Document = std::shared_ptr<QTextDocument>;
    using LayOut = std::function<Document(const QString &html)>;

    // pageHeight: the room for text on a page, in layout units.
    Table(const flow::Flow &flow, int table, double pageHeight, LayOut layOut);
    ~Table();
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    // The rows from unit first on that fill a fresh page under the table's
    // headings: the unit after the page's last row, or none when that page
    // can not be laid out here.
    std::optional<int> page(int first) const;

    // Draws units [first, last) as a page: the headings, then the rows.
    void paint(QPainter &painter, int first, int last) const;
    // The page's text, a line for each cell with text.
    QString text(int first, int last) const;

    struct Look;
    struct Laid;

private:
    const Look *lookOf(const Row &row, int unit) const;
    bool learn(Look &look, const Row &row, int unit) const;
    bool checkPageEnd(const Look &look, const Row &row, int unit) const;
    std::vector<Laid> lay(const Look &look, const Row &row) const;
    QString sampleHtml(int unit, int times) const;

    const flow::Flow &m_flow;
    int m_table;
    double m_pageHeight;
    LayOut m_layOut;
    mutable std::vector<std::unique_ptr<Look>> m_looks;
    mutable QHash<QString, int> m_lookOfForm; // -1: not drawn here
    mutable int m_nextLook = 0;
    mutable QHash<QString, Laid> m_laid; // cells laid out lately, by form, cell and text
    mutable qsizetype m_laidCharacters = 0;
    mutable Document m_headings; // a document whose first page shows the headings
    mutable double m_firstRowTop = -1; // on a fresh page
    mutable bool m_pageEndChecked = false;
    mutable bool m_refused = false; // the table can not be drawn here at all
};

} // namespace bm::platform::rows
