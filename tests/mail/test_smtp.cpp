#include "mail/smtp.h"

#include "mailread.h"
#include "smtptestserver.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace bm;
using Outcome = mail::SendResult::Outcome;
namespace mr = bm::test::mailread;

Q_DECLARE_METATYPE(mail::Security)

namespace
{

const QString password = QStringLiteral("trout-42");

// The message every case sends: an encoded subject, and a body with the
// lines SMTP itself gives a meaning to.
mail::Message trip()
{
    mail::Message m;
    m.from = { QStringLiteral("guide@tallow-lake.com"), QStringLiteral("Tallow Lake Guiding") };
    m.to = { QStringLiteral("ann@example.com"), QStringLiteral("Zoë Smith") };
    m.subject = QStringLiteral("Réservation confirmée 🎣 for Saturday");
    m.body = QStringLiteral("Dear Zoë,\n.\n..two dots\nSee you at six.\n");
    m.messageId = QStringLiteral("<trip-7@tallow-lake.com>");
    return m;
}

} // namespace

class TestSmtp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sends_data();
    void sends();
    void sendsFromSeveralThreads();

private:
    // Starts the test server with the test's certificate; its port, or 0.
    int startServer(test::SmtpTestServer &server, const QStringList &options, const QString &out)
    {
        return server.start(QStringLiteral(SMTP_SERVER), out,
            QStringList { QStringLiteral("--cert"), m_cert, QStringLiteral("--key"),
                m_dir.filePath(QStringLiteral("key.pem")) }
                + options);
    }

    QTemporaryDir m_dir;
    QString m_cert;
};

void TestSmtp::initTestCase()
{
    if (!test::SmtpTestServer::available())
        QSKIP("/usr/bin/python3 has no aiosmtpd (Debian: python3-aiosmtpd), which the test's mail server "
              "needs");
    QVERIFY(m_dir.isValid());
    // A certificate of the test's own, which no system trusts.
    m_cert = m_dir.filePath(QStringLiteral("cert.pem"));
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
        { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
            QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
            QStringLiteral("-nodes"), QStringLiteral("-keyout"), m_dir.filePath(QStringLiteral("key.pem")),
            QStringLiteral("-out"), m_cert, QStringLiteral("-days"), QStringLiteral("2"),
            QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
            QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost") });
    QVERIFY(openssl.waitForFinished(30000));
    QVERIFY2(openssl.exitCode() == 0 && QFile::exists(m_cert), openssl.readAll().constData());
}

void TestSmtp::sends_data()
{
    QTest::addColumn<QString>("serverSecurity"); // plain, starttls, tls; empty: no server
    QTest::addColumn<QString>("serverUser"); // empty: no login asked
    QTest::addColumn<mail::Security>("security");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("trusted"); // whether the client is given the test's certificate
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("replyCode"); // 0: no reply
    QTest::addColumn<QString>("reasonHas");

    const QString ann = QStringLiteral("ann@example.com");
    const auto None = mail::Security::None;
    const auto StartTls = mail::Security::StartTls;
    const auto Tls = mail::Security::Tls;
    QTest::newRow("plain") << "plain" << QString() << None << QString() << QString() << false << ann
                           << int(Outcome::Sent) << 250 << ann;
    QTest::newRow("STARTTLS") << "starttls" << QString() << StartTls << QString() << QString() << true << ann
                              << int(Outcome::Sent) << 250 << ann;
    QTest::newRow("implicit TLS") << "tls" << QString() << Tls << QString() << QString() << true << ann
                                  << int(Outcome::Sent) << 250 << ann;
    QTest::newRow("login over STARTTLS")
        << "starttls"
        << "guide" << StartTls << "guide" << password << true << ann << int(Outcome::Sent) << 250 << ann;
    QTest::newRow("login over implicit TLS")
        << "tls"
        << "guide" << Tls << "guide" << password << true << ann << int(Outcome::Sent) << 250 << ann;
    QTest::newRow("wrong password") << "starttls"
                                    << "guide" << StartTls << "guide"
                                    << "perch-9" << true << ann << int(Outcome::Setup) << 535
                                    << "user name and password";
    QTest::newRow("no login given") << "starttls"
                                    << "guide" << StartTls << QString() << QString() << true << ann
                                    << int(Outcome::Setup) << 530 << "login";
    QTest::newRow("certificate not trusted") << "starttls" << QString() << StartTls << QString() << QString()
                                             << false << ann << int(Outcome::Setup) << -1 << "certificate";
    QTest::newRow("implicit TLS, certificate not trusted")
        << "tls" << QString() << Tls << QString() << QString() << false << ann << int(Outcome::Setup) << 0
        << "certificate";
    QTest::newRow("STARTTLS demanded, server plain")
        << "plain" << QString() << StartTls << QString() << QString() << true << ann << int(Outcome::Setup)
        << -1 << "STARTTLS";
    QTest::newRow("implicit TLS, server plain") << "plain" << QString() << Tls << QString() << QString()
                                                << true << ann << int(Outcome::Setup) << 0 << "TLS";
    QTest::newRow("recipient refused")
        << "plain" << QString() << None << QString() << QString() << false << "nobody@example.com"
        << int(Outcome::Permanent) << 550 << "refused the address nobody@example.com";
    QTest::newRow("recipient put off")
        << "plain" << QString() << None << QString() << QString() << false << "busy@example.com"
        << int(Outcome::Temporary) << 451 << "again later";
    QTest::newRow("a long refusal with escapes")
        << "plain" << QString() << None << QString() << QString() << false << "noisy@example.com"
        << int(Outcome::Permanent) << 550 << "refused the address noisy@example.com";
    QTest::newRow("server down") << QString() << QString() << None << QString() << QString() << false << ann
                                 << int(Outcome::Temporary) << 0 << "did not take a connection";
}

void TestSmtp::sends()
{
    QFETCH(QString, serverSecurity);
    QFETCH(QString, serverUser);
    QFETCH(mail::Security, security);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, trusted);
    QFETCH(QString, to);
    QFETCH(int, outcome);
    QFETCH(int, replyCode);
    QFETCH(QString, reasonHas);

    QTemporaryDir out;
    QVERIFY(out.isValid());
    test::SmtpTestServer server;
    int port = 0;
    if (serverSecurity.isEmpty()) {
        QTcpServer probe; // a port nobody listens on once it is closed
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    } else {
        QStringList options { QStringLiteral("--security"), serverSecurity, QStringLiteral("--refuse"),
            QStringLiteral("nobody@example.com"), QStringLiteral("--defer"),
            QStringLiteral("busy@example.com"), QStringLiteral("--noisy"),
            QStringLiteral("noisy@example.com") };
        if (!serverUser.isEmpty())
            options << QStringLiteral("--user") << serverUser << QStringLiteral("--password") << ::password;
        port = startServer(server, options, out.path());
        QVERIFY(port > 0);
    }

    mail::SmtpSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.security = security;
    settings.user = user;
    settings.password = password;
    if (trusted)
        settings.caFile = m_cert;
    settings.connectTimeoutMs = 5000;
    settings.timeoutMs = 20000;
    mail::Message m = trip();
    m.to.address = to;
    const mail::SendResult r = mail::send(settings, m);

    QVERIFY2(int(r.outcome) == outcome, qPrintable(r.reason));
    QVERIFY2(r.reason.contains(reasonHas), qPrintable(r.reason));
    if (replyCode >= 0)
        QCOMPARE(r.replyCode, replyCode);
    // The server's words are outside bytes: bounded, no control characters.
    QVERIFY(r.reply.size() <= 303 && r.reason.size() < 800);
    for (const QString &text : { r.reason, r.reply })
        for (const QChar c : text)
            QVERIFY(c.unicode() >= 0x20 && c.unicode() != 0x7f);
    if (replyCode >= 400)
        QVERIFY2(r.reason.contains(QString::number(replyCode)), qPrintable(r.reason));

    const QList<QJsonObject> got = test::SmtpTestServer::received(out.path());
    if (!r.sent()) {
        QVERIFY(got.isEmpty()); // nothing went out, in clear text or otherwise
        return;
    }
    QCOMPARE(got.size(), 1);
    const QJsonObject one = got[0];
    QCOMPARE(one[QLatin1String("mail_from")].toString(), m.from.address);
    QCOMPARE(one[QLatin1String("rcpt_tos")].toArray(), QJsonArray({ to }));
    QCOMPARE(one[QLatin1String("tls")].toBool(), security != mail::Security::None);
    QCOMPARE(one[QLatin1String("authenticated")].toBool(), !user.isEmpty());

    const QByteArray data = QByteArray::fromBase64(one[QLatin1String("data")].toString().toLatin1());
    const mr::Parsed p = mr::parse(data);
    QVERIFY2(p.problem.isEmpty(), qPrintable(p.problem));
    QList<mr::Mailbox> boxes;
    QVERIFY(mr::mailboxes(p.values("To").value(0), boxes));
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(QString::fromLatin1(boxes[0].address), to);
    QCOMPARE(boxes[0].name, m.to.name);
    QCOMPARE(mr::decodeWords(p.values("Subject").value(0)), m.subject);
    QCOMPARE(p.values("Message-ID"), QList<QByteArray>({ "<trip-7@tallow-lake.com>" }));
    // The lone "." and ".." lines came through: the client doubled them.
    QCOMPARE(QString::fromUtf8(mr::decodeQuotedPrintable(p.body)),
        QString(m.body).replace(QLatin1String("\n"), QLatin1String("\r\n")));
}

void TestSmtp::sendsFromSeveralThreads()
{
    QTemporaryDir out;
    QVERIFY(out.isValid());
    test::SmtpTestServer server;
    mail::SmtpSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.security = mail::Security::StartTls;
    settings.caFile = m_cert;
    settings.port
        = startServer(server, { QStringLiteral("--security"), QStringLiteral("starttls") }, out.path());
    QVERIFY(settings.port > 0);

    constexpr int count = 4;
    mail::SendResult results[count];
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&, i] {
            if (i == 0) {
                results[i] = mail::sendTestMessage(settings, trip().from, trip().to);
            } else {
                mail::Message m = trip();
                m.messageId.clear();
                results[i] = mail::send(settings, m);
            }
        });
    for (std::thread &t : threads)
        t.join();
    for (const mail::SendResult &r : results)
        QVERIFY2(r.sent(), qPrintable(r.reason));
    const QList<QJsonObject> got = test::SmtpTestServer::received(out.path());
    QCOMPARE(got.size(), count);
    QSet<QByteArray> ids;
    QStringList subjects;
    for (const QJsonObject &one : got) {
        const mr::Parsed p
            = mr::parse(QByteArray::fromBase64(one[QLatin1String("data")].toString().toLatin1()));
        ids.insert(p.values("Message-ID").value(0));
        subjects << mr::decodeWords(p.values("Subject").value(0));
    }
    QCOMPARE(ids.size(), count);
    QVERIFY(subjects.contains(QStringLiteral("Brindlemoor test message")));
}

QTEST_GUILESS_MAIN(TestSmtp)
#include "test_smtp.moc"
