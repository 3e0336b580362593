#pragma once

#include "behind.h"
#include "db/recordsource.h"

#include <QDate>
#include <QPair>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace bm::test
{

using Reminder = QPair<QDate, QString>;

// Empties the reminder table, then writes these reminders in order.
inline void fillReminders(const QList<Reminder> &reminders)
{
    QVERIFY(execBehind(QStringLiteral("DELETE FROM Reminder")));
    RecordSource rs(QStringLiteral("fill"), QStringLiteral("Reminder"));
    for (const Reminder &r : reminders) {
        QVERIFY(rs.AddNew());
        QVERIFY(rs.setValue(QStringLiteral("Date"), r.first));
        QVERIFY(rs.setValue(QStringLiteral("Reminder"), r.second));
        QVERIFY(rs.Update());
    }
}

// A reminder written straight into the database, its date stored as given (a
// date another program left that can not be read as one).
inline void insertRaw(const QVariant &storedDate, const QString &text)
{
    const auto literal = [](QString v) {
        return QLatin1Char('\'') + v.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
    };
    const QString sql
        = QStringLiteral("INSERT INTO Reminder (\"Date\", \"Reminder\") VALUES (%1, %2)")
              .arg(storedDate.isNull() ? QStringLiteral("NULL") : literal(storedDate.toString()),
                  literal(text));
    QString error;
    QVERIFY2(execBehind(sql, &error), qPrintable(sql + QStringLiteral(": ") + error));
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
