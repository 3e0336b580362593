#pragma once

#include "core/status.h"

#include <QString>
#include <QStringList>

namespace bm::party
{

// The anglers of a trip, by the booking's key: its party in the order it
// was entered, each name once, or, for a trip whose party was never
// entered, the booking's client alone. A party or booking that can not be
// read is a failure, never an empty list.
[[nodiscard]] Status anglersOf(qint64 booking, QStringList &names, const QString &path = QString());

} // namespace bm::party
