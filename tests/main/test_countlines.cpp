#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/changes.h"
#include "gear/frmfgear.h"
#include "main/contactspanel.h"
#include "records/frmfinddiary.h"
#include "records/frmpatterns.h"
#include "reminders/frmreminder.h"

#include <QLabel>
#include <QPointer>

using namespace bm;

namespace
{

enum class Window { Gear, Reminders, DiaryFinder, Patterns, Contacts };

void exec(const QString &sql)
{
    QString error;
    QVERIFY2(test::execBehind(sql, &error), qPrintable(sql + QStringLiteral(": ") + error));
}

} // namespace

Q_DECLARE_METATYPE(Window)

// The count lines of the windows that count a table themselves: a count that
// fails shows a question mark, never a 0, and says why once.
class TestCountLines : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        test::resetDatabase();
        m_hub = std::make_unique<test::FakeHub>();
        m_boxes = std::make_unique<test::ScriptedMessages>();
    }
    void cleanup()
    {
        // The window first (the contacts panel works on the hub's record
        // source), then the hub with its main window, then the rest.
        delete m_window.data();
        m_hub.reset();
        test::deleteWindows();
        m_boxes.reset();
    }

    void questionMarkAndWhy_data()
    {
        QTest::addColumn<Window>("window");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("counted");
        QTest::addColumn<QString>("failed");
        QTest::addColumn<int>("boxes"); // all the window shows when its table goes
        QTest::newRow("gear") << Window::Gear << "Rods"
                              << "1 Rods and Reels are saved."
                              << "? Rods and Reels are saved." << 1;
        QTest::newRow("reminder list") << Window::Reminders << "Reminder"
                                       << "2 Reminders are listed."
                                       << "? Reminders are listed." << 1;
        QTest::newRow("diary finder") << Window::DiaryFinder << "Diary"
                                      << "2 Pages are Saved"
                                      << "? Pages are Saved" << 1;
        QTest::newRow("patterns") << Window::Patterns << "Patterns"
                                  << "  2 Fishing Patterns Saved"
                                  << "  ? Fishing Patterns Saved" << 1;
        // The panel says the outage once, through its names list; the count
        // line gives the reason as its tooltip.
        QTest::newRow("contacts") << Window::Contacts << "Phone"
                                  << "2 Contacts are Saved"
                                  << "? Contacts are Saved" << 1;
    }

    void questionMarkAndWhy()
    {
        QFETCH(Window, window);
        QFETCH(QString, table);
        QFETCH(QString, counted);
        QFETCH(QString, failed);
        QFETCH(int, boxes);
        fill(window, table);
        QWidget *w = open(window);
        QVERIFY(w);
        QCOMPARE(line(window, w), counted);
        QVERIFY2(m_boxes->shown.isEmpty(), qPrintable(m_boxes->shown.value(0).text));

        exec(QStringLiteral("ALTER TABLE \"%1\" RENAME TO \"%1 away\"").arg(table));
        for (int i = 0; i < boxes; ++i)
            m_boxes->expect();
        recount(window, table, w);
        QCOMPARE(line(window, w), failed);
        QCOMPARE(m_boxes->pending(), 0);
        QCOMPARE(m_boxes->shown.size(), boxes);
        const platform::Message &why = m_boxes->shown.constLast();
        QCOMPARE(why.icon, platform::Icon::Exclamation);
        QVERIFY2(why.text.contains(test::missingTable(table)), qPrintable(why.text));
        if (window == Window::Contacts) {
            const QString tip = static_cast<ContactsPanel *>(w)->countLabel()->toolTip();
            QVERIFY2(tip.contains(test::missingTable(QStringLiteral("Phone"))), qPrintable(tip));
        }

        // Counted again while the table is still gone: the line stays, and
        // the box does not come back each time.
        recount(window, table, w);
        QCOMPARE(line(window, w), failed);
        QCOMPARE(m_boxes->shown.size(), boxes);

        // Back again: the number returns.
        exec(QStringLiteral("ALTER TABLE \"%1 away\" RENAME TO \"%1\"").arg(table));
        recount(window, table, w);
        QCOMPARE(line(window, w), counted);
        if (window == Window::Contacts)
            QVERIFY(static_cast<ContactsPanel *>(w)->countLabel()->toolTip().isEmpty());
    }

private:
    // The window's table with a known number of records.
    void fill(Window window, const QString &table)
    {
        exec(QStringLiteral("DELETE FROM \"%1\"").arg(table));
        switch (window) {
        case Window::Gear:
            exec("INSERT INTO Rods (\"Reel Make\") VALUES ('Abu')");
            break;
        case Window::Reminders:
            exec(
                "INSERT INTO Reminder (Date, Reminder) VALUES ('2026-05-01', 'Oil'), ('2026-05-02', 'Tags')");
            break;
        case Window::DiaryFinder:
            exec("INSERT INTO Diary (Date, Subject) VALUES ('2026-05-01', 'Ice out'), ('2026-05-02', "
                 "'Spawn')");
            break;
        case Window::Patterns:
            exec("INSERT INTO Patterns (Lake) VALUES ('Bull Shoals'), ('Table Rock')");
            break;
        case Window::Contacts:
            exec("INSERT INTO Phone (Name) VALUES ('Ann Lee'), ('Bo Diaz')");
            // The main window's contacts were open before.
            BM_VERIFY(m_hub->datContacts().Refresh());
            break;
        }
    }

    QWidget *open(Window window)
    {
        QWidget *w = nullptr;
        switch (window) {
        case Window::Gear:
            w = new FrmFgear;
            break;
        case Window::Reminders:
            w = openReminderList();
            break;
        case Window::DiaryFinder:
            w = new FrmFinddiary;
            break;
        case Window::Patterns:
            w = new FrmPatterns;
            break;
        case Window::Contacts:
            w = new ContactsPanel(m_hub->datContacts(), nullptr);
            break;
        }
        m_window = w;
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w))
            return nullptr;
        return w;
    }

    // The window counts again the way it does in use.
    void recount(Window window, const QString &table, QWidget *w)
    {
        switch (window) {
        case Window::Reminders: // a reminder written elsewhere
            emit DataChanges::instance().tableChanged(databasePath(), table);
            break;
        case Window::Contacts: // the record source read again
            static_cast<ContactsPanel *>(w)->rewriteCount();
            break;
        case Window::Gear: // the window comes forward again
        case Window::DiaryFinder:
        case Window::Patterns: {
            QWidget other;
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w));
            break;
        }
        }
    }

    static QString line(Window window, QWidget *w)
    {
        switch (window) {
        case Window::Gear:
            return static_cast<FrmFgear *>(w)->countLine()->text();
        case Window::Reminders:
            return w->findChild<QLabel *>(QStringLiteral("lblCount"))->text();
        case Window::DiaryFinder:
            return w->findChild<QLabel *>(QStringLiteral("Label4"))->text();
        case Window::Patterns:
            return w->windowTitle();
        case Window::Contacts:
            return static_cast<ContactsPanel *>(w)->countLabel()->text();
        }
        return {};
    }

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_boxes;
    QPointer<QWidget> m_window;
};

BM_TEST_MAIN(TestCountLines)
#include "test_countlines.moc"
