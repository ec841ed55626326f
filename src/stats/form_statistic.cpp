#include "stats/form_statistic.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "book/text_helpers.h"
#include "gui/help_window.h"
#include "gui/text_codec.h"
#include "stats/reading_diary.h"
#include "stats/table_chart.h"

namespace lectorix {
namespace {

constexpr int kDesignWidth = 537;
constexpr int kDesignHeight = 385;
constexpr int kRowHeight = 16;
constexpr int kTickIntervals = 5;  // about as many; the step is rounded to a nice one
const QColor kOlive(128, 128, 0);
// The horizontal axis keeps a label text only once; a repeated one (a page read twice) gets
// these added, which draw as nothing.
const QChar kZeroWidthSpace(0x200B);

// The report lines are set out in columns by spaces, so every row is the same height and
// every letter the same width.
class FixedRowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(kRowHeight);
        return size;
    }
};

QFont ReportFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(13);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

int ReadValue(std::string_view field) {
    return ParseWholeNumber<int>(Trim(field), PlusSign::Allowed).value_or(0);
}

// The value axis from `low` to `high`, widened to whole steps of 1, 2, 2.5 or 5 times a
// power of ten.
void SetNiceRange(QValueAxis* axis, qreal low, qreal high) {
    const qreal raw = std::max<qreal>((high - low) / kTickIntervals, 1);
    const qreal magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    qreal step = 10 * magnitude;
    for (const qreal nice : {1.0, 2.0, 2.5, 5.0}) {
        if (nice * magnitude >= raw) {
            step = nice * magnitude;
            break;
        }
    }
    const qreal first = std::floor(low / step) * step;
    const qreal last = std::max(std::ceil(high / step) * step, first + step);
    axis->setRange(first, last);
    axis->setTickCount(static_cast<int>(std::lround((last - first) / step)) + 1);
}

// A report's lines; the line break after the last line adds no empty line.
QStringList ReportLines(std::string_view cp1251) {
    QStringList lines = FromCp1251(cp1251).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return lines;
}

// Every how many points a label fits on the horizontal axis: labels `labelWidth` wide with
// a gap, `count` points spread over `axisWidth` pixels.
int LabelStep(int count, qreal axisWidth, qreal labelWidth) {
    if (count < 2 || axisWidth <= 0) return 1;
    const qreal spacing = axisWidth / (count - 1);
    return std::max(1, static_cast<int>(std::ceil(labelWidth / spacing)));
}

// Every how many days a date label fits when `days` days span `axisWidth` pixels.
qint64 DayStep(qint64 days, qreal axisWidth, qreal labelWidth) {
    const qint64 fit = std::max<qint64>(2, static_cast<qint64>(axisWidth / labelWidth));
    return std::max<qint64>(1, (days + fit - 2) / (fit - 1));
}

// A day on the time axis: its noon in local time, which keeps the date whatever a change to or
// from summer time does to the hours.
QDateTime DayTime(qint64 julianDay) {
    return QDateTime(QDate::fromJulianDay(julianDay), QTime(12, 0));
}

}  // namespace

std::vector<ChartPoint> ParseChartPoints(std::string_view cp1251) {
    std::vector<ChartPoint> points;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t valueEnd = cp1251.find('|', pos);
        if (valueEnd == std::string_view::npos) break;
        const std::size_t labelEnd = cp1251.find('|', valueEnd + 1);
        if (labelEnd == std::string_view::npos) break;
        points.push_back({ReadValue(cp1251.substr(pos, valueEnd - pos)),
                          FromCp1251(cp1251.substr(valueEnd + 1, labelEnd - valueEnd - 1))});
        pos = labelEnd + 1;
    }
    return points;
}

TFormStatistic::TFormStatistic(QWidget* parent, HelpKeyInstaller help) : QDialog(parent) {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = AddReportTab(ListBox1, QStringLiteral("Открытая книга"));
    TabSheet2 = AddReportTab(ListBox2, QStringLiteral("За сегодня"));
    TabSheet3 = AddReportTab(ListBox3, QStringLiteral("Глобальная"));
    TabSheet4 = AddReportTab(ListBox4, QStringLiteral("По датам"));
    TabSheet5 = AddReportTab(ListBox5, QStringLiteral("Для книги"));
    const QString date = QStringLiteral("Дата"), speed = QStringLiteral("зн/мин");
    TabSheet6 = AddChartTab(Plots[0], Chart1, Series1, QStringLiteral("Скорость"),
                            QStringLiteral("Динамика скорости чтения"), true, {date, speed});
    TabSheet7 = AddChartTab(Plots[1], Chart2, Series2, QStringLiteral("Объём"),
                            QStringLiteral("Динамика объёма чтения"), true,
                            {date, QStringLiteral("знаков")});
    TabSheet8 = AddChartTab(Plots[2], Chart3, Series3, QStringLiteral("За сеанс"),
                            QStringLiteral("Динамика скорости за сеанс чтения"), false,
                            {QStringLiteral("Страница"), speed});
    TabSheet9 = new QWidget(PageControl1);
    TabSheet9->setObjectName(QStringLiteral("TabSheet9"));
    Chart4 = new TTablesChart(TabSheet9);
    Chart4->setObjectName(QStringLiteral("Chart4"));
    auto* tables = new QVBoxLayout(TabSheet9);
    tables->setContentsMargins(0, 0, 0, 0);
    tables->addWidget(Chart4);
    PageControl1->addTab(TabSheet9, QStringLiteral("Таблицы"));
    PageControl1->setCurrentIndex(0);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    OKBtn = new QPushButton(QStringLiteral("&ОК"), panel);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setMinimumWidth(88);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(1); });
    auto* buttons = new QHBoxLayout(panel);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 8);
    layout->setSpacing(8);
    layout->addWidget(PageControl1, 1);
    layout->addWidget(panel);
    // At least the design size, and wide enough that every tab shows without scrolling the bar
    // (the eight captions are wider than the design width in most fonts).
    const int tabs = PageControl1->tabBar()->sizeHint().width() + 2 * 6 + 8;
    resize(std::max(kDesignWidth, tabs), kDesignHeight);
    if (help)
        help(this, help_context::kStatistics);
    else
        InstallHelpKey(this, help_context::kStatistics);
}

QWidget* TFormStatistic::AddReportTab(QListWidget*& list, const QString& caption) {
    auto* sheet = new QWidget(PageControl1);
    sheet->setObjectName(QStringLiteral("TabSheet%1").arg(PageControl1->count() + 1));
    list = new QListWidget(sheet);
    list->setObjectName(QStringLiteral("ListBox%1").arg(PageControl1->count() + 1));
    list->setFont(ReportFont());
    list->setItemDelegate(new FixedRowDelegate(list));
    list->setUniformItemSizes(true);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list);
    PageControl1->addTab(sheet, caption);
    return sheet;
}

QWidget* TFormStatistic::AddChartTab(Plot& plot, QChartView*& view, QLineSeries*& series,
                                     const QString& caption, const QString& title, bool byDate,
                                     const AxisTitles& axes) {
    auto* sheet = new QWidget(PageControl1);
    sheet->setObjectName(QStringLiteral("TabSheet%1").arg(PageControl1->count() + 1));
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 2, 12, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);

    series = new QLineSeries(chart);
    QPen pen(kOlive);
    pen.setWidth(2);
    series->setPen(pen);
    series->setPointsVisible(false);
    series->setMarkerSize(8);  // shown for a single point only
    chart->addSeries(series);

    QAbstractAxis* axisX = nullptr;
    if (byDate) {
        plot.Dates = new QDateTimeAxis(chart);
        plot.Dates->setFormat(QStringLiteral("dd.MM.yyyy"));
        axisX = plot.Dates;
    } else {
        plot.AxisX = new QCategoryAxis(chart);
        plot.AxisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axisX = plot.AxisX;
    }
    plot.AxisY = new QValueAxis(chart);
    plot.AxisY->setLabelFormat(QStringLiteral("%d"));
    plot.AxisY->setGridLineVisible(false);
    plot.AxisY->setMinorGridLineVisible(false);
    axisX->setTitleText(axes.X);
    plot.AxisY->setTitleText(axes.Y);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(plot.AxisY, Qt::AlignLeft);
    series->attachAxis(axisX);
    series->attachAxis(plot.AxisY);

    view = new QChartView(chart, sheet);
    view->setObjectName(QStringLiteral("Chart%1").arg(PageControl1->count() - 4));
    view->setRenderHint(QPainter::Antialiasing);
    plot.View = view;
    plot.Series = series;
    // The labels that fit depend on the plot's width; the new labels change the layout
    // again, so they are laid out once that pass is over.
    connect(
        chart, &QChart::plotAreaChanged, this,
        [this, &plot] { plot.Dates ? LayOutDates(plot, false) : LayOutLabels(plot, false); },
        Qt::QueuedConnection);

    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    PageControl1->addTab(sheet, caption);
    FillSeries(series, {});
    return sheet;
}

TFormStatistic::Plot* TFormStatistic::PlotOf(QLineSeries* series) {
    for (Plot& plot : Plots)
        if (plot.Series == series) return &plot;
    return nullptr;
}

void TFormStatistic::Fill(const StatisticTexts& texts) {
    const std::string* reports[] = {&texts.Report1, &texts.Report2, &texts.Report3, &texts.Report4,
                                    &texts.Report5};
    QListWidget* lists[] = {ListBox1, ListBox2, ListBox3, ListBox4, ListBox5};
    for (int i = 0; i < 5; ++i) {
        lists[i]->clear();
        lists[i]->addItems(ReportLines(*reports[i]));
    }
    FillSeries(Series1, texts.SpeedPoints);
    FillSeries(Series2, texts.VolumePoints);
    FillSeries(Series3, texts.SessionPoints);
}

void TFormStatistic::FillTables(const std::vector<TableDay>& days) {
    Chart4->Fill(days);
}

void TFormStatistic::FillSeries(QLineSeries* series, std::string_view cp1251) {
    Plot* plot = PlotOf(series);
    if (!plot) return;
    QList<QPointF> xy;
    plot->Labels.clear();
    qint64 firstDay = 0, lastDay = 0;
    for (const ChartPoint& point : ParseChartPoints(cp1251)) {
        if (!plot->Dates) {
            xy.append(QPointF(static_cast<qreal>(xy.size()), point.Value));
            plot->Labels.append(point.Label);
            continue;
        }
        const auto date = ParseDiaryDate(point.Label.toStdString());
        if (!date) continue;  // no place on a time axis
        const qint64 day = QDate(date->Year, date->Month, date->Day).toJulianDay();
        firstDay = xy.isEmpty() ? day : std::min(firstDay, day);
        lastDay = xy.isEmpty() ? day : std::max(lastDay, day);
        xy.append(QPointF(static_cast<qreal>(DayTime(day).toMSecsSinceEpoch()), point.Value));
    }
    // The line runs from day to day: today's figure comes first in the text, the diary's
    // days after it.
    if (plot->Dates)
        std::stable_sort(xy.begin(), xy.end(),
                         [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    series->replace(xy);
    // A line of one point draws nothing: that point is marked instead.
    series->setPointsVisible(xy.size() == 1);

    if (plot->Dates) {
        if (xy.isEmpty()) firstDay = lastDay = QDate::currentDate().toJulianDay();
        plot->FirstDay = firstDay;
        plot->LastDay = lastDay;
        plot->Dates->setLabelsVisible(!xy.isEmpty());
    } else {
        // A single point stands in the middle rather than on the left edge.
        const int count = static_cast<int>(xy.size());
        plot->AxisX->setStartValue(-1);
        plot->AxisX->setRange(count == 1 ? -1 : 0, std::max(1, count - 1));
    }

    qreal low = 0, high = 100;
    if (!xy.isEmpty()) {
        const auto [minIt, maxIt] = std::minmax_element(
            xy.begin(), xy.end(), [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        low = minIt->y();
        high = maxIt->y();
        const qreal pad =
            high > low ? (high - low) * 0.05 : std::max<qreal>(1, std::abs(high) * 0.1);
        const bool positive = low >= 0;
        low -= pad;
        high += pad;
        if (positive && low < 0) low = 0;
    }
    SetNiceRange(plot->AxisY, low, high);
    if (plot->Dates)
        LayOutDates(*plot, true);
    else
        LayOutLabels(*plot, true);
}

void TFormStatistic::LayOutDates(Plot& plot, bool force) {
    const QFontMetricsF metrics(plot.Dates->labelsFont());
    const qreal labelWidth =
        metrics.horizontalAdvance(QStringLiteral("00.00.0000")) + metrics.height();
    qreal axisWidth = plot.View->chart()->plotArea().width();
    if (axisWidth <= 0) axisWidth = width() - 100;
    const qint64 days = plot.LastDay - plot.FirstDay;
    const qint64 step = DayStep(days, axisWidth, labelWidth);
    if (!force) {
        if (step == plot.Step) return;
        // As with the page labels: a step that would only just fit is not taken back.
        if (step < plot.Step && DayStep(days, axisWidth, labelWidth * 1.1) >= plot.Step) return;
    }
    plot.Step = static_cast<int>(step);
    // Ticks fall on days: the axis runs whole steps back from the last day (today), so it ends
    // there rather than on a date still to come. A single day gets a day either side, so that
    // its point stands in the middle.
    qint64 last = plot.LastDay, intervals = (days + step - 1) / step;
    if (days == 0) {
        last += 1;
        intervals = 2;
    }
    plot.Dates->setRange(DayTime(last - intervals * step), DayTime(last));
    plot.Dates->setTickCount(static_cast<int>(intervals) + 1);
}

void TFormStatistic::LayOutLabels(Plot& plot, bool force) {
    const QFontMetricsF metrics(plot.AxisX->labelsFont());
    qreal labelWidth = 0;
    for (const QString& label : plot.Labels)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
    // The axis leaves no room for the half of a label that stands beyond its last point.
    QChart* chart = plot.View->chart();
    const int right = std::max(12, static_cast<int>(std::ceil(labelWidth / 2)) + 2);
    if (chart->margins().right() != right) chart->setMargins(QMargins(4, 2, right, 2));
    labelWidth += metrics.height();  // the gap between two labels
    // Before the first layout the plot has no size yet: guess from the window's.
    qreal axisWidth = chart->plotArea().width();
    if (axisWidth <= 0) axisWidth = width() - 100;
    const int count = static_cast<int>(plot.Labels.size());
    const int step = LabelStep(count, axisWidth, labelWidth);
    if (!force) {
        if (step == plot.Step) return;
        // New labels move the plot's edges by a few pixels; a step that would only just fit
        // is not taken back, or the two layouts would keep swapping.
        if (step < plot.Step && LabelStep(count, axisWidth, labelWidth * 1.1) >= plot.Step) return;
    }
    plot.Step = step;

    QCategoryAxis* axis = plot.AxisX;
    for (const QString& label : axis->categoriesLabels())
        axis->remove(label);
    QSet<QString> used;
    for (int i = 0; i < count; i += step) {
        QString label = plot.Labels[i];
        while (used.contains(label))
            label += kZeroWidthSpace;
        used.insert(label);
        axis->append(label, i);
    }
}

void TFormStatistic::CenterOnScreen() {
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TFormStatistic::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    setWindowTitle(QStringLiteral("Статистика"));
    CenterOnScreen();
    OKBtn->setFocus();
}

void ShowStatisticWindow(QWidget* parent, const StatisticTexts& texts,
                         const std::vector<TableDay>& tables) {
    ShowStatisticWindow(parent, texts, tables, nullptr);
}

void ShowStatisticWindow(QWidget* parent, const StatisticTexts& texts,
                         const std::vector<TableDay>& tables, HelpKeyInstaller help) {
    TFormStatistic form(parent, help);
    form.Fill(texts);
    form.FillTables(tables);
    form.exec();
}

}  // namespace lectorix
