#pragma once

#include "core/status.h"
#include "db/recordsource.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

namespace bm::requests
{

// The trips clients asked for on the booking page and the guide has not
// answered yet: bookings whose Status is Requested. A request made on the
// page also has a record of Page Requests, which holds when it was made and
// the reason the guide gives when he declines.

struct Request {
    Bookmark booking;
    QDate date;
    QString startTime;
    QString tripType;
    QString client;
    QString partySize;
    QString email;
    QString phone; // the cell phone the client gave, else the home number
    QDateTime made; // when the client asked; invalid for a booking not made on the page
};

// Every request waiting, the earliest trip first (by day, then start time).
[[nodiscard]] Status waiting(QList<Request> &requests, const QString &path = QString());

// The guide takes the trip: the booking is Confirmed.
[[nodiscard]] Status accept(Bookmark booking, const QString &path = QString());

// The guide turns the trip down: the booking is Cancelled, and the reason
// is kept where the client's page shows it (its Page Requests record), or,
// for a booking made at the desk, at the end of the booking's notes.
[[nodiscard]] Status decline(Bookmark booking, const QString &reason, const QString &path = QString());

} // namespace bm::requests
