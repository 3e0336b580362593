#include "doubles.h"
#include "reminderfixture.h"
#include "testenv.h"

#include "platform/windows.h"
#include "recordform/datepicker.h"
#include "recordform/recordform.h"
#include "reminders/frmaddreminder.h"
#include "reminders/frmreminder.h"
#include "reminders/remindergrid.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

using namespace bm;
using platform::Answer;
using platform::Icon;

namespace
{

const QStringList editorButtons { "cmdAdd", "cmdEdit", "cmdDelete", "cmdSave", "cmdUndo", "cmdFirst",
    "cmdBack", "cmdNext", "cmdLast", "cmdClose" };

} // namespace

class TestReminderForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    std::unique_ptr<test::FakeClock> clock;
    QPointer<FrmAddreminder> w;

    void open()
    {
        w = openReminderEditor();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    QPushButton *cmd(const char *name) const { return test::child<QPushButton>(w, name); }
    QPlainTextEdit *text1() const { return test::child<QPlainTextEdit>(w, "Text1"); }
    DatePicker *picker() const { return test::child<DatePicker>(w, "DTPicker1"); }
    QString count() const { return test::child<QLabel>(w, "lblCount")->text(); }
    QStringList usableButtons() const
    {
        QStringList usable;
        for (const QString &name : editorButtons)
            if (cmd(qPrintable(name))->isEnabled())
                usable << name;
        return usable;
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        clock = std::make_unique<test::FakeClock>(QDate(2026, 5, 14));
        test::fillReminders(test::threeReminders());
    }
    void cleanup()
    {
        test::deleteWindows();
        QCOMPARE(msgs->pending(), 0);
        msgs.reset();
        clock.reset();
    }

    // What can be used in each mode: the buttons, the date picker (disabled,
    // not only locked, while browsing), the text, the navigation frame and
    // the edit notice.
    void modes_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("usable");
        QTest::addColumn<bool>("editing");
        const QStringList browse { "cmdAdd", "cmdEdit", "cmdDelete", "cmdFirst", "cmdBack", "cmdNext",
            "cmdLast", "cmdClose" };
        const QStringList edit { "cmdSave", "cmdUndo" };
        QTest::newRow("opened") << QStringList {} << browse << false;
        QTest::newRow("new") << QStringList { "cmdAdd" } << edit << true;
        QTest::newRow("edit") << QStringList { "cmdEdit" } << edit << true;
        QTest::newRow("new, cancel") << QStringList { "cmdAdd", "cmdUndo" } << browse << false;
        QTest::newRow("edit, save") << QStringList { "cmdEdit", "cmdSave" } << browse << false;
    }
    void modes()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, usable);
        QFETCH(bool, editing);
        open();
        for (const QString &step : steps) {
            if (step == "cmdSave")
                msgs->expect();
            cmd(qPrintable(step))->click();
        }
        QCOMPARE(usableButtons(), usable);
        QCOMPARE(w->form()->isEditing(), editing);
        QCOMPARE(picker()->isEnabled(), editing);
        QCOMPARE(text1()->isReadOnly(), !editing);
        QCOMPARE(test::child<QGroupBox>(w, "Frame1")->isEnabled(), !editing);
        QLabel *notice = test::child<QLabel>(w, "lblNotice");
        QCOMPARE(notice->isVisible(), editing);
        QCOMPARE(notice->text(), "  Click Cancel or Save before you can exit. ");
        QCOMPARE(notice->palette().color(notice->backgroundRole()).name(), "#ffffc0");
    }

    void navigationAndDelete()
    {
        open();
        QCOMPARE(text1()->toPlainText(), "Order new line");
        QCOMPARE(picker()->value(), QDate(2006, 1, 3));
        QCOMPARE(count(), "3 Reminders are saved.");
        msgs->expect();
        cmd("cmdBack")->click();
        QCOMPARE(msgs->last().text, "This is the first Reminder.");
        QCOMPARE(msgs->last().caption, "Brindlemoor");
        QCOMPARE(msgs->last().icon, Icon::Information);
        cmd("cmdLast")->click();
        msgs->expect();
        cmd("cmdNext")->click();
        QCOMPARE(msgs->last().text, "This is the last Reminder.");
        QCOMPARE(text1()->toPlainText(), "Boat show");

        cmd("cmdFirst")->click();
        msgs->expect(Answer::No);
        cmd("cmdDelete")->click();
        QCOMPARE(msgs->last().text, "Are you sure you want to delete this Reminder?");
        QCOMPARE(msgs->last().caption, "Delete Information");
        QCOMPARE(test::storedTexts().size(), 3);
        msgs->expect(Answer::Yes);
        cmd("cmdDelete")->click();
        QCOMPARE(text1()->toPlainText(), "Renew the licence");
        QCOMPARE(count(), "2 Reminders are saved.");
        cmd("cmdLast")->click();
        msgs->expect(Answer::Yes);
        cmd("cmdDelete")->click();
        QCOMPARE(text1()->toPlainText(), "Renew the licence");
        msgs->expect();
        cmd("cmdDelete")->click();
        QCOMPARE(msgs->last().text,
            "This Reminder can not be deleted.\nYou can edit this Reminder.\n"
            "At least one record has to be present at all times.");
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QCOMPARE(test::storedTexts(), QStringList { "Renew the licence" });
    }

    // New starts on today's date with an empty text; the empty text is
    // refused; a saved reminder is shown at once and counted.
    void newReminder()
    {
        open();
        cmd("cmdNext")->click();
        cmd("cmdAdd")->click();
        QCOMPARE(picker()->value(), QDate(2026, 5, 14));
        QCOMPARE(text1()->toPlainText(), "");
        QVERIFY(text1()->hasFocus());
        msgs->expect();
        cmd("cmdSave")->click();
        QCOMPARE(msgs->last().text, "Please enter a Reminder or click Cancel.");
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QVERIFY(w->form()->isEditing());

        QTest::keyClicks(text1(), "Check the trailer bearings");
        picker()->setValue(QDate(2026, 6, 1));
        msgs->expect();
        cmd("cmdSave")->click();
        QCOMPARE(msgs->last().text, "Information has been Saved !");
        QCOMPARE(msgs->last().caption, "Information Saved");
        QCOMPARE(msgs->last().icon, Icon::Information);
        QVERIFY(!w->form()->isEditing());
        // Repositioned on the reminder just written, not the one before New.
        QCOMPARE(text1()->toPlainText(), "Check the trailer bearings");
        QCOMPARE(picker()->value(), QDate(2026, 6, 1));
        QCOMPARE(count(), "4 Reminders are saved.");
        QCOMPARE(test::storedTexts().constLast(), "Check the trailer bearings");
    }

    // Edit selects the whole text, so typing replaces it; Cancel drops the
    // change and the selection.
    void editReplacesText()
    {
        open();
        cmd("cmdNext")->click();
        cmd("cmdEdit")->click();
        QCOMPARE(text1()->textCursor().selectedText(), "Renew the licence");
        QCOMPARE(picker()->value(), QDate(2005, 12, 30));
        QTest::keyClicks(text1(), "Renew both licences");
        msgs->expect();
        cmd("cmdSave")->click();
        QCOMPARE(text1()->toPlainText(), "Renew both licences");
        QCOMPARE(test::storedTexts(), QStringList({ "Order new line", "Renew both licences", "Boat show" }));

        cmd("cmdEdit")->click();
        QTest::keyClicks(text1(), "Something else");
        cmd("cmdUndo")->click();
        QCOMPARE(text1()->toPlainText(), "Renew both licences");
        QVERIFY(!text1()->textCursor().hasSelection());
        QCOMPARE(test::storedTexts().at(1), "Renew both licences");
    }

    // A write that fails is reported, never called saved: the form stays in
    // edit mode with the entry pending, and saves once the file takes it.
    void failedWriteIsReported()
    {
        open();
        QVERIFY(test::refuseWrites("refuse", "INSERT", "Reminder", "disk is full"));
        cmd("cmdAdd")->click();
        QTest::keyClicks(text1(), "Call the marina");
        msgs->expect();
        cmd("cmdSave")->click();
        QCOMPARE(msgs->shown.size(), 1);
        QVERIFY(msgs->last().text.contains("disk is full"));
        QVERIFY(msgs->last().text != "Information has been Saved !");
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QVERIFY(w->form()->isEditing());
        QCOMPARE(text1()->toPlainText(), "Call the marina");
        QCOMPARE(w->reminders().editMode(), RecordSource::EditMode::Add);
        QCOMPARE(count(), "3 Reminders are saved.");
        QCOMPARE(test::storedTexts().size(), 3);

        QVERIFY(test::execAsWritten(
            test::onServer() ? "DROP TRIGGER refuse ON \"Reminder\"" : "DROP TRIGGER refuse"));
        msgs->expect();
        cmd("cmdSave")->click();
        QCOMPARE(msgs->last().text, "Information has been Saved !");
        QCOMPARE(test::storedTexts().constLast(), "Call the marina");
    }

    // Long texts, every kind of quote and line break: saved and read back
    // exactly.
    void awkwardTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("100,000 characters") << QString(100000, QLatin1Char('x')).replace(99999, 1, "!");
        QTest::newRow("quotes") << QString::fromUtf8(
            "It's \"Ann's\" `boat` \u2018new\u2019 \u201cline\u201d; --");
        QTest::newRow("line breaks") << "first line\nsecond line\n\n\tindented\nlast";
        QTest::newRow("blank") << " ";
    }
    void awkwardTexts()
    {
        QFETCH(QString, text);
        open();
        cmd("cmdAdd")->click();
        text1()->setPlainText(text);
        msgs->expect();
        cmd("cmdSave")->click();
        QCOMPARE(msgs->last().text, "Information has been Saved !");
        QCOMPARE(test::storedTexts().constLast(), text);
        QCOMPARE(text1()->toPlainText(), text);
        cmd("cmdFirst")->click();
        cmd("cmdLast")->click();
        QCOMPARE(text1()->toPlainText(), text);
    }

    // The count is rewritten each time the window becomes active.
    void countOnBecomingActive()
    {
        open();
        RecordSource writer(QStringLiteral("other"), QStringLiteral("Reminder"));
        QVERIFY(writer.AddNew());
        QVERIFY(writer.setValue(QStringLiteral("Reminder"), QStringLiteral("Fireworks trip")));
        QVERIFY(writer.Update());
        QCOMPARE(count(), "3 Reminders are saved.");
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(count(), "4 Reminders are saved.");
    }

    // The Tab key walks the window as it is read: the date, the text, the
    // menu from top to bottom, the navigation from left to right, then Close.
    void tabOrder()
    {
        open();
        const QStringList expected { "DTPicker1", "Text1", "cmdAdd", "cmdEdit", "cmdDelete", "cmdSave",
            "cmdUndo", "cmdFirst", "cmdBack", "cmdNext", "cmdLast", "cmdClose" };
        QStringList walked;
        QWidget *start = picker();
        QWidget *at = start;
        do {
            if (expected.contains(at->objectName()) && !walked.contains(at->objectName()))
                walked << at->objectName();
            at = at->nextInFocusChain();
        } while (at && at != start);
        QCOMPARE(walked, expected);
    }

    // Saving and deleting in the editor reach the reminder list, open or not.
    void listFollowsTheEditor()
    {
        QPointer<FrmReminder> list = openReminderList();
        open();
        cmd("cmdAdd")->click();
        QTest::keyClicks(text1(), "Spool new line");
        msgs->expect();
        cmd("cmdSave")->click();
        QCOMPARE(list->rows()->rowCount(), 4);
        QCOMPARE(list->rows()->rows().constLast().reminder, "Spool new line");
        QCOMPARE(test::child<QLabel>(list, "lblCount")->text(), "4 Reminders are listed.");
        msgs->expect(Answer::Yes);
        cmd("cmdDelete")->click();
        QCOMPARE(list->rows()->rowCount(), 3);

        list->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!list);
        cmd("cmdEdit")->click();
        QTest::keyClicks(text1(), "Changed while the list was closed");
        msgs->expect();
        cmd("cmdSave")->click();
        list = openReminderList();
        QStringList shown;
        for (const auto &row : list->rows()->rows())
            shown << row.reminder;
        QVERIFY(shown.contains("Changed while the list was closed"));
        QCOMPARE(shown.size(), 3);
    }
};

BM_TEST_MAIN(TestReminderForm)
#include "test_reminderform.moc"
