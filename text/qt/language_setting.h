// The per-user language setting: Norvik_config / Idioma / Idioma, the decimal text of
// LangBase, kept by QSettings.
#pragma once

#include <optional>

#include "text/string_table.h"

namespace zdl {

// Reads "0" when nothing is stored; a stored value other than "101" or "401" counts as
// no language chosen.
std::optional<Lang> StoredLanguage();
void StoreLanguage(Lang lang);

}  // namespace zdl
