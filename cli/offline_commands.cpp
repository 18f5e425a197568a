// The commands that work on files alone: dump, convert, check, lines.
#include <iostream>

#include "cli/cli.h"
#include "cli/common.h"
#include "configfile/config_file.h"
#include "link/firmware_version.h"
#include "link/serial_line.h"
#include "model/text_codec.h"
#include "model/validators.h"
#include "transfer/check_pass.h"
#include "transfer/command_set.h"

namespace zdl::cli {

namespace {

// Exactly `count` positional arguments, else a usage error naming the command.
bool TakePositionals(Args& args, std::size_t count, std::vector<std::string>& out,
                     const char* command, int& status) {
  out = args.Positionals();
  if (!args.Error().empty()) {
    status = UsageError(args.Error());
    return false;
  }
  if (out.size() != count) {
    status = UsageError(std::string(command) + " takes " + std::to_string(count) +
                        (count == 1 ? " file" : " files"));
    return false;
  }
  return true;
}

}  // namespace

int Dump(Args& args, const Context& ctx) {
  std::vector<std::string> files;
  int status = kSuccess;
  if (!TakePositionals(args, 1, files, "dump", status)) return status;
  ConfigurationRecord record;
  if (!LoadForCommand(files[0], record, ctx)) return kFailure;
  for (const KeyedValue& kv : KeyedValues(record)) {
    std::cout << kv.section << '.' << kv.key << '=' << Shown(kv.value) << '\n';
  }
  return std::cout.flush() ? kSuccess : kFailure;
}

int Convert(Args& args, const Context& ctx) {
  std::vector<std::string> files;
  int status = kSuccess;
  if (!TakePositionals(args, 2, files, "convert", status)) return status;
  ConfigurationRecord record;
  if (!LoadForCommand(files[0], record, ctx)) return kFailure;
  SaveOutcome saved = SaveConfigFile(files[1], record);
  if (!saved.ok) {
    std::cerr << ctx.Text(TextId::ErrorTitle) << ": " << saved.description.In(ctx.lang) << '\n';
    return kFailure;
  }
  return kSuccess;
}

int Check(Args& args, const Context& ctx) {
  UnitFacts unit;
  unit.HasDatalogger = !args.Flag("--no-datalogger");
  std::string firmware = args.Option("--firmware").value_or("ZDL410 v5.01");
  std::vector<std::string> files;
  int status = kSuccess;
  if (!TakePositionals(args, 1, files, "check", status)) return status;
  std::optional<std::string> firmText = Utf8ToCp1252(firmware);
  if (!firmText) return UsageError("--firmware holds a character the unit cannot take");
  const std::optional<FirmwareVersion> version = FirmwareFromUserText(*firmText);
  if (!version) return UsageError("--firmware holds a version number out of range");
  unit.FirmText = version->FirmText;
  unit.FirmVersion = version->FirmVersion;

  ConfigurationRecord record;
  if (!LoadForCommand(files[0], record, ctx)) return kFailure;
  return ReportCheck(CheckForWrite(record, unit), unit, ctx, std::cout) ? kSuccess : kFailure;
}

int Lines(Args& args, const Context& ctx) {
  bool framed = args.Flag("--framed");
  std::vector<std::string> files;
  int status = kSuccess;
  if (!TakePositionals(args, 1, files, "lines", status)) return status;
  ConfigurationRecord record;
  if (!LoadForCommand(files[0], record, ctx)) return kFailure;
  // A text that may not go out: refused as the check before a write refuses it.
  if (const std::optional<CheckResult> refused = CheckLineTexts(record)) {
    ReportCheck(*refused, UnitFacts{}, ctx, std::cerr);
    return kFailure;
  }
  for (const CommandLine& line : AllLines(BuildWriteSequence(record))) {
    std::cout << Cp1252ToUtf8(framed ? FrameCommand(line.text) : line.text) << '\n';
  }
  return std::cout.flush() ? kSuccess : kFailure;
}

}  // namespace zdl::cli
