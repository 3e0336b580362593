#include "checks.h"
#include "doubles.h"
#include "recordcount.h"
#include "records.h"
#include "setup/frmsetup.h"
#include "testenv.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace bm;
using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace
{

const QStringList fourEntries { "Alpha", "Bravo", "Charlie", "Delta" };

QStringList stored(const QString &table, const QString &field)
{
    RecordSource rs(QStringLiteral("read"), table);
    QStringList list;
    for (const auto &row : rs.column(field))
        list << row.second;
    return list;
}

template <class T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("no child %s", qPrintable(name));
    return c;
}

} // namespace

class TestSetup : public QObject
{
    Q_OBJECT

    QPointer<FrmSetup> w;
    std::unique_ptr<test::ScriptedMessages> msgs;
    std::unique_ptr<test::FakeHub> hub;
    std::unique_ptr<test::RecordingHelp> help;

    // Opens the window with the editor's table holding these entries.
    ListEditor *openOn(const QString &suffix, const QStringList &entries)
    {
        for (const ListEditorDef &s : listEditorDefs())
            if (s.suffix == suffix)
                test::fillTable(s.table, s.field, entries);
        open();
        ListEditor *e = w->editor(suffix);
        w->showPage(e->def().page == ListEditorDef::FishingPage ? FrmSetup::Page::Fishing
                                                                : FrmSetup::Page::TripRates);
        return e;
    }

    void open()
    {
        w = new FrmSetup;
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

    QPushButton *cmd(const char *name) const { return child<QPushButton>(w, QString::fromLatin1(name)); }

    // Every visible button of the window is usable exactly when it is one of
    // `usable`; every visible entry field is editable exactly when it is one
    // of `editable`.
    void checkOnlyUsable(const QList<QWidget *> &usable, const QList<QWidget *> &editable)
    {
        for (QAbstractButton *b : w->findChildren<QAbstractButton *>()) {
            if (!b->isVisible())
                continue;
            QVERIFY2(b->isEnabled() == usable.contains(b), qPrintable(b->objectName()));
        }
        for (QLineEdit *e : w->findChildren<QLineEdit *>()) {
            if (!e->isVisible() || qobject_cast<QComboBox *>(e->parentWidget()))
                continue;
            const bool canType = e->isEnabled() && !e->isReadOnly();
            QVERIFY2(canType == editable.contains(e), qPrintable(e->objectName()));
        }
    }

    // Browse mode everywhere: every visible button except Save and Cancel.
    void checkAllBrowsing()
    {
        QList<QWidget *> usable;
        for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
            if (!b->objectName().startsWith(QLatin1String("cmdSave"))
                && !b->objectName().startsWith(QLatin1String("cmdCancel")))
                usable << b;
        checkOnlyUsable(usable, {});
        QVERIFY(!cmd("cmdHelp")->parentWidget()->findChild<QLabel *>("Label13")->isVisible());
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        hub = std::make_unique<test::FakeHub>();
        help = std::make_unique<test::RecordingHelp>();
    }
    void cleanup()
    {
        delete w;
        msgs.reset();
        hub.reset();
        help.reset();
    }

    // --- The record form protocol, on each of the eight editors -----------

    void protocol_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("empty");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("third");
        QTest::addColumn<bool>("movesLast");
        QTest::addColumn<bool>("focusAfter");
        const QString atLeast = "At least one record has to be present at all times.";
        QTest::newRow("species") << "s"
                                 << "Species"
                                 << "This is the first Species."
                                 << "This is the last Species."
                                 << "Please enter a Species or click Cancel."
                                 << "Species saved." << atLeast << false << true;
        QTest::newRow("lakes") << "l"
                               << "Lake"
                               << "This is the first Lake."
                               << "This is the last Lake."
                               << "Please enter a Lake or River or click Cancel."
                               << "Lake saved." << atLeast << false << false;
        QTest::newRow("ramps") << "m"
                               << "Ramp"
                               << "This is the first Ramp."
                               << "This is the last Ramp."
                               << "Please enter a Ramp or Marina or click Cancel."
                               << "Ramp or Marina saved." << atLeast << false << false;
        QTest::newRow("lures") << "b"
                               << "Bait"
                               << "This is the first Bait."
                               << "This is the last Bait."
                               << "Please enter a Lure or Bait or click Cancel."
                               << "Lure or Bait saved."
                               << "At least one Bait has to be present at all times." << false << false;
        QTest::newRow("colours") << "c"
                                 << "Color"
                                 << "This is the first Color."
                                 << "This is the last Color."
                                 << "Please enter a Color or click Cancel."
                                 << "Color saved." << atLeast << false << false;
        QTest::newRow("trip types") << "t"
                                    << "Trip Type"
                                    << "This is the first Trip Type."
                                    << "This is the last Trip Type."
                                    << "Please enter a Trip Type or click Cancel."
                                    << "Trip Type saved." << atLeast << true << true;
        QTest::newRow("trip rates") << "r"
                                    << "Trip Rate"
                                    << "This is the first Trip Rate."
                                    << "This is the last Trip Rate."
                                    << "Please enter a Trip Rate or click Cancel."
                                    << "Trip Rate saved." << atLeast << true << true;
        QTest::newRow("deposits") << "d"
                                  << "Deposit Amount"
                                  << "This is the first Deposit Amount."
                                  << "This is the last Deposit Amount."
                                  << "Please enter a Deposit Amount or click Cancel."
                                  << "Deposit Amount saved." << atLeast << true << true;
    }

    void protocol()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, item);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, third);
        ListEditor *e = openOn(suffix, fourEntries);
        QLineEdit *entry = e->entry();
        QCOMPARE(entry->text(), "Alpha");

        // The ends: the message, and the end record stays shown.
        msgs->expect();
        e->command(FormCommand::Back)->click();
        QCOMPARE(msgs->last().text, first);
        QCOMPARE(msgs->last().icon, Icon::Information);
        QCOMPARE(entry->text(), "Alpha");
        for (int i = 0; i < 3; ++i)
            e->command(FormCommand::Next)->click();
        QCOMPARE(entry->text(), "Delta");
        msgs->expect();
        e->command(FormCommand::Next)->click();
        QCOMPARE(msgs->last().text, last);
        QCOMPARE(entry->text(), "Delta");
        QVERIFY(e->command(FormCommand::Next)->isEnabled());

        // No to the question: nothing changes.
        e->command(FormCommand::Back)->click();
        msgs->expect(Answer::No);
        e->command(FormCommand::Delete)->click();
        QCOMPARE(msgs->last().text, "Are you sure you want to delete this " + item + "?");
        QCOMPARE(msgs->last().caption, "Delete Information");
        QCOMPARE(msgs->last().buttons, Buttons::YesNo);
        QCOMPARE(msgs->last().icon, Icon::Question);
        QCOMPARE(entry->text(), "Charlie");
        QCOMPARE(stored(e->def().table, e->def().field), fourEntries);

        // A middle record: the one after it is shown.
        e->command(FormCommand::Back)->click();
        msgs->expect(Answer::Yes);
        e->command(FormCommand::Delete)->click();
        QCOMPARE(entry->text(), "Charlie");
        QCOMPARE(stored(e->def().table, e->def().field), QStringList({ "Alpha", "Charlie", "Delta" }));
        // The last record: the new last one is shown.
        e->command(FormCommand::Next)->click();
        msgs->expect(Answer::Yes);
        e->command(FormCommand::Delete)->click();
        QCOMPARE(entry->text(), "Charlie");
        QCOMPARE(stored(e->def().table, e->def().field), QStringList({ "Alpha", "Charlie" }));
        msgs->expect(Answer::Yes);
        e->command(FormCommand::Delete)->click();
        QCOMPARE(entry->text(), "Alpha");

        // One record left: both ends speak, Delete refuses with three lines.
        msgs->expect();
        e->command(FormCommand::Back)->click();
        QCOMPARE(msgs->last().text, first);
        msgs->expect();
        e->command(FormCommand::Next)->click();
        QCOMPARE(msgs->last().text, last);
        msgs->expect();
        e->command(FormCommand::Delete)->click();
        QCOMPARE(msgs->last().text,
            "This " + item + " can not be deleted.\nYou can edit this " + item + ".\n" + third);
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QCOMPARE(stored(e->def().table, e->def().field), QStringList({ "Alpha" }));
        QCOMPARE(msgs->pending(), 0);
    }

    void protocol_saveAndCancel_data() { protocol_data(); }
    // Save and Cancel are pressed with the mouse, which takes the focus with
    // it: where it ends is the editor's doing.
    void protocol_saveAndCancel()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, empty);
        QFETCH(QString, saved);
        QFETCH(bool, movesLast);
        QFETCH(bool, focusAfter);
        ListEditor *e = openOn(suffix, fourEntries);
        const QString table = e->def().table, field = e->def().field;
        QLineEdit *entry = e->entry();
        e->command(FormCommand::Next)->click();

        // Empty key field: the message, edit mode stays; Cancel drops the record.
        e->command(FormCommand::Add)->click();
        QVERIFY(e->form()->isEditing());
        QCOMPARE(entry->text(), "");
        QVERIFY(entry->hasFocus());
        msgs->expect();
        QTest::mouseClick(e->command(FormCommand::Save), Qt::LeftButton);
        QCOMPARE(msgs->last().text, empty);
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QVERIFY(e->form()->isEditing());
        QVERIFY(entry->hasFocus());
        QVERIFY(e->command(FormCommand::Cancel)->isEnabled());
        QTest::mouseClick(e->command(FormCommand::Cancel), Qt::LeftButton);
        QVERIFY(!e->form()->isEditing());
        QCOMPARE(entry->text(), "Bravo");
        QCOMPARE(entry->hasFocus(), focusAfter);
        QCOMPARE(stored(table, field), fourEntries);

        // A blank is an entry; after Save the editor stands where its table says.
        w->setFocus();
        e->command(FormCommand::Add)->click();
        QTest::keyClicks(entry, " ");
        msgs->expect();
        QTest::mouseClick(e->command(FormCommand::Save), Qt::LeftButton);
        QCOMPARE(msgs->last().text, saved);
        QCOMPARE(msgs->last().icon, Icon::Information);
        QCOMPARE(stored(table, field), fourEntries + QStringList { " " });
        QCOMPARE(entry->text(), movesLast ? " " : "Bravo");
        QCOMPARE(entry->hasFocus(), focusAfter);
        QVERIFY(entry->isReadOnly());

        // An entry equal to a stored one is stored a second time.
        e->command(FormCommand::Add)->click();
        QTest::keyClicks(entry, "Bravo");
        msgs->expect();
        QTest::mouseClick(e->command(FormCommand::Save), Qt::LeftButton);
        QCOMPARE(stored(table, field).count("Bravo"), 2);

        // Edit changes the record shown, in place.
        e->form()->first();
        e->command(FormCommand::Edit)->click();
        entry->selectAll();
        QTest::keyClicks(entry, "Aardvark");
        msgs->expect();
        QTest::mouseClick(e->command(FormCommand::Save), Qt::LeftButton);
        QCOMPARE(stored(table, field).first(), "Aardvark");
        QCOMPARE(entry->text(), movesLast ? "Bravo" : "Aardvark");
    }

    // While one editor is in edit mode only its field, Save and Cancel can be used.
    void oneEditorAtATime_data() { protocol_data(); }
    void oneEditorAtATime()
    {
        QFETCH(QString, suffix);
        ListEditor *e = openOn(suffix, fourEntries);
        auto *notice = child<QLabel>(w, "Label13");
        QVERIFY(!notice->isVisible());
        checkAllBrowsing();
        for (FormCommand c : { FormCommand::Add, FormCommand::Edit }) {
            e->command(c)->click();
            QVERIFY(notice->isVisible());
            QCOMPARE(notice->text(), " You must Save or Cancel your changes before exiting. ");
            checkOnlyUsable(
                { e->command(FormCommand::Save), e->command(FormCommand::Cancel) }, { e->entry() });
            for (ListEditor *other : w->editors())
                if (other != e && other->def().page == e->def().page)
                    QVERIFY(!other->isEnabled());
            e->command(FormCommand::Cancel)->click();
            checkAllBrowsing();
        }
        e->command(FormCommand::Add)->click();
        QTest::keyClicks(e->entry(), "New entry");
        msgs->expect();
        e->command(FormCommand::Save)->click();
        checkAllBrowsing();
    }

    // --- The window ------------------------------------------------------

    void opensOnGuideDetailsInBrowseMode()
    {
        open();
        QCOMPARE(w->windowTitle(), "Database Setup");
        QVERIFY(child<QWidget>(w, "PicInfo")->isVisible());
        QVERIFY(!child<QWidget>(w, "PicFish")->isVisible());
        QVERIFY(!child<QWidget>(w, "PicTrip")->isVisible());
        QStringList visibleTexts;
        for (QLabel *l : w->findChildren<QLabel *>())
            if (l->isVisible())
                visibleTexts << l->text();
        QVERIFY(visibleTexts.contains("Begin by clicking the \"Edit\" button above to add your Guide Service "
                                      "information."));
        QCOMPARE(child<QLineEdit>(w, "Text1")->text(), "Your Guide Service");
        checkAllBrowsing();
        for (ListEditor *e : w->editors()) {
            QVERIFY(!e->command(FormCommand::Save)->isEnabled());
            QVERIFY(!e->command(FormCommand::Cancel)->isEnabled());
            QVERIFY(e->entry()->isReadOnly());
        }
        auto *state = child<QComboBox>(w, "cmbState");
        QCOMPARE(state->count(), 52);
        QCOMPARE(state->itemText(0), "AL");
        QCOMPARE(state->itemText(51), "WY");
        QCOMPARE(state->currentText(), "MO");
    }

    void pageSwitchingKeepsPositions()
    {
        open();
        cmd("cmdFishing")->click();
        QVERIFY(child<QWidget>(w, "PicFish")->isVisible());
        QVERIFY(!child<QWidget>(w, "PicInfo")->isVisible());
        QCOMPARE(w->editor("s")->entry()->text(), "Largemouth Bass");
        w->editor("s")->command(FormCommand::Next)->click();
        cmd("cmdRates")->click();
        QVERIFY(child<QWidget>(w, "PicTrip")->isVisible());
        QVERIFY(!child<QWidget>(w, "PicFish")->isVisible());
        QVERIFY(w->editor("t")->entry()->isVisible());
        cmd("cmdInfo")->click();
        QVERIFY(child<QWidget>(w, "PicInfo")->isVisible());
        QVERIFY(!child<QWidget>(w, "PicTrip")->isVisible());
        cmd("cmdFishing")->click();
        QCOMPARE(w->editor("s")->entry()->text(), "Smallmouth Bass");
    }

    void helpOnEveryPage()
    {
        open();
        for (const char *page : { "cmdInfo", "cmdFishing", "cmdRates" }) {
            cmd(page)->click();
            cmd("cmdHelp")->click();
        }
        QCOMPARE(help->topics, QList<int>({ 3400, 3400, 3400 }));
        QCOMPARE(hub->help.helpContext(), 3400);
    }

    void guideDetails()
    {
        open();
        auto *name = child<QLineEdit>(w, "Text1");
        auto *city = child<QLineEdit>(w, "Text3");
        auto *state = child<QComboBox>(w, "cmbState");
        cmd("cmdEditg")->click();
        QVERIFY(name->hasFocus());
        checkOnlyUsable({ cmd("cmdSaveg"), cmd("cmdCancelg") },
            { name, child<QLineEdit>(w, "Text2"), city, child<QLineEdit>(w, "Text4"),
                child<QLineEdit>(w, "Text5"), child<QLineEdit>(w, "Text6"), child<QLineEdit>(w, "Text7"),
                child<QLineEdit>(w, "txtLicense") });
        QVERIFY(child<QLabel>(w, "Label13")->isVisible());

        // No name: the message, and edit mode stays.
        name->clear();
        msgs->expect();
        cmd("cmdSaveg")->click();
        QCOMPARE(msgs->last().text, "Please enter the name of your Guide Service.");
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QVERIFY(!cmd("cmdHelp")->isEnabled());
        QVERIFY(!cmd("cmdClose")->isEnabled());
        QVERIFY(!cmd("cmdFishing")->isEnabled());

        // Cancel shows the stored details again and writes nothing.
        QTest::keyClicks(city, "Elsewhere");
        cmd("cmdCancelg")->click();
        QCOMPARE(name->text(), "Your Guide Service");
        QCOMPARE(stored("Guide Info", "City"), QStringList({ "Your Town" }));
        checkAllBrowsing();

        // Save stores the change without a message; a typed state is kept.
        cmd("cmdEditg")->click();
        city->selectAll();
        QTest::keyClicks(city, "Branson");
        state->setEditText("Zz");
        cmd("cmdSaveg")->click();
        QCOMPARE(msgs->shown.size(), 1);
        QCOMPARE(stored("Guide Info", "City"), QStringList({ "Branson" }));
        QCOMPARE(stored("Guide Info", "State"), QStringList({ "Zz" }));
        QCOMPARE(city->text(), "Branson");
        QVERIFY(city->isReadOnly());
        checkAllBrowsing();
    }

    void closeShowsMainWindow_data()
    {
        QTest::addColumn<bool>("byFrame");
        QTest::newRow("Close") << false;
        QTest::newRow("frame") << true;
    }
    void closeShowsMainWindow()
    {
        QFETCH(bool, byFrame);
        open();
        hub->mainWindow->hide();
        if (byFrame) {
            // A pending change goes with the window, unwritten.
            cmd("cmdFishing")->click();
            w->editor("l")->command(FormCommand::Edit)->click();
            QTest::keyClicks(w->editor("l")->entry(), " half typed");
            w->close();
        } else {
            cmd("cmdClose")->click();
        }
        QVERIFY(hub->mainWindow->isVisible());
        QVERIFY(!w || !w->isVisible());
        QCOMPARE(stored("Lakes Fished", "Lake"), QStringList({ "Table Rock Lake" }));
    }

    // The booking and trip screens fill their lists from these same tables.
    void savedEntryIsOffered()
    {
        open();
        ListEditor *e = w->editor("m");
        cmd("cmdFishing")->click();
        e->command(FormCommand::Add)->click();
        QTest::keyClicks(e->entry(), "North Dock");
        msgs->expect();
        e->command(FormCommand::Save)->click();
        QComboBox offered;
        RecordSource marinas(QStringLiteral("DataMarina"), QStringLiteral("Marinas"));
        BM_VERIFY(fillList(&offered, marinas, QStringLiteral("Ramps")));
        QCOMPARE(offered.count(), 2);
        QCOMPARE(offered.itemText(1), "North Dock");
    }
};

BM_TEST_MAIN(TestSetup)
#include "test_setup.moc"
