#include "checks.h"
#include "doubles.h"
#include "platform/follow.h"
#include "recordcount.h"
#include "recordform/recordform.h"
#include "testenv.h"

#include <QRegularExpression>
#include <QSignalSpy>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

using namespace bm;
using platform::Answer;
using platform::Icon;

namespace
{

// A screen as the later windows declare one: a key field and a second
// field, a Close command, a sibling panel, the edit notice and a count; its
// commands either buttons or a toolbar whose keys differ from its captions.
class Screen : public QWidget
{
public:
    Screen(const QString &table, const QString &keyField, const QString &otherField, bool toolbar,
        Reposition reposition)
        : source(new RecordSource(QStringLiteral("Data1"), table, this))
        , binder(new FieldBinder(source, this))
        , key(new QLineEdit(this))
        , other(new QPlainTextEdit(this))
        , close(new QPushButton(QStringLiteral("&Close"), this))
        , sibling(new QLineEdit(this))
        , notice(new QLabel(QStringLiteral("Save or Cancel"), this))
        , count(new QLabel(this))
    {
        auto *layout = new QVBoxLayout(this);
        for (QWidget *w : std::initializer_list<QWidget *> { key, other, close, sibling, notice, count })
            layout->addWidget(w);
        binder->bind(key, keyField);
        if (!otherField.isEmpty())
            binder->bind(other, otherField);

        FormDeclaration d;
        d.source = source;
        d.binder = binder;
        d.keyField = key;
        d.texts = FormTexts::forItem(QStringLiteral("Thing"));
        d.afterSave = reposition;
        d.windowCommands = { close };
        d.siblingPanels = { sibling };
        d.editNotice = notice;
        d.countLabel = count;
        d.countText = QStringLiteral(" Things are saved.");
        d.ownCommand = [this](const QString &k) { ownKeys << k; };
        form = new RecordForm(std::move(d), this);

        if (toolbar) {
            bar = new QToolBar(this);
            layout->addWidget(bar);
            // Captions differ from keys: "Cancel" carries the key "Undo".
            const QList<ToolbarPosition> positions { { "New", "New", "Add a thing" }, { "Edit", "Edit" },
                { "Undo", "Cancel" }, { "Save", "Save" }, { "Delete", "Delete" },
                ToolbarPosition::separator(), { "First", "First" }, { "Back", "Back" }, { "Next", "Next" },
                { "Last", "Last" }, { "Print", "Print" }, { "Help", "Help" } };
            form->attachToolbar(bar, positions);
            for (QAction *a : bar->actions()) {
                if (a->isSeparator())
                    continue;
                const QString k = a->data().toString();
                actions.insert(int(commandForKey(k).value_or(FormCommand(-1))), a);
                if (!commandForKey(k))
                    own << a;
            }
        } else {
            for (FormCommand c : { FormCommand::Add, FormCommand::Edit, FormCommand::Save,
                     FormCommand::Cancel, FormCommand::Delete, FormCommand::Back, FormCommand::Next,
                     FormCommand::First, FormCommand::Last }) {
                auto *b = new QPushButton(this);
                layout->addWidget(b);
                form->attach(c, b);
                buttons.insert(int(c), b);
            }
        }
    }

    // Runs a command as the user does: a click on its button.
    void press(FormCommand c)
    {
        if (bar) {
            QAction *a = actions.value(int(c));
            if (a->isEnabled())
                emit bar->actionTriggered(a);
        } else {
            buttons.value(int(c))->click();
        }
    }
    bool usable(FormCommand c) const
    {
        return bar ? actions.value(int(c))->isEnabled() : buttons.value(int(c))->isEnabled();
    }

    RecordSource *source;
    FieldBinder *binder;
    QLineEdit *key;
    QPlainTextEdit *other;
    QPushButton *close;
    QLineEdit *sibling;
    QLabel *notice;
    QLabel *count;
    RecordForm *form;
    QToolBar *bar = nullptr;
    QHash<int, QAction *> actions;
    QList<QAction *> own;
    QHash<int, QPushButton *> buttons;
    QStringList ownKeys;
};

void fill(const QString &table, const QString &field, const QStringList &entries)
{
    RecordSource rs(QStringLiteral("fill"), table);
    while (test::recordCount(rs) > 0) {
        BM_VERIFY(rs.MoveFirst());
        BM_VERIFY(rs.Delete());
    }
    for (const QString &e : entries) {
        BM_VERIFY(rs.AddNew());
        BM_VERIFY(rs.setValue(field, e));
        BM_VERIFY(rs.Update());
    }
}

QStringList stored(const QString &table, const QString &field)
{
    RecordSource rs(QStringLiteral("read"), table);
    QStringList list;
    for (const auto &row : rs.column(field))
        list << row.second;
    return list;
}

const QStringList four { "Alpha", "Bravo", "Charlie", "Delta" };
const QList<FormCommand> browseCommands { FormCommand::Add, FormCommand::Edit, FormCommand::Delete,
    FormCommand::Back, FormCommand::Next, FormCommand::First, FormCommand::Last };

} // namespace

class TestRecordForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    QPointer<Screen> s;

    void open()
    {
        QFETCH(QString, table);
        QFETCH(QString, keyField);
        QFETCH(QString, otherField);
        QFETCH(bool, toolbar);
        QFETCH(int, reposition);
        fill(table, keyField, four);
        s = new Screen(table, keyField, otherField, toolbar, Reposition(reposition));
        s->show();
        QVERIFY(QTest::qWaitForWindowActive(s));
    }

    void checkMode(bool editing)
    {
        QCOMPARE(s->form->isEditing(), editing);
        for (FormCommand c : browseCommands)
            QCOMPARE(s->usable(c), !editing);
        QCOMPARE(s->usable(FormCommand::Save), editing);
        QCOMPARE(s->usable(FormCommand::Cancel), editing);
        for (QAction *a : std::as_const(s->own))
            QCOMPARE(a->isEnabled(), !editing);
        QCOMPARE(s->key->isReadOnly(), !editing);
        if (s->binder->widgets().contains(s->other))
            QCOMPARE(s->other->isReadOnly(), !editing);
        QCOMPARE(s->close->isEnabled(), !editing);
        QCOMPARE(s->sibling->isEnabled(), !editing);
        QCOMPARE(s->notice->isVisible(), editing);
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
    }
    void cleanup()
    {
        delete s;
        msgs.reset();
    }

    void screens_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("keyField");
        QTest::addColumn<QString>("otherField");
        QTest::addColumn<bool>("toolbar");
        QTest::addColumn<int>("reposition");
        QTest::newRow("buttons, no move") << "Diary"
                                          << "Subject"
                                          << "Page" << false << int(Reposition::None);
        QTest::newRow("buttons, move last") << "Patterns"
                                            << "Lake"
                                            << "Remarks" << false << int(Reposition::MoveLast);
        QTest::newRow("toolbar, last modified") << "Reminder"
                                                << "Reminder"
                                                << "Date" << true << int(Reposition::LastModified);
        QTest::newRow("toolbar, no move") << "Rods"
                                          << "Reel Make"
                                          << "Rod Note" << true << int(Reposition::None);
    }

    void navigationAndDelete_data() { screens_data(); }
    void navigationAndDelete()
    {
        open();
        QCOMPARE(s->key->text(), "Alpha");
        QCOMPARE(s->count->text(), "4 Things are saved.");
        checkMode(false);
        msgs->expect();
        s->press(FormCommand::Back);
        QCOMPARE(msgs->last().text, "This is the first Thing.");
        QCOMPARE(s->key->text(), "Alpha");
        s->press(FormCommand::Last);
        QCOMPARE(s->key->text(), "Delta");
        msgs->expect();
        s->press(FormCommand::Next);
        QCOMPARE(msgs->last().text, "This is the last Thing.");
        QCOMPARE(s->key->text(), "Delta");
        s->press(FormCommand::First);
        s->press(FormCommand::Next);
        QCOMPARE(s->key->text(), "Bravo");

        msgs->expect(Answer::No);
        s->press(FormCommand::Delete);
        QCOMPARE(msgs->last().text, "Are you sure you want to delete this Thing?");
        QCOMPARE(s->key->text(), "Bravo");
        msgs->expect(Answer::Yes);
        s->press(FormCommand::Delete);
        QCOMPARE(s->key->text(), "Charlie");
        QCOMPARE(s->count->text(), "3 Things are saved.");
        s->press(FormCommand::Last);
        msgs->expect(Answer::Yes);
        s->press(FormCommand::Delete);
        QCOMPARE(s->key->text(), "Charlie");
        msgs->expect(Answer::Yes);
        s->press(FormCommand::Delete);
        QCOMPARE(s->key->text(), "Alpha");
        QCOMPARE(s->count->text(), "1 Things are saved.");
        msgs->expect();
        s->press(FormCommand::Delete);
        QCOMPARE(msgs->last().text,
            "This Thing can not be deleted.\nYou can edit this Thing.\n"
            "At least one record has to be present at all times.");
        QCOMPARE(test::recordCount(*s->source), 1);
        QCOMPARE(msgs->pending(), 0);
    }

    void addSaveCancel_data() { screens_data(); }
    void addSaveCancel()
    {
        open();
        QFETCH(QString, table);
        QFETCH(QString, keyField);
        QFETCH(int, reposition);
        s->press(FormCommand::Next);
        s->press(FormCommand::Add);
        checkMode(true);
        QVERIFY(s->key->hasFocus());
        // Nothing but Save and Cancel runs in edit mode, by any route.
        s->form->next();
        s->form->deleteRecord();
        s->form->runKey(QStringLiteral("Print"));
        QVERIFY(s->ownKeys.isEmpty());
        msgs->expect();
        s->press(FormCommand::Save);
        QCOMPARE(msgs->last().text, "Please enter a Thing or click Cancel.");
        checkMode(true);
        s->press(FormCommand::Cancel);
        checkMode(false);
        QCOMPARE(s->key->text(), "Bravo");
        QCOMPARE(stored(table, keyField), four);

        s->press(FormCommand::Add);
        QTest::keyClicks(s->key, " ");
        msgs->expect();
        s->press(FormCommand::Save);
        QCOMPARE(msgs->last().text, "Thing saved.");
        QCOMPARE(msgs->last().icon, Icon::Information);
        checkMode(false);
        QCOMPARE(stored(table, keyField), four + QStringList { " " });
        QCOMPARE(s->key->text(), Reposition(reposition) == Reposition::None ? "Bravo" : " ");
        QCOMPARE(s->count->text(), "5 Things are saved.");

        s->press(FormCommand::First);
        s->press(FormCommand::Add);
        QTest::keyClicks(s->key, "Alpha");
        msgs->expect();
        s->press(FormCommand::Save);
        QCOMPARE(stored(table, keyField).count("Alpha"), 2);

        s->press(FormCommand::Edit);
        checkMode(true);
        s->key->selectAll();
        QTest::keyClicks(s->key, "Changed");
        s->press(FormCommand::Cancel);
        QCOMPARE(s->key->text(), "Alpha");
        QCOMPARE(stored(table, keyField).count("Changed"), 0);
    }

    void toolbarDispatchesOnKeys()
    {
        fill("Rods", "Reel Make", four);
        s = new Screen("Rods", "Reel Make", "Rod Note", true, Reposition::None);
        // "Cancel" is the caption, "Undo" the key.
        QAction *undo = s->actions.value(int(FormCommand::Cancel));
        QCOMPARE(undo->text(), "Cancel");
        emit s->bar->actionTriggered(s->actions.value(int(FormCommand::Add)));
        QVERIFY(s->form->isEditing());
        emit s->bar->actionTriggered(undo);
        QVERIFY(!s->form->isEditing());
        emit s->bar->actionTriggered(s->own.first());
        s->form->runKey(QStringLiteral("Nonsense"));
        QCOMPARE(s->ownKeys, QStringList({ "Print", "Nonsense" }));
        // The table gave the positions, separator included, in order.
        QStringList laid;
        for (QAction *a : s->bar->actions())
            laid << (a->isSeparator() ? QStringLiteral("|") : a->data().toString());
        QCOMPARE(laid.join(' '), "New Edit Undo Save Delete | First Back Next Last Print Help");
        QCOMPARE(s->actions.value(int(FormCommand::Add))->toolTip(), "Add a thing");
        QCOMPARE(s->actions.value(int(FormCommand::Add))->objectName(), "tbNew");
    }

    // A position may fix its own enabling instead of following its key.
    void toolbarFixedEnabling()
    {
        fill("Rods", "Reel Make", four);
        s = new Screen("Rods", "Reel Make", "Rod Note", false, Reposition::None);
        auto *bar = new QToolBar(s);
        using E = ToolbarPosition::Enabled;
        s->form->attachToolbar(bar,
            { { "Help", "Help", {}, E::Always }, { "Find", "Find", {}, E::Edit }, { "Print", "Print" } });
        const QList<QAction *> a = bar->actions();
        const auto states = [&] {
            return QList<bool> { a[0]->isEnabled(), a[1]->isEnabled(), a[2]->isEnabled() };
        };
        QCOMPARE(states(), QList<bool>({ true, false, true }));
        s->press(FormCommand::Edit);
        QCOMPARE(states(), QList<bool>({ true, true, false }));
        s->press(FormCommand::Cancel);
        QCOMPARE(states(), QList<bool>({ true, false, true }));
    }

    // The screen's own check runs after the key field's: refusing it writes
    // nothing and keeps the record pending; passing it saves.
    void validationStep()
    {
        fill("Lakes Fished", "Lake", four);
        s = new Screen("Lakes Fished", "Lake", "", false, Reposition::None);
        FormDeclaration d = s->form->declaration();
        bool pass = false;
        int asked = 0;
        d.validate = [&] {
            ++asked;
            return pass;
        };
        RecordForm form(d, s);
        QPushButton add, save;
        form.attach(FormCommand::Add, &add);
        form.attach(FormCommand::Save, &save);
        add.click();
        msgs->expect();
        save.click(); // empty key: the key check stops it before validation
        QCOMPARE(asked, 0);
        s->key->setText(QStringLiteral("Fifth"));
        save.click();
        QCOMPARE(asked, 1);
        QVERIFY(form.isEditing());
        QCOMPARE(s->source->editMode(), RecordSource::EditMode::Add);
        QCOMPARE(stored("Lakes Fished", "Lake"), four);
        pass = true;
        msgs->expect();
        save.click();
        QVERIFY(!form.isEditing());
        QCOMPARE(stored("Lakes Fished", "Lake").count("Fifth"), 1);
    }

    // A value its field can not hold: the box, edit mode, the record pending.
    void engineErrorOnSave()
    {
        s = new Screen("Booking", "Name", "Notes", false, Reposition::LastModified);
        auto *charge = new QLineEdit(s);
        s->binder->bind(charge, QStringLiteral("Total Charge"));
        const int before = test::recordCount(*s->source);
        s->press(FormCommand::Add);
        QTest::keyClicks(s->key, "Ann Lee");
        charge->setText(QStringLiteral("1/2"));
        msgs->expect();
        s->press(FormCommand::Save);
        QCOMPARE(msgs->last().text, "The value 1/2 can not be stored in Total Charge.");
        QVERIFY(s->form->isEditing());
        QCOMPARE(s->key->text(), "Ann Lee");
        QCOMPARE(test::recordCount(*s->source), before);
        charge->setText(QStringLiteral("12.50"));
        msgs->expect();
        s->press(FormCommand::Save);
        QCOMPARE(msgs->last().text, "Thing saved.");
        QCOMPARE(test::recordCount(*s->source), before + 1);
        QCOMPARE(charge->text(), "12.50");
    }

    void frameCloseDropsPending()
    {
        fill("Lakes Fished", "Lake", four);
        s = new Screen("Lakes Fished", "Lake", "", false, Reposition::None);
        s->show();
        s->press(FormCommand::Edit);
        s->key->setText(QStringLiteral("Half typed"));
        s->close->setEnabled(true);
        s->QWidget::close();
        QVERIFY(!s->form->isEditing());
        QCOMPARE(s->source->editMode(), RecordSource::EditMode::None);
        QCOMPARE(stored("Lakes Fished", "Lake"), four);
    }

    void screenDepartures()
    {
        fill("Patterns", "Lake", four);
        s = new Screen("Patterns", "Lake", "Remarks", false, Reposition::None);
        s->show();
        QVERIFY(QTest::qWaitForWindowActive(s));
        // Declared after the fact, as a screen with its own wording would.
        FormDeclaration d = s->form->declaration();
        d.texts.cancelled = { QStringLiteral("Changes were not saved."), QStringLiteral("Fishing Diary") };
        d.deleteQuestionText = [this] {
            return QStringLiteral("Are you sure you want to delete this Pattern for ") + s->key->text()
                + QStringLiteral(" ?");
        };
        d.selectAllOnEdit = true;
        d.focusOnEdit = s->key;
        QStringList events;
        d.editStarted = [&](FormCommand c) { events << (c == FormCommand::Add ? "add" : "edit"); };
        d.countLabel = nullptr;
        d.countChanged = [&] { events << "count"; };
        RecordForm form(d, s);
        QPushButton edit, cancel, del;
        form.attach(FormCommand::Edit, &edit);
        form.attach(FormCommand::Cancel, &cancel);
        form.attach(FormCommand::Delete, &del);

        edit.click();
        QCOMPARE(s->key->selectedText(), "Alpha");
        msgs->expect();
        cancel.click();
        QCOMPARE(msgs->last().text, "Changes were not saved.");
        QCOMPARE(msgs->last().caption, "Fishing Diary");
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QVERIFY(!s->key->hasSelectedText());
        msgs->expect(Answer::Yes);
        del.click();
        QCOMPARE(msgs->last().text, "Are you sure you want to delete this Pattern for Alpha ?");
        QCOMPARE(events, QStringList({ "edit", "count" }));
    }

    // A misspelt field is refused as the form is built: a box and a log
    // line name it, the box stays unbound and the binder says so.
    void unknownFieldRefused_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("known");
        QTest::newRow("booking's ZipCode") << "Booking"
                                           << "ZipCode" << true;
        QTest::newRow("contacts' spelling on a booking") << "Booking"
                                                         << "Zip Code" << false;
        QTest::newRow("booking's spelling on a contact") << "Phone"
                                                         << "ZipCode" << false;
        QTest::newRow("case differs") << "Phone"
                                      << "zip code" << false;
    }
    void unknownFieldRefused()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(bool, known);
        RecordSource source(QStringLiteral("Data1"), table);
        QWidget window;
        FieldBinder binder(&source, &window);
        auto *box = new QLineEdit(&window);
        box->setObjectName(QStringLiteral("Text6"));
        box->setText(QStringLiteral("untouched"));
        if (!known) {
            msgs->expect();
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(field)));
        }
        binder.bind(box, field);
        QCOMPARE(msgs->shown.size(), known ? 0 : 1);
        QCOMPARE(bool(binder.status()), known);
        QCOMPARE(binder.widgets().contains(box), known);
        if (known)
            return;
        const QString expected
            = QStringLiteral("The box Text6 can not show the field %1: table %2 has no such field.")
                  .arg(field, table);
        QCOMPARE(msgs->last().text, expected);
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QCOMPARE(binder.status().message(), expected);
        binder.showRecord();
        QCOMPARE(box->text(), "untouched");
    }

    // A record source that follows its table re-reads after another record
    // source's write, but neither after its own form's deletion (the form
    // places it) nor while a record is pending in it.
    void followsOtherWrites_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("rereads");
        QTest::addColumn<QString>("shown"); // the key field afterwards
        QTest::addColumn<QStringList>("afterwards");
        QTest::newRow("another adds")
            << "other adds" << 1 << "Alpha" << QStringList { "Alpha", "Bravo", "Charlie", "Delta", "Echo" };
        QTest::newRow("another deletes")
            << "other deletes" << 1 << "Alpha" << QStringList { "Alpha", "Charlie", "Delta" };
        QTest::newRow("another table") << "other table" << 0 << "Delta" << four;
        QTest::newRow("own deletion")
            << "own delete" << 0 << "Charlie" << QStringList { "Alpha", "Bravo", "Charlie" };
        QTest::newRow("own pending record")
            << "pending" << 0 << "Half typed" << QStringList { "Alpha", "Bravo", "Charlie", "Delta", "Echo" };
    }
    void followsOtherWrites()
    {
        QFETCH(QString, action);
        QFETCH(int, rereads);
        QFETCH(QString, shown);
        QFETCH(QStringList, afterwards);
        fill("Lakes Fished", "Lake", four);
        s = new Screen("Lakes Fished", "Lake", "", false, Reposition::None);
        platform::followTable(*s->source);
        s->press(FormCommand::Last);
        QSignalSpy reread(s->source, &RecordSource::refreshed);
        RecordSource other(QStringLiteral("other"), action == "other table" ? "Marinas" : "Lakes Fished");
        if (action == "own delete") {
            msgs->expect(Answer::Yes);
            s->press(FormCommand::Delete);
        } else if (action == "other deletes") {
            QVERIFY(other.setBookmark(other.column(QStringLiteral("Lake")).at(1).first));
            QVERIFY(other.Delete());
        } else {
            if (action == "pending") {
                s->press(FormCommand::Add);
                s->key->setText(QStringLiteral("Half typed"));
            }
            QVERIFY(other.AddNew());
            QVERIFY(other.setValue(other.fieldNames().first(), QStringLiteral("Echo")));
            QVERIFY(other.Update());
        }
        QCOMPARE(reread.count(), rereads);
        QCOMPARE(s->key->text(), shown);
        QCOMPARE(s->form->isEditing(), action == "pending");
        QCOMPARE(stored("Lakes Fished", "Lake"), afterwards);
    }

    // No screen guards a table without records; the form must not fail.
    void emptyTable()
    {
        fill("Guide Info", "Guide Name", {});
        s = new Screen("Guide Info", "Guide Name", "City", false, Reposition::None);
        msgs->expect();
        s->press(FormCommand::Back);
        msgs->expect();
        s->press(FormCommand::Next);
        s->press(FormCommand::Delete);
        s->press(FormCommand::First);
        QCOMPARE(msgs->shown.size(), 2);
        FormDeclaration d = s->form->declaration();
        d.editAddsWhenEmpty = true;
        RecordForm form(d, s);
        form.edit();
        QVERIFY(form.isEditing());
        s->key->setText(QStringLiteral("Lone Guide"));
        msgs->expect();
        QVERIFY(form.save());
        QCOMPARE(stored("Guide Info", "Guide Name"), QStringList({ "Lone Guide" }));
    }
};

BM_TEST_MAIN(TestRecordForm)
#include "test_recordform.moc"
