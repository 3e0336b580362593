#pragma once

// The windows' and printouts' sizes are written in twips (1/1440 inch), as
// their layouts give them.

#include <QWidget>
#include <QtMath>

namespace bm
{

inline constexpr int twipsPerInch = 1440;

// Twips as device pixels at a resolution in dots per inch.
constexpr double twipsToPixels(int twips, int dpi)
{
    return double(twips) * dpi / twipsPerInch;
}

// Twips in whole pixels of a widget's screen.
inline int twipsToPixels(int twips, const QWidget *widget)
{
    return qRound(twipsToPixels(twips, widget->logicalDpiX()));
}

} // namespace bm
