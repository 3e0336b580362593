#include "behind.h"
#include "doubles.h"
#include "recordcount.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "core/dates.h"
#include "db/database.h"
#include "db/recordsource.h"
#include "main/bookingspanel.h"
#include "main/contactspanel.h"
#include "main/frmmain.h"
#include "main/scheduleview.h"
#include "platform/windows.h"
#include "records/frmdiary.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

using namespace bm;
using platform::Answer;

namespace
{

// A window that will not close (the invoice while it is being edited).
class Stubborn : public QWidget
{
protected:
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

QString labelText(const QWidget *parent, const char *name)
{
    auto *label = parent->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

int countOf(const QString &table)
{
    RecordSource source(QStringLiteral("probe"), table);
    return test::recordCount(source);
}

void addRecord(const QString &table, const QString &field, const QVariant &value)
{
    RecordSource other(QStringLiteral("other"), table);
    QVERIFY(other.AddNew());
    QVERIFY(other.setValue(field, value));
    QVERIFY(other.Update());
}

void deleteAllDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void renameBookings(const QString &from, const QString &to)
{
    QVERIFY(test::execBehind(QStringLiteral("ALTER TABLE \"%1\" RENAME TO \"%2\"").arg(from, to)));
}

int px(int twips, const QWidget *w)
{
    return qRound(twips * w->logicalDpiX() / 1440.0);
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startsOnSchedule();
    void menus_data();
    void menus();
    void toolbar();
    void dispatch_data();
    void dispatch();

    void counts();
    void countsFollowWrites();
    void commandEnabling_data();
    void commandEnabling();
    void countsOnReturning();
    void countsAfterHiddenAndShown();
    void statusDate();
    void columnWidths();
    void scheduleOutageSaidOnce_data();
    void scheduleOutageSaidOnce();

    void help();
    void helpKeyInMainWindow();
    void topicsOfEveryWindow_data();
    void topicsOfEveryWindow();

    void shutDown_data();
    void shutDown();
    void programEnds();

private:
    QAction *menuItem(const QString &name) const { return main->findChild<QAction *>(name); }
    QWidget *visibleView() const;

    QPointer<FrmMain> main;
};

void TestFrmMain::init()
{
    test::resetDatabase();
    main = new FrmMain;
    main->show();
}

void TestFrmMain::cleanup()
{
    test::deleteWindows(main.data());
    delete main.data();
    deleteAllDeferred();
    QCOMPARE(platform::mainHub(), nullptr);
}

QWidget *TestFrmMain::visibleView() const
{
    QWidget *shown = nullptr;
    for (QWidget *view : { static_cast<QWidget *>(main->scheduleView()),
             static_cast<QWidget *>(main->bookingsPanel()), static_cast<QWidget *>(main->contactsPanel()) }) {
        if (view->isVisible()) {
            if (shown)
                return nullptr; // more than one: wrong
            shown = view;
        }
    }
    return shown;
}

void TestFrmMain::startsOnSchedule()
{
    QCOMPARE(main->objectName(), QStringLiteral("frmMain"));
    QCOMPARE(main->windowTitle(), QStringLiteral("Brindlemoor"));
    QCOMPARE(platform::mainHub(), &main->hub());
    QCOMPARE(visibleView(), main->scheduleView());
    QVERIFY(main->toolbarButton(QStringLiteral("Schedule"))->isChecked());
    QCOMPARE(main->hub().datContacts().objectName(), QStringLiteral("DatContacts"));
    QCOMPARE(main->hub().datBookings().objectName(), QStringLiteral("DatBookings"));
    QCOMPARE(main->hub().datContacts().tableName(), QStringLiteral("Phone"));
    QCOMPARE(main->hub().datBookings().tableName(), QStringLiteral("Booking"));
    QVERIFY(main->hub().datBookings().hasCurrent());
    QCOMPARE(main->hub().dlgHelp().objectName(), QStringLiteral("dlgHelp"));
    QCOMPARE(main->hub().dlgHelp().helpFile(), appFile(QStringLiteral("tallow.hlp")));
    QCOMPARE(main->hub().window(), main.data());

    QVERIFY(main->scheduleView()->grid());
    QCOMPARE(main->scheduleView()->grid()->objectName(), QStringLiteral("DBGrid1"));
    QCOMPARE(main->contactsPanel()->objectName(), QStringLiteral("PicContacts"));
    QCOMPARE(main->bookingsPanel()->objectName(), QStringLiteral("PicBookings"));

    QStatusBar *strip = main->statusBar();
    QVERIFY(strip->isVisible());
    QCOMPARE(labelText(strip, "lblHint"), QStringLiteral("Press F1 for Help"));
    QCOMPARE(labelText(strip, "lblTodaycaption"), QStringLiteral("Today's Date:"));
    // The hint at the left, the date at the right.
    auto *hint = strip->findChild<QLabel *>(QStringLiteral("lblHint"));
    auto *date = strip->findChild<QLabel *>(QStringLiteral("lblDate"));
    QVERIFY(hint->geometry().right() < date->geometry().left());
}

void TestFrmMain::menus_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("items"); // name=caption, "-" for a separator
    QTest::newRow("File") << "&File"
                          << QStringList { "mnuSchedule=Schedule", "mnuBookings=Bookings",
                                 "mnuContacts=Contacts", "-", "mnuExportCalendar=Export to Calendar...",
                                 "mnuExportCsv=Export to CSV...", "mnuImportContacts=Import Contacts...", "-",
                                 "mnuExit=Exit" };
    QTest::newRow("Utilities") << "&Utilities"
                               << QStringList { "mnuReminders=Reminders", "mnuCalendar=Calendar",
                                      "mnuGear=Fishing Gear", "mnuPatterns=Fishing Patterns",
                                      "mnuLog=Fishing Log", "mnuSeason=Season Summary",
                                      "mnuTripDay=Trip Day...", "mnuLogbook=Logbook...",
                                      "mnuAssignGuide=Assign Guide...", "mnuRequests=Requests...",
                                      "mnuOutbox=Outbox...", "mnuHistory=History...",
                                      "mnuBin=Deleted Records..." };
    QTest::newRow("Options") << "&Options"
                             << QStringList { "mnuDBOptions=Database Options", "mnuSearch=Search",
                                    "mnuGuides=Guides...", "mnuBookingPage=Booking Page...",
                                    "mnuMail=Mail...", "mnuMailTexts=Mail Texts...", "-",
                                    "mnuSharedDatabase=Shared Database...",
                                    "mnuCalendarSync=Calendar Sync..." };
    QTest::newRow("Help") << "&Help"
                          << QStringList { "mnuShowhelp=Show Help", "mnuUpdate=Check for Updates", "-",
                                 "mnuAbout=About" };
}

void TestFrmMain::menus()
{
    QFETCH(QString, title);
    QFETCH(QStringList, items);
    const QList<QAction *> bar = main->menuBar()->actions();
    QCOMPARE(bar.size(), 4);
    QMenu *menu = nullptr;
    for (QAction *a : bar) {
        if (a->text() == title)
            menu = a->menu();
    }
    QVERIFY2(menu, qPrintable(title));
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        QAction *a = actions.at(i);
        if (items.at(i) == QLatin1String("-")) {
            QVERIFY2(a->isSeparator(), qPrintable(QString::number(i)));
            continue;
        }
        const QStringList item = items.at(i).split(QLatin1Char('='));
        QCOMPARE(a->objectName(), item.at(0));
        QCOMPARE(a->text(), item.at(1));
        QVERIFY2(!a->icon().pixmap(16, 16).isNull(), qPrintable(item.at(0)));
    }
}

// The main window's commands are usable wherever they show; a record window
// it opens keeps its own commands to its mode.
void TestFrmMain::commandEnabling_data()
{
    QTest::addColumn<QString>("state"); // "browsing", or "editing" a page of the diary
    QTest::addColumn<QString>("where"); // "toolbar", "menu", "bookings panel" or "diary"
    QTest::addColumn<QString>("command"); // toolbar key or object name
    QTest::addColumn<bool>("enabled");
    // Every command of the main window can be used while no record is being edited.
    for (const char *key : { "Schedule", "Bookings", "Contacts", "Reminders", "Calendar", "Gear", "Patterns",
             "Log", "Search", "Exit" })
        QTest::newRow(key) << "browsing"
                           << "toolbar" << key << true;
    for (const char *item : { "mnuSchedule", "mnuBookings", "mnuContacts", "mnuReminders", "mnuCalendar",
             "mnuGear", "mnuPatterns", "mnuLog", "mnuSearch", "mnuExit", "mnuDBOptions", "mnuSharedDatabase",
             "mnuCalendarSync", "mnuGuides", "mnuBookingPage", "mnuMail", "mnuMailTexts", "mnuAssignGuide",
             "mnuRequests", "mnuOutbox", "mnuHistory", "mnuBin", "mnuShowhelp", "mnuUpdate", "mnuAbout" })
        QTest::newRow(item) << "browsing"
                            << "menu" << item << true;
    for (const char *name : { "cmdEditbooking", "cmdDeletebooking", "cmdAddtrip", "cmdInvoice", "cmdPictures",
             "cmdPrintbooking" })
        QTest::newRow(name) << "browsing"
                            << "bookings panel" << name << true;
    // The diary the Log command opens: while a page is being edited only Save
    // and Undo can be used; moving to another page, deleting, starting another
    // page, finding, printing or leaving wait until the edit is saved or undone.
    const QStringList browseOnly { "New", "Edit", "Delete", "First", "Back", "Next", "Last", "Find", "Print",
        "Exit" };
    for (const QString &key : browseOnly) {
        QTest::addRow("diary %s, browsing", qPrintable(key)) << "browsing"
                                                             << "diary" << key << true;
        QTest::addRow("diary %s, editing", qPrintable(key)) << "editing"
                                                            << "diary" << key << false;
    }
    for (const char *key : { "Save", "Cancel" }) {
        QTest::addRow("diary %s, browsing", key) << "browsing"
                                                 << "diary" << key << false;
        QTest::addRow("diary %s, editing", key) << "editing"
                                                << "diary" << key << true;
    }
}

void TestFrmMain::commandEnabling()
{
    QFETCH(QString, state);
    QFETCH(QString, where);
    QFETCH(QString, command);
    QFETCH(bool, enabled);
    QObject *found = nullptr;
    if (where == "toolbar") {
        found = main->toolbarButton(command);
    } else if (where == "menu") {
        found = menuItem(command);
    } else if (where == "diary") {
        main->toolbarButton(QStringLiteral("Log"))->trigger();
        auto *diary = qobject_cast<FrmDiary *>(platform::findWindow(QStringLiteral("frmDiary")));
        QVERIFY(diary);
        if (state == "editing") {
            QAction *edit = diary->findChild<QAction *>(QStringLiteral("tbEdit"));
            QVERIFY(edit);
            auto *button = qobject_cast<QToolButton *>(diary->toolbar()->widgetForAction(edit));
            QVERIFY(button);
            button->click();
            QVERIFY(diary->form()->isEditing());
        }
        found = diary->findChild<QAction *>(QStringLiteral("tb") + command);
    } else {
        found = main->bookingsPanel()->findChild<QPushButton *>(command);
    }
    QVERIFY2(found, qPrintable(command));
    if (auto *a = qobject_cast<QAction *>(found))
        QCOMPARE(a->isEnabled(), enabled);
    else
        QCOMPARE(qobject_cast<QWidget *>(found)->isEnabled(), enabled);
}

// Another window's write reaches the counts and the lists at once, through
// the data layer: nobody asks the main window to rewrite them.
void TestFrmMain::countsFollowWrites()
{
    const int contacts = countOf(QStringLiteral("Phone"));
    const int bookings = countOf(QStringLiteral("Booking"));
    RecordSource other(QStringLiteral("other"), QStringLiteral("Phone"));
    QVERIFY(other.AddNew());
    QVERIFY(other.setValue(QStringLiteral("Name"), QStringLiteral("Ada Angler")));
    QVERIFY(other.Update());
    RecordSource trips(QStringLiteral("trips"), QStringLiteral("Booking"));
    QVERIFY(trips.AddNew());
    QVERIFY(trips.setValue(QStringLiteral("Date"), QDate(2026, 6, 1)));
    QVERIFY(trips.Update());
    QCOMPARE(labelText(main->contactsPanel(), "lblContactcount"),
        QString::number(contacts + 1) + QStringLiteral(" Contacts are Saved"));
    QCOMPARE(labelText(main->scheduleView(), "lblTripcount"),
        QString::number(bookings + 1) + QStringLiteral(" Trips are Scheduled"));
    QCOMPARE(labelText(main->bookingsPanel(), "lblBookingcount"),
        QString::number(bookings + 1) + QStringLiteral(" Bookings are Saved"));
    QCOMPARE(main->scheduleView()->grid()->model()->rowCount(), bookings + 1);
    QCOMPARE(main->contactsPanel()->names()->count(), contacts + 1);
}

void TestFrmMain::toolbar()
{
    QToolBar *bar = main->toolbar();
    QCOMPARE(bar->objectName(), QStringLiteral("Toolbar1"));
    const QStringList expected { "-", "-", "Schedule=Scheduled Trips", "Bookings=Booking Information",
        "Contacts=Contact Information", "-", "Reminders=Show Reminders", "Calendar=View the Calendar", "-",
        "Gear=Equipment Log", "Patterns=Fishing Patterns", "Log=Fishing Log", "-", "Search=Search Bookings",
        "Exit=Close Program" };
    const QList<QAction *> actions = bar->actions();
    QCOMPARE(actions.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QAction *a = actions.at(i);
        if (expected.at(i) == QLatin1String("-")) {
            QVERIFY2(a->isSeparator(), qPrintable(QString::number(i)));
            continue;
        }
        const QStringList button = expected.at(i).split(QLatin1Char('='));
        QCOMPARE(a->text(), button.at(0));
        QCOMPARE(a->data().toString(), button.at(0));
        QCOMPARE(a->toolTip(), button.at(1));
        QVERIFY2(!a->icon().pixmap(32, 32).isNull(), qPrintable(button.at(0)));
        QCOMPARE(main->toolbarButton(button.at(0)), a);
        // Only the three view buttons stay pressed.
        const bool view = i >= 2 && i <= 4;
        QCOMPARE(a->isCheckable(), view);
    }
    QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
}

void TestFrmMain::dispatch_data()
{
    QTest::addColumn<QString>("before"); // the view shown first
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<QString>("command"); // toolbar key or menu item name
    QTest::addColumn<QString>("view"); // the view then shown
    QTest::addColumn<QString>("pressed");
    for (const QString &before :
        { QStringLiteral("Schedule"), QStringLiteral("Bookings"), QStringLiteral("Contacts") }) {
        const QByteArray from = before.toLatin1();
        QTest::newRow(from + ", toolbar Schedule") << before << false << "Schedule"
                                                   << "ScheduleView"
                                                   << "Schedule";
        QTest::newRow(from + ", toolbar Bookings") << before << false << "Bookings"
                                                   << "PicBookings"
                                                   << "Bookings";
        QTest::newRow(from + ", toolbar Contacts") << before << false << "Contacts"
                                                   << "PicContacts"
                                                   << "Contacts";
        QTest::newRow(from + ", menu Schedule") << before << true << "mnuSchedule"
                                                << "ScheduleView"
                                                << "Schedule";
        QTest::newRow(from + ", menu Bookings") << before << true << "mnuBookings"
                                                << "PicBookings"
                                                << "Bookings";
        QTest::newRow(from + ", menu Contacts") << before << true << "mnuContacts"
                                                << "PicContacts"
                                                << "Contacts";
        // Another window asks the hub to show a booking.
        QTest::newRow(from + ", a booking shown") << before << false << "showBooking"
                                                  << "PicBookings"
                                                  << "Bookings";
    }
}

// Switching views moves no record; the pressed button follows the view
// whether the toolbar or the menu chose it.
void TestFrmMain::dispatch()
{
    QFETCH(QString, before);
    QFETCH(bool, fromMenu);
    QFETCH(QString, command);
    QFETCH(QString, view);
    QFETCH(QString, pressed);
    main->toolbarButton(before)->trigger();
    QVERIFY(main->hub().datContacts().MoveLast());
    const Bookmark contact = main->hub().datContacts().bookmark();

    if (command == QLatin1String("showBooking")) {
        QVERIFY(main->hub().datBookings().MoveLast());
        const Bookmark booking = main->hub().datBookings().bookmark();
        QVERIFY(main->hub().datBookings().MoveFirst());
        QVERIFY(main->hub().showBooking(booking));
        QCOMPARE(main->hub().datBookings().bookmark(), booking);
    } else {
        QAction *action = fromMenu ? menuItem(command) : main->toolbarButton(command);
        QVERIFY(action);
        action->trigger();
    }

    QVERIFY(visibleView());
    QCOMPARE(visibleView()->objectName(), view);
    for (const QString &key :
        { QStringLiteral("Schedule"), QStringLiteral("Bookings"), QStringLiteral("Contacts") })
        QCOMPARE(main->toolbarButton(key)->isChecked(), key == pressed);
    QCOMPARE(main->hub().datContacts().bookmark(), contact);
}

void TestFrmMain::counts()
{
    const int contacts = countOf(QStringLiteral("Phone"));
    const int bookings = countOf(QStringLiteral("Booking"));
    QCOMPARE(labelText(main->contactsPanel(), "lblContactcount"),
        QString::number(contacts) + QStringLiteral(" Contacts are Saved"));
    QCOMPARE(labelText(main->scheduleView(), "lblTripcount"),
        QString::number(bookings) + QStringLiteral(" Trips are Scheduled"));
    QCOMPARE(labelText(main->bookingsPanel(), "lblBookingcount"),
        QString::number(bookings) + QStringLiteral(" Bookings are Saved"));

    // Another window writes; the main window follows the write.
    addRecord(QStringLiteral("Phone"), QStringLiteral("Name"), QStringLiteral("Ada Angler"));
    QCOMPARE(labelText(main->contactsPanel(), "lblContactcount"),
        QString::number(contacts + 1) + QStringLiteral(" Contacts are Saved"));
    addRecord(QStringLiteral("Phone"), QStringLiteral("Name"), QStringLiteral("Bo Bass"));
    addRecord(QStringLiteral("Booking"), QStringLiteral("Date"), QDate(2026, 6, 1));
    main->becomeActive();
    QCOMPARE(labelText(main->contactsPanel(), "lblContactcount"),
        QString::number(contacts + 2) + QStringLiteral(" Contacts are Saved"));
    QCOMPARE(labelText(main->scheduleView(), "lblTripcount"),
        QString::number(bookings + 1) + QStringLiteral(" Trips are Scheduled"));
    QCOMPARE(labelText(main->bookingsPanel(), "lblBookingcount"),
        QString::number(bookings + 1) + QStringLiteral(" Bookings are Saved"));
}

// Coming back from another window of the program rewrites the counts.
void TestFrmMain::countsOnReturning()
{
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    auto *other = new QWidget;
    other->show();
    other->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(other));
    const int bookings = countOf(QStringLiteral("Booking"));
    addRecord(QStringLiteral("Booking"), QStringLiteral("Date"), QDate(2026, 7, 4));
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    QCOMPARE(labelText(main->scheduleView(), "lblTripcount"),
        QString::number(bookings + 1) + QStringLiteral(" Trips are Scheduled"));
    QCOMPARE(labelText(main->bookingsPanel(), "lblBookingcount"),
        QString::number(bookings + 1) + QStringLiteral(" Bookings are Saved"));
}

// What the gear window does: hide the main window, and show it again when it
// closes. The view and the positions are kept; the counts are new.
void TestFrmMain::countsAfterHiddenAndShown()
{
    main->toolbarButton(QStringLiteral("Contacts"))->trigger();
    QVERIFY(main->hub().datContacts().MoveLast());
    const Bookmark contact = main->hub().datContacts().bookmark();
    const int contacts = countOf(QStringLiteral("Phone"));
    platform::mainHub()->window()->hide();
    addRecord(QStringLiteral("Phone"), QStringLiteral("Name"), QStringLiteral("Cy Crappie"));
    platform::mainHub()->window()->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    QCOMPARE(visibleView(), main->contactsPanel());
    QCOMPARE(main->hub().datContacts().bookmark(), contact);
    QCOMPARE(labelText(main->contactsPanel(), "lblContactcount"),
        QString::number(contacts + 1) + QStringLiteral(" Contacts are Saved"));
}

void TestFrmMain::statusDate()
{
    test::FakeClock clock(QDate(2005, 5, 14));
    main->becomeActive();
    QCOMPARE(labelText(main->statusBar(), "lblDate"), shortDate(QDate(2005, 5, 14)));
    QCOMPARE(labelText(main->statusBar(), "lblDate"), QStringLiteral("5/14/2005"));
    clock.date = QDate(2005, 5, 15);
    QCOMPARE(labelText(main->statusBar(), "lblDate"), QStringLiteral("5/14/2005"));
    main->becomeActive();
    QCOMPARE(labelText(main->statusBar(), "lblDate"), QStringLiteral("5/15/2005"));
}

void TestFrmMain::columnWidths()
{
    QTableView *grid = main->scheduleView()->grid();
    QStandardItemModel model(3, 7);
    grid->setModel(&model);
    main->becomeActive();
    QCOMPARE(grid->verticalHeader()->width(), px(300, grid));
    const int widths[] = { 1200, 3000, 2000, 3000 };
    for (int i = 0; i < 4; ++i)
        QCOMPARE(grid->columnWidth(i), px(widths[i], grid));
    const int fifth = grid->columnWidth(4);

    // A hidden key column is no data column: the widths go to the shown ones.
    grid->setColumnHidden(0, true);
    grid->setColumnWidth(1, 10);
    main->becomeActive();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(grid->columnWidth(i + 1), px(widths[i], grid));
    QCOMPARE(grid->columnWidth(5), fifth);
    grid->setModel(nullptr);
}

void TestFrmMain::help()
{
    test::RecordingHelp viewer;
    menuItem(QStringLiteral("mnuShowhelp"))->trigger();
    QCOMPARE(viewer.topics, QList<int> { 10 });
    QCOMPARE(viewer.files, QStringList { appFile(QStringLiteral("tallow.hlp")) });
    // The main window stays as it was.
    QVERIFY(main->isVisible());
    QCOMPARE(visibleView(), main->scheduleView());
}

void TestFrmMain::helpKeyInMainWindow()
{
    test::RecordingHelp viewer;
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    main->toolbarButton(QStringLiteral("Bookings"))->trigger();
    main->scheduleView()->grid()->setFocus();
    QTest::keyClick(main, Qt::Key_F1);
    QCOMPARE(viewer.topics, QList<int> { 0 });
    // After the contents, a Help command shows its topic again.
    menuItem(QStringLiteral("mnuShowhelp"))->trigger();
    QCOMPARE(viewer.topics, (QList<int> { 0, 10 }));
}

void TestFrmMain::topicsOfEveryWindow_data()
{
    QTest::addColumn<QString>("number");
    for (const char *n : { "10", "400", "1200", "2200", "2300", "2600", "2700", "2800", "3000", "3200",
             "3300", "3400", "3600", "3700", "3800", "3900", "4000" })
        QTest::newRow(n) << n;
}

// Every other window's Help command goes through the main window's dlgHelp.
void TestFrmMain::topicsOfEveryWindow()
{
    QFETCH(QString, number);
    test::RecordingHelp viewer;
    platform::showHelpTopic(QStringLiteral("2600"));
    platform::showHelpTopic(number);
    QCOMPARE(viewer.topics, (QList<int> { 2600, number.toInt() }));
    QCOMPARE(main->hub().dlgHelp().helpContext(), number.toInt());
    QCOMPARE(viewer.files.constLast(), appFile(QStringLiteral("tallow.hlp")));
}

void TestFrmMain::shutDown_data()
{
    QTest::addColumn<int>("route");
    QTest::addColumn<Answer>("answer");
    const char *routes[] = { "toolbar Exit", "menu Exit", "close box" };
    for (int r = 0; r < 3; ++r) {
        QTest::newRow(QByteArray(routes[r]) + ", No") << r << Answer::No;
        QTest::newRow(QByteArray(routes[r]) + ", Yes") << r << Answer::Yes;
    }
}

// Any route asks the one question; either answer closes every window that
// lets itself be closed, then the main window, which is discarded.
void TestFrmMain::shutDown()
{
    QFETCH(int, route);
    QFETCH(Answer, answer);
    test::ScriptedMessages boxes;
    QPointer<QWidget> calendar = new QWidget;
    calendar->setObjectName(QStringLiteral("frmCalendar"));
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    calendar->show();
    auto *invoice = new Stubborn;
    invoice->setObjectName(QStringLiteral("frmInvoice"));
    invoice->show();
    QPointer<QWidget> search = new QWidget;
    search->setObjectName(QStringLiteral("frmFind"));
    search->setAttribute(Qt::WA_DeleteOnClose);
    search->show();

    boxes.expect(answer);
    switch (route) {
    case 0:
        main->toolbarButton(QStringLiteral("Exit"))->trigger();
        break;
    case 1:
        menuItem(QStringLiteral("mnuExit"))->trigger();
        break;
    default:
        main->close();
        break;
    }
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.last().text, QStringLiteral("Do you want to backup the Database ?"));
    QCOMPARE(boxes.last().caption, QStringLiteral("Close Program"));
    QCOMPARE(boxes.last().icon, platform::Icon::Question);
    QCOMPARE(boxes.last().buttons, platform::Buttons::YesNo);

    // The window that refused is skipped; the one after it still closes.
    QVERIFY(invoice->isVisible());
    deleteAllDeferred();
    QVERIFY(calendar.isNull());
    QVERIFY(search.isNull());
    QVERIFY(main.isNull());
    QCOMPARE(platform::mainHub(), nullptr);
    delete invoice;
}

void TestFrmMain::programEnds()
{
    test::ScriptedMessages boxes;
    auto *log = new QWidget;
    log->setAttribute(Qt::WA_DeleteOnClose);
    log->show();
    boxes.expect(Answer::No);
    main->close();
    deleteAllDeferred();
    QVERIFY(main.isNull());
    // With no window left shown the program ends.
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(QApplication::quitOnLastWindowClosed());
}

// Bookings that can no longer be read are said in a box once for the outage,
// not once per attempt; the next outage is said again.
void TestFrmMain::scheduleOutageSaidOnce_data()
{
    QTest::addColumn<QString>("sort");
    QTest::newRow("by date") << "cmdDate";
    QTest::newRow("by lake") << "cmdLake";
}

void TestFrmMain::scheduleOutageSaidOnce()
{
    QFETCH(QString, sort);
    auto *button = main->scheduleView()->findChild<QPushButton *>(sort);
    QVERIFY(button);
    test::ScriptedMessages boxes;
    const QString missing = test::missingTable(QStringLiteral("Booking"));
    for (int outage = 1; outage <= 2; ++outage) {
        renameBookings(QStringLiteral("Booking"), QStringLiteral("Booking away"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(missing)));
        boxes.expect();
        button->click();
        QTRY_COMPARE(boxes.shown.size(), outage);
        QVERIFY2(boxes.last().text.contains(missing), qPrintable(boxes.last().text));
        QCOMPARE(boxes.last().icon, platform::Icon::Exclamation);
        button->click(); // the same outage: no second box
        QTest::qWait(20);
        QCOMPARE(boxes.shown.size(), outage);
        renameBookings(QStringLiteral("Booking away"), QStringLiteral("Booking"));
        button->click();
        QTest::qWait(20);
        QCOMPARE(boxes.shown.size(), outage);
    }
}

BM_TEST_MAIN(TestFrmMain)
#include "test_frmmain.moc"
