#include "bookingfixture.h"
#include "checks.h"

#include "bookings/frmassignguide.h"
#include "db/recordsource.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace bm;

namespace
{

QString guideOf(const QString &client)
{
    const auto rows
        = test::rowsBehind(QStringLiteral("SELECT Guide FROM Booking WHERE Name = '%1'").arg(client));
    return rows.size() == 1 ? rows[0][0].toString() : QStringLiteral("<%1 rows>").arg(rows.size());
}

} // namespace

class TestAssignGuide : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup()
    {
        m_hub.reset();
        m_boxes.clear();
    }

    void assigning_data();
    void assigning();
    void fromTheMainWindowsBooking_data();
    void fromTheMainWindowsBooking();

private:
    std::unique_ptr<test::FakeHub> m_hub;
    test::ScriptedMessages m_boxes;
};

void TestAssignGuide::init()
{
    test::resetDatabase();
    test::layInBookings({ { "Ann Lee", "2026-05-14", "Bull Shoals" },
        { "Bob Smith", "2026-05-14", "Norfork" }, { "Carl Jones", "2026-05-15", "Table Rock Lake" } });
    QVERIFY(test::execBehind(QStringLiteral(
        "INSERT INTO Guides (Name, Active) VALUES ('Jim', 'Yes'), ('Kay', 'Yes'), ('Lou', 'No')")));
    m_hub = std::make_unique<test::FakeHub>();
}

// Bob's trip: the dialog offers the active guides and his own; OK writes
// the choice whatever the day holds, and a notice names the guide's other
// trips of that day (Ann's, not Carl's the day after).
void TestAssignGuide::assigning_data()
{
    QTest::addColumn<QString>("guideOfAnn");
    QTest::addColumn<QString>("guideOfBob");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("notice");
    QTest::newRow("free day") << ""
                              << ""
                              << "Jim" << false;
    QTest::newRow("same day, other guide") << "Kay"
                                           << ""
                                           << "Jim" << false;
    QTest::newRow("same day, same guide") << "Jim"
                                          << "Kay"
                                          << "Jim" << true;
    QTest::newRow("taken off the trip") << "Jim"
                                        << "Jim"
                                        << "(no guide)" << false;
    QTest::newRow("a guide who left stays") << "Lou"
                                            << "Lou"
                                            << "Lou" << false;
}

void TestAssignGuide::assigning()
{
    QFETCH(QString, guideOfAnn);
    QFETCH(QString, guideOfBob);
    QFETCH(QString, choice);
    QFETCH(bool, notice);
    QVERIFY(test::execBehind(
        QStringLiteral("UPDATE Booking SET Guide = ? WHERE Name = 'Ann Lee'"), { guideOfAnn }));
    QVERIFY(test::execBehind(
        QStringLiteral("UPDATE Booking SET Guide = ? WHERE Name IN ('Bob Smith', 'Carl Jones')"),
        { guideOfBob }));
    RecordSource &bookings = m_hub->datBookings();
    BM_VERIFY(bookings.FindFirst(QStringLiteral("Name LIKE 'Bob Smith'")));
    const Bookmark bob = bookings.bookmark();
    FrmAssignGuide d(bob);
    BM_VERIFY(d.load());
    QCOMPARE(d.findChild<QLabel *>(QStringLiteral("lblLake"))->text(), QStringLiteral("Norfork"));
    auto *box = d.findChild<QComboBox *>(QStringLiteral("cboGuide"));
    QCOMPARE(box->currentText(), guideOfBob.isEmpty() ? QStringLiteral("(no guide)") : guideOfBob);
    QCOMPARE(box->findText(QStringLiteral("Lou")) >= 0, guideOfBob == QLatin1String("Lou"));
    box->setCurrentIndex(box->findText(choice));
    if (notice)
        m_boxes.expect();
    d.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QCOMPARE(guideOf(QStringLiteral("Bob Smith")), choice == "(no guide)" ? QString() : choice);
    QCOMPARE(guideOf(QStringLiteral("Carl Jones")), guideOfBob);
    QCOMPARE(m_boxes.shown.size(), notice ? 1 : 0);
    if (notice) {
        QCOMPARE(m_boxes.last().icon, platform::Icon::Information);
        QVERIFY2(m_boxes.last().text.endsWith("\n5/14/2026, Bull Shoals, Ann Lee"),
            qPrintable(m_boxes.last().text));
    }
    QCOMPARE(bookings.bookmark(), bob); // the main window stays on its booking
}

// The menu's way in: on the main window's current booking, or a word that
// there is none.
void TestAssignGuide::fromTheMainWindowsBooking_data()
{
    QTest::addColumn<bool>("current");
    QTest::newRow("a booking") << true;
    QTest::newRow("none") << false;
}

void TestAssignGuide::fromTheMainWindowsBooking()
{
    QFETCH(bool, current);
    RecordSource &bookings = m_hub->datBookings();
    BM_VERIFY(bookings.FindFirst(QStringLiteral("Name LIKE 'Carl Jones'")));
    if (!current) {
        BM_VERIFY(bookings.MoveNext()); // past the last
        m_boxes.expect();
    }
    QString client;
    if (current)
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<FrmAssignGuide *>(QApplication::activeModalWidget());
            QVERIFY(d);
            client = d->findChild<QLabel *>(QStringLiteral("lblClient"))->text();
            if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
                d->grab().save(folder + "/assignguide.png");
            auto *box = d->findChild<QComboBox *>(QStringLiteral("cboGuide"));
            box->setCurrentIndex(box->findText(QStringLiteral("Kay")));
            d->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        });
    assignGuideToCurrentBooking(nullptr);
    QCOMPARE(m_boxes.shown.size(), current ? 0 : 1);
    QCOMPARE(client, current ? QStringLiteral("Carl Jones") : QString());
    QCOMPARE(guideOf(QStringLiteral("Carl Jones")), current ? QStringLiteral("Kay") : QString());
}

BM_TEST_MAIN(TestAssignGuide)
#include "test_assignguide.moc"
