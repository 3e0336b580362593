#include "behind.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/engine/serversql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace bm::test
{

namespace
{

// The statement as the connection's engine reads it; on the server with
// the values written in.
bool inEngineWords(const QString &sql, QString &out, QString *error, const QVariantList &binds = {})
{
    if (!db::onServer(databasePath())) {
        out = sql;
        return true;
    }
    db::serversql::Translated t;
    if (const Status s = db::serversql::translate(sql, binds, t); !s) {
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

bool execBehind(const QString &sql, const QVariantList &binds, QString *error)
{
    if (db::onServer(databasePath())) {
        QString statement;
        return inEngineWords(sql, statement, error, binds) && execAsWritten(statement, error);
    }
    QSqlQuery q(db::connection(databasePath()));
    q.prepare(sql);
    for (const QVariant &v : binds)
        q.addBindValue(v);
    const bool done = q.exec();
    if (!done && error)
        *error = q.lastError().text();
    db::bumpGeneration(databasePath());
    return done;
}

bool execAsWritten(const QString &statement, QString *error)
{
    QSqlQuery q(db::connection(databasePath()));
    const bool done = q.exec(statement);
    if (!done && error)
        *error = q.lastError().text();
    db::bumpGeneration(databasePath());
    return done;
}

bool refuseWrites(const QString &name, const QString &event, const QString &table, const QString &reason,
    const QString &when)
{
    const QString quotedTable = QLatin1Char('"') + table + QLatin1Char('"');
    if (!db::onServer(databasePath()))
        return execAsWritten(
            QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 %4BEGIN SELECT RAISE(ABORT, '%5'); END")
                .arg(name, event, quotedTable,
                    when.isEmpty() ? QString() : QStringLiteral("WHEN %1 ").arg(when), reason));
    // The condition in the server's words: the translation of a query that
    // asks it.
    QString condition = QStringLiteral("true");
    if (!when.isEmpty()) {
        QString query;
        if (!inEngineWords(QStringLiteral("SELECT 1 WHERE ") + when, query, nullptr))
            return false;
        condition = query.section(QStringLiteral(" WHERE "), 1);
    }
    const QString returned = event.compare(QLatin1String("DELETE"), Qt::CaseInsensitive) == 0
        ? QStringLiteral("OLD")
        : QStringLiteral("NEW");
    return execAsWritten(
        QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                       "IF %2 THEN RAISE EXCEPTION '%3'; END IF; RETURN %4; END $$; "
                       "CREATE TRIGGER %1 BEFORE %5 ON %6 FOR EACH ROW EXECUTE FUNCTION %1()")
            .arg(name, condition, reason, returned, event, quotedTable));
}

QList<QVariantList> rowsBehind(const QString &sql)
{
    QList<QVariantList> rows;
    QString statement, error;
    if (!inEngineWords(sql, statement, &error)) {
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
        return rows;
    }
    QSqlQuery q(db::connection(databasePath()));
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
    return db::onServer(databasePath()) ? QStringLiteral("relation \"%1\" does not exist").arg(table)
                                        : QStringLiteral("no such table: %1").arg(table);
}

} // namespace bm::test
