// The base of every editor window: controls bound once to a field of the record (from
// the field table), one refresh path (record -> every control, then the enabling rules)
// used after an edit, a load, a read and a language switch, and the texts applied by
// LoadText, which can run again at any time.
#pragma once

#include <QPointer>
#include <QString>
#include <QValidator>
#include <QWidget>
#include <vector>

#include "model/configuration_record.h"
#include "model/field_table.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace zdl::ui {

// Accepts only text that Windows-1252 can hold (the unit's and the files' character
// set): anything else, typed or pasted, is refused where it enters.
class Cp1252Validator final : public QValidator {
  Q_OBJECT
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
 signals:
  // A refused input: the characters that cannot be kept.
  void Refused(const QString& characters) const;
};

class EditorWindow : public QWidget {
  Q_OBJECT
 public:
  EditorWindow(EditorId id, ConfigurationRecord& record, QWidget* parent = nullptr);

  EditorId Id() const { return id_; }

  // Every language-dependent text of the window, the window's title included.
  virtual void LoadText() = 0;
  // LoadText, then every frame named for screen readers by its own title (a frame inside
  // another would otherwise be spoken with the outer one's).
  void ApplyTexts();
  // Record -> every control, then the enabling rules.
  void Refresh();
  // Gives the named control the focus (its frame scrolled into view); false when the
  // window has no such control.
  bool FocusControl(const QString& objectName);

 signals:
  // The user changed the record through this window.
  void Edited();
  // A short note for the status bar.
  void Note(const QString& text);

 protected:
  // Controls bound to the field table row of `control` with record item `item`.
  QLineEdit* BindText(std::string_view control, int item = -1);
  QCheckBox* BindCheck(std::string_view control, int item = -1);
  QComboBox* BindList(std::string_view control, int item = -1);

  // A frame with the object name `name`.
  QGroupBox* Frame(const QString& name);
  // A label with the object name `name`, speaking for `buddy` when given.
  QLabel* Label(const QString& name, QWidget* buddy = nullptr);
  // A text box not bound to the record (it still refuses what Windows-1252 cannot hold).
  QLineEdit* FreeText(const QString& name, int maxLength);

  // The enabling rules, from the record's state. Runs at the end of every refresh.
  virtual void ApplyRules() {}
  // Controls that are not fields of the table (lists of entries and the like).
  virtual void RefreshOthers() {}

  // Sets the tool tip and the name a screen reader speaks.
  static void Describe(QWidget* widget, const QString& toolTip, const QString& spokenName = {});
  // Rewrites the entries of a list in place, keeping its selection.
  static void SetItems(QComboBox* list, const QStringList& items);
  // A short number box: wide enough for `digits` digits and no wider.
  static void FitDigits(QLineEdit* edit, int digits);
  // The keyboard focus moves through the controls in the order given.
  static void ChainTabOrder(const std::vector<QWidget*>& controls);

  // The child control of that object name.
  template <class W>
  W* Child(const QString& objectName) const {
    return findChild<W*>(objectName);
  }

  // An edit made by the window's own code after the user acted on a control that is
  // not bound (the SMS-centre options): refreshes and tells that the record changed.
  void Changed();

  ConfigurationRecord& record_;

 private:
  struct Binding {
    const Field* field;
    QWidget* widget;
  };
  const Field& RowOf(std::string_view control, int item) const;
  void RefreshBinding(const Binding& binding);

  EditorId id_;
  std::vector<Binding> bindings_;
  Cp1252Validator* validator_;
  bool refreshing_ = false;
};

}  // namespace zdl::ui
