// Database files that hold code of their own, tables without their record
// key or a layout the program does not know, taken in each way the program
// takes a file in: laid in before start, restored from a backup, or made by
// a repair. Each is refused with a message that names the file and what is
// wrong, and nothing of the guide's is changed.
#include "dbfixture.h"
#include "rawfile.h"

#include "db/dbfiles.h"
#include "db/engine/migrations.h"

#include <QTemporaryDir>

#include <sqlite3.h>

using namespace bm;
using bm::test::fileHash;

namespace
{

enum class Route { Start, Restore, Repair };

// The delivered file at path, changed by statements through a plain
// connection, as another tool would change it.
bool makeFile(const QString &path, const QString &sql)
{
    db::close(path);
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(":/delivered/tallow.mdb"), path)
        || !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    return test::execOnFile(path, sql);
}

int count(const QString &path, const QString &table)
{
    QSqlQuery q(db::connection(path));
    const int n = q.exec(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)) && q.next()
        ? q.value(0).toInt()
        : -1;
    q = QSqlQuery();
    db::close(path);
    return n;
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }
    void refused_data();
    void refused();
    void allowed_data();
    void allowed();
    void refusedRestoreKeepsTheBookings();
};

// The text with {current} and {next} as this program's layout and the one
// after it.
static QString layouts(QString text)
{
    return text.replace(QStringLiteral("{current}"), QString::number(migrations::currentVersion))
        .replace(QStringLiteral("{next}"), QString::number(migrations::currentVersion + 1));
}

void TestHostileFiles::refused_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("words");

    const struct {
        const char *name;
        const char *sql;
        const char *words;
    } files[] = {
        { "trigger that empties the bookings",
            "CREATE TRIGGER wipe AFTER INSERT ON Phone BEGIN DELETE FROM Booking; END",
            "holds a trigger named wipe, which Brindlemoor does not use. It was left as it is." },
        { "view in place of Phone with an INSTEAD OF trigger",
            "DROP TRIGGER \"Phone history on insert\"; DROP TRIGGER \"Phone history on update\";"
            "DROP TRIGGER \"Phone history on delete\";"
            "ALTER TABLE Phone RENAME TO \"Phone rows\";"
            "CREATE VIEW Phone AS SELECT * FROM \"Phone rows\";"
            "CREATE TRIGGER phone_add INSTEAD OF INSERT ON Phone BEGIN DELETE FROM Booking; END",
            "holds a view named Phone, which Brindlemoor does not use" },
        { "FTS3 virtual table", "CREATE VIRTUAL TABLE notes USING fts3(body)",
            "holds a virtual table named notes, which Brindlemoor does not use" },
        { "FTS5 virtual table", "CREATE VIRTUAL TABLE notes USING fts5(body)",
            "holds a virtual table named notes, which Brindlemoor does not use" },
        { "FTS5 shadow tables without their virtual table",
            "CREATE VIRTUAL TABLE notes USING fts5(body);"
            "PRAGMA writable_schema = ON; DELETE FROM sqlite_schema WHERE name = 'notes';",
            "holds a table named notes_data, which Brindlemoor does not use" },
        { "table without its primary key holding one ID three times",
            "DROP TABLE Reminder; CREATE TABLE Reminder (ID INTEGER, \"Date\" DATE, \"Reminder\" TEXT);"
            "INSERT INTO Reminder VALUES (1, '2026-05-01', 'a'), (1, '2026-05-02', 'b'), (1, '2026-05-03', "
            "'c');"
            "CREATE INDEX \"Reminder by Date\" ON Reminder (\"Date\")",
            "holds the table Reminder without a record key of its own (its field ID is not its primary "
            "key)" },
        { "WITHOUT ROWID table",
            "DROP TABLE Diary; CREATE TABLE Diary (ID INTEGER PRIMARY KEY, \"Date\" DATE, Subject TEXT, Page "
            "TEXT) "
            "WITHOUT ROWID",
            "holds the table Diary without a record key of its own (it is stored WITHOUT ROWID)" },
        { "composite key",
            "DROP TABLE Lures; CREATE TABLE Lures (ID INTEGER, Bait TEXT, PRIMARY KEY (ID, Bait))",
            "holds the table Lures without a record key of its own (its primary key is made of several "
            "fields)" },
        { "descending key kept in an index",
            "DROP TABLE Lures; CREATE TABLE Lures (ID INTEGER PRIMARY KEY DESC, Bait TEXT)",
            "holds the table Lures without a record key of its own (its field ID is not the record's own "
            "identity)" },
        { "key not declared INTEGER", "DROP TABLE Lures; CREATE TABLE Lures (ID TEXT PRIMARY KEY, Bait TEXT)",
            "holds the table Lures without a record key of its own (its field ID is not declared INTEGER)" },
        { "unknown extra table", "CREATE TABLE recipes (name TEXT)",
            "holds a table named recipes, which Brindlemoor does not use" },
        { "computed field", "ALTER TABLE Phone ADD COLUMN Shout TEXT GENERATED ALWAYS AS (upper(Name))",
            "holds a computed field Shout in the table Phone, which Brindlemoor does not use" },
        { "default value of a program field",
            "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, '\"Email\" TEXT', "
            "'\"Email\" TEXT DEFAULT (''billing@attacker.example'')') WHERE name = 'Phone'",
            "holds a default value for the field Email in the table Phone, which Brindlemoor does not use" },
        { "default value of a guide's own field", "ALTER TABLE Booking ADD COLUMN Tip CURRENCY DEFAULT 20",
            "holds a default value for the field Tip in the table Booking" },
        { "collation of a program field",
            "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, '\"Lake\" TEXT', "
            "'\"Lake\" TEXT COLLATE NOCASE') WHERE name = 'Booking'",
            "holds a collation of its own for the field Lake in the table Booking" },
        { "check of the table",
            "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, '\"Remarks\" TEXT)', "
            "'\"Remarks\" TEXT, CHECK (length(\"Name\") < 3))') WHERE name = 'Phone'",
            "holds a rule of its own in the table Phone (CHECK ( LENGTH ( Name ) < 3 ))" },
        { "reference that deletes with another table",
            "ALTER TABLE Reminder ADD COLUMN Owner INTEGER REFERENCES Phone(ID) ON DELETE CASCADE",
            "holds a rule of its own (REFERENCES PHONE ( ID ) ON DELETE CASCADE) on the field Owner in the "
            "table Reminder" },
        { "field declared with another type",
            "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, '\"Total Charge\" "
            "CURRENCY', '\"Total Charge\" TEXT') WHERE name = 'Booking'",
            "holds the field Total Charge in the table Booking declared TEXT where Brindlemoor declares "
            "CURRENCY" },
        { "STRICT table", "DROP TABLE Lures; CREATE TABLE Lures (ID INTEGER PRIMARY KEY, Bait TEXT) STRICT",
            "holds the table Lures declared STRICT" },
        { "index on an expression", "CREATE INDEX odd ON Phone (lower(Name))",
            "holds an index named odd on a computed expression, which Brindlemoor does not use" },
        { "index that forbids equal names", "CREATE UNIQUE INDEX one_name ON Phone (Name)",
            "holds an index named one_name that allows no two records of the table Phone alike" },
        { "the outbox's own unique index, on another field",
            "DROP INDEX \"Outbox by Plan Key\"; CREATE UNIQUE INDEX \"Outbox by Plan Key\" ON Outbox (Kind)",
            "the index Outbox by Plan Key on the field Plan Key of the table Outbox is missing" },
        { "the outbox's plan keys allowed twice",
            "DROP INDEX \"Outbox by Plan Key\"; CREATE INDEX \"Outbox by Plan Key\" ON Outbox (\"Plan Key\")",
            "the index Outbox by Plan Key on the field Plan Key of the table Outbox is missing" },
        { "index with a condition", "CREATE INDEX some ON Phone (Name) WHERE Name > 'M'",
            "holds an index named some on part of the table Phone only" },
        { "newer version mark", "UPDATE \"Schema Version\" SET Version = {next}",
            "was made by a newer version of Brindlemoor (its layout is {next}, this version knows layouts up "
            "to {current})" },
        { "a later layout in a file marked with an older one", "UPDATE \"Schema Version\" SET Version = 3",
            "holds a trigger named Booking stamp on update, which Brindlemoor does not use" },
        { "table of a later layout in a file of an older one",
            "UPDATE \"Schema Version\" SET Version = 5; DROP TRIGGER \"Booking stamp on update\"; "
            "DROP TRIGGER \"Booking history on insert\"; DROP TRIGGER \"Booking history on update\";"
            "DROP TRIGGER \"Booking history on delete\"; DROP TRIGGER \"Phone history on insert\";"
            "DROP TRIGGER \"Phone history on update\"; DROP TRIGGER \"Phone history on delete\";"
            "ALTER TABLE Booking DROP COLUMN Guide",
            "holds a table named Guides, which Brindlemoor does not use" },
        { "a trigger of its own on the history",
            "CREATE TRIGGER \"History forgets\" AFTER INSERT ON History BEGIN DELETE FROM History; END",
            "holds a trigger named History forgets, which Brindlemoor does not use" },
        { "the bin's trigger written otherwise",
            "DROP TRIGGER \"Booking history on delete\"; CREATE TRIGGER \"Booking history on delete\" "
            "AFTER DELETE ON Booking BEGIN SELECT 1; END",
            "holds a trigger named Booking history on delete, which Brindlemoor does not use" },
        { "the bin with a default of its own",
            "DROP TABLE Bin; CREATE TABLE Bin (ID INTEGER PRIMARY KEY AUTOINCREMENT, Kind TEXT NOT NULL, "
            "Record INTEGER NOT NULL, Deleted TEXT NOT NULL, Login TEXT DEFAULT 'x', Summary TEXT, Row TEXT "
            "NOT "
            "NULL)",
            "holds a table named Bin that is not as Brindlemoor makes it" },
        { "the history without its index", "DROP INDEX \"History by Record\"",
            "is not a complete Brindlemoor database: the index History by Record of the table History is "
            "missing." },
        { "mark of two rows", "INSERT INTO \"Schema Version\" (Version) VALUES (2)",
            "holds a version mark that can not be read (it holds 2 versions instead of one)" },
        { "mark that is no number", "UPDATE \"Schema Version\" SET Version = 'two'",
            "holds a version mark that can not be read (its version is not a whole number)" },
        { "empty mark", "DELETE FROM \"Schema Version\"",
            "holds a version mark that can not be read (it holds no version)" },
        { "mark of layout 2 with a table missing a field", "ALTER TABLE Equipment DROP COLUMN Remarks",
            "is not a complete Brindlemoor database: the field Remarks of the table Equipment is missing." },
        { "mark of layout 2 without its indexes", "DROP INDEX \"Booking by Lake\"",
            "is not a complete Brindlemoor database: the index Booking by Lake on the field Lake of the "
            "table "
            "Booking is missing." },
    };
    const struct {
        const char *name;
        Route route;
    } routes[] = { { "start", Route::Start }, { "restore", Route::Restore }, { "repair", Route::Repair } };
    for (const auto &f : files)
        for (const auto &r : routes)
            QTest::addRow("%s / %s", f.name, r.name)
                << r.route << layouts(QString::fromUtf8(f.sql)) << layouts(QString::fromUtf8(f.words));
}

void TestHostileFiles::refused()
{
    QFETCH(Route, route);
    QFETCH(QString, sql);
    QFETCH(QString, words);
    db::closeAll();
    const QString db = databasePath();
    QTemporaryDir away;
    const QString backup = away.filePath(QStringLiteral("tallow.mdb"));
    // The file the route takes in, and the file whose name the message gives.
    const QString hostile = route == Route::Restore ? backup : db;
    QVERIFY(makeFile(hostile, sql));
    const QByteArray before = fileHash(db);
    const QByteArray hostileBefore = fileHash(hostile);
    const QStringList dataFiles = test::filesIn(appFolder());

    Status s;
    switch (route) {
    case Route::Start:
        s = db::prepare();
        break;
    case Route::Restore:
        s = dbfiles::restore(away.path(), db);
        break;
    case Route::Repair:
        s = dbfiles::repair(db);
        break;
    }
    db::closeAll();
    QVERIFY(!s);
    QVERIFY2(s.message().startsWith(
                 QStringLiteral("The database file %1 ").arg(QDir::toNativeSeparators(hostile))),
        qPrintable(s.message()));
    QVERIFY2(s.message().contains(words), qPrintable(s.message()));
    QCOMPARE(fileHash(db), before);
    QCOMPARE(fileHash(hostile), hostileBefore);
    QCOMPARE(test::filesIn(appFolder()), dataFiles);
}

// What the program does not use but that runs nothing and keeps every
// record apart stays: fields of a guide's own, a plain index on a field, the
// engine's statistics, and a file of the first layout, which is brought up
// to date.
void TestHostileFiles::allowed_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("kept");
    const struct {
        const char *name;
        const char *sql;
        const char *kept; // an object of sqlite_schema that must still be there
    } files[] = {
        { "extra field", "ALTER TABLE Phone ADD COLUMN Nickname TEXT", "Phone" },
        { "plain index of a guide's tool", "CREATE INDEX \"Phone by City\" ON Phone (City)",
            "Phone by City" },
        { "statistics of the engine", "ANALYZE", "sqlite_stat1" },
        { "key not marked AUTOINCREMENT",
            "DROP TABLE Lures; CREATE TABLE Lures (ID integer PRIMARY KEY, Bait TEXT)", "Lures" },
        { "key named apart, lower case, comments",
            "DROP TABLE Lures; CREATE TABLE Lures (ID integer, -- the key, DEFAULT 1\n"
            "Bait text /* COLLATE NOCASE */, PRIMARY KEY (\"ID\"))",
            "Lures" },
        { "first layout, without the mark",
            "DROP TRIGGER \"Booking history on insert\"; DROP TRIGGER \"Booking history on update\";"
            "DROP TRIGGER \"Booking history on delete\"; DROP TRIGGER \"Phone history on insert\";"
            "DROP TRIGGER \"Phone history on update\"; DROP TRIGGER \"Phone history on delete\";"
            "DROP TABLE \"Schema Version\"; DROP INDEX \"Booking by Date\"; DROP INDEX \"Booking by Lake\";"
            "DROP INDEX \"Booking by Name\"; DROP INDEX \"Phone by Name\"; DROP INDEX \"Reminder by Date\";"
            "DROP INDEX \"Diary by Date\";"
            "DROP TRIGGER \"Booking stamp on insert\"; DROP TRIGGER \"Booking stamp on update\";"
            "DROP TRIGGER \"Booking stamp on delete\"; DROP TRIGGER \"Reminder stamp on insert\";"
            "DROP TRIGGER \"Reminder stamp on update\"; DROP TRIGGER \"Reminder stamp on delete\";"
            "DROP TABLE \"Busy Times\";"
            "DROP TABLE Party; DROP TABLE Catch; DROP TABLE \"Site Codes\"; ALTER TABLE Booking DROP COLUMN "
            "Days;"
            "ALTER TABLE \"Guide Info\" DROP COLUMN \"License No\";"
            "DROP TABLE \"Change Stamp\"; DROP TABLE \"Home Water\"; DROP TABLE Guides; "
            "ALTER TABLE Booking DROP COLUMN Guide; DROP INDEX \"Booking by Status\"; DROP TABLE \"Booking "
            "Page\";"
            "DROP TABLE \"Page Trips\"; DROP TABLE \"Days Off\"; DROP TABLE \"Page Requests\";"
            "ALTER TABLE Booking DROP COLUMN Status; ALTER TABLE Booking DROP COLUMN \"Party Size\";"
            "ALTER TABLE Booking DROP COLUMN \"Start Time\";"
            "DROP TABLE Outbox; DROP TABLE \"Mail Settings\"; DROP TABLE \"Mail Texts\";"
            "DROP TABLE History; DROP TABLE Bin",
            "Schema Version" },
    };
    for (const auto &f : files) {
        QTest::addRow("%s / start", f.name)
            << Route::Start << QString::fromUtf8(f.sql) << QString::fromUtf8(f.kept);
        QTest::addRow("%s / restore", f.name)
            << Route::Restore << QString::fromUtf8(f.sql) << QString::fromUtf8(f.kept);
    }
}

void TestHostileFiles::allowed()
{
    QFETCH(Route, route);
    QFETCH(QString, sql);
    QFETCH(QString, kept);
    db::closeAll();
    QTemporaryDir away;
    const QString taken
        = route == Route::Restore ? away.filePath(QStringLiteral("tallow.mdb")) : databasePath();
    QVERIFY(makeFile(taken, sql));
    const Status s = route == Route::Restore ? dbfiles::restore(away.path(), databasePath()) : db::prepare();
    QVERIFY2(s, qPrintable(s.message()));
    QVERIFY(db::check(databasePath()));
    QSqlQuery q(db::connection(databasePath()));
    QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = '%1'").arg(kept)));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

// The fault a hostile backup caused: restored, it deleted every booking as
// soon as a contact was added. Refused, the guide's bookings stay.
void TestHostileFiles::refusedRestoreKeepsTheBookings()
{
    db::closeAll();
    QTemporaryDir away;
    QVERIFY(makeFile(away.filePath(QStringLiteral("tallow.mdb")),
        QStringLiteral("CREATE TRIGGER wipe AFTER INSERT ON Phone BEGIN DELETE FROM Booking; END")));
    const int bookings = count(databasePath(), QStringLiteral("Booking"));
    QVERIFY(bookings > 0);
    QVERIFY(!dbfiles::restore(away.path(), databasePath()));
    QVERIFY(db::prepare());
    {
        QSqlQuery q(db::connection(databasePath()));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Phone (Name) VALUES ('New Client')")));
    }
    QCOMPARE(count(databasePath(), QStringLiteral("Booking")), bookings);
}

BM_TEST_MAIN(TestHostileFiles)
#include "test_hostilefiles.moc"
