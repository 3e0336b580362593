#include "behind.h"
#include "checks.h"
#include "core/apppaths.h"
#include "doubles.h"
#include "gear/frmfgear.h"
#include "recordcount.h"
#include "testenv.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

using namespace bm;
using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace
{

// The value every field of record i holds: "Text1 2", "Combo1 3" ...
QString valueOf(const GearField &f, int i)
{
    return f.control + QLatin1Char(' ') + QString::number(i);
}

// Lays records 1 to n into the page's table.
void fillPage(const GearPageDef &def, int n)
{
    RecordSource rs(QStringLiteral("fill"), def.table);
    while (test::recordCount(rs) > 0) {
        BM_VERIFY(rs.MoveFirst());
        QVERIFY(rs.Delete());
    }
    for (int i = 1; i <= n; ++i) {
        QVERIFY(rs.AddNew());
        for (const GearField &f : def.fields)
            QVERIFY(rs.setValue(f.field, valueOf(f, i)));
        QVERIFY(rs.Update());
    }
}

// One field of every stored record, in the table's order.
QStringList stored(const QString &table, const QString &field)
{
    RecordSource rs(QStringLiteral("read"), table);
    QStringList list;
    for (const auto &row : rs.column(field))
        list << row.second;
    return list;
}

QString shown(QWidget *w)
{
    return FieldBinder::widgetText(w);
}

bool editable(QWidget *w)
{
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return !e->isReadOnly();
    if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        return !p->isReadOnly();
    if (auto *c = qobject_cast<QComboBox *>(w))
        return !c->lineEdit()->isReadOnly();
    return false;
}

void typeInto(QWidget *w, const QString &text)
{
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setText(text);
    else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        p->setPlainText(text);
    else if (auto *c = qobject_cast<QComboBox *>(w))
        c->setEditText(text);
}

// Makes every write to the table fail in the database engine, or lifts that.
void refuseWrites(const QString &table, bool refuse)
{
    for (const char *when : { "INSERT", "UPDATE" }) {
        const QString name = QStringLiteral("refuse_%1").arg(QLatin1String(when)).toLower();
        // The server's trigger belongs to its table and calls a function of
        // its own name, which has to go with it.
        QVERIFY(test::execAsWritten(test::onServer()
                ? QStringLiteral("DROP TRIGGER IF EXISTS %1 ON \"%2\"; DROP FUNCTION IF EXISTS %1()")
                      .arg(name, table)
                : QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(name)));
        if (refuse)
            QVERIFY(test::refuseWrites(name, QLatin1String(when), table, QStringLiteral("the disk is full")));
    }
}

} // namespace

class TestGear : public QObject
{
    Q_OBJECT

    QPointer<FrmFgear> w;
    std::unique_ptr<test::ScriptedMessages> msgs;
    std::unique_ptr<test::FakeHub> hub;
    std::unique_ptr<test::RecordingHelp> help;
    std::unique_ptr<test::RecordingReports> reports;

    void open()
    {
        w = new FrmFgear;
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

    // The page of the row, its table holding n records, chosen by its tab.
    GearPage *openOn(int n)
    {
        QFETCH(int, index);
        fillPage(gearPageDefs().at(index), n);
        open();
        clickTab(index);
        return w->page(index);
    }

    void clickTab(int index)
    {
        QTabBar *bar = w->tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    // A click on the toolbar button of the key, as the user makes it.
    static void press(GearPage *page, const QString &key)
    {
        QWidget *button = page->toolbar()->widgetForAction(page->action(key));
        QVERIFY2(button, qPrintable(key));
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QWidget *first(GearPage *page) const { return page->control(page->def().fields.first().control); }

    // The state of a page and of the window in the page's mode.
    void checkMode(GearPage *page, bool editing)
    {
        QCOMPARE(page->form()->isEditing(), editing);
        for (const char *key : { "New", "Edit", "Delete", "Print", "Help", "Exit" })
            QVERIFY2(page->action(key)->isEnabled() == !editing, key);
        QCOMPARE(page->action("Undo")->isEnabled(), editing);
        QCOMPARE(page->action("Save")->isEnabled(), editing);
        QCOMPARE(page->frame()->isEnabled(), !editing);
        for (FormCommand c : { FormCommand::First, FormCommand::Back, FormCommand::Next, FormCommand::Last })
            QCOMPARE(page->navigation(c)->isEnabled(), !editing);
        for (const GearField &f : page->def().fields)
            QVERIFY2(editable(page->control(f.control)) == editing, qPrintable(f.control));
        for (int i = 0; i < w->tabs()->count(); ++i)
            QCOMPARE(w->tabs()->isTabEnabled(i), w->page(i) == page || !editing);
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        hub = std::make_unique<test::FakeHub>();
        help = std::make_unique<test::RecordingHelp>();
        reports = std::make_unique<test::RecordingReports>();
    }
    void cleanup()
    {
        delete w;
        QCOMPARE(msgs->pending(), 0);
        msgs.reset();
        hub.reset();
        help.reset();
        reports.reset();
    }

    // --- Each page through the one record form ---------------------------

    void pages_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QString>("toolbar");
        QTest::addColumn<QStringList>("tips");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("firstMessage");
        QTest::addColumn<QString>("lastMessage");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("countText");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("focusOnAdd");
        QTest::addColumn<QString>("focusOnEdit");
        QTest::newRow("rods") << 0 << "Rods and Reels"
                              << "Toolbar1"
                              << QStringList { "Add a new Rod or Reel", "Edit this Rod or Reel",
                                     "Delete this Rod and Reel" }
                              << "Frame5"
                              << ""
                              << "This is the first Rod and Reel."
                              << "This is the last Rod and Reel."
                              << "Rod and Reel"
                              << " Rods and Reels are saved." << QColor(0, 128, 0) << "rods.rpt" << 2600
                              << "Text1"
                              << "Text1";
        QTest::newRow("boats") << 1 << "Boat and Motor"
                               << "Toolbar2"
                               << QStringList { "Add a new Boat and Motor", "Edit this Boat and Motor",
                                      "Delete this Boat and Motor" }
                               << "Frame8"
                               << "B"
                               << "This is the first boat record."
                               << "This is the last boat record."
                               << "Boat and Motor"
                               << " Boats and Motors are saved." << QColor(128, 0, 0) << "boat.rpt" << 2700
                               << "Text9"
                               << "Text9";
        QTest::newRow("equipment") << 2 << "Other Equipment"
                                   << "Toolbar3"
                                   << QStringList { "Add new Equipment", "Edit this item",
                                          "Delete this item" }
                                   << "Frame7"
                                   << "E"
                                   << "This is the first item."
                                   << "This is the last item."
                                   << "item"
                                   << " Equipment Items are saved." << QColor(0, 0, 192) << "equipment.rpt"
                                   << 2800 << "Combo1"
                                   << "Text15";
    }

    void toolbarAndFrame_data() { pages_data(); }
    void toolbarAndFrame()
    {
        QFETCH(int, index);
        QFETCH(QString, tab);
        QFETCH(QString, toolbar);
        QFETCH(QStringList, tips);
        QFETCH(QString, frame);
        QFETCH(QString, suffix);
        GearPage *page = openOn(2);
        QCOMPARE(w->tabs()->tabText(index), tab);
        QCOMPARE(page->toolbar()->objectName(), toolbar);
        QCOMPARE(w->findChildren<QToolBar *>(toolbar).size(), 1);

        // Nine positions, the sixth a gap.
        const QList<QAction *> actions = page->toolbar()->actions();
        QCOMPARE(actions.size(), 9);
        QVERIFY(actions[5]->isSeparator());
        const QStringList keys { "New", "Edit", "Undo", "Save", "Delete", "", "Print", "Help", "Exit" };
        const QStringList texts { "New ", "Edit ", "Undo ", "Save ", "Delete ", "", "Print", "Help", "Exit" };
        const QStringList tooltips { tips[0], tips[1], "Undo changes", "Save changes", tips[2], "",
            "Print Preview", "Show Help", "Exit" };
        for (int i = 0; i < 9; ++i) {
            if (i == 5)
                continue;
            QCOMPARE(actions[i]->data().toString(), keys[i]);
            QCOMPARE(actions[i]->text(), texts[i]);
            QCOMPARE(actions[i]->toolTip(), tooltips[i]);
        }

        // Each field under its label, in its group.
        for (const GearField &f : page->def().fields) {
            QWidget *group = page->control(f.control)->parentWidget();
            QStringList labels;
            for (QLabel *l : group->findChildren<QLabel *>())
                labels << l->text();
            QVERIFY2(labels.contains(f.label), qPrintable(f.control));
            QCOMPARE(qobject_cast<QGroupBox *>(group)->title(), page->def().groups.value(f.group));
        }

        QCOMPARE(page->frame()->objectName(), frame);
        QCOMPARE(page->frame()->title(), "Select");
        const QStringList names { "cmdFirst", "cmdBack", "cmdNext", "cmdLast" };
        const QStringList captions { "<< First", "< Back", "Next >", "Last >>" };
        for (int i = 0; i < 4; ++i) {
            auto *b = page->frame()->findChild<QPushButton *>(names[i] + suffix);
            QVERIFY2(b, qPrintable(names[i] + suffix));
            QCOMPARE(b->text(), captions[i]);
        }
        // Every page opens in browse mode on its first record.
        for (GearPage *p : w->pages()) {
            checkMode(p, false);
            for (const GearField &f : p->def().fields)
                QCOMPARE(shown(p->control(f.control)),
                    p == page ? valueOf(f, 1) : stored(p->def().table, f.field).value(0));
        }
    }

    void navigation_data() { pages_data(); }
    void navigation()
    {
        QFETCH(QString, firstMessage);
        QFETCH(QString, lastMessage);
        GearPage *page = openOn(3);
        const GearField key = page->def().fields.first();
        QWidget *field = first(page);

        msgs->expect();
        page->navigation(FormCommand::Back)->click();
        QCOMPARE(msgs->last().text, firstMessage);
        QCOMPARE(msgs->last().icon, Icon::Information);
        QCOMPARE(shown(field), valueOf(key, 1));
        QVERIFY(page->navigation(FormCommand::Back)->isEnabled());

        page->navigation(FormCommand::Last)->click();
        QCOMPARE(shown(field), valueOf(key, 3));
        msgs->expect();
        page->navigation(FormCommand::Next)->click();
        QCOMPARE(msgs->last().text, lastMessage);
        QCOMPARE(shown(field), valueOf(key, 3));
        QVERIFY(page->navigation(FormCommand::Next)->isEnabled());

        page->navigation(FormCommand::Back)->click();
        QCOMPARE(shown(field), valueOf(key, 2));
        page->navigation(FormCommand::First)->click();
        QCOMPARE(shown(field), valueOf(key, 1));
        page->navigation(FormCommand::Next)->click();
        QCOMPARE(shown(field), valueOf(key, 2));
        // The other pages did not move from their first records.
        for (GearPage *other : w->pages()) {
            if (other == page)
                continue;
            RecordSource firstRecord(QStringLiteral("first"), other->def().table);
            QCOMPARE(other->source()->bookmark(), firstRecord.bookmark());
        }
    }

    void newThenUndo_data() { pages_data(); }
    void newThenUndo()
    {
        QFETCH(QString, countText);
        QFETCH(QString, focusOnAdd);
        GearPage *page = openOn(3);
        page->navigation(FormCommand::Next)->click();
        const QString before = shown(first(page));

        press(page, "New");
        checkMode(page, true);
        QVERIFY(page->control(focusOnAdd)->hasFocus());
        for (const GearField &f : page->def().fields)
            QCOMPARE(shown(page->control(f.control)), QString());
        typeInto(first(page), "Never stored");
        // The page can not be left while it edits.
        for (int i = 0; i < 3; ++i)
            clickTab(i);
        QCOMPARE(w->tabs()->currentWidget(), page);
        press(page, "Undo");
        checkMode(page, false);
        QCOMPARE(shown(first(page)), before);
        QCOMPARE(w->countLine()->text(), "3" + countText);
        QCOMPARE(stored(page->def().table, page->def().fields.first().field).size(), 3);
        QVERIFY(msgs->shown.isEmpty());
    }

    // Nothing is required: an empty record is stored, and stays on view.
    void newThenSave_data() { pages_data(); }
    void newThenSave()
    {
        QFETCH(QString, countText);
        GearPage *page = openOn(3);
        press(page, "New");
        msgs->expect();
        press(page, "Save");
        QCOMPARE(msgs->last().text, "Changes have been saved.");
        QCOMPARE(msgs->last().icon, Icon::Information);
        checkMode(page, false);
        QCOMPARE(w->countLine()->text(), "4" + countText);
        for (const GearField &f : page->def().fields) {
            QCOMPARE(stored(page->def().table, f.field).size(), 4);
            QCOMPARE(stored(page->def().table, f.field).last(), QString());
            QCOMPARE(shown(page->control(f.control)), QString());
        }
        QCOMPARE(page->source()->bookmark(), page->source()->LastModified());
    }

    void editSelectsWholeField_data() { pages_data(); }
    void editSelectsWholeField()
    {
        QFETCH(QString, focusOnEdit);
        GearPage *page = openOn(2);
        page->navigation(FormCommand::Last)->click();
        auto *field = qobject_cast<QLineEdit *>(page->control(focusOnEdit));
        QVERIFY(field);
        const QString was = field->text();

        press(page, "Edit");
        checkMode(page, true);
        QVERIFY(field->hasFocus());
        QCOMPARE(field->selectedText(), was);
        QTest::keyClicks(field, "Replaced");
        msgs->expect();
        press(page, "Save");
        QVERIFY(!field->hasSelectedText());
        QCOMPARE(field->text(), "Replaced");
        const GearField *f = nullptr;
        for (const GearField &g : page->def().fields)
            if (g.control == focusOnEdit)
                f = &g;
        QCOMPARE(stored(page->def().table, f->field), QStringList({ valueOf(*f, 1), "Replaced" }));
        checkMode(page, false);
    }

    void deleting_data() { pages_data(); }
    void deleting()
    {
        QFETCH(QString, item);
        QFETCH(QString, countText);
        GearPage *page = openOn(3);
        const GearField key = page->def().fields.first();
        QWidget *field = first(page);
        const QString table = page->def().table;

        msgs->expect(Answer::No);
        press(page, "Delete");
        QCOMPARE(msgs->last().text, "Are you sure you want to delete this " + item + "?");
        QCOMPARE(msgs->last().caption, "Delete Information");
        QCOMPARE(msgs->last().buttons, Buttons::YesNo);
        QCOMPARE(msgs->last().icon, Icon::Question);
        QCOMPARE(stored(table, key.field).size(), 3);

        // A middle record: the one after it; the last: the one before it.
        page->navigation(FormCommand::Next)->click();
        msgs->expect(Answer::Yes);
        press(page, "Delete");
        QCOMPARE(shown(field), valueOf(key, 3));
        QCOMPARE(w->countLine()->text(), "2" + countText);
        msgs->expect(Answer::Yes);
        press(page, "Delete");
        QCOMPARE(shown(field), valueOf(key, 1));
        QCOMPARE(w->countLine()->text(), "1" + countText);
        QCOMPARE(stored(table, key.field), QStringList({ valueOf(key, 1) }));

        // The last record stays; nothing is asked.
        msgs->expect();
        press(page, "Delete");
        QCOMPARE(msgs->last().text,
            "This " + item + " can not be deleted.\nYou can edit this " + item
                + ".\nAt least one record has to be present at all times.");
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QCOMPARE(msgs->last().buttons, Buttons::Ok);
        QCOMPARE(stored(table, key.field).size(), 1);
        QCOMPARE(msgs->shown.size(), 4);
    }

    void printAndHelp_data() { pages_data(); }
    void printAndHelp()
    {
        QFETCH(QString, report);
        QFETCH(int, topic);
        GearPage *page = openOn(1);
        press(page, "Print");
        QCOMPARE(reports->files, QStringList({ appFile(report) }));
        QCOMPARE(reports->selections.first().isValid(), false);
        press(page, "Help");
        QCOMPARE(help->topics, QList<int>({ topic }));
        // Neither can be used while the page edits.
        press(page, "Edit");
        press(page, "Print");
        press(page, "Help");
        QCOMPARE(reports->files.size(), 1);
        QCOMPARE(help->topics.size(), 1);
    }

    // A write the engine refuses is reported, and the page stays in edit mode
    // with what was typed.
    void failedWrite_data() { pages_data(); }
    void failedWrite()
    {
        QFETCH(QString, countText);
        GearPage *page = openOn(2);
        for (const char *how : { "New", "Edit" }) {
            const QString count = w->countLine()->text();
            refuseWrites(page->def().table, true);
            press(page, how);
            typeInto(first(page), "Typed before the failure");
            msgs->expect();
            press(page, "Save");
            QCOMPARE(msgs->shown.size(), 1);
            QVERIFY(msgs->last().text.contains("the disk is full"));
            QCOMPARE(msgs->last().icon, Icon::Exclamation);
            checkMode(page, true);
            QCOMPARE(shown(first(page)), "Typed before the failure");
            QCOMPARE(w->countLine()->text(), count);

            refuseWrites(page->def().table, false);
            msgs->expect();
            press(page, "Save");
            QCOMPARE(msgs->last().text, "Changes have been saved.");
            checkMode(page, false);
            QVERIFY(stored(page->def().table, page->def().fields.first().field)
                        .contains("Typed before the failure"));
            msgs->clear();
        }
        QCOMPARE(stored(page->def().table, page->def().fields.first().field).size(), 3);
        QCOMPARE(w->countLine()->text(), "3" + countText);
    }

    // Any text, quotes and all and ten thousand characters long, comes back
    // exactly.
    void anyText_data() { pages_data(); }
    void anyText()
    {
        GearPage *page = openOn(1);
        const QString quotes = QStringLiteral("O'Brien's \"big\" reel; -- \\ %_ 'x' = 'x'");
        const QString longText = QString(10000, QLatin1Char('w')).replace(5000, 1, QLatin1Char('"'));
        // The notes keep their lines, blank lines and tabs.
        const QString lines = QStringLiteral("Spool replaced\n\n\tdrag washer 'new'\nline \"3\" ");
        auto valueFor = [&](const GearField &f, int i) {
            const QString text = (i % 2) ? longText : quotes + f.control;
            return f.kind == GearField::Notes ? lines + text : text;
        };
        press(page, "Edit");
        int i = 0;
        for (const GearField &f : page->def().fields)
            typeInto(page->control(f.control), valueFor(f, i++));
        msgs->expect();
        press(page, "Save");
        i = 0;
        for (const GearField &f : page->def().fields) {
            const QString expected = valueFor(f, i++);
            QCOMPARE(stored(page->def().table, f.field), QStringList({ expected }));
            QCOMPARE(shown(page->control(f.control)), expected);
        }
    }

    // --- The window ------------------------------------------------------

    void countLine_data() { pages_data(); }
    void countLine()
    {
        QFETCH(int, index);
        QFETCH(QString, countText);
        QFETCH(QColor, colour);
        for (int i = 0; i < 3; ++i)
            fillPage(gearPageDefs().at(i), i + 2);
        open();
        QCOMPARE(w->windowTitle(), "Fishing Gear Log");
        QCOMPARE(w->tabs()->currentIndex(), 0);
        QCOMPARE(w->countLine()->text(), "2 Rods and Reels are saved.");

        clickTab(index == 0 ? 1 : 0);
        clickTab(index);
        QCOMPARE(w->tabs()->currentIndex(), index);
        QCOMPARE(w->countLine()->text(), QString::number(index + 2) + countText);
        QCOMPARE(w->countLine()->palette().color(QPalette::WindowText), colour);

        // Becoming active again: the rods count, whichever page, colour kept.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->countLine()->text(), "2 Rods and Reels are saved.");
        QCOMPARE(w->countLine()->palette().color(QPalette::WindowText), colour);

        // Save rewrites the page's count, not its colour.
        clickTab(index);
        press(w->page(index), "New");
        msgs->expect();
        press(w->page(index), "Save");
        QCOMPARE(w->countLine()->text(), QString::number(index + 3) + countText);
        QCOMPARE(w->countLine()->palette().color(QPalette::WindowText), colour);
    }

    void equipmentItemList()
    {
        fillPage(gearPageDefs().at(2), 1);
        open();
        clickTab(2);
        GearPage *page = w->page(2);
        auto *combo = qobject_cast<QComboBox *>(page->control("Combo1"));
        QVERIFY(combo);
        const QStringList nine { "Depth Finder", "Trolling Motor", "Global Positioning System", "Spare Prop",
            "Life Jacket", "Tackle Box", "Battery Charger", "Downrigger", "Rain Suit" };
        auto entries = [combo] {
            QStringList l;
            for (int i = 0; i < combo->count(); ++i)
                l << combo->itemText(i);
            return l;
        };
        QCOMPARE(entries(), nine);

        // A picked entry and a typed one (a prefix of an entry) are stored as shown.
        press(page, "Edit");
        combo->setCurrentIndex(6);
        auto *price = page->control("Text18");
        typeInto(price, "about forty dollars");
        msgs->expect();
        press(page, "Save");
        QCOMPARE(stored("Equipment", "Item"), QStringList({ "Battery Charger" }));
        QCOMPARE(stored("Equipment", "Price"), QStringList({ "about forty dollars" }));
        press(page, "New");
        QTest::keyClicks(combo, "Tack");
        msgs->expect();
        press(page, "Save");
        QCOMPARE(stored("Equipment", "Item"), QStringList({ "Battery Charger", "Tack" }));
        QCOMPARE(entries(), nine);
    }

    // Tab leads through a page's fields in their order, in edit mode.
    void keyboardOrder_data() { pages_data(); }
    void keyboardOrder()
    {
        GearPage *page = openOn(2);
        press(page, "Edit");
        QStringList visited;
        QWidget *at = first(page);
        at->setFocus();
        for (qsizetype i = 0; i < page->def().fields.size(); ++i) {
            QWidget *focus = QApplication::focusWidget();
            // The item list's typing line has the focus for the list.
            if (focus && qobject_cast<QComboBox *>(focus->parentWidget()))
                focus = focus->parentWidget();
            visited << (focus ? focus->objectName() : QString());
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QStringList expected;
        for (const GearField &f : page->def().fields)
            expected << f.control;
        QCOMPARE(visited, expected);
        press(page, "Undo");
    }

    // Every field, toolbar button and navigation button of each page lies
    // whole inside the window at its opening size, in browse and in edit
    // mode. With BM_SCREENSHOTS set, the pages are saved there.
    void layoutFitsTheWindow_data() { pages_data(); }
    void layoutFitsTheWindow()
    {
        GearPage *page = openOn(3);
        QFETCH(int, index);
        for (const bool editing : { false, true }) {
            if (editing)
                press(page, "Edit");
            QList<QWidget *> parts;
            for (const GearField &f : page->def().fields)
                parts << page->control(f.control);
            for (FormCommand c :
                { FormCommand::First, FormCommand::Back, FormCommand::Next, FormCommand::Last })
                parts << page->navigation(c);
            for (QAction *a : page->toolbar()->actions())
                if (!a->isSeparator())
                    parts << page->toolbar()->widgetForAction(a);
            parts << w->countLine();
            for (QWidget *part : std::as_const(parts)) {
                QVERIFY(part && part->isVisible());
                const QRect r(part->mapTo(w, QPoint(0, 0)), part->size());
                QVERIFY2(w->rect().contains(r) && r.height() >= part->minimumSizeHint().height(),
                    qPrintable(part->objectName() + QLatin1Char(' ') + part->metaObject()->className()));
            }
            const QString folder = qEnvironmentVariable("BM_SCREENSHOTS");
            if (!folder.isEmpty())
                w->grab().save(QDir(folder).filePath(
                    QStringLiteral("gear-%1-%2.png").arg(index).arg(editing ? "edit" : "browse")));
        }
        press(page, "Undo");
    }

    void closeShowsMainWindow_data()
    {
        QTest::addColumn<bool>("byFrame");
        QTest::newRow("Exit") << false;
        QTest::newRow("close box while editing") << true;
    }
    void closeShowsMainWindow()
    {
        QFETCH(bool, byFrame);
        fillPage(gearPageDefs().at(1), 1);
        open();
        hub->mainWindow->hide();
        GearPage *page = w->page(1);
        clickTab(1);
        if (byFrame) {
            press(page, "Edit");
            QVERIFY(!page->action("Exit")->isEnabled());
            typeInto(first(page), "Half typed");
            w->close();
        } else {
            press(page, "Exit");
        }
        QVERIFY(hub->mainWindow->isVisible());
        QVERIFY(!w || !w->isVisible());
        QCOMPARE(stored("Boat", "Boat"), QStringList({ "Text9 1" }));
    }
};

BM_TEST_MAIN(TestGear)
#include "test_gear.moc"
