#include "serverdb.h"
#include "testenv.h"

#include "data/apppaths.h"
#include "data/database.h"
#include "data/query.h"
#include "data/recordsource.h"
#include "data/server.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <memory>

using namespace bm;

// Two desks on one shared database: this one, through the program's record
// source, and another one, a connection of its own that works as any other
// desk's program would, in the server's words. What either saves stays.
class TestTwoDesks : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void savesOfBothDesksStay_data();
    void savesOfBothDesksStay();
    void newRecordsOfBothDesksStay();

private:
    // The other desk runs statements of the server's own; false fails the test.
    bool otherDesk(const QString &sql);
    QString stored(const QString &field);

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
    QVERIFY(database::check(m_uri));
    QVERIFY(db::write(m_uri, QStringLiteral("Booking"),
        QStringLiteral(
            "INSERT INTO Booking (Name, Lake, Telephone) VALUES ('Ann Lee', 'Bull Shoals', '555-0100')"),
        {}));
    QVariant id;
    QVERIFY(db::Query(m_uri).single(QStringLiteral("SELECT MAX(ID) FROM Booking"), {}, id));
    m_id = id.toLongLong();
    m_other = std::make_unique<test::ServerConnection>(m_uri);
    QVERIFY2(m_other->status(), qPrintable(m_other->status().message()));
    // The other desk's open transaction holds its record a short while here.
    QVERIFY(QSqlQuery(database::connection(m_uri)).exec(QStringLiteral("SET lock_timeout = '300ms'")));
}

void TestTwoDesks::cleanup()
{
    m_other.reset();
    database::closeAll();
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

// This desk opens the booking, the other desk does its part, this desk
// saves a new name (and once more, when the first save was refused).
void TestTwoDesks::savesOfBothDesksStay_data()
{
    QTest::addColumn<QStringList>("other"); // before this desk saves
    QTest::addColumn<bool>("firstSaved");
    QTest::addColumn<QStringList>("otherAfter"); // after this desk's first save
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("telephone");

    const QString phone
        = QStringLiteral("UPDATE \"Booking\" SET \"Telephone\" = '555-0199' WHERE \"ID\" = %1");
    const QString name = QStringLiteral("UPDATE \"Booking\" SET \"Name\" = 'Bo Dean' WHERE \"ID\" = %1");
    QTest::newRow("another field saved meanwhile")
        << QStringList { phone } << true << QStringList {} << "Ann Leeds"
        << "555-0199";
    QTest::newRow("the same field saved meanwhile: the later save stays")
        << QStringList { name } << true << QStringList {} << "Ann Leeds"
        << "555-0100";
    QTest::newRow("the record held by the other desk's transaction")
        << QStringList { "BEGIN", phone } << false << QStringList { "COMMIT" } << "Ann Leeds"
        << "555-0199";
    QTest::newRow("the other desk's transaction given up")
        << QStringList { "BEGIN", phone } << false << QStringList { "ROLLBACK" } << "Ann Leeds"
        << "555-0100";
}

void TestTwoDesks::savesOfBothDesksStay()
{
    QFETCH(QStringList, other);
    QFETCH(bool, firstSaved);
    QFETCH(QStringList, otherAfter);
    QFETCH(QString, name);
    QFETCH(QString, telephone);

    RecordSource here(QStringLiteral("Data1"), QStringLiteral("Booking"), nullptr, m_uri);
    QVERIFY(here.openStatus());
    QVERIFY(here.setBookmark(Bookmark { m_id }));
    QVERIFY(here.Edit());
    QVERIFY(here.setValue(QStringLiteral("Name"), name));
    for (const QString &sql : other)
        QVERIFY(otherDesk(sql.contains(QLatin1String("%1")) ? sql.arg(m_id) : sql));

    QElapsedTimer waited;
    waited.start();
    const Status first = here.Update();
    QCOMPARE(bool(first), firstSaved);
    if (!first) {
        // Told, soon, in words that say what to do; the typed name waits.
        QVERIFY2(first.message().contains(QLatin1String("is busy with a save made at another desk")),
            qPrintable(first.message()));
        QVERIFY2(first.message().contains(QLatin1String("try again")), qPrintable(first.message()));
        QVERIFY(waited.elapsed() < database::server::lockWaitMs);
        QCOMPARE(here.value(QStringLiteral("Name")).toString(), name);
    }
    for (const QString &sql : otherAfter)
        QVERIFY(otherDesk(sql));
    if (!first)
        QVERIFY(here.Update()); // tried again, as the message says
    QCOMPARE(stored(QStringLiteral("Name")), name);
    QCOMPARE(stored(QStringLiteral("Telephone")), telephone);
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

BM_TEST_MAIN(TestTwoDesks)
#include "test_twodesks.moc"
