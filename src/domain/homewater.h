#pragma once

#include "core/status.h"
#include "domain/sky.h"

#include <QString>

#include <optional>

namespace bm::homewater
{

// The position of the guide's home water, kept in the table Home Water (one
// record) as degrees written with a point and no grouping ("36.6",
// "-93.3"), whatever the system's number format.

struct Kept {
    std::optional<sky::Position> position; // none: not given, or not a position in range
    QString latitude; // the texts as kept, to be shown when they are no position
    QString longitude;
};

// Reads what is kept in the database at databasePath (empty: tallow.mdb of
// the application folder). Nothing kept is not a failure.
[[nodiscard]] Status read(Kept &out, const QString &databasePath = QString());

// Keeps the position as the one record of the table, through the write path,
// so every window hears of it.
[[nodiscard]] Status keep(const sky::Position &position, const QString &databasePath = QString());

} // namespace bm::homewater
