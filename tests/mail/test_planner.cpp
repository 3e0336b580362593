#include "core/apppaths.h"
#include "db/outbox.h"
#include "db/query.h"
#include "domain/requests.h"
#include "mail/queue.h"
#include "schema/fields.h"

#include "outboxfixture.h"
#include "records.h"
#include "testenv.h"

#include <QTest>
#include <QTimeZone>

using namespace bm;

namespace
{

const QDate today(2027, 6, 10);

QString day(int fromToday)
{
    return today.addDays(fromToday).toString(Qt::ISODate);
}

void setUpMail()
{
    test::fillTable(QStringLiteral("Mail Settings"),
        { { { QStringLiteral("Server"), QStringLiteral("mail.tallow-lake.com") },
            { QStringLiteral("Sender Address"), QStringLiteral("guide@tallow-lake.com") },
            { QStringLiteral("Guide Address"), QStringLiteral("office@tallow-lake.com") } } });
}

mail::Plan planOn(const QDate &d)
{
    mail::Plan p;
    const Status s = mail::plan(databasePath(), d, QDateTime(d, QTime(8, 0), QTimeZone::utc()), p);
    if (!s)
        qWarning().noquote() << s.message();
    return p;
}

} // namespace

class TestPlanner : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void plansBySeason_data();
    void plansBySeason();
    void movedPaidAndCancelledTrips();
    void textsFromTheBooking_data();
    void textsFromTheBooking();
    void answeringARequestQueuesItsMessage();
    void aMessageThatCanNotBeMadeStopsTheChange();
};

void TestPlanner::init()
{
    test::resetDatabase();
    QVERIFY(db::write(databasePath(), QStringLiteral("Booking"), QStringLiteral("DELETE FROM Booking"), {}));
}

void TestPlanner::plansBySeason_data()
{
    QTest::addColumn<int>("tripIn"); // days from today
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("balance");
    QTest::addColumn<QStringList>("planned");

    const QString confirmed = QString::fromLatin1(bookingStatus::confirmed);
    const QString ann = QStringLiteral("ann@example.com");
    const QStringList reminder { QStringLiteral("Ann: Reminder [Queued]") };
    const QStringList balance { QStringLiteral("Ann: Balance Due [Queued]") };
    QTest::newRow("two days ahead") << 2 << confirmed << ann << QString() << reminder;
    QTest::newRow("no state: agreed") << 2 << QString() << ann << QString() << reminder;
    QTest::newRow("booked late: tomorrow") << 1 << confirmed << ann << QString() << reminder;
    QTest::newRow("too early") << 3 << confirmed << ann << QString() << QStringList();
    QTest::newRow("the trip is today") << 0 << confirmed << ann << QString() << QStringList();
    QTest::newRow("requested") << 2 << QString::fromLatin1(bookingStatus::requested) << ann << QString()
                               << QStringList();
    QTest::newRow("cancelled") << 2 << QString::fromLatin1(bookingStatus::cancelled) << ann << QString()
                               << QStringList();
    QTest::newRow("no e-mail") << 2 << confirmed << QString() << QString() << QStringList();
    QTest::newRow("not an address") << 2 << confirmed << "ann@example.com, bob@example.com" << QString()
                                    << QStringList();
    QTest::newRow("balance, thirty days") << 20 << confirmed << ann << "150" << balance;
    QTest::newRow("balance, fourteen days") << 10 << confirmed << ann << "150" << balance;
    QTest::newRow("balance and reminder")
        << 2 << confirmed << ann << "150" << QStringList { balance.first(), reminder.first() };
    QTest::newRow("paid") << 10 << confirmed << ann << "0" << QStringList();
    QTest::newRow("far ahead") << 40 << confirmed << ann << "150" << QStringList();
    QTest::newRow("yesterday: thanks")
        << -1 << confirmed << ann << QString() << QStringList { QStringLiteral("Ann: Thank You [Queued]") };
    QTest::newRow("a week late: no thanks") << -8 << confirmed << ann << QString() << QStringList();
    QTest::newRow("no-show: no thanks")
        << -1 << QString::fromLatin1(bookingStatus::noShow) << ann << QString() << QStringList();
}

void TestPlanner::plansBySeason()
{
    QFETCH(int, tripIn);
    QFETCH(QString, status);
    QFETCH(QString, email);
    QFETCH(QString, balance);
    QFETCH(QStringList, planned);

    test::FieldValues values { { QStringLiteral("Name"), QStringLiteral("Ann") },
        { QStringLiteral("Date"), today.addDays(tripIn) }, { QStringLiteral("Email"), email },
        { QStringLiteral("Status"), status } };
    if (!balance.isEmpty())
        values.append({ QStringLiteral("Balance Due"), balance });
    QVERIFY(test::addBooking(values).isValid());
    // Not set up: nothing.
    QCOMPARE(planOn(today).planned, 0);
    setUpMail();
    // Planned in the order of their keys: by booking, then kind.
    QCOMPARE(planOn(today).planned, planned.size());
    QCOMPARE(test::outboxLines(), planned);
    // Again, as another desk or after a restart: nothing more.
    QCOMPARE(planOn(today).planned, 0);
    QCOMPARE(test::outboxLines(), planned);
}

// Over days of a season: a moved trip's reminder is planned for its new
// day and the old one dropped; a paid balance's note and a cancelled trip's
// reminder are dropped while they wait; what went is left as it is.
void TestPlanner::movedPaidAndCancelledTrips()
{
    setUpMail();
    const Bookmark moved = test::addBooking(
        { { QStringLiteral("Name"), QStringLiteral("Ann") }, { QStringLiteral("Date"), today.addDays(2) },
            { QStringLiteral("Email"), QStringLiteral("ann@example.com") } });
    const Bookmark paid = test::addBooking(
        { { QStringLiteral("Name"), QStringLiteral("Bob") }, { QStringLiteral("Date"), today.addDays(10) },
            { QStringLiteral("Email"), QStringLiteral("bob@example.com") },
            { QStringLiteral("Balance Due"), QStringLiteral("80") } });
    const Bookmark called = test::addBooking(
        { { QStringLiteral("Name"), QStringLiteral("Cy") }, { QStringLiteral("Date"), today.addDays(1) },
            { QStringLiteral("Email"), QStringLiteral("cy@example.com") } });
    QCOMPARE(planOn(today).planned, 3);

    const auto set = [](Bookmark b, const char *field, const QVariant &v) {
        QVERIFY(db::write(databasePath(), QStringLiteral("Booking"),
            QStringLiteral("UPDATE Booking SET \"%1\" = ? WHERE ID = ?").arg(QLatin1String(field)),
            { v, b.id }));
    };
    set(moved, field::Booking::Date, day(1));
    set(paid, field::Booking::BalanceDue, 0);
    set(called, field::Booking::Status, QString::fromLatin1(bookingStatus::cancelled));
    const mail::Plan p = planOn(today);
    QCOMPARE(p.planned, 1);
    QCOMPARE(p.dropped, 3);
    QCOMPARE(test::outboxLines(),
        QStringList({ QStringLiteral("Ann: Reminder [Dropped]"), QStringLiteral("Bob: Balance Due [Dropped]"),
            QStringLiteral("Cy: Reminder [Dropped]"), QStringLiteral("Ann: Reminder [Queued]") }));

    // The day after the trip: its reminder, had it not gone, is no longer
    // wanted; the thanks are.
    const mail::Plan after = planOn(today.addDays(2));
    QCOMPARE(after.dropped, 1);
    QVERIFY(test::outboxLines().contains(QStringLiteral("Ann: Thank You [Queued]")));
}

void TestPlanner::textsFromTheBooking_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QStringList>("bodyHas");
    QTest::addColumn<QString>("to");

    QTest::newRow("confirmed") << "Confirmed"
                               << "Your Full Day trip on Friday, June 18, 2027 is confirmed"
                               << QStringList { "Dear Ann Lee,", "We start at 06:00 at State Park Marina.",
                                      "The balance of $150.00 is due on the day.\n\nWe look forward",
                                      "with you.\n\nTallow Lake Guiding" }
                               << "ann@example.com";
    QTest::newRow("new request, to the guide")
        << "New Request"
        << "New request: Full Day on Friday, June 18, 2027 for Ann Lee"
        << QStringList { "E-mail: ann@example.com", "Phone: 555-0100",
               "Note: First time\nwith kids\n\nAccept", "for 3 anglers" }
        << "office@tallow-lake.com";
    QTest::newRow("thanks with the catch")
        << "Thank You"
        << "Thank you for fishing with us"
        << QStringList { "The day's catch: 12 Walleye.\n\nTallow Lake Guiding" } << "ann@example.com";
}

void TestPlanner::textsFromTheBooking()
{
    QFETCH(QString, kind);
    QFETCH(QString, subject);
    QFETCH(QStringList, bodyHas);
    QFETCH(QString, to);

    setUpMail();
    QVERIFY(db::write(databasePath(), QStringLiteral("Guide Info"),
        QStringLiteral("UPDATE \"Guide Info\" SET \"Guide Name\" = 'Tallow Lake Guiding'"), {}));
    const Bookmark b = test::addBooking({ { QStringLiteral("Name"), QStringLiteral("Ann Lee") },
        { QStringLiteral("Date"), QDate(2027, 6, 18) },
        { QStringLiteral("Type"), QStringLiteral("Full Day") },
        { QStringLiteral("Start Time"), QStringLiteral("06:00") },
        { QStringLiteral("Meet At"), QStringLiteral("State Park Marina") },
        { QStringLiteral("Email"), QStringLiteral("ann@example.com") },
        { QStringLiteral("Cell Phone"), QStringLiteral("555-0100") },
        { QStringLiteral("Notes"), QStringLiteral("First time\nwith kids") },
        { QStringLiteral("Party Size"), QStringLiteral("3") },
        { QStringLiteral("Balance Due"), QStringLiteral("150") },
        { QStringLiteral("Total Fish"), QStringLiteral("12") },
        { QStringLiteral("Species"), QStringLiteral("Walleye") } });
    QVERIFY(b.isValid());
    db::Transaction t(databasePath());
    QVERIFY(t.begin());
    bool queued = false;
    QVERIFY(mail::queueFor(t, databasePath(), kind, b.id, QDateTime::currentDateTimeUtc(), queued));
    QVERIFY(t.commit());
    QVERIFY(queued);
    QList<db::outbox::Message> all;
    QVERIFY(db::outbox::read(databasePath(), all));
    QCOMPARE(all.size(), 1);
    QCOMPARE(all.first().subject, subject);
    QCOMPARE(all.first().recipient, to);
    QCOMPARE(all.first().booking, QString::number(b.id));
    QVERIFY(all.first().messageId.endsWith(QLatin1String("@tallow-lake.com>")));
    for (const QString &part : bodyHas)
        QVERIFY2(all.first().body.contains(part), qPrintable(all.first().body));
}

void TestPlanner::answeringARequestQueuesItsMessage()
{
    const auto request = [](const QString &name) {
        return test::addBooking(
            { { QStringLiteral("Name"), name }, { QStringLiteral("Date"), today.addDays(9) },
                { QStringLiteral("Email"), name.toLower() + QStringLiteral("@example.com") },
                { QStringLiteral("Status"), QString::fromLatin1(bookingStatus::requested) } });
    };
    // Without mail set up the answer is given and nothing queued.
    QVERIFY(requests::accept(request(QStringLiteral("Ann"))));
    QVERIFY(test::outboxLines().isEmpty());
    setUpMail();
    QVERIFY(requests::accept(request(QStringLiteral("Bob"))));
    const Bookmark cy = request(QStringLiteral("Cy"));
    QVERIFY(db::write(databasePath(), QStringLiteral("Page Requests"),
        QStringLiteral("INSERT INTO \"Page Requests\" (Booking, Link) VALUES (?, ?)"),
        { QString::number(cy.id), QString(64, u'a') }));
    QVERIFY(requests::decline(cy, QStringLiteral("The lake is closed for a tournament that day.")));
    QCOMPARE(test::outboxLines(),
        QStringList({ QStringLiteral("Bob: Confirmed [Queued]"), QStringLiteral("Cy: Declined [Queued]") }));
    QList<db::outbox::Message> all;
    QVERIFY(db::outbox::read(databasePath(), all));
    QVERIFY2(all.first().body.contains(QLatin1String("The lake is closed for a tournament that day.")),
        qPrintable(all.first().body));
}

// The change and its message stand or fall together: a text the guide
// broke stops the answer, which stays unanswered.
void TestPlanner::aMessageThatCanNotBeMadeStopsTheChange()
{
    setUpMail();
    mail::Text broken;
    QVERIFY(mail::text(databasePath(), QLatin1String(mail::kind::confirmed), broken));
    broken.body = QStringLiteral("Dear {{#client}}, see you");
    QVERIFY(mail::saveText(databasePath(), broken));
    const Bookmark b = test::addBooking(
        { { QStringLiteral("Name"), QStringLiteral("Ann") }, { QStringLiteral("Date"), today.addDays(9) },
            { QStringLiteral("Email"), QStringLiteral("ann@example.com") },
            { QStringLiteral("Status"), QString::fromLatin1(bookingStatus::requested) } });
    const Status s = requests::accept(b);
    QVERIFY(!s);
    QVERIFY2(s.message().contains(QLatin1String("Confirmed")), qPrintable(s.message()));
    QVariant status;
    db::Query q;
    QVERIFY(q.single(QStringLiteral("SELECT Status FROM Booking WHERE ID = ?"), { b.id }, status));
    QCOMPARE(status.toString(), QString::fromLatin1(bookingStatus::requested));
    QVERIFY(test::outboxLines().isEmpty());
}

BM_TEST_MAIN(TestPlanner)
#include "test_planner.moc"
