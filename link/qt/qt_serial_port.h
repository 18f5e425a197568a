// The real serial port: QSerialPort behind the byte-port interface, 9600,N,8,1.
//
// Blocking, and needs no running event loop: a read waits in waitForReadyRead slices of
// at most 50 ms, checking between slices for a cancel and, when asked, for a drop of
// the carrier-detect line. Open, Close, reads and writes belong to one thread (the one
// that opens the port owns the QSerialPort, so close it there before the object goes
// away); only RequestCancel may be called from another thread.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/byte_port.h"
#include "link/clock.h"

class QSerialPort;

namespace zdl {

class QtSerialPort final : public BytePort {
 public:
  // Read deadlines are times on `clock`, which must run in real time (SteadyClock).
  explicit QtSerialPort(Clock& clock);
  ~QtSerialPort() override;
  QtSerialPort(const QtSerialPort&) = delete;
  QtSerialPort& operator=(const QtSerialPort&) = delete;

  // "COM1" to "COM16" name the first sixteen serial devices (exact, case-sensitive);
  // anything else is a device path (a pseudo-terminal, a USB adapter).
  static std::string DevicePath(const std::string& name);

  // DTR is raised when settings.dtr is set; otherwise it is left as the system opens
  // the port. A device without modem lines (a pseudo-terminal) ignores DTR and never
  // reports a carrier drop.
  bool Open(const PortSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  // Why the last open failed or why the port closed by itself ("" after a cancel).
  std::string ErrorString() const override;

  bool Write(std::string_view bytes) override;
  std::optional<char> ReadByte(Micros deadline) override;
  bool WaitWritten(Micros deadline) override;
  bool TakeCarrierLoss() override;

  // Ends the running or next wait at once: the port closes and the exchange fails.
  // Thread-safe; cleared by the next Open.
  void RequestCancel() { cancel_ = true; }

 private:
  // Ends the connection from inside a wait: closes the port, keeping `reason`.
  void CloseFor(std::string reason);
  // False when the port had to close (cancel, device error, carrier drop).
  bool StillUsable();
  bool CarrierDropped();
  void TakeReceived();

  Clock& clock_;
  std::unique_ptr<QSerialPort> port_;
  std::atomic<bool> cancel_{false};
  std::string device_;
  std::string error_;
  // A read, write or resource error seen by the port's error signal; acted on after
  // the call that raised it returns (the signal can fire many times in a row).
  std::string pendingError_;
  std::string received_;  // bytes taken from the port, not yet read
  std::size_t readPos_ = 0;
  bool watchCarrier_ = false;
  bool carrierPresent_ = false;
  bool carrierLost_ = false;
  Micros nextCarrierCheck_{0};
};

}  // namespace zdl
