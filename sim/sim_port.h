// A byte port whose far end is a simulated unit in the same process: what the tool writes
// goes to the unit at the clock's time, and a read waits on the clock for the unit's next
// answer byte. With a fake clock every wait is instant; with SteadyClock the read really
// waits (sleeping, not spinning) until the byte is due. The carrier is always present.
// A cancel (RequestCancel, from any thread) ends a wait at once, however far its
// deadline. Otherwise not thread-safe: use the port, its unit and its clock from one
// thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/byte_port.h"
#include "link/clock.h"
#include "sim/simulated_unit.h"

namespace zdl {

class SimPort final : public BytePort {
 public:
  // The unit and the clock must outlive the port.
  SimPort(SimulatedUnit& unit, Clock& clock) : unit_(unit), clock_(clock) {}

  // Always succeeds. Answers that fell due while the port was closed are gone.
  bool Open(const PortSettings& settings) override;
  // Like dropping DTR: the unit's pending answers are lost and a modem hangs up.
  void Close() override;
  bool IsOpen() const override { return open_; }
  std::string ErrorString() const override { return {}; }

  bool Write(std::string_view bytes) override;
  std::optional<char> ReadByte(Micros deadline) override;
  // Paced: waits until the unit has received every written byte.
  bool WaitWritten(Micros deadline) override;
  void PollCarrier() override {}
  bool TakeCarrierLoss() override { return false; }
  CancelToken& Cancel() override { return cancel_; }

  SimulatedUnit& Unit() { return unit_; }
  const PortSettings& Settings() const { return settings_; }

 private:
  SimulatedUnit& unit_;
  Clock& clock_;
  bool open_ = false;
  PortSettings settings_;
  std::string received_;  // bytes taken from the unit, not yet read
  std::size_t readPos_ = 0;
  CancelToken cancel_;
};

}  // namespace zdl
