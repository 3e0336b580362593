#include "db/rights.h"

#include "core/log.h"
#include "db/database.h"
#include "db/query.h"

namespace bm::db
{

namespace
{

Rights &current()
{
    static Rights held;
    return held;
}

// Whether the server has the rights' functions. A database a desk may use
// has them by now; a database of an older layout opened read-only does not,
// and gives every right, as before.
Status laidIn(Query &q, bool &there)
{
    QVariant value;
    const Status s
        = q.single(QStringLiteral("SELECT to_regprocedure('bm_role_of(text)') IS NOT NULL"), {}, value);
    there = s && value.toBool();
    return s;
}

} // namespace

Status readRights(const QString &location, Rights &out)
{
    out = Rights {};
    if (!onServer(location))
        return Status::ok();
    Query q(location);
    bool there = false;
    if (Status s = laidIn(q, there); !s || !there)
        return s;
    if (Status s = q.run(QStringLiteral("SELECT bm_role() AS role, coalesce(bm_guide(), '') AS guide, "
                                        "CAST(session_user AS TEXT) AS login"));
        !s)
        return s;
    if (!q.next())
        return q.status() ? Status::failure(QStringLiteral("The server did not say what this desk may do."))
                          : q.status();
    const QString role = q.value(QStringLiteral("role")).toString();
    out.login = q.value(QStringLiteral("login")).toString();
    out.guide = q.value(QStringLiteral("guide")).toString();
    if (role == QLatin1String("owner"))
        out.role = Role::Owner;
    else if (role == QLatin1String("office"))
        out.role = Role::Office;
    else
        out.role = Role::Guide; // a login of no group may do no more than a guide
    qCInfo(dataLog).noquote() << QStringLiteral("This desk (%1) is %2 on the shared database%3.")
                                     .arg(out.login,
                                         role.isEmpty() ? QStringLiteral("no desk of the lodge") : role,
                                         out.guide.isEmpty() ? QString()
                                                             : QStringLiteral(", guide %1").arg(out.guide));
    return Status::ok();
}

Status roleOf(const QString &location, const QString &login, QString &role)
{
    role.clear();
    if (!onServer(location) || login.isEmpty())
        return Status::ok();
    Query q(location);
    bool there = false;
    if (Status s = laidIn(q, there); !s || !there)
        return s;
    QVariant value;
    if (Status s = q.single(QStringLiteral("SELECT bm_role_of(?)"), { login }, value); !s)
        return s;
    role = value.toString();
    return Status::ok();
}

const Rights &rights()
{
    return current();
}

void setRights(const Rights &rights)
{
    current() = rights;
}

QString notForRole(const Rights &rights)
{
    switch (rights.role) {
    case Role::Guide:
        return QStringLiteral("Only the lodge's owner and office may do this (this desk is a guide's).");
    case Role::Office:
        return QStringLiteral("Only the lodge's owner may do this (this desk is the office's).");
    case Role::Owner:
        break;
    }
    return {};
}

} // namespace bm::db
