// The texts: the numbered string table and the texts beside it in both languages, and the
// per-user language setting.
#include "text/string_table.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <set>
#include <string_view>

#include "model/text_codec.h"
#include "tests/support/process.h"
#include "text/extra_texts.h"
#include "text/qt/language_setting.h"

namespace zdl {
namespace {

std::multiset<std::string> Placeholders(std::string_view text) {
  std::multiset<std::string> found;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '%') found.insert(std::string(text.substr(i, 2)));
  }
  return found;
}

// Every id of a language is its offset from the language's base; the ids between the
// two tables hold two blanks, those outside them nothing. Every text is prefilled into
// alarm texts that go to the unit or a file, so each fits its character set. The texts
// beside the table exist in both languages with the same placeholders (some words are
// the same in both: the compare table's "Editor").
TEST(Texts, EveryTextOfBothTablesInBothLanguages) {
  for (const Lang lang : {Lang::Spanish, Lang::English}) {
    for (int k = 0; k < kStringTableTexts; ++k) {
      const std::string_view text = LangText(lang, static_cast<TextId>(k));
      EXPECT_EQ(TextById(LangBase(lang) + k), text) << k;
      EXPECT_FALSE(text.empty() || text == "  ") << LangBase(lang) + k;
      EXPECT_TRUE(Utf8ToCp1252(text).has_value()) << LangBase(lang) + k;
    }
    EXPECT_EQ(TextById(LangBase(lang) + kStringTableTexts), "  ");
    EXPECT_EQ(LangText(lang, static_cast<TextId>(kStringTableTexts)), "");
    const Lang other = lang == Lang::Spanish ? Lang::English : Lang::Spanish;
    EXPECT_NE(LangText(lang, TextId::Open), LangText(other, TextId::Open));
  }
  for (const int id : {-101, 100, 701}) EXPECT_EQ(TextById(id), "") << id;
  for (int i = 0; i < ExtraTextCount(); ++i) {
    const std::string_view english = ExtraTextIn(Lang::English, static_cast<ExtraText>(i));
    const std::string_view spanish = ExtraTextIn(Lang::Spanish, static_cast<ExtraText>(i));
    EXPECT_FALSE(english.empty() || spanish.empty()) << i;
    EXPECT_EQ(Placeholders(english), Placeholders(spanish)) << i;
  }
}

TEST(Texts, LanguageSettingHoldsTheBaseAndOnlyAnExactBaseCounts) {
  QTemporaryDir dir;  // the per-user settings of this test, never the real home
  ASSERT_TRUE(dir.isValid());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
  StoreLanguage(Lang::English);
  EXPECT_EQ(StoredLanguage(), Lang::English);
  StoreLanguage(Lang::Spanish);
  EXPECT_EQ(testing::ReadFileBytes(dir.filePath("Norvik_config.conf").toStdString()),
            "[Idioma]\nIdioma=101\n");
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Norvik_config");
  for (const char* value : {"0", "abc", "102", " 101", "0101", "+401", "401x"}) {
    settings.setValue("Idioma/Idioma", value);
    EXPECT_FALSE(StoredLanguage().has_value()) << '"' << value << '"';
  }
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

}  // namespace
}  // namespace zdl
