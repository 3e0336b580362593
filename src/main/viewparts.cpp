#include "main/viewparts.h"

#include "data/recordsource.h"
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

QString countText(const RecordSource &source, const QString &suffix, const QLabel *label)
{
    return platform::countLine(source, QStringLiteral("%1") + suffix, label ? label->text() : QString(),
        label ? label->window() : nullptr);
}

} // namespace bm::view
