// The narrow interface through which the link talks to a serial port: open with the
// settings a connection needs, write bytes, read one byte with a deadline, the carrier
// watch and the cancel of an exchange. The line protocol, its framing, time-outs and
// retries live above it. The real port (QSerialPort), the fake port of the tests and the
// in-process simulated unit all implement it.
//
// Threads: a port belongs to the thread that drives it (the one that opens it); only
// the cancel calls (RequestCancel, BeginExchange, CancelRequested) may come from any
// thread. An implementation may accept more (see QtSerialPort).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "link/cancel_token.h"
#include "link/clock.h"
#include "link/port_error.h"

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

  // False when the port cannot be opened; ErrorString() then says why. Opening does
  // not touch the cancel: a cancel requested before it still ends the exchange.
  virtual bool Open(const PortSettings& settings) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual std::string ErrorString() const = 0;
  // The same as a typed reason, for a front end to word in its language. A port that has
  // only words of its own gives them as PortFailure::Other.
  virtual PortError Error() const {
    std::string text = ErrorString();
    if (text.empty()) return {};
    return {PortFailure::Other, {}, std::move(text)};
  }

  // Sends the bytes; false when the port is closed, a cancel is requested (nothing is
  // sent then) or the write failed.
  virtual bool Write(std::string_view bytes) = 0;
  // The next received byte, waiting at most until `deadline` (clock time). Empty on
  // time-out, and at once when the port is closed (also when it closes during the
  // wait: a carrier drop, the far end going away) or a cancel is requested. Bytes already
  // received may be handed over after the deadline: a loop over them ends by ByteWait.
  virtual std::optional<char> ReadByte(Micros deadline) = 0;
  // Waits until every byte written so far has left the port, at most until `deadline`.
  // False on time-out, on a closed port and on a cancel.
  virtual bool WaitWritten(Micros deadline) = 0;

  // Looks at the carrier-detect line now, when the port watches it: a drop closes the
  // port and is reported by TakeCarrierLoss(). The waits above look on their own; a
  // front end calls this on a timer, on the port's thread, while the connection is idle.
  virtual void PollCarrier() = 0;
  // True once after the carrier watch has seen carrier drop (and closed the port).
  virtual bool TakeCarrierLoss() = 0;

  // The cancel of the exchange this port serves: the port's waits and the clock waits
  // of the line (SerialLine::Delay) watch it. A port that forwards to another one
  // returns the other's, so a cancel reaches the waits wherever it is requested.
  virtual CancelToken& Cancel() = 0;

  // Any thread, at any moment, also before Open: ends the running exchange as failed
  // (every wait returns at once, nothing more is written). A cancel never closes the
  // port by itself; Connection::Start closes it when the start is cancelled.
  void RequestCancel() { Cancel().Request(); }
  // A new exchange begins: clears an earlier cancel. The front end calls it when the user
  // asks for a start, read, write or upload, before handing the job to the thread that
  // runs it, so a cancel pressed right after is never lost. Nothing in the core clears
  // the cancel: a cancelled port refuses every exchange until the next BeginExchange.
  void BeginExchange() { Cancel().Clear(); }
  bool CancelRequested() { return Cancel().Requested(); }

  // A remark of the layers above for the exchange's log (the line trace): a record the
  // read did not take whole, a write refused before it began. A port without a log
  // ignores it; a port that forwards to another one hands it on.
  virtual void Note(std::string_view /*remark*/) {}
};

}  // namespace zdl
