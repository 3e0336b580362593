#include "behind.h"
#include "doubles.h"
#include "logbookfixture.h"
#include "testenv.h"

#include "bookings/frmbooking.h"
#include "bookings/frmlogbook.h"
#include "core/apppaths.h"
#include "db/query.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "schema/schema.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace bm;

class TestFrmLogbook : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void monthAndGuideChoice_data();
    void monthAndGuideChoice();
    void savesTheCsvLines();
    void printsTheChosenMonth();
    void problemOpensItsTrip();
    void readsAgainWhenTheCatchChanges();
    void opensFromTheUtilitiesMenu();
    void mainWindowRemindsOnce();

private:
    FrmLogbook *open();
    template <class W> W *child(const QString &name)
    {
        W *w = m_window->findChild<W *>(name);
        if (!w)
            qFatal("no %s", qPrintable(name));
        return w;
    }

    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<test::FakeClock> m_clock;
    QPointer<FrmLogbook> m_window;
    test::LogbookMonth m_trips;
};

void TestFrmLogbook::init()
{
    test::resetDatabase();
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_clock = std::make_unique<test::FakeClock>(QDate(2026, 12, 8));
    m_trips = test::layLogbookMonth();
}

void TestFrmLogbook::cleanup()
{
    test::deleteWindows();
    m_clock.reset();
    m_messages.reset();
}

FrmLogbook *TestFrmLogbook::open()
{
    m_window = platform::showWindow<FrmLogbook>();
    return m_window;
}

void TestFrmLogbook::monthAndGuideChoice_data()
{
    QTest::addColumn<QDate>("month"); // invalid: as it opens
    QTest::addColumn<QString>("guide");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("problems");
    QTest::addColumn<QString>("count");
    QTest::newRow("opens on the month before today")
        << QDate() << QString() << 14 << 8 << "8 problem(s) to set right before you send November 2026:";
    QTest::newRow("one guide") << QDate() << "Bo Lind" << 1 << 3
                               << "3 problem(s) to set right before you send November 2026:";
    QTest::newRow("month before") << QDate(2026, 10, 5) << QString() << 1 << 1
                                  << "1 problem(s) to set right before you send October 2026:";
    QTest::newRow("no trips") << QDate(2026, 9, 1) << QString() << 0 << 0 << "No trips in September 2026.";
}

void TestFrmLogbook::monthAndGuideChoice()
{
    QFETCH(QDate, month);
    QFETCH(QString, guide);
    QFETCH(int, rows);
    QFETCH(int, problems);
    QFETCH(QString, count);
    open();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Logbook"));
    auto *guides = child<QComboBox>("cboGuide");
    QCOMPARE(guides->itemText(0), QStringLiteral("All Guides"));
    QCOMPARE(guides->count(), 3); // and the roster's two
    if (month.isValid())
        m_window->chooseMonth(month);
    else
        QCOMPARE(m_window->month(), QDate(2026, 11, 1));
    if (!guide.isEmpty())
        QVERIFY(m_window->chooseGuide(guide));
    QCOMPARE(child<QTableView>("grdLogbook")->model()->rowCount(), rows);
    QCOMPARE(child<QListWidget>("lstProblems")->count(), problems);
    QCOMPARE(child<QLabel>("lblProblems")->text(), count);
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_window->grab().save(QStringLiteral("%1/logbook %2.png").arg(folder, QTest::currentDataTag()));
}

void TestFrmLogbook::savesTheCsvLines()
{
    test::FakeFileDialogs dialogs;
    QTemporaryDir dir;
    dialogs.answers << dir.filePath(QStringLiteral("november"));
    open();
    QVERIFY(m_window->chooseGuide(QStringLiteral("Bo Lind")));
    child<QPushButton>("cmdSaveCsv")->click();
    QCOMPARE(dialogs.requests.size(), 1);
    QCOMPARE(dialogs.requests[0].proposedName, QStringLiteral("Logbook 2026-11.csv"));
    QFile file(dir.filePath(QStringLiteral("november.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
        QByteArray("\xEF\xBB\xBF"
                   "Date,Guide,Guide License,Water,Site Code,Site,Angler,Angler License,Role,Species,Kept,"
                   "Released,Origin,Life Stage\r\n"
                   "2026-11-10,Bo Lind,,Lake Sawyer,,,Fay Hill,,Client,Cutthroat Trout,0,3,,\r\n"));
}

void TestFrmLogbook::printsTheChosenMonth()
{
    test::FakeHub hub;
    test::RecordingReports reports;
    open();
    m_window->chooseMonth(QDate(2026, 10, 1));
    QVERIFY(m_window->chooseGuide(QStringLiteral("Ann Reed")));
    child<QPushButton>("cmdPrint")->click();
    QCOMPARE(reports.files, QStringList { appFile(QStringLiteral("logbook.rpt")) });
    QCOMPARE(reports.months, QStringList { QStringLiteral("2026-10") });
    QCOMPARE(reports.guides, QStringList { QStringLiteral("Ann Reed") });
}

void TestFrmLogbook::problemOpensItsTrip()
{
    test::FakeHub hub;
    QSignalSpy switched(&hub, &platform::MainHub::bookingsPanelWanted);
    open();
    auto *list = child<QListWidget>("lstProblems");
    // The fourth problem: Bo Lind's trip of the 10th.
    QVERIFY(list->item(3)->text().contains(QStringLiteral("Fay Hill")));
    emit list->itemActivated(list->item(3));
    QCOMPARE(hub.bookings->bookmark(), m_trips.released);
    QCOMPARE(switched.count(), 1);
    auto *entry = qobject_cast<FrmBooking *>(platform::findWindow(QStringLiteral("frmBooking")));
    QVERIFY(entry && entry->isVisible());

    // A trip another desk deleted meanwhile is said, and the list read
    // again.
    QVERIFY(test::execBehind(QStringLiteral("DELETE FROM Booking WHERE Name = 'Gus Park'")));
    m_messages->expect();
    m_window->openProblem(int(m_window->logged().problems.size()) - 1);
    QCOMPARE(m_messages->shown.size(), 1);
    QVERIFY(m_messages->last().text.startsWith(QStringLiteral("This trip can not be opened: ")));
    QCOMPARE(hub.bookings->bookmark(), m_trips.released);
    QCOMPARE(m_window->logged().problems.size(), 5); // Gus Park's three are gone
}

void TestFrmLogbook::readsAgainWhenTheCatchChanges()
{
    open();
    const int before = child<QTableView>("grdLogbook")->model()->rowCount();
    test::addCatch(
        m_trips.released, { QDate(2026, 11, 10), "27", "Lake Sawyer", "Fay Hill", "Perch", "4", "0" });
    QCOMPARE(child<QTableView>("grdLogbook")->model()->rowCount(), before + 1);
}

void TestFrmLogbook::opensFromTheUtilitiesMenu()
{
    auto *main = new FrmMain;
    main->show();
    auto *item = main->findChild<QAction *>(QStringLiteral("mnuLogbook"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("Logbook..."));
    const QList<QAction *> items = main->findChild<QMenu *>(QStringLiteral("mnuUtilities"))->actions();
    QCOMPARE(
        items.indexOf(item), items.indexOf(main->findChild<QAction *>(QStringLiteral("mnuTripDay"))) + 1);
    item->trigger();
    QVERIFY(platform::findWindow(QStringLiteral("frmLogbook")));
    m_messages->expect(platform::Answer::No); // the backup question
    main->close();
}

// At start, and on the day after, the reminder of November's logbook is
// there once; a new start after the guide deleted it leaves it deleted.
void TestFrmLogbook::mainWindowRemindsOnce()
{
    const QString text = QStringLiteral("Send the state's logbook for November 2026");
    auto reminders = [&text] {
        db::Query q;
        QVariant n;
        if (!q.single(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?")
                          .arg(schema::quoted(QLatin1String(table::Reminder)),
                              schema::quoted(QLatin1String(field::Reminder::Reminder))),
                { text }, n))
            return -1;
        return n.toInt();
    };
    auto start = [this] {
        auto *main = new FrmMain;
        main->show();
        QCoreApplication::processEvents();
        return main;
    };
    FrmMain *main = start();
    QTRY_COMPARE(reminders(), 1);
    m_clock->date = QDate(2026, 12, 9);
    main->becomeActive();
    QCOMPARE(reminders(), 1);
    m_messages->expect(platform::Answer::No); // the backup question
    main->close();

    QVERIFY(db::write(databasePath(), QLatin1String(table::Reminder),
        QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
            .arg(schema::quoted(QLatin1String(table::Reminder)),
                schema::quoted(QLatin1String(field::Reminder::Reminder))),
        { text })
                .isOk());
    main = start();
    QCOMPARE(reminders(), 0);
    m_messages->expect(platform::Answer::No);
    main->close();
}

BM_TEST_MAIN(TestFrmLogbook)
#include "test_frmlogbook.moc"
