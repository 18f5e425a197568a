#include "model/text_codec.h"

#include <cstdint>

namespace zdl {
namespace {

// The characters of bytes 0x80 to 0x9F. The five bytes the code page leaves undefined
// keep their own value (a C1 control), so every byte maps to one character and back.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

char32_t CharOfByte(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;  // ASCII and 0xA0 to 0xFF are Latin-1
}

// The byte of a character; negative when the code page has no such character.
int ByteOfChar(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) return 0x80 + i;
  }
  return -1;
}

void AppendUtf8(std::string& out, char32_t c) {
  auto push = [&out](std::uint32_t v) { out.push_back(static_cast<char>(v)); };
  const auto v = static_cast<std::uint32_t>(c);
  if (v < 0x80) {
    push(v);
  } else if (v < 0x800) {
    push(0xC0 | (v >> 6));
    push(0x80 | (v & 0x3F));
  } else {
    // Every character of the code page lies in the Basic Multilingual Plane.
    push(0xE0 | (v >> 12));
    push(0x80 | ((v >> 6) & 0x3F));
    push(0x80 | (v & 0x3F));
  }
}

// Decodes one character starting at text[pos] and advances pos past it. Refuses
// truncated sequences, stray continuation bytes, overlong forms, surrogates and
// anything above U+10FFFF; returns false then.
bool NextChar(std::string_view text, std::size_t& pos, char32_t& out) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  int extra = 0;
  char32_t value = 0;
  char32_t min_value = 0;
  if (lead < 0x80) {
    out = lead;
    ++pos;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    value = lead & 0x1Fu;
    min_value = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    value = lead & 0x0Fu;
    min_value = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    value = lead & 0x07u;
    min_value = 0x10000;
  } else {
    return false;  // continuation byte, 0xC0/0xC1 (always overlong) or 0xF5 and above
  }
  if (text.size() - pos <= static_cast<std::size_t>(extra)) return false;
  for (int i = 1; i <= extra; ++i) {
    const auto cont = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
    if ((cont & 0xC0u) != 0x80u) return false;
    value = (value << 6) | (cont & 0x3Fu);
  }
  if (value < min_value || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return false;
  }
  out = value;
  pos += static_cast<std::size_t>(extra) + 1;
  return true;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char b : bytes) AppendUtf8(out, CharOfByte(static_cast<unsigned char>(b)));
  return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = 0;
    if (!NextChar(utf8, pos, c)) return std::nullopt;
    const int byte = ByteOfChar(c);
    if (byte < 0) return std::nullopt;
    out.push_back(static_cast<char>(byte));
  }
  return out;
}

}  // namespace zdl
