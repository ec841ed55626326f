#include "timer/qvl_thread_timer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sched.h>
#endif

namespace lectorix {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs the event loop until `done` holds or `timeoutMs` passes. A real loop rather than
// QTest::qWaitFor, which sleeps 10 ms between passes and would delay every posted tick.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

// Keeps the event loop running for a while, for checks that something does not happen.
void RunEvents(int ms) {
    WaitFor([] { return false; }, ms);
}

// Spins without the event loop, so that a posted tick stays pending.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto end = Clock::now() + milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

// What the handler saw, tick by tick.
struct Ticks {
    std::mutex mutex;
    std::vector<Clock::time_point> times;
    std::vector<QThread*> threads;
    std::atomic<int> count{0};

    // Returns the tick's number, from 1.
    int Record() {
        std::lock_guard lock(mutex);
        times.push_back(Clock::now());
        threads.push_back(QThread::currentThread());
        return ++count;
    }
    Clock::time_point Time(int n) {  // of tick n, from 1
        std::lock_guard lock(mutex);
        return times.at(n - 1);
    }
    double Gap(int from, int to) { return Ms(Time(to) - Time(from)); }
    std::vector<QThread*> Threads() {
        std::lock_guard lock(mutex);
        return threads;
    }
};

QThread* UiThread() {
    return QCoreApplication::instance()->thread();
}

TEST(TQvlThreadTimer, DefaultsAndTheStoredInterval) {
    TQvlThreadTimer t;
    EXPECT_TRUE(t.Enabled());
    EXPECT_DOUBLE_EQ(t.Interval(), 1000.0);
    EXPECT_TRUE(t.InSynchronize());
    EXPECT_EQ(t.Priority(), TThreadPriority::Normal);
    EXPECT_EQ(t.Sleeps(), BuildSleepTable(1000));

    t.SetInterval(100.46);
    EXPECT_DOUBLE_EQ(t.Interval(), 100.5);
    EXPECT_EQ(t.Sleeps(), BuildSleepTable(100.5));
    t.SetInterval(-3);
    EXPECT_DOUBLE_EQ(t.Interval(), 0.0);
    EXPECT_EQ(t.Sleeps(), SleepTable{});
}

TEST(TQvlThreadTimer, FirstTickComesAtOnceAndTheNextAfterTheInterval) {
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(400);
    t.SetOnTimer([&] { ticks.Record(); });
    const auto start = Clock::now();
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 1; }));
    EXPECT_LT(Ms(ticks.Time(1) - start), 150);
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 2; }));
    EXPECT_GE(ticks.Gap(1, 2), 300);
}

TEST(TQvlThreadTimer, EnablingStartsTheWorkerAndRepeatingAValueChangesNothing) {
    // Set up like the reading clock: disabled before the event loop could start it.
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(300);
    t.SetEnabled(false);
    t.SetOnTimer([&] { ticks.Record(); });
    RunEvents(50);
    t.SetEnabled(false);
    RunEvents(50);
    EXPECT_EQ(t.WorkerThread(), nullptr);
    EXPECT_EQ(ticks.count, 0);

    const auto start = Clock::now();
    t.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 1; }));
    EXPECT_LT(Ms(ticks.Time(1) - start), 150);
    QThread* worker = t.WorkerThread();
    // Neither a second worker nor a restarted cycle (which would tick at once).
    t.SetEnabled(true);
    t.SetEnabled(true);
    RunEvents(150);
    EXPECT_EQ(ticks.count, 1);
    EXPECT_EQ(t.WorkerThread(), worker);
}

TEST(TQvlThreadTimer, NewIntervalRestartsTheCycleAtItsFirstEntryFromTheNextTick) {
    Ticks ticks;
    std::vector<int> indices;
    TQvlThreadTimer t;
    t.SetInterval(0);
    t.SetOnTimer([&] {
        const int n = ticks.Record();
        indices.push_back(t.SleepIndex());
        if (n == 5) {
            t.SetInterval(60);
            indices.push_back(t.SleepIndex());
        }
        if (n == 8) t.SetEnabled(false);
    });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 8; }));
    // A tick takes its sleep's entry before its handler runs, so tick n sees index n; the new
    // interval starts again at 0, and tick 6 takes entry 0.
    EXPECT_EQ(indices, (std::vector<int>{1, 2, 3, 4, 5, 0, 1, 2, 3}));
    // The sleep after tick 6 is the new table's first entry.
    EXPECT_GE(ticks.Gap(6, 7), 45);
}

TEST(TQvlThreadTimer, InSynchronizeChoosesTheThreadOfTheHandlerFromTheNextTick) {
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(5);
    t.SetOnTimer([&] {
        const int n = ticks.Record();
        if (n == 2) t.SetInSynchronize(false);
        if (n == 4) t.SetInSynchronize(true);
        if (n == 5) t.SetEnabled(false);
    });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 5; }));
    QThread* worker = t.WorkerThread();
    ASSERT_NE(worker, nullptr);
    ASSERT_NE(worker, UiThread());
    const std::vector<QThread*> expected{UiThread(), UiThread(), worker, worker, UiThread()};
    EXPECT_EQ(ticks.Threads(), expected);
}

TEST(TQvlThreadTimer, DisablingInTheHandlerStopsTicksAndEnablingGoesOnWithoutABurst) {
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(20);
    t.SetOnTimer([&] {
        if (ticks.Record() == 3) t.SetEnabled(false);
    });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 3; }));
    RunEvents(250);
    EXPECT_EQ(ticks.count, 3);
    EXPECT_FALSE(t.Enabled());

    // The sleep has long passed: the next tick comes at once, and the missed ones never.
    const auto enabled = Clock::now();
    t.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 4; }));
    EXPECT_LT(Ms(ticks.Time(4) - enabled), 100);
    RunEvents(60);
    EXPECT_GE(ticks.count, 5);
    EXPECT_LE(ticks.count, 10);
}

TEST(TQvlThreadTimer, EnablingGoesOnWithTheRestOfTheSleep) {
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(600);
    t.SetOnTimer([&] {
        if (ticks.Record() == 1) t.SetEnabled(false);
    });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 1; }));
    RunEvents(200);
    t.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 2; }));
    // Neither at once nor a whole interval after enabling.
    EXPECT_GE(ticks.Gap(1, 2), 560);
    EXPECT_LE(ticks.Gap(1, 2), 740);
}

TEST(TQvlThreadTimer, DisablingHoldsBackATickAlreadyPostedToTheUiThread) {
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(0);
    t.SetOnTimer([&] { ticks.Record(); });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 3; }));
    ASSERT_TRUE(SpinUntil([&] { return t.TickWaitsForHandler(); }));
    t.SetEnabled(false);
    const int before = ticks.count;
    RunEvents(100);
    EXPECT_EQ(ticks.count, before);
    t.SetEnabled(true);
    EXPECT_TRUE(WaitFor([&] { return ticks.count > before + 2; }));
}

TEST(TQvlThreadTimer, DisablingStopsTicksOnTheWorker) {
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(2);
    t.SetInSynchronize(false);
    t.SetOnTimer([&] { ticks.Record(); });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 3; }));
    t.SetEnabled(false);
    const int before = ticks.count;
    RunEvents(100);
    EXPECT_LE(ticks.count, before + 1);  // one may have been under way
    const int parked = ticks.count;
    t.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks.count > parked + 2; }));
}

TEST(TQvlThreadTimer, MeanPeriodIsTheIntervalHoweverLongTheTicksTake) {
    // 10.5 ms sleeps 10 and 20 ms; each tick costs 4 ms. Sleeping relative to the tick's end
    // would stretch a cycle of 100 ticks by 400 ms.
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(10.5);
    t.SetInSynchronize(false);
    t.SetOnTimer([&] {
        if (ticks.Record() == 101) t.SetEnabled(false);
        const auto end = Clock::now() + milliseconds(4);
        while (Clock::now() < end) {
        }
    });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 101; }));
    const double cycle = ticks.Gap(1, 101);
    EXPECT_GE(cycle, 1049);
    EXPECT_LE(cycle, 1120);
}

TEST(TQvlThreadTimer, AStalledHandlerIsFollowedByOneTickNotABurst) {
    Ticks ticks;
    TQvlThreadTimer t;
    t.SetInterval(20);
    t.SetOnTimer([&] {
        if (ticks.Record() == 3) std::this_thread::sleep_for(milliseconds(300));
    });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 7; }));
    // Without starting afresh, the 14 deadlines missed would come back to back.
    EXPECT_GE(ticks.Gap(4, 7), 40);
}

// Destruction: each case must end quickly and leave nothing that runs later.
class Destruction : public ::testing::Test {
  protected:
    void ExpectQuick(const std::function<void()>& destroy) {
        const auto start = Clock::now();
        destroy();
        EXPECT_LT(Ms(Clock::now() - start), 1000);
    }
    void ExpectNoMoreTicks(int ms = 60) {
        const int count = ticks.count;
        RunEvents(ms);
        EXPECT_EQ(ticks.count, count);
    }
    Ticks ticks;
};

TEST_F(Destruction, WhileRunning) {
    for (const bool sync : {true, false}) {
        for (const double interval : {0.0, 3.0}) {
            for (const bool handler : {true, false}) {
                SCOPED_TRACE(testing::Message() << "sync " << sync << " interval " << interval
                                                << " handler " << handler);
                auto* t = new TQvlThreadTimer;
                t->SetInterval(interval);
                t->SetInSynchronize(sync);
                if (handler) t->SetOnTimer([&] { ticks.Record(); });
                const int before = ticks.count;
                ASSERT_TRUE(WaitFor([&] {
                    return handler ? ticks.count >= before + 3 : t->WorkerThread() != nullptr;
                }));
                ExpectQuick([&] { delete t; });
                ExpectNoMoreTicks(20);
            }
        }
    }
}

TEST_F(Destruction, WhileParked) {
    auto* t = new TQvlThreadTimer;
    t->SetInterval(5);
    t->SetOnTimer([&] {
        if (ticks.Record() == 2) t->SetEnabled(false);
    });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 2; }));
    RunEvents(30);
    ExpectQuick([&] { delete t; });
    ExpectNoMoreTicks();
}

TEST_F(Destruction, WhileATickWaitsForTheUiThread) {
    auto* t = new TQvlThreadTimer;
    t->SetInterval(0);
    t->SetOnTimer([&] { ticks.Record(); });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 2; }));
    ASSERT_TRUE(SpinUntil([&] { return t->TickWaitsForHandler(); }));
    ExpectQuick([&] { delete t; });
    ExpectNoMoreTicks();  // the posted tick must come to nothing
}

TEST_F(Destruction, WhileAHeldBackTickWaitsForEnabling) {
    auto* t = new TQvlThreadTimer;
    t->SetInterval(0);
    t->SetOnTimer([&] { ticks.Record(); });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 2; }));
    ASSERT_TRUE(SpinUntil([&] { return t->TickWaitsForHandler(); }));
    t->SetEnabled(false);
    RunEvents(20);  // the posted tick is declined and the worker parks
    ExpectQuick([&] { delete t; });
    ExpectNoMoreTicks();
}

TEST_F(Destruction, FromItsHandlerOnTheUiThread) {
    auto* t = new TQvlThreadTimer;
    t->SetInterval(0);
    t->SetOnTimer([&] {
        if (ticks.Record() == 3) delete t;
    });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 3; }));
    ExpectNoMoreTicks();
}

TEST_F(Destruction, FromItsHandlerOnTheWorker) {
    auto* t = new TQvlThreadTimer;
    std::atomic<bool> go{false};
    std::atomic<bool> deleted{false};
    t->SetInterval(0);
    t->SetInSynchronize(false);
    t->SetEnabled(false);
    t->SetOnTimer([&] {
        if (ticks.Record() == 1) {
            while (!go)
                std::this_thread::yield();
            delete t;
            deleted = true;
        }
    });
    t->SetEnabled(true);
    QPointer<QThread> worker = t->WorkerThread();
    ASSERT_FALSE(worker.isNull());
    go = true;
    ASSERT_TRUE(WaitFor([&] { return deleted.load(); }));
    // The thread ends on its own, and its QThread is deleted by the event loop.
    EXPECT_TRUE(WaitFor([&] { return worker.isNull(); }));
    ExpectNoMoreTicks();
    EXPECT_EQ(ticks.count, 1);
}

TEST_F(Destruction, BeforeTheEventLoopStartedIt) {
    delete new TQvlThreadTimer;
    auto* t = new TQvlThreadTimer;
    t->SetOnTimer([&] { ticks.Record(); });
    t->SetEnabled(false);
    delete t;
    t = new TQvlThreadTimer;
    t->SetOnTimer([&] { ticks.Record(); });
    delete t;
    RunEvents(30);  // the start each one posted must come to nothing
    EXPECT_EQ(ticks.count, 0);
}

TEST_F(Destruction, AsAChildOfItsOwner) {
    auto* owner = new QObject;
    auto* t = new TQvlThreadTimer(owner);
    t->SetInterval(1);
    t->SetOnTimer([&] { ticks.Record(); });
    ASSERT_TRUE(WaitFor([&] { return ticks.count >= 2; }));
    ExpectQuick([&] { delete owner; });
    ExpectNoMoreTicks();
}

#ifdef __linux__
const char* PolicyName(int policy) {
    switch (policy) {
        case SCHED_OTHER:
            return "SCHED_OTHER";
        case SCHED_BATCH:
            return "SCHED_BATCH";
        case SCHED_IDLE:
            return "SCHED_IDLE";
        case SCHED_FIFO:
            return "SCHED_FIFO";
        case SCHED_RR:
            return "SCHED_RR";
    }
    return "?";
}

// Whether this process may take a thread out of SCHED_IDLE again, tried on a scratch thread.
bool MayLeaveIdle() {
    bool allowed = false;
    std::thread([&] {
        sched_param param{};
        if (sched_setscheduler(0, SCHED_IDLE, &param) != 0) return;
        allowed = sched_setscheduler(0, SCHED_OTHER, &param) == 0;
    }).join();
    return allowed;
}

TEST(TQvlThreadTimer, PriorityReachesTheWorkerThread) {
    TQvlThreadTimer t;
    t.SetInterval(1);
    t.SetPriority(TThreadPriority::Idle);  // before the worker runs: applied when it starts
    ASSERT_TRUE(WaitFor([&] { return t.WorkerThread() != nullptr; }));
    TWorkerScheduling s = t.WorkerScheduling();
    ASSERT_TRUE(s.known);
    EXPECT_EQ(s.policy, SCHED_IDLE);

    const bool mayLeaveIdle = MayLeaveIdle();
    static const char* const kNames[] = {"idle",   "lowest",  "lower",        "normal",
                                         "higher", "highest", "time-critical"};
    for (int level = 0; level <= static_cast<int>(TThreadPriority::TimeCritical); ++level) {
        const auto p = static_cast<TThreadPriority>(level);
        t.SetPriority(p);
        EXPECT_EQ(t.Priority(), p);
        s = t.WorkerScheduling();
        ASSERT_TRUE(s.known);
        std::printf("priority %-13s -> %s, real-time priority %d, nice %d\n", kNames[level],
                    PolicyName(s.policy), s.realtimePriority, s.nice);
        if (p == TThreadPriority::Idle)
            EXPECT_EQ(s.policy, SCHED_IDLE);
        else
            EXPECT_EQ(s.policy, mayLeaveIdle ? SCHED_OTHER : SCHED_IDLE) << kNames[level];
    }
    std::printf("leaving SCHED_IDLE is %s here\n", mayLeaveIdle ? "allowed" : "not allowed");
    // The timer still ticks.
    Ticks ticks;
    t.SetOnTimer([&] { ticks.Record(); });
    EXPECT_TRUE(WaitFor([&] { return ticks.count >= 2; }));
}
#endif

}  // namespace
}  // namespace lectorix

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LECTORIX_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(LECTORIX_TSAN)
// Qt is not built with ThreadSanitizer, so it does not see the order Qt's QMutex (atomics and
// futexes) gives: between a finished QThread and deleting it, and between posting a call and
// running it.
extern "C" const char* __tsan_default_suppressions() {
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:invokeMethod\n";
}
#endif

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
