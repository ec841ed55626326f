// The main window's clocks ticked by the test on fake time instead of by their threads.
#pragma once

#include <functional>

#include "support/fake_clock.h"

namespace lectorix {
class TFormBook;
}

namespace lectorix::test {

// Takes the ticks of `form`'s reading clock and CPU-test clock for the rest of the window's
// life. The real timers still go on and off as the reader asks, and keep their intervals (tests
// read both), but their ticks do nothing: each tick comes from here, and `clock` (the window's)
// moves by the interval first, as the timer would have slept. Every tick is followed by the
// events it posted (its repaint), as on the event loop.
class HandTicks {
  public:
    HandTicks(TFormBook& form, FakeClock& clock);

    // One tick of the reading clock; false, doing nothing, while the clock is off.
    bool Tick();
    // Ticks until `done` holds or the reading clock goes off, at most `limit` ticks; returns
    // whether `done` holds.
    bool TickUntil(const std::function<bool()>& done, int limit = 100000);
    // Ticks the CPU test's clock, `stepMs` of fake time apart, until the test turns it off;
    // returns the ticks.
    int RunCpuTest(double stepMs, int limit = 100000);

  private:
    TFormBook& form_;
    FakeClock& clock_;
};

}  // namespace lectorix::test
