// The Firmware window, driven headless against the built-in virtual unit: the connection
// it ends first, an upload whose bytes the virtual boot loader received as the file has
// them, a cancel in the middle of the transfer, a failed progress check, a file that
// cannot be read, and its texts in both languages.
#include "ui/app/firmware_form.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/gui/gui_support.h"
#include "ui/app/connection_panel.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/unit_link.h"

namespace zdl::ui {
namespace {

using testing::AnswerNextBox;
using testing::SeenBox;

// Runs the interface thread's events until `done` holds; false after 60 s (a hang).
bool WaitFor(const std::function<bool()>& done) {
  if (done()) return true;
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(5);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(60000);
  loop.exec();
  return done();
}

// An Intel HEX file as objcopy writes it: `records` data records of 16 bytes, then the
// end-of-file record, each line ended by CR LF.
std::string HexImage(int records) {
  std::string image;
  char line[64];
  for (int r = 0; r < records; ++r) {
    const int address = (r * 16) & 0xFFFF;
    int sum = 16 + (address >> 8) + (address & 0xFF);
    std::string data;
    for (int i = 0; i < 16; ++i) {
      const int byte = (r * 7 + i * 13) & 0xFF;
      sum += byte;
      std::snprintf(line, sizeof line, "%02X", byte);
      data += line;
    }
    std::snprintf(line, sizeof line, ":10%04X00", address);
    image += line + data;
    std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    image += line;
  }
  return image + ":00000001FF\r\n";
}

UnitLinkOptions Unpaced() {
  UnitLinkOptions options;
  options.pacedVirtualUnit = false;
  options.virtualSaveTime = Millis{0};
  return options;
}

class FirmwareFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentLang(Lang::English);
    ASSERT_TRUE(dir.isValid());
  }

  void Make(const UnitLinkOptions& options) {
    window = std::make_unique<MainWindow>(options);
    general = window->General();
    QComboBox* puerto = general->Connection().Puerto();
    puerto->setCurrentIndex(puerto->findText(UnitLink::VirtualUnitName()));
    UnitLink& link = window->Link();
    QObject::connect(&link, &UnitLink::UploadStatus, [this](TextId offset) { statuses.push_back(offset); });
    QObject::connect(&link, &UnitLink::UploadProgress, [this](qint64 sent, qint64) {
      if (onProgress) onProgress(sent);
    });
    QObject::connect(&link, &UnitLink::UploadFinished,
                     [this](const FirmwareResult& result, const QString&) { finished = result; });
  }

  // The toolbar's Firmware button; the window is ready once its connection has ended.
  FirmwareForm* OpenForm() {
    window->Action(QStringLiteral("Firmware"))->trigger();
    FirmwareForm* form = nullptr;
    for (FirmwareForm* f : window->findChildren<FirmwareForm*>()) {
      if (f->isVisible()) form = f;
    }
    EXPECT_NE(form, nullptr);
    if (form) {
      EXPECT_TRUE(WaitFor([&] { return Button(form, "SearchButt")->isEnabled(); }));
    }
    return form;
  }

  QString Write(const std::string& bytes) {
    const QString path = dir.filePath(QStringLiteral("firmware.hex"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path;
  }

  bool Connect() {
    general->Connection().IniComClick();
    return WaitFor([&] { return !window->Link().Busy(); }) && general->Connection().Connected();
  }

  // Closed, whether or not its deletion has come yet.
  static bool Closed(const QPointer<FirmwareForm>& form) { return form.isNull() || !form->isVisible(); }
  static QPushButton* Button(FirmwareForm* form, const char* name) {
    return form->findChild<QPushButton*>(QString::fromLatin1(name));
  }
  static QString Text(FirmwareForm* form, const char* name) {
    if (auto* label = form->findChild<QLabel*>(QString::fromLatin1(name))) return label->text();
    return form->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
  }

  QTemporaryDir dir;
  std::unique_ptr<MainWindow> window;
  GeneralEditor* general = nullptr;
  std::vector<TextId> statuses;
  std::function<void(qint64)> onProgress;
  std::optional<FirmwareResult> finished;
};

TEST_F(FirmwareFormTest, AnUploadEndsTheConnectionFirstAndTheBootLoaderGetsTheFileUnchanged) {
  Make(Unpaced());
  ASSERT_TRUE(Connect());
  FirmwareForm* form = OpenForm();
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->isModal()) << "no connection can start while the window is open";
  EXPECT_FALSE(general->Connection().Connected()) << "opening the window ends the connection";
  EXPECT_FALSE(window->Link().Connected());

  const std::string image = HexImage(40);  // 7 full blocks and a part of one
  const QString path = Write(image);
  int asked = 0;
  form->chooseFile = [&] {
    ++asked;
    return path;
  };
  std::optional<bool> searchEnabledWhileSending;
  onProgress = [&](qint64) {
    if (searchEnabledWhileSending) return;
    searchEnabledWhileSending = Button(form, "SearchButt")->isEnabled();
    form->SearchButtClick();  // a second upload cannot start
  };
  Button(form, "SearchButt")->click();
  EXPECT_TRUE(form->Uploading());
  ASSERT_TRUE(WaitFor([&] { return finished.has_value(); }));

  EXPECT_EQ(finished->outcome, FirmwareResult::Upgraded);
  EXPECT_EQ(window->Link().VirtualUnitFirmware(), image) << "byte for byte, line ends included";
  EXPECT_EQ(statuses, (std::vector<TextId>{TextId::SwitchUnitOffAndOn, TextId::ErasingFlash, TextId::TransferringFirmware, TextId::FirmwareUpgraded}));
  EXPECT_EQ(searchEnabledWhileSending, false);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Text(form, "FileText"), path);
  EXPECT_EQ(Text(form, "FirmLabel"), QStringLiteral("Firmware successfully upgraded"));
  EXPECT_EQ(Button(form, "CancelButt")->text(), QStringLiteral("Close"));
  auto* bar = form->findChild<QProgressBar*>(QStringLiteral("PBar1"));
  EXPECT_EQ(bar->maximum(), static_cast<int>(image.size()));
  EXPECT_EQ(bar->value(), static_cast<int>(image.size()));
  EXPECT_TRUE(Button(form, "SearchButt")->isEnabled());

  // Close closes the port: the virtual unit is back in its firmware and connects again.
  QPointer<FirmwareForm> open(form);
  Button(form, "CancelButt")->click();
  ASSERT_TRUE(WaitFor([&] { return Closed(open); }));
  EXPECT_TRUE(Connect());
}

TEST_F(FirmwareFormTest, CancelInTheMiddleOfTheTransferEndsTheUploadAndClosesTheWindowAndThePort) {
  UnitLinkOptions options = Unpaced();
  options.pacedVirtualUnit = true;  // 9600 baud: the file takes about 25 s on the wire
  Make(options);
  FirmwareForm* form = OpenForm();
  ASSERT_NE(form, nullptr);
  const std::string image = HexImage(520);
  const QString path = Write(image);
  form->chooseFile = [&] { return path; };
  QPointer<FirmwareForm> open(form);
  onProgress = [&](qint64 sent) {
    if (open && open->isVisible() && sent >= 2 * kFirmwareBlock) Button(open, "CancelButt")->click();
  };
  Button(form, "SearchButt")->click();
  ASSERT_TRUE(WaitFor([&] { return finished.has_value(); }));

  EXPECT_EQ(finished->outcome, FirmwareResult::Cancelled);
  const std::string& received = window->Link().VirtualUnitFirmware();
  EXPECT_GE(received.size(), 2u * kFirmwareBlock);
  EXPECT_LT(received.size(), image.size() / 2);
  EXPECT_EQ(image.compare(0, received.size(), received), 0) << "what went out is the file's start";
  EXPECT_TRUE(WaitFor([&] { return Closed(open); }));
  EXPECT_FALSE(window->Link().Busy());
  EXPECT_TRUE(Connect()) << "the port was closed and the unit is back in its firmware";
}

TEST_F(FirmwareFormTest, AMissingProgressMarkShowsTheCommunicationErrorAndAllowsAnotherTry) {
  UnitLinkOptions options = Unpaced();
  options.virtualBootLoaderFaults.noProgressMarkAt = 2;
  Make(options);
  FirmwareForm* form = OpenForm();
  ASSERT_NE(form, nullptr);
  const QString path = Write(HexImage(40));
  form->chooseFile = [&] { return path; };
  Button(form, "SearchButt")->click();
  ASSERT_TRUE(WaitFor([&] { return finished.has_value(); }));

  EXPECT_EQ(finished->outcome, FirmwareResult::CommunicationError);
  EXPECT_EQ(finished->failedCheck, 2);
  EXPECT_TRUE(Text(form, "FirmLabel").startsWith(QStringLiteral("Communication error!!!")))
      << Text(form, "FirmLabel").toStdString();
  EXPECT_EQ(Button(form, "CancelButt")->text(), QStringLiteral("Cancel"));
  EXPECT_TRUE(Button(form, "SearchButt")->isEnabled());
  EXPECT_FALSE(form->Uploading());
  form->close();
}

TEST_F(FirmwareFormTest, AFileThatCannotBeReadIsReportedAndNothingIsSent) {
  Make(Unpaced());
  FirmwareForm* form = OpenForm();
  ASSERT_NE(form, nullptr);
  struct Case {
    QString path;
    bool message;
  };
  const Case cases[] = {
      {QString(), false},  // the dialog was cancelled
      {dir.filePath(QStringLiteral("missing.hex")), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    form->chooseFile = [&] { return c.path; };
    SeenBox seen;
    if (c.message) AnswerNextBox(seen);
    Button(form, "SearchButt")->click();
    EXPECT_EQ(seen.seen, c.message);
    if (c.message) {
      EXPECT_TRUE(seen.text.contains(c.path)) << seen.text.toStdString();
      EXPECT_EQ(seen.icon, QMessageBox::Warning);
    }
    EXPECT_FALSE(form->Uploading());
    EXPECT_FALSE(window->Link().Busy());
    EXPECT_TRUE(Button(form, "SearchButt")->isEnabled());
    EXPECT_EQ(Text(form, "FirmLabel"), QStringLiteral("Select firmware file"));
  }
  EXPECT_TRUE(statuses.empty()) << "nothing was sent";
  form->close();
}

// The window opens its port when it opens: a port that cannot be opened is told at once,
// before any file is chosen, and the window stays ready for another try.
TEST_F(FirmwareFormTest, ThePortIsOpenedWhenTheWindowOpensAndAFailureIsToldAtOnce) {
  Make(Unpaced());
  std::vector<QString> opened;
  QObject::connect(&window->Link(), &UnitLink::PortForUploadOpened,
                   [&opened](const QString& error) { opened.push_back(error); });
  struct Case {
    QString port;  // typed in Puerto; empty: the virtual unit
    bool fails;
  };
  const Case cases[] = {
      {QString(), false},
      {dir.filePath(QStringLiteral("no-such-port")), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port.toStdString());
    if (!c.port.isEmpty()) general->Connection().Puerto()->setEditText(c.port);
    opened.clear();
    SeenBox seen;
    if (c.fails) AnswerNextBox(seen);
    int asked = 0;
    FirmwareForm* form = OpenForm();
    ASSERT_NE(form, nullptr);
    form->chooseFile = [&] {
      ++asked;
      return QString();
    };
    ASSERT_EQ(opened.size(), 1u) << "opened with the window";
    EXPECT_EQ(opened.front().isEmpty(), !c.fails);
    EXPECT_EQ(seen.seen, c.fails);
    if (c.fails) {
      EXPECT_EQ(seen.icon, QMessageBox::Warning);
      EXPECT_EQ(seen.text, opened.front());
      EXPECT_FALSE(seen.text.isEmpty());
    }
    EXPECT_EQ(asked, 0) << "told before any file is chosen";
    EXPECT_TRUE(Button(form, "SearchButt")->isEnabled());
    QPointer<FirmwareForm> open(form);
    form->close();
    EXPECT_TRUE(WaitFor([&] { return Closed(open) && !window->Link().Busy(); }));
  }
  // The virtual unit's port was closed with the window: it connects again.
  general->Connection().Puerto()->setCurrentIndex(general->Connection().Puerto()->findText(UnitLink::VirtualUnitName()));
  EXPECT_TRUE(Connect());
  // Closed while its port is being opened (and the connection ended): the port is
  // closed after the opening, and the unit connects again.
  for (bool connected : {true, false}) {
    SCOPED_TRACE(connected ? "while the connection ends" : "while the port opens");
    if (!connected) general->Connection().IniComClick();  // stop
    EXPECT_TRUE(WaitFor([&] { return !window->Link().Busy() && general->Connection().Connected() == connected; }));
    window->Action(QStringLiteral("Firmware"))->trigger();
    EXPECT_TRUE(window->Link().Busy());
    for (FirmwareForm* f : window->findChildren<FirmwareForm*>()) {
      if (f->isVisible()) f->close();
    }
    EXPECT_TRUE(WaitFor([&] { return !window->Link().Busy() && !general->Connection().Connected(); }));
    EXPECT_TRUE(Connect());
  }
}

// FirmLabel is spoken with what it says, and each new status is announced.
TEST_F(FirmwareFormTest, TheStatusIsSpokenWithItsText) {
  std::vector<QObject*> named;
  static std::vector<QObject*>* seen = nullptr;
  seen = &named;
  QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
    if (seen && event->type() == QAccessible::NameChanged) seen->push_back(event->object());
  });
  QAccessible::setActive(true);
  Make(Unpaced());
  FirmwareForm* form = OpenForm();
  ASSERT_NE(form, nullptr);
  auto* label = form->findChild<QLabel*>(QStringLiteral("FirmLabel"));
  auto spoken = [label] { return QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name); };
  EXPECT_EQ(spoken(), QStringLiteral("Select firmware file"));
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Description).isEmpty());
  const QString path = Write(HexImage(3));
  form->chooseFile = [&] { return path; };
  named.clear();
  Button(form, "SearchButt")->click();
  ASSERT_TRUE(WaitFor([&] { return finished.has_value(); }));
  EXPECT_EQ(spoken(), QStringLiteral("Firmware successfully upgraded"));
  // Only an active accessibility bridge (a desktop session) hears announcements.
  if (QAccessible::isActive()) {
    EXPECT_GE(std::count(named.begin(), named.end(), label), 4) << "every status of the upload announced";
  }
  seen = nullptr;
  QAccessible::installUpdateHandler(nullptr);
  QAccessible::setActive(false);
  form->close();
}

TEST_F(FirmwareFormTest, TextsAreInTheLanguageOfEachOpening) {
  Make(Unpaced());
  struct Case {
    Lang lang;
    const char* title;
    const char* label;
    const char* search;
    const char* cancel;
    const char* status;
    const char* png;
  };
  const Case cases[] = {
      {Lang::Spanish, "Actualización de Firmware", "Archivo:", "Buscar", "Cancelar", "Seleccione archivo",
       "firmware_form_es.png"},
      {Lang::English, "Firmware Upgrade", "File:", "Search", "Cancel", "Select firmware file",
       "firmware_form_en.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    SetCurrentLang(c.lang);
    FirmwareForm* form = OpenForm();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(Text(form, "Label1"), QString::fromUtf8(c.label));
    EXPECT_EQ(Button(form, "SearchButt")->text(), QString::fromUtf8(c.search));
    EXPECT_EQ(Button(form, "CancelButt")->text(), QString::fromUtf8(c.cancel));
    EXPECT_EQ(Text(form, "FirmLabel"), QString::fromUtf8(c.status));
    QString spoken = QString::fromUtf8(c.label);
    spoken.chop(1);
    EXPECT_EQ(form->findChild<QLineEdit*>(QStringLiteral("FileText"))->accessibleName(), spoken);
    EXPECT_EQ(Button(form, "SearchButt")->accessibleName(), QString::fromUtf8(c.search));
    // ZDL_SCREENSHOTS=folder keeps a picture of the window for a look.
    if (const char* shots = std::getenv("ZDL_SCREENSHOTS")) {
      form->findChild<QProgressBar*>(QStringLiteral("PBar1"))->setValue(1);
      form->grab().save(QString::fromLocal8Bit(shots) + QLatin1Char('/') + QString::fromLatin1(c.png));
    }
    QPointer<FirmwareForm> open(form);
    form->reject();  // Esc
    EXPECT_TRUE(WaitFor([&] { return Closed(open); }));
  }
}

}  // namespace
}  // namespace zdl::ui
