#include "doubles.h"
#include "records/frmpatterns.h"
#include "recordsfixture.h"
#include "testenv.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

using namespace bm;
using platform::Answer;

class TestPatterns : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    QPointer<FrmPatterns> w;

    void open()
    {
        w = new FrmPatterns;
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    QWidget *control(const QString &name) const { return w->findChild<QWidget *>(name); }
    void setText(const QString &name, const QString &text) const
    {
        QWidget *c = control(name);
        if (auto *combo = qobject_cast<QComboBox *>(c))
            combo->setEditText(text);
        else if (auto *line = qobject_cast<QLineEdit *>(c))
            line->setText(text);
        else
            qobject_cast<QPlainTextEdit *>(c)->setPlainText(text);
    }
    void press(const QString &key) const { test::clickKey(w->toolbar(), key); }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        test::fillTable("Patterns", "Lake", { "Alpha", "Bravo", "Charlie", "Delta" });
    }
    void cleanup()
    {
        delete w;
        msgs.reset();
    }

    // Each field with its label and its field, in keyboard order; each list
    // with its fixed choices in order, locked in browse mode.
    void fields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("choices");
        QTest::newRow("lake") << "Text1"
                              << "Lake / River:"
                              << "Lake"
                              << "";
        QTest::newRow("month") << "Combo1"
                               << "Month:"
                               << "Month"
                               << "January|February|March|April|May|June|July|August|September|October|"
                                  "November|December";
        QTest::newRow("air") << "Combo2"
                             << "Air Temperature:"
                             << "Air Temp"
                             << "'Teens|20's|30's|40's|50's|60's|70's|80's|90's";
        QTest::newRow("lure")
            << "Combo3"
            << "Lure:"
            << "Lure"
            << "Crankbait|Zara Spook|Popper|Buzz Bait|Spinnerbait|Texas Rig Worm|Carolina Rig|"
               "Jig n Pig|Floating Worm|Rattle Trap";
        QTest::newRow("structure")
            << "Combo4"
            << "Structure:"
            << "Structure"
            << "Banks|Brush Piles|Docks|Coves|Points|Submerged Trees|Stumps|Logs|Rocks|"
               "Weeds|Lily Pads";
        QTest::newRow("moon") << "Combo5"
                              << "Moon Phase:"
                              << "Moon Phase"
                              << "Full Moon|Half Moon|Quarter Moon|Dark Moon";
        QTest::newRow("water") << "Combo6"
                               << "Water Temperature:"
                               << "Water Temp"
                               << "30's|40's|50's|60's|70's|80's|90's";
        QTest::newRow("colour") << "Combo7"
                                << "Lure Color:"
                                << "Lure Color"
                                << "Red|Blue|Brown|Green|Black|White|Yellow|Shad|Purple";
        QTest::newRow("depth") << "Combo8"
                               << "Best Depth:"
                               << "Best Depth"
                               << "Top Water|Shallow|Medium|Deep";
        QTest::newRow("pattern") << "Text2"
                                 << "Pattern:"
                                 << "Pattern"
                                 << "";
        QTest::newRow("remarks") << "Text3"
                                 << "Remarks:"
                                 << "Remarks"
                                 << "";
    }
    void fields()
    {
        QFETCH(QString, name);
        QFETCH(QString, label);
        QFETCH(QString, field);
        QFETCH(QString, choices);
        open();
        QWidget *c = control(name);
        QVERIFY(c);
        QLabel *caption = nullptr;
        for (QLabel *l : w->findChildren<QLabel *>())
            if (l->buddy() == c)
                caption = l;
        QVERIFY(caption);
        QCOMPARE(caption->text(), label);
        QCOMPARE(w->form()->declaration().binder->widgetFor(field), c);
        auto *combo = qobject_cast<QComboBox *>(c);
        QCOMPARE(combo != nullptr, !choices.isEmpty());
        if (combo) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            QCOMPARE(items.join('|'), choices);
            QVERIFY(combo->isEditable());
            QVERIFY(combo->lineEdit()->isReadOnly());
            press("Edit");
            QVERIFY(!combo->lineEdit()->isReadOnly());
        }
        if (auto *text = qobject_cast<QPlainTextEdit *>(c))
            QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // The keyboard order is the order of the rows.
        static const QStringList order { "Text1", "Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6",
            "Combo7", "Combo8", "Text2", "Text3" };
        const int at = int(order.indexOf(name));
        if (at + 1 < order.size()) {
            QWidget *next = c->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus || (c->isAncestorOf(next)))
                next = next->nextInFocusChain();
            QCOMPARE(next->objectName(), order[at + 1]);
        }
    }

    // Every field is stored as typed, chosen or not, and a new pattern stays
    // on view after Save.
    void typedValues()
    {
        open();
        const QList<QPair<QString, QString>> typed { { "Text1", "Lake Brindle" }, { "Combo1", "january" },
            { "Combo2", "'Teens" }, { "Combo3", "Live Minnows" }, { "Combo4", "Docks" }, { "Combo5", "" },
            { "Combo6", "40's " }, { "Combo7", "Chartreuse" }, { "Combo8", "Deep" },
            { "Text2", "Slow roll\n\"along\" the ledge" }, { "Text3", "Only after a cold front." } };
        press("New");
        for (const auto &[name, text] : typed)
            setText(name, text);
        msgs->expect();
        press("Save");
        QCOMPARE(msgs->last().text, "Changes have been Saved.");
        QCOMPARE(msgs->last().caption, "Brindlemoor");
        QCOMPARE(FieldBinder::widgetText(control("Text1")), "Lake Brindle");
        delete w;
        open();
        w->findChild<QPushButton *>("cmdLast")->click();
        for (const auto &[name, text] : typed)
            QCOMPARE(FieldBinder::widgetText(control(name)), text);
        QCOMPARE(test::stored("Patterns", "Month").constLast(), "january");
        QCOMPARE(test::stored("Patterns", "Lure").constLast(), "Live Minnows");
    }

    // Two blanks, the count and " Fishing Patterns Saved", from the first
    // activation on; rewritten after a save and a deletion.
    void countCaption()
    {
        w = new FrmPatterns;
        QCOMPARE(w->windowTitle(), "Fishing Patterns");
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->windowTitle(), "  4 Fishing Patterns Saved");
        press("New");
        setText("Text1", "Echo");
        msgs->expect();
        press("Save");
        QCOMPARE(w->windowTitle(), "  5 Fishing Patterns Saved");
        QCOMPARE(w->findChild<QLineEdit *>("Text1")->text(), "Echo");
        w->findChild<QPushButton *>("cmdFirst")->click();
        msgs->expect(Answer::Yes);
        press("Delete");
        QCOMPARE(w->windowTitle(), "  4 Fishing Patterns Saved");
        QCOMPARE(w->findChild<QLineEdit *>("Text1")->text(), "Bravo");
    }

    void deleteQuestionWithoutLake()
    {
        test::fillTable("Patterns", "Lake", { "", "Bravo" });
        open();
        msgs->expect(Answer::No);
        press("Delete");
        QCOMPARE(msgs->last().text, "Are you sure you want to delete this Pattern for  ?");
        QCOMPARE(test::stored("Patterns", "Lake"), QStringList({ "", "Bravo" }));
    }

    // "Select a Pattern" can not be used while a pattern is being written.
    void navigationGroup()
    {
        open();
        auto *group = w->findChild<QGroupBox *>("Frame1");
        QVERIFY(group);
        QCOMPARE(group->title(), "Select a Pattern");
        QStringList captions;
        for (const char *name : { "cmdFirst", "cmdBack", "cmdNext", "cmdLast" }) {
            auto *b = group->findChild<QPushButton *>(name);
            QVERIFY(b);
            captions << b->text();
        }
        QCOMPARE(captions, QStringList({ "<< First", "< Back", "Next >", "Last >>" }));
        press("New");
        QVERIFY(!group->isEnabled());
        press("Undo");
        QVERIFY(group->isEnabled());
        QVERIFY(msgs->shown.isEmpty());
    }
};

BM_TEST_MAIN(TestPatterns)
#include "test_patterns.moc"
