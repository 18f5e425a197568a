#include "tests/support/fake_port.h"

#include <algorithm>
#include <sstream>

#include "link/serial_line.h"

namespace zdl::testing {

bool FakeClock::SleepUntil(Micros t, const CancelToken& cancel) {
  if (cancel.Requested()) return false;
  now_ = std::max(now_, t);
  return true;
}

void FakePort::Feed(std::string_view bytes, Micros delay) {
  Micros at = clock_.Now() + delay;
  if (!incoming_.empty()) at = std::max(at, incoming_.back().at);
  for (char c : bytes) incoming_.push_back({at, c});
}

void FakePort::Flood(std::string pattern, Micros perByte, std::int64_t total) {
  floodPattern_ = std::move(pattern);
  floodPos_ = 0;
  floodPerByte_ = perByte;
  floodLeft_ = floodPattern_.empty() ? 0 : total;
}

void FakePort::FeedAnswer(std::string_view payload, Micros delay) {
  std::string command = "#";
  command += payload;
  std::string framed = FrameCommand(command);
  framed += '\r';
  Feed(framed, delay);
}

std::vector<std::string> FakePort::WrittenLines() const {
  std::vector<std::string> lines;
  std::istringstream in(written_);
  for (std::string line; std::getline(in, line, '\r');) lines.push_back(line);
  return lines;
}

bool FakePort::Open(const PortSettings& settings) {
  opens_.push_back(settings);
  if (!openError_.empty()) return false;
  open_ = true;
  watchCarrier_ = settings.watchCarrier;
  return true;
}

void FakePort::Close() { open_ = false; }

bool FakePort::Write(std::string_view bytes) {
  if (!open_ || cancel_.Requested()) return false;
  written_.append(bytes);
  if (responder_) responder_(bytes, *this);
  return true;
}

bool FakePort::CarrierDropsBy(Micros t) const {
  return watchCarrier_ && carrierDropAt_ && *carrierDropAt_ <= t;
}

void FakePort::LoseCarrier() {
  carrierDropAt_.reset();
  carrierLost_ = true;
  Close();
}

std::optional<char> FakePort::ReadByte(Micros deadline) {
  if (!open_ || cancel_.Requested()) return std::nullopt;
  const bool fedWaiting = !incoming_.empty() && incoming_.front().at <= clock_.Now();
  if (floodLeft_ > 0 && !fedWaiting) {
    if (!clock_.SleepUntil(clock_.Now() + floodPerByte_, cancel_)) return std::nullopt;
    --floodLeft_;
    const char c = floodPattern_[floodPos_];
    floodPos_ = (floodPos_ + 1) % floodPattern_.size();
    return c;
  }
  if (!incoming_.empty() && incoming_.front().at <= deadline &&
      !CarrierDropsBy(std::max(clock_.Now(), incoming_.front().at))) {
    if (!clock_.SleepUntil(incoming_.front().at, cancel_)) return std::nullopt;
    char c = incoming_.front().byte;
    incoming_.pop_front();
    return c;
  }
  if (CarrierDropsBy(deadline)) {
    if (!clock_.SleepUntil(*carrierDropAt_, cancel_)) return std::nullopt;
    LoseCarrier();
    return std::nullopt;
  }
  clock_.SleepUntil(deadline, cancel_);
  return std::nullopt;
}

bool FakePort::WaitWritten(Micros /*deadline*/) { return open_ && !cancel_.Requested(); }

void FakePort::PollCarrier() {
  if (open_ && CarrierDropsBy(clock_.Now())) LoseCarrier();
}

bool FakePort::TakeCarrierLoss() {
  bool lost = carrierLost_;
  carrierLost_ = false;
  return lost;
}

namespace {

std::string LogicalCommand(std::string_view line) {
  std::string command(line.substr(0, line.find('\r')));
  if (command.size() >= 4 && command[0] == '#' && command[3] == ';') command.erase(1, 3);
  return command;
}

}  // namespace

ScriptedUnit::ScriptedUnit() {
  port.SetResponder([this](std::string_view written, FakePort& p) {
    const std::string command = LogicalCommand(written);
    const auto given = answers.find(command);
    const std::string reply = given != answers.end() ? given->second : usual(command);
    if (reply == "close") {
      p.Close();
    } else if (reply.starts_with('#')) {
      p.FeedAnswer(reply.substr(1), delay);
    } else {
      p.Feed(reply, delay);
    }
    if (onLine) onLine(command);
  });
}

int ScriptedUnit::Count(const std::string& command) const {
  int n = 0;
  for (const std::string& line : port.WrittenLines()) n += LogicalCommand(line) == command ? 1 : 0;
  return n;
}

}  // namespace zdl::testing
