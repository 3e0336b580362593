#pragma once

#include "domain/season.h"
#include "reports/runner.h"

#include <QDate>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace bm
{

// The sentences of the season summary, the same on screen and on paper.
namespace seasontext
{

// "2025: 9 trips, 2475.50 charged, 42 fish ..." with the year before.
QString headline(const season::Summary &s);
// What was left out and why; empty when nothing was.
QString leftOut(const season::Summary &s);
// What a chart or table has no data for; empty when it has data.
QString noTrips(const season::Summary &s);
QString noCatches(const season::Summary &s);
// "5 bookings owe 975.00 in all ..."; the part for trips after today named.
QString owedTotal(const season::MoneyOwed &owed, const QDate &today);

QStringList lureHeaders();
QStringList lureCells(const season::LureMonth &row);
QStringList owedHeaders();
QStringList owedCells(const season::OwedBooking &row);

} // namespace seasontext

namespace seasonprint
{

struct Content {
    season::Summary summary;
    season::MoneyOwed owed;
    QDate today;
    QList<QImage> charts; // in the order they are printed
};

// The whole summary as a report for the print preview: title, figures,
// charts, the best lures and the money owed.
report::Rendered render(const Content &content);

} // namespace seasonprint
} // namespace bm
