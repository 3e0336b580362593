#include "doubles.h"
#include "gear/frmfgear.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "testenv.h"

#include <QAction>
#include <QPointer>
#include <QToolBar>

using namespace bm;

// The gear window opened from the main window, which hides behind it.
class TestGearMain : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    QPointer<FrmMain> main;

    int gearWindows() const
    {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += qobject_cast<FrmFgear *>(w) && w->isVisible();
        return n;
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        main = new FrmMain;
        main->show();
    }
    void cleanup()
    {
        test::deleteWindows();
        msgs.reset();
    }

    void opensOnceAndHidesMain_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("toolbar") << false;
        QTest::newRow("menu") << true;
    }
    void opensOnceAndHidesMain()
    {
        QFETCH(bool, fromMenu);
        QAction *open = fromMenu ? main->findChild<QAction *>("mnuGear") : main->toolbarButton("Gear");
        QVERIFY(open);
        open->trigger();
        auto *gear = qobject_cast<FrmFgear *>(platform::findWindow("frmFgear"));
        QVERIFY(gear);
        QVERIFY(gear->isVisible());
        QVERIFY(!main->isVisible());
        QCOMPARE(gearWindows(), 1);

        emit gear->page(0)->toolbar()->actionTriggered(gear->page(0)->action("Exit"));
        QVERIFY(main->isVisible());
        QCOMPARE(gearWindows(), 0);
    }
};

BM_TEST_MAIN(TestGearMain)
#include "test_gearmain.moc"
