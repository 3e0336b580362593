#include "dbfixture.h"
#include "doubles.h"

#include "db/dbfiles.h"
#include "db/recordsource.h"
#include "main/frmmain.h"
#include "maintenance/frmabout.h"
#include "maintenance/frmdbutility.h"
#include "maintenance/frmupdate.h"
#include "platform/windows.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

using namespace bm;
using platform::Answer;
using platform::Icon;

namespace
{

QString labelText(const QWidget *w, const char *name)
{
    auto *label = w->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

QPushButton *button(const QWidget *w, const char *name)
{
    return w->findChild<QPushButton *>(QLatin1String(name));
}

void click(const QWidget *w, const char *name)
{
    QPushButton *b = button(w, name);
    QVERIFY2(b, name);
    b->click();
}

void deleteDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList visibleWindows()
{
    QStringList names;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            names << w->objectName();
    return names;
}

// With BM_SCREENSHOTS set, the window is saved there to be looked at.
void screenshot(QWidget *w, const QString &name)
{
    const QString folder = qEnvironmentVariable("BM_SCREENSHOTS");
    if (!folder.isEmpty())
        w->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

const QString notFound
    = QStringLiteral("Can't find database.\nPlease make sure that Brindlemoor is not running.");

} // namespace

class TestDbutility : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pages();
    void backup_data();
    void backup();
    void restore_data();
    void restore();
    void repair_data();
    void repair();
    void refusedWhileHeld_data();
    void refusedWhileHeld();
    void heldOnlyWhileOpen_data();
    void heldOnlyWhileOpen();
    void keepsPainting();
    void help();
    void exitEndsProgram();
    void shutDown_data();
    void shutDown();
    void checkNow_data();
    void checkNow();
    void about();

private:
    FrmDbutility *open()
    {
        auto *w = platform::showWindow<FrmDbutility>();
        return w;
    }
    std::unique_ptr<QTemporaryDir> away;
    std::unique_ptr<test::ScriptedMessages> boxes;
    std::unique_ptr<test::FakeFileDialogs> dialogs;
};

void TestDbutility::init()
{
    test::resetDatabase();
    QVERIFY(test::makeDatabase(databasePath(), QStringLiteral("current")));
    away = std::make_unique<QTemporaryDir>();
    boxes = std::make_unique<test::ScriptedMessages>();
    dialogs = std::make_unique<test::FakeFileDialogs>();
}

void TestDbutility::cleanup()
{
    test::deleteWindows();
    dialogs.reset();
    boxes.reset();
    away.reset();
}

void TestDbutility::pages()
{
    FrmDbutility *w = open();
    QCOMPARE(w->windowTitle(), QStringLiteral("Brindlemoor Database Utility"));
    auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    QVERIFY(tabs);
    const QStringList captions { "Backup", "Restore", "Repair" };
    QCOMPARE(tabs->count(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(tabs->tabText(i), captions[i]);
        const QByteArray name = "cmd" + captions[i].toLatin1();
        QVERIFY(button(tabs->widget(i), name.constData()));
        QCOMPARE(button(tabs->widget(i), name.constData())->text(), captions[i]);
        tabs->setCurrentIndex(i);
        screenshot(w, QStringLiteral("dbutility-") + captions[i]);
    }
    QCOMPARE(button(w, "cmdHelp")->text(), QStringLiteral("Help"));
    QCOMPARE(button(w, "cmdExit")->text(), QStringLiteral("Exit"));
    QCOMPARE(labelText(w, "Label8"), dbfiles::sizeText(dbfiles::fileSize(databasePath())));
    QCOMPARE(labelText(w, "Label9"), QStringLiteral("?"));

    // Without a database the window still opens.
    test::deleteWindows();
    QVERIFY(QFile::remove(databasePath()));
    QCOMPARE(labelText(open(), "Label8"), QStringLiteral("?"));
}

void TestDbutility::backup_data()
{
    QTest::addColumn<QString>("answer"); // in the backup folder; empty: cancel
    QTest::addColumn<bool>("older");
    QTest::addColumn<QString>("message");
    QTest::newRow("typed name not used") << "Monday.mdb" << false << "Backup has been saved.";
    QTest::newRow("older backup replaced") << "tallow.mdb" << true << "Backup has been saved.";
    QTest::newRow("cancelled") << "" << true << "";
    QTest::newRow("folder gone") << "gone/tallow.mdb" << false << "Backup has not been saved.";
}

void TestDbutility::backup()
{
    QFETCH(QString, answer);
    QFETCH(bool, older);
    QFETCH(QString, message);
    const QString backupFile = away->filePath(QStringLiteral("tallow.mdb"));
    if (older)
        QVERIFY(test::makeDatabase(backupFile, QStringLiteral("older")));
    dialogs->answers << (answer.isEmpty() ? QString() : away->filePath(answer));
    if (!message.isEmpty())
        boxes->expect();
    FrmDbutility *w = open();
    click(w, "cmdBackup");

    QCOMPARE(dialogs->requests.size(), 1);
    QCOMPARE(dialogs->requests[0].title, QStringLiteral("Save Database Backup"));
    QCOMPARE(dialogs->requests[0].filter, QStringLiteral("Database Files (*.mdb*)"));
    QCOMPARE(dialogs->requests[0].proposedName, QStringLiteral("tallow"));
    QVERIFY(dialogs->requests[0].confirmOverwrite);
    QCOMPARE(boxes->shown.size(), message.isEmpty() ? 0 : 1);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!QFileInfo::exists(away->filePath(QStringLiteral("Monday.mdb"))));
    QCOMPARE(test::contactsOf(databasePath()), QStringList { "current" });
    if (message.isEmpty()) {
        QCOMPARE(test::contactsOf(backupFile), QStringList { "older" });
        return;
    }
    QVERIFY(boxes->last().text.startsWith(message));
    if (message == QLatin1String("Backup has been saved.")) {
        QCOMPARE(boxes->last().icon, Icon::Information);
        QCOMPARE(test::contactsOf(backupFile), QStringList { "current" });
        QCOMPARE(QFile::permissions(backupFile), test::ownerOnly());
        QCOMPARE(QDir::currentPath(), QDir(away->path()).canonicalPath());
    } else {
        QCOMPARE(boxes->last().icon, Icon::Exclamation);
        QVERIFY(boxes->last().text.size() > message.size()); // with the reason
        QVERIFY(!QFileInfo::exists(backupFile));
    }
}

void TestDbutility::restore_data()
{
    QTest::addColumn<QString>("picked"); // empty: cancel
    QTest::addColumn<QString>("backup"); // what the folder's tallow.mdb is
    QTest::addColumn<bool>("restored");
    QTest::newRow("any file picked") << "notes.txt"
                                     << "database" << true;
    QTest::newRow("no tallow.mdb there") << "notes.txt"
                                         << "" << false;
    QTest::newRow("cancelled") << ""
                               << "database" << false;
    QTest::newRow("not a database") << "tallow.mdb"
                                    << "text" << false;
}

void TestDbutility::restore()
{
    QFETCH(QString, picked);
    QFETCH(QString, backup);
    QFETCH(bool, restored);
    const QString backupFile = away->filePath(QStringLiteral("tallow.mdb"));
    if (backup == QLatin1String("database")) {
        QVERIFY(test::makeDatabase(backupFile, QStringLiteral("backup")));
    } else if (backup == QLatin1String("text")) {
        QFile f(backupFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a database");
    }
    QFile notes(away->filePath(QStringLiteral("notes.txt")));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.close();
    dialogs->answers << (picked.isEmpty() ? QString() : away->filePath(picked));
    boxes->expect();
    FrmDbutility *w = open();
    click(w, "cmdRestore");

    QCOMPARE(dialogs->requests.size(), 1);
    QCOMPARE(dialogs->requests[0].title, QStringLiteral("Restore Backup Database"));
    QCOMPARE(dialogs->requests[0].filter, QStringLiteral("Database Files (*.mdb*)"));
    QVERIFY(dialogs->requests[0].proposedName.isEmpty());
    QCOMPARE(boxes->shown.size(), 1);
    QCOMPARE(boxes->last().caption, QStringLiteral("Brindlemoor"));
    if (restored) {
        QCOMPARE(boxes->last().text, QStringLiteral("Your backup copy of the database has been restored !"));
        QCOMPARE(boxes->last().icon, Icon::Information);
    } else {
        QCOMPARE(boxes->last().text, QStringLiteral("Database has not been restored."));
        QCOMPARE(boxes->last().icon, Icon::Exclamation);
    }
    QCOMPARE(test::contactsOf(databasePath()), QStringList { restored ? "backup" : "current" });
    QVERIFY(test::isSound(databasePath()));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestDbutility::repair_data()
{
    QTest::addColumn<bool>("tallow2There");
    QTest::newRow("repaired") << false;
    QTest::newRow("tallow2.mdb there") << true;
}

void TestDbutility::repair()
{
    QFETCH(bool, tallow2There);
    const QString tallow2 = QDir(appFolder()).filePath(QStringLiteral("tallow2.mdb"));
    if (tallow2There) {
        QFile f(tallow2);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    FrmDbutility *w = open();
    const QString sizeAtOpen = labelText(w, "Label8");
    const qint64 before = dbfiles::fileSize(databasePath());
    boxes->expect();
    click(w, "cmdRepair");

    QCOMPARE(boxes->shown.size(), 1);
    if (tallow2There) {
        QCOMPARE(boxes->last().text, notFound);
        QCOMPARE(boxes->last().caption, QStringLiteral("Database not found"));
        QCOMPARE(boxes->last().icon, Icon::Exclamation);
        QCOMPARE(labelText(w, "Label9"), QStringLiteral("?"));
        QCOMPARE(dbfiles::fileSize(databasePath()), before);
    } else {
        QCOMPARE(boxes->last().text, QStringLiteral("DataBase has been repaired !"));
        QCOMPARE(boxes->last().icon, Icon::Information);
        const qint64 after = dbfiles::fileSize(databasePath());
        QVERIFY(after < before);
        QCOMPARE(labelText(w, "Label9"), dbfiles::sizeText(after));
        QVERIFY(!QFileInfo::exists(tallow2));
    }
    QCOMPARE(labelText(w, "Label8"), sizeAtOpen);
    QCOMPARE(test::contactsOf(databasePath()), QStringList { "current" });
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestDbutility::refusedWhileHeld_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("holder");
    for (const char *command : { "cmdBackup", "cmdRestore", "cmdRepair" })
        for (const char *holder :
            { "a window's record source", "the main window", "a record source of no window" })
            QTest::newRow(QByteArray(command) + ", " + holder) << command << holder;
}

// While any record source holds the database, nothing is copied.
void TestDbutility::refusedWhileHeld()
{
    QFETCH(QString, command);
    QFETCH(QString, holder);
    QVERIFY(test::makeDatabase(away->filePath(QStringLiteral("tallow.mdb")), QStringLiteral("backup")));
    std::unique_ptr<test::FakeHub> hub;
    std::unique_ptr<RecordSource> unowned;
    auto *invoice = new QWidget;
    invoice->setObjectName(QStringLiteral("frmInvoice"));
    if (holder == QLatin1String("the main window"))
        hub = std::make_unique<test::FakeHub>();
    else if (holder == QLatin1String("a window's record source"))
        new RecordSource(QStringLiteral("Data2"), QStringLiteral("Booking"), invoice);
    else
        unowned = std::make_unique<RecordSource>(QStringLiteral("Data2"), QStringLiteral("Booking"));
    const QByteArray before = [] {
        QFile f(databasePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    dialogs->answers << away->filePath(QStringLiteral("tallow.mdb"));
    boxes->expect();
    FrmDbutility *w = open();
    click(w, command.toLatin1().constData());

    QCOMPARE(boxes->shown.size(), 1);
    QCOMPARE(boxes->last().icon, Icon::Exclamation);
    if (command == QLatin1String("cmdBackup"))
        QVERIFY(boxes->last().text.startsWith(QStringLiteral("Backup has not been saved.")));
    else if (command == QLatin1String("cmdRestore"))
        QCOMPARE(boxes->last().text, QStringLiteral("Database has not been restored."));
    else
        QCOMPARE(boxes->last().text, notFound);
    QFile f(databasePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll() == before);
    QCOMPARE(test::contactsOf(away->filePath(QStringLiteral("tallow.mdb"))), QStringList { "backup" });
    unowned.reset();
    hub.reset();
    delete invoice;
}

void TestDbutility::heldOnlyWhileOpen_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("saved");
    QTest::newRow("open on the database") << "this file, open" << false;
    QTest::newRow("closed again") << "this file, closed" << true;
    QTest::newRow("open on another file") << "another file" << true;
}

// Only a record source alive on the database file itself holds it.
void TestDbutility::heldOnlyWhileOpen()
{
    QFETCH(QString, source);
    QFETCH(bool, saved);
    QTemporaryDir elsewhere;
    const QString other = elsewhere.filePath(QStringLiteral("other.mdb"));
    QVERIFY(test::makeDatabase(other, QStringLiteral("other")));
    std::unique_ptr<RecordSource> held;
    if (source == QLatin1String("another file")) {
        held = std::make_unique<RecordSource>(
            QStringLiteral("Data1"), QStringLiteral("Phone"), nullptr, other);
        QVERIFY(held->openStatus());
    } else {
        held = std::make_unique<RecordSource>(QStringLiteral("Data1"), QStringLiteral("Phone"));
        QVERIFY(held->openStatus());
        if (source == QLatin1String("this file, closed"))
            held.reset();
    }
    dialogs->answers << away->filePath(QStringLiteral("tallow.mdb"));
    boxes->expect();
    click(open(), "cmdBackup");
    QCOMPARE(boxes->shown.size(), 1);
    if (saved) {
        QCOMPARE(boxes->last().text, QStringLiteral("Backup has been saved."));
        QCOMPARE(test::contactsOf(away->filePath(QStringLiteral("tallow.mdb"))), QStringList { "current" });
    } else {
        QVERIFY(boxes->last().text.startsWith(QStringLiteral("Backup has not been saved.")));
        QVERIFY(!QFileInfo::exists(away->filePath(QStringLiteral("tallow.mdb"))));
    }
}

// A long repair shows the busy pointer and the window goes on painting (and
// handling what the program itself asks of it) while it runs.
void TestDbutility::keepsPainting()
{
    QVERIFY(test::makeDatabase(databasePath(), QStringLiteral("current"), 20000));
    FrmDbutility *w = open();
    bool ranDuringRepair = false;
    bool busyPointer = false;
    QTimer::singleShot(0, w, [&] {
        ranDuringRepair = boxes->shown.isEmpty();
        busyPointer
            = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    boxes->expect();
    click(w, "cmdRepair");
    QCOMPARE(boxes->last().text, QStringLiteral("DataBase has been repaired !"));
    QVERIFY(ranDuringRepair);
    QVERIFY(busyPointer);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

// Topic 1200 through the window's own help component, with no main window.
void TestDbutility::help()
{
    test::RecordingHelp viewer;
    QCOMPARE(platform::mainHub(), nullptr);
    click(open(), "cmdHelp");
    QCOMPARE(viewer.topics, QList<int> { 1200 });
    QCOMPARE(viewer.files, QStringList { appFile(QStringLiteral("tallow.hlp")) });
}

void TestDbutility::exitEndsProgram()
{
    auto *other = new QWidget;
    other->setObjectName(QStringLiteral("frmHelp"));
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->show();
    QPointer<FrmDbutility> w = open();
    click(w, "cmdExit");
    deleteDeferred();
    QVERIFY(w.isNull());
    QCOMPARE(visibleWindows(), QStringList());
    QVERIFY(QApplication::quitOnLastWindowClosed());
}

void TestDbutility::shutDown_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::newRow("Yes") << Answer::Yes;
    QTest::newRow("No") << Answer::No;
}

// Yes at shut-down leaves this window as the only one, and its operations
// then work on the file that nothing holds any more.
void TestDbutility::shutDown()
{
    QFETCH(Answer, answer);
    QPointer<FrmMain> main = new FrmMain;
    main->show();
    auto *calendar = new QWidget;
    calendar->setObjectName(QStringLiteral("frmCalendar"));
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    new RecordSource(QStringLiteral("Data1"), QStringLiteral("Booking"), calendar);
    calendar->show();
    boxes->expect(answer);
    main->close();
    deleteDeferred();
    QVERIFY(main.isNull());
    if (answer == Answer::No) {
        QCOMPARE(visibleWindows(), QStringList());
        return;
    }
    QCOMPARE(visibleWindows(), QStringList { "frmDbutility" });
    dialogs->answers << away->filePath(QStringLiteral("tallow.mdb"));
    boxes->expect();
    click(platform::findWindow(QStringLiteral("frmDbutility")), "cmdBackup");
    QCOMPARE(boxes->last().text, QStringLiteral("Backup has been saved."));
    QCOMPARE(test::contactsOf(away->filePath(QStringLiteral("tallow.mdb"))), QStringList { "current" });
}

void TestDbutility::checkNow_data()
{
    QTest::addColumn<bool>("canOpen");
    QTest::newRow("browser opens") << true;
    QTest::newRow("no browser") << false;
}

void TestDbutility::checkNow()
{
    QFETCH(bool, canOpen);
    test::FakeShell shell;
    shell.canOpen = canOpen;
    QPointer<FrmMain> main = new FrmMain;
    main->show();
    main->findChild<QAction *>(QStringLiteral("mnuUpdate"))->trigger();
    QPointer<QWidget> update = platform::findWindow(QStringLiteral("frmUpdate"));
    QVERIFY(update && update->isVisible());
    QVERIFY(main->isVisible());
    QCOMPARE(update->windowTitle(), QStringLiteral("Check for Update"));
    QCOMPARE(button(update, "cmdCheck")->text(), QStringLiteral("&Check Now"));
    QCOMPARE(button(update, "cmdCancel")->text(), QStringLiteral("C&ancel"));
    screenshot(update, QStringLiteral("update"));
    if (!canOpen)
        boxes->expect();
    click(update, "cmdCheck");
    QCOMPARE(shell.urls, QList<QUrl> { FrmUpdate::updateAddress() });
    QVERIFY(FrmUpdate::updateAddress().isValid());
    QCOMPARE(FrmUpdate::updateAddress().scheme(), QStringLiteral("https"));
    deleteDeferred();
    if (canOpen) {
        QVERIFY(update.isNull());
    } else {
        QVERIFY(update && update->isVisible());
        QCOMPARE(boxes->last().text,
            QStringLiteral("There is a problem connecting to the Internet.\n"
                           "This feature may not work if you are using a browser \n"
                           "other than Microsoft Internet Explorer."));
        QCOMPARE(boxes->last().caption, QStringLiteral("Connection Problem"));
        QCOMPARE(boxes->last().icon, Icon::Exclamation);
        click(update, "cmdCancel");
        deleteDeferred();
        QVERIFY(update.isNull());
    }
}

void TestDbutility::about()
{
    QPointer<FrmMain> main = new FrmMain;
    main->show();
    QAction *item = main->findChild<QAction *>(QStringLiteral("mnuAbout"));
    item->trigger();
    item->trigger(); // brought forward, not made twice
    QPointer<QWidget> box = platform::findWindow(QStringLiteral("frmAbout"));
    QVERIFY(box && box->isVisible());
    QCOMPARE(visibleWindows().count(QStringLiteral("frmAbout")), 1);
    QVERIFY(main->isVisible());
    QCOMPARE(box->windowTitle(), QStringLiteral("About"));
    QCOMPARE(labelText(box, "lblTitle"), QStringLiteral("Brindlemoor"));
    QCOMPARE(labelText(box, "lblVersion"), QStringLiteral("Version: 2.0"));
    QVERIFY(!box->findChild<QLabel *>(QStringLiteral("picIcon"))->pixmap().isNull());
    screenshot(box, QStringLiteral("about"));
    QCOMPARE(button(box, "cmdExit")->text(), QStringLiteral("OK"));
    click(box, "cmdExit");
    deleteDeferred();
    QVERIFY(box.isNull());
}

BM_TEST_MAIN(TestDbutility)
#include "test_dbutility.moc"
