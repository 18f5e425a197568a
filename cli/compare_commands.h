// zdl410 diff, between two files or a file and the unit, and the printing of differences
// that diff and write --verify share. Differences are printed one a line,
// SECTION.KEY: "LEFT" -> "RIGHT", in the keyed writer's order, the values in UTF-8 as
// dump shows them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "compare/comparison.h"

namespace zdl::cli {

// diff A.ncf B.ncf, or diff FILE.ncf --port PORT [--modem NUMBER] [--password PW]. Exit
// status 0 when equal, 1 when they differ, 2 on usage, a file that does not load or a
// unit that cannot be read (as diff does).
int Diff(Args& args, const Context& ctx);

// diff FILE.ncf --port ...: reads the unit and compares FILE with it as the unit keeps it
// (in unit_commands.cpp, beside the session it needs).
int DiffWithUnit(Args& args, const Context& ctx);

void PrintDifferences(const std::vector<FieldDifference>& differences, std::ostream& out);

}  // namespace zdl::cli
