#include "platform/windowrules.h"

#include "platform/mainhub.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QWidget>

namespace bm::platform
{

namespace
{

QWidget *mainWindow()
{
    MainHub *hub = mainHub();
    return hub ? hub->window() : nullptr;
}

// Watches the window it belongs to. Shows and hides the window system makes
// (a minimize, a restore) are not the window opening or closing.
class MainWindowKeeper : public QObject
{
public:
    MainWindowKeeper(QWidget *window, bool hideMain)
        : QObject(window)
        , m_hideMain(hideMain)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != parent())
            return false;
        // A window that is deleted hides without closing: the main window
        // is left alone then.
        if (event->type() == QEvent::Close)
            m_closing = true;
        if (event->spontaneous())
            return false;
        QWidget *main = mainWindow();
        if (event->type() == QEvent::Show) {
            m_closing = false;
            if (m_hideMain && main && main != watched)
                main->hide();
        } else if (event->type() == QEvent::Hide && m_closing) {
            m_closing = false;
            if (main && main != watched)
                main->show();
        }
        return false;
    }

private:
    const bool m_hideMain;
    // A close began; the hide that ends it shows the main window.
    bool m_closing = false;
};

class ActivationWatcher : public QObject
{
public:
    ActivationWatcher(QWidget *window, std::function<void()> action)
        : QObject(window)
        , m_window(window)
        , m_action(std::move(action))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::ActivationChange) {
            if (m_window->isActiveWindow()) {
                if (!m_returning)
                    m_action();
                m_returning = false;
            } else {
                const QWidget *now = QApplication::activeWindow();
                m_returning = !now || now->isModal() || qobject_cast<const QDialog *>(now);
            }
        }
        return false;
    }

private:
    QWidget *m_window;
    std::function<void()> m_action;
    // Set when the window lost the activation to a message box or to another
    // program: coming back from there is not becoming active anew.
    bool m_returning = false;
};

} // namespace

void hideMainWhileOpen(QWidget *window)
{
    new MainWindowKeeper(window, true);
}

void showMainOnClose(QWidget *window)
{
    new MainWindowKeeper(window, false);
}

void onBecomingActive(QWidget *window, std::function<void()> action)
{
    new ActivationWatcher(window, std::move(action));
}

} // namespace bm::platform
