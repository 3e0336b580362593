// Builds the delivered database file: the program's migrations create the
// tables of the current layout on a new file, then the starter script adds
// the records a guide finds on first start. The result must pass the same
// inspection as any file the program takes in.
// usage: makedb STARTER.sql OUTPUT.mdb
#include "data/migrations.h"
#include "data/schemacheck.h"

#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <cstdio>

using namespace bm;

namespace
{

int fail(const QString &message, const char *output)
{
    std::fprintf(stderr, "makedb: %s\n", qPrintable(message));
    std::remove(output);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makedb STARTER.sql OUTPUT.mdb\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "makedb: can not read %s\n", argv[1]);
        return 1;
    }
    const QByteArray starter = in.readAll();
    const QString output = QString::fromLocal8Bit(argv[2]);

    std::remove(argv[2]);
    QString reason;
    sqlite3 *db = schemacheck::openGuarded(output, schemacheck::Access::Create, &reason);
    if (!db)
        return fail(QStringLiteral("can not create %1 (%2)").arg(output, reason), argv[2]);
    // The page size is fixed before the first table is written.
    sqlite3_exec(db, "PRAGMA page_size = 4096", nullptr, nullptr, nullptr);
    if (const Status s = migrations::upgrade(db, output); !s) {
        sqlite3_close_v2(db);
        return fail(s.message(), argv[2]);
    }
    // The starter records are stamped as the program stamps every record
    // it writes, by the triggers the guarded connection keeps switched off.
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr);
    char *error = nullptr;
    const QByteArray all = "BEGIN;\n" + starter + "\nCOMMIT;";
    if (sqlite3_exec(db, all.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        sqlite3_close_v2(db);
        return fail(message, argv[2]);
    }
    if (sqlite3_exec(db, "PRAGMA application_id = 1112689234; VACUUM;", nullptr, nullptr, &error)
        != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        sqlite3_close_v2(db);
        return fail(message, argv[2]);
    }
    sqlite3_close_v2(db);

    const schemacheck::Finding found = schemacheck::inspect(output);
    if (!found.status)
        return fail(found.status.message(), argv[2]);
    if (found.version != migrations::currentVersion)
        return fail(QStringLiteral("%1 has layout %2 instead of %3")
                        .arg(output)
                        .arg(found.version)
                        .arg(migrations::currentVersion),
            argv[2]);
    return 0;
}
