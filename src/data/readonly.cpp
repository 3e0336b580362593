#include "data/readonly.h"

#include "data/database.h"
#include "data/dates.h"
#include "data/engine.h"
#include "data/fieldvalue.h"
#include "data/log.h"
#include "data/query.h"
#include "data/report/messages.h"
#include "data/server.h"
#include "data/serversql.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlQuery>

#include <atomic>

#include <libpq-fe.h>
#include <poll.h>
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
    if (!m_serverConnection.isEmpty()) {
        QSqlDatabase::database(m_serverConnection, false).close();
        QSqlDatabase::removeDatabase(m_serverConnection);
    }
}

Status ReadOnlyConnection::open(const QString &path, const QLocale &locale)
{
    m_path = path;
    if (database::onServer(path))
        return openOnServer(locale);
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

// Defined after the file's guard, below.
Status firstWordRefusal(const QString &name, const QString &sql);

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

// What plainly writes is refused before the engine sees it; the engine's
// own guards stop the rest.
Status firstWordRefusal(const QString &name, const QString &sql)
{
    namespace says = report::says;
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
    return Status::ok();
}

Status ReadOnlyConnection::prepare(
    const QString &name, const QString &sql, const ReportValues &values, Query &out) const
{
    namespace says = report::says;
    if (m_server)
        return prepareOnServer(name, sql, values, out);
    if (!m_handle)
        return database::fileFailure(m_path, QStringLiteral("is not open."));
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
        const QString named = parameter.size() < 2 ? QString() : parameter.mid(1);
        if (named.compare(QLatin1String("booking"), Qt::CaseInsensitive) == 0) {
            if (values.booking > 0)
                sqlite3_bind_int64(stmt, p, values.booking);
            else
                sqlite3_bind_null(stmt, p);
        } else if (named.compare(QLatin1String("guide"), Qt::CaseInsensitive) == 0) {
            if (!values.guide.isEmpty()) {
                const QByteArray guide = values.guide.toUtf8();
                sqlite3_bind_text(stmt, p, guide.constData(), int(guide.size()), SQLITE_TRANSIENT);
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

// ---- On a server ----

namespace
{

// The functions a report may call on the server: those of the file's list
// that the server has under the same name, and those the translation from
// SQLite's words brings in (string_agg for group_concat, strpos for instr,
// coalesce for ifnull and total, lower for COLLATE NOCASE).
const QSet<QString> &serverFunctions()
{
    static const QSet<QString> names = [] {
        // SQLite's own, which the translation rewrites or the server lacks.
        static const QSet<QString> fileOnly { QStringLiteral("char"), QStringLiteral("date"),
            QStringLiteral("datetime"), QStringLiteral("glob"), QStringLiteral("group_concat"),
            QStringLiteral("hex"), QStringLiteral("ifnull"), QStringLiteral("iif"), QStringLiteral("instr"),
            QStringLiteral("julianday"), QStringLiteral("like"), QStringLiteral("printf"),
            QStringLiteral("quote"), QStringLiteral("strftime"), QStringLiteral("time"),
            QStringLiteral("total"), QStringLiteral("typeof"), QStringLiteral("unicode"),
            QStringLiteral("unixepoch") };
        QSet<QString> all = reportFunctions() - fileOnly;
        all << QStringLiteral("string_agg") << QStringLiteral("strpos");
        return all;
    }();
    return names;
}

// Words of the server's that stand before a parenthesis without calling a
// function.
const QSet<QString> &keywordsBeforeParenthesis()
{
    static const QSet<QString> words = { QStringLiteral("all"), QStringLiteral("and"), QStringLiteral("any"),
        QStringLiteral("array"), QStringLiteral("as"), QStringLiteral("between"), QStringLiteral("by"),
        QStringLiteral("case"), QStringLiteral("cast"), QStringLiteral("distinct"), QStringLiteral("else"),
        QStringLiteral("escape"), QStringLiteral("except"), QStringLiteral("exists"), QStringLiteral("from"),
        QStringLiteral("having"), QStringLiteral("ilike"), QStringLiteral("in"), QStringLiteral("intersect"),
        QStringLiteral("is"), QStringLiteral("join"), QStringLiteral("lateral"), QStringLiteral("like"),
        QStringLiteral("limit"), QStringLiteral("materialized"), QStringLiteral("not"),
        QStringLiteral("offset"), QStringLiteral("on"), QStringLiteral("or"), QStringLiteral("row"),
        QStringLiteral("select"), QStringLiteral("some"), QStringLiteral("then"), QStringLiteral("union"),
        QStringLiteral("using"), QStringLiteral("values"), QStringLiteral("when"), QStringLiteral("where"),
        QStringLiteral("with") };
    return words;
}

// A statement split as the server reads it. Comments are dropped; what the
// checks can not follow (an E'' string with backslash escapes, dollar
// quotes, $1) is refused rather than guessed at.
struct PgToken {
    enum Kind { Word, Quoted, String, Number, Symbol } kind;
    QString text; // a word in lower case
    qsizetype start;
};

bool pgTokens(const QString &s, QList<PgToken> &out, QString &why)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto wordChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; };
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (s.mid(i, 2) == QLatin1String("--")) {
            while (i < n && s[i] != u'\n')
                ++i;
        } else if (s.mid(i, 2) == QLatin1String("/*")) {
            int depth = 0;
            do {
                if (s.mid(i, 2) == QLatin1String("/*")) {
                    ++depth;
                    i += 2;
                } else if (s.mid(i, 2) == QLatin1String("*/")) {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            } while (depth > 0 && i < n);
        } else if (c == u'\'' || c == u'"') {
            if (c == u'\'' && !out.isEmpty() && out.last().kind == PgToken::Word && out.last().text == u"e"
                && out.last().start + 1 == i) {
                why = QStringLiteral("a text in E'' is not understood here");
                return false;
            }
            const qsizetype start = i;
            QString body;
            for (++i;; ++i) {
                if (i >= n) {
                    why = QStringLiteral("a quote is not closed");
                    return false;
                }
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        body += c;
                        ++i;
                        continue;
                    }
                    break;
                }
                body += s[i];
            }
            ++i;
            out.append({ c == u'"' ? PgToken::Quoted : PgToken::String, body, start });
        } else if (c == u'$') {
            why = QStringLiteral("a $ is not understood here");
            return false;
        } else if (c.isLetter() || c == u'_') {
            const qsizetype start = i;
            while (i < n && wordChar(s[i]))
                ++i;
            out.append({ PgToken::Word, s.mid(start, i - start).toLower(), start });
        } else if (c.isDigit()) {
            const qsizetype start = i;
            while (i < n && (s[i].isLetterOrNumber() || s[i] == u'.'))
                ++i;
            out.append({ PgToken::Number, s.mid(start, i - start), start });
        } else {
            out.append({ PgToken::Symbol, QString(c), i });
            ++i;
        }
    }
    return true;
}

bool isSymbol(const QList<PgToken> &t, qsizetype i, QChar c)
{
    return i >= 0 && i < t.size() && t[i].kind == PgToken::Symbol && t[i].text == QString(c);
}

bool isWord(const QList<PgToken> &t, qsizetype i, const char *word)
{
    return i >= 0 && i < t.size() && t[i].kind == PgToken::Word && t[i].text == QLatin1String(word);
}

// The token after the parenthesis that opens at i; -1 if it is not closed.
qsizetype afterParenthesis(const QList<PgToken> &t, qsizetype i)
{
    int depth = 0;
    for (; i < t.size(); ++i) {
        if (isSymbol(t, i, u'('))
            ++depth;
        else if (isSymbol(t, i, u')') && --depth == 0)
            return i + 1;
    }
    return -1;
}

// A name the statement gives a WITH query of its own: "WITH c(n) AS (SELECT"
// or ", c AS (VALUES". A column list of a function's record ("f(x) AS
// (a int)") does not start with a query, so it is never taken for one.
bool namesWithQuery(const QList<PgToken> &t, qsizetype i)
{
    if (!(isWord(t, i - 1, "with") || isWord(t, i - 1, "recursive") || isSymbol(t, i - 1, u',')))
        return false;
    qsizetype k = i + 1;
    if (isSymbol(t, k, u'(')) {
        for (qsizetype j = k + 1; !isSymbol(t, j, u')'); ++j)
            if (j >= t.size()
                || !(t[j].kind == PgToken::Word || t[j].kind == PgToken::Quoted || isSymbol(t, j, u',')))
                return false;
        k = afterParenthesis(t, k);
    }
    if (!isWord(t, k, "as"))
        return false;
    ++k;
    if (isWord(t, k, "not"))
        ++k;
    if (isWord(t, k, "materialized"))
        ++k;
    return isSymbol(t, k, u'(')
        && (isWord(t, k + 1, "select") || isWord(t, k + 1, "values") || isWord(t, k + 1, "with")
            || isSymbol(t, k + 1, u'('));
}

// Whether the word at i before a parenthesis calls a function; a keyword,
// a type's size after AS or ::, an alias's column list and a WITH query's
// name do not.
bool callsFunction(const QList<PgToken> &t, qsizetype i)
{
    const QString &w = t[i].text;
    if (isWord(t, i - 1, "as") || isSymbol(t, i - 1, u':'))
        return false;
    if (t[i].kind == PgToken::Quoted)
        return !namesWithQuery(t, i);
    if (w == u"filter" || w == u"over")
        return !isSymbol(t, i - 1, u')');
    if (w == u"group")
        return !isWord(t, i - 1, "within");
    if (keywordsBeforeParenthesis().contains(w))
        return false;
    return !namesWithQuery(t, i);
}

// The report functions of the session: amount(units) and shortdate(stored)
// written for one locale, so that they print as the file's do
// (Money::format and shortDate).
QString sqlText(const QString &text)
{
    QString q = text;
    q.replace(u'\'', QLatin1String("''"));
    return u'\'' + q + u'\'';
}

QStringList sessionFunctions(const QLocale &locale)
{
    QStringList sql;
    // amount(): ten-thousandths rounded half away from zero to cents; the
    // file prints no sign for an amount that rounds to zero.
    sql << QStringLiteral(
        "CREATE FUNCTION pg_temp.amount(v numeric) RETURNS text LANGUAGE sql IMMUTABLE AS $f$ "
        "SELECT CASE WHEN v IS NULL OR v = 'NaN' OR abs(v) > 9.2e18 THEN NULL ELSE "
        "(SELECT CASE WHEN c < 0 THEN %1 ELSE '' END || CAST(trunc(abs(c) / 100) AS text) || %2 "
        "|| lpad(CAST(abs(c) % 100 AS text), 2, '0') FROM (SELECT round(round(v) / 100) AS c) AS x) END $f$")
               .arg(sqlText(locale.negativeSign()), sqlText(locale.decimalPoint()));
    sql << QStringLiteral("CREATE FUNCTION pg_temp.amount(v bigint) RETURNS text LANGUAGE sql IMMUTABLE AS "
                          "$f$ SELECT pg_temp.amount(CAST(v AS numeric)) $f$");
    sql << QStringLiteral(
        "CREATE FUNCTION pg_temp.amount(v double precision) RETURNS text LANGUAGE sql IMMUTABLE AS "
        "$f$ SELECT CASE WHEN v IN ('NaN', 'Infinity', '-Infinity') THEN NULL "
        "ELSE pg_temp.amount(CAST(v AS numeric)) END $f$");
    // A text counts when it is a whole number, as the file's engine reads it.
    sql << QStringLiteral("CREATE FUNCTION pg_temp.amount(v text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$ "
                          "SELECT CASE WHEN v ~ '^\\s*[-+]?[0-9]{1,19}\\s*$' AND CAST(trim(v) AS numeric) "
                          "BETWEEN -9223372036854775808 AND 9223372036854775807 "
                          "THEN pg_temp.amount(CAST(trim(v) AS numeric)) END $f$");

    // shortdate(): the locale's short format (its year in four digits),
    // piece by piece as QLocale writes it, the names and digits taken from
    // the locale itself.
    const QString format = shortDateFormat(locale);
    auto names = [&](const QString &token, bool days) {
        QStringList all;
        for (int k = 0; k < (days ? 7 : 12); ++k)
            all << sqlText(
                locale.toString(days ? QDate(2024, 1, 1).addDays(k) : QDate(2001, k + 1, 1), token));
        return QStringLiteral("(ARRAY[%1])[CAST(extract(%2 FROM d) AS int)]")
            .arg(all.join(u','), days ? QStringLiteral("isodow") : QStringLiteral("month"));
    };
    QString digits;
    for (int k = 0; k < 10; ++k)
        digits += locale.toString(k);
    auto number = [&](const char *pattern) {
        const QString piece = QStringLiteral("to_char(d, '%1')").arg(QLatin1String(pattern));
        return digits == QLatin1String("0123456789")
            ? piece
            : QStringLiteral("translate(%1, '0123456789', %2)").arg(piece, sqlText(digits));
    };
    QStringList pieces;
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            pieces << sqlText(literal);
        literal.clear();
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == u'\'') {
            // Quoted text; two quotes are one.
            qsizetype j = i + 1;
            if (j < format.size() && format[j] == u'\'') {
                literal += u'\'';
                i += 2;
                continue;
            }
            while (j < format.size()) {
                if (format[j] == u'\'') {
                    if (j + 1 < format.size() && format[j + 1] == u'\'') {
                        literal += u'\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                literal += format[j++];
            }
            i = j + 1;
            continue;
        }
        if (c == u'd' || c == u'M') {
            run = std::min<qsizetype>(run, 4);
            flush();
            const bool day = c == u'd';
            if (run == 1)
                pieces << number(day ? "FMDD" : "FMMM");
            else if (run == 2)
                pieces << number(day ? "DD" : "MM");
            else
                pieces << names(QString(run, c), day);
            i += run;
            continue;
        }
        if (c == u'y' && run >= 2) {
            flush();
            const bool four = run >= 4;
            pieces << number(four ? "YYYY" : "YY");
            i += four ? 4 : 2;
            continue;
        }
        literal += c;
        ++i;
    }
    flush();
    sql << QStringLiteral(
        "CREATE FUNCTION pg_temp.shortdate(v text) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $f$ "
        "DECLARE p text[]; d date; BEGIN "
        "IF v IS NULL THEN RETURN NULL; END IF; "
        "p := regexp_match(v, '^([0-9]{4})[-./:,;_]([0-9]{2})[-./:,;_]([0-9]{2})($|[^0-9])'); "
        "IF p IS NULL OR CAST(p[1] AS int) = 0 THEN RETURN v; END IF; "
        "BEGIN d := make_date(CAST(p[1] AS int), CAST(p[2] AS int), CAST(p[3] AS int)); "
        "EXCEPTION WHEN others THEN RETURN v; END; "
        "RETURN %1; END $f$")
               .arg(pieces.isEmpty() ? QStringLiteral("''") : pieces.join(QStringLiteral(" || ")));
    sql << QStringLiteral(
        "CREATE FUNCTION pg_temp.shortdate(v bigint) RETURNS text LANGUAGE sql IMMUTABLE AS "
        "$f$ SELECT CAST(v AS text) $f$");
    return sql;
}

// The first quoted name of a server's message: relation "bookings" ...
QString quotedInMessage(const QString &message)
{
    const qsizetype open = message.indexOf(u'"');
    const qsizetype close = open < 0 ? -1 : message.indexOf(u'"', open + 1);
    return close < 0 ? QString() : message.mid(open + 1, close - open - 1);
}

// A name as the query writes it: the server folds a bare name to lower case.
QString asWritten(const QString &name, const QString &sql)
{
    const QRegularExpression word(QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(name)),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = word.match(sql);
    return m.hasMatch() ? m.captured(0) : name;
}

std::atomic<int> reportConnections { 0 };

} // namespace

Status ReadOnlyConnection::openOnServer(const QLocale &locale)
{
    // The program's own connection first: it lays the tables in or brings
    // them up to date, so that this one only ever finds them ready.
    Status status;
    if (!database::connection(m_path, &status).isValid())
        return status;
    m_serverConnection = QStringLiteral("bm-report-%1").arg(++reportConnections);
    QSqlDatabase db = database::server::open(m_path, m_serverConnection, &status);
    if (!db.isValid()) {
        m_serverConnection.clear();
        return status;
    }
    QStringList setup = sessionFunctions(locale);
    // Then nothing it runs may write, and a query ends within the time a
    // report has (the progress loop below stops it first).
    setup << QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")
          << QStringLiteral("SET statement_timeout = %1").arg(queryTimeLimitMs + 5000);
    for (const QString &sql : std::as_const(setup)) {
        QSqlQuery q(db);
        if (Status s = database::server::exec(db, m_path, q, sql); !s)
            return database::server::failure(
                m_path, QStringLiteral("can not be read by a report (%1).").arg(s.message()));
    }
    m_server = database::server::libpq(db);
    if (!m_server)
        return database::server::failure(m_path, QStringLiteral("can not be read by a report."));
    return Status::ok();
}

Status ReadOnlyConnection::serverText(
    const QString &name, const QString &sql, const ReportValues &values, QString &out)
{
    namespace says = report::says;
    if (Status s = firstWordRefusal(name, sql); !s)
        return s;
    const QVariant booking = values.booking > 0 ? QVariant(values.booking) : QVariant();
    const QVariant guide = values.guide.isEmpty() ? QVariant() : QVariant(values.guide);
    const QVariantMap named { { QStringLiteral("booking"), booking }, { QStringLiteral("Booking"), booking },
        { QStringLiteral("BOOKING"), booking }, { QStringLiteral("guide"), guide },
        { QStringLiteral("Guide"), guide }, { QStringLiteral("GUIDE"), guide } };
    serversql::Translated translated;
    if (Status s = serversql::translate(sql, {}, translated, named); !s) {
        static const QRegularExpression noValue(QStringLiteral("no value is given for :(\\w+)"));
        if (const auto m = noValue.match(s.message()); m.hasMatch())
            return says::queryUnknownValue(name, u':' + m.captured(1));
        if (s.message().contains(QLatin1String("more ? than values")))
            return says::queryUnknownValue(name, QStringLiteral("?"));
        if (s.message().contains(QLatin1String("more than one statement")))
            return says::queryHoldsMore(name);
        return says::queryFailed(name, s.message());
    }
    // What would write is found in the server's words (the translation
    // also counts replace() as a write); the session's read-only
    // transactions stop whatever this misses.
    QList<PgToken> tokens;
    QString why;
    if (!pgTokens(translated.text, tokens, why))
        return says::queryFailed(name, why);
    for (qsizetype i = 0; i + 1 < tokens.size(); ++i)
        if (isSymbol(tokens, i, u';'))
            return says::queryHoldsMore(name);
    for (qsizetype i = 0; i < tokens.size(); ++i)
        if (tokens[i].kind == PgToken::Word && !isSymbol(tokens, i + 1, u'(')
            && db::serversql::changesTheDatabase(tokens[i].text))
            return says::queryWouldChange(name);
    QString text = translated.text;
    QList<qsizetype> ownFunctions; // where amount( and shortdate( stand
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const PgToken &t = tokens[i];
        // A function may be called by its name in double quotes too.
        if ((t.kind != PgToken::Word && t.kind != PgToken::Quoted) || !isSymbol(tokens, i + 1, u'(')
            || !callsFunction(tokens, i))
            continue;
        // A function of a schema named is none of the report functions.
        if (isSymbol(tokens, i - 1, u'.'))
            return says::queryCallsRefusedFunction(
                name, (i >= 2 ? tokens[i - 2].text + u'.' : QString()) + t.text);
        if (!serverFunctions().contains(t.text)) {
            if (reportFunctions().contains(t.text))
                return says::queryFunctionNotOnServer(name, t.text);
            return says::queryCallsRefusedFunction(name, t.text);
        }
        if (t.text == u"amount" || t.text == u"shortdate")
            ownFunctions << t.start;
    }
    // The server finds functions of the session only by their schema.
    for (qsizetype k = ownFunctions.size() - 1; k >= 0; --k)
        text.insert(ownFunctions[k], QLatin1String("pg_temp."));
    out = text;
    return Status::ok();
}

Status ReadOnlyConnection::prepareOnServer(
    const QString &name, const QString &sql, const ReportValues &values, Query &out) const
{
    namespace says = report::says;
    QString text;
    if (Status s = serverText(name, sql, values, text); !s)
        return s;
    // Prepared first: the server takes one statement only this way, and
    // says whether it gives rows, before anything runs.
    auto refusal = [&](const PGresult *r) {
        const QString state = QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE));
        const QString message = r ? QString::fromUtf8(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY))
                                  : QString::fromUtf8(PQerrorMessage(m_server)).trimmed();
        qCWarning(dataLog).noquote() << QStringLiteral("%1: the server refused the report's query \"%2\": %3")
                                            .arg(database::displayName(m_path), text, message);
        if (PQstatus(m_server) != CONNECTION_OK)
            return database::server::failure(m_path, QStringLiteral("can not be reached (%1).").arg(message));
        if (state == QLatin1String("42P01"))
            return says::queryFailed(
                name, QStringLiteral("no such table: ") + asWritten(quotedInMessage(message), sql));
        if (state == QLatin1String("42703"))
            return says::queryFailed(
                name, QStringLiteral("no such column: ") + asWritten(quotedInMessage(message), sql));
        if (state == QLatin1String("25006"))
            return says::queryWouldChange(name);
        if (message.contains(QLatin1String("multiple commands")))
            return says::queryHoldsMore(name);
        if (state == QLatin1String("54000"))
            return says::queryValueTooLarge(name);
        if (state == QLatin1String("57014"))
            return says::queryFailed(name, QStringLiteral("interrupted"));
        return says::queryFailed(name, message);
    };
    PGresult *prepared = PQprepare(m_server, "", text.toUtf8().constData(), 0, nullptr);
    const bool preparedOk = PQresultStatus(prepared) == PGRES_COMMAND_OK;
    const Status notPrepared = preparedOk ? Status::ok() : refusal(prepared);
    PQclear(prepared);
    if (!notPrepared)
        return notPrepared;
    PGresult *described = PQdescribePrepared(m_server, "");
    const int columns = PQresultStatus(described) == PGRES_COMMAND_OK ? PQnfields(described) : -1;
    const Status notDescribed = columns >= 0 ? Status::ok() : refusal(described);
    // Asked before the statement runs: the connection has nothing else to
    // do while the rows come.
    QList<std::pair<QString, QString>> origins;
    if (columns > 0)
        origins = originsOf(described);
    PQclear(described);
    if (!notDescribed)
        return notDescribed;
    if (columns == 0)
        return says::queryWouldChange(name);
    m_timer.start();
    return runOnServer(name, text, std::move(origins), out);
}

Status ReadOnlyConnection::runOnServer(
    const QString &name, const QString &text, QList<std::pair<QString, QString>> origins, Query &out) const
{
    // Sent whole again: asking for the origins has let the prepared one go.
    // Sent this way the server still takes one statement only.
    if (!PQsendQueryParams(m_server, text.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
        return database::server::failure(m_path,
            QStringLiteral("can not be reached (%1).")
                .arg(QString::fromUtf8(PQerrorMessage(m_server)).trimmed()));
    // A row at a time: what the report may read is counted as it comes,
    // and the rest of a result too large for it never reaches this side.
    if (!PQsetSingleRowMode(m_server))
        qCWarning(dataLog).noquote() << database::displayName(m_path)
                                     << "the report's rows come all at once: single-row mode was refused";
    PGresult *first = nullptr;
    if (Status s = nextServerRows(name, first); !s)
        return s;
    out.adoptResult(first, std::move(origins), PQresultStatus(first) == PGRES_SINGLE_TUPLE, name);
    return Status::ok();
}

Status ReadOnlyConnection::nextServerRows(const QString &name, pg_result *&rows) const
{
    namespace says = report::says;
    rows = nullptr;
    // The server works while the progress is asked, as the file's engine
    // asks it between its steps; a stop or the time limit cancels the query
    // on the server.
    bool stopped = false, tooLong = false;
    const int socket = PQsocket(m_server);
    // The socket is read only while no whole row is at hand here: reading
    // ahead would make libpq keep moving what it holds.
    while (PQisBusy(m_server)) {
        if (!stopped && !tooLong) {
            tooLong = m_timer.elapsed() > queryTimeLimitMs;
            stopped = !tooLong && m_stillWanted && !m_stillWanted();
            if (stopped || tooLong)
                cancelOnServer();
        }
        pollfd wait { socket, POLLIN, 0 };
        poll(&wait, 1, 25);
        if (!PQconsumeInput(m_server))
            break;
    }
    PGresult *result = PQgetResult(m_server);
    const ExecStatusType state = PQresultStatus(result);
    const bool gaveRows = state == PGRES_SINGLE_TUPLE || state == PGRES_TUPLES_OK;
    // The end of the result, or a failure: what is left of it goes, and
    // the connection is ready for the next query.
    if (state != PGRES_SINGLE_TUPLE)
        drainOnServer();
    if (stopped) {
        PQclear(result);
        if (state == PGRES_SINGLE_TUPLE)
            abandonOnServer();
        return says::stopped();
    }
    if (!tooLong && gaveRows) {
        rows = result;
        return Status::ok();
    }
    if (state == PGRES_SINGLE_TUPLE)
        abandonOnServer();
    const bool failure = result && !gaveRows;
    const QString message = failure ? QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))
                                    : QString::fromUtf8(PQerrorMessage(m_server)).trimmed();
    const QString sqlState
        = failure ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    PQclear(result);
    qCWarning(dataLog).noquote() << QStringLiteral("%1: the report's query %2 failed: %3")
                                        .arg(database::displayName(m_path), name, message);
    if (PQstatus(m_server) != CONNECTION_OK)
        return database::server::failure(m_path, QStringLiteral("can not be reached (%1).").arg(message));
    if (tooLong || sqlState == QLatin1String("57014"))
        return says::queryFailed(name, QStringLiteral("interrupted"));
    if (sqlState == QLatin1String("25006"))
        return says::queryWouldChange(name);
    if (sqlState == QLatin1String("54000"))
        return says::queryValueTooLarge(name);
    return says::queryFailed(name, message);
}

void ReadOnlyConnection::cancelOnServer() const
{
    char error[256] = {};
    PGcancel *cancel = PQgetCancel(m_server);
    if (!cancel || !PQcancel(cancel, error, sizeof error))
        qCWarning(dataLog).noquote() << database::displayName(m_path)
                                     << "the report's query could not be cancelled:" << error;
    PQfreeCancel(cancel);
}

void ReadOnlyConnection::drainOnServer() const
{
    while (PGresult *r = PQgetResult(m_server))
        PQclear(r);
}

void ReadOnlyConnection::abandonOnServer() const
{
    cancelOnServer();
    drainOnServer();
}

// The table and field each column is read from, asked of the server once
// per table.
QList<std::pair<QString, QString>> ReadOnlyConnection::originsOf(const PGresult *result) const
{
    auto keyOf = [](Oid table, int column) { return (quint64(table) << 16) | quint64(column); };
    QStringList unknown;
    for (int c = 0; c < PQnfields(result); ++c) {
        const Oid table = PQftable(result, c);
        if (table != InvalidOid && PQftablecol(result, c) > 0 && !m_origins.contains(keyOf(table, 0))
            && !unknown.contains(QString::number(table)))
            unknown << QString::number(table);
    }
    if (!unknown.isEmpty()) {
        const QByteArray sql = QStringLiteral(
            "SELECT a.attrelid, a.attnum, c.relname, a.attname FROM pg_catalog.pg_attribute a "
            "JOIN pg_catalog.pg_class c ON c.oid = a.attrelid WHERE a.attrelid IN (%1) AND a.attnum > 0")
                                   .arg(unknown.join(u','))
                                   .toUtf8();
        PGresult *names = PQexec(m_server, sql.constData());
        if (PQresultStatus(names) == PGRES_TUPLES_OK) {
            for (int r = 0; r < PQntuples(names); ++r) {
                const Oid table = Oid(QByteArray(PQgetvalue(names, r, 0)).toULongLong());
                m_origins.insert(keyOf(table, 0), {});
                m_origins.insert(keyOf(table, QByteArray(PQgetvalue(names, r, 1)).toInt()),
                    { QString::fromUtf8(PQgetvalue(names, r, 2)),
                        QString::fromUtf8(PQgetvalue(names, r, 3)) });
            }
        } else {
            // Without them the columns print as text, as the query gives them.
            qCWarning(dataLog).noquote()
                << database::displayName(m_path) << "the fields of a report's tables could not be read:"
                << QString::fromUtf8(PQresultErrorMessage(names)).trimmed();
        }
        PQclear(names);
    }
    QList<std::pair<QString, QString>> origins;
    for (int c = 0; c < PQnfields(result); ++c)
        origins << m_origins.value(keyOf(PQftable(result, c), PQftablecol(result, c)));
    return origins;
}

} // namespace bm::db
