// The general parameters editor: the general group, the authorised phone list, the
// transmission-fail alarm, the PIN, and the connection controls of the unit.
#pragma once

#include "ui/app/editor_window.h"

class QComboBox;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace zdl::ui {

class MainWindow;

class GeneralEditor final : public EditorWindow {
  Q_OBJECT
 public:
  GeneralEditor(ConfigurationRecord& record, MainWindow& main, QWidget* parent = nullptr);

  void LoadText() override;
  // Selects the first entry of ListaTlf; false when the list is empty.
  bool SelectFirstPhoneEntry();

  // Anadir_Click and Borrar_Click.
  void AddPhoneEntry();
  void DeletePhoneEntry();

  // The connection controls.
  QComboBox* Puerto() const { return puerto_; }
  QPushButton* IniCom() const { return iniCom_; }
  QPushButton* Leer() const { return leer_; }
  QPushButton* Escribir() const { return escribir_; }
  QLabel* ProgStat() const { return progStat_; }
  QProgressBar* PBar() const { return pBar_; }

 protected:
  void ApplyRules() override;
  void RefreshOthers() override;

 private:
  void BuildLayout();
  void ChooseSmsCentre(SmsCentre choice);
  // The entry controls back to their defaults after an add (whatever its outcome).
  void ResetEntryControls();
  void ApplyMaskRule();

  MainWindow& main_;
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
