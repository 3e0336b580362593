#include "rawfile.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/dbfiles.h"
#include "db/engine/migrations.h"
#include "db/engine/schemacheck.h"
#include "db/query.h"
#include "schema/schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

using namespace bm;
using bm::test::fileHash;

namespace
{

// The rows of one query, one line each.
QStringList rows(const QString &path, const QString &sql)
{
    QStringList lines;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                QStringList values;
                for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                    const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                    values << (t ? QString::fromUtf8(t) : QStringLiteral("<null>"));
                }
                lines << values.join(QLatin1Char('|'));
            }
        sqlite3_finalize(stmt);
    }
    sqlite3_close_v2(db);
    return lines;
}

// Every record of every table, in order.
QStringList allRecords(const QString &path)
{
    QStringList all;
    for (const TableDef &t : schema::tables())
        if (t.since == 1)
            all << t.name
                << rows(path, QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(schema::quoted(t.name)));
    return all;
}

QStringList indexNames(const QString &path)
{
    return rows(path, QStringLiteral("SELECT name FROM sqlite_schema WHERE type = 'index' ORDER BY name"));
}

QStringList programIndexes()
{
    QStringList names;
    for (const schema::IndexDef &i : schema::indexes())
        names << i.name;
    names << QLatin1String(schema::historyIndex);
    names.sort();
    return names;
}

// A copy of the delivered file as the program delivered it before the
// version mark: the seventeen tables and their records, nothing more. A
// guide's own records are added, so that keeping them shows.
void makeLayoutOne(const QString &path, const QString &contact)
{
    QFile::remove(path);
    QVERIFY(QFile::copy(QStringLiteral(":/delivered/tallow.mdb"), path));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QString sql;
    for (const schema::TriggerDef &t : schema::ownTriggers(migrations::currentVersion))
        sql += QStringLiteral("DROP TRIGGER %1;").arg(schema::quoted(t.name));
    sql += QStringLiteral("DROP TABLE History; DROP TABLE Bin; DROP TABLE %1; DROP TABLE \"Schema Version\";")
               .arg(schema::quoted(QLatin1String(schema::stampTable)));
    for (const TableDef &t : schema::tables())
        if (t.since > 1)
            sql += QStringLiteral("DROP TABLE %1;").arg(schema::quoted(t.name));
    for (const schema::IndexDef &i : schema::indexes())
        sql += QStringLiteral("DROP INDEX IF EXISTS %1;").arg(schema::quoted(i.name));
    // The later layouts' fields stay in the table (a column can not go while
    // the file keeps them); the booking is Confirmed as the migration would
    // make it, so that the records compare whole.
    sql += QStringLiteral(
        "INSERT INTO Phone (Name) VALUES ('%1');"
        "INSERT INTO Booking (Name, \"Total Charge\", Status) VALUES ('%1', 1250000, 'Confirmed');")
               .arg(contact);
    QVERIFY(test::execOnFile(path, sql));
    QVERIFY(indexNames(path).isEmpty());
}

// A step of the program's list, with a failure after it has done its work.
migrations::Step failingAfter(const migrations::Step &step, const QString &reason)
{
    return { step.version, [step, reason](sqlite3 *db) {
                const QString done = step.apply(db);
                return done.isEmpty() ? reason : done;
            } };
}

} // namespace

class TestMigrations : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }

    void deliveredFileHasTheCurrentLayout();
    void layoutOneIsBroughtUpToDateAtStart();
    void layoutOneBackupIsBroughtUpToDateByRestore();
    void failedMigrationLeavesTheFileAsItWas_data();
    void failedMigrationLeavesTheFileAsItWas();
    void laterLayoutAddsAFieldAndIsRefusedByThisVersion();
    void layoutSixBookingsBecomeConfirmed();
    void layoutNineRecordsHistoryFromNowOn();
};

void TestMigrations::deliveredFileHasTheCurrentLayout()
{
    const QString path = databasePath();
    QCOMPARE(rows(path, QStringLiteral("SELECT Version, typeof(Version) FROM \"Schema Version\"")),
        QStringList { QStringLiteral("%1|integer").arg(migrations::currentVersion) });
    QCOMPARE(indexNames(path), programIndexes());
    const schemacheck::Finding found = schemacheck::inspect(path);
    QVERIFY2(found.status, qPrintable(found.status.message()));
    QCOMPARE(found.version, migrations::currentVersion);
    // The index covers the field the windows sort by.
    QCOMPARE(rows(path, QStringLiteral("SELECT name FROM pragma_index_info('Booking by Date')")),
        QStringList { "Date" });
}

void TestMigrations::layoutOneIsBroughtUpToDateAtStart()
{
    db::closeAll();
    const QString path = databasePath();
    makeLayoutOne(path, QStringLiteral("Ann Angler"));
    const QStringList before = allRecords(path);
    QCOMPARE(schemacheck::inspect(path).version, 1);

    const Status s = db::prepare();
    QVERIFY2(s, qPrintable(s.message()));
    db::closeAll();
    QCOMPARE(rows(path, QStringLiteral("SELECT Version FROM \"Schema Version\"")),
        QStringList { QString::number(migrations::currentVersion) });
    QCOMPARE(indexNames(path), programIndexes());
    QCOMPARE(allRecords(path), before);
    // A second start finds nothing to do and changes nothing.
    const QByteArray migrated = fileHash(path);
    QVERIFY(db::prepare());
    db::closeAll();
    QCOMPARE(fileHash(path), migrated);
}

void TestMigrations::layoutOneBackupIsBroughtUpToDateByRestore()
{
    QTemporaryDir away;
    const QString backup = away.filePath(QStringLiteral("tallow.mdb"));
    makeLayoutOne(backup, QStringLiteral("Backup Angler"));
    const QStringList before = allRecords(backup);
    const QByteArray backupBytes = fileHash(backup);

    const Status s = dbfiles::restore(away.path(), databasePath());
    QVERIFY2(s, qPrintable(s.message()));
    db::closeAll();
    const QString path = databasePath();
    QCOMPARE(rows(path, QStringLiteral("SELECT Version FROM \"Schema Version\"")),
        QStringList { QString::number(migrations::currentVersion) });
    QCOMPARE(indexNames(path), programIndexes());
    QCOMPARE(allRecords(path), before);
    // The backup itself stays as the guide saved it: only its copy changed.
    QCOMPARE(fileHash(backup), backupBytes);
    QCOMPARE(QDir(away.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "tallow.mdb" });
}

void TestMigrations::failedMigrationLeavesTheFileAsItWas_data()
{
    QTest::addColumn<QList<migrations::Step>>("steps");
    QTest::addColumn<QString>("words");
    const QList<migrations::Step> &program = migrations::steps();
    QTest::newRow("the mark written, then a failure") << QList<migrations::Step> { program[0],
        failingAfter(program[1], "the disk is full") } << "the disk is full";
    QTest::newRow("a later step that fails after the mark and indexes") << QList<migrations::Step> {
        program[0], program[1],
        { 3,
            [](sqlite3 *db) {
                sqlite3_exec(db, "ALTER TABLE Phone ADD COLUMN Nickname TEXT", nullptr, nullptr, nullptr);
                return QStringLiteral("the power went");
            } }
    } << "layout 3: the power went";
    QTest::newRow("the stamps made, then a failure")
        << QList<migrations::Step> { program[0], program[1], failingAfter(program[2], "the disk is full") }
        << "layout 3: the disk is full";
    QTest::newRow("the history made, then a failure")
        << QList<migrations::Step>(program.begin(), program.begin() + schema::historySince - 1)
            + QList<migrations::Step> { failingAfter(program[schema::historySince - 1], "the disk is full") }
        << QStringLiteral("layout %1: the disk is full").arg(schema::historySince);
    QTest::newRow("a statement the engine refuses") << QList<migrations::Step> { program[0], program[1],
        { 3, [](sqlite3 *db) {
             char *e = nullptr;
             sqlite3_exec(db, "ALTER TABLE Nowhere ADD COLUMN x TEXT", nullptr, nullptr, &e);
             const QString reason = QString::fromUtf8(e ? e : "");
             sqlite3_free(e);
             return reason;
         } } } << "no such table: Nowhere";
}

void TestMigrations::failedMigrationLeavesTheFileAsItWas()
{
    QFETCH(QList<migrations::Step>, steps);
    QFETCH(QString, words);
    db::closeAll();
    const QString path = databasePath();
    makeLayoutOne(path, QStringLiteral("Ann Angler"));
    const QByteArray before = fileHash(path);
    const QStringList filesBefore = QDir(appFolder()).entryList(QDir::Files | QDir::Hidden);

    QString reason;
    sqlite3 *db = schemacheck::openGuarded(path, schemacheck::Access::Write, &reason);
    QVERIFY2(db, qPrintable(reason));
    const Status s = migrations::upgrade(db, path, steps);
    sqlite3_close_v2(db);
    QVERIFY(!s);
    QVERIFY2(s.message().contains(QDir::toNativeSeparators(path)), qPrintable(s.message()));
    QVERIFY2(s.message().contains(words), qPrintable(s.message()));
    QVERIFY2(s.message().contains("It was left as it is."), qPrintable(s.message()));
    QCOMPARE(fileHash(path), before);
    QCOMPARE(QDir(appFolder()).entryList(QDir::Files | QDir::Hidden), filesBefore);
    // Still of layout 1, and the program's own migration goes through.
    QCOMPARE(schemacheck::inspect(path).version, 1);
    QVERIFY(migrations::upgradeFile(path));
    QCOMPARE(schemacheck::inspect(path).version, migrations::currentVersion);
}

// A file of layout 6: its bookings have no Status and there is no booking
// page. Brought up to date, every booking is Confirmed, and none is stamped
// as changed (a calendar would send them all again).
void TestMigrations::layoutSixBookingsBecomeConfirmed()
{
    db::closeAll();
    const QString path = databasePath();
    QString sql = QStringLiteral("DROP TABLE History; DROP TABLE Bin;");
    for (const schema::TriggerDef &t : schema::ownTriggers(migrations::currentVersion))
        sql += QStringLiteral("DROP TRIGGER %1;").arg(schema::quoted(t.name));
    for (const schema::IndexDef &i : schema::indexes())
        if (i.since >= 7)
            sql += QStringLiteral("DROP INDEX IF EXISTS %1;").arg(schema::quoted(i.name));
    for (const TableDef &t : schema::tables()) {
        if (t.since >= 7) {
            sql += QStringLiteral("DROP TABLE %1;").arg(schema::quoted(t.name));
            continue;
        }
        for (const FieldDef &f : t.fields)
            if (f.since >= 7)
                sql += QStringLiteral("ALTER TABLE %1 DROP COLUMN %2;")
                           .arg(schema::quoted(t.name), schema::quoted(f.name));
    }
    for (const schema::TriggerDef &t : schema::stampTriggers(6))
        sql += t.sql + QLatin1Char(';');
    sql += QStringLiteral("UPDATE \"Schema Version\" SET Version = 6;"
                          "INSERT INTO Booking (Name, Date) VALUES ('Ann Angler', '2027-05-01');");
    QVERIFY(test::execOnFile(path, sql));
    QCOMPARE(schemacheck::inspect(path).version, 6);
    const QStringList stamps = rows(
        path, QStringLiteral("SELECT Kind, Record, Sequence, Modified FROM \"Change Stamp\" ORDER BY 1, 2"));
    QCOMPARE(rows(path, QStringLiteral("SELECT count(*) FROM Booking")), QStringList { "2" });

    QVERIFY(db::prepare());
    db::closeAll();
    QCOMPARE(schemacheck::inspect(path).version, migrations::currentVersion);
    QCOMPARE(rows(path, QStringLiteral("SELECT Status, count(*) FROM Booking GROUP BY Status")),
        QStringList { "Confirmed|2" });
    QCOMPARE(
        rows(path,
            QStringLiteral("SELECT Kind, Record, Sequence, Modified FROM \"Change Stamp\" ORDER BY 1, 2")),
        stamps);
    QCOMPARE(indexNames(path), programIndexes());
}

// A file of the layout before the history: brought up to date, what was
// there has no history and the bin is empty; what happens from then on is
// recorded.
void TestMigrations::layoutNineRecordsHistoryFromNowOn()
{
    db::closeAll();
    const QString path = databasePath();
    QString sql = QStringLiteral("DROP TABLE History; DROP TABLE Bin;");
    for (const schema::TriggerDef &t : schema::ownTriggers(migrations::currentVersion))
        sql += QStringLiteral("DROP TRIGGER %1;").arg(schema::quoted(t.name));
    sql += QStringLiteral(
        "DROP TABLE \"Busy Times\"; DROP TABLE Party; DROP TABLE Catch; DROP TABLE \"Site Codes\";"
        "ALTER TABLE Booking DROP COLUMN Days; ALTER TABLE \"Guide Info\" DROP COLUMN \"License No\";"
        "ALTER TABLE Guides DROP COLUMN \"License No\";");
    for (const schema::TriggerDef &t : schema::stampTriggers(schema::historySince - 1))
        sql += t.sql + QLatin1Char(';');
    sql += QStringLiteral("UPDATE \"Schema Version\" SET Version = %1;"
                          "INSERT INTO Booking (Name, Date) VALUES ('Ann Angler', '2027-05-01');")
               .arg(schema::historySince - 1);
    QVERIFY(test::execOnFile(path, sql));
    QCOMPARE(schemacheck::inspect(path).version, schema::historySince - 1);

    QVERIFY(db::prepare());
    QVERIFY(db::write(path, QStringLiteral("Booking"),
        QStringLiteral("UPDATE Booking SET Lake = 'Norfork' WHERE Name = 'Ann Angler'"), {}));
    QVERIFY(db::write(path, QStringLiteral("Phone"), QStringLiteral("DELETE FROM Phone"), {}));
    db::closeAll();
    QCOMPARE(schemacheck::inspect(path).version, migrations::currentVersion);
    QCOMPARE(rows(path, QStringLiteral("SELECT Kind, Action, Field, Old, New FROM History ORDER BY ID")),
        QStringList({ "Booking|changed|Lake|<null>|Norfork", "Phone|deleted|<null>|<null>|<null>" }));
    QCOMPARE(rows(path, QStringLiteral("SELECT Kind, Login FROM Bin")), QStringList { "Phone|" });
}

// A later layout adds a field by a step of its own; the file then carries
// that layout's mark, and this version of the program refuses it rather than
// work on a file it does not know.
void TestMigrations::laterLayoutAddsAFieldAndIsRefusedByThisVersion()
{
    db::closeAll();
    const QString path = databasePath();
    makeLayoutOne(path, QStringLiteral("Ann Angler"));
    const int next = migrations::currentVersion + 1;
    QList<migrations::Step> later = migrations::steps();
    later.append({ next, [](sqlite3 *db) {
                      return sqlite3_exec(
                                 db, "ALTER TABLE Phone ADD COLUMN Nickname TEXT", nullptr, nullptr, nullptr)
                              == SQLITE_OK
                          ? QString()
                          : QString::fromUtf8(sqlite3_errmsg(db));
                  } });
    QString reason;
    sqlite3 *db = schemacheck::openGuarded(path, schemacheck::Access::Write, &reason);
    QVERIFY2(db, qPrintable(reason));
    const Status s = migrations::upgrade(db, path, later);
    QVERIFY2(s, qPrintable(s.message()));
    const schemacheck::Finding asLater = schemacheck::inspect(db, path, next, true);
    sqlite3_close_v2(db);
    QVERIFY2(asLater.status, qPrintable(asLater.status.message()));
    QCOMPARE(asLater.version, next);
    QCOMPARE(rows(path, QStringLiteral("SELECT Version FROM \"Schema Version\"")),
        QStringList { QString::number(next) });
    QCOMPARE(
        rows(path, QStringLiteral("SELECT count(*) FROM pragma_table_info('Phone') WHERE name = 'Nickname'")),
        QStringList { "1" });

    const QByteArray before = fileHash(path);
    const Status start = db::prepare();
    QVERIFY(!start);
    QVERIFY2(
        start.message().contains("was made by a newer version of Brindlemoor"), qPrintable(start.message()));
    db::closeAll();
    QCOMPARE(fileHash(path), before);
}

BM_TEST_MAIN(TestMigrations)
#include "test_migrations.moc"
