// The windows' tests' one fixture: a main window on the built-in virtual unit, an
// answerer of modal boxes and prompts, waits on the event loop, and small helpers.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/text_codec.h"
#include "tests/support/sample_record.h"
#include "ui/app/connection_panel.h"
#include "ui/app/firmware_form.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/unit_link.h"

// Failures print texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace zdl::ui::testing {

using zdl::testing::FullRecord;

// Runs `step` on the interface thread as soon as the event loop is free, again and again
// until it returns true (a modal box the code under test shows keeps the loop running).
void WhenReady(std::function<bool()> step);

// The child of `root` with this object name (a failure when there is none).
template <class W>
W* Find(QWidget* root, const QString& name) {
  W* w = root->findChild<W*>(name);
  EXPECT_NE(w, nullptr) << name.toStdString();
  return w;
}
// A key pressed on the widget; typing is its text's characters pressed one by one, with the
// focus on the widget.
void Press(QWidget* target, Qt::KeyboardModifiers modifiers, int key, const QString& text = {});
void Type(QWidget* target, const QString& text);

// Runs the interface thread's events until `done` holds; false after `ms` (a hang).
bool WaitFor(const std::function<bool()>& done, int ms = 30000);
// Runs the interface thread's events for `ms` (to see that nothing more happens).
void Settle(int ms);

// Answers every modal box while it lives: message boxes with `answer` (NoButton: the default; else OK, else
// No), recording them; the password prompt with the next password of the queue (cancelled when none is left).
// A box named `leaveOpen` is left to the code under test.
class Answerer {
 public:
  explicit Answerer(QMessageBox::StandardButton answer = QMessageBox::Ok);
  std::deque<QString> passwords;
  QStringList texts;                // message boxes
  QStringList questions;            // boxes with Yes
  QList<QMessageBox::Icon> icons;  // both, in order
  QString leaveOpen;

 private:
  void Poll();
  QMessageBox::StandardButton answer_;
  QTimer timer_;
};

// The virtual unit holding a full configuration, unpaced and saving at once, unless a test
// must act in an exchange.
UnitLinkOptions VirtualUnit(bool paced = false);
// The numbers a write needs (a fresh record has none) and a priority number, so the
// write asks no confirmation.
void MakeWritable(ConfigurationRecord& r);
// An Intel HEX file: `records` data records of 16 bytes, no two alike, then the
// end-of-file record, each line ended by CR LF.
std::string HexImage(int records);
inline QString TestData(const char* name) {
  return QStringLiteral(ZDL_TEST_DATA "/") + QString::fromLatin1(name);
}
// Drags a file over the widget and drops it there: whether the drag was taken.
bool DragAndDrop(QWidget& target, const QString& path);
// Switches the language with `apply` to `lang` and expects every text of `root` (titles,
// captions, list items, spoken names, actions) that was a string-table entry to be the
// same entry in `lang` afterwards; returns how many texts it followed.
int ExpectTextsFollowLanguage(QWidget* root, Lang lang, const std::function<void()>& apply);

// A main window on the virtual unit, in English, its backups in a temporary folder.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void Open(const UnitLinkOptions& options = VirtualUnit());
  template <class W>
  W* Get(const char* name) {
    return Find<W>(window.get(), QString::fromLatin1(name));
  }
  ConnectionPanel& Panel() { return general->Connection(); }
  QString Status() { return Panel().ProgStat()->text(); }
  void ChoosePort(const QString& name);
  // Starts a connection; StartOn also waits for its end (true unless it hangs).
  void BeginOn(const QString& port, bool modem = false, const QString& number = {});
  bool StartOn(const QString& port, bool modem = false, const QString& number = {}) {
    BeginOn(port, modem, number);
    return Idle();
  }
  bool Connect() { return StartOn(UnitLink::VirtualUnitName()) && Panel().Connected(); }  // direct
  bool Idle() { return WaitFor([this] { return !Panel().ExchangeRunning(); }); }
  void SetEditors(const ConfigurationRecord& r) { window->Record() = r, window->RefreshEditors(); }
  void SwitchTo(Lang lang) { SetCurrentLang(lang), window->LoadAllTexts(); }
  // The virtual unit received this logical line during the last write.
  bool Received(const std::string& line);
  QMdiSubWindow* Front();  // the child window in front
  QString SaveFile(const ConfigurationRecord& r, const char* name);
  // The toolbar's Firmware button: the window, once its port is ready.
  FirmwareForm* OpenFirmwareForm();
  // A file of the temporary folder holding `bytes`.
  QString WriteFile(const char* name, const std::string& bytes);

  QTemporaryDir temp;
  std::unique_ptr<MainWindow> window;
  GeneralEditor* general = nullptr;
};

}  // namespace zdl::ui::testing
