// The record lines with which the simulated unit answers "#02": one numbered record per
// field, in record-number order, the end record 999 last. Each is the payload of a framed
// answer, "NNN=value"; the tool reads the record number from it and the value after the
// separator.
//
// Values are written so that the tool's decoding gives back what the unit holds (see
// sim/config_line_parser.h for the unit's form): persistences and NORMAL in tenths,
// persistence 10 for "no persistence", a timer's h:mm time as seconds after midnight
// (record 510+t) and any other time as its number (record 550+t), a disabled timer as day
// mask 0. The protocol cannot tell some values apart: a persistence of exactly 1 second
// reads back as no persistence, an enabled timer without days reads back disabled, and an
// enabled restore text reads back disabled when empty.
#pragma once

#include <string>
#include <vector>

#include "model/configuration_record.h"

namespace zdl {

inline constexpr int kStreamEndRecord = 999;

// Every record line of the unit's configuration, "001=10" to "999=".
std::vector<std::string> RecordStream(const ConfigurationRecord& record);

// The "#60" answer without "#": "9F", the log interval as 5 digits, the channel mask.
std::string LoggerChannelsAnswer(const ConfigurationRecord& record);
// The "#62" answer without "#": "9D", the input mask, a separator, the re-arm time as 4
// digits.
std::string LoggerInputsAnswer(const ConfigurationRecord& record);

}  // namespace zdl
