#include "platform/singleinstance.h"

#include "platform/messages.h"
#include "platform/windows.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace bm::platform
{

namespace
{

const QByteArray request = QByteArrayLiteral("raise\n");

// A lock that nobody answers for this long is looked at more closely: a file
// without a living holder (left half written, say) is removed.
constexpr std::chrono::milliseconds closerLook { 1000 };

QString folderKey(const QString &folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent)
    , folder_(folder)
    , lock_(lockFileName(folder))
{
    // The holder keeps the lock for as long as it runs, however long that is.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (server_)
        server_->close();
}

QString SingleInstance::lockFileName(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("brindlemoor.lock"));
}

QString SingleInstance::serverName(const QString &folder)
{
    // A full path keeps the socket out of reach of other users; the name
    // tells data folders (and users) apart.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir() || !QFileInfo(dir).isWritable())
        dir = QDir::tempPath();
    const QByteArray hash
        = QCryptographicHash::hash(folderKey(folder).toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir(dir).filePath(
        QStringLiteral("brindlemoor-%1-%2").arg(QString::number(::getuid()), QString::fromLatin1(hash)));
}

SingleInstance::Start SingleInstance::start(std::chrono::milliseconds patience)
{
    QDir().mkpath(folder_);
    const QDeadlineTimer deadline(patience);
    const QDeadlineTimer lookCloser(closerLook);
    for (;;) {
        if (lock_.tryLock(0)) {
            listen();
            return Start::First;
        }
        // No lock can be made at all (a read-only folder): the start goes
        // on, and the database check reports what is wrong with the folder.
        if (lock_.error() != QLockFile::LockFailedError)
            return Start::First;
        const auto left = std::chrono::milliseconds(qMax<qint64>(deadline.remainingTime(), 0));
        if (callForward(folder_, left))
            return Start::Forwarded;
        if (lookCloser.hasExpired() && lock_.removeStaleLockFile())
            continue;
        if (deadline.hasExpired())
            break;
        QThread::msleep(100);
    }
    warn(QStringLiteral("Brindlemoor is already running, but it does not answer.\n"
                        "Close it, then start Brindlemoor again."));
    return Start::NoAnswer;
}

void SingleInstance::listen()
{
    const QString name = serverName(folder_);
    // Whoever holds the lock owns the socket: one that is there is stale.
    QLocalServer::removeServer(name);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::answer);
    // Without a socket the program still runs; a later start then says
    // that this copy does not answer.
    server_->listen(name);
}

void SingleInstance::answer()
{
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine(64) != request) {
                socket->disconnectFromServer();
                return;
            }
            const QWidget *window = comeForward();
            socket->write((window ? window->objectName() : QString()).toUtf8() + '\n');
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

std::optional<QString> SingleInstance::callForward(const QString &folder, std::chrono::milliseconds wait)
{
    QLocalSocket socket;
    socket.connectToServer(serverName(folder));
    if (!socket.waitForConnected(500))
        return std::nullopt;
    socket.write(request);
    if (!socket.waitForBytesWritten(500))
        return std::nullopt;
    // The holder answers once its window is up, or as soon as it is free.
    const QDeadlineTimer deadline(wait);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
            break;
    }
    if (!socket.canReadLine())
        return std::nullopt;
    return QString::fromUtf8(socket.readLine()).trimmed();
}

QWidget *comeForward()
{
    QWidget *target = QApplication::activeModalWidget();
    if (!target) {
        QWidget *main = findWindow(QStringLiteral("frmMain"));
        if (main && main->isVisible())
            target = main;
    }
    if (!target) {
        // The main window is hidden while the gear, patterns or invoice
        // window is open, and gone after a shut-down that leaves the
        // database utilities open.
        for (QWidget *w : QApplication::topLevelWidgets()) {
            const Qt::WindowType type = w->windowType();
            if (w->isVisible() && (type == Qt::Window || type == Qt::Dialog)) {
                target = w;
                break;
            }
        }
    }
    if (!target)
        return nullptr;
    if (target->isMinimized())
        target->setWindowState((target->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    bringToFront(target);
    return target;
}

} // namespace bm::platform
