#include "db/readonly.h"

#include "core/log.h"
#include "db/database.h"
#include "db/engine/cursor.h"
#include "db/engine/pgtokens.h"
#include "db/engine/reportfunctions.h"
#include "db/engine/server.h"
#include "db/engine/serversql.h"
#include "db/engine/sessionfunctions.h"
#include "db/engine/sqlstate.h"
#include "db/query.h"
#include "db/readonlysays.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>

#include <atomic>

#include <libpq-fe.h>
#include <poll.h>

// A report's read-only connection on a server: its own session, whose
// transactions only read, the query translated and checked, its rows
// streamed from libpq.

namespace bm::db
{

namespace
{

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
    if (!db::connection(m_location, &status).isValid())
        return status;
    m_serverConnection = QStringLiteral("bm-report-%1").arg(++reportConnections);
    QSqlDatabase db = db::server::open(m_location, m_serverConnection, &status);
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
        if (Status s = db::server::exec(db, m_location, q, sql); !s)
            return db::server::failure(
                m_location, QStringLiteral("can not be read by a report (%1).").arg(s.message()));
    }
    m_server = db::server::libpq(db);
    if (!m_server)
        return db::server::failure(m_location, QStringLiteral("can not be read by a report."));
    return Status::ok();
}

Status ReadOnlyConnection::serverText(
    const QString &name, const QString &sql, const ReportValues &values, QString &out)
{
    if (Status s = firstWordRefusal(name, sql); !s)
        return s;
    const QVariant booking = values.booking > 0 ? QVariant(values.booking) : QVariant();
    const QVariant guide = values.guide.isEmpty() ? QVariant() : QVariant(values.guide);
    const QVariant month = values.month.isEmpty() ? QVariant() : QVariant(values.month);
    const QVariantMap named { { QStringLiteral("booking"), booking }, { QStringLiteral("Booking"), booking },
        { QStringLiteral("BOOKING"), booking }, { QStringLiteral("guide"), guide },
        { QStringLiteral("Guide"), guide }, { QStringLiteral("GUIDE"), guide },
        { QStringLiteral("month"), month }, { QStringLiteral("Month"), month },
        { QStringLiteral("MONTH"), month } };
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
            && sql::changesTheDatabase(tokens[i].text))
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
                                            .arg(db::displayName(m_location), text, message);
        return refusedOnServer(name, sql, sqlstate::of(state), message);
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

// A report's result, read a row at a time on the connection's own session.
class ReadOnlyConnection::ServerRows final : public Cursor
{
public:
    ServerRows(const ReadOnlyConnection &connection, PGresult *first,
        QList<std::pair<QString, QString>> origins, const QString &name)
        : m_connection(connection)
        , m_result(first)
        , m_origins(std::move(origins))
        , m_moreToCome(PQresultStatus(first) == PGRES_SINGLE_TUPLE)
        , m_name(name)
    {
    }
    ~ServerRows() override
    {
        // A result left part way is stopped on the server, which is then
        // ready for the report's next query.
        if (m_moreToCome)
            m_connection.abandonOnServer();
        PQclear(m_result);
    }
    ServerRows(const ServerRows &) = delete;
    ServerRows &operator=(const ServerRows &) = delete;

    bool next(Status &said, QString &) override
    {
        if (++m_row < PQntuples(m_result) || !m_moreToCome)
            return m_row < PQntuples(m_result);
        PGresult *rows = nullptr;
        m_moreToCome = false;
        if (said = m_connection.nextServerRows(m_name, rows); !said)
            return false; // in the report's words: no reason of the engine's to add
        PQclear(m_result);
        m_result = rows;
        m_row = 0;
        m_moreToCome = PQresultStatus(rows) == PGRES_SINGLE_TUPLE;
        return PQntuples(rows) > 0;
    }
    int columnCount() const override { return PQnfields(m_result); }
    QString columnName(int column) const override { return QString::fromUtf8(PQfname(m_result, column)); }
    QString originTable(int column) const override { return m_origins.value(column).first; }
    QString originField(int column) const override { return m_origins.value(column).second; }
    QVariant value(int column) const override { return resultValue(m_result, m_row, column); }
    QByteArrayView text(int column) const override
    {
        // Text as the server sent it, without a copy; a truth as the file
        // writes it.
        if (PQftype(m_result, column) == boolOid && !PQgetisnull(m_result, m_row, column))
            return PQgetvalue(m_result, m_row, column)[0] == 't' ? QByteArrayView("1") : QByteArrayView("0");
        return QByteArrayView(PQgetvalue(m_result, m_row, column), PQgetlength(m_result, m_row, column));
    }
    bool isNull(int column) const override { return PQgetisnull(m_result, m_row, column) != 0; }
    QString statement() const override { return QStringLiteral("(a report's query)"); }

private:
    const ReadOnlyConnection &m_connection;
    PGresult *m_result;
    QList<std::pair<QString, QString>> m_origins;
    int m_row = -1;
    bool m_moreToCome; // the server is still sending the result
    QString m_name; // of the report's query
};

Status ReadOnlyConnection::runOnServer(
    const QString &name, const QString &text, QList<std::pair<QString, QString>> origins, Query &out) const
{
    // Sent whole again: asking for the origins has let the prepared one go.
    // Sent this way the server still takes one statement only.
    if (!PQsendQueryParams(m_server, text.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
        return db::server::failure(m_location,
            QStringLiteral("can not be reached (%1).")
                .arg(QString::fromUtf8(PQerrorMessage(m_server)).trimmed()));
    // A row at a time: what the report may read is counted as it comes,
    // and the rest of a result too large for it never reaches this side.
    if (!PQsetSingleRowMode(m_server))
        qCWarning(dataLog).noquote() << db::displayName(m_location)
                                     << "the report's rows come all at once: single-row mode was refused";
    PGresult *first = nullptr;
    if (Status s = nextServerRows(name, first); !s)
        return s;
    out.adopt(std::make_unique<ServerRows>(*this, first, std::move(origins), name));
    return Status::ok();
}

Status ReadOnlyConnection::nextServerRows(const QString &name, pg_result *&rows) const
{
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
                                        .arg(db::displayName(m_location), name, message);
    return refusedOnServer(
        name, QString(), tooLong ? sqlstate::Code::QueryCanceled : sqlstate::of(sqlState), message);
}

// sql: the query as written, for the names a message of the server holds.
Status ReadOnlyConnection::refusedOnServer(
    const QString &name, const QString &sql, sqlstate::Code code, const QString &message) const
{
    if (PQstatus(m_server) != CONNECTION_OK)
        return db::server::failure(m_location, QStringLiteral("can not be reached (%1).").arg(message));
    switch (code) {
    case sqlstate::Code::UndefinedTable:
        return says::queryFailed(
            name, QStringLiteral("no such table: ") + asWritten(quotedInMessage(message), sql));
    case sqlstate::Code::UndefinedColumn:
        return says::queryFailed(
            name, QStringLiteral("no such column: ") + asWritten(quotedInMessage(message), sql));
    case sqlstate::Code::ReadOnlyTransaction:
        return says::queryWouldChange(name);
    case sqlstate::Code::ProgramLimitExceeded:
        return says::queryValueTooLarge(name);
    case sqlstate::Code::QueryCanceled:
        return says::queryFailed(name, QStringLiteral("interrupted"));
    case sqlstate::Code::LockNotAvailable:
    case sqlstate::Code::Other:
        break;
    }
    if (message.contains(QLatin1String("multiple commands")))
        return says::queryHoldsMore(name);
    return says::queryFailed(name, message);
}

void ReadOnlyConnection::cancelOnServer() const
{
    char error[256] = {};
    PGcancel *cancel = PQgetCancel(m_server);
    if (!cancel || !PQcancel(cancel, error, sizeof error))
        qCWarning(dataLog).noquote() << db::displayName(m_location)
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
                << db::displayName(m_location) << "the fields of a report's tables could not be read:"
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
