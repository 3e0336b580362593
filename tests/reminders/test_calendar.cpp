#include "doubles.h"
#include "reminderfixture.h"
#include "testenv.h"

#include "bookings/frmbooking.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "recordform/datepicker.h"
#include "recordform/recordform.h"
#include "reminders/frmaddreminder.h"
#include "reminders/frmcalendar.h"
#include "reminders/frmreminder.h"
#include "reminders/remindergrid.h"

#include <QAction>
#include <QCalendarWidget>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

using namespace bm;

class TestCalendar : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    std::unique_ptr<test::FakeClock> clock;
    QPointer<FrmCalendar> w;

    void open()
    {
        w = openCalendarWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    void choose(const QDate &date)
    {
        w->monthView()->setSelectedDate(date);
        QCOMPARE(w->chosenDate(), date);
    }
    QPushButton *cmd(const char *name) const { return test::child<QPushButton>(w, name); }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        clock = std::make_unique<test::FakeClock>(QDate(2026, 3, 9));
        test::fillReminders(test::threeReminders());
    }
    void cleanup()
    {
        test::deleteWindows();
        QCOMPARE(msgs->pending(), 0);
        msgs.reset();
        clock.reset();
    }

    void opensOnToday()
    {
        open();
        QCOMPARE(w->windowTitle(), " Calendar");
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w->chosenDate(), QDate(2026, 3, 9));
        QCOMPARE(w->monthView()->monthShown(), 3);
        cmd("cmdClose")->click();
        QVERIFY(!w->isVisible());
    }

    void days_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::newRow("14 May") << QDate(2026, 5, 14);
        QTest::newRow("leap day") << QDate(2028, 2, 29);
        QTest::newRow("year end") << QDate(2026, 12, 31);
        QTest::newRow("a past day") << QDate(2005, 12, 30);
    }

    // A new booking with both dates on the chosen day; the calendar goes.
    void scheduleBooking_data() { days_data(); }
    void scheduleBooking()
    {
        QFETCH(QDate, day);
        open();
        choose(day);
        cmd("cmdBooking")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w);
        auto *booking = qobject_cast<FrmBooking *>(platform::findWindow("frmBooking"));
        QVERIFY(booking);
        QVERIFY(booking->isVisible());
        QCOMPARE(booking->windowTitle(), "Add a new Booking");
        QCOMPARE(booking->booking().editMode(), RecordSource::EditMode::Add);
        QCOMPARE(test::child<DatePicker>(booking, "DTPicker1")->value(), day);
        QCOMPARE(test::child<DatePicker>(booking, "DTPicker2")->value(), day);
    }

    // A new reminder on the chosen day, in edit mode with the focus in its
    // empty text; Cancel there drops it, Save keeps the day.
    void scheduleReminder_data() { days_data(); }
    void scheduleReminder()
    {
        QFETCH(QDate, day);
        open();
        choose(day);
        cmd("cmdReminder")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w);
        auto *editor = qobject_cast<FrmAddreminder *>(platform::findWindow("frmAddreminder"));
        QVERIFY(editor);
        QVERIFY(QTest::qWaitForWindowActive(editor));
        auto *text = test::child<QPlainTextEdit>(editor, "Text1");
        auto *picker = test::child<DatePicker>(editor, "DTPicker1");
        QVERIFY(editor->form()->isEditing());
        QCOMPARE(picker->value(), day);
        QVERIFY(picker->isEnabled());
        QCOMPARE(text->toPlainText(), "");
        QVERIFY(text->hasFocus());
        QVERIFY(!text->isReadOnly());
        QVERIFY(!test::child<QPushButton>(editor, "cmdClose")->isEnabled());
        QVERIFY(!test::child<QGroupBox>(editor, "Frame1")->isEnabled());
        QVERIFY(test::child<QLabel>(editor, "lblNotice")->isVisible());

        test::child<QPushButton>(editor, "cmdUndo")->click();
        QVERIFY(!editor->form()->isEditing());
        QCOMPARE(test::storedTexts().size(), 3);
        QCOMPARE(text->toPlainText(), "Order new line");

        // Once more, saved this time.
        open();
        choose(day);
        cmd("cmdReminder")->click();
        QTest::keyClicks(text, "Meet the Lees");
        msgs->expect();
        test::child<QPushButton>(editor, "cmdSave")->click();
        RecordSource stored(QStringLiteral("read"), QStringLiteral("Reminder"));
        QVERIFY(stored.MoveLast());
        QCOMPARE(stored.text("Reminder"), "Meet the Lees");
        QCOMPARE(stored.value("Date").toDate(), day);
    }

    // An entry the editor already holds is not thrown away by the calendar.
    void reminderKeepsPendingEntry()
    {
        FrmAddreminder *editor = openReminderEditor();
        test::child<QPushButton>(editor, "cmdAdd")->click();
        auto *text = test::child<QPlainTextEdit>(editor, "Text1");
        QTest::keyClicks(text, "Half written");
        open();
        choose(QDate(2026, 8, 1));
        cmd("cmdReminder")->click();
        QVERIFY(w);
        QVERIFY(editor->form()->isEditing());
        QCOMPARE(text->toPlainText(), "Half written");
        QCOMPARE(test::child<DatePicker>(editor, "DTPicker1")->value(), QDate(2026, 3, 9));
    }

    // The main window's toolbar buttons and menu items open the windows,
    // each once.
    void mainWindowCommands_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("window");
        QTest::newRow("toolbar Reminders") << false << "Reminders"
                                           << "frmReminder";
        QTest::newRow("toolbar Calendar") << false << "Calendar"
                                          << "frmCalendar";
        QTest::newRow("menu Reminders") << true << "mnuReminders"
                                        << "frmReminder";
        QTest::newRow("menu Calendar") << true << "mnuCalendar"
                                       << "frmCalendar";
    }
    void mainWindowCommands()
    {
        QFETCH(bool, fromMenu);
        QFETCH(QString, command);
        QFETCH(QString, window);
        QPointer<FrmMain> main = new FrmMain;
        main->show();
        QAction *action = fromMenu ? main->findChild<QAction *>(command) : main->toolbarButton(command);
        QVERIFY(action);
        action->trigger();
        action->trigger();
        int shown = 0;
        for (QWidget *t : QApplication::topLevelWidgets())
            shown += t->objectName() == window && t->isVisible();
        QCOMPARE(shown, 1);
        QVERIFY(main->isVisible());
        delete main;
    }
};

BM_TEST_MAIN(TestCalendar)
#include "test_calendar.moc"
