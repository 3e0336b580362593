#pragma once

// What the tests of the booking screens share: a fresh database with the
// bookings a test lays in, and the stand-ins of the platform.

#include "doubles.h"
#include "testenv.h"

#include "data/apppaths.h"
#include "data/database.h"

#include <QDate>
#include <QSqlQuery>
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
    QSqlQuery q(database::connection(databasePath()));
    QVERIFY(q.exec(QStringLiteral("DELETE FROM Booking")));
    for (const NewBooking &b : bookings) {
        q.prepare(QStringLiteral("INSERT INTO Booking (Name, Date, Lake, Email, \"Total Charge\") "
                                 "VALUES (?, ?, ?, ?, 2500000)"));
        q.addBindValue(b.name);
        q.addBindValue(b.date.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(b.date));
        q.addBindValue(b.lake);
        q.addBindValue(b.name.section(QLatin1Char(' '), 0, 0).toLower() + QStringLiteral("@example.com"));
        QVERIFY(q.exec());
    }
    database::bumpGeneration(databasePath());
}

inline int storedBookings()
{
    QSqlQuery q(database::connection(databasePath()));
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM Booking")) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace bm::test
