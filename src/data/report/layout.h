#pragma once

#include "data/status.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <kainjow/mustache.hpp>

namespace bm::report
{

// Checks a layout or footer (where: "layout", "footer") before it is filled:
// it reads as a template, takes in no other file, names only what the report
// gives (known) and does not repeat sections inside each other more often
// than a page can print (rowCounts: the rows of each query).
[[nodiscard]] Status checkTemplate(const QString &text, const QString &where, const QSet<QString> &known,
    const QHash<QString, int> &rowCounts);

// Fills a checked template with the report's data: as HTML, every value
// escaped so that it prints as typed and its line breaks kept, or as plain
// text for the foot of the page.
[[nodiscard]] Status fillTemplate(
    const QString &text, const kainjow::mustache::data &data, bool html, const QString &where, QString &out);

} // namespace bm::report
