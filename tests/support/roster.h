#pragma once

#include <QString>
#include <QStringList>

namespace bm::test
{

// Adds guides to the roster through the write path, as the roster window
// does, so that every window hears of it. "Name/No": a guide who no longer
// takes bookings.
void addGuides(const QStringList &guides);

// The rows of a test whose windows change with the roster: the columns
// "roster" (for addGuides) and "several" (more than one guide), from none
// to two guides of whom one is gone.
void rosterRows(const QString &first, const QString &second);

} // namespace bm::test
