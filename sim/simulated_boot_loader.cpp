#include "sim/simulated_boot_loader.h"

#include <algorithm>
#include <cctype>

#include "sim/simulated_unit.h"

namespace zdl {
namespace {

constexpr std::string_view kEndRecord = ":00000001FF";

bool IsEndRecord(std::string_view line) {
  return std::equal(line.begin(), line.end(), kEndRecord.begin(), kEndRecord.end(),
                    [](char a, char b) {
                      return std::toupper(static_cast<unsigned char>(a)) ==
                             std::toupper(static_cast<unsigned char>(b));
                    });
}

}  // namespace

SimulatedBootLoader::SimulatedBootLoader(BootLoaderOptions options, Micros now)
    : options_(std::move(options)) {
  PowerCycle(now);
}

void SimulatedBootLoader::PowerCycle(Micros now) {
  out_.Clear();
  out_.DropAfter(now);
  okDue_.reset();
  state_ = State::Prompted;
  Log("power on, boot loader announces *");
  Send("*", now);
}

void SimulatedBootLoader::Receive(std::string_view bytes, Micros now) {
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
    SettleOk(at);
    HandleByte(c, at);
  }
}

std::optional<Micros> SimulatedBootLoader::NextOutputTime() const {
  if (std::optional<Micros> next = out_.NextTime()) return next;
  if (okDue_) return FirstByteTime(*okDue_);
  return std::nullopt;
}

std::string SimulatedBootLoader::TakeOutput(Micros now) {
  SettleOk(now);
  return out_.Take(now);
}

void SimulatedBootLoader::HangUp(Micros now) {
  out_.DropAfter(now);
  SettleOk(now);
  if (okDue_) {
    okDue_.reset();
    state_ = State::Done;
    Log("port closed before Ok");
  }
}

void SimulatedBootLoader::HandleByte(char c, Micros at) {
  switch (state_) {
    case State::Prompted:
    case State::EraseAsked:
      if (c == 'D' || c == 'd') {
        if (options_.faults.noEraseAnswer) {
          Log("received D, not answered (fault)");
          return;
        }
        Log("received D, asks Erase chip? (s/n)");
        Send("Erase chip? (s/n)", at);
        state_ = State::EraseAsked;
      } else if (state_ == State::EraseAsked && (c == 'S' || c == 's')) {
        Log("received S, flash erased, ready for the file");
        Send("Ready to upload intel file.", at);
        state_ = State::Receiving;
        received_.clear();
        record_.clear();
        overlong_ = false;
        endRecordSeen_ = false;
      }
      return;
    case State::Receiving:
      HandleFileByte(c, at);
      return;
    case State::Done:
      return;
  }
}

void SimulatedBootLoader::HandleFileByte(char c, Micros at) {
  received_ += c;
  if (static_cast<std::int64_t>(received_.size()) % kBlock == 0) {
    if (Checks() == options_.faults.noProgressMarkAt) {
      Log("progress check " + std::to_string(Checks()) + " not answered (fault)");
    } else {
      Send(".", at);
    }
  }
  if (c == '\r' || c == '\n') {
    record_.clear();
    overlong_ = false;
  } else if (!overlong_) {
    if (record_.size() >= kMaxRecord) {
      overlong_ = true;
      record_.clear();
    } else {
      record_ += c;
      if (!endRecordSeen_ && IsEndRecord(record_)) {
        endRecordSeen_ = true;
        Log("end-of-file record after " + std::to_string(received_.size()) + " bytes");
        if (options_.faults.noOk) {
          state_ = State::Done;
          Log("Ok not sent (fault)");
          return;
        }
      }
    }
  }
  if (endRecordSeen_) okDue_ = at + kProgramTime;
}

void SimulatedBootLoader::SettleOk(Micros now) {
  if (!okDue_ || *okDue_ > now) return;
  const Micros due = *okDue_;
  okDue_.reset();
  state_ = State::Done;
  Log("programmed " + std::to_string(received_.size()) + " bytes, Ok");
  Send("Ok", due);
}

Micros SimulatedBootLoader::FirstByteTime(Micros earliest) const {
  return out_.FirstByteTime(earliest, options_.paced);
}

void SimulatedBootLoader::Send(std::string_view bytes, Micros earliest) {
  out_.Send(bytes, earliest, options_.paced);
}

void SimulatedBootLoader::Log(std::string entry) {
  log_.push_back(std::move(entry));
}

}  // namespace zdl
