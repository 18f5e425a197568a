// zdl410 diff of two files, and the differences printed as diff and write --verify show them.
#include <iostream>

#include "cli/common.h"
#include "cli/compare_commands.h"
#include "configfile/config_file.h"
#include "model/text_codec.h"

namespace zdl::cli {

void PrintDifferences(const std::vector<FieldDifference>& differences, std::ostream& out) {
  for (const FieldDifference& d : differences) {
    out << d.section << '.' << d.key << ": \"" << Shown(d.left) << "\" -> \"" << Shown(d.right)
        << "\"\n";
  }
}

int Diff(Args& args, const Context& ctx) {
  // With --port the other side is the unit.
  if (Args probe = args; probe.Option("--port") || !probe.Error().empty()) {
    return DiffWithUnit(args, ctx);
  }
  std::vector<std::string> files = args.Positionals();
  if (!args.Error().empty()) return UsageError(args.Error());
  if (files.size() != 2) return UsageError("diff takes two files, or one file and --port PORT");
  ConfigurationRecord left;
  ConfigurationRecord right;
  if (!LoadForCommand(files[0], left, ctx) || !LoadForCommand(files[1], right, ctx)) return kUsage;
  const std::vector<FieldDifference> differences = Compare(left, right);
  PrintDifferences(differences, std::cout);
  if (!std::cout.flush()) return kUsage;
  return differences.empty() ? kSuccess : kFailure;
}

}  // namespace zdl::cli
