#include "platform/windows.h"

namespace bm::platform
{

QWidget *findWindow(const QString &objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() != objectName)
            continue;
        // A window that was closed waits for its deletion hidden: it is gone.
        // Closing takes WA_DeleteOnClose off a window before it schedules the
        // deletion, so a window made by loadWindow() without it is closed.
        const bool closed = w->property(loadedProperty).toBool() && !w->testAttribute(Qt::WA_DeleteOnClose)
            && !w->isVisible();
        if (!closed)
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
