#pragma once

#include <QString>

class QWidget;

namespace bm
{
class RecordSource;
}

namespace bm::platform
{

// A count line: the number of records in decimal in place of %1 in pattern
// ("%1 Contacts are Saved"), or a question mark when they can not be counted,
// never a 0 that would pass for an empty table. Why they can not be counted
// is logged.
//
// This one shows the reason in the plain warning box when the line turns
// into the question mark: shown is the line as it stands now, and a line
// that already shows the same question mark is not said again (a line
// recounted each time its window comes forward would otherwise bring the box
// back every time it closes).
QString countLine(const RecordSource &source, const QString &pattern, const QString &shown, QWidget *parent);

// The same line without a box: the reason is handed back in why (empty when
// counted), for a window that says an outage of its table once by itself
// and shows the reason beside the line.
QString countLine(const RecordSource &source, const QString &pattern, QString &why);

} // namespace bm::platform
