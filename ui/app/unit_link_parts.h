// The pieces the windows' link to the unit is built of, besides its jobs: the built-in
// virtual unit and the routing of the port with its trace. Both are built on the
// interface thread and used on the link's worker thread, except for the calls marked
// "any thread".
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "link/byte_port.h"
#include "link/clock.h"
#include "link/qt/qt_serial_port.h"
#include "link/trace_port.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "ui/app/unit_link.h"

namespace zdl::ui {

// The built-in virtual unit: the simulated unit in this process behind its in-process
// port. It lives as long as the link, so what was written to it survives connections, a
// switch between modem and direct cable, and firmware uploads.
class VirtualUnit {
 public:
  VirtualUnit(const UnitLinkOptions& options, Clock& clock);

  BytePort& Port() { return port_; }
  // Any thread: its modem loses the call.
  void DropCarrier() { port_.DropCarrier(); }

  // Behind a modem or on a direct cable, keeping its configuration.
  void UseModem(bool modem);
  // Switched off and on into its boot loader, which announces "*".
  void SwitchOnIntoBootLoader();
  // Back in its firmware after an upload; nothing when it is not in its boot loader.
  void LeaveBootLoader();
  // What its boot loader received, byte for byte; empty when it is not in it.
  std::string BootLoaderReceived() const;
  // The logical lines it received since the last call, as it parsed them.
  std::vector<std::string> TakeReceivedLines();

 private:
  Clock& clock_;
  std::unique_ptr<SimulatedUnit> unit_;
  SimPort port_;
  BootLoaderFaults bootLoaderFaults_;
};

// The tracing ports' text, handed on line by line.
class LineSink final : public std::streambuf {
 public:
  explicit LineSink(std::function<void(std::string)> emitLine) : emitLine_(std::move(emitLine)) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;

 private:
  void Put(char c);

  std::function<void(std::string)> emitLine_;
  std::string line_;
};

// The port a connection or an upload uses: the real serial port or the virtual unit's,
// each directly or through its tracing port. Chosen per call, so switching the trace
// takes effect at once; the real or virtual side is chosen while both are closed.
class RoutedPort final : public BytePort {
 public:
  RoutedPort(BytePort& real, BytePort& realTraced, BytePort& sim, BytePort& simTraced,
             const std::atomic<bool>& trace)
      : real_(real), realTraced_(realTraced), sim_(sim), simTraced_(simTraced), trace_(trace) {}

  void UseVirtualUnit(bool on) { virtual_ = on; }

  bool Open(const PortSettings& settings) override { return Target().Open(settings); }
  void Close() override { Target().Close(); }
  bool IsOpen() const override { return Target().IsOpen(); }
  std::string ErrorString() const override { return Target().ErrorString(); }
  PortError Error() const override { return Target().Error(); }
  bool Write(std::string_view bytes) override { return Target().Write(bytes); }
  std::optional<char> ReadByte(Micros deadline) override { return Target().ReadByte(deadline); }
  bool WaitWritten(Micros deadline) override { return Target().WaitWritten(deadline); }
  void PollCarrier() override { Target().PollCarrier(); }
  bool TakeCarrierLoss() override { return Target().TakeCarrierLoss(); }
  CancelToken& Cancel() override { return Target().Cancel(); }
  void Note(std::string_view remark) override { Target().Note(remark); }

 private:
  BytePort& Target() const {
    const bool traced = trace_.load(std::memory_order_relaxed);
    if (virtual_) return traced ? simTraced_ : sim_;
    return traced ? realTraced_ : real_;
  }

  BytePort& real_;
  BytePort& realTraced_;
  BytePort& sim_;
  BytePort& simTraced_;
  const std::atomic<bool>& trace_;
  bool virtual_ = false;
};

// The real serial port and the virtual unit's, routed as the trace switch and the chosen
// side say; while the trace is on every byte exchanged becomes a line for `traceLine`.
class PortRoutes {
 public:
  PortRoutes(BytePort& virtualUnit, Clock& clock, std::function<void(std::string)> traceLine);

  // The port every exchange goes through.
  RoutedPort& Port() { return routed_; }
  // The two sides themselves (closed as the link goes, without the routing).
  BytePort& Real() { return real_; }
  BytePort& Virtual() { return virtual_; }

  // Any thread.
  void SetTrace(bool on) { trace_.store(on, std::memory_order_relaxed); }
  // No more trace lines (the link is going).
  void Silence() { silent_.store(true, std::memory_order_release); }
  // The cancel of both sides.
  void RequestCancel();
  void BeginExchange();

 private:
  BytePort& virtual_;
  QtSerialPort real_;
  std::atomic<bool> silent_{false};
  LineSink traceSink_;
  std::ostream traceOut_;
  TracingPort realTraced_;
  TracingPort virtualTraced_;
  std::atomic<bool> trace_{false};
  RoutedPort routed_;
};

}  // namespace zdl::ui
