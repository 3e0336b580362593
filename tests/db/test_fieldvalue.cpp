#include "testenv.h"

#include "core/apppaths.h"
#include "core/money.h"
#include "db/database.h"
#include "db/fieldvalue.h"
#include "db/recordsource.h"

#include <QSqlQuery>

using namespace bm;

class TestFieldValue : public QObject
{
    Q_OBJECT
private slots:
    // What the file holds, as a screen and a printed page show it. A value
    // its field's kind can not read shows as no value, never as a made-up
    // one (a 0.00 or a date of year 1).
    void storedValuesAsShown_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("onScreen");
        QTest::addColumn<QString>("printed");
        const int T = int(FieldKind::Text), D = int(FieldKind::Date), A = int(FieldKind::Amount);
        QTest::newRow("no value") << A << QVariant() << ""
                                  << "";
        QTest::newRow("text") << T << QVariant("Pat O'Hara") << "Pat O'Hara"
                              << "Pat O'Hara";
        QTest::newRow("date") << D << QVariant("2005-05-14") << "5/14/2005"
                              << "5/14/2005";
        QTest::newRow("date unreadable") << D << QVariant("soon") << ""
                                         << "";
        QTest::newRow("date impossible") << D << QVariant("2005-02-30") << ""
                                         << "";
        QTest::newRow("amount") << A << QVariant(qlonglong(2500000)) << "250.00"
                                << "250.00";
        QTest::newRow("amount fine decimals") << A << QVariant(qlonglong(26750)) << "2.675"
                                              << "2.68";
        QTest::newRow("amount negative") << A << QVariant(qlonglong(-5)) << "-0.0005"
                                         << "0.00";
        QTest::newRow("amount as a sum") << A << QVariant(12345000.4) << "1234.50"
                                         << "1234.50";
        QTest::newRow("amount unreadable") << A << QVariant("fifty") << ""
                                           << "";
    }
    void storedValuesAsShown()
    {
        QFETCH(int, kind);
        QFETCH(QVariant, stored);
        QFETCH(QString, onScreen);
        QFETCH(QString, printed);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(
            fieldvalue::shownStored(FieldKind(kind), stored, fieldvalue::Amounts::Editing, us), onScreen);
        QCOMPARE(fieldvalue::shownStored(FieldKind(kind), stored, fieldvalue::Amounts::Printed, us), printed);
        // What is shown for editing reads back as the same stored value.
        const QVariant typed = fieldvalue::fromStored(FieldKind(kind), stored);
        QVariant back;
        QVERIFY(fieldvalue::fromInput({ "Field", FieldKind(kind) }, onScreen, back));
        QCOMPARE(fieldvalue::toStored(back), fieldvalue::toStored(typed));
    }

    // Finding by a date or an amount matches the text the screen shows, by
    // the same conversion.
    void findMatchesWhatTheScreenShows_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("found");
        QTest::newRow("date as shown") << "Date LIKE '5/14/2005'" << true;
        QTest::newRow("date as stored") << "Date LIKE '2005-05-14'" << false;
        QTest::newRow("amount as shown") << "[Total Charge] LIKE '2.675'" << true;
        QTest::newRow("amount rounded") << "[Total Charge] LIKE '2.68'" << false;
        QTest::newRow("amount as stored") << "[Total Charge] LIKE '26750'" << false;
    }
    void findMatchesWhatTheScreenShows()
    {
        QFETCH(QString, expression);
        QFETCH(bool, found);
        test::resetDatabase();
        {
            QSqlQuery q(db::connection(databasePath()));
            QVERIFY(q.exec("INSERT INTO Booking (Name, Date, \"Total Charge\") VALUES ('Find me', "
                           "'2005-05-14', 26750)"));
            db::bumpGeneration(databasePath());
        }
        RecordSource rs("Data1", "Booking");
        QVERIFY(rs.FindFirst(expression));
        QCOMPARE(!rs.NoMatch(), found);
        if (found)
            QCOMPARE(rs.text("Name"), QString("Find me"));
    }
};

BM_TEST_MAIN(TestFieldValue)
#include "test_fieldvalue.moc"
