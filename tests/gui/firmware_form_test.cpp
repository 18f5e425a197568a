// The Firmware window against the built-in virtual unit (its whole upload is part of the
// windows' end-to-end test): a cancel in the middle of the transfer, what a failed upload
// shows, the port it opens with itself, and its text in the language of each opening.
#include "ui/app/firmware_form.h"

#include "firmware/firmware_upload.h"
#include "tests/gui/gui_support.h"

namespace zdl::ui {
namespace {

using namespace testing;

class FirmwareFormTest : public WindowTest {
 protected:
  void Make(const UnitLinkOptions& options = VirtualUnit()) {
    Open(options);
    ChoosePort(UnitLink::VirtualUnitName());
    QObject::connect(&window->Link(), &UnitLink::UploadFinished,
                     [this](const FirmwareResult& result, const QString&) { finished = result; });
  }
  static QPushButton* Button(FirmwareForm* form, const char* name) {
    return Find<QPushButton>(form, QString::fromLatin1(name));
  }
  static QString Label(FirmwareForm* form) { return Find<QLabel>(form, QStringLiteral("FirmLabel"))->text(); }
  // Closed, whether or not its deletion has come yet.
  static bool Closed(const QPointer<FirmwareForm>& form) { return form.isNull() || !form->isVisible(); }

  std::optional<FirmwareResult> finished;
};

// A cancel in the middle of the transfer ends the upload and closes the window and the
// port. A failed upload (a missing progress mark) shows the communication error, never
// success, and the window is ready for another try.
TEST_F(FirmwareFormTest, ACancelledUploadClosesTheWindowAndAFailedOneIsTold) {
  for (bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancel" : "failure");
    UnitLinkOptions options = VirtualUnit(cancel);  // paced: 9600 baud, the file takes about 25 s
    if (!cancel) options.virtualBootLoaderFaults.noProgressMarkAt = 2;
    Make(options);
    finished.reset();
    QPointer<FirmwareForm> form = OpenFirmwareForm();
    ASSERT_TRUE(form);
    const QString path = WriteFile("firmware.hex", HexImage(cancel ? 520 : 40));
    form->chooseFile = [&] { return path; };
    QObject::connect(&window->Link(), &UnitLink::UploadProgress, [&](qint64 sent, qint64) {
      if (!cancel || !form || !form->isVisible() || sent < 2 * kFirmwareBlock) return;
      Button(form, "CancelButt")->click();
    });
    Button(form, "SearchButt")->click();
    ASSERT_TRUE(WaitFor([&] { return finished.has_value(); }));
    if (cancel) {
      EXPECT_EQ(finished->outcome, FirmwareResult::Cancelled);
      EXPECT_TRUE(WaitFor([&] { return Closed(form); }));
      EXPECT_FALSE(window->Link().Busy());
      EXPECT_TRUE(Connect()) << "the port was closed and the unit is back in its firmware";
      continue;
    }
    EXPECT_TRUE(Label(form).startsWith(T(TextId::CommunicationErrorAlert))) << Label(form).toStdString();
    EXPECT_EQ(Button(form, "CancelButt")->text(), T(TextId::CancelUpload));
    EXPECT_TRUE(Button(form, "SearchButt")->isEnabled());
    EXPECT_FALSE(form->Uploading());
    form->close();
  }
}

// The window opens its port when it opens: a port that cannot be opened is told at once,
// before any file is chosen. Its texts are in the language of each opening. Closed while
// its port is being opened (and a connection ended), the port is closed after the
// opening and the unit connects again.
TEST_F(FirmwareFormTest, ThePortIsOpenedWithTheWindowAndClosedWithIt) {
  Make();
  std::vector<QString> opened;
  QObject::connect(&window->Link(), &UnitLink::PortForUploadOpened,
                   [&opened](const QString& error) { opened.push_back(error); });
  for (const QString& port : {UnitLink::VirtualUnitName(), temp.filePath(QStringLiteral("no-such-port"))}) {
    SCOPED_TRACE(port.toStdString());
    const bool fails = port != UnitLink::VirtualUnitName();
    SetCurrentLang(fails ? Lang::English : Lang::Spanish);
    ChoosePort(port);
    opened.clear();
    Answerer answers;
    QPointer<FirmwareForm> form = OpenFirmwareForm();
    ASSERT_TRUE(form);
    ASSERT_EQ(opened.size(), 1u) << "opened with the window";
    EXPECT_EQ(opened.front().isEmpty(), !fails);
    EXPECT_EQ(answers.texts, fails ? QStringList{opened.front()} : QStringList{});
    EXPECT_TRUE(Button(form, "SearchButt")->isEnabled());
    EXPECT_EQ(Label(form), T(TextId::SelectFirmwareFile));
    form->reject();  // Esc
    EXPECT_TRUE(WaitFor([&] { return Closed(form) && !window->Link().Busy(); }));
  }
  ChoosePort(UnitLink::VirtualUnitName());
  ASSERT_TRUE(Connect());
  for (bool connected : {true, false}) {
    SCOPED_TRACE(connected ? "while the connection ends" : "while the port opens");
    if (!connected) Panel().IniComClick();  // stop
    EXPECT_TRUE(WaitFor([&] { return !window->Link().Busy() && Panel().Connected() == connected; }));
    window->Action(QStringLiteral("Firmware"))->trigger();
    EXPECT_TRUE(window->Link().Busy());
    for (FirmwareForm* f : window->findChildren<FirmwareForm*>()) {
      if (f->isVisible()) f->close();
    }
    EXPECT_TRUE(WaitFor([&] { return !window->Link().Busy() && !Panel().Connected(); }));
    EXPECT_TRUE(Connect());
  }
}

}  // namespace
}  // namespace zdl::ui
