#pragma once

#include "core/status.h"
#include "db/recordsource.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace bm::logbook
{

// The state's logbook of guided trips: for each day of each trip, each site
// fished that day, who was aboard and what each kept and released.

// One catch line of an angler at a site: an empty species says he fished
// and caught nothing.
struct Line {
    QString species;
    QString kept; // whole numbers as typed
    QString released;
    QString origin; // catchOrigin
    QString stage; // catchStage
};

// One person aboard, with his lines at the site.
struct Angler {
    QString name;
    QString license;
    QString role; // partyRole
    QList<Line> lines; // none: no line entered for him here
};

// One site fished on one day of one trip. A trip-day without any catch line
// is one visit with no site, the booking's lake as its water.
struct Visit {
    Bookmark booking;
    QDate date;
    QString guide;
    QString guideLicense;
    QString water;
    QString site; // the site code
    QString siteName; // from the state's list; empty: not on it
    QList<Angler> anglers; // the party in its order, then any angler named only by a line
};

// What the state's page would lack, in plain words.
struct Problem {
    Bookmark booking;
    QDate date;
    QString text;
};

struct Month {
    QDate first; // the month's first day
    QList<Visit> visits; // by date, then booking, then site
    QList<Problem> problems; // in the order of the visits
};

// The month's logbook (month: any day of it) of every trip that is not
// cancelled, requested or a no-show with a day in it (Date .. Date+Days-1,
// no Days: one). guide: the trips of one guide of the roster (Booking.Guide
// compared exactly); empty: every trip. A booking without a guide is the
// Guide Info's. Five statements, however many trips.
[[nodiscard]] Status read(const QDate &month, const QString &guide, Month &out, const QString &location = {});

// The logbook as a table, as the window shows it and the CSV file holds it:
// one row per angler and line of each visit, dates as yyyy-MM-dd; a line of
// nothing caught says "Nothing caught", 0 kept and 0 released; an angler
// without a line at the site has one row without a species.
QStringList columnNames();
// visitOfRow, where given, receives the index of each row's visit.
QList<QStringList> tableRows(const Month &month, QList<int> *visitOfRow = nullptr);

// The reminder to send the logbook: on any day of a month, when trips were
// logged in the month before, a reminder dated the 10th saying
// reminderText(month before) is added once.
QString reminderText(const QDate &month);

enum class Reminded {
    Added, // the reminder was added now
    Present, // it is there already (added by this desk or another)
    NoTrips, // the month before had no trips
    AlreadyPlanned, // this desk planned that month before (a reminder deleted stays deleted)
};

// Adds the reminder of the month before today when it is due. lastPlanned
// is the month ("yyyy-MM") this desk planned last, kept by the caller; it
// is set to the month before today once that month is planned. The check
// and the insert are one transaction.
[[nodiscard]] Status planReminder(
    const QDate &today, QString &lastPlanned, Reminded &outcome, const QString &location = {});

} // namespace bm::logbook
