// The simulated unit: the unit's side of every dialogue with the tool (login, presence,
// version, data logger, the configuration lines, the "#02" record stream, the save), and
// optionally the Hayes modem in front of it. It is a pure state machine: bytes go in with
// their arrival time, answer bytes come out once they are due. Nothing here waits, sleeps
// or starts a thread; SimPort and the zdl410-sim program drive it with a clock.
//
// Faults are injected on demand (a wrong checksum, silence, a dropped record, noise
// between answers, a refused password) so that the tool's retries and time-outs can be
// exercised against a unit that misbehaves in a known way.
#pragma once

#include "sim/paced_output.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/clock.h"
#include "model/configuration_record.h"
#include "sim/simulated_boot_loader.h"

namespace zdl {

// Noise the unit sends before each framed answer when asked to.
inline constexpr std::string_view kSimGarbage = "\n\x01zz ~";

// A device that keeps sending, as fast as the line takes it, and answers nothing.
enum class SimFlood {
  None,
  Noise,     // bytes without "#", CR or "*"
  OpenLine,  // "#" and bytes without CR, again and again: answers that never end
};

struct SimFaults {
  // The Nth framed answer (1-based, every framed answer counted, record lines included)
  // goes out with a wrong checksum. 0: never.
  int badChecksumAnswer = 0;
  // After this many framed answers the unit answers nothing more.
  std::optional<int> silentAfter;
  // The record with this number is not sent the first time its turn comes; the stream
  // then stalls until the tool asks "#02" again.
  std::optional<int> dropRecord;
  // kSimGarbage before every framed answer.
  bool garbage = false;
  // "#PassWord=0" whatever the password.
  bool refusePassword = false;
  // The unit's memory does not hold the value of this record: every "#02" stream sends
  // it changed (see CorruptedValue), whatever was written.
  std::optional<int> corruptRecord;

  // Floods and endless streams.
  // From the start the unit (or its boot loader) sends this flood instead of anything
  // else; pacing does not slow it.
  SimFlood flood = SimFlood::None;
  // Every "#02" stream goes round its record lines again and again and never sends the
  // end record 999.
  bool endlessStream = false;
};

struct SimOptions {
  std::string password = "1234";
  // A Hayes modem in front of the unit: the unit is reached after "ATD" and a login.
  bool modem = false;
  // The modem's answer to "ATD": one holding "CONNECT" connects the call; any other
  // ("BUSY", "NO ANSWER", "NO CARRIER", ...) leaves the modem in command mode.
  std::string dialReply = "CONNECT 9600";
  // The modem answers no command at all (switched off, wrong speed).
  bool modemMute = false;
  // 9600 baud, 10 bits a byte, both directions: a line is acted on once its last byte has
  // crossed the line, answer bytes leave one every 1041.67 us.
  bool paced = false;
  bool hasDatalogger = true;
  std::string version = "ZDL410 v5.01";
  // How long after "#ACK" to "#03" the unit sends "#SAVE_OK".
  Micros saveTime{0};
  SimFaults faults;
  // The unit starts in its boot loader (see EnterBootLoader).
  std::optional<BootLoaderOptions> bootLoader;
};

// A record value as a memory that does not hold it gives it back: a first character "0"
// becomes "1", any other first character becomes "0", and an empty value becomes "1".
std::string CorruptedValue(std::string_view value);

// The time one byte takes on the line at 9600 baud: 1041.67 us, so byte n of a burst
// (1-based) has crossed the line n * 3125 / 3 us after the burst started.
Micros PacedBytesTime(std::int64_t bytes);

class SimulatedUnit {
 public:
  // Lines longer than this (without their CR) are dropped whole.
  static constexpr std::size_t kMaxLine = 1024;
  // Trace entries kept; older ones are dropped.
  static constexpr std::size_t kTraceLimit = 4096;

  // `record` is taken in the unit's form (sim/config_line_parser.h); to start from a
  // configuration as the tool holds it, use StartFromConfiguration (sim/unit_setup.h).
  explicit SimulatedUnit(SimOptions options = {}, ConfigurationRecord record = {});

  // Bytes from the tool, starting to arrive at `now` (paced: one after the other). A
  // complete line is acted on at once, its answer timed from the line's arrival; so
  // Record() may show the effect of a line a little before its last byte is due.
  void Receive(std::string_view bytes, Micros now);
  // When the next answer byte is due; empty when nothing is pending. A flood is always
  // due, and each TakeOutput gives a few kilobytes more of it.
  std::optional<Micros> NextOutputTime() const;
  // The answer bytes due by `now`, in order.
  std::string TakeOutput(Micros now);
  // When the last byte received so far has arrived (paced: crossed the line).
  Micros InputDoneTime() const { return bootLoader_ ? bootLoader_->InputDoneTime() : rxDone_; }

  // Modem: the call drops at `now` (DTR off, "ATH"): pending answers are lost, the unit
  // is logged out and the modem is back in command mode. Direct: the stream stops.
  void HangUp(Micros now);

  // The unit switched off and on into its boot loader, as for a firmware upload: from
  // `now` on only the boot-loader dialogue is spoken (sim/simulated_boot_loader.h), and it
  // starts by announcing "*". The configuration is kept.
  void EnterBootLoader(BootLoaderOptions options, Micros now);
  // Switched off and on again: a boot loader starts its dialogue again with "*"; a unit
  // running its firmware loses its pending answers and its login, as on a hang-up.
  void PowerCycle(Micros now);
  // Back to the unit's firmware (switched off and on without the boot loader).
  void LeaveBootLoader(Micros now);
  // The running boot loader; null while the unit runs its firmware.
  const SimulatedBootLoader* BootLoader() const { return bootLoader_.get(); }

  // A logical command as the tool builds it ("#01ID=Granja", "#58001200009") applied to
  // the record without an answer: how a unit is started from a known configuration.
  bool ApplyConfigurationLine(std::string_view command);

  // The unit's configuration, in the unit's form (see sim/config_line_parser.h).
  const ConfigurationRecord& Record() const { return record_; }
  const SimOptions& Options() const { return options_; }
  // Modem: a call is up. Direct: always.
  bool Connected() const { return connected_; }

  // What the unit received, parsed, ignored and answered, oldest first.
  const std::deque<std::string>& Trace() const { return trace_; }
  std::vector<std::string> TakeTrace();

 private:
  void HandleByte(char c, Micros at);
  void HandleLine(std::string_view line, Micros at);
  void HandleModemCommand(std::string_view line, Micros at);
  void HandleUnitLine(std::string_view line, Micros at);
  void HandleAck(std::string_view number, Micros at);
  void HandleCommand(std::string_view payload, Micros at);
  void HandleConfigLine(std::string_view body, Micros at);
  void AnswerIfTaken(bool taken, std::string_view payload, Micros at);
  void StartStream(Micros at);
  void SendNextRecord(Micros at);
  // A framed answer "#CC;payload\r", with the faults applied.
  void Answer(std::string_view payload, Micros at);
  // Raw bytes on the line, none before `earliest`.
  void Send(std::string_view bytes, Micros earliest);
  void Log(std::string entry);

  SimOptions options_;
  ConfigurationRecord record_;
  bool connected_;
  bool loggedIn_ = false;

  // Receiving.
  std::string line_;
  bool overlong_ = false;
  Micros rxStart_{0};
  std::int64_t rxCount_ = 0;
  Micros rxDone_{0};

  // Sending: bytes with the time each is due, in time order.
  PacedOutput out_;

  // The "#02" record stream.
  std::vector<std::string> records_;
  std::size_t nextRecord_ = 0;
  bool streaming_ = false;
  int awaitedAck_ = -1;
  bool recordDropped_ = false;

  int answersSent_ = 0;  // framed answers sent so far (the fault counters count these)
  std::deque<std::string> trace_;

  std::unique_ptr<SimulatedBootLoader> bootLoader_;
  void TakeBootLoaderLog();
};

}  // namespace zdl
