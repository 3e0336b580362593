#include "platform/windows.h"

namespace bm::platform
{

QWidget *findWindow(const QString &objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() != objectName)
            continue;
        // A window that was closed waits for its deletion hidden: it is gone.
        const bool deleteOnClose
            = w->testAttribute(Qt::WA_DeleteOnClose) || w->property("bmDeleteOnClose").toBool();
        const bool closed
            = deleteOnClose && !w->isVisible() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
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
