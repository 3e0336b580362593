#include "serverdb.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/engine/server.h"
#include "db/history.h"
#include "db/query.h"
#include "db/recordsource.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <memory>

using namespace bm;

// Two desks on one shared database: this one, through the program's record
// source, and another one, a connection of its own that works as any other
// desk's program would, in the server's words. Neither overwrites what the
// other saved unseen, and each hears what the other saves.
class TestTwoDesks : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void savesOfBothDesksStay_data();
    void savesOfBothDesksStay();
    void newRecordsOfBothDesksStay();
    void deletionsOfBothDesks_data();
    void deletionsOfBothDesks();
    void anotherDesksSaveIsHeard_data();
    void anotherDesksSaveIsHeard();
    void aDeskCatchesUpAfterItsConnectionIsBack();
    void historyTellsWhichDeskAndLogin();

private:
    // The other desk runs statements of the server's own; false fails the test.
    bool otherDesk(const QString &sql);
    QString stored(const QString &field);
    int kept(); // 1 while the booking is there

    QString m_uri;
    std::unique_ptr<test::ServerConnection> m_other;
    qint64 m_id = 0;
};

void TestTwoDesks::init()
{
    BM_REQUIRE_SERVER();
    m_uri = test::freshServerDatabase(QStringLiteral("twodesks"));
    QVERIFY(!m_uri.isEmpty());
    setDatabaseLocation(m_uri);
    QVERIFY(db::check(m_uri));
    QVERIFY(db::write(m_uri, QStringLiteral("Booking"),
        QStringLiteral(
            "INSERT INTO Booking (Name, Lake, Telephone) VALUES ('Ann Lee', 'Bull Shoals', '555-0100')"),
        {}));
    QVariant id;
    QVERIFY(db::Query(m_uri).single(QStringLiteral("SELECT MAX(ID) FROM Booking"), {}, id));
    m_id = id.toLongLong();
    m_other = std::make_unique<test::ServerConnection>(m_uri);
    QVERIFY2(m_other->status(), qPrintable(m_other->status().message()));
    // The other desk's program says which computer it runs on.
    QVERIFY(otherDesk(QStringLiteral("SET application_name = 'Brindlemoor@cabin-2'")));
    // The other desk's open transaction holds its record a short while here.
    QVERIFY(QSqlQuery(db::connection(m_uri)).exec(QStringLiteral("SET lock_timeout = '300ms'")));
}

void TestTwoDesks::cleanup()
{
    m_other.reset();
    db::closeAll();
    setDatabaseLocation(QString());
    if (!m_uri.isEmpty())
        QVERIFY(test::dropServerDatabase(m_uri));
}

bool TestTwoDesks::otherDesk(const QString &sql)
{
    QSqlQuery q(m_other->database());
    if (q.exec(sql))
        return true;
    qWarning("the other desk's statement failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return false;
}

QString TestTwoDesks::stored(const QString &field)
{
    QVariant value;
    if (!db::Query(m_uri).single(
            QStringLiteral("SELECT \"%1\" FROM Booking WHERE ID = ?").arg(field), { m_id }, value))
        return QStringLiteral("<unreadable>");
    return value.toString();
}

// Whether message holds the pieces of words between their * in order.
static bool says(const QString &message, const QString &words)
{
    qsizetype at = 0;
    for (const QString &piece : words.split(QLatin1Char('*'))) {
        at = message.indexOf(piece, at);
        if (at < 0)
            return false;
        at += piece.size();
    }
    return true;
}

int TestTwoDesks::kept()
{
    QVariant n;
    if (!db::Query(m_uri).single(QStringLiteral("SELECT COUNT(*) FROM Booking WHERE ID = ?"), { m_id }, n))
        return -1;
    return n.toInt();
}

// This desk opens the booking, the other desk does its part, this desk
// saves a new name, and again as long as it is refused, as the messages say.
void TestTwoDesks::savesOfBothDesksStay_data()
{
    QTest::addColumn<QStringList>("other"); // before this desk saves
    QTest::addColumn<QStringList>("refusals"); // what each refused save says
    QTest::addColumn<QStringList>("otherAfter"); // after this desk's first save
    QTest::addColumn<QString>("telephone"); // stored at the end
    QTest::addColumn<bool>("stays");

    const QString phone
        = QStringLiteral("UPDATE \"Booking\" SET \"Telephone\" = '555-0199' WHERE \"ID\" = %1");
    const QString name = QStringLiteral("UPDATE \"Booking\" SET \"Name\" = 'Bo Dean' WHERE \"ID\" = %1");
    const QString overtaken = QStringLiteral("was changed at another desk by bm on cabin-2 (");
    const QString busy = QStringLiteral("is busy with a save made at another desk");
    QTest::newRow("nothing saved meanwhile")
        << QStringList {} << QStringList {} << QStringList {} << "555-0100" << true;
    QTest::newRow("another field saved meanwhile: kept when saved again")
        << QStringList { phone } << QStringList { overtaken + "*Saved there: Telephone \"555-0199\"." }
        << QStringList {} << "555-0199" << true;
    QTest::newRow("the same field saved meanwhile: the guide's value when saved again")
        << QStringList { name } << QStringList { overtaken + "*Saved there: Name \"Bo Dean\"." }
        << QStringList {} << "555-0100" << true;
    QTest::newRow("the roster names the other desk's guide")
        << QStringList { "INSERT INTO \"Guides\" (\"Name\", \"Login\") VALUES ('Bo Dean', 'bm')", phone }
        << QStringList { "was changed at another desk by Bo Dean on cabin-2 (" } << QStringList {}
        << "555-0199" << true;
    QTest::newRow("the record held by the other desk's transaction, then saved there")
        << QStringList { "BEGIN", phone } << QStringList { busy, overtaken } << QStringList { "COMMIT" }
        << "555-0199" << true;
    QTest::newRow("the other desk's transaction given up")
        << QStringList { "BEGIN", phone } << QStringList { busy } << QStringList { "ROLLBACK" } << "555-0100"
        << true;
    QTest::newRow("deleted at the other desk")
        << QStringList { "DELETE FROM \"Booking\" WHERE \"ID\" = %1" }
        << QStringList { "was deleted at another desk by bm on cabin-2 (*so it can not be saved",
               "was deleted at another desk" }
        << QStringList {} << QString() << false;
}

void TestTwoDesks::savesOfBothDesksStay()
{
    QFETCH(QStringList, other);
    QFETCH(QStringList, refusals);
    QFETCH(QStringList, otherAfter);
    QFETCH(QString, telephone);
    QFETCH(bool, stays);

    const QString name = QStringLiteral("Ann Leeds");
    RecordSource here(QStringLiteral("Data1"), QStringLiteral("Booking"), nullptr, m_uri);
    QVERIFY(here.openStatus());
    QVERIFY(here.setBookmark(Bookmark { m_id }));
    QVERIFY(here.Edit());
    QVERIFY(here.setValue(QStringLiteral("Name"), name));
    for (const QString &sql : other)
        QVERIFY(otherDesk(sql.contains(QLatin1String("%1")) ? sql.arg(m_id) : sql));

    for (int i = 0; i < refusals.size(); ++i) {
        QElapsedTimer waited;
        waited.start();
        const Status refused = here.Update();
        QVERIFY2(!refused, qPrintable(refusals[i]));
        // Told, soon, in words that say what happened; the typed name waits.
        QVERIFY2(says(refused.message(), refusals[i]), qPrintable(refused.message()));
        QVERIFY(waited.elapsed() < db::server::lockWaitMs);
        QCOMPARE(here.editMode(), RecordSource::EditMode::Edit);
        QCOMPARE(here.value(QStringLiteral("Name")).toString(), name);
        if (i == 0)
            for (const QString &sql : otherAfter)
                QVERIFY(otherDesk(sql));
    }
    if (!stays) {
        QCOMPARE(kept(), 0);
        return;
    }
    QVERIFY(here.Update());
    QCOMPARE(stored(QStringLiteral("Name")), name);
    QCOMPARE(stored(QStringLiteral("Telephone")), telephone);
}

// This desk shows the booking and deletes it after the other desk did its
// part: a record changed meanwhile is not deleted unseen, one deleted there
// is gone as wanted.
void TestTwoDesks::deletionsOfBothDesks_data()
{
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("nothing meanwhile") << QString() << QString();
    QTest::newRow("changed at the other desk")
        << "UPDATE \"Booking\" SET \"Lake\" = 'Table Rock' WHERE \"ID\" = %1"
        << "This record was changed at another desk by bm on cabin-2 (*so it was not deleted. Saved there: "
           "Lake \"Table "
           "Rock\". It now shows as it is saved";
    QTest::newRow("deleted at the other desk too")
        << "DELETE FROM \"Booking\" WHERE \"ID\" = %1" << QString();
}

void TestTwoDesks::deletionsOfBothDesks()
{
    QFETCH(QString, other);
    QFETCH(QString, refusal);

    RecordSource here(QStringLiteral("Data1"), QStringLiteral("Booking"), nullptr, m_uri);
    QVERIFY(here.openStatus());
    QVERIFY(here.setBookmark(Bookmark { m_id }));
    QCOMPARE(here.value(QStringLiteral("Lake")).toString(), QStringLiteral("Bull Shoals")); // shown here
    if (!other.isEmpty())
        QVERIFY(otherDesk(other.arg(m_id)));
    const Status deleted = here.Delete();
    if (!refusal.isEmpty()) {
        QVERIFY(!deleted);
        QVERIFY2(says(deleted.message(), refusal), qPrintable(deleted.message()));
        QCOMPARE(here.value(QStringLiteral("Lake")).toString(), QStringLiteral("Table Rock"));
        QCOMPARE(kept(), 1);
        QVERIFY(here.Delete()); // seen now, and deleted when asked again
    } else {
        QVERIFY2(deleted, qPrintable(deleted.message()));
    }
    QCOMPARE(kept(), 0);
}

// What the other desk saves reaches this desk's change signal soon, as a
// change from elsewhere; each table once per statement or transaction.
void TestTwoDesks::anotherDesksSaveIsHeard_data()
{
    QTest::addColumn<QStringList>("other");
    QTest::addColumn<QStringList>("tables"); // heard, in order

    QTest::newRow("a change") << QStringList { "UPDATE \"Booking\" SET \"Lake\" = 'X' WHERE \"ID\" > 0" }
                              << QStringList { "Booking" };
    QTest::newRow("a new record and a deletion in one transaction") << QStringList { "BEGIN",
        "INSERT INTO \"Phone\" (\"Name\") VALUES ('Cy')", "INSERT INTO \"Phone\" (\"Name\") VALUES ('Di')",
        "DELETE FROM \"Reminder\"", "COMMIT" } << QStringList { "Phone", "Reminder" };
    QTest::newRow("a transaction given up")
        << QStringList { "BEGIN", "DELETE FROM \"Booking\"", "ROLLBACK" } << QStringList {};
}

void TestTwoDesks::anotherDesksSaveIsHeard()
{
    QFETCH(QStringList, other);
    QFETCH(QStringList, tables);

    (void)db::connection(m_uri); // this desk listens from its first use
    QStringList heard;
    bool allFromElsewhere = true;
    const auto listening = connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [&](const QString &path, const QString &table) {
            if (path != m_uri)
                return;
            heard << table;
            allFromElsewhere = allFromElsewhere && DataChanges::instance().fromElsewhere();
        });
    QElapsedTimer waited;
    waited.start();
    for (const QString &sql : other)
        QVERIFY(otherDesk(sql));
    if (tables.isEmpty()) {
        QTest::qWait(500);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(heard.size() >= tables.size(), 2000);
        QVERIFY(waited.elapsed() < 2000);
        QTest::qWait(200); // nothing more comes
    }
    disconnect(listening);
    QCOMPARE(heard, tables);
    QVERIFY(allFromElsewhere);

    // This desk's own save is said once, as its own.
    heard.clear();
    allFromElsewhere = false;
    const auto own = connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [&](const QString &path, const QString &table) {
            if (path == m_uri)
                heard << (DataChanges::instance().fromElsewhere() ? QStringLiteral("elsewhere: ") : QString())
                        + table;
        });
    QVERIFY(db::write(
        m_uri, QStringLiteral("Diary"), QStringLiteral("INSERT INTO Diary (Subject) VALUES ('x')"), {}));
    QTest::qWait(300);
    disconnect(own);
    QCOMPARE(heard, QStringList { QStringLiteral("Diary") });
}

// A desk whose connection the server dropped opens it again once the server
// answers, and reads every table anew for what it missed meanwhile.
void TestTwoDesks::aDeskCatchesUpAfterItsConnectionIsBack()
{
    QVariant pid;
    QVERIFY(db::Query(m_uri).single(QStringLiteral("SELECT pg_backend_pid()"), {}, pid));
    QStringList heard;
    const auto listening = connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [&](const QString &path, const QString &table) {
            if (path == m_uri && DataChanges::instance().fromElsewhere())
                heard << table;
        });
    QVERIFY(otherDesk(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid.toLongLong())));
    QVERIFY(otherDesk(QStringLiteral("UPDATE \"Diary\" SET \"Subject\" = 'missed'")));
    QTRY_VERIFY_WITH_TIMEOUT(heard.contains(QStringLiteral("Diary")), 8000);
    disconnect(listening);
    for (const TableDef &t : schema::tables())
        QVERIFY2(heard.contains(t.name), qPrintable(t.name));
    QVariant now;
    QVERIFY(db::Query(m_uri).single(QStringLiteral("SELECT pg_backend_pid()"), {}, now));
    QVERIFY(now != pid);
    // And it hears the other desk again.
    heard.clear();
    const auto again = connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [&](const QString &path, const QString &table) {
            if (path == m_uri && DataChanges::instance().fromElsewhere())
                heard << table;
        });
    QVERIFY(otherDesk(QStringLiteral("UPDATE \"Booking\" SET \"Lake\" = 'Y'")));
    QTRY_VERIFY_WITH_TIMEOUT(heard.contains(QStringLiteral("Booking")), 2000);
    disconnect(again);
}

// New records from both desks at once: none is lost and no key is used twice.
void TestTwoDesks::newRecordsOfBothDesksStay()
{
    QVariant before;
    QVERIFY(db::Query(m_uri).single(QStringLiteral("SELECT COUNT(*) FROM Booking"), {}, before));
    RecordSource here(QStringLiteral("Data1"), QStringLiteral("Booking"), nullptr, m_uri);
    QVERIFY(here.openStatus());
    QVERIFY(otherDesk(QStringLiteral("BEGIN")));
    QVERIFY(otherDesk(QStringLiteral("INSERT INTO \"Booking\" (\"Name\") SELECT 'Other ' || i FROM "
                                     "generate_series(1, 50) AS i")));
    for (int i = 0; i < 5; ++i) {
        QVERIFY(here.AddNew());
        QVERIFY(here.setValue(QStringLiteral("Name"), QStringLiteral("Here %1").arg(i)));
        QVERIFY(here.Update()); // new records wait for no one
    }
    QVERIFY(otherDesk(QStringLiteral("COMMIT")));
    QVariant counted, keys;
    QVERIFY(db::Query(m_uri).single(QStringLiteral("SELECT COUNT(*) FROM Booking"), {}, counted));
    QVERIFY(db::Query(m_uri).single(QStringLiteral("SELECT COUNT(DISTINCT ID) FROM Booking"), {}, keys));
    QCOMPARE(counted.toInt(), before.toInt() + 50 + 5);
    QCOMPARE(keys.toInt(), counted.toInt());
    QVariant mine;
    QVERIFY(db::Query(m_uri).single(
        QStringLiteral("SELECT COUNT(*) FROM Booking WHERE Name LIKE 'Here %'"), {}, mine));
    QCOMPARE(mine.toInt(), 5);
}

// Each desk's change is recorded with its own login and desk, also a
// login that may not write the history itself: the server records it with
// its own rights.
void TestTwoDesks::historyTellsWhichDeskAndLogin()
{
    const QString guide = QStringLiteral("bm_history_guide");
    QSqlQuery(m_other->database()).exec(QStringLiteral("CREATE ROLE %1").arg(guide)); // may be there already
    QVERIFY(otherDesk(
        QStringLiteral("GRANT SELECT, UPDATE ON \"Booking\", \"Change Stamp\", \"Desk Changes\" TO %1; "
                       "GRANT INSERT ON \"Change Stamp\", \"Desk Changes\" TO %1; "
                       "REVOKE ALL ON \"History\", \"Bin\" FROM %1")
            .arg(guide)));
    QVERIFY(db::write(m_uri, QStringLiteral("Booking"),
        QStringLiteral("UPDATE Booking SET Lake = ? WHERE ID = ?"), { QStringLiteral("Norfork"), m_id }));
    QVERIFY(otherDesk(QStringLiteral("SET SESSION AUTHORIZATION %1").arg(guide)));
    QVERIFY(otherDesk(
        QStringLiteral("UPDATE \"Booking\" SET \"Telephone\" = '555-0199' WHERE \"ID\" = %1").arg(m_id)));
    QVERIFY(otherDesk(QStringLiteral("RESET SESSION AUTHORIZATION")));

    QList<db::history::Event> events;
    QVERIFY(db::history::read(m_uri, QStringLiteral("Booking"), m_id, events));
    QCOMPARE(events.size(), 3);
    QCOMPARE(events[0].field, QString("Telephone"));
    QCOMPARE(events[0].before, QString("555-0100"));
    QCOMPARE(events[0].after, QString("555-0199"));
    QCOMPARE(events[0].login, guide);
    QCOMPARE(events[0].desk, QString("cabin-2"));
    QCOMPARE(events[1].field, QString("Lake"));
    QVariant login;
    QVERIFY(db::Query(m_uri).single(QStringLiteral("SELECT session_user"), {}, login));
    QCOMPARE(events[1].login, login.toString());
    QVERIFY(!events[1].desk.isEmpty() && events[1].desk != events[0].desk);
    QCOMPARE(events[2].action, QString("added"));
}

BM_TEST_MAIN(TestTwoDesks)
#include "test_twodesks.moc"
