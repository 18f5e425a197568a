// Reading the whole configuration from the unit: "#02" starts a stream of numbered
// record lines, each acknowledged raw with "#ACK_NNN" and decoded into one field, up to
// the end record 999; the data-logger settings follow with "#60" and "#62".
#pragma once

#include <string_view>

#include "link/progress.h"
#include "link/serial_line.h"
#include "model/configuration_record.h"

namespace zdl {

enum class RecordOutcome {
  Decoded,   // the record set its field
  Ignored,   // a record number the tool does not use
  Rejected,  // a value the field cannot take (list position outside its list, ...)
  End,       // record 999
};

// Decodes one record line as LastAnswer holds it ("#" + three-digit number + one
// separator + value) into the record.
RecordOutcome DecodeRecordLine(std::string_view line, ConfigurationRecord& record);

// "#60" and "#62" answers; false (and nothing changed) without the expected prefix.
bool DecodeLoggerChannels(std::string_view answer, ConfigurationRecord& record);
bool DecodeLoggerInputs(std::string_view answer, ConfigurationRecord& record);

// The read procedure on `record` as it stands: three attempts, each clearing the groups
// a read fills. True when record 999 was reached. Progress 0 to 176.
bool ReadConfig(SerialLine& line, Millis comTimeout, bool hasDatalogger,
                ConfigurationRecord& record, ProgressSink& progress);

// The read as the user runs it: decodes into a staging copy of `record` and replaces
// `record` only when the read succeeded. Shows the statuses ReadingConfiguration,
// then ConfigurationRead or CommunicationError.
bool ReadConfiguration(SerialLine& line, Millis comTimeout, bool hasDatalogger,
                       ConfigurationRecord& record, ProgressSink& progress);

}  // namespace zdl
