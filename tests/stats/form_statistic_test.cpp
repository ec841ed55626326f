// The statistics window: its tabs and button, the reports in a fixed-pitch font, the charts'
// points and the labels under them.
#include "stats/form_statistic.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFontInfo>
#include <QGraphicsTextItem>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <array>

#include "gui/text_codec.h"

namespace lectorix {
namespace {

QCategoryAxis* AxisX(QChartView* view) {
    return qobject_cast<QCategoryAxis*>(view->chart()->axes(Qt::Horizontal).value(0));
}
QDateTimeAxis* DateAxis(QChartView* view) {
    return qobject_cast<QDateTimeAxis*>(view->chart()->axes(Qt::Horizontal).value(0));
}

// `count` days in a row from 1 December 2025, as the diary writes them.
std::string Days(int count) {
    std::string points;
    const QDate first(2025, 12, 1);
    for (int i = 0; i < count; ++i)
        points += std::to_string(600 + i % 50) + "|" +
                  first.addDays(i).toString(QStringLiteral("dd.MM.yyyy")).toStdString() + "|";
    return points;
}

QDate DateOf(qreal x) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x)).date();
}

// The texts drawn on a chart.
QList<const QGraphicsTextItem*> Texts(QChartView* view) {
    QList<const QGraphicsTextItem*> texts;
    for (QGraphicsItem* item : view->scene()->items())
        if (const auto* text = dynamic_cast<QGraphicsTextItem*>(item);
            text && text->isVisible() && !text->toPlainText().isEmpty())
            texts << text;
    return texts;
}

// The labels under a chart as drawn (the axis's title not among them), in the view's
// coordinates, left to right.
QList<QRectF> LabelsBelow(QChartView* view) {
    QList<QRectF> labels;
    const qreal bottom = view->chart()->plotArea().bottom();
    const QString title = view->chart()->axes(Qt::Horizontal).value(0)->titleText();
    for (const QGraphicsTextItem* text : Texts(view))
        if (text->sceneBoundingRect().top() >= bottom && text->toPlainText() != title)
            labels << view->mapFromScene(text->sceneBoundingRect()).boundingRect();
    std::sort(labels.begin(), labels.end(),
              [](const QRectF& a, const QRectF& b) { return a.left() < b.left(); });
    return labels;
}

// Empty when the labels under the chart stand clear of each other, else the two that touch.
QString Overprinted(QChartView* view, QLineSeries* series) {
    QCategoryAxis* axis = AxisX(view);
    const QFontMetricsF metrics(axis->labelsFont());
    qreal rightEdge = -1e9;
    for (const QString& label : axis->categoriesLabels()) {
        const qreal x = view->chart()->mapToPosition({axis->endValue(label), 0}, series).x();
        const qreal half = metrics.horizontalAdvance(label) / 2;
        if (x - half < rightEdge) return label;
        rightEdge = x + half;
    }
    return {};
}

}  // namespace

class FormStatisticTest : public QObject {
    Q_OBJECT

  private slots:
    void okHasTheFocusEveryTabShowsAndReportsAreFixedPitchLines() {
        TFormStatistic form;
        StatisticTexts texts;
        // Narrow and wide letters in the labels: only a fixed pitch lines the values up.
        texts.Report4 =
            ToCp1251(QStringLiteral("Прочитано iiii:                  12000\r\n"
                                    "Время чтения ШШШ:                0:15:00\r\n"));
        texts.Report1 = "one\r\n\r\nthree";
        form.Fill(texts);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(form.OKBtn->hasFocus());
        const QTabBar* bar = form.PageControl1->tabBar();
        QVERIFY(bar->tabRect(bar->count() - 1).right() < bar->width());

        QListWidget* list = form.ListBox4;
        QCOMPARE(list->count(), 2);
        QCOMPARE(form.ListBox1->count(), 3);  // an empty line and an unended last one count
        QCOMPARE(form.ListBox2->count(), 0);
        QVERIFY(QFontInfo(list->font()).fixedPitch());
        const QFontMetrics metrics(list->font());
        QCOMPARE(metrics.horizontalAdvance(list->item(0)->text().left(33)),
                 metrics.horizontalAdvance(list->item(1)->text().left(33)));
    }

    void pointListsFillTheChartsAndDaysLieByDate() {
        QCOMPARE(ParseChartPoints("800|").size(), 0u);
        const auto points = ParseChartPoints("x|a|900|b|700|c");  // the last has no "|"
        QCOMPARE(points.size(), 2u);
        QVERIFY(points[0].Value == 0 && points[1].Value == 900 && points[1].Label == "b");

        TFormStatistic form;
        StatisticTexts texts;
        texts.SessionPoints = "500|1|600|2|";
        form.Fill(texts);
        QCOMPARE(form.Series3->count(), 2);
        QCOMPARE(AxisX(form.Chart3)->categoriesLabels(),
                 QStringList({QStringLiteral("1"), QStringLiteral("2")}));
        const auto* axisY = qobject_cast<QValueAxis*>(form.Series3->attachedAxes().value(1));
        QVERIFY(axisY->min() <= 500 && axisY->max() > 600);  // it holds every point
        form.FillSeries(form.Series3, "1|5|2|5|");           // a page read twice keeps both labels
        QCOMPARE(AxisX(form.Chart3)->count(), 2);
        // Filling again replaces the charts, with nothing as well.
        texts.SpeedPoints = "1|01.12.2026|2|02.12.2026|3|03.12.2026|";
        form.Fill(texts);
        form.Fill({});
        QCOMPARE(form.Series1->count(), 0);
        QVERIFY(AxisX(form.Chart3)->categoriesLabels().isEmpty());

        // Five days without reading lie five times as far apart as two days in a row.
        form.FillSeries(form.Series2, "800|01.12.2026|900|02.12.2026|700|07.12.2026|");
        QCOMPARE(form.Series2->count(), 3);
        const QList<QPointF> xy = form.Series2->points();
        QCOMPARE(DateOf(xy[0].x()), QDate(2026, 12, 1));
        QCOMPARE(DateOf(xy[2].x()), QDate(2026, 12, 7));
        QCOMPARE(xy[2].x() - xy[1].x(), 5 * (xy[1].x() - xy[0].x()));
        // Today's figure comes first in the text: the line still runs from day to day.
        form.FillSeries(form.Series2, "0|08.12.2026|800|01.12.2026|900|02.12.2026|");
        QCOMPARE(DateOf(form.Series2->at(0).x()), QDate(2026, 12, 1));
        QCOMPARE(DateOf(form.Series2->at(2).x()), QDate(2026, 12, 8));
        // The axis ends on the last day (today), whole steps back from it; it used to run on
        // to a date still to come.
        form.FillSeries(form.Series2, Days(38));
        QCOMPARE(DateAxis(form.Chart2)->max().date(), QDate(2026, 1, 7));
        QVERIFY(DateAxis(form.Chart2)->min().date() <= QDate(2025, 12, 1));
        // A label that is no date has no place on the axis: its point is left out.
        form.FillSeries(form.Series2, "800|01.12.2026|900|вчера|700|07.12.2026|");
        QCOMPARE(form.Series2->count(), 2);
    }

    void aSingleDayShowsAndLabelsShowWholeAndApart() {
        TFormStatistic form;
        form.FillSeries(form.Series1, "800|07.12.2026|");
        form.FillSeries(form.Series2, Days(400));
        std::string pages;  // a long session late in a book: wide labels
        for (int i = 99601; i <= 100000; ++i)
            pages += std::to_string(600 + i % 50) + "|" + std::to_string(i) + "|";
        form.FillSeries(form.Series3, pages);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The first day of use is drawn, under its date: a line of one point draws nothing, and
        // its axes once ran from 0 to 100, the point outside them.
        form.PageControl1->setCurrentIndex(5);
        QTRY_COMPARE(LabelsBelow(form.Chart1).size(), 3);
        // Each axis says what it measures: under the dates, beside the values.
        for (int tab = 5; tab < 8; ++tab) {
            form.PageControl1->setCurrentIndex(tab);
            QChartView* view = std::array{form.Chart1, form.Chart2, form.Chart3}[tab - 5];
            const QStringList titles = {tab == 7 ? "Страница" : "Дата",
                                        tab == 6 ? "знаков" : "зн/мин"};
            QTRY_VERIFY(std::ranges::all_of(titles, [&](const QString& t) {
                return std::ranges::any_of(Texts(view), [&](const QGraphicsTextItem* text) {
                    const QRectF at = text->sceneBoundingRect();
                    const QRectF plot = view->chart()->plotArea();
                    return text->toPlainText() == t &&
                           (t == titles[0] ? at.top() >= plot.bottom() : at.right() <= plot.left());
                });
            }));
        }
        form.PageControl1->setCurrentIndex(5);
        const QColor olive(128, 128, 0);
        const QImage drawn = form.Chart1->grab().toImage();
        int ink = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                ink += drawn.pixelColor(x, y) == olive;
        QVERIFY(ink > 10);

        // The last label stands whole inside the window; a date used to be cut in half.
        form.FillSeries(form.Series1, "800|01.12.2026|900|02.12.2026|700|07.12.2026|");
        const auto whole = [](QChartView* view) {
            const QList<QRectF> labels = LabelsBelow(view);
            return labels.size() >= 2 && labels.front().left() >= 0 &&
                   labels.back().right() <= view->viewport()->width();
        };
        QTRY_VERIFY(whole(form.Chart1));
        form.PageControl1->setCurrentIndex(7);
        QTRY_VERIFY(whole(form.Chart3));

        // A year of days and four hundred pages: as many labels as fit without touching, more
        // in a wider window.
        form.PageControl1->setCurrentIndex(6);
        const auto apart = [&] {
            const QList<QRectF> l = LabelsBelow(form.Chart2);
            for (int i = 1; i < l.size(); ++i)
                if (l[i].left() < l[i - 1].right()) return false;
            return l.size() > 2 && l.back().right() <= form.Chart2->viewport()->width();
        };
        QTRY_VERIFY(apart());
        const qsizetype days = LabelsBelow(form.Chart2).size();
        form.PageControl1->setCurrentIndex(7);
        QCategoryAxis* axis = AxisX(form.Chart3);
        QTRY_COMPARE(Overprinted(form.Chart3, form.Series3), QString());
        const int narrow = axis->count();
        QVERIFY(narrow > 2 && narrow < 40);
        form.resize(1400, 385);
        QTRY_VERIFY(axis->count() > narrow);
        QTRY_COMPARE(Overprinted(form.Chart3, form.Series3), QString());
        form.PageControl1->setCurrentIndex(6);
        QTRY_VERIFY(LabelsBelow(form.Chart2).size() > days);
        QTRY_VERIFY(apart());
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormStatisticTest)
#include "form_statistic_test.moc"
