#include "db/dbfiles.h"

#include "core/log.h"
#include "db/database.h"
#include "db/engine/engine.h"
#include "db/engine/schemacheck.h"
#include "db/engine/server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStandardPaths>

#include <libpq-fe.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

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
class Engine : public db::FileEngine
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
    case Step::Dump:
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
    const Status s = db::check(path, db::Pages::Later);
    db::close(path);
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
    db::close(path);
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

// The database on a server ------------------------------------------------

// The client tools come with Debian's postgresql-client; pg_wrapper picks the
// version that suits the server.
constexpr char clientPackage[] = "postgresql-client";

// The URI's parameters as a libpq connection string for the dump tool,
// without the password, which is handed back apart.
Status connectionString(const QString &uri, QString &conninfo, QString &password)
{
    char *why = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.toUtf8().constData(), &why);
    if (!options) {
        const QString reason = why ? QString::fromUtf8(why).trimmed() : QStringLiteral("it can not be read");
        PQfreemem(why);
        return db::server::failure(uri, QStringLiteral("is not a connection address (%1).").arg(reason));
    }
    QStringList parts;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const QString key = QString::fromUtf8(o->keyword);
        QString value = QString::fromUtf8(o->val);
        if (key == QLatin1String("password")) {
            password = value;
            continue;
        }
        value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('\''), QStringLiteral("\\'"));
        parts << QStringLiteral("%1='%2'").arg(key, value);
    }
    PQconninfoFree(options);
    conninfo = parts.join(QLatin1Char(' '));
    return Status::ok();
}

// What a client tool said on its error channel, in one line per message.
QString toolOutput(QProcess &process)
{
    return QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
}

// Runs one of the client tools to its end, the window painting meanwhile.
// Ok when it ran and exited with 0; otherwise why not, in the tool's own
// words where it gave any. Its standard output is handed back.
Status runTool(const QString &uri, const QString &tool, const QStringList &arguments,
    const QProcessEnvironment &environment, Run &run, QByteArray *output = nullptr)
{
    const QString program = QStandardPaths::findExecutable(tool);
    auto failed = [&](const QString &what) {
        const Status s = db::server::failure(uri, what);
        qCWarning(dataLog).noquote() << s.message();
        return s;
    };
    if (program.isEmpty())
        return failed(QStringLiteral("can not be copied: %1 is not installed (Debian package %2).")
                          .arg(tool, QLatin1String(clientPackage)));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        return failed(QStringLiteral("can not be copied: %1 could not be started (%2).")
                          .arg(tool, process.errorString()));
    QByteArray out;
    while (!process.waitForFinished(40)) {
        if (process.state() == QProcess::NotRunning)
            break;
        out += process.readAllStandardOutput();
        run.progress();
    }
    out += process.readAllStandardOutput();
    if (output)
        *output = out;
    if (process.exitStatus() != QProcess::NormalExit)
        return failed(QStringLiteral("can not be copied: %1 stopped before it was done.").arg(tool));
    if (process.exitCode() != 0) {
        QString said = toolOutput(process);
        if (said.isEmpty())
            said = QStringLiteral("%1 ended with code %2").arg(tool).arg(process.exitCode());
        return failed(QStringLiteral("can not be copied: %1").arg(said));
    }
    return Status::ok();
}

// The tables of the database on the server, each as a quoted name. The
// server's catalogue is asked rather than the program's list: the laid-in
// database holds the program's tables only, and a table of a later layout or
// of the gateway's own bookkeeping must not be left out.
Status serverTables(QSqlDatabase &db, const QString &uri, QStringList &names)
{
    QSqlQuery query(db);
    if (const Status s = db::server::exec(db, uri, query,
            QStringLiteral("SELECT quote_ident(tablename) FROM pg_catalog.pg_tables "
                           "WHERE schemaname = current_schema() ORDER BY tablename"));
        !s)
        return s;
    while (query.next())
        names << query.value(0).toString();
    if (names.isEmpty()) {
        const Status s = db::server::failure(uri, QStringLiteral("holds no tables to repair."));
        qCWarning(dataLog).noquote() << s.message();
        return s;
    }
    return Status::ok();
}

// Collects the warnings the server sends while it lives: VACUUM skips a
// table it may not touch with a warning, not an error.
class ServerWarnings
{
public:
    explicit ServerWarnings(PGconn *connection)
        : m_connection(connection)
    {
        if (m_connection)
            m_previous = PQsetNoticeReceiver(m_connection, &ServerWarnings::receive, this);
    }
    ~ServerWarnings()
    {
        // The default receiver hands the notice to the connection's notice
        // processor and takes no argument of its own.
        if (m_connection)
            PQsetNoticeReceiver(m_connection, m_previous, nullptr);
    }
    ServerWarnings(const ServerWarnings &) = delete;
    ServerWarnings &operator=(const ServerWarnings &) = delete;

    QStringList take() { return std::exchange(m_warnings, {}); }

private:
    static void receive(void *self, const PGresult *result)
    {
        const char *severity = PQresultErrorField(result, PG_DIAG_SEVERITY_NONLOCALIZED);
        if (!severity || qstrcmp(severity, "WARNING") != 0)
            return;
        const char *text = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
        static_cast<ServerWarnings *>(self)->m_warnings << QString::fromUtf8(text ? text : "");
    }

    PGconn *m_connection;
    PQnoticeReceiver m_previous = nullptr;
    QStringList m_warnings;
};

Status serverRepair(const QString &uri, Run &run)
{
    if (!run.step(Step::OpenSource))
        return refused(Step::OpenSource);
    Status opened;
    QSqlDatabase db = db::connection(uri, &opened);
    if (!opened)
        return opened;
    if (!run.step(Step::Compact))
        return refused(Step::Compact);
    QStringList tables;
    if (const Status s = serverTables(db, uri, tables); !s)
        return s;
    ServerWarnings warnings(db::server::libpq(db));
    // One table at a time: VACUUM runs outside any transaction, and the
    // window paints between tables.
    for (const QString &table : std::as_const(tables)) {
        QSqlQuery query(db);
        if (const Status s
            = db::server::exec(db, uri, query, QStringLiteral("VACUUM (ANALYZE) %1").arg(table));
            !s)
            return s;
        if (const QStringList said = warnings.take(); !said.isEmpty()) {
            const Status s = db::server::failure(
                uri, QStringLiteral("could not be repaired: %1").arg(said.join(QLatin1Char(' '))));
            qCWarning(dataLog).noquote() << s.message();
            return s;
        }
        run.progress();
    }
    return Status::ok();
}

qint64 serverSize(const QString &uri)
{
    Status opened;
    QSqlDatabase db = db::connection(uri, &opened);
    if (!opened)
        return -1;
    QSqlQuery query(db);
    if (const Status s
        = db::server::exec(db, uri, query, QStringLiteral("SELECT pg_database_size(current_database())"));
        !s || !query.next())
        return -1;
    bool ok = false;
    const qint64 size = query.value(0).toLongLong(&ok);
    return ok ? size : -1;
}

} // namespace

Status backup(const QString &databasePath, const QString &folder, Observer *observer)
{
    if (db::onServer(databasePath)) {
        // A server database is copied with serverBackup(): it has no file
        // here to copy.
        const Status s = db::server::failure(databasePath, QStringLiteral("has no file to copy."));
        qCWarning(dataLog).noquote() << s.message();
        return s;
    }
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

Status serverBackup(const QString &uri, const QString &file, Observer *observer)
{
    Run run(observer);
    QString conninfo;
    QString password;
    if (const Status s = connectionString(uri, conninfo, password); !s)
        return s;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!password.isEmpty())
        environment.insert(QStringLiteral("PGPASSWORD"), password);
    const bool older = QFileInfo::exists(file);
    auto kept = [older](const Status &s) {
        return older ? Status::failure(QStringLiteral("%1 The older backup was kept.").arg(s.message())) : s;
    };

    if (!run.step(Step::CreateTemp))
        return kept(refused(Step::CreateTemp));
    NewFile archive;
    if (const Status s = archive.createBeside(file); !s)
        return kept(s);
    archive.closeHandle();
    if (!run.step(Step::Dump))
        return kept(refused(Step::Dump));
    if (const Status s = runTool(uri, QStringLiteral("pg_dump"),
            { QStringLiteral("--format=custom"), QStringLiteral("--no-password"),
                QStringLiteral("--file=") + archive.path(), QStringLiteral("--dbname=") + conninfo },
            environment, run);
        !s)
        return kept(s);
    if (!run.step(Step::SyncFile))
        return kept(refused(Step::SyncFile));
    if (const Status s = archive.sync(); !s)
        return kept(s);
    // The archive is read back: a file pg_restore can not list would be no
    // backup at all.
    if (!run.step(Step::Verify))
        return kept(refused(Step::Verify));
    QByteArray listing;
    if (const Status s = runTool(uri, QStringLiteral("pg_restore"),
            { QStringLiteral("--list"), archive.path() }, environment, run, &listing);
        !s)
        return kept(s);
    if (!listing.contains("TABLE")) {
        const Status s
            = db::server::failure(uri, QStringLiteral("can not be copied: the archive holds no tables."));
        qCWarning(dataLog).noquote() << s.message();
        return kept(s);
    }
    const Status s = replace(archive, file, run);
    // Once renamed, the older backup is gone whatever comes after.
    return s || archive.path().isEmpty() ? s : kept(s);
}

Status restore(const QString &folder, const QString &databasePath, Observer *observer)
{
    if (db::onServer(databasePath)) {
        const Status s = db::server::failure(databasePath,
            QStringLiteral("is restored by the administrator of its server, not by Brindlemoor: ask them "
                           "to restore it. Nothing was changed."));
        qCInfo(dataLog).noquote() << s.message();
        return s;
    }
    Run run(observer);
    return copyOver(QDir(folder).filePath(QString::fromLatin1(databaseName)), databasePath, run, true);
}

Status repair(const QString &databasePath, Observer *observer)
{
    Run run(observer);
    if (db::onServer(databasePath))
        return serverRepair(databasePath, run);
    const QString compact = QFileInfo(databasePath).dir().filePath(QString::fromLatin1(compactName));
    if (QFileInfo::exists(compact) || QFileInfo(compact).isSymLink())
        return Status::failure(QStringLiteral("%1 is there already.").arg(shown(compact)));

    if (!run.step(Step::OpenSource))
        return refused(Step::OpenSource);
    db::close(databasePath);
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

qint64 databaseSize(const QString &databasePath)
{
    return db::onServer(databasePath) ? serverSize(databasePath) : fileSize(databasePath);
}

QString sizeText(qint64 bytes, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(double(bytes) / 1024.0, 'g', 15) + QStringLiteral(" KB");
}

} // namespace bm::dbfiles
