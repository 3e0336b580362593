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

struct Unit {
    int table = -1; // a row of that table, or -1 for other content
    QString html;
};

struct Flow {
    QString prefix; // up to the body's content (the style sheet)
    QString suffix;
    QList<Table> tables;
    QList<Unit> units;
};

// Cuts the HTML; none when it is not made of plain top-level tables and
// other content (the report is then laid out whole).
std::optional<Flow> split(const QString &html);

// True when a piece of HTML shows nothing: only tags and blanks.
bool isEmpty(const QString &html);

// The HTML of units [first, last): tables opened and closed around rows.
QString assemble(const Flow &flow, int first, int last);

} // namespace bm::platform::flow
