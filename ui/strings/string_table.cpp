#include "ui/strings/string_table.h"

#include <QSettings>
#include <QString>
#include <QVariant>
#include <iterator>

namespace zdl {
namespace {

// Offset k of each array is the text of id LangBase + k.
constexpr std::string_view kSpanish[] = {
#include "ui/strings/strings_es.inc"
};
constexpr std::string_view kEnglish[] = {
#include "ui/strings/strings_en.inc"
};
static_assert(std::size(kSpanish) == kStringTableTexts, "one Spanish text per offset");
static_assert(std::size(kEnglish) == kStringTableTexts, "one English text per offset");

// Ids after each language's texts, up to the next hundred, hold two blanks.
constexpr int kLastFillerSpanish = 400;
constexpr int kLastFillerEnglish = 700;
constexpr std::string_view kFiller = "  ";

constexpr const char* kSettingsApplication = "Norvik_config";
constexpr const char* kLanguageKey = "Idioma/Idioma";

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

std::string_view LangText(Lang lang, int offset) {
  if (offset < 0 || offset >= kStringTableTexts) return {};
  return lang == Lang::English ? kEnglish[offset] : kSpanish[offset];
}

std::string_view TextById(int id) {
  for (Lang lang : {Lang::Spanish, Lang::English}) {
    const int base = LangBase(lang);
    if (id >= base && id < base + kStringTableTexts) return LangText(lang, id - base);
  }
  const int spanish_end = LangBase(Lang::Spanish) + kStringTableTexts;
  const int english_end = LangBase(Lang::English) + kStringTableTexts;
  if ((id >= spanish_end && id <= kLastFillerSpanish) ||
      (id >= english_end && id <= kLastFillerEnglish)) {
    return kFiller;
  }
  return {};
}

std::optional<Lang> StoredLanguage() {
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication);
  const QString stored = settings.value(kLanguageKey, QStringLiteral("0")).toString();
  bool ok = false;
  const int base = stored.toInt(&ok);
  // Only the exact texts "101" and "401" name a language; " 101" or "0101" do not.
  if (!ok || stored != QString::number(base)) return std::nullopt;
  return LangFromBase(base);
}

void StoreLanguage(Lang lang) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication);
  settings.setValue(kLanguageKey, QString::number(LangBase(lang)));
  settings.sync();
}

}  // namespace zdl
