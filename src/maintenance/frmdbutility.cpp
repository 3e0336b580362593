#include "maintenance/frmdbutility.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/dbfiles.h"
#include "platform/filedialogs.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/commandbutton.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace bm
{

namespace
{

const QString dialogFilter = QStringLiteral("Database Files (*.mdb*)");

// While a file operation runs: the busy pointer, and the window keeps
// painting (the user's clicks and keys wait until it is done).
class BusyWork : public dbfiles::Observer
{
public:
    explicit BusyWork(bool &busy)
        : m_busy(busy)
    {
        m_busy = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyWork() override
    {
        QApplication::restoreOverrideCursor();
        m_busy = false;
    }
    void progress() override
    {
        if (m_clock.isValid() && m_clock.elapsed() < 40)
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_clock.start();
    }

private:
    bool &m_busy;
    QElapsedTimer m_clock;
};

QLabel *note(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QString sizeOf(const QString &path)
{
    const qint64 size = dbfiles::databaseSize(path);
    return size < 0 ? QStringLiteral("?") : dbfiles::sizeText(size);
}

const QString inUse = QStringLiteral("Another window of Brindlemoor still has the database open.");

} // namespace

FrmDbutility::FrmDbutility(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_tabs(new QTabWidget(this))
    , m_dlgHelp(new platform::HelpComponent(this))
{
    setObjectName(QStringLiteral("frmDbutility"));
    setWindowTitle(QStringLiteral("Brindlemoor Database Utility"));
    m_dlgHelp->setObjectName(QStringLiteral("dlgHelp"));
    m_dlgHelp->setHelpFile(appFile(QStringLiteral("tallow.hlp")));

    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->addTab(makeBackupPage(), QStringLiteral("Backup"));
    m_tabs->addTab(makeRestorePage(), QStringLiteral("Restore"));
    m_tabs->addTab(makeRepairPage(), QStringLiteral("Repair"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton *help = makeButton("cmdHelp", QStringLiteral("Help"), this);
    connect(help, &QPushButton::clicked, this, &FrmDbutility::showHelp);
    platform::addHelpCommand(this, help);
    buttons->addWidget(help);
    QPushButton *exit = makeButton("cmdExit", QStringLiteral("Exit"), this);
    connect(exit, &QPushButton::clicked, this, &FrmDbutility::exitProgram);
    buttons->addWidget(exit);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);

    m_currentSize->setText(sizeOf(databasePath()));
    resize(500, 340);
}

QPushButton *FrmDbutility::makeButton(const char *name, const QString &caption, QWidget *parent)
{
    QPushButton *button = commandButton(name, caption, parent);
    button->setMinimumWidth(100);
    return button;
}

QWidget *FrmDbutility::makeBackupPage()
{
    auto *page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("pageBackup"));
    auto *v = new QVBoxLayout(page);
    QPushButton *button = makeButton("cmdBackup", QStringLiteral("Backup"), page);
    connect(button, &QPushButton::clicked, this, &FrmDbutility::backup);
    v->addWidget(button, 0, Qt::AlignLeft);
    v->addWidget(note(QStringLiteral("You should always backup the database after adding a lot of new "
                                     "information or deleting several logs. If you have just viewed your "
                                     "information, then there is no need to do a backup."),
        page));
    v->addWidget(note(QStringLiteral("When you click Backup a folder window opens. Navigate to the folder, "
                                     "floppy drive, USB drive or other place where you want to keep the "
                                     "backup and click its \"Save\" button. The file will be saved as "
                                     "\"tallow\"."),
        page));
    v->addStretch(1);
    return page;
}

QWidget *FrmDbutility::makeRestorePage()
{
    auto *page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("pageRestore"));
    auto *v = new QVBoxLayout(page);
    QPushButton *button = makeButton("cmdRestore", QStringLiteral("Restore"), page);
    connect(button, &QPushButton::clicked, this, &FrmDbutility::restore);
    v->addWidget(button, 0, Qt::AlignLeft);
    v->addWidget(note(QStringLiteral("This will restore a previously saved backup of your database."), page));
    v->addWidget(note(QStringLiteral("In the folder window that opens, navigate to where you saved your "
                                     "backup, select the \"tallow\" file and click \"Open\". Then restart "
                                     "Brindlemoor to see the restored information."),
        page));
    v->addStretch(1);
    return page;
}

QWidget *FrmDbutility::makeRepairPage()
{
    auto *page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("pageRepair"));
    auto *v = new QVBoxLayout(page);
    QPushButton *button = makeButton("cmdRepair", QStringLiteral("Repair"), page);
    connect(button, &QPushButton::clicked, this, &FrmDbutility::repair);
    v->addWidget(button, 0, Qt::AlignLeft);
    v->addWidget(note(QStringLiteral("Repair fixes a damaged database and also compresses it, removing the "
                                     "empty records that deleting information leaves behind."),
        page));
    v->addWidget(
        note(QStringLiteral("If Brindlemoor has been closed by accident, such as a crash or computer "
                            "malfunction, you should immediately do a Repair before using the "
                            "program again."),
            page));

    auto *frame = new QGroupBox(QStringLiteral("Database Size"), page);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("Current Size:"), frame), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("After Repair:"), frame), 1, 0);
    m_currentSize = new QLabel(frame);
    m_currentSize->setObjectName(QStringLiteral("Label8"));
    m_afterRepair = new QLabel(QStringLiteral("?"), frame);
    m_afterRepair->setObjectName(QStringLiteral("Label9"));
    grid->addWidget(m_currentSize, 0, 1);
    grid->addWidget(m_afterRepair, 1, 1);
    grid->setColumnStretch(1, 1);
    v->addWidget(frame);
    v->addStretch(1);
    return page;
}

// Any record source alive on the file holds it: the main window's, a
// window's, or one owned by no window at all.
bool FrmDbutility::databaseInUse()
{
    return platform::mainHub() || db::openSources(databasePath()) > 0;
}

// The backup is always tallow.mdb, in the folder where the dialog was
// confirmed; cancelling the dialog ends the command silently. A database on
// a server is written as the server's archive, to the very file chosen.
void FrmDbutility::backup()
{
    if (db::onServer(databasePath())) {
        backupServer();
        return;
    }
    platform::FileRequest request;
    request.title = QStringLiteral("Save Database Backup");
    request.filter = dialogFilter;
    request.proposedName = QStringLiteral("tallow");
    request.confirmOverwrite = true;
    const QString chosen = platform::saveFileName(request, this);
    if (chosen.isEmpty())
        return;
    const QString folder = QFileInfo(chosen).absolutePath();
    QDir::setCurrent(folder);

    Status done = Status::failure(inUse);
    if (!databaseInUse()) {
        BusyWork busy(m_busy);
        done = dbfiles::backup(databasePath(), folder, &busy);
    }
    if (done)
        platform::inform(QStringLiteral("Backup has been saved."), this);
    else
        platform::warn(QStringLiteral("Backup has not been saved.\n") + done.message(), this);
}

void FrmDbutility::backupServer()
{
    platform::FileRequest request;
    request.title = QStringLiteral("Save Database Backup");
    request.filter = QStringLiteral("Database Archives (*.backup);;All Files (*)");
    request.proposedName = QStringLiteral("tallow.backup");
    request.confirmOverwrite = true;
    const QString chosen = platform::saveFileName(request, this);
    if (chosen.isEmpty())
        return;
    QDir::setCurrent(QFileInfo(chosen).absolutePath());

    Status done = Status::failure(inUse);
    if (!databaseInUse()) {
        BusyWork busy(m_busy);
        done = dbfiles::serverBackup(databasePath(), QFileInfo(chosen).absoluteFilePath(), &busy);
    }
    if (done)
        platform::inform(QStringLiteral("Backup has been saved."), this);
    else
        platform::warn(QStringLiteral("Backup has not been saved.\n") + done.message(), this);
}

// tallow.mdb of the folder in which the user picked a file is restored,
// whatever file was picked. A database on a server is not restored here at
// all, and no file is asked for.
void FrmDbutility::restore()
{
    if (db::onServer(databasePath())) {
        const Status refused = dbfiles::restore(QString(), databasePath());
        platform::warn(QStringLiteral("Database has not been restored.\n") + refused.message(), this);
        return;
    }
    platform::FileRequest request;
    request.title = QStringLiteral("Restore Backup Database");
    request.filter = dialogFilter;
    const QString chosen = platform::openFileName(request, this);
    Status done = Status::failure(QString());
    if (!chosen.isEmpty()) {
        const QString folder = QFileInfo(chosen).absolutePath();
        QDir::setCurrent(folder);
        if (!databaseInUse()) {
            BusyWork busy(m_busy);
            done = dbfiles::restore(folder, databasePath(), &busy);
        }
    }
    if (done)
        platform::inform(QStringLiteral("Your backup copy of the database has been restored !"), this);
    else
        platform::warn(QStringLiteral("Database has not been restored."), this);
}

void FrmDbutility::repair()
{
    Status done = Status::failure(inUse);
    if (!databaseInUse()) {
        BusyWork busy(m_busy);
        done = dbfiles::repair(databasePath(), &busy);
    }
    if (!done && db::onServer(databasePath())) {
        // The server says why; "Can't find database" would mislead.
        platform::warn(QStringLiteral("Database has not been repaired.\n") + done.message(), this);
        return;
    }
    if (!done) {
        platform::message(
            QStringLiteral("Can't find database.\nPlease make sure that Brindlemoor is not running."),
            platform::Icon::Exclamation, platform::Buttons::Ok, QStringLiteral("Database not found"), this);
        return;
    }
    platform::inform(QStringLiteral("DataBase has been repaired !"), this);
    // "Current Size:" keeps the size from when the window opened.
    m_afterRepair->setText(sizeOf(databasePath()));
}

void FrmDbutility::showHelp()
{
    m_dlgHelp->showTopic(QStringLiteral("1200"));
}

// Closes every window of the program, then this one: the program ends.
void FrmDbutility::exitProgram()
{
    QList<QPointer<QWidget>> open;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (w != this && w->isVisible() && type != Qt::Popup && type != Qt::ToolTip)
            open.append(w);
    }
    for (const QPointer<QWidget> &w : open)
        if (w && w->isVisible())
            w->close();
    close();
}

void FrmDbutility::closeEvent(QCloseEvent *event)
{
    // Half way through a copy the window stays until the copy is done.
    if (m_busy) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace bm
