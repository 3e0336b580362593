#include "lodgeserver.h"

#include "serverdb.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>

namespace bm::test
{

namespace
{

const QStringList groups { QStringLiteral("_owners"), QStringLiteral("_office"), QStringLiteral("_guides"),
    QStringLiteral("_page"), QStringLiteral("_schema") };

QString psqlProgram()
{
    const QString bin = QStringLiteral("/usr/lib/postgresql/15/bin/psql");
    return QFile::exists(bin) ? bin : QStringLiteral("psql");
}

} // namespace

void LodgeServer::name(const QString &label)
{
    static int counter = 0;
    m_name = QStringLiteral("%1_%2_%3").arg(label).arg(QCoreApplication::applicationPid()).arg(++counter);
}

bool LodgeServer::setUp(const QString &label, const QList<Desk> &desks)
{
    name(label);
    QString commands = QStringLiteral("sql_roles; sql_database");
    for (const Desk &d : desks) {
        m_logins << d.first;
        commands += QStringLiteral("; sql_add_login %1 %2").arg(login(d.first), d.second);
    }
    return script(commands);
}

bool LodgeServer::setUpAsBefore(const QString &label, const QStringList &logins)
{
    name(label);
    const QString group = m_name + QStringLiteral("_guides");
    QString sql = QStringLiteral("CREATE ROLE \"%2\" NOLOGIN;\n"
                                 "CREATE DATABASE \"%1\" OWNER \"%2\" TEMPLATE template0 ENCODING 'UTF8';\n"
                                 "REVOKE CONNECT, TEMPORARY ON DATABASE \"%1\" FROM PUBLIC;\n"
                                 "GRANT CONNECT, TEMPORARY ON DATABASE \"%1\" TO \"%2\";\n")
                      .arg(m_name, group);
    for (const QString &l : logins) {
        m_logins << l;
        sql += QStringLiteral("CREATE ROLE \"%1\" LOGIN INHERIT; GRANT \"%2\" TO \"%1\";\n"
                              "ALTER ROLE \"%1\" IN DATABASE \"%3\" SET role = '%2';\n")
                   .arg(login(l), group, m_name);
    }
    sql += QStringLiteral("\\connect \"%1\"\nALTER SCHEMA public OWNER TO \"%2\";\n").arg(m_name, group);
    return feed(QStringLiteral("cat <<'SQL'\n%1SQL").arg(sql), QStringLiteral("postgres"), nullptr);
}

QString LodgeServer::expand(QString sql) const
{
    for (const QString &g : groups)
        sql.replace(
            QLatin1Char('%') + g.mid(1) + QLatin1Char('%'), QLatin1Char('"') + m_name + g + QLatin1Char('"'));
    for (const QString &l : m_logins)
        sql.replace(QLatin1Char('%') + l + QLatin1Char('%'), login(l));
    return sql;
}

void LodgeServer::tearDown()
{
    if (m_name.isEmpty())
        return;
    QStringList roles;
    for (const QString &l : std::as_const(m_logins))
        roles << login(l);
    for (const QString &g : groups)
        roles << m_name + g;
    QStringList drops;
    for (const QString &r : std::as_const(roles))
        drops << QStringLiteral("DROP ROLE IF EXISTS \"%1\";").arg(r);
    const QString sql = QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE);\n%2\n")
                            .arg(m_name, drops.join(QLatin1Char('\n')));
    if (!feed(QStringLiteral("cat <<'SQL'\n%1SQL").arg(sql), QStringLiteral("postgres"), nullptr))
        qWarning().noquote() << "the lodge" << m_name << "was not cleared away";
    m_name.clear();
    m_logins.clear();
}

QString LodgeServer::uri(const QString &login) const
{
    return QStringLiteral("postgresql:///%1?host=%2&user=%3").arg(m_name, serverFolder(), this->login(login));
}

bool LodgeServer::script(const QString &commands, QString *output) const
{
    const QString bash = QStringLiteral("set -euo pipefail; source %1; database=%2; set_names; %3")
                             .arg(QStringLiteral(BM_LODGE_SCRIPT), m_name, commands);
    return feed(bash, QStringLiteral("postgres"), output);
}

bool LodgeServer::psql(const QString &sql, QString *output) const
{
    return feed(QStringLiteral("cat <<'SQL'\n%1\nSQL").arg(sql), m_name, output);
}

// bash prints the statements, psql runs them: one pipeline, so that a
// failure on either side fails the whole.
bool LodgeServer::feed(const QString &bash, const QString &database, QString *output) const
{
    QProcess p;
    p.setProgram(QStringLiteral("bash"));
    p.setArguments({ QStringLiteral("-c"),
        QStringLiteral("set -o pipefail; { %1\n} | %2 -X -q -At -v ON_ERROR_STOP=1 -h \"$BM_FOLDER\" -U bm "
                       "-d \"$BM_DB\"")
            .arg(bash, psqlProgram()) });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BM_FOLDER"), serverFolder());
    env.insert(QStringLiteral("BM_DB"), database);
    env.insert(QStringLiteral("PGOPTIONS"), QStringLiteral("-c client_min_messages=warning"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        qWarning().noquote() << "psql did not finish:" << bash;
        return false;
    }
    const QString out = QString::fromUtf8(p.readAll());
    if (output)
        *output = out;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning().noquote() << "the lodge's statements failed:" << out;
        return false;
    }
    return true;
}

} // namespace bm::test
