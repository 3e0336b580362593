#include "pagefixture.h"
#include "serverdb.h"
#include "smtptestserver.h"

#include "db/bookingpage.h"
#include "db/outbox.h"
#include "db/query.h"
#include "mail/sender.h"
#include "mail/texts.h"
#include "web/courier.h"
#include "web/pagemail.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace bm;

namespace
{

QString digestOf(const QByteArray &seed)
{
    return QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Sha256).toHex());
}

db::page::Request requestFor(const QDate &day, const QByteArray &seed)
{
    db::page::Request r;
    r.trip = QStringLiteral("Full Day");
    r.day = day;
    r.party = 2;
    r.name = QStringLiteral("Ann Lee");
    r.email = QStringLiteral("ann@example.com");
    r.phone = QStringLiteral("555-0101");
    r.note = QStringLiteral("Two rods, please");
    r.linkDigest = digestOf(seed);
    return r;
}

} // namespace

class TestPageMail : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void theChangesMailGoesWithIt_data();
    void theChangesMailGoesWithIt();
    void aComposeThatFailsUndoesTheRequest();
    void thePageLoginQueuesOnlyWhatThePageMay_data();
    void thePageLoginQueuesOnlyWhatThePageMay();
    void theServiceSendsTheOutbox();
    void theServiceAndADeskSendEachMessageOnce();

private:
    // The mail server's settings as a desk keeps them, and the guide details.
    bool setUpMail(int port = 2525, const QString &login = QString());
    // The tests' mail server, started, and mail set up to go to it; its
    // port, or 0 when either failed.
    int startMailServer(test::SmtpTestServer &smtp, const QString &folder)
    {
        const int port = smtp.start(QStringLiteral(SMTP_SERVER), folder);
        return port > 0 && setUpMail(port) ? port : 0;
    }
    // The outbox as "kind|recipient|state" rows, oldest first.
    QStringList outbox();

    test::PageServer m_server;
    std::unique_ptr<db::page::Gateway> m_page;
};

void TestPageMail::init()
{
    if (!m_server.setUp(QStringLiteral("pagemail")))
        QSKIP("no test server");
    m_page = std::make_unique<db::page::Gateway>(m_server.webUri());
}

void TestPageMail::cleanup()
{
    m_page.reset();
    m_server.tearDown();
}

bool TestPageMail::setUpMail(int port, const QString &login)
{
    return m_server.sql(QStringLiteral("DELETE FROM \"Mail Settings\""))
        && m_server.sql(
            QStringLiteral("INSERT INTO \"Mail Settings\" (\"Server\", \"Port\", \"Security\", "
                           "\"User\", \"Sender Address\", \"Sender Name\") VALUES "
                           "('127.0.0.1', ?, 'None', ?, 'trips@tallpines.example', 'Tall Pines')"),
            { QString::number(port), login })
        && m_server.sql(QStringLiteral("UPDATE \"Guide Info\" SET \"Guide Name\" = 'Tall Pines Guides', "
                                       "\"Email\" = 'guide@tallpines.example'"));
}

QStringList TestPageMail::outbox()
{
    const QString rows
        = m_server.value(QStringLiteral("SELECT coalesce(string_agg(\"Kind\" || '|' || \"Recipient\" || '|' "
                                        "|| \"State\", ';' ORDER BY \"ID\"), '') "
                                        "FROM \"Outbox\""));
    return rows.isEmpty() ? QStringList() : rows.split(u';');
}

void TestPageMail::theChangesMailGoesWithIt_data()
{
    QTest::addColumn<bool>("setUp");
    QTest::addColumn<QString>("before"); // a statement of the guide's before the request
    QTest::addColumn<bool>("cancel"); // the client cancels after
    QTest::addColumn<QStringList>("mail"); // kind|recipient|state
    QTest::addColumn<QString>("subject"); // of the client's first message, where it matters

    const QString client = QStringLiteral("Request Received|ann@example.com|Queued");
    const QString guide = QStringLiteral("New Request|guide@tallpines.example|Queued");
    const QString cancelled = QStringLiteral("Cancelled|ann@example.com|Queued");
    QTest::newRow("mail not set up") << false << QString() << false << QStringList() << QString();
    QTest::newRow("to the client and the guide")
        << true << QString() << false << QStringList { client, guide }
        << "We have your request for Full Day on";
    QTest::newRow("the guide's own address")
        << true << "UPDATE \"Mail Settings\" SET \"Guide Address\" = 'desk@tallpines.example'" << false
        << QStringList { client, QStringLiteral("New Request|desk@tallpines.example|Queued") } << QString();
    QTest::newRow("the client's message turned off")
        << true
        << "INSERT INTO \"Mail Texts\" (\"Kind\", \"Send\", \"Subject\", \"Body\") "
           "VALUES ('Request Received', 'No', 's', 'b')"
        << false << QStringList { guide } << QString();
    QTest::newRow("the guide's own text")
        << true
        << "INSERT INTO \"Mail Texts\" (\"Kind\", \"Send\", \"Subject\", \"Body\") "
           "VALUES ('Request Received', 'Yes', 'Got it, {{client}}: {{trip}} for {{party}}', 'b')"
        << false << QStringList { client, guide } << "Got it, Ann Lee: Full Day for 2 anglers";
    QTest::newRow("a text that can not be read goes without its message, not the request")
        << true
        << "INSERT INTO \"Mail Texts\" (\"Kind\", \"Send\", \"Subject\", \"Body\") "
           "VALUES ('Request Received', 'Yes', '{{#client}', 'b')"
        << false << QStringList { guide } << QString();
    QTest::newRow("cancelled by the client")
        << true << QString() << true << QStringList { client, guide, cancelled } << QString();
    QTest::newRow("cancelled, mail not set up") << false << QString() << true << QStringList() << QString();
}

void TestPageMail::theChangesMailGoesWithIt()
{
    QFETCH(bool, setUp);
    QFETCH(QString, before);
    QFETCH(bool, cancel);
    QFETCH(QStringList, mail);
    QFETCH(QString, subject);
    if (setUp)
        QVERIFY(setUpMail());
    if (!before.isEmpty())
        QVERIFY(m_server.sql(before));

    web::PageMail page(*m_page);
    db::page::Compose compose;
    QVERIFY(page.composer(
        { QLatin1String(mail::kind::requestReceived), QLatin1String(mail::kind::newRequest) }, compose));
    QCOMPARE(bool(compose), setUp);
    const db::page::Request r = requestFor(m_server.dayAhead(10), "one");
    db::page::Outcome outcome;
    QVERIFY(m_page->request(r, outcome, compose));
    QCOMPARE(outcome, db::page::Outcome::Made);
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Booking\"")), QStringLiteral("1"));
    if (cancel) {
        QVERIFY(page.composer({ QLatin1String(mail::kind::cancelled) }, compose));
        db::page::CancelOutcome cancelled;
        QVERIFY(m_page->cancel(r.linkDigest, cancelled, compose));
        QCOMPARE(cancelled, db::page::CancelOutcome::Cancelled);
    }
    QCOMPARE(outbox(), mail);
    if (!subject.isEmpty())
        QVERIFY2(m_server.value(QStringLiteral("SELECT \"Subject\" FROM \"Outbox\" ORDER BY \"ID\" LIMIT 1"))
                     .startsWith(subject),
            qPrintable(m_server.value(
                QStringLiteral("SELECT \"Subject\" FROM \"Outbox\" ORDER BY \"ID\" LIMIT 1"))));
}

void TestPageMail::aComposeThatFailsUndoesTheRequest()
{
    QVERIFY(setUpMail());
    const db::page::Compose failing = [](const db::page::Booked &booked, QList<db::page::Outgoing> &) {
        // It was handed the booking just made.
        return booked.booking.value(QStringLiteral("Name")) == QLatin1String("Ann Lee")
            ? Status::failure(QStringLiteral("the outbox is full"))
            : Status::ok();
    };
    db::page::Outcome outcome;
    QVERIFY(!m_page->request(requestFor(m_server.dayAhead(10), "two"), outcome, failing));
    for (const char *table : { "Booking", "Phone", "Page Requests", "Outbox" })
        QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(QLatin1String(table))),
            QStringLiteral("0"));
}

void TestPageMail::thePageLoginQueuesOnlyWhatThePageMay_data()
{
    QTest::addColumn<QString>("statement"); // :link, a request's link digest, made without mail
    QTest::addColumn<QString>("answer"); // its one value, or "refused"

    const QString queue = QStringLiteral("SELECT bm_web_mail_queue(:link, %1, %2, 'Body', %3)");
    const QString kind = QStringLiteral("'Request Received'");
    const QString subject = QStringLiteral("'Subject'");
    const QString id = QStringLiteral("'<a1@tallpines.example>'");
    QTest::newRow("the page's own message") << queue.arg(kind, subject, id) << "true";
    QTest::newRow("a kind the desks send") << queue.arg("'Confirmed'", subject, id) << "false";
    QTest::newRow("cancelled while requested") << queue.arg("'Cancelled'", subject, id) << "false";
    QTest::newRow("a header in the Message-ID")
        << queue.arg(kind, subject, "E'<a1@tallpines.example>\\r\\nBcc: all@example.com'") << "false";
    QTest::newRow("no subject") << queue.arg(kind, "''", id) << "false";
    QTest::newRow("a link of no request")
        << QString(queue)
               .replace(QStringLiteral(":link"), QStringLiteral("repeat('a', 64)"))
               .arg(kind, subject, id)
        << "false";
    QTest::newRow("reading the outbox") << "SELECT count(*) FROM \"Outbox\""
                                        << "refused";
    QTest::newRow("writing the outbox") << "INSERT INTO \"Outbox\" (\"Kind\") VALUES ('x')"
                                        << "refused";
    QTest::newRow("a sender's name with a line break")
        << "SELECT count(*) FROM bm_web_mail_take(E'web\\r\\nx', 5)"
        << "0";
    QTest::newRow("answering for a message it did not take")
        << "SELECT bm_web_mail_done(:id, 'forged', 'Sent', '', '')"
        << "false";
}

void TestPageMail::thePageLoginQueuesOnlyWhatThePageMay()
{
    QFETCH(QString, statement);
    QFETCH(QString, answer);
    QVERIFY(setUpMail());
    // A message queued the page's way, for the last row's forgery; then a
    // request without mail, whose link the statement names.
    web::PageMail page(*m_page);
    db::page::Compose compose;
    QVERIFY(page.composer({ QLatin1String(mail::kind::newRequest) }, compose));
    db::page::Outcome outcome;
    QVERIFY(m_page->request(requestFor(m_server.dayAhead(10), "first"), outcome, compose));
    const db::page::Request r = requestFor(m_server.dayAhead(11), "second");
    QVERIFY(m_page->request(r, outcome));
    QCOMPARE(outcome, db::page::Outcome::Made);
    const QStringList before = outbox();
    QCOMPARE(before.size(), 1);

    QString said;
    {
        test::ServerConnection asPage(m_server.webUri());
        QSqlQuery q(asPage.database());
        const QString id = m_server.value(QStringLiteral("SELECT max(\"ID\") FROM \"Outbox\""));
        const QString sql = QString(statement)
                                .replace(QStringLiteral(":link"), QLatin1Char('\'') + r.linkDigest + u'\'')
                                .replace(QStringLiteral(":id"), id);
        said = !q.exec(sql) ? QStringLiteral("refused")
            : q.next()      ? q.value(0).toString()
                            : QStringLiteral("no row");
    }
    QCOMPARE(said, answer);
    QCOMPARE(outbox().size(), before.size() + (answer == QLatin1String("true") ? 1 : 0));
    if (answer != QLatin1String("true"))
        QCOMPARE(outbox(), before);
}

void TestPageMail::theServiceSendsTheOutbox()
{
    if (!test::SmtpTestServer::available())
        QSKIP("Debian's python3 has no aiosmtpd");
    QTemporaryDir out;
    test::SmtpTestServer smtp;
    const int port = startMailServer(smtp, out.path());
    QVERIFY(port > 0);
    web::PageMail page(*m_page);
    db::page::Compose compose;
    QVERIFY(page.composer(
        { QLatin1String(mail::kind::requestReceived), QLatin1String(mail::kind::newRequest) }, compose));
    db::page::Outcome outcome;
    QVERIFY(m_page->request(requestFor(m_server.dayAhead(10), "one"), outcome, compose));

    web::Courier courier(*m_page, QString(), false);
    mail::Round round;
    QVERIFY(courier.sendDue(round));
    QCOMPARE(round.sent, 2);
    QCOMPARE(outbox(),
        (QStringList { QStringLiteral("Request Received|ann@example.com|Sent"),
            QStringLiteral("New Request|guide@tallpines.example|Sent") }));
    QCOMPARE(smtp.received().size(), 2);
    QCOMPARE(smtp.received().at(0).value(QLatin1String("rcpt_tos")).toVariant().toStringList(),
        QStringList { QStringLiteral("ann@example.com") });

    // The mail server gone: the next request's mail waits, with the reason.
    smtp.stop();
    QVERIFY(m_page->request(requestFor(m_server.dayAhead(12), "two"), outcome, compose));
    QVERIFY(courier.sendDue(round));
    QCOMPARE(round.sent, 0);
    QCOMPARE(round.putOff, 1); // the rest of the round went back untried
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Outbox\" WHERE \"State\" = 'Queued'")),
        QStringLiteral("2"));
    QVERIFY(m_server.value(QStringLiteral("SELECT max(\"Last Error\") FROM \"Outbox\""))
        != QLatin1String("<null>"));

    // Back, and the waiting one due: both go.
    QCOMPARE(smtp.start(QStringLiteral(SMTP_SERVER), out.path(),
                 { QStringLiteral("--port"), QString::number(port) }),
        port);
    QVERIFY(m_server.sql(QStringLiteral("UPDATE \"Outbox\" SET \"Next Try\" = '2000-01-01T00:00:00.000Z' "
                                        "WHERE \"State\" = 'Queued'")));
    QVERIFY(courier.sendDue(round));
    QCOMPARE(round.sent, 2);
    QCOMPARE(smtp.received().size(), 4);

    // A server that wants a login, and no password file: the desks send.
    QVERIFY(setUpMail(port, QStringLiteral("trips")));
    QVERIFY(m_page->request(requestFor(m_server.dayAhead(13), "three"), outcome, compose));
    QVERIFY(courier.sendDue(round));
    QCOMPARE(round.sent + round.putOff + round.failed, 0);
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Outbox\" WHERE \"State\" = 'Queued'")),
        QStringLiteral("2"));
}

void TestPageMail::theServiceAndADeskSendEachMessageOnce()
{
    if (!test::SmtpTestServer::available())
        QSKIP("Debian's python3 has no aiosmtpd");
    QTemporaryDir out;
    test::SmtpTestServer smtp;
    const int port = startMailServer(smtp, out.path());
    QVERIFY(port > 0);
    constexpr int messages = 40;
    {
        db::Transaction t(m_server.uri());
        QVERIFY(t.begin());
        for (int i = 0; i < messages; ++i) {
            db::outbox::Message m;
            m.kind = QLatin1String(mail::kind::reminder);
            m.recipient = QStringLiteral("client%1@example.com").arg(i);
            m.subject = QStringLiteral("Your trip");
            m.body = QStringLiteral("See you.");
            m.messageId = QStringLiteral("<m%1@tallpines.example>").arg(i);
            QVERIFY(db::outbox::queue(t, m, QDateTime::currentDateTimeUtc().addSecs(-60)));
        }
        QVERIFY(t.commit());
    }
    web::Courier courier(*m_page, QString(), false);
    mail::Round service;
    Status serviceSent;
    std::thread other([&] { serviceSent = courier.sendDue(service); });
    mail::SmtpSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.security = mail::Security::None;
    mail::Sender desk(m_server.uri(), QStringLiteral("desk:test"), settings,
        { QStringLiteral("trips@tallpines.example"), QStringLiteral("Tall Pines") });
    int byDesk = 0;
    for (mail::Round r; desk.round(QDateTime::currentDateTimeUtc(), r) && r.sent > 0;)
        byDesk += r.sent;
    other.join();
    QVERIFY2(serviceSent, qPrintable(serviceSent.message()));
    QCOMPARE(byDesk + service.sent, messages);
    QStringList ids;
    for (const QJsonObject &m : smtp.received()) {
        const QByteArray data = QByteArray::fromBase64(m.value(QLatin1String("data")).toString().toLatin1());
        const qsizetype at = data.indexOf("Message-ID: ");
        ids << QString::fromLatin1(data.mid(at + 12, data.indexOf('\r', at) - at - 12));
    }
    ids.removeDuplicates();
    QCOMPARE(ids.size(), messages);
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Outbox\" WHERE \"State\" = 'Sent'")),
        QString::number(messages));
}

QTEST_GUILESS_MAIN(TestPageMail)
#include "test_pagemail.moc"
