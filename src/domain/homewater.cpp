#include "domain/homewater.h"

#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QLocale>

#include <cmath>

namespace bm::homewater
{

namespace
{

const QString homeWater = QLatin1String(table::HomeWater);
const QString quotedTable = schema::quoted(homeWater);
const QString latitudeField = schema::quoted(field::HomeWater::Latitude);
const QString longitudeField = schema::quoted(field::HomeWater::Longitude);

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
    if (Status s = q.run(QStringLiteral("SELECT %2, %3 FROM %1 ORDER BY ID LIMIT 1")
                             .arg(quotedTable, latitudeField, longitudeField));
        !s)
        return s;
    if (!q.next())
        return q.status();
    out.latitude = q.value(field::HomeWater::Latitude).toString();
    out.longitude = q.value(field::HomeWater::Longitude).toString();
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
    if (Status s = t.write(homeWater,
            QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ? WHERE ID = (SELECT min(ID) FROM %1)")
                .arg(quotedTable, latitudeField, longitudeField),
            values, &updated);
        !s)
        return s;
    if (updated.rowsAffected == 0)
        if (Status s = t.write(homeWater,
                QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)")
                    .arg(quotedTable, latitudeField, longitudeField),
                values);
            !s)
            return s;
    return t.commit();
}

} // namespace bm::homewater
