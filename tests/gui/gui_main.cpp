// The windows' tests run headless on the offscreen platform, with a settings folder of
// their own so no user's language setting is read or changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  unsetenv("QT_QPA_PLATFORMTHEME");
  QTemporaryDir settings;
  setenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
