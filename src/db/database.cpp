#include "db/database.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/changes.h"
#include "db/engine/dialect.h"
#include "db/engine/live.h"

#include <QHash>
#include <QUuid>

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

QString key(const QString &location)
{
    return Dialect::of(location).key(location);
}

// The record sources alive on each file; kept apart from the connections,
// which may be closed and opened again while record sources live.
QHash<QString, int> &sources()
{
    static QHash<QString, int> map;
    return map;
}

} // namespace

bool onServer(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://"))
        || location.startsWith(QLatin1String("postgres://"));
}

QString displayName(const QString &location)
{
    return Dialect::of(location).displayName(location);
}

Status fileFailure(const QString &location, const QString &what)
{
    return Status::failure(QStringLiteral("The database file %1 %2").arg(displayName(location), what));
}

Status check(const QString &location, Pages pages)
{
    return Dialect::of(location).check(location, pages);
}

Status prepare()
{
    const Status installed = installDeliveredFiles();
    if (!installed)
        return installed;
    return check(databasePath(), Pages::Later);
}

QSqlDatabase connection(const QString &location, Status *status)
{
    const QString k = key(location);
    auto it = opened().find(k);
    quint64 generation = 1;
    const bool reopened = it != opened().end();
    if (reopened) {
        QSqlDatabase db = QSqlDatabase::database(it->connectionName, false);
        if (db.isOpen() && !Dialect::of(k).lost(db))
            return db;
        // A server connection that was lost is opened afresh; what was
        // cached of it is read again.
        generation = it->generation + 1;
        const QString name = it->connectionName;
        opened().erase(it);
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    const QString name = QStringLiteral("bm-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QSqlDatabase db = Dialect::of(k).open(k, name, reopened, status);
    if (!db.isValid())
        return {};
    opened().insert(k, Open { name, generation });
    return db;
}

Status calendarIdentity(const QString &location, quint32 &identity)
{
    identity = 0;
    return Dialect::of(location).calendarIdentity(location, identity);
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

void close(const QString &location)
{
    const auto it = opened().constFind(key(location));
    if (it == opened().constEnd())
        return;
    const QString name = it->connectionName;
    opened().erase(it);
    live::stop(key(location));
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

quint64 generation(const QString &location)
{
    auto it = opened().constFind(key(location));
    return it == opened().constEnd() ? 0 : it->generation;
}

void bumpGeneration(const QString &location)
{
    auto it = opened().find(key(location));
    if (it != opened().end())
        ++it->generation;
}

void changed(const QString &location, const QString &table)
{
    bumpGeneration(location);
    DataChanges::instance().notify(location, table);
}

void sourceOpened(const QString &location)
{
    ++sources()[key(location)];
}

void sourceClosed(const QString &location)
{
    const auto it = sources().find(key(location));
    if (it == sources().end())
        return;
    if (--*it <= 0)
        sources().erase(it);
}

int openSources(const QString &location)
{
    return sources().value(key(location));
}

} // namespace bm::db
