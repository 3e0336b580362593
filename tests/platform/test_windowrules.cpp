#include "doubles.h"
#include "testenv.h"

#include "platform/windowrules.h"

#include <QCloseEvent>
#include <QDialog>
#include <QTest>

using namespace bm;

namespace
{

// A window whose close can be refused, as a record form refuses it while a
// record is being changed.
class Window : public QWidget
{
public:
    bool refuseClose = false;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (refuseClose)
            event->ignore();
    }
};

} // namespace

class TestWindowRules : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_hub = std::make_unique<test::FakeHub>(); }
    void cleanup() { m_hub.reset(); }

    void mainWindowWhileOpen_data();
    void mainWindowWhileOpen();
    void deletedWindow();
    void becomingActive();

private:
    QWidget *main() const { return m_hub->mainWindow.get(); }

    std::unique_ptr<test::FakeHub> m_hub;
};

void TestWindowRules::mainWindowWhileOpen_data()
{
    QTest::addColumn<bool>("hideWhileOpen");
    QTest::addColumn<bool>("refuseClose");
    QTest::addColumn<bool>("mainWhileOpen");
    QTest::addColumn<bool>("mainAfterClose");

    QTest::newRow("hidden while open") << true << false << false << true;
    QTest::newRow("hidden, close refused") << true << true << false << false;
    QTest::newRow("shown on close only") << false << false << true << true;
    QTest::newRow("shown on close only, close refused") << false << true << true << true;
}

void TestWindowRules::mainWindowWhileOpen()
{
    QFETCH(bool, hideWhileOpen);
    QFETCH(bool, refuseClose);
    QFETCH(bool, mainWhileOpen);
    QFETCH(bool, mainAfterClose);

    main()->show();
    Window w;
    if (hideWhileOpen)
        platform::hideMainWhileOpen(&w);
    else
        platform::showMainOnClose(&w);
    w.show();
    QCOMPARE(main()->isVisible(), mainWhileOpen);

    w.refuseClose = refuseClose;
    QCOMPARE(w.close(), !refuseClose);
    QCOMPARE(w.isVisible(), refuseClose);
    QCOMPARE(main()->isVisible(), mainAfterClose);

    // Closed at last, the window always brings the main window back, and
    // opening it again hides the main window again.
    w.refuseClose = false;
    QVERIFY(w.close());
    QVERIFY(main()->isVisible());
    w.show();
    QCOMPARE(main()->isVisible(), !hideWhileOpen);
}

// A window deleted while open (the program ending) hides without closing:
// the main window is not shown on it.
void TestWindowRules::deletedWindow()
{
    main()->show();
    auto *w = new Window;
    platform::hideMainWhileOpen(w);
    w->show();
    QVERIFY(!main()->isVisible());
    delete w;
    QVERIFY(!main()->isVisible());
}

// Coming back from a dialog or from no window of the program (another
// program) is not becoming active; coming back from another window is.
void TestWindowRules::becomingActive()
{
    QWidget w;
    int times = 0;
    platform::onBecomingActive(&w, [&times] { ++times; });
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(times, 1);

    QDialog box(&w);
    box.show();
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    box.hide();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(times, 1);

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(times, 2);
}

BM_TEST_MAIN(TestWindowRules)
#include "test_windowrules.moc"
