#include "logbookfixture.h"
#include "testenv.h"

#include "db/query.h"
#include "domain/catches.h"
#include "domain/logbook.h"
#include "schema/schema.h"

#include <QtTest>

using namespace bm;

namespace
{

QStringList joined(const QList<QStringList> &rows)
{
    QStringList out;
    for (const QStringList &r : rows)
        out << r.join(QLatin1Char('|'));
    return out;
}

// The logbook's reminders as "yyyy-MM-dd text", in key order.
QStringList reminders()
{
    db::Query q;
    const QString date = schema::quoted(QLatin1String(field::Reminder::Date));
    const QString text = schema::quoted(QLatin1String(field::Reminder::Reminder));
    if (!q.run(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %4")
                   .arg(date, text, schema::quoted(QLatin1String(table::Reminder)),
                       QLatin1String(schema::keyColumn))))
        return { QStringLiteral("unreadable") };
    QStringList out;
    while (q.next())
        if (q.value(QLatin1String(field::Reminder::Reminder))
                .toString()
                .startsWith(QLatin1String("Send the state")))
            out << q.value(QLatin1String(field::Reminder::Date)).toString().left(10) + QLatin1Char(' ')
                    + q.value(QLatin1String(field::Reminder::Reminder)).toString();
    return out;
}

const QString cowlitz = QStringLiteral("2026-11-03|Ann Reed|G-100|Cowlitz River|");

} // namespace

class TestLogbook : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }

    void salmonAndSteelhead_data();
    void salmonAndSteelhead();
    void monthRows_data();
    void monthRows();
    void problemsNameTripDayAndWhat();
    void reminderOnce_data();
    void reminderOnce();
};

void TestLogbook::salmonAndSteelhead_data()
{
    QTest::addColumn<QString>("species");
    QTest::addColumn<bool>("salmonid");
    QTest::newRow("steelhead") << "Steelhead" << true;
    QTest::newRow("hatchery steelhead") << "hatchery steelhead" << true;
    QTest::newRow("coho salmon") << "Coho Salmon" << true;
    QTest::newRow("chinook") << "CHINOOK" << true;
    QTest::newRow("king alone") << "King" << true;
    QTest::newRow("pink alone") << "pink" << true;
    QTest::newRow("king mackerel") << "King Mackerel" << false;
    QTest::newRow("rainbow trout") << "Rainbow Trout" << false;
    QTest::newRow("salmonfly is no fish") << "Salmonfly" << false;
    QTest::newRow("nothing") << "" << false;
}

void TestLogbook::salmonAndSteelhead()
{
    QFETCH(QString, species);
    QFETCH(bool, salmonid);
    QCOMPARE(catches::asksOriginAndStage(species), salmonid);
}

void TestLogbook::monthRows_data()
{
    QTest::addColumn<QString>("guide");
    QTest::addColumn<QStringList>("rows");
    const QString s27 = QStringLiteral("27|Cowlitz R. - Barrier Dam to I-5|");
    const QString s28 = QStringLiteral("28|Cowlitz R. - I-5 to mouth|");
    const QString day4 = QStringLiteral("2026-11-04|Ann Reed|G-100|Cowlitz River|||");
    const QString day20 = QStringLiteral("2026-11-20|Ann Reed|G-100|Cowlitz River|") + s27;
    const QStringList annsRows {
        QStringLiteral("2026-11-01|Ann Reed|G-100|Cowlitz River|") + s27
            + "Jo Wren||Client|Rainbow Trout|2|1||",
        cowlitz + s27 + "Carl Dunn|WA-1|Client|Steelhead|1|0|Hatchery|Adult",
        cowlitz + s27 + "Dee Dunn|WA-2|Comped|Steelhead|0|1|Wild|Jack",
        cowlitz + s27 + "Eli Moss||Crew|||||",
        cowlitz + s28 + "Carl Dunn|WA-1|Client|Nothing caught|0|0||",
        cowlitz + s28 + "Dee Dunn|WA-2|Comped|||||",
        cowlitz + s28 + "Eli Moss||Crew|||||",
        day4 + "Carl Dunn|WA-1|Client|||||",
        day4 + "Dee Dunn|WA-2|Comped|||||",
        day4 + "Eli Moss||Crew|||||",
    };
    const QStringList bosRows { "2026-11-10|Bo Lind||Lake Sawyer|||Fay Hill||Client|Cutthroat Trout|0|3||" };
    const QStringList annsLast {
        day20 + "Gus Park|WA-3|Client|||||",
        day20 + "Hal Ames||Crew|Coho Salmon|1|0|Hatchery|",
        day20 + "Ivy Stone|||Chinook|1|0|Wild|Adult",
    };
    QTest::newRow("every guide") << QString() << annsRows + bosRows + annsLast;
    QTest::newRow("one guide") << "Bo Lind" << bosRows;
    QTest::newRow("guide without trips") << "Cy Nash" << QStringList();
}

void TestLogbook::monthRows()
{
    QFETCH(QString, guide);
    QFETCH(QStringList, rows);
    test::layLogbookMonth();
    logbook::Month month;
    QVERIFY2(logbook::read(QDate(2026, 11, 17), guide, month).isOk(), "read");
    QCOMPARE(month.first, QDate(2026, 11, 1));
    QCOMPARE(joined(logbook::tableRows(month)), rows);
}

void TestLogbook::problemsNameTripDayAndWhat()
{
    const test::LogbookMonth trips = test::layLogbookMonth();
    logbook::Month month;
    QVERIFY(logbook::read(QDate(2026, 11, 1), QString(), month).isOk());
    QStringList seen;
    for (const logbook::Problem &p : month.problems) {
        const QString which = p.booking == trips.twoDays ? QStringLiteral("twoDays")
            : p.booking == trips.released                ? QStringLiteral("released")
            : p.booking == trips.crewFished              ? QStringLiteral("crewFished")
            : p.booking == trips.fromOctober             ? QStringLiteral("fromOctober")
                                                         : QStringLiteral("other");
        seen << QStringLiteral("%1 %2: %3").arg(p.date.toString(Qt::ISODate), which, p.text);
    }
    const QStringList expected {
        "2026-11-01 fromOctober: The fishing licence number of Jo Wren (Client) is missing.",
        "2026-11-04 twoDays: No catch is entered for this day (enter \"nothing caught\" for each angler who "
        "fished).",
        "2026-11-10 released: The licence number of guide Bo Lind is missing.",
        "2026-11-10 released: The fishing licence number of Fay Hill (Client) is missing.",
        "2026-11-10 released: A catch line of Fay Hill has no site code.",
        "2026-11-20 crewFished: The fishing licence number of Hal Ames (Crew) is missing.",
        "2026-11-20 crewFished: The Coho Salmon of Hal Ames needs its origin (hatchery or wild) and life "
        "stage "
        "(adult or jack).",
        "2026-11-20 crewFished: Ivy Stone has a catch line but is not in the party.",
    };
    QCOMPARE(seen, expected);
}

void TestLogbook::reminderOnce_data()
{
    // Each run: the date, and the month the desk planned last before it
    // ("-": another desk, which planned nothing yet).
    QTest::addColumn<bool>("trips");
    QTest::addColumn<QStringList>("before"); // reminders there before
    QTest::addColumn<QStringList>("runs"); // "yyyy-MM-dd lastPlanned"
    QTest::addColumn<QStringList>("outcomes");
    QTest::addColumn<QStringList>("after");
    const QString due = QStringLiteral("2026-12-10 Send the state's logbook for November 2026");
    QTest::newRow("1st with trips") << true << QStringList() << QStringList { "2026-12-01 -" }
                                    << QStringList { "added 2026-11" } << QStringList { due };
    QTest::newRow("5th, not run on the 1st") << true << QStringList() << QStringList { "2026-12-05 2026-10" }
                                             << QStringList { "added 2026-11" } << QStringList { due };
    QTest::newRow("month without trips") << false << QStringList() << QStringList { "2026-12-01 -" }
                                         << QStringList { "no trips -" } << QStringList();
    QTest::newRow("already there") << true << QStringList { due } << QStringList { "2026-12-02 -" }
                                   << QStringList { "present 2026-11" } << QStringList { due };
    QTest::newRow("deleted by the guide") << true << QStringList() << QStringList { "2026-12-03 2026-11" }
                                          << QStringList { "planned 2026-11" } << QStringList();
    QTest::newRow("restart, then second desk")
        << true << QStringList() << QStringList { "2026-12-01 -", "2026-12-01 =", "2026-12-01 -" }
        << QStringList { "added 2026-11", "planned 2026-11", "present 2026-11" } << QStringList { due };
}

void TestLogbook::reminderOnce()
{
    QFETCH(bool, trips);
    QFETCH(QStringList, before);
    QFETCH(QStringList, runs);
    QFETCH(QStringList, outcomes);
    QFETCH(QStringList, after);
    if (trips)
        test::layLogbookMonth();
    for (const QString &r : before)
        test::addRecord(QLatin1String(table::Reminder),
            { { QLatin1String(field::Reminder::Date), QDate::fromString(r.left(10), Qt::ISODate) },
                { QLatin1String(field::Reminder::Reminder), r.mid(11) } });
    QStringList seen;
    QString kept; // what the desk keeps between runs ("=" runs on with it)
    for (const QString &run : runs) {
        const QString last = run.section(QLatin1Char(' '), 1);
        QString planned = last == QLatin1String("=") ? kept : last == QLatin1String("-") ? QString() : last;
        logbook::Reminded outcome {};
        QVERIFY(logbook::planReminder(QDate::fromString(run.left(10), Qt::ISODate), planned, outcome).isOk());
        kept = planned;
        const char *said[] = { "added", "present", "no trips", "planned" };
        seen << QStringLiteral("%1 %2").arg(
            QLatin1String(said[int(outcome)]), planned.isEmpty() ? QStringLiteral("-") : planned);
    }
    QCOMPARE(seen, outcomes);
    QCOMPARE(reminders(), after);
}

BM_TEST_MAIN(TestLogbook)
#include "test_logbook.moc"
