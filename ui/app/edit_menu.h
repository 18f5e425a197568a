// The Edit menu of the main window: Undo (Ctrl+Z), Redo (Ctrl+Shift+Z, Ctrl+Y) and the
// reset of the editor in front to its defaults. It keeps the steps of every change of the
// configuration record (an edit in any editor, Add and Delete in the phone list, a reset,
// an open, a read, a take-over in the comparison window); an undo or a redo puts the
// step's record back through the windows' one refresh and shows the changed control.
//
// Ctrl+Z and Ctrl+Shift+Z (Ctrl+Y) in a text box of the editors are Edit > Undo and Redo:
// the box's own undo never runs, so the key and the menu always do the same. Neither talks
// to the unit, and both are off while an exchange with it runs.
#pragma once

#include <QObject>
#include <QString>

#include "ui/app/undo_history.h"

class QAction;
class QMenu;

namespace zdl::ui {

class EditorWindow;
class MainWindow;

class EditMenu final : public QObject {
  Q_OBJECT
 public:
  // Built once the window's editors are: it watches their edits and their text boxes.
  explicit EditMenu(MainWindow& window);

  QMenu* Menu() const { return menu_; }
  QAction* UndoAction() const { return undo_; }
  QAction* RedoAction() const { return redo_; }
  QAction* ResetAction() const { return reset_; }
  const UndoHistory& History() const { return history_; }

  // The window changed the whole record (`subject` says how): a step when anything changed.
  void Record(const StepSubject& subject);
  void Undo();
  void Redo();
  // The editor in front back to its defaults (its Clear), as one step.
  void ResetFrontEditor();
  // The step's name in the current language: the caption of its control, the command's.
  QString StepName(const StepSubject& subject) const;
  void LoadText();

 protected:
  // Keeps the undo keys from a text box's own undo (see above).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnEdited(const EditorWindow& editor, QWidget* control);
  // The editors show `move.record`; the changed control takes the focus.
  void Show(const UndoHistory::Move& move);
  EditorWindow* FrontEditor() const;
  // Texts and enabled states from the history and the connection.
  void UpdateActions();

  MainWindow& window_;
  UndoHistory history_;
  QMenu* menu_;
  QAction* undo_;
  QAction* redo_;
  QAction* reset_;
};

}  // namespace zdl::ui
