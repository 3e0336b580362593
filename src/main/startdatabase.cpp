#include "main/startdatabase.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/rights.h"
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
            // What this desk may do is the server's to say; a desk that can
            // not hear it offers no more than a guide may do.
            db::Rights rights;
            if (const Status heard = db::readRights(server, rights); !heard) {
                rights = db::Rights { db::Role::Guide, {}, {} };
                platform::warn(heard.message()
                    + QStringLiteral(
                        "\n\nThis desk offers only what a guide may do until it is started again."));
            }
            db::setRights(rights);
            return true;
        }
        // Never a silent switch: the guide says whether to work on the file.
        if (!platform::askYesNo(
                reached.message() + QStringLiteral("\n\nOpen the database file on this computer instead?"),
                QStringLiteral("Shared Database")))
            return false;
    }
    setDatabaseLocation(QString());
    db::setRights(db::Rights {}); // the file on one desk: one person, every right
    if (const Status ready = db::prepare(); !ready) {
        platform::stop(ready.message());
        return false;
    }
    return true;
}

} // namespace bm
