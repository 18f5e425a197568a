// Qt's own catalogues follow the session's language, as often as the language changes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>
#include <array>
#include <memory>

#include "text/qt/qt_translations.h"

namespace zdl {
namespace {

TEST(QtTranslations, SpanishLoadsQtsCataloguesAndEnglishRemovesThem) {
  int argc = 1;
  char name[] = "zdl_tests";
  std::array<char*, 2> argv{name, nullptr};
  std::unique_ptr<QCoreApplication> owned;
  if (QCoreApplication::instance() == nullptr) {
    owned = std::make_unique<QCoreApplication>(argc, argv.data());
  }
  QCoreApplication& app = *QCoreApplication::instance();
  // A port error (qtbase) and a serial-port error (qtserialport).
  auto texts = [] {
    return std::pair(
        QCoreApplication::translate("QIODevice", "No such file or directory").toStdString(),
        QCoreApplication::translate("QSerialPort", "Device is already open").toStdString());
  };
  auto installed = [&app] { return app.findChildren<QTranslator*>().size(); };

  InstallQtTranslations(app, 101);
  InstallQtTranslations(app, 101);  // again: replaces, does not add
  EXPECT_EQ(installed(), 2);
  EXPECT_EQ(texts(), std::pair(std::string("No hay ningún fichero o directorio con ese nombre"),
                               std::string("El dispositivo ya está abierto")));
  InstallQtTranslations(app, 401);
  EXPECT_EQ(installed(), 0);
  EXPECT_EQ(texts(), std::pair(std::string("No such file or directory"),
                               std::string("Device is already open")));
}

}  // namespace
}  // namespace zdl
