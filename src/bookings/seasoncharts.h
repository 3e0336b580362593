#pragma once

#include "domain/season.h"

#include <QImage>
#include <QStackedWidget>

class QChart;
class QChartView;
class QLabel;

namespace bm
{

// The charts of the season summary, each made new from the figures. The
// caller owns the chart.
namespace seasoncharts
{

QChart *trips(const season::Summary &s);
QChart *income(const season::Summary &s);
QChart *species(const season::Summary &s);
QChart *moon(const season::Summary &s); // fish per trip by the moon's phase

// Draws a chart (and deletes it) on a picture of the given size, for a PNG
// file or the printed summary; pixelRatio > 1 draws it finer, in more pixels.
QImage render(QChart *chart, const QSize &size, qreal pixelRatio = 1);

// The month's short name as the system writes it ("Mar").
QString monthName(int month);

} // namespace seasoncharts

// A chart, or in its place a sentence that says what there is no data for.
class ChartPanel : public QStackedWidget
{
    Q_OBJECT
public:
    explicit ChartPanel(const QString &objectName, QWidget *parent = nullptr);

    void showChart(QChart *chart); // takes the chart
    void showEmpty(const QString &text);

    bool hasChart() const { return currentWidget() == m_pageChart; }
    QChartView *view() const { return m_view; }
    QLabel *emptyLabel() const { return m_empty; }

private:
    QWidget *m_pageChart;
    QChartView *m_view;
    QLabel *m_empty;
};

} // namespace bm
