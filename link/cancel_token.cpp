#include "link/cancel_token.h"

namespace zdl {

void CancelToken::Request() {
  {
    // Taken so that a waiter between its check and its sleep cannot miss the wake.
    std::lock_guard lock(mutex_);
    requested_.store(true, std::memory_order_release);
  }
  wake_.notify_all();
}

void CancelToken::Clear() {
  std::lock_guard lock(mutex_);
  requested_.store(false, std::memory_order_release);
}

bool CancelToken::WaitUntil(std::chrono::steady_clock::time_point t) const {
  std::unique_lock lock(mutex_);
  return !wake_.wait_until(lock, t, [this] { return Requested(); });
}

}  // namespace zdl
