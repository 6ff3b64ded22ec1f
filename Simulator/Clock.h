// Virtual time in microseconds. Nothing in the simulator sleeps: a delay
// advances this clock, and models compute their state from it.
#pragma once

#include <cstdint>

namespace sim {

class Clock {
 public:
  // The time-stamp counter runs at this rate; TimerLib reports it as the
  // performance-counter frequency.
  static constexpr uint64_t kTscHz = 2'000'000'000;

  uint64_t now() const { return us_; }
  void advance(uint64_t us) { us_ += us; }
  uint64_t tsc() const { return us_ * (kTscHz / 1'000'000); }

 private:
  uint64_t us_ = 0;
};

}  // namespace sim
