#include "link/trace_port.h"

#include <algorithm>
#include <cstdio>

#include "model/text_codec.h"

namespace zdl {

namespace {

// A received run of bytes without a CR is written out at this length, so a flood of
// noise still gives readable lines.
constexpr std::size_t kMaxTraceLine = 200;

std::string Code(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "<0x%02X>", byte);
  return text;
}

bool UndefinedInCp1252(unsigned char byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

bool HexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::string WithoutPassword(std::string_view bytes, bool received, bool* unfinished) {
  std::string text(bytes);
  if (unfinished != nullptr) *unfinished = false;
  for (std::size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at + 1)) {
    if (text.size() < at + 6 || !HexDigit(text[at + 1]) || !HexDigit(text[at + 2]) ||
        text.compare(at + 3, 3, ";11") != 0) {
      continue;
    }
    const std::size_t end = std::min(text.find_first_of("\r\n", at + 6), text.size());
    if (received && text.find('=', at + 6) < end) continue;
    text[at + 1] = text[at + 2] = '*';
    for (std::size_t i = at + 6; i < end; ++i) text[i] = '*';
    if (end == text.size() && unfinished != nullptr) *unfinished = true;
    at = end == text.size() ? end - 1 : end;
  }
  return text;
}

std::string VisibleBytes(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\r') {
      text += "<CR>";
    } else if (byte == '\n') {
      text += "<LF>";
    } else if (byte == 0) {
      text += "<NUL>";
    } else if (byte == '\t') {
      text += "<TAB>";
    } else if (byte < 0x20 || byte == 0x7F || UndefinedInCp1252(byte)) {
      text += Code(byte);
    } else if (byte < 0x80) {
      text += c;
    } else {
      text += Cp1252ToUtf8(std::string_view(&c, 1));
    }
  }
  return text;
}

TracingPort::TracingPort(BytePort& inner, Clock& clock, std::ostream& out)
    : inner_(inner), clock_(clock), out_(out), start_(clock.Now()) {}

TracingPort::~TracingPort() { FlushReceived(); }

void TracingPort::Log(std::string_view text) {
  const auto ms = std::chrono::duration_cast<Millis>(clock_.Now() - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%8lld ms ", static_cast<long long>(ms));
  // Flushed line by line: the log must be complete even when the program is ended hard.
  out_ << stamp << text << std::endl;
}

void TracingPort::FlushReceived() {
  if (received_.empty()) return;
  bool unfinished = false;
  std::string shown = WithoutPassword(received_, true, &unfinished);
  if (loginGoesOn_) {
    // The rest of a login line cut at the length limit.
    const std::size_t end = std::min(shown.find_first_of("\r\n"), shown.size());
    for (std::size_t i = 0; i < end; ++i) shown[i] = '*';
    loginGoesOn_ = end == shown.size();
  }
  loginGoesOn_ = loginGoesOn_ || unfinished;
  Log("<- " + VisibleBytes(shown));
  received_.clear();
}

void TracingPort::FlushLongReceived() {
  // A frame that has begun after other bytes goes to a line of its own, so that a login
  // echoed after noise is still seen whole, and masked.
  const std::size_t frame = received_.rfind('#');
  if (frame != std::string::npos && frame > 0 &&
      received_.find_first_of("\r\n", frame) == std::string::npos) {
    std::string rest = received_.substr(frame);
    received_.erase(frame);
    FlushReceived();
    received_ = std::move(rest);
    return;
  }
  FlushReceived();
}

bool TracingPort::Open(const PortSettings& settings) {
  FlushReceived();
  loginGoesOn_ = false;
  const bool opened = inner_.Open(settings);
  std::string event = "-- open " + settings.name;
  if (opened) {
    event += " 9600,N,8,1, handshake ";
    event += settings.handshake == Handshake::RtsCts ? "RTS/CTS" : "none";
    event += settings.dtr ? ", DTR on" : ", DTR unchanged";
    event += settings.watchCarrier ? ", carrier watch on" : ", carrier watch off";
  } else {
    event += " failed: " + inner_.ErrorString();
  }
  Log(event);
  return opened;
}

void TracingPort::Close() {
  FlushReceived();
  const bool wasOpen = inner_.IsOpen();
  inner_.Close();
  if (wasOpen) Log("-- close");
}

bool TracingPort::Write(std::string_view bytes) {
  FlushReceived();
  const bool written = inner_.Write(bytes);
  Log("-> " + VisibleBytes(WithoutPassword(bytes, false)) +
      (written ? "" : "  (not sent: " + Reason() + ")"));
  return written;
}

std::optional<char> TracingPort::ReadByte(Micros deadline) {
  const bool wasOpen = inner_.IsOpen();
  const std::optional<char> byte = inner_.ReadByte(deadline);
  if (byte) {
    cancelLogged_ = false;
    received_ += *byte;
    if (*byte == '\r') {
      FlushReceived();
    } else if (received_.size() >= kMaxTraceLine) {
      FlushLongReceived();
    }
    return byte;
  }
  FlushReceived();
  if (inner_.CancelRequested()) {
    if (!cancelLogged_) Log("-- cancelled");
    cancelLogged_ = true;
    return byte;
  }
  cancelLogged_ = false;
  if (wasOpen && !inner_.IsOpen()) {
    const std::string error = inner_.ErrorString();
    Log("-- port closed during a wait" + (error.empty() ? std::string() : ": " + error));
  }
  return byte;
}

bool TracingPort::WaitWritten(Micros deadline) {
  const bool drained = inner_.WaitWritten(deadline);
  if (!drained) Log("-- output not drained: " + Reason());
  return drained;
}

void TracingPort::PollCarrier() {
  const bool wasOpen = inner_.IsOpen();
  inner_.PollCarrier();
  if (wasOpen && !inner_.IsOpen()) Log("-- port closed while idle: " + Reason());
}

bool TracingPort::TakeCarrierLoss() {
  const bool lost = inner_.TakeCarrierLoss();
  if (lost) Log("-- carrier lost");
  return lost;
}

void TracingPort::Note(std::string_view remark) {
  FlushReceived();
  Log("-- " + std::string(remark));
  inner_.Note(remark);
}

std::string TracingPort::Reason() const {
  if (inner_.Cancel().Requested()) return "cancelled";
  const std::string error = inner_.ErrorString();
  if (!error.empty()) return error;
  return inner_.IsOpen() ? "no reason given" : "port closed";
}

}  // namespace zdl
