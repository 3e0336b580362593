#pragma once

// What the tests of the booking screens share: a fresh database with the
// bookings a test lays in, and the stand-ins of the platform.

#include "behind.h"
#include "doubles.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"

#include <QDate>
#include <QString>

#include <memory>

namespace bm::test
{

struct NewBooking {
    QString name;
    QString date; // as stored, yyyy-MM-dd; empty for none
    QString lake;
};

// Replaces every booking with these, in this order.
inline void layInBookings(const QList<NewBooking> &bookings)
{
    QVERIFY(execBehind(QStringLiteral("DELETE FROM Booking")));
    for (const NewBooking &b : bookings)
        QVERIFY(execBehind(QStringLiteral("INSERT INTO Booking (Name, Date, Lake, Email, \"Total Charge\") "
                                          "VALUES (?, ?, ?, ?, 2500000)"),
            { b.name, b.date.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(b.date), b.lake,
                b.name.section(QLatin1Char(' '), 0, 0).toLower() + QStringLiteral("@example.com") }));
}

inline int storedBookings()
{
    const QList<QVariantList> rows = rowsBehind(QStringLiteral("SELECT COUNT(*) FROM Booking"));
    return rows.size() == 1 ? rows[0][0].toInt() : -1;
}

} // namespace bm::test
