#include "doubles.h"
#include "reminderfixture.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "platform/windows.h"
#include "recordform/recordform.h"
#include "reminders/frmaddreminder.h"
#include "reminders/frmreminder.h"
#include "reminders/remindergrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

using namespace bm;
using platform::Icon;

namespace
{

const QString badDateMessage = "One of the Dates is not in the proper format.\n"
                               "Please check your schedule for an incorrect date.\n"
                               "Close this form and check your Bookings.";

int px(int twips, const QWidget *w)
{
    return qRound(twips * w->logicalDpiX() / 1440.0);
}

QStringList shownTexts(const FrmReminder *list)
{
    QStringList texts;
    for (const auto &row : list->rows()->rows())
        texts << row.reminder;
    return texts;
}

} // namespace

class TestReminderList : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    QPointer<FrmReminder> w;
    std::unique_ptr<QAbstractItemModelTester> rowsTester; // every change of the rows checked

    void open()
    {
        w = openReminderList();
        QVERIFY(QTest::qWaitForWindowActive(w));
        rowsTester = std::make_unique<QAbstractItemModelTester>(
            w->rows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    QPushButton *cmd(const char *name) const { return test::child<QPushButton>(w, name); }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        test::fillReminders(test::threeReminders());
    }
    void cleanup()
    {
        rowsTester.reset();
        test::deleteWindows();
        QCOMPARE(msgs->pending(), 0);
        msgs.reset();
    }

    void layout()
    {
        open();
        QCOMPARE(w->windowTitle(), "Reminders");
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(test::child<QLabel>(w, "lblCount")->text(), "3 Reminders are listed.");
        QTableView *grid = w->grid();
        QCOMPARE(grid->verticalHeader()->width(), px(300, w));
        QCOMPARE(grid->columnWidth(1), px(5000, w));
        QCOMPARE(grid->verticalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
        QCOMPARE(grid->model()->index(1, 0).data().toString(), "12/30/2005");
        QCOMPARE(grid->model()->index(1, 1).data().toString(), "Renew the licence");
    }

    // Dates are sorted as dates, earliest first; rows of one day keep their
    // order; a date that can not be read stops the sort and leaves the rows.
    void sort_data()
    {
        QTest::addColumn<QVariantList>("stored"); // the Date values as stored
        QTest::addColumn<QStringList>("expected"); // the texts after Sort; empty: refused
        QTest::newRow("across a year end")
            << QVariantList { "2006-01-03", "2005-12-30", "2006-02-14" } << QStringList { "r1", "r0", "r2" };
        QTest::newRow("not as text") << QVariantList { "2006-10-02", "2006-09-30", "2006-01-10" }
                                     << QStringList { "r2", "r1", "r0" };
        QTest::newRow("same day keeps order") << QVariantList { "2006-05-14", "2001-01-01", "2006-05-14",
            "2006-05-14" } << QStringList { "r1", "r0", "r2", "r3" };
        QTest::newRow("already sorted")
            << QVariantList { "1999-12-31", "2000-01-01" } << QStringList { "r0", "r1" };
        QTest::newRow("unreadable date")
            << QVariantList { "2006-01-03", "next spring", "2005-12-30" } << QStringList {};
        QTest::newRow("no date") << QVariantList { "2006-01-03", QVariant(), "2005-12-30" } << QStringList {};
    }
    void sort()
    {
        QFETCH(QVariantList, stored);
        QFETCH(QStringList, expected);
        test::fillReminders({});
        QStringList inOrder;
        for (int i = 0; i < stored.size(); ++i) {
            inOrder << QStringLiteral("r%1").arg(i);
            test::insertRaw(stored[i], inOrder.constLast());
        }
        open();
        QCOMPARE(shownTexts(w), inOrder);
        if (expected.isEmpty())
            msgs->expect();
        cmd("cmdSort")->click();
        if (expected.isEmpty()) {
            QCOMPARE(msgs->shown.size(), 1);
            QCOMPARE(msgs->last().text, badDateMessage);
            QCOMPARE(msgs->last().icon, Icon::Critical);
            QCOMPARE(msgs->last().caption, "Brindlemoor");
            QCOMPARE(shownTexts(w), inOrder);
        } else {
            QVERIFY(msgs->shown.isEmpty());
            QCOMPARE(shownTexts(w), expected);
        }
        // Every row is still there, and the record source kept its order.
        QCOMPARE(w->rows()->rowCount(), stored.size());
        QCOMPARE(test::storedTexts(), inOrder);
        QVERIFY(w->reminders().MoveFirst());
        QCOMPARE(w->reminders().text("Reminder"), "r0");
    }

    // After a sort, a change re-reads the rows in the record source's order.
    void rereadAfterSort()
    {
        open();
        cmd("cmdSort")->click();
        QCOMPARE(shownTexts(w), QStringList({ "Renew the licence", "Order new line", "Boat show" }));
        test::fillReminders(
            test::threeReminders() + QList<test::Reminder> { { QDate(2004, 1, 1), "Oldest" } });
        QCOMPARE(
            shownTexts(w), QStringList({ "Order new line", "Renew the licence", "Boat show", "Oldest" }));
        QCOMPARE(test::child<QLabel>(w, "lblCount")->text(), "4 Reminders are listed.");
    }

    void awkwardTextsShown()
    {
        const QString longText = QString(100000, QLatin1Char('y'));
        const QString quoted = "\"double\" 'single' `back`\nsecond line\r\nthird";
        test::fillReminders({ { QDate(2006, 1, 1), longText }, { QDate(2005, 1, 1), quoted } });
        open();
        w->grid()->verticalHeader()->resizeSection(0, 200);
        QVERIFY(!w->grid()->grab().isNull());
        cmd("cmdSort")->click();
        QCOMPARE(shownTexts(w), QStringList({ quoted, longText }));
    }

    void print()
    {
        test::FakeHub hub;
        test::RecordingReports reports;
        open();
        cmd("cmdPrint")->click();
        QCOMPARE(reports.files, QStringList { appFile("reminders.rpt") });
        QCOMPARE(reports.selections.constFirst(), Bookmark {});
    }

    // A right button released over the grid opens the one-item pop-up; its
    // item (and New) opens the editor, browsing its first reminder.
    void popupMenu_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("opens");
        QTest::newRow("right") << int(Qt::RightButton) << true;
        QTest::newRow("left") << int(Qt::LeftButton) << false;
        QTest::newRow("middle") << int(Qt::MiddleButton) << false;
    }
    void popupMenu()
    {
        QFETCH(int, button);
        QFETCH(bool, opens);
        open();
        QTest::mouseRelease(w->grid()->viewport(), Qt::MouseButton(button), {}, QPoint(40, 10));
        QCOMPARE(w->popup()->isVisible(), opens);
        if (!opens)
            return;
        QCOMPARE(w->popup()->actions().size(), 1);
        QAction *item = w->popup()->actions().constFirst();
        QCOMPARE(item->objectName(), "mnuAdd");
        QCOMPARE(item->text(), "Add or edit a Reminder");
        item->trigger();
        w->popup()->close();
        auto *editor = qobject_cast<FrmAddreminder *>(platform::findWindow("frmAddreminder"));
        QVERIFY(editor);
        QVERIFY(editor->isVisible());
        QVERIFY(!editor->form()->isEditing());
        QCOMPARE(editor->reminders().text("Reminder"), "Order new line");
    }
};

BM_TEST_MAIN(TestReminderList)
#include "test_reminderlist.moc"
