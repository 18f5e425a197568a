#include "text/string_table.h"
#include "text/qt/language_setting.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string_view>

#include "model/text_codec.h"
#include "tests/support/process.h"

namespace zdl {
namespace {

// Every id of a language is its offset from the language's base; the ids between the
// two tables hold two blanks, those outside them nothing. Every text is prefilled into
// alarm texts that go to the unit or a file, so each fits its character set.
TEST(StringTable, TextsByIdAndEveryTextFitsTheUnitsCharacterSet) {
  for (const Lang lang : {Lang::Spanish, Lang::English}) {
    for (int k = 0; k < kStringTableTexts; ++k) {
      EXPECT_EQ(TextById(LangBase(lang) + k), LangText(lang, static_cast<TextId>(k))) << k;
      EXPECT_FALSE(LangText(lang, static_cast<TextId>(k)).empty() || LangText(lang, static_cast<TextId>(k)) == "  ") << LangBase(lang) + k;
      EXPECT_TRUE(Utf8ToCp1252(LangText(lang, static_cast<TextId>(k))).has_value()) << LangBase(lang) + k;
    }
    EXPECT_EQ(TextById(LangBase(lang) + kStringTableTexts), "  ");
    EXPECT_EQ(LangText(lang, static_cast<TextId>(kStringTableTexts)), "");
    EXPECT_NE(LangText(lang, TextId::Open), LangText(lang == Lang::Spanish ? Lang::English : Lang::Spanish, TextId::Open));
  }
  for (const int id : {-101, 100, 701}) EXPECT_EQ(TextById(id), "") << id;
}

TEST(StringTable, LanguageSettingHoldsTheBaseAndOnlyAnExactBaseCounts) {
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
