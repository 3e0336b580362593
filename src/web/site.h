#pragma once

#include "db/bookingpage.h"
#include "web/pagemail.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <utility>

// The booking page itself, apart from the HTTP library that carries it: a
// request in, a response out. Everything a client sends is checked here
// before the database sees it (the database checks again).
namespace bm::web
{

struct Incoming {
    QByteArray method; // GET, HEAD or POST
    QByteArray path; // without the query
    QHash<QByteArray, QString> query; // decoded
    QByteArray contentType;
    QByteArray cookie; // the Cookie header
    QByteArray body;
    QString client; // the client's address
};

using Headers = QList<std::pair<QByteArray, QByteArray>>;

struct Outgoing {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    Headers headers;
};

// How many requests one client address may send in an hour; the oldest
// leaves the count an hour after it came.
class RequestLimit
{
public:
    explicit RequestLimit(int perHour);
    // Whether one more request from the address is taken now (seconds since
    // any fixed start); when not, how many seconds until one is.
    bool admit(const QString &client, qint64 now, int &retryAfter);

private:
    int m_perHour;
    QMutex m_lock;
    QHash<QString, QList<qint64>> m_times;
    qint64 m_lastSweep = 0;
};

// What the page read or made from the database, kept for a moment by key
// so that a crowd asking for the same thing costs one reading; forgotten
// all at once when the page itself changes what it shows.
template <typename Key, typename Value> class Kept
{
public:
    explicit Kept(qint64 keptMs, qsizetype most = 64)
        : m_keptMs(keptMs)
        , m_most(most)
    {
    }
    // The value kept for the key if it is younger than the time kept (now
    // in milliseconds since any fixed start).
    bool find(const Key &key, qint64 now, Value &out) const
    {
        QMutexLocker lock(&m_lock);
        const auto kept = m_values.constFind(key);
        if (kept == m_values.cend() || now - kept->second > m_keptMs)
            return false;
        out = kept->first;
        return true;
    }
    // Which forgetting it is; a value read before the last forget() is
    // stale and is not kept.
    quint64 generation() const
    {
        QMutexLocker lock(&m_lock);
        return m_generation;
    }
    void keep(const Key &key, qint64 now, const Value &value, quint64 readIn)
    {
        QMutexLocker lock(&m_lock);
        if (readIn != m_generation)
            return;
        if (m_values.size() >= m_most)
            m_values.clear();
        m_values.insert(key, { value, now });
    }
    void forget()
    {
        QMutexLocker lock(&m_lock);
        m_values.clear();
        ++m_generation;
    }

private:
    const qint64 m_keptMs;
    const qsizetype m_most;
    mutable QMutex m_lock;
    QHash<Key, std::pair<Value, qint64>> m_values;
    quint64 m_generation = 0;
};

class Site
{
public:
    struct Settings {
        QUrl publicUrl; // the page's own address, for the client's link
        int requestsPerHour = 5;
    };

    Site(db::page::Source &source, const Settings &settings);
    ~Site();

    Outgoing answer(const Incoming &in);

    // Called (on the answering thread) when a request or a cancel put mail
    // into the outbox.
    void setMailQueued(std::function<void()> mailQueued) { m_mailQueued = std::move(mailQueued); }

    // The headers every response carries, errors of the HTTP library's own
    // included.
    static Headers securityHeaders();

    // A page for an error status with nothing in it but what the status
    // means: no path, statement or trace.
    Outgoing errorPage(int status) const;

    // The longest body taken.
    static constexpr qsizetype maxBody = 16 * 1024;

private:
    struct Templates;
    // What every page shows and changes only when a guide edits it: read
    // from the database at most every few seconds, not for each page.
    struct Offer {
        db::page::Service service;
        QList<db::page::Trip> trips;
        QDate first, last; // the days the page may offer
    };
    [[nodiscard]] Status offer(Offer &out) const;
    // The states of the days the form shows and the month views, likewise
    // kept a moment: what the page shows of a day may lag a desk's change by
    // as long, never the database's own count when a request is sent. A
    // request or a cancel made here forgets them at once.
    [[nodiscard]] Status shownDays(QDate first, QDate last, QList<db::page::Day> &out);
    void forgetDays();
    struct FormState {
        QHash<QByteArray, QString> values;
        QStringList problems;
    };

    Outgoing month(const Incoming &in);
    Outgoing requestForm(const Incoming &in);
    Outgoing sendRequest(const Incoming &in);
    Outgoing form(const FormState &form, const QByteArray &csrf, int status);
    Outgoing clientPage(const Incoming &in, const QString &token, bool sent, const QString &note);
    Outgoing cancelTrip(const Incoming &in, const QString &token);
    Outgoing unavailable() const;
    Outgoing message(int status, const QString &heading, const QString &text) const;
    QByteArray page(const QString &title, const QByteArray &body) const;
    QString link(const QString &token) const;
    // The form's token against forged requests: the one the browser holds
    // in its cookie, or a new one; a form sent must carry the same.
    static QByteArray csrfOf(const Incoming &in);
    static bool csrfHolds(const Incoming &in, const QString &sent);

    db::page::Source &m_source;
    Settings m_settings;
    std::unique_ptr<Templates> m_templates;
    RequestLimit m_limit;
    QElapsedTimer m_clock;
    mutable QMutex m_offerLock;
    mutable Offer m_offer;
    mutable QElapsedTimer m_offerRead;
    Kept<std::pair<QDate, QDate>, QList<db::page::Day>> m_days { 2000 };
    Kept<QDate, QByteArray> m_months { 2000 }; // a month view's page by its first day
    PageMail m_mail { m_source };
    std::function<void()> m_mailQueued;
};

// The client's link: 256 random bits, written in the URL-safe base64
// alphabet (43 characters), and the digest the database keeps of it.
QString newLinkToken();
bool isLinkToken(const QString &token);
QString linkDigest(const QString &token);

} // namespace bm::web
