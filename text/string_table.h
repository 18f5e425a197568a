// The bilingual string table: 218 Spanish texts (ids 101 to 318) and their English
// translations (ids 401 to 618); the text of offset k is entry LangBase + k (LangText).
// Texts are UTF-8. Ids 319 to 400 and 619 to 700 hold two blanks and are never shown.
// The texts and their names are listed once, in text/string_table.def.
#pragma once

#include <optional>
#include <string_view>

namespace zdl {

enum class Lang : int { Spanish = 101, English = 401 };

// The name of each text of the table; its value is the text's offset.
enum class TextId : int {
#define ZDL_TEXT(name, spanish, english) name,
#include "text/string_table.def"
#undef ZDL_TEXT
};

inline constexpr int kStringTableTexts = 218;

// The offset of a text (0 to 217): its id is LangBase + offset.
constexpr int OffsetOf(TextId text) { return static_cast<int>(text); }

// The text `k` places after `first`, for a row of numbered texts (Timer0 to Timer7,
// Monday to Sunday).
constexpr TextId Nth(TextId first, int k) { return static_cast<TextId>(OffsetOf(first) + k); }

// The LangBase of a language: 101 or 401.
constexpr int LangBase(Lang lang) { return static_cast<int>(lang); }

// The language of a LangBase; empty for any base other than 101 and 401, which has no
// texts behind it and is never looked up.
std::optional<Lang> LangFromBase(int base);

// The text in the language; "" for a value outside the table.
std::string_view LangText(Lang lang, TextId text);

// The text of one string-table id (101 to 700); "" outside the table.
std::string_view TextById(int id);

}  // namespace zdl
