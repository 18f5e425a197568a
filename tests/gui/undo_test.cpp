// Edit > Undo and Redo: which changes make a step, every kind of step taken back and done
// again with the changed control in front, and the keys inside a text box.
#include "ui/app/edit_menu.h"

#include <QTableWidget>

#include "model/field_table.h"
#include "tests/gui/gui_support.h"
#include "ui/app/compare_window.h"
#include "ui/app/editor_window.h"

namespace zdl::ui {
namespace {

using namespace testing;

ConfigurationRecord Named(const char* name) {
  ConfigurationRecord r;
  r.General.NOMBRE = name;
  return r;
}

// --- The steps themselves, without windows: a change to nothing new is no step, a new
// step forgets the redo, and only the newest steps up to the limit are kept. (Typing that
// merges until the box is left, and typed back to the start: the keys' test below.)
TEST(UndoHistory, DecidesWhatIsAStep) {
  UndoHistory history(Named(""), 3);
  history.Record({StepKind::Open, EditorId::General, {}, "same.ncf"}, Named(""));  // no change
  EXPECT_EQ(history.UndoCount(), 0u);
  for (const char* read : {"1", "2", "3", "4"}) history.Record({}, Named(read));
  EXPECT_EQ(history.UndoCount(), 3u);
  history.Undo();
  history.Record({StepKind::Read, EditorId::General, {}, {}}, Named("unit"));
  EXPECT_EQ(history.RedoCount(), 0u);
  while (history.UndoCount() > 0) history.Undo();
  EXPECT_EQ(history.Redo()->record, Named("2"));
}

// --- In the windows, against the virtual unit. (Undo off while an exchange runs: the
// windows' end-to-end test checks it in every exchange.)

using UndoTest = WindowTest;

TEST_F(UndoTest, EveryKindOfStepIsUndoneAndRedoneWithItsControlInFront) {
  Open();
  EditMenu* edits = &window->Edits();
  ASSERT_TRUE(Connect());
  const QString plant = SaveFile(Named("Plant B"), "plant.ncf");
  const std::string timerOn = FieldOf(window->Record(), window->Record().Timers[0].HABIL)->ObjectName();
  struct Step {
    const char* what;
    std::function<void()> act;
    const char* undoText;  // null: the caption is not checked here
    EditorId editor;       // in front after an undo or a redo
    std::string focus;     // the control with the focus; empty: the editor's first
  };
  const std::vector<Step> steps = {
      {"typing", [&] { Type(Get<QLineEdit>("NameBox"), QStringLiteral("Plant")); }, "&Undo Name",
       EditorId::General, "NameBox"},
      {"list", [&] { Get<QComboBox>("MacroInicio")->setCurrentIndex(3); }, "&Undo Reset Macro",
       EditorId::General, "MacroInicio"},
      {"check", [&] { Get<QCheckBox>(timerOn.c_str())->click(); }, nullptr, EditorId::Temporizadores,
       timerOn},
      {"add", [&] {
         Get<QLineEdit>("NewTlf")->setText(QStringLiteral("600111222"));
         Get<QPushButton>("Anadir")->click();
       }, "&Undo Add", EditorId::General, "ListaTlf"},
      {"reset", [&] {
         window->BringToFront(EditorId::General);
         edits->ResetAction()->trigger();
       }, "&Undo Reset General parameters", EditorId::General, ""},
      {"take-over", [&] {
         window->CompareWithFile(TestData("full.ncf"));
         window->Comparison()->Table()->selectAll();
         window->Comparison()->TakeOverSelected();
       }, "&Undo Take over the selected values", EditorId::General, ""},
      {"open", [&] { window->OpenFile(plant); }, "&Undo Open plant.ncf", EditorId::General, ""},
      {"read", [&] {
         Panel().LeerClick();
         ASSERT_TRUE(Idle());
       }, "&Undo Read configuration", EditorId::General, ""},
  };
  std::vector<ConfigurationRecord> shown{window->Record()};
  for (const Step& step : steps) {
    step.act();
    window->BringToFront(EditorId::Datalogger);  // the focus leaves the box; elsewhere in front
    EXPECT_NE(window->Record(), shown.back()) << step.what;
    shown.push_back(window->Record());
    if (step.undoText) {
      EXPECT_EQ(edits->UndoAction()->text(), QString::fromLatin1(step.undoText)) << step.what;
    }
  }
  EXPECT_EQ(edits->History().UndoCount(), steps.size()) << "each change one step";
  const QString caption = window->windowTitle();

  auto expectShown = [&](std::size_t i, const Step& step, const char* how) {
    SCOPED_TRACE(std::string(how) + " " + step.what);
    EXPECT_EQ(window->Record(), shown[i]);
    EXPECT_EQ(Front(), window->SubWindow(step.editor));
    QWidget* focus = window->focusWidget();
    ASSERT_TRUE(focus && window->Editor(step.editor)->isAncestorOf(focus));
    EXPECT_TRUE(step.focus.empty() || focus->objectName().toStdString() == step.focus)
        << focus->objectName().toStdString();
  };
  for (std::size_t i = steps.size(); i-- > 0;) {
    edits->Undo();
    expectShown(i, steps[i], "undo");
  }
  for (std::size_t i = 0; i < steps.size(); ++i) {
    edits->Redo();
    expectShown(i + 1, steps[i], "redo");
  }
  EXPECT_EQ(window->windowTitle(), caption) << "the caption names the file last opened";
  EXPECT_EQ(window->CurrentFile(), plant);
}

// Ctrl+Z and Ctrl+Y in the box being typed in are Edit > Undo and Redo;
// where nothing is left to undo the box's own undo does not act either.
TEST_F(UndoTest, TheKeysInATextBoxAreTheMenusUndoAndRedo) {
  Open();
  auto* name = Get<QLineEdit>("NameBox");
  auto* phone = Get<QLineEdit>("PTLF");
  Type(phone, QStringLiteral("600"));
  Type(name, QStringLiteral("Pl"));
  phone->setFocus();  // left and typed in again: a step of its own
  Type(name, QStringLiteral("ant"));
  Press(name, Qt::ControlModifier, Qt::Key_Z);
  EXPECT_EQ(name->text(), QStringLiteral("Pl"));
  EXPECT_EQ(window->Record().General.NOMBRE, "Pl");
  Press(name, Qt::ControlModifier, Qt::Key_Z);
  EXPECT_EQ(name->text(), QString());
  EXPECT_EQ(window->Record().General.NOMBRE, "");
  EXPECT_EQ(window->Edits().UndoAction()->text(), QStringLiteral("&Undo Own phone number"));
  Press(name, Qt::ControlModifier, Qt::Key_Y);
  EXPECT_EQ(window->Record().General.NOMBRE, "Pl");
  EXPECT_EQ(name->text(), QStringLiteral("Pl"));
  Press(name, Qt::ControlModifier, Qt::Key_Z);
  Press(name, Qt::ControlModifier, Qt::Key_Z);  // the phone number's step, its box in front
  EXPECT_EQ(window->focusWidget(), phone);
  EXPECT_EQ(window->Record(), ConfigurationRecord());
  // Typed and erased: no step, and Ctrl+Z brings nothing back.
  Type(name, QStringLiteral("x"));
  Press(name, Qt::NoModifier, Qt::Key_Backspace);
  Press(name, Qt::ControlModifier, Qt::Key_Z);
  EXPECT_EQ(name->text(), QString());
  EXPECT_EQ(window->Record(), ConfigurationRecord());
}

}  // namespace
}  // namespace zdl::ui
