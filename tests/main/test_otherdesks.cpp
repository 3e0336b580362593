#include "serverdb.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/query.h"
#include "db/recordsource.h"
#include "main/bookingspanel.h"
#include "main/contactspanel.h"
#include "main/frmmain.h"
#include "main/scheduleview.h"
#include "platform/mainhub.h"
#include "platform/windows.h"
#include "records/frmfinddiary.h"
#include "reminders/frmreminder.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>

#include <memory>

using namespace bm;

// The windows of one desk while another desk saves to the shared database:
// what the other desk saves shows here soon, and the guide's place here
// stays where it was.
class TestOtherDesks : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void savesShowHere_data();
    void savesShowHere();
    void placeStays();

private:
    bool otherDesk(const QString &sql);

    QString m_uri;
    std::unique_ptr<test::ServerConnection> m_other;
    QPointer<FrmMain> m_main;
};

void TestOtherDesks::init()
{
    BM_REQUIRE_SERVER();
    m_uri = test::freshServerDatabase(QStringLiteral("otherdesks"));
    QVERIFY(!m_uri.isEmpty());
    setDatabaseLocation(m_uri);
    QVERIFY(db::check(m_uri));
    m_other = std::make_unique<test::ServerConnection>(m_uri);
    QVERIFY2(m_other->status(), qPrintable(m_other->status().message()));
    for (const QString &name :
        { QStringLiteral("Ann Lee"), QStringLiteral("Bo Dean"), QStringLiteral("Cy Oaks") })
        QVERIFY(otherDesk(QStringLiteral("INSERT INTO \"Booking\" (\"Date\", \"Lake\", \"Name\") "
                                         "VALUES ('2026-06-01', 'Bull Shoals', '%1')")
                              .arg(name)));
    m_main = new FrmMain;
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main));
}

void TestOtherDesks::cleanup()
{
    test::deleteWindows();
    m_other.reset();
    db::closeAll();
    setDatabaseLocation(QString());
    if (!m_uri.isEmpty())
        QVERIFY(test::dropServerDatabase(m_uri));
}

bool TestOtherDesks::otherDesk(const QString &sql)
{
    QSqlQuery q(m_other->database());
    if (q.exec(sql))
        return true;
    qWarning("the other desk's statement failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return false;
}

// Each row: what the other desk saves, and what shows it here.
void TestOtherDesks::savesShowHere_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("shown"); // which list or count

    QTest::newRow("a new booking: the schedule")
        << "INSERT INTO \"Booking\" (\"Date\", \"Lake\") VALUES ('2026-07-04', 'Norfork')"
        << "schedule";
    QTest::newRow("a new booking: the trips count")
        << "INSERT INTO \"Booking\" (\"Date\", \"Lake\") VALUES ('2026-07-04', 'Norfork')"
        << "trips count";
    QTest::newRow("a deleted booking: the schedule") << "DELETE FROM \"Booking\" WHERE \"Name\" = 'Bo Dean'"
                                                     << "schedule";
    QTest::newRow("a new contact: the contacts list") << "INSERT INTO \"Phone\" (\"Name\") VALUES ('Di Fenn')"
                                                      << "contacts";
    QTest::newRow("a new reminder: the reminder list")
        << "INSERT INTO \"Reminder\" (\"Date\", \"Reminder\") VALUES ('2026-07-01', 'Order minnows')"
        << "reminders";
    QTest::newRow("a new diary page: the diary finder")
        << "INSERT INTO \"Diary\" (\"Date\", \"Subject\") VALUES ('2026-07-01', 'High water')"
        << "diary";
}

void TestOtherDesks::savesShowHere()
{
    QFETCH(QString, sql);
    QFETCH(QString, shown);

    auto *reminders = platform::showWindow<FrmReminder>();
    auto *diary = platform::showWindow<FrmFinddiary>();
    const std::function<int()> count = [&]() -> int {
        if (shown == QLatin1String("schedule"))
            return m_main->scheduleView()->grid()->model()->rowCount();
        if (shown == QLatin1String("trips count"))
            return m_main->scheduleView()
                ->findChild<QLabel *>(QStringLiteral("lblTripcount"))
                ->text()
                .section(QLatin1Char(' '), 0, 0)
                .toInt();
        if (shown == QLatin1String("contacts"))
            return m_main->contactsPanel()->names()->count();
        if (shown == QLatin1String("reminders"))
            return reminders->grid()->model()->rowCount();
        return diary->subjects()->count();
    };
    const int before = count();
    const int change = sql.startsWith(QLatin1String("DELETE")) ? -1 : 1;
    QElapsedTimer waited;
    waited.start();
    QVERIFY(otherDesk(sql));
    QTRY_COMPARE_WITH_TIMEOUT(count(), before + change, 2000);
    QVERIFY(waited.elapsed() < 2000);
}

// The guide stands on a booking in the bookings panel; the other
// desk changes it and adds one before it: the panel shows the change and
// stays on the booking.
void TestOtherDesks::placeStays()
{
    RecordSource &bookings = platform::mainHub()->datBookings();
    QVERIFY(bookings.MoveFirst());
    while (bookings.hasCurrent() && bookings.text(QStringLiteral("Name")) != QLatin1String("Bo Dean"))
        QVERIFY(bookings.MoveNext());
    QVERIFY(bookings.hasCurrent());
    const Bookmark place = bookings.bookmark();
    auto *lake = m_main->bookingsPanel()->findChild<QLineEdit *>(QStringLiteral("txtLake"));
    QVERIFY(lake);
    QVERIFY(otherDesk(
        QStringLiteral("UPDATE \"Booking\" SET \"Lake\" = 'Table Rock' WHERE \"Name\" = 'Bo Dean'")));
    QVERIFY(otherDesk(
        QStringLiteral("INSERT INTO \"Booking\" (\"ID\", \"Date\", \"Name\") OVERRIDING SYSTEM VALUE "
                       "VALUES (0, '2026-05-01', 'Early Bird')")));
    QTRY_COMPARE_WITH_TIMEOUT(lake->text(), QStringLiteral("Table Rock"), 2000);
    QCOMPARE(bookings.bookmark(), place);
    QCOMPARE(bookings.text(QStringLiteral("Name")), QStringLiteral("Bo Dean"));
}

BM_TEST_MAIN(TestOtherDesks)
#include "test_otherdesks.moc"
