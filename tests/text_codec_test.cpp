#include "model/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace zdl {
namespace {

struct CodecCase {
  std::string_view utf8;
  std::string_view cp1252;
};

// Texts the unit and the files carry, and the characters of the 0x80 to 0x9F block.
constexpr CodecCase kBothWays[] = {
    {"", ""},
    {"Entrada analógica", "Entrada anal\xF3gica"},
    {"Alarma fallo de transmisión", "Alarma fallo de transmisi\xF3n"},
    {"€", "\x80"},
    {"¿Está? Añadir", "\xBF" "Est\xE1? A\xF1" "adir"},
    {"‚ƒ„…†‡", "\x82\x83\x84\x85\x86\x87"},
    {"Š™Ÿ", "\x8A\x99\x9F"},
    {"\u00A0\u00FF", "\xA0\xFF"},
    {"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},  // undefined bytes
    {std::string_view("a\0b", 3), std::string_view("a\0b", 3)},
};

TEST(TextCodec, ConvertsKnownTextsBothWays) {
  for (const auto& c : kBothWays) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
    const auto bytes = Utf8ToCp1252(c.utf8);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, c.cp1252);
  }
}

TEST(TextCodec, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    all += one;
    const auto back = Utf8ToCp1252(Cp1252ToUtf8(one));
    ASSERT_TRUE(back.has_value()) << "byte " << b;
    EXPECT_EQ(*back, one) << "byte " << b;
  }
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(TextCodec, RefusesInvalidUtf8AndForeignCharacters) {
  constexpr std::string_view kRefused[] = {
      "\xC3",                  // truncated two-byte sequence
      "\xE2\x82",              // truncated euro sign
      "\xF0\x9F\x98",          // truncated four-byte sequence
      "abc\xC3xyz",            // lead byte without continuation
      "\x80",                  // stray continuation byte
      "\xF3",                  // a Windows-1252 byte is not UTF-8
      "\xC0\xAF",              // overlong "/"
      "\xC1\xBF",              // overlong
      "\xE0\x80\xAF",          // overlong three-byte "/"
      "\xE0\x9F\xBF",          // overlong three-byte, just below U+0800
      "\xF0\x80\x80\xAF",      // overlong four-byte "/"
      "\xF0\x8F\xBF\xBF",      // overlong four-byte, just below U+10000
      "\xED\xA0\x80",          // surrogate U+D800
      "\xED\xBF\xBF",          // surrogate U+DFFF
      "\xF4\x90\x80\x80",      // above U+10FFFF
      "\xF5\x80\x80\x80",      // lead byte beyond the range
      "\xFF",                  // never valid
      "\xC2\x80",              // U+0080: byte 0x80 is the euro sign, not this control
      "\xC2\x9F",              // U+009F: byte 0x9F is Y with diaeresis
      "\xC4\x80",              // U+0100, outside the code page
      "\xE2\x82\xAD",          // U+20AD, next to the euro sign
      "\xF0\x9F\x98\x80",      // an emoji, valid UTF-8 but outside the code page
      "ok \xE2\x82\xAC then \xED\xA0\x80",  // good start, bad end: nothing half-converted
  };
  for (const auto text : kRefused) {
    EXPECT_FALSE(Utf8ToCp1252(text).has_value()) << "accepted: " << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace zdl
