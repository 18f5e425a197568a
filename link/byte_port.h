// The narrow interface through which the link talks to a serial port: open with the
// settings a connection needs, write bytes, read one byte with a deadline, and the
// carrier watch. The line protocol, its framing, time-outs and retries live above it.
// The real port (QSerialPort), the fake port of the tests and the in-process simulated
// unit all implement it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/clock.h"

namespace zdl {

enum class Handshake { None, RtsCts };

// "9600,N,8,1" always.
struct PortSettings {
  // "COM1" to "COM16" (the first sixteen serial devices) or a device path.
  std::string name;
  Handshake handshake = Handshake::None;
  bool dtr = false;
  // Watch the carrier-detect line while the port is open (modem connections). A drop
  // of carrier closes the port and is reported once by TakeCarrierLoss().
  bool watchCarrier = false;
};

class BytePort {
 public:
  virtual ~BytePort() = default;

  // False when the port cannot be opened; ErrorString() then says why.
  virtual bool Open(const PortSettings& settings) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual std::string ErrorString() const = 0;

  // Sends the bytes; false when the port is closed or the write failed.
  virtual bool Write(std::string_view bytes) = 0;
  // The next received byte, waiting at most until `deadline` (clock time). Empty on
  // time-out, and at once when the port is closed (also when it closes during the
  // wait: a cancel, a carrier drop, the far end going away).
  virtual std::optional<char> ReadByte(Micros deadline) = 0;
  // Waits until every byte written so far has left the port, at most until `deadline`.
  virtual bool WaitWritten(Micros deadline) = 0;

  // True once after the carrier watch has seen carrier drop (and closed the port).
  virtual bool TakeCarrierLoss() = 0;
};

}  // namespace zdl
