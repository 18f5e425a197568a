#include "ui/app/language.h"

#include <QCoreApplication>

#include "text/qt/qt_translations.h"

namespace zdl::ui {

namespace {
// The one program-wide language base.
Lang g_lang = Lang::Spanish;
}  // namespace

Lang CurrentLang() { return g_lang; }
void SetCurrentLang(Lang lang) { g_lang = lang; }

void ApplyQtLanguage(Lang lang) {
  if (auto* app = QCoreApplication::instance()) InstallQtTranslations(*app, LangBase(lang));
}

QString T(TextId text) {
  const std::string_view words = LangText(g_lang, text);
  return QString::fromUtf8(words.data(), static_cast<qsizetype>(words.size()));
}

QString T(TextId text, int number) { return T(text) + QString::number(number); }

QString T(ExtraText text) {
  const std::string_view words = ExtraTextIn(g_lang, text);
  return QString::fromUtf8(words.data(), static_cast<qsizetype>(words.size()));
}

QString T(ExtraText text, const QString& argument) {
  return QString::fromStdString(ExtraTextWith(g_lang, text, argument.toStdString()));
}

}  // namespace zdl::ui
