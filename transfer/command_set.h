// The lines with which a configuration is written to the unit, each with the answer the
// unit must give. Lines are logical commands ("#01ID=..."); SerialLine frames them.
#pragma once

#include <string>
#include <vector>

#include "model/configuration_record.h"

namespace zdl {

inline constexpr const char* kParseOk = "#PARSE_OK";

struct CommandLine {
  std::string text;      // the logical command, Windows-1252 bytes
  std::string expected;  // the whole answer the unit must give
  bool operator==(const CommandLine&) const = default;
};

// Line builders. Each reads the record at the moment it is called; the caller decides
// whether the item is sent (enabled inputs, non-empty macro texts, ...).
std::string DigitalAlarmLine(const ConfigurationRecord& record, int input);  // 0 to 7
std::string AnalogAlarmLine(const ConfigurationRecord& record, int input);   // 0 to 3
std::string TxAlarmLine(const ConfigurationRecord& record);
std::string MacroLine(const ConfigurationRecord& record, int macro);  // 1 to 14
std::string TimerLine(const ConfigurationRecord& record, int timer);  // 0 to 7
std::string DataLoggerChannelLine(const ConfigurationRecord& record);  // "#58..."
std::string DataLoggerInputLine(const ConfigurationRecord& record);    // "#5A..."

// The write sequence after the "#00" test: 21 progress steps, each with the lines sent
// in it (possibly none), then "#03".
struct WriteStep {
  int progress = 0;  // 1 to 21: the bar's value once the step is done
  std::vector<CommandLine> lines;
};

struct WriteSequence {
  std::vector<WriteStep> steps;
  CommandLine save{"#03", "#ACK"};  // then "#SAVE_OK" as a second answer
};

WriteSequence BuildWriteSequence(const ConfigurationRecord& record);

// Every line of the sequence in order, from "#01LDDEF" to "#03".
std::vector<CommandLine> AllLines(const WriteSequence& sequence);

}  // namespace zdl
