// The program at a guide's desk on a lodge's shared database: what the
// windows show and offer is what the server lets the guide see and do.

#include "lodgeserver.h"
#include "serverdb.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/recordsource.h"
#include "db/rights.h"
#include "domain/party.h"
#include "domain/schedulemodel.h"
#include "domain/season.h"
#include "main/frmmain.h"

#include <QAction>
#include <QComboBox>
#include <QPointer>
#include <QSqlQuery>
#include <QTableView>

using namespace bm;

class TestGuideDesk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void theRecordsOfEachDesk_data();
    void theRecordsOfEachDesk();
    void theScheduleShowsTheOthersAsBooked();
    void commandsTheRoleMayNotUse_data();
    void commandsTheRoleMayNotUse();
    void partyOfHisOwnTripsOnly();

private:
    void openAs(const QString &login);

    test::LodgeServer m_lodge;
    QPointer<FrmMain> m_main;
};

void TestGuideDesk::initTestCase()
{
    BM_REQUIRE_SERVER();
    QVERIFY(m_lodge.setUp(QStringLiteral("guidedesk"),
        { { QStringLiteral("ann"), QStringLiteral("owner") },
            { QStringLiteral("bob"), QStringLiteral("office") },
            { QStringLiteral("cy"), QStringLiteral("guide") } }));
    QVERIFY(db::check(m_lodge.uri(QStringLiteral("ann"))));
    db::closeAll();
    // Three trips of two guides in 2026, as the lodge's owner enters them.
    QVERIFY(m_lodge.psql(m_lodge.expand(QStringLiteral(R"(
        DELETE FROM "Booking"; DELETE FROM "Guides";
        INSERT INTO "Guides" ("Name", "Login", "Active") VALUES ('Cy', '%cy%', 'Yes'), ('Dee', '', 'Yes');
        INSERT INTO "Booking" ("Date", "Name", "Guide", "Lake", "Total Charge", "Status") VALUES
            ('2026-06-01', 'Carl', 'Cy', 'Bull Shoals', 4000000, 'Confirmed'),
            ('2026-06-02', 'Dora', 'Dee', 'Table Rock', 5000000, 'Confirmed'),
            ('2026-06-03', 'Dale', 'Dee', 'Norfork', 6000000, 'Confirmed');)"))));
}

void TestGuideDesk::cleanupTestCase()
{
    db::closeAll();
    setDatabaseLocation(QString());
    db::setRights(db::Rights {});
    m_lodge.tearDown();
}

void TestGuideDesk::init()
{
    BM_REQUIRE_SERVER();
}

void TestGuideDesk::cleanup()
{
    test::deleteWindows();
    db::closeAll();
    setDatabaseLocation(QString());
    db::setRights(db::Rights {});
}

void TestGuideDesk::openAs(const QString &login)
{
    const QString uri = m_lodge.uri(login);
    QVERIFY(db::check(uri));
    setDatabaseLocation(uri);
    db::Rights rights;
    QVERIFY(db::readRights(uri, rights));
    db::setRights(rights);
    m_main = new FrmMain;
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main));
}

void TestGuideDesk::theRecordsOfEachDesk_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<int>("bookings"); // in the bookings panel's record source
    QTest::addColumn<int>("trips"); // in the season summary of 2026
    QTest::addColumn<qint64>("income"); // dollars
    QTest::newRow("owner") << "ann" << 3 << 3 << qint64(1500);
    QTest::newRow("office") << "bob" << 3 << 3 << qint64(1500);
    QTest::newRow("guide") << "cy" << 1 << 1 << qint64(400);
}

void TestGuideDesk::theRecordsOfEachDesk()
{
    QFETCH(QString, login);
    QFETCH(int, bookings);
    QFETCH(int, trips);
    QFETCH(qint64, income);
    openAs(login);
    auto *source = m_main->findChild<RecordSource *>(QStringLiteral("DatBookings"));
    QVERIFY(source);
    int n = -1;
    QVERIFY(source->count(n));
    QCOMPARE(n, bookings);
    season::Summary summary;
    QVERIFY(season::summarize(2026, summary));
    QCOMPARE(summary.current.trips, trips);
    QCOMPARE(summary.current.income.units() / 10000, income);
}

void TestGuideDesk::theScheduleShowsTheOthersAsBooked()
{
    openAs(QStringLiteral("cy"));
    auto *grid = m_main->findChild<QTableView *>(QStringLiteral("DBGrid1"));
    QVERIFY(grid);
    QAbstractItemModel *model = grid->model();
    QCOMPARE(model->rowCount(), 3);
    int name = -1, charge = -1;
    for (int c = 0; c < model->columnCount(); ++c) {
        const QString header = model->headerData(c, Qt::Horizontal).toString();
        if (header == QLatin1String("Name"))
            name = c;
        if (header == QLatin1String("Total Charge"))
            charge = c;
    }
    QVERIFY(name >= 0 && charge >= 0);
    QStringList seen;
    for (int r = 0; r < 3; ++r)
        seen << QStringLiteral("%1/%2/%3")
                    .arg(model->index(r, name).data().toString(), model->index(r, charge).data().toString(),
                        model->index(r, 0).data(ScheduleModel::OthersRole).toBool() ? QStringLiteral("other")
                                                                                    : QStringLiteral("his"));
    seen.sort();
    QCOMPARE(seen.join(QLatin1Char(',')), QStringLiteral("Carl/400.00/his,booked//other,booked//other"));
    // Choosing another's trip leaves the guide's own booking current.
    auto *source = m_main->findChild<RecordSource *>(QStringLiteral("DatBookings"));
    const Bookmark before = source->bookmark();
    for (int r = 0; r < 3; ++r)
        if (model->index(r, 0).data(ScheduleModel::OthersRole).toBool())
            grid->setCurrentIndex(model->index(r, 0));
    QCOMPARE(source->bookmark(), before);
}

void TestGuideDesk::commandsTheRoleMayNotUse_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QStringList>("disabled");
    const QStringList settings { "mnuAssignGuide", "mnuBookingPage", "mnuMail", "mnuMailTexts" };
    QTest::newRow("owner") << "ann" << QStringList {};
    QTest::newRow("office") << "bob" << QStringList { "mnuGuides" };
    QTest::newRow("guide") << "cy" << settings + QStringList { "mnuGuides", "mnuBin" };
}

void TestGuideDesk::commandsTheRoleMayNotUse()
{
    QFETCH(QString, login);
    QFETCH(QStringList, disabled);
    openAs(login);
    QStringList found;
    for (const char *item : { "mnuAssignGuide", "mnuBookingPage", "mnuMail", "mnuMailTexts", "mnuGuides",
             "mnuSeason", "mnuOutbox", "mnuRequests", "mnuHistory", "mnuBin" }) {
        auto *action = m_main->findChild<QAction *>(item);
        QVERIFY2(action, item);
        if (!action->isEnabled()) {
            found << QString::fromLatin1(item);
            QVERIFY2(action->toolTip().startsWith(QLatin1String("Only the lodge's owner")), item);
        }
    }
    found.sort();
    disabled.sort();
    QCOMPARE(found, disabled);
}

// The party of another guide's trip is hidden from a guide's desk, and the
// server refuses to add to it: nothing of the save is written. His own
// trip's party and Party Size are his to write.
void TestGuideDesk::partyOfHisOwnTripsOnly()
{
    QString ids;
    QVERIFY(m_lodge.psql(
        QStringLiteral(
            "SELECT \"ID\" FROM \"Booking\" WHERE \"Name\" IN ('Carl', 'Dora') ORDER BY \"Name\";"),
        &ids));
    const QStringList both = ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(both.size(), 2);
    const Bookmark carl { both[0].toLongLong() }, dora { both[1].toLongLong() };
    QVERIFY(m_lodge.psql(QStringLiteral("INSERT INTO \"Party\" (\"Booking\", \"Angler\", \"Role\") VALUES "
                                        "('%1', 'Dora', 'Client');")
                             .arg(dora.id)));
    openAs(QStringLiteral("cy"));
    QList<party::Angler> seen { { 1, QStringLiteral("left over"), {}, {}, {}, {} } };
    QVERIFY(party::read(dora, seen));
    QVERIFY(seen.isEmpty());
    const QList<party::Angler> eve { { 0, QStringLiteral("Eve"), {}, QLatin1String(partyRole::client), {},
        {} } };
    int size = -1;
    QVERIFY(!party::save(dora, {}, eve, size));
    QCOMPARE(size, 0);
    QVERIFY(party::save(carl, {}, eve, size));
    QCOMPARE(size, 1);
    QString written;
    QVERIFY(
        m_lodge.psql(QStringLiteral("SELECT p.\"Angler\" || ':' || b.\"Name\" || ':' || "
                                    "coalesce(b.\"Party Size\", '') FROM \"Party\" p JOIN \"Booking\" b ON "
                                    "p.\"Booking\" = CAST(b.\"ID\" AS TEXT) ORDER BY p.\"ID\";"),
            &written));
    QCOMPARE(written.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
        QStringList({ QStringLiteral("Dora:Dora:"), QStringLiteral("Eve:Carl:1") }));
    QVERIFY(m_lodge.psql(QStringLiteral("DELETE FROM \"Party\";")));
}

BM_TEST_MAIN(TestGuideDesk)
#include "test_guidedesk.moc"
