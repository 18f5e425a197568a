#include "model/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace zdl {
namespace {

TEST(TextCodec, ConvertsBothWaysAndEveryByteRoundTrips) {
  const struct { std::string_view utf8, cp1252; } rows[] = {
      {"¿Está? € ‚ƒ Š™Ÿ \u00A0\u00FF", "\xBF" "Est\xE1? \x80 \x82\x83 \x8A\x99\x9F \xA0\xFF"},
      // The bytes the code page leaves undefined keep their own value.
      {"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Cp1252ToUtf8(row.cp1252), row.utf8);
    EXPECT_EQ(Utf8ToCp1252(row.utf8), std::string(row.cp1252));
  }
  std::string all;  // NUL included
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(TextCodec, RefusesInvalidUtf8AndCharactersOutsideTheCodePage) {
  constexpr std::string_view kRefused[] = {
      "\xC3", "abc\xC3xyz", "\x80", "\xF3", "\xFF",  // truncated, stray, never valid
      // Overlong forms of "/", a surrogate, above U+10FFFF.
      "\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
      "\xC2\x80", "\xC4\x80", "\xF0\x9F\x98\x80",  // U+0080 (byte 0x80 is the euro sign), U+0100
      "ok \xE2\x82\xAC then \xED\xA0\x80",          // nothing half-converted
  };
  for (const auto text : kRefused) {
    EXPECT_FALSE(Utf8ToCp1252(text).has_value()) << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace zdl
