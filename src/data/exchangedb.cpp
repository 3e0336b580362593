#include "data/exchangedb.h"

#include "data/database.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace bm::exchangedb
{

sqlite3 *handle(const QString &databasePath, Status *status)
{
    Status opened;
    const QSqlDatabase db = database::connection(databasePath, &opened);
    if (!db.isValid()) {
        if (status)
            *status = opened;
        return nullptr;
    }
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) {
        if (status)
            *status = Status::failure(QStringLiteral("The database file %1 can not be read.")
                                          .arg(database::displayName(databasePath)));
        return nullptr;
    }
    if (status)
        *status = Status::ok();
    return *static_cast<sqlite3 *const *>(v.constData());
}

Statement::Statement(sqlite3 *db, const QString &sql)
    : m_db(db)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK)
        m_stmt = nullptr;
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Status Statement::error(const QString &what) const
{
    return Status::failure(
        QStringLiteral("%1: the database reports %2.").arg(what, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

QByteArray columnText(sqlite3_stmt *stmt, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    if (!text)
        return {};
    return QByteArray(text, sqlite3_column_bytes(stmt, column));
}

} // namespace bm::exchangedb
