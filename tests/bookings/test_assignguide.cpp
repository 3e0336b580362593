#include "bookingfixture.h"
#include "checks.h"

#include "bookings/frmassignguide.h"
#include "data/query.h"
#include "data/recordsource.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace bm;

namespace
{

void addGuide(const QString &name, const QString &active = QStringLiteral("Yes"))
{
    BM_CHECK(db::write(databasePath(), QStringLiteral("Guides"),
        QStringLiteral("INSERT INTO Guides (Name, Active) VALUES (?, ?)"), { name, active }));
}

QString guideOf(const QString &client)
{
    const QList<QVariantList> rows
        = test::rowsBehind(QStringLiteral("SELECT Guide FROM Booking WHERE Name = '%1'").arg(client));
    return rows.size() == 1 ? rows[0][0].toString() : QStringLiteral("<%1 rows>").arg(rows.size());
}

QStringList choices(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

} // namespace

class TestAssignGuide : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void dialogOffersActiveGuides_data();
    void dialogOffersActiveGuides();
    void assigning_data();
    void assigning();
    void noCurrentBooking();
    void fromTheMainWindowsBooking();

private:
    std::unique_ptr<test::FakeHub> m_hub;
    test::ScriptedMessages m_boxes;
    // The dialog on the booking of this client.
    std::unique_ptr<FrmAssignGuide> dialogFor(const QString &client)
    {
        RecordSource &b = m_hub->datBookings();
        BM_CHECK(b.FindFirst(QStringLiteral("Name LIKE '%1'").arg(client)));
        auto d = std::make_unique<FrmAssignGuide>(b.bookmark());
        BM_CHECK(d->load());
        return d;
    }
};

void TestAssignGuide::init()
{
    test::resetDatabase();
    test::layInBookings({ { "Ann Lee", "2026-05-14", "Bull Shoals" },
        { "Bob Smith", "2026-05-14", "Norfork" }, { "Carl Jones", "2026-05-15", "Table Rock Lake" } });
    addGuide(QStringLiteral("Jim"));
    addGuide(QStringLiteral("Kay"));
    addGuide(QStringLiteral("Lou"), QStringLiteral("No"));
    m_hub = std::make_unique<test::FakeHub>();
    m_boxes.clear();
}

void TestAssignGuide::cleanup()
{
    QCOMPARE(m_boxes.pending(), 0);
    m_hub.reset();
    test::deleteWindows();
}

// The active guides and "(no guide)"; the booking's own guide stays a
// choice (and chosen) even when he no longer takes bookings.
void TestAssignGuide::dialogOffersActiveGuides_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QString>("chosen");
    const QStringList active { "(no guide)", "Jim", "Kay" };
    QTest::newRow("no guide yet") << "" << active << "(no guide)";
    QTest::newRow("an active guide") << "Kay" << active << "Kay";
    QTest::newRow("a guide who left") << "Lou" << (active + QStringList { "Lou" }) << "Lou";
}

void TestAssignGuide::dialogOffersActiveGuides()
{
    QFETCH(QString, current);
    QFETCH(QStringList, offered);
    QFETCH(QString, chosen);
    QVERIFY(
        test::execBehind(QStringLiteral("UPDATE Booking SET Guide = ? WHERE Name = 'Ann Lee'"), { current }));
    auto d = dialogFor(QStringLiteral("Ann Lee"));
    QCOMPARE(d->findChild<QLabel *>(QStringLiteral("lblDate"))->text(), QStringLiteral("5/14/2026"));
    QCOMPARE(d->findChild<QLabel *>(QStringLiteral("lblLake"))->text(), QStringLiteral("Bull Shoals"));
    QCOMPARE(d->findChild<QLabel *>(QStringLiteral("lblClient"))->text(), QStringLiteral("Ann Lee"));
    auto *box = d->findChild<QComboBox *>(QStringLiteral("cboGuide"));
    QCOMPARE(choices(box), offered);
    QCOMPARE(box->currentText(), chosen);
    // OK without a change keeps the guide, and says nothing.
    d->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QCOMPARE(guideOf(QStringLiteral("Ann Lee")), current);
    QCOMPARE(d->result(), int(QDialog::Accepted));
}

// The guide is written whatever the day holds; a notice names the guide's
// other trips of that day, and only those.
void TestAssignGuide::assigning_data()
{
    QTest::addColumn<QString>("guideOfAnn"); // Ann's trip is on Bob's day
    QTest::addColumn<QString>("guideOfCarl"); // Carl's the day after
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("notice"); // a part of its text; empty: no notice
    QTest::newRow("free day") << ""
                              << "Jim"
                              << "Jim"
                              << "";
    QTest::newRow("same day, other guide") << "Kay"
                                           << ""
                                           << "Jim"
                                           << "";
    QTest::newRow("same day, same guide") << "Jim"
                                          << "Jim"
                                          << "Jim"
                                          << "5/14/2026, Bull Shoals, Ann Lee";
    QTest::newRow("taken off the trip") << "Jim"
                                        << ""
                                        << "(no guide)"
                                        << "";
}

void TestAssignGuide::assigning()
{
    QFETCH(QString, guideOfAnn);
    QFETCH(QString, guideOfCarl);
    QFETCH(QString, choice);
    QFETCH(QString, notice);
    QVERIFY(test::execBehind(
        QStringLiteral("UPDATE Booking SET Guide = ? WHERE Name = 'Ann Lee'"), { guideOfAnn }));
    QVERIFY(test::execBehind(
        QStringLiteral("UPDATE Booking SET Guide = ? WHERE Name = 'Carl Jones'"), { guideOfCarl }));
    QVERIFY(test::execBehind(QStringLiteral("UPDATE Booking SET Guide = 'Kay' WHERE Name = 'Bob Smith'")));
    auto d = dialogFor(QStringLiteral("Bob Smith"));
    const Bookmark bob = m_hub->datBookings().bookmark();
    auto *box = d->findChild<QComboBox *>(QStringLiteral("cboGuide"));
    box->setCurrentIndex(box->findText(choice));
    if (!notice.isEmpty())
        m_boxes.expect();
    d->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QCOMPARE(guideOf(QStringLiteral("Bob Smith")), choice == "(no guide)" ? QString() : choice);
    QCOMPARE(guideOf(QStringLiteral("Ann Lee")), guideOfAnn);
    QCOMPARE(m_boxes.shown.size(), notice.isEmpty() ? 0 : 1);
    if (!notice.isEmpty()) {
        QVERIFY2(m_boxes.last().text.contains(notice), qPrintable(m_boxes.last().text));
        QVERIFY2(!m_boxes.last().text.contains("Carl"), qPrintable(m_boxes.last().text));
        QCOMPARE(m_boxes.last().icon, platform::Icon::Information);
    }
    // The main window stays on the booking it showed.
    QCOMPARE(m_hub->datBookings().bookmark(), bob);
}

void TestAssignGuide::noCurrentBooking()
{
    QVERIFY(m_hub->datBookings().MoveLast());
    QVERIFY(m_hub->datBookings().MoveNext()); // past the last: none current
    m_boxes.expect();
    assignGuideToCurrentBooking(nullptr);
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY2(m_boxes.last().text.contains("no booking"), qPrintable(m_boxes.last().text));
}

// The menu's way in: the dialog opens on the main window's current booking.
void TestAssignGuide::fromTheMainWindowsBooking()
{
    BM_VERIFY(m_hub->datBookings().FindFirst(QStringLiteral("Name LIKE 'Carl Jones'")));
    QString shownClient;
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<FrmAssignGuide *>(QApplication::activeModalWidget());
        QVERIFY(d);
        shownClient = d->findChild<QLabel *>(QStringLiteral("lblClient"))->text();
        if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
            d->grab().save(folder + "/assignguide.png");
        auto *box = d->findChild<QComboBox *>(QStringLiteral("cboGuide"));
        box->setCurrentIndex(box->findText(QStringLiteral("Kay")));
        d->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    assignGuideToCurrentBooking(nullptr);
    QCOMPARE(shownClient, QStringLiteral("Carl Jones"));
    QCOMPARE(guideOf(QStringLiteral("Carl Jones")), QStringLiteral("Kay"));
}

BM_TEST_MAIN(TestAssignGuide)
#include "test_assignguide.moc"
