#include "checks.h"
#include "core/apppaths.h"
#include "doubles.h"
#include "main/contactspanel.h"
#include "main/frmaddcontact.h"
#include "main/frmmain.h"
#include "platform/mainhub.h"
#include "platform/windows.h"
#include "recordform/binder.h"
#include "testenv.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

using namespace bm;
using platform::Answer;
using platform::Icon;

namespace
{

void addStored(const QString &name, const QString &email = {})
{
    RecordSource rs(QStringLiteral("add"), QStringLiteral("Phone"));
    BM_VERIFY(rs.AddNew());
    BM_VERIFY(rs.setValue(QStringLiteral("Name"), name));
    BM_VERIFY(rs.setValue(QStringLiteral("Email"), email));
    QVERIFY(rs.Update());
}

QStringList storedNames()
{
    RecordSource rs(QStringLiteral("read"), QStringLiteral("Phone"));
    QStringList names;
    for (const auto &row : rs.column(QStringLiteral("Name")))
        names << row.second;
    return names;
}

QStringList listed(QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

} // namespace

class TestContacts : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    std::unique_ptr<test::FakeShell> shell;
    std::unique_ptr<test::RecordingReports> reports;
    QPointer<FrmMain> main;
    ContactsPanel *panel = nullptr;

    QPushButton *cmd(const char *name) { return panel->findChild<QPushButton *>(QString::fromLatin1(name)); }
    QString shown(const char *name)
    {
        return panel->findChild<QLineEdit *>(QString::fromLatin1(name))->text();
    }
    FrmAddcontact *entry()
    {
        return qobject_cast<FrmAddcontact *>(platform::findWindow(QStringLiteral("frmAddcontact")));
    }
    QLineEdit *entryField(int n) { return entry()->findChild<QLineEdit *>(QStringLiteral("Text%1").arg(n)); }

    void clickName(int row)
    {
        QListWidget *list = panel->names();
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }

    // The stored contacts with these names; the main window follows.
    void withContacts(const QStringList &more)
    {
        for (const QString &n : more)
            addStored(n, n == "Ann Lee" ? QString() : "x@example.com");
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        shell = std::make_unique<test::FakeShell>();
        reports = std::make_unique<test::RecordingReports>();
        main = new FrmMain;
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        main->toolbarClick(QStringLiteral("Contacts"));
        panel = main->contactsPanel();
    }
    void cleanup()
    {
        test::deleteWindows(); // the main window among them
        msgs.reset();
        shell.reset();
        reports.reset();
    }

    void panelShowsTheCurrentContact()
    {
        withContacts({ "Ann Lee", "Bob Ray" });
        QCOMPARE(listed(panel->names()), QStringList({ "Sample Customer", "Ann Lee", "Bob Ray" }));
        QCOMPARE(panel->countLabel()->text(), "3 Contacts are Saved");
        QCOMPARE(shown("txtName"), "Sample Customer");
        QCOMPARE(shown("txtEmail"), "customer@example.com");
        clickName(2);
        QCOMPARE(main->hub().datContacts().text(QStringLiteral("Name")), "Bob Ray");
        QCOMPARE(shown("txtName"), "Bob Ray");
        QVERIFY(panel->findChild<QLineEdit *>("txtName")->isReadOnly());
    }

    void addContact()
    {
        cmd("cmdContadd")->click();
        FrmAddcontact *w = entry();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), "Contacts Data Entry");
        QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
        // The main window stays usable beside it.
        QVERIFY(!w->isModal());
        QCOMPARE(w->findChild<QLabel *>("Label1")->text(), "Adding a new Contact");
        QVERIFY(QTest::qWaitForWindowActive(w));
        // Ten empty fields, in their tab order.
        QStringList order;
        QWidget *f = entryField(1);
        QVERIFY(f->hasFocus());
        for (int i = 0; i < 10; ++i) {
            order << QApplication::focusWidget()->objectName();
            QCOMPARE(FieldBinder::widgetText(QApplication::focusWidget()), "");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order,
            QStringList({ "Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8", "Text9",
                "Text10" }));

        QTest::keyClicks(entryField(1), "Ann Lee");
        QTest::keyClicks(entryField(9), "ann@example.com");
        auto *remarks = w->findChild<QPlainTextEdit *>("Text10");
        QTest::keyClicks(remarks, "Two");
        QTest::keyClick(remarks, Qt::Key_Return);
        QTest::keyClicks(remarks, "lines");
        clickName(0);
        w->findChild<QPushButton *>("cmdSave")->click();
        QVERIFY(!entry());
        QCOMPARE(storedNames(), QStringList({ "Sample Customer", "Ann Lee" }));
        QCOMPARE(listed(panel->names()), storedNames());
        QCOMPARE(panel->countLabel()->text(), "2 Contacts are Saved");
        QCOMPARE(shown("txtName"), "Sample Customer");
        QVERIFY(msgs->shown.isEmpty());
        clickName(1);
        QCOMPARE(shown("txtEmail"), "ann@example.com");
        QCOMPARE(panel->findChild<QPlainTextEdit *>("txtRemarks")->toPlainText(), "Two\nlines");
    }

    void addWithNothingTyped()
    {
        cmd("cmdContadd")->click();
        entry()->findChild<QPushButton *>("cmdSave")->click();
        QCOMPARE(storedNames(), QStringList({ "Sample Customer", "" }));
        QCOMPARE(panel->countLabel()->text(), "2 Contacts are Saved");
    }

    void editContact()
    {
        withContacts({ "Ann Lee", "Bob Ray" });
        clickName(1);
        cmd("cmdContedit")->click();
        QCOMPARE(entry()->findChild<QLabel *>("Label1")->text(), "Editing this Contact");
        QCOMPARE(entryField(1)->text(), "Ann Lee");
        entryField(3)->setText(QStringLiteral("Branson"));
        entry()->findChild<QPushButton *>("cmdSave")->click();
        RecordSource check(QStringLiteral("check"), QStringLiteral("Phone"));
        BM_VERIFY(check.MoveNext());
        QCOMPARE(check.text(QStringLiteral("City")), "Branson");
        QCOMPARE(storedNames(), QStringList({ "Sample Customer", "Ann Lee", "Bob Ray" }));
        QCOMPARE(shown("txtName"), "Sample Customer");
    }

    void cancelLeavesEverything_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("add, Cancel") << false << false;
        QTest::newRow("edit, Cancel") << true << false;
        QTest::newRow("edit, Escape") << true << true;
    }
    void cancelLeavesEverything()
    {
        QFETCH(bool, editing);
        QFETCH(bool, byEscape);
        withContacts({ "Ann Lee" });
        clickName(1);
        cmd(editing ? "cmdContedit" : "cmdContadd")->click();
        entryField(1)->setText(QStringLiteral("Changed"));
        if (byEscape)
            QTest::keyClick(entryField(1), Qt::Key_Escape);
        else
            entry()->findChild<QPushButton *>("cmdCancel")->click();
        QVERIFY(!entry() || !entry()->isVisible());
        QCOMPARE(storedNames(), QStringList({ "Sample Customer", "Ann Lee" }));
        QCOMPARE(shown("txtName"), "Ann Lee");
        QCOMPARE(panel->countLabel()->text(), "2 Contacts are Saved");
    }

    // A second Add while a contact is being entered keeps what was typed.
    void entryWindowExistsOnce()
    {
        cmd("cmdContadd")->click();
        entryField(1)->setText(QStringLiteral("Half typed"));
        cmd("cmdContedit")->click();
        QCOMPARE(entryField(1)->text(), "Half typed");
        QCOMPARE(entry()->findChild<QLabel *>("Label1")->text(), "Adding a new Contact");
    }

    void deleteContact_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("middle") << 1;
        QTest::newRow("last") << 2;
    }
    void deleteContact()
    {
        QFETCH(int, row);
        withContacts({ "Ann Lee", "Bob Ray" });
        clickName(row);
        const QString name = shown("txtName");
        msgs->expect(Answer::No);
        cmd("cmdContdelete")->click();
        QCOMPARE(msgs->last().text, "Are you sure you want to delete " + name + " ?");
        QCOMPARE(msgs->last().caption, "Delete Information");
        QCOMPARE(msgs->last().icon, Icon::Question);
        QCOMPARE(storedNames().size(), 3);
        QCOMPARE(shown("txtName"), name);

        msgs->expect(Answer::Yes);
        cmd("cmdContdelete")->click();
        QVERIFY(!storedNames().contains(name));
        QCOMPARE(listed(panel->names()), storedNames());
        QCOMPARE(panel->countLabel()->text(), "2 Contacts are Saved");
        QCOMPARE(shown("txtName"), "Sample Customer");
    }

    void lastContactCanNotBeDeleted()
    {
        msgs->expect();
        cmd("cmdContdelete")->click();
        QCOMPARE(msgs->last().text,
            "This Contact can not be deleted.\nYou can edit this Contact.\n"
            "At least one record has to be present at all times.");
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QCOMPARE(msgs->last().caption, "Brindlemoor");
        QCOMPARE(storedNames(), QStringList({ "Sample Customer" }));
    }

    void email()
    {
        withContacts({ "Ann Lee" });
        cmd("cmdContemail")->click();
        QCOMPARE(shell->urls, QList<QUrl>({ QUrl("mailto:customer@example.com") }));

        shell->canOpen = false;
        msgs->expect();
        cmd("cmdContemail")->click();
        QCOMPARE(msgs->last().text,
            "Can't find Email program.\nThis command may not work if you are not using MS Outlook.");
        QCOMPARE(msgs->last().caption, "Email Program not found");
        QCOMPARE(msgs->last().icon, Icon::Exclamation);

        clickName(1);
        msgs->expect();
        cmd("cmdContemail")->click();
        QCOMPARE(msgs->last().text, "There is no email address for Ann Lee.");
        QCOMPARE(msgs->last().caption, "Brindlemoor");
        QCOMPARE(shell->urls.size(), 2);
    }

    // The list of contacts is printed whole, whatever an earlier print chose.
    void print()
    {
        platform::printReport(QStringLiteral("trip.rpt"), main->hub().datBookings().bookmark());
        cmd("cmdContprint")->click();
        QCOMPARE(reports->files.constLast(), appFile(QStringLiteral("contacts.rpt")));
        QCOMPARE(reports->selections.constLast(), Bookmark {});
    }

    void databaseOptionsOpensSetup()
    {
        main->findChild<QAction *>("mnuDBOptions")->trigger();
        QWidget *setup = platform::findWindow(QStringLiteral("frmSetup"));
        QVERIFY(setup && setup->isVisible());
        QCOMPARE(setup->windowTitle(), "Database Setup");
        QVERIFY(main->isVisible());
    }
};

BM_TEST_MAIN(TestContacts)
#include "test_contacts.moc"
