#include "db/engine/live.h"

#include "core/log.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/engine/server.h"
#include "schema/schema.h"

#include <QHash>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <QTimer>

#include <libpq-fe.h>

#include <atomic>
#include <memory>
#include <utility>

namespace bm::db::live
{

namespace
{

// Follows one shared database: hears the server's announcements on the
// gateway's connection, and watches that connection.
class Follower : public QObject
{
public:
    explicit Follower(const QString &location)
        : m_location(location)
    {
        m_watch.setInterval(watchMs);
        connect(&m_watch, &QTimer::timeout, this, &Follower::watch);
        m_watch.start();
    }

    ~Follower() override
    {
        if (m_probe) // a child: deleted once it is done
            m_probe->wait();
    }

    void attach(const QString &connectionName, bool reopened)
    {
        m_connection = connectionName;
        m_retryMs = watchMs;
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        QSqlDriver *driver = db.driver();
        if (!driver)
            return;
        if (!driver->subscribeToNotification(QLatin1String(channel))) {
            qCWarning(dataLog).noquote()
                << QStringLiteral("%1: what other desks save can not be heard (%2).")
                       .arg(server::displayName(m_location), driver->lastError().text());
            return;
        }
        connect(driver, &QSqlDriver::notification, this, &Follower::heard, Qt::UniqueConnection);
        if (reopened) {
            // Whatever was saved while this desk could not hear: every
            // table is read again, once the caller that reopened is done.
            qCInfo(dataLog).noquote() << QStringLiteral("%1 answers again; every list is read anew.")
                                             .arg(server::displayName(m_location));
            for (const TableDef &t : schema::tables())
                changedElsewhere(t.name);
        }
    }

private:
    void heard(const QString &name, QSqlDriver::NotificationSource source, const QVariant &payload)
    {
        // This desk's own writes were said when they were made.
        if (source == QSqlDriver::SelfSource || name != QLatin1String(channel))
            return;
        const QString table = payload.toString();
        if (schema::table(table))
            changedElsewhere(table);
    }

    // What was cached is stale at once; the windows are told later, from
    // the event loop, each table once however often it was written
    // meanwhile. The driver says what it heard from inside its own reading
    // of the connection, which the windows' reads would re-enter (and
    // which a connection opened afresh by them would delete under it); and
    // a lodge saving faster than this desk reads its lists would otherwise
    // keep it reading them and never let it paint or close a window.
    void changedElsewhere(const QString &table)
    {
        bumpGeneration(m_location);
        if (m_heard.contains(table))
            return;
        m_heard.append(table);
        if (m_heard.size() == 1)
            QMetaObject::invokeMethod(this, &Follower::tell, Qt::QueuedConnection);
    }

    void tell()
    {
        const QStringList tables = std::exchange(m_heard, {});
        for (const QString &table : tables)
            DataChanges::instance().notifyFromElsewhere(m_location, table);
    }

    // A connection the server has lost is opened again once the server
    // answers. Whether it answers is asked on a thread of its own, so that
    // a server out of reach does not hold the windows up.
    void watch()
    {
        if (m_probe || (m_waitedMs += watchMs) < m_retryMs)
            return;
        m_waitedMs = 0;
        const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid() && !server::lost(db))
            return;
        auto answers = std::make_shared<std::atomic<bool>>(false);
        const QByteArray uri = m_location.toUtf8();
        m_probe = QThread::create([uri, answers] {
            const char *keys[] = { "dbname", "connect_timeout", nullptr };
            const char *values[] = { uri.constData(), "10", nullptr };
            *answers = PQpingParams(keys, values, 1) == PQPING_OK;
        });
        m_probe->setParent(this);
        connect(m_probe, &QThread::finished, this, [this, answers] {
            m_probe->deleteLater();
            m_probe = nullptr;
            if (!*answers) {
                m_retryMs = std::min(m_retryMs * 2, longestRetryMs);
                return;
            }
            Status s;
            (void)connection(m_location, &s); // follow() is called again when it opens
            if (!s)
                m_retryMs = std::min(m_retryMs * 2, longestRetryMs);
        });
        m_probe->start();
    }

    QString m_location;
    QString m_connection;
    QTimer m_watch;
    QPointer<QThread> m_probe;
    QStringList m_heard; // tables written elsewhere, not yet told
    int m_retryMs = watchMs;
    int m_waitedMs = 0;
};

QHash<QString, Follower *> &followers()
{
    static QHash<QString, Follower *> map;
    return map;
}

} // namespace

void follow(const QString &location, const QString &connectionName, bool reopened)
{
    Follower *&f = followers()[location];
    if (!f)
        f = new Follower(location);
    f->attach(connectionName, reopened);
}

void stop(const QString &location)
{
    delete followers().take(location);
}

void stopAll()
{
    qDeleteAll(followers());
    followers().clear();
}

} // namespace bm::db::live
