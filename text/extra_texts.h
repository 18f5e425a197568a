// Every text the numbered string table does not hold (a load's description of a bad line,
// the comparison's words, the windows' and the command line's own words), in both
// languages, and the bilingual message built from them where the language is not known
// yet.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "text/string_table.h"

namespace zdl {

// The name of each text of text/extra_texts.def, numbered from 0 in the list's order.
enum class ExtraText : int {
#define ZDL_EXTRA(name, spanish, english) name,
#include "text/extra_texts.def"
#undef ZDL_EXTRA
};

// The text in the language, UTF-8.
std::string_view ExtraTextIn(Lang lang, ExtraText text);

// The text with "%1" replaced by `argument`, in the language.
std::string ExtraTextWith(Lang lang, ExtraText text, std::string_view argument);

// How many texts ExtraText names (they are numbered from 0).
int ExtraTextCount();

// A message held in both languages at once, UTF-8.
class BilingualText {
 public:
  BilingualText() = default;
  // The same words in both languages: a key name, a value, a number, a system message.
  BilingualText(std::string same) : spanish_(same), english_(std::move(same)) {}  // NOLINT
  BilingualText(std::string_view same) : BilingualText(std::string(same)) {}      // NOLINT
  BilingualText(const char* same) : BilingualText(std::string(same)) {}           // NOLINT

  // The extra text with %1... replaced by the arguments, each in the same language.
  static BilingualText Format(ExtraText text, std::initializer_list<BilingualText> args = {});

  const std::string& In(Lang lang) const { return lang == Lang::Spanish ? spanish_ : english_; }
  // The same message after `prefix` (a device's name, a path), in both languages.
  BilingualText Prefixed(std::string_view prefix) const {
    BilingualText out;
    out.spanish_ = std::string(prefix) + spanish_;
    out.english_ = std::string(prefix) + english_;
    return out;
  }
  bool empty() const { return english_.empty() && spanish_.empty(); }
  bool operator==(const BilingualText&) const = default;

 private:
  std::string spanish_;
  std::string english_;
};

}  // namespace zdl
