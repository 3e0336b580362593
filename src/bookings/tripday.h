#pragma once

#include "core/money.h"
#include "domain/sky.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

namespace bm::tripday
{

// The texts of the trip day window and of the confirmation it sends.

// A position typed as decimal degrees in the system's number format: the
// position, or the message that says what is wrong with it.
struct TypedPosition {
    std::optional<sky::Position> position;
    QString problem;
};
TypedPosition readTyped(const QString &latitude, const QString &longitude, const QLocale &locale = QLocale());

// Degrees in the system's number format, for the boxes.
QString shownDegrees(double degrees, const QLocale &locale = QLocale());

// "Waxing Crescent, 23% of the disk lit".
QString moonText(const sky::MoonDay &moon, const QLocale &locale = QLocale());
// A time in the short time format; the sun's day without one says why.
QString sunriseText(const sky::SunDay &sun, const QLocale &locale = QLocale());
QString sunsetText(const sky::SunDay &sun, const QLocale &locale = QLocale());
// "Major: 3:10 AM to 5:10 AM, 3:35 PM to 5:35 PM" and a line of the minor.
QString solunarText(const QList<sky::Period> &periods, const QLocale &locale = QLocale());

// What a confirmation tells the client.
struct Trip {
    QString name;
    QDate date;
    QString lake;
    QString meetAt;
    QString type;
    std::optional<Money> totalCharge;
    std::optional<Money> deposit;
    QDate depositReceived;
    std::optional<Money> balanceDue;
};

struct Guide {
    QString name;
    QString phone;
    QString email;
};

struct Message {
    QString subject;
    QString body; // lines broken with \n
};

Message confirmation(const Trip &trip, const Guide &guide, const QLocale &locale = QLocale());

} // namespace bm::tripday
