#include "data/apppaths.h"
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
    std::unique_ptr<test::RecordingHelp> help;
    std::unique_ptr<test::RecordingReports> reports;
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
        help = std::make_unique<test::RecordingHelp>();
        reports = std::make_unique<test::RecordingReports>();
        main = new FrmMain;
        main->show();
    }
    void cleanup()
    {
        test::deleteWindows();
        msgs.reset();
        help.reset();
        reports.reset();
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

        // Print and Help go through the main window's components.
        GearPage *boats = gear->page(1);
        for (const char *key : { "Print", "Help" }) {
            QAction *a = boats->action(key);
            emit boats->toolbar()->actionTriggered(a);
        }
        QCOMPARE(reports->files, QStringList({ appFile("boat.rpt") }));
        QCOMPARE(help->topics, QList<int>({ 2700 }));

        emit gear->page(0)->toolbar()->actionTriggered(gear->page(0)->action("Exit"));
        QVERIFY(main->isVisible());
        QCOMPARE(gearWindows(), 0);
    }
};

BM_TEST_MAIN(TestGearMain)
#include "test_gearmain.moc"
