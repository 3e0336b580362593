#include "bookings/frmbin.h"
#include "core/apppaths.h"
#include "db/query.h"
#include "main/frmmain.h"
#include "platform/windows.h"

#include "doubles.h"
#include "recordcount.h"
#include "testenv.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace bm;

class TestFrmBin : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }
    void cleanup() { test::deleteWindows(); }

    // A booking deleted while the window is open shows in it; Restore
    // brings it back, says so, and the main window has it again.
    void deletedBookingIsRestored()
    {
        test::ScriptedMessages messages;
        FrmMain main;
        main.findChild<QAction *>(QStringLiteral("mnuBin"))->trigger();
        auto *w = qobject_cast<FrmBin *>(platform::findWindow(QStringLiteral("frmBin")));
        QVERIFY(w);
        auto *restore = w->findChild<QPushButton *>(QStringLiteral("cmdRestore"));
        QCOMPARE(w->grid()->rowCount(), 0);
        QVERIFY(!restore->isEnabled());
        QVERIFY(w->findChild<QLabel *>(QStringLiteral("lblCount"))->text().contains("kept 30 days"));

        const qint64 booking = main.hub().datBookings().bookmark().id;
        QVERIFY(db::write(databasePath(), QStringLiteral("Booking"),
            QStringLiteral("DELETE FROM Booking WHERE ID = ?"), { booking }));
        QCOMPARE(test::recordCount(main.hub().datBookings()), 0);
        QCOMPARE(w->grid()->rowCount(), 1);
        QCOMPARE(w->grid()->item(0, 0)->text(), QStringLiteral("Booking"));
        QCOMPARE(w->grid()->item(0, 1)->text(), QStringLiteral("6/6/2026 Sample Customer"));

        w->grid()->selectRow(0);
        QVERIFY(restore->isEnabled());
        messages.expect();
        restore->click();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.last().text, QStringLiteral("The booking 6/6/2026 Sample Customer is back."));
        QCOMPARE(w->grid()->rowCount(), 0);
        QCOMPARE(test::recordCount(main.hub().datBookings()), 1);
        QVariant back;
        QVERIFY(db::Query().single(
            QStringLiteral("SELECT count(*) FROM Booking WHERE ID = ?"), { booking }, back));
        QCOMPARE(back.toInt(), 1);
    }
};

BM_TEST_MAIN(TestFrmBin)
#include "test_frmbin.moc"
