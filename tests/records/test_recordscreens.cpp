#include "doubles.h"
#include "recordcount.h"
#include "records/frmdiary.h"
#include "records/frmpatterns.h"
#include "recordsfixture.h"
#include "testenv.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace bm;
using platform::Answer;
using platform::Icon;

namespace
{

// The diary and the patterns window, seen alike: a toolbar record form with
// a key field, its navigation on the toolbar or on buttons of its own.
struct Screen {
    QPointer<QWidget> window;
    RecordForm *form = nullptr;
    QToolBar *bar = nullptr;
    RecordSource *data1 = nullptr;
    QLineEdit *key = nullptr;

    // "Undo" is the cancel command, whichever key its button carries.
    void press(QString command) const
    {
        if (command == QLatin1String("Undo") && !test::toolbarAction(bar, command))
            command = QStringLiteral("Cancel");
        if (test::toolbarAction(bar, command)) {
            test::clickKey(bar, command);
            return;
        }
        auto *button = window->findChild<QPushButton *>(QStringLiteral("cmd") + command);
        QVERIFY2(button, qPrintable(command));
        button->click();
    }
    bool usable(const QString &command) const
    {
        if (QAction *a = test::toolbarAction(bar, command))
            return a->isEnabled();
        return window->findChild<QPushButton *>(QStringLiteral("cmd") + command)->isEnabled();
    }
};

Screen openScreen(const QString &name)
{
    Screen s;
    if (name == QLatin1String("diary")) {
        auto *w = new FrmDiary;
        s = { w, w->form(), w->toolbar(), w->diary(), w->findChild<QLineEdit *>(QStringLiteral("Text2")) };
    } else {
        auto *w = new FrmPatterns;
        s = { w, w->form(), w->toolbar(), w->patterns(), w->findChild<QLineEdit *>(QStringLiteral("Text1")) };
    }
    s.window->setAttribute(Qt::WA_DeleteOnClose);
    s.window->show();
    if (!QTest::qWaitForWindowActive(s.window))
        qWarning("the window did not become active");
    return s;
}

const QStringList four { "Alpha", "Bravo", "Charlie", "Delta" };
const QStringList editKeys { "Save", "Undo", "Cancel" };

} // namespace

class TestRecordScreens : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    std::unique_ptr<test::FakeHub> hub;
    std::unique_ptr<test::RecordingReports> reports;
    std::unique_ptr<test::RecordingHelp> help;
    Screen s;

    Screen open()
    {
        QFETCH(QString, screen);
        QFETCH(QString, table);
        QFETCH(QString, keyField);
        test::fillTable(table, keyField, four);
        s = openScreen(screen);
        return s;
    }

    // Browse set: every button but Save and Undo/Cancel; edit set: only
    // those two. The navigation follows the toolbar.
    void checkMode(bool editing)
    {
        QCOMPARE(s.form->isEditing(), editing);
        for (QAction *a : s.bar->actions()) {
            if (!a->isSeparator())
                QVERIFY2(a->isEnabled() == (editKeys.contains(a->data().toString()) == editing),
                    qPrintable(a->data().toString()));
        }
        for (const char *move : { "First", "Back", "Next", "Last" })
            QCOMPARE(s.usable(QString::fromLatin1(move)), !editing);
        QCOMPARE(s.key->isReadOnly(), !editing);
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        hub = std::make_unique<test::FakeHub>();
        reports = std::make_unique<test::RecordingReports>();
        help = std::make_unique<test::RecordingHelp>();
    }
    void cleanup()
    {
        hub.reset(); // its stand-in main window first
        test::deleteWindows();
        help.reset();
        reports.reset();
        msgs.reset();
    }

    void screens_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("keyField");
        QTest::addColumn<QString>("captions"); // by position, "|" a separator
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("tooltips");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("empty");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("savedCaption");
        QTest::addColumn<QString>("cancelled"); // empty: no box
        QTest::addColumn<QString>("lastRecord");
        QTest::addColumn<QString>("askBravo");
        QTest::addColumn<bool>("newStaysOnView");
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("topic");

        QTest::newRow("diary")
            << "diary"
            << "Diary"
            << "Subject"
            << "New Edit Undo Save Delete | First Back Next Last | Find | Print Help Exit"
            << "New Edit Cancel Save Delete | First Back Next Last | Find | Print Help Exit"
            << QStringList { "Add a new page", "Add to or edit this page", "Cancel the changes",
                   "Save changes", "Delete this page", "Show the first page", "Move back one page",
                   "Show the next page", "Show the last page", "Find a page", "Show Print Preview",
                   "Show Help for this", "Close the Diary" }
            << "This is the first page."
            << "This is the last page."
            << "Please enter a Subject for this page."
            << "Information has been saved."
            << "Fishing Diary"
            << "Changes were not saved."
            << "This page can not be deleted.\nYou can edit this page.\n"
               "At least one page has to be present at all times."
            << "Are you sure you want to delete this ?" << false << "log.rpt" << 2200;
        QTest::newRow("patterns") << "patterns"
                                  << "Patterns"
                                  << "Lake"
                                  << "| New Edit Cancel Save Delete | Print Help Exit"
                                  << "| New Edit Undo Save Delete | Print Help Exit"
                                  << QStringList { "Add a new Pattern", "Edit this Pattern",
                                         "Undo any changes", "Save the changes", "Delete this Pattern",
                                         "Show Print Preview", "Show Help for this", "Exit" }
                                  << "This is the first Pattern."
                                  << "This is the last Pattern."
                                  << "Please enter a Lake or click Cancel."
                                  << "Changes have been Saved."
                                  << "Brindlemoor"
                                  << ""
                                  << "This Pattern can not be deleted.\nYou can edit this Pattern.\n"
                                     "At least one record has to be present at all times."
                                  << "Are you sure you want to delete this Pattern for Bravo ?" << true
                                  << "patterns.rpt" << 3000;
    }

    void toolbar_data() { screens_data(); }
    void toolbar()
    {
        open();
        QFETCH(QString, captions);
        QFETCH(QString, keys);
        QFETCH(QStringList, tooltips);
        QStringList laidCaptions, laidKeys, laidTips;
        for (QAction *a : s.bar->actions()) {
            laidCaptions << (a->isSeparator() ? QStringLiteral("|") : a->text());
            laidKeys << (a->isSeparator() ? QStringLiteral("|") : a->data().toString());
            if (!a->isSeparator())
                laidTips << a->toolTip();
        }
        QCOMPARE(laidCaptions.join(' '), captions);
        QCOMPARE(laidKeys.join(' '), keys);
        QCOMPARE(laidTips, tooltips);
        QCOMPARE(s.bar->objectName(), "Toolbar1");
        checkMode(false);
        s.press("Edit");
        checkMode(true);
        QVERIFY(s.key->hasFocus());
        s.press("Print"); // disabled: nothing runs
        QVERIFY(reports->files.isEmpty());
        QFETCH(QString, cancelled);
        if (!cancelled.isEmpty())
            msgs->expect();
        s.form->runKey(QStringLiteral("Undo"));
        s.form->runKey(QStringLiteral("Cancel"));
        checkMode(false);
        QCOMPARE(msgs->shown.size(), cancelled.isEmpty() ? 0 : 1);
        s.form->runKey(QStringLiteral("Nonsense")); // a key of no command does nothing
        checkMode(false);
    }

    // Every command of the toolbar is in view at the window's opening size:
    // none is pushed behind the toolbar's overflow arrow.
    void toolbarFits_data() { screens_data(); }
    void toolbarFits()
    {
        open();
        for (QAction *a : s.bar->actions()) {
            if (a->isSeparator())
                continue;
            QWidget *button = s.bar->widgetForAction(a);
            QVERIFY2(button && button->isVisible(), qPrintable(a->data().toString()));
            QVERIFY2(s.bar->rect().contains(button->geometry()), qPrintable(a->data().toString()));
        }
    }

    void navigationAndDelete_data() { screens_data(); }
    void navigationAndDelete()
    {
        open();
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, lastRecord);
        QFETCH(QString, askBravo);
        QCOMPARE(s.key->text(), "Alpha");
        msgs->expect();
        s.press("Back");
        QCOMPARE(msgs->last().text, first);
        QCOMPARE(msgs->last().icon, Icon::Information);
        QCOMPARE(s.key->text(), "Alpha");
        s.press("Last");
        QCOMPARE(s.key->text(), "Delta");
        msgs->expect();
        s.press("Next");
        QCOMPARE(msgs->last().text, last);
        QCOMPARE(s.key->text(), "Delta");
        s.press("First");
        s.press("Next");
        QCOMPARE(s.key->text(), "Bravo");

        msgs->expect(Answer::No);
        s.press("Delete");
        QCOMPARE(msgs->last().text, askBravo);
        QCOMPARE(msgs->last().caption, "Delete Information");
        QCOMPARE(msgs->last().icon, Icon::Question);
        QCOMPARE(msgs->last().buttons, platform::Buttons::YesNo);
        QCOMPARE(s.key->text(), "Bravo");
        msgs->expect(Answer::Yes);
        s.press("Delete"); // the page that followed is shown
        QCOMPARE(s.key->text(), "Charlie");
        s.press("Last");
        msgs->expect(Answer::Yes);
        s.press("Delete"); // the last one: the one before it is shown
        QCOMPARE(s.key->text(), "Charlie");
        msgs->expect(Answer::Yes);
        s.press("Delete");
        QCOMPARE(s.key->text(), "Alpha");
        QCOMPARE(msgs->shown.size(), 6);
        msgs->expect();
        s.press("Delete");
        QCOMPARE(msgs->last().text, lastRecord);
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QCOMPARE(test::recordCount(*s.data1), 1);
        QCOMPARE(msgs->pending(), 0);
        QFETCH(QString, table);
        QFETCH(QString, keyField);
        QCOMPARE(test::stored(table, keyField), QStringList { "Alpha" });
    }

    void addSaveCancel_data() { screens_data(); }
    void addSaveCancel()
    {
        open();
        QFETCH(QString, table);
        QFETCH(QString, keyField);
        QFETCH(QString, empty);
        QFETCH(QString, saved);
        QFETCH(QString, savedCaption);
        QFETCH(QString, cancelled);
        QFETCH(bool, newStaysOnView);
        s.press("Next");
        s.press("New");
        checkMode(true);
        QVERIFY(s.key->hasFocus());
        QVERIFY(s.key->text().isEmpty());
        msgs->expect();
        s.press("Save");
        QCOMPARE(msgs->last().text, empty);
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        checkMode(true);
        QVERIFY(s.key->hasFocus());
        if (!cancelled.isEmpty())
            msgs->expect();
        const int boxes = int(msgs->shown.size());
        s.press("Undo");
        QCOMPARE(int(msgs->shown.size()), boxes + (cancelled.isEmpty() ? 0 : 1));
        if (!cancelled.isEmpty()) {
            QCOMPARE(msgs->last().text, cancelled);
            QCOMPARE(msgs->last().caption, "Fishing Diary");
            QCOMPARE(msgs->last().icon, Icon::Exclamation);
        }
        checkMode(false);
        QCOMPARE(s.key->text(), "Bravo");
        QCOMPARE(test::stored(table, keyField), four);

        // One blank is an entry; a second record equal to another is stored.
        for (const QString &entry : { QStringLiteral(" "), QStringLiteral("Alpha") }) {
            s.press("New");
            QTest::keyClicks(s.key, entry);
            msgs->expect();
            s.press("Save");
            QCOMPARE(msgs->last().text, saved);
            QCOMPARE(msgs->last().caption, savedCaption);
            QCOMPARE(msgs->last().icon, Icon::Information);
            checkMode(false);
            QCOMPARE(s.key->text(), newStaysOnView ? entry : QStringLiteral("Bravo"));
            s.press("First");
            s.press("Next");
        }
        QCOMPARE(test::stored(table, keyField), four + QStringList({ " ", "Alpha" }));

        // A change is saved in place and stays on view; Cancel drops one.
        s.press("Edit");
        s.key->selectAll();
        QTest::keyClicks(s.key, "Bream");
        msgs->expect();
        s.press("Save");
        QCOMPARE(s.key->text(), "Bream");
        if (!cancelled.isEmpty())
            msgs->expect();
        s.press("Edit");
        QTest::keyClicks(s.key, " Bay");
        s.press("Undo");
        QCOMPARE(s.key->text(), "Bream");
        QCOMPARE(test::stored(table, keyField),
            QStringList({ "Alpha", "Bream", "Charlie", "Delta", " ", "Alpha" }));
        QCOMPARE(msgs->pending(), 0);
    }

    // A write the database refuses is reported, never called saved: the
    // window stays in edit mode with the record pending, and a later Save
    // writes it.
    void failedWrite_data() { screens_data(); }
    void failedWrite()
    {
        open();
        QFETCH(QString, table);
        QFETCH(QString, keyField);
        QFETCH(QString, saved);
        for (const char *how : { "New", "Edit" }) {
            s.press(QString::fromLatin1(how));
            s.key->selectAll();
            QTest::keyClicks(s.key, QStringLiteral("Kept %1").arg(QString::fromLatin1(how)));
            test::refuseWrites(table);
            msgs->expect();
            s.press("Save");
            QVERIFY(msgs->last().text != saved);
            QVERIFY2(msgs->last().text.contains("disk is full"), qPrintable(msgs->last().text));
            QCOMPARE(msgs->last().icon, Icon::Exclamation);
            checkMode(true);
            QCOMPARE(s.key->text(), QStringLiteral("Kept %1").arg(QString::fromLatin1(how)));
            QVERIFY(s.data1->editMode() != RecordSource::EditMode::None);
            QCOMPARE(test::stored(table, keyField).count(s.key->text()), 0);
            test::allowWrites(table);
            msgs->expect();
            s.press("Save");
            QCOMPARE(msgs->last().text, saved);
            checkMode(false);
            QCOMPARE(
                test::stored(table, keyField).count(QStringLiteral("Kept %1").arg(QString::fromLatin1(how))),
                1);
        }
        QCOMPARE(msgs->pending(), 0);
    }

    void printAndHelp_data() { screens_data(); }
    void printAndHelp()
    {
        open();
        QFETCH(QString, report);
        QFETCH(int, topic);
        s.press("Print");
        QCOMPARE(reports->files, QStringList { appFile(report) });
        QCOMPARE(reports->selections, QList<Bookmark> { Bookmark {} });
        s.press("Help");
        QCOMPARE(help->topics, QList<int> { topic });
    }

    // Exit and the close box both close the window and show the main window
    // again; a record being written when the close box is used is dropped.
    void closing_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("keyField");
        QTest::addColumn<QString>("how");
        for (const char *how : { "Exit", "close box", "close box while adding", "close box while editing" }) {
            QTest::addRow("diary, %s", how) << "diary"
                                            << "Diary"
                                            << "Subject" << how;
            QTest::addRow("patterns, %s", how) << "patterns"
                                               << "Patterns"
                                               << "Lake" << how;
        }
    }
    void closing()
    {
        open();
        QFETCH(QString, table);
        QFETCH(QString, keyField);
        QFETCH(QString, how);
        hub->mainWindow->hide();
        if (how.endsWith("adding") || how.endsWith("editing")) {
            s.press(how.endsWith("adding") ? "New" : "Edit");
            s.key->setText(QStringLiteral("Half written"));
        }
        if (how == "Exit")
            s.press("Exit");
        else
            s.window->close();
        QVERIFY(!s.window || !s.window->isVisible());
        QVERIFY(hub->mainWindow->isVisible());
        QCOMPARE(test::stored(table, keyField), four);
        QVERIFY(msgs->shown.isEmpty());
    }

    // A table without records: the commands give their messages or do
    // nothing, and Edit starts the first record.
    void emptyTable_data() { screens_data(); }
    void emptyTable()
    {
        QFETCH(QString, screen);
        QFETCH(QString, table);
        QFETCH(QString, keyField);
        QFETCH(QString, first);
        QFETCH(QString, last);
        test::fillTable(table, keyField, {});
        s = openScreen(screen);
        QVERIFY(s.key->text().isEmpty());
        msgs->expect();
        s.press("Back");
        QCOMPARE(msgs->last().text, first);
        msgs->expect();
        s.press("Next");
        QCOMPARE(msgs->last().text, last);
        s.press("First");
        s.press("Last");
        s.press("Delete");
        QCOMPARE(msgs->shown.size(), 2);
        s.press("Print");
        QCOMPARE(reports->files.size(), 1);
        s.press("Edit");
        checkMode(true);
        QTest::keyClicks(s.key, "Opening day");
        msgs->expect();
        s.press("Save");
        QCOMPARE(test::stored(table, keyField), QStringList { "Opening day" });
        msgs->expect();
        s.press("Delete");
        QCOMPARE(test::stored(table, keyField), QStringList { "Opening day" });
    }
};

BM_TEST_MAIN(TestRecordScreens)
#include "test_recordscreens.moc"
