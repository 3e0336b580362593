#pragma once

#include "platform/help.h"

#include <QMap>
#include <QWidget>

class QLabel;
class QPushButton;
class QTextBrowser;

namespace bm
{

// The program's help file: topics of HTML text addressed by number, each a
// section <section topic="400" title="Booking Entry"> ... </section>.
// Topic 0 is the contents.
class HelpFile
{
public:
    struct Topic {
        QString title;
        QString html;
    };

    // The file's topics; empty with a reason when it can not be read.
    static HelpFile load(const QString &path);

    bool isOpen() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    bool contains(int topic) const { return m_topics.contains(topic); }
    Topic topic(int number) const { return m_topics.value(number); }
    QList<int> numbers() const { return m_topics.keys(); }

private:
    QString m_error;
    QMap<int, Topic> m_topics;
};

// The help viewer: one topic of the help file at a time, with links between
// topics and a way back to the contents.
class HelpViewer : public QWidget
{
    Q_OBJECT
public:
    explicit HelpViewer(QWidget *parent = nullptr);

    // Shows the topic of the file (0: the contents). A file that can not be
    // read or a topic it does not hold shows a notice instead.
    void showTopic(const QString &helpFile, int topic);

    int currentTopic() const { return m_topic; }
    QString currentTitle() const;
    // True while the viewer shows a notice instead of a topic.
    bool showsNotice() const { return m_notice; }
    QTextBrowser *browser() const { return m_text; }

private:
    void followLink(const QUrl &link);
    void showNotice(const QString &title, const QString &text);

    QLabel *m_title;
    QTextBrowser *m_text;
    QPushButton *m_cmdContents;
    QPushButton *m_cmdClose;
    QString m_file;
    int m_topic = -1;
    bool m_notice = false;
};

// Opens the viewer beside the program; the calling window keeps the focus.
class HelpViewerWindows : public platform::HelpViewerService
{
public:
    void showTopic(const QString &helpFile, int topic) override;
};

// F1 in a window of the program other than the main window (which opens the
// contents itself): the window's own Help command when it has one that is
// enabled, else the help file at its contents.
void showHelpForWindow(QWidget *window);

// Makes the viewer window the program's help viewer and F1 its key in every
// window (at start-up).
void installHelpViewer();

} // namespace bm
