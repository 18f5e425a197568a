// zdl410 diff, and the backup before a write and the verify after it (write --backup,
// write --verify). Differences are printed one a line, SECTION.KEY: "LEFT" -> "RIGHT", in
// the keyed writer's order, the values in UTF-8 as dump shows them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "compare/comparison.h"
#include "link/connection.h"
#include "model/configuration_record.h"

namespace zdl::cli {

// diff A.ncf B.ncf, or diff FILE.ncf --port PORT [--modem NUMBER] [--password PW]. Exit
// status 0 when equal, 1 when they differ, 2 on usage, a file that does not load or a
// unit that cannot be read (as diff does).
int Diff(Args& args, const Context& ctx);

// diff FILE.ncf --port ...: reads the unit and compares FILE with it as the unit keeps it
// (in unit_commands.cpp, beside the session it needs).
int DiffWithUnit(Args& args, const Context& ctx);

// A read of the unit's whole configuration into `record`, with progress on the terminal.
bool ReadUnitConfiguration(Connection& connection, ConfigurationRecord& record, const Context& ctx);

// False, after a usage message, when `backup` cannot be a backup for a write of `input`
// (empty, or the very file being written).
bool BackupPathUsable(const std::string& backup, const std::string& input, const Context& ctx);

void PrintDifferences(const std::vector<FieldDifference>& differences, std::ostream& out);

// Before a write: reads the unit's configuration and saves it atomically to `path`.
// False, with its message on stderr, when the read or the save failed.
bool BackUpUnit(Connection& connection, const std::string& path, const Context& ctx);

// After "#SAVE_OK": reads the configuration back and compares it, as the unit keeps it,
// with what was sent. kSuccess when nothing differs; kFailure after printing the
// differences, or when the read failed.
int VerifyUnit(Connection& connection, const ConfigurationRecord& sent, const Context& ctx);

}  // namespace zdl::cli
