// The comparison window: the differences between the editors' configuration ("this
// side") and another one (a file, or what the unit holds), one row per key, sortable; a
// double-click shows the field's control in its editor, and the selected rows can be
// taken over from the other side into the editors in one step.
#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "compare/comparison.h"
#include "model/configuration_record.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace zdl::ui {

class MainWindow;

// What the other side is: a file (compared key by key) or a configuration read from the
// unit (compared as the unit keeps what the editors hold), after a compare command or a
// verify.
enum class CompareSide { File, Unit, Verify };

// The control that shows a difference: its editor and object name.
struct DifferenceControl {
  EditorId editor;
  QString objectName;
};
std::optional<DifferenceControl> ControlOf(const FieldDifference& difference);

class CompareWindow final : public QWidget {
  Q_OBJECT
 public:
  explicit CompareWindow(MainWindow& main, QWidget* parent = nullptr);

  // Compares the editors' configuration with `other` and shows the differences.
  // `otherName` names a file (CompareSide::File); `hasDatalogger` tells what a unit keeps.
  void Show(const ConfigurationRecord& other, CompareSide side, const QString& otherName = {},
            bool hasDatalogger = true);
  // Compares again with the same other side (after the editors changed).
  void Recompute();
  void LoadText();

  // Takes the selected rows' values over from the other side into the editors (one
  // step), then compares again.
  void TakeOverSelected();
  // A row's field in front: its editor brought to the front, the focus on its control.
  void ShowField(int row);

  const std::vector<FieldDifference>& Differences() const { return differences_; }
  QTableWidget* Table() const { return table_; }
  QPushButton* TakeOverButton() const { return takeOver_; }

  // The caption of a difference's field in the current language, from the control that
  // shows it (its frame's title and its spoken name); the key when no control shows it.
  QString FieldCaption(const FieldDifference& difference) const;

 private:
  void Fill();
  // A value as its control shows it: a list's entry, otherwise the text.
  QString ShownValue(const FieldDifference& difference, const Text& value) const;
  QWidget* ControlWidget(const FieldDifference& difference) const;
  const FieldDifference* RowDifference(int row) const;

  MainWindow& main_;
  ConfigurationRecord other_;
  CompareSide side_ = CompareSide::File;
  QString otherName_;
  bool hasDatalogger_ = true;
  std::vector<FieldDifference> differences_;
  QLabel* sides_;
  QLabel* count_;
  QTableWidget* table_;
  QPushButton* takeOver_;
  QPushButton* close_;
};

}  // namespace zdl::ui
