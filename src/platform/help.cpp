#include "platform/help.h"

#include <QAbstractButton>
#include <QAction>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace bm::platform
{

namespace
{

// Until the help viewer window is built the topics go nowhere.
class NoViewer : public HelpViewerService
{
public:
    void showTopic(const QString &, int) override { }
};

NoViewer fallback;
HelpViewerService *production = &fallback;
HelpViewerService *current = nullptr;

} // namespace

HelpViewerService &helpViewerService()
{
    return current ? *current : *production;
}
void setHelpViewerService(HelpViewerService *service)
{
    current = service;
}

void HelpComponent::ShowHelp()
{
    helpViewerService().showTopic(m_helpFile, m_request == ContextRequest ? m_topic : 0);
}

void HelpComponent::showTopic(const QString &topicNumber)
{
    setHelpContext(topicNumber.toInt());
    setHelpCommand(ContextRequest);
    ShowHelp();
}

namespace
{

QHash<const QWidget *, QList<QPointer<QObject>>> &helpCommands()
{
    static QHash<const QWidget *, QList<QPointer<QObject>>> commands;
    return commands;
}

// A button shown and enabled is clicked; an action enabled and shown on a
// visible toolbar or menu is triggered.
bool runIfAvailable(QObject *command)
{
    if (auto *button = qobject_cast<QAbstractButton *>(command)) {
        if (!button->isVisible() || !button->isEnabled())
            return false;
        button->click();
        return true;
    }
    auto *action = qobject_cast<QAction *>(command);
    if (!action || !action->isEnabled() || !action->isVisible())
        return false;
    for (QObject *o : action->associatedObjects()) {
        if (auto *w = qobject_cast<QWidget *>(o); w && w->isVisible()) {
            action->trigger();
            return true;
        }
    }
    return false;
}

} // namespace

void addHelpCommand(QWidget *window, QObject *buttonOrAction)
{
    auto &commands = helpCommands();
    if (!commands.contains(window))
        QObject::connect(window, &QObject::destroyed, [window] { helpCommands().remove(window); });
    commands[window].append(buttonOrAction);
}

bool runHelpCommand(QWidget *window)
{
    const QList<QPointer<QObject>> commands = helpCommands().value(window);
    for (const QPointer<QObject> &c : commands) {
        if (c && runIfAvailable(c))
            return true;
    }
    return false;
}

} // namespace bm::platform
