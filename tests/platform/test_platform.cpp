#include "doubles.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "platform/filedialogs.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/report.h"
#include "platform/shell.h"
#include "platform/windows.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrlQuery>

using namespace bm;
using namespace bm::platform;

Q_DECLARE_METATYPE(bm::platform::Icon)
Q_DECLARE_METATYPE(bm::platform::Buttons)
Q_DECLARE_METATYPE(bm::platform::Answer)

namespace
{

// Runs a check on the modal box that the next exec() opens, then closes it.
template <class F> void onNextModal(F check)
{
    QTimer::singleShot(0, [check] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        check(modal);
    });
}

} // namespace

// Two window classes, each naming itself as the program's windows do.
class ReminderWindow : public QWidget
{
    Q_OBJECT
public:
    ReminderWindow() { setObjectName(QStringLiteral("frmReminder")); }
};

class CalendarWindow : public QWidget
{
    Q_OBJECT
public:
    CalendarWindow() { setObjectName(QStringLiteral("frmCalendar")); }
};

class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void messageHelpers_data();
    void messageHelpers();
    void askYesNo_data();
    void askYesNo();
    void productionBox_data();
    void productionBox();

    void mailto_data();
    void mailto();
    void mailtoWithSubjectAndBody_data();
    void mailtoWithSubjectAndBody();
    void refusedRequests();
    void clock();

    void productionFileDialog();

    void windowsOnce();
    void windowAfterClose();
    void minimizedWindowComesBack();

    void helpTopics();
    void helpWithoutMainWindow();
    void printReport();
};

void TestPlatform::messageHelpers_data()
{
    QTest::addColumn<int>("helper");
    QTest::addColumn<Icon>("icon");
    QTest::newRow("inform") << 0 << Icon::Information;
    QTest::newRow("warn") << 1 << Icon::Exclamation;
    QTest::newRow("stop") << 2 << Icon::Critical;
    QTest::newRow("plain message") << 3 << Icon::None;
}

void TestPlatform::messageHelpers()
{
    QFETCH(int, helper);
    QFETCH(Icon, icon);
    test::ScriptedMessages boxes;
    boxes.expect();
    const QString text = QStringLiteral("The first line\nThe second line");
    switch (helper) {
    case 0:
        inform(text);
        break;
    case 1:
        warn(text);
        break;
    case 2:
        stop(text);
        break;
    default:
        message(text);
        break;
    }
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.last().text, text);
    QCOMPARE(boxes.last().icon, icon);
    QCOMPARE(boxes.last().buttons, Buttons::Ok);
    QCOMPARE(boxes.last().caption, QStringLiteral("Brindlemoor"));
}

void TestPlatform::askYesNo_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << Answer::Yes << true;
    QTest::newRow("No") << Answer::No << false;
}

void TestPlatform::askYesNo()
{
    QFETCH(Answer, answer);
    QFETCH(bool, yes);
    test::ScriptedMessages boxes;
    boxes.expect(answer);
    QCOMPARE(platform::askYesNo(QStringLiteral("Delete it ?"), QStringLiteral("Delete Information")), yes);
    QCOMPARE(boxes.last().icon, Icon::Question);
    QCOMPARE(boxes.last().buttons, Buttons::YesNo);
    QCOMPARE(boxes.last().caption, QStringLiteral("Delete Information"));
}

// The real box: its caption, text, icon and buttons, Yes as the default and
// Escape as No, or as Cancel where there is one; N answers No.
void TestPlatform::productionBox_data()
{
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<int>("key");
    QTest::addColumn<Answer>("answer");
    QTest::newRow("Yes/No, Enter") << Buttons::YesNo << int(Qt::Key_Return) << Answer::Yes;
    QTest::newRow("Yes/No, Escape") << Buttons::YesNo << int(Qt::Key_Escape) << Answer::No;
    QTest::newRow("OK, Enter") << Buttons::Ok << int(Qt::Key_Return) << Answer::Ok;
    QTest::newRow("Yes/No/Cancel, Enter") << Buttons::YesNoCancel << int(Qt::Key_Return) << Answer::Yes;
    QTest::newRow("Yes/No/Cancel, Escape") << Buttons::YesNoCancel << int(Qt::Key_Escape) << Answer::Cancel;
    QTest::newRow("Yes/No/Cancel, N") << Buttons::YesNoCancel << int(Qt::Key_N) << Answer::No;
}

void TestPlatform::productionBox()
{
    QFETCH(Buttons, buttons);
    QFETCH(int, key);
    QFETCH(Answer, answer);
    bool checked = false;
    onNextModal([&checked, buttons, key](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Close Program"));
        QCOMPARE(box->text(), QStringLiteral("Do you want to backup the Database ?"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        if (buttons == Buttons::YesNo) {
            QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
        } else if (buttons == Buttons::YesNoCancel) {
            QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
        } else {
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        }
        checked = true;
        QTest::keyClick(box, Qt::Key(key));
    });
    const Answer got = message(QStringLiteral("Do you want to backup the Database ?"), Icon::Question,
        buttons, QStringLiteral("Close Program"));
    QVERIFY(checked);
    QCOMPARE(got, answer);
}

void TestPlatform::mailto_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("recipient");
    QTest::newRow("plain") << "guide@example.com"
                           << "guide@example.com";
    QTest::newRow("blanks around") << "  guide@example.com "
                                   << "guide@example.com";
    QTest::newRow("blank inside") << "john smith@example.com"
                                  << "john smith@example.com";
    QTest::newRow("question mark") << "a@example.com?cc=x@evil.org"
                                   << "a@example.com?cc=x@evil.org";
    QTest::newRow("ampersand") << "a@example.com?subject=Hi&body=x"
                               << "a@example.com?subject=Hi&body=x";
    QTest::newRow("line break") << "a@example.com\r\nBcc: x@evil.org"
                                << "a@example.com\r\nBcc: x@evil.org";
    QTest::newRow("hash") << "a@example.com#x"
                          << "a@example.com#x";
}

// Whatever the address holds, it stays the one recipient: no query (headers),
// no fragment, nothing raw that a mail program would split on.
void TestPlatform::mailto()
{
    QFETCH(QString, address);
    QFETCH(QString, recipient);
    test::FakeShell shell;
    QVERIFY(openMail(address));
    QCOMPARE(shell.urls.size(), 1);
    const QUrl url = shell.urls.constFirst();
    QCOMPARE(url.scheme(), QStringLiteral("mailto"));
    QVERIFY(!url.hasQuery());
    QVERIFY(!url.hasFragment());
    QCOMPARE(url.path(QUrl::FullyDecoded), recipient);
    const QByteArray encoded = url.toEncoded();
    for (const char c : { '?', '#', ' ', '\r', '\n' })
        QVERIFY2(!encoded.contains(c), encoded.constData());
    // Read back by a mail program, the address is what the guide typed.
    QCOMPARE(QUrl::fromEncoded(encoded).path(QUrl::FullyDecoded), recipient);
}

void TestPlatform::mailtoWithSubjectAndBody_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("bodyAsSent");
    QTest::newRow("commas and blanks") << "Your trip, June 1"
                                       << "Lake: Table Rock"
                                       << "subject=Your%20trip%2C%20June%201&body=Lake%3A%20Table%20Rock"
                                       << "Lake: Table Rock";
    QTest::newRow("ampersands and equals") << "Bass & Crappie"
                                           << "a=b&cc=x@evil.org"
                                           << "subject=Bass%20%26%20Crappie&body=a%3Db%26cc%3Dx%40evil.org"
                                           << "a=b&cc=x@evil.org";
    QTest::newRow("accents") << "Café Lodge"
                             << "Zoë"
                             << "subject=Caf%C3%A9%20Lodge&body=Zo%C3%AB"
                             << "Zoë";
    QTest::newRow("line breaks as CR LF") << "Trip"
                                          << "one\ntwo\r\nthree\rfour"
                                          << "subject=Trip&body=one%0D%0Atwo%0D%0Athree%0D%0Afour"
                                          << "one\r\ntwo\r\nthree\r\nfour";
    QTest::newRow("percent, plus and hash") << "100% + #1"
                                            << "50%"
                                            << "subject=100%25%20%2B%20%231&body=50%25"
                                            << "50%";
}

// The subject and body stay text of their own fields: nothing in them adds a
// header, a recipient or a fragment.
void TestPlatform::mailtoWithSubjectAndBody()
{
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, query);
    QFETCH(QString, bodyAsSent);
    test::FakeShell shell;
    QVERIFY(openMail(QStringLiteral("ann@example.com"), subject, body));
    QCOMPARE(shell.urls.size(), 1);
    const QByteArray encoded = shell.urls.constFirst().toEncoded();
    QCOMPARE(QString::fromLatin1(encoded), QStringLiteral("mailto:ann@example.com?") + query);
    const QUrl read = QUrl::fromEncoded(encoded);
    QVERIFY(!read.hasFragment());
    const QUrlQuery fields(read);
    QCOMPARE(fields.queryItems(QUrl::FullyDecoded).size(), 2);
    QCOMPARE(fields.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), subject);
    QCOMPARE(fields.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), bodyAsSent);
}

void TestPlatform::refusedRequests()
{
    test::FakeShell shell;
    shell.canOpen = false;
    shell.canStartCalculator = false;
    QVERIFY(!openMail(QStringLiteral("guide@example.com")));
    QVERIFY(!openWebPage(QUrl(QStringLiteral("https://example.com/update"))));
    QVERIFY(!platform::startCalculator());
    QCOMPARE(shell.urls.size(), 2);
    QCOMPARE(shell.urls.at(1), QUrl(QStringLiteral("https://example.com/update")));
    QCOMPARE(shell.calculatorStarts, 1);
    shell.canOpen = true;
    shell.canStartCalculator = true;
    QVERIFY(openWebPage(QUrl(QStringLiteral("https://example.com/update"))));
    QVERIFY(platform::startCalculator());
}

void TestPlatform::clock()
{
    {
        test::FakeClock clock(QDate(2005, 5, 14));
        QCOMPARE(today(), QDate(2005, 5, 14));
        clock.date = QDate(2030, 1, 1);
        QCOMPARE(today(), QDate(2030, 1, 1));
    }
    // The system clock again once the fake is gone.
    const QDate before = QDate::currentDate();
    const QDate now = today();
    QVERIFY(now == before || now == QDate::currentDate());
}

// The real save dialog: its title, filter and proposed name; cancelling gives
// no file.
void TestPlatform::productionFileDialog()
{
    bool checked = false;
    onNextModal([&checked](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Save Database Backup"));
        QCOMPARE(dialog->nameFilters(), QStringList { QStringLiteral("Database Files (*.mdb)") });
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        checked = true;
        dialog->reject();
    });
    const QString chosen = saveFileName(FileRequest { QStringLiteral("Save Database Backup"),
        QStringLiteral("Database Files (*.mdb)"), QStringLiteral("tallow"), true });
    QVERIFY(checked);
    QVERIFY(chosen.isEmpty());
}

void TestPlatform::windowsOnce()
{
    auto *first = showWindow<ReminderWindow>();
    QVERIFY(first->isVisible());
    QCOMPARE(findWindow<CalendarWindow>(), nullptr);
    auto *other = showWindow<CalendarWindow>();
    // Opening it again gives the same window, not a second one.
    QCOMPARE(showWindow<ReminderWindow>(), first);
    QCOMPARE(findWindow<ReminderWindow>(), first);
    QCOMPARE(findWindow(QStringLiteral("frmReminder")), first);
    QCOMPARE(loadWindow<CalendarWindow>(), other);
    QCOMPARE(findWindow(QStringLiteral("frmCalendar")), other);
    first->close();
    other->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestPlatform::windowAfterClose()
{
    QPointer<QWidget> first = showWindow<ReminderWindow>();
    first->close();
    // Closed, it is gone even before its deletion.
    QCOMPARE(findWindow<ReminderWindow>(), nullptr);
    QCOMPARE(findWindow(QStringLiteral("frmReminder")), nullptr);
    QWidget *second = showWindow<ReminderWindow>();
    QVERIFY(second != first.data());
    QVERIFY(second->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    QCOMPARE(findWindow<ReminderWindow>(), second);
    second->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestPlatform::minimizedWindowComesBack()
{
    QWidget *w = showWindow<CalendarWindow>();
    w->showMinimized();
    QVERIFY(w->isMinimized());
    QCOMPARE(showWindow<CalendarWindow>(), w);
    QVERIFY(!w->isMinimized());
    QVERIFY(w->isVisible());
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Each Help command sets its own topic: none leaks from the one before.
void TestPlatform::helpTopics()
{
    test::RecordingHelp viewer;
    test::FakeHub hub;
    hub.help.setHelpFile(appFile(QStringLiteral("tallow.hlp")));
    showHelpTopic(QStringLiteral("2600"));
    showHelpTopic(QStringLiteral("2700"));
    hub.help.setHelpCommand(HelpComponent::ContentsRequest);
    hub.help.ShowHelp();
    showHelpTopic(QStringLiteral("3400"));
    QCOMPARE(viewer.topics, (QList<int> { 2600, 2700, 0, 3400 }));
    QCOMPARE(viewer.files.constFirst(), appFile(QStringLiteral("tallow.hlp")));
    QCOMPARE(hub.help.helpContext(), 3400);
}

void TestPlatform::helpWithoutMainWindow()
{
    test::RecordingHelp viewer;
    QCOMPARE(mainHub(), nullptr);
    showHelpTopic(QStringLiteral("10"));
    platform::printReport(QStringLiteral("trip.rpt"));
    QVERIFY(viewer.topics.isEmpty());
    // A window's own help component works without the main window.
    HelpComponent own;
    own.setHelpFile(QStringLiteral("tallow.hlp"));
    own.showTopic(QStringLiteral("1200"));
    QCOMPARE(viewer.topics, QList<int> { 1200 });
}

void TestPlatform::printReport()
{
    test::RecordingReports reports;
    test::FakeHub hub;
    platform::printReport(QStringLiteral("invoice.rpt"), Bookmark { 7 });
    platform::printReport(QStringLiteral("trip.rpt"));
    QCOMPARE(reports.files,
        (QStringList { appFile(QStringLiteral("invoice.rpt")), appFile(QStringLiteral("trip.rpt")) }));
    // The selection is for the one run it was set for.
    QCOMPARE(reports.selections, (QList<Bookmark> { Bookmark { 7 }, Bookmark {} }));
    QCOMPARE(hub.reports.reportFileName(), appFile(QStringLiteral("trip.rpt")));
}

BM_TEST_MAIN(TestPlatform)
#include "test_platform.moc"
