#include "data/report/runner.h"

#include "data/apppaths.h"
#include "data/database.h"
#include "data/dates.h"
#include "data/money.h"
#include "data/report/definition.h"
#include "data/schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <kainjow/mustache.hpp>
#include <sqlite3.h>

#include <cmath>
#include <string>

namespace bm::report
{

namespace km = kainjow::mustache;

namespace
{

// A query that runs away (an endless recursive WITH) is stopped.
constexpr qint64 queryTimeLimitMs = 60 * 1000;
constexpr int maxRows = 1000000;
constexpr std::size_t maxOutputBytes = std::size_t(256) << 20;
constexpr double maxRepeats = 2e6;

std::string utf8(const QString &s)
{
    return s.toStdString();
}

// Values print as typed: markup characters are escaped, line breaks kept,
// control characters (which no page can show) dropped.
std::string htmlEscape(const std::string &s)
{
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (const char ch : s) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\n':
            out += "<br/>";
            break;
        case '\t':
            out += ' ';
            break;
        default:
            if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7f)
                out += ch;
            break;
        }
    }
    return out;
}

// The footer is plain text: nothing to escape, one line.
std::string plainText(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (const char ch : s) {
        if (ch == '\n' || ch == '\t')
            out += ' ';
        else if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7f)
            out += ch;
    }
    return out;
}

QString locationOf(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

// SQL functions for the queries: amount(units) prints an amount of the
// database as "###0.00" (for sums), shortdate(text) a stored date.
void amountFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *locale = static_cast<const QLocale *>(sqlite3_user_data(ctx));
    const qint64 units = sqlite3_value_type(argv[0]) == SQLITE_FLOAT
        ? qint64(std::llround(sqlite3_value_double(argv[0])))
        : sqlite3_value_int64(argv[0]);
    const QByteArray text = Money::fromUnits(units).format(*locale).toUtf8();
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void shortDateFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *locale = static_cast<const QLocale *>(sqlite3_user_data(ctx));
    const auto *raw = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QString stored = QString::fromUtf8(raw ? raw : "");
    const QDate d = QDate::fromString(stored, Qt::ISODate);
    const QByteArray text = (d.isValid() ? shortDate(d, *locale) : stored).toUtf8();
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
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

int progressHandler(void *timer)
{
    return static_cast<QElapsedTimer *>(timer)->elapsed() > queryTimeLimitMs ? 1 : 0;
}

// A connection of the report's own to the database file, opened read-only.
class ReadOnlyConnection
{
public:
    ReadOnlyConnection()
        : m_name(QStringLiteral("bm-report-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
    }
    ~ReadOnlyConnection()
    {
        if (m_handle)
            sqlite3_set_authorizer(m_handle, nullptr, nullptr);
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    ReadOnlyConnection(const ReadOnlyConnection &) = delete;
    ReadOnlyConnection &operator=(const ReadOnlyConnection &) = delete;

    Status open(const QString &path, const QLocale *locale)
    {
        const QString shown = database::displayName(path);
        if (!QFileInfo(path).isFile())
            return Status::failure(QStringLiteral("The database file %1 does not exist.").arg(shown));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            return Status::failure(QStringLiteral("The database file %1 can not be opened (%2).")
                                       .arg(shown, db.lastError().driverText()));
        QSqlQuery pragma(db);
        if (!pragma.exec(QStringLiteral("PRAGMA query_only=1")))
            return Status::failure(QStringLiteral("The database file %1 can not be read (%2).")
                                       .arg(shown, pragma.lastError().driverText()));
        const QVariant v = db.driver()->handle();
        if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
            m_handle = *static_cast<sqlite3 *const *>(v.constData());
        if (!m_handle)
            return Status::failure(QStringLiteral("The database file %1 can not be read.").arg(shown));
        sqlite3_create_function_v2(m_handle, "amount", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
            const_cast<QLocale *>(locale), amountFunction, nullptr, nullptr, nullptr);
        sqlite3_create_function_v2(m_handle, "shortdate", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
            const_cast<QLocale *>(locale), shortDateFunction, nullptr, nullptr, nullptr);
        // A misspelt field in double quotes is an error, not a text.
        sqlite3_db_config(m_handle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(m_handle, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        sqlite3_set_authorizer(m_handle, readOnlyAuthorizer, nullptr);
        return Status::ok();
    }

    sqlite3 *handle() const { return m_handle; }

private:
    QString m_name;
    sqlite3 *m_handle = nullptr;
};

struct Statement {
    sqlite3_stmt *stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

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

// The engine's complaint in the words of a guide.
QString explain(const Query &q, const QString &engineMessage)
{
    static const QRegularExpression noTable(QStringLiteral("^no such table: (.+)$"));
    static const QRegularExpression noColumn(QStringLiteral("^no such column: (.+)$"));
    if (const auto m = noTable.match(engineMessage); m.hasMatch())
        return QStringLiteral("The query \"%1\" reads the table %2, which the database does not have.")
            .arg(q.name, m.captured(1));
    if (const auto m = noColumn.match(engineMessage); m.hasMatch())
        return QStringLiteral("The query \"%1\" names the field %2, which its tables do not have.")
            .arg(q.name, m.captured(1));
    if (engineMessage.contains(QLatin1String("not authorized"))
        || engineMessage.contains(QLatin1String("readonly"))
        || engineMessage.contains(QLatin1String("read-only")))
        return QStringLiteral("The query \"%1\" would change the database. A report can only read it.")
            .arg(q.name);
    if (engineMessage == QLatin1String("interrupted"))
        return QStringLiteral("The query \"%1\" took too long and was stopped.").arg(q.name);
    return QStringLiteral("The query \"%1\" could not be run: %2.").arg(q.name, engineMessage);
}

QString engineMessage(sqlite3 *h)
{
    return QString::fromUtf8(sqlite3_errmsg(h));
}

// The kind of a result column: that of the table field it comes from, else
// text (a computed value prints as the query gives it).
FieldKind kindOf(sqlite3_stmt *stmt, int column)
{
    const char *table = sqlite3_column_table_name(stmt, column);
    const char *origin = sqlite3_column_origin_name(stmt, column);
    if (!table || !origin)
        return FieldKind::Text;
    const TableDef *def = schema::table(QString::fromUtf8(table));
    if (!def)
        return FieldKind::Text;
    const QString field = QString::fromUtf8(origin);
    for (const FieldDef &f : def->fields)
        if (f.name == field)
            return f.kind;
    return FieldKind::Text;
}

// One value as the report prints it; no value is false, so that a section
// {{#Email}}..{{/Email}} shows only where there is one.
km::data valueOf(sqlite3_stmt *stmt, int column, FieldKind kind, const QLocale &locale)
{
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL || type == SQLITE_BLOB)
        return km::data(false);
    if (kind == FieldKind::Amount && (type == SQLITE_INTEGER || type == SQLITE_FLOAT)) {
        const qint64 units = type == SQLITE_INTEGER
            ? sqlite3_column_int64(stmt, column)
            : qint64(std::llround(sqlite3_column_double(stmt, column)));
        return km::data(utf8(Money::fromUnits(units).format(locale)));
    }
    const auto *raw = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    const int bytes = sqlite3_column_bytes(stmt, column);
    if (!raw || bytes == 0)
        return km::data(false);
    std::string text(raw, std::size_t(bytes));
    if (kind == FieldKind::Date) {
        const QDate d = QDate::fromString(QString::fromUtf8(raw, bytes), Qt::ISODate);
        if (d.isValid())
            text = utf8(shortDate(d, locale));
    }
    return km::data(text);
}

// Runs one query and gives its rows; names collects its column names.
Status runQuery(sqlite3 *h, const Query &q, const Request &request, km::data &rows, QSet<QString> &names)
{
    const QString word = firstWord(q.sql);
    static const QStringList writes = { QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
        QStringLiteral("DELETE"), QStringLiteral("REPLACE"), QStringLiteral("DROP"), QStringLiteral("CREATE"),
        QStringLiteral("ALTER"), QStringLiteral("ATTACH"), QStringLiteral("DETACH"), QStringLiteral("VACUUM"),
        QStringLiteral("PRAGMA"), QStringLiteral("REINDEX"), QStringLiteral("BEGIN"),
        QStringLiteral("COMMIT"), QStringLiteral("END"), QStringLiteral("ROLLBACK"),
        QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE") };
    if (writes.contains(word))
        return Status::failure(
            QStringLiteral("The query \"%1\" would change the database. A report can only read it.")
                .arg(q.name));
    if (word != QLatin1String("SELECT") && word != QLatin1String("WITH") && word != QLatin1String("VALUES"))
        return Status::failure(
            QStringLiteral("The query \"%1\" is not a SELECT. A report can only read the database.")
                .arg(q.name));

    const QByteArray sql = q.sql.toUtf8();
    Statement st;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(h, sql.constData(), int(sql.size()), &st.stmt, &tail) != SQLITE_OK)
        return Status::failure(explain(q, engineMessage(h)));
    if (!st.stmt)
        return Status::failure(QStringLiteral("The query \"%1\" is empty.").arg(q.name));
    {
        Statement rest;
        const char *end = sql.constData() + sql.size();
        if (tail && tail < end) {
            const int restOk = sqlite3_prepare_v2(h, tail, int(end - tail), &rest.stmt, nullptr);
            if (restOk != SQLITE_OK || rest.stmt)
                return Status::failure(QStringLiteral(
                    "The query \"%1\" holds more than one statement. Write one SELECT per query.")
                                           .arg(q.name));
        }
    }
    if (!sqlite3_stmt_readonly(st.stmt) || sqlite3_column_count(st.stmt) == 0)
        return Status::failure(
            QStringLiteral("The query \"%1\" would change the database. A report can only read it.")
                .arg(q.name));

    for (int p = 1; p <= sqlite3_bind_parameter_count(st.stmt); ++p) {
        const char *raw = sqlite3_bind_parameter_name(st.stmt, p);
        const QString name = raw ? QString::fromUtf8(raw) : QStringLiteral("?");
        if (name.mid(1).compare(QLatin1String("booking"), Qt::CaseInsensitive) == 0 && name.size() > 1) {
            if (request.selection.isValid())
                sqlite3_bind_int64(st.stmt, p, request.selection.id);
            else
                sqlite3_bind_null(st.stmt, p);
        } else {
            return Status::failure(
                QStringLiteral("The query \"%1\" uses the value %2, which the report is not "
                               "given. Only :booking is known.")
                    .arg(q.name, name));
        }
    }

    const int columns = sqlite3_column_count(st.stmt);
    std::vector<std::string> columnNames;
    std::vector<FieldKind> kinds;
    for (int c = 0; c < columns; ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(st.stmt, c));
        names.insert(name);
        columnNames.push_back(utf8(name));
        kinds.push_back(kindOf(st.stmt, c));
    }

    QElapsedTimer timer;
    timer.start();
    sqlite3_progress_handler(h, 10000, progressHandler, &timer);
    std::vector<km::data> list;
    int rc;
    while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
        if (int(list.size()) >= maxRows) {
            sqlite3_progress_handler(h, 0, nullptr, nullptr);
            return Status::failure(
                QStringLiteral("The query \"%1\" gives more than %2 rows, too many to print.")
                    .arg(q.name)
                    .arg(maxRows));
        }
        km::data row;
        for (int c = 0; c < columns; ++c)
            row[columnNames[std::size_t(c)]] = valueOf(st.stmt, c, kinds[std::size_t(c)], request.locale);
        row["Row Number"] = km::data(std::to_string(list.size() + 1));
        row["First Row"] = km::data(list.empty());
        row["Even Row"] = km::data(list.size() % 2 == 1);
        list.push_back(std::move(row));
    }
    sqlite3_progress_handler(h, 0, nullptr, nullptr);
    if (rc != SQLITE_DONE)
        return Status::failure(explain(q, engineMessage(h)));

    rows = km::data(km::data::type::list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i]["Last Row"] = km::data(i + 1 == list.size());
        rows.push_back(list[i]);
    }
    return Status::ok();
}

// Every tag of the layout names something the report gives: a typing
// mistake in a field name would otherwise print as nothing.
Status checkNames(const QString &layout, const QSet<QString> &known, const QHash<QString, int> &rowCounts,
    const QString &where)
{
    // The rows a section repeats for, multiplied down the sections it stands
    // in: {{#q}} inside {{#q}} prints every row for every row.
    QList<QPair<QString, double>> open;
    double repeats = 1;
    if (layout.contains(QLatin1String("{{=")))
        return Status::ok(); // other tag marks: left to the template library
    static const QRegularExpression tag(
        QStringLiteral(R"(\{\{(.*?)\}\})"), QRegularExpression::DotMatchesEverythingOption);
    for (auto it = tag.globalMatch(layout); it.hasNext();) {
        QString content = it.next().captured(1);
        if (content.startsWith(QLatin1Char('{')))
            content = content.mid(1);
        content = content.trimmed();
        if (content.isEmpty())
            continue;
        const QChar sigil = content.at(0);
        if (sigil == QLatin1Char('!'))
            continue;
        if (sigil == QLatin1Char('>'))
            return Status::failure(
                QStringLiteral("The %1 uses {{%2}}, but a report can not take in other files.")
                    .arg(where, content));
        if (QStringLiteral("#^/&").contains(sigil))
            content = content.mid(1).trimmed();
        if (sigil == QLatin1Char('#') || sigil == QLatin1Char('^')) {
            const double times = sigil == QLatin1Char('#') ? rowCounts.value(content, 1) : 1;
            open.append({ content, times });
            repeats *= times;
            if (repeats > maxRepeats)
                return Status::failure(
                    QStringLiteral("The %1 repeats {{#%2}} inside another section so often "
                                   "that it can not be printed. Check that no section "
                                   "stands inside itself.")
                        .arg(where, content));
        } else if (sigil == QLatin1Char('/') && !open.isEmpty() && open.constLast().first == content) {
            open.removeLast();
            repeats = 1;
            for (const auto &section : std::as_const(open))
                repeats *= section.second;
        }
        if (content == QLatin1String("."))
            continue;
        for (const QString &part : content.split(QLatin1Char('.'))) {
            if (!known.contains(part.trimmed()))
                return Status::failure(
                    QStringLiteral("The %1 names {{%2}}, which none of the report's queries gives.")
                        .arg(where, part.trimmed()));
        }
    }
    return Status::ok();
}

Status fill(const QString &text, const km::data &data, bool html, const QString &where, QString &out)
{
    km::mustache tmpl(utf8(text));
    if (!tmpl.is_valid())
        return Status::failure(QStringLiteral("The %1 has a mistake: %2.")
                                   .arg(where, QString::fromStdString(tmpl.error_message())));
    tmpl.set_custom_escape(html ? htmlEscape : plainText);
    // A section inside itself ({{#q}}{{#q}}..) multiplies the rows: the
    // layout is given up before it fills the memory.
    struct TooLong {
    };
    std::string result;
    try {
        tmpl.render(data, [&result](const std::string &piece) {
            result += piece;
            if (result.size() > maxOutputBytes)
                throw TooLong {};
        });
    } catch (const TooLong &) {
        return Status::failure(QStringLiteral("The %1 would print more than %2 MB. Check that no section "
                                              "{{#NAME}} stands inside itself.")
                                   .arg(where)
                                   .arg(maxOutputBytes >> 20));
    } catch (const std::bad_alloc &) {
        return Status::failure(QStringLiteral("The %1 is too large to print.").arg(where));
    }
    if (!tmpl.is_valid())
        return Status::failure(QStringLiteral("The %1 has a mistake: %2.")
                                   .arg(where, QString::fromStdString(tmpl.error_message())));
    out = QString::fromStdString(result);
    return Status::ok();
}

Status renderDefinition(const Request &request, Rendered &out)
{
    const QString path = request.definitionPath;
    const QFileInfo info(path);
    if (!info.exists())
        return Status::failure(
            QStringLiteral("The report file is missing from the folder %1.").arg(locationOf(path)));
    if (!info.isFile())
        return Status::failure(
            QStringLiteral("%1 is not a report file.").arg(QDir::toNativeSeparators(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::failure(
            QStringLiteral("The report file can not be read: %1.").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Status::failure(
            QStringLiteral("The report file can not be read: %1.").arg(file.errorString()));
    file.close();

    Definition def;
    if (const Status s = parseDefinition(QString::fromUtf8(bytes), def); !s)
        return s;

    out.fileName = info.fileName();
    out.folder = info.absolutePath();
    out.title = def.title.isEmpty() ? info.completeBaseName() : def.title;
    out.landscape = def.landscape;
    out.printDate = shortDate(request.printDate, request.locale);

    km::data data;
    data["Title"] = km::data(utf8(out.title));
    data["Print Date"] = out.printDate.isEmpty() ? km::data(false) : km::data(utf8(out.printDate));
    data["Report"] = km::data(utf8(out.fileName));
    QSet<QString> known = { QStringLiteral("Title"), QStringLiteral("Print Date"), QStringLiteral("Report"),
        QStringLiteral("Row Number"), QStringLiteral("First Row"), QStringLiteral("Last Row"),
        QStringLiteral("Even Row") };

    QHash<QString, int> rowCounts;
    if (!def.queries.isEmpty()) {
        ReadOnlyConnection connection;
        const QString dbPath = request.databasePath.isEmpty() ? databasePath() : request.databasePath;
        if (const Status s = connection.open(dbPath, &request.locale); !s)
            return s;
        for (const Query &q : def.queries) {
            km::data rows;
            if (const Status s = runQuery(connection.handle(), q, request, rows, known); !s)
                return s;
            known.insert(q.name);
            rowCounts.insert(q.name, int(rows.list_value().size()));
            data[utf8(q.name)] = std::move(rows);
        }
    }

    for (const auto &[text, where] : { std::pair { def.layout, QStringLiteral("layout") },
             std::pair { def.footer, QStringLiteral("footer") } }) {
        km::mustache parsed(utf8(text));
        if (!parsed.is_valid())
            return Status::failure(QStringLiteral("The %1 has a mistake: %2.")
                                       .arg(where, QString::fromStdString(parsed.error_message())));
    }
    if (const Status s = checkNames(def.layout, known, rowCounts, QStringLiteral("layout")); !s)
        return s;
    if (const Status s = checkNames(def.footer, known, rowCounts, QStringLiteral("footer")); !s)
        return s;
    if (const Status s = fill(def.layout, data, true, QStringLiteral("layout"), out.html); !s)
        return s;
    if (const Status s = fill(def.footer, data, false, QStringLiteral("footer"), out.footer); !s)
        return s;
    out.footer = out.footer.simplified();
    return Status::ok();
}

} // namespace

Status render(const Request &request, Rendered &out)
{
    out = Rendered();
    const Status s = renderDefinition(request, out);
    if (s)
        return s;
    out = Rendered();
    const QString name = QFileInfo(request.definitionPath).fileName();
    return Status::failure(
        QStringLiteral("The report \"%1\" could not be printed.\n%2").arg(name, s.message()));
}

} // namespace bm::report
