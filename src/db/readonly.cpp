#include "db/readonly.h"

#include "core/dates.h"
#include "core/log.h"
#include "db/database.h"
#include "db/engine/cursor.h"
#include "db/engine/engine.h"
#include "db/engine/reportfunctions.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "db/readonlysays.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>

#include <sqlite3.h>

namespace bm::db
{

namespace
{

void resultText(sqlite3_context *ctx, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    sqlite3_result_text(ctx, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

// amount(units): an amount of the database (a sum of them too) as "###0.00".
void amountFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const QVariant typed = fieldvalue::fromStored(FieldKind::Amount, fieldvalue::fromEngine(argv[0]));
    if (typed.isNull()) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *locale = static_cast<const QLocale *>(sqlite3_user_data(ctx));
    resultText(ctx, fieldvalue::shown(typed, fieldvalue::Amounts::Printed, *locale));
}

// shortdate(stored): a stored date in the short date format; any other text
// as it is.
void shortDateFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const QVariant stored = fieldvalue::fromEngine(argv[0]);
    if (stored.isNull()) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *locale = static_cast<const QLocale *>(sqlite3_user_data(ctx));
    const QVariant typed = fieldvalue::fromStored(FieldKind::Date, stored);
    resultText(ctx,
        typed.isNull() ? stored.toString() : fieldvalue::shown(typed, fieldvalue::Amounts::Printed, *locale));
}

QString engineMessage(sqlite3 *h)
{
    return QString::fromUtf8(sqlite3_errmsg(h));
}

} // namespace

ReadOnlyConnection::~ReadOnlyConnection()
{
    if (m_handle)
        sqlite3_close_v2(m_handle);
    if (!m_serverConnection.isEmpty()) {
        QSqlDatabase::database(m_serverConnection, false).close();
        QSqlDatabase::removeDatabase(m_serverConnection);
    }
}

Status ReadOnlyConnection::open(const QString &location, const QLocale &locale)
{
    m_location = location;
    if (db::onServer(location))
        return openOnServer(locale);
    auto refuse = [&](const QString &what) {
        const Status s = db::fileFailure(location, what);
        qCWarning(dataLog).noquote() << s.message();
        return s;
    };
    if (!QFileInfo(location).isFile())
        return refuse(QStringLiteral("does not exist."));
    if (sqlite3_open_v2(QFile::encodeName(QFileInfo(location).absoluteFilePath()).constData(), &m_handle,
            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        return refuse(QStringLiteral("can not be opened (%1).")
                          .arg(m_handle ? engineMessage(m_handle) : QStringLiteral("out of memory")));
    sqlite3_busy_timeout(m_handle, busyTimeoutMs);
    db::distrust(m_handle, maxValueBytes);
    if (sqlite3_exec(m_handle, "PRAGMA query_only=1", nullptr, nullptr, nullptr) != SQLITE_OK)
        return refuse(QStringLiteral("can not be read (%1).").arg(engineMessage(m_handle)));
    auto *shared = const_cast<QLocale *>(&locale);
    sqlite3_create_function_v2(m_handle, "amount", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, shared,
        amountFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(m_handle, "shortdate", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, shared,
        shortDateFunction, nullptr, nullptr, nullptr);
    // A misspelt field in double quotes is an error, not a text.
    sqlite3_db_config(m_handle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_handle, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_set_authorizer(m_handle, authorize, this);
    sqlite3_progress_handler(m_handle, 10000, progress, this);
    return Status::ok();
}

// Only reading, and only the report functions: every other action of a
// statement is refused while it is prepared.
int ReadOnlyConnection::authorize(
    void *self, int action, const char *, const char *arg2, const char *, const char *)
{
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_FUNCTION: {
        const QString name = QString::fromUtf8(arg2).toLower();
        if (reportFunctions().contains(name))
            return SQLITE_OK;
        static_cast<ReadOnlyConnection *>(self)->m_refusedFunction = QString::fromUtf8(arg2);
        return SQLITE_DENY;
    }
    default:
        return SQLITE_DENY;
    }
}

int ReadOnlyConnection::progress(void *self)
{
    const auto *connection = static_cast<ReadOnlyConnection *>(self);
    if (connection->m_timer.elapsed() > queryTimeLimitMs)
        return 1;
    return connection->m_stillWanted && !connection->m_stillWanted() ? 1 : 0;
}

Status ReadOnlyConnection::firstWordRefusal(const QString &name, const QString &sql)
{
    if (sql::changes(sql))
        return says::queryWouldChange(name);
    if (!sql::reads(sql))
        return says::queryNotASelect(name);
    return Status::ok();
}

Status ReadOnlyConnection::prepare(
    const QString &name, const QString &sql, const ReportValues &values, Query &out) const
{
    if (m_server)
        return prepareOnServer(name, sql, values, out);
    if (!m_handle)
        return db::fileFailure(m_location, QStringLiteral("is not open."));
    if (Status s = firstWordRefusal(name, sql); !s)
        return s;

    const QByteArray utf8 = sql.toUtf8();
    const char *tail = nullptr;
    sqlite3_stmt *stmt = nullptr;
    m_refusedFunction.clear();
    if (sqlite3_prepare_v2(m_handle, utf8.constData(), int(utf8.size()), &stmt, &tail) != SQLITE_OK) {
        if (!m_refusedFunction.isEmpty())
            return says::queryCallsRefusedFunction(name, m_refusedFunction);
        return says::queryFailed(name, engineMessage(m_handle));
    }
    // The statement belongs to the query from here on, which finalizes it.
    out.adopt(fileCursor(m_handle, stmt));
    if (!stmt)
        return says::queryEmpty(name);
    const char *end = utf8.constData() + utf8.size();
    if (tail && tail < end) {
        sqlite3_stmt *rest = nullptr;
        const int rc = sqlite3_prepare_v2(m_handle, tail, int(end - tail), &rest, nullptr);
        sqlite3_finalize(rest);
        if (rc != SQLITE_OK || rest)
            return says::queryHoldsMore(name);
    }
    if (!sqlite3_stmt_readonly(stmt) || sqlite3_column_count(stmt) == 0)
        return says::queryWouldChange(name);

    for (int p = 1; p <= sqlite3_bind_parameter_count(stmt); ++p) {
        const char *raw = sqlite3_bind_parameter_name(stmt, p);
        const QString parameter = raw ? QString::fromUtf8(raw) : QStringLiteral("?");
        const QString named = parameter.size() < 2 ? QString() : parameter.mid(1);
        if (named.compare(QLatin1String("booking"), Qt::CaseInsensitive) == 0) {
            if (values.booking > 0)
                sqlite3_bind_int64(stmt, p, values.booking);
            else
                sqlite3_bind_null(stmt, p);
        } else if (named.compare(QLatin1String("guide"), Qt::CaseInsensitive) == 0
            || named.compare(QLatin1String("month"), Qt::CaseInsensitive) == 0) {
            const QString &text = named.compare(QLatin1String("guide"), Qt::CaseInsensitive) == 0
                ? values.guide
                : values.month;
            if (!text.isEmpty()) {
                const QByteArray utf8 = text.toUtf8();
                sqlite3_bind_text(stmt, p, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_null(stmt, p);
            }
        } else {
            return says::queryUnknownValue(name, parameter);
        }
    }
    m_timer.start();
    return Status::ok();
}

} // namespace bm::db
