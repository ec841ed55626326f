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

// The program's one monotonic clock, for whoever is not handed another.
Clock& SystemClock();

}  // namespace lectorix
