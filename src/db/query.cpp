#include "db/query.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/database.h"
#include "db/engine/cursor.h"
#include "db/engine/dialect.h"
#include "db/readonly.h"

#include <QSet>

namespace bm::db
{

namespace
{

QString fileOf(const QString &location)
{
    return location.isEmpty() ? databasePath() : location;
}

} // namespace

Query::Query(const QString &location)
    : m_location(fileOf(location))
{
}

Query::Query(const ReadOnlyConnection &connection)
    : m_location(connection.location())
    , m_readOnly(&connection)
{
}

Query::~Query() = default;
Query::Query(Query &&) noexcept = default;
Query &Query::operator=(Query &&) noexcept = default;

Status Query::failed(const QString &sql, const QString &reason)
{
    m_reason = reason;
    m_status = refusal(m_location, sql, reason);
    return m_status;
}

Status Query::run(const QString &sql, const QVariantList &binds)
{
    m_columns.clear();
    m_cursor.reset();
    m_row = false;
    m_reason.clear();
    m_status = Status::ok();
    std::unique_ptr<Cursor> cursor;
    QString reason;
    // A report's connection reads the file through its own guarded handle.
    const Status said = m_readOnly ? readOnFile(m_readOnly->handle(), sql, binds, cursor, reason)
                                   : Dialect::of(m_location).read(m_location, sql, binds, cursor, reason);
    if (!said) {
        m_reason = said.message();
        return m_status = said;
    }
    if (!cursor)
        return failed(sql, reason);
    adopt(std::move(cursor));
    return m_status;
}

void Query::adopt(std::unique_ptr<Cursor> cursor)
{
    m_columns.clear();
    m_reason.clear();
    m_status = Status::ok();
    m_row = false;
    m_cursor = std::move(cursor);
    for (int c = 0; c < m_cursor->columnCount(); ++c)
        m_columns.insert(m_cursor->columnName(c), c);
}

bool Query::next()
{
    if (!m_status || !m_cursor)
        return false;
    Status said;
    QString reason;
    m_row = m_cursor->next(said, reason);
    if (m_row)
        return true;
    if (!said) // in the report's words: no reason of the engine's to add
        m_status = said;
    else if (!reason.isEmpty()) // status() tells it
        m_status = failed(m_cursor->statement(), reason);
    return false;
}

int Query::indexOf(const QString &column) const
{
    const auto it = m_columns.constFind(column);
    if (it != m_columns.constEnd())
        return *it;
    qCWarning(dataLog).noquote() << QStringLiteral("The statement \"%1\" gives no column named %2.")
                                        .arg(m_cursor ? m_cursor->statement() : QString(), column);
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
    if (!m_cursor || column < 0 || column >= columnCount())
        return {};
    return m_cursor->columnName(column);
}

QString Query::originTable(int column) const
{
    if (!m_cursor || column < 0 || column >= columnCount())
        return {};
    return m_cursor->originTable(column);
}

QString Query::originField(int column) const
{
    if (!m_cursor || column < 0 || column >= columnCount())
        return {};
    return m_cursor->originField(column);
}

QVariant Query::valueAt(int column) const
{
    if (!m_cursor || !m_row || column < 0 || column >= columnCount())
        return {};
    return m_cursor->value(column);
}

QByteArrayView Query::textAt(int column) const
{
    if (!m_cursor || !m_row || column < 0 || column >= columnCount())
        return {};
    return m_cursor->text(column);
}

bool Query::isNullAt(int column) const
{
    if (!m_cursor || !m_row || column < 0 || column >= columnCount())
        return true;
    return m_cursor->isNull(column);
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

Status write(const QString &location, const QString &table, const QString &sql, const QVariantList &binds,
    Written *out)
{
    const QString file = fileOf(location);
    if (!sql::writesRecords(sql))
        return refusal(file, sql, QStringLiteral("it is not a write"));
    if (Status s = Dialect::of(file).write(file, sql, binds, out); !s)
        return s;
    db::changed(file, table);
    return Status::ok();
}

Transaction::Transaction(const QString &location)
    : m_location(fileOf(location))
{
}

Transaction::~Transaction()
{
    if (m_open)
        rollback();
}

Status Transaction::begin()
{
    auto engine = Dialect::of(m_location).transaction(m_location);
    if (Status s = engine->begin(); !s)
        return s;
    m_engine = std::move(engine);
    m_open = true;
    return Status::ok();
}

Status Transaction::write(const QString &table, const QString &sql, const QVariantList &binds, Written *out)
{
    if (!m_open)
        return refusal(m_location, sql, QStringLiteral("no transaction has begun"));
    if (!sql::writesRecords(sql))
        return refusal(m_location, sql, QStringLiteral("it is not a write"));
    if (Status s = m_engine->write(sql, binds, out); !s)
        return s;
    if (!m_tables.contains(table))
        m_tables << table;
    return Status::ok();
}

Status Transaction::commit()
{
    if (!m_open)
        return refusal(m_location, QStringLiteral("COMMIT"), QStringLiteral("no transaction has begun"));
    if (const Status committed = m_engine->commit(); !committed) {
        rollback();
        return committed;
    }
    m_open = false;
    m_engine.reset();
    for (const QString &table : std::as_const(m_tables))
        db::changed(m_location, table);
    return Status::ok();
}

Status Transaction::single(const QString &sql, const QVariantList &binds, QVariant &out)
{
    if (!m_open)
        return refusal(m_location, sql, QStringLiteral("no transaction has begun"));
    if (Status s = m_engine->stillHeld(); !s)
        return s;
    // The program's one connection to the database holds the transaction.
    Query q(m_location);
    return q.single(sql, binds, out);
}

void Transaction::rollback()
{
    m_open = false;
    if (m_engine)
        m_engine->rollback();
    m_engine.reset();
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
