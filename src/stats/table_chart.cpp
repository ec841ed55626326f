#include "stats/table_chart.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace lectorix {

namespace {

// A day at its noon, which keeps the date whatever summer time does to the hours.
QDateTime DayTime(qint64 julianDay) {
    return QDateTime(QDate::fromJulianDay(julianDay), QTime(12, 0));
}

QLineSeries* AddSeries(QChart* chart, const QString& name, const QColor& color) {
    auto* series = new QLineSeries(chart);
    series->setName(name);
    QPen pen(color);
    pen.setWidth(2);
    series->setPen(pen);
    series->setMarkerSize(8);
    chart->addSeries(series);
    return series;
}

}  // namespace

TTablesChart::TTablesChart(QWidget* parent) : QChartView(parent) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Время на таблицу по дням, секунды"));
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 2, 12, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    SeriesBest = AddSeries(chart, QStringLiteral("Лучшее время"), QColor(0, 128, 0));
    SeriesMean = AddSeries(chart, QStringLiteral("Среднее время"), QColor(128, 128, 0));
    AxisDates = new QDateTimeAxis(chart);
    AxisDates->setFormat(QStringLiteral("dd.MM.yyyy"));
    AxisSeconds = new QValueAxis(chart);
    AxisSeconds->setLabelFormat(QStringLiteral("%.0f"));
    AxisSeconds->setGridLineVisible(false);
    AxisSeconds->setMinorGridLineVisible(false);
    // The axes say what they measure, as the other charts' do.
    AxisDates->setTitleText(QStringLiteral("Дата"));
    AxisSeconds->setTitleText(QStringLiteral("секунд"));
    chart->addAxis(AxisDates, Qt::AlignBottom);
    chart->addAxis(AxisSeconds, Qt::AlignLeft);
    for (QLineSeries* s : {SeriesBest, SeriesMean}) {
        s->attachAxis(AxisDates);
        s->attachAxis(AxisSeconds);
    }
    // The view starts with a chart of its own, which it gives back rather than deletes.
    QChart* empty = this->chart();
    setChart(chart);
    delete empty;
    setRenderHint(QPainter::Antialiasing);
    Fill({});
}

void TTablesChart::Fill(const std::vector<TableDay>& days) {
    QList<QPointF> best, mean;
    double highest = 0;
    for (const TableDay& d : days) {
        const qint64 day = QDate(d.Date.Year, d.Date.Month, d.Date.Day).toJulianDay();
        const auto x = static_cast<qreal>(DayTime(day).toMSecsSinceEpoch());
        best.append({x, d.Best});
        mean.append({x, d.Mean});
        highest = std::max(highest, d.Mean);
    }
    SeriesBest->replace(best);
    SeriesMean->replace(mean);
    // A line of one point draws nothing: the point is marked instead.
    SeriesBest->setPointsVisible(days.size() == 1);
    SeriesMean->setPointsVisible(days.size() == 1);
    AxisDates->setLabelsVisible(!days.empty());

    const qint64 today = QDate::currentDate().toJulianDay();
    firstDay_ = days.empty()
                    ? today
                    : QDate(days.front().Date.Year, days.front().Date.Month, days.front().Date.Day)
                          .toJulianDay();
    lastDay_ = days.empty()
                   ? today
                   : QDate(days.back().Date.Year, days.back().Date.Month, days.back().Date.Day)
                         .toJulianDay();
    // From 0, in steps of 5 or 10 seconds: a minute at most is given to a table.
    const double step = highest > 30 ? 10 : 5;
    const double top = std::max(step, std::ceil(highest * 1.05 / step) * step);
    AxisSeconds->setRange(0, top);
    AxisSeconds->setTickCount(static_cast<int>(top / step) + 1);
    LayOutDates();
}

void TTablesChart::LayOutDates() {
    const QFontMetricsF metrics(AxisDates->labelsFont());
    const qreal labelWidth =
        metrics.horizontalAdvance(QStringLiteral("00.00.0000")) + metrics.height();
    qreal axisWidth = chart()->plotArea().width();
    if (axisWidth <= 0) axisWidth = width() - 100;
    const qint64 days = lastDay_ - firstDay_;
    const qint64 fit = std::max<qint64>(2, static_cast<qint64>(axisWidth / labelWidth));
    const qint64 step = std::max<qint64>(1, (days + fit - 2) / (fit - 1));
    // Whole steps back from the last day; a single day gets a day either side.
    qint64 last = lastDay_, intervals = (days + step - 1) / step;
    if (days == 0) {
        last += 1;
        intervals = 2;
    }
    AxisDates->setRange(DayTime(last - intervals * step), DayTime(last));
    AxisDates->setTickCount(static_cast<int>(intervals) + 1);
}

void TTablesChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    LayOutDates();
}

}  // namespace lectorix
