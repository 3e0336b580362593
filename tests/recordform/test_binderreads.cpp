#include "behind.h"
#include "doubles.h"
#include "recordform/binder.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSqlQuery>

using namespace bm;

namespace
{

void exec(const QString &sql)
{
    QString error;
    QVERIFY2(test::execBehind(sql, &error), qPrintable(sql + ": " + error));
}

QStringList entries(const QComboBox *box)
{
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    return shown;
}

} // namespace

// Bound boxes and lists never pass a record or a list that could not be read
// off as an empty one.
class TestBinderReads : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        test::resetDatabase();
        exec("DELETE FROM Lures");
        exec("INSERT INTO Lures (Bait) VALUES ('Jig'), ('Spinner')");
    }
    void cleanup() { test::deleteWindows(); }

    void recordShownOrWhyNot_data()
    {
        QTest::addColumn<QString>("outage");
        QTest::addColumn<QString>("reason");
        QTest::newRow("readable") << ""
                                  << "";
        QTest::newRow("table gone") << "table" << test::missingTable("Lures");
        QTest::newRow("record deleted elsewhere") << "record"
                                                  << "it may have been deleted";
    }
    void recordShownOrWhyNot()
    {
        QFETCH(QString, outage);
        QFETCH(QString, reason);
        test::ScriptedMessages boxes;
        QWidget window;
        RecordSource source(QStringLiteral("Data1"), QStringLiteral("Lures"), &window);
        QVERIFY(source.openStatus());
        if (outage == "table")
            exec("ALTER TABLE Lures RENAME TO \"Lures away\"");
        else if (outage == "record")
            exec("DELETE FROM Lures WHERE Bait = 'Jig'");
        if (!outage.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Data1 \\(Lures\\): "));
        FieldBinder binder(&source, &window);
        auto *bait = new QLineEdit(&window);
        binder.bind(bait, QStringLiteral("Bait"));
        if (!outage.isEmpty()) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Data1 \\(Lures\\): "));
            boxes.expect();
        }
        binder.showRecord();
        QCOMPARE(bait->text(), outage.isEmpty() ? QString("Jig") : QString());
        QCOMPARE(bool(binder.readStatus()), outage.isEmpty());
        QCOMPARE(boxes.shown.size(), 0); // said after the change that found it
        QTest::qWait(20);
        QCOMPARE(boxes.shown.size(), outage.isEmpty() ? 0 : 1);
        if (outage.isEmpty())
            return;
        QVERIFY2(boxes.last().text.contains(reason), qPrintable(boxes.last().text));
        QCOMPARE(boxes.last().icon, platform::Icon::Exclamation);

        // The same outage is said once.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Data1 \\(Lures\\): "));
        binder.showRecord();
        QTest::qWait(20);
        QCOMPARE(boxes.shown.size(), 1);
        if (outage != "table")
            return;
        // Read again, then failing again: a new outage, said again.
        exec("ALTER TABLE \"Lures away\" RENAME TO Lures");
        binder.showRecord();
        QCOMPARE(bait->text(), QString("Jig"));
        QVERIFY(binder.readStatus());
        {
            const QSignalBlocker quiet(&source); // on the next record, not read yet
            QVERIFY(source.MoveNext());
        }
        exec("ALTER TABLE Lures RENAME TO \"Lures away\"");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Data1 \\(Lures\\): "));
        boxes.expect();
        binder.showRecord();
        QTest::qWait(20);
        QCOMPARE(boxes.shown.size(), 2);
    }

    void listFilledOrKept_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("readable") << true << QStringList { "Jig", "Spinner" };
        QTest::newRow("table gone: the list keeps its entries") << false << QStringList { "Crankbait" };
    }
    void listFilledOrKept()
    {
        QFETCH(bool, readable);
        QFETCH(QStringList, listed);
        test::ScriptedMessages boxes;
        QWidget window;
        RecordSource source(QStringLiteral("Data2"), QStringLiteral("Lures"), &window);
        auto *box = new QComboBox(&window);
        fillList(box, QStringList { "Crankbait" });
        box->setEditText(QStringLiteral("typed"));
        if (!readable) {
            exec("ALTER TABLE Lures RENAME TO \"Lures away\"");
            QTest::ignoreMessage(QtWarningMsg,
                QRegularExpression(
                    "^Data2 \\(Lures\\): .*" + QRegularExpression::escape(test::missingTable("Lures"))));
            boxes.expect();
        }
        const Status filled = fillList(box, source, QStringLiteral("Bait"));
        QCOMPARE(bool(filled), readable);
        QCOMPARE(entries(box), listed);
        QCOMPARE(box->currentText(), QString("typed"));
        QCOMPARE(boxes.shown.size(), readable ? 0 : 1);
        if (!readable)
            QVERIFY2(boxes.last().text.contains(test::missingTable("Lures")), qPrintable(boxes.last().text));
    }

    void refusedValue_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("charge");
        QTest::addColumn<QString>("refused"); // the box, or empty
        QTest::newRow("both readable") << "6/1/2005"
                                       << "250.00"
                                       << "";
        QTest::newRow("both empty") << ""
                                    << " "
                                    << "";
        QTest::newRow("date that is no date") << "soon"
                                              << "250"
                                              << "txtDate";
        QTest::newRow("impossible day") << "2/30/2005"
                                        << ""
                                        << "txtDate";
        QTest::newRow("amount that is no amount") << "6/1/2005"
                                                  << "lots"
                                                  << "txtCharge";
        QTest::newRow("first of two, in binding order") << "soon"
                                                        << "lots"
                                                        << "txtDate";
    }
    void refusedValue()
    {
        QFETCH(QString, date);
        QFETCH(QString, charge);
        QFETCH(QString, refused);
        QWidget window;
        RecordSource source(QStringLiteral("Data1"), QStringLiteral("Booking"), &window);
        FieldBinder binder(&source, &window);
        auto *dateBox = new QLineEdit(&window);
        dateBox->setObjectName(QStringLiteral("txtDate"));
        auto *chargeBox = new QLineEdit(&window);
        chargeBox->setObjectName(QStringLiteral("txtCharge"));
        binder.bind(dateBox, QStringLiteral("Date"));
        binder.bind(chargeBox, QStringLiteral("Total Charge"));
        dateBox->setText(date);
        chargeBox->setText(charge);
        QWidget *found = binder.refusedValue();
        QCOMPARE(found ? found->objectName() : QString(), refused);
    }
};

BM_TEST_MAIN(TestBinderReads)
#include "test_binderreads.moc"
