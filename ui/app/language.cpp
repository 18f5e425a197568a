#include "ui/app/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace zdl::ui {

namespace {
// The one program-wide language base.
Lang g_lang = Lang::Spanish;
}  // namespace

Lang CurrentLang() { return g_lang; }
void SetCurrentLang(Lang lang) { g_lang = lang; }

void ApplyQtLanguage(Lang lang) {
  auto* app = QCoreApplication::instance();
  if (!app) return;
  for (QTranslator* old : app->findChildren<QTranslator*>(QStringLiteral("zdl-qt-translation"))) {
    QCoreApplication::removeTranslator(old);
    delete old;
  }
  if (lang != Lang::Spanish) return;
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* catalogue : {"qtbase_es", "qtserialport_es"}) {
    auto* translator = new QTranslator(app);
    translator->setObjectName(QStringLiteral("zdl-qt-translation"));
    if (translator->load(QString::fromLatin1(catalogue), dir)) {
      QCoreApplication::installTranslator(translator);
    } else {
      delete translator;
    }
  }
}

QString T(int offset) {
  const std::string_view text = LangText(g_lang, offset);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString T(int offset, int number) { return T(offset) + QString::number(number); }

QString T2(const char* english, const char* spanish) {
  return QString::fromUtf8(g_lang == Lang::English ? english : spanish);
}

}  // namespace zdl::ui
