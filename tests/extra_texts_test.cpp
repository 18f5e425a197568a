// The texts beside the string table: both languages, same placeholders.
#include <gtest/gtest.h>

#include <set>

#include "text/extra_texts.h"

namespace zdl {
namespace {

std::multiset<std::string> Placeholders(std::string_view text) {
  std::multiset<std::string> found;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '%') found.insert(std::string(text.substr(i, 2)));
  }
  return found;
}

TEST(ExtraTexts, EveryTextHasBothLanguagesWithTheSamePlaceholders) {
  for (int i = 0; i < ExtraTextCount(); ++i) {
    const auto id = static_cast<ExtraText>(i);
    const std::string_view english = ExtraTextIn(Lang::English, id);
    const std::string_view spanish = ExtraTextIn(Lang::Spanish, id);
    // Some words are the same in both languages (the compare table's "Editor").
    EXPECT_FALSE(english.empty() || spanish.empty()) << i;
    EXPECT_EQ(Placeholders(english), Placeholders(spanish)) << i;
  }
}

TEST(ExtraTexts, FormatFillsEachLanguageWithItsOwnArguments) {
  const BilingualText inner = BilingualText::Format(ExtraText::OfDigitalInput, {"RING", "3"});
  const BilingualText line = BilingualText::Format(ExtraText::LineOf, {"20", inner});
  EXPECT_EQ(line.In(Lang::English), "line 20: RING of digital input 3");
  EXPECT_EQ(line.In(Lang::Spanish), "línea 20: RING de la entrada digital 3");
  // An argument holding "%1" is not filled again; a missing argument leaves its mark.
  EXPECT_EQ(BilingualText::Format(ExtraText::LineOf, {"%2"}).In(Lang::English), "line %2: %2");
  EXPECT_EQ(BilingualText("same").In(Lang::Spanish), "same");
}

}  // namespace
}  // namespace zdl
