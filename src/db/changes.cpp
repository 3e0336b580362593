#include "db/changes.h"

namespace bm
{

DataChanges &DataChanges::instance()
{
    static DataChanges changes;
    return changes;
}

void DataChanges::notify(const QString &location, const QString &table)
{
    emit tableChanged(location, table);
}

void DataChanges::notifyFromElsewhere(const QString &location, const QString &table)
{
    const bool outer = m_elsewhere;
    m_elsewhere = true;
    emit tableChanged(location, table);
    m_elsewhere = outer;
}

void DataChanges::notifyLostChange(const QString &location, const QString &table, const QString &message)
{
    emit changeLost(location, table, message);
}

} // namespace bm
