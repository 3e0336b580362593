#include "core/apppaths.h"
#include "db/outbox.h"
#include "db/query.h"
#include "mail/message.h"
#include "main/mailcourier.h"

#include "doubles.h"
#include "outboxfixture.h"
#include "records.h"
#include "smtptestserver.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace bm;

namespace
{

} // namespace

class TestMailCourier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void plansAndSendsOffTheWindowsThread();
};

void TestMailCourier::initTestCase()
{
    if (!test::SmtpTestServer::available())
        QSKIP("/usr/bin/python3 has no aiosmtpd (Debian: python3-aiosmtpd), which the test's mail server "
              "needs");
}

void TestMailCourier::init()
{
    test::resetDatabase();
    QVERIFY(db::write(databasePath(), QStringLiteral("Booking"), QStringLiteral("DELETE FROM Booking"), {}));
}

// Not set up: nothing is planned. Set up: the day's reminder is planned
// and goes, while the window's thread goes on; a message that finds the
// settings gone waits.
void TestMailCourier::plansAndSendsOffTheWindowsThread()
{
    test::FakeClock clock;
    const QDate today = clock.date;
    test::addBooking(
        { { QStringLiteral("Name"), QStringLiteral("Ann") }, { QStringLiteral("Date"), today.addDays(2) },
            { QStringLiteral("Email"), QStringLiteral("ann@example.com") } });
    QTemporaryDir out;
    test::SmtpTestServer server;
    const int port = server.start(QStringLiteral(SMTP_SERVER), out.path());
    QVERIFY(port > 0);
    bool setUp = false;
    MailCourier courier(databasePath(), QStringLiteral("desk 1"),
        [&](mail::SmtpSettings &smtp, mail::Mailbox &from, bool &ready) {
            smtp.host = QStringLiteral("127.0.0.1");
            smtp.port = port;
            smtp.security = mail::Security::None;
            from = { QStringLiteral("guide@tallow-lake.com"), QStringLiteral("Tallow Lake Guiding") };
            ready = setUp;
            return Status::ok();
        });
    QSignalSpy ended(&courier, &MailCourier::roundEnded);
    courier.runNow();
    QCOMPARE(ended.size(), 1);
    QVERIFY(test::outboxLines().isEmpty());

    setUp = true;
    test::fillTable(QStringLiteral("Mail Settings"),
        { { { QStringLiteral("Server"), QStringLiteral("127.0.0.1") },
            { QStringLiteral("Sender Address"), QStringLiteral("guide@tallow-lake.com") } } });
    courier.runNow();
    // The window's thread is free while the message goes: the round ends
    // later, through the event loop.
    QVERIFY(courier.busy());
    QVERIFY(ended.wait(20000));
    const auto round = ended.last().at(0).value<mail::Round>();
    QCOMPARE(round.sent, 1);
    QCOMPARE(test::outboxLines(), QStringList { QStringLiteral("Ann: Reminder [Sent]") });
    QCOMPARE(server.received().size(), 1);
    // The next round plans nothing again and finds nothing due.
    courier.runNow();
    QVERIFY(ended.size() == 3 || ended.wait(20000));
    QCOMPARE(server.received().size(), 1);

    // The settings gone at this desk: what is due waits, untried.
    setUp = false;
    db::outbox::Message m;
    m.kind = QStringLiteral("Confirmed");
    m.recipient = QStringLiteral("bob@example.com");
    m.recipientName = QStringLiteral("Bob");
    m.subject = QStringLiteral("Your trip");
    m.messageId = mail::makeMessageId(QStringLiteral("guide@tallow-lake.com"));
    db::Transaction t(databasePath());
    QVERIFY(t.begin());
    QVERIFY(db::outbox::queue(t, m, QDateTime::currentDateTimeUtc()));
    QVERIFY(t.commit());
    courier.runNow();
    QVERIFY(!courier.busy());
    QCOMPARE(test::outboxLines(),
        QStringList({ QStringLiteral("Ann: Reminder [Sent]"), QStringLiteral("Bob: Confirmed [Queued]") }));
    QList<db::outbox::Message> all;
    QVERIFY(db::outbox::read(databasePath(), all));
    QCOMPARE(all.first().tries, 0);
    QCOMPARE(server.received().size(), 1);
}

BM_TEST_MAIN(TestMailCourier)
#include "test_mailcourier.moc"
