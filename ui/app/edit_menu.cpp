#include "ui/app/edit_menu.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

#include "ui/app/compare_window.h"
#include "ui/app/connection_panel.h"
#include "ui/app/editor_window.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "text/extra_texts.h"

namespace zdl::ui {

namespace {

constexpr EditorId kEditors[] = {EditorId::Macros,     EditorId::Alarmas,        EditorId::Alarmas2,
                                 EditorId::Datalogger, EditorId::Temporizadores, EditorId::General};


// A name shown after a mnemonic: its own "&" stays a character.
QString Plain(QString name) { return name.replace(QLatin1Char('&'), QStringLiteral("&&")); }

bool IsUndoOrRedoKey(const QKeyEvent& key) {
  const QKeyCombination combination = key.keyCombination();
  return key.matches(QKeySequence::Undo) || key.matches(QKeySequence::Redo) ||
         combination == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z) ||
         combination == QKeyCombination(Qt::CTRL, Qt::Key_Y);
}

}  // namespace

EditMenu::EditMenu(MainWindow& window)
    : QObject(&window),
      window_(window),
      history_(window.Record()),
      menu_(new QMenu(&window)),
      undo_(menu_->addAction(QString(), this, &EditMenu::Undo)),
      redo_(menu_->addAction(QString(), this, &EditMenu::Redo)) {
  menu_->setObjectName(QStringLiteral("EditMenu"));
  undo_->setObjectName(QStringLiteral("Action_Undo"));
  redo_->setObjectName(QStringLiteral("Action_Redo"));
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  menu_->addSeparator();
  reset_ = menu_->addAction(QString(), this, &EditMenu::ResetFrontEditor);
  reset_->setObjectName(QStringLiteral("Action_Reset"));
  for (QAction* action : {undo_, redo_}) {
    // From every window of the program (the comparison window too), as the toolbar's keys.
    action->setShortcutContext(Qt::ApplicationShortcut);
    window.addAction(action);
  }
  for (EditorId id : kEditors) {
    EditorWindow* editor = window.Editor(id);
    connect(editor, &EditorWindow::Edited, this, [this, editor](QWidget* control) { OnEdited(*editor, control); });
    for (QLineEdit* box : editor->findChildren<QLineEdit*>()) box->installEventFilter(this);
    // An editable list hands its keys to its box without the box's filters.
    for (QComboBox* list : editor->findChildren<QComboBox*>()) list->installEventFilter(this);
  }
  // Typing in a box is one step until the focus leaves it.
  connect(qApp, &QApplication::focusChanged, this, [this] { history_.Seal(); });
  ConnectionPanel& connection = window.General()->Connection();
  connect(&connection, &ConnectionPanel::ExchangeStarted, this, &EditMenu::UpdateActions);
  connect(&connection, &ConnectionPanel::ExchangeEnded, this, &EditMenu::UpdateActions);
  if (auto* area = qobject_cast<QMdiArea*>(window.centralWidget())) {
    connect(area, &QMdiArea::subWindowActivated, this, &EditMenu::UpdateActions);
  }
  LoadText();
}

bool EditMenu::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
    return QObject::eventFilter(watched, event);
  }
  if (!IsUndoOrRedoKey(*static_cast<QKeyEvent*>(event))) return QObject::eventFilter(watched, event);
  // Not the box's: the override is left unclaimed, so the key reaches Edit > Undo or
  // Redo; a key press that gets here (nothing to undo) does nothing.
  event->ignore();
  return true;
}

void EditMenu::OnEdited(const EditorWindow& editor, QWidget* control) {
  StepSubject subject{StepKind::Edit, editor.Id(), control ? control->objectName().toStdString() : std::string(), {}};
  if (subject.control == "Anadir") subject = {StepKind::AddEntry, EditorId::General, {}, {}};
  if (subject.control == "Borrar") subject = {StepKind::DeleteEntry, EditorId::General, {}, {}};
  history_.Record(subject, window_.Record(), qobject_cast<QLineEdit*>(control) != nullptr);
  UpdateActions();
}

void EditMenu::Record(const StepSubject& subject) {
  history_.Record(subject, window_.Record());
  UpdateActions();
}

void EditMenu::Undo() {
  if (!undo_->isEnabled()) return;
  if (const auto move = history_.Undo()) Show(*move);
}

void EditMenu::Redo() {
  if (!redo_->isEnabled()) return;
  if (const auto move = history_.Redo()) Show(*move);
}

void EditMenu::Show(const UndoHistory::Move& move) {
  window_.Record() = move.record;
  window_.RefreshEditors();
  // An open comparison compares what the editors show now.
  if (auto* comparison = window_.findChild<CompareWindow*>(); comparison && comparison->isVisible()) {
    comparison->Recompute();
  }
  const StepSubject& step = move.subject;
  UpdateActions();
  window_.activateWindow();
  switch (step.kind) {
    case StepKind::Edit:
      window_.BringToFront(step.editor);
      window_.Editor(step.editor)->FocusControl(QString::fromStdString(step.control));
      break;
    case StepKind::AddEntry:
    case StepKind::DeleteEntry:
      window_.BringToFront(EditorId::General);
      window_.General()->FocusControl(QString::fromStdString(PhoneListField().ObjectName()));
      break;
    case StepKind::Reset: window_.BringToFront(step.editor); break;
    case StepKind::Open:
    case StepKind::Read:
    case StepKind::TakeOver: window_.BringToFront(EditorId::General); break;
  }
}

EditorWindow* EditMenu::FrontEditor() const {
  auto* area = qobject_cast<QMdiArea*>(window_.centralWidget());
  QMdiSubWindow* front = area ? area->currentSubWindow() : nullptr;
  for (EditorId id : kEditors) {
    if (front && window_.SubWindow(id) == front && front->isVisible()) return window_.Editor(id);
  }
  return nullptr;
}

void EditMenu::ResetFrontEditor() {
  EditorWindow* editor = FrontEditor();
  if (!editor || !reset_->isEnabled()) return;
  ConfigurationRecord& record = window_.Record();
  switch (editor->Id()) {
    case EditorId::General: record.ClearGeneral(); break;
    case EditorId::Alarmas: record.ClearAlarmas(); break;
    case EditorId::Alarmas2: record.ClearAlarmas2(); break;
    case EditorId::Macros: record.ClearMacros(); break;
    case EditorId::Datalogger: record.ClearDatalogger(); break;
    case EditorId::Temporizadores: record.ClearTemporizadores(); break;
  }
  window_.RefreshEditors();
  Record({StepKind::Reset, editor->Id(), {}, {}});
}

QString EditMenu::StepName(const StepSubject& subject) const {
  switch (subject.kind) {
    case StepKind::Edit: {
      EditorWindow* editor = window_.Editor(subject.editor);
      const QString name = QString::fromStdString(subject.control);
      const QWidget* control = editor->findChild<QWidget*>(name);
      const QString caption = control ? NamesOf(*editor, *control).Caption() : QString();
      return caption.isEmpty() ? name : caption;
    }
    case StepKind::AddEntry: return T(TextId::Add);
    case StepKind::DeleteEntry: return T(TextId::Delete);
    case StepKind::Reset: return T(ExtraText::ResetStep).arg(window_.Editor(subject.editor)->windowTitle());
    case StepKind::Open: return T(TextId::Open) + QLatin1Char(' ') + QString::fromStdString(subject.file);
    case StepKind::Read: return T(ExtraText::ReadStep);
    case StepKind::TakeOver:
      return T(ExtraText::TakeOverSelected);
  }
  return {};
}

void EditMenu::LoadText() {
  menu_->setTitle(T(ExtraText::EditMenu));
  UpdateActions();
}

void EditMenu::UpdateActions() {
  // The menu items name their step; a screen reader speaks them without the "&".
  const StepSubject* back = history_.UndoSubject();
  const StepSubject* again = history_.RedoSubject();
  undo_->setText(back ? T(ExtraText::UndoStep).arg(Plain(StepName(*back))) : T(ExtraText::UndoCommand));
  redo_->setText(again ? T(ExtraText::RedoStep).arg(Plain(StepName(*again))) : T(ExtraText::RedoCommand));
  const bool idle = !window_.General()->Connection().ExchangeRunning();
  undo_->setEnabled(idle && back);
  redo_->setEnabled(idle && again);
  const EditorWindow* front = FrontEditor();
  reset_->setText(T(ExtraText::ResetCommand).arg(front ? Plain(front->windowTitle()) : QString(QChar(0x2026))));
  reset_->setEnabled(idle && front);
}

}  // namespace zdl::ui
