#include "serverdb.h"

#include "core/log.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

#include <atomic>

namespace bm::test
{

namespace
{

const char *const stateVariable = "BM_TEST_SERVER";

// PostgreSQL cuts identifiers at 63 bytes; the label keeps what is left
// after "_<pid>_<counter>".
constexpr int maxLabelLength = 40;
// SQLSTATE duplicate_database.
const QString duplicateDatabase = QStringLiteral("42P04");

std::atomic<int> connectionCounter { 0 };
std::atomic<int> databaseCounter { 0 };

QString statePath()
{
    return qEnvironmentVariable(stateVariable);
}

// The KEY=VALUE lines of the state file; empty when it can't be read.
QHash<QString, QString> readState()
{
    QHash<QString, QString> values;
    const QString path = statePath();
    if (path.isEmpty())
        return values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1));
    }
    return values;
}

QString quoted(const QString &identifier)
{
    QString inner = identifier;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

// label reduced to what an unquoted PostgreSQL name may hold, and never
// starting with a digit.
QString safeLabel(const QString &label)
{
    QString safe;
    for (const QChar c : label.toLower()) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
        safe += plain ? c : QLatin1Char('_');
    }
    safe.truncate(maxLabelLength);
    if (safe.isEmpty() || safe.front().isDigit())
        safe.prepend(QStringLiteral("db_"));
    return safe.left(maxLabelLength);
}

QString databaseUri(const QString &folder, const QString &name)
{
    return QStringLiteral("postgresql:///%1?host=%2&user=bm").arg(name, folder);
}

Status fail(const QString &message)
{
    qCWarning(dataLog).noquote() << "test server:" << message;
    return Status::failure(message);
}

} // namespace

bool serverRequested()
{
    return !statePath().isEmpty();
}

bool serverAvailable()
{
    return !readState().value(QStringLiteral("uri")).isEmpty();
}

QString serverBaseUri()
{
    return readState().value(QStringLiteral("uri"));
}

QString serverFolder()
{
    return readState().value(QStringLiteral("folder"));
}

Status checkServer()
{
    static bool answered = false;
    if (answered)
        return Status::ok();
    if (!serverRequested())
        return fail(QStringLiteral("%1 is not set").arg(QLatin1String(stateVariable)));
    const QString uri = serverBaseUri();
    if (uri.isEmpty())
        return fail(QStringLiteral("the state file %1 can't be read or names no server; "
                                   "did the test pg_cluster_start run?")
                        .arg(statePath()));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(
            QStringLiteral("Qt's PostgreSQL driver QPSQL is not installed (package libqt6sql6-psql)"));
    ServerConnection connection(uri);
    if (!connection.status())
        return fail(
            QStringLiteral("the server at %1 does not answer: %2").arg(uri, connection.status().message()));
    {
        QSqlQuery query(connection.database());
        if (!query.exec(QStringLiteral("SELECT 1")) || !query.next())
            return fail(QStringLiteral("the server at %1 does not answer a query: %2")
                            .arg(uri, query.lastError().text()));
    }
    answered = true;
    return Status::ok();
}

QString freshServerDatabase(const QString &label)
{
    const QString folder = serverFolder();
    const QString base = serverBaseUri();
    if (folder.isEmpty() || base.isEmpty()) {
        (void)fail(QStringLiteral("no database made for \"%1\": no test server (%2=\"%3\")")
                       .arg(label, QLatin1String(stateVariable), statePath()));
        return {};
    }
    ServerConnection admin(base);
    if (!admin.status()) {
        (void)fail(QStringLiteral("no database made for \"%1\": %2").arg(label, admin.status().message()));
        return {};
    }
    const QString stem
        = safeLabel(label) + QLatin1Char('_') + QString::number(QCoreApplication::applicationPid());
    // The process id comes back in a long run, and a database of an earlier
    // process of that id may still be there: then the next counter is taken.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = stem + QLatin1Char('_') + QString::number(++databaseCounter);
        QSqlQuery query(admin.database());
        // template0: nothing anyone put into template1 comes along.
        if (query.exec(
                QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(quoted(name))))
            return databaseUri(folder, name);
        if (query.lastError().nativeErrorCode() != duplicateDatabase) {
            (void)fail(QStringLiteral("database %1 not made: %2").arg(name, query.lastError().text()));
            return {};
        }
    }
    (void)fail(QStringLiteral("no database made for \"%1\": every name taken").arg(label));
    return {};
}

Status setServerUri(QSqlDatabase &db, const QString &uri)
{
    const QUrl url(uri, QUrl::StrictMode);
    const QString name = url.path(QUrl::FullyDecoded).mid(1);
    if (!url.isValid()
        || (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres"))
        || name.isEmpty() || name.contains(QLatin1Char('/')))
        return fail(QStringLiteral("not a server database URI: \"%1\"").arg(uri));
    const QUrlQuery query(url);
    const QString host = url.host().isEmpty()
        ? query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded)
        : url.host();
    const QString user = url.userName().isEmpty()
        ? query.queryItemValue(QStringLiteral("user"), QUrl::FullyDecoded)
        : url.userName();
    const QString port = query.queryItemValue(QStringLiteral("port"), QUrl::FullyDecoded);
    const int portNumber = url.port() > 0 ? url.port() : port.toInt();
    db.setDatabaseName(name);
    db.setHostName(host);
    db.setUserName(user);
    db.setPort(portNumber > 0 ? portNumber : -1);
    return Status::ok();
}

ServerConnection::ServerConnection(const QString &uri)
    : m_name(QStringLiteral("bm.test.server.%1").arg(++connectionCounter))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    m_status = setServerUri(db, uri);
    if (!m_status)
        return;
    if (!db.open())
        m_status = fail(QStringLiteral("can't connect to %1: %2").arg(uri, db.lastError().text()));
}

ServerConnection::~ServerConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase ServerConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool dropServerDatabase(const QString &uri)
{
    const QString name = QUrl(uri).path().mid(1);
    const QString base = serverBaseUri();
    if (name.isEmpty() || base.isEmpty())
        return false;
    ServerConnection admin(base);
    if (!admin.status())
        return false;
    QSqlQuery query(admin.database());
    // FORCE: a connection a test left open does not keep it.
    if (query.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quoted(name))))
        return true;
    (void)fail(QStringLiteral("database %1 not dropped: %2").arg(name, query.lastError().text()));
    return false;
}

} // namespace bm::test
