#include "recordcount.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/recordsource.h"

#include <QSignalSpy>
#include <QSqlQuery>

using namespace bm;

namespace
{

void exec(const QString &sql)
{
    QSqlQuery q(db::connection(databasePath()));
    QVERIFY2(q.exec(sql), qPrintable(sql));
}

} // namespace

// Every write through a record source says which table changed, once, after
// the rows have changed; a write the engine refuses says nothing.
class TestChanges : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        test::resetDatabase();
        exec("DELETE FROM \"Species\"");
        exec("INSERT INTO \"Species\" (\"Fish\") VALUES ('Bass'), ('Pike')");
    }

    void tableChangedFollowsEveryWrite_data()
    {
        QTest::addColumn<QString>("write");
        QTest::addColumn<QString>("refusedBy"); // a trigger's event, or empty
        QTest::addColumn<int>("said");
        QTest::addColumn<QStringList>("fishAfter");
        const QStringList unchanged { "Bass", "Pike" };
        QTest::newRow("add") << "add"
                             << "" << 1 << QStringList { "Bass", "Pike", "Perch" };
        QTest::newRow("edit") << "edit"
                              << "" << 1 << QStringList { "Perch", "Pike" };
        QTest::newRow("delete") << "delete"
                                << "" << 1 << QStringList { "Pike" };
        QTest::newRow("change written on a move") << "implicit move"
                                                  << "" << 1 << QStringList { "Perch", "Pike" };
        QTest::newRow("change written on request") << "implicit request"
                                                   << "" << 1 << QStringList { "Perch", "Pike" };
        QTest::newRow("change written on closing") << "implicit close"
                                                   << "" << 1 << QStringList { "Perch", "Pike" };
        QTest::newRow("add refused") << "add"
                                     << "INSERT" << 0 << unchanged;
        QTest::newRow("edit refused") << "edit"
                                      << "UPDATE" << 0 << unchanged;
        QTest::newRow("delete refused") << "delete"
                                        << "DELETE" << 0 << unchanged;
        QTest::newRow("change refused") << "implicit request"
                                        << "UPDATE" << 0 << unchanged;
    }
    void tableChangedFollowsEveryWrite()
    {
        QFETCH(QString, write);
        QFETCH(QString, refusedBy);
        QFETCH(int, said);
        QFETCH(QStringList, fishAfter);
        if (!refusedBy.isEmpty())
            exec(QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON \"Species\" "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                     .arg(refusedBy));
        QSignalSpy spy(&DataChanges::instance(), &DataChanges::tableChanged);
        {
            RecordSource rs("Data6", "Species");
            Status s;
            if (write == "add") {
                QVERIFY(rs.AddNew());
                QVERIFY(rs.setValue("Fish", "Perch"));
                s = rs.Update();
            } else if (write == "edit") {
                QVERIFY(rs.Edit());
                QVERIFY(rs.setValue("Fish", "Perch"));
                s = rs.Update();
            } else if (write == "delete") {
                s = rs.Delete();
            } else {
                QVERIFY(rs.setValue("Fish", "Perch"));
                if (write == "implicit move")
                    s = rs.MoveNext();
                else if (write == "implicit request")
                    s = rs.writePending();
            }
            QCOMPARE(bool(s), refusedBy.isEmpty());
            if (write != "implicit close") {
                QCOMPARE(spy.count(), said); // at once, not later
                // When it is said, the rows have changed.
                QCOMPARE(test::recordCount(RecordSource("Check", "Species")), int(fishAfter.size()));
            }
            if (rs.editMode() != RecordSource::EditMode::None)
                rs.CancelUpdate();
        } // a refused change is tried once more as it closes, and refused again
        if (!refusedBy.isEmpty())
            exec("DROP TRIGGER refuse");
        QCOMPARE(spy.count(), said);
        for (const QList<QVariant> &signal : std::as_const(spy)) {
            QCOMPARE(signal[0].toString(), databasePath());
            QCOMPARE(signal[1].toString(), QString("Species"));
        }
        QStringList fish;
        for (const auto &row : RecordSource("Check", "Species").column("Fish"))
            fish << row.second;
        QCOMPARE(fish, fishAfter);
    }
};

BM_TEST_MAIN(TestChanges)
#include "test_changes.moc"
