#include "data/dbfiles.h"

#include "data/database.h"
#include "data/engine.h"
#include "data/log.h"
#include "data/schemacheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace bm::dbfiles
{

namespace
{

constexpr qint64 chunkSize = 256 * 1024;

// The observer of one operation (a silent one when none is given).
class Run
{
public:
    explicit Run(Observer *observer)
        : m_observer(observer ? observer : &m_silent)
    {
    }
    bool step(Step s) { return m_observer->proceed(s); }
    void progress() { m_observer->progress(); }

private:
    Observer m_silent;
    Observer *m_observer;
};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// An engine connection of the operation's own, closed when it goes; the
// window keeps painting while it works.
class Engine : public database::FileEngine
{
public:
    Status open(const QString &path, Run &run)
    {
        return FileEngine::open(path, [&run] { run.progress(); });
    }
};

// A new file of the operation's own, owner-only, removed again unless it
// has taken its final name.
class NewFile
{
public:
    NewFile() = default;
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;
    ~NewFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }

    // Creates exactly this file; fails when it exists.
    Status create(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        m_error = m_fd < 0 ? errno : 0;
        if (m_fd < 0)
            return Status::failure(
                QStringLiteral("%1 can not be created (%2).").arg(shown(path), systemError(m_error)));
        m_path = path;
        return Status::ok();
    }

    // A file of an unused name beside target.
    Status createBeside(const QString &target)
    {
        const QFileInfo info(target);
        Status s;
        for (int attempt = 0; attempt < 20; ++attempt) {
            const QString name = QStringLiteral(".%1.%2.part")
                                     .arg(info.fileName())
                                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
            s = create(info.dir().filePath(name));
            if (s || m_error != EEXIST)
                return s;
        }
        return s;
    }

    Status write(const char *data, qint64 size)
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size_t(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return Status::failure(
                    QStringLiteral("%1 can not be written (%2).").arg(shown(m_path), systemError(errno)));
            data += n;
            size -= n;
        }
        return Status::ok();
    }

    // What was written reaches the disk, and the file is closed.
    Status sync()
    {
        if (m_fd < 0) {
            m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
            if (m_fd < 0)
                return Status::failure(
                    QStringLiteral("%1 can not be opened (%2).").arg(shown(m_path), systemError(errno)));
        }
        const bool synced = ::fsync(m_fd) == 0;
        const int error = errno;
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        if (!synced || !closed)
            return Status::failure(QStringLiteral("%1 can not be saved to the disk (%2).")
                                       .arg(shown(m_path), systemError(synced ? errno : error)));
        return Status::ok();
    }

    // The engine writes the file itself: this one lets go of it.
    void closeHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    const QString &path() const { return m_path; }

    // The file has taken its final name: nothing to remove.
    void keep() { m_path.clear(); }

private:
    int m_fd = -1;
    int m_error = 0;
    QString m_path;
};

Status refused(Step step)
{
    switch (step) {
    case Step::OpenSource:
        return Status::failure(QStringLiteral("The file to copy can not be read."));
    case Step::CreateTemp:
        return Status::failure(QStringLiteral("The new file can not be created."));
    case Step::CopyChunk:
        return Status::failure(QStringLiteral("The new file can not be written."));
    case Step::Compact:
        return Status::failure(QStringLiteral("The database can not be compacted."));
    case Step::SyncFile:
    case Step::SyncFolder:
        return Status::failure(QStringLiteral("The new file can not be saved to the disk."));
    case Step::Verify:
        return Status::failure(QStringLiteral("The new file is not an intact database."));
    case Step::Replace:
        return Status::failure(QStringLiteral("The new file can not take the old one's name."));
    }
    return Status::failure(QString());
}

// Copies source into the new file, piece by piece.
Status copy(const QString &source, NewFile &target, Run &run)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(
            QStringLiteral("%1 can not be read (%2).").arg(shown(source), in.errorString()));
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            return Status::failure(
                QStringLiteral("%1 can not be read (%2).").arg(shown(source), in.errorString()));
        if (n == 0)
            return Status::ok();
        if (!run.step(Step::CopyChunk))
            return refused(Step::CopyChunk);
        if (const Status s = target.write(buffer.constData(), n); !s)
            return s;
        run.progress();
    }
}

// The new file is an intact database of this program: every page sound and
// every table and field there, and nothing in it that runs code of its own
// or that the program does not know; a file of an older layout is brought up
// to date here, in the copy, before it takes its final name. shownAs is the
// file the messages name: the one the copy was made from.
Status verify(const QString &path, Run &run, const QString &shownAs)
{
    if (!run.step(Step::Verify))
        return refused(Step::Verify);
    auto failed = [](const Status &s) {
        qCWarning(dataLog).noquote() << s.message();
        return s;
    };
    Engine engine;
    if (const Status s = engine.open(path, run); !s)
        return failed(Status::failure(
            schemacheck::fileMessage(shownAs, QStringLiteral("is not a Brindlemoor database."))));
    // What the file holds is read before the integrity check, which would
    // evaluate the file's own expressions; the pages are checked by that.
    if (const schemacheck::Finding found = schemacheck::inspect(path, shownAs, false); !found.status)
        return failed(found.status);
    if (!engine.intact())
        return failed(Status::failure(schemacheck::fileMessage(shownAs, QStringLiteral("is damaged."))));
    engine.close();
    // Every page was read just now: the check that makes the file ready
    // need not read them again.
    const Status s = database::check(path, database::Pages::Later);
    database::close(path);
    if (!s) {
        qCWarning(dataLog).noquote() << s.message();
        return Status::failure(schemacheck::fileMessage(
            shownAs, QStringLiteral("could not be made ready for this version of Brindlemoor.")));
    }
    return Status::ok();
}

// What a crash left half written beside the file is rolled back: opening
// the file does it. A file that can not be opened is left to the checks of
// the operation itself.
void rollBackHalfWritten(const QString &path, Run &run)
{
    database::close(path);
    if (!QFileInfo::exists(path))
        return;
    Engine engine;
    if (const Status s = engine.open(path, run); !s)
        qCInfo(dataLog).noquote() << s.message();
}

// Nothing that a crash left half written may lie beside the file that is
// about to be replaced: the engine would apply it to the new file.
void settle(const QString &target, Run &run)
{
    rollBackHalfWritten(target, run);
    QFile::remove(target + QStringLiteral("-journal"));
}

Status syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Status::ok(); // nothing to flush through
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const int error = errno;
    ::close(fd);
    if (!synced)
        return Status::failure(QStringLiteral("The folder %1 can not be saved to the disk (%2).")
                                   .arg(shown(folder), systemError(error)));
    return Status::ok();
}

// The new file takes the target's name in one step, and the rename reaches
// the disk.
Status replace(NewFile &file, const QString &target, Run &run)
{
    if (!run.step(Step::Replace))
        return refused(Step::Replace);
    if (::rename(QFile::encodeName(file.path()).constData(), QFile::encodeName(target).constData()) != 0)
        return Status::failure(
            QStringLiteral("%1 can not be replaced (%2).").arg(shown(target), systemError(errno)));
    file.keep();
    if (!run.step(Step::SyncFolder))
        return refused(Step::SyncFolder);
    return syncFolder(QFileInfo(target).absolutePath());
}

// One copy, from opening the source to the new file in the target's place.
Status copyOver(const QString &source, const QString &target, Run &run, bool settleTarget)
{
    if (!run.step(Step::OpenSource))
        return refused(Step::OpenSource);
    if (!QFileInfo(source).isFile())
        return Status::failure(QStringLiteral("%1 does not exist.").arg(shown(source)));
    if (!run.step(Step::CreateTemp))
        return refused(Step::CreateTemp);
    NewFile file;
    if (const Status s = file.createBeside(target); !s)
        return s;
    if (const Status s = copy(source, file, run); !s)
        return s;
    if (!run.step(Step::SyncFile))
        return refused(Step::SyncFile);
    if (const Status s = file.sync(); !s)
        return s;
    if (const Status s = verify(file.path(), run, source); !s)
        return s;
    if (settleTarget)
        settle(target, run);
    return replace(file, target, run);
}

} // namespace

Status backup(const QString &databasePath, const QString &folder, Observer *observer)
{
    Run run(observer);
    // What a crash left half written is rolled back before the copy.
    rollBackHalfWritten(databasePath, run);
    const QString target = QDir(folder).filePath(QString::fromLatin1(databaseName));
    const bool older = QFileInfo::exists(target);
    const Status s = copyOver(databasePath, target, run, false);
    if (!s && older)
        return Status::failure(QStringLiteral("%1 The older backup was kept.").arg(s.message()));
    return s;
}

Status restore(const QString &folder, const QString &databasePath, Observer *observer)
{
    Run run(observer);
    return copyOver(QDir(folder).filePath(QString::fromLatin1(databaseName)), databasePath, run, true);
}

Status repair(const QString &databasePath, Observer *observer)
{
    Run run(observer);
    const QString compact = QFileInfo(databasePath).dir().filePath(QString::fromLatin1(compactName));
    if (QFileInfo::exists(compact) || QFileInfo(compact).isSymLink())
        return Status::failure(QStringLiteral("%1 is there already.").arg(shown(compact)));

    if (!run.step(Step::OpenSource))
        return refused(Step::OpenSource);
    database::close(databasePath);
    Engine engine;
    if (const Status s = engine.open(databasePath, run); !s)
        return s;
    if (!run.step(Step::CreateTemp))
        return refused(Step::CreateTemp);
    NewFile file;
    if (const Status s = file.create(compact); !s)
        return s;
    file.closeHandle();
    if (!run.step(Step::Compact))
        return refused(Step::Compact);
    const Status compacted = engine.compactInto(compact);
    engine.close();
    if (!compacted)
        return compacted;
    if (!run.step(Step::SyncFile))
        return refused(Step::SyncFile);
    if (const Status s = file.sync(); !s)
        return s;
    if (const Status s = verify(compact, run, databasePath); !s)
        return s;
    settle(databasePath, run);
    return replace(file, databasePath, run);
}

qint64 fileSize(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() ? info.size() : -1;
}

QString sizeText(qint64 bytes, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(double(bytes) / 1024.0, 'g', 15) + QStringLiteral(" KB");
}

} // namespace bm::dbfiles
