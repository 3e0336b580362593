#pragma once

#include "data/apppaths.h"
#include "data/database.h"
#include "data/recordsource.h"

#include <QDate>
#include <QPair>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace bm::test
{

using Reminder = QPair<QDate, QString>;

// Empties the reminder table, then writes these reminders in order.
inline void fillReminders(const QList<Reminder> &reminders)
{
    QSqlQuery q(database::connection(databasePath()));
    QVERIFY(q.exec(QStringLiteral("DELETE FROM Reminder")));
    RecordSource rs(QStringLiteral("fill"), QStringLiteral("Reminder"));
    for (const Reminder &r : reminders) {
        QVERIFY(rs.AddNew());
        QVERIFY(rs.setValue(QStringLiteral("Date"), r.first));
        QVERIFY(rs.setValue(QStringLiteral("Reminder"), r.second));
        QVERIFY(rs.Update());
    }
}

// A reminder written straight into the file, its date stored as given (a
// date another program left that can not be read as one).
inline void insertRaw(const QVariant &storedDate, const QString &text)
{
    QSqlQuery q(database::connection(databasePath()));
    q.prepare(QStringLiteral("INSERT INTO Reminder (\"Date\", \"Reminder\") VALUES (?, ?)"));
    q.addBindValue(storedDate);
    q.addBindValue(text);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
}

// The texts of the stored reminders, in the table's order.
inline QStringList storedTexts()
{
    RecordSource rs(QStringLiteral("read"), QStringLiteral("Reminder"));
    QStringList texts;
    for (const auto &row : rs.column(QStringLiteral("Reminder")))
        texts << row.second;
    return texts;
}

template <class T> T *child(const QWidget *w, const char *name)
{
    T *c = w ? w->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!c)
        qWarning("no child %s", name);
    return c;
}

// The reminders as the tests lay them out: 12/30/2005 stored after 1/3/2006.
inline QList<Reminder> threeReminders()
{
    return { { QDate(2006, 1, 3), QStringLiteral("Order new line") },
        { QDate(2005, 12, 30), QStringLiteral("Renew the licence") },
        { QDate(2006, 2, 14), QStringLiteral("Boat show") } };
}

} // namespace bm::test
