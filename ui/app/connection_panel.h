// The connection controls of the General editor: the port (Puerto, ModemCheck, CallNum),
// the unit's firmware (FirmText), IniCom, Leer, Escribir, the boxes beside Escribir, the
// status (ProgStat), the progress (PBar) and the Cancel button; the state of the
// connection behind them, the write's backup and verify, and the read of the unit for the
// comparison window.
//
// The controls sit in two places of the editor's right column (the port and firmware
// frames on top, the buttons and the status at the bottom), so the panel builds them as
// children of the editor and the editor places them. It talks to the rest of the program
// by signals: it reads the configuration through a constant reference and hands a read
// one over with RecordRead.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "compare/comparison.h"
#include "link/connection.h"
#include "model/configuration_record.h"
#include "model/field_table.h"
#include "ui/app/compare_window.h"

class QCheckBox;
class QComboBox;
class QDateTime;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;

namespace zdl::ui {

class EditorWindow;
class UnitLink;
struct WriteExtras;

class ConnectionPanel final : public QObject {
  Q_OBJECT
 public:
  // `host` is the editor the controls belong to (and the parent of the panel's messages);
  // `record` the configuration a write sends.
  ConnectionPanel(EditorWindow& host, const ConfigurationRecord& record, UnitLink& link);

  // The controls, in the order they join the editor's focus chain: the port's frame, the
  // firmware's frame, then the buttons, status and progress as rows `firstRow` on of
  // `column`.
  QGroupBox* BuildPortFrame();
  QGroupBox* BuildFirmwareFrame();
  void BuildActions(QGridLayout* column, int firstRow);
  // The panel's texts in the current language (part of the editor's).
  void LoadText();

  // IniCom_Click, Leer_Click, Escribir_Click.
  void IniComClick();
  void LeerClick();
  void EscribirClick();
  // Cancel and Esc (and closing the main window): ends the running exchange at once;
  // a write whose unit has taken part of the configuration only after the user says so
  // (Yes/No, No the default; the write goes on meanwhile). False when the user let the
  // write go on.
  bool CancelExchange();
  // The controls show a running connection.
  bool Connected() const { return connected_; }
  // A start, read or write is running.
  bool ExchangeRunning() const { return job_ != Job::None; }
  // The port name Puerto stands for: its entry's port, or the text typed in it.
  QString PortName() const;
  // Reads the unit into a copy and shows it against the editors in the comparison
  // window; the editors do not change. False when not connected or busy.
  bool CompareWithUnit();
  // A free text in ProgStat, in the current language (again after a language switch),
  // until the next status.
  void ShowStatusText(std::function<QString()> text);

  QPushButton* CancelButton() const { return cancel_; }
  QComboBox* Puerto() const { return puerto_; }
  QPushButton* IniCom() const { return iniCom_; }
  QPushButton* Leer() const { return leer_; }
  QPushButton* Escribir() const { return escribir_; }
  QLabel* ProgStat() const { return progStat_; }
  QProgressBar* PBar() const { return pBar_; }
  // The write's extras beside Escribir (off at every start: nothing is stored).
  QCheckBox* BackUpFirst() const { return backUpFirst_; }
  QCheckBox* VerifyAfterWriting() const { return verifyAfter_; }

  // The folder backups go to, and a backup's file name there for a unit's configuration.
  static QString BackupFolder();
  static QString BackupFileName(const ConfigurationRecord& unit, const QDateTime& when);

 signals:
  // A start, stop, read or write began; a read or a write locks every window but the
  // way out of the wait.
  void ExchangeStarted(bool locksWindow);
  void ExchangeEnded();
  // A read's configuration: it replaces the one the editors show.
  void RecordRead(const ConfigurationRecord& record);
  // The check pass found a field to mend: its control should take the focus.
  void FieldToMend(EditorId editor, const QString& objectName);
  // A configuration of the unit to show against the editors' (read for the comparison,
  // or read back by a verify).
  void ComparisonReady(const ConfigurationRecord& other, CompareSide side, bool hasDatalogger);

 private:
  enum class Job { None, Start, Stop, Read, Write };
  void FillPorts();
  void ConnectLink();
  void Begin(Job job);
  void End();
  // The two states of the controls: connected or not.
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
  // The write's extras (connection_extras.cpp).
  void ConnectExtras();
  void LoadExtrasText();
  WriteExtras ExtrasToAsk();
  void OnBackupFailed(const QString& problem);
  void OnVerified(bool ok, const std::vector<FieldDifference>& differences, const ConfigurationRecord& readBack);
  void OnCompareRead(bool ok, const ConfigurationRecord& record);

  EditorWindow& host_;
  const ConfigurationRecord& record_;
  UnitLink& link_;
  Job job_ = Job::None;
  int writes_ = 0;  // writes begun, to tell whether the one a question was about still runs
  QMessageBox* stopQuestion_ = nullptr;  // the open question of AskToStopWrite
  bool cancelled_ = false;
  bool connected_ = false;
  TextId status_ = TextId::CommunicationNotStarted;  // what ProgStat shows, so a language switch can show it again
  // A backup that failed (nothing was written): the message a failed write shows.
  std::optional<QString> backupProblem_;
  std::function<QString()> statusText_;
  // Where the running write's backup was saved.
  std::optional<QString> backupSaved_;
  QComboBox* puerto_ = nullptr;
  QCheckBox* modemCheck_ = nullptr;
  QLineEdit* callNum_ = nullptr;
  QLineEdit* firmText_ = nullptr;
  QPushButton* iniCom_ = nullptr;
  QPushButton* leer_ = nullptr;
  QPushButton* escribir_ = nullptr;
  QLabel* progStat_ = nullptr;
  QProgressBar* pBar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QCheckBox* backUpFirst_ = nullptr;
  QCheckBox* verifyAfter_ = nullptr;
};

}  // namespace zdl::ui
