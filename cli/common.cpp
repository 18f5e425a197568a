#include "cli/common.h"

#include <cstdlib>
#include <iostream>

#include "configfile/config_file.h"
#include "model/text_codec.h"
#include "model/validators.h"
#include "text/extra_texts.h"

namespace zdl::cli {

bool LoadForCommand(const std::string& path, ConfigurationRecord& record, const Context& ctx) {
  LoadOutcome outcome = LoadConfigFile(path, record);
  std::string message = LoadMessage(outcome, ctx.lang);
  if (!message.empty()) {
    std::string title = LoadMessageTitle(outcome, ctx.lang);
    std::cerr << (title.empty() ? "" : title + ": ") << message << '\n';
  }
  return outcome.loaded();
}

std::string TerminalLines(std::string text) {
  for (char& c : text) {
    if (c == '\r') c = '\n';
  }
  return text;
}

bool ReportCheck(const CheckResult& result, const UnitFacts& unit, const Context& ctx,
                 std::ostream& failures) {
  switch (result.kind) {
    case CheckResult::Failed:
      failures << FocusName(result) << ": " << CheckMessage(result, unit, ctx.lang) << '\n';
      return false;
    case CheckResult::NeedsConfirmation:
      std::cout << TerminalLines(ConfirmationQuestion(ctx.lang)) << '\n';
      return true;
    case CheckResult::Passed:
      break;
  }
  std::cout << ExtraTextIn(ctx.lang, ExtraText::ReadyToWrite) << '\n';
  return true;
}

bool TracePathUsable(const std::optional<std::string>& trace,
                     std::initializer_list<CommandFile> files, const Context& ctx) {
  if (!trace) return true;
  for (const CommandFile& file : files) {
    if (!SameFile(*trace, file.path)) continue;
    UsageError(BilingualText::Format(ExtraText::TraceIsOtherFile,
                                     {*trace, BilingualText::Format(file.role)})
                   .In(ctx.lang));
    return false;
  }
  return true;
}

bool OpenTrace(const std::string& path, LogFile& log, const Context& ctx) {
  const FileResult opened = log.Open(path);
  if (opened.ok()) return true;
  std::cerr << "zdl410: "
            << BilingualText::Format(ExtraText::CannotWrite, {path, opened.Reason()}).In(ctx.lang)
            << '\n';
  return false;
}

std::optional<std::string> PasswordToOffer(std::optional<std::string> option) {
  if (option) return option;
  const char* environment = std::getenv("ZDL410_PASSWORD");
  if (environment != nullptr && *environment != '\0') return std::string(environment);
  return std::nullopt;
}

std::string Shown(const Text& value) {
  bool control = false;
  for (const char c : value) control = control || IsControlByte(c);
  if (!control) return Cp1252ToUtf8(value);
  std::string shown;
  for (const char c : value) {
    if (c == '\\') {
      shown += "\\\\";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (IsControlByte(c)) {
      AppendHexEscape(shown, c);
    } else {
      shown += Cp1252ToUtf8(std::string_view(&c, 1));
    }
  }
  return shown;
}


}  // namespace zdl::cli
