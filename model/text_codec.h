// Windows-1252, the character set of the unit and of the files of the installed base.
// Every byte maps to one character and back: the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zdl {

// Windows-1252 bytes to UTF-8. Never fails.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252 bytes. Empty when the text is not valid UTF-8 or holds a
// character that Windows-1252 cannot hold.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

}  // namespace zdl
