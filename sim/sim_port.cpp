#include "sim/sim_port.h"

#include <algorithm>

namespace zdl {

bool SimPort::Open(const PortSettings& settings) {
  settings_ = settings;
  open_ = true;
  received_.clear();
  readPos_ = 0;
  unit_.TakeOutput(clock_.Now());  // nobody was listening
  return true;
}

void SimPort::Close() {
  if (!open_) return;
  open_ = false;
  received_.clear();
  readPos_ = 0;
  unit_.HangUp(clock_.Now());
}

bool SimPort::Write(std::string_view bytes) {
  if (!open_ || cancel_.Requested()) return false;
  unit_.Receive(bytes, clock_.Now());
  return true;
}

std::optional<char> SimPort::ReadByte(Micros deadline) {
  if (!open_ || cancel_.Requested()) return std::nullopt;
  if (readPos_ == received_.size()) {
    received_.clear();
    readPos_ = 0;
    const auto due = unit_.NextOutputTime();
    if (!due || *due > deadline) {
      clock_.SleepUntil(deadline, cancel_);
      return std::nullopt;
    }
    if (!clock_.SleepUntil(*due, cancel_)) return std::nullopt;
    received_ = unit_.TakeOutput(std::max(clock_.Now(), *due));
    if (received_.empty()) return std::nullopt;
  }
  return received_[readPos_++];
}

bool SimPort::WaitWritten(Micros deadline) {
  if (!open_ || cancel_.Requested()) return false;
  const Micros done = unit_.InputDoneTime();
  if (done > deadline) {
    clock_.SleepUntil(deadline, cancel_);
    return false;
  }
  return clock_.SleepUntil(done, cancel_);
}

}  // namespace zdl
