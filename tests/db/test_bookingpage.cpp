#include "pagefixture.h"
#include "serverdb.h"

#include "db/bookingpage.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace bm;

namespace
{

QString digestOf(const QByteArray &seed)
{
    return QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Sha256).toHex());
}

db::page::Request requestFor(const QDate &day, const QString &email, const QByteArray &seed)
{
    db::page::Request r;
    r.trip = QStringLiteral("Full Day");
    r.day = day;
    r.party = 2;
    r.name = QStringLiteral("Ann Lee");
    r.email = email;
    r.phone = QStringLiteral("555-0100");
    r.note = QStringLiteral("Two of us; one left-handed.");
    r.linkDigest = digestOf(seed);
    return r;
}

const char *stateName(db::page::DayState s)
{
    switch (s) {
    case db::page::DayState::Open:
        return "open";
    case db::page::DayState::Few:
        return "few";
    case db::page::DayState::Full:
        return "full";
    case db::page::DayState::Closed:
        break;
    }
    return "closed";
}

} // namespace

class TestBookingPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dayStates_data();
    void dayStates();
    void requestBecomesBookingWithItsContact();
    void lastPlaceIsTakenOnce();
    void pageLoginReachesNoTable_data();
    void pageLoginReachesNoTable();
    void clientsLink();

private:
    test::PageServer m_server;
};

void TestBookingPage::init()
{
    BM_REQUIRE_SERVER();
    QVERIFY(m_server.setUp(QStringLiteral("bookingpage")));
}

void TestBookingPage::cleanup()
{
    m_server.tearDown();
}

void TestBookingPage::dayStates_data()
{
    QTest::addColumn<QStringList>("statements"); // %1 is the day asked about
    QTest::addColumn<int>("daysAhead");
    QTest::addColumn<QString>("state");

    const QString book
        = QStringLiteral("INSERT INTO \"Booking\" (\"Date\", \"Guide\", \"Status\") VALUES ('%1', %2, %3)");
    const QString guide = QStringLiteral("INSERT INTO \"Guides\" (\"Name\", \"Active\") VALUES ('%1', '%2')");
    const QString page = QStringLiteral("UPDATE \"Booking Page\" SET %1");

    QTest::newRow("open") << QStringList() << 10 << "open";
    QTest::newRow("within the notice") << QStringList() << 1 << "closed";
    QTest::newRow("past how far ahead") << QStringList() << 121 << "closed";
    QTest::newRow("weekday not worked")
        << QStringList { page.arg(QStringLiteral("\"Weekdays\" = translate('1234567', "
                                                 "extract(isodow FROM DATE '%1')::text, '')")) }
        << 10 << "closed";
    QTest::newRow("before the season")
        << QStringList { page.arg(QStringLiteral("\"Season Start\" = to_char(DATE '%1' + 1, 'YYYY-MM-DD')")) }
        << 10 << "closed";
    QTest::newRow("after the season")
        << QStringList { page.arg(QStringLiteral("\"Season End\" = to_char(DATE '%1' - 1, 'YYYY-MM-DD')")) }
        << 10 << "closed";
    QTest::newRow("on the season's last day")
        << QStringList { page.arg(QStringLiteral("\"Season End\" = '%1'")) } << 10 << "open";
    QTest::newRow("no trip offered") << QStringList { QStringLiteral("DELETE FROM \"Page Trips\"") } << 10
                                     << "closed";
    QTest::newRow("the one guide booked") << QStringList { book.arg("%1", "NULL", "NULL") } << 10 << "full";
    QTest::newRow("a cancelled booking frees its place")
        << QStringList { book.arg("%1", "NULL", "'Cancelled'") } << 10 << "open";
    QTest::newRow("a request takes its place")
        << QStringList { book.arg("%1", "NULL", "'Requested'") } << 10 << "full";
    QTest::newRow("a booking of another day")
        << QStringList { QStringLiteral("INSERT INTO \"Booking\" (\"Date\") VALUES (to_char(DATE '%1' + 1, "
                                        "'YYYY-MM-DD'))") }
        << 10 << "open";
    QTest::newRow("two trips a day, one taken") << QStringList {
        page.arg(QStringLiteral("\"Trips Per Guide\" = '2'")), book.arg("%1", "NULL", "NULL")
    } << 10 << "few";
    QTest::newRow("four guides, three booked") << QStringList {
        guide.arg("Al", "Yes"), guide.arg("Bo", "Yes"), guide.arg("Cy", "Yes"), guide.arg("Di", "Yes"),
        book.arg("%1", "'Al'", "NULL"), book.arg("%1", "'Bo'", "NULL"), book.arg("%1", "'Cy'", "'Confirmed'")
    } << 10 << "few";
    QTest::newRow("four guides, one booked twice")
        << QStringList { guide.arg("Al", "Yes"), guide.arg("Bo", "Yes"), guide.arg("Cy", "Yes"),
               guide.arg("Di", "Yes"), book.arg("%1", "'Al'", "NULL"), book.arg("%1", "'Al'", "NULL") }
        << 10 << "open";
    QTest::newRow("two guides, one off, the other booked") << QStringList { guide.arg("Al", "Yes"),
        guide.arg("Bo", "Yes"),
        QStringLiteral("INSERT INTO \"Days Off\" (\"Guide\", \"Date\") VALUES ('Bo', '%1')"),
        book.arg("%1", "'Al'", "NULL") } << 10 << "full";
    const QString busy
        = QStringLiteral("INSERT INTO \"Busy Times\" (\"Guide\", \"Date\", \"Start Time\", "
                         "\"End Time\", \"Summary\") VALUES (%1, '%2', '14:00', '15:00', 'Dentist')");
    QTest::newRow("the one guide's own calendar busy")
        << QStringList { busy.arg("''", "%1") } << 10 << "closed";
    QTest::newRow("two guides, one busy in his calendar, the other booked") << QStringList {
        guide.arg("Al", "Yes"), guide.arg("Bo", "Yes"), busy.arg("'Bo'", "%1"), book.arg("%1", "'Al'", "NULL")
    } << 10 << "full";
    QTest::newRow("a busy time the day before")
        << QStringList { busy.arg("''", "%1").replace("'%1'", "to_char(DATE '%1' - 1, 'YYYY-MM-DD')") } << 10
        << "open";
    QTest::newRow("the whole service off")
        << QStringList { QStringLiteral("INSERT INTO \"Days Off\" (\"Date\") VALUES ('%1')") } << 10
        << "closed";
    QTest::newRow("bookings without a guide take any guide's place") << QStringList { guide.arg("Al", "Yes"),
        guide.arg("Bo", "Yes"), book.arg("%1", "NULL", "NULL"), book.arg("%1", "'Someone else'", "NULL") }
                                                                     << 10 << "full";
    QTest::newRow("a guide who left keeps his own trips")
        << QStringList { guide.arg("Al", "Yes"), guide.arg("Bo", "No"), book.arg("%1", "'Bo'", "NULL") } << 10
        << "open";
    QTest::newRow("settings typed wrong fall back")
        << QStringList { page.arg(QStringLiteral("\"Trips Per Guide\" = 'two', \"Notice Days\" = '-3', "
                                                 "\"Season Start\" = 'soon'")) }
        << 10 << "open";
}

void TestBookingPage::dayStates()
{
    QFETCH(QStringList, statements);
    QFETCH(int, daysAhead);
    QFETCH(QString, state);
    const QDate day = m_server.dayAhead(daysAhead);
    QVERIFY(day.isValid());
    for (const QString &s : statements)
        QVERIFY(m_server.sql(s.arg(day.toString(Qt::ISODate))));
    db::page::Gateway page(m_server.webUri());
    QVERIFY2(page.check(), "the page's login checks the layout");
    QList<db::page::Day> days;
    QVERIFY(page.days(day.addDays(-1), day.addDays(1), days));
    QCOMPARE(days.size(), 3);
    QCOMPARE(days[1].date, day);
    QCOMPARE(QString::fromLatin1(stateName(days[1].state)), state);
}

void TestBookingPage::requestBecomesBookingWithItsContact()
{
    QVERIFY(m_server.sql(QStringLiteral("INSERT INTO \"Phone\" (\"Name\", \"Address\", \"Email\") VALUES "
                                        "('Ann Lee-Smith', '1 Lake Road', 'ann@example.com')")));
    db::page::Gateway page(m_server.webUri());
    const QDate day = m_server.dayAhead(10);
    db::page::Outcome outcome;
    db::page::Request r = requestFor(day, QStringLiteral("ANN@example.com"), "one");
    QVERIFY(page.request(r, outcome));
    QCOMPARE(outcome, db::page::Outcome::Made);
    // The guide's contact is found by its e-mail and left as he keeps it.
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Phone\"")), QStringLiteral("1"));
    QCOMPARE(
        m_server.value(QStringLiteral("SELECT \"Name\" FROM \"Phone\"")), QStringLiteral("Ann Lee-Smith"));
    QCOMPARE(m_server.value(QStringLiteral("SELECT concat_ws('|', \"Status\", \"Date\", \"Type\", \"Name\", "
                                           "\"Address\", \"Party Size\", \"Start Time\", \"Total Charge\", "
                                           "\"Notes\") FROM \"Booking\"")),
        QStringLiteral(
            "Requested|%1|Full Day|Ann Lee|1 Lake Road|2|06:00|4000000|Two of us; one left-handed.")
            .arg(day.toString(Qt::ISODate)));
    QCOMPARE(m_server.value(QStringLiteral("SELECT r.\"Link\" FROM \"Page Requests\" r JOIN \"Booking\" b ON "
                                           "b.\"ID\"::text = r.\"Booking\"")),
        r.linkDigest);

    // A new client's contact is added.
    r = requestFor(day.addDays(1), QStringLiteral("bo@example.com"), "two");
    r.name = QStringLiteral("Bo Park");
    QVERIFY(page.request(r, outcome));
    QCOMPARE(outcome, db::page::Outcome::Made);
    QCOMPARE(m_server.value(QStringLiteral("SELECT concat_ws('|', \"Name\", \"Mobile Phone Number\") FROM "
                                           "\"Phone\" WHERE \"Email\" = 'bo@example.com'")),
        QStringLiteral("Bo Park|555-0100"));

    // What the server refuses is not written.
    const struct {
        const char *what;
        void (*spoil)(db::page::Request &);
        db::page::Outcome outcome;
    } refused[] = {
        { "unknown trip", [](db::page::Request &x) { x.trip = QStringLiteral("Moon Trip"); },
            db::page::Outcome::UnknownTrip },
        { "party too large", [](db::page::Request &x) { x.party = 4; }, db::page::Outcome::PartyTooLarge },
        { "no party", [](db::page::Request &x) { x.party = 0; }, db::page::Outcome::PartyTooLarge },
        { "closed day", [](db::page::Request &x) { x.day = x.day.addDays(200); }, db::page::Outcome::Closed },
        { "day taken", [](db::page::Request &x) { x.day = x.day.addDays(-1); }, db::page::Outcome::Full },
        { "e-mail without @", [](db::page::Request &x) { x.email = QStringLiteral("ann.example.com"); },
            db::page::Outcome::Invalid },
        { "empty name", [](db::page::Request &x) { x.name = QStringLiteral("  "); },
            db::page::Outcome::Invalid },
        { "link not a digest", [](db::page::Request &x) { x.linkDigest = QStringLiteral("abc"); },
            db::page::Outcome::Invalid },
        { "note too long", [](db::page::Request &x) { x.note = QString(2001, u'x'); },
            db::page::Outcome::Invalid },
    };
    for (const auto &c : refused) {
        db::page::Request bad = requestFor(day.addDays(2), QStringLiteral("cy@example.com"), c.what);
        c.spoil(bad);
        QVERIFY(page.request(bad, outcome));
        QVERIFY2(outcome == c.outcome, c.what);
    }
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Booking\"")), QStringLiteral("2"));
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Phone\"")), QStringLiteral("2"));
}

void TestBookingPage::lastPlaceIsTakenOnce()
{
    const QDate day = m_server.dayAhead(12);
    db::page::Gateway page(m_server.webUri());
    constexpr int clients = 8;
    std::atomic<int> made { 0 }, full { 0 }, failed { 0 };
    QList<QThread *> threads;
    for (int i = 0; i < clients; ++i)
        threads << QThread::create([&, i] {
            db::page::Outcome outcome;
            const db::page::Request r = requestFor(
                day, QStringLiteral("client%1@example.com").arg(i), QByteArray::number(i) + "race");
            if (!page.request(r, outcome))
                ++failed;
            else if (outcome == db::page::Outcome::Made)
                ++made;
            else if (outcome == db::page::Outcome::Full)
                ++full;
        });
    for (QThread *t : threads)
        t->start();
    for (QThread *t : threads) {
        QVERIFY(t->wait(60000));
        delete t;
    }
    QCOMPARE(failed.load(), 0);
    QCOMPARE(made.load(), 1);
    QCOMPARE(full.load(), clients - 1);
    QCOMPARE(m_server.value(QStringLiteral("SELECT count(*) FROM \"Booking\" WHERE \"Date\" = ?"),
                 { day.toString(Qt::ISODate) }),
        QStringLiteral("1"));
}

void TestBookingPage::pageLoginReachesNoTable_data()
{
    QTest::addColumn<QString>("statement");
    for (const char *table : { "Booking", "Phone", "Guide Info", "Page Requests", "Booking Page", "Guides",
             "Diary", "Days Off", "Busy Times", "Change Stamp", "Desk Changes", "Schema Version" })
        QTest::newRow(table) << QStringLiteral("SELECT * FROM \"%1\"").arg(QLatin1String(table));
    QTest::newRow("change a booking") << QStringLiteral("UPDATE \"Booking\" SET \"Name\" = 'x'");
    QTest::newRow("delete contacts") << QStringLiteral("DELETE FROM \"Phone\"");
    QTest::newRow("add a booking") << QStringLiteral("INSERT INTO \"Booking\" (\"Name\") VALUES ('x')");
    QTest::newRow("count places") << QStringLiteral(
        "SELECT * FROM bm_page_places(current_date, current_date)");
    QTest::newRow("read settings") << QStringLiteral("SELECT * FROM bm_page_settings()");
    QTest::newRow("drop a table") << QStringLiteral("DROP TABLE \"Booking\"");
    QTest::newRow("stop a trigger") << QStringLiteral("ALTER TABLE \"Booking\" DISABLE TRIGGER ALL");
    QTest::newRow("replace a function") << QStringLiteral(
        "CREATE OR REPLACE FUNCTION bm_web_layout() RETURNS bigint LANGUAGE sql AS $$ SELECT 1 $$");
    QTest::newRow("make a table") << QStringLiteral("CREATE TABLE mine (x int)");
}

void TestBookingPage::pageLoginReachesNoTable()
{
    QFETCH(QString, statement);
    QVERIFY(m_server.sql(
        QStringLiteral("INSERT INTO \"Booking\" (\"Name\", \"Date\") VALUES ('Ann', '2030-01-01')")));
    test::ServerConnection web(m_server.webUri());
    QVERIFY2(web.status(), qPrintable(web.status().message()));
    {
        QSqlQuery q(web.database());
        QVERIFY2(!q.exec(statement), qPrintable(statement));
        QVERIFY2(q.lastError().text().contains(QLatin1String("permission denied"))
                || q.lastError().text().contains(QLatin1String("must be owner")),
            qPrintable(q.lastError().text()));
        // What it may do still works.
        QVERIFY2(q.exec(QStringLiteral("SELECT count(*) FROM bm_web_days(current_date, current_date + 30)")),
            qPrintable(q.lastError().text()));
    }
    QCOMPARE(
        m_server.value(QStringLiteral("SELECT concat_ws('|', count(*), min(\"Name\")) FROM \"Booking\"")),
        QStringLiteral("1|Ann"));
}

void TestBookingPage::clientsLink()
{
    db::page::Gateway page(m_server.webUri());
    const QDate day = m_server.dayAhead(10);
    db::page::Outcome outcome;
    const db::page::Request r = requestFor(day, QStringLiteral("ann@example.com"), "link");
    QVERIFY(page.request(r, outcome));
    QCOMPARE(outcome, db::page::Outcome::Made);

    db::page::RequestState state;
    QVERIFY(page.lookUp(r.linkDigest, state));
    QVERIFY(state.found);
    QCOMPARE(state.state, QStringLiteral("requested"));
    QCOMPARE(state.day, day);
    QCOMPARE(state.trip, QStringLiteral("Full Day"));
    QVERIFY(state.cancellable);

    const QString status = QStringLiteral("UPDATE \"Booking\" SET \"Status\" = ?");
    QVERIFY(m_server.sql(status, { QStringLiteral("Confirmed") }));
    QVERIFY(page.lookUp(r.linkDigest, state));
    QCOMPARE(state.state, QStringLiteral("confirmed"));

    // Within the notice the guide set, the client must call.
    QVERIFY(m_server.sql(QStringLiteral("UPDATE \"Booking Page\" SET \"Cancel Days\" = '30'")));
    db::page::CancelOutcome cancelled;
    QVERIFY(page.cancel(r.linkDigest, cancelled));
    QCOMPARE(cancelled, db::page::CancelOutcome::TooLate);
    QCOMPARE(
        m_server.value(QStringLiteral("SELECT \"Status\" FROM \"Booking\"")), QStringLiteral("Confirmed"));

    QVERIFY(m_server.sql(QStringLiteral("UPDATE \"Booking Page\" SET \"Cancel Days\" = '2'")));
    QVERIFY(page.cancel(r.linkDigest, cancelled));
    QCOMPARE(cancelled, db::page::CancelOutcome::Cancelled);
    QCOMPARE(
        m_server.value(QStringLiteral("SELECT \"Status\" FROM \"Booking\"")), QStringLiteral("Cancelled"));
    QVERIFY(page.lookUp(r.linkDigest, state));
    QCOMPARE(state.state, QStringLiteral("cancelled"));
    QVERIFY(!state.cancellable);
    QVERIFY(page.cancel(r.linkDigest, cancelled));
    QCOMPARE(cancelled, db::page::CancelOutcome::Nothing);

    // Declined: cancelled by the guide, with his reason.
    QVERIFY(
        m_server.sql(QStringLiteral("UPDATE \"Page Requests\" SET \"Reason\" = 'The river is too high.'")));
    QVERIFY(page.lookUp(r.linkDigest, state));
    QCOMPARE(state.state, QStringLiteral("declined"));
    QCOMPARE(state.reason, QStringLiteral("The river is too high."));

    // Another link, or something else shaped like one, finds nothing.
    for (const QString &other : { digestOf("other"), QStringLiteral("' OR '1'='1"), QString() }) {
        QVERIFY(page.lookUp(other, state));
        QVERIFY(!state.found);
        QVERIFY(page.cancel(other, cancelled));
        QCOMPARE(cancelled, db::page::CancelOutcome::Nothing);
    }
}

QTEST_GUILESS_MAIN(TestBookingPage)
#include "test_bookingpage.moc"
