#include "testenv.h"

#include "recordform/celleditors.h"
#include "recordform/datepicker.h"

#include <QComboBox>
#include <QStandardItemModel>
#include <QtTest>

#include <memory>

using namespace bm;

// A cell's text goes into its editor and comes back as the guide left it.
class TestCellEditors : public QObject
{
    Q_OBJECT
private slots:
    void choices_data();
    void choices();
    void dates_data();
    void dates();
};

void TestCellEditors::choices_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("shown"); // in the box as it opens
    QTest::addColumn<QString>("chosen"); // typed, or an entry chosen; empty: left as it was
    QTest::addColumn<QString>("kept");
    QTest::newRow("an entry, left") << false << "Kay"
                                    << "Kay" << QString() << "Kay";
    QTest::newRow("another entry chosen") << false << "Kay"
                                          << "Kay"
                                          << "Jim"
                                          << "Jim";
    QTest::newRow("a value no longer listed, left") << false << "Old Guide"
                                                    << "Old Guide" << QString() << "Old Guide";
    QTest::newRow("an empty cell shows the first entry") << false << ""
                                                         << "(everyone)" << QString() << "(everyone)";
    QTest::newRow("typed over, not completed") << true << "Half Day"
                                               << "Half Day"
                                               << "Ha"
                                               << "Ha";
    QTest::newRow("typed, not listed") << true << ""
                                       << ""
                                       << "Night Trip"
                                       << "Night Trip";
}

void TestCellEditors::choices()
{
    QFETCH(bool, typed);
    QFETCH(QString, cell);
    QFETCH(QString, shown);
    QFETCH(QString, chosen);
    QFETCH(QString, kept);
    const QStringList entries
        = typed ? QStringList { "Half Day", "Full Day" } : QStringList { "(everyone)", "Jim", "Kay" };
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), cell);
    ChoiceCells cells(&entries, typed, nullptr);
    QWidget parent;
    std::unique_ptr<QWidget> editor(cells.createEditor(&parent, {}, model.index(0, 0)));
    auto *box = qobject_cast<QComboBox *>(editor.get());
    QVERIFY(box);
    cells.setEditorData(box, model.index(0, 0));
    QCOMPARE(box->currentText(), shown);
    if (!chosen.isEmpty()) {
        if (typed)
            box->setEditText(chosen);
        else
            box->setCurrentText(chosen);
    }
    cells.setModelData(box, &model, model.index(0, 0));
    QCOMPARE(model.data(model.index(0, 0)).toString(), kept);
    QCOMPARE(box->count(), entries.size() + (cell == "Old Guide" ? 1 : 0));
}

void TestCellEditors::dates_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QDate>("shown"); // invalid: the picker empty
    QTest::addColumn<QDate>("picked"); // invalid: left as it was
    QTest::addColumn<QString>("kept");
    QTest::newRow("a date, left") << "7/4/2027" << QDate(2027, 7, 4) << QDate() << "7/4/2027";
    QTest::newRow("a date, another picked")
        << "7/4/2027" << QDate(2027, 7, 4) << QDate(2027, 12, 31) << "12/31/2027";
    QTest::newRow("as stored") << "2027-07-04" << QDate(2027, 7, 4) << QDate() << "7/4/2027";
    QTest::newRow("empty, picked") << "" << QDate() << QDate(2028, 2, 29) << "2/29/2028";
    QTest::newRow("no date") << "soon" << QDate() << QDate() << "";
}

void TestCellEditors::dates()
{
    QFETCH(QString, cell);
    QFETCH(QDate, shown);
    QFETCH(QDate, picked);
    QFETCH(QString, kept);
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), cell);
    DateCells cells;
    QWidget parent;
    std::unique_ptr<QWidget> editor(cells.createEditor(&parent, {}, model.index(0, 0)));
    auto *picker = qobject_cast<DatePicker *>(editor.get());
    QVERIFY(picker);
    cells.setEditorData(picker, model.index(0, 0));
    QCOMPARE(picker->value(), shown);
    if (picked.isValid())
        picker->setValue(picked);
    cells.setModelData(picker, &model, model.index(0, 0));
    QCOMPARE(model.data(model.index(0, 0)).toString(), kept);
}

BM_TEST_MAIN(TestCellEditors)
#include "test_celleditors.moc"
