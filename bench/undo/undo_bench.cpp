// Times Edit > Undo and Redo of a whole-record step: a read of a configuration that uses
// every item from the built-in virtual unit (unpaced), then undone and redone again and
// again. Each undo or redo puts the record back and refreshes every editor; the target is
// under 50 ms. Runs on the offscreen platform unless another is set.
//
//   zdl_undo_bench    prints the figures
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "tests/support/sample_record.h"
#include "ui/app/connection_panel.h"
#include "ui/app/edit_menu.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/unit_link.h"

namespace zdl::ui {
namespace {

// Runs the events until the connection panel is idle again.
bool Idle(MainWindow& window) {
  for (int turn = 0; turn < 6000 && window.General()->Connection().ExchangeRunning(); ++turn) {
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return !window.General()->Connection().ExchangeRunning();
}

int Run() {
  SetCurrentLang(Lang::English);
  UnitLinkOptions options;
  options.pacedVirtualUnit = false;
  options.virtualConfiguration = zdl::testing::EveryItemSent();
  MainWindow window(options);
  window.Link().askPassword = [] { return std::optional<std::string>(UnitLink::VirtualUnitPassword()); };
  window.show();
  QApplication::processEvents();
  ConnectionPanel& connection = window.General()->Connection();
  connection.Puerto()->setCurrentText(UnitLink::VirtualUnitName());
  connection.IniComClick();
  if (!Idle(window) || !connection.Connected()) {
    std::fprintf(stderr, "the virtual unit did not connect\n");
    return 1;
  }
  connection.LeerClick();
  EditMenu& edits = window.Edits();
  if (!Idle(window) || edits.History().UndoCount() != 1) {
    std::fprintf(stderr, "the read made no step\n");
    return 1;
  }
  // Each undo and redo alone (the record swap and the refresh of every editor), and with
  // the events it leaves (the repaint of the window in front).
  constexpr int kRounds = 100;
  std::vector<double> undo, redo, undoPainted, redoPainted, repaint;
  auto milliseconds = [](const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; };
  QElapsedTimer timer;
  for (int i = 0; i < kRounds; ++i) {
    for (auto [step, alone, painted] : {std::tuple{&EditMenu::Undo, &undo, &undoPainted},
                                        std::tuple{&EditMenu::Redo, &redo, &redoPainted}}) {
      timer.start();
      (edits.*step)();
      alone->push_back(milliseconds(timer));
      QApplication::processEvents();
      painted->push_back(milliseconds(timer));
    }
    // For comparison: the whole window painted once, nothing changed.
    timer.start();
    window.repaint();
    repaint.push_back(milliseconds(timer));
  }
  std::printf("Undo and redo of a read (a configuration using every item), %d rounds each:\n", kRounds);
  for (auto [name, times] : {std::pair{"undo", &undo}, std::pair{"redo", &redo},
                             std::pair{"undo and repaint", &undoPainted}, std::pair{"redo and repaint", &redoPainted},
                             std::pair{"window repaint", &repaint}}) {
    std::sort(times->begin(), times->end());
    std::printf("  %-17s median %6.2f ms, 90th percentile %6.2f ms, slowest %6.2f ms (target: under 50 ms)\n",
                name, (*times)[times->size() / 2], (*times)[times->size() * 9 / 10], times->back());
  }
  return 0;
}

}  // namespace
}  // namespace zdl::ui

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  return zdl::ui::Run();
}
