#pragma once

#include <QPushButton>
#include <QString>

namespace bm
{

// A command button of a window, found by its name. It is never the default
// button: Enter in a box does not press it.
inline QPushButton *commandButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace bm
