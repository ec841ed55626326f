// The cost of one moving tick of the reading engine alone, without painting.
#include <benchmark/benchmark.h>

#include "reader/reading_engine.h"

namespace lectorix {
namespace {

class NullView : public ReaderView {
  public:
    void SetCaption(const std::string&) override {}
    void SetActionEnabled(ReaderAction, bool) override {}
    void SetActionShortcut(ReaderAction, bool) override {}
    void SetActionChecked(ReaderAction, bool) override {}
    void PreparePageLines() override {}
    void PaintPage(bool) override {}
    void SetPointerHidden(bool) override {}
    void SetClockEnabled(bool) override {}
    void SetClockInterval(double) override {}
    double ClockInterval() const override { return 0; }
    void PostToUi(std::function<void()>) override {}
};

void BM_MovingTick(benchmark::State& state) {
    NullView view;
    SteadyClock clock;
    ReadingEngine engine(view, clock);
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "Lorem ipsum dolor sit amet, consectetur adipiscing elit.\r\n";
    engine.OpenNewText(text, true);
    engine.Engine.PageDelayTicks = 0;
    engine.ActionRunExecute();
    for (auto _ : state) {
        engine.ReadingTick();
        if (engine.Engine.PageEnded) {
            // Stay on the page: only moving ticks are measured.
            engine.Engine.PageEnded = false;
            engine.ResetShutter();
        }
        benchmark::DoNotOptimize(engine.Engine.ShutterPos);
    }
}
BENCHMARK(BM_MovingTick);

}  // namespace
}  // namespace lectorix
