// zdl410-config: the desktop program. Takes one optional argument, a configuration file
// to open at start-up.
#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "ui/app/icons.h"
#include "ui/app/language_form.h"
#include "ui/app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zdl410-config"));
  QApplication::setOrganizationName(QStringLiteral("Norvik"));
  QApplication::setWindowIcon(zdl::ui::AppIcon());
  const QStringList args = QApplication::arguments().mid(1);
  if (args.size() > 1 || (args.size() == 1 && args.front().startsWith(QLatin1Char('-')))) {
    std::fprintf(stderr, "usage: zdl410-config [FILE.ncf]\n");
    return 2;
  }
  // The language is asked before any editor is shown.
  zdl::ui::EnsureLanguage(nullptr);
  zdl::ui::MainWindow window;
  // The whole screen: a window manager maximises it, and without one it is sized so.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) window.setGeometry(screen->availableGeometry());
  window.showMaximized();
  if (!args.isEmpty()) {
    const QString path = args.front();
    QTimer::singleShot(0, &window, [&window, path] { window.OpenFile(path); });
  }
  return QApplication::exec();
}
