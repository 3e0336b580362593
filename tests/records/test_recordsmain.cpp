#include "doubles.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "records/frmdiary.h"
#include "records/frmpatterns.h"
#include "recordsfixture.h"
#include "testenv.h"

#include <QAction>
#include <QPointer>

using namespace bm;

// The main window opens the diary beside itself and the patterns window in
// its place.
class TestRecordsMain : public QObject
{
    Q_OBJECT

    QPointer<FrmMain> main;
    std::unique_ptr<test::ScriptedMessages> msgs;

    QAction *command(bool fromMenu, const QString &key) const
    {
        return fromMenu ? main->findChild<QAction *>(QStringLiteral("mnu") + key) : main->toolbarButton(key);
    }
    int windowsNamed(const QString &name) const
    {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += w->objectName() == name && w->isVisible();
        return n;
    }

private slots:
    void init()
    {
        test::resetDatabase();
        msgs = std::make_unique<test::ScriptedMessages>();
        main = new FrmMain;
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
    }
    void cleanup()
    {
        test::deleteWindows();
        msgs.reset();
    }

    void routes_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<QString>("how"); // how the window closes
        for (bool menu : { false, true })
            for (const char *how : { "Exit", "close box" })
                QTest::addRow("%s, %s", menu ? "menu" : "toolbar", how) << menu << how;
    }

    void diary_data() { routes_data(); }
    void diary()
    {
        QFETCH(bool, fromMenu);
        QFETCH(QString, how);
        test::fillTable("Diary", "Subject", { "One", "Two" });
        command(fromMenu, "Log")->trigger();
        auto *diary = qobject_cast<FrmDiary *>(platform::findWindow("frmDiary"));
        QVERIFY(diary && diary->isVisible());
        QVERIFY(main->isVisible());
        // Opened again: the same window, on the same page.
        test::clickKey(diary->toolbar(), "Next");
        command(!fromMenu, "Log")->trigger();
        QCOMPARE(platform::findWindow("frmDiary"), diary);
        QCOMPARE(diary->diary()->text("Subject"), "Two");
        QCOMPARE(windowsNamed("frmDiary"), 1);
        main->hide();
        if (how == "Exit")
            test::clickKey(diary->toolbar(), "Exit");
        else
            diary->close();
        QVERIFY(!platform::findWindow("frmDiary"));
        QVERIFY(main->isVisible());
    }

    void patterns_data() { routes_data(); }
    void patterns()
    {
        QFETCH(bool, fromMenu);
        QFETCH(QString, how);
        command(fromMenu, "Patterns")->trigger();
        auto *patterns = qobject_cast<FrmPatterns *>(platform::findWindow("frmPatterns"));
        QVERIFY(patterns && patterns->isVisible());
        QVERIFY(!main->isVisible());
        if (how == "Exit")
            test::clickKey(patterns->toolbar(), "Exit");
        else
            patterns->close();
        QVERIFY(!platform::findWindow("frmPatterns"));
        QVERIFY(main->isVisible());
        QVERIFY(msgs->shown.isEmpty());
    }
};

BM_TEST_MAIN(TestRecordsMain)
#include "test_recordsmain.moc"
