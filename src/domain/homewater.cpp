#include "domain/homewater.h"

#include "db/query.h"

#include <QLocale>

#include <cmath>

namespace bm::homewater
{

namespace
{

const QString table = QStringLiteral("Home Water");

QString stored(double degrees)
{
    return QLocale::c().toString(degrees, 'g', 10);
}

std::optional<double> degrees(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

} // namespace

Status read(Kept &out, const QString &databasePath)
{
    out = Kept();
    db::Query q(databasePath);
    if (Status s
        = q.run(QStringLiteral("SELECT \"Latitude\", \"Longitude\" FROM \"Home Water\" ORDER BY ID LIMIT 1"));
        !s)
        return s;
    if (!q.next())
        return q.status();
    out.latitude = q.value(QStringLiteral("Latitude")).toString();
    out.longitude = q.value(QStringLiteral("Longitude")).toString();
    const auto latitude = degrees(out.latitude);
    const auto longitude = degrees(out.longitude);
    if (latitude && longitude && sky::latitudeProblem(*latitude).isEmpty()
        && sky::longitudeProblem(*longitude).isEmpty())
        out.position = sky::Position { *latitude, *longitude };
    return Status::ok();
}

Status keep(const sky::Position &position, const QString &databasePath)
{
    const QVariantList values { stored(position.latitude), stored(position.longitude) };
    db::Transaction t(databasePath);
    if (Status s = t.begin(); !s)
        return s;
    db::Written updated;
    if (Status s = t.write(table,
            QStringLiteral("UPDATE \"Home Water\" SET \"Latitude\" = ?, \"Longitude\" = ? "
                           "WHERE ID = (SELECT min(ID) FROM \"Home Water\")"),
            values, &updated);
        !s)
        return s;
    if (updated.rowsAffected == 0)
        if (Status s = t.write(table,
                QStringLiteral("INSERT INTO \"Home Water\" (\"Latitude\", \"Longitude\") VALUES (?, ?)"),
                values);
            !s)
            return s;
    return t.commit();
}

} // namespace bm::homewater
