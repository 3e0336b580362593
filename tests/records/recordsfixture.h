#pragma once

#include "data/apppaths.h"
#include "data/database.h"
#include "data/recordsource.h"
#include "recordcount.h"

#include <QAction>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace bm::test
{

// Empties a table and writes these records (field to value each), in order.
inline void fillTable(const QString &table, const QList<QHash<QString, QVariant>> &records)
{
    RecordSource rs(QStringLiteral("fill"), table);
    while (test::recordCount(rs) > 0) {
        QVERIFY(rs.MoveFirst());
        QVERIFY(rs.Delete());
    }
    for (const auto &record : records) {
        QVERIFY(rs.AddNew());
        for (auto it = record.cbegin(); it != record.cend(); ++it)
            QVERIFY(rs.setValue(it.key(), it.value()));
        QVERIFY(rs.Update());
    }
}

// One record per entry, the entry in one field.
inline void fillTable(const QString &table, const QString &field, const QStringList &entries)
{
    QList<QHash<QString, QVariant>> records;
    for (const QString &e : entries)
        records.append({ { field, e } });
    fillTable(table, records);
}

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
    QSqlQuery q(database::connection(databasePath()));
    for (const char *what : { "INSERT", "UPDATE", "DELETE" }) {
        QVERIFY2(q.exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON \"%2\" "
                                       "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")
                            .arg(QString::fromLatin1(what), table)),
            qPrintable(q.lastError().text()));
    }
}

inline void allowWrites()
{
    QSqlQuery q(database::connection(databasePath()));
    for (const char *what : { "INSERT", "UPDATE", "DELETE" })
        QVERIFY(q.exec(QStringLiteral("DROP TRIGGER refuse_%1").arg(QString::fromLatin1(what))));
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
