#include "data/report/readonly.h"

#include "data/database.h"
#include "data/fieldvalue.h"
#include "data/log.h"
#include "data/report/messages.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sqlite3.h>

namespace bm::report
{

namespace
{

constexpr qint64 queryTimeLimitMs = 60 * 1000;

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

// Only reading is allowed: every other action of a statement is refused
// while it is prepared.
int readOnlyAuthorizer(void *, int action, const char *, const char *, const char *, const char *)
{
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

// The first word of a statement, past blanks and SQL comments.
QString firstWord(const QString &sql)
{
    int i = 0;
    const int n = int(sql.size());
    while (i < n) {
        if (sql.at(i).isSpace()) {
            ++i;
        } else if (sql.mid(i, 2) == QLatin1String("--")) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (sql.mid(i, 2) == QLatin1String("/*")) {
            const int end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else {
            break;
        }
    }
    int j = i;
    while (j < n && sql.at(j).isLetter())
        ++j;
    return sql.mid(i, j - i).toUpper();
}

QString engineMessage(sqlite3 *h)
{
    return QString::fromUtf8(sqlite3_errmsg(h));
}

} // namespace

ReadOnlyConnection::ReadOnlyConnection()
    : m_name(QStringLiteral("bm-report-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

ReadOnlyConnection::~ReadOnlyConnection()
{
    if (m_handle)
        sqlite3_set_authorizer(m_handle, nullptr, nullptr);
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

Status ReadOnlyConnection::open(const QString &path, const QLocale &locale)
{
    auto refuse = [&](const QString &what) {
        const Status s = database::fileFailure(path, what);
        qCWarning(dataLog).noquote() << s.message();
        return s;
    };
    if (!QFileInfo(path).isFile())
        return refuse(QStringLiteral("does not exist."));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return refuse(QStringLiteral("can not be opened (%1).").arg(db.lastError().driverText()));
    QSqlQuery pragma(db);
    if (!pragma.exec(QStringLiteral("PRAGMA query_only=1")))
        return refuse(QStringLiteral("can not be read (%1).").arg(pragma.lastError().driverText()));
    const QVariant v = db.driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        m_handle = *static_cast<sqlite3 *const *>(v.constData());
    if (!m_handle)
        return refuse(QStringLiteral("can not be read."));
    auto *shared = const_cast<QLocale *>(&locale);
    sqlite3_create_function_v2(m_handle, "amount", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, shared,
        amountFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(m_handle, "shortdate", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, shared,
        shortDateFunction, nullptr, nullptr, nullptr);
    // A misspelt field in double quotes is an error, not a text.
    sqlite3_db_config(m_handle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_handle, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_set_authorizer(m_handle, readOnlyAuthorizer, nullptr);
    return Status::ok();
}

Statement::~Statement()
{
    sqlite3_finalize(stmt);
}

Status prepareQuery(sqlite3 *h, const Query &q, Bookmark selection, Statement &st)
{
    // What plainly writes is refused before the engine sees it; the
    // authorizer and the read-only check below stop the rest.
    static const QStringList writes = { QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
        QStringLiteral("DELETE"), QStringLiteral("REPLACE"), QStringLiteral("DROP"), QStringLiteral("CREATE"),
        QStringLiteral("ALTER"), QStringLiteral("ATTACH"), QStringLiteral("DETACH"), QStringLiteral("VACUUM"),
        QStringLiteral("PRAGMA"), QStringLiteral("REINDEX"), QStringLiteral("BEGIN"),
        QStringLiteral("COMMIT"), QStringLiteral("END"), QStringLiteral("ROLLBACK"),
        QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE") };
    const QString word = firstWord(q.sql);
    if (writes.contains(word))
        return says::queryWouldChange(q.name);
    if (word != QLatin1String("SELECT") && word != QLatin1String("WITH") && word != QLatin1String("VALUES"))
        return says::queryNotASelect(q.name);

    const QByteArray sql = q.sql.toUtf8();
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(h, sql.constData(), int(sql.size()), &st.stmt, &tail) != SQLITE_OK)
        return says::queryFailed(q.name, engineMessage(h));
    if (!st.stmt)
        return says::queryEmpty(q.name);
    const char *end = sql.constData() + sql.size();
    if (tail && tail < end) {
        Statement rest;
        if (sqlite3_prepare_v2(h, tail, int(end - tail), &rest.stmt, nullptr) != SQLITE_OK || rest.stmt)
            return says::queryHoldsMore(q.name);
    }
    if (!sqlite3_stmt_readonly(st.stmt) || sqlite3_column_count(st.stmt) == 0)
        return says::queryWouldChange(q.name);

    for (int p = 1; p <= sqlite3_bind_parameter_count(st.stmt); ++p) {
        const char *raw = sqlite3_bind_parameter_name(st.stmt, p);
        const QString name = raw ? QString::fromUtf8(raw) : QStringLiteral("?");
        if (name.size() < 2 || name.mid(1).compare(QLatin1String("booking"), Qt::CaseInsensitive) != 0)
            return says::queryUnknownValue(q.name, name);
        if (selection.isValid())
            sqlite3_bind_int64(st.stmt, p, selection.id);
        else
            sqlite3_bind_null(st.stmt, p);
    }
    return Status::ok();
}

TimeLimit::TimeLimit(sqlite3 *handle)
    : m_handle(handle)
{
    m_timer.start();
    sqlite3_progress_handler(m_handle, 10000, progress, this);
}

TimeLimit::~TimeLimit()
{
    sqlite3_progress_handler(m_handle, 0, nullptr, nullptr);
}

int TimeLimit::progress(void *self)
{
    return static_cast<TimeLimit *>(self)->m_timer.elapsed() > queryTimeLimitMs ? 1 : 0;
}

} // namespace bm::report
