// A byte port whose far end is a simulated unit in the same process: what the tool writes
// goes to the unit at the clock's time, and a read waits on the clock for the unit's next
// answer byte. With a fake clock every wait is instant; with SteadyClock the read really
// waits (sleeping, not spinning) until the byte is due. The carrier is present until
// DropCarrier says otherwise. A cancel (RequestCancel, from any thread) ends a wait at
// once, however far its deadline; a carrier drop (DropCarrier, from any thread) ends it
// within kCarrierSlice. Otherwise not thread-safe: use the port, its unit and its clock
// from one thread.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "link/byte_port.h"
#include "link/clock.h"
#include "sim/simulated_unit.h"

namespace zdl {

class SimPort final : public BytePort {
 public:
  // The longest a wait sleeps before it looks for a carrier drop again.
  static constexpr Micros kCarrierSlice{50000};

  // The unit and the clock must outlive the port.
  SimPort(SimulatedUnit& unit, Clock& clock) : unit_(&unit), clock_(clock) {}

  // Puts another unit at the far end (a unit rebuilt behind a modem, or without one).
  // Only while the port is closed.
  void Attach(SimulatedUnit& unit);

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
  void PollCarrier() override { CarrierStillUp(); }
  bool TakeCarrierLoss() override { return std::exchange(carrierLost_, false); }
  CancelToken& Cancel() override { return cancel_; }

  // Any thread: the line loses carrier, as when the modem's call drops. Acted on by the
  // port's own thread at its next call (a wait looks every kCarrierSlice): a port that
  // watches the carrier (a modem connection) closes, the unit hangs up, and
  // TakeCarrierLoss() reports the drop once. Ignored on a port that does not watch the
  // carrier or is closed, like a carrier change on a direct cable.
  void DropCarrier() { dropAsked_.store(true, std::memory_order_release); }

  SimulatedUnit& Unit() { return *unit_; }

 private:
  // Acts on a drop asked by DropCarrier; false when the port is (now) closed.
  bool CarrierStillUp();
  // Sleeps until `t` (true), or until a cancel or a carrier drop (false).
  bool SleepUntil(Micros t);

  SimulatedUnit* unit_;
  Clock& clock_;
  bool open_ = false;
  PortSettings settings_;
  std::string received_;  // bytes taken from the unit, not yet read
  std::size_t readPos_ = 0;
  CancelToken cancel_;
  std::atomic<bool> dropAsked_{false};
  bool carrierLost_ = false;
};

}  // namespace zdl
