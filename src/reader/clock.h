// Where the reader gets "now" from, so that timing can be tested without waiting.
#pragma once

namespace lectorix {

class Clock {
  public:
    virtual ~Clock() = default;
    // Days as a double, the time of day as the fraction. Only differences of it are used for
    // timing, so the real clock takes it from the monotonic clock.
    virtual double Now() = 0;
};

// The system's monotonic clock, in days.
class SteadyClock : public Clock {
  public:
    double Now() override;
};

// A clock that moves only when told to.
class FakeClock : public Clock {
  public:
    double Now() override { return now_; }
    void AdvanceMs(double ms) { now_ += ms / 86400000.0; }
    void Set(double days) { now_ = days; }

  private:
    double now_ = 46000.0;  // some day in 2025, far from 0 like a real date
};

}  // namespace lectorix
