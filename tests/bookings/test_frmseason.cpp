#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "roster.h"
#include "seasonfixture.h"

#include "bookings/frmseason.h"
#include "bookings/seasoncharts.h"
#include "db/query.h"
#include "db/recordsource.h"
#include "main/frmmain.h"
#include "platform/reportpreview.h"
#include "platform/windows.h"

#include <QAbstractBarSeries>
#include <QAction>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace bm;
using bm::test::SeasonRow;

Q_DECLARE_METATYPE(QList<SeasonRow>)

class TestFrmSeason : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void saysWhatItHasNoDataFor_data();
    void saysWhatItHasNoDataFor();
    void showsTheChosenYear();
    void lureTableSorts();
    void lureRowsNameNoLureThatCaughtNothing_data();
    void lureRowsNameNoLureThatCaughtNothing();
    void moneyOwedShowsTheBookingInTheMainWindow();
    void savesTheChartShown();
    void printsTheWholeSummary();
    void readsAgainWhenABookingChanges();
    void guideChoiceFollowsTheRoster_data();
    void guideChoiceFollowsTheRoster();
    void oneGuidesFiguresAndPrint();
    void saysWhyTheFiguresCanNotBeRead();
    void opensFromTheUtilitiesMenu();
    void screenshots();

private:
    FrmSeason *open(int year = 0);
    template <class W> W *child(const QString &name)
    {
        W *w = m_window->findChild<W *>(name);
        if (!w)
            qFatal("no %s", qPrintable(name));
        return w;
    }
    QStringList rowsOf(const QString &gridName);

    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<test::FakeClock> m_clock;
    QPointer<FrmSeason> m_window;
};

void TestFrmSeason::init()
{
    test::resetDatabase();
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_clock = std::make_unique<test::FakeClock>(QDate(2026, 12, 8));
}

void TestFrmSeason::cleanup()
{
    test::deleteWindows();
    m_clock.reset();
    m_messages.reset();
}

FrmSeason *TestFrmSeason::open(int year)
{
    m_window = platform::showWindow<FrmSeason>();
    if (year)
        m_window->chooseYear(year);
    return m_window;
}

QStringList TestFrmSeason::rowsOf(const QString &gridName)
{
    const QAbstractItemModel *model = child<QTableView>(gridName)->model();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

void TestFrmSeason::saysWhatItHasNoDataFor_data()
{
    QTest::addColumn<QList<SeasonRow>>("rows");
    QTest::addColumn<QString>("trips"); // empty: the chart shows
    QTest::addColumn<QString>("catches");
    QTest::addColumn<QString>("leftOut"); // empty: hidden

    QTest::newRow("no bookings") << QList<SeasonRow>() << "No trips are booked in 2026 or 2025."
                                 << "No trips are booked in 2026, so there are no catches to show."
                                 << "";
    QTest::newRow("no trip results")
        << QList<SeasonRow>(
               { { .date = "2026-04-01", .charge = test::units(250) }, { .date = "2026-05-01" } })
        << ""
        << "None of the 2 trips of 2026 has a fish count yet: enter \"Total Fish\" with Add Trip Results."
        << "";
    QTest::newRow("dates missing") << QList<SeasonRow>({ { .fish = "3" }, { .date = "", .fish = "2" } })
                                   << "No trips are booked in 2026 or 2025."
                                   << "No trips are booked in 2026, so there are no catches to show."
                                   << "Left out: 2 bookings without a trip date (in no year).";
    QTest::newRow("counts that are no numbers")
        << QList<SeasonRow>({ { .date = "2026-06-01", .fish = "lots" } }) << ""
        << "The trip of 2026 has no fish count yet: enter \"Total Fish\" with Add Trip Results."
        << "Left out: 1 trip of 2026 whose \"Total Fish\" is not a number (not in the fish counts).";
}

void TestFrmSeason::saysWhatItHasNoDataFor()
{
    QFETCH(QList<SeasonRow>, rows);
    QFETCH(QString, trips);
    QFETCH(QString, catches);
    QFETCH(QString, leftOut);

    test::layInSeason(rows);
    open();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Season Summary"));
    QCOMPARE(child<QComboBox>("cboYear")->itemText(0), QStringLiteral("2026"));
    QCOMPARE(child<QComboBox>("cboYear")->currentText(), QStringLiteral("2026"));

    for (const char *name : { "chtTrips", "chtIncome" }) {
        auto *panel = child<ChartPanel>(name);
        QCOMPARE(panel->hasChart(), trips.isEmpty());
        if (!trips.isEmpty())
            QCOMPARE(panel->emptyLabel()->text(), trips);
    }
    for (const char *name : { "chtSpecies", "chtMoon" }) {
        QVERIFY(!child<ChartPanel>(name)->hasChart());
        QCOMPARE(child<ChartPanel>(name)->emptyLabel()->text(), catches);
    }
    QCOMPARE(child<QLabel>("lblLures")->text(), catches);
    QVERIFY(child<QTableView>("grdLures")->isHidden());
    QCOMPARE(child<QLabel>("lblLeftout")->isHidden(), leftOut.isEmpty());
    QCOMPARE(child<QLabel>("lblLeftout")->text(), leftOut);
    QCOMPARE(child<QLabel>("lblOwedtotal")->text(), QStringLiteral("No booking has a balance due."));
    QVERIFY(child<QTableView>("grdOwed")->isHidden());
}

void TestFrmSeason::showsTheChosenYear()
{
    test::layInSeason(test::smallSeason());
    open();
    auto *years = child<QComboBox>("cboYear");
    QStringList listed;
    for (int i = 0; i < years->count(); ++i)
        listed << years->itemText(i);
    QCOMPARE(listed, QStringList({ "2026", "2025", "2024", "2023" }));

    years->setCurrentIndex(1);
    QCOMPARE(m_window->year(), 2025);
    QCOMPARE(child<QLabel>("lblHeadline")->text(),
        QStringLiteral(
            "2025: 9 trips, 2475.50 charged, 42 fish counted on 6 trips.   2024: 2 trips, 500.00 charged."));
    QVERIFY(child<ChartPanel>("chtTrips")->hasChart());
    QVERIFY(child<ChartPanel>("chtSpecies")->hasChart());
    // Fish per trip by phase, from the bottom bar up: Waning Crescent 3 on
    // one trip, Waning Gibbous 27 on three, Waxing Crescent 12 on one.
    auto *moon = child<ChartPanel>("chtMoon");
    QVERIFY(moon->hasChart());
    const auto *bars = qobject_cast<QAbstractBarSeries *>(moon->view()->chart()->series().value(0));
    QVERIFY(bars && bars->count() == 1);
    QList<qreal> perTrip;
    for (int i = 0; i < bars->barSets()[0]->count(); ++i)
        perTrip << bars->barSets()[0]->at(i);
    QCOMPARE(perTrip, QList<qreal>({ 3, 0, 9, 0, 0, 0, 12, 0 }));
    QVERIFY(child<QLabel>("lblLeftout")
                ->text()
                .startsWith(QStringLiteral(
                    "Left out: 1 booking without a trip date (in no year); 1 booking whose trip date")));
    QCOMPARE(rowsOf(QStringLiteral("grdLures")),
        QStringList({ "Bull Shoals|Mar|Crankbait|Firetiger|3|1|3||||",
            "Table Rock Lake|Mar|Jig|Black|20|2|35|Largemouth Bass|6.5 lbs.|21 inches|3/15/2025",
            "Table Rock Lake|Jun|Spoon|Silver|4|2|4||||" }));
    // A balance that is a word is kept by the file alone; a server's amount
    // field holds none.
    QCOMPARE(child<QLabel>("lblOwedtotal")->text(),
        test::onServer() ? QStringLiteral("5 bookings owe 975.00 in all.")
                         : QStringLiteral("5 bookings owe 975.00 in all. Left out: 1 booking whose balance "
                                          "due is not an amount."));
    QCOMPARE(rowsOf(QStringLiteral("grdOwed")).first(),
        QStringLiteral("3/5/2024|Jim Nash|Table Rock Lake|100.00"));
    QCOMPARE(
        rowsOf(QStringLiteral("grdOwed")).last(), QStringLiteral("(no date)|Lou Park|Table Rock Lake|75.00"));

    // A year with a trip but no results, and a year with no trips, say so.
    years->setCurrentIndex(3);
    QCOMPARE(child<ChartPanel>("chtSpecies")->emptyLabel()->text(),
        QStringLiteral(
            "The trip of 2023 has no fish count yet: enter \"Total Fish\" with Add Trip Results."));
    m_window->chooseYear(2020);
    QCOMPARE(child<ChartPanel>("chtTrips")->emptyLabel()->text(),
        QStringLiteral("No trips are booked in 2020 or 2019."));
    QCOMPARE(years->currentText(), QStringLiteral("2020"));
}

void TestFrmSeason::lureTableSorts()
{
    test::layInSeason(test::smallSeason());
    open(2025);
    auto *grid = child<QTableView>("grdLures");
    grid->sortByColumn(4, Qt::DescendingOrder); // Fish on It, as numbers: 20, 4, 3
    QCOMPARE(grid->model()->index(0, 4).data().toString(), QStringLiteral("20"));
    QCOMPARE(grid->model()->index(2, 4).data().toString(), QStringLiteral("3"));
    grid->sortByColumn(1, Qt::DescendingOrder); // Month by its number, not its name: Jun before Mar
    QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("Jun"));
    grid->sortByColumn(8, Qt::DescendingOrder); // the heaviest first, no weight last
    QCOMPARE(grid->model()->index(0, 8).data().toString(), QStringLiteral("6.5 lbs."));
}

// A lake and month whose trips caught nothing has no best lure: the lure
// the guide fished is not offered as one.
void TestFrmSeason::lureRowsNameNoLureThatCaughtNothing_data()
{
    QTest::addColumn<QList<SeasonRow>>("rows");
    QTest::addColumn<QString>("shown");
    const QString lake = QStringLiteral("Bull Shoals");
    QTest::newRow("nothing caught") << QList<SeasonRow>(
        { { .date = "2025-04-03", .lake = lake, .fish = "0", .lure = "Spinnerbait", .color = "Firetiger" } })
                                    << "Bull Shoals|Apr|(no fish caught)||||0||||";
    QTest::newRow("nothing caught on two trips") << QList<SeasonRow>(
        { { .date = "2025-04-03", .lake = lake, .fish = "0 fish", .lure = "Jig", .color = "Black" },
            { .date = "2025-04-09", .lake = lake, .fish = "0", .lure = "Spoon", .color = "Silver" } })
                                                 << "Bull Shoals|Apr|(no fish caught)||||0||||";
    QTest::newRow("no lure recorded")
        << QList<SeasonRow>({ { .date = "2025-04-03", .lake = lake, .fish = "2" } })
        << "Bull Shoals|Apr|(none recorded)||||2||||";
    QTest::newRow("a lure that caught")
        << QList<SeasonRow>({ { .date = "2025-04-03", .lake = lake, .fish = "0", .lure = "Jig" },
               { .date = "2025-04-09", .lake = lake, .fish = "3", .lure = "Spoon", .color = "Silver" } })
        << "Bull Shoals|Apr|Spoon|Silver|3|1|3||||";
}

void TestFrmSeason::lureRowsNameNoLureThatCaughtNothing()
{
    QFETCH(QList<SeasonRow>, rows);
    QFETCH(QString, shown);
    test::layInSeason(rows);
    open(2025);
    QCOMPARE(rowsOf(QStringLiteral("grdLures")), QStringList { shown });
}

void TestFrmSeason::moneyOwedShowsTheBookingInTheMainWindow()
{
    test::layInSeason(test::smallSeason());
    test::FakeHub hub;
    QSignalSpy switched(&hub, &platform::MainHub::bookingsPanelWanted);
    open();

    auto *grid = child<QTableView>("grdOwed");
    child<QTabWidget>("tabSeason")->setCurrentIndex(5);
    grid->setCurrentIndex(grid->model()->index(1, 0));
    child<QPushButton>("cmdShowbooking")->click();
    QCOMPARE(hub.bookings->text(QStringLiteral("Name")), QStringLiteral("Carl Jones"));
    QCOMPARE(switched.count(), 1);
    QVERIFY(hub.mainWindow->isVisible());

    // A booking deleted meanwhile is refused, and the list is read again.
    QVERIFY(test::execBehind(QStringLiteral("DELETE FROM Booking WHERE Name = 'Fay Green'")));
    m_messages->expect();
    m_window->showOwedBooking(2);
    QCOMPARE(m_messages->shown.size(), 1);
    QVERIFY(m_messages->last().text.startsWith(QStringLiteral("This booking can not be shown: ")));
    QCOMPARE(switched.count(), 1);
    QCOMPARE(m_window->owed().bookings.size(), 4);
}

void TestFrmSeason::savesTheChartShown()
{
    test::layInSeason(test::smallSeason());
    test::FakeFileDialogs dialogs;
    open(2025);
    auto *save = child<QPushButton>("cmdSavechart");
    auto *tabs = child<QTabWidget>("tabSeason");

    const QString path = test::dataHome() + QStringLiteral("/fish");
    dialogs.answers << path;
    tabs->setCurrentIndex(2);
    QVERIFY(save->isEnabled());
    save->click();
    QCOMPARE(dialogs.requests.size(), 1);
    QCOMPARE(dialogs.requests[0].proposedName, QStringLiteral("Fish Caught 2025.png"));
    QVERIFY(dialogs.requests[0].filter.contains(QStringLiteral("*.png")));
    const QImage saved(path + QStringLiteral(".png"));
    QCOMPARE(saved.size(), QSize(1200, 560));
    // Drawn, not blank: the bars' green is on the picture.
    bool green = false;
    for (int x = 0; x < saved.width() && !green; x += 3)
        for (int y = 0; y < saved.height() && !green; y += 3)
            green = saved.pixelColor(x, y) == QColor(0x2e, 0x7d, 0x4f);
    QVERIFY(green);

    dialogs.answers.clear(); // cancelled: nothing written
    tabs->setCurrentIndex(0);
    save->click();
    QCOMPARE(dialogs.requests.size(), 2);
    QCOMPARE(dialogs.requests[1].proposedName, QStringLiteral("Trips 2025.png"));
    QVERIFY(!QFileInfo::exists(test::dataHome() + QStringLiteral("/Trips 2025.png")));
    tabs->setCurrentIndex(3);
    save->click();
    QCOMPARE(dialogs.requests[2].proposedName, QStringLiteral("Moon 2025.png"));

    tabs->setCurrentIndex(4);
    QVERIFY(!save->isEnabled());
    m_window->chooseYear(2020); // no trips: no chart to save
    tabs->setCurrentIndex(0);
    QVERIFY(!save->isEnabled());
}

void TestFrmSeason::printsTheWholeSummary()
{
    test::layInSeason(test::smallSeason());
    open(2025);
    child<QPushButton>("cmdPrint")->click();
    auto *preview
        = qobject_cast<platform::ReportPreview *>(platform::findWindow(QStringLiteral("frmPreview")));
    QVERIFY(preview);
    const QString text = preview->pages()->plainText();
    for (const QString &expected :
        { QStringLiteral("Season Summary 2025"), QStringLiteral("2025: 9 trips, 2475.50 charged"),
            QStringLiteral("Best Lures by Lake and Month, 2025"), QStringLiteral("Crankbait"),
            QStringLiteral("Money Owed"), QStringLiteral("Carl Jones"), QStringLiteral("975.00") })
        QVERIFY2(text.contains(expected), qPrintable(expected));
    // Trips, income, fish caught and the moon.
    QCOMPARE(preview->pages()->report().html.count(QStringLiteral("data:image/png;base64,")), 4);
}

void TestFrmSeason::readsAgainWhenABookingChanges()
{
    test::layInSeason(test::smallSeason());
    open(2025);
    RecordSource rs(QStringLiteral("Data1"), QStringLiteral("Booking"));
    QVERIFY(rs.AddNew().isOk());
    QVERIFY(rs.setValue(QStringLiteral("Date"), QDate(2025, 8, 1)).isOk());
    QVERIFY(rs.setValue(QStringLiteral("Name"), QStringLiteral("Pat Quill")).isOk());
    QVERIFY(rs.setValue(QStringLiteral("Balance Due"), QStringLiteral("20")).isOk());
    QVERIFY(rs.Update().isOk());
    QCOMPARE(m_window->summary().current.trips, 10);
    QCOMPARE(m_window->year(), 2025);
    QVERIFY(
        child<QLabel>("lblOwedtotal")->text().startsWith(QStringLiteral("6 bookings owe 995.00 in all.")));
}

namespace
{

void shareTheSeason()
{
    BM_CHECK(db::write(databasePath(), QStringLiteral("Booking"),
        QStringLiteral("UPDATE Booking SET Guide = CASE WHEN Name < 'F' THEN 'Kay' ELSE 'Jim' END"), {}));
}

} // namespace

// One guide or none leaves the window as it was: no choice, every booking's
// figures. A second guide, active or not, brings the choice, live.
void TestFrmSeason::guideChoiceFollowsTheRoster_data()
{
    test::rosterRows(QStringLiteral("Kay"), QStringLiteral("Jim"));
}

void TestFrmSeason::guideChoiceFollowsTheRoster()
{
    QFETCH(QStringList, roster);
    QFETCH(bool, several);
    test::layInSeason(test::smallSeason());
    shareTheSeason();
    open(2025);
    auto *guides = child<QComboBox>("cboGuide");
    QVERIFY(!guides->isVisible());
    test::addGuides(roster);
    QCOMPARE(guides->isVisible(), several);
    QCOMPARE(child<QLabel>("lblGuide")->isVisible(), several);
    QCOMPARE(m_window->chooseGuide(QStringLiteral("Kay")), several);
    QCOMPARE(m_window->summary().current.trips, several ? 5 : 9);
    QCOMPARE(m_window->guide(), several ? QStringLiteral("Kay") : QString());
}

void TestFrmSeason::oneGuidesFiguresAndPrint()
{
    test::layInSeason(test::smallSeason());
    shareTheSeason();
    test::addGuides({ "Kay", "Jim" });
    open(2025);
    QVERIFY(m_window->chooseGuide(QStringLiteral("Jim")));
    QVERIFY(child<QLabel>("lblHeadline")->text().startsWith(QStringLiteral("2025: 4 trips, 900.00 charged")));
    // Carl Jones's balance is Kay's.
    QVERIFY(child<QLabel>("lblOwedtotal")->text().startsWith(QStringLiteral("4 bookings owe 825.00")));
    child<QPushButton>("cmdPrint")->click();
    auto *preview
        = qobject_cast<platform::ReportPreview *>(platform::findWindow(QStringLiteral("frmPreview")));
    QVERIFY(preview);
    QCOMPARE(preview->pages()->report().title, QStringLiteral("Season Summary 2025 - Jim"));
    QVERIFY(!preview->pages()->plainText().contains(QStringLiteral("Carl Jones")));
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty()) {
        QVERIFY(m_window->grab().save(folder + QStringLiteral("/season-guide.png")));
        QVERIFY(preview->pages()->savePdf(folder + QStringLiteral("/season-guide.pdf")).isOk());
    }
    // Jim leaves the roster: one guide, every booking's figures, no choice.
    BM_VERIFY(db::write(databasePath(), QStringLiteral("Guides"),
        QStringLiteral("DELETE FROM Guides WHERE Name = 'Jim'"), {}));
    QVERIFY(!child<QComboBox>("cboGuide")->isVisible());
    QCOMPARE(m_window->summary().current.trips, 9);
}

void TestFrmSeason::saysWhyTheFiguresCanNotBeRead()
{
    test::layInSeason(test::smallSeason());
    open(2025);
    QVERIFY(test::execBehind(QStringLiteral("ALTER TABLE Booking RENAME TO Bookings")));
    m_messages->expect(); // one box, though three queries fail
    m_window->reread();
    QCOMPARE(m_messages->shown.size(), 1);
    const QString why = m_messages->last().text;
    QVERIFY2(why.startsWith(QStringLiteral("The bookings could not be read")), qPrintable(why));
    QCOMPARE(child<QLabel>("lblHeadline")->text(), why);
    QCOMPARE(child<ChartPanel>("chtTrips")->emptyLabel()->text(), why);
    QCOMPARE(child<ChartPanel>("chtSpecies")->emptyLabel()->text(), why);
    QCOMPARE(child<QLabel>("lblLures")->text(), why);
    QCOMPARE(child<QLabel>("lblOwedtotal")->text(), why);
    QVERIFY(!child<QPushButton>("cmdSavechart")->isEnabled());
    QVERIFY(test::execBehind(QStringLiteral("ALTER TABLE Bookings RENAME TO Booking")));
}

void TestFrmSeason::opensFromTheUtilitiesMenu()
{
    auto *main = new FrmMain;
    main->show();
    auto *item = main->findChild<QAction *>(QStringLiteral("mnuSeason"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("Season Summary"));
    auto *utilities = main->findChild<QMenu *>(QStringLiteral("mnuUtilities"));
    QVERIFY(utilities->actions().contains(item));
    item->trigger();
    auto *window = qobject_cast<FrmSeason *>(platform::findWindow(QStringLiteral("frmSeason")));
    QVERIFY(window);
    QVERIFY(window->isVisible());
    item->trigger(); // once only
    int count = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        count += qobject_cast<FrmSeason *>(w) != nullptr;
    QCOMPARE(count, 1);
    window->close();
    m_messages->expect(platform::Answer::No); // the backup question
    main->close();
}

// With BM_SEASON_SHOTS=folder, pictures of every page on a season of a few
// hundred trips, to look at.
void TestFrmSeason::screenshots()
{
    const QString folder = qEnvironmentVariable("BM_SEASON_SHOTS");
    if (folder.isEmpty())
        QSKIP("set BM_SEASON_SHOTS to a folder for pictures of the window");
    test::layInSeason(test::generatedSeason(2026, 400));
    open(2026);
    m_window->resize(1100, 720);
    auto *tabs = child<QTabWidget>("tabSeason");
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        QVERIFY(m_window->grab().save(QStringLiteral("%1/season-%2.png").arg(folder).arg(page)));
    }
    m_window->printSummary();
    auto *preview
        = qobject_cast<platform::ReportPreview *>(platform::findWindow(QStringLiteral("frmPreview")));
    QVERIFY(preview);
    preview->resize(900, 1000);
    QCoreApplication::processEvents();
    QVERIFY(preview->grab().save(folder + QStringLiteral("/season-print.png")));
    QVERIFY(preview->pages()->savePdf(folder + QStringLiteral("/season.pdf")).isOk());
}

BM_TEST_MAIN(TestFrmSeason)
#include "test_frmseason.moc"
