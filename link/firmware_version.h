// The unit's firmware version: the text it shows in FirmText and the number the checks
// before a write compare (FirmVersion), worked out by one rule wherever a version comes
// from (the unit's "#VER=" answer, a version typed by the user).
#pragma once

#include <optional>
#include <string_view>

#include "model/configuration_record.h"

namespace zdl {

struct FirmwareVersion {
  Text FirmText;           // as shown, Windows-1252
  float FirmVersion = 0;   // 0 when the text carries no number where the unit puts it
};

// Version numbers are taken from 0 up to (not including) this; any other number is no
// sane version.
inline constexpr double kVersionNumberLimit = 1000;

// The version text as the unit shows it ("ZDL410 v5.01"): the version number is the
// leading number of the text from its 9th character on, 0 when there is none. A number
// that is no sane version (negative, 1000 or more: "v9E99") counts as unknown too, 0,
// which the checks treat as an old firmware.
FirmwareVersion FirmwareFromText(std::string_view text);

// The answer to "#0F": "#VER=" and the version text. Empty for any other answer.
std::optional<FirmwareVersion> FirmwareFromAnswer(std::string_view answer);

// A version given by the user: the text the unit shows ("ZDL410 v5.01"), or a bare number
// ("5.01"), which is both the text and the number. Empty when the number it gives is no
// sane version ("1e39", "ZDL410 v-2"): the user is told, rather than the number changed.
std::optional<FirmwareVersion> FirmwareFromUserText(std::string_view text);

}  // namespace zdl
