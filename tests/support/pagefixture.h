#pragma once

#include "serverdb.h"

#include "core/apppaths.h"
#include "db/database.h"

#include <QCoreApplication>
#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <memory>

namespace bm::test
{

// A fresh shared database for the booking page, laid in by a desk, with a
// login of the page's own that has no right but to connect (as
// lodge-server.sh add-web makes it). Statements of the test run as the
// server's superuser.
class PageServer
{
public:
    bool setUp(const QString &label)
    {
        m_uri = freshServerDatabase(label);
        if (m_uri.isEmpty())
            return false;
        setDatabaseLocation(m_uri);
        if (!db::check(m_uri))
            return false;
        m_admin = std::make_unique<ServerConnection>(m_uri);
        if (!m_admin->status())
            return false;
        static int counter = 0;
        m_role = QStringLiteral("page_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        if (!sql(QStringLiteral("CREATE ROLE %1 LOGIN NOINHERIT").arg(m_role)))
            return false;
        m_webUri = QString(m_uri).replace(QStringLiteral("user=bm"), QStringLiteral("user=") + m_role);
        // An empty roster, the delivered trips and settings: every day from the
        // notice on is open, one trip a day.
        return sql(QStringLiteral("DELETE FROM \"Booking\"")) && sql(QStringLiteral("DELETE FROM \"Phone\""));
    }

    void tearDown()
    {
        m_admin.reset();
        db::closeAll();
        setDatabaseLocation(QString());
        if (!m_uri.isEmpty())
            QVERIFY(dropServerDatabase(m_uri));
        if (!m_role.isEmpty()) {
            ServerConnection base(serverBaseUri());
            QSqlQuery q(base.database());
            QVERIFY2(q.exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(m_role)),
                qPrintable(q.lastError().text()));
        }
        m_uri.clear();
        m_role.clear();
    }

    // Runs a statement as the superuser; false (with the reason logged) when
    // it fails.
    bool sql(const QString &statement, const QVariantList &values = {})
    {
        QSqlQuery q(m_admin->database());
        // A statement with no values runs as it is: the server prepares no
        // CREATE ROLE.
        if (values.isEmpty() ? q.exec(statement) : run(q, statement, values))
            return true;
        qWarning().noquote() << statement << ":" << q.lastError().text();
        return false;
    }

    // One value, as text ("<null>" for none, "failed" when it fails).
    QString value(const QString &statement, const QVariantList &values = {})
    {
        QSqlQuery q(m_admin->database());
        if (!(values.isEmpty() ? q.exec(statement) : run(q, statement, values)) || !q.next())
            return QStringLiteral("failed");
        return q.isNull(0) ? QStringLiteral("<null>") : q.value(0).toString();
    }

    // A day the page may offer with the delivered settings (two days'
    // notice, four months ahead), as the server counts days.
    QDate dayAhead(int days)
    {
        return QDate::fromString(
            value(QStringLiteral("SELECT to_char(current_date + %1, 'YYYY-MM-DD')").arg(days)), Qt::ISODate);
    }

    const QString &uri() const { return m_uri; } // the desk's
    const QString &webUri() const { return m_webUri; } // the page's own login
    const QString &role() const { return m_role; }

private:
    static bool run(QSqlQuery &q, const QString &statement, const QVariantList &values)
    {
        if (!q.prepare(statement))
            return false;
        for (const QVariant &v : values)
            q.addBindValue(v);
        return q.exec();
    }

    QString m_uri;
    QString m_webUri;
    QString m_role;
    std::unique_ptr<ServerConnection> m_admin;
};

} // namespace bm::test
