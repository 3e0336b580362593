#include "pagefixture.h"
#include "serverdb.h"

#include "db/bookingpage.h"
#include "web/config.h"
#include "web/service.h"
#include "web/site.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <httplib.h>

#include <memory>

using namespace bm;

namespace
{

// The page served on a free port of this machine, on a thread of its own.
class Served
{
public:
    Served(const QString &uri, int requestsPerHour = 100)
        : m_source(uri)
        , m_site(m_source, { QUrl(QStringLiteral("https://book.example.com")), requestsPerHour })
    {
        web::Config config;
        config.databaseUri = uri;
        config.port = 0;
        config.threads = 4;
        m_service = std::make_unique<web::Service>(m_site, config);
        m_bound = m_service->bind();
        if (!m_bound)
            return;
        m_thread.reset(QThread::create([this] { m_service->run(); }));
        m_thread->start();
    }
    ~Served()
    {
        m_service->stop();
        if (m_thread)
            m_thread->wait();
    }
    bool bound() const { return bool(m_bound); }
    int port() const { return m_service->port(); }
    httplib::Client client() const
    {
        httplib::Client c("127.0.0.1", port());
        c.set_read_timeout(20);
        return c;
    }

private:
    db::page::Gateway m_source;
    web::Site m_site;
    std::unique_ptr<web::Service> m_service;
    std::unique_ptr<QThread> m_thread;
    Status m_bound;
};

QString body(const httplib::Result &r)
{
    return r ? QString::fromStdString(r->body) : QString();
}

// The token of the form's cookie and its field, from a form page.
QByteArray csrfOf(const httplib::Result &r)
{
    const QRegularExpression field(QStringLiteral("name=\"csrf\" value=\"([0-9a-f]{64})\""));
    const QRegularExpressionMatch m = field.match(body(r));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

QByteArray form(const QList<std::pair<QByteArray, QByteArray>> &fields)
{
    QByteArrayList parts;
    for (const auto &[name, value] : fields)
        parts << name + '=' + value;
    return parts.join('&');
}

} // namespace

class TestSite : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void monthShowsTheDays();
    void requestAndTheClientsLink();
    void hostileRequestsWriteNothing_data();
    void hostileRequestsWriteNothing();
    void requestsPerAddressAreCapped();
    void everyAnswerCarriesTheHeaders_data();
    void everyAnswerCarriesTheHeaders();
    void brokenHttpNeverStopsTheService();
    void failuresSayNothingOfTheInside();

private:
    httplib::Result post(httplib::Client &c, const std::string &path, const QByteArray &cookie,
        const QByteArray &data, const char *type = "application/x-www-form-urlencoded")
    {
        httplib::Headers h;
        if (!cookie.isEmpty())
            h.emplace("Cookie", "bm_csrf=" + cookie.toStdString());
        return c.Post(path.c_str(), h, data.toStdString(), type);
    }
    QList<std::pair<QByteArray, QByteArray>> goodForm(const QByteArray &csrf) const
    {
        return { { "csrf", csrf }, { "trip", "Full+Day" }, { "day", m_day.toString(Qt::ISODate).toLatin1() },
            { "party", "2" }, { "name", "Ann+Lee" }, { "email", "ann%40example.com" },
            { "phone", "555-0100" }, { "note", "First+time" }, { "website", "" } };
    }

    test::PageServer m_server;
    QDate m_day;
};

void TestSite::init()
{
    BM_REQUIRE_SERVER();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(m_server.setUp(QStringLiteral("site")));
    m_day = m_server.dayAhead(10);
}

void TestSite::cleanup()
{
    m_server.tearDown();
}

void TestSite::monthShowsTheDays()
{
    const QDate taken = m_server.dayAhead(11);
    QVERIFY(m_server.sql(QStringLiteral("INSERT INTO \"Booking\" (\"Date\", \"Name\", \"Email\") VALUES (?, "
                                        "'Secret Client', 'secret@example.com')"),
        { taken.toString(Qt::ISODate) }));
    QVERIFY(m_server.sql(QStringLiteral("UPDATE \"Guide Info\" SET \"Guide Name\" = 'Tall <Pines> Guides'")));
    Served served(m_server.webUri());
    QVERIFY(served.bound());
    httplib::Client c = served.client();
    const QString month = taken.toString(QStringLiteral("yyyy-MM"));
    const auto r = c.Get(("/?month=" + month).toStdString().c_str());
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    const QString page = body(r);
    QVERIFY(page.contains(QLatin1String("Tall &lt;Pines&gt; Guides")));
    QVERIFY(!page.contains(QLatin1String("<Pines>")));
    QVERIFY2(
        page.contains(
            QStringLiteral("aria-label=\"%1: open\"").arg(QLocale().toString(m_day, QLocale::LongFormat))),
        "an open day is a link that says so");
    QVERIFY2(QRegularExpression(
                 QStringLiteral("<td class=\"full\"><span class=\"number\">%1</span>").arg(taken.day()))
                 .match(page)
                 .hasMatch(),
        "the booked day is full and no link");
    QVERIFY(page.contains(QLatin1String("Half Day")));
    for (const char *secret : { "Secret Client", "secret@example.com" })
        QVERIFY2(!page.contains(QLatin1String(secret)), secret);
    // A month far away or not a month shows what can be shown.
    for (const char *asked : { "/?month=2999-01", "/?month=zz", "/?month=2026-13" }) {
        const auto other = c.Get(asked);
        QVERIFY(other);
        QCOMPARE(other->status, 200);
    }
}

void TestSite::requestAndTheClientsLink()
{
    Served served(m_server.webUri());
    QVERIFY(served.bound());
    httplib::Client c = served.client();
    const std::string month = "/?month=" + m_day.toString(QStringLiteral("yyyy-MM")).toStdString();
    const auto dayIs = [&](const char *state) {
        return body(c.Get(month.c_str()))
            .contains(QStringLiteral("aria-label=\"%1: %2\"")
                          .arg(QLocale().toString(m_day, QLocale::LongFormat), QLatin1String(state)));
    };
    QVERIFY(dayIs("open"));
    const auto page = c.Get(("/request?day=" + m_day.toString(Qt::ISODate)).toStdString().c_str());
    QVERIFY(page);
    QCOMPARE(page->status, 200);
    const QByteArray csrf = csrfOf(page);
    QVERIFY(!csrf.isEmpty());
    QVERIFY(QString::fromStdString(page->get_header_value("Set-Cookie"))
                .startsWith(QStringLiteral("bm_csrf=") + QString::fromLatin1(csrf)));
    QVERIFY(body(page).contains(QStringLiteral("value=\"%1\" selected").arg(m_day.toString(Qt::ISODate))));

    const auto sent = post(c, "/request", csrf, form(goodForm(csrf)));
    QVERIFY(sent);
    QCOMPARE(sent->status, 303);
    const QString location = QString::fromStdString(sent->get_header_value("Location"));
    const QRegularExpressionMatch link
        = QRegularExpression(QStringLiteral("^/r/([A-Za-z0-9_-]{43})\\?sent=1$")).match(location);
    QVERIFY2(link.hasMatch(), qPrintable(location));
    QCOMPARE(m_server.value(QStringLiteral("SELECT concat_ws('|', \"Status\", \"Name\", \"Party Size\") FROM "
                                           "\"Booking\"")),
        QStringLiteral("Requested|Ann Lee|2"));
    QVERIFY2(!dayIs("open"), "the page's own request shows at once, not after the days kept expire");

    const auto shown = c.Get(location.toStdString().c_str());
    QVERIFY(shown);
    QCOMPARE(shown->status, 200);
    QVERIFY(body(shown).contains(QLatin1String("Requested: waiting for the guide")));
    QVERIFY(body(shown).contains(QStringLiteral("https://book.example.com/r/") + link.captured(1)));
    QVERIFY(body(shown).contains(QLatin1String("Cancel my trip")));

    QVERIFY(m_server.sql(QStringLiteral("UPDATE \"Booking\" SET \"Status\" = 'Confirmed'")));
    const std::string mine = "/r/" + link.captured(1).toStdString();
    QVERIFY(body(c.Get(mine.c_str())).contains(QLatin1String("Confirmed")));

    // Only with the form's token.
    const auto forged = post(c, mine + "/cancel", csrf, "csrf=" + QByteArray(64, 'a'));
    QVERIFY(forged);
    QCOMPARE(forged->status, 403);
    const auto cancelled = post(c, mine + "/cancel", csrf, "csrf=" + csrf);
    QVERIFY(cancelled);
    QCOMPARE(cancelled->status, 303);
    QCOMPARE(
        m_server.value(QStringLiteral("SELECT \"Status\" FROM \"Booking\"")), QStringLiteral("Cancelled"));
    QVERIFY(body(c.Get(mine.c_str())).contains(QLatin1String("Cancelled")));
    QVERIFY2(dayIs("open"), "a cancelled trip's place is offered again at once");

    // A link nobody was given.
    QString other = link.captured(1);
    other[0] = other[0] == u'A' ? u'B' : u'A';
    const auto unknown = c.Get(("/r/" + other).toStdString().c_str());
    QVERIFY(unknown);
    QCOMPARE(unknown->status, 404);
}

void TestSite::hostileRequestsWriteNothing_data()
{
    QTest::addColumn<QByteArray>("field"); // the field changed ("cookie": the cookie; "": none)
    QTest::addColumn<QByteArray>("value"); // its new value, or "-" to leave it out
    QTest::addColumn<QByteArray>("extra"); // appended to the body
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<int>("status");

    const QByteArray form = "application/x-www-form-urlencoded";
    QTest::newRow("no form token") << QByteArray("csrf") << QByteArray("-") << QByteArray() << form << 403;
    QTest::newRow("another browser's token")
        << QByteArray("csrf") << QByteArray(64, 'b') << QByteArray() << form << 403;
    QTest::newRow("no cookie") << QByteArray("cookie") << QByteArray() << QByteArray() << form << 403;
    QTest::newRow("the field nobody sees")
        << QByteArray("website") << QByteArray("http://spam.example") << QByteArray() << form << 400;
    QTest::newRow("a field of its own")
        << QByteArray() << QByteArray() << QByteArray("&admin=1") << form << 400;
    QTest::newRow("a field twice") << QByteArray() << QByteArray() << QByteArray("&name=Bob") << form << 400;
    QTest::newRow("a broken escape") << QByteArray("name") << QByteArray("Ann%zz") << QByteArray() << form
                                     << 400;
    QTest::newRow("not UTF-8") << QByteArray("name") << QByteArray("Ann%ff%fe") << QByteArray() << form
                               << 400;
    QTest::newRow("a NUL") << QByteArray("name") << QByteArray("Ann%00") << QByteArray() << form << 400;
    QTest::newRow("an e-mail without its domain")
        << QByteArray("email") << QByteArray("ann%40") << QByteArray() << form << 400;
    QTest::newRow("an e-mail with a line break")
        << QByteArray("email") << QByteArray("ann%40example.com%0d%0aBcc:x%40y.z") << QByteArray() << form
        << 400;
    QTest::newRow("a party too large for the trip")
        << QByteArray("party") << QByteArray("4") << QByteArray() << form << 400;
    QTest::newRow("no anglers") << QByteArray("party") << QByteArray("0") << QByteArray() << form << 400;
    QTest::newRow("a party in words")
        << QByteArray("party") << QByteArray("two") << QByteArray() << form << 400;
    QTest::newRow("a day the page does not offer")
        << QByteArray("day") << QByteArray("2099-01-01") << QByteArray() << form << 400;
    QTest::newRow("a day that is no day")
        << QByteArray("day") << QByteArray("2026-02-30") << QByteArray() << form << 400;
    QTest::newRow("a trip not offered")
        << QByteArray("trip") << QByteArray("Moon+Trip") << QByteArray() << form << 400;
    QTest::newRow("a name too long") << QByteArray("name") << QByteArray(101, 'a') << QByteArray() << form
                                     << 400;
    QTest::newRow("a phone of letters")
        << QByteArray("phone") << QByteArray("call%20me") << QByteArray() << form << 400;
    QTest::newRow("not a form") << QByteArray() << QByteArray() << QByteArray() << QByteArray("text/plain")
                                << 415;
    QTest::newRow("a body over 16 KB")
        << QByteArray("note") << QByteArray(17 * 1024, 'x') << QByteArray() << form << 413;
}

void TestSite::hostileRequestsWriteNothing()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, extra);
    QFETCH(QByteArray, type);
    QFETCH(int, status);
    Served served(m_server.webUri());
    QVERIFY(served.bound());
    httplib::Client c = served.client();
    const QByteArray csrf = csrfOf(c.Get("/request"));
    QVERIFY(!csrf.isEmpty());
    QList<std::pair<QByteArray, QByteArray>> fields = goodForm(csrf);
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (fields[i].first == field) {
            if (value == "-")
                fields.removeAt(i);
            else
                fields[i].second = value;
            break;
        }
    const auto r = post(
        c, "/request", field == "cookie" ? QByteArray() : csrf, form(fields) + extra, type.constData());
    QVERIFY(r);
    QCOMPARE(r->status, status);
    QVERIFY(r->has_header("Content-Security-Policy"));
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Booking\"")), QStringLiteral("0"));
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Phone\"")), QStringLiteral("0"));
    // What the client typed comes back escaped.
    if (status == 400 && field == "name" && value.size() < 100) {
        const auto again = post(c, "/request", csrf,
            form({ { "csrf", csrf }, { "name", "%22%3E%3Cscript%3Ex()%3C/script%3E" }, { "email", "bad" } }));
        QVERIFY(again);
        QCOMPARE(again->status, 400);
        QVERIFY(!body(again).contains(QLatin1String("<script>")));
        QVERIFY(body(again).contains(QLatin1String("&lt;script&gt;")));
    }
}

void TestSite::requestsPerAddressAreCapped()
{
    Served served(m_server.webUri(), 2);
    QVERIFY(served.bound());
    httplib::Client c = served.client();
    const QByteArray csrf = csrfOf(c.Get("/request"));
    auto fields = goodForm(csrf);
    fields[5].second = "not-an-address";
    for (int i = 0; i < 2; ++i) {
        const auto r = post(c, "/request", csrf, form(fields));
        QVERIFY(r);
        QCOMPARE(r->status, 400);
    }
    const auto capped = post(c, "/request", csrf, form(goodForm(csrf)));
    QVERIFY(capped);
    QCOMPARE(capped->status, 429);
    const int retry = QString::fromStdString(capped->get_header_value("Retry-After")).toInt();
    QVERIFY2(retry > 3000 && retry <= 3600, qPrintable(QString::number(retry)));
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Booking\"")), QStringLiteral("0"));
    // Another client behind the proxy is counted by his own address.
    httplib::Headers h { { "Cookie", "bm_csrf=" + csrf.toStdString() }, { "X-Real-IP", "192.0.2.7" } };
    const auto other
        = c.Post("/request", h, form(goodForm(csrf)).toStdString(), "application/x-www-form-urlencoded");
    QVERIFY(other);
    QCOMPARE(other->status, 303);
}

void TestSite::everyAnswerCarriesTheHeaders_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("status");
    QTest::newRow("the month") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n") << 200;
    QTest::newRow("the style") << QByteArray("GET /style.css HTTP/1.1\r\nHost: x\r\n\r\n") << 200;
    QTest::newRow("no such page") << QByteArray("GET /etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n") << 404;
    QTest::newRow("a method refused") << QByteArray("DELETE / HTTP/1.1\r\nHost: x\r\n\r\n") << 405;
    QTest::newRow("a request line of nonsense") << QByteArray("HELLO\r\n\r\n") << 400;
    QTest::newRow("a body too long")
        << "POST /request HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           "Content-Length: 20000\r\n\r\n"
            + QByteArray(20000, 'x')
        << 413;
}

void TestSite::everyAnswerCarriesTheHeaders()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, status);
    Served served(m_server.webUri());
    QVERIFY(served.bound());
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(served.port()));
    QVERIFY(socket.waitForConnected(5000));
    socket.write(raw);
    QByteArray answer;
    while (!answer.contains("\r\n\r\n") && socket.waitForReadyRead(5000))
        answer += socket.readAll();
    const QByteArray head = answer.left(answer.indexOf("\r\n\r\n"));
    QVERIFY2(head.startsWith("HTTP/1.1 " + QByteArray::number(status)), head.constData());
    for (const char *header : { "Content-Security-Policy: default-src 'none'", "frame-ancestors 'none'",
             "X-Content-Type-Options: nosniff", "Referrer-Policy: no-referrer" })
        QVERIFY2(head.contains(header), head.constData());
    QVERIFY2(!answer.contains("passwd"), "the path is not echoed");
}

void TestSite::brokenHttpNeverStopsTheService()
{
    Served served(m_server.webUri());
    QVERIFY(served.bound());
    const QByteArray broken[] = {
        QByteArray("\x00\x01\x02\xff\r\n\r\n", 8), "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: -5\r\n\r\n",
        "GET /" + QByteArray(20000, 'a') + " HTTP/1.1\r\n\r\n",
        "GET / HTTP/1.1\r\n" + QByteArray(10000, 'X') + ": y\r\n\r\n",
        "POST /request HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nfffffffffffffff\r\nx",
        "GET / HTTP/1.1\r\nHost: x\r\n", // never ends
    };
    for (const QByteArray &b : broken) {
        QTcpSocket s;
        s.connectToHost(QStringLiteral("127.0.0.1"), quint16(served.port()));
        QVERIFY(s.waitForConnected(5000));
        s.write(b);
        s.waitForBytesWritten(2000);
        s.waitForReadyRead(300);
        s.abort();
    }
    httplib::Client c = served.client();
    const auto r = c.Get("/");
    QVERIFY(r);
    QCOMPARE(r->status, 200);

    // A second service started by mistake is told the port is taken; it
    // does not share the connections with the first.
    db::page::Gateway source(m_server.webUri());
    web::Site site(source, { QUrl(QStringLiteral("https://book.example.com")), 100 });
    web::Config config;
    config.port = served.port();
    web::Service second(site, config);
    QVERIFY(!second.bind());
}

void TestSite::failuresSayNothingOfTheInside()
{
    // A database that is not there: the service's own login, on a port
    // nothing listens on.
    const QString gone = QStringLiteral("postgresql://127.0.0.1:9/lodge?user=web&connect_timeout=2");
    Served served(gone);
    QVERIFY(served.bound());
    httplib::Client c = served.client();
    for (const char *path : { "/", "/request", "/r/AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA" }) {
        const auto r = c.Get(path);
        QVERIFY(r);
        QCOMPARE(r->status, 503);
        QCOMPARE(r->get_header_value("Retry-After"), std::string("60"));
        const QString page = body(r);
        for (const char *inside :
            { "127.0.0.1:9", "postgresql", "lodge", "bm_web", "SELECT", "QPSQL", ".cpp" })
            QVERIFY2(!page.contains(QLatin1String(inside), Qt::CaseInsensitive), inside);
    }
}

QTEST_GUILESS_MAIN(TestSite)
#include "test_site.moc"
