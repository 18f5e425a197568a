// The windows driving the unit: the General editor's connection controls against the
// built-in virtual unit (unpaced unless a test must act in the middle of an exchange)
// and against a silent pseudo-terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QPushButton>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "configfile/config_file.h"
#include "model/text_codec.h"
#include "tests/gui/gui_support.h"
#include "tests/support/sample_record.h"
#include "ui/app/connection_panel.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/password_form.h"
#include "ui/app/trace_dock.h"
#include "ui/app/unit_link.h"

namespace zdl::ui {
namespace {

// Lets the event loop run (without spinning) until `done` holds or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Answers every modal box while it lives: message boxes with `answer` (recording their
// texts), the password prompt with the next password of the queue (cancel when none).
class Answerer {
 public:
  explicit Answerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  std::deque<QString> passwords;
  QStringList texts;
  QStringList questions;
  QMessageBox::StandardButton answer_;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      (box->standardButtons() & QMessageBox::Yes ? questions : texts) << box->text();
      if (QAbstractButton* b = box->button(answer_)) {
        b->click();
      } else if (box->button(QMessageBox::Ok)) {
        box->button(QMessageBox::Ok)->click();
      } else {
        box->button(QMessageBox::No)->click();
      }
    } else if (auto* form = qobject_cast<PasswordForm*>(modal)) {
      if (passwords.empty()) {
        form->reject();
        return;
      }
      if (form->property("answered").toString() == passwords.front()) return;  // click pending
      form->findChild<QLineEdit*>(QStringLiteral("PWText"))->setText(passwords.front());
      form->setProperty("answered", passwords.front());
      passwords.pop_front();
      // Clicked once this poll has returned: the click may open a box of its own, and a
      // timer's slot is not run again while it is still running.
      QMetaObject::invokeMethod(form->findChild<QPushButton*>(QStringLiteral("Aceptar")), "click",
                                Qt::QueuedConnection);
    }
  }
  QTimer timer_;
};

// The virtual unit answering as fast as it can, unless a test needs the real pace.
UnitLinkOptions Unit(bool paced = false) {
  UnitLinkOptions options;
  options.pacedVirtualUnit = paced;
  return options;
}

// The numbers a write needs (a fresh record has none).
void MakeWritable(ConfigurationRecord& r) {
  r.General.SMSC = "+34609090909";
  r.General.PTLF = "600111222";
  r.CSMCheck();
}

class ConnectionWindowTest : public ::testing::Test {
 protected:
  void Open(const UnitLinkOptions& options = Unit()) {
    SetCurrentLang(Lang::English);
    window = std::make_unique<MainWindow>(options);
    general = window->General();
    window->show();
    QApplication::setActiveWindow(window.get());
  }
  void ChoosePort(const QString& name) {
    auto* port = Get<QComboBox>("Puerto");
    const int item = port->findText(name);
    if (item >= 0) {
      port->setCurrentIndex(item);
    } else {
      port->setEditText(name);
    }
  }
  bool StartOn(const QString& port, bool modem = false, const QString& number = {}) {
    ChoosePort(port);
    Get<QCheckBox>("ModemCheck")->setChecked(modem);
    Get<QLineEdit>("CallNum")->setText(number);
    general->Connection().IniComClick();
    return WaitFor([this] { return !general->Connection().ExchangeRunning(); });
  }
  bool Idle() { return WaitFor([this] { return !general->Connection().ExchangeRunning(); }); }
  template <class W>
  W* Get(const char* name) {
    W* w = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString Status() { return Get<QLabel>("ProgStat")->text(); }

  std::unique_ptr<MainWindow> window;
  GeneralEditor* general = nullptr;
};

const QString kVirtual = UnitLink::VirtualUnitName();

TEST_F(ConnectionWindowTest, DirectStartThenStopShowBothStates) {
  Open();
  Answerer answers;
  ASSERT_TRUE(StartOn(kVirtual));
  EXPECT_TRUE(general->Connection().Connected());
  EXPECT_EQ(Get<QPushButton>("IniCom")->text(), QStringLiteral("Stop communication"));
  EXPECT_TRUE(Get<QPushButton>("Leer")->isEnabled());
  EXPECT_TRUE(Get<QPushButton>("Escribir")->isEnabled());
  EXPECT_FALSE(Get<QComboBox>("Puerto")->isEnabled());
  EXPECT_FALSE(Get<QLineEdit>("FirmText")->text().isEmpty());
  EXPECT_EQ(Status(), QStringLiteral("Communication started"));
  EXPECT_TRUE(answers.texts.isEmpty());

  general->Connection().IniComClick();
  ASSERT_TRUE(WaitFor([this] { return !general->Connection().Connected() && !general->Connection().ExchangeRunning(); }));
  EXPECT_EQ(Get<QPushButton>("IniCom")->text(), QStringLiteral("Start communication"));
  EXPECT_FALSE(Get<QPushButton>("Leer")->isEnabled());
  EXPECT_TRUE(Get<QComboBox>("Puerto")->isEnabled());
  EXPECT_TRUE(Get<QLineEdit>("FirmText")->text().isEmpty());
  EXPECT_EQ(Status(), QStringLiteral("Communication not started"));
}

TEST_F(ConnectionWindowTest, ModemStartWithAWrongThenARightPassword) {
  Open();
  Answerer answers;
  // Not a number: the prompt says so and stays open, and it is not a try; then a refused
  // one and the right one.
  answers.passwords = {QStringLiteral("12a"), QStringLiteral("999"), QStringLiteral("888"),
                       QString::fromStdString(UnitLink::VirtualUnitPassword())};
  ASSERT_TRUE(StartOn(kVirtual, true, QStringLiteral("5551234")));
  EXPECT_TRUE(general->Connection().Connected());
  EXPECT_TRUE(answers.passwords.empty());
  EXPECT_EQ(answers.texts, QStringList{QStringLiteral("Not a valid password")});
}

TEST_F(ConnectionWindowTest, FailedStartsLeaveTheControlsNotConnected) {
  Open();
  {
    Answerer answers;  // a bad number: nothing opened, nothing changed
    ASSERT_TRUE(StartOn(kVirtual, true, QStringLiteral("55a")));
    EXPECT_EQ(answers.texts, QStringList{QStringLiteral("Enter a valid phone number.")});
    EXPECT_EQ(Get<QPushButton>("IniCom")->text(), QStringLiteral("Start communication"));
    EXPECT_TRUE(Get<QComboBox>("Puerto")->isEnabled());
  }
  {
    Answerer answers;  // three refusals
    ASSERT_TRUE(StartOn(kVirtual, true, QStringLiteral("555")));
    EXPECT_EQ(answers.texts, QStringList{QStringLiteral("Bad password")});
    EXPECT_EQ(Status(), QStringLiteral("Bad password"));
    EXPECT_FALSE(general->Connection().Connected());
    EXPECT_FALSE(Get<QPushButton>("Leer")->isEnabled());
  }
  {
    // A pseudo-terminal where nothing answers: the unit is not found.
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    Answerer answers;
    ASSERT_TRUE(StartOn(QString::fromLatin1(name)));
    EXPECT_EQ(answers.texts, QStringList{QStringLiteral("Norvik not found, check your connections.")});
    EXPECT_FALSE(general->Connection().Connected());
    EXPECT_TRUE(Get<QPushButton>("IniCom")->isEnabled());
    close(slave);
    close(master);
  }
}

TEST_F(ConnectionWindowTest, ReadFillsEveryEditorAndWriteThenReadGivesItBack) {
  const ConfigurationRecord unit = zdl::testing::FullRecord();
  UnitLinkOptions options = Unit();
  options.virtualConfiguration = unit;
  Open(options);
  Answerer answers(QMessageBox::Yes);
  ASSERT_TRUE(StartOn(kVirtual));
  general->Connection().LeerClick();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Status(), QStringLiteral("Configuration successfully read."));
  EXPECT_EQ(Get<QLineEdit>("NameBox")->text(), QString::fromStdString(Cp1252ToUtf8(unit.General.NOMBRE)));
  EXPECT_EQ(Get<QLineEdit>("TextBox_0")->text().toStdString(), Cp1252ToUtf8(window->Record().Digital[0].TEXT));
  EXPECT_FALSE(window->Record().Digital[0].TEXT.empty());
  EXPECT_EQ(window->Record().Macros, unit.Macros);
  EXPECT_EQ(Get<QLineEdit>("MacroText_0")->text().toStdString(), Cp1252ToUtf8(unit.Macros[0].MACRO_TEXT));
  EXPECT_EQ(Get<QLineEdit>("LogTime")->text().toStdString(), window->Record().DataLogger.LOG_TIME);
  EXPECT_EQ(Get<QCheckBox>("Habil_0")->isChecked(), window->Record().Timers[0].HABIL);

  // Edit, write, read back: the edit comes back.
  window->Record().General.NOMBRE = "Nuevo nombre";
  window->RefreshEditors();
  const auto written = KeyedValues(window->Record());
  general->Connection().EscribirClick();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Status(), QStringLiteral("Configuration successfully upgraded."));
  window->Record() = ConfigurationRecord{};
  window->RefreshEditors();
  general->Connection().LeerClick();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Get<QLineEdit>("NameBox")->text(), QStringLiteral("Nuevo nombre"));
  EXPECT_EQ(KeyedValues(window->Record()), written);
  EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join(QLatin1Char('|')).toStdString();
}

// The connection panel tells the windows of each exchange by its signals alone: a start or
// a stop locks nothing, a read, a write or a read for the comparison locks them, each one
// ends before its result is handed on, and only a read's configuration replaces the record.
TEST_F(ConnectionWindowTest, ThePanelTellsEveryExchangeBySignals) {
  UnitLinkOptions options = Unit();
  options.virtualConfiguration = zdl::testing::FullRecord();
  Open(options);
  Answerer answers(QMessageBox::Yes);
  ConnectionPanel& panel = general->Connection();
  std::vector<std::string> events;
  QObject::connect(&panel, &ConnectionPanel::ExchangeStarted,
                   [&](bool locks) { events.push_back(locks ? "locked" : "started"); });
  QObject::connect(&panel, &ConnectionPanel::ExchangeEnded, [&] { events.push_back("ended"); });
  QObject::connect(&panel, &ConnectionPanel::RecordRead,
                   [&](const ConfigurationRecord&) { events.push_back("record"); });
  QObject::connect(&panel, &ConnectionPanel::ComparisonReady,
                   [&](const ConfigurationRecord&, CompareSide, bool) { events.push_back("comparison"); });
  struct Step {
    const char* name;
    std::function<void()> act;
    std::vector<std::string> expected;
  };
  const Step steps[] = {
      {"start", [&] { ChoosePort(kVirtual); panel.IniComClick(); }, {"started", "ended"}},
      {"read", [&] { panel.LeerClick(); }, {"locked", "ended", "record"}},
      {"compare", [&] { panel.CompareWithUnit(); }, {"locked", "ended", "comparison"}},
      {"write", [&] { panel.EscribirClick(); }, {"locked", "ended"}},
      {"stop", [&] { panel.IniComClick(); }, {"started", "ended"}},
  };
  for (const Step& step : steps) {
    events.clear();
    step.act();
    ASSERT_TRUE(Idle()) << step.name;
    EXPECT_EQ(events, step.expected) << step.name;
  }
  EXPECT_EQ(window->Record().General.NOMBRE, zdl::testing::FullRecord().General.NOMBRE);
  EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join(QLatin1Char('|')).toStdString();
}

TEST_F(ConnectionWindowTest, AFailingCheckFocusesItsControlAndTheConfirmationGuardsTheWrite) {
  Open();
  ASSERT_TRUE(StartOn(kVirtual));
  ConfigurationRecord& r = window->Record();
  MakeWritable(r);
  r.SetDigitalMode(6, ModeNormallyOpen);
  r.Digital[6].CICLOS = true;
  r.Digital[6].CVAL = "abc";
  window->RefreshEditors();
  {
    Answerer answers;
    general->Connection().EscribirClick();
    EXPECT_EQ(answers.texts.size(), 1);
    EXPECT_FALSE(general->Connection().ExchangeRunning());  // nothing sent
  }
  EXPECT_EQ(window->findChild<QMdiArea*>()->activeSubWindow(), window->SubWindow(EditorId::Alarmas2));
  ASSERT_NE(window->focusWidget(), nullptr);
  EXPECT_EQ(window->focusWidget()->objectName(), QStringLiteral("CVal_2"));

  r.Digital[6].CVAL = "10";
  r.Timers[3].HABIL = true;
  r.Timers[3].VP = "x";
  window->RefreshEditors();
  {
    Answerer answers;
    general->Connection().EscribirClick();
  }
  EXPECT_EQ(window->findChild<QMdiArea*>()->activeSubWindow(), window->SubWindow(EditorId::Temporizadores));
  EXPECT_EQ(window->focusWidget()->objectName(), QStringLiteral("VPBox_3"));

  r.Timers[3].VP = "60";
  r.Timers[3].Days[LUNES] = true;
  window->RefreshEditors();
  {
    Answerer no(QMessageBox::No);  // no priority number: asked, answered No, nothing sent
    general->Connection().EscribirClick();
    EXPECT_EQ(no.questions.size(), 1);
    EXPECT_FALSE(general->Connection().ExchangeRunning());
  }
  Answerer yes(QMessageBox::Yes);
  general->Connection().EscribirClick();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(yes.questions.size(), 1);
  EXPECT_EQ(Status(), QStringLiteral("Configuration successfully upgraded."));
}

// A text that would smuggle a command into the unit: Escribir refuses it as it refuses a
// bad number, with the message naming its key, and puts the focus on its control.
TEST_F(ConnectionWindowTest, ATextThatMayNotGoOutFocusesItsControlOnEscribir) {
  Open();
  ASSERT_TRUE(StartOn(kVirtual));
  ConfigurationRecord& r = window->Record();
  MakeWritable(r);
  r.ListaTlf = {"600,Prio=1,PRV2"};
  r.General.NOMBRE = "Granja\r#63;03";
  window->RefreshEditors();
  window->BringToFront(EditorId::Macros);
  {
    Answerer answers;
    general->Connection().EscribirClick();
    ASSERT_EQ(answers.texts.size(), 1);
    EXPECT_TRUE(answers.texts.front().contains(QStringLiteral("NOMBRE"))) << answers.texts.front().toStdString();
    EXPECT_FALSE(general->Connection().ExchangeRunning());  // nothing sent
  }
  EXPECT_EQ(window->findChild<QMdiArea*>()->activeSubWindow(), window->SubWindow(EditorId::General));
  ASSERT_NE(window->focusWidget(), nullptr);
  EXPECT_EQ(window->focusWidget()->objectName(), QStringLiteral("NameBox"));

  // A phone entry: the focus goes to the phone list.
  r.General.NOMBRE = "Granja";
  r.ListaTlf = {"600,Prio=1,PRV2\n#03"};
  window->RefreshEditors();
  window->BringToFront(EditorId::Temporizadores);
  {
    Answerer answers;
    general->Connection().EscribirClick();
    ASSERT_EQ(answers.texts.size(), 1);
    EXPECT_TRUE(answers.texts.front().contains(QStringLiteral("TLF0")));
  }
  EXPECT_EQ(window->findChild<QMdiArea*>()->activeSubWindow(), window->SubWindow(EditorId::General));
  EXPECT_EQ(window->focusWidget()->objectName(), QStringLiteral("ListaTlf"));
  EXPECT_EQ(r.General.NOMBRE, "Granja");  // showing the record changed nothing in it
  EXPECT_EQ(r.ListaTlf.front(), "600,Prio=1,PRV2\n#03");
}

TEST_F(ConnectionWindowTest, CancelDuringTheSaveKeepsTheConnectionAndSaysNothing) {
  UnitLinkOptions options = Unit();
  options.virtualSaveTime = Millis(20000);
  Open(options);
  Answerer answers(QMessageBox::Yes);
  ASSERT_TRUE(StartOn(kVirtual));
  MakeWritable(window->Record());
  general->Connection().EscribirClick();
  // Once "#03" is acknowledged the unit holds the whole configuration: no question.
  ASSERT_TRUE(WaitFor([this] { return Status() == QStringLiteral("Saving on EEPROM..."); }, 8000))
      << Get<QProgressBar>("PBar")->value() << " " << Status().toStdString() << " "
      << answers.texts.join(QLatin1Char('|')).toStdString() << answers.questions.size();
  EXPECT_TRUE(Get<QPushButton>("CancelCom")->isEnabled());
  EXPECT_FALSE(window->Editor(EditorId::Macros)->isEnabled());  // the windows take no input
  QElapsedTimer timer;
  timer.start();
  general->Connection().CancelExchange();
  ASSERT_TRUE(Idle());
  EXPECT_LT(timer.elapsed(), 5000);
  EXPECT_TRUE(general->Connection().Connected());
  EXPECT_TRUE(window->Editor(EditorId::Macros)->isEnabled());
  EXPECT_EQ(Status(), QStringLiteral("Communication error."));
  EXPECT_TRUE(answers.texts.isEmpty());
  EXPECT_EQ(answers.questions.size(), 1);  // the no-priority confirmation, nothing more
}

TEST_F(ConnectionWindowTest, CancelDuringTheDialEndsTheStart) {
  Open();
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  Answerer answers;
  ChoosePort(QString::fromLatin1(name));
  Get<QCheckBox>("ModemCheck")->setChecked(true);
  Get<QLineEdit>("CallNum")->setText(QStringLiteral("555"));
  general->Connection().IniComClick();
  ASSERT_TRUE(WaitFor([this] { return Status() == QStringLiteral("Calling..."); }));
  general->Connection().CancelExchange();
  ASSERT_TRUE(Idle());
  EXPECT_FALSE(general->Connection().Connected());
  EXPECT_EQ(Status(), QStringLiteral("Communication not started"));
  EXPECT_TRUE(answers.texts.isEmpty());
  close(slave);
  close(master);
}

TEST_F(ConnectionWindowTest, CarrierLostDuringAReadAndClosingDuringAnother) {
  Open(Unit(true));
  Answerer answers;
  answers.passwords = {QString::fromStdString(UnitLink::VirtualUnitPassword())};
  ASSERT_TRUE(StartOn(kVirtual, true, QStringLiteral("555")));
  ASSERT_TRUE(general->Connection().Connected());
  const ConfigurationRecord before = window->Record();
  general->Connection().LeerClick();
  ASSERT_TRUE(WaitFor([this] { return Get<QProgressBar>("PBar")->value() > 5; }));
  window->Link().DropVirtualUnitCarrier();
  ASSERT_TRUE(WaitFor([this] { return !general->Connection().ExchangeRunning() && !general->Connection().Connected(); }));
  EXPECT_TRUE(answers.texts.contains(T(TextId::ModemConnectionLost)));
  EXPECT_EQ(window->Record(), before);  // a failed read leaves the editors as they were

  answers.passwords = {QString::fromStdString(UnitLink::VirtualUnitPassword())};
  ASSERT_TRUE(StartOn(kVirtual, true, QStringLiteral("555")));
  general->Connection().LeerClick();
  ASSERT_TRUE(WaitFor([this] { return Get<QProgressBar>("PBar")->value() > 5; }));
  QElapsedTimer timer;
  timer.start();
  window->close();
  window.reset();  // ends the read, closes the port, joins the worker
  EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(ConnectionWindowTest, TheTraceShowsTheExchangeOnlyWhileShownAndSavesIt) {
  Open();
  Answerer answers;
  TraceDock* trace = window->Trace();
  ASSERT_TRUE(StartOn(kVirtual));
  EXPECT_TRUE(trace->Text().isEmpty());  // hidden: nothing traced
  general->Connection().IniComClick();
  ASSERT_TRUE(WaitFor([this] { return !general->Connection().Connected() && !general->Connection().ExchangeRunning(); }));

  trace->show();
  ASSERT_TRUE(StartOn(kVirtual));
  ASSERT_TRUE(WaitFor([trace] { return trace->Text().contains(QStringLiteral("#CF;ACK<CR>")); }, 3000))
      << trace->Text().toStdString() << trace->isVisible();
  EXPECT_TRUE(trace->Text().contains(QStringLiteral("-> #60;00<CR>")));
  // The language switch keeps the connected state's captions right.
  SetCurrentLang(Lang::Spanish);
  window->LoadAllTexts();
  EXPECT_EQ(Get<QPushButton>("IniCom")->text(), QStringLiteral("Parar comunicación"));
  EXPECT_EQ(Status(), QStringLiteral("Comunicación iniciada"));

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("trace.txt"));
  ASSERT_TRUE(trace->SaveTo(path));
  QFile saved(path);
  EXPECT_EQ(saved.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
            QFile::ReadOwner | QFile::WriteOwner);  // the owner's alone
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().contains("#CF;ACK<CR>"));
  trace->Clear();
  EXPECT_TRUE(trace->Text().isEmpty());
}

// --- Only Cancel acts while an exchange runs; a write the unit has partly taken stops only
// --- on the user's word. Against the paced virtual unit, judged by what it received.

// The virtual unit received this logical line during the last write.
bool Received(MainWindow& window, const std::string& line) {
  const std::vector<std::string>& lines = window.Link().VirtualUnitLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Drags a file over the window and drops it there: whether the drag was taken.
bool DragAndDrop(MainWindow& window, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  return enter.isAccepted();
}

class ExchangeGateTest : public ConnectionWindowTest {
 protected:
  void SetUp() override {
    UnitLinkOptions options = Unit(true);
    options.virtualConfiguration = zdl::testing::FullRecord();
    Open(options);
    ConfigurationRecord dropped = zdl::testing::FullRecord();
    dropped.General.NOMBRE = "Soltado";
    droppedFile = dir.filePath(QStringLiteral("dropped.ncf"));
    ASSERT_TRUE(SaveConfigFile(std::filesystem::path(droppedFile.toStdString()), dropped).ok);
  }
  bool BoxesEnabled() {
    return Get<QCheckBox>("BackUpFirst")->isEnabled() || Get<QCheckBox>("VerifyAfterWriting")->isEnabled();
  }
  // Starts a write of the editors' record and waits until the unit has taken "#01LDDEF".
  void WriteUntilCommitted() {
    general->Connection().EscribirClick();
    ASSERT_TRUE(WaitFor([this] { return Get<QProgressBar>("PBar")->value() >= 1; }));
    ASSERT_TRUE(general->Connection().ExchangeRunning());
  }
  QString Note() { return window->statusBar()->currentMessage(); }
  // A priority number: the write asks no confirmation first.
  void ListaTlfHasPriority() {
    window->Record().ListaTlf = {"600111222,Prio=1"};
    window->RefreshEditors();
  }
  // Answers the stop question with `button` (none: its default) and records its text.
  void AnswerTheQuestion(testing::SeenBox& seen, QMessageBox::StandardButton button) {
    testing::AnswerNextBox(seen, button);
  }

  QTemporaryDir dir;
  QString droppedFile;
};

TEST_F(ExchangeGateTest, DropsAreRefusedAndTheWriteBoxesLockedWhileAnExchangeRuns) {
  Answerer answers(QMessageBox::Yes);
  ChoosePort(kVirtual);
  general->Connection().IniComClick();  // the start: the boxes beside Escribir take no input meanwhile
  EXPECT_FALSE(BoxesEnabled());
  EXPECT_FALSE(DragAndDrop(*window, droppedFile));
  EXPECT_TRUE(Note().contains(QStringLiteral("cannot be opened"))) << Note().toStdString();
  ASSERT_TRUE(Idle());
  ASSERT_TRUE(general->Connection().Connected());
  EXPECT_TRUE(BoxesEnabled());
  const QString caption = window->windowTitle();

  general->Connection().LeerClick();
  ASSERT_TRUE(WaitFor([this] { return Get<QProgressBar>("PBar")->value() > 5; }));
  EXPECT_FALSE(BoxesEnabled());
  window->statusBar()->clearMessage();
  EXPECT_FALSE(DragAndDrop(*window, droppedFile));
  EXPECT_TRUE(Note().contains(QStringLiteral("cannot be opened"))) << Note().toStdString();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Status(), QStringLiteral("Configuration successfully read."));
  EXPECT_EQ(window->Record().General.NOMBRE, zdl::testing::FullRecord().General.NOMBRE);
  EXPECT_EQ(window->windowTitle(), caption);
  EXPECT_TRUE(BoxesEnabled());

  SetCurrentLang(Lang::Spanish);
  window->LoadAllTexts();
  MakeWritable(window->Record());
  const ConfigurationRecord written = window->Record();
  WriteUntilCommitted();
  EXPECT_FALSE(BoxesEnabled());
  EXPECT_FALSE(DragAndDrop(*window, droppedFile));
  EXPECT_TRUE(Note().contains(QStringLiteral("No se puede abrir un archivo"))) << Note().toStdString();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Status(), QStringLiteral("Configuración actualizada con éxito."));
  EXPECT_TRUE(Received(*window, "#03"));
  EXPECT_EQ(window->Record(), written);
  EXPECT_EQ(window->windowTitle(), caption);
  EXPECT_TRUE(BoxesEnabled());

  EXPECT_TRUE(DragAndDrop(*window, droppedFile));  // idle again: the drop opens the file
  EXPECT_EQ(window->Record().General.NOMBRE, "Soltado");
  EXPECT_NE(window->windowTitle(), caption);
}

TEST_F(ExchangeGateTest, ACancelBeforeTheFirstLineEndsTheWriteAtOnce) {
  Answerer answers(QMessageBox::Yes);
  ASSERT_TRUE(StartOn(kVirtual));
  MakeWritable(window->Record());
  ListaTlfHasPriority();
  general->Connection().EscribirClick();
  EXPECT_TRUE(general->Connection().CancelExchange());  // the unit is still being asked "#00"
  ASSERT_TRUE(Idle());
  EXPECT_TRUE(answers.questions.isEmpty());
  EXPECT_TRUE(answers.texts.isEmpty());
  EXPECT_EQ(Status(), QStringLiteral("Communication error."));
  EXPECT_FALSE(Received(*window, "#01LDDEF"));
  EXPECT_TRUE(general->Connection().Connected());
}

TEST_F(ExchangeGateTest, ACancelAfterTheFirstLineAsksAndNoLetsTheWriteEndWhole) {
  ASSERT_TRUE(StartOn(kVirtual));
  MakeWritable(window->Record());
  ListaTlfHasPriority();
  WriteUntilCommitted();
  testing::SeenBox seen;
  AnswerTheQuestion(seen, QMessageBox::NoButton);  // Enter: the default button
  EXPECT_FALSE(general->Connection().CancelExchange());
  EXPECT_TRUE(seen.seen);
  EXPECT_TRUE(seen.text.contains(QStringLiteral("keep only part of the configuration"))) << seen.text.toStdString();
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  Answerer messages;  // the write's own boxes, none expected
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Status(), QStringLiteral("Configuration successfully upgraded."));
  EXPECT_TRUE(Received(*window, "#01LDDEF"));
  EXPECT_TRUE(Received(*window, "#03"));
  EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(QLatin1Char('|')).toStdString();
}

TEST_F(ExchangeGateTest, ACancelAfterTheFirstLineAnsweredYesStopsItAndSaysTheUnitIsIncomplete) {
  ASSERT_TRUE(StartOn(kVirtual));
  SetCurrentLang(Lang::Spanish);
  window->LoadAllTexts();
  MakeWritable(window->Record());
  ListaTlfHasPriority();
  WriteUntilCommitted();
  Answerer answers(QMessageBox::Yes);
  EXPECT_TRUE(general->Connection().CancelExchange());
  ASSERT_TRUE(Idle());
  ASSERT_EQ(answers.questions.size(), 1);
  EXPECT_TRUE(answers.questions[0].contains(QStringLiteral("¿Detener la escritura?")));
  EXPECT_TRUE(Received(*window, "#01LDDEF"));
  EXPECT_FALSE(Received(*window, "#03"));
  EXPECT_EQ(Status(), QStringLiteral("Escritura detenida: el equipo tiene una configuración incompleta."));
  EXPECT_EQ(Get<QProgressBar>("PBar")->value(), 0);
  ASSERT_EQ(answers.texts.size(), 1);
  EXPECT_TRUE(answers.texts[0].contains(QStringLiteral("debe escribirse de nuevo"))) << answers.texts[0].toStdString();
  EXPECT_TRUE(general->Connection().Connected());
  SetCurrentLang(Lang::English);  // the status follows the language
  window->LoadAllTexts();
  EXPECT_EQ(Status(), QStringLiteral("Write stopped: the unit holds an incomplete configuration."));
}

// Nobody answers: once the unit has acknowledged "#03" the question is withdrawn (its
// premise no longer holds) and the write goes on to its end. A write that fails while
// the question is open closes it too.
TEST_F(ExchangeGateTest, TheQuestionIsWithdrawnOnceTheUnitHoldsTheWholeConfiguration) {
  ASSERT_TRUE(StartOn(kVirtual));
  MakeWritable(window->Record());
  ListaTlfHasPriority();
  // A guard answers Yes after 30 s, which the test would see.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->button(QMessageBox::Yes)->click();
    }
  });
  WriteUntilCommitted();
  guard.start(30000);
  EXPECT_FALSE(general->Connection().CancelExchange());  // returns once the unit has acknowledged "#03"
  EXPECT_TRUE(guard.isActive());
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Status(), QStringLiteral("Configuration successfully upgraded."));
  EXPECT_TRUE(Received(*window, "#03"));

}

TEST_F(ExchangeGateTest, AWriteThatFailsWhileTheQuestionIsOpenClosesIt) {
  UnitLinkOptions options = Unit(true);
  options.virtualFaults.silentAfter = 12;  // a few lines into the write
  Open(options);
  ASSERT_TRUE(StartOn(kVirtual));
  MakeWritable(window->Record());
  ListaTlfHasPriority();
  WriteUntilCommitted();
  // Answers the write's own message; the question is left to the write's end (or, after
  // 30 s, answered Yes, which the test would see).
  QStringList messages;
  bool forced = false;
  QElapsedTimer waited;
  waited.start();
  QTimer answerer;
  answerer.setInterval(2);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (box->objectName() != QStringLiteral("StopWriteQuestion")) {
      messages << box->text();
      box->button(QMessageBox::Ok)->click();
    } else if (waited.elapsed() > 30000) {
      forced = true;
      box->button(QMessageBox::Yes)->click();
    }
  });
  answerer.start();
  EXPECT_TRUE(general->Connection().CancelExchange());  // the write ended meanwhile
  EXPECT_FALSE(forced);
  EXPECT_FALSE(general->Connection().ExchangeRunning());
  EXPECT_EQ(messages, QStringList{QStringLiteral("Communication error, check your connections.")});
  EXPECT_EQ(Status(), QStringLiteral("Communication error."));
  EXPECT_TRUE(Received(*window, "#01LDDEF"));
  EXPECT_FALSE(Received(*window, "#03"));
}

TEST_F(ExchangeGateTest, ClosingTheWindowMidWriteAsksTheSameQuestion) {
  ASSERT_TRUE(StartOn(kVirtual));
  MakeWritable(window->Record());
  ListaTlfHasPriority();
  WriteUntilCommitted();
  {
    Answerer no(QMessageBox::No);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(no.questions.size(), 1);
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Status(), QStringLiteral("Configuration successfully upgraded."));
    EXPECT_TRUE(Received(*window, "#03"));
  }
  WriteUntilCommitted();
  Answerer yes(QMessageBox::Yes);
  EXPECT_TRUE(window->close());
  EXPECT_EQ(yes.questions.size(), 1);
  EXPECT_FALSE(window->isVisible());
  ASSERT_TRUE(Idle());  // the link outlives the hidden window here: see what the unit got
  EXPECT_TRUE(Received(*window, "#01LDDEF"));
  EXPECT_FALSE(Received(*window, "#03"));
}

// The backup before a write and the verify after it are reads: a cancel there ends them
// at once, without the question.
TEST_F(ExchangeGateTest, ACancelDuringTheBackupOrTheVerifyEndsItAtOnce) {
  Answerer answers(QMessageBox::Yes);
  ASSERT_TRUE(StartOn(kVirtual));
  MakeWritable(window->Record());
  ListaTlfHasPriority();
  general->Connection().BackUpFirst()->setChecked(true);
  general->Connection().EscribirClick();
  ASSERT_TRUE(WaitFor([this] { return Get<QProgressBar>("PBar")->value() > 5; }));  // reading
  EXPECT_TRUE(general->Connection().CancelExchange());
  ASSERT_TRUE(Idle());
  EXPECT_FALSE(Received(*window, "#01LDDEF"));
  EXPECT_TRUE(Received(*window, "#02"));

  general->Connection().BackUpFirst()->setChecked(false);
  general->Connection().VerifyAfterWriting()->setChecked(true);
  general->Connection().EscribirClick();
  ASSERT_TRUE(WaitFor([this] { return Status() == T(TextId::ReadingConfiguration); }));  // the verify's read
  EXPECT_TRUE(general->Connection().CancelExchange());
  ASSERT_TRUE(Idle());
  EXPECT_TRUE(Received(*window, "#03"));
  EXPECT_TRUE(answers.questions.isEmpty());
  EXPECT_TRUE(general->Connection().Connected());
}

}  // namespace
}  // namespace zdl::ui
