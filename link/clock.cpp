#include "link/clock.h"

#include <thread>

namespace zdl {

Micros SteadyClock::Now() {
  return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now().time_since_epoch());
}

void SteadyClock::SleepUntil(Micros t) {
  std::this_thread::sleep_until(std::chrono::steady_clock::time_point(t));
}

}  // namespace zdl
