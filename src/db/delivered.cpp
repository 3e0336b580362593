#include "db/delivered.h"

#include "db/engine/migrations.h"
#include "db/engine/schemacheck.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QFile>

#include <sqlite3.h>

namespace bm::db
{

namespace
{

// Runs sql on the file; the engine's words on a failure.
QString run(sqlite3 *db, const QByteArray &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) == SQLITE_OK)
        return {};
    const QString message = QString::fromUtf8(error ? error : "unknown error");
    sqlite3_free(error);
    return message;
}

Status build(const QByteArray &starterSql, const QString &output)
{
    QString reason;
    sqlite3 *db = schemacheck::openGuarded(output, schemacheck::Access::Create, &reason);
    if (!db)
        return Status::failure(QStringLiteral("can not create %1 (%2)").arg(output, reason));
    // The page size is fixed before the first table is written.
    QString failure = run(db, "PRAGMA page_size = 4096");
    if (failure.isEmpty()) {
        if (const Status s = migrations::upgrade(db, output); !s)
            failure = s.message();
    }
    if (failure.isEmpty()) {
        // The triggers that stamp records stay off on a guarded connection.
        sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr);
        // The starter records come with the file: they have no history of
        // their own.
        failure = run(db,
            "BEGIN;\n" + starterSql + "\nDELETE FROM " + schema::quoted(table::History).toUtf8()
                + ";\nCOMMIT;");
    }
    if (failure.isEmpty())
        failure = run(db, "PRAGMA application_id = 1112689234; VACUUM;");
    sqlite3_close_v2(db);
    if (!failure.isEmpty())
        return Status::failure(failure);

    const schemacheck::Finding found = schemacheck::inspect(output);
    if (!found.status)
        return found.status;
    if (found.version != migrations::currentVersion)
        return Status::failure(QStringLiteral("%1 has layout %2 instead of %3")
                                   .arg(output)
                                   .arg(found.version)
                                   .arg(migrations::currentVersion));
    return Status::ok();
}

} // namespace

Status buildDelivered(const QByteArray &starterSql, const QString &output)
{
    QFile::remove(output);
    const Status s = build(starterSql, output);
    if (!s)
        QFile::remove(output);
    return s;
}

} // namespace bm::db
