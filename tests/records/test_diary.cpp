#include "core/dates.h"
#include "doubles.h"
#include "platform/windows.h"
#include "recordform/datepicker.h"
#include "records/frmdiary.h"
#include "records/frmfinddiary.h"
#include "recordsfixture.h"
#include "testenv.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

using namespace bm;
using platform::Answer;

namespace
{

struct Page {
    QString subject;
    QDate date;
    QString body;
};

// Two pages share a subject; each page's body names it alone.
const QList<Page> pages { { "Spring run", QDate(2026, 3, 1), "first" },
    { "Ice out", QDate(2026, 3, 15), "second" }, { "Spring run", QDate(2026, 4, 2), "third" },
    { "Walleye", QDate(2026, 5, 20), "fourth" } };

void fillDiary(const QList<Page> &list)
{
    QList<QHash<QString, QVariant>> records;
    for (const Page &p : list)
        records.append({ { "Subject", p.subject }, { "Date", p.date }, { "Page", p.body } });
    test::fillTable("Diary", records);
}

void clickLine(QListWidget *list, int line)
{
    const QRect r = list->visualRect(list->model()->index(line, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

} // namespace

class TestDiary : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    std::unique_ptr<test::FakeHub> hub;
    std::unique_ptr<test::FakeClock> clock;
    QPointer<FrmDiary> diary;

    FrmDiary *openDiary()
    {
        diary = platform::showWindow<FrmDiary>();
        if (!QTest::qWaitForWindowActive(diary))
            qWarning("the diary did not become active");
        return diary;
    }
    template <class T> T *in(QWidget *w, const char *name) const
    {
        return w->findChild<T *>(QString::fromLatin1(name));
    }
    // The page body as the diary would write it.
    QString body() const { return FieldBinder::widgetText(in<QPlainTextEdit>(diary, "Text1")); }

    FrmFinddiary *openFinder()
    {
        test::clickKey(diary->toolbar(), QStringLiteral("Find"));
        auto *finder = qobject_cast<FrmFinddiary *>(platform::findWindow(QStringLiteral("frmFinddiary")));
        if (finder && !QTest::qWaitForWindowActive(finder))
            qWarning("the finder did not become active");
        return finder;
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        hub = std::make_unique<test::FakeHub>();
        clock = std::make_unique<test::FakeClock>(QDate(2026, 12, 8));
        fillDiary(pages);
    }
    void cleanup()
    {
        hub.reset();
        test::deleteWindows();
        clock.reset();
        msgs.reset();
    }

    // Browse mode draws the subject and the page without borders and the
    // date as text; edit mode gives them borders and lays the picker over
    // the date. The keyboard goes subject, date, page.
    void editLook()
    {
        openDiary();
        QCOMPARE(diary->windowTitle(), "Fishing Log");
        auto *subject = in<QLineEdit>(diary, "Text2");
        auto *page = in<QPlainTextEdit>(diary, "Text1");
        auto *label = in<QLabel>(diary, "Label3");
        auto *picker = in<DatePicker>(diary, "DTPicker1");
        const auto look = [&] {
            return QList<bool> { subject->hasFrame(), page->frameShape() != QFrame::NoFrame,
                picker->isVisible(), label->isVisible(), subject->isReadOnly(), page->isReadOnly() };
        };
        QCOMPARE(look(), QList<bool>({ false, false, false, true, true, true }));
        QCOMPARE(label->text(), shortDate(QDate(2026, 3, 1)));
        test::clickKey(diary->toolbar(), "Edit");
        QCOMPARE(look(), QList<bool>({ true, true, true, false, false, false }));
        QCOMPARE(picker->value(), QDate(2026, 3, 1));
        QCOMPARE(picker->geometry().topLeft(), label->geometry().topLeft());
        QVERIFY(subject->hasFocus());
        QStringList order;
        for (QWidget *w = subject->nextInFocusChain(); w != subject && order.size() < 2;
             w = w->nextInFocusChain()) {
            for (QWidget *field : { static_cast<QWidget *>(picker), static_cast<QWidget *>(page) })
                if ((w == field || field->isAncestorOf(w)) && !order.contains(field->objectName()))
                    order << field->objectName();
        }
        QCOMPARE(order, QStringList({ "DTPicker1", "Text1" }));
        msgs->expect();
        test::clickKey(diary->toolbar(), "Cancel");
        QCOMPARE(look(), QList<bool>({ false, false, false, true, true, true }));
    }

    // New dates the page today; a changed page keeps its own date unless
    // the picker changes it.
    void pageDates()
    {
        openDiary();
        test::clickKey(diary->toolbar(), "New");
        QCOMPARE(in<DatePicker>(diary, "DTPicker1")->value(), QDate(2026, 12, 8));
        QTest::keyClicks(in<QLineEdit>(diary, "Text2"), "Opening day");
        msgs->expect();
        test::clickKey(diary->toolbar(), "Save"); // an empty page body is allowed
        QCOMPARE(body(), "first"); // the page on view before New
        test::clickKey(diary->toolbar(), "Last");
        QCOMPARE(in<QLabel>(diary, "Label3")->text(), shortDate(QDate(2026, 12, 8)));
        QCOMPARE(body(), "");
        test::clickKey(diary->toolbar(), "First");
        test::clickKey(diary->toolbar(), "Edit");
        in<DatePicker>(diary, "DTPicker1")->setValue(QDate(2026, 2, 27));
        msgs->expect();
        test::clickKey(diary->toolbar(), "Save");
        QCOMPARE(test::storedValues("Diary", "Date"),
            QVariantList({ QDate(2026, 2, 27), QDate(2026, 3, 15), QDate(2026, 4, 2), QDate(2026, 5, 20),
                QDate(2026, 12, 8) }));
    }

    // Whatever a page holds is saved and shown exactly, also after it is
    // changed and saved again without a touch.
    void pageContent_data()
    {
        QTest::addColumn<QString>("content");
        QTest::newRow("quotes") << "He said \"the big one\" & 'a bigger one'; 50% <off> \\n";
        QTest::newRow("line breaks") << "Morning\nNoon\n\n\nEvening\n";
        QTest::newRow("blanks at the ends") << "   three before, two after  ";
        QTest::newRow("non-breaking blanks") << QString::fromUtf8("12\u00a0ft\u00a0deep");
        QTest::newRow("line separators") << QString::fromUtf8("one\u2028two\nthree");
        QTest::newRow("tabs") << "Depth\t12 ft\tclear";
        QTest::newRow("other scripts") << QString::fromUtf8("Ærøskøbing – 鱼 – 🎣 – ñandú");
        QString big;
        for (int i = 0; big.size() < 100000; ++i)
            big += QStringLiteral("Line %1 of a long page, \"quoted\".\n").arg(i);
        big.truncate(100000);
        QTest::newRow("100,000 characters") << big;
    }
    void pageContent()
    {
        QFETCH(QString, content);
        openDiary();
        test::clickKey(diary->toolbar(), "New");
        QTest::keyClicks(in<QLineEdit>(diary, "Text2"), "Content");
        in<QPlainTextEdit>(diary, "Text1")->setPlainText(content);
        msgs->expect();
        test::clickKey(diary->toolbar(), "Save");
        QCOMPARE(test::storedValues("Diary", "Page").constLast().toString(), content);
        delete diary;
        openDiary();
        test::clickKey(diary->toolbar(), "Last");
        QCOMPARE(body(), content);
        test::clickKey(diary->toolbar(), "Edit");
        msgs->expect();
        test::clickKey(diary->toolbar(), "Save");
        QCOMPARE(test::storedValues("Diary", "Page").constLast().toString(), content);
    }

    // --- The diary finder -------------------------------------------------

    void finderLists()
    {
        openDiary();
        auto *finder = platform::loadWindow<FrmFinddiary>();
        QCOMPARE(in<QLabel>(finder, "Label4")->text(), "Pages are Saved");
        platform::bringToFront(finder);
        QVERIFY(QTest::qWaitForWindowActive(finder));
        QCOMPARE(finder->windowTitle(), "Find Log Page By:");
        QCOMPARE(in<QLabel>(finder, "Label3")->text(), "Single-Click on a Subject or Date");
        QCOMPARE(in<QLabel>(finder, "Label4")->text(), "4 Pages are Saved");
        QStringList subjects, dates;
        for (int i = 0; i < finder->subjects()->count(); ++i)
            subjects << finder->subjects()->item(i)->text();
        for (int i = 0; i < finder->dates()->count(); ++i)
            dates << finder->dates()->item(i)->text();
        QCOMPARE(subjects, QStringList({ "Spring run", "Ice out", "Spring run", "Walleye" }));
        QCOMPARE(dates, QStringList({ "3/1/2026", "3/15/2026", "4/2/2026", "5/20/2026" }));
        QVERIFY(finder->subjects()->geometry().right() < finder->dates()->geometry().left());
        QVERIFY(finder->subjects()->width() > finder->dates()->width());
    }

    void finderOnePage()
    {
        fillDiary({ pages[1] });
        openDiary();
        FrmFinddiary *finder = openFinder();
        QVERIFY(finder);
        QCOMPARE(finder->subjects()->count(), 1);
        QCOMPARE(finder->dates()->count(), 1);
        QCOMPARE(in<QLabel>(finder, "Label4")->text(), "1 Pages are Saved");
    }

    // A click on a line moves the diary to that very page and closes the
    // finder; Close moves nothing.
    void handOver_data()
    {
        QTest::addColumn<bool>("onDates");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("shown");
        QTest::newRow("last subject") << false << 3 << "fourth";
        QTest::newRow("last date") << true << 3 << "fourth";
        QTest::newRow("shared subject, first page") << false << 0 << "first";
        QTest::newRow("shared subject, second page") << false << 2 << "third";
        QTest::newRow("date of the second page") << true << 2 << "third";
        QTest::newRow("close") << false << -1 << "second";
    }
    void handOver()
    {
        QFETCH(bool, onDates);
        QFETCH(int, line);
        QFETCH(QString, shown);
        openDiary();
        test::clickKey(diary->toolbar(), "Next");
        QPointer<FrmFinddiary> finder = openFinder();
        QVERIFY(finder);
        QCOMPARE(body(), "second"); // nothing moves until a choice
        if (line < 0)
            in<QPushButton>(finder, "cmdClose")->click();
        else
            clickLine(onDates ? finder->dates() : finder->subjects(), line);
        QVERIFY(!finder || !finder->isVisible());
        QCOMPARE(body(), shown);
        QCOMPARE(diary->diary()->text("Page"), shown);
        QVERIFY(msgs->shown.isEmpty());
    }

    // While the diary has a page being written a choice is refused quietly:
    // the page stays pending and the finder stays open for a later choice.
    void choiceWhileEditing()
    {
        openDiary();
        QPointer<FrmFinddiary> finder = openFinder();
        test::clickKey(diary->toolbar(), "Edit");
        in<QLineEdit>(diary, "Text2")->end(false);
        QTest::keyClicks(in<QLineEdit>(diary, "Text2"), " (cont.)");
        clickLine(finder->subjects(), 3);
        QVERIFY(finder && finder->isVisible());
        QVERIFY(diary->form()->isEditing());
        QCOMPARE(diary->diary()->editMode(), RecordSource::EditMode::Edit);
        QCOMPARE(in<QLineEdit>(diary, "Text2")->text(), "Spring run (cont.)");
        QVERIFY(msgs->shown.isEmpty());
        msgs->expect();
        test::clickKey(diary->toolbar(), "Save");
        QCOMPARE(test::stored("Diary", "Subject").first(), "Spring run (cont.)");
        clickLine(finder->dates(), 3);
        QCOMPARE(body(), "fourth");
        QVERIFY(!finder || !finder->isVisible());
    }

    // A choice after the diary was closed opens it again on that page.
    void choiceAfterDiaryClosed()
    {
        openDiary();
        QPointer<FrmFinddiary> finder = openFinder();
        test::clickKey(diary->toolbar(), "Exit");
        QTest::qWait(0);
        QVERIFY(!platform::findWindow(QStringLiteral("frmDiary")));
        clickLine(finder->subjects(), 2);
        auto *reopened = qobject_cast<FrmDiary *>(platform::findWindow(QStringLiteral("frmDiary")));
        QVERIFY(reopened);
        QVERIFY(reopened->isVisible());
        QCOMPARE(reopened->diary()->text("Page"), "third");
        QVERIFY(!finder || !finder->isVisible());
    }

    // Pages written or deleted while the finder is open are offered or
    // withdrawn at once; Enter chooses a line as a click does.
    void finderFollowsTheDiary()
    {
        openDiary();
        QPointer<FrmFinddiary> finder = openFinder();
        test::clickKey(diary->toolbar(), "New");
        QTest::keyClicks(in<QLineEdit>(diary, "Text2"), "Night bite");
        QTest::keyClicks(in<QPlainTextEdit>(diary, "Text1"), "fifth");
        msgs->expect();
        test::clickKey(diary->toolbar(), "Save");
        QCOMPARE(finder->subjects()->count(), 5);
        QCOMPARE(finder->subjects()->item(4)->text(), "Night bite");
        QCOMPARE(finder->dates()->item(4)->text(), "12/8/2026");
        msgs->expect(Answer::Yes);
        test::clickKey(diary->toolbar(), "Delete"); // the first page
        QCOMPARE(finder->subjects()->item(0)->text(), "Ice out");
        QCOMPARE(finder->dates()->count(), 4);
        finder->subjects()->setFocus();
        finder->subjects()->setCurrentRow(3);
        QTest::keyClick(finder->subjects(), Qt::Key_Return);
        QCOMPARE(body(), "fifth");
        QVERIFY(!finder || !finder->isVisible());
    }
};

BM_TEST_MAIN(TestDiary)
#include "test_diary.moc"
