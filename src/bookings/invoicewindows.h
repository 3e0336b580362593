#pragma once

#include "db/recordsource.h"

namespace bm
{

class FrmAddtrip;
class FrmInvoice;

// Add Trip Results: the trip log entry on the booking, changing it. Given
// again while the window is open, it moves to the booking given and drops
// the changes not saved.
FrmAddtrip *openTripLog(Bookmark booking);

// Show Invoice: the invoice of the booking, in browse mode; the main window
// hides until the invoice closes.
FrmInvoice *openInvoice(Bookmark booking);

} // namespace bm
