#include "bookings/seasonprint.h"

#include "bookings/seasoncharts.h"
#include "core/dates.h"

#include <QBuffer>
#include <QLocale>

#include <cmath>

namespace bm
{

namespace
{

QString counted(qint64 n, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? one : many);
}

QString weightText(const std::optional<double> &pounds)
{
    if (!pounds)
        return {};
    return QLocale().toString(std::round(*pounds * 100) / 100, 'g', 6) + QStringLiteral(" lbs.");
}

} // namespace

namespace seasontext
{

QString headline(const season::Summary &s)
{
    QString text = QStringLiteral("%1: %2, %3 charged")
                       .arg(s.current.year)
                       .arg(counted(s.current.trips, QStringLiteral("trip"), QStringLiteral("trips")),
                           s.current.income.format());
    if (s.tripsWithResults > 0)
        text += QStringLiteral(", %1 counted on %2")
                    .arg(counted(s.fish, QStringLiteral("fish"), QStringLiteral("fish")),
                        counted(s.tripsWithResults, QStringLiteral("trip"), QStringLiteral("trips")));
    text += QStringLiteral(".   %1: %2, %3 charged.")
                .arg(s.previous.year)
                .arg(counted(s.previous.trips, QStringLiteral("trip"), QStringLiteral("trips")),
                    s.previous.income.format());
    return text;
}

QString leftOut(const season::Summary &s)
{
    const season::LeftOut &l = s.leftOut;
    QStringList parts;
    auto add = [&](int n, const QString &one, const QString &many, const QString &why) {
        if (n > 0)
            parts << counted(n, one, many) + QLatin1Char(' ') + why;
    };
    const QString booking = QStringLiteral("booking"), bookings = QStringLiteral("bookings");
    const QString trip = QStringLiteral("trip of %1").arg(s.year),
                  trips = QStringLiteral("trips of %1").arg(s.year);
    add(l.undated, booking, bookings, QStringLiteral("without a trip date (in no year)"));
    add(l.badDate, booking, bookings, QStringLiteral("whose trip date is not a date (in no year)"));
    add(l.badCharge, trip, trips, QStringLiteral("whose charge is not an amount (not in the income)"));
    add(l.badFish, trip, trips,
        QStringLiteral("whose \"Total Fish\" is not a number (not in the fish counts)"));
    add(l.badWeight, trip, trips,
        QStringLiteral("whose \"Weight\" is not a weight (not among the biggest fish)"));
    if (parts.isEmpty())
        return {};
    return QStringLiteral("Left out: ") + parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}

QString noTrips(const season::Summary &s)
{
    if (s.current.trips > 0 || s.previous.trips > 0)
        return {};
    return QStringLiteral("No trips are booked in %1 or %2.").arg(s.current.year).arg(s.previous.year);
}

QString noCatches(const season::Summary &s)
{
    if (s.current.trips == 0)
        return QStringLiteral("No trips are booked in %1, so there are no catches to show.").arg(s.year);
    if (s.tripsWithResults == 0 && s.current.trips == 1)
        return QStringLiteral(
            "The trip of %1 has no fish count yet: enter \"Total Fish\" with Add Trip Results.")
            .arg(s.year);
    if (s.tripsWithResults == 0)
        return QStringLiteral("None of the %1 trips of %2 has a fish count yet: enter \"Total Fish\" with "
                              "Add Trip Results.")
            .arg(s.current.trips)
            .arg(s.year);
    return {};
}

QString owedTotal(const season::MoneyOwed &owed, const QDate &today)
{
    QString text;
    if (owed.bookings.isEmpty()) {
        text = QStringLiteral("No booking has a balance due.");
    } else {
        Money later;
        int laterCount = 0;
        for (const season::OwedBooking &b : owed.bookings)
            if (b.date.isValid() && b.date > today) {
                later = later.plus(b.balance).value_or(later);
                ++laterCount;
            }
        text = QStringLiteral("%1 %2 %3 in all.")
                   .arg(counted(owed.bookings.size(), QStringLiteral("booking"), QStringLiteral("bookings")),
                       owed.bookings.size() == 1 ? QStringLiteral("owes") : QStringLiteral("owe"),
                       owed.total.format());
        if (laterCount > 0)
            text += QStringLiteral(" %1 of it is for %2 still to come.")
                        .arg(later.format(),
                            counted(laterCount, QStringLiteral("trip"), QStringLiteral("trips")));
    }
    if (owed.unreadable > 0)
        text += QStringLiteral(" Left out: %1 whose balance due is not an amount.")
                    .arg(counted(owed.unreadable, QStringLiteral("booking"), QStringLiteral("bookings")));
    return text;
}

QStringList lureHeaders()
{
    return { QStringLiteral("Lake"), QStringLiteral("Month"), QStringLiteral("Best Lure"),
        QStringLiteral("Lure Color"), QStringLiteral("Fish on It"), QStringLiteral("Trips with It"),
        QStringLiteral("All Fish"), QStringLiteral("Biggest Fish"), QStringLiteral("Weight"),
        QStringLiteral("Length"), QStringLiteral("Caught On") };
}

QStringList lureCells(const season::LureMonth &row)
{
    // A lure that caught nothing there is no best lure.
    const bool recorded = !row.lure.isEmpty() || !row.color.isEmpty();
    const bool lure = recorded && row.fish > 0;
    return { row.lake.isEmpty() ? QStringLiteral("(no lake given)") : row.lake,
        seasoncharts::monthName(row.month),
        lure ? row.lure : (recorded ? QStringLiteral("(no fish caught)") : QStringLiteral("(none recorded)")),
        lure ? row.color : QString(), lure ? QString::number(row.fish) : QString(),
        lure ? QString::number(row.trips) : QString(), QString::number(row.allFish), row.bigFish,
        weightText(row.weight), row.length, shortDate(row.bigFishDate) };
}

QStringList owedHeaders()
{
    return { QStringLiteral("Trip Date"), QStringLiteral("Client"), QStringLiteral("Lake"),
        QStringLiteral("Balance Due") };
}

QStringList owedCells(const season::OwedBooking &row)
{
    return { row.date.isValid() ? shortDate(row.date) : QStringLiteral("(no date)"), row.name, row.lake,
        row.balance.format() };
}

} // namespace seasontext

namespace seasonprint
{

namespace
{

const char *styleSheet = R"(
body { font-family: "Nimbus Sans", Helvetica, Arial, sans-serif; font-size: 10pt; color: #1b1b1b; }
.title { font-size: 18pt; font-weight: bold; color: #1f3b57; }
.printed { font-size: 9pt; color: #4a4a4a; }
table.letterhead { border-collapse: collapse; margin-bottom: 10pt; }
table.letterhead td { border-bottom: 2px solid #1f3b57; padding-bottom: 6px; }
table.band { border-collapse: collapse; margin-top: 10pt; margin-bottom: 2pt; }
table.band td { background-color: #e4eaf0; color: #1f3b57; font-weight: bold; font-size: 11pt; padding: 3px; }
table.list th { background-color: #1f3b57; color: #ffffff; font-weight: bold; text-align: left;
                padding: 4px; font-size: 9pt; }
table.list th.amount { text-align: right; }
table.list td { padding: 3px; vertical-align: top; font-size: 9pt; }
tr.even td { background-color: #edf1f5; }
.amount { text-align: right; }
.headline { font-size: 11pt; font-weight: bold; }
.note { color: #4a4a4a; font-size: 9pt; }
.empty { color: #4a4a4a; font-style: italic; }
)";

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString image(const QImage &picture)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    // Printed at the width of the text on a portrait page, whatever its
    // count of pixels.
    return QStringLiteral("<p><img src=\"data:image/png;base64,%1\" width=\"680\" height=\"%2\"/></p>\n")
        .arg(QString::fromLatin1(png.toBase64()))
        .arg(qRound(680.0 * picture.height() / std::max(1, picture.width())));
}

QString band(const QString &title)
{
    return QStringLiteral(
        "<table class=\"band\" width=\"100%\" cellspacing=\"0\"><tr><td>%1</td></tr></table>\n")
        .arg(esc(title));
}

QString table(const QStringList &headers, const QList<QStringList> &rows, const QList<int> &amountColumns,
    const QStringList &total = {})
{
    QString html = QStringLiteral("<table class=\"list\" width=\"100%\" cellspacing=\"0\">\n<thead><tr>");
    for (int c = 0; c < headers.size(); ++c)
        html += QStringLiteral("<th%1>%2</th>")
                    .arg(amountColumns.contains(c) ? QStringLiteral(" class=\"amount\"") : QString(),
                        esc(headers[c]));
    html += QStringLiteral("</tr></thead>\n");
    auto row = [&](const QStringList &cells, const QString &cls) {
        QString tr = QStringLiteral("<tr%1>").arg(
            cls.isEmpty() ? QString() : QStringLiteral(" class=\"%1\"").arg(cls));
        for (int c = 0; c < cells.size(); ++c)
            tr += QStringLiteral("<td%1>%2</td>")
                      .arg(amountColumns.contains(c) ? QStringLiteral(" class=\"amount\"") : QString(),
                          esc(cells[c]));
        return tr + QStringLiteral("</tr>\n");
    };
    for (int r = 0; r < rows.size(); ++r)
        html += row(rows[r], r % 2 ? QStringLiteral("even") : QString());
    if (!total.isEmpty())
        html += row(total, QString())
                    .replace(QStringLiteral("<td"), QStringLiteral("<td style=\"font-weight: bold\""));
    return html + QStringLiteral("</table>\n");
}

} // namespace

report::Rendered render(const Content &content)
{
    const season::Summary &s = content.summary;
    report::Rendered out;
    out.fileName = QStringLiteral("Season Summary %1").arg(s.year);
    out.title = out.fileName;
    // One guide's summary says whose it is; the file name proposed for a PDF
    // keeps to the year, as a guide's name may hold what a file name can not.
    if (!s.guide.isEmpty())
        out.title += QStringLiteral(" - ") + s.guide;
    out.footer = out.title;
    out.printDate = shortDate(content.today);

    QString html
        = QStringLiteral("<html><head><style>%1</style></head><body>\n").arg(QLatin1String(styleSheet));
    html += QStringLiteral(
        "<table class=\"letterhead\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr>"
        "<td valign=\"bottom\"><span class=\"title\">%1</span></td>"
        "<td valign=\"bottom\" align=\"right\"><span class=\"printed\">Printed %2</span></td>"
        "</tr></table>\n")
                .arg(esc(out.title), esc(out.printDate));
    html += QStringLiteral("<p class=\"headline\">%1</p>\n").arg(esc(seasontext::headline(s)));
    if (const QString left = seasontext::leftOut(s); !left.isEmpty())
        html += QStringLiteral("<p class=\"note\">%1</p>\n").arg(esc(left));

    html += band(QStringLiteral("Trips, Income and Catches"));
    if (const QString none = seasontext::noTrips(s); !none.isEmpty())
        html += QStringLiteral("<p class=\"empty\">%1</p>\n").arg(esc(none));
    for (const QImage &chart : content.charts)
        html += image(chart);
    if (const QString none = seasontext::noCatches(s); !none.isEmpty())
        html += QStringLiteral("<p class=\"empty\">%1</p>\n").arg(esc(none));

    html += band(QStringLiteral("Best Lures by Lake and Month, %1").arg(s.year));
    if (s.lures.isEmpty()) {
        html += QStringLiteral("<p class=\"empty\">No trip results to show.</p>\n");
    } else {
        QList<QStringList> rows;
        for (const season::LureMonth &l : s.lures)
            rows << seasontext::lureCells(l);
        html += table(seasontext::lureHeaders(), rows, { 4, 5, 6 });
    }

    html += band(QStringLiteral("Money Owed"));
    QList<QStringList> owed;
    for (const season::OwedBooking &b : content.owed.bookings)
        owed << seasontext::owedCells(b);
    if (!owed.isEmpty())
        html += table(seasontext::owedHeaders(), owed, { 3 },
            { QStringLiteral("Total"), QString(), QString(), content.owed.total.format() });
    html += QStringLiteral("<p class=\"note\">%1</p>\n")
                .arg(esc(seasontext::owedTotal(content.owed, content.today)));
    html += QStringLiteral("</body></html>\n");
    out.html = html;
    return out;
}

} // namespace seasonprint
} // namespace bm
