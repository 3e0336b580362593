#include "bookings/seasoncharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

namespace bm
{

namespace seasoncharts
{

namespace
{

const QColor thisYearColor(0x1f, 0x3b, 0x57);
const QColor yearBeforeColor(0xa9, 0xbc, 0xcf);
const QColor fishColor(0x2e, 0x7d, 0x4f);

// The most species the chart names; the rest are added up as one bar.
constexpr int shownSpecies = 10;

QChart *newChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setPointSizeF(font.pointSizeF() * 1.15);
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(6, 6, 6, 6));
    return chart;
}

// An axis from nought to a round number above the highest value, with room
// over the bars for their values.
QValueAxis *valueAxis(double highest, const QString &title, const QString &format)
{
    auto *axis = new QValueAxis;
    axis->setLabelFormat(format);
    axis->setTitleText(title);
    const bool whole = format == QLatin1String("%d");
    if (whole && highest <= 8) {
        // Whole trips or fish only: one line for each.
        const int top = int(highest) + 1;
        axis->setRange(0, top);
        axis->setTickCount(top + 1);
    } else {
        axis->setRange(0, std::max(highest * 1.12, 1.0));
        axis->applyNiceNumbers();
    }
    return axis;
}

QBarSet *barSet(const QString &label, const QColor &color)
{
    auto *set = new QBarSet(label);
    set->setColor(color);
    set->setBorderColor(color);
    set->setLabelColor(QColor(0x1b, 0x1b, 0x1b));
    QFont font = set->labelFont();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    set->setLabelFont(font);
    return set;
}

QStringList monthNames()
{
    QStringList names;
    for (int m = 1; m <= 12; ++m)
        names << monthName(m);
    return names;
}

// This year's and last year's bars of each month, side by side.
QChart *byMonth(const season::Summary &s, const QString &title, const QString &axisTitle,
    double (*value)(const season::MonthFigures &), const QString &format, qreal labelAngle)
{
    QChart *chart = newChart(title);
    QBarSet *before = barSet(QString::number(s.previous.year), yearBeforeColor);
    QBarSet *current = barSet(QString::number(s.current.year), thisYearColor);
    double highest = 0;
    for (int m = 0; m < 12; ++m) {
        *before << value(s.previous.months[m]);
        *current << value(s.current.months[m]);
        highest = std::max({ highest, value(s.previous.months[m]), value(s.current.months[m]) });
    }
    auto *series = new QBarSeries;
    series->append(before);
    series->append(current);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(12);
    series->setLabelsAngle(labelAngle);
    chart->addSeries(series);
    // The exact figure of a bar while the mouse rests on it.
    QObject::connect(series, &QBarSeries::hovered, series, [axisTitle](bool on, int index, QBarSet *set) {
        if (on)
            QToolTip::showText(QCursor::pos(),
                QStringLiteral("%1 %2: %3 %4")
                    .arg(monthName(index + 1), set->label(), QLocale().toString(set->at(index), 'f', 0),
                        axisTitle.toLower()));
        else
            QToolTip::hideText();
    });

    auto *months = new QBarCategoryAxis;
    months->append(monthNames());
    chart->addAxis(months, Qt::AlignBottom);
    series->attachAxis(months);
    QValueAxis *axis = valueAxis(highest, axisTitle, format);
    chart->addAxis(axis, Qt::AlignLeft);
    series->attachAxis(axis);
    chart->legend()->setAlignment(Qt::AlignTop);
    return chart;
}

// One set of bars laid across the chart, named on the left from the bottom
// up, with their values at their ends; the chart shows no legend.
QHorizontalBarSeries *barsAcross(QChart *chart, const QList<QPair<QString, double>> &bars,
    const QString &valueTitle, const QString &format)
{
    QBarSet *set = barSet(valueTitle, fishColor);
    QStringList names;
    double highest = 0;
    for (const auto &[name, value] : bars) {
        names << name;
        *set << value;
        highest = std::max(highest, value);
    }
    auto *series = new QHorizontalBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(12);
    series->setBarWidth(0.6);
    chart->addSeries(series);
    auto *axis = new QBarCategoryAxis;
    axis->append(names);
    chart->addAxis(axis, Qt::AlignLeft);
    series->attachAxis(axis);
    QValueAxis *values = valueAxis(highest, valueTitle, format);
    chart->addAxis(values, Qt::AlignBottom);
    series->attachAxis(values);
    chart->legend()->hide();
    return series;
}

} // namespace

QString monthName(int month)
{
    return QLocale().standaloneMonthName(month, QLocale::ShortFormat);
}

QChart *trips(const season::Summary &s)
{
    return byMonth(
        s, QStringLiteral("Trips per month in %1, beside %2").arg(s.current.year).arg(s.previous.year),
        QStringLiteral("Trips"), [](const season::MonthFigures &m) { return double(m.trips); },
        QStringLiteral("%d"), 0);
}

QChart *income(const season::Summary &s)
{
    return byMonth(
        s,
        QStringLiteral("Income per month in %1, beside %2 (what the trips were charged)")
            .arg(s.current.year)
            .arg(s.previous.year),
        QStringLiteral("Income"),
        [](const season::MonthFigures &m) { return std::round(m.income.toDouble()); }, QStringLiteral("%.0f"),
        -90);
}

QChart *species(const season::Summary &s)
{
    QChart *chart
        = newChart(QStringLiteral("Fish caught per species in %1 (%2 fish on %3 %4 with a count)")
                       .arg(s.current.year)
                       .arg(s.fish)
                       .arg(s.tripsWithResults)
                       .arg(s.tripsWithResults == 1 ? QStringLiteral("trip") : QStringLiteral("trips")));
    QList<QPair<QString, qint64>> bars;
    qint64 others = 0;
    int otherCount = 0;
    for (const season::SpeciesCatch &c : s.species) {
        if (bars.size() < shownSpecies) {
            bars.append({ c.species.isEmpty() ? QStringLiteral("Species not given") : c.species, c.fish });
        } else {
            others += c.fish;
            ++otherCount;
        }
    }
    if (otherCount > 0)
        bars.append({ QStringLiteral("%1 other species").arg(otherCount), others });

    // The bars are laid from the bottom up: the most fish go last, on top.
    QList<QPair<QString, double>> laid;
    for (auto it = bars.crbegin(); it != bars.crend(); ++it)
        laid.append({ it->first, double(it->second) });
    barsAcross(chart, laid, QStringLiteral("Fish caught"), QStringLiteral("%d"));
    return chart;
}

QChart *moon(const season::Summary &s)
{
    QChart *chart
        = newChart(QStringLiteral("Fish per trip by the moon's phase in %1 (%2 %3 with a count)")
                       .arg(s.current.year)
                       .arg(s.tripsWithResults)
                       .arg(s.tripsWithResults == 1 ? QStringLiteral("trip") : QStringLiteral("trips")));
    // The phases from the top down in the order the moon passes through
    // them; a phase without trips shows nought.
    QList<QPair<QString, double>> laid;
    for (int p = sky::phaseCount - 1; p >= 0; --p) {
        const season::MoonCatch &c = s.moon[p];
        laid.append({ sky::phaseName(sky::Phase(p)),
            c.trips > 0 ? std::round(double(c.fish) / c.trips * 10) / 10 : 0.0 });
    }
    QHorizontalBarSeries *series
        = barsAcross(chart, laid, QStringLiteral("Fish per trip"), QStringLiteral("%.1f"));
    QObject::connect(
        series, &QHorizontalBarSeries::hovered, series, [moon = s.moon](bool on, int index, QBarSet *) {
            if (!on) {
                QToolTip::hideText();
                return;
            }
            const int p = sky::phaseCount - 1 - index;
            QToolTip::showText(QCursor::pos(),
                QStringLiteral("%1: %2 fish on %3 %4")
                    .arg(sky::phaseName(sky::Phase(p)))
                    .arg(moon[p].fish)
                    .arg(moon[p].trips)
                    .arg(moon[p].trips == 1 ? QStringLiteral("trip") : QStringLiteral("trips")));
        });
    return chart;
}

QImage render(QChart *chart, const QSize &size, qreal pixelRatio)
{
    QGraphicsScene scene;
    scene.addItem(chart); // the scene deletes it
    chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
    if (chart->layout())
        chart->layout()->activate();
    QImage image(size * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

} // namespace seasoncharts

ChartPanel::ChartPanel(const QString &objectName, QWidget *parent)
    : QStackedWidget(parent)
    , m_pageChart(new QWidget(this))
    , m_view(new QChartView(m_pageChart))
    , m_empty(new QLabel(this))
{
    setObjectName(objectName);
    m_view->setObjectName(objectName + QStringLiteral("View"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumHeight(220);
    auto *layout = new QVBoxLayout(m_pageChart);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_empty->setObjectName(objectName + QStringLiteral("Empty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_empty->setFrameShape(QFrame::StyledPanel);
    QFont font = m_empty->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_empty->setFont(font);
    addWidget(m_pageChart);
    addWidget(m_empty);
}

void ChartPanel::showChart(QChart *chart)
{
    QChart *old = m_view->chart();
    m_view->setChart(chart);
    delete old;
    setCurrentWidget(m_pageChart);
}

void ChartPanel::showEmpty(const QString &text)
{
    m_empty->setText(text);
    setCurrentWidget(m_empty);
}

} // namespace bm
