// The booking page's service on the bytes of one client's connection: the
// HTTP library reads the request as it reads it from a socket and hands it
// to the site's routes, whose pages are filled from answers of its own; the
// same bytes are also read as a form. Whatever comes in, the service answers
// with a status line and the security headers, or closes the connection.

#include "fuzzsupport.h"

#include "web/config.h"
#include "web/form.h"
#include "web/service.h"
#include "web/site.h"

#include <QCryptographicHash>

#include <httplib.h>

#include <cstring>
#include <string>

using namespace bm;

namespace
{

// A connection whose client sent the input and closed.
class Connection : public httplib::Stream
{
public:
    explicit Connection(const QByteArray &in)
        : m_in(in)
    {
    }
    bool is_readable() const override { return m_at < m_in.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char *ptr, size_t size) override
    {
        const qsizetype n = std::min<qsizetype>(qsizetype(size), m_in.size() - m_at);
        std::memcpy(ptr, m_in.constData() + m_at, size_t(n));
        m_at += n;
        return ssize_t(n);
    }
    ssize_t write(const char *ptr, size_t size) override
    {
        out.append(ptr, qsizetype(size));
        return ssize_t(size);
    }
    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        ip = "192.0.2.1";
        port = 40000;
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        ip = "127.0.0.1";
        port = 8080;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

    QByteArray out;

private:
    QByteArray m_in;
    qsizetype m_at = 0;
};

// Answers as a small lodge's database would: two trips, a month of days
// in every state, one client's request.
class Lodge : public db::page::Source
{
public:
    Status service(db::page::Service &out) override
    {
        out = { QStringLiteral("Tall Pines <Guides>"), QStringLiteral("(555) 555-0100"),
            QStringLiteral("tp@example.com"), {} };
        return Status::ok();
    }
    Status trips(QList<db::page::Trip> &out) override
    {
        out = { { QStringLiteral("Half Day"), QStringLiteral("4 hours"), QStringLiteral("06:00"),
                    Money::fromUnits(2500000), Money::fromUnits(500000), 2 },
            { QStringLiteral("Full Day"), QString(), QString(), Money::fromUnits(4000000), Money(), 3 } };
        return Status::ok();
    }
    Status range(QDate &first, QDate &last) override
    {
        first = QDate(2027, 5, 3);
        last = QDate(2027, 7, 30);
        return Status::ok();
    }
    Status days(const QDate &first, const QDate &last, QList<db::page::Day> &out) override
    {
        out.clear();
        for (QDate d = first; d <= last && out.size() < 400; d = d.addDays(1))
            out.append({ d, db::page::DayState(d.day() % 4) });
        return Status::ok();
    }
    Status request(
        const db::page::Request &r, db::page::Outcome &out, const db::page::Compose &compose) override
    {
        FUZZ_CHECK(r.linkDigest.size() == 64);
        FUZZ_CHECK(r.name.size() <= 100 && r.note.size() <= 2000);
        out = r.day.day() % 2 ? db::page::Outcome::Made : db::page::Outcome::Full;
        // The mail about it is written from what the client sent.
        FUZZ_CHECK(compose);
        if (out == db::page::Outcome::Made)
            mailed({ { { QStringLiteral("Name"), r.name }, { QStringLiteral("Email"), r.email },
                         { QStringLiteral("Cell Phone"), r.phone }, { QStringLiteral("Notes"), r.note },
                         { QStringLiteral("Type"), r.trip },
                         { QStringLiteral("Date"), r.day.toString(Qt::ISODate) },
                         { QStringLiteral("Party Size"), QString::number(r.party) } },
                       {}, {} },
                compose);
        return Status::ok();
    }
    Status mailSetup(db::page::MailSetup &out) override
    {
        out = { QStringLiteral("mail.example.com"), QStringLiteral("587"), QStringLiteral("STARTTLS"), {},
            QStringLiteral("tp@example.com"), QStringLiteral("Tall Pines"),
            QStringLiteral("tp@example.com") };
        return Status::ok();
    }
    Status lookUp(const QString &digest, db::page::RequestState &out) override
    {
        out = {};
        if (digest == known)
            out = { true, QStringLiteral("requested"), QDate(2027, 5, 9), QStringLiteral("Half Day"),
                QStringLiteral("06:00"), QStringLiteral("2"), QString(), true };
        return Status::ok();
    }
    Status cancel(
        const QString &digest, db::page::CancelOutcome &out, const db::page::Compose &compose) override
    {
        out = digest == known ? db::page::CancelOutcome::Cancelled : db::page::CancelOutcome::Nothing;
        if (out == db::page::CancelOutcome::Cancelled)
            mailed({ { { QStringLiteral("Name"), QStringLiteral("Ann Lee") } }, {}, {} }, compose);
        return Status::ok();
    }
    // Whatever the client typed, a message's subject stays one line.
    static void mailed(const db::page::Booked &booked, const db::page::Compose &compose)
    {
        FUZZ_CHECK(compose);
        QList<db::page::Outgoing> mail;
        FUZZ_CHECK(compose(booked, mail));
        FUZZ_CHECK(!mail.isEmpty());
        for (const db::page::Outgoing &m : std::as_const(mail))
            FUZZ_CHECK(
                !m.subject.contains(u'\n') && !m.subject.contains(u'\r') && m.messageId.startsWith(u'<'));
    }
    // The digest of the link /r/AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.
    const QString known = web::linkDigest(QString(43, u'A'));
};

struct Harness {
    Lodge lodge;
    web::Site site { lodge, { QUrl(QStringLiteral("https://book.example.com")), 1000000 } };
    struct Server : httplib::Server {
        using httplib::Server::process_request;
    } server;
    Harness()
    {
        web::Config config;
        config.databaseUri = QStringLiteral("postgresql:///lodge");
        web::Service::configure(server, site, config);
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Harness harness;
    const QByteArray bytes = fuzz::bytesOf(data, size);

    Connection connection(bytes);
    bool closed = false;
    harness.server.process_request(connection, true, closed, nullptr);
    if (!connection.out.isEmpty()) {
        FUZZ_CHECK(connection.out.startsWith("HTTP/1.1 "));
        const qsizetype head = connection.out.indexOf("\r\n\r\n");
        FUZZ_CHECK(head > 0);
        const QByteArray headers = connection.out.left(head);
        FUZZ_CHECK(headers.contains("Content-Security-Policy: default-src 'none'"));
        FUZZ_CHECK(headers.contains("X-Content-Type-Options: nosniff"));
        FUZZ_CHECK(!connection.out.contains("<script"));
    }

    QHash<QByteArray, QString> fields;
    if (web::readForm(
            bytes, { "csrf", "trip", "day", "party", "name", "email", "phone", "note", "website" }, fields)) {
        FUZZ_CHECK(fields.size() <= 16);
        for (const QString &v : std::as_const(fields))
            FUZZ_CHECK(v.toUtf8().size() <= 4000);
    }
    return 0;
}
