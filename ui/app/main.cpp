// zdl410-config: the desktop program. Takes one optional argument, a configuration file
// to open at start-up, or --version or --help.
#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "ui/app/icons.h"
#include "ui/app/language_form.h"
#include "ui/app/main_window.h"

int main(int argc, char** argv) {
  // Answered before the application object exists: they need no display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("zdl410-config %s\nLicence: GPL-3.0-or-later\n", ZDL_VERSION);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: zdl410-config [FILE.ncf]\n       zdl410-config --version | --help\n"
                "The desktop program; opens FILE.ncf at start when given.\n");
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zdl410-config"));
  QApplication::setOrganizationName(QStringLiteral("Norvik"));
  QApplication::setApplicationVersion(QStringLiteral(ZDL_VERSION));
  // The installed desktop entry's id: a Wayland compositor matches the window to it.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.norvik.zdl410_config"));
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
