#pragma once

#include <QString>

#include <optional>

namespace bm::entries
{

// The few values a guide types into a text field that still have a form of
// their own: a trip's start time and a whole number (a party, a count of
// days). Each gives the text as it is kept, or nothing when the typed text
// is no such value. An empty text (blanks alone too) is no value, kept
// empty.

// A time of day as hours and minutes, kept as "HH:mm": "6:30" and " 06:30 "
// are both "06:30"; "24:00", "6.30" and "6:3" are no time.
std::optional<QString> startTime(const QString &typed);

// A whole number from lowest to highest, kept in plain digits: " 04" is
// "4"; "4.0", "-1" and "1,000" are no whole number.
std::optional<QString> wholeNumber(const QString &typed, int lowest, int highest);

} // namespace bm::entries
