// Pieces the offline and the unit commands share.
#pragma once

#include <ostream>
#include <string>

#include "cli/cli.h"
#include "model/configuration_record.h"
#include "transfer/check_pass.h"

namespace zdl::cli {

// Loads a configuration file into `record`, printing the load's message on stderr. A file
// of a newer format version is loaded after its warning. False when nothing was loaded.
bool LoadForCommand(const std::string& path, ConfigurationRecord& record, const Context& ctx);

// A text of the core with its line breaks as a terminal wants them: every CR (a message
// box's line break) becomes LF.
std::string TerminalLines(std::string text);

// Prints the outcome of the checks before a write: "CONTROL[INDEX]: message" on `failures`
// for a failing field (false), the no-priority question for a confirmation (true), or the
// ready text (true).
bool ReportCheck(const CheckResult& result, const UnitFacts& unit, const Context& ctx,
                 std::ostream& failures);

}  // namespace zdl::cli
