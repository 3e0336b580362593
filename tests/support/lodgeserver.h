#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace bm::test
{

// A lodge on the run's throwaway server, set up by lodge-server.sh's own
// statements (its sql_* functions, fed to psql as the superuser): the
// tables' owner, the desks' groups and the logins asked for, each with his
// role. Logins connect without a password over the server's socket. The
// database, named after the label, is empty until a desk lays the tables in.
class LodgeServer
{
public:
    using Desk = QPair<QString, QString>; // login, role (owner, office, guide)

    // Makes the roles and the database, then the desks; false, with the
    // reason logged, when any of it fails. Logins are cluster-wide: each
    // desk's is the short name given here followed by the lodge's name.
    bool setUp(const QString &label, const QList<Desk> &desks);
    // A lodge as an earlier version of the script made it: the desks' group
    // owns the database and every desk acts as the group in it.
    bool setUpAsBefore(const QString &label, const QStringList &logins);
    // Drops the database and every role the lodge made.
    void tearDown();

    // The lodge's database as the desk of the short login reaches it.
    QString uri(const QString &login) const;
    QString login(const QString &shortName) const { return shortName + QLatin1Char('_') + m_name; }
    // sql with %name% put in for each role of the lodge (%schema%, %owners%,
    // %office%, %guides%) and each desk's login (%ann%).
    QString expand(QString sql) const;
    const QString &name() const { return m_name; }

    // Runs the script's functions (bash, with the script sourced and the
    // lodge's names set) and feeds what they print to psql as the
    // superuser. output gets psql's output.
    bool script(const QString &commands, QString *output = nullptr) const;
    // Runs statements as the superuser in the lodge's database.
    bool psql(const QString &sql, QString *output = nullptr) const;

private:
    bool feed(const QString &bash, const QString &database, QString *output) const;
    void name(const QString &label);

    QString m_name;
    QStringList m_logins;
};

} // namespace bm::test
