// The alarm, macros, data-logger and timers editors, each built on a record of its own:
// their controls against the field table, the enabling rules of a frame, what a text box
// takes and refuses, and the fit on a 1366x768 screen in both languages.
#include <QAccessible>
#include <QGroupBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QValidator>
#include <set>

#include "model/field_table.h"
#include "tests/gui/gui_support.h"
#include "ui/app/editor_window.h"
#include "ui/app/editors.h"

namespace zdl::ui {
namespace {

using namespace testing;

constexpr EditorId kEditors[] = {EditorId::Alarmas, EditorId::Alarmas2, EditorId::Macros,
                                 EditorId::Datalogger, EditorId::Temporizadores};

class EditorsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentLang(Lang::Spanish); }
  void TearDown() override { SetCurrentLang(Lang::English); }

  std::unique_ptr<EditorWindow> Build(EditorId id) {
    if (id == EditorId::Macros) return std::unique_ptr<EditorWindow>(NewMacrosEditor(record, nullptr));
    if (id == EditorId::Datalogger)
      return std::unique_ptr<EditorWindow>(NewDataloggerEditor(record, nullptr));
    if (id == EditorId::Temporizadores)
      return std::unique_ptr<EditorWindow>(NewTimersEditor(record, nullptr));
    return std::unique_ptr<EditorWindow>(NewAlarmEditor(id, record, nullptr));
  }

  ConfigurationRecord record;
};

// The names of the controls of a frame (only the disabled ones when asked).
std::set<QString> Names(QWidget* frame, bool disabledOnly = false) {
  std::set<QString> names;
  for (QWidget* w : frame->findChildren<QWidget*>()) {
    if (!w->objectName().isEmpty() && !(disabledOnly && w->isEnabled())) names.insert(w->objectName());
  }
  return names;
}

// Every control the field table names is there, takes its field's length and not one
// character more, holds its list, and is spoken with a name (a list also by its labels).
// (Their texts in the other language: the main window's language test.)
TEST_F(EditorsTest, EveryControlOfTheFieldTableIsThere) {
  for (EditorId id : kEditors) {
    auto editor = Build(id);
    SCOPED_TRACE(editor->objectName().toStdString());
    for (const Field* f : FieldsOf(id)) {
      const QString name = QString::fromStdString(f->ObjectName());
      QWidget* w = editor->findChild<QWidget*>(name);
      ASSERT_NE(w, nullptr) << name.toStdString();
      if (auto* edit = qobject_cast<QLineEdit*>(w); edit && f->maxLength > 0) {
        ASSERT_NE(edit->validator(), nullptr) << name.toStdString();
        QString full(static_cast<qsizetype>(f->maxLength), QChar('1'));
        QString longer = full + QChar('1');
        int pos = 0;
        EXPECT_EQ(edit->validator()->validate(full, pos), QValidator::Acceptable) << name.toStdString();
        EXPECT_EQ(edit->validator()->validate(longer, pos), QValidator::Invalid) << name.toStdString();
      }
      QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(spoken, nullptr) << name.toStdString();
      EXPECT_FALSE(spoken->text(QAccessible::Name).isEmpty()) << name.toStdString() << " has no spoken name";
      if (auto* list = qobject_cast<QComboBox*>(w)) {
        EXPECT_EQ(list->count(), f->items) << name.toStdString();
        EXPECT_FALSE(spoken->relations(QAccessible::Label).isEmpty()) << name.toStdString();
      }
    }
  }
}

// A frame's switch (a digital input's mode, an analog input's or a timer's Habil) enables
// every other control of the frame and keeps their values; within a digital input,
// Ciclos enables the counter. The other frames do not move; a load (or a reset) runs the
// same rules.
TEST_F(EditorsTest, AFramesSwitchEnablesEveryOtherControlOfItsFrameOnly) {
  struct Case {
    EditorId editor;
    const char* frame;
    const char* other;  // another frame of the same window
    const char* control;  // the switch
    std::function<void(ConfigurationRecord&, bool)> set;
    std::set<QString> needCiclos;
  };
  const Case cases[] = {
      {EditorId::Alarmas2, "DigitalFrame_1", "DigitalFrame_0", "Modo_1",
       [](ConfigurationRecord& r, bool on) { r.SetDigitalMode(5, on ? ModeBistable : ModeDisabled); },
       {"CVal_1", "RST_Time_1", "ResetLab_1"}},
      {EditorId::Alarmas, "AnalogFrame_0", "AnalogFrame_1", "HabilA_0",
       [](ConfigurationRecord& r, bool on) { r.Analog[0].HABIL = on; }, {}},
      {EditorId::Temporizadores, "TimerFrame_6", "TimerFrame_5", "Habil_6",
       [](ConfigurationRecord& r, bool on) { r.Timers[6].HABIL = on; }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    record = {};
    auto editor = Build(c.editor);
    QWidget* frame = Find<QWidget>(editor.get(), QString::fromLatin1(c.frame));
    QWidget* other = Find<QWidget>(editor.get(), QString::fromLatin1(c.other));
    const QString control = QString::fromLatin1(c.control);
    std::set<QString> ruled = Names(frame);
    ruled.erase(control);
    ASSERT_GE(ruled.size(), 5u);
    EXPECT_EQ(Names(frame, true), ruled) << "a fresh frame is off";
    if (auto* mode = qobject_cast<QComboBox*>(Find<QWidget>(editor.get(), control))) {
      mode->setCurrentIndex(ModeNormallyOpen);  // as the user switches it
    } else {
      Find<QCheckBox>(editor.get(), control)->click();
    }
    EXPECT_EQ(Names(frame, true), c.needCiclos);
    EXPECT_EQ(Names(other, true).size() + 1, Names(other).size()) << "the other frame stays off";
    if (!c.needCiclos.empty()) {
      Find<QCheckBox>(editor.get(), QStringLiteral("Ciclos_1"))->click();
      EXPECT_TRUE(Names(frame, true).empty());
    }
    auto* text = frame->findChild<QLineEdit*>();
    ASSERT_NE(text, nullptr);
    Type(text, QStringLiteral("7"));
    const QString typed = text->text();
    c.set(record, false);
    editor->Refresh();
    EXPECT_EQ(Names(frame, true), ruled);
    EXPECT_EQ(text->text(), typed) << "nothing is cleared";
    c.set(record, true);  // a load
    editor->Refresh();
    EXPECT_TRUE(Names(frame, true).size() <= c.needCiclos.size());
  }
}

// However a text reaches a box (typed, or set by an assistive tool through the box's
// accessibility interface, which does not type), the box and the record agree: the text
// is kept in both, or refused with the box back at the record's value and a note.
// Windows-1252 holds the euro sign and accents.
TEST_F(EditorsTest, ATextReachesTheRecordOrIsRefusedHoweverItComesAndALongerOneIsShownWhole) {
  auto editor = Build(EditorId::Macros);
  QString note;
  QObject::connect(editor.get(), &EditorWindow::Note, [&note](const QString& text) { note = text; });
  auto* box = Find<QLineEdit>(editor.get(), QStringLiteral("MacroText_2"));
  const std::string& value = record.Macros[2].MACRO_TEXT;
  struct Case {
    bool typed;  // at the end; else the whole value set by an assistive tool
    QString text;
    const char* record;  // Windows-1252 bytes of the record afterwards
  };
  const Case cases[] = {
      {true, QStringLiteral("Planta "), "Planta "},
      {true, QString::fromUtf8("Ω"), "Planta "},
      {false, QString::fromUtf8("Planta Ж 漢"), "Planta "},
      {false, QString(30, QChar('x')), "Planta "},  // the field keeps 24
      {false, QString::fromUtf8("Depósito €"), "Dep\xF3sito \x80"},
      {true, QString::fromUtf8(" ¿É?"), "Dep\xF3sito \x80 \xBF\xC9?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    note.clear();
    const std::string before = value;
    if (c.typed) {
      box->end(false);
      Type(box, c.text);
    } else {
      QAccessible::queryAccessibleInterface(box)->setText(QAccessible::Value, c.text);
    }
    EXPECT_EQ(value, c.record);
    EXPECT_EQ(box->text().toStdString(), Cp1252ToUtf8(value)) << "the box shows what is saved and sent";
    EXPECT_EQ(note.isEmpty(), value != before) << note.toStdString();
  }

  // A text longer than its field (from a file) is shown whole and marked, never cut; it
  // can be shortened, not lengthened.
  box = Find<QLineEdit>(editor.get(), QStringLiteral("MacroCom_0"));
  const std::string longer(50, 'c');
  record.Macros[0].MACRO_COM = longer;
  editor->Refresh();
  EXPECT_EQ(box->text(), QString::fromStdString(longer));
  EXPECT_FALSE(box->accessibleDescription().isEmpty()) << "marked for a screen reader";
  box->end(false);
  note.clear();
  Type(box, QStringLiteral("d"));
  EXPECT_EQ(record.Macros[0].MACRO_COM, longer) << "not lengthened";
  EXPECT_FALSE(note.isEmpty());
  Press(box, Qt::NoModifier, Qt::Key_Backspace);
  EXPECT_EQ(record.Macros[0].MACRO_COM, std::string(49, 'c')) << "shortened";
}

// In the main window on a 1366x768 screen, started in either language and after a switch
// to the other, each editor shows whole without scrolling, and no label, box or frame
// title is clipped.
TEST_F(WindowTest, EveryEditorShowsWholeOnA1366x768ScreenInBothLanguages) {
  const auto expectEveryEditorWhole = [this](const char* how) {
    for (EditorId id : kEditors) {
      window->BringToFront(id);
      EditorWindow* editor = window->Editor(id);
      SCOPED_TRACE(editor->objectName().toStdString() + ", " + how);
      auto* scroll = qobject_cast<QScrollArea*>(window->SubWindow(id)->widget());
      ASSERT_NE(scroll, nullptr);
      EXPECT_TRUE(WaitFor([scroll] {  // once the scroll area has settled on the shown editor
        return !scroll->horizontalScrollBar()->isVisible() && !scroll->verticalScrollBar()->isVisible();
      }, 1000));
      for (QWidget* w : editor->findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QCheckBox*>(w) && !qobject_cast<QGroupBox*>(w))
          continue;
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString() << " is clipped";
      }
    }
  };
  for (Lang lang : {Lang::English, Lang::Spanish}) {
    SetCurrentLang(lang);
    Open();
    window->resize(1366, 768);  // before the first layout, which the show has queued
    ASSERT_TRUE(WaitFor([this] { return Front() == window->SubWindow(EditorId::General); }));
    expectEveryEditorWhole(lang == Lang::English ? "started in English" : "started in Spanish");
    SwitchTo(lang == Lang::English ? Lang::Spanish : Lang::English);
    Settle(50);  // the editors lay their new texts out
    expectEveryEditorWhole(lang == Lang::English ? "switched to Spanish" : "switched to English");
  }
}

}  // namespace
}  // namespace zdl::ui
