// The general parameters editor: the general group, the authorised phone list, the
// transmission-fail alarm, the PIN, and the connection controls of the unit.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "compare/comparison.h"
#include "link/connection.h"
#include "ui/app/editor_window.h"

class QBoxLayout;
class QComboBox;
class QDateTime;
class QListWidget;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace zdl::ui {

class MainWindow;
class UnitLink;
struct WriteExtras;

class GeneralEditor final : public EditorWindow {
  Q_OBJECT
 public:
  GeneralEditor(ConfigurationRecord& record, MainWindow& main, UnitLink& link, QWidget* parent = nullptr);

  void LoadText() override;
  // Selects the first entry of ListaTlf; false when the list is empty.
  bool SelectFirstPhoneEntry();

  // A configuration was set (loaded, read, taken over): from now on the SMS-centre option
  // of the record shows. Until then no option is selected and SMSCBox is editable.
  void ShowSmsCentreChoice();

  // Anadir_Click and Borrar_Click.
  void AddPhoneEntry();
  void DeletePhoneEntry();

  // The connection: IniCom_Click, Leer_Click, Escribir_Click, and the way out of a wait.
  void IniComClick();
  void LeerClick();
  void EscribirClick();
  // Cancel and Esc (and closing the main window): ends the running exchange at once;
  // a write whose unit has taken part of the configuration only after the user says so
  // (Yes/No, No the default; the write goes on meanwhile). False when the user let the
  // write go on.
  bool CancelExchange();
  // The connection controls show a running connection.
  bool Connected() const { return connected_; }
  // A start, read or write is running.
  bool ExchangeRunning() const { return job_ != Job::None; }
  // The port name Puerto stands for: its entry's port, or the text typed in it.
  QString PortName() const;

  // The connection controls.
  QPushButton* CancelButton() const { return cancel_; }
  QComboBox* Puerto() const { return puerto_; }
  QPushButton* IniCom() const { return iniCom_; }
  QPushButton* Leer() const { return leer_; }
  QPushButton* Escribir() const { return escribir_; }
  QLabel* ProgStat() const { return progStat_; }
  QProgressBar* PBar() const { return pBar_; }

  // The write's extras beside Escribir (off at every start) and the comparison with the
  // unit (general_extras.cpp).
  QCheckBox* BackUpFirst() const { return backUpFirst_; }
  QCheckBox* VerifyAfterWriting() const { return verifyAfter_; }
  // Reads the unit into a copy and shows it against the editors in the comparison
  // window; the editors do not change. False when not connected or busy.
  bool CompareWithUnit();
  // A free text in ProgStat, in the current language (again after a language switch),
  // until the next status.
  void ShowStatusText(std::function<QString()> text);
  // The folder backups go to, and a backup's file name there for a unit's configuration.
  static QString BackupFolder();
  static QString BackupFileName(const ConfigurationRecord& unit, const QDateTime& when);

 protected:
  void ApplyRules() override;
  void RefreshOthers() override;

 private:
  void BuildLayout();
  void ChooseSmsCentre(SmsCentre choice);
  // The entry controls back to their defaults after an add (whatever its outcome).
  void ResetEntryControls();
  void ApplyMaskRule();

  // The connection's side of the form.
  enum class Job { None, Start, Stop, Read, Write };
  void FillPorts();
  void ConnectLink();
  void LoadConnectionText();
  void Begin(Job job);
  void End();
  // The two states of the connection controls: connected or not.
  void ShowConnected(bool connected);
  void OnStarted(StartResult result);
  void OnStopped();
  void OnRead(bool ok, const ConfigurationRecord& record);
  void OnWritten(bool ok, bool incomplete);
  // The question before stopping a write that the unit has partly taken; true on Yes
  // (the write is being stopped) or when the write ended while it was asked. Withdrawn
  // (false, the write goes on) once the unit has acknowledged "#03".
  bool AskToStopWrite();
  void Message(const QString& text);
  // The write's extras.
  void BuildExtras(QBoxLayout* layout);
  void ConnectExtras();
  void LoadExtrasText();
  WriteExtras ExtrasToAsk();
  void OnBackupFailed(const QString& problem);
  void OnVerified(bool ok, const std::vector<FieldDifference>& differences, const ConfigurationRecord& readBack);
  void OnCompareRead(bool ok, const ConfigurationRecord& record);
  // A backup that failed (nothing was written): the message a failed write shows.
  std::optional<QString> backupProblem_;
  std::function<QString()> statusText_;
  // Where the running write's backup was saved.
  std::optional<QString> backupSaved_;
  QCheckBox* backUpFirst_ = nullptr;
  QCheckBox* verifyAfter_ = nullptr;

  MainWindow& main_;
  UnitLink& link_;
  Job job_ = Job::None;
  int writes_ = 0;  // writes begun, to tell whether the one a question was about still runs
  QMessageBox* stopQuestion_ = nullptr;  // the open question of AskToStopWrite
  bool cancelled_ = false;
  bool connected_ = false;
  bool smsCentreShown_ = false;
  int status_ = 52;  // the offset ProgStat shows, so a language switch can show it again
  QPushButton* cancel_ = nullptr;
  QRadioButton* csm_[4]{};
  QLineEdit* newTlf_;
  QComboBox* prioBox_;
  QComboBox* privilegios_;
  QCheckBox* rxd_;
  QCheckBox* checkMask_;
  QCheckBox* maskD_[kDigitalInputs]{};
  QCheckBox* maskA_[kAnalogInputs]{};
  QCheckBox* checkTxAlm_;
  QCheckBox* checkInfo_;
  QListWidget* listaTlf_;
  QPushButton* anadir_;
  QPushButton* borrar_;
  QComboBox* puerto_;
  QCheckBox* modemCheck_;
  QLineEdit* callNum_;
  QLineEdit* firmText_;
  QPushButton* iniCom_;
  QPushButton* leer_;
  QPushButton* escribir_;
  QLabel* progStat_;
  QProgressBar* pBar_;
};

}  // namespace zdl::ui
