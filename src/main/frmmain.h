#pragma once

#include "db/rights.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/report.h"

#include <QDate>
#include <QHash>
#include <QMainWindow>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QStackedWidget;
class QToolBar;

namespace bm
{
class ScheduleView;
class ContactsPanel;
class BookingsPanel;

// The main window: the three views of the current contact and booking, the
// commands that open every other window, and the backup question at
// shut-down. What it shares with the other windows is its hub.
class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmMain(QWidget *parent = nullptr);

    platform::MainHub &hub() const { return *m_hub; }

    // What happens each time the window becomes the active window: today's
    // date, the three counts, the schedule grid's column widths.
    void becomeActive();

    // Utilities > Season Summary: the season at a glance.
    void openSeasonSummary();
    // Utilities > Trip Day: the moon and sun of the current booking's day.
    void openTripDay();
    // Utilities > Logbook: the state's logbook of a month.
    void openLogbook();
    // Utilities > Assign Guide: the guide of the current booking.
    void openAssignGuide();
    // Options > Guides: the lodge's roster of guides.
    void openGuides();
    // Options > Booking Page: what the booking page offers clients.
    void openBookingPage();
    // Options > Mail: the mail server and the sender the clients see.
    void openMail();
    void openCalendarSync();
    // Options > Mail Texts: what each kind of mail the program sends says.
    void openMailTexts();
    // Utilities > Requests: the trips clients asked for, to be answered.
    void openRequests();
    void openOutbox();
    // Utilities > History: what happened to the current booking, or to the
    // current contact while the contacts show.
    void openHistory();
    // Utilities > Deleted Records: the bin, to bring a record back.
    void openBin();

    // A click on a toolbar button, dispatched on its key ("Schedule").
    void toolbarClick(const QString &key);

    // File menu: trips and reminders out to a calendar file, a table out to
    // a CSV file, contacts in from a CSV or vCard file.
    void exportCalendar();
    void exportCsv();
    void importContacts();

    ScheduleView *scheduleView() const { return m_schedule; }
    ContactsPanel *contactsPanel() const { return m_contacts; }
    BookingsPanel *bookingsPanel() const { return m_bookings; }
    QToolBar *toolbar() const { return m_toolbar; }
    // The toolbar button with this key, or nullptr.
    QAction *toolbarButton(const QString &key) const { return m_buttons.value(key); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    enum class View { Schedule, Bookings, Contacts };

    // One command of the window, made into a toolbar button, a menu item or
    // both.
    struct Command {
        QString key; // the toolbar button's key and caption; empty: menu only
        QString item; // the menu item's name; empty: toolbar only
        QString caption; // the menu item's caption
        QString tooltip; // the toolbar button's
        QString icon;
        void (FrmMain::*handler)();
        // Whether the desk's rights allow the command; none: every desk's.
        bool (db::Rights::*allowed)() const = nullptr;
    };
    static const QList<Command> &commands();
    static const Command *commandByKey(const QString &key);

    void buildMenus();
    void buildToolbar();
    void buildStatusStrip();
    void run(const Command &command, bool fromMenu);

    void showView(View view);
    void viewSchedule();
    void viewBookings();
    void viewContacts();
    void exitProgram();
    void pressButton(const QString &key);
    void setColumnWidths();

    // The windows the main window opens, one command each.
    void openReminders();
    void openCalendar();
    void openGear();
    void openPatterns();
    void openLog();
    void openSearch();
    void openDatabaseOptions();
    void openSharedDatabase();
    void openUpdate();
    void openAbout();
    void openDatabaseUtilities();
    void showHelp();
    void showHelpContents();

    // Adds the reminder to send the state's logbook of the month just ended,
    // once a day at most; this desk remembers the month it planned last
    // (logbook.ini in the data folder), so a reminder the guide deleted
    // stays deleted.
    void planLogbookReminder();

    // Closes every other window of the program; one that refuses stays.
    void closeOtherWindows();

    platform::MainHub *m_hub;

    QToolBar *m_toolbar = nullptr;
    QActionGroup *m_viewGroup = nullptr;
    QHash<QString, QAction *> m_buttons;
    QStackedWidget *m_views = nullptr;
    ScheduleView *m_schedule = nullptr;
    ContactsPanel *m_contacts = nullptr;
    BookingsPanel *m_bookings = nullptr;
    QLabel *m_date = nullptr;
    bool m_closing = false;
    QDate m_reminderDay; // the day the logbook's reminder was planned on
};

} // namespace bm
