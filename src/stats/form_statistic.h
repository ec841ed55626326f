// The statistics window "Статистика": the five reports and the three charts of the diary.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "stats/charts_module.h"       // HelpKeyInstaller
#include "stats/statistics_reports.h"  // StatisticTexts
#include "stats/table_records.h"

class QCategoryAxis;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QListWidget;
class QPushButton;
class QTabWidget;
class QValueAxis;

namespace lectorix {

class TTablesChart;

struct ChartPoint {
    int Value = 0;
    QString Label;
};

// The points of a "value|label|" list in CP1251. A value that is not a number reads as 0; a
// piece without its closing "|" ends the list.
std::vector<ChartPoint> ParseChartPoints(std::string_view cp1251);

class TFormStatistic : public QDialog {
    Q_OBJECT

  public:
    // `help` installs F1 (InstallHelpKey when not given).
    explicit TFormStatistic(QWidget* parent = nullptr, HelpKeyInstaller help = nullptr);
    void Fill(const StatisticTexts& texts);
    // The last tab: the table exercise's best and mean time per day.
    void FillTables(const std::vector<TableDay>& days);

    // Replaces the points of one of the three charts (Series1..3) with those of `cp1251`.
    void FillSeries(QLineSeries* series, std::string_view cp1251);

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    QWidget* TabSheet4;
    QWidget* TabSheet5;
    QWidget* TabSheet6;
    QWidget* TabSheet7;
    QWidget* TabSheet8;
    QWidget* TabSheet9;
    QListWidget* ListBox1;
    QListWidget* ListBox2;
    QListWidget* ListBox3;
    QListWidget* ListBox4;
    QListWidget* ListBox5;
    QChartView* Chart1;
    QChartView* Chart2;
    QChartView* Chart3;
    TTablesChart* Chart4;
    QLineSeries* Series1;
    QLineSeries* Series2;
    QLineSeries* Series3;
    QPushButton* OKBtn;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // One chart with its axes. The diary's charts place their days by date on a time axis;
    // the session's chart puts its pages side by side, labelled with their running numbers.
    // The horizontal axis labels every `Step`-th point (days for a time axis).
    struct Plot {
        QChartView* View = nullptr;
        QLineSeries* Series = nullptr;
        QCategoryAxis* AxisX = nullptr;  // the session's pages
        QDateTimeAxis* Dates = nullptr;  // the diary's days
        QValueAxis* AxisY = nullptr;
        QStringList Labels;
        qint64 FirstDay = 0, LastDay = 0;  // the days of the time axis, as Julian day numbers
        int Step = 0;
    };

    QWidget* AddReportTab(QListWidget*& list, const QString& caption);
    // What the axes measure, shown beside them.
    struct AxisTitles {
        QString X, Y;
    };
    QWidget* AddChartTab(Plot& plot, QChartView*& view, QLineSeries*& series,
                         const QString& caption, const QString& title, bool byDate,
                         const AxisTitles& axes);
    Plot* PlotOf(QLineSeries* series);
    // Puts every k-th label on the horizontal axis, k chosen for the chart's current size.
    void LayOutLabels(Plot& plot, bool force);
    void LayOutDates(Plot& plot, bool force);
    void CenterOnScreen();

    Plot Plots[3];
};

// Builds the window, fills it, shows it modally and destroys it when it closes.
void ShowStatisticWindow(QWidget* parent, const StatisticTexts& texts,
                         const std::vector<TableDay>& tables = {});
// The same with F1 installed by `help`.
void ShowStatisticWindow(QWidget* parent, const StatisticTexts& texts,
                         const std::vector<TableDay>& tables, HelpKeyInstaller help);

}  // namespace lectorix
