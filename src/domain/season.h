#pragma once

#include "core/money.h"
#include "core/status.h"
#include "db/recordsource.h"
#include "domain/sky.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>

#include <array>
#include <optional>

namespace bm::season
{

// Numbers typed into text fields of a trip's results, read leniently: a
// number alone or followed by its unit ("12", "12 fish", "5 lbs.",
// "15 inches"). A text that holds no such number gives none; nothing is
// guessed.
std::optional<double> readNumber(const QString &text, const QLocale &locale = QLocale());

// A count of fish: a whole number, not negative ("12", "12 fish", "none").
std::optional<qint64> readCount(const QString &text, const QLocale &locale = QLocale());

// A weight in pounds: "5", "5 lbs.", "5.5 lb", "5 lbs 4 oz" (5.25) or
// "12 oz" (0.75).
std::optional<double> readWeight(const QString &text, const QLocale &locale = QLocale());

// Trips and income of one month. Income is what the trips were charged: the
// invoice's total where the invoice was made, else the booking's charge.
struct MonthFigures {
    int trips = 0;
    Money income;
};

struct YearFigures {
    int year = 0;
    std::array<MonthFigures, 12> months {}; // January first
    int trips = 0;
    Money income;
};

// Fish caught of one species in the chosen year.
struct SpeciesCatch {
    QString species; // empty: the trips did not say which
    qint64 fish = 0;
    int trips = 0;
};

// Fish caught under one phase of the moon (of the trip's day, in the
// system's time zone) in the chosen year.
struct MoonCatch {
    qint64 fish = 0;
    int trips = 0; // trips with a fish count
};

// One lake in one month of the chosen year: the lure and colour that caught
// the most fish there, and the biggest fish caught there.
struct LureMonth {
    QString lake; // empty: the trips did not say where
    int month = 0; // 1 to 12
    QString lure; // empty: no lure recorded
    QString color;
    qint64 fish = 0; // caught on that lure and colour
    int trips = 0; // fished with that lure and colour
    qint64 allFish = 0; // caught on the lake that month, any lure
    QString bigFish; // the biggest fish's "Big Fish" text
    std::optional<double> weight; // in pounds; none: no weight could be read
    QString length; // as typed
    QDate bigFishDate;
};

// Bookings that could not be read and are left out of the figures.
struct LeftOut {
    int undated = 0; // whole table: no trip date
    int badDate = 0; // whole table: a trip date that is not a date
    int badCharge = 0; // chosen year: a charge that is not an amount (trip counted, no income)
    int badFish = 0; // chosen year: a "Total Fish" that is not a count
    int badWeight = 0; // chosen year: a "Weight" that is not a weight
    bool any() const { return undated + badDate + badCharge + badFish + badWeight > 0; }
};

struct Summary {
    int year = 0;
    QString guide; // whose bookings the figures are of; empty: every booking
    YearFigures current;
    YearFigures previous; // the year before
    int tripsWithResults = 0; // trips of the year whose fish count could be read
    qint64 fish = 0;
    QList<SpeciesCatch> species; // most fish first
    QList<LureMonth> lures; // by lake, then month
    std::array<MoonCatch, sky::phaseCount> moon {}; // in the order of sky::Phase
    LeftOut leftOut;
};

// A booking with a balance still to pay.
struct OwedBooking {
    Bookmark booking;
    QDate date; // invalid: the booking has no readable trip date
    QString name;
    QString lake;
    Money balance;
};

struct MoneyOwed {
    QList<OwedBooking> bookings; // oldest trip first; undated ones last
    Money total;
    int unreadable = 0; // balances that are not amounts, left out
};

// The aggregates read the database at databasePath (empty: tallow.mdb of
// the application folder) through its shared connection.

// The years in which bookings have a trip date, latest first.
[[nodiscard]] Status bookingYears(QList<int> &years, const QString &databasePath = QString());

// The figures of one year beside the year before.
[[nodiscard]] Status summarize(int year, Summary &out, const QString &databasePath = QString());
// The same of one guide's bookings only (Booking.Guide is his name, compared
// exactly); an empty guide gives every booking's.
[[nodiscard]] Status summarize(
    int year, const QString &guide, Summary &out, const QString &databasePath = QString());

// The bookings whose balance due is above zero, with their sum.
[[nodiscard]] Status moneyOwed(MoneyOwed &out, const QString &databasePath = QString());
// The same of one guide's bookings only; empty: every booking.
[[nodiscard]] Status moneyOwed(const QString &guide, MoneyOwed &out, const QString &databasePath = QString());

} // namespace bm::season
