#pragma once

#include "core/progress.h"
#include "core/status.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <kainjow/mustache.hpp>

namespace bm::report
{

// How deep sections may stand inside each other. The template library
// parses, fills and frees sections by calling itself once per level; a few
// thousand levels overflow the stack. The delivered layouts nest three.
constexpr int maxTemplateDepth = 64;

// Reads the tags of a layout or footer (where: "layout", "footer") with our
// own scan, before the template library sees the text: other tag marks
// ({{=<% %>=}}), other files ({{> name}}) and sections nested deeper than
// maxTemplateDepth are refused. used collects every name a tag gives (each
// part of a dotted name), so that only the fields it prints are read.
[[nodiscard]] Status scanTemplate(const QString &text, const QString &where, QSet<QString> &used);

// Checks a layout or footer before it is filled: what scanTemplate checks,
// it reads as a template, names only what the report gives (known), does not
// repeat sections inside each other more often than a page can print, and
// all its tags together are not filled too many times over the rows of the
// queries (rowCounts).
[[nodiscard]] Status checkTemplate(const QString &text, const QString &where, const QSet<QString> &known,
    const QHash<QString, int> &rowCounts);

// Fills a checked template with the report's data: as HTML, every value
// escaped so that it prints as typed and its line breaks kept, or as plain
// text for the foot of the page. progress is told how many bytes are written
// (total 0); when it answers false the filling stops with says::stopped().
[[nodiscard]] Status fillTemplate(const QString &text, const kainjow::mustache::data &data, bool html,
    const QString &where, Progress &progress, QString &out);

} // namespace bm::report
