#pragma once

#include "core/status.h"
#include "db/recordsource.h"

#include <QDate>
#include <QList>
#include <QString>

namespace bm::guides
{

// One guide of the lodge's roster (table Guides).
struct Guide {
    QString name;
    bool active = true; // Active is "Yes"; anything else is a guide no longer booked
};

// One booking as the double-booking notice names it.
struct BookingLine {
    Bookmark booking;
    QDate date;
    QString lake;
    QString client;
};

// Every guide of the roster with a name, in name order, active or not: a
// guide who has left still names the bookings he guided. A roster that can
// not be read is a failure, never an empty list.
[[nodiscard]] Status roster(QList<Guide> &guides, const QString &path = QString());

// The guides that count for the schedule: those with a name, active or not.
// A guide who has left still shows on the bookings he took, so the board
// keeps its Guide column while the roster holds more than one name.
[[nodiscard]] Status count(int &n, const QString &path = QString());

// Whether a roster of n guides (as count() gives) makes the lodge one of
// several guides.
inline bool several(int n)
{
    return n > 1;
}

// Reads one booking's date, lake, client and guide. A booking that is no
// longer there is a failure.
[[nodiscard]] Status booking(
    Bookmark which, BookingLine &line, QString &guide, const QString &path = QString());

// Writes Booking.Guide of one booking: a guide's name, or empty for no
// guide. A booking that is no longer there is a failure.
[[nodiscard]] Status assign(Bookmark booking, const QString &guide, const QString &path = QString());

// The bookings of a guide on a day other than `except`, in key order: the
// trips the guide would be on twice.
[[nodiscard]] Status otherBookings(const QString &guide, const QDate &day, Bookmark except,
    QList<BookingLine> &bookings, const QString &path = QString());

// Whether another guide than `self` already has this name (names are
// compared exactly, as a booking's Guide is).
[[nodiscard]] Status nameTaken(
    const QString &name, Bookmark self, bool &taken, const QString &path = QString());

// Gives every booking that carries the guide's name `from` the name `to`,
// in one statement, after the roster's record was renamed.
[[nodiscard]] Status moveBookings(
    const QString &from, const QString &to, int &bookingsMoved, const QString &path = QString());

} // namespace bm::guides
