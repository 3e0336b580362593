#include "checks.h"
#include "doubles.h"
#include "testenv.h"

#include "db/recordsource.h"
#include "main/bookingspanel.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "records/frmfind.h"
#include "records/frmpicture.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

using namespace bm;

// The main window opens the trip search and the trip pictures.
class TestSearchMain : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void searchOpensOnce_data();
    void searchOpensOnce();
    void viewPicturesOnTheCurrentBooking();

private:
    QPointer<FrmMain> m_main;
};

void TestSearchMain::init()
{
    test::resetDatabase();
    m_main = new FrmMain;
    m_main->show();
}

void TestSearchMain::cleanup()
{
    test::deleteWindows();
    QCOMPARE(platform::mainHub(), nullptr);
}

void TestSearchMain::searchOpensOnce_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("toolbar") << false;
    QTest::newRow("menu") << true;
}

void TestSearchMain::searchOpensOnce()
{
    QFETCH(bool, fromMenu);
    QAction *action = fromMenu ? m_main->findChild<QAction *>(QStringLiteral("mnuSearch"))
                               : m_main->toolbarButton(QStringLiteral("Search"));
    QVERIFY(action);
    action->trigger();
    auto *search = qobject_cast<FrmFind *>(platform::findWindow(QStringLiteral("frmFind")));
    QVERIFY(search);
    QVERIFY(search->isVisible());
    QVERIFY(m_main->isVisible());
    QCOMPARE(search->findChild<QListWidget *>(QStringLiteral("List1"))->count(), 1);
    action->trigger();
    QCOMPARE(platform::findWindow(QStringLiteral("frmFind")), search);
}

void TestSearchMain::viewPicturesOnTheCurrentBooking()
{
    Bookmark second;
    {
        RecordSource rs(QStringLiteral("adder"), QStringLiteral("Booking"));
        BM_VERIFY(rs.AddNew());
        BM_VERIFY(rs.setValue(QStringLiteral("Date"), QDate(2026, 9, 12)));
        BM_VERIFY(rs.setValue(QStringLiteral("Lake"), QStringLiteral("Beaver Lake")));
        QVERIFY(rs.Update());
        second = rs.LastModified();
    }
    BM_VERIFY(m_main->hub().datBookings().Refresh());
    QVERIFY(m_main->hub().datBookings().setBookmark(second));
    m_main->toolbarButton(QStringLiteral("Bookings"))->trigger();
    auto *view = m_main->bookingsPanel()->findChild<QPushButton *>(QStringLiteral("cmdPictures"));
    QVERIFY(view);
    view->click();
    auto *pictures = qobject_cast<FrmPicture *>(platform::findWindow(QStringLiteral("frmPicture")));
    QVERIFY(pictures);
    QVERIFY(pictures->isVisible());
    QCOMPARE(pictures->booking()->bookmark(), second);
    QCOMPARE(pictures->findChild<QLabel *>(QStringLiteral("Label5"))->text(), QStringLiteral("Beaver Lake"));
    QCOMPARE(pictures->findChild<QLabel *>(QStringLiteral("Label4"))->text(), QStringLiteral("9/12/2026"));
}

BM_TEST_MAIN(TestSearchMain)
#include "test_searchmain.moc"
