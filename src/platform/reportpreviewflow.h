#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace bm::platform::flow
{

// A report's HTML cut into the pieces its pages can break between: the rows
// of its top-level tables, and what stands between them. Long reports are
// laid out a few pages at a time from these pieces.
struct Table {
    QString open; // the <table ...> tag
    QString header; // the rows of its <thead>, repeated on every page
};

// A piece is a range of the report's HTML, which the flow shares rather
// than copies: a long report is held once.
struct Unit {
    int table = -1; // a row of that table, or -1 for other content
    qsizetype start = 0;
    qsizetype length = 0;
};

struct Flow {
    QString html; // the whole report
    qsizetype bodyStart = 0; // what stands before it is the prefix (the style sheet)
    qsizetype bodyEnd = 0; // what stands from here on is the suffix
    QList<Table> tables;
    QList<Unit> units;

    QStringView text(const Unit &u) const { return QStringView(html).mid(u.start, u.length); }
};

// Cuts the HTML; none when it is not made of plain top-level tables and
// other content (the report is then laid out whole).
std::optional<Flow> split(const QString &html);

// True when a piece of HTML shows nothing: only tags and blanks.
bool isEmpty(QStringView html);

// The HTML of units [first, last): tables opened and closed around rows.
QString assemble(const Flow &flow, int first, int last);

} // namespace bm::platform::flow
