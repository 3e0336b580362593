#include "bookingfixture.h"
#include "checks.h"
#include "roster.h"

#include "db/query.h"
#include "db/recordsource.h"
#include "domain/schedulemodel.h"
#include "doubles.h"
#include "main/frmmain.h"
#include "main/scheduleview.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace bm;

namespace
{

QStringList captions(const QTableView *grid)
{
    QStringList list;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        list << grid->model()->headerData(c, Qt::Horizontal).toString();
    return list;
}

QStringList clientsShown(const QTableView *grid)
{
    const int column = captions(grid).indexOf(QStringLiteral("Name"));
    QStringList names;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        names << grid->model()->index(row, column).data().toString();
    return names;
}

} // namespace

class TestScheduleGuides : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_main.reset(); }

    void guideColumnFollowsTheRoster_data();
    void guideColumnFollowsTheRoster();
    void choosingAGuide();
    void printScheduleFollowsTheGuides_data();
    void printScheduleFollowsTheGuides();

private:
    std::unique_ptr<FrmMain> m_main;
    QTableView *grid() const { return m_main->scheduleView()->grid(); }
    QComboBox *cboGuide() const
    {
        return m_main->scheduleView()->findChild<QComboBox *>(QStringLiteral("cboGuide"));
    }
    void choose(const QString &text)
    {
        cboGuide()->setCurrentIndex(cboGuide()->findText(text));
        emit cboGuide()->activated(cboGuide()->currentIndex());
    }
};

void TestScheduleGuides::init()
{
    test::resetDatabase();
    test::layInBookings({ { "Ann Lee", "2026-05-14", "Bull Shoals" },
        { "Bob Smith", "2026-05-15", "Norfork" }, { "Carl Jones", "2026-05-16", "Table Rock Lake" } });
    QVERIFY(
        test::execBehind(QStringLiteral("UPDATE Booking SET Guide = CASE Name WHEN 'Bob Smith' THEN 'Jim' "
                                        "ELSE 'Kay' END")));
}

// One guide or none (a nameless row is none) leaves the board as it was
// before bookings had a guide; a second guide, active or not, brings the
// Guide column after Lake and the choice of a guide, live, with the widths
// laid again.
void TestScheduleGuides::guideColumnFollowsTheRoster_data()
{
    test::rosterRows(QStringLiteral("Jim"), QStringLiteral("Kay"));
}

void TestScheduleGuides::guideColumnFollowsTheRoster()
{
    QFETCH(QStringList, roster);
    QFETCH(bool, several);
    m_main = std::make_unique<FrmMain>();
    m_main->show();
    QStringList before { "Date", "Lake" };
    for (const QString &f : RecordSource(QStringLiteral("check"), QStringLiteral("Booking")).fieldNames())
        if (!before.contains(f) && f != QLatin1String("Guide"))
            before << f;
    QCOMPARE(captions(grid()), before);
    test::addGuides(roster);
    QStringList expected = before;
    if (several)
        expected.insert(2, QStringLiteral("Guide"));
    QCOMPARE(captions(grid()), expected);
    QCOMPARE(cboGuide()->isVisible(), several);
    const auto px = [this](int twips) { return qRound(twips * grid()->logicalDpiX() / 1440.0); };
    for (const int c : { 1, 2, 3 })
        QCOMPARE(grid()->columnWidth(c), px(c == 2 ? 2000 : 3000));
    // A booking written elsewhere reads the grid again: the columns stay.
    BM_VERIFY(db::write(
        databasePath(), QStringLiteral("Booking"), QStringLiteral("UPDATE Booking SET Lake = 'X'"), {}));
    QCOMPARE(captions(grid()), expected);
    if (several)
        QCOMPARE(cboGuide()->itemText(0), QStringLiteral("All guides"));
}

void TestScheduleGuides::choosingAGuide()
{
    test::addGuides({ "Jim", "Kay" });
    m_main = std::make_unique<FrmMain>();
    m_main->show();
    choose(QStringLiteral("Kay"));
    QCOMPARE(clientsShown(grid()), QStringList({ "Ann Lee", "Carl Jones" }));
    // The trips count stays the count of every trip, as the bookings panel's.
    QCOMPARE(m_main->scheduleView()->countLabel()->text(), QStringLiteral("3 Trips are Scheduled"));
    m_main->scheduleView()->model()->sortByLake(); // the sorts keep to the guide's trips
    QCOMPARE(clientsShown(grid()), QStringList({ "Ann Lee", "Carl Jones" }));
    choose(QStringLiteral("Jim"));
    QCOMPARE(clientsShown(grid()), QStringList({ "Bob Smith" }));
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_main->grab().save(folder + "/schedule-guides.png");
    // Kay leaves the roster: one guide, every trip, no column.
    BM_VERIFY(db::write(databasePath(), QStringLiteral("Guides"),
        QStringLiteral("DELETE FROM Guides WHERE Name = 'Kay'"), {}));
    QVERIFY(!cboGuide()->isVisible());
    QVERIFY(!captions(grid()).contains(QStringLiteral("Guide")));
    QCOMPARE(clientsShown(grid()), QStringList({ "Ann Lee", "Bob Smith", "Carl Jones" }));
}

// One guide or none prints the schedule as it always was; several print it
// guide by guide, or only the guide the board shows.
void TestScheduleGuides::printScheduleFollowsTheGuides_data()
{
    QTest::addColumn<QStringList>("roster");
    QTest::addColumn<QString>("chosen"); // on the board; empty: all guides
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("guide"); // handed to the report
    QTest::newRow("no guide") << QStringList {} << QString() << "/schedule.rpt" << QString();
    QTest::newRow("one guide") << QStringList { "Kay" } << QString() << "/schedule.rpt" << QString();
    QTest::newRow("all guides") << QStringList { "Jim", "Kay" } << QString() << "/guides.rpt" << QString();
    QTest::newRow("one of them") << QStringList { "Jim", "Kay" } << "Kay"
                                 << "/guides.rpt"
                                 << "Kay";
}

void TestScheduleGuides::printScheduleFollowsTheGuides()
{
    QFETCH(QStringList, roster);
    QFETCH(QString, chosen);
    QFETCH(QString, report);
    QFETCH(QString, guide);
    test::addGuides(roster);
    m_main = std::make_unique<FrmMain>();
    m_main->show();
    if (!chosen.isEmpty())
        choose(chosen);
    test::RecordingReports reports;
    auto *print = m_main->scheduleView()->findChild<QPushButton *>(QStringLiteral("cmdPrintsched"));
    QVERIFY(print);
    print->click();
    QCOMPARE(reports.files.size(), 1);
    QVERIFY2(reports.files[0].endsWith(report), qPrintable(reports.files[0]));
    QCOMPARE(reports.guides[0], guide);
    QVERIFY(!reports.selections[0].isValid());
    // The guide is handed to that one print only.
    if (!chosen.isEmpty()) {
        choose(QStringLiteral("All guides"));
        print->click();
        QCOMPARE(reports.guides.value(1), QString());
    }
}

BM_TEST_MAIN(TestScheduleGuides)
#include "test_scheduleguides.moc"
