#include "setup/unsaved.h"

#include "core/apppaths.h"
#include "db/changes.h"
#include "platform/messages.h"

namespace bm
{

bool settleChanges(
    const QString &what, const QString &caption, const std::function<bool()> &save, QWidget *parent)
{
    switch (platform::askYesNoCancel(QStringLiteral("Save the changes to %1?").arg(what), caption, parent)) {
    case platform::Answer::Yes:
        return save();
    case platform::Answer::No:
        return true;
    case platform::Answer::Ok:
    case platform::Answer::Cancel:
        break;
    }
    return false;
}

void onTableChanged(QObject *receiver, const char *table, std::function<void()> reread)
{
    QObject::connect(&DataChanges::instance(), &DataChanges::tableChanged, receiver,
        [table, reread = std::move(reread)](const QString &location, const QString &changed) {
            if (changed == QLatin1String(table) && location == databasePath())
                reread();
        });
}

} // namespace bm
