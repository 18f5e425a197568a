#include "text/qt/language_setting.h"
#include "text/string_table.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string_view>
#include <utility>

#include "model/text_codec.h"
#include "tests/support/process.h"

namespace zdl {
namespace {

TEST(StringTable, TextsByIdAndEveryTextFitsTheUnitsCharacterSet) {
  const std::pair<int, std::string_view> rows[] = {
      {101, "Abrir"}, {401, "Open"}, {318, "Idioma"}, {618, "Language"}, {319, "  "}, {700, "  "},
      {130, "Prio. "}, {615, "You have not selected any day in timer "},  // trailing blanks matter
      {-101, ""}, {100, ""}, {701, ""}};
  for (const auto& [id, text] : rows) EXPECT_EQ(TextById(id), text) << id;
  EXPECT_EQ(LangText(Lang::English, static_cast<TextId>(kStringTableTexts)), "");
  // Alarm texts are prefilled from the table and go to the unit or a file.
  for (Lang lang : {Lang::Spanish, Lang::English}) {
    for (int k = 0; k < kStringTableTexts; ++k) {
      const std::string_view text = LangText(lang, static_cast<TextId>(k));
      EXPECT_FALSE(text.empty() || text == "  ") << LangBase(lang) + k;
      EXPECT_TRUE(Utf8ToCp1252(text).has_value()) << LangBase(lang) + k;
    }
  }
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
