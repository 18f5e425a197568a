// The connection side of the General editor: IniCom, Leer, Escribir and the Cancel button,
// driving the unit link (every exchange runs on its worker thread) and showing its states.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "model/text_codec.h"
#include "model/validators.h"
#include "transfer/check_pass.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/unit_link.h"
#include "ui/strings/extra_texts.h"

namespace zdl::ui {

namespace {

constexpr int kComPorts = 16;
constexpr int kStartCaption = 49, kStopCaption = 120, kNotStarted = 52, kBadNumber = 166,
              kCommunicationError = 169, kStatusError = 133;
constexpr int kReadSteps = 176, kWriteSteps = 21;

QString FromCp1252(const std::string& bytes) { return QString::fromStdString(Cp1252ToUtf8(bytes)); }

QString X(ExtraText text) { return QString::fromStdString(std::string(ExtraTextIn(CurrentLang(), text))); }

}  // namespace

void GeneralEditor::FillPorts() {
  // COM1 to COM16 first, as the unit's tool always listed them; then what the system
  // reports (a USB adapter by its path and description); then the built-in virtual unit.
  for (int i = 1; i <= kComPorts; ++i) puerto_->addItem(QStringLiteral("COM%1").arg(i));
  for (const auto& [name, shown] : UnitLink::SystemPorts()) puerto_->addItem(shown, name);
  puerto_->addItem(UnitLink::VirtualUnitName(), UnitLink::VirtualUnitName());
  // A device path can be typed too.
  puerto_->setEditable(true);
  puerto_->setInsertPolicy(QComboBox::NoInsert);
}

void GeneralEditor::ConnectLink() {
  connect(iniCom_, &QPushButton::clicked, this, &GeneralEditor::IniComClick);
  connect(leer_, &QPushButton::clicked, this, &GeneralEditor::LeerClick);
  connect(escribir_, &QPushButton::clicked, this, &GeneralEditor::EscribirClick);
  connect(cancel_, &QPushButton::clicked, this, &GeneralEditor::CancelExchange);
  connect(&link_, &UnitLink::Status, this, [this](int offset) {
    status_ = offset;
    statusText_ = {};
    progStat_->setText(T(offset));
    // Saving: the unit has acknowledged "#03" and holds the whole configuration, so the
    // question about stopping is withdrawn (the write goes on to its end).
    if (stopQuestion_ && !link_.WriteCommitted()) stopQuestion_->reject();
  });
  connect(&link_, &UnitLink::Progress, this, [this](int value, int maximum) {
    pBar_->setRange(0, maximum);
    pBar_->setValue(value);
  });
  connect(&link_, &UnitLink::Started, this, &GeneralEditor::OnStarted);
  connect(&link_, &UnitLink::Stopped, this, &GeneralEditor::OnStopped);
  connect(&link_, &UnitLink::ReadFinished, this, &GeneralEditor::OnRead);
  connect(&link_, &UnitLink::WriteFinished, this, &GeneralEditor::OnWritten);
  ConnectExtras();
}

QString GeneralEditor::PortName() const {
  const QString text = puerto_->currentText();
  const int item = puerto_->findText(text);
  if (item >= 0 && puerto_->itemData(item).isValid()) return puerto_->itemData(item).toString();
  return text;
}

void GeneralEditor::LoadConnectionText() {
  iniCom_->setText(T(connected_ || job_ == Job::Start ? kStopCaption : kStartCaption));
  iniCom_->setAccessibleName(iniCom_->text());
  progStat_->setText(statusText_ ? statusText_() : T(status_));
  LoadExtrasText();
  cancel_->setText(T(56));
  Describe(cancel_, T2("End the running exchange with the unit (Esc)",
                       "Termina el intercambio en curso con el equipo (Esc)"),
           T(56));
  const int virtualItem = puerto_->findText(UnitLink::VirtualUnitName());
  if (virtualItem >= 0) {
    puerto_->setItemData(virtualItem,
                         T2("The unit built into this program, for trying it without hardware "
                            "(password ",
                            "El equipo simulado en este programa, para probarlo sin equipo real "
                            "(clave ") +
                             QString::fromStdString(UnitLink::VirtualUnitPassword()) + QLatin1Char(')'),
                         Qt::ToolTipRole);
  }
}

void GeneralEditor::Message(const QString& text) {
  QMessageBox::warning(this, QString::fromLatin1(kTitle), text);
}

void GeneralEditor::Begin(Job job) {
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
  main_.SetExchangeRunning(job == Job::Read || job == Job::Write);
}

void GeneralEditor::End() {
  job_ = Job::None;
  // A question about stopping the write that just ended is answered by its end.
  if (stopQuestion_) stopQuestion_->reject();
  cancel_->setEnabled(false);
  backUpFirst_->setEnabled(true);
  verifyAfter_->setEnabled(true);
  main_.SetExchangeRunning(false);
  ShowConnected(link_.Connected());
}

void GeneralEditor::ShowConnected(bool connected) {
  connected_ = connected;
  const bool idle = job_ == Job::None;
  iniCom_->setText(T(connected || job_ == Job::Start ? kStopCaption : kStartCaption));
  iniCom_->setAccessibleName(iniCom_->text());
  iniCom_->setEnabled(idle);
  leer_->setEnabled(idle && connected);
  escribir_->setEnabled(idle && connected);
  const bool choose = idle && !connected;
  puerto_->setEnabled(choose);
  modemCheck_->setEnabled(choose);
  callNum_->setEnabled(choose);
}

void GeneralEditor::IniComClick() {
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
    Message(T(kBadNumber));
    callNum_->setFocus(Qt::OtherFocusReason);
    return;
  }
  Begin(Job::Start);
  ShowConnected(false);
  if (!link_.Start(options)) End();
}

void GeneralEditor::LeerClick() {
  if (ExchangeRunning() || !connected_) return;
  Begin(Job::Read);
  pBar_->setRange(0, kReadSteps);
  pBar_->setValue(0);
  if (!link_.Read(record_)) End();
}

void GeneralEditor::EscribirClick() {
  if (ExchangeRunning() || !connected_) return;
  const UnitFacts facts = link_.Facts();
  const CheckResult check = CheckForWrite(record_, facts);
  if (check.kind == CheckResult::Failed) {
    Message(QString::fromStdString(CheckMessage(check, facts, CurrentLang())));
    if (const Field* field = FocusField(check)) {
      main_.BringToFront(field->editor);
      main_.Editor(field->editor)->FocusControl(QString::fromStdString(field->ObjectName()));
    }
    return;
  }
  if (check.kind == CheckResult::NeedsConfirmation) {
    QString question = QString::fromStdString(ConfirmationQuestion(CurrentLang()));
    question.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (QMessageBox::question(this, QString::fromLatin1(kTitle), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes) {
      return;
    }
  }
  Begin(Job::Write);
  pBar_->setRange(0, kWriteSteps);
  pBar_->setValue(0);
  if (!link_.Write(record_, ExtrasToAsk())) End();
}

bool GeneralEditor::CancelExchange() {
  if (job_ == Job::None || job_ == Job::Stop) return true;
  if (stopQuestion_) return false;  // already asked (a second Esc, a close meanwhile)
  if (cancelled_) return true;      // already being ended
  if (!link_.CancelUnlessCommitted()) return AskToStopWrite();
  cancelled_ = true;
  return true;
}

bool GeneralEditor::AskToStopWrite() {
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kTitle),
                  T2("The unit has already taken part of the new configuration. If the write "
                     "stops now, the unit will keep only part of the configuration until it is "
                     "written again.\n\nStop the write?",
                     "El equipo ya ha recibido parte de la nueva configuración. Si la escritura "
                     "se detiene ahora, el equipo conservará solo parte de la configuración hasta "
                     "que se escriba de nuevo.\n\n¿Detener la escritura?"),
                  QMessageBox::Yes | QMessageBox::No, this);
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

void GeneralEditor::OnStarted(StartResult result) {
  if (result == StartResult::Connected) firmText_->setText(FromCp1252(link_.Facts().FirmText));
  End();
  if (result == StartResult::Connected) return;
  if (result == StartResult::Cancelled) {
    status_ = kNotStarted;
    progStat_->setText(T(kNotStarted));
  }
}

void GeneralEditor::OnStopped() {
  // After a stop, and when the connection ended by itself (carrier lost, device gone).
  firmText_->clear();
  pBar_->setValue(0);
  if (job_ == Job::Stop) {
    End();
  } else {
    ShowConnected(false);
  }
}

void GeneralEditor::OnRead(bool ok, const ConfigurationRecord& record) {
  const bool cancelled = cancelled_;
  End();
  if (ok) {
    record_ = record;
    main_.RefreshEditors();
    return;
  }
  if (!cancelled) Message(T(kCommunicationError));
  status_ = kStatusError;
  progStat_->setText(T(kStatusError));
  pBar_->setValue(0);
}

void GeneralEditor::OnWritten(bool ok, bool incomplete) {
  const bool cancelled = cancelled_;
  End();
  if (ok) return;
  pBar_->setValue(0);
  if (incomplete) {
    // Stopped on request after "#01LDDEF": said even though the user asked for it.
    ShowStatusText([] { return X(ExtraText::WriteStoppedStatus); });
    Message(X(ExtraText::WriteStoppedMessage));
    return;
  }
  if (!cancelled) Message(backupProblem_ ? *backupProblem_ : T(kCommunicationError));
  status_ = kStatusError;
  progStat_->setText(T(kStatusError));
}

}  // namespace zdl::ui
