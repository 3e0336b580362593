#include "checks.h"
#include "doubles.h"
#include "recordcount.h"
#include "records.h"
#include "testenv.h"

#include "db/recordsource.h"
#include "records/findtrips.h"
#include "records/frmfind.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

using namespace bm;

namespace
{

void setField(Bookmark booking, const QString &field, const QVariant &value)
{
    RecordSource rs(QStringLiteral("changer"), QStringLiteral("Booking"));
    BM_VERIFY(rs.setBookmark(booking));
    BM_VERIFY(rs.Edit());
    BM_VERIFY(rs.setValue(field, value));
    QVERIFY(rs.Update());
}

QStringList listed(const QListWidget *list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

const QString sampleLine = QStringLiteral("6/6/2026    (Table Rock Lake)");

} // namespace

class TestFind : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensWithEveryDatedBooking();
    void searches_data();
    void searches();
    void eachCommandSearchesItsOwnField_data();
    void eachCommandSearchesItsOwnField();
    void anyWordGivesResultsOrTheSearchError_data();
    void anyWordGivesResultsOrTheSearchError();
    void searchErrorEmptiesTheListAndFocusesTheWord();
    void resultSetIsTheOneOpenedButShowsLaterChanges();
    void keyboardOrder();
    void helpAndExit();

private:
    FrmFind *openWindow()
    {
        m_window = new FrmFind;
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        return m_window;
    }
    QListWidget *list() const { return m_window->findChild<QListWidget *>(QStringLiteral("List1")); }
    QLineEdit *word() const { return m_window->findChild<QLineEdit *>(QStringLiteral("Text1")); }
    QPushButton *button(const QString &name) const { return m_window->findChild<QPushButton *>(name); }
    void searchBy(const QString &command, const QString &text)
    {
        word()->setText(text);
        QPushButton *b = button(command);
        QVERIFY2(b, qPrintable(command));
        b->click();
    }

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<test::RecordingHelp> m_help;
    Bookmark m_ann;
    QPointer<FrmFind> m_window;
};

void TestFind::init()
{
    test::resetDatabase();
    // The delivered sample booking: 6/6/2026 on Table Rock Lake, no results.
    m_ann = test::addBooking({ { "Date", QDate(2025, 5, 14) }, { "Lake", "Bull Shoals" },
        { "Name", "Ann O'Hara" }, { "Lake Area", "Upper Lake" }, { "Depth", "Deep" }, { "Weather", "Rain" },
        { "Structure", "Points" }, { "Lure", "Jig" }, { "Lure Color", "Green Pumpkin" },
        { "Remarks", "Big bass on the 3rd point" }, { "Species", "Largemouth Bass" } });
    test::addBooking({ { "Lake", "Bull Shoals" }, { "Name", "Undated Client" }, { "Weather", "Rain" },
        { "Remarks", "Big bass" } });
    test::addBooking({ { "Date", QDate(2026, 7, 4) }, { "Lake", "Lake Taneycomo" }, { "Name", "bob smith" },
        { "Lake Area", "" }, { "Depth", "Shallow" }, { "Weather", "Sunny" }, { "Structure", "Docks" },
        { "Lure", "Crankbait" }, { "Lure Color", "Shad" }, { "Remarks", "Trout 12 inches" },
        { "Species", "Rainbow Trout" } });
    test::addBooking({ { "Date", QDate(2026, 8, 1) }, { "Lake", "" }, { "Name", "Carl Bass" },
        { "Weather", "Cloudy" }, { "Remarks", "no fish" }, { "Species", "" } });
    m_hub = std::make_unique<test::FakeHub>();
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_help = std::make_unique<test::RecordingHelp>();
}

void TestFind::cleanup()
{
    m_hub.reset();
    test::deleteWindows();
    const int pending = m_messages->pending();
    m_help.reset();
    m_messages.reset();
    QCOMPARE(pending, 0);
}

void TestFind::opensWithEveryDatedBooking()
{
    openWindow();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Search Form"));
    QCOMPARE(listed(list()),
        QStringList(
            { sampleLine, "5/14/2025    (Bull Shoals)", "7/4/2026    (Lake Taneycomo)", "8/1/2026    ()" }));
    if (const QString folder = qEnvironmentVariable("BM_SCREENSHOTS"); !folder.isEmpty()) {
        m_window->show();
        m_window->grab().save(QDir(folder).filePath(QStringLiteral("find.png")));
    }
    QVERIFY(m_messages->shown.isEmpty());
}

void TestFind::searches_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("lines");
    const QString ann = QStringLiteral("5/14/2025    (Bull Shoals)");
    const QString bob = QStringLiteral("7/4/2026    (Lake Taneycomo)");
    const QString carl = QStringLiteral("8/1/2026    ()");
    QTest::newRow("lake, any case") << "Command1"
                                    << "BULL" << QStringList { ann };
    QTest::newRow("lake anywhere in the name") << "Command1"
                                               << "lake" << QStringList { sampleLine, bob };
    QTest::newRow("customer shows the name") << "Command2"
                                             << "bass" << QStringList { "8/1/2026    (Carl Bass)" };
    QTest::newRow("empty word: every filled field")
        << "Command2"
        << ""
        << QStringList { "6/6/2026    (Sample Customer)", "5/14/2025    (Ann O'Hara)",
               "7/4/2026    (bob smith)", "8/1/2026    (Carl Bass)" };
    QTest::newRow("empty word skips an empty field") << "Command3"
                                                     << "" << QStringList { ann };
    QTest::newRow("star alone skips empty fields") << "Command8"
                                                   << "*" << QStringList { ann, bob, carl };
    QTest::newRow("undated booking is never found") << "Command6"
                                                    << "rain" << QStringList { ann };
    QTest::newRow("leading blank inside the field") << "Command8"
                                                    << " bass" << QStringList { ann };
    QTest::newRow("leading blank at the field's start") << "Command8"
                                                        << " trout" << QStringList {};
    QTest::newRow("trailing blank") << "Command10"
                                    << "trout " << QStringList {};
    QTest::newRow("one character wildcard") << "Command8"
                                            << "b?g" << QStringList { ann };
    QTest::newRow("digit wildcard") << "Command8"
                                    << "#rd" << QStringList { ann };
    QTest::newRow("digit wildcard refuses a letter") << "Command8"
                                                     << "#ig" << QStringList {};
    QTest::newRow("any characters inside the word") << "Command9"
                                                    << "green*kin" << QStringList { ann };
    QTest::newRow("no match: empty list") << "Command10"
                                          << "walleye" << QStringList {};
    QTest::newRow("species") << "Command10"
                             << "bass" << QStringList { ann };
    QTest::newRow("sql wildcards are plain characters") << "Command1"
                                                        << "%" << QStringList {};
}

void TestFind::searches()
{
    QFETCH(QString, command);
    QFETCH(QString, word);
    QFETCH(QStringList, lines);
    openWindow();
    searchBy(command, word);
    QCOMPARE(listed(list()), lines);
    QVERIFY(m_messages->shown.isEmpty());
}

void TestFind::eachCommandSearchesItsOwnField_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1") << "Command1"
                       << "Lakes or Rivers" << 0 << 0 << "Lake"
                       << "Lake";
    QTest::newRow("2") << "Command2"
                       << "Customer" << 0 << 1 << "Name"
                       << "Name";
    QTest::newRow("3") << "Command3"
                       << "Lake Areas" << 0 << 2 << "Lake Area"
                       << "Lake";
    QTest::newRow("5") << "Command5"
                       << "Depth Fished" << 0 << 3 << "Depth"
                       << "Lake";
    QTest::newRow("6") << "Command6"
                       << "Weather" << 0 << 4 << "Weather"
                       << "Lake";
    QTest::newRow("4") << "Command4"
                       << "Structure Fished" << 1 << 0 << "Structure"
                       << "Lake";
    QTest::newRow("7") << "Command7"
                       << "Lure Used" << 1 << 1 << "Lure"
                       << "Lake";
    QTest::newRow("9") << "Command9"
                       << "Lure Color" << 1 << 2 << "Lure Color"
                       << "Lake";
    QTest::newRow("8") << "Command8"
                       << "Trip Remarks" << 1 << 3 << "Remarks"
                       << "Lake";
    QTest::newRow("10") << "Command10"
                        << "Type Fish" << 1 << 4 << "Species"
                        << "Lake";
}

// One booking carries a distinct word in each searched field: each command
// finds it by its own field's word only.
void TestFind::eachCommandSearchesItsOwnField()
{
    QFETCH(QString, command);
    QFETCH(QString, caption);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QString, field);
    QFETCH(QString, shown);
    const QStringList fields { "Lake", "Name", "Lake Area", "Depth", "Weather", "Structure", "Lure",
        "Lure Color", "Remarks", "Species" };
    test::FieldValues values { { "Date", QDate(2027, 1, 2) } };
    for (const QString &f : fields)
        values.append({ f, QStringLiteral("x%1q").arg(QString(f).remove(' ')) });
    test::addBooking(values);
    openWindow();
    m_window->show();
    QPushButton *b = button(command);
    QVERIFY(b);
    QCOMPARE(b->text(), caption);
    // The two columns of five, read from where the buttons stand.
    QPushButton *topLeft = button("Command1");
    QPushButton *topRight = button("Command4");
    QCOMPARE(b->x(), column == 0 ? topLeft->x() : topRight->x());
    QVERIFY(topRight->x() > topLeft->x());
    QCOMPARE(b->y() > topLeft->y(), row > 0);
    const QString expected = QStringLiteral("1/2/2027    (x%1q)").arg(QString(shown).remove(' '));
    for (const QString &f : fields) {
        searchBy(command, QStringLiteral("x%1q").arg(QString(f).remove(' ')));
        QCOMPARE(listed(list()), f == field ? QStringList { expected } : QStringList {});
    }
    // Rows step down in the same column.
    int previousY = -1;
    for (const FindCommand &c : findCommands()) {
        if (c.column != column)
            continue;
        const int y = button(QString::fromLatin1(c.name))->y();
        QVERIFY(y > previousY);
        previousY = y;
    }
}

void TestFind::anyWordGivesResultsOrTheSearchError_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("refused");
    QTest::newRow("apostrophe") << "O'Hara" << true;
    QTest::newRow("lone apostrophe") << "'" << true;
    QTest::newRow("apostrophe at the end") << "Ann'" << true;
    QTest::newRow("doubled apostrophe") << "O''Hara" << true;
    QTest::newRow("sql in the word") << "'; DELETE FROM Booking; --" << true;
    QTest::newRow("unclosed bracket") << "[abc" << true;
    QTest::newRow("reversed range") << "[z-a]" << true;
    QTest::newRow("double quote") << "\"" << false;
    QTest::newRow("closing bracket") << "]" << false;
    QTest::newRow("control characters") << QString::fromUtf8("\x01\t\n\x7f") << false;
    QTest::newRow("ten thousand characters") << QString(10000, 'a') << false;
    QTest::newRow("ten thousand stars") << QString(10000, '*') << false;
    QTest::newRow("ten thousand with an apostrophe") << QString(5000, 'b') + "'" + QString(4999, 'c') << true;
    QTest::newRow("non-latin") << QString::fromUtf8("日本の湖") << false;
}

void TestFind::anyWordGivesResultsOrTheSearchError()
{
    QFETCH(QString, word);
    QFETCH(bool, refused);
    openWindow();
    for (const FindCommand &c : findCommands()) {
        if (refused)
            m_messages->expect();
        searchBy(QString::fromLatin1(c.name), word);
        QCOMPARE(m_messages->shown.size(), refused ? 1 : 0);
        m_messages->clear();
    }
    RecordSource all(QStringLiteral("count"), QStringLiteral("Booking"));
    QCOMPARE(test::recordCount(all), 5);
}

void TestFind::searchErrorEmptiesTheListAndFocusesTheWord()
{
    openWindow();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    button("Command6")->setFocus();
    m_messages->expect();
    searchBy("Command1", "Ann's Cove");
    QCOMPARE(m_messages->shown.size(), 1);
    const platform::Message &m = m_messages->last();
    QCOMPARE(m.text,
        QStringLiteral("Please enter letters or numbers only.\nNo apostrophies or punctuation marks."));
    QCOMPARE(m.caption, QStringLiteral("Search Error"));
    QCOMPARE(m.icon, platform::Icon::Exclamation);
    QCOMPARE(m.buttons, platform::Buttons::Ok);
    QCOMPARE(list()->count(), 0);
    QVERIFY(word()->hasFocus());
}

// The bookings are those dated when the window opened; values written since
// show in the next search.
void TestFind::resultSetIsTheOneOpenedButShowsLaterChanges()
{
    openWindow();
    test::addBooking({ { "Date", QDate(2026, 9, 9) }, { "Lake", "Bull Shoals" } });
    searchBy("Command1", "bull");
    QCOMPARE(listed(list()), QStringList { "5/14/2025    (Bull Shoals)" });
    setField(m_ann, "Lake", "Bull Shoals Lake");
    searchBy("Command1", "bull");
    QCOMPARE(listed(list()), QStringList { "5/14/2025    (Bull Shoals Lake)" });
    setField(m_ann, "Lake Area", "");
    searchBy("Command3", "");
    QCOMPARE(listed(list()), QStringList {});
}

void TestFind::keyboardOrder()
{
    openWindow();
    m_window->show();
    QStringList order;
    QWidget *w = word();
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != word());
    QCOMPARE(order,
        QStringList({ "Text1", "List1", "Command1", "Command2", "Command3", "Command5", "Command6",
            "Command4", "Command7", "Command9", "Command8", "Command10", "cmdExit", "cmdHelp" }));
    QCOMPARE(m_window->focusWidget(), word());
    QVERIFY(button("cmdHelp")->x() < button("cmdExit")->x());
    QCOMPARE(button("cmdHelp")->text(), QStringLiteral("&Help"));
    QCOMPARE(button("cmdExit")->text(), QStringLiteral("&Exit"));
}

void TestFind::helpAndExit()
{
    m_hub->mainWindow->show();
    openWindow();
    m_window->show();
    button("cmdHelp")->click();
    QCOMPARE(m_help->topics, QList<int> { 3200 });
    QPointer<QWidget> main = m_hub->mainWindow.get();
    button("cmdExit")->click();
    QVERIFY(!m_window || !m_window->isVisible());
    QVERIFY(main->isVisible());
}

BM_TEST_MAIN(TestFind)
#include "test_find.moc"
