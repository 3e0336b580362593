#include "bookings/invoicewindows.h"

#include "bookings/frmaddtrip.h"
#include "bookings/frminvoice.h"
#include "platform/failures.h"
#include "platform/windows.h"

#include <QWidget>

namespace bm
{

FrmAddtrip *openTripLog(Bookmark booking)
{
    auto *w = platform::loadWindow<FrmAddtrip>();
    platform::bringToFront(w);
    w->startEdit(booking);
    return w;
}

FrmInvoice *openInvoice(Bookmark booking)
{
    // Positioned before it is shown, so that the defaults it fills in on
    // becoming active land on this booking.
    auto *w = platform::loadWindow<FrmInvoice>();
    const Status s = w->booking()->setBookmark(booking);
    platform::bringToFront(w);
    platform::reportFailure(s, w);
    return w;
}

} // namespace bm
