#include "text/qt/language_setting.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace zdl {
namespace {

constexpr const char* kSettingsApplication = "Norvik_config";
constexpr const char* kLanguageKey = "Idioma/Idioma";

}  // namespace

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
