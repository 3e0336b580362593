#include "doubles.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "main/bookingspanel.h"
#include "main/frmmain.h"
#include "maintenance/helpviewer.h"
#include "platform/help.h"
#include "platform/windows.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>

using namespace bm;

namespace
{

const QList<int> &tableTopics()
{
    static const QList<int> topics { 10, 400, 1200, 2200, 2300, 2600, 2700, 2800, 3000, 3200, 3300, 3400,
        3500, 3600, 3700, 3800, 3900, 4000, 4100, 4200, 4300, 4400, 4500, 4600 };
    return topics;
}

HelpViewer *viewer()
{
    return qobject_cast<HelpViewer *>(platform::findWindow(QStringLiteral("frmHelp")));
}

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everyTopicIsWritten_data();
    void everyTopicIsWritten();
    void linksLeadToTopics();
    void topicReachesTheViewer_data();
    void topicReachesTheViewer();
    void oneViewerBesideTheCaller();
    void notices_data();
    void notices();
    void linksAndContents();
    void contentsFromTheMainWindow();
    void helpKeyInOtherWindows_data();
    void helpKeyInOtherWindows();
    void helpKeyBesideTheMainWindow();
    void helpKeyInEveryWindow_data();
    void helpKeyInEveryWindow();
};

void TestHelp::init()
{
    installHelpViewer();
}

void TestHelp::cleanup()
{
    platform::setHelpViewerService(nullptr);
    test::deleteWindows();
}

void TestHelp::everyTopicIsWritten_data()
{
    QTest::addColumn<int>("topic");
    QTest::newRow("contents") << 0;
    for (int t : tableTopics())
        QTest::newRow(QByteArray::number(t)) << t;
}

// The delivered help file holds a real page for every topic number.
void TestHelp::everyTopicIsWritten()
{
    QFETCH(int, topic);
    const HelpFile file = HelpFile::load(appFile(QStringLiteral("tallow.hlp")));
    QVERIFY2(file.isOpen(), qPrintable(file.error()));
    QVERIFY(file.contains(topic));
    QVERIFY(!file.topic(topic).title.isEmpty());
    QTextDocument doc;
    doc.setHtml(file.topic(topic).html);
    QVERIFY2(doc.toPlainText().simplified().size() > 300, qPrintable(doc.toPlainText()));
}

// Every link goes to a topic of the file, and the contents reach them all.
void TestHelp::linksLeadToTopics()
{
    const HelpFile file = HelpFile::load(appFile(QStringLiteral("tallow.hlp")));
    static const QRegularExpression link(QStringLiteral("href=\"([^\"]*)\""));
    for (int t : file.numbers()) {
        for (auto it = link.globalMatch(file.topic(t).html); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(target.startsWith(QLatin1String("topic:")), qPrintable(target));
            QVERIFY2(file.contains(target.mid(6).toInt()),
                qPrintable(QStringLiteral("%1 in %2").arg(target).arg(t)));
        }
    }
    for (int t : tableTopics())
        QVERIFY2(file.topic(0).html.contains(QStringLiteral("href=\"topic:%1\"").arg(t)),
            qPrintable(QString::number(t)));
}

void TestHelp::topicReachesTheViewer_data()
{
    everyTopicIsWritten_data();
}

void TestHelp::topicReachesTheViewer()
{
    QFETCH(int, topic);
    const HelpFile file = HelpFile::load(appFile(QStringLiteral("tallow.hlp")));
    platform::HelpComponent dlgHelp;
    dlgHelp.setHelpFile(appFile(QStringLiteral("tallow.hlp")));
    dlgHelp.showTopic(QStringLiteral("3400"));
    dlgHelp.showTopic(QString::number(topic));
    QVERIFY(viewer());
    QVERIFY(viewer()->isVisible());
    QCOMPARE(viewer()->currentTopic(), topic);
    QVERIFY(!viewer()->showsNotice());
    QCOMPARE(viewer()->currentTitle(), file.topic(topic).title);
    QVERIFY(viewer()->browser()->toPlainText().size() > 300);
}

// The viewer opens once, beside the window that asked, which keeps the focus.
void TestHelp::oneViewerBesideTheCaller()
{
    QWidget caller;
    caller.setGeometry(10, 40, 300, 300);
    caller.show();
    caller.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&caller));
    platform::HelpComponent dlgHelp;
    dlgHelp.setHelpFile(appFile(QStringLiteral("tallow.hlp")));
    dlgHelp.showTopic(QStringLiteral("2600"));
    HelpViewer *first = viewer();
    QVERIFY(first);
    QVERIFY(!first->frameGeometry().intersects(caller.frameGeometry()));
    dlgHelp.showTopic(QStringLiteral("2700"));
    QCOMPARE(viewer(), first);
    QCOMPARE(first->currentTopic(), 2700);
    int viewers = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        viewers += qobject_cast<HelpViewer *>(w) ? 1 : 0;
    QCOMPARE(viewers, 1);
    QCOMPARE(QApplication::activeWindow(), &caller);
}

void TestHelp::notices_data()
{
    QTest::addColumn<QString>("content"); // empty: no file at all
    QTest::addColumn<int>("topic");
    QTest::addColumn<QString>("notice");
    QTest::newRow("missing file") << QString() << 10 << "The help file %1 can not be found.";
    QTest::newRow("unknown topic") << "<section topic=\"10\" title=\"Main\">x</section>" << 9999
                                   << "There is no help topic 9999 in the help file.";
    QTest::newRow("no contents") << "<section topic=\"10\" title=\"Main\">x</section>" << 0
                                 << "There is no help topic 0 in the help file.";
    QTest::newRow("not a help file") << "just some text" << 10 << "The help file %1 holds no help topics.";
}

// A missing file or topic shows a notice in the viewer, never a failure.
void TestHelp::notices()
{
    QFETCH(QString, content);
    QFETCH(int, topic);
    QFETCH(QString, notice);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tallow.hlp"));
    if (!content.isNull()) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content.toUtf8());
    }
    platform::HelpComponent dlgHelp;
    dlgHelp.setHelpFile(path);
    dlgHelp.showTopic(QString::number(topic));
    QVERIFY(viewer());
    QVERIFY(viewer()->isVisible());
    QVERIFY(viewer()->showsNotice());
    QCOMPARE(viewer()->browser()->toPlainText(),
        notice.contains(QLatin1String("%1")) ? notice.arg(QDir::toNativeSeparators(path)) : notice);
}

void TestHelp::linksAndContents()
{
    platform::HelpComponent dlgHelp;
    dlgHelp.setHelpFile(appFile(QStringLiteral("tallow.hlp")));
    dlgHelp.setHelpCommand(platform::HelpComponent::ContentsRequest);
    dlgHelp.ShowHelp();
    QCOMPARE(viewer()->currentTopic(), 0);
    auto *contents = viewer()->findChild<QPushButton *>(QStringLiteral("cmdContents"));
    QVERIFY(!contents->isEnabled());
    emit viewer()->browser()->anchorClicked(QUrl(QStringLiteral("topic:400")));
    QCOMPARE(viewer()->currentTopic(), 400);
    QVERIFY(!viewer()->showsNotice());
    // Links out of the help file lead nowhere.
    emit viewer()->browser()->anchorClicked(QUrl(QStringLiteral("https://example.com/")));
    QCOMPARE(viewer()->currentTopic(), 400);
    QVERIFY(contents->isEnabled());
    contents->click();
    QCOMPARE(viewer()->currentTopic(), 0);
}

void TestHelp::contentsFromTheMainWindow()
{
    auto *main = new FrmMain;
    main->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_F1);
    QVERIFY(viewer());
    QCOMPARE(viewer()->currentTopic(), 0);
    QCOMPARE(viewer()->currentTitle(), QStringLiteral("Brindlemoor Help"));
    QVERIFY(main->isVisible());
}

void TestHelp::helpKeyInOtherWindows_data()
{
    QTest::addColumn<QString>("command"); // the window's Help command
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("topic");
    QTest::newRow("Help button") << "button" << true << 400;
    QTest::newRow("Help button, disabled") << "button" << false << 0;
    QTest::newRow("Help on the toolbar") << "toolbar" << true << 2600;
    QTest::newRow("Help on the toolbar, disabled") << "toolbar" << false << 0;
    QTest::newRow("no Help command") << "" << true << 0;
}

// F1 in another window runs its Help command, else opens the contents; with
// no main window left the help file is still the program's.
void TestHelp::helpKeyInOtherWindows()
{
    QFETCH(QString, command);
    QFETCH(bool, enabled);
    QFETCH(int, topic);
    test::RecordingHelp recorded;
    platform::HelpComponent dlgHelp;
    dlgHelp.setHelpFile(appFile(QStringLiteral("tallow.hlp")));
    QWidget window;
    auto *box = new QLineEdit(&window);
    if (command == QLatin1String("button")) {
        auto *help = new QPushButton(QStringLiteral("&Help"), &window);
        help->setObjectName(QStringLiteral("cmdHelp"));
        help->setEnabled(enabled);
        help->move(0, 40);
        connect(help, &QPushButton::clicked, &dlgHelp, [&] { dlgHelp.showTopic(QStringLiteral("400")); });
        platform::addHelpCommand(&window, help);
    } else if (command == QLatin1String("toolbar")) {
        auto *bar = new QToolBar(&window);
        bar->move(0, 40);
        QAction *help = bar->addAction(QStringLiteral("Help"));
        help->setData(QStringLiteral("Help"));
        help->setEnabled(enabled);
        connect(help, &QAction::triggered, &dlgHelp, [&] { dlgHelp.showTopic(QStringLiteral("2600")); });
        platform::addHelpCommand(&window, help);
    }
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_F1);
    QCOMPARE(recorded.topics, QList<int> { topic });
    QCOMPARE(recorded.files, QStringList { appFile(QStringLiteral("tallow.hlp")) });
}

// The main window opens the contents once; the contact entry beside it, which
// has no Help command, opens them through the main window's dlgHelp.
void TestHelp::helpKeyBesideTheMainWindow()
{
    test::RecordingHelp recorded;
    auto *main = new FrmMain;
    main->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main->findChild<QWidget *>(QStringLiteral("DBGrid1")), Qt::Key_F1);
    QCOMPARE(recorded.topics, QList<int> { 0 });

    QWidget *entry = new QWidget;
    entry->setAttribute(Qt::WA_DeleteOnClose);
    auto *box = new QLineEdit(entry);
    entry->show();
    entry->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(entry));
    main->hub().dlgHelp().setHelpFile(QStringLiteral("/elsewhere/tallow.hlp"));
    QTest::keyClick(box, Qt::Key_F1);
    QCOMPARE(recorded.topics, (QList<int> { 0, 0 }));
    QCOMPARE(recorded.files.constLast(), QStringLiteral("/elsewhere/tallow.hlp"));
}

void TestHelp::helpKeyInEveryWindow_data()
{
    QTest::addColumn<QString>("command"); // a menu item, or a button of the bookings panel
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("topic");
    QTest::newRow("gear") << "mnuGear"
                          << "frmFgear" << 2600;
    QTest::newRow("patterns") << "mnuPatterns"
                              << "frmPatterns" << 3000;
    QTest::newRow("diary") << "mnuLog"
                           << "frmDiary" << 2200;
    QTest::newRow("search") << "mnuSearch"
                            << "frmFind" << 3200;
    QTest::newRow("setup") << "mnuDBOptions"
                           << "frmSetup" << 3400;
    QTest::newRow("booking") << "cmdEditbooking"
                             << "frmBooking" << 400;
    QTest::newRow("invoice") << "cmdInvoice"
                             << "frmInvoice" << 3300;
    QTest::newRow("booking page") << "mnuBookingPage"
                                  << "frmBookingPage" << 3600;
    QTest::newRow("requests") << "mnuRequests"
                              << "frmRequests" << 3600;
    QTest::newRow("mail") << "mnuMail"
                          << "frmMail" << 3700;
    QTest::newRow("outbox") << "mnuOutbox"
                            << "frmOutbox" << 3700;
    QTest::newRow("mail texts") << "mnuMailTexts"
                                << "frmMailTexts" << 3800;
    QTest::newRow("history") << "mnuHistory"
                             << "frmHistory" << 3900;
    QTest::newRow("deleted records") << "mnuBin"
                                     << "frmBin" << 4000;
    QTest::newRow("logbook") << "mnuLogbook"
                             << "frmLogbook" << 4500;
    QTest::newRow("calendar sync") << "mnuCalendarSync"
                                   << "frmCalendarSync" << 4600;
}

// F1 in each window runs that window's own Help command.
void TestHelp::helpKeyInEveryWindow()
{
    QFETCH(QString, command);
    QFETCH(QString, window);
    QFETCH(int, topic);
    test::RecordingHelp viewer;
    auto *main = new FrmMain;
    main->show();
    if (auto *item = main->findChild<QAction *>(command)) {
        item->trigger();
    } else {
        main->toolbarButton(QStringLiteral("Bookings"))->trigger();
        main->bookingsPanel()->findChild<QPushButton *>(command)->click();
    }
    QWidget *opened = platform::findWindow(window);
    QVERIFY(opened);
    opened->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(opened));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : opened, Qt::Key_F1);
    QCOMPARE(viewer.topics, QList<int> { topic });
}

BM_TEST_MAIN(TestHelp)
#include "test_help.moc"
