// The cancel of an exchange with the unit (a connection start, a read, a write, an
// upload). Any thread may request it; the waits of the port and of the clock watch it
// and end at once. It stays requested until the next exchange begins (Clear), so a
// cancel that comes before the port is even open still ends the start it was meant for.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zdl {

class CancelToken {
 public:
  CancelToken() = default;
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  // Thread-safe; wakes every wait on the token.
  void Request();
  // A new exchange begins. Thread-safe.
  void Clear();
  bool Requested() const { return requested_.load(std::memory_order_acquire); }

  // Sleeps (no CPU) until `t` or a cancel, whichever comes first. True when `t` was
  // reached, false when cancelled (also at once when already cancelled).
  bool WaitUntil(std::chrono::steady_clock::time_point t) const;

 private:
  std::atomic<bool> requested_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable wake_;
};

}  // namespace zdl
