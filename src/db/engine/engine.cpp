#include "db/engine/engine.h"

#include "db/engine/schemacheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace bm::db
{

namespace
{

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

void distrust(sqlite3 *h, int maxValueBytes)
{
    sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(h, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_limit(h, SQLITE_LIMIT_LENGTH, maxValueBytes);
}

Status FileEngine::open(const QString &path, std::function<void()> progress)
{
    close();
    QString reason;
    m_db = schemacheck::openGuarded(path, schemacheck::Access::Write, &reason);
    if (!m_db)
        return Status::failure(QStringLiteral("%1 can not be opened (%2).").arg(shown(path), reason));
    m_progress = std::move(progress);
    if (m_progress)
        sqlite3_progress_handler(m_db, 20000, onProgress, this);
    if (sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) != SQLITE_OK)
        return failure(QStringLiteral("%1 can not be read").arg(shown(path)));
    return Status::ok();
}

int FileEngine::onProgress(void *self)
{
    static_cast<FileEngine *>(self)->m_progress();
    return 0;
}

bool FileEngine::intact()
{
    sqlite3_stmt *stmt = nullptr;
    if (!m_db || sqlite3_prepare_v2(m_db, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    const bool ok = sqlite3_step(stmt) == SQLITE_ROW
        && qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)), "ok") == 0
        && sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_finalize(stmt);
    return ok;
}

Status FileEngine::compactInto(const QString &target)
{
    if (!m_db)
        return Status::failure(
            QStringLiteral("%1 can not be compacted (it is not open).").arg(shown(target)));
    char *into = sqlite3_mprintf("VACUUM INTO %Q", QFile::encodeName(target).constData());
    const int rc = sqlite3_exec(m_db, into, nullptr, nullptr, nullptr);
    sqlite3_free(into);
    if (rc != SQLITE_OK)
        return failure(QStringLiteral("The database can not be compacted into %1").arg(shown(target)));
    return Status::ok();
}

void FileEngine::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

Status FileEngine::failure(const QString &what) const
{
    return Status::failure(
        QStringLiteral("%1 (%2).").arg(what, QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "no memory")));
}

} // namespace bm::db
