#include "db/database.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/changes.h"
#include "db/engine/engine.h"
#include "db/engine/live.h"
#include "db/engine/migrations.h"
#include "db/engine/schemacheck.h"
#include "db/engine/server.h"
#include "db/fieldvalue.h"
#include "db/filter.h"
#include "schema/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sqlite3.h>

namespace bm::db
{

namespace
{

struct Open {
    QString connectionName;
    quint64 generation = 1;
};

QHash<QString, Open> &opened()
{
    static QHash<QString, Open> map;
    return map;
}

QString key(const QString &path)
{
    return onServer(path) ? path : QFileInfo(path).absoluteFilePath();
}

// The record sources alive on each file; kept apart from the connections,
// which may be closed and opened again while record sources live.
QHash<QString, int> &sources()
{
    static QHash<QString, int> map;
    return map;
}

// bm_like(pattern, value, kind): the LIKE of filter expressions, evaluated by
// our own matcher; the pattern is compiled once per statement.
void likeFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc != 3) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    auto *pattern = static_cast<filter::Pattern *>(sqlite3_get_auxdata(ctx, 0));
    std::optional<filter::Pattern> local;
    if (!pattern) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        local = filter::Pattern::compile(QString::fromUtf8(text ? text : "", sqlite3_value_bytes(argv[0])));
        if (!local) {
            sqlite3_result_error(ctx, "invalid pattern", -1);
            return;
        }
        sqlite3_set_auxdata(
            ctx, 0, new filter::Pattern(*local), [](void *p) { delete static_cast<filter::Pattern *>(p); });
        pattern = static_cast<filter::Pattern *>(sqlite3_get_auxdata(ctx, 0));
        if (!pattern) // SQLite could not keep it for the next rows
            pattern = &*local;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const int kind = sqlite3_value_int(argv[2]);
    if (kind == int(FieldKind::Text)) {
        const auto *v = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
        sqlite3_result_int(ctx, pattern->matchesUtf8(v, std::size_t(sqlite3_value_bytes(argv[1]))));
        return;
    }
    // Dates and amounts match as the screens show them.
    sqlite3_result_int(
        ctx, pattern->matches(fieldvalue::shownStored(FieldKind(kind), fieldvalue::fromEngine(argv[1]))));
}

sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant v = db.driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(v.constData());
    return nullptr;
}

// The identity of a server database: made from the server's own number of
// the database, which stays as long as the database does.
Status serverIdentity(const QString &uri, quint32 &identity)
{
    Status status;
    QSqlDatabase db = connection(uri, &status);
    if (!db.isValid())
        return status;
    QSqlQuery q(db);
    if (Status s = server::exec(
            db, uri, q, QStringLiteral("SELECT oid FROM pg_database WHERE datname = current_database()"));
        !s)
        return s;
    if (!q.next())
        return server::failure(uri, QStringLiteral("does not say its number."));
    identity = quint32(q.value(0).toLongLong()) * 2654435761u;
    if (identity == 0)
        identity = 1;
    return Status::ok();
}

} // namespace

bool onServer(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://"))
        || location.startsWith(QLatin1String("postgres://"));
}

QString displayName(const QString &path)
{
    if (onServer(path))
        return server::displayName(path);
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

Status fileFailure(const QString &path, const QString &what)
{
    return Status::failure(QStringLiteral("The database file %1 %2").arg(displayName(path), what));
}

Status check(const QString &path, Pages pages)
{
    if (onServer(path)) {
        // The server keeps its own pages sound; its layout is checked, and
        // an empty database laid in, when the connection opens.
        Status opened;
        (void)connection(path, &opened);
        return opened;
    }
    const QFileInfo info(path);
    if (!info.exists())
        return fileFailure(path, QStringLiteral("does not exist."));
    if (!info.isFile())
        return fileFailure(path, QStringLiteral("is not a file and can not be opened."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fileFailure(path, QStringLiteral("can not be read: %1.").arg(file.errorString()));
    const QByteArray header = file.read(16);
    file.close();
    if (header != QByteArray("SQLite format 3\0", 16))
        return fileFailure(path, QStringLiteral("is not a Brindlemoor database. It was left as it is."));
    if (!info.isWritable())
        return fileFailure(path,
            QStringLiteral("is read-only, so nothing could be saved. "
                           "Allow changes to the file and start again."));
    if (!QFileInfo(info.absolutePath()).isWritable())
        return fileFailure(path,
            QStringLiteral("lies in a read-only folder, so nothing could be saved. "
                           "Allow changes to the folder and start again."));

    // The file is read before anything of it is used: code of its own
    // (triggers, views, virtual tables), tables without their record key,
    // a newer layout or a missing table or field refuse it, untouched. A file
    // of an older layout is then brought up to date in place, all or nothing.
    auto refuse = [&](const Status &s) {
        close(path); // let go of it at once, so that it can be replaced
        qCWarning(dataLog).noquote() << s.message();
        return s;
    };
    const schemacheck::Finding found = schemacheck::inspect(path, QString(), pages == Pages::All);
    if (!found.status)
        return refuse(found.status);
    if (found.version < migrations::currentVersion)
        if (const Status migrated = migrations::upgradeFile(path); !migrated)
            return refuse(migrated);
    Status opened;
    (void)connection(path, &opened); // the connection is kept for the record sources
    return opened;
}

Status prepare()
{
    const Status installed = installDeliveredFiles();
    if (!installed)
        return installed;
    return check(databasePath(), Pages::Later);
}

QSqlDatabase connection(const QString &path, Status *status)
{
    const QString k = key(path);
    auto it = opened().find(k);
    quint64 generation = 1;
    const bool reopened = it != opened().end();
    if (reopened) {
        QSqlDatabase db = QSqlDatabase::database(it->connectionName, false);
        if (db.isOpen() && !(onServer(k) && server::lost(db)))
            return db;
        // A server connection that was lost is opened afresh; what was
        // cached of it is read again.
        generation = it->generation + 1;
        const QString name = it->connectionName;
        opened().erase(it);
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    if (onServer(k)) {
        const QString name = QStringLiteral("bm-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        Status s;
        QSqlDatabase db = server::open(k, name, &s);
        if (status)
            *status = s;
        if (!s)
            return {};
        opened().insert(k, Open { name, generation });
        live::follow(k, name, reopened);
        return db;
    }
    if (!QFileInfo(k).isFile()) {
        if (status)
            *status = fileFailure(path, QStringLiteral("does not exist."));
        return {};
    }
    const QString name = QStringLiteral("bm-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(k);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        const QString reason = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        const Status s = fileFailure(path, QStringLiteral("can not be opened (%1).").arg(reason));
        qCWarning(dataLog).noquote() << s.message();
        if (status)
            *status = s;
        return {};
    }
    QSqlQuery q(db);
    // One file, no side files left behind: a rollback journal, synced on
    // every commit so that a saved record survives a crash or power cut.
    for (const QString &pragma :
        { QStringLiteral("PRAGMA journal_mode=DELETE"), QStringLiteral("PRAGMA synchronous=FULL") })
        if (!q.exec(pragma))
            qCWarning(dataLog).noquote() << displayName(path) << pragma << q.lastError().text();
    if (sqlite3 *h = handleOf(db)) {
        distrust(h, maxValueBytes);
        sqlite3_create_function_v2(h, "bm_like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
            nullptr, nullptr, nullptr);
    }
    opened().insert(k, Open { name, 1 });
    if (status)
        *status = Status::ok();
    return db;
}

sqlite3 *engine(const QString &path, Status *status)
{
    if (onServer(path)) {
        if (status)
            *status = server::failure(path, QStringLiteral("is on a server, not in a file."));
        return nullptr;
    }
    const QSqlDatabase db = connection(path, status);
    if (!db.isValid())
        return nullptr;
    sqlite3 *h = handleOf(db);
    if (!h && status)
        *status = fileFailure(path, QStringLiteral("can not be read."));
    return h;
}

Status calendarIdentity(const QString &path, quint32 &identity)
{
    identity = 0;
    if (onServer(path))
        return serverIdentity(path, identity);
    Status status;
    sqlite3 *h = engine(path, &status);
    if (!h)
        return status;
    sqlite3_stmt *read = nullptr;
    if (sqlite3_prepare_v2(h, "PRAGMA user_version", -1, &read, nullptr) == SQLITE_OK
        && sqlite3_step(read) == SQLITE_ROW)
        identity = quint32(sqlite3_column_int(read, 0));
    sqlite3_finalize(read);
    if (identity != 0)
        return Status::ok();
    quint32 fresh = 0;
    do
        fresh = QRandomGenerator::system()->generate();
    while (fresh == 0);
    const QByteArray set = QByteArrayLiteral("PRAGMA user_version = ") + QByteArray::number(qint32(fresh));
    if (sqlite3_exec(h, set.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        const Status s = fileFailure(
            path, QStringLiteral("can not be changed (%1).").arg(QString::fromUtf8(sqlite3_errmsg(h))));
        qCWarning(dataLog).noquote() << s.message();
        return s;
    }
    identity = fresh;
    return Status::ok();
}

void closeAll()
{
    live::stopAll();
    for (const Open &o : std::as_const(opened())) {
        {
            QSqlDatabase db = QSqlDatabase::database(o.connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(o.connectionName);
    }
    opened().clear();
}

void close(const QString &path)
{
    const auto it = opened().constFind(key(path));
    if (it == opened().constEnd())
        return;
    const QString name = it->connectionName;
    opened().erase(it);
    live::stop(key(path));
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

quint64 generation(const QString &path)
{
    auto it = opened().constFind(key(path));
    return it == opened().constEnd() ? 0 : it->generation;
}

void bumpGeneration(const QString &path)
{
    auto it = opened().find(key(path));
    if (it != opened().end())
        ++it->generation;
}

void changed(const QString &path, const QString &table)
{
    bumpGeneration(path);
    DataChanges::instance().notify(path, table);
}

void sourceOpened(const QString &path)
{
    ++sources()[key(path)];
}

void sourceClosed(const QString &path)
{
    const auto it = sources().find(key(path));
    if (it == sources().end())
        return;
    if (--*it <= 0)
        sources().erase(it);
}

int openSources(const QString &path)
{
    return sources().value(key(path));
}

} // namespace bm::db
