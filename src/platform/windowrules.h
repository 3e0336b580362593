#pragma once

#include <functional>

class QWidget;

namespace bm::platform
{

// Rules a window installs once, in its constructor.

// The main window stays out of sight while this window is shown (with no
// other window shown, the program could not be reached) and shows again
// however this window closes.
void hideMainWhileOpen(QWidget *window);

// Only the second half: the main window shows again however this window
// closes.
void showMainOnClose(QWidget *window);

// Calls `action` each time the window becomes the active window. Coming back
// from a message box, a dialog or another program does not count.
void onBecomingActive(QWidget *window, std::function<void()> action);

} // namespace bm::platform
