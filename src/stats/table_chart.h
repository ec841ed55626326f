// The chart of the table exercise's progress: the best and the mean time of each day's tables.
#pragma once

#include <QChartView>
#include <vector>

#include "stats/table_records.h"

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace lectorix {

class TTablesChart : public QChartView {
    Q_OBJECT

  public:
    explicit TTablesChart(QWidget* parent = nullptr);
    void Fill(const std::vector<TableDay>& days);

    QLineSeries* SeriesBest = nullptr;
    QLineSeries* SeriesMean = nullptr;
    QDateTimeAxis* AxisDates = nullptr;
    QValueAxis* AxisSeconds = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Ticks on whole days, as many as their labels fit.
    void LayOutDates();

    qint64 firstDay_ = 0, lastDay_ = 0;  // Julian day numbers
};

}  // namespace lectorix
