// A database file handed in (the guide's own, a restored backup, a repair's
// result) as the inspection reads it before anything of it is used: with
// the check of every page and, as at start, with only each table's first
// and last records read. The bytes go into one file, written afresh each
// run, with the journal a crash would leave taken away first so that no
// run sees what the one before left.

#include "fuzzsupport.h"

#include "db/engine/migrations.h"
#include "db/engine/schemacheck.h"

#include <QFile>

using namespace bm;

namespace
{

void write(const QString &path, const QByteArray &bytes)
{
    for (const char *beside : { "-journal", "-wal", "-shm" })
        QFile::remove(path + QLatin1String(beside));
    fuzz::writeFile(path, bytes);
}

// Refused, it gives no layout; accepted, one this program knows.
void check(const schemacheck::Finding &found)
{
    if (found.status)
        FUZZ_CHECK(found.version >= 1 && found.version <= migrations::currentVersion);
    else
        FUZZ_CHECK(found.version == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString &path = fuzz::scratchFile(QStringLiteral("handed.mdb"));
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString shown = QStringLiteral("handed.mdb");
    write(path, bytes);
    check(schemacheck::inspect(path, shown, true));
    write(path, bytes);
    check(schemacheck::inspect(path, shown, false));
    return 0;
}
