// The statistics window: its tabs and button, the reports in a fixed-pitch font, the charts'
// points and the labels under them.
#include "stats/form_statistic.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFontInfo>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "gui/text_codec.h"

namespace lectorix {
namespace {

QCategoryAxis* AxisX(QChartView* view) {
    return qobject_cast<QCategoryAxis*>(view->chart()->axes(Qt::Horizontal).value(0));
}

std::string Days(int count) {
    std::string points;
    for (int i = 0; i < count; ++i)
        points += std::to_string(600 + i % 50) + "|" + std::to_string(10 + i % 18) + "." +
                  std::to_string(10 + i % 3) + ".2026|";
    return points;
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
    void tabsButtonAndCaption() {
        TFormStatistic form;
        QCOMPARE(form.PageControl1->count(), 8);
        QCOMPARE(form.PageControl1->widget(5), form.TabSheet6);
        QVERIFY(form.OKBtn->isDefault());
        QCOMPARE(form.height(), 385);
        // Every tab shows without scrolling the tab bar.
        QVERIFY(form.width() >= 537);

        // Shown modally: on the first tab, OK has the focus and closes it with 1. What it saw is
        // checked after it closed, so a failure cannot leave it open.
        TFormStatistic* shown = nullptr;
        QString title;
        int tab = -1;
        bool focus = false, allTabsShow = false;
        QTimer::singleShot(0, &form, [&] {
            shown = qobject_cast<TFormStatistic*>(QApplication::activeModalWidget());
            [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&form);
            title = form.windowTitle();
            tab = form.PageControl1->currentIndex();
            focus = form.OKBtn->hasFocus();
            const QTabBar* bar = form.PageControl1->tabBar();
            allTabsShow = bar->tabRect(7).right() < bar->width();
            QTest::keyClick(&form, Qt::Key_Return);
        });
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QCOMPARE(shown, &form);
        QCOMPARE(title, QStringLiteral("Статистика"));
        QCOMPARE(tab, 0);
        QVERIFY(focus);
        QVERIFY(allTabsShow);
    }

    void reportsAreFixedPitchLines() {
        TFormStatistic form;
        StatisticTexts texts;
        // Narrow and wide letters in the labels: only a fixed pitch lines the values up.
        texts.Report4 =
            ToCp1251(QStringLiteral("Прочитано iiii:                  12000\r\n"
                                    "Время чтения ШШШ:                0:15:00\r\n"));
        texts.Report1 = "one\r\n\r\nthree";
        form.Fill(texts);
        QListWidget* list = form.ListBox4;
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), QStringLiteral("Время чтения ШШШ:                0:15:00"));
        QCOMPARE(form.ListBox1->count(), 3);
        QCOMPARE(form.ListBox1->item(2)->text(), QStringLiteral("three"));
        QCOMPARE(form.ListBox2->count(), 0);

        QVERIFY(QFontInfo(list->font()).fixedPitch());
        QCOMPARE(list->font().pixelSize(), 13);
        const QFontMetrics metrics(list->font());
        QCOMPARE(metrics.horizontalAdvance(list->item(0)->text().left(33)),
                 metrics.horizontalAdvance(list->item(1)->text().left(33)));
        form.show();
        form.PageControl1->setCurrentIndex(3);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(list->visualItemRect(list->item(0)).height(), 16);
        QCOMPARE(list->visualItemRect(list->item(1)).top(), 16);
    }

    void pointListsFillTheCharts() {
        QCOMPARE(ParseChartPoints("800|01.12.2026|").size(), 0u);
        const auto points = ParseChartPoints("x|a|900|b|700|c");  // the last has no "|"
        QCOMPARE(points.size(), 2u);
        QCOMPARE(points[0].Value, 0);
        QCOMPARE(points[1].Value, 900);
        QCOMPARE(points[1].Label, QStringLiteral("b"));

        TFormStatistic form;
        form.FillSeries(form.Series1, "800|01.12.2026|900|02.12.2026|");
        QCOMPARE(form.Series1->count(), 2);
        QCOMPARE(form.Series1->at(1), QPointF(1, 900));
        QCOMPARE(AxisX(form.Chart1)->categoriesLabels(),
                 QStringList({QStringLiteral("01.12.2026"), QStringLiteral("02.12.2026")}));
        form.FillSeries(form.Series1, "800|01.12.2026|");
        QCOMPARE(form.Series1->count(), 0);
        QVERIFY(AxisX(form.Chart1)->categoriesLabels().isEmpty());

        StatisticTexts texts;
        texts.SessionPoints = "500|1|600|2|";
        form.Fill(texts);
        QCOMPARE(form.Series3->count(), 2);
        QCOMPARE(AxisX(form.Chart3)->categoriesLabels(),
                 QStringList({QStringLiteral("1"), QStringLiteral("2")}));
        form.FillSeries(form.Series3, "1|5|2|5|");  // a page read twice keeps both labels
        QCOMPARE(AxisX(form.Chart3)->count(), 2);
        form.FillSeries(form.Series3, "500|1|600|2|");
        // The value axis holds every point.
        const auto* axisY = qobject_cast<QValueAxis*>(form.Series3->attachedAxes().value(1));
        QVERIFY(axisY->min() <= 500 && axisY->max() > 600);
    }

    void longDiariesThinTheLabels() {
        TFormStatistic form;
        form.FillSeries(form.Series2, Days(400));
        QCOMPARE(form.Series2->count(), 400);
        form.show();
        form.PageControl1->setCurrentIndex(6);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCategoryAxis* axis = AxisX(form.Chart2);
        QTRY_COMPARE(Overprinted(form.Chart2, form.Series2), QString());
        const int narrow = axis->count();
        QVERIFY(narrow > 2 && narrow < 40);

        // A wider window has room for more of them, still apart.
        form.resize(1400, 385);
        QTRY_VERIFY(axis->count() > narrow);
        QTRY_COMPARE(Overprinted(form.Chart2, form.Series2), QString());
    }

    void fillReplacesEverything() {
        TFormStatistic form;
        StatisticTexts texts;
        texts.Report1 = "a\r\nb\r\n";
        texts.SpeedPoints = "1|x|2|y|3|z|";
        form.Fill(texts);
        form.Fill({});
        QCOMPARE(form.ListBox1->count(), 0);
        QCOMPARE(form.Series1->count(), 0);
        QVERIFY(AxisX(form.Chart1)->categoriesLabels().isEmpty());
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormStatisticTest)
#include "form_statistic_test.moc"
