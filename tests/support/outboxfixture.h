#pragma once

// The mail of the tests of the windows that put a booking's mail in the
// outbox: mail set up as Options > Mail sets it up, and messages laid in
// as the outbox keeps them.

#include "records.h"

#include "core/apppaths.h"
#include "db/outbox.h"
#include "db/query.h"
#include "schema/fields.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QtTest>

#include <algorithm>

namespace bm::test
{

// A mail server and a sender's address: mail goes out by itself.
inline void setUpMail()
{
    fillTable(QStringLiteral("Mail Settings"),
        { { { QStringLiteral("Server"), QStringLiteral("mail.tallow-lake.com") },
            { QStringLiteral("Sender Address"), QStringLiteral("guide@tallow-lake.com") } } });
}

// A message of the kind for the booking, in the state given (its reason
// for a Failed one), written as any write of the program is: the windows
// hear of it. Its key, or 0 when it could not be written.
inline qint64 layInMessage(
    qint64 booking, const QString &kind, const QString &state, const QString &lastError = QString())
{
    db::outbox::Message m;
    m.kind = kind;
    m.booking = QString::number(booking);
    m.recipient = QStringLiteral("ann@example.com");
    m.recipientName = QStringLiteral("Ann Lee");
    m.subject = kind;
    m.body = QStringLiteral("About your trip.");
    static int laidIn = 0;
    m.messageId = QStringLiteral("<%1.%2.%3@tallow-lake.com>")
                      .arg(booking)
                      .arg(++laidIn)
                      .arg(QDateTime::currentMSecsSinceEpoch());
    db::Transaction t(databasePath());
    if (!t.begin() || !db::outbox::queue(t, m, QDateTime::currentDateTimeUtc()) || !t.commit())
        return 0;
    QVariant id;
    db::Query q;
    if (!q.single(QStringLiteral("SELECT MAX(ID) FROM Outbox"), {}, id))
        return 0;
    if (!db::write(databasePath(), QLatin1String(table::Outbox),
            QStringLiteral("UPDATE Outbox SET State = ?, \"Last Error\" = ? WHERE ID = ?"),
            { state, lastError, id }))
        return 0;
    return id.toLongLong();
}

// The outbox's messages, oldest first; the test fails when it can not be
// read.
inline QList<db::outbox::Message> outboxMessages()
{
    QList<db::outbox::Message> all;
    if (!db::outbox::read(databasePath(), all))
        QTest::qFail("the outbox could not be read", __FILE__, __LINE__);
    std::reverse(all.begin(), all.end());
    return all;
}

// The outbox as "recipient's name: kind [state]" lines, oldest first.
inline QStringList outboxLines()
{
    QList<db::outbox::Message> all;
    if (!db::outbox::read(databasePath(), all))
        return { QStringLiteral("unreadable") };
    QStringList lines;
    for (auto m = all.crbegin(); m != all.crend(); ++m)
        lines << QStringLiteral("%1: %2 [%3]").arg(m->recipientName, m->kind, m->state);
    return lines;
}

} // namespace bm::test
