#pragma once

#include "core/status.h"

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
// The lock file is the user's alone (0600); the socket lies in the runtime
// folder ($XDG_RUNTIME_DIR), or without one in a folder of the temporary
// folder that only this user can enter. Where that folder can not be made
// private the program starts without a socket and says why.
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

    // Where the lock and the socket of a data folder are. serverName makes
    // the private folder in the temporary folder when it must, or says why
    // the socket has no place only this user can reach.
    static QString lockFileName(const QString &folder);
    static Status serverName(const QString &folder, QString &name);
    // The same; empty when there is no such place.
    static QString serverName(const QString &folder);
    // The folder for sockets when there is no runtime folder:
    // <temporary folder>/brindlemoor-<uid>, created 0700. One already there
    // must be a folder (not a link) of this user; one open to others is
    // closed to them.
    static Status privateSocketFolder(QString &path);

    // Asks the copy that holds the folder to come to the front. Gives the
    // object name of the window that came forward (empty when none is
    // shown), or nothing when no copy answered within the wait.
    static std::optional<QString> callForward(const QString &folder, std::chrono::milliseconds wait);

private:
    void listen();
    void answer();

    QString folder_;
    QString name_; // of the socket; empty when it has no private place
    QLockFile lock_;
    QLocalServer *server_ = nullptr;
};

// Brings the running program forward: an open modal box first, else the main
// window if it is shown, else the program's other shown window. Returns the
// window that came forward, or nullptr when none is shown.
QWidget *comeForward();

} // namespace bm::platform
