// The cost of one moving tick with its partial paint: the engine's step, the composition of
// the two strips, and the strips drawn onto the window, headless.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QRegion>
#include <QThread>
#include <QWindow>

#include "app/form_book.h"
#include "gui/text_codec.h"

namespace {

using lectorix::TFormBook;

std::string Story() {
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += lectorix::ToCp1251(QStringLiteral(
            "Мой дядя самых честных правил, когда не в шутку занемог, он уважать себя заставил и "
            "лучше выдумать не мог.\r\n"));
    return text;
}

// A reader that is running with its shutter in the middle of the page.
void StartReading(TFormBook& form) {
    form.OpenText(Story());
    auto& e = form.Engine();
    e.Settings.PageStartDelayMs = 0;
    e.Engine.PageDelayTicks = 1;
    e.ActionRunExecute();
    form.SetClockEnabled(false);  // the benchmark ticks by hand
    e.QvlThreadTimer1Timer();
}

// Keeps the shutter on the page, so every measured tick is a moving one.
void Rewind(TFormBook& form) {
    auto& e = form.Engine().Engine;
    if (e.ShutterPos > e.ShutterEndPos - 8 * form.Painter().LineHeight)
        form.Engine().ResetShutter();
}

void BM_TickWithPartialPaint(benchmark::State& state) {
    TFormBook form;
    form.show();
    StartReading(form);
    for (auto _ : state) {
        form.Engine().QvlThreadTimer1Timer();
        Rewind(form);
    }
    form.Engine().ActionPauseExecute();
}
BENCHMARK(BM_TickWithPartialPaint);

// The tick as the user sees it: the step, the composition, and the strips painted onto the
// window at once instead of at the next turn of the event loop.
void BM_TickAndStripsOnScreen(benchmark::State& state) {
    TFormBook form;
    form.resize(1280, 900);
    form.show();
    // Until the window is exposed a repaint paints nothing, and the loop would time the step
    // alone.
    for (int i = 0; i < 2000 && !(form.windowHandle() && form.windowHandle()->isExposed()); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    StartReading(form);
    const auto& painter = form.Painter();
    for (auto _ : state) {
        form.Engine().QvlThreadTimer1Timer();
        const auto& e = form.Engine().Engine;
        const int tsb = painter.TopShutterBottom(e, form.Engine().Settings);
        const int bsh = painter.BottomShutterHeight(e);
        const QPoint o = form.Area()->PageOrigin();
        QRegion strips(QRect(o.x() + 2, o.y() + tsb - 4, painter.PageWidth - 4, 2));
        strips += QRect(o.x() + 2, o.y() + painter.PageHeight - bsh - 4, painter.PageWidth - 4, 4);
        form.Area()->repaint(strips);
        Rewind(form);
    }
    form.Engine().ActionPauseExecute();
}
BENCHMARK(BM_TickAndStripsOnScreen);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
