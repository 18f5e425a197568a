// The connection controls of the General editor: IniCom, Leer, Escribir and the Cancel
// button, driving the unit link (every exchange runs on its worker thread) and showing its
// states.
#include "ui/app/connection_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/text_codec.h"
#include "model/validators.h"
#include "transfer/check_pass.h"
#include "ui/app/editor_window.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"  // kTitle
#include "ui/app/unit_link.h"
#include "text/extra_texts.h"

namespace zdl::ui {

namespace {

constexpr int kComPorts = 16;
constexpr int kReadSteps = 176, kWriteSteps = 21;

QString FromCp1252(const std::string& bytes) { return QString::fromStdString(Cp1252ToUtf8(bytes)); }


QString Name(const char* name) { return QString::fromLatin1(name); }

}  // namespace

ConnectionPanel::ConnectionPanel(EditorWindow& host, const ConfigurationRecord& record, UnitLink& link)
    : QObject(&host), host_(host), record_(record), link_(link) {}

QGroupBox* ConnectionPanel::BuildPortFrame() {
  QGroupBox* frame1 = host_.Frame(Name("Frame1"));
  auto* port = new QGridLayout(frame1);
  puerto_ = new QComboBox(&host_);
  puerto_->setObjectName(Name("Puerto"));
  FillPorts();
  modemCheck_ = new QCheckBox(&host_);
  modemCheck_->setObjectName(Name("ModemCheck"));
  callNum_ = host_.FreeText(Name("CallNum"), 0);
  port->addWidget(puerto_, 0, 0);
  port->addWidget(modemCheck_, 0, 1);
  port->addWidget(callNum_, 1, 0, 1, 2);
  // The starting choice: COM1.
  puerto_->setCurrentIndex(0);
  return frame1;
}

QGroupBox* ConnectionPanel::BuildFirmwareFrame() {
  QGroupBox* frame12 = host_.Frame(Name("Frame12"));
  firmText_ = new QLineEdit(&host_);
  firmText_->setObjectName(Name("FirmText"));
  firmText_->setReadOnly(true);
  auto* layout = new QHBoxLayout(frame12);
  layout->addWidget(firmText_);
  return frame12;
}

void ConnectionPanel::BuildActions(QGridLayout* column, int firstRow) {
  iniCom_ = new QPushButton(&host_);
  iniCom_->setObjectName(Name("IniCom"));
  leer_ = new QPushButton(&host_);
  leer_->setObjectName(Name("Leer"));
  escribir_ = new QPushButton(&host_);
  escribir_->setObjectName(Name("Escribir"));
  leer_->setEnabled(false);
  escribir_->setEnabled(false);
  progStat_ = new QLabel(&host_);
  progStat_->setObjectName(Name("ProgStat"));
  progStat_->setWordWrap(true);
  pBar_ = new QProgressBar(&host_);
  pBar_->setObjectName(Name("PBar"));
  pBar_->setValue(0);
  pBar_->setTextVisible(false);
  cancel_ = new QPushButton(&host_);
  cancel_->setObjectName(Name("CancelCom"));
  cancel_->setEnabled(false);

  auto* actions = new QHBoxLayout;
  actions->addWidget(iniCom_);
  actions->addWidget(leer_);
  actions->addWidget(escribir_);
  auto* writeRows = new QVBoxLayout;
  writeRows->addLayout(actions);
  // "Back up the unit first" and "Verify after writing", under the buttons.
  backUpFirst_ = new QCheckBox(&host_);
  backUpFirst_->setObjectName(Name("BackUpFirst"));
  verifyAfter_ = new QCheckBox(&host_);
  verifyAfter_->setObjectName(Name("VerifyAfterWriting"));
  writeRows->addWidget(backUpFirst_);
  writeRows->addWidget(verifyAfter_);
  column->addLayout(writeRows, firstRow, 0, 1, 3);
  column->addWidget(progStat_, firstRow + 1, 0, 1, 3);
  auto* progress = new QHBoxLayout;
  progress->addWidget(pBar_, 1);
  progress->addWidget(cancel_);
  column->addLayout(progress, firstRow + 2, 0, 1, 3);
  ConnectLink();
}

void ConnectionPanel::FillPorts() {
  // COM1 to COM16 first, as the unit's tool always listed them; then what the system
  // reports (a USB adapter by its path and description); then the built-in virtual unit.
  for (int i = 1; i <= kComPorts; ++i) puerto_->addItem(QStringLiteral("COM%1").arg(i));
  for (const auto& [name, shown] : UnitLink::SystemPorts()) puerto_->addItem(shown, name);
  puerto_->addItem(UnitLink::VirtualUnitName(), UnitLink::VirtualUnitName());
  // A device path can be typed too.
  puerto_->setEditable(true);
  puerto_->setInsertPolicy(QComboBox::NoInsert);
}

void ConnectionPanel::ConnectLink() {
  connect(iniCom_, &QPushButton::clicked, this, &ConnectionPanel::IniComClick);
  connect(leer_, &QPushButton::clicked, this, &ConnectionPanel::LeerClick);
  connect(escribir_, &QPushButton::clicked, this, &ConnectionPanel::EscribirClick);
  connect(cancel_, &QPushButton::clicked, this, &ConnectionPanel::CancelExchange);
  connect(&link_, &UnitLink::Status, this, [this](TextId text) {
    status_ = text;
    statusText_ = {};
    progStat_->setText(T(text));
    // Saving: the unit has acknowledged "#03" and holds the whole configuration, so the
    // question about stopping is withdrawn (the write goes on to its end).
    if (stopQuestion_ && !link_.WriteCommitted()) stopQuestion_->reject();
  });
  connect(&link_, &UnitLink::Progress, this, [this](int value, int maximum) {
    pBar_->setRange(0, maximum);
    pBar_->setValue(value);
  });
  connect(&link_, &UnitLink::Started, this, &ConnectionPanel::OnStarted);
  connect(&link_, &UnitLink::Stopped, this, &ConnectionPanel::OnStopped);
  connect(&link_, &UnitLink::ReadFinished, this, &ConnectionPanel::OnRead);
  connect(&link_, &UnitLink::WriteFinished, this, &ConnectionPanel::OnWritten);
  ConnectExtras();
}

QString ConnectionPanel::PortName() const {
  const QString text = puerto_->currentText();
  const int item = puerto_->findText(text);
  if (item >= 0 && puerto_->itemData(item).isValid()) return puerto_->itemData(item).toString();
  return text;
}

void ConnectionPanel::LoadText() {
  host_.Child<QGroupBox>(Name("Frame12"))->setTitle(T(TextId::FirmwareFrame));
  EditorWindow::Describe(firmText_, T(TextId::FirmwareVersion));
  host_.Child<QGroupBox>(Name("Frame1"))->setTitle(T(TextId::CommPort));
  modemCheck_->setText(T(TextId::Modem));
  leer_->setText(T(TextId::ReadConfShort));
  escribir_->setText(T(TextId::WriteConfShort));
  EditorWindow::Describe(modemCheck_, T(TextId::ConnectThroughModem), T(TextId::Modem));
  EditorWindow::Describe(callNum_, T(TextId::RemoteUnitPhoneNumber));
  EditorWindow::Describe(puerto_, T(TextId::CommPort), T(TextId::CommPort));
  leer_->setAccessibleName(T(TextId::ReadConfShort));
  escribir_->setAccessibleName(T(TextId::WriteConfShort));
  iniCom_->setText(T(connected_ || job_ == Job::Start ? TextId::StopCommunication : TextId::StartCommunication));
  iniCom_->setAccessibleName(iniCom_->text());
  progStat_->setText(statusText_ ? statusText_() : T(status_));
  LoadExtrasText();
  cancel_->setText(T(TextId::Cancel));
  EditorWindow::Describe(cancel_,
                         T(ExtraText::CancelExchangeTip),
                         T(TextId::Cancel));
  const int virtualItem = puerto_->findText(UnitLink::VirtualUnitName());
  if (virtualItem >= 0) {
    puerto_->setItemData(virtualItem,
                         T(ExtraText::VirtualUnitTip) +
                             QString::fromStdString(UnitLink::VirtualUnitPassword()) + QLatin1Char(')'),
                         Qt::ToolTipRole);
  }
  pBar_->setAccessibleName(T(ExtraText::ProgressName));
  // ProgStat has no name of its own: it is spoken with its text, and each new text is
  // announced. What it is: its description.
  progStat_->setAccessibleDescription(T(ExtraText::ConnectionStatusDescription));
}

void ConnectionPanel::Message(const QString& text) {
  QMessageBox::warning(&host_, QString::fromLatin1(kTitle), text);
}

void ConnectionPanel::Begin(Job job) {
  job_ = job;
  if (job == Job::Write) ++writes_;
  cancelled_ = false;
  iniCom_->setEnabled(false);
  leer_->setEnabled(false);
  escribir_->setEnabled(false);
  // Read when a write is handed over: changing them during an exchange would do nothing.
  backUpFirst_->setEnabled(false);
  verifyAfter_->setEnabled(false);
  cancel_->setEnabled(job != Job::Stop);
  emit ExchangeStarted(job == Job::Read || job == Job::Write);
}

void ConnectionPanel::End() {
  job_ = Job::None;
  // A question about stopping the write that just ended is answered by its end.
  if (stopQuestion_) stopQuestion_->reject();
  cancel_->setEnabled(false);
  backUpFirst_->setEnabled(true);
  verifyAfter_->setEnabled(true);
  emit ExchangeEnded();
  ShowConnected(link_.Connected());
}

void ConnectionPanel::ShowConnected(bool connected) {
  connected_ = connected;
  const bool idle = job_ == Job::None;
  iniCom_->setText(T(connected || job_ == Job::Start ? TextId::StopCommunication : TextId::StartCommunication));
  iniCom_->setAccessibleName(iniCom_->text());
  iniCom_->setEnabled(idle);
  leer_->setEnabled(idle && connected);
  escribir_->setEnabled(idle && connected);
  const bool choose = idle && !connected;
  puerto_->setEnabled(choose);
  modemCheck_->setEnabled(choose);
  callNum_->setEnabled(choose);
}

void ConnectionPanel::IniComClick() {
  if (ExchangeRunning()) return;
  pBar_->setValue(0);
  if (connected_) {
    Begin(Job::Stop);
    if (!link_.Stop()) End();
    return;
  }
  ConnectionOptions options;
  options.port = PortName().toStdString();
  options.modem = modemCheck_->isChecked();
  options.callNumber = callNum_->text().toStdString();
  if (options.modem && !CheckInt(options.callNumber)) {
    // Nothing has changed: the number is mended first.
    Message(T(TextId::EnterValidPhoneNumber));
    callNum_->setFocus(Qt::OtherFocusReason);
    return;
  }
  Begin(Job::Start);
  ShowConnected(false);
  if (!link_.Start(options)) End();
}

void ConnectionPanel::LeerClick() {
  if (ExchangeRunning() || !connected_) return;
  Begin(Job::Read);
  pBar_->setRange(0, kReadSteps);
  pBar_->setValue(0);
  if (!link_.Read(record_)) End();
}

void ConnectionPanel::EscribirClick() {
  if (ExchangeRunning() || !connected_) return;
  const UnitFacts facts = link_.Facts();
  const CheckResult check = CheckForWrite(record_, facts);
  if (check.kind == CheckResult::Failed) {
    Message(QString::fromStdString(CheckMessage(check, facts, CurrentLang())));
    if (const Field* field = FocusField(check)) {
      emit FieldToMend(field->editor, QString::fromStdString(field->ObjectName()));
    }
    return;
  }
  if (check.kind == CheckResult::NeedsConfirmation) {
    QString question = QString::fromStdString(ConfirmationQuestion(CurrentLang()));
    question.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (QMessageBox::question(&host_, QString::fromLatin1(kTitle), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes) {
      return;
    }
  }
  Begin(Job::Write);
  pBar_->setRange(0, kWriteSteps);
  pBar_->setValue(0);
  if (!link_.Write(record_, ExtrasToAsk())) End();
}

bool ConnectionPanel::CancelExchange() {
  if (job_ == Job::None || job_ == Job::Stop) return true;
  if (stopQuestion_) return false;  // already asked (a second Esc, a close meanwhile)
  if (cancelled_) return true;      // already being ended
  if (!link_.CancelUnlessCommitted()) return AskToStopWrite();
  cancelled_ = true;
  return true;
}

bool ConnectionPanel::AskToStopWrite() {
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kTitle),
                  T(ExtraText::StopWriteQuestion),
                  QMessageBox::Yes | QMessageBox::No, &host_);
  box.setObjectName(QStringLiteral("StopWriteQuestion"));
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  const int write = writes_;
  stopQuestion_ = &box;
  // The write goes on while the user reads: the worker never waits for this answer.
  const int answer = box.exec();
  stopQuestion_ = nullptr;
  if (job_ != Job::Write || writes_ != write) return true;  // it ended meanwhile
  // No, or the unit holds the whole configuration by now: nothing is stopped.
  if (answer != QMessageBox::Yes || !link_.WriteCommitted()) return false;
  cancelled_ = true;
  link_.Cancel();
  return true;
}

void ConnectionPanel::OnStarted(StartResult result) {
  if (result == StartResult::Connected) firmText_->setText(FromCp1252(link_.Facts().FirmText));
  End();
  if (result == StartResult::Connected) return;
  if (result == StartResult::Cancelled) {
    status_ = TextId::CommunicationNotStarted;
    progStat_->setText(T(TextId::CommunicationNotStarted));
  }
}

void ConnectionPanel::OnStopped() {
  // After a stop, and when the connection ended by itself (carrier lost, device gone).
  firmText_->clear();
  pBar_->setValue(0);
  if (job_ == Job::Stop) {
    End();
  } else {
    ShowConnected(false);
  }
}

void ConnectionPanel::OnRead(bool ok, const ConfigurationRecord& record) {
  const bool cancelled = cancelled_;
  End();
  if (ok) {
    emit RecordRead(record);
    return;
  }
  if (!cancelled) Message(T(TextId::CommunicationErrorCheckConnections));
  status_ = TextId::CommunicationError;
  progStat_->setText(T(TextId::CommunicationError));
  pBar_->setValue(0);
}

void ConnectionPanel::OnWritten(bool ok, bool incomplete) {
  const bool cancelled = cancelled_;
  End();
  if (ok) return;
  pBar_->setValue(0);
  if (incomplete) {
    // Stopped on request after "#01LDDEF": said even though the user asked for it.
    ShowStatusText([] { return T(ExtraText::WriteStoppedStatus); });
    Message(T(ExtraText::WriteStoppedMessage));
    return;
  }
  if (!cancelled) Message(backupProblem_ ? *backupProblem_ : T(TextId::CommunicationErrorCheckConnections));
  status_ = TextId::CommunicationError;
  progStat_->setText(T(TextId::CommunicationError));
}

}  // namespace zdl::ui
