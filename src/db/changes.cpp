#include "db/changes.h"

namespace bm
{

DataChanges &DataChanges::instance()
{
    static DataChanges changes;
    return changes;
}

void DataChanges::notify(const QString &path, const QString &table)
{
    emit tableChanged(path, table);
}

void DataChanges::notifyFromElsewhere(const QString &path, const QString &table)
{
    const bool outer = m_elsewhere;
    m_elsewhere = true;
    emit tableChanged(path, table);
    m_elsewhere = outer;
}

void DataChanges::notifyLostChange(const QString &path, const QString &table, const QString &message)
{
    emit changeLost(path, table, message);
}

} // namespace bm
