#include "platform/singleinstance.h"

#include "platform/failures.h"
#include "platform/mainhub.h"
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

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
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

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Files created while it lives are the user's alone, whatever the umask.
class PrivateFiles
{
public:
    PrivateFiles()
        : m_before(::umask(077))
    {
    }
    ~PrivateFiles() { ::umask(m_before); }
    PrivateFiles(const PrivateFiles &) = delete;
    PrivateFiles &operator=(const PrivateFiles &) = delete;

private:
    mode_t m_before;
};

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

// In the shared temporary folder any user could make a socket of the name
// first and answer a start in this user's place, or keep this copy from
// listening. Only a folder of this user that nobody else can enter keeps the
// name free. The folder is opened without following a link and looked at
// through that handle, so what is checked is what is used.
Status SingleInstance::privateSocketFolder(QString &path)
{
    const uid_t uid = ::getuid();
    path = QDir(QDir::tempPath()).filePath(QStringLiteral("brindlemoor-%1").arg(uid));
    const QByteArray native = QFile::encodeName(path);
    const QString where = QDir::toNativeSeparators(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return Status::failure(
            QStringLiteral("The folder %1 can not be made: %2").arg(where, systemError(errno)));
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == ENOTDIR)
            return Status::failure(QStringLiteral("%1 is not a folder but a link or a file.").arg(where));
        return Status::failure(
            QStringLiteral("The folder %1 can not be opened: %2").arg(where, systemError(error)));
    }
    struct stat st = {};
    Status result = Status::ok();
    if (::fstat(fd, &st) != 0) {
        result = Status::failure(
            QStringLiteral("The folder %1 can not be looked at: %2").arg(where, systemError(errno)));
    } else if (!S_ISDIR(st.st_mode)) {
        result = Status::failure(QStringLiteral("%1 is not a folder.").arg(where));
    } else if (st.st_uid != uid) {
        result = Status::failure(QStringLiteral("The folder %1 belongs to another user.").arg(where));
    } else if ((st.st_mode & 07777) != 0700) {
        // Ours, but open to others (made by hand, or with another umask):
        // closed to them, and looked at again.
        if (::fchmod(fd, 0700) != 0 || ::fstat(fd, &st) != 0 || (st.st_mode & 07777) != 0700)
            result = Status::failure(QStringLiteral("The folder %1 is open to other users and can not be "
                                                    "closed to them.")
                                         .arg(where));
    }
    ::close(fd);
    return result;
}

Status SingleInstance::serverName(const QString &folder, QString &name)
{
    // The name tells data folders apart.
    const QByteArray hash
        = QCryptographicHash::hash(folderKey(folder).toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    // The runtime folder is the user's alone by definition.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable()) {
        name = QDir(runtime).filePath(
            QStringLiteral("brindlemoor-%1-%2").arg(QString::number(::getuid()), QString::fromLatin1(hash)));
        return Status::ok();
    }
    QString dir;
    if (Status s = privateSocketFolder(dir); !s) {
        name.clear();
        return s;
    }
    name = QDir(dir).filePath(QStringLiteral("instance-%1").arg(QString::fromLatin1(hash)));
    return Status::ok();
}

QString SingleInstance::serverName(const QString &folder)
{
    QString name;
    // The reason is given by start(); a caller of this one only needs to
    // know that there is no name.
    (void)serverName(folder, name);
    return name;
}

SingleInstance::Start SingleInstance::start(std::chrono::milliseconds patience)
{
    QDir().mkpath(folder_);
    // Without a private socket the program still starts: the lock still
    // keeps a second copy off the database, but a second start can not call
    // this one forward and nothing can be asked of another copy.
    if (const Status place = serverName(folder_, name_); !place)
        reportFailure(Status::failure(
            QStringLiteral("Brindlemoor can not make sure that a second start finds this copy, "
                           "so starting it again will not bring this window forward: %1")
                .arg(place.message())));
    // With no socket there is nobody to ask: a lock held by a live copy is
    // not waited on beyond the closer look.
    const QDeadlineTimer deadline(name_.isEmpty() ? qMin(patience, 2 * closerLook) : patience);
    const QDeadlineTimer lookCloser(closerLook);
    for (;;) {
        bool locked = false;
        {
            const PrivateFiles privately;
            locked = lock_.tryLock(0);
        }
        if (locked) {
            // A lock file left by an older copy may have been open to all.
            QFile::setPermissions(lockFileName(folder_), QFile::ReadOwner | QFile::WriteOwner);
            listen();
            return Start::First;
        }
        // No lock can be made at all (a read-only folder): the start goes
        // on, and the database check reports what is wrong with the folder.
        if (lock_.error() != QLockFile::LockFailedError)
            return Start::First;
        const auto left = std::chrono::milliseconds(qMax<qint64>(deadline.remainingTime(), 0));
        if (!name_.isEmpty() && callForward(folder_, left))
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
    if (name_.isEmpty())
        return; // no private place for it: said at start
    const QString &name = name_;
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
    const QString name = serverName(folder);
    if (name.isEmpty())
        return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(name);
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
        QWidget *main = mainHub() ? mainHub()->window() : nullptr;
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
