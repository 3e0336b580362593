#include "db/bookingpage.h"

#include "core/log.h"
#include "db/engine/migrations.h"
#include "db/engine/server.h"
#include "schema/fields.h"

#include <QAtomicInteger>
#include <QJsonDocument>
#include <QJsonObject>
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

// The fields of a JSON object the server made, numbers whole where they are.
QVariantHash jsonFields(const QString &text)
{
    QVariantHash out;
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QJsonValue v = it.value();
        if (v.isDouble() && v.toDouble() == double(qint64(v.toDouble())))
            out.insert(it.key(), qint64(v.toDouble()));
        else if (!v.isNull())
            out.insert(it.key(), v.toVariant());
    }
    return out;
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
            const bool lost = server::lost(db);
            m_query = QSqlQuery();
            const Status failed = lostOrRefused(db, sql, reason);
            if (!lost || !m_retry || attempt > 0 || m_transaction.isValid())
                return failed;
        }
    }

    QSqlQuery &query() { return m_query; }

    // A transaction on the thread's connection: the calls until commit()
    // or rollback() run on that connection or fail, never on a new one.
    Status begin()
    {
        Status s;
        QSqlDatabase db = connection(&s);
        if (!db.isValid())
            return s;
        if (!db.transaction())
            return lostOrRefused(db, QStringLiteral("BEGIN"), db.lastError().text());
        m_transaction = db;
        return Status::ok();
    }

    Status commit()
    {
        QSqlDatabase db = m_transaction;
        m_query = QSqlQuery();
        m_transaction = QSqlDatabase();
        if (db.isValid() && db.commit())
            return Status::ok();
        return lostOrRefused(db, QStringLiteral("COMMIT"), db.lastError().text());
    }

    void rollback()
    {
        m_query = QSqlQuery();
        if (m_transaction.isValid())
            m_transaction.rollback();
        m_transaction = QSqlDatabase();
    }

private:
    Status lostOrRefused(QSqlDatabase &db, const QString &sql, const QString &reason)
    {
        qCWarning(dataLog).noquote() << QStringLiteral("%1: the booking page's call \"%2\" failed: %3")
                                            .arg(server::displayName(m_uri), sql, reason);
        const bool lost = !db.isValid() || server::lost(db);
        db = QSqlDatabase();
        if (lost)
            forget();
        return server::failure(
            m_uri, lost ? QStringLiteral("can not be reached.") : QStringLiteral("refused the page's call."));
    }

    QSqlDatabase connection(Status *status)
    {
        if (m_transaction.isValid()) {
            if (m_transaction.isOpen() && !server::lost(m_transaction))
                return m_transaction;
            *status = server::failure(m_uri, QStringLiteral("can not be reached."));
            return QSqlDatabase();
        }
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
    QSqlDatabase m_transaction; // while one is open
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

Status Gateway::change(const QString &sql, const QVariantList &values, const QString &done,
    const QString &link, const Compose &compose, QString &answer)
{
    answer.clear();
    Call c(m_uri, m_id, false);
    if (compose)
        if (Status s = c.begin(); !s)
            return s;
    const auto failed = [&](const Status &s) {
        c.rollback();
        return s;
    };
    if (Status s = c.run(sql, values); !s)
        return failed(s);
    answer = c.query().next() ? c.query().value(0).toString() : QString();
    if (!compose)
        return Status::ok();
    if (answer == done) {
        if (Status s
            = c.run(QStringLiteral("SELECT booking::text, guide::text, reason FROM bm_web_mail_booking(?)"),
                { link });
            !s)
            return failed(s);
        Booked booked;
        if (c.query().next()) {
            booked.booking = jsonFields(c.query().value(0).toString());
            booked.guide = jsonFields(c.query().value(1).toString());
            booked.reason = c.query().value(2).toString();
        }
        QList<Outgoing> mail;
        if (Status s = compose(booked, mail); !s)
            return failed(s);
        for (const Outgoing &m : std::as_const(mail)) {
            if (Status s = c.run(QStringLiteral("SELECT bm_web_mail_queue(?, ?, ?, ?, ?)"),
                    { link, m.kind, m.subject, m.body, m.messageId });
                !s)
                return failed(s);
            if (!(c.query().next() && c.query().value(0).toBool()))
                qCInfo(dataLog).noquote()
                    << QStringLiteral("%1: the server queued no \"%2\" message for the request.")
                           .arg(server::displayName(m_uri), m.kind);
        }
    }
    return c.commit();
}

Status Gateway::request(const Request &r, Outcome &out, const Compose &compose)
{
    out = Outcome::Invalid;
    QString answer;
    if (Status s = change(QStringLiteral("SELECT bm_web_request(?, ?, ?, ?, ?, ?, ?, ?)"),
            { r.trip, r.day, r.party, r.name, r.email, r.phone, r.note, r.linkDigest },
            QStringLiteral("made"), r.linkDigest, compose, answer);
        !s)
        return s;
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

Status Gateway::cancel(const QString &linkDigest, CancelOutcome &out, const Compose &compose)
{
    out = CancelOutcome::Nothing;
    QString answer;
    if (Status s = change(QStringLiteral("SELECT bm_web_cancel(?)"), { linkDigest },
            QStringLiteral("cancelled"), linkDigest, compose, answer);
        !s)
        return s;
    if (answer == QLatin1String("cancelled"))
        out = CancelOutcome::Cancelled;
    else if (answer == QLatin1String("late"))
        out = CancelOutcome::TooLate;
    return Status::ok();
}

Status Gateway::mailSetup(MailSetup &out)
{
    out = {};
    Call c(m_uri, m_id, true);
    if (Status s = c.run(QStringLiteral("SELECT server, port, security, login, sender_address, sender_name, "
                                        "guide_address FROM bm_web_mail_setup()"),
            {});
        !s)
        return s;
    if (c.query().next())
        out = { c.query().value(0).toString(), c.query().value(1).toString(), c.query().value(2).toString(),
            c.query().value(3).toString(), c.query().value(4).toString(), c.query().value(5).toString(),
            c.query().value(6).toString() };
    return Status::ok();
}

Status Gateway::mailTexts(QList<MailText> &out)
{
    out.clear();
    Call c(m_uri, m_id, true);
    if (Status s
        = c.run(QStringLiteral("SELECT kind, send, subject, body, days FROM bm_web_mail_texts()"), {});
        !s)
        return s;
    while (c.query().next())
        out.append({ c.query().value(0).toString(), c.query().value(1).toString(),
            c.query().value(2).toString(), c.query().value(3).toString(), c.query().value(4).toString() });
    return Status::ok();
}

Status Gateway::take(const QString &sender, const QDateTime &, int most, int, QList<outbox::Message> &out)
{
    out.clear();
    Call c(m_uri, m_id, false);
    if (Status s
        = c.run(QStringLiteral("SELECT id, kind, recipient, recipient_name, subject, body, message_id, "
                               "tries, made, claim FROM bm_web_mail_take(?, ?)"),
            { sender, most });
        !s)
        return s;
    QSqlQuery &q = c.query();
    while (q.next()) {
        outbox::Message m;
        m.id = q.value(0).toLongLong();
        m.kind = q.value(1).toString();
        m.recipient = q.value(2).toString();
        m.recipientName = q.value(3).toString();
        m.subject = q.value(4).toString();
        m.body = q.value(5).toString();
        m.messageId = q.value(6).toString();
        m.tries = q.value(7).toString().toInt();
        m.made = QDateTime::fromString(q.value(8).toString(), Qt::ISODateWithMs).toUTC();
        m.claim = q.value(9).toString();
        m.state = QLatin1String(mailState::sending);
        out.append(m);
    }
    return Status::ok();
}

Status Gateway::done(const outbox::Message &message, const char *state, const QString &reason,
    const QDateTime &nextTry, bool &taken)
{
    taken = false;
    Call c(m_uri, m_id, false);
    if (Status s = c.run(QStringLiteral("SELECT bm_web_mail_done(?, ?, ?, ?, ?)"),
            { message.id, message.claim, QLatin1String(state), reason,
                nextTry.isValid() ? outbox::stamp(nextTry) : QString() });
        !s)
        return s;
    taken = c.query().next() && c.query().value(0).toBool();
    return Status::ok();
}

Status Gateway::markSent(const outbox::Message &message, const QDateTime &, bool &taken)
{
    return done(message, mailState::sent, {}, {}, taken);
}

Status Gateway::putOff(
    const outbox::Message &message, const QString &reason, const QDateTime &nextTry, bool &taken)
{
    return done(message, mailState::queued, reason, nextTry, taken);
}

Status Gateway::end(const outbox::Message &message, const char *state, const QString &reason, bool &taken)
{
    return done(message, state, reason, {}, taken);
}

Status Gateway::release(const outbox::Message &message, bool &taken)
{
    return done(message, "Released", {}, {}, taken);
}

} // namespace bm::db::page
