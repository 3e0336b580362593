#pragma once

#include "db/recordsource.h"

#include <QDate>

namespace bm
{

class FrmBooking;

// Opens the booking entry (or brings it forward and starts over) on a new
// booking whose trip date and deposit date are the given date: today for the
// main window's New Booking, the chosen day for the calendar.
FrmBooking *openNewBooking(const QDate &date);

// Opens the booking entry (or brings it forward and starts over) on the
// booking the bookmark names, for changing it.
FrmBooking *openEditBooking(Bookmark bookmark);

} // namespace bm
