// A timer whose ticks come from a worker thread of its own, so that they keep their pace while
// the user-interface thread is busy. The worker sleeps to absolute deadlines on the monotonic
// clock, so the mean period equals the interval however long the ticks take.
#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "timer/sleep_table.h"

class QThread;

namespace lectorix {

namespace detail {
struct TimerState;
}

enum class TThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// What the operating system really gave the worker thread.
struct TWorkerScheduling {
    bool known = false;  // false while no worker runs, or where the system cannot tell
    int policy = 0;      // SCHED_OTHER, SCHED_IDLE, SCHED_FIFO, ...
    int realtimePriority = 0;
    int nice = 0;
};

class TQvlThreadTimer : public QObject {
    Q_OBJECT

  public:
    explicit TQvlThreadTimer(QObject* parent = nullptr);
    // Never waits for a handler that runs on the user-interface thread, and may be called from
    // inside the handler on either thread.
    ~TQvlThreadTimer() override;

    TQvlThreadTimer(const TQvlThreadTimer&) = delete;
    TQvlThreadTimer& operator=(const TQvlThreadTimer&) = delete;

    // Disabling parks the worker where it is; enabling lets it go on from there. The worker is
    // first started by enabling, or by the event loop's first pass after construction while
    // enabled (so that the properties can be set up first).
    bool Enabled() const;
    void SetEnabled(bool enabled);

    // Milliseconds, kept to one decimal and never negative. A new interval restarts the sleep
    // cycle at its first entry and takes effect from the next tick.
    double Interval() const;
    void SetInterval(double ms);
    // A tick takes its sleep before its handler runs, so an interval the handler sets governs
    // the sleep after the next tick. True: it governs the sleep right after its own tick, for a
    // handler that sets how long what it shows stays on screen. Off by default.
    void SetSleepFollowsHandler(bool on);

    // True: the handler runs on the thread the timer lives in, and the worker waits for it.
    // False: the handler runs on the worker thread. Takes effect from the next tick.
    bool InSynchronize() const;
    void SetInSynchronize(bool inSynchronize);

    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority priority);
    TWorkerScheduling WorkerScheduling() const;

    // Called on every tick; empty for none. Takes effect from the next tick.
    void SetOnTimer(std::function<void()> handler);

    // For tests and diagnostics.
    int SleepIndex() const;
    SleepTable Sleeps() const;
    QThread* WorkerThread() const { return worker_; }
    bool TickWaitsForHandler() const;  // a synchronised tick is posted and has not returned

  private:
    void StartWorker();
    void ApplyPriority();

    // Shared with the worker and with posted ticks, which may outlive the timer.
    std::shared_ptr<detail::TimerState> state_;
    QThread* worker_ = nullptr;
};

}  // namespace lectorix
