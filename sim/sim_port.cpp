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
  if (!open_) return false;
  unit_.Receive(bytes, clock_.Now());
  return true;
}

std::optional<char> SimPort::ReadByte(Micros deadline) {
  if (!open_) return std::nullopt;
  if (readPos_ == received_.size()) {
    received_.clear();
    readPos_ = 0;
    const auto due = unit_.NextOutputTime();
    if (!due || *due > deadline) {
      clock_.SleepUntil(deadline);
      return std::nullopt;
    }
    clock_.SleepUntil(*due);
    received_ = unit_.TakeOutput(std::max(clock_.Now(), *due));
    if (received_.empty()) return std::nullopt;
  }
  return received_[readPos_++];
}

bool SimPort::WaitWritten(Micros deadline) {
  if (!open_) return false;
  const Micros done = unit_.InputDoneTime();
  if (done > deadline) {
    clock_.SleepUntil(deadline);
    return false;
  }
  clock_.SleepUntil(done);
  return true;
}

}  // namespace zdl
