#include "text/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "text/string_table.h"

namespace zdl {

namespace {

// Marks the translators installed here, so a later call finds and removes them.
constexpr const char* kTranslatorName = "zdl-qt-translation";
constexpr const char* kCatalogues[] = {"qtbase", "qtserialport"};

}  // namespace

void InstallQtTranslations(QCoreApplication& app, int langBase) {
  for (QTranslator* old : app.findChildren<QTranslator*>(kTranslatorName, Qt::FindDirectChildrenOnly)) {
    QCoreApplication::removeTranslator(old);
    delete old;
  }
  if (LangFromBase(langBase) != Lang::Spanish) return;
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  const QLocale spanish(QLocale::Spanish, QLocale::Spain);
  for (const char* catalogue : kCatalogues) {
    auto* translator = new QTranslator(&app);
    translator->setObjectName(kTranslatorName);
    if (translator->load(spanish, catalogue, "_", folder)) {
      QCoreApplication::installTranslator(translator);
    } else {
      delete translator;
    }
  }
}

}  // namespace zdl
