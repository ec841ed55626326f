// A clock that moves only when told to, so timing is tested without waiting.
#pragma once

#include "reader/clock.h"

namespace lectorix::test {

class FakeClock : public Clock {
  public:
    double Now() override { return now_; }
    void AdvanceMs(double ms) { now_ += ms / 86400000.0; }
    void Set(double days) { now_ = days; }

  private:
    double now_ = 46000.0;  // some day in 2025, far from 0 like a real date
};

}  // namespace lectorix::test
