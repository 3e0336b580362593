#include "main/frmmain.h"
#include "platform/twips.h"

#include "bookings/frmassignguide.h"
#include "bookings/frmbin.h"
#include "bookings/frmhistory.h"
#include "bookings/frmlogbook.h"
#include "bookings/frmoutbox.h"
#include "bookings/frmrequests.h"
#include "bookings/frmseason.h"
#include "bookings/frmtripday.h"
#include "core/apppaths.h"
#include "core/dates.h"
#include "db/recordsource.h"
#include "domain/logbook.h"
#include "gear/frmfgear.h"
#include "main/bookingspanel.h"
#include "main/contactspanel.h"
#include "main/exchangedialogs.h"
#include "main/scheduleview.h"
#include "maintenance/frmabout.h"
#include "maintenance/frmdbutility.h"
#include "maintenance/frmshareddatabase.h"
#include "maintenance/frmupdate.h"
#include "platform/failures.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/windows.h"
#include "records/frmdiary.h"
#include "records/frmfind.h"
#include "records/frmpatterns.h"
#include "reminders/frmcalendar.h"
#include "reminders/frmreminder.h"
#include "setup/frmbookingpage.h"
#include "setup/frmcalendarsync.h"
#include "setup/frmguides.h"
#include "setup/frmmail.h"
#include "setup/frmmailtexts.h"
#include "setup/frmsetup.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

namespace bm
{

namespace
{

// An icon of the program's set, in its three sizes.
QIcon programIcon(const QString &name)
{
    QIcon icon;
    for (int size : { 16, 22, 32 })
        icon.addFile(QStringLiteral(":/icons/%1/%2.png").arg(size).arg(name), QSize(size, size));
    return icon;
}

} // namespace

FrmMain::FrmMain(QWidget *parent)
    : QMainWindow(parent)
    , m_hub(new platform::MainHub(this, this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Brindlemoor"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_views = new QStackedWidget(this);
    m_views->setObjectName(QStringLiteral("views"));
    m_schedule = new ScheduleView(m_hub->datBookings(), m_views);
    // The Guide column comes and goes with the roster: the widths follow.
    connect(m_schedule, &ScheduleView::columnsChanged, this, &FrmMain::setColumnWidths);
    m_contacts = new ContactsPanel(m_hub->datContacts(), m_views);
    m_bookings = new BookingsPanel(m_hub->datBookings(), m_views);
    m_views->addWidget(m_schedule);
    m_views->addWidget(m_contacts);
    m_views->addWidget(m_bookings);
    setCentralWidget(m_views);

    buildMenus();
    buildToolbar();
    buildStatusStrip();

    // The logbook's reminder at start, and when the day turns while the
    // program runs.
    QTimer::singleShot(0, this, &FrmMain::planLogbookReminder);
    auto *dayWatch = new QTimer(this);
    dayWatch->setObjectName(QStringLiteral("tmrDay"));
    connect(dayWatch, &QTimer::timeout, this, &FrmMain::planLogbookReminder);
    dayWatch->start(10 * 60 * 1000);

    // F1 opens the help file at its contents.
    auto *contents = new QAction(this);
    contents->setObjectName(QStringLiteral("helpContents"));
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    contents->setShortcutContext(Qt::WindowShortcut);
    connect(contents, &QAction::triggered, this, &FrmMain::showHelpContents);
    addAction(contents);

    // Another window's request for the bookings panel comes as if from the
    // menu.
    connect(m_hub, &platform::MainHub::bookingsPanelWanted, this,
        [this] { run(*commandByKey(QStringLiteral("Bookings")), true); });

    showView(View::Schedule);
    resize(980, 700);
}

// The commands, in the order of the toolbar where they are on it.
const QList<FrmMain::Command> &FrmMain::commands()
{
    static const QList<Command> table {
        { "Schedule", "mnuSchedule", "Schedule", "Scheduled Trips", "x-office-spreadsheet",
            &FrmMain::viewSchedule },
        { "Bookings", "mnuBookings", "Bookings", "Booking Information", "x-office-document",
            &FrmMain::viewBookings },
        { "Contacts", "mnuContacts", "Contacts", "Contact Information", "x-office-address-book",
            &FrmMain::viewContacts },
        { "Reminders", "mnuReminders", "Reminders", "Show Reminders", "appointment",
            &FrmMain::openReminders },
        { "Calendar", "mnuCalendar", "Calendar", "View the Calendar", "x-office-calendar",
            &FrmMain::openCalendar },
        { "Gear", "mnuGear", "Fishing Gear", "Equipment Log", "package-x-generic", &FrmMain::openGear },
        { "Patterns", "mnuPatterns", "Fishing Patterns", "Fishing Patterns", "weather-few-clouds",
            &FrmMain::openPatterns },
        { "Log", "mnuLog", "Fishing Log", "Fishing Log", "accessories-text-editor", &FrmMain::openLog },
        { "Search", "mnuSearch", "Search", "Search Bookings", "system-search", &FrmMain::openSearch },
        { "Exit", "mnuExit", "Exit", "Close Program", "system-log-out", &FrmMain::exitProgram },
        { {}, "mnuExportCalendar", "Export to Calendar...", {}, "x-office-calendar",
            &FrmMain::exportCalendar },
        { {}, "mnuExportCsv", "Export to CSV...", {}, "x-office-spreadsheet", &FrmMain::exportCsv },
        { {}, "mnuImportContacts", "Import Contacts...", {}, "x-office-address-book",
            &FrmMain::importContacts },
        { {}, "mnuSeason", "Season Summary", {}, "x-office-spreadsheet", &FrmMain::openSeasonSummary },
        { {}, "mnuTripDay", "Trip Day...", {}, "weather-few-clouds", &FrmMain::openTripDay },
        { {}, "mnuLogbook", "Logbook...", {}, "accessories-text-editor", &FrmMain::openLogbook },
        { {}, "mnuAssignGuide", "Assign Guide...", {}, "x-office-address-book", &FrmMain::openAssignGuide,
            &db::Rights::mayChangeSettings },
        { {}, "mnuRequests", "Requests...", {}, "appointment", &FrmMain::openRequests },
        { {}, "mnuOutbox", "Outbox...", {}, "x-office-document", &FrmMain::openOutbox },
        { {}, "mnuHistory", "History...", {}, "accessories-text-editor", &FrmMain::openHistory },
        { {}, "mnuBin", "Deleted Records...", {}, "x-office-document", &FrmMain::openBin,
            &db::Rights::maySeeBin },
        { {}, "mnuDBOptions", "Database Options", {}, "preferences-system", &FrmMain::openDatabaseOptions },
        { {}, "mnuGuides", "Guides...", {}, "x-office-address-book", &FrmMain::openGuides,
            &db::Rights::mayChangeRoster },
        { {}, "mnuBookingPage", "Booking Page...", {}, "preferences-system", &FrmMain::openBookingPage,
            &db::Rights::mayChangeSettings },
        { {}, "mnuMail", "Mail...", {}, "preferences-system", &FrmMain::openMail,
            &db::Rights::mayChangeSettings },
        { {}, "mnuMailTexts", "Mail Texts...", {}, "accessories-text-editor", &FrmMain::openMailTexts,
            &db::Rights::mayChangeSettings },
        { {}, "mnuSharedDatabase", "Shared Database...", {}, "preferences-system",
            &FrmMain::openSharedDatabase },
        { {}, "mnuCalendarSync", "Calendar Sync...", {}, "x-office-calendar", &FrmMain::openCalendarSync },
        { {}, "mnuShowhelp", "Show Help", {}, "help-browser", &FrmMain::showHelp },
        { {}, "mnuUpdate", "Check for Updates", {}, "system-software-update", &FrmMain::openUpdate },
        { {}, "mnuAbout", "About", {}, "dialog-information", &FrmMain::openAbout },
    };
    return table;
}

const FrmMain::Command *FrmMain::commandByKey(const QString &key)
{
    for (const Command &c : commands())
        if (c.key == key || (c.key.isEmpty() && c.item == key))
            return &c;
    return nullptr;
}

void FrmMain::run(const Command &command, bool fromMenu)
{
    (this->*command.handler)();
    // A view chosen from the menu shows its toolbar button pressed.
    if (fromMenu)
        pressButton(command.key);
}

void FrmMain::buildMenus()
{
    // Each menu: its caption, its name and its items by name ("-": a separator).
    const struct {
        const char *caption;
        const char *name;
        QStringList items;
    } menus[] = {
        { "&File", "mnuFile",
            { "mnuSchedule", "mnuBookings", "mnuContacts", "-", "mnuExportCalendar", "mnuExportCsv",
                "mnuImportContacts", "-", "mnuExit" } },
        { "&Utilities", "mnuUtilities",
            { "mnuReminders", "mnuCalendar", "mnuGear", "mnuPatterns", "mnuLog", "mnuSeason", "mnuTripDay",
                "mnuLogbook", "mnuAssignGuide", "mnuRequests", "mnuOutbox", "mnuHistory", "mnuBin" } },
        { "&Options", "mnuOptions",
            { "mnuDBOptions", "mnuSearch", "mnuGuides", "mnuBookingPage", "mnuMail", "mnuMailTexts", "-",
                "mnuSharedDatabase", "mnuCalendarSync" } },
        { "&Help", "mnuHelp", { "mnuShowhelp", "mnuUpdate", "-", "mnuAbout" } },
    };
    for (const auto &m : menus) {
        QMenu *menu = menuBar()->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        for (const QString &name : m.items) {
            if (name == QLatin1String("-")) {
                menu->addSeparator();
                continue;
            }
            const auto c = std::find_if(
                commands().cbegin(), commands().cend(), [&](const Command &c) { return c.item == name; });
            Q_ASSERT(c != commands().cend());
            QAction *item = menu->addAction(programIcon(c->icon), c->caption);
            item->setObjectName(name);
            // What the server would refuse this desk is not offered; the
            // item says why.
            if (c->allowed && !(db::rights().*(c->allowed))()) {
                item->setEnabled(false);
                item->setToolTip(db::notForRole(db::rights()));
                menu->setToolTipsVisible(true);
            }
            connect(item, &QAction::triggered, this, [this, c = &*c] { run(*c, true); });
        }
    }
}

void FrmMain::buildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(32, 32));
    m_toolbar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    // The buttons by key, with separators ("-"); the three views form a
    // group of which exactly one is pressed.
    const QStringList layout { "-", "-", "Schedule", "Bookings", "Contacts", "-", "Reminders", "Calendar",
        "-", "Gear", "Patterns", "Log", "-", "Search", "Exit" };
    const QStringList views { "Schedule", "Bookings", "Contacts" };
    m_viewGroup = new QActionGroup(this);
    m_viewGroup->setExclusive(true);
    for (const QString &key : layout) {
        if (key == QLatin1String("-")) {
            m_toolbar->addSeparator();
            continue;
        }
        const Command *c = commandByKey(key);
        Q_ASSERT(c);
        QAction *button = m_toolbar->addAction(programIcon(c->icon), key);
        button->setObjectName(key);
        button->setData(key);
        button->setToolTip(c->tooltip);
        m_buttons.insert(key, button);
        connect(button, &QAction::triggered, this, [this, key] { toolbarClick(key); });
        if (views.contains(key)) {
            button->setCheckable(true);
            m_viewGroup->addAction(button);
        }
    }
    pressButton(QStringLiteral("Schedule"));
}

void FrmMain::buildStatusStrip()
{
    auto *hint = new QLabel(QStringLiteral("Press F1 for Help"), this);
    hint->setObjectName(QStringLiteral("lblHint"));
    auto *caption = new QLabel(QStringLiteral("Today's Date:"), this);
    caption->setObjectName(QStringLiteral("lblTodaycaption"));
    m_date = new QLabel(this);
    m_date->setObjectName(QStringLiteral("lblDate"));
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(hint, 1);
    statusBar()->addPermanentWidget(caption);
    statusBar()->addPermanentWidget(m_date);
}

void FrmMain::toolbarClick(const QString &key)
{
    if (const Command *c = commandByKey(key))
        run(*c, false);
}

// The three views take turns in one place.
void FrmMain::showView(View view)
{
    switch (view) {
    case View::Schedule:
        m_views->setCurrentWidget(m_schedule);
        break;
    case View::Bookings:
        m_views->setCurrentWidget(m_bookings);
        break;
    case View::Contacts:
        m_views->setCurrentWidget(m_contacts);
        break;
    }
}

void FrmMain::pressButton(const QString &key)
{
    if (QAction *button = m_buttons.value(key))
        button->setChecked(true);
}

void FrmMain::viewSchedule()
{
    showView(View::Schedule);
}

void FrmMain::viewBookings()
{
    showView(View::Bookings);
}

void FrmMain::viewContacts()
{
    showView(View::Contacts);
}

void FrmMain::exitProgram()
{
    close();
}

void FrmMain::planLogbookReminder()
{
    const QDate today = platform::today();
    if (today == m_reminderDay)
        return;
    // Once a day, also when it fails: the failure is told once, and tried
    // again the next day or at the next start.
    m_reminderDay = today;
    QSettings desk(QDir(appFolder()).filePath(QStringLiteral("logbook.ini")), QSettings::IniFormat);
    const QString key
        = QStringLiteral("reminded/") + QString::fromLatin1(QUrl::toPercentEncoding(databasePath()));
    QString planned = desk.value(key).toString();
    logbook::Reminded outcome {};
    if (!platform::reportFailure(logbook::planReminder(today, planned, outcome), this))
        return;
    desk.setValue(key, planned);
}

void FrmMain::becomeActive()
{
    m_date->setText(shortDate(platform::today()));
    planLogbookReminder();
    m_contacts->rewriteCount();
    m_schedule->rewriteCount();
    m_bookings->rewriteCount();
    setColumnWidths();
}

// The selector column and the first four data columns, given in twips.
void FrmMain::setColumnWidths()
{
    QTableView *grid = m_schedule->grid();
    grid->verticalHeader()->setFixedWidth(twipsToPixels(300, grid));
    const QHeaderView *header = grid->horizontalHeader();
    const int widths[] = { 1200, 3000, 2000, 3000 };
    int next = 0;
    for (int visual = 0; visual < header->count() && next < 4; ++visual) {
        const int column = header->logicalIndex(visual);
        if (header->isSectionHidden(column))
            continue;
        grid->setColumnWidth(column, twipsToPixels(widths[next++], grid));
    }
}

void FrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        becomeActive();
}

void FrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        becomeActive();
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    const bool backup = platform::askYesNo(
        QStringLiteral("Do you want to backup the Database ?"), QStringLiteral("Close Program"), this);
    m_closing = true;
    closeOtherWindows();
    event->accept();
    if (backup)
        openDatabaseUtilities();
}

void FrmMain::closeOtherWindows()
{
    QList<QPointer<QWidget>> open;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (w != this && w->isVisible() && type != Qt::Popup && type != Qt::ToolTip)
            open.append(w);
    }
    // A window that refuses (the invoice while it is being edited) is skipped.
    for (const QPointer<QWidget> &w : open) {
        if (w && w->isVisible())
            w->close();
    }
}

void FrmMain::showHelp()
{
    m_hub->dlgHelp().showTopic(QStringLiteral("10"));
}

void FrmMain::showHelpContents()
{
    m_hub->dlgHelp().setHelpCommand(platform::HelpComponent::ContentsRequest);
    m_hub->dlgHelp().ShowHelp();
}

void FrmMain::openReminders()
{
    openReminderList();
}

void FrmMain::openCalendar()
{
    openCalendarWindow();
}

void FrmMain::openGear()
{
    platform::showWindow<FrmFgear>();
}

void FrmMain::openPatterns()
{
    platform::showWindow<FrmPatterns>();
}

void FrmMain::openLog()
{
    platform::showWindow<FrmDiary>();
}

void FrmMain::openSearch()
{
    platform::showWindow<FrmFind>();
}

void FrmMain::openDatabaseOptions()
{
    platform::showWindow<FrmSetup>();
}

void FrmMain::openSharedDatabase()
{
    platform::showWindow<FrmSharedDatabase>();
}

void FrmMain::openUpdate()
{
    platform::showWindow<FrmUpdate>();
}

void FrmMain::exportCalendar()
{
    exchange::exportCalendar(this);
}

void FrmMain::exportCsv()
{
    exchange::exportCsv(this);
}

void FrmMain::importContacts()
{
    exchange::importContacts(this);
}

void FrmMain::openSeasonSummary()
{
    platform::showWindow<FrmSeason>();
}

void FrmMain::openTripDay()
{
    platform::showWindow<FrmTripDay>();
}

void FrmMain::openLogbook()
{
    platform::showWindow<FrmLogbook>();
}

void FrmMain::openAssignGuide()
{
    assignGuideToCurrentBooking(this);
}

void FrmMain::openGuides()
{
    platform::showWindow<FrmGuides>();
}

void FrmMain::openBookingPage()
{
    platform::showWindow<FrmBookingPage>();
}

void FrmMain::openMail()
{
    platform::showWindow<FrmMail>();
}

void FrmMain::openCalendarSync()
{
    platform::showWindow<FrmCalendarSync>();
}

void FrmMain::openMailTexts()
{
    platform::showWindow<FrmMailTexts>();
}

void FrmMain::openRequests()
{
    platform::showWindow<FrmRequests>();
}

void FrmMain::openOutbox()
{
    platform::showWindow<FrmOutbox>();
}

void FrmMain::openHistory()
{
    openHistoryOfCurrent(m_views->currentWidget() == m_contacts, this);
}

void FrmMain::openBin()
{
    platform::showWindow<FrmBin>();
}

void FrmMain::openAbout()
{
    platform::showWindow<FrmAbout>();
}

// After the backup question's Yes, as the program's only window. It is shown
// before the main window has gone, so the program does not end; its file
// operations run once the main window and its record sources are deleted.
void FrmMain::openDatabaseUtilities()
{
    platform::showWindow<FrmDbutility>();
}

} // namespace bm
