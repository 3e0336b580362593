#include "core/log.h"
#include "db/database.h"
#include "db/engine/cursor.h"
#include "db/engine/dialect.h"
#include "db/engine/live.h"
#include "db/engine/server.h"
#include "db/engine/serversql.h"
#include "db/filter.h"
#include "db/query.h"
#include "schema/schema.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

// The server's dialect: the program's statements translated into the
// server's words (engine/serversql.h) and run through Qt's driver on the
// program's connection; a transaction held by that one connection.

namespace bm::db
{

namespace
{

class ServerCursor final : public Cursor
{
public:
    explicit ServerCursor(QSqlQuery &&query)
        : m_query(std::move(query))
    {
    }

    bool next(Status &, QString &) override
    {
        m_texts.clear();
        return m_query.next();
    }
    int columnCount() const override { return m_query.record().count(); }
    QString columnName(int column) const override { return m_query.record().fieldName(column); }
    QString originTable(int column) const override { return server::originTable(m_query, column); }
    QString originField(int column) const override { return server::originField(m_query, column); }
    QVariant value(int column) const override { return server::asStored(m_query.value(column)); }
    QByteArrayView text(int column) const override
    {
        auto it = m_texts.find(column);
        if (it == m_texts.end()) {
            // A null reads as no text, whatever the column's type.
            const QVariant v = m_query.value(column);
            it = m_texts.insert(column, v.isNull() ? QByteArray() : v.toString().toUtf8());
        }
        return QByteArrayView(*it);
    }
    bool isNull(int column) const override { return m_query.isNull(column); }
    QString statement() const override { return m_query.lastQuery(); }

private:
    QSqlQuery m_query;
    mutable QHash<int, QByteArray> m_texts; // the current row's, handed out
};

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
    if (Status s = server::exec(db, uri, q, text); !s)
        return s;
    if (out) {
        *out = Written { 0, q.numRowsAffected() };
        if (keyed && q.next())
            out->insertId = q.value(0).toLongLong();
    }
    return Status::ok();
}

class ServerTransaction final : public TransactionEngine
{
public:
    explicit ServerTransaction(const QString &location)
        : m_location(location)
    {
    }

    Status begin() override
    {
        Status opened;
        QSqlDatabase db = db::connection(m_location, &opened);
        if (!db.isValid())
            return opened;
        QSqlQuery q(db);
        if (Status s = server::exec(db, m_location, q, QStringLiteral("BEGIN")); !s)
            return s;
        m_connection = db.connectionName();
        return Status::ok();
    }

    Status write(const QString &sql, const QVariantList &binds, Written *out) override
    {
        Status opened;
        QSqlDatabase db = connection(&opened);
        if (!db.isValid())
            return opened;
        return writeOnServer(db, m_location, sql, binds, out);
    }

    Status stillHeld() const override
    {
        Status opened;
        connection(&opened);
        return opened;
    }

    Status commit() override
    {
        Status committed;
        QSqlDatabase db = connection(&committed);
        if (db.isValid()) {
            QSqlQuery q(db);
            committed = server::exec(db, m_location, q, QStringLiteral("COMMIT"));
        }
        return committed;
    }

    void rollback() override
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        QSqlQuery q(db);
        if (db.isOpen() && !server::lost(db) && !q.exec(QStringLiteral("ROLLBACK")))
            qCWarning(dataLog).noquote()
                << db::displayName(m_location) << "the transaction could not be rolled back";
    }

private:
    // The connection the transaction began on. One opened afresh since
    // holds none of its writes: the server rolled them back when the first
    // one was lost.
    QSqlDatabase connection(Status *status) const
    {
        QSqlDatabase db = db::connection(m_location, status);
        if (db.isValid() && db.connectionName() != m_connection) {
            if (status)
                *status = server::failure(m_location,
                    QStringLiteral("was lost part way through. Nothing of it was saved; try again."));
            return {};
        }
        return db;
    }

    QString m_location;
    QString m_connection;
};

class ServerDialect final : public Dialect
{
public:
    QString key(const QString &location) const override { return location; }

    QString displayName(const QString &location) const override { return server::displayName(location); }

    Status check(const QString &location, Pages) const override
    {
        // The server keeps its own pages sound; its layout is checked, and
        // an empty database laid in, when the connection opens.
        Status opened;
        (void)db::connection(location, &opened);
        return opened;
    }

    QSqlDatabase open(const QString &k, const QString &name, bool reopened, Status *status) const override
    {
        Status s;
        QSqlDatabase db = server::open(k, name, &s);
        if (status)
            *status = s;
        if (!s)
            return {};
        live::follow(k, name, reopened);
        return db;
    }

    bool lost(const QSqlDatabase &db) const override { return server::lost(db); }

    // The identity of a server database: made from the server's own number
    // of the database, which stays as long as the database does.
    Status calendarIdentity(const QString &location, quint32 &identity) const override
    {
        Status status;
        QSqlDatabase db = connection(location, &status);
        if (!db.isValid())
            return status;
        QSqlQuery q(db);
        if (Status s = server::exec(db, location, q,
                QStringLiteral("SELECT oid FROM pg_database WHERE datname = current_database()"));
            !s)
            return s;
        if (!q.next())
            return server::failure(location, QStringLiteral("does not say its number."));
        identity = quint32(q.value(0).toLongLong()) * 2654435761u;
        if (identity == 0)
            identity = 1;
        return Status::ok();
    }

    QString truth(const QString &quotedField) const override
    {
        return QStringLiteral("bm_truth(%1)").arg(quotedField);
    }
    // The server's own row version: it changes with every save of the
    // record, whoever makes it.
    QString rowVersion() const override { return QStringLiteral("CAST(xmin AS TEXT)"); }
    bool findTest(const QString &quotedField, FieldKind kind, const filter::Expression &e, QString &test,
        QVariant &bind) const override
    {
        // Text as a regular expression of the server's; dates and amounts
        // match as the screens show them, which the record source sees to.
        if (kind != FieldKind::Text)
            return false;
        test = quotedField + QStringLiteral(" ~ ?");
        bind = e.pattern.serverRegex();
        return true;
    }

    Status read(const QString &location, const QString &sql, const QVariantList &binds,
        std::unique_ptr<Cursor> &out, QString &reason) const override
    {
        Status opened;
        QSqlDatabase db = db::connection(location, &opened);
        if (!db.isValid())
            return opened;
        serversql::Translated statement;
        if (Status s = serversql::translate(sql, binds, statement); !s) {
            reason = s.message();
            return Status::ok();
        }
        if (statement.writes) {
            reason = QStringLiteral("a statement that changes the file is not a query");
            return Status::ok();
        }
        QSqlQuery q(db);
        if (Status s = server::exec(db, location, q, statement.text); !s)
            return s;
        out = std::make_unique<ServerCursor>(std::move(q));
        return Status::ok();
    }

    Status write(
        const QString &location, const QString &sql, const QVariantList &binds, Written *out) const override
    {
        Status opened;
        QSqlDatabase db = db::connection(location, &opened);
        if (!db.isValid())
            return opened;
        return writeOnServer(db, location, sql, binds, out);
    }

    std::unique_ptr<TransactionEngine> transaction(const QString &location) const override
    {
        return std::make_unique<ServerTransaction>(location);
    }
};

} // namespace

const Dialect &serverDialect()
{
    static const ServerDialect dialect;
    return dialect;
}

const Dialect &Dialect::of(const QString &location)
{
    return onServer(location) ? serverDialect() : fileDialect();
}

} // namespace bm::db
