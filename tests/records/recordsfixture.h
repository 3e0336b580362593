#pragma once

#include "behind.h"
#include "core/apppaths.h"
#include "db/recordsource.h"
#include "recordcount.h"
#include "records.h"
#include "testenv.h"

#include <QAction>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace bm::test
{

// Every record's value of one field, in the table's order.
inline QStringList stored(const QString &table, const QString &field)
{
    RecordSource rs(QStringLiteral("read"), table);
    QStringList list;
    for (const auto &row : rs.column(field))
        list << row.second;
    return list;
}

// The value of one field of every record, as stored (not as shown).
inline QVariantList storedValues(const QString &table, const QString &field)
{
    RecordSource rs(QStringLiteral("read"), table);
    QVariantList list;
    for (Status s = rs.MoveFirst(); s && rs.hasCurrent(); s = rs.MoveNext())
        list << rs.value(field);
    return list;
}

// From now on the database refuses every write to the table (as a full disk
// would), until allowWrites().
inline void refuseWrites(const QString &table)
{
    for (const char *what : { "INSERT", "UPDATE", "DELETE" }) {
        const QString event = QString::fromLatin1(what);
        QVERIFY(refuseWrites(QStringLiteral("refuse_") + event.toLower(), event, table,
            QStringLiteral("database or disk is full")));
    }
}

// The table takes writes again. On the server a trigger belongs to its table
// and calls a function of its own name, which goes with it.
inline void allowWrites(const QString &table)
{
    for (const char *what : { "INSERT", "UPDATE", "DELETE" }) {
        const QString name = QStringLiteral("refuse_") + QString::fromLatin1(what).toLower();
        QVERIFY(execAsWritten(onServer()
                ? QStringLiteral("DROP TRIGGER %1 ON \"%2\"; DROP FUNCTION %1()").arg(name, table)
                : QStringLiteral("DROP TRIGGER %1").arg(name)));
    }
}

// The toolbar button with this key, or nullptr.
inline QAction *toolbarAction(QToolBar *bar, const QString &key)
{
    for (QAction *a : bar->actions())
        if (!a->isSeparator() && a->data().toString() == key)
            return a;
    return nullptr;
}

// A click on the toolbar button with this key, as the user makes it: a
// disabled button does nothing.
inline void clickKey(QToolBar *bar, const QString &key)
{
    QAction *a = toolbarAction(bar, key);
    QVERIFY2(a, qPrintable(key));
    auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(a));
    QVERIFY2(button, qPrintable(key));
    button->click();
}

} // namespace bm::test
