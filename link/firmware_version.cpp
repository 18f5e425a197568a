#include "link/firmware_version.h"

#include "model/validators.h"

namespace zdl {

namespace {

constexpr std::string_view kVersionAnswer = "#VER=";
// "ZDL410 v5.01": the number starts after the unit's name, a blank and the "v".
constexpr std::size_t kNumberStart = 8;

// The number of a version, or nothing when it is no sane version. Only a sane number is
// narrowed to the single precision the checks compare: a larger one would not fit.
std::optional<float> VersionNumber(double number) {
  if (!(number >= 0 && number < kVersionNumberLimit)) return std::nullopt;
  return static_cast<float>(number);
}

// The number where the unit puts it; 0 when there is none.
double NumberOfText(std::string_view text) {
  return text.size() > kNumberStart ? NumericValue(text.substr(kNumberStart)) : 0;
}

}  // namespace

FirmwareVersion FirmwareFromText(std::string_view text) {
  return {Text(text), VersionNumber(NumberOfText(text)).value_or(0.0f)};
}

std::optional<FirmwareVersion> FirmwareFromAnswer(std::string_view answer) {
  if (answer.substr(0, kVersionAnswer.size()) != kVersionAnswer) return std::nullopt;
  return FirmwareFromText(answer.substr(kVersionAnswer.size()));
}

std::optional<FirmwareVersion> FirmwareFromUserText(std::string_view text) {
  const double number = IsNumberText(text) ? NumericValue(text) : NumberOfText(text);
  const std::optional<float> version = VersionNumber(number);
  if (!version) return std::nullopt;
  return FirmwareVersion{Text(text), *version};
}

}  // namespace zdl
