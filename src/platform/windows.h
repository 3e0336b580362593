#pragma once

#include <QApplication>
#include <QWidget>

namespace bm::platform
{

// Marks the windows that loadWindow() made.
inline constexpr char loadedProperty[] = "bmLoadedWindow";

// Whether a top-level window is open. A window that loadWindow() made and
// that was closed waits for its deletion hidden: it is gone.
bool isOpenWindow(const QWidget *window);

// The open top-level window with this object name, or nullptr. Tests and
// tools know the windows by their names; the windows themselves find one
// another by class, below.
QWidget *findWindow(const QString &objectName);

// The open window of class W, or nullptr.
template <class W> W *findWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *found = qobject_cast<W *>(w); found && isOpenWindow(w))
            return found;
    }
    return nullptr;
}

// Each window class is open at most once. loadWindow() gives the open
// window or makes a new one (not yet shown, deleted when closed; it names
// itself); showWindow() also shows it and brings it to the front.
template <class W> W *loadWindow()
{
    if (W *w = findWindow<W>())
        return w;
    auto *w = new W();
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setProperty(loadedProperty, true);
    return w;
}

void bringToFront(QWidget *window);

template <class W> W *showWindow()
{
    W *w = loadWindow<W>();
    bringToFront(w);
    return w;
}

} // namespace bm::platform
