#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace bm::platform
{

// Shows a topic of the help file. Production opens the program's own help
// viewer beside the program; tests record the topics asked for.
class HelpViewerService
{
public:
    virtual ~HelpViewerService() = default;
    // topic 0 means the contents.
    virtual void showTopic(const QString &helpFile, int topic) = 0;
};

HelpViewerService &helpViewerService();
void setHelpViewerService(HelpViewerService *service); // nullptr restores production

// The help component of a window (the main window's dlgHelp): set the help
// file, the topic number and the request kind, then ShowHelp().
class HelpComponent : public QObject
{
    Q_OBJECT
public:
    static constexpr int ContextRequest = 1;
    static constexpr int ContentsRequest = 3;

    using QObject::QObject;

    void setHelpFile(const QString &path) { m_helpFile = path; }
    const QString &helpFile() const { return m_helpFile; }
    void setHelpContext(int topic) { m_topic = topic; }
    int helpContext() const { return m_topic; }
    void setHelpCommand(int request) { m_request = request; }
    void ShowHelp();

    // What every Help command does: the topic from its decimal string
    // ("3400"), the context request, then show.
    void showTopic(const QString &topicNumber);

private:
    QString m_helpFile;
    int m_topic = 0;
    int m_request = ContextRequest;
};

// A window's Help command, which F1 anywhere in the window runs: a button
// or a toolbar action of the window. A window of several pages has one for
// each; the first that is shown and enabled runs.
void addHelpCommand(QWidget *window, QObject *buttonOrAction);
// Runs the window's Help command; false when none is shown and enabled (a
// window in the middle of an edit).
bool runHelpCommand(QWidget *window);

} // namespace bm::platform
