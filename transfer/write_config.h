// The write sequence: the "#00" test, then every line of the command set, each answer
// compared as a whole; "#03" is answered "#ACK" and, within 30000 ms, "#SAVE_OK".
#pragma once

#include "link/serial_line.h"
#include "model/configuration_record.h"
#include "transfer/progress.h"

namespace zdl {

inline constexpr Millis kSaveTimeout{30000};

// True only when the unit answered "#SAVE_OK". Stops at the first wrong or missing
// answer. Progress 0 to 21; status offset 136 while the unit saves.
bool RunWriteSequence(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                      ProgressSink& progress);

// The write phase as the user runs it (after the check pass): status 134, the sequence,
// then status 135 or 133 (bar to 0 on failure).
bool WriteConfiguration(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                        ProgressSink& progress);

}  // namespace zdl
