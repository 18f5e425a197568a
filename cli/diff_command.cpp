// zdl410 diff, and the pieces of write --backup and write --verify.
#include <iostream>

#include "cli/common.h"
#include "cli/compare_commands.h"
#include "cli/terminal.h"
#include "configfile/config_file.h"
#include "model/text_codec.h"
#include "transfer/read_config.h"
#include "ui/strings/compare_texts.h"

namespace zdl::cli {

bool ReadUnitConfiguration(Connection& connection, ConfigurationRecord& record, const Context& ctx) {
  TerminalProgress progress(ctx);
  return ReadConfiguration(connection.Line(), connection.ComTimeOut(), connection.HasDatalogger(),
                           record, progress);
}

bool BackupPathUsable(const std::string& backup, const std::string& input, const Context& ctx) {
  if (backup.empty()) {
    UsageError("--backup needs a file");
    return false;
  }
  if (SameFile(backup, input)) {
    UsageError(std::string(CompareTextIn(ctx.lang, CompareText::BackupIsInput)));
    return false;
  }
  return true;
}

void PrintDifferences(const std::vector<FieldDifference>& differences, std::ostream& out) {
  for (const FieldDifference& d : differences) {
    out << d.section << '.' << d.key << ": \"" << Cp1252ToUtf8(d.left) << "\" -> \""
        << Cp1252ToUtf8(d.right) << "\"\n";
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

bool BackUpUnit(Connection& connection, const std::string& path, const Context& ctx) {
  std::cerr << CompareTextIn(ctx.lang, CompareText::ReadingBackup) << '\n';
  ConfigurationRecord unit;
  if (!ReadUnitConfiguration(connection, unit, ctx)) {
    std::cerr << CompareTextIn(ctx.lang, CompareText::BackupReadFailed) << '\n';
    return false;
  }
  // The unit's authorised numbers and privileges: readable by the owner only.
  const SaveOutcome saved = SaveConfigFile(path, unit, FileAccess::OwnerOnly);
  if (!saved.ok) {
    std::cerr << CompareTextWith(ctx.lang, CompareText::BackupSaveFailed, saved.description.In(ctx.lang)) << '\n';
    return false;
  }
  std::cout << CompareTextWith(ctx.lang, CompareText::BackupSaved, path) << '\n';
  return true;
}

int VerifyUnit(Connection& connection, const ConfigurationRecord& sent, const Context& ctx) {
  std::cerr << CompareTextIn(ctx.lang, CompareText::ReadingBack) << '\n';
  ConfigurationRecord back;
  if (!ReadUnitConfiguration(connection, back, ctx)) {
    std::cerr << CompareTextIn(ctx.lang, CompareText::VerifyReadFailed) << '\n';
    return kFailure;
  }
  const std::vector<FieldDifference> differences =
      CompareWithUnit(sent, back, {.hasDatalogger = connection.HasDatalogger()});
  if (differences.empty()) {
    std::cout << CompareTextIn(ctx.lang, CompareText::Verified) << '\n';
    return kSuccess;
  }
  std::cout << CompareTextWith(ctx.lang, CompareText::VerifyDiffers,
                               std::to_string(differences.size()))
            << '\n';
  PrintDifferences(differences, std::cout);
  return kFailure;
}

}  // namespace zdl::cli
