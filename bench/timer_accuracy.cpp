// How close TQvlThreadTimer's ticks come to their planned times: each tick's real time against
// the first tick's plus the sleeps of the table so far. A plain program printing a table, since
// it measures time in the timer's own pace rather than the speed of code.
//
//   timer_accuracy [--ticks=N] [--ui-only]
//
// Run it on an otherwise idle machine; the handler does nothing but note the time.
#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

#include "timer/qvl_thread_timer.h"

namespace {

using Clock = std::chrono::steady_clock;
using lectorix::TQvlThreadTimer;

struct Figures {
    double mean = 0;  // ms late, on average
    double p99 = 0;
    double min = 0;
    double max = 0;
    double last = 0;    // late at the last tick: what the error added up to
    double period = 0;  // mean period measured over the whole run
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const double rank = p / 100.0 * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<size_t>(std::floor(rank));
    const size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (rank - static_cast<double>(lo));
}

Figures Measure(double interval, int ticks, bool inSynchronize) {
    TQvlThreadTimer timer;
    timer.SetEnabled(false);
    timer.SetInterval(interval);
    timer.SetInSynchronize(inSynchronize);
    timer.SetPriority(lectorix::TThreadPriority::Highest);  // as the reading clock has it

    std::vector<Clock::time_point> times;
    times.reserve(static_cast<size_t>(ticks));
    QEventLoop loop;
    timer.SetOnTimer([&] {
        times.push_back(Clock::now());
        if (times.size() == static_cast<size_t>(ticks)) {
            timer.SetEnabled(false);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        }
    });
    timer.SetEnabled(true);
    loop.exec();

    const lectorix::SleepTable sleeps = timer.Sleeps();
    std::vector<double> late;
    double planned = 0;  // ms after the first tick
    for (size_t i = 0; i < times.size(); ++i) {
        if (i > 0) planned += sleeps[(i - 1) % sleeps.size()];
        const double real = std::chrono::duration<double, std::milli>(times[i] - times[0]).count();
        late.push_back(real - planned);
    }
    Figures f;
    f.mean = std::accumulate(late.begin(), late.end(), 0.0) / static_cast<double>(late.size());
    f.p99 = Percentile(late, 99);
    f.min = *std::min_element(late.begin(), late.end());
    f.max = *std::max_element(late.begin(), late.end());
    f.last = late.back();
    f.period = std::chrono::duration<double, std::milli>(times.back() - times.front()).count() /
               static_cast<double>(times.size() - 1);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int ticks = 201;  // 200 periods: two whole cycles of the sleep table
    bool uiOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--ticks=", 8) == 0) ticks = std::max(2, std::atoi(argv[i] + 8));
        if (std::strcmp(argv[i], "--ui-only") == 0) uiOnly = true;
    }
    std::printf("%d ticks each; late = real time - planned time, in ms\n\n", ticks);
    std::printf("%-10s %9s %8s %8s %8s %8s %8s %9s\n", "handler on", "interval", "mean", "p99",
                "min", "max", "last", "period");
    for (const bool inSynchronize : {true, false}) {
        if (!inSynchronize && uiOnly) break;
        for (const double interval : {7.0, 25.3, 71.2}) {
            const Figures f = Measure(interval, ticks, inSynchronize);
            std::printf("%-10s %9.1f %8.3f %8.3f %8.3f %8.3f %8.3f %9.3f\n",
                        inSynchronize ? "UI thread" : "worker", interval, f.mean, f.p99, f.min,
                        f.max, f.last, f.period);
            std::fflush(stdout);
        }
    }
    return 0;
}
