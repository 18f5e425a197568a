// The bilingual string table: 218 Spanish texts (ids 101 to 318) and their English
// translations (ids 401 to 618); the text of offset k is entry LangBase + k (LangText).
// Texts are UTF-8. Ids 319 to 400 and 619 to 700 hold two blanks and are never shown.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zdl {

enum class Lang : int { Spanish = 101, English = 401 };

inline constexpr int kStringTableTexts = 218;

// The LangBase of a language: 101 or 401.
constexpr int LangBase(Lang lang) { return static_cast<int>(lang); }

// The language of a LangBase; empty for any base other than 101 and 401, which has no
// texts behind it and is never looked up.
std::optional<Lang> LangFromBase(int base);

// The text of offset k (0 to 217) in the language. An offset outside the table gives "".
std::string_view LangText(Lang lang, int offset);

// The text of one string-table id (101 to 700); "" outside the table.
std::string_view TextById(int id);

// The per-user language setting: Norvik_config / Idioma / Idioma, the decimal text of
// LangBase. Reads "0" when nothing is stored; a stored value other than "101" or "401"
// counts as no language chosen.
std::optional<Lang> StoredLanguage();
void StoreLanguage(Lang lang);

}  // namespace zdl
