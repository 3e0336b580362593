#include "main/startdatabase.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/sharedchoice.h"
#include "platform/messages.h"

namespace bm
{

bool openDatabaseAtStart()
{
    if (const Status installed = installDeliveredFiles(); !installed) {
        platform::stop(installed.message());
        return false;
    }
    const QString server = sharedchoice::chosenServer();
    if (!server.isEmpty()) {
        const Status reached = db::check(server);
        if (reached) {
            setDatabaseLocation(server);
            return true;
        }
        // Never a silent switch: the guide says whether to work on the file.
        if (!platform::askYesNo(
                reached.message() + QStringLiteral("\n\nOpen the database file on this computer instead?"),
                QStringLiteral("Shared Database")))
            return false;
    }
    setDatabaseLocation(QString());
    if (const Status ready = db::prepare(); !ready) {
        platform::stop(ready.message());
        return false;
    }
    return true;
}

} // namespace bm
