// Opening a large text as the main window does: the file read and decoded, the reader's first
// page built, then the background letter count. Prints the times and the peak memory, so that
// a text of some hundred megabytes can be checked against the file's own size.
//
//   open_large_text FILE
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "book/text_loader.h"
#include "reader/reading_engine.h"

namespace lectorix {
namespace {

// Records only what the measurement needs: the first page painted and the count's hand-over.
class TimingView : public ReaderView {
  public:
    int paints = 0;
    void SetCaption(const std::string&) override {}
    void SetActionEnabled(ReaderAction, bool) override {}
    void SetActionShortcut(ReaderAction, bool) override {}
    void SetActionChecked(ReaderAction, bool) override {}
    void PreparePageLines() override {}
    void PaintPage(bool) override { ++paints; }
    void SetPointerHidden(bool) override {}
    void SetClockEnabled(bool) override {}
    void SetClockInterval(double) override {}
    double ClockInterval() const override { return 0; }
    void PostToUi(std::function<void()> call) override {
        std::lock_guard lock(mutex_);
        posted_ = std::move(call);
        ready_.notify_all();
    }
    // Waits for the letter count's hand-over and runs it, as the event loop would.
    void RunPosted() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return static_cast<bool>(posted_); });
        posted_();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::function<void()> posted_;
};

// CPU time of the process in ms: on a machine busy with other work the wall clock says little.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace
}  // namespace lectorix

int main(int argc, char** argv) {
    using namespace lectorix;
    using Clock = std::chrono::steady_clock;
    if (argc != 2) {
        std::fprintf(stderr, "usage: open_large_text FILE\n");
        return 2;
    }
    auto ms = [](Clock::time_point from) {
        return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
    };
    TimingView view;
    SteadyClock clock;
    ReadingEngine engine(view, clock);
    const auto start = Clock::now();
    const double cpuStart = CpuMs();
    std::string text;
    try {
        text = LoadTextFile(argv[1]);
    } catch (const UserError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const double loaded = ms(start);
    const double bytes = static_cast<double>(text.size());
    engine.OpenNewText(std::move(text));
    const double firstPage = ms(start);
    const double firstPageCpu = CpuMs() - cpuStart;
    const auto countStart = Clock::now();
    if (!engine.Page.BookMode) view.RunPosted();
    const double count = ms(countStart);
    const double countCpu = CpuMs() - cpuStart - firstPageCpu;
    std::printf(
        "text %.1f MB: loaded and decoded %.0f ms, first page %.0f ms (%d paints), "
        "%.0f ms of CPU\n",
        bytes / 1e6, loaded, firstPage, view.paints, firstPageCpu);
    if (!engine.Page.BookMode)
        std::printf("letter count %lld letters in %.0f ms: %.0f MB/s; %.0f ms of CPU: %.0f MB/s\n",
                    static_cast<long long>(engine.Page.TotalLetters), count,
                    bytes / 1e6 / (count / 1000.0), countCpu, bytes / 1e6 / (countCpu / 1000.0));
    std::printf("peak memory %.0f MB\n", PeakMegabytes());
    return 0;
}
