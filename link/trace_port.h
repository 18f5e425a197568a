// A byte port that forwards to another one and writes everything that passes, both
// ways, to a text log for support: one line per written chunk and per received line,
// plus the open, close, cancel and error events.
//
//      1234 ms -> #60;00<CR>
//      1251 ms <- #8B;ACK<CR>
//
// Times are milliseconds since the trace started. Control characters are shown by name
// (<CR>, <LF>, <NUL>) or code (<0x1B>); other bytes are shown as their Windows-1252
// characters in UTF-8.
//
// The password never reaches the log: the login line "#CC;11<password><CR>" is shown as
// "#**;11****<CR>", one "*" for each character of the password (its length shows), and
// the checksum digits masked too, since their byte sum would narrow the password down.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "link/byte_port.h"
#include "link/clock.h"

namespace zdl {

// Bytes made readable for the trace: control characters by name or code.
std::string VisibleBytes(std::string_view bytes);

// `bytes` with every framed login line's checksum and password replaced by "*": a "#",
// two hexadecimal digits, ";11", then everything up to the CR or LF that ends the line.
// A received line only when it holds no "=" (an echo of the login; the unit's record
// lines "#CC;110=..." keep their value). `unfinished`, when given, tells whether the
// bytes end inside a masked line (its rest is still to come).
std::string WithoutPassword(std::string_view bytes, bool received, bool* unfinished = nullptr);

class TracingPort final : public BytePort {
 public:
  // `inner`, `clock` and `out` must outlive the tracing port.
  TracingPort(BytePort& inner, Clock& clock, std::ostream& out);
  ~TracingPort() override;
  TracingPort(const TracingPort&) = delete;
  TracingPort& operator=(const TracingPort&) = delete;

  bool Open(const PortSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return inner_.IsOpen(); }
  std::string ErrorString() const override { return inner_.ErrorString(); }
  PortError Error() const override { return inner_.Error(); }
  bool Write(std::string_view bytes) override;
  std::optional<char> ReadByte(Micros deadline) override;
  bool WaitWritten(Micros deadline) override;
  void PollCarrier() override;
  bool TakeCarrierLoss() override;
  // The inner port's: a cancel requested here or there ends the same waits.
  CancelToken& Cancel() override { return inner_.Cancel(); }
  // Written as "-- " and the remark; then handed on.
  void Note(std::string_view remark) override;

 private:
  void Log(std::string_view text);
  void FlushReceived();
  // The received bytes reached the length limit of a trace line.
  void FlushLongReceived();
  // Why the last operation failed, for the log.
  std::string Reason() const;

  BytePort& inner_;
  Clock& clock_;
  std::ostream& out_;
  Micros start_;
  std::string received_;  // bytes of the line being received
  bool loginGoesOn_ = false;  // a received login line was cut: mask up to its end
  bool cancelLogged_ = false;  // the current cancel has been written to the log
};

}  // namespace zdl
