#include "cli/common.h"

#include <iostream>

#include "configfile/config_file.h"
#include "ui/strings/extra_texts.h"

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

}  // namespace zdl::cli
