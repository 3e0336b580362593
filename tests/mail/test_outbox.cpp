#include "core/apppaths.h"
#include "db/database.h"
#include "db/outbox.h"
#include "db/query.h"
#include "mail/sender.h"
#include "schema/fields.h"

#include "mailread.h"
#include "smtptestserver.h"
#include "testenv.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace bm;
namespace mr = bm::test::mailread;

namespace
{

const mail::Mailbox guide { QStringLiteral("guide@tallow-lake.com"), QStringLiteral("Tallow Lake Guiding") };

// Queues a message to the address, in a transaction of its own; its key.
qint64 queueTo(const QString &address, const QString &subject, const QDateTime &now)
{
    db::outbox::Message m;
    m.kind = QStringLiteral("Confirmed");
    m.booking = QStringLiteral("7");
    m.recipient = address;
    m.recipientName = QStringLiteral("Ann Lee");
    m.subject = subject;
    m.body = QStringLiteral("See you at six.\n");
    m.messageId = mail::makeMessageId(guide.address);
    db::Transaction t(databasePath());
    if (!t.begin() || !db::outbox::queue(t, m, now) || !t.commit())
        return 0;
    QVariant id;
    db::Query q;
    if (!q.single(QStringLiteral("SELECT max(ID) FROM Outbox"), {}, id))
        return 0;
    return id.toLongLong();
}

db::outbox::Message messageOf(qint64 id)
{
    QList<db::outbox::Message> all;
    if (!db::outbox::read(databasePath(), all))
        return {};
    for (const db::outbox::Message &m : all)
        if (m.id == id)
            return m;
    return {};
}

// The Message-ID of each message the server took.
QStringList receivedIds(const QList<QJsonObject> &received)
{
    QStringList ids;
    for (const QJsonObject &r : received) {
        const mr::Parsed p
            = mr::parse(QByteArray::fromBase64(r.value(QLatin1String("data")).toString().toLatin1()));
        for (const QByteArray &id : p.values("Message-ID"))
            ids << QString::fromLatin1(id.trimmed());
    }
    return ids;
}

int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

class TestOutbox : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void roundOutcomes_data();
    void roundOutcomes();
    void waitsForTheServer();
    void plannedOnce();
    void twoSendersSendEachOnce();
    void killedSenderLosesNothing();
    void guideCancelsAndSendsAgain();

private:
    mail::SmtpSettings smtp(int port) const
    {
        mail::SmtpSettings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = port;
        s.security = mail::Security::None;
        s.connectTimeoutMs = 3000;
        s.timeoutMs = 10000;
        return s;
    }
    int startServer(const QStringList &options = {})
    {
        return m_server.start(QStringLiteral(SMTP_SERVER), m_out->path(), options);
    }
    // A sender of its own in another process; started, or a failure.
    void startChild(QProcess &child, int port, const QString &name, int stopAfter = 0)
    {
        QStringList args { databasePath(), QString::number(port), name };
        if (stopAfter)
            args << QString::number(stopAfter);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(OUTBOX_CHILD), args);
    }

    test::SmtpTestServer m_server;
    std::unique_ptr<QTemporaryDir> m_out;
};

void TestOutbox::initTestCase()
{
    if (!test::SmtpTestServer::available())
        QSKIP("/usr/bin/python3 has no aiosmtpd (Debian: python3-aiosmtpd), which the test's mail server "
              "needs");
}

void TestOutbox::init()
{
    m_server.stop();
    test::resetDatabase();
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(m_out->isValid());
}

void TestOutbox::roundOutcomes_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<int>("daysOld"); // how long ago the message was made
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("errorHas");
    QTest::addColumn<int>("minutesToNextTry"); // -1: not put off

    const QString ann = QStringLiteral("ann@example.com");
    QTest::newRow("sent") << ann << true << 0 << QString::fromLatin1(mailState::sent) << QString() << -1;
    QTest::newRow("address refused") << "nobody@example.com" << true << 0
                                     << QString::fromLatin1(mailState::failed)
                                     << "refused the address nobody@example.com" << -1;
    QTest::newRow("put off by the server")
        << "busy@example.com" << true << 0 << QString::fromLatin1(mailState::queued) << "451" << 1;
    QTest::newRow("no server") << ann << false << 0 << QString::fromLatin1(mailState::queued)
                               << "did not take a connection" << 1;
    QTest::newRow("no server for days")
        << ann << false << 4 << QString::fromLatin1(mailState::givenUp) << "Given up after three days" << -1;
    QTest::newRow("sent on its last day")
        << ann << true << 4 << QString::fromLatin1(mailState::sent) << QString() << -1;
}

void TestOutbox::roundOutcomes()
{
    QFETCH(QString, to);
    QFETCH(bool, serverUp);
    QFETCH(int, daysOld);
    QFETCH(QString, state);
    QFETCH(QString, errorHas);
    QFETCH(int, minutesToNextTry);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const qint64 id = queueTo(to, QStringLiteral("Your trip"), now.addDays(-daysOld));
    QVERIFY(id > 0);
    const int port = serverUp
        ? startServer({ QStringLiteral("--refuse"), QStringLiteral("nobody@example.com"),
            QStringLiteral("--defer"), QStringLiteral("busy@example.com") })
        : freePort();
    QVERIFY(port > 0);
    mail::Sender sender(databasePath(), QStringLiteral("desk 1"), smtp(port), guide);
    mail::Round round;
    QVERIFY(sender.round(now, round));

    const db::outbox::Message m = messageOf(id);
    QCOMPARE(m.state, state);
    QCOMPARE(m.tries, 1);
    QVERIFY2(m.lastError.contains(errorHas), qPrintable(m.lastError));
    QVERIFY(m.claim.isEmpty());
    if (minutesToNextTry >= 0)
        QCOMPARE(now.secsTo(m.nextTry), minutesToNextTry * 60);
    QCOMPARE(m_server.received().size(), state == QLatin1String(mailState::sent) ? 1 : 0);
    QCOMPARE(round.sent + round.putOff + round.failed + round.givenUp, 1);
}

// No connection: the messages wait, untouched but the first, and go once
// the server is back and their time has come.
void TestOutbox::waitsForTheServer()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < 3; ++i)
        QVERIFY(
            queueTo(QStringLiteral("ann%1@example.com").arg(i), QStringLiteral("Trip %1").arg(i), now) > 0);
    const int port = freePort();
    mail::Sender sender(databasePath(), QStringLiteral("desk 1"), smtp(port), guide);
    mail::Round round;
    QVERIFY(sender.round(now, round));
    QCOMPARE(round.putOff, 1);
    QList<db::outbox::Message> all;
    QVERIFY(db::outbox::read(databasePath(), all));
    QCOMPARE(all.size(), 3);
    for (const db::outbox::Message &m : all)
        QCOMPARE(m.state, QString::fromLatin1(mailState::queued));
    QCOMPARE(all.last().tries, 1); // the oldest, tried
    QCOMPARE(all.first().tries, 0);

    QVERIFY(startServer({ QStringLiteral("--port"), QString::number(port) }) == port);
    // Before the first one's next try only the others go.
    QVERIFY(sender.round(now.addSecs(30), round));
    QCOMPARE(round.sent, 2);
    QVERIFY(sender.round(now.addSecs(61), round));
    QCOMPARE(round.sent, 1);
    QVERIFY(db::outbox::read(databasePath(), all));
    QStringList ids;
    for (const db::outbox::Message &m : all) {
        QCOMPARE(m.state, QString::fromLatin1(mailState::sent));
        ids << m.messageId;
    }
    QStringList got = receivedIds(m_server.received());
    got.sort();
    ids.sort();
    QCOMPARE(got, ids);
}

// A reminder planned by two senders, or by one started again, is one
// message; a file handed in without the index that keeps keys once is not
// this program's.
void TestOutbox::plannedOnce()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    db::outbox::Message m;
    m.kind = QStringLiteral("Reminder");
    m.booking = QStringLiteral("12");
    m.recipient = QStringLiteral("ann@example.com");
    m.subject = QStringLiteral("Tomorrow");
    m.body = QStringLiteral("Six o'clock.");
    m.messageId = mail::makeMessageId(guide.address);
    m.planKey = QStringLiteral("12|Reminder|2027-06-05");
    bool added = false;
    QVERIFY(db::outbox::plan(databasePath(), m, now, added));
    QVERIFY(added);
    QVERIFY(db::outbox::plan(databasePath(), m, now, added));
    QVERIFY(!added);
    m.planKey = QStringLiteral("12|Reminder|2027-06-06"); // the trip moved
    QVERIFY(db::outbox::plan(databasePath(), m, now, added));
    QVERIFY(added);
    QList<db::outbox::Message> all;
    QVERIFY(db::outbox::read(databasePath(), all));
    QCOMPARE(all.size(), 2);

    // The index itself refuses a second key, whoever writes it.
    const Status twice = db::write(databasePath(), QLatin1String(table::Outbox),
        QStringLiteral("INSERT INTO Outbox (Kind, \"Plan Key\") VALUES ('Reminder', ?)"), { m.planKey });
    QVERIFY(!twice);
}

// Two senders in two processes on one server: every message goes once.
void TestOutbox::twoSendersSendEachOnce()
{
    if (!test::onServer())
        QSKIP("one desk sends from the file; several share only a server");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QStringList ids;
    for (int i = 0; i < 60; ++i) {
        const qint64 id
            = queueTo(QStringLiteral("c%1@example.com").arg(i), QStringLiteral("Trip %1").arg(i), now);
        QVERIFY(id > 0);
        ids << messageOf(id).messageId;
    }
    const int port = startServer();
    QVERIFY(port > 0);
    QProcess one, two;
    startChild(one, port, QStringLiteral("desk 1"));
    startChild(two, port, QStringLiteral("desk 2"));
    for (QProcess *p : { &one, &two }) {
        QVERIFY(p->waitForFinished(120000));
        QCOMPARE(p->exitCode(), 0);
    }
    QStringList got = receivedIds(m_server.received());
    got.sort();
    ids.sort();
    QCOMPARE(got, ids);
    QList<db::outbox::Message> all;
    QVERIFY(db::outbox::read(databasePath(), all));
    for (const db::outbox::Message &m : all)
        QCOMPARE(m.state, QString::fromLatin1(mailState::sent));
}

// A sender killed between the mail server's taking a message and writing
// so: nothing is lost, and the one message goes again once its mark is old,
// with the same Message-ID.
void TestOutbox::killedSenderLosesNothing()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QStringList ids;
    for (int i = 0; i < 12; ++i) {
        const qint64 id
            = queueTo(QStringLiteral("c%1@example.com").arg(i), QStringLiteral("Trip %1").arg(i), now);
        QVERIFY(id > 0);
        ids << messageOf(id).messageId;
    }
    const int port = startServer();
    QVERIFY(port > 0);
    QProcess child;
    startChild(child, port, QStringLiteral("desk 1"), 3);
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(m_server.received().size(), 3);

    // Another sender at once: the killed one's messages are not yet its.
    mail::Sender sender(databasePath(), QStringLiteral("desk 2"), smtp(port), guide);
    mail::Round round;
    do
        QVERIFY(sender.round(QDateTime::currentDateTimeUtc(), round));
    while (round.sent > 0);
    QList<db::outbox::Message> all;
    QVERIFY(db::outbox::read(databasePath(), all));
    int held = 0;
    for (const db::outbox::Message &m : all)
        held += m.state == QLatin1String(mailState::sending);
    QCOMPARE(held, 3); // the third and the two more of its round of five

    // Half an hour on, they are taken back and sent.
    do
        QVERIFY(sender.round(QDateTime::currentDateTimeUtc().addSecs(mail::staleSeconds + 60), round));
    while (round.sent > 0);
    QVERIFY(db::outbox::read(databasePath(), all));
    for (const db::outbox::Message &m : all)
        QCOMPARE(m.state, QString::fromLatin1(mailState::sent));
    QStringList got = receivedIds(m_server.received());
    QCOMPARE(got.size(), ids.size() + 1);
    got.sort();
    QStringList once = got;
    once.removeDuplicates();
    ids.sort();
    QCOMPARE(once, ids);
    // The one sent twice is the one the server took as the sender died.
    QCOMPARE(got.count(messageOf(all.last().id + 2).messageId), 2);
}

void TestOutbox::guideCancelsAndSendsAgain()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const qint64 refused = queueTo(QStringLiteral("nobody@example.com"), QStringLiteral("Trip"), now);
    const qint64 waiting
        = queueTo(QStringLiteral("ann@example.com"), QStringLiteral("Trip"), now.addSecs(3600));
    QVERIFY(refused > 0 && waiting > 0);
    const int port = startServer({ QStringLiteral("--refuse"), QStringLiteral("nobody@example.com") });
    mail::Sender sender(databasePath(), QStringLiteral("desk 1"), smtp(port), guide);
    mail::Round round;
    bool changed = false;
    QVERIFY(db::outbox::cancel(databasePath(), waiting, changed));
    QVERIFY(changed);
    QVERIFY(sender.round(now, round));
    QCOMPARE(messageOf(refused).state, QString::fromLatin1(mailState::failed));
    QCOMPARE(m_server.received().size(), 0);
    // Only what has not gone may be cancelled; only what has ended goes again.
    QVERIFY(db::outbox::cancel(databasePath(), refused, changed));
    QVERIFY(!changed);
    QVERIFY(db::outbox::sendAgain(databasePath(), waiting, now, changed));
    QVERIFY(changed);
    QVERIFY(sender.round(now, round));
    QCOMPARE(round.sent, 1);
    QCOMPARE(messageOf(waiting).state, QString::fromLatin1(mailState::sent));
    QVERIFY(db::outbox::sendAgain(databasePath(), waiting, now, changed));
    QVERIFY(!changed);
}

BM_TEST_MAIN(TestOutbox)
#include "test_outbox.moc"
