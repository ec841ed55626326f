#include "timer/qvl_thread_timer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cmath>
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
using Millis = std::chrono::duration<double, std::milli>;

// Runs the event loop until `done` holds or `timeoutMs` passes. A real loop rather than
// QTest::qWaitFor, which sleeps 10 ms between passes and would delay every posted tick.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(1);
    if (!done()) loop.exec();
    return done();
}

// Keeps the event loop running for a while, for checks that something does not happen.
void RunEvents(int ms) {
    WaitFor([] { return false; }, ms);
}

// Spins without the event loop, so that a posted tick stays pending.
bool SpinUntil(const std::function<bool()>& done) {
    for (const auto end = Clock::now() + std::chrono::seconds(3); !done() && Clock::now() < end;)
        std::this_thread::yield();
    return done();
}

class TimerTest : public ::testing::Test {  // records what the handler saw, tick by tick
  protected:
    int Record() {  // returns the tick's number, from 1
        const std::lock_guard lock(mutex);
        times.push_back(Clock::now());
        threads.push_back(QThread::currentThread());
        return ++count;
    }
    Clock::time_point Time(int n) {
        const std::lock_guard lock(mutex);
        return times.at(n - 1);
    }
    double Gap(int from, int to) { return Millis(Time(to) - Time(from)).count(); }
    void ExpectGone(const std::function<void()>& destroy, int ms = 60) {  // quick, no ticks after
        const auto start = Clock::now();
        destroy();
        EXPECT_LT(Millis(Clock::now() - start).count(), 1000);
        const int before = count;
        RunEvents(ms);
        EXPECT_EQ(count, before);
    }

    std::mutex mutex;
    std::vector<Clock::time_point> times;
    std::vector<QThread*> threads;
    std::atomic<int> count{0};
};

TEST_F(TimerTest, EnablingStartsOrResumesItWithTheRestOfTheSleepOrAfreshWithoutABurst) {
    TQvlThreadTimer t;  // set up like the reading clock: disabled before the event loop ran
    t.SetInterval(400);
    t.SetEnabled(false);
    t.SetOnTimer([&] {
        if (Record() <= 2) t.SetEnabled(false);
    });
    RunEvents(50);
    EXPECT_EQ(t.WorkerThread(), nullptr);
    auto enabled = Clock::now();
    t.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return count >= 1; }));
    EXPECT_LT(Millis(Time(1) - enabled).count(), 150);
    QThread* worker = t.WorkerThread();

    // Parked by its handler, it goes on with the rest of the sleep, neither at once nor a whole
    // interval after enabling; enabling again starts neither a second worker nor a new cycle.
    RunEvents(150);
    t.SetEnabled(true);
    t.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return count >= 2; }));
    EXPECT_NEAR(Gap(1, 2), 440, 80);
    EXPECT_EQ(t.WorkerThread(), worker);

    // Parked long past its sleep, it ticks at once and the next a whole interval later, never
    // the missed ticks back to back.
    RunEvents(800);
    EXPECT_EQ(count, 2);
    enabled = Clock::now();
    t.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return count >= 4; }));
    EXPECT_LT(Millis(Time(3) - enabled).count(), 100);
    EXPECT_GE(Gap(3, 4), 330);
}

TEST_F(TimerTest, IntervalAndThreadSetInTheHandlerTakeEffectFromTheNextTick) {
    std::vector<int> indices;
    TQvlThreadTimer t;
    t.SetInterval(-3);  // kept as 0: back to back
    t.SetOnTimer([&] {
        const int n = Record();
        indices.push_back(t.SleepIndex());
        if (n == 2) t.SetInSynchronize(false);
        if (n == 4) t.SetInSynchronize(true);
        if (n == 5) {
            t.SetInterval(60);
            indices.push_back(t.SleepIndex());
        }
        if (n == 8) t.SetEnabled(false);
    });
    ASSERT_TRUE(WaitFor([&] { return count >= 8; }));
    // A tick takes its sleep's entry before its handler runs, so tick n sees index n; the new
    // interval starts again at 0, tick 6 takes entry 0, and the sleep after it is 60 ms.
    EXPECT_EQ(indices, (std::vector<int>{1, 2, 3, 4, 5, 0, 1, 2, 3}));
    EXPECT_GE(Gap(6, 7), 45);
    QThread* ui = QCoreApplication::instance()->thread();
    QThread* w = t.WorkerThread();
    ASSERT_TRUE(w != nullptr && w != ui);
    EXPECT_EQ(threads, (std::vector<QThread*>{ui, ui, w, w, ui, ui, ui, ui}));
}

TEST_F(TimerTest, AnIntervalItsHandlerSetsCanGovernTheTicksOwnSleep) {
    TQvlThreadTimer t;  // as the word exercise has it: each word stays its own time
    t.SetSleepFollowsHandler(true);
    t.SetInterval(0);
    t.SetOnTimer([&] {
        const int n = Record();
        if (n == 2) t.SetInterval(80);
        if (n == 3) t.SetEnabled(false);
    });
    ASSERT_TRUE(WaitFor([&] { return count >= 3; }));
    EXPECT_GE(Gap(2, 3), 70);  // not the 0 ms taken before tick 2's handler ran
}

TEST_F(TimerTest, DisablingHoldsBackTicksOnEitherThreadUntilEnabled) {
    for (const bool sync : {true, false}) {
        SCOPED_TRACE(sync ? "on the user-interface thread" : "on the worker");
        TQvlThreadTimer t;
        t.SetInterval(sync ? 0 : 2);
        t.SetInSynchronize(sync);
        t.SetOnTimer([&] { Record(); });
        const int first = count;
        ASSERT_TRUE(WaitFor([&] { return count >= first + 3; }));
        // Including a tick already posted to the user-interface thread.
        ASSERT_TRUE(!sync || SpinUntil([&] { return t.TickWaitsForHandler(); }));
        t.SetEnabled(false);
        const int before = count;
        RunEvents(100);
        EXPECT_LE(count, before + (sync ? 0 : 1));  // on the worker one may be under way
        t.SetEnabled(true);
        EXPECT_TRUE(WaitFor([&] { return count > before + 3; }));
    }
}

TEST_F(TimerTest, MeanPeriodIsTheIntervalHoweverLongTheTicksTakeAndAStallBringsNoBurst) {
    // 10.5 ms sleeps 10 and 20 ms; each tick costs 4 ms. Sleeping relative to the tick's end
    // would stretch a cycle of 100 ticks by 400 ms. A machine busy with other work can only
    // stretch a cycle too, so a run that comes close enough passes; three chances.
    double cycle = 0, afterStall = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        {
            const std::lock_guard lock(mutex);
            times.clear();
            threads.clear();
            count = 0;
        }
        TQvlThreadTimer t;
        t.SetInterval(10.5);
        t.SetInSynchronize(false);
        t.SetOnTimer([&] {
            const int n = Record();
            if (n == 101) std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (n == 105) t.SetEnabled(false);
            for (const auto end = Clock::now() + std::chrono::milliseconds(4);
                 Clock::now() < end;) {
            }
        });
        ASSERT_TRUE(WaitFor([&] { return count >= 105; }));
        cycle = Gap(1, 101);
        afterStall = Gap(102, 105);
        if (std::abs(cycle - 1085) <= 36) break;
    }
    EXPECT_NEAR(cycle, 1085, 36);
    // After the stall, 10 ms sleeps from afresh; the 30 deadlines missed would take 4 ms each.
    EXPECT_GE(afterStall, 20);
}

TEST_F(TimerTest, DestroyedBeforeItStartedWhileRunningOrWhileATickWaits) {
    auto* t = new TQvlThreadTimer;
    t->SetOnTimer([&] { Record(); });
    ExpectGone([&] { delete t; }, 30);  // the start it posted must come to nothing
    for (int c = 0; c < 8; ++c) {
        const bool sync = c & 1, handler = c & 2;
        const double interval = c & 4 ? 3 : 0;
        SCOPED_TRACE(c);
        t = new TQvlThreadTimer;
        t->SetInterval(interval);
        t->SetInSynchronize(sync);
        if (handler) t->SetOnTimer([&] { Record(); });
        const int before = count;
        ASSERT_TRUE(
            WaitFor([&] { return handler ? count >= before + 3 : t->WorkerThread() != nullptr; }));
        ExpectGone([&] { delete t; }, 20);
    }
    // A tick posted to the user-interface thread, or held back there by disabling.
    for (const bool heldBack : {false, true}) {
        SCOPED_TRACE(heldBack ? "held back" : "posted");
        t = new TQvlThreadTimer;
        t->SetInterval(0);
        t->SetOnTimer([&] { Record(); });
        const int before = count;
        ASSERT_TRUE(WaitFor([&] { return count >= before + 2; }));
        ASSERT_TRUE(SpinUntil([&] { return t->TickWaitsForHandler(); }));
        if (heldBack) {
            t->SetEnabled(false);
            RunEvents(20);  // the posted tick is declined and the worker parks
        }
        ExpectGone([&] { delete t; });  // the posted tick must come to nothing
    }
}

TEST_F(TimerTest, DestroyedFromItsHandlerOnEitherThread) {
    auto* t = new TQvlThreadTimer;
    t->SetInterval(0);
    t->SetOnTimer([&] {
        if (Record() == 3) delete t;
    });
    ASSERT_TRUE(WaitFor([&] { return count >= 3; }));
    ExpectGone([] {});

    // On the worker the thread ends on its own, and the event loop deletes its QThread.
    t = new TQvlThreadTimer;
    t->SetInterval(0);
    t->SetInSynchronize(false);
    t->SetEnabled(false);
    t->SetEnabled(true);  // starts the worker at once, so that it is known before the handler
    QPointer<QThread> worker = t->WorkerThread();
    ASSERT_FALSE(worker.isNull());
    t->SetOnTimer([&] {
        Record();
        delete t;
    });
    EXPECT_TRUE(WaitFor([&] { return worker.isNull(); }));
    ExpectGone([] {});
    EXPECT_EQ(count, 4);
}

#ifdef __linux__
TEST_F(TimerTest, PriorityReachesTheWorkerThread) {
    TQvlThreadTimer t;
    t.SetPriority(TThreadPriority::Idle);  // before the worker runs: applied when it starts
    ASSERT_TRUE(WaitFor([&] { return t.WorkerThread() != nullptr; }));
    EXPECT_EQ(t.WorkerScheduling().policy, SCHED_IDLE);

    // Out of SCHED_IDLE and back, where the process may leave it (tried on a scratch thread).
    int others = SCHED_IDLE;
    std::thread([&] {
        sched_param param{};
        if (sched_setscheduler(0, SCHED_IDLE, &param) != 0) return;
        if (sched_setscheduler(0, SCHED_OTHER, &param) == 0) others = SCHED_OTHER;
    }).join();
    for (const int level : {1, 2, 3, 4, 5, 6, 0}) {
        t.SetPriority(static_cast<TThreadPriority>(level));
        const TWorkerScheduling s = t.WorkerScheduling();
        EXPECT_EQ(s.known ? s.policy : -1, level == 0 ? SCHED_IDLE : others) << level;
    }
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
// Qt is not built with ThreadSanitizer, which so misses the order Qt's own locking gives
// between a finished QThread and deleting it, and between posting a call and running it.
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
