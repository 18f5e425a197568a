#include "ui/strings/string_table.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <climits>
#include <string_view>

#include "model/text_codec.h"

namespace zdl {
namespace {

struct TextCase {
  int offset;
  std::string_view spanish;
  std::string_view english;
};

constexpr TextCase kTexts[] = {
    {0, "Abrir", "Open"},
    {29, "Prio. ", "Prio. "},                         // a number is appended to it
    {53, "Entrada digital ", "Digital input "},
    {67, "Entrada analógica ", "Analog input "},
    {82, "E.Analógica ", "Analog Input "},
    {180, "No hay ningún número prioritario, las alarmas no serán notificadas.",
     "There isn't no prioritary number, alarms won't be notified."},
    {181, "¿Está seguro de que desea esta configuración?",
     "Do you really want to load this configuration?"},
    {183,
     "Está cargando un archivo de configuración de una versión superior, algunos parámetros se "
     "perderán.",
     "You are loading a config file from a newer version, some parameters will be lost."},
    {189, "+34656000311", "+34656000311"},
    {190, "+34609090909", "+34609090909"},
    {191, "+34607003110", "+34607003110"},
    {214, "No ha seleccionado ningun dia en el temporizador ",
     "You have not selected any day in timer "},
    {217, "Idioma", "Language"},
};

TEST(StringTable, TextsOfBothLanguages) {
  for (const auto& c : kTexts) {
    SCOPED_TRACE(c.offset);
    EXPECT_EQ(LangText(Lang::Spanish, c.offset), c.spanish);
    EXPECT_EQ(LangText(Lang::English, c.offset), c.english);
    EXPECT_EQ(TextById(LangBase(Lang::Spanish) + c.offset), c.spanish);
    EXPECT_EQ(TextById(LangBase(Lang::English) + c.offset), c.english);
  }
  EXPECT_EQ(TextById(284), LangText(Lang::Spanish, 183));
}

TEST(StringTable, OffsetsOutsideTheTableGiveNothing) {
  for (int offset : {-1, kStringTableTexts, 300, INT_MIN, INT_MAX}) {
    EXPECT_EQ(LangText(Lang::Spanish, offset), "") << offset;
    EXPECT_EQ(LangText(Lang::English, offset), "") << offset;
  }
  for (int id : {INT_MIN, -101, 0, 100, 701, 1000, INT_MAX}) {
    EXPECT_EQ(TextById(id), "") << id;
  }
}

TEST(StringTable, UnusedIdsHoldTwoBlanks) {
  for (int id = 319; id <= 400; ++id) EXPECT_EQ(TextById(id), "  ") << id;
  for (int id = 619; id <= 700; ++id) EXPECT_EQ(TextById(id), "  ") << id;
  EXPECT_EQ(TextById(318), "Idioma");
  EXPECT_EQ(TextById(401), "Open");
  EXPECT_EQ(TextById(618), "Language");
}

TEST(StringTable, EveryTextIsShownAndFitsTheUnitsCharacterSet) {
  // Texts may reach the unit or a file (alarm texts prefilled from the table), so each
  // one must be valid UTF-8 that Windows-1252 can hold.
  for (Lang lang : {Lang::Spanish, Lang::English}) {
    for (int k = 0; k < kStringTableTexts; ++k) {
      const std::string_view text = LangText(lang, k);
      EXPECT_FALSE(text.empty()) << LangBase(lang) + k;
      EXPECT_NE(text, "  ") << LangBase(lang) + k;
      EXPECT_TRUE(Utf8ToCp1252(text).has_value()) << LangBase(lang) + k;
    }
  }
}

TEST(StringTable, OnlyTheTwoBasesNameALanguage) {
  EXPECT_EQ(LangFromBase(101), Lang::Spanish);
  EXPECT_EQ(LangFromBase(401), Lang::English);
  for (int base : {0, -101, 1, 100, 102, 319, 400, 402, 701}) {
    EXPECT_FALSE(LangFromBase(base).has_value()) << base;
  }
}

// Points the per-user settings at a temporary directory for the test's duration, so the
// real home is never read or written.
class LanguageSetting : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    old_xdg_ = qgetenv("XDG_CONFIG_HOME");
    had_xdg_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()));
    // Qt keeps the settings path of the first use; set it explicitly as well.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
  }

  void TearDown() override {
    if (had_xdg_) {
      qputenv("XDG_CONFIG_HOME", old_xdg_);
    } else {
      qunsetenv("XDG_CONFIG_HOME");
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
  }

  static void StoreRaw(const QString& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Norvik_config");
    settings.setValue("Idioma/Idioma", value);
    settings.sync();
  }

  QTemporaryDir dir_;
  QByteArray old_xdg_;
  bool had_xdg_ = false;
};

TEST_F(LanguageSetting, NothingStoredMeansNoLanguageChosen) {
  EXPECT_FALSE(StoredLanguage().has_value());
}

TEST_F(LanguageSetting, StoredLanguageReadsBack) {
  StoreLanguage(Lang::English);
  EXPECT_EQ(StoredLanguage(), Lang::English);
  StoreLanguage(Lang::Spanish);
  EXPECT_EQ(StoredLanguage(), Lang::Spanish);

  // The value is the decimal text of the base, in the temporary directory.
  const QSettings settings(dir_.filePath("Norvik_config.conf"), QSettings::IniFormat);
  EXPECT_EQ(settings.value("Idioma/Idioma").toString(), "101");
}

TEST_F(LanguageSetting, DamagedValuesMeanNoLanguageChosen) {
  for (const char* value : {"0", "", "abc", "102", "400", " 101", "101 ", "0101", "+401", "401x"}) {
    StoreRaw(QString::fromLatin1(value));
    EXPECT_FALSE(StoredLanguage().has_value()) << '"' << value << '"';
  }
  StoreRaw("401");
  EXPECT_EQ(StoredLanguage(), Lang::English);
}

}  // namespace
}  // namespace zdl
