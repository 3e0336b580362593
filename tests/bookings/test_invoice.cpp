#include "behind.h"
#include "bookings/frminvoice.h"
#include "bookings/invoicewindows.h"
#include "checks.h"
#include "core/apppaths.h"
#include "db/database.h"
#include "doubles.h"
#include "records.h"
#include "testenv.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>

using namespace bm;
using bm::platform::Icon;

namespace
{

QVariant stored(Bookmark booking, const QString &field)
{
    RecordSource rs("reader", "Booking");
    // Nothing for a booking that is not there (any more).
    if (!rs.setBookmark(booking))
        return {};
    return rs.value(field);
}

QString amount(Bookmark booking, const QString &field)
{
    const QVariant v = stored(booking, field);
    return v.isNull() ? QString() : v.value<Money>().format();
}

} // namespace

class TestInvoice : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensInBrowseModeWithDefaults();
    void defaultsKeepFilledBoxes();
    void activationFillsTheDefaults();
    void letterheadAndBillTo();
    void modeEnabling_data();
    void modeEnabling();
    void emptyBoxChecks_data();
    void emptyBoxChecks();
    void workedExampleIsWrittenAndKeepsTheBooking();
    void failureAfterTheChecks_data();
    void failureAfterTheChecks();
    void failuresOfTheWrite_data();
    void failuresOfTheWrite();
    void cancelDropsTheChanges();
    void closeRefusedInEditMode();
    void inputFilter_data();
    void inputFilter();
    void typedTaxRateIsNotCompleted();
    void printsTheBookingOnScreen();
    void helpAndCalculator();

private:
    template <class T> T *box(const char *name) const { return m_window->findChild<T *>(name); }
    QPushButton *button(const char *name) const { return box<QPushButton>(name); }
    void fill(const QStringList &inputs); // qty, price, goods qty, goods cost, deposit, tax rate

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    Bookmark m_first;
    Bookmark m_second;
    QPointer<FrmInvoice> m_window;
};

void TestInvoice::init()
{
    test::resetDatabase();
    m_hub = std::make_unique<test::FakeHub>();
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_hub->mainWindow->show();
    m_first = m_hub->datBookings().bookmark();
    m_second = test::addBooking({ { "Date", QDate(2026, 7, 4) }, { "Lake", "Bull Shoals" },
        { "Name", "Second Client" }, { "Total Charge", "250" }, { "Deposit Amount", "50" } });
    QVERIFY(m_second.isValid());
    BM_VERIFY(m_hub->datBookings().Refresh());
    BM_VERIFY(m_hub->datBookings().setBookmark(m_second));
    m_window = openInvoice(m_hub->datBookings().bookmark());
    m_window->becomeActive();
}

void TestInvoice::cleanup()
{
    if (m_window) {
        if (m_window->isEditMode())
            m_window->cancel();
        m_window->close();
        delete m_window;
    }
    m_messages.reset();
    m_hub.reset();
}

void TestInvoice::fill(const QStringList &inputs)
{
    box<QComboBox>("Combo1")->setEditText(inputs[0]);
    box<QLineEdit>("Text9")->setText(inputs[1]);
    box<QComboBox>("Combo2")->setEditText(inputs[2]);
    box<QLineEdit>("Text12")->setText(inputs[3]);
    box<QLineEdit>("Text17")->setText(inputs[4]);
    box<QComboBox>("Combo3")->setEditText(inputs[5]);
}

void TestInvoice::opensInBrowseModeWithDefaults()
{
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_hub->mainWindow->isVisible());
    QCOMPARE(m_window->booking()->bookmark(), m_second);
    QCOMPARE(m_window->windowTitle(), QString("Invoice"));
    QVERIFY(!(m_window->windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(m_window->windowFlags() & Qt::WindowMaximizeButtonHint));

    QCOMPARE(box<QComboBox>("Combo1")->currentText(), QString("1"));
    QCOMPARE(box<QComboBox>("Combo2")->currentText(), QString("0"));
    QCOMPARE(box<QLineEdit>("Text12")->text(), QString("0"));
    QCOMPARE(box<QPlainTextEdit>("Text11")->toPlainText(), QString("None"));
    QCOMPARE(box<QComboBox>("Combo3")->currentText(), QString("0"));
    QCOMPARE(m_window->focusWidget(), box<QComboBox>("Combo1"));
    QVERIFY(box<QLineEdit>("Text9")->isReadOnly());
    QVERIFY(box<QLineEdit>("Text10")->isReadOnly());
    QVERIFY(box<QComboBox>("Combo3")->lineEdit()->isReadOnly());
    QVERIFY(!m_window->isEditMode());

    // Edit keeps the defaults, which Save then writes.
    m_window->edit();
    QCOMPARE(box<QComboBox>("Combo1")->currentText(), QString("1"));
    QCOMPARE(box<QPlainTextEdit>("Text11")->toPlainText(), QString("None"));
    m_messages->expect();
    QVERIFY(m_window->save());
    QCOMPARE(stored(m_second, "GS Qty").toString(), QString("1"));
    QCOMPARE(stored(m_second, "Goods").toString(), QString("None"));
    QCOMPARE(amount(m_second, "GS Total"), QString("250.00"));
    QCOMPARE(amount(m_second, "Less Deposit"), QString("200.00"));
}

void TestInvoice::defaultsKeepFilledBoxes()
{
    m_window->close();
    const Bookmark filled = test::addBooking({ { "Name", "Filled" }, { "GS Qty", "3" }, { "Goods", "Lunch" },
        { "Goods Qty", "2" }, { "Goods Cost", "7.5" }, { "Tax Rate", ".07" }, { "Total Charge", "100" } });
    m_window = openInvoice(filled);
    m_window->becomeActive();
    QCOMPARE(box<QComboBox>("Combo1")->currentText(), QString("3"));
    QCOMPARE(box<QComboBox>("Combo2")->currentText(), QString("2"));
    QCOMPARE(box<QLineEdit>("Text12")->text(), QString("7.50"));
    QCOMPARE(box<QPlainTextEdit>("Text11")->toPlainText(), QString("Lunch"));
    QCOMPARE(box<QComboBox>("Combo3")->currentText(), QString(".07"));
}

void TestInvoice::activationFillsTheDefaults()
{
    m_window->close();
    delete m_window;
    m_window = openInvoice(m_second);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QCOMPARE(box<QComboBox>("Combo1")->currentText(), QString("1"));
    QCOMPARE(box<QPlainTextEdit>("Text11")->toPlainText(), QString("None"));
    QCOMPARE(QApplication::focusWidget(), box<QComboBox>("Combo1"));
}

void TestInvoice::letterheadAndBillTo()
{
    QCOMPARE(box<QLabel>("lblGuideName")->text(), QString("Your Guide Service"));
    QCOMPARE(box<QLabel>("lblGuideWebsite")->text(), QString("www.example.com"));
    QCOMPARE(box<QLineEdit>("txtName")->text(), QString("Second Client"));
    QCOMPARE(box<QLineEdit>("Text8")->text(), QString("Bull Shoals"));
    QCOMPARE(box<QLineEdit>("Text9")->text(), QString("250.00"));
    QCOMPARE(box<QLineEdit>("Text9")->alignment() & Qt::AlignRight, Qt::AlignRight);
    QCOMPARE(box<QComboBox>("Combo3")->count(), 9);
    QCOMPARE(box<QComboBox>("Combo3")->itemText(0), QString(".01"));
    QCOMPARE(box<QComboBox>("Combo1")->count(), 6);
    // The computed boxes look read-only, the input boxes do not.
    const QColor grey = box<QLineEdit>("Text16")->palette().color(QPalette::Base);
    QCOMPARE(grey, m_window->palette().color(QPalette::Window));
    QVERIFY(box<QLineEdit>("Text9")->palette().color(QPalette::Base) != grey);
}

void TestInvoice::modeEnabling_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QList<bool>>("enabled"); // Edit Save Cancel Print Close Help Calculator
    QTest::addColumn<bool>("note");
    QTest::addColumn<bool>("locked");
    QTest::newRow("browse") << "" << QList<bool> { true, false, false, true, true, true, true } << false
                            << true;
    QTest::newRow("edit") << "edit" << QList<bool> { false, true, true, false, false, true, true } << true
                          << false;
    QTest::newRow("after save") << "save" << QList<bool> { true, false, false, true, true, true, true }
                                << false << true;
    QTest::newRow("after cancel") << "cancel" << QList<bool> { true, false, false, true, true, true, true }
                                  << false << true;
}

void TestInvoice::modeEnabling()
{
    QFETCH(QString, step);
    QFETCH(QList<bool>, enabled);
    QFETCH(bool, note);
    QFETCH(bool, locked);
    if (!step.isEmpty())
        button("cmdEdit")->click();
    if (step == "save") {
        m_messages->expect();
        button("cmdSave")->click();
        QCOMPARE(m_messages->last().text, QString("Changes have been Saved."));
        QCOMPARE(m_messages->last().icon, Icon::Information);
    } else if (step == "cancel") {
        button("cmdCancel")->click();
    }
    const char *names[]
        = { "cmdEdit", "cmdSave", "cmdCancel", "cmdPrint", "cmdExit", "cmdHelp", "cmdCalculator" };
    for (int i = 0; i < 7; ++i)
        QVERIFY2(button(names[i])->isEnabled() == enabled[i], names[i]);
    QCOMPARE(box<QLabel>("lblEditNote")->isVisibleTo(m_window), note);
    for (const char *name : { "txtName", "Text7", "Text9", "Text10", "Text16" })
        QVERIFY2(box<QLineEdit>(name)->isReadOnly() == locked, name);
    QCOMPARE(box<QPlainTextEdit>("Text11")->isReadOnly(), locked);
    QCOMPARE(box<QComboBox>("Combo1")->lineEdit()->isReadOnly(), locked);
}

void TestInvoice::emptyBoxChecks_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("guide service quantity")
        << QStringList { "", "", "", "", "", "" } << "Please enter a Quantity for Guide Service."
        << "Combo1";
    QTest::newRow("price") << QStringList { "1", "", "", "", "", "" }
                           << "Please enter a Zero or a Dollar Amount."
                           << "Text9";
    QTest::newRow("goods quantity") << QStringList { "1", "150", "", "", "", "" }
                                    << "Please enter a Zero or a Quantity for Goods or Service."
                                    << "Combo2";
    QTest::newRow("goods cost") << QStringList { "1", "150", "0", "", "", "" }
                                << "Please enter a Zero or a Dollar Amount for Goods or Service."
                                << "Text12";
    QTest::newRow("deposit") << QStringList { "1", "150", "0", "0", "", "" }
                             << "Please enter a Zero or a Deposit Amount."
                             << "Text17";
    QTest::newRow("tax rate") << QStringList { "1", "150", "0", "0", "0", "" }
                              << "The Tax Rate can not be Blank.\nPlease enter a Zero or a Percentage."
                              << "Combo3";
}

void TestInvoice::emptyBoxChecks()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    m_window->edit();
    fill(inputs);
    box<QLineEdit>("Text10")->setText("untouched");
    m_messages->expect();
    QVERIFY(!m_window->save());
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text, message);
    QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    QCOMPARE(m_messages->last().caption, QString("Brindlemoor"));
    QCOMPARE(m_window->focusWidget()->objectName(), focus);
    QCOMPARE(box<QLineEdit>("Text10")->text(), QString("untouched"));
    QVERIFY(m_window->isEditMode());
    QVERIFY(stored(m_second, "GS Qty").isNull());
}

void TestInvoice::workedExampleIsWrittenAndKeepsTheBooking()
{
    button("cmdEdit")->click();
    fill({ "2", "150", "3", "12.5", "50", ".06" });
    m_messages->expect();
    button("cmdSave")->click();
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text, QString("Changes have been Saved."));

    // Re-read and back on the booking invoiced, not the first one.
    QCOMPARE(m_window->booking()->bookmark(), m_second);
    const QStringList fields { "GS Total", "Goods Total", "Sub Total", "Less Deposit", "Tax",
        "Charge Total" };
    const QStringList expected { "300.00", "37.50", "337.50", "287.50", "20.25", "307.75" };
    const char *boxes[] = { "Text10", "Text13", "Text14", "Text18", "Text15", "Text16" };
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(amount(m_second, fields[i]), expected[i]);
        QCOMPARE(box<QLineEdit>(boxes[i])->text(), expected[i]);
    }
    QCOMPARE(stored(m_second, "Tax Rate").toString(), QString(".06"));
    QCOMPARE(amount(m_second, "Total Charge"), QString("150.00"));
    QVERIFY(amount(m_first, "GS Total").isEmpty());
    // The main window's bookings follow the write: read again, they hold
    // the new totals and stay on the booking invoiced.
    QCOMPARE(m_hub->datBookings().bookmark(), m_second);
    QCOMPARE(m_hub->datBookings().text("Charge Total"), QString("307.75"));
}

// A write the database refuses shows the engine's reason, not the message
// for boxes that do not read as amounts; a failure to return to the booking
// after the write is shown as well. Both are logged.
void TestInvoice::failuresOfTheWrite_data()
{
    QTest::addColumn<bool>("refused"); // or the booking deleted right after the write
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("written");
    QTest::newRow("the engine refuses the write")
        << true << QStringList { "The database could not do this: the disk is full" } << false;
    QTest::newRow("the booking is gone after the write")
        << false
        << QStringList { "Changes have been Saved.",
               "The record can not be found; it may have been deleted." }
        << true;
}

void TestInvoice::failuresOfTheWrite()
{
    QFETCH(bool, refused);
    QFETCH(QStringList, messages);
    QFETCH(bool, written);
    if (refused)
        QVERIFY(test::refuseWrites("refuse", "UPDATE", "Booking", "the disk is full"));
    else if (test::onServer())
        QVERIFY(test::execAsWritten(
            "CREATE FUNCTION gone() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            "DELETE FROM \"Booking\" WHERE \"ID\" = NEW.\"ID\"; RETURN NULL; END $$; "
            "CREATE TRIGGER gone AFTER UPDATE ON \"Booking\" FOR EACH ROW EXECUTE FUNCTION gone()"));
    else
        QVERIFY(test::execAsWritten(
            "CREATE TRIGGER gone AFTER UPDATE ON Booking BEGIN DELETE FROM Booking WHERE ID = NEW.ID; END"));
    m_window->edit();
    fill({ "2", "150", "3", "12.5", "50", ".06" });
    for (int i = 0; i < messages.size(); ++i)
        m_messages->expect();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(messages.last())));
    QCOMPARE(m_window->save(), written);
    QStringList shown;
    for (const platform::Message &m : std::as_const(m_messages->shown))
        shown << m.text.left(messages.last().size());
    QCOMPARE(shown, messages);
    QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    QCOMPARE(m_window->isEditMode(), !written);
    QVERIFY(amount(m_second, "GS Total").isEmpty());
}

void TestInvoice::failureAfterTheChecks_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("date"); // the trip date box
    QTest::addColumn<QStringList>(
        "shown"); // gs total, goods total, sub total, less deposit after the failure
    QTest::newRow("slash in the deposit") << QStringList { "2", "150", "3", "12.5", "1/2", ".06" }
                                          << "7/4/2026" << QStringList { "300.00", "37.50", "337.50", "x" };
    QTest::newRow("slash in the quantity") << QStringList { "1/2", "150", "3", "12.5", "50", ".06" }
                                           << "7/4/2026" << QStringList { "x", "x", "x", "x" };
    QTest::newRow("record can not be written") << QStringList { "2", "150", "3", "12.5", "50",
        ".06" } << "not a date" << QStringList { "300.00", "37.50", "337.50", "287.50" };
}

void TestInvoice::failureAfterTheChecks()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, date);
    QFETCH(QStringList, shown);
    m_window->edit();
    fill(inputs);
    box<QLineEdit>("Text7")->setText(date);
    for (const char *name : { "Text10", "Text13", "Text14", "Text18" })
        box<QLineEdit>(name)->setText("x");
    m_messages->expect();
    QVERIFY(!m_window->save());
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text,
        QString("No Text Box can be Blank.\nPlease enter a Zero or a Dollar Amount."));
    QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    QCOMPARE((QStringList { box<QLineEdit>("Text10")->text(), box<QLineEdit>("Text13")->text(),
                 box<QLineEdit>("Text14")->text(), box<QLineEdit>("Text18")->text() }),
        shown);
    QVERIFY(m_window->isEditMode());
    QVERIFY(button("cmdSave")->isEnabled());
    QVERIFY(stored(m_second, "GS Qty").isNull());
    QVERIFY(amount(m_second, "GS Total").isEmpty());
    QCOMPARE(stored(m_second, "Date").toDate(), QDate(2026, 7, 4));
}

void TestInvoice::cancelDropsTheChanges()
{
    m_window->edit();
    fill({ "4", "99", "1", "1", "1", ".01" });
    button("cmdCancel")->click();
    QVERIFY(!m_window->isEditMode());
    QVERIFY(stored(m_second, "GS Qty").isNull());
    QCOMPARE(amount(m_second, "Total Charge"), QString("250.00"));
    QCOMPARE(box<QLineEdit>("Text9")->text(), QString("250.00"));
    QCOMPARE(box<QComboBox>("Combo1")->currentText(), QString("1"));
}

void TestInvoice::closeRefusedInEditMode()
{
    m_window->edit();
    m_messages->expect();
    QVERIFY(!m_window->close());
    QCOMPARE(m_messages->last().text, QString("Please click the Save or Cancel button before exiting."));
    QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_hub->mainWindow->isVisible());

    m_window->cancel();
    button("cmdExit")->click();
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_hub->mainWindow->isVisible());
    QCOMPARE(m_messages->shown.size(), 1);
}

void TestInvoice::inputFilter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    const QString number = "Please enter a number only.";
    QTest::newRow("guide service quantity") << "Combo1" << number;
    QTest::newRow("goods quantity") << "Combo2" << number;
    QTest::newRow("tax rate") << "Combo3" << number;
    QTest::newRow("deposit") << "Text17" << number;
    QTest::newRow("price") << "Text9"
                           << "Please enter the cost of your Guide Service.";
    QTest::newRow("goods cost") << "Text12"
                                << "Please enter the cost of the Goods or Service.";
}

void TestInvoice::inputFilter()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    m_window->edit();
    QWidget *w = m_window->findChild<QWidget *>(name);
    QLineEdit *edit = qobject_cast<QLineEdit *>(w);
    if (!edit)
        edit = qobject_cast<QComboBox *>(w)->lineEdit();
    edit->clear();
    QTest::keyClicks(w, "1.5/");
    QCOMPARE(edit->text(), QString("1.5/"));
    QCOMPARE(m_messages->shown.size(), 0);

    for (QChar refused : QString("a$-, ")) {
        m_messages->expect();
        QTest::keyClick(w, refused.toLatin1());
        QCOMPARE(m_messages->last().text, message);
        QCOMPARE(m_messages->last().icon, Icon::Exclamation);
    }
    QCOMPARE(m_messages->shown.size(), 5);
    QCOMPARE(edit->text(), QString("1.5/"));
    QCOMPARE(m_window->focusWidget(), w);
    QTest::keyClick(w, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString("1.5"));
}

void TestInvoice::typedTaxRateIsNotCompleted()
{
    m_window->edit();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    auto *rate = box<QComboBox>("Combo3");
    rate->setFocus();
    QTRY_VERIFY(rate->hasFocus());
    rate->lineEdit()->clear();
    // ".0" is the start of the listed ".01", and stays what was typed.
    QTest::keyClicks(rate, ".0");
    QCOMPARE(rate->currentText(), QString(".0"));
}

void TestInvoice::printsTheBookingOnScreen()
{
    test::RecordingReports reports;
    button("cmdPrint")->click();
    QCOMPARE(reports.files.size(), 1);
    QVERIFY(reports.files[0].endsWith("/invoice.rpt"));
    QCOMPARE(reports.selections[0], m_second);
}

void TestInvoice::helpAndCalculator()
{
    test::RecordingHelp help;
    test::FakeShell shell;
    button("cmdHelp")->click();
    QCOMPARE(help.topics, QList<int> { 3300 });

    button("cmdCalculator")->click();
    QCOMPARE(shell.calculatorStarts, 1);
    QCOMPARE(m_messages->shown.size(), 0);
    shell.canStartCalculator = false;
    m_messages->expect();
    button("cmdCalculator")->click();
    QCOMPARE(m_messages->last().text, QString("Can not find the Calculator."));
    QCOMPARE(m_messages->last().icon, Icon::Exclamation);
}

BM_TEST_MAIN(TestInvoice)
#include "test_invoice.moc"
