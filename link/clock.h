// Time as the link sees it. Every wait for the unit is a deadline on this clock, so
// tests drive time-outs with a fake clock instead of real waiting.
#pragma once

#include <chrono>

#include "link/cancel_token.h"

namespace zdl {

using Micros = std::chrono::microseconds;
using Millis = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time since an arbitrary start.
  virtual Micros Now() = 0;
  // Returns once Now() >= t (true), or as soon as `cancel` is requested (false; at once
  // when it already is). Uses no CPU while it waits.
  virtual bool SleepUntil(Micros t, const CancelToken& cancel) = 0;
};

class SteadyClock final : public Clock {
 public:
  Micros Now() override;
  bool SleepUntil(Micros t, const CancelToken& cancel) override;
};

}  // namespace zdl
