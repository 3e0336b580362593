#include "domain/bookingmail.h"
#include "mail/texts.h"
#include "schema/fields.h"

#include "testenv.h"

#include <QtTest>

#include <algorithm>

using namespace bm;

namespace
{

// "Kind|State|Last Error" per message, separated by ";", oldest first.
QList<db::outbox::Message> messagesOf(const QString &list)
{
    QList<db::outbox::Message> messages;
    qint64 id = 0;
    for (const QString &one : list.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = one.split(QLatin1Char('|'));
        db::outbox::Message m;
        m.id = ++id;
        m.kind = fields.value(0);
        m.state = fields.value(1);
        m.lastError = fields.value(2);
        messages.append(m);
    }
    // As the outbox reads them: the newest first.
    std::reverse(messages.begin(), messages.end());
    return messages;
}

} // namespace

class TestBookingMail : public QObject
{
    Q_OBJECT
private slots:
    void toAsk_data();
    void toAsk();
    void refusal_data();
    void refusal();
};

void TestBookingMail::toAsk_data()
{
    QTest::addColumn<bool>("isNew");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("setUp");
    QTest::addColumn<bool>("confirmedOn");
    QTest::addColumn<bool>("cancelledOn");
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<QString>("asked");

    const QString ann = QStringLiteral("ann@example.com");
    const QString confirmed = QStringLiteral("Confirmed");
    const QString cancelled = QStringLiteral("Cancelled");
    const QString none;
    auto row = [&](const char *name, bool isNew, const char *before, const char *after, const QString &email,
                   bool setUp, bool confirmedOn, bool cancelledOn, const char *earlier,
                   const QString &asked) {
        QTest::newRow(name) << isNew << QString::fromLatin1(before) << QString::fromLatin1(after) << email
                            << setUp << confirmedOn << cancelledOn << QString::fromLatin1(earlier) << asked;
    };

    // What the change of status calls for.
    row("new, confirmed", true, "", "Confirmed", ann, true, true, true, "", confirmed);
    row("new, no status is confirmed", true, "", "", ann, true, true, true, "", confirmed);
    row("new, requested", true, "", "Requested", ann, true, true, true, "", none);
    row("new, cancelled", true, "", "Cancelled", ann, true, true, true, "", none);
    row("requested to confirmed", false, "Requested", "Confirmed", ann, true, true, true, "", confirmed);
    row("no-show to confirmed", false, "No-show", "Confirmed", ann, true, true, true, "", confirmed);
    row("confirmed, unchanged", false, "Confirmed", "Confirmed", ann, true, true, true, "", none);
    row("no status to confirmed is no change", false, "", "Confirmed", ann, true, true, true, "", none);
    row("confirmed to cancelled", false, "Confirmed", "Cancelled", ann, true, true, true, "", cancelled);
    row("requested to cancelled", false, "Requested", "Cancelled", ann, true, true, true, "", cancelled);
    row("no status to cancelled", false, "", "Cancelled", ann, true, true, true, "", cancelled);
    row("no-show to cancelled", false, "No-show", "Cancelled", ann, true, true, true, "", none);
    row("cancelled, unchanged", false, "Cancelled", "Cancelled", ann, true, true, true, "", none);
    row("confirmed to no-show", false, "Confirmed", "No-show", ann, true, true, true, "", none);

    // The client's address, the settings and the kinds.
    row("no address", true, "", "Confirmed", none, true, true, true, "", none);
    row("no address at all", true, "", "Confirmed", QStringLiteral("ann at example"), true, true, true, "",
        none);
    row("address with blanks around", true, "", "Confirmed", QStringLiteral(" ann@example.com "), true, true,
        true, "", confirmed);
    row("mail not set up", true, "", "Confirmed", ann, false, true, true, "", none);
    row("confirmation off", true, "", "Confirmed", ann, true, false, true, "", none);
    row("cancellation off", false, "Confirmed", "Cancelled", ann, true, true, false, "", none);

    // The messages the booking has had.
    row("confirmation waiting", false, "Requested", "Confirmed", ann, true, true, true, "Confirmed|Queued",
        none);
    row("confirmation sent", false, "Requested", "Confirmed", ann, true, true, true, "Confirmed|Sent", none);
    row("confirmation refused", false, "Requested", "Confirmed", ann, true, true, true, "Confirmed|Failed",
        confirmed);
    row("other kinds sent", false, "Requested", "Confirmed", ann, true, true, true,
        "Request Received|Sent;Reminder|Queued", confirmed);
    row("confirmed again after a cancellation", false, "Cancelled", "Confirmed", ann, true, true, true,
        "Confirmed|Sent;Cancelled|Sent", confirmed);
    row("confirmed again after a cancellation that never went", false, "Cancelled", "Confirmed", ann, true,
        true, true, "Confirmed|Sent;Cancelled|Failed", none);
    row("cancellation waiting", false, "Confirmed", "Cancelled", ann, true, true, true,
        "Confirmed|Sent;Cancelled|Queued", none);
    row("cancelled again after a new confirmation", false, "Confirmed", "Cancelled", ann, true, true, true,
        "Cancelled|Sent;Confirmed|Sent", cancelled);
}

void TestBookingMail::toAsk()
{
    QFETCH(bool, isNew);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, email);
    QFETCH(bool, setUp);
    QFETCH(bool, confirmedOn);
    QFETCH(bool, cancelledOn);
    QFETCH(QString, earlier);
    QFETCH(QString, asked);
    const bookingmail::Outbox outbox { setUp, confirmedOn, cancelledOn, messagesOf(earlier) };
    QCOMPARE(bookingmail::toAsk({ isNew, before, after, email }, outbox), asked);
}

void TestBookingMail::refusal_data()
{
    QTest::addColumn<QString>("messages");
    QTest::addColumn<QString>("line"); // empty: none shown

    const QString refused = QStringLiteral("Mail to the client was refused: ");
    QTest::newRow("no mail") << ""
                             << "";
    QTest::newRow("refused") << "Confirmed|Failed|550 No such user" << refused + "550 No such user";
    QTest::newRow("refused, then sent") << "Confirmed|Failed|550 No such user;Confirmed|Sent"
                                        << "";
    QTest::newRow("refused, then another kind sent")
        << "Confirmed|Failed|550 No such user;Reminder|Sent" << refused + "550 No such user";
    QTest::newRow("sent, then refused")
        << "Confirmed|Sent;Confirmed|Failed|552 Mailbox full" << refused + "552 Mailbox full";
    QTest::newRow("the latest refusal")
        << "Reminder|Failed|550 No such user;Balance Due|Failed|552 Mailbox full"
        << refused + "552 Mailbox full";
    QTest::newRow("an older refusal still stands")
        << "Reminder|Failed|550 No such user;Balance Due|Failed|552 Mailbox full;Balance Due|Sent"
        << refused + "550 No such user";
    QTest::newRow("the guide's own mail") << "New Request|Failed|550 No such user"
                                          << "";
    QTest::newRow("reason on several lines")
        << "Thank You|Failed|  550-5.1.1 The account does not exist.\r\n550 5.1.1 Try again  "
        << refused + "550-5.1.1 The account does not exist. 550 5.1.1 Try again";
    QTest::newRow("no reason") << "Cancelled|Failed|"
                               << "Mail to the client was refused.";
    const QString longReason = QStringLiteral("550 ") + QString(300, QLatin1Char('x'));
    QTest::newRow("long reason") << "Confirmed|Failed|" + longReason
                                 << refused + longReason.left(bookingmail::refusalLength - 1) + QChar(0x2026);
}

void TestBookingMail::refusal()
{
    QFETCH(QString, messages);
    QFETCH(QString, line);
    const std::optional<QString> shown = bookingmail::refusal(messagesOf(messages));
    QCOMPARE(shown.has_value(), !line.isEmpty());
    if (shown)
        QCOMPARE(*shown, line);
}

BM_TEST_MAIN(TestBookingMail)
#include "test_bookingmail.moc"
