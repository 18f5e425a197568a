// The firmware version worked out from the unit's answer and from a version the user gives.
#include <gtest/gtest.h>

#include "link/firmware_version.h"

namespace zdl {
namespace {

TEST(FirmwareVersion, TheUnitsAnswerAndTheUsersTextFollowOneRule) {
  struct Row {
    const char* given;
    bool answer;  // given as the answer to "#0F", else as the user's text
    std::optional<FirmwareVersion> expected;
  };
  const Row rows[] = {
      {"#VER=ZDL410 v5.01", true, FirmwareVersion{"ZDL410 v5.01", 5.01f}},
      {"#VER=1.2", true, FirmwareVersion{"1.2", 0.0f}},  // no number where the unit puts it
      {"#ver=ZDL410 v5.01", true, std::nullopt},
      {"ZDL410 v5.01", false, FirmwareVersion{"ZDL410 v5.01", 5.01f}},
      {"v5", false, FirmwareVersion{"v5", 0.0f}},
      // A number that is no sane version: from the unit, an unknown (old) version; from
      // the user, refused.
      {"#VER=ZDL410 v-4.5", true, FirmwareVersion{"ZDL410 v-4.5", 0.0f}},
      {"#VER=ZDL410 v999.9", true, FirmwareVersion{"ZDL410 v999.9", 999.9f}},
      {"#VER=ZDL410 v1000", true, FirmwareVersion{"ZDL410 v1000", 0.0f}},
      {"ZDL410 v9E99", false, std::nullopt},
      {"1000", false, std::nullopt},
      {"999", false, FirmwareVersion{"999", 999.0f}},
  };
  for (const Row& row : rows) {
    const std::optional<FirmwareVersion> got =
        row.answer ? FirmwareFromAnswer(row.given) : FirmwareFromUserText(row.given);
    ASSERT_EQ(got.has_value(), row.expected.has_value()) << row.given;
    if (!got) continue;
    EXPECT_EQ(got->FirmText, row.expected->FirmText) << row.given;
    EXPECT_FLOAT_EQ(got->FirmVersion, row.expected->FirmVersion) << row.given;
  }
}

}  // namespace
}  // namespace zdl
