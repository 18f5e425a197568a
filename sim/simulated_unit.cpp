#include "sim/simulated_unit.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "link/trace_port.h"
#include "sim/config_line_parser.h"
#include "sim/record_stream.h"

namespace zdl {
namespace {

// Drops what a line may carry before its text: the LF of a CR LF, blanks, noise.
std::string_view TrimLeading(std::string_view line) {
  while (!line.empty() && (static_cast<unsigned char>(line.front()) < 33 ||
                           static_cast<unsigned char>(line.front()) > 126)) {
    line.remove_prefix(1);
  }
  return line;
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

unsigned Checksum(std::string_view payload) {
  unsigned sum = 0;
  for (char c : payload) sum += static_cast<unsigned char>(c);
  return sum % 256;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The payload of "#CC;payload" when CC is its checksum.
std::optional<std::string_view> Unframe(std::string_view frame) {
  if (frame.size() < 4 || frame[0] != '#' || frame[3] != ';') return std::nullopt;
  const int high = HexDigit(frame[1]);
  const int low = HexDigit(frame[2]);
  const std::string_view payload = frame.substr(4);
  if (high < 0 || low < 0 || static_cast<unsigned>(high * 16 + low) != Checksum(payload)) {
    return std::nullopt;
  }
  return payload;
}

// Three decimal digits; -1 otherwise.
int RecordNumber(std::string_view digits) {
  if (digits.size() != 3) return -1;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

// One helping of a flood: kFloodBytes bytes, the first a "#" for an open-line flood.
constexpr std::size_t kFloodBytes = 4096;

std::string FloodBytes(SimFlood flood) {
  constexpr std::string_view kNoise = "\n\x01zz ~flood\t";
  std::string bytes;
  bytes.reserve(kFloodBytes);
  if (flood == SimFlood::OpenLine) bytes += '#';
  while (bytes.size() < kFloodBytes) bytes += kNoise.substr(0, kFloodBytes - bytes.size());
  return bytes;
}

}  // namespace

std::string CorruptedValue(std::string_view value) {
  if (value.empty()) return "1";
  std::string changed(value);
  changed[0] = changed[0] == '0' ? '1' : '0';
  return changed;
}

Micros PacedBytesTime(std::int64_t bytes) { return Micros((bytes * 3125 + 2) / 3); }

SimulatedUnit::SimulatedUnit(SimOptions options, ConfigurationRecord record)
    : options_(std::move(options)), record_(std::move(record)), connected_(!options_.modem) {
  if (options_.bootLoader) {
    bootLoader_ = std::make_unique<SimulatedBootLoader>(*options_.bootLoader, Micros{0});
    TakeBootLoaderLog();
  }
}

void SimulatedUnit::EnterBootLoader(BootLoaderOptions options, Micros now) {
  HangUp(now);
  out_.Clear();
  bootLoader_ = std::make_unique<SimulatedBootLoader>(std::move(options), now);
  TakeBootLoaderLog();
}

void SimulatedUnit::PowerCycle(Micros now) {
  if (bootLoader_) {
    bootLoader_->PowerCycle(now);
    TakeBootLoaderLog();
  } else {
    HangUp(now);
    out_.Clear();
  }
}

void SimulatedUnit::LeaveBootLoader(Micros now) {
  if (!bootLoader_) return;
  bootLoader_.reset();
  Log("boot loader left");
  HangUp(now);
  out_.Clear();
}

void SimulatedUnit::TakeBootLoaderLog() {
  for (std::string& entry : bootLoader_->TakeLog()) Log("boot loader: " + std::move(entry));
}

void SimulatedUnit::Receive(std::string_view bytes, Micros now) {
  if (bootLoader_) {
    bootLoader_->Receive(bytes, now);
    TakeBootLoaderLog();
    return;
  }
  for (char c : bytes) {
    Micros at = now;
    if (options_.paced) {
      if (now >= rxDone_) {
        rxStart_ = now;
        rxCount_ = 0;
      }
      at = rxStart_ + PacedBytesTime(++rxCount_);
    }
    rxDone_ = std::max(rxDone_, at);
    HandleByte(c, at);
  }
}

std::optional<Micros> SimulatedUnit::NextOutputTime() const {
  if (options_.faults.flood != SimFlood::None) return Micros{0};
  if (bootLoader_) return bootLoader_->NextOutputTime();
  return out_.NextTime();
}

std::string SimulatedUnit::TakeOutput(Micros now) {
  std::string bytes;
  if (bootLoader_) {
    bytes = bootLoader_->TakeOutput(now);
    TakeBootLoaderLog();
  } else {
    bytes = out_.Take(now);
  }
  // A flooding device's own answers are lost in the flood.
  if (options_.faults.flood != SimFlood::None) return FloodBytes(options_.faults.flood);
  return bytes;
}

void SimulatedUnit::HangUp(Micros now) {
  if (bootLoader_) {
    bootLoader_->HangUp(now);
    TakeBootLoaderLog();
    return;
  }
  out_.DropAfter(now);
  streaming_ = false;
  loggedIn_ = false;
  if (options_.modem) connected_ = false;
  Log("hang-up");
}

bool SimulatedUnit::ApplyConfigurationLine(std::string_view command) {
  if (command.starts_with("#01")) return ApplyConfigBody(command.substr(3), record_);
  if (command.starts_with("#58")) return ApplyLoggerChannels(command.substr(3), record_);
  if (command.starts_with("#5A")) return ApplyLoggerInputs(command.substr(3), record_);
  return false;
}

std::vector<std::string> SimulatedUnit::TakeTrace() {
  std::vector<std::string> entries(std::make_move_iterator(trace_.begin()),
                                   std::make_move_iterator(trace_.end()));
  trace_.clear();
  return entries;
}

void SimulatedUnit::HandleByte(char c, Micros at) {
  if (c == '\r') {
    const std::string line = std::move(line_);
    line_.clear();
    if (overlong_) {
      overlong_ = false;
      Log("ignored (line too long)");
    } else {
      HandleLine(line, at);
    }
    return;
  }
  if (overlong_) return;
  if (line_.size() >= kMaxLine) {
    overlong_ = true;
    line_.clear();
    return;
  }
  line_ += c;
}

void SimulatedUnit::HandleLine(std::string_view line, Micros at) {
  if (options_.modem && !connected_) {
    HandleModemCommand(line, at);
  } else {
    HandleUnitLine(line, at);
  }
}

// Hayes command mode: no echo, replies framed by CR LF.
void SimulatedUnit::HandleModemCommand(std::string_view line, Micros at) {
  const std::string_view text = TrimLeading(line);
  if (text.empty()) return;
  const std::string command = Upper(text);
  auto reply = [this, at](std::string_view word) {
    Send("\r\n" + std::string(word) + "\r\n", at);
    Log("modem reply " + std::string(word));
  };
  Log("modem received " + VisibleBytes(text));
  if (options_.modemMute) {
    Log("ignored (the modem is mute)");
  } else if (command == "AT" || command == "ATE0" || command.starts_with("ATH")) {
    reply("OK");
  } else if (command.starts_with("ATD")) {
    if (options_.dialReply.find("CONNECT") != std::string::npos) {
      connected_ = true;
      loggedIn_ = false;
    }
    reply(options_.dialReply);
  } else if (command.starts_with("AT")) {
    reply("ERROR");
  } else {
    Log("ignored (not a modem command)");
  }
}

void SimulatedUnit::HandleUnitLine(std::string_view line, Micros at) {
  if (options_.modem && Upper(TrimLeading(line)).starts_with("ATH")) {
    HangUp(at);
    Send("\r\nOK\r\n", at);
    return;
  }
  const std::size_t hash = line.find('#');
  if (hash == std::string_view::npos) {
    Log("ignored (no command) " + VisibleBytes(line));
    return;
  }
  const std::string_view frame = line.substr(hash);
  if (frame.starts_with("#ACK_")) {
    HandleAck(frame.substr(5), at);
    return;
  }
  const auto payload = Unframe(frame);
  if (!payload) {
    Log("ignored (bad frame or checksum) " + VisibleBytes(WithoutPassword(frame, false)));
    return;
  }
  // The log is for support, like a trace: the login's password never shows in it.
  if (payload->starts_with("11")) {
    Log("received #11" + std::string(payload->size() - 2, '*'));
  } else {
    Log("received #" + VisibleBytes(*payload));
  }
  HandleCommand(*payload, at);
}

void SimulatedUnit::HandleAck(std::string_view number, Micros at) {
  const int acked = RecordNumber(number);
  if (!streaming_) {
    Log("ignored (no stream) #ACK_" + VisibleBytes(number));
  } else if (acked != awaitedAck_) {
    streaming_ = false;
    Log("wrong acknowledgement #ACK_" + VisibleBytes(number) + ", stream stopped");
  } else if (acked == kStreamEndRecord) {
    streaming_ = false;
    Log("stream complete");
  } else {
    SendNextRecord(at);
  }
}

void SimulatedUnit::HandleCommand(std::string_view payload, Micros at) {
  if (payload.starts_with("11")) {
    loggedIn_ = !options_.faults.refusePassword && payload.substr(2) == options_.password;
    Answer(loggedIn_ ? "PassWord=1" : "PassWord=0", at);
    return;
  }
  if (options_.modem && !loggedIn_) {
    Log("ignored (not logged in)");
    return;
  }
  streaming_ = false;  // any command ends a record stream
  const bool logger = options_.hasDatalogger;
  if (payload == "00") {
    Answer("ACK", at);
  } else if (payload == "0F") {
    Answer("VER=" + options_.version, at);
  } else if (payload == "40") {
    Answer(logger ? "BF" : "BE", at);
  } else if (payload == "02") {
    StartStream(at);
  } else if (payload == "03") {
    Answer("ACK", at);
    Answer("SAVE_OK", std::max(at, out_.Done()) + options_.saveTime);
  } else if (payload.starts_with("01")) {
    HandleConfigLine(payload.substr(2), at);
  } else if (logger && payload.starts_with("58")) {
    AnswerIfTaken(ApplyLoggerChannels(payload.substr(2), record_), "A7", at);
  } else if (logger && payload.starts_with("5A")) {
    AnswerIfTaken(ApplyLoggerInputs(payload.substr(2), record_), "A5", at);
  } else if (logger && payload == "60") {
    Answer(LoggerChannelsAnswer(record_), at);
  } else if (logger && payload == "62") {
    Answer(LoggerInputsAnswer(record_), at);
  } else {
    Log("ignored (unknown command)");
  }
}

// The data-logger lines have no error answer: a malformed one is not answered.
void SimulatedUnit::AnswerIfTaken(bool taken, std::string_view payload, Micros at) {
  if (taken) {
    Answer(payload, at);
  } else {
    Log("ignored (malformed)");
  }
}

void SimulatedUnit::HandleConfigLine(std::string_view body, Micros at) {
  if (ApplyConfigBody(body, record_)) {
    Log("parsed #01" + VisibleBytes(body));
    Answer("PARSE_OK", at);
  } else {
    Log("cannot parse #01" + VisibleBytes(body));
    Answer("PARSE_ERROR", at);
  }
}

void SimulatedUnit::StartStream(Micros at) {
  records_ = RecordStream(record_);
  if (options_.faults.endlessStream) {
    std::erase_if(records_, [](const std::string& record) {
      return RecordNumber(std::string_view(record).substr(0, 3)) == kStreamEndRecord;
    });
    Log("stream without end");
  }
  if (options_.faults.corruptRecord) {
    for (std::string& record : records_) {
      // "NNN=value"
      if (RecordNumber(std::string_view(record).substr(0, 3)) != *options_.faults.corruptRecord) {
        continue;
      }
      record = record.substr(0, 4) + CorruptedValue(std::string_view(record).substr(4));
      Log("record " + record.substr(0, 3) + " corrupted");
    }
  }
  nextRecord_ = 0;
  streaming_ = true;
  SendNextRecord(at);
}

void SimulatedUnit::SendNextRecord(Micros at) {
  if (options_.faults.endlessStream && nextRecord_ >= records_.size()) nextRecord_ = 0;
  if (nextRecord_ >= records_.size()) {
    streaming_ = false;
    return;
  }
  const std::string& record = records_[nextRecord_++];
  awaitedAck_ = RecordNumber(std::string_view(record).substr(0, 3));
  if (options_.faults.dropRecord == awaitedAck_ && !recordDropped_) {
    recordDropped_ = true;
    Log("record " + record.substr(0, 3) + " dropped");
    return;
  }
  Answer(record, at);
}

void SimulatedUnit::Answer(std::string_view payload, Micros at) {
  const SimFaults& faults = options_.faults;
  if (faults.silentAfter && answersSent_ >= *faults.silentAfter) {
    Log("silent, not sent #" + VisibleBytes(payload));
    return;
  }
  ++answersSent_;
  unsigned sum = Checksum(payload);
  const bool corrupt = faults.badChecksumAnswer == answersSent_;
  if (corrupt) sum = (sum + 1) % 256;
  if (faults.garbage) Send(kSimGarbage, at);
  char checksum[3];
  std::snprintf(checksum, sizeof checksum, "%02X", sum);
  std::string framed(1, '#');
  framed += checksum;
  framed += ';';
  framed += payload;
  framed += '\r';
  Send(framed, at);
  Log((corrupt ? "answer (wrong checksum) #" : "answer #") + VisibleBytes(payload));
}

void SimulatedUnit::Send(std::string_view bytes, Micros earliest) {
  out_.Send(bytes, earliest, options_.paced);
}

void SimulatedUnit::Log(std::string entry) {
  trace_.push_back(std::move(entry));
  if (trace_.size() > kTraceLimit) trace_.pop_front();
}

}  // namespace zdl
