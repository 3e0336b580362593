#include "db/query.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/database.h"
#include "db/engine/engine.h"
#include "db/engine/server.h"
#include "db/engine/serversql.h"
#include "db/fieldvalue.h"
#include "db/readonly.h"
#include "schema/schema.h"

#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace bm::db
{

namespace
{

QString fileOf(const QString &path)
{
    return path.isEmpty() ? databasePath() : path;
}

QString reasonOf(sqlite3 *h)
{
    return h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("the file can not be opened");
}

Status refusal(const QString &path, const QString &sql, const QString &reason)
{
    qCWarning(dataLog).noquote()
        << QStringLiteral("%1: the database refused \"%2\": %3").arg(db::displayName(path), sql, reason);
    return Status::failure(QStringLiteral("The database could not do this: %1").arg(reason));
}

// One prepared statement of the engine, finalized when it goes.
struct Statement {
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;

    Statement() = default;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement() { sqlite3_finalize(stmt); }

    bool prepare(sqlite3 *handle, const QString &sql)
    {
        db = handle;
        const QByteArray utf8 = sql.toUtf8();
        return sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr) == SQLITE_OK
            && stmt;
    }

    bool bind(const QVariantList &binds)
    {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        for (int i = 0; i < binds.size(); ++i) {
            const QVariant &v = binds[i];
            int rc = SQLITE_OK;
            if (v.isNull()) {
                rc = sqlite3_bind_null(stmt, i + 1);
            } else {
                switch (v.typeId()) {
                case QMetaType::Int:
                case QMetaType::UInt:
                case QMetaType::LongLong:
                case QMetaType::Long:
                case QMetaType::Bool:
                    rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
                    break;
                case QMetaType::Double:
                    rc = sqlite3_bind_double(stmt, i + 1, v.toDouble());
                    break;
                case QMetaType::QByteArray: {
                    const QByteArray b = v.toByteArray();
                    rc = sqlite3_bind_blob64(
                        stmt, i + 1, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
                    break;
                }
                default: {
                    const QByteArray t = v.toString().toUtf8();
                    rc = sqlite3_bind_text64(
                        stmt, i + 1, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
                }
                }
            }
            if (rc != SQLITE_OK)
                return false;
        }
        return true;
    }
};

} // namespace

struct Query::Engine {
    Statement statement;
    bool row = false;
    // On a server: the whole result, read when the statement ran, and the
    // texts handed out of the current row.
    std::optional<QSqlQuery> server;
    QHash<int, QByteArray> texts;
    // A report's result read on its own server connection, with the
    // origin of each column, and the row at hand.
    PGresult *result = nullptr;
    QList<std::pair<QString, QString>> origins;
    int resultRow = -1;
    bool moreToCome = false; // the server is still sending the result
    QString name; // of the report's query

    Engine() = default;
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;
    ~Engine()
    {
        if (result)
            PQclear(result);
    }
};

namespace
{

// The server's type numbers (pg_type.dat) a value is read by.
enum : Oid {
    boolOid = 16,
    byteaOid = 17,
    int8Oid = 20,
    int2Oid = 21,
    int4Oid = 23,
    oidOid = 26,
    float4Oid = 700,
    float8Oid = 701,
    numericOid = 1700,
};

// A value of a report's result as the file's engine would give it.
QVariant resultValue(const PGresult *r, int row, int column)
{
    if (PQgetisnull(r, row, column))
        return {};
    const char *raw = PQgetvalue(r, row, column);
    const int length = PQgetlength(r, row, column);
    switch (PQftype(r, column)) {
    case boolOid:
        return qlonglong(raw[0] == 't' ? 1 : 0);
    case int2Oid:
    case int4Oid:
    case int8Oid:
    case oidOid:
        return QByteArray(raw, length).toLongLong();
    case float4Oid:
    case float8Oid:
    case numericOid:
        return QByteArray(raw, length).toDouble();
    case byteaOid: {
        size_t size = 0;
        unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(raw), &size);
        const QByteArray out(reinterpret_cast<const char *>(bytes), qsizetype(size));
        PQfreemem(bytes);
        return out;
    }
    default:
        return QString::fromUtf8(raw, length);
    }
}

} // namespace

Query::Query(const QString &path)
    : m_path(fileOf(path))
{
}

Query::Query(const ReadOnlyConnection &connection)
    : m_path(connection.path())
    , m_readOnly(&connection)
{
}

Query::~Query()
{
    // A result left part way is stopped on the server, which is then ready
    // for the report's next query.
    if (m_engine && m_engine->moreToCome && m_readOnly)
        m_readOnly->abandonOnServer();
}

Query::Query(Query &&) noexcept = default;
Query &Query::operator=(Query &&) noexcept = default;

Status Query::failed(const QString &sql, const QString &reason)
{
    m_reason = reason;
    m_status = refusal(m_path, sql, reason);
    return m_status;
}

Status Query::run(const QString &sql, const QVariantList &binds)
{
    m_columns.clear();
    m_engine = std::make_unique<Engine>();
    m_reason.clear();
    m_status = Status::ok();
    if (!m_readOnly && onServer(m_path))
        return runOnServer(sql, binds);
    sqlite3 *h = nullptr;
    if (m_readOnly) {
        h = m_readOnly->handle();
    } else {
        Status opened;
        h = db::engine(m_path, &opened);
        if (!h) {
            m_reason = opened.message();
            return m_status = opened;
        }
    }
    if (!h)
        return failed(sql, reasonOf(nullptr));
    Statement &st = m_engine->statement;
    if (!st.prepare(h, sql))
        return failed(
            sql, sqlite3_errcode(h) == SQLITE_OK ? QStringLiteral("there is no statement") : reasonOf(h));
    // Writes go through the write path, which tells the windows.
    if (!sqlite3_stmt_readonly(st.stmt))
        return failed(sql, QStringLiteral("a statement that changes the file is not a query"));
    if (!st.bind(binds))
        return failed(sql, reasonOf(h));
    const int n = sqlite3_column_count(st.stmt);
    for (int c = 0; c < n; ++c)
        m_columns.insert(QString::fromUtf8(sqlite3_column_name(st.stmt, c)), c);
    return m_status;
}

Status Query::runOnServer(const QString &sql, const QVariantList &binds)
{
    Status opened;
    QSqlDatabase db = db::connection(m_path, &opened);
    if (!db.isValid()) {
        m_reason = opened.message();
        return m_status = opened;
    }
    serversql::Translated statement;
    if (Status s = serversql::translate(sql, binds, statement); !s)
        return failed(sql, s.message());
    if (statement.writes)
        return failed(sql, QStringLiteral("a statement that changes the file is not a query"));
    QSqlQuery &q = m_engine->server.emplace(db);
    if (Status s = db::server::exec(db, m_path, q, statement.text); !s) {
        m_reason = s.message();
        return m_status = s;
    }
    const QSqlRecord record = q.record();
    for (int c = 0; c < record.count(); ++c)
        m_columns.insert(record.fieldName(c), c);
    return m_status;
}

void Query::adoptResult(
    PGresult *result, QList<std::pair<QString, QString>> origins, bool moreToCome, const QString &name)
{
    m_columns.clear();
    m_reason.clear();
    m_status = Status::ok();
    m_engine = std::make_unique<Engine>();
    m_engine->result = result;
    m_engine->origins = std::move(origins);
    m_engine->moreToCome = moreToCome;
    m_engine->name = name;
    for (int c = 0; c < PQnfields(result); ++c)
        m_columns.insert(QString::fromUtf8(PQfname(result, c)), c);
}

void Query::adopt(sqlite3 *db, sqlite3_stmt *stmt)
{
    m_columns.clear();
    m_reason.clear();
    m_status = Status::ok();
    m_engine = std::make_unique<Engine>();
    m_engine->statement.db = db;
    m_engine->statement.stmt = stmt;
    const int n = sqlite3_column_count(stmt);
    for (int c = 0; c < n; ++c)
        m_columns.insert(QString::fromUtf8(sqlite3_column_name(stmt, c)), c);
}

bool Query::next()
{
    if (!m_status || !m_engine)
        return false;
    if (m_engine->result) {
        m_engine->texts.clear();
        m_engine->row = ++m_engine->resultRow < PQntuples(m_engine->result);
        if (m_engine->row || !m_engine->moreToCome)
            return m_engine->row;
        PGresult *rows = nullptr;
        m_engine->moreToCome = false;
        if (Status s = m_readOnly->nextServerRows(m_engine->name, rows); !s) {
            m_status = s; // in the report's words: no reason of the engine's to add
            return false;
        }
        PQclear(m_engine->result);
        m_engine->result = rows;
        m_engine->resultRow = 0;
        m_engine->moreToCome = PQresultStatus(rows) == PGRES_SINGLE_TUPLE;
        m_engine->row = PQntuples(rows) > 0;
        return m_engine->row;
    }
    if (m_engine->server) {
        m_engine->texts.clear();
        m_engine->row = m_engine->server->next();
        return m_engine->row;
    }
    if (!m_engine->statement.stmt)
        return false;
    sqlite3_stmt *stmt = m_engine->statement.stmt;
    const int rc = sqlite3_step(stmt);
    m_engine->row = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) // status() tells it
        m_status = failed(QString::fromUtf8(sqlite3_sql(stmt)), reasonOf(m_engine->statement.db));
    return false;
}

int Query::indexOf(const QString &column) const
{
    const auto it = m_columns.constFind(column);
    if (it != m_columns.constEnd())
        return *it;
    QString sql;
    if (m_engine && m_engine->result)
        sql = QStringLiteral("(a report's query)");
    else if (m_engine && m_engine->server)
        sql = m_engine->server->lastQuery();
    else if (m_engine && m_engine->statement.stmt)
        sql = QString::fromUtf8(sqlite3_sql(m_engine->statement.stmt));
    qCWarning(dataLog).noquote()
        << QStringLiteral("The statement \"%1\" gives no column named %2.").arg(sql, column);
    return -1;
}

QVariant Query::value(const QString &column) const
{
    return valueAt(indexOf(column));
}

QByteArrayView Query::text(const QString &column) const
{
    return textAt(indexOf(column));
}

int Query::columnCount() const
{
    return int(m_columns.size());
}

QString Query::columnName(int column) const
{
    if (!m_engine || column < 0 || column >= columnCount())
        return {};
    if (m_engine->result)
        return QString::fromUtf8(PQfname(m_engine->result, column));
    if (m_engine->server)
        return m_engine->server->record().fieldName(column);
    return QString::fromUtf8(sqlite3_column_name(m_engine->statement.stmt, column));
}

QString Query::originTable(int column) const
{
    if (!m_engine || column < 0 || column >= columnCount())
        return {};
    if (m_engine->result)
        return m_engine->origins.value(column).first;
    if (m_engine->server)
        return db::server::originTable(*m_engine->server, column);
    return QString::fromUtf8(sqlite3_column_table_name(m_engine->statement.stmt, column));
}

QString Query::originField(int column) const
{
    if (!m_engine || column < 0 || column >= columnCount())
        return {};
    if (m_engine->result)
        return m_engine->origins.value(column).second;
    if (m_engine->server)
        return db::server::originField(*m_engine->server, column);
    return QString::fromUtf8(sqlite3_column_origin_name(m_engine->statement.stmt, column));
}

QVariant Query::valueAt(int column) const
{
    if (!m_engine || !m_engine->row || column < 0 || column >= columnCount())
        return {};
    if (m_engine->result)
        return resultValue(m_engine->result, m_engine->resultRow, column);
    if (m_engine->server)
        return db::server::asStored(m_engine->server->value(column));
    return fieldvalue::fromEngine(sqlite3_column_value(m_engine->statement.stmt, column));
}

QByteArrayView Query::textAt(int column) const
{
    if (!m_engine || !m_engine->row || column < 0 || column >= columnCount())
        return {};
    if (m_engine->result) {
        const PGresult *r = m_engine->result;
        const int row = m_engine->resultRow;
        // Text as the server sent it, without a copy; a truth as the file
        // writes it.
        if (PQftype(r, column) == boolOid && !PQgetisnull(r, row, column))
            return PQgetvalue(r, row, column)[0] == 't' ? QByteArrayView("1") : QByteArrayView("0");
        return QByteArrayView(PQgetvalue(r, row, column), PQgetlength(r, row, column));
    }
    if (m_engine->server) {
        auto it = m_engine->texts.find(column);
        if (it == m_engine->texts.end()) {
            // A null reads as no text, whatever the column's type.
            const QVariant v = m_engine->server->value(column);
            it = m_engine->texts.insert(column, v.isNull() ? QByteArray() : v.toString().toUtf8());
        }
        return QByteArrayView(*it);
    }
    sqlite3_stmt *stmt = m_engine->statement.stmt;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return QByteArrayView(text, text ? sqlite3_column_bytes(stmt, column) : 0);
}

bool Query::isNullAt(int column) const
{
    if (!m_engine || !m_engine->row || column < 0 || column >= columnCount())
        return true;
    if (m_engine->result)
        return PQgetisnull(m_engine->result, m_engine->resultRow, column) != 0;
    if (m_engine->server)
        return m_engine->server->isNull(column);
    return sqlite3_column_type(m_engine->statement.stmt, column) == SQLITE_NULL;
}

Status Query::single(const QString &sql, const QVariantList &binds, QVariant &out)
{
    out = QVariant();
    if (Status s = run(sql, binds); !s)
        return s;
    if (!next())
        return m_status ? failed(sql, QStringLiteral("it gave no row")) : m_status;
    out = valueAt(0);
    return Status::ok();
}

// One statement that writes, with the engine's own count of what it did.
struct Transaction::Prepared {
    Statement statement;
};

namespace
{

Status runWrite(const QString &path, sqlite3 *h, Statement &st, const QString &sql, const QVariantList &binds,
    Written *out)
{
    if (!st.bind(binds))
        return refusal(path, sql, reasonOf(h));
    if (sqlite3_step(st.stmt) != SQLITE_DONE) {
        const Status s = refusal(path, sql, reasonOf(h));
        sqlite3_reset(st.stmt);
        return s;
    }
    if (out)
        *out = Written { sqlite3_last_insert_rowid(h), sqlite3_changes(h) };
    sqlite3_reset(st.stmt);
    return Status::ok();
}

// One write on a server, in the server's words. A new record's key comes
// back from the statement itself.
Status writeOnServer(
    QSqlDatabase &db, const QString &uri, const QString &sql, const QVariantList &binds, Written *out)
{
    serversql::Translated statement;
    if (Status s = serversql::translate(sql, binds, statement); !s)
        return refusal(uri, sql, s.message());
    QString text = statement.text;
    const bool keyed
        = !statement.insertInto.isEmpty() && statement.insertInto != QLatin1String(schema::stampTable);
    if (keyed)
        text += QStringLiteral(" RETURNING \"%1\"").arg(QLatin1String(schema::keyColumn));
    QSqlQuery q(db);
    if (Status s = db::server::exec(db, uri, q, text); !s)
        return s;
    if (out) {
        *out = Written { 0, q.numRowsAffected() };
        if (keyed && q.next())
            out->insertId = q.value(0).toLongLong();
    }
    return Status::ok();
}

} // namespace

Status write(
    const QString &path, const QString &table, const QString &sql, const QVariantList &binds, Written *out)
{
    const QString file = fileOf(path);
    if (!sql::writesRecords(sql))
        return refusal(file, sql, QStringLiteral("it is not a write"));
    Status opened;
    if (onServer(file)) {
        QSqlDatabase db = db::connection(file, &opened);
        if (!db.isValid())
            return opened;
        if (Status s = writeOnServer(db, file, sql, binds, out); !s)
            return s;
        db::changed(file, table);
        return Status::ok();
    }
    sqlite3 *h = db::engine(file, &opened);
    if (!h)
        return opened;
    Statement st;
    if (!st.prepare(h, sql))
        return refusal(file, sql, reasonOf(h));
    if (Status s = runWrite(file, h, st, sql, binds, out); !s)
        return s;
    db::changed(file, table);
    return Status::ok();
}

Transaction::Transaction(const QString &path)
    : m_path(fileOf(path))
{
}

Transaction::~Transaction()
{
    if (m_open)
        rollback();
}

Status Transaction::begin()
{
    Status opened;
    if (onServer(m_path)) {
        QSqlDatabase db = db::connection(m_path, &opened);
        if (!db.isValid())
            return opened;
        QSqlQuery q(db);
        if (Status s = db::server::exec(db, m_path, q, QStringLiteral("BEGIN")); !s)
            return s;
        m_serverConnection = db.connectionName();
        m_open = true;
        return Status::ok();
    }
    sqlite3 *h = db::engine(m_path, &opened);
    if (!h)
        return opened;
    // Immediate: the file is reserved for the whole transaction at once, so
    // a second writer waits instead of failing half way.
    if (sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return refusal(m_path, QStringLiteral("BEGIN IMMEDIATE"), reasonOf(h));
    m_open = true;
    return Status::ok();
}

Status Transaction::write(const QString &table, const QString &sql, const QVariantList &binds, Written *out)
{
    if (!m_open)
        return refusal(m_path, sql, QStringLiteral("no transaction has begun"));
    if (!sql::writesRecords(sql))
        return refusal(m_path, sql, QStringLiteral("it is not a write"));
    Status opened;
    if (onServer(m_path)) {
        QSqlDatabase db = serverConnection(&opened);
        if (!db.isValid())
            return opened;
        if (Status s = writeOnServer(db, m_path, sql, binds, out); !s)
            return s;
        if (!m_tables.contains(table))
            m_tables << table;
        return Status::ok();
    }
    sqlite3 *h = db::engine(m_path, &opened);
    if (!h)
        return opened;
    auto it = m_prepared.find(sql);
    if (it == m_prepared.end()) {
        auto p = std::make_shared<Prepared>();
        if (!p->statement.prepare(h, sql))
            return refusal(m_path, sql, reasonOf(h));
        it = m_prepared.insert(sql, p);
    }
    if (Status s = runWrite(m_path, h, (*it)->statement, sql, binds, out); !s)
        return s;
    if (!m_tables.contains(table))
        m_tables << table;
    return Status::ok();
}

Status Transaction::commit()
{
    if (!m_open)
        return refusal(m_path, QStringLiteral("COMMIT"), QStringLiteral("no transaction has begun"));
    m_prepared.clear();
    Status committed;
    if (onServer(m_path)) {
        QSqlDatabase db = serverConnection(&committed);
        if (db.isValid()) {
            QSqlQuery q(db);
            committed = db::server::exec(db, m_path, q, QStringLiteral("COMMIT"));
        }
    } else if (sqlite3 *h = db::engine(m_path, &committed)) {
        if (sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            committed = refusal(m_path, QStringLiteral("COMMIT"), reasonOf(h));
    }
    if (!committed) {
        rollback();
        return committed;
    }
    m_open = false;
    for (const QString &table : std::as_const(m_tables))
        db::changed(m_path, table);
    return Status::ok();
}

Status Transaction::single(const QString &sql, const QVariantList &binds, QVariant &out)
{
    if (!m_open)
        return refusal(m_path, sql, QStringLiteral("no transaction has begun"));
    if (onServer(m_path)) {
        Status opened;
        if (!serverConnection(&opened).isValid())
            return opened;
    }
    // The program's one connection to the database holds the transaction.
    Query q(m_path);
    return q.single(sql, binds, out);
}

QSqlDatabase Transaction::serverConnection(Status *status) const
{
    QSqlDatabase db = db::connection(m_path, status);
    // A connection opened afresh since the transaction began holds none of
    // its writes: the server rolled them back when the first one was lost.
    if (db.isValid() && db.connectionName() != m_serverConnection) {
        if (status)
            *status = db::server::failure(
                m_path, QStringLiteral("was lost part way through. Nothing of it was saved; try again."));
        return {};
    }
    return db;
}

void Transaction::rollback()
{
    m_prepared.clear();
    m_open = false;
    if (onServer(m_path)) {
        QSqlDatabase db = QSqlDatabase::database(m_serverConnection, false);
        QSqlQuery q(db);
        if (db.isOpen() && !db::server::lost(db) && !q.exec(QStringLiteral("ROLLBACK")))
            qCWarning(dataLog).noquote()
                << db::displayName(m_path) << "the transaction could not be rolled back";
        return;
    }
    sqlite3 *h = db::engine(m_path, nullptr);
    if (h && sqlite3_get_autocommit(h) == 0
        && sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK)
        qCWarning(dataLog).noquote() << db::displayName(m_path)
                                     << "the transaction could not be rolled back:" << reasonOf(h);
}

namespace sql
{

QString joinedKeys(const QString &column)
{
    return QStringLiteral("group_concat(%1)").arg(column);
}

QString withoutIndex(const QString &column)
{
    return QLatin1Char('+') + column;
}

QString firstWord(const QString &statement)
{
    int i = 0;
    const int n = int(statement.size());
    while (i < n) {
        if (statement.at(i).isSpace()) {
            ++i;
        } else if (statement.mid(i, 2) == QLatin1String("--")) {
            while (i < n && statement.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (statement.mid(i, 2) == QLatin1String("/*")) {
            const int end = statement.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else {
            break;
        }
    }
    int j = i;
    while (j < n && statement.at(j).isLetter())
        ++j;
    return statement.mid(i, j - i).toUpper();
}

bool changesTheDatabase(const QString &word)
{
    static const QSet<QString> words { QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
        QStringLiteral("DELETE"), QStringLiteral("REPLACE"), QStringLiteral("CREATE"), QStringLiteral("DROP"),
        QStringLiteral("ALTER"), QStringLiteral("TRUNCATE"), QStringLiteral("COPY"), QStringLiteral("GRANT"),
        QStringLiteral("REVOKE"), QStringLiteral("VACUUM"), QStringLiteral("MERGE"), QStringLiteral("CALL"),
        QStringLiteral("DO"), QStringLiteral("LOCK"), QStringLiteral("REINDEX"), QStringLiteral("CLUSTER"),
        QStringLiteral("LISTEN"), QStringLiteral("NOTIFY"), QStringLiteral("PREPARE"),
        QStringLiteral("EXECUTE"), QStringLiteral("DEALLOCATE"), QStringLiteral("DISCARD"),
        QStringLiteral("SET"), QStringLiteral("RESET"), QStringLiteral("ANALYZE"), QStringLiteral("REFRESH"),
        QStringLiteral("IMPORT"), QStringLiteral("COMMENT"), QStringLiteral("REASSIGN"),
        QStringLiteral("LOAD"), QStringLiteral("SECURITY"), QStringLiteral("BEGIN"), QStringLiteral("COMMIT"),
        QStringLiteral("ROLLBACK"), QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE"),
        QStringLiteral("INTO"), QStringLiteral("ATTACH"), QStringLiteral("DETACH"),
        QStringLiteral("PRAGMA") };
    return words.contains(word.toUpper());
}

bool changes(const QString &statement)
{
    // END closes a transaction as a first word; elsewhere it closes a CASE.
    const QString word = firstWord(statement);
    return word == QLatin1String("END") || changesTheDatabase(word);
}

bool writesRecords(const QString &statement)
{
    const QString word = firstWord(statement);
    return word == QLatin1String("INSERT") || word == QLatin1String("UPDATE")
        || word == QLatin1String("DELETE") || word == QLatin1String("REPLACE");
}

bool reads(const QString &statement)
{
    const QString word = firstWord(statement);
    return word == QLatin1String("SELECT") || word == QLatin1String("WITH")
        || word == QLatin1String("VALUES");
}

QString looksLikeDate(const QString &column)
{
    return QStringLiteral("%1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*'").arg(column);
}

} // namespace sql

} // namespace bm::db
