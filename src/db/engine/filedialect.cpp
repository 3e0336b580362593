#include "core/log.h"
#include "db/database.h"
#include "db/engine/cursor.h"
#include "db/engine/dialect.h"
#include "db/engine/engine.h"
#include "db/engine/migrations.h"
#include "db/engine/schemacheck.h"
#include "db/engine/server.h"
#include "db/fieldvalue.h"
#include "db/filter.h"
#include "db/query.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

// The file's dialect: statements prepared by SQLite on the program's one
// connection to the file, a transaction reserving the file at once.

namespace bm::db
{

namespace
{

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

// bm_like(pattern, value, kind): the LIKE of filter expressions, evaluated by
// our own matcher; the pattern is compiled once per statement.
void likeFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc != 3) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    auto *pattern = static_cast<filter::Pattern *>(sqlite3_get_auxdata(ctx, 0));
    std::optional<filter::Pattern> local;
    if (!pattern) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        local = filter::Pattern::compile(QString::fromUtf8(text ? text : "", sqlite3_value_bytes(argv[0])));
        if (!local) {
            sqlite3_result_error(ctx, "invalid pattern", -1);
            return;
        }
        sqlite3_set_auxdata(
            ctx, 0, new filter::Pattern(*local), [](void *p) { delete static_cast<filter::Pattern *>(p); });
        pattern = static_cast<filter::Pattern *>(sqlite3_get_auxdata(ctx, 0));
        if (!pattern) // SQLite could not keep it for the next rows
            pattern = &*local;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const int kind = sqlite3_value_int(argv[2]);
    if (kind == int(FieldKind::Text)) {
        const auto *v = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
        sqlite3_result_int(ctx, pattern->matchesUtf8(v, std::size_t(sqlite3_value_bytes(argv[1]))));
        return;
    }
    // Dates and amounts match as the screens show them.
    sqlite3_result_int(
        ctx, pattern->matches(fieldvalue::shownStored(FieldKind(kind), fieldvalue::fromEngine(argv[1]))));
}

sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant v = db.driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(v.constData());
    return nullptr;
}

class FileCursor final : public Cursor
{
public:
    FileCursor(sqlite3 *db, sqlite3_stmt *stmt)
    {
        m_statement.db = db;
        m_statement.stmt = stmt;
    }

    bool next(Status &, QString &reason) override
    {
        const int rc = sqlite3_step(m_statement.stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            reason = reasonOf(m_statement.db);
        return false;
    }
    int columnCount() const override { return sqlite3_column_count(m_statement.stmt); }
    QString columnName(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_name(m_statement.stmt, column));
    }
    QString originTable(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_table_name(m_statement.stmt, column));
    }
    QString originField(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_origin_name(m_statement.stmt, column));
    }
    QVariant value(int column) const override
    {
        return fieldvalue::fromEngine(sqlite3_column_value(m_statement.stmt, column));
    }
    QByteArrayView text(int column) const override
    {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement.stmt, column));
        return QByteArrayView(text, text ? sqlite3_column_bytes(m_statement.stmt, column) : 0);
    }
    bool isNull(int column) const override
    {
        return sqlite3_column_type(m_statement.stmt, column) == SQLITE_NULL;
    }
    QString statement() const override { return QString::fromUtf8(sqlite3_sql(m_statement.stmt)); }

    bool bind(const QVariantList &binds) { return m_statement.bind(binds); }

private:
    Statement m_statement;
};

// One statement that writes, with the engine's own count of what it did.
Status runWrite(
    const QString &location, Statement &st, const QString &sql, const QVariantList &binds, Written *out)
{
    if (!st.bind(binds))
        return refusal(location, sql, reasonOf(st.db));
    if (sqlite3_step(st.stmt) != SQLITE_DONE) {
        const Status s = refusal(location, sql, reasonOf(st.db));
        sqlite3_reset(st.stmt);
        return s;
    }
    if (out)
        *out = Written { sqlite3_last_insert_rowid(st.db), sqlite3_changes(st.db) };
    sqlite3_reset(st.stmt);
    return Status::ok();
}

class FileTransaction final : public TransactionEngine
{
public:
    explicit FileTransaction(const QString &location)
        : m_location(location)
    {
    }

    Status begin() override
    {
        Status opened;
        sqlite3 *h = db::engine(m_location, &opened);
        if (!h)
            return opened;
        // Immediate: the file is reserved for the whole transaction at once,
        // so a second writer waits instead of failing half way.
        if (sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            return refusal(m_location, QStringLiteral("BEGIN IMMEDIATE"), reasonOf(h));
        return Status::ok();
    }

    Status write(const QString &sql, const QVariantList &binds, Written *out) override
    {
        Status opened;
        sqlite3 *h = db::engine(m_location, &opened);
        if (!h)
            return opened;
        auto it = m_prepared.find(sql);
        if (it == m_prepared.end()) {
            auto statement = std::make_shared<Statement>();
            if (!statement->prepare(h, sql))
                return refusal(m_location, sql, reasonOf(h));
            it = m_prepared.insert(sql, statement);
        }
        return runWrite(m_location, **it, sql, binds, out);
    }

    Status stillHeld() const override { return Status::ok(); }

    Status commit() override
    {
        m_prepared.clear();
        Status committed;
        if (sqlite3 *h = db::engine(m_location, &committed)) {
            if (sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
                committed = refusal(m_location, QStringLiteral("COMMIT"), reasonOf(h));
        }
        return committed;
    }

    void rollback() override
    {
        m_prepared.clear();
        sqlite3 *h = db::engine(m_location, nullptr);
        if (h && sqlite3_get_autocommit(h) == 0
            && sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK)
            qCWarning(dataLog).noquote()
                << db::displayName(m_location) << "the transaction could not be rolled back:" << reasonOf(h);
    }

private:
    QString m_location;
    // Each statement is prepared once for the transaction.
    QHash<QString, std::shared_ptr<Statement>> m_prepared;
};

class FileDialect final : public Dialect
{
public:
    QString key(const QString &location) const override { return QFileInfo(location).absoluteFilePath(); }

    QString displayName(const QString &location) const override
    {
        return QDir::toNativeSeparators(QFileInfo(location).absoluteFilePath());
    }

    Status check(const QString &location, Pages pages) const override
    {
        const QFileInfo info(location);
        if (!info.exists())
            return fileFailure(location, QStringLiteral("does not exist."));
        if (!info.isFile())
            return fileFailure(location, QStringLiteral("is not a file and can not be opened."));
        QFile file(location);
        if (!file.open(QIODevice::ReadOnly))
            return fileFailure(location, QStringLiteral("can not be read: %1.").arg(file.errorString()));
        const QByteArray header = file.read(16);
        file.close();
        if (header != QByteArray("SQLite format 3\0", 16))
            return fileFailure(
                location, QStringLiteral("is not a Brindlemoor database. It was left as it is."));
        if (!info.isWritable())
            return fileFailure(location,
                QStringLiteral("is read-only, so nothing could be saved. "
                               "Allow changes to the file and start again."));
        if (!QFileInfo(info.absolutePath()).isWritable())
            return fileFailure(location,
                QStringLiteral("lies in a read-only folder, so nothing could be saved. "
                               "Allow changes to the folder and start again."));

        // The file is read before anything of it is used: code of its own
        // (triggers, views, virtual tables), tables without their record key,
        // a newer layout or a missing table or field refuse it, untouched. A file
        // of an older layout is then brought up to date in place, all or nothing.
        auto refuse = [&](const Status &s) {
            close(location); // let go of it at once, so that it can be replaced
            qCWarning(dataLog).noquote() << s.message();
            return s;
        };
        const schemacheck::Finding found = schemacheck::inspect(location, QString(), pages == Pages::All);
        if (!found.status)
            return refuse(found.status);
        if (found.version < migrations::currentVersion)
            if (const Status migrated = migrations::upgradeFile(location); !migrated)
                return refuse(migrated);
        Status opened;
        (void)connection(location, &opened); // the connection is kept for the record sources
        return opened;
    }

    QSqlDatabase open(const QString &k, const QString &name, bool, Status *status) const override
    {
        if (!QFileInfo(k).isFile()) {
            if (status)
                *status = fileFailure(k, QStringLiteral("does not exist."));
            return {};
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(k);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        if (!db.open()) {
            const QString reason = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            const Status s = fileFailure(k, QStringLiteral("can not be opened (%1).").arg(reason));
            qCWarning(dataLog).noquote() << s.message();
            if (status)
                *status = s;
            return {};
        }
        QSqlQuery q(db);
        // One file, no side files left behind: a rollback journal, synced on
        // every commit so that a saved record survives a crash or power cut.
        for (const QString &pragma :
            { QStringLiteral("PRAGMA journal_mode=DELETE"), QStringLiteral("PRAGMA synchronous=FULL") })
            if (!q.exec(pragma))
                qCWarning(dataLog).noquote() << displayName(k) << pragma << q.lastError().text();
        if (sqlite3 *h = handleOf(db)) {
            distrust(h, maxValueBytes);
            sqlite3_create_function_v2(h, "bm_like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                likeFunction, nullptr, nullptr, nullptr);
        }
        if (status)
            *status = Status::ok();
        return db;
    }

    bool lost(const QSqlDatabase &) const override { return false; }

    Status calendarIdentity(const QString &location, quint32 &identity) const override
    {
        Status status;
        sqlite3 *h = engine(location, &status);
        if (!h)
            return status;
        sqlite3_stmt *read = nullptr;
        if (sqlite3_prepare_v2(h, "PRAGMA user_version", -1, &read, nullptr) == SQLITE_OK
            && sqlite3_step(read) == SQLITE_ROW)
            identity = quint32(sqlite3_column_int(read, 0));
        sqlite3_finalize(read);
        if (identity != 0)
            return Status::ok();
        quint32 fresh = 0;
        do
            fresh = QRandomGenerator::system()->generate();
        while (fresh == 0);
        const QByteArray set
            = QByteArrayLiteral("PRAGMA user_version = ") + QByteArray::number(qint32(fresh));
        if (sqlite3_exec(h, set.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            const Status s = fileFailure(location,
                QStringLiteral("can not be changed (%1).").arg(QString::fromUtf8(sqlite3_errmsg(h))));
            qCWarning(dataLog).noquote() << s.message();
            return s;
        }
        identity = fresh;
        return Status::ok();
    }

    QString truth(const QString &quotedField) const override { return quotedField; }
    QString rowVersion() const override { return {}; }
    bool findTest(const QString &quotedField, FieldKind kind, const filter::Expression &e, QString &test,
        QVariant &bind) const override
    {
        test = QStringLiteral("bm_like(?, %1, %2)").arg(quotedField).arg(int(kind));
        bind = e.patternText;
        return true;
    }

    Status read(const QString &location, const QString &sql, const QVariantList &binds,
        std::unique_ptr<Cursor> &out, QString &reason) const override
    {
        Status opened;
        sqlite3 *h = db::engine(location, &opened);
        if (!h)
            return opened;
        return readOnFile(h, sql, binds, out, reason);
    }

    Status write(
        const QString &location, const QString &sql, const QVariantList &binds, Written *out) const override
    {
        Status opened;
        sqlite3 *h = db::engine(location, &opened);
        if (!h)
            return opened;
        Statement st;
        if (!st.prepare(h, sql))
            return refusal(location, sql, reasonOf(h));
        return runWrite(location, st, sql, binds, out);
    }

    std::unique_ptr<TransactionEngine> transaction(const QString &location) const override
    {
        return std::make_unique<FileTransaction>(location);
    }
};

} // namespace

QString reasonOf(sqlite3 *handle)
{
    return handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("the file can not be opened");
}

Status refusal(const QString &location, const QString &sql, const QString &reason)
{
    qCWarning(dataLog).noquote()
        << QStringLiteral("%1: the database refused \"%2\": %3").arg(db::displayName(location), sql, reason);
    return Status::failure(QStringLiteral("The database could not do this: %1").arg(reason));
}

std::unique_ptr<Cursor> fileCursor(sqlite3 *db, sqlite3_stmt *stmt)
{
    return std::make_unique<FileCursor>(db, stmt);
}

Status readOnFile(sqlite3 *handle, const QString &sql, const QVariantList &binds,
    std::unique_ptr<Cursor> &out, QString &reason)
{
    if (!handle) {
        reason = reasonOf(nullptr);
        return Status::ok();
    }
    sqlite3_stmt *stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK
        || !stmt) {
        sqlite3_finalize(stmt);
        reason = sqlite3_errcode(handle) == SQLITE_OK ? QStringLiteral("there is no statement")
                                                      : reasonOf(handle);
        return Status::ok();
    }
    auto cursor = std::make_unique<FileCursor>(handle, stmt);
    // Writes go through the write path, which tells the windows.
    if (!sqlite3_stmt_readonly(stmt)) {
        reason = QStringLiteral("a statement that changes the file is not a query");
        return Status::ok();
    }
    if (!cursor->bind(binds)) {
        reason = reasonOf(handle);
        return Status::ok();
    }
    out = std::move(cursor);
    return Status::ok();
}

sqlite3 *engine(const QString &location, Status *status)
{
    if (onServer(location)) {
        if (status)
            *status = server::failure(location, QStringLiteral("is on a server, not in a file."));
        return nullptr;
    }
    const QSqlDatabase db = connection(location, status);
    if (!db.isValid())
        return nullptr;
    sqlite3 *h = handleOf(db);
    if (!h && status)
        *status = fileFailure(location, QStringLiteral("can not be read."));
    return h;
}

const Dialect &fileDialect()
{
    static const FileDialect dialect;
    return dialect;
}

} // namespace bm::db
