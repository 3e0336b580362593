#pragma once

#include "core/progress.h"
#include "core/status.h"
#include "db/recordsource.h"

#include <QDate>
#include <QLocale>
#include <QString>

namespace bm::report
{

// What to print: a definition file, the database it reads, the one booking
// it is for (the invoice; none for every booking), the one guide it is for
// (none for every guide) and the print date.
struct Request {
    QString definitionPath; // the full path of the .rpt file
    QString databasePath; // empty: the application's tallow.mdb
    Bookmark selection; // bound to :booking in the queries; none gives null
    QString guide; // bound to :guide: the one guide whose trips are printed; empty gives null
    QString month; // bound to :month: the month printed, "yyyy-MM" (the logbook); empty gives null
    QDate printDate;
    QLocale locale = QLocale();
    // Told how far the work has come: while the queries are read, the rows
    // read so far; while the page is filled, the bytes written so far (the
    // total is not known: 0). When it answers false the report stops soon
    // and render fails with "The report was stopped.". None: not told.
    Progress *progress = nullptr;
};

// A report laid out as one HTML document, ready to be paginated.
struct Rendered {
    QString fileName; // "schedule.rpt"
    QString folder; // where the definition lies: pictures of the layout are found there
    QString title; // the definition's title, else the file's name
    bool landscape = false;
    QString html;
    QString footer; // plain text for the foot of every page
    QString printDate; // the print date as shown
};

// Reads the definition, runs its queries through a connection of its own
// that can only read, and fills its layout. Amounts print as "###0.00",
// dates in the short date format, every value escaped so that it prints as
// typed. A failure names the report and says why it could not be printed;
// a report stopped through the progress says only that it was stopped.
Status render(const Request &request, Rendered &out);

} // namespace bm::report
