// Time as the link sees it. Every wait for the unit is a deadline on this clock, so
// tests drive time-outs with a fake clock instead of real waiting.
#pragma once

#include <chrono>

namespace zdl {

using Micros = std::chrono::microseconds;
using Millis = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time since an arbitrary start.
  virtual Micros Now() = 0;
  // Returns once Now() >= t. Uses no CPU while it waits.
  virtual void SleepUntil(Micros t) = 0;
};

class SteadyClock final : public Clock {
 public:
  Micros Now() override;
  void SleepUntil(Micros t) override;
};

}  // namespace zdl
