#include "data/readonly.h"

#include "data/database.h"
#include "data/engine.h"
#include "data/fieldvalue.h"
#include "data/log.h"
#include "data/query.h"
#include "data/report/messages.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

namespace bm::db
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

// The functions a report may call: the program's own two, and the plain
// scalar, date and aggregate functions a report writer expects. Anything
// that reaches the engine's internals, the file system or loads code
// (fts3_tokenizer, load_extension, readfile, ...) is not among them, nor are
// those that only make memory (zeroblob, randomblob).
const QSet<QString> &reportFunctions()
{
    static const QSet<QString> names = {
        // the program's own
        QStringLiteral("amount"),
        QStringLiteral("shortdate"),
        // aggregates
        QStringLiteral("avg"),
        QStringLiteral("count"),
        QStringLiteral("group_concat"),
        QStringLiteral("max"),
        QStringLiteral("min"),
        QStringLiteral("sum"),
        QStringLiteral("total"),
        // text
        QStringLiteral("char"),
        QStringLiteral("coalesce"),
        QStringLiteral("hex"),
        QStringLiteral("format"),
        QStringLiteral("glob"),
        QStringLiteral("ifnull"),
        QStringLiteral("iif"),
        QStringLiteral("instr"),
        QStringLiteral("length"),
        QStringLiteral("like"),
        QStringLiteral("lower"),
        QStringLiteral("ltrim"),
        QStringLiteral("nullif"),
        QStringLiteral("printf"),
        QStringLiteral("quote"),
        QStringLiteral("replace"),
        QStringLiteral("rtrim"),
        QStringLiteral("substr"),
        QStringLiteral("substring"),
        QStringLiteral("trim"),
        QStringLiteral("typeof"),
        QStringLiteral("unicode"),
        QStringLiteral("upper"),
        // numbers
        QStringLiteral("abs"),
        QStringLiteral("ceil"),
        QStringLiteral("ceiling"),
        QStringLiteral("floor"),
        QStringLiteral("round"),
        QStringLiteral("sign"),
        QStringLiteral("trunc"),
        QStringLiteral("mod"),
        QStringLiteral("random"),
        // dates
        QStringLiteral("date"),
        QStringLiteral("datetime"),
        QStringLiteral("julianday"),
        QStringLiteral("strftime"),
        QStringLiteral("time"),
        QStringLiteral("unixepoch"),
    };
    return names;
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
}

Status ReadOnlyConnection::open(const QString &path, const QLocale &locale)
{
    m_path = path;
    auto refuse = [&](const QString &what) {
        const Status s = database::fileFailure(path, what);
        qCWarning(dataLog).noquote() << s.message();
        return s;
    };
    if (!QFileInfo(path).isFile())
        return refuse(QStringLiteral("does not exist."));
    if (sqlite3_open_v2(QFile::encodeName(QFileInfo(path).absoluteFilePath()).constData(), &m_handle,
            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        return refuse(QStringLiteral("can not be opened (%1).")
                          .arg(m_handle ? engineMessage(m_handle) : QStringLiteral("out of memory")));
    sqlite3_busy_timeout(m_handle, 5000);
    database::distrust(m_handle, maxValueBytes);
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

Status ReadOnlyConnection::prepare(const QString &name, const QString &sql, qint64 booking, Query &out) const
{
    namespace says = report::says;
    if (!m_handle)
        return database::fileFailure(m_path, QStringLiteral("is not open."));
    // What plainly writes is refused before the engine sees it; the
    // authorizer and the read-only check below stop the rest.
    static const QStringList writes = { QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
        QStringLiteral("DELETE"), QStringLiteral("REPLACE"), QStringLiteral("DROP"), QStringLiteral("CREATE"),
        QStringLiteral("ALTER"), QStringLiteral("ATTACH"), QStringLiteral("DETACH"), QStringLiteral("VACUUM"),
        QStringLiteral("PRAGMA"), QStringLiteral("REINDEX"), QStringLiteral("BEGIN"),
        QStringLiteral("COMMIT"), QStringLiteral("END"), QStringLiteral("ROLLBACK"),
        QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE") };
    const QString word = sql::firstWord(sql);
    if (writes.contains(word))
        return says::queryWouldChange(name);
    if (word != QLatin1String("SELECT") && word != QLatin1String("WITH") && word != QLatin1String("VALUES"))
        return says::queryNotASelect(name);

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
    out.adopt(m_handle, stmt);
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
        if (parameter.size() < 2
            || parameter.mid(1).compare(QLatin1String("booking"), Qt::CaseInsensitive) != 0)
            return says::queryUnknownValue(name, parameter);
        if (booking > 0)
            sqlite3_bind_int64(stmt, p, booking);
        else
            sqlite3_bind_null(stmt, p);
    }
    m_timer.start();
    return Status::ok();
}

} // namespace bm::db
