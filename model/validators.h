// Tests that decide whether a field's text may be sent to the unit, and the numeric
// value of a text. They look at the text alone; ranges are the caller's business.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zdl {

// A number text: optional blanks, optional sign, digits with at most one decimal
// point, optional exponent (E and an optionally signed whole number), optional blanks.
bool IsNumberText(std::string_view text);

// A number text without ",". A full stop is the decimal point.
bool CheckNum(std::string_view text);
// A number text without "," and without ".". Sign and exponent are allowed.
bool CheckInt(std::string_view text);
// hh:mm: the hour part before the first colon, the minute part as many characters
// taken from the end; both number texts, 0 <= H < 24, 0 <= M < 60.
bool CheckTime(std::string_view text);

// The value of the longest leading part that reads as a decimal number (blanks within
// it ignored); 0 when the text does not begin with a number. "30x" gives 30.
double NumericValue(std::string_view text);

// Why a text may not go out inside a configuration line: a control byte (below 0x20, or
// 0x7F), which would end or break the line, or more characters than its field takes.
struct LineTextFault {
  enum Kind { None, ControlCharacter, TooLong };
  Kind kind = None;
  unsigned char byte = 0;  // ControlCharacter: the first control byte

  explicit operator bool() const { return kind != None; }
  bool operator==(const LineTextFault&) const = default;
};

// The fault of a text that a line would carry as typed, at most `maxLength` characters
// (0: no limit). A control byte is reported before the length.
LineTextFault CheckLineText(std::string_view text, std::size_t maxLength);

// True for a byte that never goes out inside a configuration line.
inline bool IsControlByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// Appends a byte as it is shown where it may not be written as such: "\x" and two
// upper-case hexadecimal digits.
inline void AppendHexEscape(std::string& out, char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto byte = static_cast<unsigned char>(c);
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace zdl
