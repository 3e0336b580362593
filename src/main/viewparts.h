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
// fixed text (" Contacts are Saved"); a question mark and the reason when the
// records can not be counted. label: where the caption is shown, so that a
// count that keeps failing is said once, in front of the label's window.
QString countText(const RecordSource &source, const QString &suffix, const QLabel *label = nullptr);

} // namespace view
} // namespace bm
