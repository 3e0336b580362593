#pragma once

#include "core/status.h"

#include <QList>
#include <QString>

namespace bm::report
{

// One named SELECT of a report definition.
struct Query {
    QString name;
    QString sql;
    int line = 0; // where its section starts in the file, for messages
};

// A report definition file as read: its settings, queries and layout.
//
//   # notes for the reader
//   [report]
//   title = Trip Schedule
//   paper = landscape
//   footer = {{#guide}}{{Guide Name}}{{/guide}}
//   [query bookings]
//   SELECT * FROM Booking ORDER BY "Date"
//   [layout]
//   <h1>{{Title}}</h1> ... (HTML with Mustache tags, to the end of the file)
struct Definition {
    QString title;
    bool landscape = false;
    QString footer; // a Mustache text, printed at the foot of every page
    QList<Query> queries;
    QString layout;
};

// A definition is a few settings, queries and one page: the delivered ones
// are under 12 KB. Past these it is not one, or not one a page can print:
// the template library makes an object of every blank of a layout, and
// every query runs.
constexpr qsizetype maxDefinitionBytes = qsizetype(1) << 20; // characters, read from as many bytes
constexpr int maxQueries = 100;

// Reads the text of a definition. A failure says what is wrong and on which
// line, in words for the person who edited the file.
Status parseDefinition(const QString &text, Definition &out);

} // namespace bm::report
