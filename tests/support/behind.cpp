#include "behind.h"

#include "data/apppaths.h"
#include "data/database.h"
#include "data/serversql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace bm::test
{

namespace
{

// The statement as the connection's engine reads it.
bool inEngineWords(const QString &sql, QString &out, QString *error)
{
    if (!database::onServer(databasePath())) {
        out = sql;
        return true;
    }
    db::serversql::Translated t;
    if (const Status s = db::serversql::translate(sql, {}, t); !s) {
        if (error)
            *error = s.message();
        return false;
    }
    out = t.text;
    return true;
}

} // namespace

bool execBehind(const QString &sql, QString *error)
{
    QString statement;
    return inEngineWords(sql, statement, error) && execAsWritten(statement, error);
}

bool execAsWritten(const QString &statement, QString *error)
{
    QSqlQuery q(database::connection(databasePath()));
    const bool done = q.exec(statement);
    if (!done && error)
        *error = q.lastError().text();
    database::bumpGeneration(databasePath());
    return done;
}

QList<QVariantList> rowsBehind(const QString &sql)
{
    QList<QVariantList> rows;
    QString statement, error;
    if (!inEngineWords(sql, statement, &error)) {
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
        return rows;
    }
    QSqlQuery q(database::connection(databasePath()));
    if (!q.exec(statement)) {
        QTest::qFail(qPrintable(statement + QStringLiteral(": ") + q.lastError().text()), __FILE__, __LINE__);
        return rows;
    }
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < q.record().count(); ++c)
            row << q.value(c);
        rows << row;
    }
    return rows;
}

QString missingTable(const QString &table)
{
    return database::onServer(databasePath()) ? QStringLiteral("relation \"%1\" does not exist").arg(table)
                                              : QStringLiteral("no such table: %1").arg(table);
}

} // namespace bm::test
