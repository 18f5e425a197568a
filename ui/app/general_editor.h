// The general parameters editor: the general group, the authorised phone list, the
// transmission-fail alarm, the PIN, and (placed in its right column) the connection
// panel of the unit.
#pragma once

#include "ui/app/editor_window.h"

class QComboBox;
class QGridLayout;
class QGroupBox;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace zdl::ui {

class ConnectionPanel;
class UnitLink;

class GeneralEditor final : public EditorWindow {
  Q_OBJECT
 public:
  GeneralEditor(ConfigurationRecord& record, UnitLink& link, QWidget* parent = nullptr);

  void LoadText() override;
  // Selects the first entry of ListaTlf; false when the list is empty.
  bool SelectFirstPhoneEntry();

  // A configuration was set (loaded, read, taken over): from now on the SMS-centre option
  // of the record shows. Until then no option is selected and SMSCBox is editable.
  void ShowSmsCentreChoice();

  // Anadir_Click and Borrar_Click.
  void AddPhoneEntry();
  void DeletePhoneEntry();

  // The connection controls and their state.
  ConnectionPanel& Connection() const { return *connection_; }

 protected:
  void ApplyRules() override;
  void RefreshOthers() override;

 private:
  // The three columns, side by side.
  void BuildLayout();
  void ChooseSmsCentre(SmsCentre choice);
  // The entry controls back to their defaults after an add (whatever its outcome).
  void ResetEntryControls();
  void ApplyMaskRule();

  QGridLayout* BuildLeftColumn(QGroupBox*& restore);
  QGroupBox* BuildPhoneColumn();
  QGridLayout* BuildRightColumn(QGroupBox* restore);
  void SetFramesEnabled(bool enabled);

  ConnectionPanel* connection_;
  bool smsCentreShown_ = false;
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
};

}  // namespace zdl::ui
