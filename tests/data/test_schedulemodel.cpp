#include "testenv.h"

#include "data/apppaths.h"
#include "data/database.h"
#include "data/schedulemodel.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>

using namespace bm;

namespace
{

void exec(const QString &sql)
{
    QSqlQuery q(database::connection(databasePath()));
    QVERIFY2(q.exec(sql), qPrintable(sql));
    database::bumpGeneration(databasePath());
}

QStringList names(const ScheduleModel &model)
{
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.index(row, 1).data().toString();
    return shown;
}

} // namespace

// Bookings that can not be read are said to be unreadable, once, and never
// shown as a schedule without bookings; what was shown stays.
class TestScheduleModel : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        test::resetDatabase();
        exec("DELETE FROM Booking");
        exec("INSERT INTO Booking (Date, Name, \"Total Charge\") VALUES ('2005-06-01', 'Cy', 2500000), "
             "('2005-05-14', 'Ann', NULL), ('2005-05-20', 'Bo', 26750)");
    }

    void shownAsTheScreensShowThem()
    {
        ScheduleModel model({ "Date", "Name", "Total Charge" });
        QVERIFY(model.status());
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(0, 0).data().toString(), QString("6/1/2005"));
        QCOMPARE(model.index(0, 2).data().toString(), QString("250.00"));
        QCOMPARE(model.index(1, 2).data().toString(), QString());
        QCOMPARE(model.index(2, 2).data().toString(), QString("2.675"));
    }

    void failedReadsAreSaid_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<QStringList>("shownWhileFailing");
        QTest::newRow("reload") << "reload" << QStringList { "Cy", "Ann", "Bo" };
        QTest::newRow("sort") << "sort" << QStringList { "Cy", "Ann", "Bo" };
        QTest::newRow("page of rows") << "page" << QStringList { "", "", "" };
    }
    void failedReadsAreSaid()
    {
        QFETCH(QString, read);
        QFETCH(QStringList, shownWhileFailing);
        ScheduleModel model({ "Date", "Name" });
        if (read != "page")
            QCOMPARE(names(model), QStringList({ "Cy", "Ann", "Bo" }));
        QSignalSpy said(&model, &ScheduleModel::readFailed);
        exec("ALTER TABLE Booking RENAME TO \"Booking away\"");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^The bookings could not be .*no such table"));
        if (read == "reload")
            model.reload();
        else if (read == "sort")
            model.sortByDate();
        QCOMPARE(names(model), shownWhileFailing); // a page tried again says nothing new
        QVERIFY(!model.status());
        QVERIFY2(model.status().message().contains("no such table: Booking"),
            qPrintable(model.status().message()));
        QCOMPARE(said.count(), 0); // said after the read, not during it (a grid may be painting)
        QVERIFY(said.wait(1000));
        QCOMPARE(said.count(), 1);
        QVERIFY2(said[0][0].toString().contains("no such table: Booking"), qPrintable(said[0][0].toString()));
        QCOMPARE(model.rowCount(), 3);

        exec("ALTER TABLE \"Booking away\" RENAME TO Booking");
        if (read == "reload")
            model.reload();
        else if (read == "sort")
            model.sortByDate();
        const QStringList expected
            = read == "sort" ? QStringList { "Ann", "Bo", "Cy" } : QStringList { "Cy", "Ann", "Bo" };
        QCOMPARE(names(model), expected);
        QVERIFY(model.status());
        QTest::qWait(10);
        QCOMPARE(said.count(), 1);
    }
};

BM_TEST_MAIN(TestScheduleModel)
#include "test_schedulemodel.moc"
