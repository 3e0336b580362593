#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace bm
{
class RecordSource;

// The pieces the three views of the main window share.
namespace view
{

// A view's heading: the title line at its top.
QLabel *makeHeading(const QString &text, QWidget *parent);

// A count caption: the record count in decimal directly followed by the
// fixed text (" Contacts are Saved"); a question mark when the records can
// not be counted. Why is logged and, given the label that shows the
// caption, is its tooltip: the views say an outage of their table once in a
// box of their own (the schedule, the names list), not once per line.
QString countText(const RecordSource &source, const QString &suffix, QLabel *label = nullptr);

} // namespace view
} // namespace bm
