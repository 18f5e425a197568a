// The windows driving the unit: one whole path against the built-in virtual unit, then
// what only the windows show: their enabling, the boxes and the status line in the
// current language, the focus after a failed check, cancel and close at every step, the
// carrier watch and the trace.
#include <pty.h>
#include <unistd.h>

#include <QDateTime>

#include "compare/comparison.h"
#include "report/configuration_report.h"
#include "tests/gui/gui_support.h"
#include "ui/app/compare_window.h"
#include "ui/app/edit_menu.h"
#include "ui/app/trace_dock.h"
#include "text/extra_texts.h"

namespace zdl::ui {
namespace {

using namespace testing;

using ConnectionWindowTest = WindowTest;

const QString kVirtual = UnitLink::VirtualUnitName();

// A pseudo-terminal where nothing answers.
struct SilentLine {
  SilentLine() { EXPECT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0); }
  ~SilentLine() {
    close(slave);
    close(master);
  }
  int master = -1, slave = -1;
  char name[256] = {};
};

// Only the owner may read or write (and enter a folder).
QFile::Permissions OthersAndGroup(const QString& path) {
  return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

// The path a user takes, end to end: connect, read, edit, write with a backup first and a
// verify after, compare with the unit, then a firmware upload that ends the connection
// first; the unit keeps the written configuration throughout, and the report claims the
// verified write while the editors hold what was written. While each exchange runs
// only Cancel acts: the write's boxes, Undo and a dropped file are refused (the refusal
// told in the current language), and a read, a write or a comparison also locks the other
// editors; all of it is back once the exchange has ended.
TEST_F(ConnectionWindowTest, ConnectReadWriteWithBackupAndVerifyCompareAndUploadFirmware) {
  Open();
  const ConfigurationRecord unit = FullRecord();
  Answerer answers(QMessageBox::Yes);
  ConfigurationRecord dropped = unit;
  dropped.General.NOMBRE = "Soltado";
  const QString file = SaveFile(dropped, "dropped.ncf");
  const QString caption = window->windowTitle();
  EditMenu& edits = window->Edits();
  Get<QComboBox>("MacroInicio")->setCurrentIndex(3);  // a step to take back
  const auto exchange = [&](bool locks, const std::function<void()>& start) {
    window->statusBar()->clearMessage();
    const ConfigurationRecord before = window->Record();
    start();
    ASSERT_TRUE(Panel().ExchangeRunning());
    EXPECT_FALSE(Panel().BackUpFirst()->isEnabled() || Panel().VerifyAfterWriting()->isEnabled());
    EXPECT_EQ(window->Editor(EditorId::Macros)->isEnabled(), !locks);
    EXPECT_FALSE(edits.UndoAction()->isEnabled() || edits.RedoAction()->isEnabled());
    edits.Undo();
    EXPECT_EQ(window->Record(), before);
    EXPECT_FALSE(DragAndDrop(*window, file));
    EXPECT_EQ(window->statusBar()->currentMessage(), T(ExtraText::NoOpenDuringExchange));
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(Panel().BackUpFirst()->isEnabled() && Panel().VerifyAfterWriting()->isEnabled());
    EXPECT_TRUE(window->Editor(EditorId::Macros)->isEnabled());
    EXPECT_TRUE(edits.UndoAction()->isEnabled());
    EXPECT_EQ(window->windowTitle(), caption);
  };

  exchange(false, [&] { BeginOn(kVirtual); });
  ASSERT_TRUE(Panel().Connected());
  EXPECT_EQ(Get<QPushButton>("IniCom")->text(), T(TextId::StopCommunication));
  EXPECT_EQ(Status(), T(TextId::CommunicationStarted));
  EXPECT_TRUE(Get<QPushButton>("Leer")->isEnabled());
  EXPECT_FALSE(Get<QComboBox>("Puerto")->isEnabled());
  EXPECT_FALSE(Get<QLineEdit>("FirmText")->text().isEmpty());
  EXPECT_GT(ExpectTextsFollowLanguage(window.get(), Lang::Spanish, [&] { SwitchTo(Lang::Spanish); }), 100)
      << "the connected state's captions too";
  // The report the window would print now, and whether it has the verified line's words.
  const auto report = [this] {
    return ReportHtml(window->Record(), window->ReportFactsNow(), Lang::Spanish);
  };
  const QString verified = QString::fromUtf8(ExtraTextIn(Lang::Spanish, ExtraText::ReportVerified))
                               .section(QStringLiteral("%1"), 0, 0);
  EXPECT_TRUE(report().contains(Get<QLineEdit>("FirmText")->text().toHtmlEscaped())) << "the unit's firmware";
  EXPECT_FALSE(report().contains(verified));

  exchange(true, [&] { Panel().LeerClick(); });
  EXPECT_EQ(Status(), T(TextId::ConfigurationRead));
  EXPECT_TRUE(CompareWithUnit(unit, window->Record()).empty());
  EXPECT_EQ(Get<QLineEdit>("NameBox")->text().toStdString(), Cp1252ToUtf8(unit.General.NOMBRE));

  window->Record().General.NOMBRE = "Nuevo nombre";
  window->RefreshEditors();
  Panel().BackUpFirst()->setChecked(true);
  Panel().VerifyAfterWriting()->setChecked(true);
  exchange(true, [&] { Panel().EscribirClick(); });
  const QDir backups(ConnectionPanel::BackupFolder());
  const QStringList files = backups.entryList({QStringLiteral("*.ncf")}, QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_EQ(OthersAndGroup(backups.absolutePath()), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  // Named by date, time ("yyyy-MM-dd_HH-mm-ss_") and the unit's name before the write.
  EXPECT_EQ(files.front().mid(20),
            ConnectionPanel::BackupFileName(unit, QDateTime::currentDateTime()).mid(20));
  EXPECT_TRUE(Status().contains(QDir::toNativeSeparators(backups.filePath(files.front()))))
      << Status().toStdString();
  EXPECT_TRUE(Status().contains(T(ExtraText::Verified))) << Status().toStdString();
  EXPECT_TRUE(report().contains(verified));

  // The comparison reads into a copy: the editors keep their record.
  window->Record().General.NOMBRE = "Otro";
  window->RefreshEditors();
  EXPECT_FALSE(report().contains(verified)) << "changed since";
  exchange(true, [&] { ASSERT_TRUE(Panel().CompareWithUnit()); });
  EXPECT_EQ(window->Record().General.NOMBRE, "Otro");
  ASSERT_TRUE(window->Comparison()->isVisible());
  ASSERT_EQ(window->Comparison()->Differences().size(), 1u);
  EXPECT_EQ(window->Comparison()->Differences().front().key, "NOMBRE");
  window->Comparison()->close();

  // The firmware window ends the connection first, then sends the file unchanged; a second
  // upload cannot start while the first runs.
  QPointer<FirmwareForm> form = OpenFirmwareForm();
  ASSERT_TRUE(form);
  EXPECT_TRUE(form->isModal()) << "no connection can start while the window is open";
  EXPECT_FALSE(Panel().Connected());
  EXPECT_EQ(Status(), T(TextId::CommunicationNotStarted));
  EXPECT_TRUE(Get<QLineEdit>("FirmText")->text().isEmpty());
  const std::string image = HexImage(40);  // 6 full blocks and a part of one
  const QString path = WriteFile("firmware.hex", image);
  int asked = 0;
  form->chooseFile = [&] { return ++asked, path; };
  auto* search = Find<QPushButton>(form, QStringLiteral("SearchButt"));
  std::optional<bool> searchEnabledWhileSending;
  bool finished = false;
  QObject::connect(&window->Link(), &UnitLink::UploadProgress, [&] {
    if (searchEnabledWhileSending) return;
    searchEnabledWhileSending = search->isEnabled();
    form->SearchButtClick();
  });
  QObject::connect(&window->Link(), &UnitLink::UploadFinished, [&] { finished = true; });
  search->click();
  EXPECT_TRUE(form->Uploading());
  ASSERT_TRUE(WaitFor([&] { return finished; }));
  EXPECT_EQ(window->Link().VirtualUnitFirmware(), image) << "byte for byte, line ends included";
  EXPECT_EQ(searchEnabledWhileSending, false);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Find<QLabel>(form, QStringLiteral("FirmLabel"))->text(), T(TextId::FirmwareUpgraded));
  EXPECT_EQ(Find<QProgressBar>(form, QStringLiteral("PBar1"))->value(), static_cast<int>(image.size()));
  auto* close = Find<QPushButton>(form, QStringLiteral("CancelButt"));
  EXPECT_EQ(close->text(), T(TextId::Close));
  close->click();
  ASSERT_TRUE(WaitFor([&] { return form.isNull() || !form->isVisible(); }));

  // The port was closed with the window: the unit is back and holds what was written. Idle
  // again, a dropped file is opened.
  ASSERT_TRUE(Connect());
  exchange(true, [&] { Panel().LeerClick(); });
  EXPECT_EQ(Get<QLineEdit>("NameBox")->text(), QStringLiteral("Nuevo nombre"));
  EXPECT_TRUE(DragAndDrop(*window, file));
  EXPECT_EQ(window->Record().General.NOMBRE, "Soltado");
  EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join(QLatin1Char('|')).toStdString();
}

// Every failed start tells why in a box, leaves the controls not connected and the port
// closed, as the trace shows (which it saves for the owner alone).
TEST_F(ConnectionWindowTest, AFailedStartTellsWhyAndLeavesThePortClosed) {
  Open();
  window->Trace()->show();
  struct Case {
    const char* name;
    QString port;
    bool modem;
    QString number;
    QString text;  // empty: the system's description, naming the port
    bool opened;
  };
  const Case cases[] = {
      {"a number with a letter", kVirtual, true, QStringLiteral("55a"), T(TextId::EnterValidPhoneNumber),
       false},
      {"three refusals", kVirtual, true, QStringLiteral("555"), T(TextId::BadPassword), true},
      {"no such device", QStringLiteral("/nonexistent/ttyUSB9"), false, {}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window->Trace()->Clear();
    Answerer answers;
    ASSERT_TRUE(StartOn(c.port, c.modem, c.number));
    ASSERT_EQ(answers.texts.size(), 1);
    if (c.text.isEmpty()) {
      EXPECT_TRUE(answers.texts[0].contains(c.port)) << answers.texts[0].toStdString();
    } else {
      EXPECT_EQ(answers.texts[0], c.text);
    }
    const QString trace = window->Trace()->Text();
    EXPECT_EQ(trace.contains(QStringLiteral("9600,N,8,1")), c.opened) << trace.toStdString();
    EXPECT_EQ(trace.contains(QStringLiteral("-- close")), c.opened) << "closed again";
    const QString saved = temp.filePath(QStringLiteral("trace.txt"));
    ASSERT_TRUE(window->Trace()->SaveTo(saved));
    EXPECT_EQ(OthersAndGroup(saved), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(Panel().Connected());
    EXPECT_EQ(Get<QPushButton>("IniCom")->text(), T(TextId::StartCommunication));
    EXPECT_TRUE(Get<QPushButton>("IniCom")->isEnabled());
    EXPECT_TRUE(Get<QComboBox>("Puerto")->isEnabled());
    EXPECT_FALSE(Get<QPushButton>("Leer")->isEnabled());
  }
}

// Escribir checks first: a bad number stops it with one box and the focus on its control
// (in an editor not in front); nothing is sent. Without a priority number it asks, and
// only Yes writes. (Every text the checks refuse: the checks' own tests.)
TEST_F(ConnectionWindowTest, TheChecksBeforeAWriteFocusTheBadControlAndTheQuestionGuardsIt) {
  Open();
  ASSERT_TRUE(Connect());
  ConfigurationRecord good;
  MakeWritable(good);
  good.SetDigitalMode(6, ModeNormallyOpen);
  good.Digital[6].CICLOS = true;
  good.Digital[6].CVAL = "10";
  ConfigurationRecord bad = good;
  bad.Digital[6].CVAL = "abc";
  SetEditors(bad);
  window->BringToFront(EditorId::Macros);
  {
    Answerer answers;
    Panel().EscribirClick();
    EXPECT_FALSE(Panel().ExchangeRunning()) << "nothing sent";
    EXPECT_EQ(answers.texts, QStringList{T(TextId::IncorrectNumber)});
  }
  EXPECT_EQ(Front(), window->SubWindow(EditorId::Alarmas2));
  EXPECT_EQ(window->focusWidget(),
            Find<QWidget>(window->Editor(EditorId::Alarmas2), QStringLiteral("CVal_2")));
  EXPECT_EQ(window->Record(), bad) << "showing the record changed nothing in it";
  good.ListaTlf.clear();  // no priority number
  SetEditors(good);
  for (QMessageBox::StandardButton answer : {QMessageBox::NoButton, QMessageBox::Yes}) {  // Enter, then Yes
    Answerer answers(answer);
    Panel().EscribirClick();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(answers.questions.size(), 1);
    EXPECT_EQ(Received("#03"), answer == QMessageBox::Yes);
  }
  EXPECT_EQ(Status(), T(TextId::ConfigurationWritten));
}

// Through a modem (after a login) the carrier watch ends the connection, idle or in a read, with one box;
// a failed read leaves the editors as they were.
TEST_F(ConnectionWindowTest, TheCarrierWatchStopsAModemConnection) {
  Open(VirtualUnit(true));  // a part of the unit's configuration read differs from the editors'
  Answerer answers;

  // A password that is not a number is refused by the prompt and is not a try.
  const QString password = QString::fromStdString(UnitLink::VirtualUnitPassword());
  answers.passwords = {QStringLiteral("12a"), QStringLiteral("999"), QStringLiteral("888"), password};
  ASSERT_TRUE(StartOn(kVirtual, true, QStringLiteral("555")));
  ASSERT_TRUE(Panel().Connected());
  EXPECT_EQ(answers.texts, QStringList{T(TextId::NotValidPassword)});
  answers.texts.clear();
  window->Link().DropVirtualUnitCarrier();
  ASSERT_TRUE(WaitFor([this] { return !Panel().Connected(); }));
  Settle(600);  // more turns of the watch
  EXPECT_EQ(answers.texts, QStringList{T(TextId::ModemConnectionLost)});
  EXPECT_EQ(Status(), T(TextId::CommunicationNotStarted));
  EXPECT_FALSE(Get<QPushButton>("Leer")->isEnabled());

  answers.passwords = {password};
  ASSERT_TRUE(StartOn(kVirtual, true, QStringLiteral("555")));
  const ConfigurationRecord before = window->Record();
  Panel().LeerClick();
  ASSERT_TRUE(WaitFor([this] { return Get<QProgressBar>("PBar")->value() > 5; }));
  window->Link().DropVirtualUnitCarrier();
  ASSERT_TRUE(WaitFor([this] { return !Panel().ExchangeRunning() && !Panel().Connected(); }));
  EXPECT_EQ(answers.texts.count(T(TextId::ModemConnectionLost)), 2);
  EXPECT_EQ(window->Record(), before) << "a failed read leaves the editors as they were";
}

// A cancel ends at once, without a question or a box: in the dial, before a write's first
// line ("#00" is still being asked), in the backup's read before a write and the verify's
// after it, and in the wait for "#SAVE_OK" (the unit holds the whole configuration). Only
// the dial's cancel ends the connection.
TEST_F(ConnectionWindowTest, ACancelWithoutAQuestionEndsTheExchangeAtOnce) {
  SilentLine silent;
  struct Case {
    const char* name;
    bool backup, verify;
    int saveTime;                   // ms; the unit is paced unless it saves slowly
    std::function<bool()> reached;  // the moment of the cancel
    const char* sent;               // a line the unit received, if any
    const char* unsent;             // a line it did not, if any
    QString status;
  };
  const auto reading = [this] { return Get<QProgressBar>("PBar")->value() > 5; };
  const Case cases[] = {
      {"dial", false, false, 0, [this] { return Status() == T(TextId::Calling); }, nullptr, nullptr,
       T(TextId::CommunicationNotStarted)},
      {"before the first line", false, false, 0, [] { return true; }, nullptr, "#01LDDEF",
       T(TextId::CommunicationError)},
      {"backup", true, false, 0, reading, "#02", "#01LDDEF", T(TextId::CommunicationError)},
      {"verify", false, true, 0, [this] { return Status() == T(TextId::ReadingConfiguration); }, "#03",
       nullptr, T(ExtraText::VerifyReadFailed)},
      {"save", false, false, 20000, [this] { return Status() == T(TextId::SavingOnEeprom); }, "#03", nullptr,
       T(TextId::CommunicationError)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnitLinkOptions options = VirtualUnit(c.saveTime == 0);
    options.virtualSaveTime = Millis(c.saveTime);
    Open(options);
    Answerer answers(QMessageBox::Yes);
    const bool dial = std::string_view(c.name) == "dial";
    if (dial) {
      BeginOn(QString::fromLatin1(silent.name), true, QStringLiteral("555"));
    } else {
      ASSERT_TRUE(Connect());
      MakeWritable(window->Record());
      Panel().BackUpFirst()->setChecked(c.backup);
      Panel().VerifyAfterWriting()->setChecked(c.verify);
      Panel().EscribirClick();
    }
    ASSERT_TRUE(WaitFor(c.reached));
    EXPECT_TRUE(Get<QPushButton>("CancelCom")->isEnabled());
    EXPECT_TRUE(Panel().CancelExchange());
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Panel().Connected(), !dial);
    EXPECT_EQ(Status(), c.status);
    EXPECT_TRUE(answers.icons.isEmpty());
    EXPECT_TRUE(!c.sent || Received(c.sent));
    EXPECT_TRUE(!c.unsent || !Received(c.unsent));
  }
}

// After the first line, a cancel or a close of the window asks (in the current language);
// Enter (No, the default) lets the write end whole, Yes stops it, and a stopped write says
// the unit holds an incomplete configuration. Left unanswered, the question is withdrawn
// once the unit has acknowledged "#03" (its premise no longer holds; the write goes on to
// its end) or the write has failed. (A guard answers Yes after 30 s, which the test sees.)
TEST_F(ConnectionWindowTest, AfterTheFirstLineACancelOrACloseAsksAndOnlyYesStopsTheWrite) {
  enum Answer { Enter, Yes, Nobody };
  struct Case {
    const char* name;
    bool close;
    Answer answer;
    Lang lang;
    bool fails;  // the unit falls silent a few lines into the write
  };
  const Case cases[] = {{"cancel, Enter", false, Enter, Lang::English, false},
                        {"cancel, Yes", false, Yes, Lang::Spanish, false},
                        {"close, Enter", true, Enter, Lang::Spanish, false},
                        {"close, Yes", true, Yes, Lang::English, false},
                        {"nobody, whole", false, Nobody, Lang::English, false},
                        {"nobody, fails", false, Nobody, Lang::English, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetCurrentLang(c.lang);
    UnitLinkOptions options = VirtualUnit(true);
    if (c.fails) options.virtualFaults.silentAfter = 12;
    Open(options);
    ASSERT_TRUE(Connect());
    MakeWritable(window->Record());
    Panel().EscribirClick();
    ASSERT_TRUE(WaitFor([this] { return Get<QProgressBar>("PBar")->value() >= 1; }));  // "#01LDDEF" taken
    Answerer answers(c.answer == Yes ? QMessageBox::Yes : QMessageBox::NoButton);
    if (c.answer == Nobody) answers.leaveOpen = QStringLiteral("StopWriteQuestion");
    bool forced = false;
    QTimer::singleShot(30000, window.get(), [&forced] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        forced = true;
        box->button(QMessageBox::Yes)->click();
      }
    });
    const bool stops = c.answer == Yes || c.fails;
    EXPECT_EQ(c.close ? window->close() : Panel().CancelExchange(), stops);  // Nobody: once whole or failed
    EXPECT_FALSE(forced);
    ASSERT_EQ(answers.questions.size(), c.answer == Nobody ? 0 : 1);
    if (c.answer != Nobody) {
      EXPECT_EQ(answers.icons.value(0), QMessageBox::Warning);
      EXPECT_TRUE(answers.questions[0].contains(c.lang == Lang::Spanish
                                                    ? QStringLiteral("¿Detener la escritura?")
                                                    : QStringLiteral("keep only part")));
    }
    EXPECT_EQ(window->isVisible(), !(c.close && stops));
    ASSERT_TRUE(Idle());  // a hidden window's link still runs: see what the unit got
    EXPECT_EQ(Received("#03"), !stops);
    if (c.close && stops) continue;
    EXPECT_TRUE(Panel().Connected());
    if (!stops) {
      EXPECT_EQ(Status(), T(TextId::ConfigurationWritten));
      EXPECT_TRUE(answers.texts.isEmpty());
    } else if (c.fails) {
      EXPECT_EQ(Status(), T(TextId::CommunicationError));
      EXPECT_EQ(answers.texts, QStringList{T(TextId::CommunicationErrorCheckConnections)});
    } else {
      EXPECT_EQ(Status(), T(ExtraText::WriteStoppedStatus));
      ASSERT_EQ(answers.texts.size(), 1);
      EXPECT_TRUE(answers.texts[0].contains(T(ExtraText::WriteStoppedMessage)))
          << answers.texts[0].toStdString();
      EXPECT_EQ(Get<QProgressBar>("PBar")->value(), 0);
      SwitchTo(Lang::English);  // the status follows the language
      EXPECT_EQ(Status(), T(ExtraText::WriteStoppedStatus));
    }
  }
}

}  // namespace
}  // namespace zdl::ui
