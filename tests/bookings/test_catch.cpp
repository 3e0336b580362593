#include "behind.h"
#include "bookings/frmaddtrip.h"
#include "bookings/frmcatch.h"
#include "bookings/invoicewindows.h"
#include "checks.h"
#include "core/dates.h"
#include "doubles.h"
#include "testenv.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

using namespace bm;

namespace
{

// Every line of the catch as stored, in key order, its values joined by "/".
QStringList storedLines()
{
    QStringList lines;
    for (const QVariantList &r :
        test::rowsBehind(
            R"(SELECT Day, Site, Water, Angler, Species, Origin, "Life Stage", Kept, Released FROM Catch ORDER BY ID)")) {
        QStringList values;
        for (const QVariant &v : r)
            values << v.toString();
        lines << values.join('/');
    }
    return lines;
}

QString storedBooking(const QString &field)
{
    const QList<QVariantList> rows
        = test::rowsBehind(QString(R"(SELECT "%1" FROM Booking WHERE Name = 'Ann Lee')").arg(field));
    return rows.size() == 1 ? rows[0][0].toString() : QString("(none)");
}

} // namespace

class TestCatch : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void aTwoDayTripWithTwoSitesOnADay();
    void refusedLinesStayTyped_data();
    void refusedLinesStayTyped();
    void unsavedLinesAreAskedAbout();
    void aTripWithoutLinesKeepsItsTotal();

private:
    QTableWidget *grid() const { return m_catch->findChild<QTableWidget *>("grdCatch"); }
    void click(const char *name) { m_catch->findChild<QPushButton *>(name)->click(); }
    void chooseSite(const QString &code)
    {
        auto *site = m_catch->findChild<QComboBox *>("cboSite");
        const int i = site->findData(code);
        if (i >= 0) {
            site->setCurrentIndex(i);
            emit site->activated(i);
        } else {
            site->setEditText(code);
            emit site->lineEdit()->editingFinished();
        }
    }
    // A new line, typed as the guide types it.
    void typeLine(const QStringList &values)
    {
        click("cmdAddLine");
        const int row = grid()->rowCount() - 1;
        const int columns[] = { FrmCatch::Angler, FrmCatch::Species, FrmCatch::Kept, FrmCatch::Released,
            FrmCatch::Origin, FrmCatch::Stage };
        for (int i = 0; i < values.size(); ++i)
            grid()->item(row, columns[i])->setText(values[i]);
    }

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    QPointer<FrmAddtrip> m_tripLog;
    QPointer<FrmCatch> m_catch;
};

void TestCatch::init()
{
    test::resetDatabase();
    m_hub = std::make_unique<test::FakeHub>();
    m_messages = std::make_unique<test::ScriptedMessages>();
    QVERIFY(test::execBehind("INSERT INTO Booking (Name, Date, Lake, Days, \"Total Fish\") "
                             "VALUES ('Ann Lee', '2026-07-04', 'Columbia River', '2', '12')"));
    const qint64 id = test::rowsBehind("SELECT max(ID) FROM Booking").value(0).value(0).toLongLong();
    const QString key = QString::number(id);
    QVERIFY(test::execBehind("INSERT INTO Party (Booking, Angler, Role) VALUES (?, 'Ann Lee', 'Client'), "
                             "(?, 'Bob Crew', 'Crew'), (?, 'Cy Free', 'Comped')",
        { key, key, key }));
    QVERIFY(test::execBehind("INSERT INTO \"Site Codes\" (Code, Name) VALUES ('WA-101', 'Lower Columbia'), "
                             "('WA-102', 'Cowlitz Mouth')"));
    BM_VERIFY(m_hub->datBookings().Refresh());
    m_tripLog = openTripLog(Bookmark { id });
    m_tripLog->findChild<QPushButton *>("cmdCatch")->click();
    m_catch = m_tripLog->findChild<FrmCatch *>();
    QVERIFY(m_catch);
    QVERIFY(m_catch->isVisible());
}

void TestCatch::cleanup()
{
    delete m_tripLog;
    m_messages.reset();
    m_hub.reset();
}

void TestCatch::aTwoDayTripWithTwoSitesOnADay()
{
    QCOMPARE(m_catch->windowTitle(), QString("Catch"));
    {
        test::RecordingHelp help;
        click("cmdHelp");
        QCOMPARE(help.topics, QList<int>({ 4300 }));
    }
    auto *day = m_catch->findChild<QComboBox *>("cboDay");
    QCOMPARE(day->count(), 2);
    QCOMPARE(day->itemText(1), "Day 2: " + shortDate(QDate(2026, 7, 5)));
    QCOMPARE(m_catch->findChild<QLineEdit *>("txtWater")->text(), QString("Columbia River"));
    // Typed in the trip log and not saved yet: it stays typed.
    qobject_cast<QComboBox *>(m_tripLog->boxFor("Weather"))->setEditText("Windy");

    chooseSite("WA-101");
    typeLine({ "Ann Lee", "Chinook Salmon", "1", "0", "Hatchery", "Adult" });
    typeLine({ "Bob Crew", "Smallmouth Bass", "2", "3" });
    QVERIFY(!(grid()->item(1, FrmCatch::Origin)->flags() & Qt::ItemIsEnabled)); // no bass is hatchery-born
    QVERIFY(grid()->item(0, FrmCatch::Origin)->flags() & Qt::ItemIsEnabled);
    click("cmdNothing"); // the comped angler fished and caught nothing
    QCOMPARE(grid()->rowCount(), 3);
    click("cmdSave");

    chooseSite("WA-102");
    QCOMPARE(grid()->rowCount(), 0);
    typeLine({ "Ann Lee", "Coho", "0", "1", "Wild", "Jack" });
    QVERIFY(m_catch->save());

    day->setCurrentIndex(1);
    emit day->activated(1);
    chooseSite("X-9"); // no code of the list: kept as typed
    click("cmdNothing");
    QCOMPARE(grid()->rowCount(), 3);
    click("cmdSave");

    QCOMPARE(storedLines(),
        QStringList({ "2026-07-04/WA-101/Columbia River/Ann Lee/Chinook Salmon/Hatchery/Adult/1/0",
            "2026-07-04/WA-101/Columbia River/Bob Crew/Smallmouth Bass///2/3",
            "2026-07-04/WA-101/Columbia River/Cy Free////0/0",
            "2026-07-04/WA-102/Columbia River/Ann Lee/Coho/Wild/Jack/0/1",
            "2026-07-05/X-9/Columbia River/Ann Lee////0/0", "2026-07-05/X-9/Columbia River/Bob Crew////0/0",
            "2026-07-05/X-9/Columbia River/Cy Free////0/0" }));
    QCOMPARE(storedBooking("Total Fish"), QString("7"));
    QCOMPARE(storedBooking("Species"), QString("Smallmouth Bass"));
    QCOMPARE(m_messages->shown.size(), 0);

    // The list of what is recorded moves between the sites.
    auto *recorded = m_catch->findChild<QTableWidget *>("lstRecorded");
    QCOMPARE(recorded->rowCount(), 3);
    emit recorded->cellClicked(0, 0);
    QCOMPARE(grid()->rowCount(), 3);
    QCOMPARE(grid()->item(0, FrmCatch::Species)->text(), QString("Chinook Salmon"));
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_catch->grab().save(folder + "/catch.png");

    // The trip log shows the new results, keeps what was typed there, and
    // saves without finding its booking changed under it.
    QCOMPARE(qobject_cast<QComboBox *>(m_tripLog->boxFor("Total Fish"))->currentText(), QString("7"));
    QCOMPARE(qobject_cast<QComboBox *>(m_tripLog->boxFor("Weather"))->currentText(), QString("Windy"));
    m_catch->close();
    QVERIFY(m_tripLog->save());
    QCOMPARE(storedBooking("Weather"), QString("Windy"));
    QCOMPARE(storedBooking("Total Fish"), QString("7"));
}

void TestCatch::refusedLinesStayTyped_data()
{
    QTest::addColumn<QStringList>("line");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<int>("column");
    const QString notACount = "is not a whole number from 0 to 999.";
    QTest::newRow("text") << QStringList { "Ann Lee", "Walleye", "two", "0" } << notACount
                          << int(FrmCatch::Kept);
    QTest::newRow("negative") << QStringList { "Ann Lee", "Walleye", "-1", "0" } << notACount
                              << int(FrmCatch::Kept);
    QTest::newRow("absurd") << QStringList { "Ann Lee", "Walleye", "1", "1,000" } << notACount
                            << int(FrmCatch::Released);
    QTest::newRow("fraction") << QStringList { "Ann Lee", "Walleye", "1.5", "0" } << notACount
                              << int(FrmCatch::Kept);
    QTest::newRow("fish of no species")
        << QStringList { "Ann Lee", "", "2", "0" } << "enter the species" << int(FrmCatch::Species);
    QTest::newRow("no angler") << QStringList { "", "Walleye", "2", "0" } << "choose the angler"
                               << int(FrmCatch::Angler);
    QTest::newRow("salmon without origin") << QStringList { "Ann Lee", "King salmon", "1", "0", "", "Adult" }
                                           << "hatchery or wild" << int(FrmCatch::Origin);
    QTest::newRow("steelhead without stage") << QStringList { "Bob Crew", "Steelhead", "0", "1", "Wild", "" }
                                             << "adult or a jack" << int(FrmCatch::Stage);
}

void TestCatch::refusedLinesStayTyped()
{
    QFETCH(QStringList, line);
    QFETCH(QString, refusal);
    QFETCH(int, column);
    chooseSite("WA-101");
    typeLine({ "Cy Free", "Walleye", "1", "0" });
    typeLine(line);
    m_messages->expect();
    QVERIFY(!m_catch->save());
    QVERIFY2(m_messages->last().text.startsWith("Line 2: ") && m_messages->last().text.contains(refusal),
        qPrintable(m_messages->last().text));
    QCOMPARE(grid()->currentRow(), 1);
    QCOMPARE(grid()->currentColumn(), column);
    QCOMPARE(storedLines(), QStringList());
    QCOMPARE(storedBooking("Total Fish"), QString("12"));
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->item(1, FrmCatch::Kept)->text(), line[2]);
    QVERIFY(m_catch->isChanged());
}

void TestCatch::unsavedLinesAreAskedAbout()
{
    chooseSite("WA-101");
    typeLine({ "Ann Lee", "Walleye", "3", "1" });
    // Cancel stays on the lines; Yes saves them, then moves.
    m_messages->expect(platform::Answer::Cancel);
    chooseSite("WA-102");
    QCOMPARE(grid()->rowCount(), 1);
    QCOMPARE(m_catch->findChild<QComboBox *>("cboSite")->currentData().toString(), QString("WA-101"));
    m_messages->expect(platform::Answer::Yes);
    chooseSite("WA-102");
    QCOMPARE(grid()->rowCount(), 0);
    QCOMPARE(storedLines(), QStringList({ "2026-07-04/WA-101/Columbia River/Ann Lee/Walleye///3/1" }));
    // Closing with lines typed asks too; No lets them go.
    typeLine({ "Bob Crew", "Walleye", "1", "0" });
    m_messages->expect(platform::Answer::Cancel);
    QVERIFY(!m_catch->close());
    m_messages->expect(platform::Answer::No);
    QVERIFY(m_catch->close());
    QCOMPARE(storedLines().size(), 1);
    QCOMPARE(storedBooking("Total Fish"), QString("4"));
    QCOMPARE(storedBooking("Species"), QString("Walleye"));
}

void TestCatch::aTripWithoutLinesKeepsItsTotal()
{
    chooseSite("WA-101");
    typeLine({ "Ann Lee", "Walleye", "3", "1" });
    QVERIFY(m_catch->save());
    QCOMPARE(storedBooking("Total Fish"), QString("4"));
    // The site's only line removed: the trip has no catch, and the total
    // stands as it was last written.
    grid()->setCurrentCell(0, 0);
    click("cmdRemoveLine");
    QVERIFY(m_catch->save());
    QCOMPARE(storedLines(), QStringList());
    QCOMPARE(storedBooking("Total Fish"), QString("4"));
}

BM_TEST_MAIN(TestCatch)
#include "test_catch.moc"
