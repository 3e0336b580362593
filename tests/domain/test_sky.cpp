#include "testenv.h"

#include "domain/sky.h"

#include <QtTest>

using namespace bm;

namespace
{

// The moon's phases of 2027 in Mountain Standard Time (GMT - 7 hours), as
// published in Fred Espenak's table (astropixels.com, "2027 Phases of the
// Moon"): new moon, first quarter, full moon, last quarter, a line a lunation.
const char *const phases2027[] = {
    "Jan 7 13:24 | Jan 15 13:34 | Jan 22 05:17 | Jan 29 03:55",
    "Feb 6 08:56 | Feb 14 00:58 | Feb 20 16:23 | Feb 27 22:16",
    "Mar 8 02:29 | Mar 15 09:25 | Mar 22 03:44 | Mar 29 17:54",
    "Apr 6 16:51 | Apr 13 15:57 | Apr 20 15:27 | Apr 28 13:18",
    "May 6 03:58 | May 12 21:44 | May 20 03:59 | May 28 06:58",
    "Jun 4 12:40 | Jun 11 03:56 | Jun 18 17:44 | Jun 26 21:54",
    "Jul 3 20:02 | Jul 10 11:39 | Jul 18 08:45 | Jul 26 09:55",
    "Aug 2 03:05 | Aug 8 21:54 | Aug 17 00:29 | Aug 24 19:27",
    "Aug 31 10:41 | Sep 7 11:31 | Sep 15 16:04 | Sep 23 03:20",
    "Sep 29 19:36 | Oct 7 04:47 | Oct 15 06:47 | Oct 22 10:29",
    "Oct 29 06:36 | Nov 6 01:00 | Nov 13 20:26 | Nov 20 17:48",
    "Nov 27 20:24 | Dec 5 22:22 | Dec 13 09:09 | Dec 20 02:11",
    "Dec 27 13:12",
};

const QTimeZone mountainStandard(-7 * 3600);

QString timeText(const std::optional<QDateTime> &t)
{
    return t ? t->time().toString(QStringLiteral("HH:mm")) : QStringLiteral("none");
}

// Minutes between two "HH:mm" texts.
int minutesApart(const QString &a, const QString &b)
{
    const QTime ta = QTime::fromString(a, QStringLiteral("HH:mm"));
    const QTime tb = QTime::fromString(b, QStringLiteral("HH:mm"));
    return ta.isValid() && tb.isValid() ? std::abs(ta.secsTo(tb)) / 60 : 24 * 60;
}

} // namespace

class TestSky : public QObject
{
    Q_OBJECT
private slots:
    void phasesOf2027_data();
    void phasesOf2027();
    void litShareFollowsThePhase_data();
    void litShareFollowsThePhase();
    void sunriseAndSunset_data();
    void sunriseAndSunset();
    void solunarPeriodsAroundTheMoonsEvents();
    void positionRanges_data();
    void positionRanges();
};

// Each principal phase names its own day in the zone of the table; the days
// either side are named for the phases between.
void TestSky::phasesOf2027_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("quarter");
    for (const char *line : phases2027) {
        const QStringList cells = QString::fromLatin1(line).split(QStringLiteral(" | "));
        for (int quarter = 0; quarter < cells.size(); ++quarter) {
            const QStringList part = cells[quarter].split(QLatin1Char(' '));
            const QDate day = QDate::fromString(
                QStringLiteral("%1 %2 2027").arg(part[0], part[1]), QStringLiteral("MMM d yyyy"));
            QVERIFY2(day.isValid(), qPrintable(cells[quarter]));
            QTest::addRow("%s", qPrintable(cells[quarter])) << day << quarter;
        }
    }
}

void TestSky::phasesOf2027()
{
    QFETCH(QDate, day);
    QFETCH(int, quarter);
    const auto principal = sky::Phase(quarter * 2);
    QCOMPARE(sky::phaseName(sky::moonOn(day, mountainStandard).phase), sky::phaseName(principal));
    const auto before = sky::Phase((quarter * 2 + 7) % sky::phaseCount);
    const auto after = sky::Phase(quarter * 2 + 1);
    QCOMPARE(sky::phaseName(sky::moonOn(day.addDays(-1), mountainStandard).phase), sky::phaseName(before));
    QCOMPARE(sky::phaseName(sky::moonOn(day.addDays(1), mountainStandard).phase), sky::phaseName(after));
}

void TestSky::litShareFollowsThePhase_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<double>("least");
    QTest::addColumn<double>("most");
    QTest::newRow("new moon") << QDate(2027, 1, 7) << 0.0 << 0.02;
    QTest::newRow("first quarter") << QDate(2027, 1, 15) << 0.45 << 0.55;
    QTest::newRow("full moon") << QDate(2027, 1, 22) << 0.98 << 1.0;
    QTest::newRow("between") << QDate(2027, 1, 11) << 0.1 << 0.45;
}

void TestSky::litShareFollowsThePhase()
{
    QFETCH(QDate, day);
    QFETCH(double, least);
    QFETCH(double, most);
    const double lit = sky::moonOn(day, mountainStandard).illuminated;
    QVERIFY2(lit >= least && lit <= most, qPrintable(QString::number(lit)));
}

// Published sunrise and sunset in the place's clock time, within two
// minutes ("?": not published there): the Naval Observatory's times for two
// Minnesota towns as printed with the weather of 26 June 2010 (MPR News),
// mybreeze.pro's table for a town of south-east Minnesota (January 2026),
// timeanddate.com's sunrise in Sydney at the end of 2021; a polar summer and
// winter at Tromso.
void TestSky::sunriseAndSunset_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<int>("utcOffsetHours");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("rise");
    QTest::addColumn<QString>("set");
    QTest::addColumn<bool>("alwaysUp");

    QTest::newRow("Deephaven, June") << 44.93 << -93.52 << -5 << QDate(2010, 6, 26) << "05:29"
                                     << "21:04" << false;
    QTest::newRow("Hallock, June") << 48.77 << -96.95 << -5 << QDate(2010, 6, 26) << "05:25"
                                   << "21:35" << false;
    QTest::newRow("Minnesota town, Jan 1") << 43.6344 << -91.5009 << -6 << QDate(2026, 1, 1) << "07:39"
                                           << "16:40" << false;
    QTest::newRow("Minnesota town, Jan 20") << 43.6344 << -91.5009 << -6 << QDate(2026, 1, 20) << "07:33"
                                            << "17:01" << false;
    QTest::newRow("Sydney, Dec 29") << -33.87 << 151.21 << 11 << QDate(2021, 12, 29) << "05:45"
                                    << "?" << false;
    QTest::newRow("Sydney, Dec 31") << -33.87 << 151.21 << 11 << QDate(2021, 12, 31) << "05:46"
                                    << "?" << false;
    QTest::newRow("Tromso, midsummer") << 69.65 << 18.96 << 2 << QDate(2027, 6, 21) << "none"
                                       << "none" << true;
    QTest::newRow("Tromso, midwinter") << 69.65 << 18.96 << 1 << QDate(2027, 12, 21) << "none"
                                       << "none" << false;
}

void TestSky::sunriseAndSunset()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(int, utcOffsetHours);
    QFETCH(QDate, day);
    QFETCH(QString, rise);
    QFETCH(QString, set);
    QFETCH(bool, alwaysUp);

    const QTimeZone zone(utcOffsetHours * 3600);
    const sky::SunDay sun = sky::sunOn(day, { latitude, longitude }, zone);
    QCOMPARE(sun.alwaysUp, alwaysUp);
    for (const auto &[computed, published] : { std::pair { sun.rise, rise }, std::pair { sun.set, set } }) {
        if (published == QLatin1String("?"))
            continue;
        if (published == QLatin1String("none")) {
            QCOMPARE(timeText(computed), published);
            continue;
        }
        QVERIFY(computed);
        QCOMPARE(computed->date(), day);
        QVERIFY2(minutesApart(timeText(computed), published) <= 2,
            qPrintable(timeText(computed) + QStringLiteral(" against ") + published));
    }
}

// Deephaven, Minnesota on 26 June 2010 (CDT), as published with that day's
// weather: moonrise 9:28 pm, moonset 5:29 am. The minor periods are the hours
// around them; the major periods are two hours long and about twelve hours
// and a half apart.
void TestSky::solunarPeriodsAroundTheMoonsEvents()
{
    const QTimeZone centralDaylight(-5 * 3600);
    const QDate day(2010, 6, 26);
    const QList<sky::Period> periods = sky::solunarOn(day, { 44.93, -93.52 }, centralDaylight);
    QStringList minors;
    QList<QDateTime> majors;
    for (const sky::Period &p : periods) {
        const QDateTime middle = p.start.addSecs(p.start.secsTo(p.end) / 2);
        QVERIFY(middle.date() == day);
        QCOMPARE(p.start.secsTo(p.end), p.major ? 7200 : 3600);
        if (p.major)
            majors << middle;
        else
            minors << middle.time().toString(QStringLiteral("HH:mm"));
    }
    QCOMPARE(minors.size(), 2);
    QVERIFY2(minutesApart(minors[0], QStringLiteral("05:29")) <= 3, qPrintable(minors[0]));
    QVERIFY2(minutesApart(minors[1], QStringLiteral("21:28")) <= 3, qPrintable(minors[1]));
    QCOMPARE(majors.size(), 2);
    const qint64 apart = majors[0].secsTo(majors[1]);
    QVERIFY2(apart > 11.5 * 3600 && apart < 13.5 * 3600, qPrintable(QString::number(apart)));
    for (int i = 1; i < periods.size(); ++i)
        QVERIFY(periods[i - 1].start <= periods[i].start);
}

void TestSky::positionRanges_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<bool>("latitudeOk");
    QTest::addColumn<bool>("longitudeOk");
    QTest::newRow("home") << 36.6 << -93.3 << true << true;
    QTest::newRow("the poles and the date line") << -90.0 << 180.0 << true << true;
    QTest::newRow("north of the pole") << 90.01 << 0.0 << false << true;
    QTest::newRow("west of the date line") << 0.0 << -180.5 << true << false;
    QTest::newRow("swapped") << -93.3 << 36.6 << false << true;
    QTest::newRow("not a number") << qQNaN() << qInf() << false << false;
}

void TestSky::positionRanges()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(bool, latitudeOk);
    QFETCH(bool, longitudeOk);
    QCOMPARE(sky::latitudeProblem(latitude).isEmpty(), latitudeOk);
    QCOMPARE(sky::longitudeProblem(longitude).isEmpty(), longitudeOk);
}

BM_TEST_MAIN(TestSky)
#include "test_sky.moc"
