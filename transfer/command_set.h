// The lines with which a configuration is written to the unit, each with the answer the
// unit must give. Lines are logical commands ("#01ID=..."); SerialLine frames them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "model/configuration_record.h"
#include "model/field_table.h"
#include "model/validators.h"

namespace zdl {

inline constexpr const char* kParseOk = "#PARSE_OK";

struct CommandLine {
  std::string text;      // the logical command, Windows-1252 bytes
  std::string expected;  // the whole answer the unit must give
  bool operator==(const CommandLine&) const = default;
};

// A text a line would carry as typed that may not go out: one holding a control byte
// (it would end or break the line, and the unit would run what follows as a command of
// its own) or longer than its control takes.
struct RefusedText {
  const Field* field = nullptr;  // the text's row of the field table; null for a phone entry
  int phoneEntry = -1;           // a phone-list entry: its position in the list
  LineTextFault fault;
  std::size_t length = 0;  // the text's length
  bool operator==(const RefusedText&) const = default;
};

// The keyed file's section and key that hold a refused text ("Digital" and "TEXT3",
// "Telefonos" and "TLF2"; the control's object name for a text no key holds).
struct FieldKey {
  std::string section;
  std::string key;
};
FieldKey KeyOf(const RefusedText& refused);

// What was refused, in words for the line trace: "Digital.TEXT3 holds <CR>".
std::string RefusedTextNote(const RefusedText& refused);

// Line builders. Each reads the record at the moment it is called; the caller decides
// whether the item is sent (enabled inputs, non-empty macro texts, ...). A builder
// refuses a text it would carry as typed that may not go out: it then gives no line,
// and says in `refused` (when given) which text it refused first.
std::optional<std::string> DigitalAlarmLine(const ConfigurationRecord& record, int input,
                                            RefusedText* refused = nullptr);  // 0 to 7
std::optional<std::string> AnalogAlarmLine(const ConfigurationRecord& record, int input,
                                           RefusedText* refused = nullptr);  // 0 to 3
std::optional<std::string> TxAlarmLine(const ConfigurationRecord& record,
                                       RefusedText* refused = nullptr);
std::optional<std::string> MacroLine(const ConfigurationRecord& record, int macro,
                                     RefusedText* refused = nullptr);  // 1 to 14
std::optional<std::string> TimerLine(const ConfigurationRecord& record, int timer,
                                     RefusedText* refused = nullptr);  // 0 to 7
// The data-logger lines carry numbers only.
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
  // A text that may not go out: the sequence then has no steps, and nothing may be sent.
  std::optional<RefusedText> refused;
};

// The sequence, or (with `refused` set and no steps) the first text of the record, in
// the order of the write, that a line would carry and that may not go out.
WriteSequence BuildWriteSequence(const ConfigurationRecord& record);

// Every line of the sequence in order, from "#01LDDEF" to "#03"; none for a refused one.
std::vector<CommandLine> AllLines(const WriteSequence& sequence);

}  // namespace zdl
