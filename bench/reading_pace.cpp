// The real pace: the program reads six pages headless with the real reading clock and reports
// each page's measured speed against the set one.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "app/form_book.h"
#include "gui/text_codec.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int speed = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int pages = argc > 2 ? std::atoi(argv[2]) : 6;

    lectorix::TFormBook form;
    form.show();
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += lectorix::ToCp1251(QStringLiteral(
            "Мой дядя самых честных правил, когда не в шутку занемог, он уважать себя заставил и "
            "лучше выдумать не мог. Его пример другим наука; но, боже мой, какая скука с больным "
            "сидеть и день и ночь, не отходя ни шагу прочь!\r\n"));
    form.OpenText(text);
    auto& e = form.Engine();
    e.Settings.SpeedCpm = speed;
    e.Settings.AutoSpeedIncrease = false;  // measure against the speed that was set
    e.Engine.SpeedChangedByUser = true;
    e.RecomputeInterval();
    e.Engine.PageDelayTicks = e.PageDelayTicksFor();

    std::printf("set speed %d letters/min, page-start delay %d ms\n", speed,
                e.Settings.PageStartDelayMs);
    std::printf("page  session_letters  interval_ms  page_speed  deviation\n");
    int seen = 0;
    double sum = 0;
    int counted = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (e.Session.SessionPages == seen) return;
        seen = e.Session.SessionPages;
        const double dev = 100.0 * (e.Engine.PageSpeed - speed) / speed;
        std::printf("%4d  %15lld  %11.1f  %10d  %+8.2f%%\n", seen,
                    static_cast<long long>(e.Session.SessionChars), e.Engine.TimerIntervalMs,
                    e.Engine.PageSpeed, dev);
        std::fflush(stdout);
        if (seen >= 3) {
            sum += e.Engine.PageSpeed;
            ++counted;
        }
        if (seen >= pages) {
            std::printf("pages 3..%d: mean %.0f letters/min, %+.2f%% against %d\n", pages,
                        sum / counted, 100.0 * (sum / counted - speed) / speed, speed);
            QApplication::quit();
        }
    });
    poll.start(1);
    e.ActionRunExecute();
    return QApplication::exec();
}
