#include "text/string_table.h"

#include <iterator>

namespace zdl {
namespace {

// Offset k of each array is the text of id LangBase + k.
constexpr std::string_view kSpanish[] = {
#define ZDL_TEXT(name, spanish, english) spanish,
#include "text/string_table.def"
#undef ZDL_TEXT
};
constexpr std::string_view kEnglish[] = {
#define ZDL_TEXT(name, spanish, english) english,
#include "text/string_table.def"
#undef ZDL_TEXT
};
static_assert(std::size(kSpanish) == kStringTableTexts, "one Spanish text per offset");
static_assert(std::size(kEnglish) == kStringTableTexts, "one English text per offset");

// Ids after each language's texts, up to the next hundred, hold two blanks.
constexpr int kLastFillerSpanish = 400;
constexpr int kLastFillerEnglish = 700;
constexpr std::string_view kFiller = "  ";

}  // namespace

std::optional<Lang> LangFromBase(int base) {
  switch (base) {
    case LangBase(Lang::Spanish):
      return Lang::Spanish;
    case LangBase(Lang::English):
      return Lang::English;
    default:
      return std::nullopt;
  }
}

std::string_view LangText(Lang lang, TextId text) {
  const int offset = OffsetOf(text);
  if (offset < 0 || offset >= kStringTableTexts) return {};
  return lang == Lang::English ? kEnglish[offset] : kSpanish[offset];
}

std::string_view TextById(int id) {
  for (Lang lang : {Lang::Spanish, Lang::English}) {
    const int base = LangBase(lang);
    if (id >= base && id < base + kStringTableTexts) {
      return LangText(lang, static_cast<TextId>(id - base));
    }
  }
  const int spanish_end = LangBase(Lang::Spanish) + kStringTableTexts;
  const int english_end = LangBase(Lang::English) + kStringTableTexts;
  if ((id >= spanish_end && id <= kLastFillerSpanish) ||
      (id >= english_end && id <= kLastFillerEnglish)) {
    return kFiller;
  }
  return {};
}

}  // namespace zdl
