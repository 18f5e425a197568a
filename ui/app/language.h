// The language of the windows: the program-wide language base and the look-up of a text
// by its name, taken at the moment the text is needed so it follows a switch at once.
#pragma once

#include <QString>

#include "text/extra_texts.h"
#include "text/string_table.h"

namespace zdl::ui {

// The current language (Spanish until one has been chosen; no text is ever looked up
// with a base that has no texts behind it).
Lang CurrentLang();
void SetCurrentLang(Lang lang);

// Qt's own texts (standard buttons, file dialogs, port errors) in the language.
void ApplyQtLanguage(Lang lang);

// The text of the string table in the current language.
QString T(TextId text);
// The same with a number appended ("Digital input " + 3).
QString T(TextId text, int number);

// A text the string table does not hold, in the current language.
QString T(ExtraText text);
// The same with its %1 replaced by `argument`.
QString T(ExtraText text, const QString& argument);

}  // namespace zdl::ui
