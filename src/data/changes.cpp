#include "data/changes.h"

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

} // namespace bm
