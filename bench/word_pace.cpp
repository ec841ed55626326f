// The word exercise's real pace: the window runs on its own clock at 1500 characters a minute and
// each change of the words on screen is timed from the label's paint events, against the time
// the exercise gives it.
//
//   word_pace [line|column|herringbone] [WORDS]
//
// line: "Строка", six letters, a word and a blank screen of 240 ms each; column: ten words of six
// letters at 240 ms, the full column 300 ms more; herringbone: 1 to 15 in columns, rows of
// 6 to 15 characters' time, the full column 300 ms more. Prints the mean time on screen and its
// error, and the 99th percentile and the largest of the errors of single changes.
#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "exercises/form_line.h"

namespace {

using namespace lectorix;
using Clock = std::chrono::steady_clock;

struct Change {
    Clock::time_point at;
    QString text;
};

class PaintWatch : public QObject {
  public:
    std::vector<Change> changes;
    int words = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        const QString text = static_cast<QLabel*>(watched)->text();
        if (!changes.empty() && changes.back().text == text) return false;
        changes.push_back({Clock::now(), text});
        if (!text.trimmed().isEmpty()) ++words;
        return false;
    }
};

// The rows of a column that hold a word.
int FilledRows(const QString& text) {
    int rows = 0;
    for (const QString& row : text.split(QLatin1Char('\n')))
        if (!row.trimmed().isEmpty()) ++rows;
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "line";
    const int wanted = argc > 2 ? std::atoi(argv[2]) : 500;
    RandomGenerator random;
    random.SeedFromClock();
    TFormLine form(nullptr, random);
    PaintWatch watch;
    form.LabelWord->installEventFilter(&watch);
    form.showMaximized();
    form.RxSpinEditSpeed->setValue(1500);
    form.RxSpinEditWords->setValue(6);
    if (mode != "line") form.RadioGroup1Column->setChecked(true);
    if (mode == "herringbone") {
        form.PageControl1->setCurrentWidget(form.TabSheetPhyramid);
        form.RxSpinEditBegin->setValue(1);
        form.RxSpinEditEnd->setValue(15);
    }
    QTimer::singleShot(200, &form, [&] { form.ActionStartExecute(); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        // Words of whole columns, and one change more, the last one's end.
        if (watch.words > wanted) app.quit();
    });
    poll.start(50);
    app.exec();
    form.ActionStopExecute();

    // A change stays until the next; its target is what the exercise gives what it shows.
    std::vector<double> errors;
    double measured = 0, target = 0;
    for (size_t i = 1; i + 1 < watch.changes.size() && errors.size() < size_t(2 * wanted); ++i) {
        const Change& c = watch.changes[i];
        double want = 240;
        if (mode == "column") {
            if (FilledRows(c.text) == 10) want += 300;
        } else if (mode == "herringbone") {
            const int rows = FilledRows(c.text);
            want = 40.0 * std::max(rows, 6) + (rows == 15 ? 300 : 0);
        }
        const double ms =
            std::chrono::duration<double, std::milli>(watch.changes[i + 1].at - c.at).count();
        measured += ms;
        target += want;
        errors.push_back(std::abs(ms - want));
    }
    if (errors.empty()) {
        std::printf("no words were shown\n");
        return 1;
    }
    std::vector<double> sorted = errors;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    const double p99 = sorted[std::min(n - 1, static_cast<size_t>(std::ceil(0.99 * n)) - 1)];
    std::printf(
        "%s: %zu changes (%d words), mean %.2f ms against %.2f ms (%+.3f %%), |error| p99 %.2f ms, "
        "max %.2f ms\n",
        mode.c_str(), n, watch.words, measured / n, target / n, 100 * (measured - target) / target,
        p99, sorted.back());
    return 0;
}
