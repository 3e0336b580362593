#pragma once

#include <QString>

// What other desks save to the shared database reaches this desk as it
// happens. The server announces every write to a table of the program (a
// trigger's NOTIFY on the channel below, naming the table); the gateway's
// connection listens, and an announcement from another desk is said through
// DataChanges as a change from elsewhere, the way this desk's own writes are
// said. A connection that is lost is opened again as soon as the server
// answers; then every table is said to have changed, for what was missed.
namespace bm::db::live
{

inline constexpr char channel[] = "bm_changes";

// How often the connection is looked at, and the longest wait between two
// tries to reach a server that went away.
constexpr int watchMs = 1000;
constexpr int longestRetryMs = 30000;

// Called by the gateway each time it has opened its connection (named
// connectionName) to the shared database at location; reopened when it
// was opened afresh after it had been lost.
void follow(const QString &location, const QString &connectionName, bool reopened);

// Called by the gateway when it closes the connection for good.
void stop(const QString &location);
void stopAll();

} // namespace bm::db::live
