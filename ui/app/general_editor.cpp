#include "ui/app/general_editor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "model/text_codec.h"
#include "ui/app/connection_panel.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"  // kTitle

namespace zdl::ui {

namespace {

constexpr SmsCentre kCentres[4] = {SmsCentre::CSMMovi, SmsCentre::CSMVoda, SmsCentre::CSMAmen,
                                   SmsCentre::CSMOtro};
constexpr const char* kCentreNames[4] = {"CSMMovi", "CSMVoda", "CSMAmen", "CSMOtro"};

QString Name(const char* name) { return QString::fromLatin1(name); }

// A frame holding `widgets` side by side.
QGroupBox* Row(QGroupBox* frame, std::initializer_list<QWidget*> widgets) {
  auto* layout = new QHBoxLayout(frame);
  for (QWidget* w : widgets) layout->addWidget(w);
  return frame;
}

}  // namespace

GeneralEditor::GeneralEditor(ConfigurationRecord& record, UnitLink& link, QWidget* parent)
    : EditorWindow(EditorId::General, record, parent), connection_(new ConnectionPanel(*this, record, link)) {
  setObjectName(Name("General"));
  BuildLayout();
  // The form's starting choices: no priority, Administrator (the port's: COM1).
  prioBox_->setCurrentIndex(0);
  privilegios_->setCurrentIndex(static_cast<int>(Privilege::Administrator));
  ApplyMaskRule();
  // The frames take no input while a read or a write runs; the connection's controls
  // (outside them) and the Cancel button are the panel's.
  connect(connection_, &ConnectionPanel::ExchangeStarted, this, [this](bool locks) { SetFramesEnabled(!locks); });
  connect(connection_, &ConnectionPanel::ExchangeEnded, this, [this] { SetFramesEnabled(true); });
}

void GeneralEditor::SetFramesEnabled(bool enabled) {
  for (QWidget* frame : findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly)) frame->setEnabled(enabled);
}

void GeneralEditor::BuildLayout() {
  // The columns in the order their controls take the focus; the restore frame is made
  // with the left column's and shown in the right one.
  QGroupBox* restore = nullptr;
  QGridLayout* left = BuildLeftColumn(restore);
  QGroupBox* phones = BuildPhoneColumn();
  QGridLayout* right = BuildRightColumn(restore);
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 4);
  columns->addWidget(phones, 4);
  columns->addLayout(right, 4);
}

QGridLayout* GeneralEditor::BuildLeftColumn(QGroupBox*& restore) {
  // The unit's identity and the general parameters.
  GeneralGroup& g = record_.General;
  QGroupBox* frame3 = Row(Frame(Name("Frame3")), {BindText(g.NOMBRE)});
  QGroupBox* frame4 = Row(Frame(Name("Frame4")), {BindText(g.PTLF)});

  QGroupBox* frame2 = Frame(Name("Frame2"));
  auto* smsLayout = new QGridLayout(frame2);
  for (int i = 0; i < 4; ++i) {
    csm_[i] = new QRadioButton(this);
    csm_[i]->setObjectName(Name(kCentreNames[i]));
    smsLayout->addWidget(csm_[i], i / 2, i % 2);
    const SmsCentre choice = kCentres[i];
    connect(csm_[i], &QRadioButton::clicked, this, [this, choice] { ChooseSmsCentre(choice); });
  }
  smsLayout->addWidget(BindText(g.SMSC), 2, 0, 1, 2);

  auto small = [this](const char* frame, const Text& value, const char* label) {
    QGroupBox* box = Frame(Name(frame));
    auto* layout = new QHBoxLayout(box);
    QLineEdit* edit = BindText(value);
    edit->setMaximumWidth(70);
    layout->addWidget(edit);
    if (label) layout->addWidget(Label(Name(label), edit));
    layout->addStretch();
    return box;
  };
  QGroupBox* frame9 = small("Frame9", g.RENVN, nullptr);
  QGroupBox* frame10 = small("Frame10", g.RENVT, "Label3");
  QGroupBox* frame5 = small("Frame5", g.ASINC, "Label1");
  QGroupBox* frame6 = small("Frame6", g.AINFO, "Label2");
  QGroupBox* frame13 = small("Frame13", g.NORMAL, "Label4");

  QGroupBox* frame18 = Frame(Name("Frame18"));
  auto* pinLayout = new QHBoxLayout(frame18);
  QCheckBox* pinHabil = BindCheck(g.PinHabil);
  QLineEdit* pin = BindText(g.PIN);
  pin->setEchoMode(QLineEdit::Password);
  pin->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
  pin->setMaximumWidth(70);
  pinLayout->addWidget(pinHabil);
  pinLayout->addWidget(pin);
  pinLayout->addStretch();

  QGroupBox* frame17 = Frame(Name("Frame17"));
  auto* restoreLayout = new QHBoxLayout(frame17);
  restoreLayout->addWidget(BindCheck(g.Habil_Restore));
  restoreLayout->addWidget(BindText(g.REST_TEXT), 1);

  auto* left = new QGridLayout;
  left->addWidget(frame3, 0, 0, 1, 2);
  left->addWidget(frame4, 1, 0, 1, 2);
  left->addWidget(frame2, 2, 0, 1, 2);
  left->addWidget(frame9, 3, 0);
  left->addWidget(frame10, 3, 1);
  left->addWidget(frame5, 4, 0);
  left->addWidget(frame6, 4, 1);
  left->addWidget(frame13, 5, 0);
  left->addWidget(frame18, 5, 1);
  left->setRowStretch(6, 1);
  restore = frame17;
  return left;
}

QGroupBox* GeneralEditor::BuildPhoneColumn() {
  // The authorised phone list and its mask.
  QGroupBox* frame7 = Frame(Name("Frame7"));
  auto* phone = new QGridLayout(frame7);
  newTlf_ = FreeText(Name("NewTlf"), static_cast<int>(maxlen::NewTlf));
  prioBox_ = new QComboBox(this);
  prioBox_->setObjectName(Name("PrioBox"));
  for (int i = 0; i <= 8; ++i) prioBox_->addItem(QString());
  privilegios_ = new QComboBox(this);
  privilegios_->setObjectName(Name("Privilegios"));
  for (int i = 0; i < 4; ++i) privilegios_->addItem(QString());
  rxd_ = new QCheckBox(this);
  rxd_->setObjectName(Name("RxD"));
  anadir_ = new QPushButton(this);
  anadir_->setObjectName(Name("Anadir"));
  borrar_ = new QPushButton(this);
  borrar_->setObjectName(Name("Borrar"));
  listaTlf_ = new QListWidget(this);
  listaTlf_->setObjectName(QString::fromStdString(PhoneListField().ObjectName()));
  listaTlf_->setMinimumHeight(100);
  phone->addWidget(Label(Name("Label11"), newTlf_), 0, 0);
  phone->addWidget(newTlf_, 0, 1);
  phone->addWidget(Label(Name("Label10"), prioBox_), 1, 0);
  phone->addWidget(prioBox_, 1, 1);
  phone->addWidget(Label(Name("Label13"), privilegios_), 2, 0);
  phone->addWidget(privilegios_, 2, 1);
  phone->addWidget(rxd_, 3, 0, 1, 2);

  QGroupBox* frame8 = Frame(Name("Frame8"));
  auto* mask = new QGridLayout(frame8);
  checkMask_ = new QCheckBox(this);
  checkMask_->setObjectName(Name("CheckMask"));
  mask->addWidget(checkMask_, 0, 0, 1, 8);
  auto maskBox = [this, mask](const QString& name, const QString& labelName, const QString& caption,
                              int row, int column) {
    auto* box = new QCheckBox(this);
    box->setObjectName(name);
    QLabel* label = Label(labelName, box);
    label->setText(caption);
    label->setAlignment(Qt::AlignCenter);
    mask->addWidget(label, row, column, Qt::AlignHCenter);
    mask->addWidget(box, row + 1, column, Qt::AlignHCenter);
    return box;
  };
  for (int i = 0; i < kDigitalInputs; ++i) {
    maskD_[i] = maskBox(QStringLiteral("CheckD%1").arg(i), QStringLiteral("LabelD%1").arg(i),
                        QStringLiteral("D%1").arg(i), 1, i);
  }
  for (int j = 0; j < kAnalogInputs; ++j) {
    maskA_[j] = maskBox(QStringLiteral("CheckA%1").arg(j), QStringLiteral("LabelA%1").arg(j),
                        QStringLiteral("A%1").arg(j), 3, j);
  }
  checkTxAlm_ = maskBox(Name("CheckTxAlm"), Name("LabelTXA"), Name("TXA"), 3, 4);
  checkInfo_ = new QCheckBox(QStringLiteral("INFO"), this);
  checkInfo_->setObjectName(Name("CheckInfo"));
  mask->addWidget(checkInfo_, 4, 5, 1, 3);
  phone->addWidget(frame8, 4, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(anadir_);
  buttons->addWidget(borrar_);
  phone->addLayout(buttons, 5, 0, 1, 2);
  phone->addWidget(listaTlf_, 6, 0, 1, 2);
  phone->setRowStretch(6, 1);

  connect(checkMask_, &QCheckBox::toggled, this, [this] { ApplyMaskRule(); });
  connect(anadir_, &QPushButton::clicked, this, &GeneralEditor::AddPhoneEntry);
  connect(borrar_, &QPushButton::clicked, this, &GeneralEditor::DeletePhoneEntry);
  connect(newTlf_, &QLineEdit::returnPressed, this, &GeneralEditor::AddPhoneEntry);

  return frame7;
}

QGridLayout* GeneralEditor::BuildRightColumn(QGroupBox* restore) {
  // The connection, the general macros and the transmission-fail alarm.
  const GeneralGroup& g = record_.General;
  QGroupBox* frame1 = connection_->BuildPortFrame();
  QGroupBox* frame12 = connection_->BuildFirmwareFrame();
  QGroupBox* frame14 = Row(Frame(Name("Frame14")), {BindList(g.MACRO_INICIO)});
  QGroupBox* frame15 = Row(Frame(Name("Frame15")), {BindList(g.MACRO_GSMOK)});
  QGroupBox* frame16 = Row(Frame(Name("Frame16")), {BindList(g.MACRO_GSMMAL)});

  QGroupBox* tx = Frame(Name("DigitalFrame"));
  auto* txLayout = new QGridLayout(tx);
  const TxAlarmGroup& txAlarm = record_.TxAlarm;
  QCheckBox* habilTx = BindCheck(txAlarm.HABIL);
  QCheckBox* ringTx = BindCheck(txAlarm.RING);
  ringTx->setText(QStringLiteral("Ring"));
  QComboBox* macroTx = BindList(txAlarm.MACRO_TX);
  txLayout->addWidget(habilTx, 0, 0);
  txLayout->addWidget(ringTx, 0, 1);
  txLayout->addWidget(BindText(txAlarm.TEXT), 1, 0, 1, 2);
  txLayout->addWidget(Label(Name("MacroTxSiLab"), macroTx), 2, 0);
  txLayout->addWidget(macroTx, 2, 1);

  auto* right = new QGridLayout;
  right->addWidget(frame1, 0, 0, 1, 3);
  right->addWidget(frame12, 1, 0, 1, 3);
  right->addWidget(frame14, 2, 0);
  right->addWidget(frame15, 2, 1);
  right->addWidget(frame16, 2, 2);
  right->addWidget(tx, 3, 0, 1, 3);
  right->addWidget(restore, 4, 0, 1, 3);
  connection_->BuildActions(right, 5);
  right->setRowStretch(8, 1);
  return right;
}

void GeneralEditor::LoadText() {
  setWindowTitle(T(TextId::GeneralParameters));
  auto frame = [this](const char* name, TextId text) { Child<QGroupBox>(Name(name))->setTitle(T(text)); };
  const GeneralGroup& g = record_.General;
  const TxAlarmGroup& tx = record_.TxAlarm;
  frame("Frame3", TextId::UnitName);
  Describe(ControlOf(g.NOMBRE), T(TextId::UnitName));
  Describe(ControlOf(g.PinHabil), T(TextId::EnablePinManagement), QStringLiteral("PIN"));
  Describe(ControlOf(g.PIN), T(TextId::SimPinCode));
  frame("Frame9", TextId::NumberOfRetries);
  Describe(ControlOf(g.RENVN), T(TextId::MaxRetryNumber), T(TextId::NumberOfRetries));
  frame("Frame2", TextId::SmsServiceCenter);
  constexpr TextId kCentreCaptions[4] = {TextId::Movistar, TextId::Vodafone, TextId::Amena, TextId::OtherOperator};
  for (int i = 0; i < 4; ++i) csm_[i]->setText(T(kCentreCaptions[i]));
  Describe(ControlOf(g.SMSC), T(TextId::SmsServiceCenter), T(TextId::SmsServiceCenter));
  frame("Frame5", TextId::AutoSync);
  Child<QLabel>(Name("Label1"))->setText(T(TextId::Days));
  frame("Frame6", TextId::AutoInfo);
  Child<QLabel>(Name("Label2"))->setText(T(TextId::Days));
  frame("Frame10", TextId::RetryTime);
  Child<QLabel>(Name("Label3"))->setText(T(TextId::MinutesShort));
  frame("Frame4", TextId::OwnPhoneNumber);
  Child<QGroupBox>(Name("Frame18"))->setTitle(QStringLiteral("PIN"));
  frame("Frame7", TextId::AuthorizedPhoneList);
  Child<QLabel>(Name("Label11"))->setText(T(TextId::PhoneNumberLabel));
  Child<QLabel>(Name("Label10"))->setText(T(TextId::PriorityLabel));
  QStringList priorities{T(TextId::NoPriority)};
  for (int i = 1; i <= 8; ++i) priorities << T(TextId::PriorityPrefix) + QString::number(i);
  SetItems(prioBox_, priorities);
  Child<QLabel>(Name("Label13"))->setText(T(TextId::PrivilegesLabel));
  SetItems(privilegios_, {QStringLiteral("Apex"), T(TextId::Administrator), T(TextId::Advanced), T(TextId::User)});
  anadir_->setText(T(TextId::Add));
  borrar_->setText(T(TextId::Delete));
  rxd_->setText(T(TextId::RxData));
  frame("Frame8", TextId::Mask);
  checkMask_->setText(T(TextId::Enable));
  frame("Frame14", TextId::ResetMacro);
  frame("Frame15", TextId::GsmOkMacro);
  frame("Frame16", TextId::GsmFailMacro);
  QStringList macros{T(TextId::No)};
  for (int k = 1; k <= kMacros; ++k) macros << QString::number(k);
  for (const int* list : {&g.MACRO_INICIO, &g.MACRO_GSMOK, &g.MACRO_GSMMAL, &tx.MACRO_TX}) {
    SetItems(static_cast<QComboBox*>(ControlOf(*list)), macros);
  }
  frame("DigitalFrame", TextId::FailTransmissionAlarm);
  static_cast<QCheckBox*>(ControlOf(tx.HABIL))->setText(T(TextId::EnableShort));
  Child<QLabel>(Name("MacroTxSiLab"))->setText(T(TextId::MacroIfTrue));
  frame("Frame13", TextId::StatusMessage);
  Child<QLabel>(Name("Label4"))->setText(T(TextId::SecondsShort));
  frame("Frame17", TextId::RestoredAlarmsText);
  static_cast<QCheckBox*>(ControlOf(g.Habil_Restore))->setText(T(TextId::EnableShort));
  Describe(ControlOf(g.ASINC), T(TextId::ClockResyncDays), T(TextId::AutoSync));
  Describe(ControlOf(g.AINFO), T(TextId::AutoInfoDays), T(TextId::AutoInfo));
  Describe(ControlOf(g.RENVT), T(TextId::MinutesBetweenRetries), T(TextId::RetryTime));
  Describe(ControlOf(g.PTLF), T(TextId::OwnSimPhoneNumber), T(TextId::OwnPhoneNumber));
  Describe(newTlf_, T(TextId::PhoneNumberInternational), T(TextId::PhoneNumberLabel));
  Describe(prioBox_, T(TextId::PhoneNumberPriority), T(TextId::PriorityLabel));
  Describe(privilegios_, T(TextId::PhoneNumberPrivileges), T(TextId::PrivilegesLabel));
  Describe(rxd_, T(TextId::TransparentDataCalls), T(TextId::RxData));
  Describe(checkMask_, T(TextId::EnableMask), T(TextId::Mask) + QStringLiteral(": ") + T(TextId::Enable));
  for (int i = 0; i < kDigitalInputs; ++i) maskD_[i]->setAccessibleName(T(TextId::Mask) + QStringLiteral(" D%1").arg(i));
  for (int j = 0; j < kAnalogInputs; ++j) maskA_[j]->setAccessibleName(T(TextId::Mask) + QStringLiteral(" A%1").arg(j));
  checkTxAlm_->setAccessibleName(T(TextId::Mask) + QStringLiteral(" TXA"));
  checkInfo_->setAccessibleName(T(TextId::Mask) + QStringLiteral(" INFO"));
  Describe(listaTlf_, T(TextId::AuthorizedPhoneListHint));
  Describe(ControlOf(g.MACRO_INICIO), T(TextId::MacroOnReset), T(TextId::ResetMacro));
  Describe(ControlOf(g.MACRO_GSMOK), T(TextId::MacroOnGsmRegistered), T(TextId::GsmOkMacro));
  Describe(ControlOf(g.MACRO_GSMMAL), T(TextId::MacroOnGsmNotRegistered), T(TextId::GsmFailMacro));
  Describe(ControlOf(tx.HABIL), T(TextId::EnableTxFailAlarm), T(TextId::FailTransmissionAlarm) + QStringLiteral(": ") + T(TextId::EnableShort));
  Describe(ControlOf(tx.TEXT), T(TextId::TextForTxFailAlarm));
  Describe(ControlOf(tx.RING), T(TextId::NotifyByVoiceCall), QStringLiteral("Ring"));
  Describe(ControlOf(tx.MACRO_TX), T(TextId::MacroOnAlarmActive), T(TextId::MacroIfTrue));
  Describe(ControlOf(g.NORMAL), T(TextId::StatusMessageSeconds), T(TextId::StatusMessage));
  Describe(ControlOf(g.Habil_Restore), T(TextId::EnableRestoredAlarmText), T(TextId::RestoredAlarmsText) + QStringLiteral(": ") + T(TextId::EnableShort));
  Describe(ControlOf(g.REST_TEXT), T(TextId::RestoredAlarmTextHint));
  anadir_->setAccessibleName(T(TextId::Add));
  borrar_->setAccessibleName(T(TextId::Delete));
  connection_->LoadText();
}

void GeneralEditor::RefreshOthers() {
  // The SMS-centre option of the record, once a configuration or the user has chosen one.
  if (smsCentreShown_) {
    for (int i = 0; i < 4; ++i) csm_[i]->setChecked(record_.General.Csm == kCentres[i]);
  }
  // The phone list, keeping the selected row where it can.
  const int selected = listaTlf_->currentRow();
  QStringList entries;
  for (const Text& entry : record_.ListaTlf) entries << QString::fromStdString(Cp1252ToUtf8(entry));
  bool same = listaTlf_->count() == entries.size();
  for (int i = 0; same && i < entries.size(); ++i) same = listaTlf_->item(i)->text() == entries[i];
  if (!same) {
    listaTlf_->clear();
    listaTlf_->addItems(entries);
    if (selected >= 0 && selected < listaTlf_->count()) listaTlf_->setCurrentRow(selected);
  }
}

void GeneralEditor::ApplyRules() {
  const GeneralGroup& g = record_.General;
  const TxAlarmGroup& tx = record_.TxAlarm;
  ControlOf(g.SMSC)->setEnabled(g.Csm == SmsCentre::CSMOtro);
  for (QWidget* w : {ControlOf(tx.RING), ControlOf(tx.TEXT), ControlOf(tx.MACRO_TX),
                     Child<QWidget>(Name("MacroTxSiLab"))}) {
    w->setEnabled(tx.HABIL);
  }
  ControlOf(g.REST_TEXT)->setEnabled(g.Habil_Restore);
  ControlOf(g.PIN)->setEnabled(g.PinHabil);
}

void GeneralEditor::ApplyMaskRule() {
  const bool on = checkMask_->isChecked();
  if (!on) {
    // INFO keeps its state; every other mask box is cleared.
    for (QCheckBox* box : maskD_) box->setChecked(false);
    for (QCheckBox* box : maskA_) box->setChecked(false);
    checkTxAlm_->setChecked(false);
  }
  for (QCheckBox* box : maskD_) box->setEnabled(on);
  for (QCheckBox* box : maskA_) box->setEnabled(on);
  checkTxAlm_->setEnabled(on);
  checkInfo_->setEnabled(on);
  for (QLabel* label : findChildren<QLabel*>()) {
    if (label->objectName().startsWith(QLatin1String("Label")) && label->buddy() &&
        qobject_cast<QCheckBox*>(label->buddy()) && label->buddy() != checkMask_) {
      label->setEnabled(on);
    }
  }
}

void GeneralEditor::ShowSmsCentreChoice() { smsCentreShown_ = true; }

void GeneralEditor::ChooseSmsCentre(SmsCentre choice) {
  smsCentreShown_ = true;
  record_.SelectSmsCentre(choice);
  QWidget* option = nullptr;
  for (int i = 0; i < 4; ++i) {
    if (kCentres[i] == choice) option = csm_[i];
  }
  Changed(option);
  if (choice == SmsCentre::CSMOtro && window()->isActiveWindow()) {
    ControlOf(record_.General.SMSC)->setFocus(Qt::OtherFocusReason);
  }
}

void GeneralEditor::AddPhoneEntry() {
  const QByteArray typed = newTlf_->text().toUtf8();
  PhoneEntryChoice choice;
  choice.number = Utf8ToCp1252(std::string_view(typed.constData(), static_cast<std::size_t>(typed.size())))
                      .value_or(std::string());
  choice.priority = std::max(prioBox_->currentIndex(), 0);
  choice.rxd = rxd_->isChecked();
  choice.privilege = static_cast<Privilege>(std::max(privilegios_->currentIndex(), 0));
  choice.mask = checkMask_->isChecked();
  for (int i = 0; i < kDigitalInputs; ++i) choice.maskD[static_cast<std::size_t>(i)] = maskD_[i]->isChecked();
  for (int j = 0; j < kAnalogInputs; ++j) choice.maskA[static_cast<std::size_t>(j)] = maskA_[j]->isChecked();
  choice.maskTxAlm = checkTxAlm_->isChecked();
  choice.maskInfo = checkInfo_->isChecked();
  switch (record_.AddPhoneEntry(choice)) {
    case AddPhoneResult::InvalidNumber:
      // The typed text and every other choice stay for the user to mend.
      QMessageBox::warning(this, QString::fromLatin1(kTitle), T(TextId::IncorrectPhoneNumber));
      newTlf_->setFocus(Qt::OtherFocusReason);
      return;
    case AddPhoneResult::ListFull:
      QMessageBox::information(this, QString::fromLatin1(kTitle), T(TextId::ListFull));
      break;
    case AddPhoneResult::Added:
      Changed(anadir_);
      listaTlf_->setCurrentRow(listaTlf_->count() - 1);
      break;
    case AddPhoneResult::EmptyNumber: break;
  }
  ResetEntryControls();
}

void GeneralEditor::ResetEntryControls() {
  newTlf_->clear();
  newTlf_->setFocus(Qt::OtherFocusReason);
  prioBox_->setCurrentIndex(0);
  privilegios_->setCurrentIndex(static_cast<int>(Privilege::Administrator));
  checkMask_->setChecked(false);
  rxd_->setChecked(false);
  ApplyMaskRule();
}

void GeneralEditor::DeletePhoneEntry() {
  const int row = listaTlf_->currentRow();
  if (row < 0 || !listaTlf_->currentItem() || !listaTlf_->currentItem()->isSelected()) return;
  record_.DeletePhoneEntry(static_cast<std::size_t>(row));
  // No entry is selected afterwards: a second Delete removes nothing the user did not choose.
  listaTlf_->setCurrentRow(-1);
  listaTlf_->clearSelection();
  Changed(borrar_);
}

bool GeneralEditor::SelectFirstPhoneEntry() {
  if (listaTlf_->count() == 0) return false;
  listaTlf_->setCurrentRow(0);
  return true;
}

}  // namespace zdl::ui
