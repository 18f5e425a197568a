// The primitives of every exchange with the unit or the modem: a plain line reader, the
// modem command sender, the framed "#" answer reader and command sender, and a delay.
//
// Framed line, both directions: "#", two upper-case hex digits of the byte sum of the
// payload modulo 256, ";", the payload, CR. "#00" goes out as "#60;00\r".
// Failures leave LastAnswer empty; nothing here throws or shows anything. A cancel of
// the exchange (BytePort::RequestCancel) ends every wait at once and stops the retries.
#pragma once

#include <string>
#include <string_view>

#include "link/byte_port.h"
#include "link/clock.h"

namespace zdl {

class ByteWait;

// The longest line the link takes from the unit or the modem, without its CR. The unit's
// longest line (a record of 80 characters of text, framed) is under 100 bytes; a longer
// one is noise and fails its wait at once.
inline constexpr std::size_t kMaxLineBytes = 1024;

// The checksum test of a raw answer line ("#", two hex digits, ";", payload; no CR).
bool AnswerOK(std::string_view line);

// "#00" -> "#60;00": the framed form of a logical command (without the CR).
std::string FrameCommand(std::string_view command);

class SerialLine {
 public:
  SerialLine(BytePort& port, Clock& clock) : port_(port), clock_(clock) {}

  // The last line or answer received; "" after a failed wait.
  std::string LastAnswer;

  // One CR-terminated line, leading bytes below 33 or above 126 skipped. The time-out
  // covers the whole line; a partial line is dropped. Every wait here ends by its
  // deadline however many bytes keep arriving (see ByteWait), and a line longer than
  // kMaxLineBytes fails it.
  bool ReadLine(Millis timeout);
  // A modem command: flush pending lines (at most sixteen), then up to four sends while
  // the reply is missing or "+CME ERROR: 515". Time-out 0: write after the flush, read
  // nothing.
  void SendAT(std::string_view command, Millis timeout);
  // One framed answer: text before "#" dropped; on success LastAnswer is "#" + payload.
  bool ReadAnswer(Millis timeout);
  // Frames the command (which starts with "#"), flushes valid pending answers (at most
  // sixteen), then up
  // to four sends until a valid answer. `command` holds the framed line afterwards.
  void SendCommand(std::string& command, Millis timeout);
  // Waits, reading nothing. False when a cancel of the exchange ended it early.
  bool Delay(Millis timeout);
  // Writes bytes as they are (the read's acknowledgements).
  bool WriteRaw(std::string_view bytes);
  // Forgets the last exchange (a new connection): LastAnswer is emptied and the next
  // command's flush waits its full time.
  void Forget() {
    LastAnswer.clear();
    settled_ = false;
  }

  BytePort& Port() { return port_; }

 private:
  // The port is open and the exchange not cancelled: another send is worth making.
  bool Usable();
  // Appends to LastAnswer up to the CR; false when the wait ends first or the line is
  // longer than kMaxLineBytes.
  bool ReadRestOfLine(ByteWait& wait);

  BytePort& port_;
  Clock& clock_;
  // The last exchange ended with a valid answer to a single send: no straggler is owed.
  bool settled_ = false;
};

}  // namespace zdl
