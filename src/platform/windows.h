#pragma once

#include <QApplication>
#include <QWidget>

namespace bm::platform
{

// Marks the windows that loadWindow() made.
inline constexpr char loadedProperty[] = "bmLoadedWindow";

// The open top-level window with this object name, or nullptr.
QWidget *findWindow(const QString &objectName);

// Each window exists at most once. loadWindow() gives the open instance or
// makes a new one (not yet shown, deleted when closed); showWindow() also
// shows it and brings it to the front.
template <class W> W *loadWindow(const QString &objectName)
{
    if (auto *w = qobject_cast<W *>(findWindow(objectName)))
        return w;
    auto *w = new W();
    w->setObjectName(objectName);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setProperty(loadedProperty, true);
    return w;
}

void bringToFront(QWidget *window);

template <class W> W *showWindow(const QString &objectName)
{
    W *w = loadWindow<W>(objectName);
    bringToFront(w);
    return w;
}

} // namespace bm::platform
