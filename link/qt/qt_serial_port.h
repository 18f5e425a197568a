// The real serial port: QSerialPort behind the byte-port interface, 9600,N,8,1.
//
// Blocking, and needs no running event loop: a read waits in waitForReadyRead slices of
// at most 50 ms, checking between slices for a cancel, a close asked by another thread
// and, when asked, a drop of the carrier-detect line.
//
// Received bytes nobody has read yet are kept up to 8192 (QSerialPort's read buffer); a
// device that keeps sending while the connection is idle waits behind them in the
// system's buffer instead of filling the memory.
//
// Threads. The thread that opens the port owns it until the port is closed. It must be
// a thread with a Qt event dispatcher: a QThread (in its run() or its event loop) or the
// main thread of a QCoreApplication. A plain std::thread has none, and QSerialPort's
// notifiers cannot work there: opening from one is a fatal error in a debug build and
// fails with that reason otherwise. Open, ReadByte, Write, WaitWritten and PollCarrier
// belong to the owner thread; from another thread they assert in a debug build and are
// refused otherwise. Any thread may call:
//   - RequestCancel, BeginExchange, CancelRequested, IsOpen, ErrorString;
//   - Close: from another thread it asks the owner to close and returns within about
//     50 ms, never waiting for the owner's event loop: the port is closed on its own
//     thread, at once when the owner is inside a call, from its event loop when it is
//     idle, at its next call, or when its thread finishes, whichever comes first.
//     IsOpen() is false from the moment the close is asked.
//   - the destructor: ends a call in progress on the owner thread (as a close would) and
//     waits for it to return, then an open port is closed and deleted on its own thread.
//     No call may begin once the destructor has started.
// No call on the port ever waits for another thread's event loop, so none can hang on
// a worker that is itself waiting for the interface thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/byte_port.h"
#include "link/cancel_token.h"
#include "link/clock.h"

class QSerialPort;

namespace zdl {

class QtSerialPort final : public BytePort {
 public:
  // Whether carrier is present on the port, or nothing when the device has no modem
  // lines (a pseudo-terminal): then the watch stops and never reports a drop.
  using CarrierReader = std::function<std::optional<bool>(QSerialPort& port)>;

  // Read deadlines are times on `clock`, which must run in real time (SteadyClock).
  explicit QtSerialPort(Clock& clock);
  ~QtSerialPort() override;
  QtSerialPort(const QtSerialPort&) = delete;
  QtSerialPort& operator=(const QtSerialPort&) = delete;

  // "COM1" to "COM16" name the first sixteen serial devices (exact, case-sensitive);
  // anything else is a device path (a pseudo-terminal, a USB adapter).
  static std::string DevicePath(const std::string& name);
  // The carrier-detect line as QSerialPort reports it (pinoutSignals).
  static std::optional<bool> ReadCarrierLine(QSerialPort& port);
  // Replaces how the carrier line is read (a test's line, an adapter with its own). Call
  // it while the port is closed.
  void SetCarrierReader(CarrierReader reader) { carrierReader_ = std::move(reader); }

  // DTR is raised when settings.dtr is set; otherwise it is left as the system opens
  // the port. A device without modem lines (a pseudo-terminal) ignores DTR and never
  // reports a carrier drop.
  bool Open(const PortSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  // Why the last open failed or why the port closed by itself (empty after a plain
  // close); ErrorString() words it in English, for traces.
  std::string ErrorString() const override;
  PortError Error() const override;

  bool Write(std::string_view bytes) override;
  std::optional<char> ReadByte(Micros deadline) override;
  bool WaitWritten(Micros deadline) override;
  void PollCarrier() override;
  bool TakeCarrierLoss() override;
  CancelToken& Cancel() override { return cancel_; }

 private:
  // What other threads and the owner thread's event loop reach (defined in the .cpp).
  struct Shared;

  // True on the owner thread, or anywhere while the port is closed.
  bool OnOwnerThread(const char* what) const;
  // Closes the port on its own thread, keeping `reason` for Error().
  void CloseFor(PortError reason);
  // False when the port is closed or had to close (a close asked, a device error, a
  // carrier drop). Cancels are checked by the callers: they do not close the port.
  bool StillUsable();
  bool CarrierDropped();
  void TakeReceived();
  // Moves what QSerialPort holds into received_ when its buffer is full (a write waiting
  // to leave, a flood coming in); what does not fit is dropped.
  void MakeRoomToRead();

  Clock& clock_;
  CancelToken cancel_;
  std::shared_ptr<Shared> shared_;
  CarrierReader carrierReader_ = &QtSerialPort::ReadCarrierLine;
  // The rest belongs to the owner thread (guarded by the shared call lock).
  std::string device_;
  std::string received_;  // bytes taken from the port, not yet read
  std::size_t readPos_ = 0;
  bool watchCarrier_ = false;
  bool carrierPresent_ = false;
  bool carrierLost_ = false;
  Micros nextCarrierCheck_{0};
};

}  // namespace zdl
