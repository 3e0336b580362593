#include "rawfile.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/engine/migrations.h"
#include "db/pagecheck.h"
#include "schema/schema.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>

#include <unistd.h>

using namespace bm;
using bm::test::fileHash;

namespace
{

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        db::closeAll();
        QDir(appFolder()).removeRecursively();
    }
    void cleanup()
    {
        const QString folder = appFolder();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(databasePath(), QFile::ReadOwner | QFile::WriteOwner);
        db::closeAll();
    }

    void missingFolderOrFileIsLaidIn_data()
    {
        QTest::addColumn<bool>("folderExists");
        QTest::newRow("no folder") << false;
        QTest::newRow("folder without database") << true;
    }
    void missingFolderOrFileIsLaidIn()
    {
        QFETCH(bool, folderExists);
        if (folderExists)
            QDir().mkpath(appFolder());
        const Status s = db::prepare();
        QVERIFY2(s, qPrintable(s.message()));
        QVERIFY(QFileInfo(databasePath()).isWritable());
        QSqlQuery q(db::connection(databasePath()));
        QVERIFY(q.exec("SELECT COUNT(*) FROM \"Guide Info\""));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }

    void everyTableHoldsARecord()
    {
        QVERIFY(db::prepare());
        QSqlQuery q(db::connection(databasePath()));
        for (const char *table : { "Lakes Fished", "Marinas", "Lures", "Lure Color", "Species", "Trip Type",
                 "Trip Rates", "Deposits", "Guide Info", "Phone", "Booking", "Reminder", "Diary", "Patterns",
                 "Rods", "Boat", "Equipment" }) {
            QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table)));
            QVERIFY(q.next());
            QVERIFY2(q.value(0).toInt() >= 1, table);
        }
    }

    void existingDatabaseIsKept()
    {
        QVERIFY(db::prepare());
        {
            QSqlQuery q(db::connection(databasePath()));
            QVERIFY(q.exec("UPDATE \"Guide Info\" SET \"Guide Name\" = 'Lee''s Guide Service'"));
        }
        db::closeAll();
        QVERIFY(db::prepare());
        QSqlQuery q(db::connection(databasePath()));
        QVERIFY(q.exec("SELECT \"Guide Name\" FROM \"Guide Info\""));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("Lee's Guide Service"));
    }

    void unusableDatabaseIsRefusedAndLeftAlone_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("words");
        QTest::newRow("not a database") << "text"
                                        << "is not a Brindlemoor database";
        QTest::newRow("empty file") << "empty"
                                    << "is not a Brindlemoor database";
        QTest::newRow("corrupt") << "corrupt"
                                 << "damaged";
        QTest::newRow("missing table") << "drop table"
                                       << "the table Diary is missing";
        QTest::newRow("missing field") << "drop field"
                                       << "the field Remarks of the table Equipment is missing";
        // A view in a table's place is code of the file's own: refused
        // before it is ever read.
        QTest::newRow("view in place of a table")
            << "broken view"
            << "holds a view named Marinas, which Brindlemoor does not use";
        // The change stamps' table and triggers: only the program's own, as
        // it writes them, in a file whose layout has them.
        QTest::newRow("foreign trigger on a stamped table")
            << "sql:CREATE TRIGGER wipe AFTER UPDATE ON Booking BEGIN DELETE FROM Phone; END"
            << "holds a trigger named wipe, which Brindlemoor does not use";
        QTest::newRow("stamp trigger rewritten")
            << "sql:DROP TRIGGER \"Booking stamp on delete\";"
               "CREATE TRIGGER \"Booking stamp on delete\" AFTER DELETE ON \"Booking\" BEGIN DELETE FROM "
               "\"Change Stamp\"; END"
            << "holds a trigger named Booking stamp on delete, which Brindlemoor does not use";
        QTest::newRow("stamp trigger with a literal's blanks changed")
            << "sql:DROP TRIGGER \"Reminder stamp on delete\";"
               "CREATE TRIGGER \"Reminder stamp on delete\" AFTER DELETE ON \"Reminder\" BEGIN DELETE FROM "
               "\"Change Stamp\" WHERE \"Kind\" = 'Reminder ' AND \"Record\" = OLD.\"ID\"; END"
            << "holds a trigger named Reminder stamp on delete, which Brindlemoor does not use";
        QTest::newRow("stamp trigger missing") << "sql:DROP TRIGGER \"Reminder stamp on update\""
                                               << "is not a complete Brindlemoor database: the trigger "
                                                  "Reminder stamp on update of the table Reminder is missing";
        QTest::newRow("stamp table missing") << "sql:DROP TABLE \"Change Stamp\""
                                             << "the table Change Stamp is missing";
        QTest::newRow("stamp table of another form")
            << "sql:DROP TABLE \"Change Stamp\"; CREATE TABLE \"Change Stamp\" (Kind, Record, Sequence, "
               "Modified, Note)"
            << "holds a table named Change Stamp that is not as Brindlemoor makes it";
        QTest::newRow("stamps in a file marked as an older layout")
            << "sql:UPDATE \"Schema Version\" SET Version = 2"
            << "holds a trigger named Booking stamp on insert, which Brindlemoor does not use";
        QTest::newRow("foreign database") << "foreign"
                                          << "the table Lakes Fished is missing";
        QTest::newRow("a folder") << "folder"
                                  << "is not a file";
        QTest::newRow("unreadable") << "unreadable"
                                    << "can not be read";
        QTest::newRow("read-only file") << "read-only file"
                                        << "is read-only";
        QTest::newRow("read-only folder") << "read-only folder"
                                          << "read-only folder";
    }
    void unusableDatabaseIsRefusedAndLeftAlone()
    {
        QFETCH(QString, damage);
        QFETCH(QString, words);
        const bool permissions = damage == "unreadable" || damage.startsWith("read-only");
        if (permissions && geteuid() == 0)
            QSKIP("File permissions do not bind the superuser.");

        QVERIFY(db::prepare());
        db::closeAll();
        const QString path = databasePath();
        if (damage == "text") {
            writeFile(path, "Name,Phone\nAnn,555\n");
        } else if (damage == "empty") {
            writeFile(path, "");
        } else if (damage == "corrupt") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QByteArray bytes = f.readAll();
            for (qsizetype i = 4096; i < bytes.size(); ++i)
                bytes[i] = char(0xA5 ^ (i & 0xff));
            f.seek(0);
            f.write(bytes);
        } else if (damage == "drop table" || damage == "drop field" || damage == "foreign"
            || damage == "broken view") {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damage");
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QSqlQuery q(db);
                if (damage == "drop table")
                    QVERIFY(q.exec("DROP TABLE Diary"));
                else if (damage == "drop field")
                    QVERIFY(q.exec("ALTER TABLE Equipment DROP COLUMN Remarks"));
                else if (damage == "broken view")
                    QVERIFY(q.exec("DROP TABLE Marinas")
                        && q.exec("CREATE VIEW Marinas AS SELECT Ramps FROM nowhere"));
                else {
                    for (const char *t : { "Lakes Fished", "Marinas", "Lures", "Lure Color", "Species",
                             "Trip Type", "Trip Rates", "Deposits", "Guide Info", "Phone", "Booking",
                             "Reminder", "Diary", "Patterns", "Rods", "Boat", "Equipment" })
                        QVERIFY(q.exec(QStringLiteral("DROP TABLE \"%1\"").arg(t)));
                    QVERIFY(q.exec("CREATE TABLE recipes (name TEXT)"));
                }
                db.close();
            }
            QSqlDatabase::removeDatabase("damage");
        } else if (damage.startsWith("sql:")) {
            QVERIFY(test::execOnFile(path, damage.mid(4)));
        } else if (damage == "folder") {
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkpath(path));
        } else if (damage == "unreadable") {
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        } else if (damage == "read-only file") {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        } else if (damage == "read-only folder") {
            QVERIFY(QFile::setPermissions(appFolder(), QFile::ReadOwner | QFile::ExeOwner));
        }
        const QByteArray before = fileHash(path);
        const QStringList filesBefore = QDir(appFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const Status s = db::prepare();
        QVERIFY(!s);
        QVERIFY2(s.message().contains(QDir::toNativeSeparators(path)), qPrintable(s.message()));
        QVERIFY2(s.message().contains(words), qPrintable(s.message()));
        db::closeAll();
        QCOMPARE(fileHash(path), before);
        QCOMPARE(QDir(appFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), filesBefore);
    }

    // The program's own triggers are told by what they do, not by how the
    // statement is laid out: written again with other blanks, they stay.
    void ownTriggersWrittenAnewAreKept_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::newRow("as delivered") << "";
        QTest::newRow("line breaks and runs of blanks") << "\n    ";
        QTest::newRow("tabs") << "\t";
    }
    void ownTriggersWrittenAnewAreKept()
    {
        QFETCH(QString, layout);
        QVERIFY(db::prepare());
        db::closeAll();
        const QString path = databasePath();
        const QString blank = layout.isEmpty() ? QStringLiteral(" ") : layout;
        QString sql;
        for (const schema::TriggerDef &t : schema::ownTriggers(migrations::currentVersion))
            sql += QStringLiteral("DROP TRIGGER %1; %2;")
                       .arg(schema::quoted(t.name),
                           QString(t.sql).replace(QLatin1String(" BEGIN "), blank + "BEGIN" + blank));
        QVERIFY(test::execOnFile(path, sql));
        const Status s = db::prepare();
        QVERIFY2(s, qPrintable(s.message()));
    }

    // The start reads each table's ends only; every other page is read once
    // the window shows, and damage deep inside the file is told then,
    // leaving the file as it is.
    void pagesAreCheckedAfterTheStart_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("sound file") << false;
        QTest::newRow("damage deep inside") << true;
    }
    void pagesAreCheckedAfterTheStart()
    {
        QFETCH(bool, damaged);
        QVERIFY(db::prepare());
        {
            QSqlQuery q(db::connection(databasePath()));
            QVERIFY(q.exec("BEGIN"));
            QVERIFY(q.prepare("INSERT INTO Booking (\"Date\", \"Name\", \"Notes\") VALUES (?, ?, ?)"));
            for (int i = 0; i < 3000; ++i) {
                q.addBindValue(QStringLiteral("2010-01-01"));
                q.addBindValue(QStringLiteral("Guest %1").arg(i));
                q.addBindValue(QString(300, QLatin1Char('a' + i % 26)));
                QVERIFY(q.exec());
            }
            QVERIFY(q.exec("COMMIT"));
        }
        db::closeAll();
        const QString path = databasePath();
        if (damaged) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 page = 4096, middle = f.size() / page / 2;
            QVERIFY(middle > 10);
            QVERIFY(f.seek(middle * page));
            f.write(QByteArray(int(page), char(0x5A)));
        }
        const QByteArray before = fileHash(path);

        const Status started = db::prepare();
        QVERIFY2(started, qPrintable(started.message()));
        db::PageCheck check(path);
        QSignalSpy told(&check, &db::PageCheck::damaged);
        QSignalSpy finished(&check, &db::PageCheck::finished);
        check.start();
        QVERIFY(finished.wait(20000));
        QCOMPARE(told.count(), damaged ? 1 : 0);
        if (damaged)
            QVERIFY2(told[0][0].toString().contains("is damaged"), qPrintable(told[0][0].toString()));
        db::closeAll();
        QCOMPARE(fileHash(path), before);
    }
};

BM_TEST_MAIN(TestStartup)
#include "test_startup.moc"
