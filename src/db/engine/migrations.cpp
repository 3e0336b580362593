#include "db/engine/migrations.h"

#include "core/log.h"
#include "db/engine/schemacheck.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QDateTime>

#include <sqlite3.h>

namespace bm::migrations
{

namespace
{

// Runs statements; empty when done, otherwise the engine's reason.
QString exec(sqlite3 *db, const QString &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) == SQLITE_OK)
        return {};
    QString reason = QString::fromUtf8(error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    return reason.isEmpty() ? QStringLiteral("unknown error") : reason;
}

// Whether the table has a field of that name (names ignore case, as the
// engine's do); the reason in error when the table can not be read.
bool hasField(sqlite3 *db, const QString &table, const QString &field, QString *error)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = QStringLiteral("PRAGMA main.table_xinfo(%1)").arg(schema::quoted(table)).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    bool found = false;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto *name = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1));
        found = found || QString::fromUtf8(name ? name : "").compare(field, Qt::CaseInsensitive) == 0;
    }
    if (rc != SQLITE_DONE)
        *error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    return found;
}

// The fields and indexes a layout brings in. A field already there (a
// guide's tool may have added one of that name) is left as it is; an index
// of the name is made anew, so that it covers the field it must.
QString addLayout(sqlite3 *db, int version)
{
    for (const TableDef &t : schema::tables()) {
        if (t.since == version && version > 1) {
            if (QString e = exec(db, schema::createStatement(t, version)); !e.isEmpty())
                return e;
            continue;
        }
        for (const FieldDef &f : t.fields) {
            if (f.since != version || version <= 1)
                continue;
            QString error;
            const bool there = hasField(db, t.name, f.name, &error);
            if (!error.isEmpty())
                return error;
            if (there)
                continue;
            if (QString e = exec(db,
                    QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                        .arg(schema::quoted(t.name), schema::quoted(f.name), schema::declaredType(f.kind)));
                !e.isEmpty())
                return e;
        }
    }
    for (const schema::IndexDef &i : schema::indexes()) {
        if (i.since != version)
            continue;
        if (QString e = exec(db,
                QStringLiteral("DROP INDEX IF EXISTS %1; %2")
                    .arg(schema::quoted(i.name), schema::createStatement(i)));
            !e.isEmpty())
            return e;
    }
    // The stamp and history triggers name the fields they compare, so each
    // layout from theirs on writes them anew, with its own fields.
    for (const schema::TriggerDef &t : schema::ownTriggers(version))
        if (QString e
            = exec(db, QStringLiteral("DROP TRIGGER IF EXISTS %1; %2").arg(schema::quoted(t.name), t.sql));
            !e.isEmpty())
            return e;
    return {};
}

// Layout 1: the seventeen tables, for a new file.
QString createTables(sqlite3 *db)
{
    for (const TableDef &t : schema::tables())
        if (t.since == 1)
            if (QString e = exec(db, schema::createStatement(t, 1)); !e.isEmpty())
                return e;
    return {};
}

// Layout 2: the version mark (its row is written by the runner). A file
// marked as layout 1 already keeps its mark table.
QString createMark(sqlite3 *db)
{
    return exec(db,
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 INTEGER PRIMARY KEY, %3 INTEGER NOT NULL)")
            .arg(schema::quoted(QLatin1String(markTable)), QLatin1String(schema::keyColumn),
                schema::quoted(QLatin1String(markField))));
}

QString writeMark(sqlite3 *db, int version)
{
    return exec(db,
        QStringLiteral("DELETE FROM %1; INSERT INTO %1 (%2, %3) VALUES (1, %4)")
            .arg(schema::quoted(QLatin1String(markTable)), QLatin1String(schema::keyColumn),
                schema::quoted(QLatin1String(markField)))
            .arg(version));
}

// Layout 3: the change stamps (their triggers are written by the runner).
// Every booking and reminder there is stamped as never changed, at one time
// for all.
QString createStamps(sqlite3 *db)
{
    if (QString e = exec(db, schema::createStampTable()); !e.isEmpty())
        return e;
    const QString now = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
    for (const QString &table : schema::stampedTables())
        if (QString e = exec(db,
                QStringLiteral("INSERT INTO %1 (\"Kind\", \"Record\", \"Sequence\", \"Modified\") "
                               "SELECT '%2', %3, 0, '%4' FROM %5")
                    .arg(schema::quoted(QLatin1String(schema::stampTable)), table,
                        QLatin1String(schema::keyColumn), now, schema::quoted(table)));
            !e.isEmpty())
            return e;
    return {};
}

// Layout 7: a booking's state, party and start time, and the booking page's
// tables (which the runner adds). Every booking already there was agreed
// with its client.
QString confirmBookings(sqlite3 *db)
{
    QString error;
    const bool there
        = hasField(db, QLatin1String(table::Booking), QLatin1String(field::Booking::Status), &error);
    if (!error.isEmpty())
        return error;
    if (!there)
        if (QString e = exec(db,
                QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                    .arg(schema::quoted(QLatin1String(table::Booking)),
                        schema::quoted(QLatin1String(field::Booking::Status)),
                        schema::declaredType(FieldKind::Text)));
            !e.isEmpty())
            return e;
    return exec(db,
        QStringLiteral("UPDATE %1 SET %2 = '%3' WHERE %2 IS NULL")
            .arg(schema::quoted(QLatin1String(table::Booking)),
                schema::quoted(QLatin1String(field::Booking::Status)),
                QLatin1String(bookingStatus::confirmed)));
}

// Layout 10: the history of bookings and contacts and the bin of deleted
// ones (their triggers are written by the runner). What happened before has
// no history.
QString createHistory(sqlite3 *db)
{
    for (const QString &sql :
        { schema::createHistoryTable(), schema::createBinTable(), schema::createHistoryIndex() })
        if (QString e = exec(db, sql); !e.isEmpty())
            return e;
    return {};
}

} // namespace

const QList<Step> &steps()
{
    static const QList<Step> all {
        { 1, createTables },
        { 2, createMark },
        { 3, createStamps },
        // The table of the home water's position, which the runner adds.
        { 4, nullptr },
        // The shared database's quicker truth test and indexes in sort
        // order; the file has nothing to change.
        { 5, nullptr },
        // The roster of guides and each booking's guide, which the runner
        // adds.
        { 6, nullptr },
        { 7, confirmBookings },
        // The outbox, the mail server's settings and the guide's mail
        // texts, which the runner adds.
        { 8, nullptr },
        // The shared database's functions of the outbox for the booking
        // page's service; the file has nothing to change.
        { 9, nullptr },
        { 10, createHistory },
        // The lodge's rights on the shared database; the file, one person
        // with every right, has nothing to change.
        { 11, nullptr },
        // A trip's party, its catch by angler and site, the state's site
        // codes, the guides' licence numbers and a trip's days, which the
        // runner adds.
        { 12, nullptr },
        // The busy times of the guide's own calendar, which the runner
        // adds; on the shared database they close the booking page's days.
        { 13, nullptr },
    };
    return all;
}

Status upgrade(sqlite3 *db, const QString &shownAs, const QList<Step> &steps)
{
    const int target = steps.isEmpty() ? 0 : steps.last().version;
    auto failure = [&](const QString &reason) {
        const Status s = Status::failure(schemacheck::fileMessage(shownAs,
            QStringLiteral(
                "could not be brought up to this version of Brindlemoor (%1). It was left as it is.")
                .arg(reason)));
        qCWarning(dataLog).noquote() << s.message();
        return s;
    };
    // IMMEDIATE: the write lock is held from the start, so no other
    // connection changes the file between reading its layout and changing it.
    if (const QString e = exec(db, QStringLiteral("BEGIN IMMEDIATE")); !e.isEmpty())
        return failure(e);
    auto rollBack = [&](const QString &reason) {
        // A failed statement may have ended the transaction already.
        if (!sqlite3_get_autocommit(db))
            exec(db, QStringLiteral("ROLLBACK"));
        return failure(reason);
    };

    QString problem;
    const int from = schemacheck::layoutOf(db, &problem);
    if (from < 0)
        return rollBack(problem);
    if (from > target)
        return rollBack(
            QStringLiteral("it has layout %1, this version knows layouts up to %2").arg(from).arg(target));
    if (from == target) {
        exec(db, QStringLiteral("ROLLBACK"));
        return Status::ok();
    }
    for (const Step &step : steps) {
        if (step.version <= from)
            continue;
        if (QString e = step.apply ? step.apply(db) : QString(); !e.isEmpty())
            return rollBack(QStringLiteral("layout %1: %2").arg(step.version).arg(e));
        if (QString e = addLayout(db, step.version); !e.isEmpty())
            return rollBack(QStringLiteral("layout %1: %2").arg(step.version).arg(e));
    }
    if (target >= 2)
        if (QString e = writeMark(db, target); !e.isEmpty())
            return rollBack(e);

    // The result must be what the layout says before it is kept. The pages
    // were checked before the migration began.
    const schemacheck::Finding found = schemacheck::inspect(db, shownAs, target, false);
    if (!found.status)
        return rollBack(found.problem);
    if (found.version != target)
        return rollBack(QStringLiteral("its mark says layout %1 afterwards").arg(found.version));
    if (const QString e = exec(db, QStringLiteral("COMMIT")); !e.isEmpty())
        return rollBack(e);
    qCInfo(dataLog).noquote() << schemacheck::fileMessage(
        shownAs, QStringLiteral("was brought from layout %1 to layout %2.").arg(from).arg(target));
    return Status::ok();
}

Status upgradeFile(const QString &path, const QString &shownAs)
{
    const QString shown = shownAs.isEmpty() ? path : shownAs;
    QString reason;
    sqlite3 *db = schemacheck::openGuarded(path, schemacheck::Access::Write, &reason);
    if (!db) {
        const Status s = Status::failure(
            schemacheck::fileMessage(shown, QStringLiteral("can not be opened (%1).").arg(reason)));
        qCWarning(dataLog).noquote() << s.message();
        return s;
    }
    const Status s = upgrade(db, shown, steps());
    sqlite3_close_v2(db);
    return s;
}

} // namespace bm::migrations
