#include "timer/qvl_thread_timer.h"

#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace lectorix {

namespace detail {

using Handler = std::shared_ptr<const std::function<void()>>;

struct TimerState {
    std::mutex mutex;
    std::condition_variable wake;
    // Atomic so that a worker that never sleeps (interval 0) still sees it at once.
    std::atomic<bool> terminated{false};
    // Threads other than the worker waiting for `mutex`. A worker between back-to-back ticks
    // lets them in first: std::mutex is not fair, and it would take the mutex straight back.
    std::atomic<int> waiting{0};
    QObject* owner = nullptr;  // context of the posted ticks; valid while not terminated
    bool started = false;
    bool enabled = true;
    bool inSynchronize = true;
    double interval = 1000.0;
    TThreadPriority priority = TThreadPriority::Normal;
    SleepTable table = BuildSleepTable(1000.0);
    int index = 0;
    std::uint64_t intervalSerial = 0;  // counts the intervals set
    bool sleepFollowsHandler = false;
    Handler handler;
    long tid = 0;  // the worker's kernel thread id
#ifdef __linux__
    pthread_t handle{};
#endif

    // The hand-over of a synchronised tick to the owner's thread.
    enum class Delivery { None, Posted, Done, Declined };
    Delivery delivery = Delivery::None;
    std::uint64_t serial = 0;  // tells a stale posted call from the current one
    Handler postedHandler;
};

}  // namespace detail

namespace {

using detail::Handler;
using detail::TimerState;
using Clock = std::chrono::steady_clock;
using Lock = std::unique_lock<std::mutex>;

// How far the worker may fall behind its deadlines before it starts afresh from now.
constexpr auto kMaxLag = std::chrono::milliseconds(100);

QThread::Priority ToQtPriority(TThreadPriority p) {
    switch (p) {
        case TThreadPriority::Idle:
            return QThread::IdlePriority;
        case TThreadPriority::Lowest:
            return QThread::LowestPriority;
        case TThreadPriority::Lower:
            return QThread::LowPriority;
        case TThreadPriority::Normal:
            return QThread::NormalPriority;
        case TThreadPriority::Higher:
            return QThread::HighPriority;
        case TThreadPriority::Highest:
            return QThread::HighestPriority;
        case TThreadPriority::TimeCritical:
            return QThread::TimeCriticalPriority;
    }
    return QThread::NormalPriority;
}

// Locks the state from any thread but the worker.
Lock LockOutside(TimerState& st) {
    ++st.waiting;
    Lock lock(st.mutex);
    --st.waiting;
    return lock;
}

void LetOthersIn(TimerState& st) {
    while (st.waiting > 0)
        std::this_thread::yield();
}

// Parks while the timer is disabled. Returns false once the timer is destroyed.
bool WaitWhileDisabled(TimerState& st, Lock& lock, bool& parked) {
    if (!st.enabled && !st.terminated) {
        parked = true;
        st.wake.wait(lock, [&] { return st.enabled || st.terminated; });
    }
    return !st.terminated;
}

// Runs on the owner's thread.
void RunPostedTick(std::shared_ptr<TimerState> sp, std::uint64_t serial) {
    TimerState& st = *sp;
    Handler handler;
    {
        const Lock lock = LockOutside(st);
        if (st.terminated || st.serial != serial || st.delivery != TimerState::Delivery::Posted)
            return;
        if (!st.enabled) {
            // Disabled after the worker posted it: the tick waits for the timer to be enabled.
            st.delivery = TimerState::Delivery::Declined;
            st.wake.notify_all();
            return;
        }
        handler = st.postedHandler;
    }
    (*handler)();  // may destroy the timer; `sp` keeps the state
    {
        const Lock lock = LockOutside(st);
        if (st.serial == serial && st.delivery == TimerState::Delivery::Posted)
            st.delivery = TimerState::Delivery::Done;
    }
    st.wake.notify_all();
}

// Delivers a tick: calls the handler here, or on the owner's thread and waits for it to
// return. Returns false once the timer is destroyed.
bool DeliverTick(const std::shared_ptr<TimerState>& sp, Lock& lock, Handler handler, bool sync) {
    TimerState& st = *sp;
    for (;;) {
        bool parked = false;
        if (!WaitWhileDisabled(st, lock, parked)) return false;
        if (parked) {
            // Held back by a park: deliver what is set now, not a handler that may be gone.
            handler = st.handler;
            sync = st.inSynchronize;
        }
        if (!handler) return true;
        if (!sync) {
            lock.unlock();
            (*handler)();
            LetOthersIn(st);
            lock.lock();
            return !st.terminated;
        }
        // Not a blocking queued call: that could not be interrupted by the destructor.
        const std::uint64_t serial = ++st.serial;
        st.delivery = TimerState::Delivery::Posted;
        st.postedHandler = handler;
        QMetaObject::invokeMethod(
            st.owner, [sp, serial] { RunPostedTick(sp, serial); }, Qt::QueuedConnection);
        st.wake.wait(lock,
                     [&] { return st.terminated || st.delivery != TimerState::Delivery::Posted; });
        st.postedHandler.reset();
        if (st.terminated) return false;
        if (st.delivery == TimerState::Delivery::Done) return true;
    }
}

// Sleeps to `deadline`, parking while disabled. Returns false once destroyed.
bool SleepUntil(TimerState& st, Lock& lock, Clock::time_point& deadline) {
    bool waited = false;
    for (;;) {
        if (!WaitWhileDisabled(st, lock, waited)) return false;
        const auto now = Clock::now();
        if (now >= deadline) {
            // After a park or a stalled handler, start afresh instead of a burst of ticks.
            if (now - deadline > kMaxLag) deadline = now;
            break;
        }
        waited = true;
        st.wake.wait_until(lock, deadline);
    }
    if (!waited) {
        lock.unlock();
        LetOthersIn(st);
        lock.lock();
    }
    return !st.terminated;
}

void RunWorker(const std::shared_ptr<TimerState>& sp) {
    TimerState& st = *sp;
#ifdef __linux__
    // The default slack of 50 us would let the kernel defer our wake-ups.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    Lock lock(st.mutex);
#ifdef __linux__
    st.tid = static_cast<long>(gettid());
    st.handle = pthread_self();
#else
    st.tid = 1;  // only Linux uses it
#endif
    st.wake.notify_all();
    auto deadline = Clock::now();
    for (;;) {
        int sleepMs = st.table[st.index];
        st.index = (st.index + 1) % kSleepTableSize;
        Handler handler = st.handler;
        const bool sync = st.inSynchronize;
        const std::uint64_t serial = st.intervalSerial;
        if (st.terminated) return;
        if (!DeliverTick(sp, lock, std::move(handler), sync)) return;
        if (st.terminated) return;
        if (st.sleepFollowsHandler && st.intervalSerial != serial) {
            // The handler set the time its own tick lasts: sleep from the new table now.
            sleepMs = st.table[st.index];
            st.index = (st.index + 1) % kSleepTableSize;
        }
        // Each deadline from the previous one, so the cost of the ticks does not add up.
        deadline += std::chrono::milliseconds(sleepMs);
        if (!SleepUntil(st, lock, deadline)) return;
    }
}

}  // namespace

TQvlThreadTimer::TQvlThreadTimer(QObject* parent)
    : QObject(parent), state_(std::make_shared<TimerState>()) {
    state_->owner = this;
    // Started from the event loop, so that the owner can set the timer up first.
    QMetaObject::invokeMethod(
        this,
        [this, sp = state_] {
            {
                const Lock lock = LockOutside(*sp);
                // Once started, the worker may be destroying `this` from its handler.
                if (sp->started || !sp->enabled || sp->terminated) return;
            }
            StartWorker();
        },
        Qt::QueuedConnection);
}

TQvlThreadTimer::~TQvlThreadTimer() {
    state_->terminated = true;
    {
        const Lock lock = LockOutside(*state_);
        state_->owner = nullptr;
    }
    state_->wake.notify_all();
    if (!worker_) return;
    if (QThread::currentThread() == worker_) {
        // Destroyed from its own handler on the worker: the thread cannot wait for itself, so
        // it ends on its own and its QThread goes with the owner's next event loop pass.
        connect(worker_, &QThread::finished, worker_, &QObject::deleteLater);
        return;
    }
    worker_->wait();
    delete worker_;
}

void TQvlThreadTimer::StartWorker() {
    {
        const Lock lock = LockOutside(*state_);
        if (state_->started || state_->terminated) return;
        state_->started = true;
    }
    worker_ = QThread::create([sp = state_] { RunWorker(sp); });
    worker_->setObjectName(QStringLiteral("QvlThreadTimer"));
    worker_->start();
    {
        // The thread id is needed for the priority.
        ++state_->waiting;  // also while the wait takes the mutex back
        Lock lock(state_->mutex);
        state_->wake.wait(lock, [&] { return state_->tid != 0 || !worker_->isRunning(); });
        --state_->waiting;
    }
    ApplyPriority();
}

bool TQvlThreadTimer::Enabled() const {
    const Lock lock = LockOutside(*state_);
    return state_->enabled;
}

void TQvlThreadTimer::SetEnabled(bool enabled) {
    bool start = false;
    {
        const Lock lock = LockOutside(*state_);
        if (state_->enabled == enabled) return;
        state_->enabled = enabled;
        start = enabled && !state_->started;
    }
    state_->wake.notify_all();
    if (start) StartWorker();
}

double TQvlThreadTimer::Interval() const {
    const Lock lock = LockOutside(*state_);
    return state_->interval;
}

void TQvlThreadTimer::SetInterval(double ms) {
    const double interval = NormalizeInterval(ms);
    const SleepTable table = BuildSleepTable(interval);
    const Lock lock = LockOutside(*state_);
    state_->interval = interval;
    state_->table = table;
    state_->index = 0;
    ++state_->intervalSerial;
}

void TQvlThreadTimer::SetSleepFollowsHandler(bool on) {
    const Lock lock = LockOutside(*state_);
    state_->sleepFollowsHandler = on;
}

bool TQvlThreadTimer::InSynchronize() const {
    const Lock lock = LockOutside(*state_);
    return state_->inSynchronize;
}

void TQvlThreadTimer::SetInSynchronize(bool inSynchronize) {
    const Lock lock = LockOutside(*state_);
    state_->inSynchronize = inSynchronize;
}

TThreadPriority TQvlThreadTimer::Priority() const {
    const Lock lock = LockOutside(*state_);
    return state_->priority;
}

void TQvlThreadTimer::SetPriority(TThreadPriority priority) {
    {
        const Lock lock = LockOutside(*state_);
        state_->priority = priority;
    }
    ApplyPriority();
}

void TQvlThreadTimer::ApplyPriority() {
    if (!worker_) return;
    TThreadPriority priority;
    {
        const Lock lock = LockOutside(*state_);
        if (state_->terminated || state_->tid == 0) return;
        priority = state_->priority;
    }
#ifdef __linux__
    int policy;
    sched_param param{};
    if (priority != TThreadPriority::Idle &&
        pthread_getschedparam(state_->handle, &policy, &param) == 0 && policy == SCHED_IDLE) {
        // QThread keeps a thread in SCHED_IDLE once it is there, so leave it first (through
        // pthread, whose cached policy QThread reads). Without CAP_SYS_NICE or a high enough
        // RLIMIT_NICE this fails, and the thread stays idle.
        param.sched_priority = 0;
        pthread_setschedparam(state_->handle, SCHED_OTHER, &param);
    }
#endif
    worker_->setPriority(ToQtPriority(priority));
}

TWorkerScheduling TQvlThreadTimer::WorkerScheduling() const {
    TWorkerScheduling result;
#ifdef __linux__
    long tid;
    {
        const Lock lock = LockOutside(*state_);
        if (!worker_ || state_->terminated || state_->tid == 0) return result;
        tid = state_->tid;
    }
    const int policy = sched_getscheduler(static_cast<pid_t>(tid));
    sched_param param{};
    if (policy < 0 || sched_getparam(static_cast<pid_t>(tid), &param) != 0) return result;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0) return result;
    result.known = true;
    result.policy = policy & ~SCHED_RESET_ON_FORK;
    result.realtimePriority = param.sched_priority;
    result.nice = nice;
#endif
    return result;
}

void TQvlThreadTimer::SetOnTimer(std::function<void()> handler) {
    Handler shared;
    if (handler) shared = std::make_shared<const std::function<void()>>(std::move(handler));
    const Lock lock = LockOutside(*state_);
    state_->handler = std::move(shared);
}

int TQvlThreadTimer::SleepIndex() const {
    const Lock lock = LockOutside(*state_);
    return state_->index;
}

SleepTable TQvlThreadTimer::Sleeps() const {
    const Lock lock = LockOutside(*state_);
    return state_->table;
}

bool TQvlThreadTimer::TickWaitsForHandler() const {
    const Lock lock = LockOutside(*state_);
    return state_->delivery == TimerState::Delivery::Posted;
}

}  // namespace lectorix
