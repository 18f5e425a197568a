// Pieces the offline and the unit commands share.
#pragma once

#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "configfile/file_access.h"
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

// A file a command reads or writes, and what it is to the command, for the refusal of a
// trace that names it.
struct CommandFile {
  std::string path;
  ExtraText role;  // TheInputFile, TheOutputFile, TheBackupFile
};

// Checked before anything is opened: the --trace file may not be any of `files` (the same
// file by identity where it exists, by normalised path otherwise). False after a usage
// message; then nothing has been touched.
bool TracePathUsable(const std::optional<std::string>& trace,
                     std::initializer_list<CommandFile> files, const Context& ctx);

// Opens the --trace file: a new or existing regular file, emptied, readable by its owner
// only. False after a message on stderr.
bool OpenTrace(const std::string& path, LogFile& log, const Context& ctx);

// The password of a unit command: --password, else the environment's ZDL410_PASSWORD
// (not empty); without either the user is asked on the terminal.
std::optional<std::string> PasswordToOffer(std::optional<std::string> option);

// A value as dump and diff print it: UTF-8, every control byte escaped (\r, \n, \t, else
// \xNN) so that it cannot break or hide a line; in such a value a backslash is doubled.
std::string Shown(const Text& value);

}  // namespace zdl::cli
