#include "main/frmmain.h"

#include "data/apppaths.h"
#include "data/dates.h"
#include "data/recordsource.h"
#include "main/bookingspanel.h"
#include "main/contactspanel.h"
#include "main/exchangedialogs.h"
#include "main/scheduleview.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/windows.h"
#include "setup/frmsetup.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

namespace bm
{

namespace
{

// Twips (1/1440 inch) in pixels of a widget's screen.
int twipsToPixels(int twips, const QWidget *widget)
{
    return qRound(twips * widget->logicalDpiX() / 1440.0);
}

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
    , m_datContacts(new RecordSource(QStringLiteral("DatContacts"), QStringLiteral("Phone"), this))
    , m_datBookings(new RecordSource(QStringLiteral("DatBookings"), QStringLiteral("Booking"), this))
    , m_dlgHelp(new platform::HelpComponent(this))
    , m_report(new platform::ReportComponent(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Brindlemoor"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_dlgHelp->setObjectName(QStringLiteral("dlgHelp"));
    m_dlgHelp->setHelpFile(appFile(QStringLiteral("tallow.hlp")));
    m_report->setObjectName(QStringLiteral("rptMain"));

    m_views = new QStackedWidget(this);
    m_views->setObjectName(QStringLiteral("views"));
    m_schedule = new ScheduleView(*m_datBookings, m_views);
    m_contacts = new ContactsPanel(*m_datContacts, m_views);
    m_bookings = new BookingsPanel(*m_datBookings, m_views);
    m_views->addWidget(m_schedule);
    m_views->addWidget(m_contacts);
    m_views->addWidget(m_bookings);
    setCentralWidget(m_views);

    buildMenus();
    buildToolbar();
    buildStatusStrip();

    // F1 opens the help file at its contents.
    auto *contents = new QAction(this);
    contents->setObjectName(QStringLiteral("helpContents"));
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    contents->setShortcutContext(Qt::WindowShortcut);
    connect(contents, &QAction::triggered, this, &FrmMain::showHelpContents);
    addAction(contents);

    showView(View::Schedule);
    resize(980, 700);
    platform::setMainHub(this);
}

FrmMain::~FrmMain()
{
    if (platform::mainHub() == this)
        platform::setMainHub(nullptr);
}

QAction *FrmMain::addItem(QMenu *menu, const QString &name, const QString &caption, const QString &icon)
{
    QAction *item = menu->addAction(programIcon(icon), caption);
    item->setObjectName(name);
    return item;
}

void FrmMain::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    connect(addItem(file, QStringLiteral("mnuSchedule"), QStringLiteral("Schedule"),
                QStringLiteral("x-office-spreadsheet")),
        &QAction::triggered, this, [this] { menuView(QStringLiteral("Schedule")); });
    connect(addItem(file, QStringLiteral("mnuBookings"), QStringLiteral("Bookings"),
                QStringLiteral("x-office-document")),
        &QAction::triggered, this, [this] { menuView(QStringLiteral("Bookings")); });
    connect(addItem(file, QStringLiteral("mnuContacts"), QStringLiteral("Contacts"),
                QStringLiteral("x-office-address-book")),
        &QAction::triggered, this, [this] { menuView(QStringLiteral("Contacts")); });
    file->addSeparator();
    connect(addItem(file, QStringLiteral("mnuExportCalendar"), QStringLiteral("Export to Calendar..."),
                QStringLiteral("x-office-calendar")),
        &QAction::triggered, this, &FrmMain::exportCalendar);
    connect(addItem(file, QStringLiteral("mnuExportCsv"), QStringLiteral("Export to CSV..."),
                QStringLiteral("x-office-spreadsheet")),
        &QAction::triggered, this, &FrmMain::exportCsv);
    connect(addItem(file, QStringLiteral("mnuImportContacts"), QStringLiteral("Import Contacts from CSV..."),
                QStringLiteral("x-office-address-book")),
        &QAction::triggered, this, &FrmMain::importContacts);
    file->addSeparator();
    connect(
        addItem(file, QStringLiteral("mnuExit"), QStringLiteral("Exit"), QStringLiteral("system-log-out")),
        &QAction::triggered, this, &QWidget::close);

    QMenu *utilities = menuBar()->addMenu(QStringLiteral("&Utilities"));
    utilities->setObjectName(QStringLiteral("mnuUtilities"));
    connect(addItem(utilities, QStringLiteral("mnuReminders"), QStringLiteral("Reminders"),
                QStringLiteral("appointment")),
        &QAction::triggered, this, &FrmMain::openReminders);
    connect(addItem(utilities, QStringLiteral("mnuCalendar"), QStringLiteral("Calendar"),
                QStringLiteral("x-office-calendar")),
        &QAction::triggered, this, &FrmMain::openCalendar);
    connect(addItem(utilities, QStringLiteral("mnuGear"), QStringLiteral("Fishing Gear"),
                QStringLiteral("package-x-generic")),
        &QAction::triggered, this, &FrmMain::openGear);
    connect(addItem(utilities, QStringLiteral("mnuPatterns"), QStringLiteral("Fishing Patterns"),
                QStringLiteral("weather-few-clouds")),
        &QAction::triggered, this, &FrmMain::openPatterns);
    connect(addItem(utilities, QStringLiteral("mnuLog"), QStringLiteral("Fishing Log"),
                QStringLiteral("accessories-text-editor")),
        &QAction::triggered, this, &FrmMain::openLog);

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    connect(addItem(options, QStringLiteral("mnuDBOptions"), QStringLiteral("Database Options"),
                QStringLiteral("preferences-system")),
        &QAction::triggered, this, &FrmMain::openDatabaseOptions);
    connect(addItem(options, QStringLiteral("mnuSearch"), QStringLiteral("Search"),
                QStringLiteral("system-search")),
        &QAction::triggered, this, &FrmMain::openSearch);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    connect(addItem(help, QStringLiteral("mnuShowhelp"), QStringLiteral("Show Help"),
                QStringLiteral("help-browser")),
        &QAction::triggered, this, &FrmMain::showHelp);
    connect(addItem(help, QStringLiteral("mnuUpdate"), QStringLiteral("Check for Updates"),
                QStringLiteral("system-software-update")),
        &QAction::triggered, this, &FrmMain::openUpdate);
    help->addSeparator();
    connect(addItem(help, QStringLiteral("mnuAbout"), QStringLiteral("About"),
                QStringLiteral("dialog-information")),
        &QAction::triggered, this, &FrmMain::openAbout);
}

QAction *FrmMain::addButton(const QString &key, const QString &tooltip, const QString &icon)
{
    QAction *button = m_toolbar->addAction(programIcon(icon), key);
    button->setObjectName(key);
    button->setData(key);
    button->setToolTip(tooltip);
    m_buttons.insert(key, button);
    connect(button, &QAction::triggered, this, [this, key] { toolbarClick(key); });
    return button;
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

    m_toolbar->addSeparator();
    m_toolbar->addSeparator();
    m_viewGroup = new QActionGroup(this);
    m_viewGroup->setExclusive(true);
    for (QAction *view : { addButton(QStringLiteral("Schedule"), QStringLiteral("Scheduled Trips"),
                               QStringLiteral("x-office-spreadsheet")),
             addButton(QStringLiteral("Bookings"), QStringLiteral("Booking Information"),
                 QStringLiteral("x-office-document")),
             addButton(QStringLiteral("Contacts"), QStringLiteral("Contact Information"),
                 QStringLiteral("x-office-address-book")) }) {
        view->setCheckable(true);
        m_viewGroup->addAction(view);
    }
    m_toolbar->addSeparator();
    addButton(QStringLiteral("Reminders"), QStringLiteral("Show Reminders"), QStringLiteral("appointment"));
    addButton(
        QStringLiteral("Calendar"), QStringLiteral("View the Calendar"), QStringLiteral("x-office-calendar"));
    m_toolbar->addSeparator();
    addButton(QStringLiteral("Gear"), QStringLiteral("Equipment Log"), QStringLiteral("package-x-generic"));
    addButton(
        QStringLiteral("Patterns"), QStringLiteral("Fishing Patterns"), QStringLiteral("weather-few-clouds"));
    addButton(
        QStringLiteral("Log"), QStringLiteral("Fishing Log"), QStringLiteral("accessories-text-editor"));
    m_toolbar->addSeparator();
    addButton(QStringLiteral("Search"), QStringLiteral("Search Bookings"), QStringLiteral("system-search"));
    addButton(QStringLiteral("Exit"), QStringLiteral("Close Program"), QStringLiteral("system-log-out"));
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
    if (key == QLatin1String("Schedule"))
        showView(View::Schedule);
    else if (key == QLatin1String("Bookings"))
        showView(View::Bookings);
    else if (key == QLatin1String("Contacts"))
        showView(View::Contacts);
    else if (key == QLatin1String("Reminders"))
        openReminders();
    else if (key == QLatin1String("Calendar"))
        openCalendar();
    else if (key == QLatin1String("Gear"))
        openGear();
    else if (key == QLatin1String("Patterns"))
        openPatterns();
    else if (key == QLatin1String("Log"))
        openLog();
    else if (key == QLatin1String("Search"))
        openSearch();
    else if (key == QLatin1String("Exit"))
        close();
}

// The two panels lie over the schedule view; with both hidden it shows.
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

void FrmMain::menuView(const QString &key)
{
    toolbarClick(key);
    pressButton(key);
}

void FrmMain::rewriteContactsCount()
{
    m_contacts->rewriteCount();
}

void FrmMain::becomeActive()
{
    m_date->setText(shortDate(platform::today()));
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
    m_dlgHelp->showTopic(QStringLiteral("10"));
}

void FrmMain::showHelpContents()
{
    m_dlgHelp->setHelpCommand(platform::HelpComponent::ContentsRequest);
    m_dlgHelp->ShowHelp();
}

// The windows below are opened here once they exist, one line each:
// platform::showWindow<FrmReminder>("frmReminder") and the like; the gear and
// patterns windows as hideBehind(platform::showWindow<FrmFgear>("frmFgear")).
void FrmMain::hideBehind(QWidget *window)
{
    // Hidden with no other window shown, the program could not be reached.
    if (window && window != this && window->isVisible())
        hide();
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

void FrmMain::openReminders() { }

void FrmMain::openCalendar() { }

void FrmMain::openGear() { }

void FrmMain::openPatterns() { }

void FrmMain::openLog() { }

void FrmMain::openSearch() { }

void FrmMain::openDatabaseOptions()
{
    platform::showWindow<FrmSetup>(QStringLiteral("frmSetup"));
}

void FrmMain::openUpdate() { }

void FrmMain::openAbout() { }

// After the backup question's Yes, as the program's only window.
void FrmMain::openDatabaseUtilities() { }

} // namespace bm
