// The texts: the numbered string table and the texts beside it in both languages, the
// per-user language setting, and Qt's own catalogues following the session's language.
#include "text/string_table.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <array>
#include <memory>
#include <set>
#include <string_view>

#include "model/text_codec.h"
#include "tests/support/process.h"
#include "text/extra_texts.h"
#include "text/qt/language_setting.h"
#include "text/qt/qt_translations.h"

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
    EXPECT_NE(LangText(lang, TextId::Open), LangText(lang == Lang::Spanish ? Lang::English : Lang::Spanish, TextId::Open));
  }
  for (const int id : {-101, 100, 701}) EXPECT_EQ(TextById(id), "") << id;
  for (int i = 0; i < ExtraTextCount(); ++i) {
    const std::string_view english = ExtraTextIn(Lang::English, static_cast<ExtraText>(i));
    const std::string_view spanish = ExtraTextIn(Lang::Spanish, static_cast<ExtraText>(i));
    EXPECT_FALSE(english.empty() || spanish.empty()) << i;
    EXPECT_EQ(Placeholders(english), Placeholders(spanish)) << i;
  }
}

TEST(Texts, FormatFillsEachLanguageWithItsOwnArguments) {
  const BilingualText inner = BilingualText::Format(ExtraText::OfDigitalInput, {"RING", "3"});
  const BilingualText line = BilingualText::Format(ExtraText::LineOf, {"20", inner});
  EXPECT_EQ(line.In(Lang::English), "line 20: RING of digital input 3");
  EXPECT_EQ(line.In(Lang::Spanish), "línea 20: RING de la entrada digital 3");
  // An argument holding "%1" is not filled again; a missing argument leaves its mark.
  EXPECT_EQ(BilingualText::Format(ExtraText::LineOf, {"%2"}).In(Lang::English), "line %2: %2");
  EXPECT_EQ(BilingualText("same").In(Lang::Spanish), "same");
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

// Qt's catalogues follow the session's language, as often as the language changes: a
// port error (qtbase) and a serial-port error (qtserialport).
TEST(Texts, SpanishLoadsQtsCataloguesAndEnglishRemovesThem) {
  int argc = 1;
  char name[] = "zdl_tests";
  std::array<char*, 2> argv{name, nullptr};
  std::unique_ptr<QCoreApplication> owned;
  if (QCoreApplication::instance() == nullptr) {
    owned = std::make_unique<QCoreApplication>(argc, argv.data());
  }
  QCoreApplication& app = *QCoreApplication::instance();
  auto texts = [] {
    return std::pair(
        QCoreApplication::translate("QIODevice", "No such file or directory").toStdString(),
        QCoreApplication::translate("QSerialPort", "Device is already open").toStdString());
  };
  InstallQtTranslations(app, 101);
  InstallQtTranslations(app, 101);  // again: replaces, does not add
  EXPECT_EQ(app.findChildren<QTranslator*>().size(), 2);
  EXPECT_EQ(texts(), std::pair(std::string("No hay ningún fichero o directorio con ese nombre"),
                               std::string("El dispositivo ya está abierto")));
  InstallQtTranslations(app, 401);
  EXPECT_EQ(app.findChildren<QTranslator*>().size(), 0);
  EXPECT_EQ(texts(), std::pair(std::string("No such file or directory"),
                               std::string("Device is already open")));
}

}  // namespace
}  // namespace zdl
