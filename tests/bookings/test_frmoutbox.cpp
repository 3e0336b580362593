#include "bookings/frmoutbox.h"
#include "core/apppaths.h"
#include "db/database.h"
#include "db/outbox.h"
#include "db/query.h"
#include "main/frmmain.h"
#include "platform/windows.h"
#include "schema/fields.h"

#include "doubles.h"
#include "testenv.h"

#include <QAction>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>

using namespace bm;

namespace
{

qint64 queued(const QString &to, const QString &subject)
{
    db::outbox::Message m;
    m.kind = QStringLiteral("Confirmed");
    m.recipient = to;
    m.subject = subject;
    m.body = QStringLiteral("See you.");
    m.messageId = QStringLiteral("<%1@tallow-lake.com>").arg(subject.size());
    db::Transaction t(databasePath());
    if (!t.begin() || !db::outbox::queue(t, m, QDateTime::currentDateTimeUtc()) || !t.commit())
        return 0;
    QVariant id;
    db::Query q;
    return q.single(QStringLiteral("SELECT max(ID) FROM Outbox"), {}, id) ? id.toLongLong() : 0;
}

QString stateOf(qint64 id)
{
    QVariant state;
    db::Query q;
    return q.single(QStringLiteral("SELECT State FROM Outbox WHERE ID = ?"), { id }, state)
        ? state.toString()
        : QStringLiteral("?");
}

} // namespace

class TestFrmOutbox : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }
    void cleanup() { test::deleteWindows(); }
    void cancelAndSendAgain();
};

// Opened from the menu it lists the outbox, newest first; cancel goes only
// for a message that waits, send again only for one that ended; a message
// written meanwhile (another desk's) shows at once.
void TestFrmOutbox::cancelAndSendAgain()
{
    test::ScriptedMessages messages;
    const qint64 waiting = queued(QStringLiteral("ann@example.com"), QStringLiteral("Your trip"));
    const qint64 refused = queued(QStringLiteral("nobody@example.com"), QStringLiteral("Your trip, too"));
    QVERIFY(waiting && refused);
    QVERIFY(db::write(databasePath(), QLatin1String(table::Outbox),
        QStringLiteral(
            "UPDATE Outbox SET State = 'Failed', \"Last Error\" = 'The mail server refused the address' "
            "WHERE ID = ?"),
        { refused }));
    FrmMain main;
    main.findChild<QAction *>(QStringLiteral("mnuOutbox"))->trigger();
    auto *w = qobject_cast<FrmOutbox *>(platform::findWindow(QStringLiteral("frmOutbox")));
    QVERIFY(w);
    QCOMPARE(w->grid()->rowCount(), 2);
    QCOMPARE(w->grid()->item(0, 4)->text(), QStringLiteral("Failed"));
    QCOMPARE(w->grid()->item(0, 7)->text(), QStringLiteral("The mail server refused the address"));
    auto *again = w->findChild<QPushButton *>(QStringLiteral("cmdSendAgain"));
    auto *cancel = w->findChild<QPushButton *>(QStringLiteral("cmdCancelMessage"));

    w->grid()->selectRow(1); // the one waiting
    QVERIFY(cancel->isEnabled());
    QVERIFY(!again->isEnabled());
    cancel->click();
    QCOMPARE(stateOf(waiting), QString::fromLatin1(mailState::cancelled));
    QCOMPARE(w->grid()->item(1, 4)->text(), QString::fromLatin1(mailState::cancelled));
    QVERIFY(again->isEnabled());

    w->grid()->selectRow(0);
    QVERIFY(!cancel->isEnabled());
    again->click();
    QCOMPARE(stateOf(refused), QString::fromLatin1(mailState::queued));
    QCOMPARE(w->grid()->item(0, 4)->text(), QString::fromLatin1(mailState::queued));

    QVERIFY(queued(QStringLiteral("bob@example.com"), QStringLiteral("Reminder")) > 0);
    QCOMPARE(w->grid()->rowCount(), 3);
    QCOMPARE(w->grid()->item(0, 3)->text(), QStringLiteral("Reminder"));

    // Sent by another sender before the window heard of it: one box says so.
    w->grid()->selectRow(0);
    QVERIFY(cancel->isEnabled());
    QVERIFY(QSqlQuery(db::connection(databasePath()))
                .exec(QStringLiteral("UPDATE \"Outbox\" SET \"State\" = 'Sent' WHERE \"Recipient\" = "
                                     "'bob@example.com'")));
    messages.expect();
    cancel->click();
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.last().text.contains(QLatin1String("can no longer be cancelled")));
}

BM_TEST_MAIN(TestFrmOutbox)
#include "test_frmoutbox.moc"
