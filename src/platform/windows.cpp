#include "platform/windows.h"

namespace bm::platform
{

bool isOpenWindow(const QWidget *window)
{
    // Closing takes WA_DeleteOnClose off a window before it schedules the
    // deletion, so a window made by loadWindow() without it is closed.
    return !(window->property(loadedProperty).toBool() && !window->testAttribute(Qt::WA_DeleteOnClose)
        && !window->isVisible());
}

QWidget *findWindow(const QString &objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && isOpenWindow(w))
            return w;
    }
    return nullptr;
}

void bringToFront(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

} // namespace bm::platform
