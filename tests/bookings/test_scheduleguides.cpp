#include "bookingfixture.h"
#include "checks.h"

#include "data/guides.h"
#include "data/query.h"
#include "data/recordsource.h"
#include "data/schedulemodel.h"
#include "main/frmmain.h"
#include "main/scheduleview.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace bm;

namespace
{

// Adds guides to the roster through the write path, as the roster window
// does: every window hears of it. "Name/No" adds a guide who is not active.
void addGuides(const QStringList &guides)
{
    for (const QString &g : guides)
        BM_CHECK(db::write(databasePath(), QStringLiteral("Guides"),
            QStringLiteral("INSERT INTO Guides (Name, Active) VALUES (?, ?)"),
            { g.section(QLatin1Char('/'), 0, 0), g.section(QLatin1Char('/'), 1).isEmpty() ? "Yes" : "No" }));
}

void setGuide(const QString &client, const QString &guide)
{
    BM_CHECK(db::write(databasePath(), QStringLiteral("Booking"),
        QStringLiteral("UPDATE Booking SET Guide = ? WHERE Name = ?"), { guide, client }));
}

// The captions of the columns the grid shows, left to right.
QStringList shownCaptions(const QTableView *grid)
{
    QStringList captions;
    const QHeaderView *header = grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int c = header->logicalIndex(visual);
        if (!header->isSectionHidden(c))
            captions << grid->model()->headerData(c, Qt::Horizontal).toString();
    }
    return captions;
}

QStringList clientsShown(const QTableView *grid)
{
    const QAbstractItemModel *model = grid->model();
    int column = -1;
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == QLatin1String("Name"))
            column = c;
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, column).data().toString();
    return names;
}

} // namespace

class TestScheduleGuides : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void guideColumnFollowsTheRoster_data();
    void guideColumnFollowsTheRoster();
    void choosingAGuideShowsHisTrips();
    void rosterChangesShowLive();

private:
    std::unique_ptr<FrmMain> m_main;
    ScheduleView *view() const { return m_main->scheduleView(); }
    QComboBox *cboGuide() const { return view()->findChild<QComboBox *>(QStringLiteral("cboGuide")); }
    void openMain()
    {
        m_main = std::make_unique<FrmMain>();
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    }
    // The captions the schedule showed before bookings had a guide.
    static QStringList captionsWithoutGuide()
    {
        QStringList fields { QStringLiteral("Date"), QStringLiteral("Lake") };
        RecordSource booking(QStringLiteral("check"), QStringLiteral("Booking"));
        for (const QString &f : booking.fieldNames())
            if (!fields.contains(f) && f != QLatin1String("Guide"))
                fields << f;
        return fields;
    }
};

void TestScheduleGuides::init()
{
    test::resetDatabase();
    test::layInBookings({ { "Ann Lee", "2026-05-14", "Bull Shoals" },
        { "Bob Smith", "2026-05-15", "Norfork" }, { "Carl Jones", "2026-05-16", "Table Rock Lake" } });
}

void TestScheduleGuides::cleanup()
{
    m_main.reset();
    test::deleteWindows();
}

// One guide or none (a nameless row counts for none) leaves the board as it
// was; a second guide, active or not, brings the column and the choice.
void TestScheduleGuides::guideColumnFollowsTheRoster_data()
{
    QTest::addColumn<QStringList>("roster");
    QTest::addColumn<bool>("several");
    QTest::newRow("no guide") << QStringList {} << false;
    QTest::newRow("one guide") << QStringList { "Jim" } << false;
    QTest::newRow("one guide and a nameless row") << QStringList { "Jim", "" } << false;
    QTest::newRow("two guides") << QStringList { "Jim", "Kay" } << true;
    QTest::newRow("two guides, one gone") << QStringList { "Jim", "Kay/No" } << true;
}

void TestScheduleGuides::guideColumnFollowsTheRoster()
{
    QFETCH(QStringList, roster);
    QFETCH(bool, several);
    addGuides(roster);
    int counted = -1;
    BM_VERIFY(guides::count(counted));
    QCOMPARE(guides::several(counted), several);
    openMain();
    QTableView *grid = view()->grid();
    QVERIFY(cboGuide());
    QCOMPARE(cboGuide()->isVisible(), several);
    QStringList expected = captionsWithoutGuide();
    if (several)
        expected.insert(2, QStringLiteral("Guide"));
    QCOMPARE(shownCaptions(grid), expected);
    // The widths go to the columns shown, whichever they are.
    const auto px = [grid](int twips) { return qRound(twips * grid->logicalDpiX() / 1440.0); };
    QCOMPARE(grid->columnWidth(1), px(3000));
    QCOMPARE(grid->columnWidth(2), px(2000));
    QCOMPARE(grid->columnWidth(3), px(3000));
    // A booking written elsewhere reads the grid again: the columns stay.
    setGuide(QStringLiteral("Bob Smith"), QStringLiteral("Jim"));
    QCOMPARE(shownCaptions(grid), expected);
    if (several) {
        QStringList choices;
        for (int i = 0; i < cboGuide()->count(); ++i)
            choices << cboGuide()->itemText(i);
        QCOMPARE(choices.first(), QStringLiteral("All guides"));
        QCOMPARE(choices.size(), roster.size() + 1);
    }
}

void TestScheduleGuides::choosingAGuideShowsHisTrips()
{
    addGuides({ "Jim", "Kay" });
    setGuide(QStringLiteral("Ann Lee"), QStringLiteral("Kay"));
    setGuide(QStringLiteral("Carl Jones"), QStringLiteral("Kay"));
    setGuide(QStringLiteral("Bob Smith"), QStringLiteral("Jim"));
    openMain();
    QTableView *grid = view()->grid();
    const auto choose = [this](const QString &text) {
        const int i = cboGuide()->findText(text);
        QVERIFY2(i >= 0, qPrintable(text));
        cboGuide()->setCurrentIndex(i);
        emit cboGuide()->activated(i);
    };
    choose(QStringLiteral("Kay"));
    QCOMPARE(clientsShown(grid), QStringList({ "Ann Lee", "Carl Jones" }));
    // The trips count stays the count of every trip, as the bookings panel's.
    QCOMPARE(view()->countLabel()->text(), QStringLiteral("3 Trips are Scheduled"));
    // The sorts keep to the guide's trips.
    QTest::mouseClick(view()->findChild<QPushButton *>(QStringLiteral("cmdLake")), Qt::LeftButton);
    QCOMPARE(clientsShown(grid), QStringList({ "Ann Lee", "Carl Jones" }));
    choose(QStringLiteral("Jim"));
    QCOMPARE(clientsShown(grid), QStringList({ "Bob Smith" }));
    choose(QStringLiteral("All guides"));
    QCOMPARE(clientsShown(grid), QStringList({ "Ann Lee", "Bob Smith", "Carl Jones" }));

    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_main->grab().save(folder + "/schedule-guides.png");
}

// The board follows the roster as it changes, without being opened again.
void TestScheduleGuides::rosterChangesShowLive()
{
    addGuides({ "Jim" });
    setGuide(QStringLiteral("Ann Lee"), QStringLiteral("Jim"));
    openMain();
    QVERIFY(!cboGuide()->isVisible());
    addGuides({ "Kay" });
    QVERIFY(cboGuide()->isVisible());
    QCOMPARE(shownCaptions(view()->grid()).value(2), QStringLiteral("Guide"));
    // The widths are laid again for the columns as they now stand.
    QCOMPARE(view()->grid()->columnWidth(2), qRound(2000 * view()->grid()->logicalDpiX() / 1440.0));
    cboGuide()->setCurrentIndex(cboGuide()->findText(QStringLiteral("Jim")));
    emit cboGuide()->activated(cboGuide()->currentIndex());
    QCOMPARE(clientsShown(view()->grid()), QStringList({ "Ann Lee" }));
    // Kay leaves the roster: one guide again, every trip shows, no column.
    BM_VERIFY(db::write(databasePath(), QStringLiteral("Guides"),
        QStringLiteral("DELETE FROM Guides WHERE Name = ?"), { QStringLiteral("Kay") }));
    QVERIFY(!cboGuide()->isVisible());
    QCOMPARE(shownCaptions(view()->grid()), captionsWithoutGuide());
    QCOMPARE(clientsShown(view()->grid()), QStringList({ "Ann Lee", "Bob Smith", "Carl Jones" }));
}

BM_TEST_MAIN(TestScheduleGuides)
#include "test_scheduleguides.moc"
