#include "db/bookingpage.h"

#include "core/log.h"
#include "db/engine/migrations.h"
#include "db/engine/server.h"

#include <QAtomicInteger>
#include <QMutex>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <unordered_map>

namespace bm::db::page
{

namespace
{

QAtomicInteger<quintptr> gateways;

// The connection names each thread holds, by gateway.
thread_local std::unordered_map<quintptr, QString> held;

QMutex namesLock;
std::unordered_map<quintptr, QStringList> namesOf; // by gateway, for its end

DayState dayState(const QString &s)
{
    if (s == QLatin1String("open"))
        return DayState::Open;
    if (s == QLatin1String("few"))
        return DayState::Few;
    if (s == QLatin1String("full"))
        return DayState::Full;
    return DayState::Closed;
}

Money amount(const QVariant &v)
{
    return Money::fromUnits(v.isNull() ? 0 : v.toLongLong());
}

// A statement with its values bound (never written into it) on the
// calling thread's connection, opened when there is none or the server lost
// it. A read that finds the connection lost is tried once more on a new one;
// a write is not (it may have been done).
class Call
{
public:
    Call(const QString &uri, quintptr gateway, bool retry)
        : m_uri(uri)
        , m_gateway(gateway)
        , m_retry(retry)
    {
    }

    Status run(const QString &sql, const QVariantList &values)
    {
        for (int attempt = 0;; ++attempt) {
            Status s;
            QSqlDatabase db = connection(&s);
            if (!db.isValid())
                return s;
            m_query = QSqlQuery(db);
            m_query.setForwardOnly(true);
            if (m_query.prepare(sql)) {
                for (const QVariant &v : values)
                    m_query.addBindValue(v);
                if (m_query.exec())
                    return Status::ok();
            }
            const QString reason = m_query.lastError().text();
            qCWarning(dataLog).noquote() << QStringLiteral("%1: the booking page's call \"%2\" failed: %3")
                                                .arg(server::displayName(m_uri), sql, reason);
            const bool lost = server::lost(db);
            m_query = QSqlQuery();
            db = QSqlDatabase();
            if (lost)
                forget();
            if (!lost || !m_retry || attempt > 0)
                return server::failure(m_uri,
                    lost ? QStringLiteral("can not be reached.")
                         : QStringLiteral("refused the page's call."));
        }
    }

    QSqlQuery &query() { return m_query; }

private:
    QSqlDatabase connection(Status *status)
    {
        auto it = held.find(m_gateway);
        if (it != held.end()) {
            QSqlDatabase db = QSqlDatabase::database(it->second, false);
            if (db.isValid() && db.isOpen() && !server::lost(db))
                return db;
            forget();
        }
        static QAtomicInteger<quint64> counter;
        const QString name = QStringLiteral("bm-page-%1-%2").arg(m_gateway).arg(++counter);
        QSqlDatabase db = server::open(m_uri, name, status, server::Layout::AsItIs);
        if (!db.isValid())
            return db;
        held[m_gateway] = name;
        QMutexLocker lock(&namesLock);
        namesOf[m_gateway] << name;
        return db;
    }

    void forget()
    {
        auto it = held.find(m_gateway);
        if (it == held.end())
            return;
        const QString name = it->second;
        held.erase(it);
        {
            QMutexLocker lock(&namesLock);
            namesOf[m_gateway].removeAll(name);
        }
        QSqlDatabase::removeDatabase(name);
    }

    QString m_uri;
    quintptr m_gateway;
    bool m_retry;
    QSqlQuery m_query;
};

} // namespace

Gateway::Gateway(const QString &uri)
    : m_uri(uri)
    , m_id(++gateways)
{
}

Gateway::~Gateway()
{
    // The threads that called are done by now (the service stops them first).
    held.erase(m_id);
    QStringList names;
    {
        QMutexLocker lock(&namesLock);
        names = namesOf[m_id];
        namesOf.erase(m_id);
    }
    for (const QString &name : names)
        QSqlDatabase::removeDatabase(name);
}

Status Gateway::check()
{
    Call c(m_uri, m_id, true);
    if (Status s = c.run(QStringLiteral("SELECT bm_web_layout()"), {}); !s)
        return s;
    const qlonglong layout = c.query().next() ? c.query().value(0).toLongLong() : -1;
    if (layout != migrations::currentVersion)
        return server::failure(m_uri,
            QStringLiteral("has layout %1, this version of Brindlemoor needs layout %2: start a desk of this "
                           "version on it first.")
                .arg(layout)
                .arg(migrations::currentVersion));
    return Status::ok();
}

Status Gateway::service(Service &out)
{
    out = {};
    Call c(m_uri, m_id, true);
    if (Status s = c.run(QStringLiteral("SELECT name, phone, email, website FROM bm_web_service()"), {}); !s)
        return s;
    if (c.query().next())
        out = { c.query().value(0).toString(), c.query().value(1).toString(), c.query().value(2).toString(),
            c.query().value(3).toString() };
    return Status::ok();
}

Status Gateway::trips(QList<Trip> &out)
{
    out.clear();
    Call c(m_uri, m_id, true);
    if (Status s = c.run(
            QStringLiteral("SELECT trip, length, start, price, deposit, largest FROM bm_web_trips()"), {});
        !s)
        return s;
    while (c.query().next())
        out.append(
            { c.query().value(0).toString(), c.query().value(1).toString(), c.query().value(2).toString(),
                amount(c.query().value(3)), amount(c.query().value(4)), c.query().value(5).toInt() });
    return Status::ok();
}

Status Gateway::range(QDate &first, QDate &last)
{
    first = last = QDate();
    Call c(m_uri, m_id, true);
    if (Status s = c.run(QStringLiteral("SELECT first_day, last_day FROM bm_web_window()"), {}); !s)
        return s;
    if (c.query().next()) {
        first = c.query().value(0).toDate();
        last = c.query().value(1).toDate();
    }
    return Status::ok();
}

Status Gateway::days(const QDate &first, const QDate &last, QList<Day> &out)
{
    out.clear();
    Call c(m_uri, m_id, true);
    if (Status s = c.run(QStringLiteral("SELECT day, state FROM bm_web_days(?, ?)"), { first, last }); !s)
        return s;
    while (c.query().next())
        out.append({ c.query().value(0).toDate(), dayState(c.query().value(1).toString()) });
    return Status::ok();
}

Status Gateway::request(const Request &r, Outcome &out)
{
    out = Outcome::Invalid;
    Call c(m_uri, m_id, false);
    if (Status s = c.run(QStringLiteral("SELECT bm_web_request(?, ?, ?, ?, ?, ?, ?, ?)"),
            { r.trip, r.day, r.party, r.name, r.email, r.phone, r.note, r.linkDigest });
        !s)
        return s;
    const QString answer = c.query().next() ? c.query().value(0).toString() : QString();
    if (answer == QLatin1String("made"))
        out = Outcome::Made;
    else if (answer == QLatin1String("full"))
        out = Outcome::Full;
    else if (answer == QLatin1String("closed"))
        out = Outcome::Closed;
    else if (answer == QLatin1String("trip"))
        out = Outcome::UnknownTrip;
    else if (answer == QLatin1String("party"))
        out = Outcome::PartyTooLarge;
    return Status::ok();
}

Status Gateway::lookUp(const QString &linkDigest, RequestState &out)
{
    out = {};
    Call c(m_uri, m_id, true);
    if (Status s = c.run(QStringLiteral("SELECT state, day, trip, start, party, reason, cancellable "
                                        "FROM bm_web_status(?)"),
            { linkDigest });
        !s)
        return s;
    if (c.query().next())
        out = { true, c.query().value(0).toString(), c.query().value(1).toDate(),
            c.query().value(2).toString(), c.query().value(3).toString(), c.query().value(4).toString(),
            c.query().value(5).toString(), c.query().value(6).toBool() };
    return Status::ok();
}

Status Gateway::cancel(const QString &linkDigest, CancelOutcome &out)
{
    out = CancelOutcome::Nothing;
    Call c(m_uri, m_id, false);
    if (Status s = c.run(QStringLiteral("SELECT bm_web_cancel(?)"), { linkDigest }); !s)
        return s;
    const QString answer = c.query().next() ? c.query().value(0).toString() : QString();
    if (answer == QLatin1String("cancelled"))
        out = CancelOutcome::Cancelled;
    else if (answer == QLatin1String("late"))
        out = CancelOutcome::TooLate;
    return Status::ok();
}

} // namespace bm::db::page
