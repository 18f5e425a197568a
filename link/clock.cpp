#include "link/clock.h"

namespace zdl {

Micros SteadyClock::Now() {
  return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now().time_since_epoch());
}

bool SteadyClock::SleepUntil(Micros t, const CancelToken& cancel) {
  return cancel.WaitUntil(std::chrono::steady_clock::time_point(t));
}

}  // namespace zdl
