// The base of every editor window: controls bound once to a field of the record (from
// the field table), one refresh path (record -> every control, then the enabling rules)
// used after an edit, a load, a read and a language switch, and the texts applied by
// LoadText, which can run again at any time.
#pragma once

#include <QPointer>
#include <QString>
#include <QValidator>
#include <QWidget>
#include <functional>
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

// The rule of a text box: only text that Windows-1252 can hold (the unit's and the files'
// character set), and no more characters than its field keeps. A longer text that came
// from a file is shown whole; it may be shortened but never lengthened.
class Cp1252Validator final : public QValidator {
  Q_OBJECT
 public:
  // `limit`: the characters the field keeps, 0 for no limit. `kept`: the length of the
  // value the box stands for (a text longer than the limit that is already there).
  Cp1252Validator(int limit, std::function<qsizetype()> kept, QObject* parent);
  State validate(QString& input, int& pos) const override;
  // Whether `text` may stand in the box, without telling anyone.
  bool Allows(const QString& text) const;
  int Limit() const { return limit_; }

 signals:
  // A refused input: the characters that cannot be kept.
  void Refused(const QString& characters) const;
  // A refused input: longer than the field keeps.
  void TooLong(int limit) const;

 private:
  int limit_;
  std::function<qsizetype()> kept_;
};

// How a control is named for the user, in the current language: the title of the nearest
// frame around it within `editor` and its own spoken name (a button's text when it has
// none), without a closing colon.
struct ControlNames {
  QString frame;
  QString name;
  // "Frame: name", or the one of them that says it all.
  QString Caption() const;
};
ControlNames NamesOf(const QWidget& editor, const QWidget& control);

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
  // The user changed the record through this window, with `control`.
  void Edited(QWidget* control);
  // A short note for the status bar.
  void Note(const QString& text);

 protected:
  // Controls bound to the field table's row of a member of record_ (an input's TEXT):
  // the row gives the control its object name, its limit or list size, and its rules.
  QLineEdit* BindText(const Text& member);
  QCheckBox* BindCheck(const bool& member);
  QComboBox* BindList(const int& member);
  // The row of a member of record_ that this window shows.
  const Field& RowOf(const Text& member) const { return InThisWindow(FieldOf(record_, member)); }
  const Field& RowOf(const bool& member) const { return InThisWindow(FieldOf(record_, member)); }
  const Field& RowOf(const int& member) const { return InThisWindow(FieldOf(record_, member)); }
  // The control bound to a member of record_.
  template <class Member>
  QWidget* ControlOf(const Member& member) const {
    return BoundTo(RowOf(member));
  }

  // A frame with the object name `name`.
  QGroupBox* Frame(const QString& name);
  // A label with the object name `name`, speaking for `buddy` when given.
  QLabel* Label(const QString& name, QWidget* buddy = nullptr);
  // A text box not bound to the record (it still refuses what Windows-1252 cannot hold and
  // what is longer than `maxLength`, on every path into it).
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

  // An edit made through `control` (bound, or one the window's own code handles: the
  // SMS-centre options, Add, Delete): refreshes and tells that the record changed.
  void Changed(QWidget* control);

  ConfigurationRecord& record_;

 private:
  // The connection controls the General editor places are made with its helpers.
  friend class ConnectionPanel;

  struct Binding {
    const Field* field;
    QWidget* widget;
  };
  const Field& InThisWindow(const Field* row) const;
  QWidget* BoundTo(const Field& row) const;
  void RefreshBinding(const Binding& binding);
  // The rule of one text box, telling the status bar what it refuses.
  Cp1252Validator* RuleFor(QLineEdit* edit, int limit, std::function<qsizetype()> kept);
  // A text that reached a bound box (typed, pasted, set by an assistive tool): into the
  // record, or refused with the box back at the record's value.
  void TakeText(const Binding& binding, const QString& text);
  // A box showing a text longer than its field is marked (colour, spoken description).
  void MarkLength(const Binding& binding);

  EditorId id_;
  std::vector<Binding> bindings_;
  bool refreshing_ = false;
};

}  // namespace zdl::ui
