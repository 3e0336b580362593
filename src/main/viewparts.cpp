#include "main/viewparts.h"

#include "db/recordsource.h"
#include "platform/countline.h"

#include <QLabel>

namespace bm::view
{

QLabel *makeHeading(const QString &text, QWidget *parent)
{
    auto *heading = new QLabel(text, parent);
    QFont font = heading->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    heading->setFont(font);
    return heading;
}

QString countText(const RecordSource &source, const QString &suffix, QLabel *label)
{
    QString why;
    const QString line = platform::countLine(source, QStringLiteral("%1") + suffix, why);
    if (label)
        label->setToolTip(why);
    return line;
}

} // namespace bm::view
