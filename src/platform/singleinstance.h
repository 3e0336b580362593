#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

class QLocalServer;
class QWidget;

namespace bm::platform
{

// Keeps one running copy of the program per data folder, so that two copies
// never hold the same database. The first start holds a lock file in the
// folder for as long as it runs and listens on a local socket; a later start
// asks that copy to bring its window to the front and leaves.
//
// The lock is the rule; the socket is only the way to call the other copy
// forward. A lock left behind by a copy that was killed is taken over: the
// system drops a dead process's hold on the file, and such a file is removed.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Start {
        First, // this copy holds the folder: go on starting
        Forwarded, // another copy holds it and came to the front: leave
        NoAnswer, // another copy holds it and did not answer (the user was told): leave
    };

    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Claims the folder, or hands the start over to the copy that holds it.
    // A holder that does not answer within the patience is reported.
    Start start(std::chrono::milliseconds patience = std::chrono::seconds(20));

    // Where the lock and the socket of a data folder are.
    static QString lockFileName(const QString &folder);
    static QString serverName(const QString &folder);

    // Asks the copy that holds the folder to come to the front. Gives the
    // object name of the window that came forward (empty when none is
    // shown), or nothing when no copy answered within the wait.
    static std::optional<QString> callForward(const QString &folder, std::chrono::milliseconds wait);

private:
    void listen();
    void answer();

    QString folder_;
    QLockFile lock_;
    QLocalServer *server_ = nullptr;
};

// Brings the running program forward: an open modal box first, else the main
// window if it is shown, else the program's other shown window. Returns the
// window that came forward, or nullptr when none is shown.
QWidget *comeForward();

} // namespace bm::platform
