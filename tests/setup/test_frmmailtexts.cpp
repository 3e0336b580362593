#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "mail/texts.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "setup/frmmailtexts.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace bm;
using platform::Answer;

namespace
{

// The text of a kind as the program now uses it.
mail::Text inUse(const QString &kind)
{
    mail::Text t;
    BM_CHECK(mail::text(databasePath(), kind, t));
    return t;
}

mail::Text delivered(const QString &kind)
{
    for (const mail::Text &t : mail::deliveredTexts())
        if (t.kind == kind)
            return t;
    return {};
}

int storedTexts()
{
    return int(test::rowsBehind(QStringLiteral("SELECT ID FROM \"Mail Texts\"")).size());
}

} // namespace

class TestFrmMailTexts : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void savedAndReadBack_data();
    void savedAndReadBack();
    void daysChecked_data();
    void daysChecked();
    void unreadableRefused_data();
    void unreadableRefused();
    void preview_data();
    void preview();
    void unsavedChanges_data();
    void unsavedChanges();
    void deliveredTextRestored();
    void otherDesk_data();
    void otherDesk();
    void looks();

private:
    // Opens the window through the main window's menu item, on a kind.
    bool open(const QString &kind);
    template <class T> T *child(const char *name) const
    {
        T *c = m_window ? m_window->findChild<T *>(QString::fromLatin1(name)) : nullptr;
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    void choose(const QString &kind)
    {
        auto *list = child<QListWidget>("lstKinds");
        list->setCurrentItem(list->findItems(kind, Qt::MatchExactly).value(0));
    }
    QListWidgetItem *chosen() const { return child<QListWidget>("lstKinds")->currentItem(); }
    QString subject() const { return child<QLineEdit>("txtSubject")->text(); }
    void type(const char *name, const QString &text)
    {
        if (auto *line = qobject_cast<QLineEdit *>(child<QWidget>(name)))
            line->setText(text);
        else
            child<QPlainTextEdit>(name)->setPlainText(text);
    }
    bool closed() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !m_window;
    }

    test::ScriptedMessages m_boxes;
    QPointer<FrmMain> m_main;
    QPointer<FrmMailTexts> m_window;
};

void TestFrmMailTexts::init()
{
    test::resetDatabase();
    m_main = new FrmMain;
    m_main->show();
}

void TestFrmMailTexts::cleanup()
{
    test::deleteWindows();
    m_boxes.clear();
}

bool TestFrmMailTexts::open(const QString &kind)
{
    m_main->findChild<QAction *>(QStringLiteral("mnuMailTexts"))->trigger();
    m_window = qobject_cast<FrmMailTexts *>(platform::findWindow(QStringLiteral("frmMailTexts")));
    if (!m_window || !m_window->isVisible())
        return false;
    choose(kind);
    return chosen() && chosen()->text() == kind;
}

void TestFrmMailTexts::savedAndReadBack_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("send");
    QTest::addColumn<QString>("days"); // typed; empty: the kind has none
    QTest::addColumn<QString>("kept");

    QTest::newRow("confirmed") << mail::kind::confirmed << true << QString() << QString();
    QTest::newRow("declined, not sent") << mail::kind::declined << false << QString() << QString();
    QTest::newRow("reminder") << mail::kind::reminder << true << " 3 "
                              << "3";
    QTest::newRow("thank you, not sent") << mail::kind::thankYou << false << "0"
                                         << "0";
}

// Save keeps the kind's text as the program then uses it, the window stays
// open, and the kind shows as the guide's own, also when it opens again.
void TestFrmMailTexts::savedAndReadBack()
{
    QFETCH(QString, kind);
    QFETCH(bool, send);
    QFETCH(QString, days);
    QFETCH(QString, kept);
    QVERIFY(open(kind));
    QCOMPARE(child<QLineEdit>("txtDays")->isVisibleTo(m_window), !days.isEmpty());
    QVERIFY(!chosen()->font().bold());
    const QString subject = QStringLiteral("All set for {{date}}");
    const QString body = QStringLiteral("Hi {{client}},\n\n{{#meet_at}}Meet at {{meet_at}}.{{/meet_at}}\n");
    child<QCheckBox>("chkSend")->setChecked(send);
    type("txtSubject", subject);
    type("txtBody", body);
    if (!days.isEmpty())
        type("txtDays", days);
    child<QPushButton>("cmdSave")->click();
    QVERIFY(!m_window->hasChanges());
    QVERIFY(chosen()->font().bold());

    const mail::Text read = inUse(kind);
    QCOMPARE(read.send, send);
    QCOMPARE(read.subject, subject);
    QCOMPARE(read.body, body);
    QCOMPARE(read.days, kept);
    QCOMPARE(storedTexts(), 1);

    test::deleteWindows(m_main);
    QVERIFY(open(kind));
    QCOMPARE(this->subject(), subject);
    QCOMPARE(child<QCheckBox>("chkSend")->isChecked(), send);
    QVERIFY(chosen()->font().bold());
}

void TestFrmMailTexts::daysChecked_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("days");
    QTest::addColumn<bool>("kept");

    const char *rows[][3] = {
        { mail::kind::balanceDue, "45 20 5", "yes" },
        { mail::kind::balanceDue, "30, 14, 365", "yes" },
        { mail::kind::thankYou, "0", "yes" },
        { mail::kind::reminder, "", "" },
        { mail::kind::reminder, "2 days", "" },
        { mail::kind::balanceDue, "400", "" },
        { mail::kind::balanceDue, "1000", "" },
        { mail::kind::balanceDue, "30, 14, x", "" },
        { mail::kind::thankYou, "-1", "" },
    };
    for (const auto &r : rows)
        QTest::addRow("%s \"%s\"", r[0], r[1]) << r[0] << r[1] << (*r[2] != 0);
}

// The days of a planned kind, before or after the trip as its label says,
// are whole numbers from 0 to 365; anything else is refused, naming the
// side of the trip, and nothing is kept.
void TestFrmMailTexts::daysChecked()
{
    QFETCH(QString, kind);
    QFETCH(QString, days);
    QFETCH(bool, kept);
    QVERIFY(open(kind));
    const QString side = kind == QLatin1String(mail::kind::thankYou) ? QStringLiteral("after the trip")
                                                                     : QStringLiteral("before the trip");
    QCOMPARE(child<QLabel>("lblDays")->text(), QStringLiteral("Days %1:").arg(side));
    type("txtDays", days);
    if (!kept)
        m_boxes.expect();
    child<QPushButton>("cmdSave")->click();
    QCOMPARE(inUse(kind).days, kept ? days : delivered(kind).days);
    if (!kept) {
        QVERIFY2(m_boxes.last().text.contains(side) && m_boxes.last().text.contains(kind),
            qPrintable(m_boxes.last().text));
        QCOMPARE(m_window->focusWidget(), child<QWidget>("txtDays"));
    }
}

void TestFrmMailTexts::unreadableRefused_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("says");

    const char *rows[][4] = {
        { "cmdSave", "txtSubject", "Your trip on {{date}", "can not be read" },
        { "cmdSave", "txtBody", "{{#balance}}Pay {{balance}}.", "can not be read" },
        { "cmdSave", "txtBody", "{{#start}}At {{start}}{{/meet_at}}", "can not be read" },
        { "cmdSave", "txtSubject", " ", "needs a subject" },
        { "cmdPreview", "txtBody", "{{#balance}}Pay {{balance}}.", "can not be read" },
    };
    for (const auto &r : rows)
        QTest::addRow("%s, %s \"%s\"", r[0], r[1], r[2]) << r[0] << r[1] << r[2] << r[3];
}

// A text that can't be read is named in a box, the cursor goes to it on
// Save, the edit stays, and nothing is kept or previewed.
void TestFrmMailTexts::unreadableRefused()
{
    QFETCH(QString, command);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, says);
    QVERIFY(open(QLatin1String(mail::kind::confirmed)));
    type(qPrintable(field), typed);
    m_boxes.expect();
    child<QPushButton>(qPrintable(command))->click();
    QVERIFY2(m_boxes.last().text.contains(says) && m_boxes.last().text.contains(QLatin1String("Confirmed")),
        qPrintable(m_boxes.last().text));
    if (command == QLatin1String("cmdSave"))
        QCOMPARE(m_window->focusWidget(), child<QWidget>(qPrintable(field)));
    QVERIFY(m_window->hasChanges());
    QCOMPARE(storedTexts(), 0);
    QVERIFY(!m_window->findChild<QDialog *>(QStringLiteral("dlgPreview")));
}

void TestFrmMailTexts::preview_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("typed"); // a subject typed first, unsaved; empty for none
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body"); // a part of the body

    QTest::newRow("typed, not saved") << mail::kind::declined << "{{client}}: {{reason}}"
                                      << "Ann Walker: The lake is closed that day for a tournament."
                                      << "Dear Ann Walker";
}

// Preview fills the text shown, saved or not, with an example booking's
// values, read-only, and keeps nothing.
void TestFrmMailTexts::preview()
{
    QFETCH(QString, kind);
    QFETCH(QString, typed);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    test::FakeClock clock(QDate(2026, 12, 8));
    QVERIFY(open(kind));
    if (!typed.isEmpty())
        type("txtSubject", typed);
    child<QPushButton>("cmdPreview")->click();
    auto *dialog = m_window->findChild<QDialog *>(QStringLiteral("dlgPreview"));
    QVERIFY(dialog && dialog->isVisible());
    auto *shownSubject = dialog->findChild<QLineEdit *>(QStringLiteral("txtPreviewSubject"));
    auto *shownBody = dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtPreviewBody"));
    QVERIFY(shownSubject->isReadOnly() && shownBody->isReadOnly());
    QCOMPARE(shownSubject->text(), subject);
    QVERIFY2(shownBody->toPlainText().contains(body), qPrintable(shownBody->toPlainText()));
    QCOMPARE(storedTexts(), 0);
}

void TestFrmMailTexts::unsavedChanges_data()
{
    QTest::addColumn<QString>("via"); // "another kind" or "close"
    QTest::addColumn<QString>("typed"); // the Confirmed subject; empty: nothing changed
    QTest::addColumn<int>("answer"); // to the question; -1 when none comes
    QTest::addColumn<bool>("kept"); // whether the typed subject is kept
    QTest::addColumn<bool>("left"); // whether the kind or the window was left

    const QString fine = QStringLiteral("Booked: {{date}}");
    for (const char *via : { "another kind", "close" }) {
        QTest::addRow("%s, Yes", via) << via << fine << int(Answer::Yes) << true << true;
        QTest::addRow("%s, No", via) << via << fine << int(Answer::No) << false << true;
        QTest::addRow("%s, Cancel", via) << via << fine << int(Answer::Cancel) << false << false;
        // Save refuses it (a second box): the guide stays with it.
        QTest::addRow("%s, Yes, refused", via)
            << via << "Booked: {{date" << int(Answer::Yes) << false << false;
        QTest::addRow("%s, nothing changed", via) << via << QString() << -1 << false << true;
    }
}

// Leaving a text with changes asks whether to save them: Yes saves (and
// stays when Save refuses), No lets them go, Cancel stays with them.
void TestFrmMailTexts::unsavedChanges()
{
    QFETCH(QString, via);
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(bool, kept);
    QFETCH(bool, left);
    const QString confirmed = QLatin1String(mail::kind::confirmed);
    QVERIFY(open(confirmed));
    if (!typed.isEmpty())
        type("txtSubject", typed);
    const bool refused = typed.endsWith(QLatin1String("{{date"));
    if (answer >= 0)
        m_boxes.expect(Answer(answer));
    if (refused)
        m_boxes.expect();
    if (via == QLatin1String("close"))
        child<QPushButton>("cmdClose")->click();
    else
        choose(QLatin1String(mail::kind::declined));

    QCOMPARE(m_boxes.shown.size(), (answer >= 0) + int(refused));
    if (answer >= 0) {
        QCOMPARE(m_boxes.shown.first().text, QStringLiteral("Save the changes to the Confirmed text?"));
        QCOMPARE(m_boxes.shown.first().buttons, platform::Buttons::YesNoCancel);
        QCOMPARE(m_boxes.shown.first().caption, QStringLiteral("Mail Texts"));
    }
    QCOMPARE(inUse(confirmed).subject, kept ? typed : delivered(confirmed).subject);
    if (via == QLatin1String("close")) {
        QCOMPARE(closed(), left);
    } else {
        QCOMPARE(chosen()->text(), left ? QStringLiteral("Declined") : confirmed);
        QCOMPARE(subject(), left ? delivered(QLatin1String(mail::kind::declined)).subject : typed);
    }
}

// Delivered Text puts the program's text back as a change to be saved; the
// on/off switch stays as the guide set it.
void TestFrmMailTexts::deliveredTextRestored()
{
    const QString reminder = QLatin1String(mail::kind::reminder);
    BM_VERIFY(mail::saveText(databasePath(),
        { reminder, false, QStringLiteral("See you"), QStringLiteral("Soon."), QStringLiteral("5") }));
    QVERIFY(open(reminder));
    child<QPushButton>("cmdDelivered")->click();
    const mail::Text d = delivered(reminder);
    QCOMPARE(subject(), d.subject);
    QCOMPARE(child<QPlainTextEdit>("txtBody")->toPlainText(), d.body);
    QCOMPARE(child<QLineEdit>("txtDays")->text(), d.days);
    QVERIFY(!child<QCheckBox>("chkSend")->isChecked());
    QVERIFY(m_window->hasChanges());
    QCOMPARE(inUse(reminder).subject, QStringLiteral("See you"));

    child<QCheckBox>("chkSend")->setChecked(true);
    child<QPushButton>("cmdSave")->click();
    const mail::Text read = inUse(reminder);
    QVERIFY(read.send && read.subject == d.subject && read.body == d.body && read.days == d.days);
    // The delivered text again: no longer marked as the guide's own.
    QVERIFY(!chosen()->font().bold());
}

void TestFrmMailTexts::otherDesk_data()
{
    QTest::addColumn<bool>("typing"); // in the Balance Due subject
    QTest::addColumn<QString>("changed"); // the kind the other desk saves

    QTest::newRow("nothing typed, the kind shown") << false << mail::kind::balanceDue;
    QTest::newRow("typing, the kind shown") << true << mail::kind::balanceDue;
    QTest::newRow("typing, another kind") << true << mail::kind::cancelled;
}

// A text saved elsewhere meanwhile shows at once where the guide has changed
// nothing, and never replaces what he is typing.
void TestFrmMailTexts::otherDesk()
{
    QFETCH(bool, typing);
    QFETCH(QString, changed);
    const QString balanceDue = QLatin1String(mail::kind::balanceDue);
    QVERIFY(open(balanceDue));
    const QString typed = QStringLiteral("Balance of {{balance}} due");
    if (typing)
        type("txtSubject", typed);
    const mail::Text elsewhere { changed, true, QStringLiteral("Changed at the lodge"),
        QStringLiteral("Pay."), changed == balanceDue ? QStringLiteral("10") : QString() };
    BM_VERIFY(mail::saveText(databasePath(), elsewhere));

    QCOMPARE(subject(), typing ? typed : elsewhere.subject);
    QCOMPARE(child<QLineEdit>("txtDays")->text(), typing ? delivered(balanceDue).days : elsewhere.days);
    QCOMPARE(m_window->hasChanges(), typing);
    QVERIFY(child<QListWidget>("lstKinds")->findItems(changed, Qt::MatchExactly).value(0)->font().bold());
    if (changed != balanceDue) {
        // The edit let go, the other kind shows as the other desk saved it.
        m_boxes.expect(Answer::No);
        choose(changed);
        QCOMPARE(subject(), elsewhere.subject);
    }
}

// The window as the guide sees it, kept in /tmp/mailtexts.png: a kind with
// days, one of his own texts, not sent, in the list.
void TestFrmMailTexts::looks()
{
    mail::Text own = delivered(QLatin1String(mail::kind::reminder));
    own.send = false;
    BM_VERIFY(mail::saveText(databasePath(), own));
    QVERIFY(open(QLatin1String(mail::kind::balanceDue)));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    // The hint is drawn whole above the commands.
    QVERIFY(child<QLabel>("lblNames")->geometry().bottom() < child<QPushButton>("cmdSave")->geometry().top());
    QVERIFY(m_window->grab().save(QStringLiteral("/tmp/mailtexts.png")));
}

BM_TEST_MAIN(TestFrmMailTexts)
#include "test_frmmailtexts.moc"
