#include "link/serial_line.h"

#include <cstdio>

#include "link/byte_wait.h"

namespace zdl {

namespace {

constexpr Millis kFlushTimeout{100};
// A flush drops at most this many pending lines, so a device that keeps sending valid
// lines cannot hold the next command back for ever (sixteen times 100 ms at most when
// they trickle in; at once when they pour).
constexpr int kFlushLines = 16;
constexpr int kSends = 4;
constexpr std::string_view kCmeRetry = "+CME ERROR: 515";

unsigned ByteSum(std::string_view text) {
  unsigned sum = 0;
  for (char c : text) sum += static_cast<unsigned char>(c);
  return sum;
}

// A hex digit's value, or -1.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool AnswerOK(std::string_view line) {
  if (line.size() < 5) return false;
  const int high = HexDigit(line[1]);
  const int low = HexDigit(line[2]);
  // Digits that are not hexadecimal read as 0, as the unit's own check does.
  const unsigned expected = (high < 0 || low < 0) ? 0u : static_cast<unsigned>(high * 16 + low);
  return ByteSum(line.substr(4)) % 256 == expected;
}

std::string FrameCommand(std::string_view command) {
  const std::string_view payload = command.empty() ? command : command.substr(1);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", ByteSum(payload) % 256);
  std::string framed = "#";
  framed += digits;
  framed += ';';
  framed += payload;
  return framed;
}

bool SerialLine::ReadLine(Millis timeout) {
  ByteWait wait(port_, clock_, clock_.Now() + timeout);
  LastAnswer.clear();
  settled_ = false;
  // Phase one: skip blanks, control characters and bytes above 126 (what is left of an
  // earlier line's CR LF, for instance).
  std::optional<char> c;
  do {
    c = wait.Next();
    if (!c) return false;
  } while (static_cast<unsigned char>(*c) < 33 || static_cast<unsigned char>(*c) > 126);
  LastAnswer += *c;
  if (ReadRestOfLine(wait)) return true;
  LastAnswer.clear();
  return false;
}

bool SerialLine::ReadRestOfLine(ByteWait& wait) {
  // Everything up to the CR belongs to the line; a line longer than kMaxLineBytes is noise,
  // not an answer, and fails the wait at once.
  while (std::optional<char> c = wait.Next()) {
    if (*c == '\r') return true;
    if (LastAnswer.size() >= kMaxLineBytes) return false;
    LastAnswer += *c;
  }
  return false;
}

bool SerialLine::Usable() { return port_.IsOpen() && !port_.CancelRequested(); }

void SerialLine::SendAT(std::string_view command, Millis timeout) {
  for (int dropped = 0; dropped < kFlushLines && ReadLine(kFlushTimeout); ++dropped) {
  }
  std::string line(command);
  line += '\r';
  for (int attempt = 0; attempt < kSends && Usable(); ++attempt) {
    port_.Write(line);
    if (timeout.count() == 0) return;
    if (ReadLine(timeout) && LastAnswer != kCmeRetry) return;
  }
}

bool SerialLine::ReadAnswer(Millis timeout) {
  ByteWait wait(port_, clock_, clock_.Now() + timeout);
  LastAnswer.clear();
  settled_ = false;
  // Phase one: echoes and modem noise before the "#" are dropped.
  std::optional<char> c;
  do {
    c = wait.Next();
    if (!c) return false;
  } while (*c != '#');
  LastAnswer += '#';
  if (ReadRestOfLine(wait) && AnswerOK(LastAnswer)) {
    LastAnswer.erase(1, 3);  // the checksum and ";"
    settled_ = true;
    return true;
  }
  LastAnswer.clear();
  return false;
}

void SerialLine::SendCommand(std::string& command, Millis timeout) {
  command = FrameCommand(command);
  // Valid answers still pending (late answers to an earlier command) are dropped. When
  // the last exchange ended cleanly (one send, one valid answer) nothing more is owed by
  // the unit: what has already arrived is dropped without waiting, so a configuration
  // of some fifty lines does not spend seconds in flushes. After a retry, a failure or
  // modem talk the flush waits its full 100 ms for stragglers.
  const Millis flush = settled_ ? Millis{0} : kFlushTimeout;
  for (int dropped = 0; dropped < kFlushLines && ReadAnswer(flush); ++dropped) {
  }
  const std::string line = command + '\r';
  for (int attempt = 0; attempt < kSends && Usable(); ++attempt) {
    port_.Write(line);
    if (ReadAnswer(timeout)) {
      settled_ = attempt == 0;
      return;
    }
  }
  LastAnswer.clear();
}

bool SerialLine::Delay(Millis timeout) {
  if (port_.CancelRequested()) return false;
  return clock_.SleepUntil(clock_.Now() + timeout, port_.Cancel());
}

bool SerialLine::WriteRaw(std::string_view bytes) { return port_.Write(bytes); }

}  // namespace zdl
