#pragma once

#include "db/bookingpage.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QUrl>

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
};

// The client's link: 256 random bits, written in the URL-safe base64
// alphabet (43 characters), and the digest the database keeps of it.
QString newLinkToken();
bool isLinkToken(const QString &token);
QString linkDigest(const QString &token);

} // namespace bm::web
