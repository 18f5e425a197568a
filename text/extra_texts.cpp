#include "text/extra_texts.h"

#include <iterator>

namespace zdl {

namespace {

struct Entry {
  std::string_view spanish;
  std::string_view english;
};

// In the order of the enumeration, which the same list builds.
constexpr Entry kTexts[] = {
#define ZDL_EXTRA(name, spanish, english) {spanish, english},
#include "text/extra_texts.def"
#undef ZDL_EXTRA
};

// `pattern` with every %N (1 to 9) replaced by argument N in `lang`; a %N without its
// argument is left as it stands.
std::string Fill(std::string_view pattern, Lang lang, std::initializer_list<BilingualText> args) {
  std::string out;
  out.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out += std::data(args)[n].In(lang);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace

int ExtraTextCount() { return static_cast<int>(std::size(kTexts)); }

std::string_view ExtraTextIn(Lang lang, ExtraText text) {
  const Entry& entry = kTexts[static_cast<std::size_t>(text)];
  return lang == Lang::Spanish ? entry.spanish : entry.english;
}

std::string ExtraTextWith(Lang lang, ExtraText text, std::string_view argument) {
  return Fill(ExtraTextIn(lang, text), lang, {BilingualText(argument)});
}

BilingualText BilingualText::Format(ExtraText text, std::initializer_list<BilingualText> args) {
  BilingualText out;
  out.spanish_ = Fill(ExtraTextIn(Lang::Spanish, text), Lang::Spanish, args);
  out.english_ = Fill(ExtraTextIn(Lang::English, text), Lang::English, args);
  return out;
}

}  // namespace zdl
