#include "bookings/frmhistory.h"
#include "core/apppaths.h"
#include "db/query.h"
#include "main/frmmain.h"
#include "platform/windows.h"

#include "doubles.h"
#include "testenv.h"

#include <QAction>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

using namespace bm;

namespace
{

QStringList rowTexts(const QTableWidget *grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid->columnCount(); ++c)
        texts << (grid->item(row, c) ? grid->item(row, c)->text() : QString());
    return texts;
}

} // namespace

class TestFrmHistory : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }
    void cleanup() { test::deleteWindows(); }

    // Utilities > History shows the main window's current booking, and a
    // save made meanwhile at once; with the contacts showing, the current
    // contact's.
    void followsTheCurrentRecord()
    {
        test::ScriptedMessages messages;
        FrmMain main;
        QVERIFY(main.hub().datBookings().hasCurrent());
        const qint64 booking = main.hub().datBookings().bookmark().id;
        QVERIFY(db::write(databasePath(), QStringLiteral("Booking"),
            QStringLiteral(
                "UPDATE Booking SET Lake = 'Norfork Lake', \"Total Charge\" = 4500000 WHERE ID = ?"),
            { booking }));
        main.findChild<QAction *>(QStringLiteral("mnuHistory"))->trigger();
        auto *w = qobject_cast<FrmHistory *>(platform::findWindow(QStringLiteral("frmHistory")));
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("History of 6/6/2026 Sample Customer"));
        QCOMPARE(w->grid()->rowCount(), 2);
        QCOMPARE(
            rowTexts(w->grid(), 0).mid(2), QStringList({ "changed", "Total Charge", "400.00", "450.00" }));
        QCOMPARE(rowTexts(w->grid(), 1).mid(2),
            QStringList({ "changed", "Lake", "Table Rock Lake", "Norfork Lake" }));
        QVERIFY(!rowTexts(w->grid(), 0).first().isEmpty());

        QVERIFY(db::write(databasePath(), QStringLiteral("Booking"),
            QStringLiteral("UPDATE Booking SET Lake = 'Bull Shoals' WHERE ID = ?"), { booking }));
        QCOMPARE(w->grid()->rowCount(), 3);
        QCOMPARE(rowTexts(w->grid(), 0).mid(3), QStringList({ "Lake", "Norfork Lake", "Bull Shoals" }));

        main.findChild<QAction *>(QStringLiteral("mnuContacts"))->trigger();
        main.findChild<QAction *>(QStringLiteral("mnuHistory"))->trigger();
        QCOMPARE(w->windowTitle(), QStringLiteral("History of Sample Customer"));
        QCOMPARE(w->grid()->rowCount(), 0);
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("lblCount"))->text(),
            QStringLiteral("Nothing is recorded of this record."));
        QVERIFY(messages.shown.isEmpty());
    }

    void noRecordChosenIsSaid()
    {
        test::ScriptedMessages messages;
        QVERIFY(
            db::write(databasePath(), QStringLiteral("Booking"), QStringLiteral("DELETE FROM Booking"), {}));
        FrmMain main;
        messages.expect();
        main.findChild<QAction *>(QStringLiteral("mnuHistory"))->trigger();
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY2(
            messages.last().text.startsWith("There is no booking chosen."), qPrintable(messages.last().text));
        QVERIFY(!platform::findWindow(QStringLiteral("frmHistory")));
    }
};

BM_TEST_MAIN(TestFrmHistory)
#include "test_frmhistory.moc"
