#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "smtptestserver.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "mail/settings.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "setup/frmmail.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace bm;
using platform::Answer;
using platform::Icon;
namespace MS = bm::mailsettings;

namespace
{

const QString jimsKey = QStringLiteral("smtp:jim@smtp.tallow-lake.com");

// Every value of the Mail Settings records as stored, joined by "|".
QString storedText()
{
    QStringList values;
    for (const QVariantList &row : test::rowsBehind(QStringLiteral("SELECT * FROM \"Mail Settings\"")))
        for (const QVariant &v : row)
            values << v.toString();
    return values.join(QLatin1Char('|'));
}

int storedRecords()
{
    return int(test::rowsBehind(QStringLiteral("SELECT ID FROM \"Mail Settings\"")).size());
}

// A record as the window saves it, for the cases that start from one.
void keepJimsSettings()
{
    MS::Settings s;
    s.server = QStringLiteral("smtp.tallow-lake.com");
    s.user = QStringLiteral("jim");
    s.senderAddress = QStringLiteral("jim@tallow-lake.com");
    BM_CHECK(MS::write(s));
}

} // namespace

class TestFrmMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void savedAndShownAgain();
    void passwordKept_data();
    void passwordKept();
    void keyringFailureShown();
    void refused_data();
    void refused();
    void testMessage_data();
    void testMessage();
    void closeWithChanges_data();
    void closeWithChanges();
    void followsOtherDesk_data();
    void followsOtherDesk();

private:
    // Opens the window through the main window's menu item.
    bool open();
    template <class T> T *child(const char *name) const
    {
        T *c = m_window ? m_window->findChild<T *>(QString::fromLatin1(name)) : nullptr;
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    void type(const char *name, const QString &text) { child<QLineEdit>(name)->setText(text); }
    QString shown(const char *name) const { return child<QLineEdit>(name)->text(); }
    void fill();
    bool closed() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !m_window;
    }

    QTemporaryDir m_mailDir;
    test::ScriptedMessages m_boxes;
    QPointer<FrmMain> m_main;
    QPointer<FrmMail> m_window;
};

void TestFrmMail::initTestCase()
{
    QVERIFY(m_mailDir.isValid());
}

void TestFrmMail::init()
{
    test::resetDatabase();
    m_main = new FrmMain;
    m_main->show();
}

void TestFrmMail::cleanup()
{
    test::deleteWindows();
    m_boxes.clear();
}

bool TestFrmMail::open()
{
    QAction *item = m_main->findChild<QAction *>(QStringLiteral("mnuMail"));
    if (!item)
        return false;
    item->trigger();
    m_window = qobject_cast<FrmMail *>(platform::findWindow(QStringLiteral("frmMail")));
    return m_window && m_window->isVisible();
}

void TestFrmMail::fill()
{
    type("txtServer", QStringLiteral("smtp.tallow-lake.com"));
    type("txtPort", QStringLiteral("465"));
    child<QComboBox>("cboSecurity")->setCurrentText(QStringLiteral("TLS"));
    type("txtUser", QStringLiteral("jim"));
    type("txtPassword", QStringLiteral("trout-42"));
    type("txtSenderAddress", QStringLiteral("bookings@tallow-lake.com"));
    type("txtSenderName", QStringLiteral("Tallow Lake Guiding"));
    type("txtGuideAddress", QStringLiteral("jim@example.com"));
}

// What is saved shows when the window opens again; the password is in the
// keyring alone.
void TestFrmMail::savedAndShownAgain()
{
    test::FakeKeyring keyring;
    QVERIFY(open());
    QCOMPARE(child<QLineEdit>("txtPassword")->echoMode(), QLineEdit::Password);
    fill();
    child<QPushButton>("cmdSave")->click();
    QVERIFY(closed());
    QCOMPARE(keyring.secrets, (QMap<QString, QString> { { jimsKey, QStringLiteral("trout-42") } }));
    QCOMPARE(storedRecords(), 1);
    const QString text = storedText();
    QVERIFY2(text.contains(QLatin1String("bookings@tallow-lake.com")), qPrintable(text));
    QVERIFY2(!text.contains(QLatin1String("trout-42")), qPrintable(text));
    if (!test::onServer()) {
        QFile file(databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("trout-42"));
    }

    QVERIFY(open());
    QCOMPARE(shown("txtServer"), QStringLiteral("smtp.tallow-lake.com"));
    QCOMPARE(shown("txtPort"), QStringLiteral("465"));
    QCOMPARE(child<QComboBox>("cboSecurity")->currentText(), QStringLiteral("TLS"));
    QCOMPARE(shown("txtUser"), QStringLiteral("jim"));
    QCOMPARE(shown("txtPassword"), QStringLiteral("trout-42"));
    QCOMPARE(shown("txtSenderAddress"), QStringLiteral("bookings@tallow-lake.com"));
    QCOMPARE(shown("txtSenderName"), QStringLiteral("Tallow Lake Guiding"));
    QCOMPARE(shown("txtGuideAddress"), QStringLiteral("jim@example.com"));
    QVERIFY(child<QLabel>("lblKeyring")->isHidden());
    QCOMPARE(keyring.uses,
        (QStringList { QStringLiteral("write ") + jimsKey, QStringLiteral("read ") + jimsKey }));
}

void TestFrmMail::passwordKept_data()
{
    QTest::addColumn<bool>("kept"); // a record with Jim's login and password before
    QTest::addColumn<QString>("user"); // as typed before saving
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("uses"); // of the keyring, after the read at opening
    QTest::addColumn<QStringList>("secrets"); // key=password

    const QString annsKey = QStringLiteral("smtp:ann@smtp.tallow-lake.com");
    QTest::newRow("first login") << false << "jim"
                                 << "trout-42" << QStringList { "write " + jimsKey }
                                 << QStringList { jimsKey + "=trout-42" };
    QTest::newRow("no login: the keyring is not asked")
        << false << QString() << QString() << QStringList() << QStringList();
    QTest::newRow("nothing changed") << true << "jim"
                                     << "trout-42" << QStringList() << QStringList { jimsKey + "=trout-42" };
    QTest::newRow("another password")
        << true << "jim"
        << "perch-9" << QStringList { "write " + jimsKey } << QStringList { jimsKey + "=perch-9" };
    QTest::newRow("another user: the old password goes")
        << true << "ann"
        << "trout-42" << QStringList { "write " + annsKey, "remove " + jimsKey }
        << QStringList { annsKey + "=trout-42" };
    QTest::newRow("login dropped") << true << QString() << "trout-42" << QStringList { "remove " + jimsKey }
                                   << QStringList();
    QTest::newRow("password emptied")
        << true << "jim" << QString() << QStringList { "remove " + jimsKey } << QStringList();
}

// The keyring holds one password, under the login saved, and is written
// only when the password or its login changed.
void TestFrmMail::passwordKept()
{
    QFETCH(bool, kept);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QStringList, uses);
    QFETCH(QStringList, secrets);
    test::FakeKeyring keyring;
    if (kept) {
        keepJimsSettings();
        keyring.secrets.insert(jimsKey, QStringLiteral("trout-42"));
    }
    QVERIFY(open());
    if (kept) {
        QCOMPARE(keyring.uses, QStringList { QStringLiteral("read ") + jimsKey });
        QCOMPARE(shown("txtPassword"), QStringLiteral("trout-42"));
    } else {
        type("txtServer", QStringLiteral("smtp.tallow-lake.com"));
        type("txtSenderAddress", QStringLiteral("jim@tallow-lake.com"));
    }
    keyring.uses.clear();
    type("txtUser", user);
    type("txtPassword", password);
    child<QPushButton>("cmdSave")->click();
    QVERIFY(closed());
    QCOMPARE(keyring.uses, uses);
    QStringList after;
    for (auto s = keyring.secrets.cbegin(); s != keyring.secrets.cend(); ++s)
        after << s.key() + QLatin1Char('=') + s.value();
    QCOMPARE(after, secrets);
    QVERIFY(!storedText().contains(QLatin1String("trout-42")));
    QVERIFY(!storedText().contains(QLatin1String("perch-9")));
}

// A keyring that can't be reached is said in the window while it opens and
// in a box on saving; the record is saved all the same, and Save once the
// keyring answers keeps the password.
void TestFrmMail::keyringFailureShown()
{
    test::FakeKeyring keyring;
    keyring.failure = QStringLiteral("this computer has no keyring the program can use");
    keepJimsSettings();
    QVERIFY(open());
    QLabel *note = child<QLabel>("lblKeyring");
    QVERIFY(!note->isHidden());
    QVERIFY2(note->text().contains(keyring.failure), qPrintable(note->text()));
    QCOMPARE(shown("txtPassword"), QString());
    // Nothing typed in the field: the password the keyring may hold stays.
    type("txtSenderName", QStringLiteral("Tallow Lake Guiding"));
    child<QPushButton>("cmdSave")->click();
    QVERIFY(closed());
    QCOMPARE(keyring.uses, QStringList { QStringLiteral("read ") + jimsKey });

    keyring.uses.clear();
    QVERIFY(open());
    type("txtSenderName", QStringLiteral("Tallow Lake Guides"));
    type("txtPassword", QStringLiteral("trout-42"));
    m_boxes.expect();
    child<QPushButton>("cmdSave")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY2(m_boxes.last().text.contains(QLatin1String("settings were saved, but the password was not"))
            && m_boxes.last().text.contains(keyring.failure),
        qPrintable(m_boxes.last().text));
    QCOMPARE(m_boxes.last().icon, Icon::Exclamation);
    QVERIFY(!closed());
    QVERIFY(storedText().contains(QLatin1String("Tallow Lake Guides")));
    QVERIFY(keyring.secrets.isEmpty());

    keyring.failure.clear();
    child<QPushButton>("cmdSave")->click();
    QVERIFY(closed());
    QCOMPARE(keyring.secrets.value(jimsKey), QStringLiteral("trout-42"));
}

void TestFrmMail::refused_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("says");

    // The checks are the domain's (test_mailsettings): here a refusal of
    // each kind of field the window shows, on Save and on a test message.
    const char *rows[][4] = {
        { "cmdSave", "txtServer", "smtp tallow-lake.com", "Server" },
        { "cmdSave", "txtPort", "five", "Port" },
        { "cmdSave", "txtSenderAddress", "", "Sender Address" },
        { "cmdSave", "txtGuideAddress", "jim.example.com", "Guide's Address" },
        { "cmdTestMessage", "txtPort", "70000", "Port" },
        { "cmdTestMessage", "txtSenderAddress", "a@example.com b@example.com", "Sender Address" },
    };
    for (const auto &r : rows)
        QTest::addRow("%s, %s \"%s\"", r[0], r[1], r[2])
            << QString::fromLatin1(r[0]) << QString::fromLatin1(r[1]) << QString::fromLatin1(r[2])
            << QString::fromLatin1(r[3]);
}

// A value that can't be kept is named in a box, the cursor goes to it, and
// nothing is written or sent: not the record, not the keyring.
void TestFrmMail::refused()
{
    QFETCH(QString, command);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, says);
    test::FakeKeyring keyring;
    test::ScriptedInput input; // a test message must not get as far as asking
    QVERIFY(open());
    fill();
    child<QLineEdit>(qPrintable(field))->setText(typed);
    m_boxes.expect();
    m_window->findChild<QPushButton *>(command)->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY2(m_boxes.last().text.contains(says), qPrintable(m_boxes.last().text));
    QCOMPARE(m_boxes.last().icon, Icon::Exclamation);
    QCOMPARE(m_window->focusWidget(), child<QLineEdit>(qPrintable(field)));
    QVERIFY(!closed());
    QCOMPARE(storedRecords(), 0);
    QVERIFY(keyring.uses.isEmpty());
    QVERIFY(input.requests.isEmpty());
}

void TestFrmMail::testMessage_data()
{
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<QString>("to"); // answered to the question; "(cancel)" for Cancel
    QTest::addColumn<int>("icon"); // of the box that follows; -1 for none
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("neverSays");

    QTest::newRow("arrives") << true << "ann@example.com" << int(Icon::Information)
                             << "went out to ann@example.com" << QString();
    QTest::newRow("server down") << false << "ann@example.com" << int(Icon::Exclamation)
                                 << "did not take a connection on port"
                                 << "tried again later";
    QTest::newRow("cancelled") << true << "(cancel)" << -1 << QString() << QString();
    QTest::newRow("not an address") << true << "ann at example.com" << int(Icon::Exclamation)
                                    << "\"ann at example.com\" is not one mail address" << QString();
}

// The test message goes with what is typed, unsaved, to the address the
// guide gives, off the window's thread; the outcome is said in a box.
void TestFrmMail::testMessage()
{
    QFETCH(bool, serverUp);
    QFETCH(QString, to);
    QFETCH(int, icon);
    QFETCH(QString, says);
    QFETCH(QString, neverSays);
    if (!test::SmtpTestServer::available())
        QSKIP("/usr/bin/python3 has no aiosmtpd (Debian: python3-aiosmtpd), which the test's mail server "
              "needs");
    QTemporaryDir out(m_mailDir.filePath(QStringLiteral("out-XXXXXX")));
    QVERIFY(out.isValid());
    test::SmtpTestServer server;
    const int port = server.start(QStringLiteral(SMTP_SERVER), out.path());
    QVERIFY(port > 0);
    if (!serverUp)
        server.stop();

    test::FakeKeyring keyring;
    test::ScriptedInput input;
    input.answers << (to == QLatin1String("(cancel)") ? std::nullopt : std::optional<QString>(to));
    QVERIFY(open());
    type("txtServer", QStringLiteral("127.0.0.1"));
    type("txtPort", QString::number(port));
    child<QComboBox>("cboSecurity")->setCurrentText(QStringLiteral("None"));
    type("txtSenderAddress", QStringLiteral("bookings@tallow-lake.com"));
    type("txtSenderName", QStringLiteral("Tallow Lake Guiding"));
    if (icon >= 0)
        m_boxes.expect();
    auto *command = child<QPushButton>("cmdTestMessage");
    command->click();
    QCOMPARE(input.requests.size(), 1);
    QCOMPARE(input.requests.first().text, QStringLiteral("bookings@tallow-lake.com"));
    if (m_window->isSending()) {
        QVERIFY(!command->isEnabled());
        QVERIFY(QApplication::overrideCursor());
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isSending(), 60000);
    }
    QVERIFY(command->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    if (icon < 0) {
        QVERIFY(m_boxes.shown.isEmpty());
    } else {
        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(int(m_boxes.last().icon), icon);
        QVERIFY2(m_boxes.last().text.contains(says), qPrintable(m_boxes.last().text));
        if (!neverSays.isEmpty())
            QVERIFY2(!m_boxes.last().text.contains(neverSays), qPrintable(m_boxes.last().text));
    }
    const QList<QJsonObject> received = server.received();
    QCOMPARE(received.size(), icon == int(Icon::Information) ? 1 : 0);
    if (!received.isEmpty()) {
        QCOMPARE(received.first().value(QLatin1String("mail_from")).toString(),
            QStringLiteral("bookings@tallow-lake.com"));
        QCOMPARE(received.first().value(QLatin1String("rcpt_tos")).toArray(), QJsonArray { to });
    }
    // Nothing is saved by a test, and no login asked for the keyring.
    QCOMPARE(storedRecords(), 0);
    QVERIFY(keyring.uses.isEmpty());
}

void TestFrmMail::closeWithChanges_data()
{
    QTest::addColumn<QString>("field"); // typed in; empty: nothing typed
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("command"); // the window's command, or "window" for its close button
    QTest::addColumn<int>("answer"); // to the question; -1 when none comes
    QTest::addColumn<bool>("refused"); // whether Save then refuses the settings
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("closes");

    QTest::newRow("Yes") << "txtSenderName"
                         << "Tallow Lake Guides"
                         << "window" << int(Answer::Yes) << false << true << true;
    QTest::newRow("No") << "txtSenderName"
                        << "Tallow Lake Guides"
                        << "window" << int(Answer::No) << false << false << true;
    QTest::newRow("Cancel") << "txtSenderName"
                            << "Tallow Lake Guides"
                            << "window" << int(Answer::Cancel) << false << false << false;
    QTest::newRow("Yes, refused") << "txtPort"
                                  << "five"
                                  << "window" << int(Answer::Yes) << true << false << false;
    QTest::newRow("a password typed") << "txtPassword"
                                      << "perch-9"
                                      << "window" << int(Answer::No) << false << false << true;
    QTest::newRow("nothing typed") << QString() << QString() << "window" << -1 << false << false << true;
    QTest::newRow("the Cancel command") << "txtSenderName"
                                        << "Tallow Lake Guides"
                                        << "cmdCancel" << -1 << false << false << true;
}

// Closing the window with changes asks whether to save them: Yes saves (and
// stays when a value is refused), No lets them go, Cancel stays. The Cancel
// command lets them go without asking.
void TestFrmMail::closeWithChanges()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, command);
    QFETCH(int, answer);
    QFETCH(bool, refused);
    QFETCH(bool, saved);
    QFETCH(bool, closes);
    test::FakeKeyring keyring;
    keyring.secrets.insert(jimsKey, QStringLiteral("trout-42"));
    keepJimsSettings();
    QVERIFY(open());
    QVERIFY(!m_window->hasChanges());
    if (!field.isEmpty())
        type(qPrintable(field), typed);
    if (answer >= 0)
        m_boxes.expect(Answer(answer));
    if (refused)
        m_boxes.expect();
    if (command == QLatin1String("window"))
        m_window->close();
    else
        child<QPushButton>(qPrintable(command))->click();

    QCOMPARE(m_boxes.shown.size(), (answer >= 0) + int(refused));
    if (answer >= 0) {
        const platform::Message &asked = m_boxes.shown.first();
        QCOMPARE(asked.text, QStringLiteral("Save the changes to the mail settings?"));
        QCOMPARE(asked.buttons, platform::Buttons::YesNoCancel);
        QCOMPARE(asked.caption, QStringLiteral("Mail"));
    }
    if (refused)
        QVERIFY2(m_boxes.last().text.contains(QLatin1String("Port")), qPrintable(m_boxes.last().text));
    QCOMPARE(closed(), closes);
    QCOMPARE(storedText().contains(QLatin1String("Tallow Lake Guides")), saved);
    QCOMPARE(keyring.secrets.value(jimsKey), QStringLiteral("trout-42"));
    if (!closes)
        QCOMPARE(shown(qPrintable(field)), typed);
}

void TestFrmMail::followsOtherDesk_data()
{
    QTest::addColumn<QString>("typed"); // in Sender Name before the other desk saves; empty: nothing
    QTest::newRow("nothing typed") << QString();
    QTest::newRow("typing") << "Tallow Lake Guides";
}

// Settings saved elsewhere meanwhile show at once while the guide has
// changed nothing here, and never replace what he is typing.
void TestFrmMail::followsOtherDesk()
{
    QFETCH(QString, typed);
    test::FakeKeyring keyring;
    keepJimsSettings();
    QVERIFY(open());
    if (!typed.isEmpty())
        type("txtSenderName", typed);
    MS::Settings elsewhere;
    BM_VERIFY(MS::read(elsewhere));
    elsewhere.senderName = QStringLiteral("Tallow Lake Lodge");
    elsewhere.port = QStringLiteral("465");
    elsewhere.security = QLatin1String(MS::tls);
    BM_VERIFY(MS::write(elsewhere));
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(shown("txtSenderName"), typed.isEmpty() ? elsewhere.senderName : typed);
    QCOMPARE(shown("txtPort"), typed.isEmpty() ? QStringLiteral("465") : QStringLiteral("587"));
    QCOMPARE(m_window->hasChanges(), !typed.isEmpty());
    // What was saved elsewhere is not a change of this window's.
    if (typed.isEmpty()) {
        m_window->close();
        QVERIFY(closed());
    }
}

BM_TEST_MAIN(TestFrmMail)
#include "test_frmmail.moc"
