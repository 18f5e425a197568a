// The unit's boot loader, as it runs after the unit is switched off and on for a firmware
// upload: it announces "*", answers "D" with "Erase chip? (s/n)" and "S" with "Ready to
// upload intel file.", then takes the Intel HEX file as it comes, answers "." after every
// 257 bytes, and "Ok" once the end-of-file record (":00000001FF") has arrived and the line
// has been quiet for the programming time. It keeps what it received so that it can be
// compared with the file byte for byte.
//
// Like the simulated unit it is a pure state machine (bytes in with their arrival time,
// answer bytes out once due); the simulated unit runs it when switched into its boot loader.
#pragma once

#include "sim/paced_output.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/clock.h"

namespace zdl {

struct BootLoaderFaults {
  // The Nth progress check (1-based) gets no ".". 0: never.
  std::int64_t noProgressMarkAt = 0;
  // No "Ok" after the file.
  bool noOk = false;
  // "D" is not answered.
  bool noEraseAnswer = false;
};

struct BootLoaderOptions {
  // 9600 baud, 10 bits a byte, both directions (as SimOptions::paced).
  bool paced = false;
  BootLoaderFaults faults;
};

class SimulatedBootLoader {
 public:
  enum class State { Prompted, EraseAsked, Receiving, Done };

  // Bytes between two progress marks.
  static constexpr std::int64_t kBlock = 257;
  // From the last byte after the end-of-file record to "Ok".
  static constexpr Micros kProgramTime{20000};
  // A received line longer than this cannot be a record; it is not looked at.
  static constexpr std::size_t kMaxRecord = 600;

  // Switched on at `now`: announces "*".
  SimulatedBootLoader(BootLoaderOptions options, Micros now);

  // The unit switched off and on: pending answers are lost, the dialogue starts again with
  // "*". What the last transfer received is kept until the next one starts.
  void PowerCycle(Micros now);

  // The same contract as SimulatedUnit's.
  void Receive(std::string_view bytes, Micros now);
  std::optional<Micros> NextOutputTime() const;
  std::string TakeOutput(Micros now);
  Micros InputDoneTime() const { return rxDone_; }
  // The port closed: answers not yet due are lost ("Ok" included).
  void HangUp(Micros now);

  State CurrentState() const { return state_; }
  // The bytes received since the last "Ready to upload intel file.".
  const std::string& Received() const { return received_; }
  // Progress checks the transfer has reached so far.
  std::int64_t Checks() const { return static_cast<std::int64_t>(received_.size()) / kBlock; }
  const BootLoaderOptions& Options() const { return options_; }

  // The dialogue's events since the last call, oldest first (for the unit's trace).
  std::vector<std::string> TakeLog() { return std::exchange(log_, {}); }

 private:
  void HandleByte(char c, Micros at);
  void HandleFileByte(char c, Micros at);
  // Sends the pending "Ok" when it fell due by `now`.
  void SettleOk(Micros now);
  // When Send(bytes, earliest) would put its first byte on the line.
  Micros FirstByteTime(Micros earliest) const;
  void Send(std::string_view bytes, Micros earliest);
  void Log(std::string entry);

  BootLoaderOptions options_;
  State state_ = State::Prompted;
  std::string received_;
  std::string record_;  // the line being received, up to kMaxRecord
  bool overlong_ = false;
  bool endRecordSeen_ = false;
  std::optional<Micros> okDue_;

  Micros rxStart_{0};
  std::int64_t rxCount_ = 0;
  Micros rxDone_{0};
  PacedOutput out_;

  std::vector<std::string> log_;
};

}  // namespace zdl
