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
// fixed text (" Contacts are Saved").
QString countText(const RecordSource &source, const QString &suffix);

} // namespace view
} // namespace bm
