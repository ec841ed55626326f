#include "support/hand_ticks.h"

#include <QCoreApplication>

#include "app/form_book.h"
#include "timer/qvl_thread_timer.h"

namespace lectorix::test {

HandTicks::HandTicks(TFormBook& form, FakeClock& clock) : form_(form), clock_(clock) {
    form_.QvlThreadTimer1().SetOnTimer({});
    form_.QvlThreadTimerCPUTest().SetOnTimer({});
}

bool HandTicks::Tick() {
    TQvlThreadTimer& timer = form_.QvlThreadTimer1();
    if (!timer.Enabled()) return false;
    clock_.AdvanceMs(timer.Interval());
    form_.Engine().QvlThreadTimer1Timer();
    QCoreApplication::processEvents();
    return true;
}

bool HandTicks::TickUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i < limit && !done(); ++i)
        if (!Tick()) break;
    return done();
}

int HandTicks::RunCpuTest(double stepMs, int limit) {
    int ticks = 0;
    for (; ticks < limit && form_.QvlThreadTimerCPUTest().Enabled(); ++ticks) {
        clock_.AdvanceMs(stepMs);
        form_.Engine().CpuTestTick();
    }
    QCoreApplication::processEvents();
    return ticks;
}

}  // namespace lectorix::test
