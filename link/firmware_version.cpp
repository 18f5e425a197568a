#include "link/firmware_version.h"

#include "model/validators.h"

namespace zdl {

namespace {

constexpr std::string_view kVersionAnswer = "#VER=";
// "ZDL410 v5.01": the number starts after the unit's name, a blank and the "v".
constexpr std::size_t kNumberStart = 8;

}  // namespace

FirmwareVersion FirmwareFromText(std::string_view text) {
  FirmwareVersion version;
  version.FirmText = Text(text);
  if (text.size() > kNumberStart) {
    version.FirmVersion = static_cast<float>(NumericValue(text.substr(kNumberStart)));
  }
  return version;
}

std::optional<FirmwareVersion> FirmwareFromAnswer(std::string_view answer) {
  if (answer.substr(0, kVersionAnswer.size()) != kVersionAnswer) return std::nullopt;
  return FirmwareFromText(answer.substr(kVersionAnswer.size()));
}

FirmwareVersion FirmwareFromUserText(std::string_view text) {
  if (!IsNumberText(text)) return FirmwareFromText(text);
  return {Text(text), static_cast<float>(NumericValue(text))};
}

}  // namespace zdl
