#include "sim/sim_port.h"

#include <algorithm>

namespace zdl {

void SimPort::Attach(SimulatedUnit& unit) {
  if (!open_) unit_ = &unit;
}

bool SimPort::Open(const PortSettings& settings) {
  settings_ = settings;
  open_ = true;
  received_.clear();
  readPos_ = 0;
  dropAsked_.store(false, std::memory_order_relaxed);  // a drop of an earlier call is gone
  carrierLost_ = false;
  unit_->TakeOutput(clock_.Now());  // nobody was listening
  return true;
}

void SimPort::Close() {
  if (!open_) return;
  open_ = false;
  received_.clear();
  readPos_ = 0;
  unit_->HangUp(clock_.Now());
}

bool SimPort::CarrierStillUp() {
  if (dropAsked_.exchange(false, std::memory_order_acq_rel) && open_ && settings_.watchCarrier) {
    Close();
    carrierLost_ = true;
  }
  return open_;
}

bool SimPort::SleepUntil(Micros t) {
  for (;;) {
    if (!CarrierStillUp() || cancel_.Requested()) return false;
    const Micros now = clock_.Now();
    if (now >= t) return true;
    if (!clock_.SleepUntil(std::min(t, now + kCarrierSlice), cancel_)) return false;
  }
}

bool SimPort::Write(std::string_view bytes) {
  if (!CarrierStillUp() || cancel_.Requested()) return false;
  unit_->Receive(bytes, clock_.Now());
  return true;
}

std::optional<char> SimPort::ReadByte(Micros deadline) {
  if (!CarrierStillUp() || cancel_.Requested()) return std::nullopt;
  if (readPos_ == received_.size()) {
    received_.clear();
    readPos_ = 0;
    const auto due = unit_->NextOutputTime();
    if (!due || *due > deadline) {
      SleepUntil(deadline);
      return std::nullopt;
    }
    if (!SleepUntil(*due)) return std::nullopt;
    received_ = unit_->TakeOutput(std::max(clock_.Now(), *due));
    if (received_.empty()) return std::nullopt;
  }
  return received_[readPos_++];
}

bool SimPort::WaitWritten(Micros deadline) {
  if (!CarrierStillUp() || cancel_.Requested()) return false;
  const Micros done = unit_->InputDoneTime();
  if (done > deadline) {
    SleepUntil(deadline);
    return false;
  }
  return SleepUntil(done);
}

}  // namespace zdl
