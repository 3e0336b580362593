#include "testenv.h"

#include "domain/busytimes.h"

#include <QtTest>

using namespace bm;

namespace
{

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

// The days as "yyyy-MM-dd HH:mm-HH:mm summary".
QStringList shown(const QList<busytimes::Day> &days)
{
    QStringList out;
    for (const busytimes::Day &d : days)
        out << QStringLiteral("%1 %2-%3 %4").arg(d.date.toString(Qt::ISODate), d.start, d.end, d.summary);
    return out;
}

const QDate june1(2027, 6, 1);
const QDate june30(2027, 6, 30);

} // namespace

class TestBusyTimes : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }

    void days_data();
    void days();
    void keptAndSaid_data();
    void keptAndSaid();
    void replacingKeepsOtherGuidesAndDays();
};

void TestBusyTimes::days_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("days");
    QTest::newRow("an hour") << "2027-06-03T14:00:00"
                             << "2027-06-03T15:00:00"
                             << "Dentist" << QStringList { "2027-06-03 14:00-15:00 Dentist" };
    QTest::newRow("a whole day ends at midnight")
        << "2027-06-03T00:00:00"
        << "2027-06-04T00:00:00"
        << "Holidays" << QStringList { "2027-06-03 00:00-24:00 Holidays" };
    QTest::newRow("overnight") << "2027-06-03T22:00:00"
                               << "2027-06-05T02:00:00"
                               << "Drive north"
                               << QStringList { "2027-06-03 22:00-24:00 Drive north",
                                      "2027-06-04 00:00-24:00 Drive north",
                                      "2027-06-05 00:00-02:00 Drive north" };
    QTest::newRow("cut at the range's ends") << "2027-05-30T09:00:00"
                                             << "2027-06-01T12:00:00"
                                             << "Show" << QStringList { "2027-06-01 00:00-12:00 Show" };
    QTest::newRow("a moment") << "2027-06-03T08:00:00"
                              << "2027-06-03T08:00:00"
                              << "Call" << QStringList { "2027-06-03 08:00-08:00 Call" };
    QTest::newRow("ends before it starts") << "2027-06-03T08:00:00"
                                           << "2027-06-03T07:00:00"
                                           << "Odd" << QStringList();
    QTest::newRow("outside the range") << "2027-07-03T08:00:00"
                                       << "2027-07-03T09:00:00"
                                       << "Later" << QStringList();
    QTest::newRow("no summary, lines and blanks") << "2027-06-03T08:00:00"
                                                  << "2027-06-03T09:00:00"
                                                  << " \n " << QStringList { "2027-06-03 08:00-09:00 Busy" };
    QTest::newRow("a long summary is cut")
        << "2027-06-03T08:00:00"
        << "2027-06-03T09:00:00" << QString(300, QLatin1Char('x'))
        << QStringList { "2027-06-03 08:00-09:00 " + QString(200, QLatin1Char('x')) };
}

void TestBusyTimes::days()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, summary);
    QFETCH(QStringList, days);
    const busytimes::Busy b { QDateTime::fromString(start, Qt::ISODate),
        QDateTime::fromString(end, Qt::ISODate), summary };
    QCOMPARE(shown(busytimes::daysOf({ b }, june1, june30)), days);
}

void TestBusyTimes::keptAndSaid_data()
{
    QTest::addColumn<QString>("keptFor");
    QTest::addColumn<QString>("bookingGuide");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<QStringList>("notices");
    const QStringList both { "Holidays (all day)", "Dentist 14:00\u201315:00" };
    QTest::newRow("his own day") << "Carl"
                                 << "Carl" << QDate(2027, 6, 3) << QDate(2027, 6, 3) << both;
    QTest::newRow("another guide's") << "Carl"
                                     << "Dora" << QDate(2027, 6, 3) << QDate(2027, 6, 3) << QStringList();
    QTest::newRow("the whole service's") << ""
                                         << "Dora" << QDate(2027, 6, 3) << QDate(2027, 6, 3) << both;
    QTest::newRow("a booking without a guide") << "Carl"
                                               << "" << QDate(2027, 6, 3) << QDate(2027, 6, 3) << both;
    QTest::newRow("a free day") << "Carl"
                                << "Carl" << QDate(2027, 6, 4) << QDate(2027, 6, 4) << QStringList();
    QTest::newRow("a trip of days names each day")
        << "Carl"
        << "Carl" << QDate(2027, 6, 2) << QDate(2027, 6, 4)
        << QStringList { "6/3/2027: Holidays (all day)", "6/3/2027: Dentist 14:00\u201315:00" };
}

void TestBusyTimes::keptAndSaid()
{
    QFETCH(QString, keptFor);
    QFETCH(QString, bookingGuide);
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    QFETCH(QStringList, notices);
    bool changed = false;
    QVERIFY(busytimes::replace(keptFor, june1, june30,
        { { at("2027-06-03T14:00:00"), at("2027-06-03T15:00:00"), "Dentist" },
            { at("2027-06-03T00:00:00"), at("2027-06-04T00:00:00"), "Holidays" } },
        &changed));
    QVERIFY(changed);
    QStringList said;
    QVERIFY(busytimes::onDays(first, last, bookingGuide, said));
    QCOMPARE(said, notices);
}

void TestBusyTimes::replacingKeepsOtherGuidesAndDays()
{
    bool changed = false;
    const QList<busytimes::Busy> carl { { at("2027-06-03T14:00:00"), at("2027-06-03T15:00:00"), "Dentist" },
        { at("2027-07-10T09:00:00"), at("2027-07-10T10:00:00"), "July" } };
    QVERIFY(busytimes::replace("Carl", june1, QDate(2027, 7, 31), carl, &changed));
    QVERIFY(busytimes::replace("Dora", june1, june30,
        { { at("2027-06-03T08:00:00"), at("2027-06-03T09:00:00"), "Vet" } }, &changed));
    // The same again writes nothing.
    QVERIFY(busytimes::replace("Carl", june1, QDate(2027, 7, 31), carl, &changed));
    QVERIFY(!changed);
    // June read again: the dentist moved; July and Dora's stay.
    QVERIFY(busytimes::replace("Carl", june1, june30,
        { { at("2027-06-05T14:00:00"), at("2027-06-05T15:00:00"), "Dentist" } }, &changed));
    QVERIFY(changed);
    QStringList said;
    QVERIFY(busytimes::onDays(QDate(2027, 6, 3), QDate(2027, 6, 3), "Carl", said));
    QCOMPARE(said, QStringList());
    QVERIFY(busytimes::onDays(QDate(2027, 6, 3), QDate(2027, 6, 3), "Dora", said));
    QCOMPARE(said, QStringList { "Vet 08:00\u201309:00" });
    QVERIFY(busytimes::onDays(QDate(2027, 6, 5), QDate(2027, 7, 10), "Carl", said));
    QCOMPARE(
        said, (QStringList { "6/5/2027: Dentist 14:00\u201315:00", "7/10/2027: July 09:00\u201310:00" }));
}

BM_TEST_MAIN(TestBusyTimes)
#include "test_busytimes.moc"
