// The alarm, macros, data-logger and timers editors, each built on a record of its own
// without the main window: controls and names, enabling rules, Clear, the language
// switch, what a text box refuses, and whether the editor fits the screen.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QValidator>
#include <QPixmap>
#include <memory>

#include "model/field_table.h"
#include "model/text_codec.h"
#include "ui/app/editor_window.h"
#include "ui/app/editors.h"
#include "ui/app/language.h"

namespace zdl::ui {
namespace {

// What a user types, one character at a time, into the control.
void Type(QWidget* control, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(control, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(control, &release);
  }
}

// The name a screen reader speaks for the control.
QString Spoken(QWidget* control) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
  return face ? face->text(QAccessible::Name) : QString();
}

// What labels the control for a screen reader: its buddy labels and its frame. On Linux a
// list is named by these alone (its own name is its current entry).
QStringList LabelledBy(QWidget* control) {
  QStringList labels;
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
  if (!face) return labels;
  for (const auto& [label, relation] : face->relations(QAccessible::Label)) {
    labels << label->text(QAccessible::Name);
  }
  return labels;
}

class EditorsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentLang(Lang::Spanish); }
  void TearDown() override { SetCurrentLang(Lang::Spanish); }

  std::unique_ptr<EditorWindow> Build(EditorId id) {
    switch (id) {
      case EditorId::Alarmas:
      case EditorId::Alarmas2:
        return std::unique_ptr<EditorWindow>(NewAlarmEditor(id, record_, nullptr));
      case EditorId::Macros:
        return std::unique_ptr<EditorWindow>(NewMacrosEditor(record_, nullptr));
      case EditorId::Datalogger:
        return std::unique_ptr<EditorWindow>(NewDataloggerEditor(record_, nullptr));
      case EditorId::Temporizadores:
        return std::unique_ptr<EditorWindow>(NewTimersEditor(record_, nullptr));
      case EditorId::General:
        break;
    }
    return nullptr;
  }

  template <class W>
  static W* Get(QWidget* editor, const QString& name) {
    W* w = editor->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  static bool Enabled(QWidget* editor, const QString& name) { return Get<QWidget>(editor, name)->isEnabled(); }

  ConfigurationRecord record_;
};

constexpr EditorId kEditors[] = {EditorId::Alarmas, EditorId::Alarmas2, EditorId::Macros, EditorId::Datalogger,
                                 EditorId::Temporizadores};

TEST_F(EditorsTest, EveryControlOfTheFieldTableAndEveryFrameAndLabelIsThereByName) {
  struct Case {
    EditorId id;
    const char* form;
    QStringList others;  // frames and labels
  };
  const QStringList alarmOthers{"DigitalFrame_0", "DigitalFrame_3", "AnalogFrame_0", "AnalogFrame_1", "ResetLab_2",
                                "MacroSiLab_0", "MacroNoLab_3", "IELab_1", "FELab_0", "UNLab_0", "MinLab_1",
                                "MaxLab_1", "HistLab_0", "MacroHighLab_0", "MacroNominalLab_1", "MacroLowLab_1"};
  const Case cases[] = {
      {EditorId::Alarmas, "Alarmas", alarmOthers},
      {EditorId::Alarmas2, "Alarmas2", alarmOthers},
      {EditorId::Macros, "Macros", {"Frame_0", "Frame_13", "Label_5", "Label_13"}},
      {EditorId::Datalogger, "Datalogger", {"HistorFrame", "DigitalFrame", "Label1", "Label2", "Label3", "Label4"}},
      {EditorId::Temporizadores, "Temporizadores", {"TimerFrame_0", "TimerFrame_7", "VPLabel_3", "MacroLab_3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form);
    auto editor = Build(c.id);
    EXPECT_EQ(editor->objectName(), c.form);
    EXPECT_EQ(editor->Id(), c.id);
    for (const Field* f : FieldsOf(c.id)) {
      const QString name = QString::fromStdString(f->ObjectName());
      QWidget* w = editor->findChild<QWidget*>(name);
      ASSERT_NE(w, nullptr) << name.toStdString();
      if (auto* edit = qobject_cast<QLineEdit*>(w); edit && f->maxLength > 0) {
        // The box takes its field's length and not one character more.
        ASSERT_NE(edit->validator(), nullptr) << name.toStdString();
        QString full(static_cast<qsizetype>(f->maxLength), QChar('1'));
        QString longer = full + QChar('1');
        int pos = 0;
        EXPECT_EQ(edit->validator()->validate(full, pos), QValidator::Acceptable) << name.toStdString();
        EXPECT_EQ(edit->validator()->validate(longer, pos), QValidator::Invalid) << name.toStdString();
      }
      if (auto* list = qobject_cast<QComboBox*>(w)) {
        EXPECT_EQ(list->count(), f->items) << name.toStdString();
      }
      EXPECT_FALSE(Spoken(w).isEmpty()) << name.toStdString() << " has no spoken name";
      if (qobject_cast<QComboBox*>(w)) {
        EXPECT_FALSE(LabelledBy(w).isEmpty()) << name.toStdString();
      }
    }
    for (const QString& name : c.others) EXPECT_NE(editor->findChild<QWidget*>(name), nullptr) << name.toStdString();
  }
}

TEST_F(EditorsTest, AFreshAlarmFormShowsEveryInputDisabledAndEveryMacroAtNo) {
  auto editor = Build(EditorId::Alarmas2);
  EXPECT_EQ(editor->windowTitle(), "Alarmas 2");
  EXPECT_EQ(Get<QGroupBox>(editor.get(), "DigitalFrame_0")->title(), "Entrada digital 4");
  EXPECT_EQ(Get<QGroupBox>(editor.get(), "AnalogFrame_1")->title(), "Entrada analógica 3");
  for (int i = 0; i < 4; ++i) {
    const QString n = QString::number(i);
    EXPECT_EQ(Get<QComboBox>(editor.get(), "Modo_" + n)->currentText(), "No Habil");
    for (const char* list : {"MacroExeTrue_", "MacroExeFalse_"}) {
      EXPECT_EQ(Get<QComboBox>(editor.get(), list + n)->currentText(), "No");
    }
    for (const char* control : {"TextBox_", "Ring_", "PVal_", "Ciclos_", "CVal_", "RST_Time_", "ResetLab_",
                                "MacroSiLab_", "MacroExeFalse_"}) {
      EXPECT_FALSE(Enabled(editor.get(), control + n)) << control << i;
    }
    EXPECT_TRUE(Enabled(editor.get(), "Modo_" + n));
  }
  for (int j = 0; j < 2; ++j) {
    const QString n = QString::number(j);
    EXPECT_FALSE(Get<QCheckBox>(editor.get(), "HabilA_" + n)->isChecked());
    EXPECT_EQ(Get<QComboBox>(editor.get(), "MacroExeNominal_" + n)->currentText(), "No");
  }
}

TEST_F(EditorsTest, TheModeEnablesADigitalInputAndKeepsItsValues) {
  auto editor = Build(EditorId::Alarmas2);  // index 1 is digital input 5
  QWidget* e = editor.get();
  auto* mode = Get<QComboBox>(e, "Modo_1");
  mode->setCurrentIndex(ModeNormallyOpen);
  EXPECT_EQ(record_.Digital[5].Modo, ModeNormallyOpen);
  Type(Get<QLineEdit>(e, "TextBox_1"), "Puerta");
  Get<QCheckBox>(e, "Ring_1")->click();
  Type(Get<QLineEdit>(e, "PVal_1"), "10");
  // The persistence value follows the mode alone, not the Persist box.
  EXPECT_FALSE(Get<QCheckBox>(e, "Persist_1")->isChecked());
  EXPECT_TRUE(Enabled(e, "PVal_1"));
  for (const char* control : {"TextBox_1", "Ring_1", "RENV_1", "Persist_1", "Ciclos_1", "MacroSiLab_1",
                              "MacroNoLab_1", "MacroExeTrue_1", "MacroExeFalse_1"}) {
    EXPECT_TRUE(Enabled(e, control)) << control;
  }
  // Unchecked Ciclos keeps the counter off even with the input enabled.
  for (const char* control : {"CVal_1", "RST_Time_1", "ResetLab_1"}) EXPECT_FALSE(Enabled(e, control)) << control;
  Get<QCheckBox>(e, "Ciclos_1")->click();
  for (const char* control : {"CVal_1", "RST_Time_1", "ResetLab_1"}) EXPECT_TRUE(Enabled(e, control)) << control;
  // "Disabled" turns off the counter too, checked Ciclos or not, and clears nothing.
  mode->setCurrentIndex(ModeDisabled);
  for (const char* control : {"TextBox_1", "Ring_1", "PVal_1", "Ciclos_1", "CVal_1", "RST_Time_1", "ResetLab_1",
                              "MacroExeTrue_1"}) {
    EXPECT_FALSE(Enabled(e, control)) << control;
  }
  EXPECT_TRUE(Get<QCheckBox>(e, "Ciclos_1")->isChecked());
  mode->setCurrentIndex(ModeNormallyClosed);
  EXPECT_EQ(Get<QLineEdit>(e, "TextBox_1")->text(), "Puerta");
  EXPECT_EQ(Get<QLineEdit>(e, "PVal_1")->text(), "10");
  EXPECT_TRUE(Get<QCheckBox>(e, "Ring_1")->isChecked());
  EXPECT_TRUE(Enabled(e, "CVal_1"));
  // The other inputs of the window did not move.
  EXPECT_FALSE(Enabled(e, "TextBox_0"));
  EXPECT_EQ(record_.Digital[1].Modo, ModeDisabled);
}

TEST_F(EditorsTest, TheRulesFollowTheRecordAfterALoad) {
  auto editor = Build(EditorId::Alarmas);
  record_.Digital[2].Modo = ModeBistable;
  record_.Digital[2].CICLOS = true;
  record_.Digital[3].Modo = ModeDisabled;
  record_.Digital[3].CICLOS = true;
  record_.Analog[1].HABIL = true;
  editor->Refresh();
  EXPECT_EQ(Get<QComboBox>(editor.get(), "Modo_2")->currentIndex(), ModeBistable);
  EXPECT_TRUE(Enabled(editor.get(), "RST_Time_2"));
  EXPECT_FALSE(Enabled(editor.get(), "RST_Time_3"));
  EXPECT_TRUE(Enabled(editor.get(), "MacroExeLow_1"));
  EXPECT_FALSE(Enabled(editor.get(), "MacroExeLow_0"));
  // Clear and refresh: back to the fresh form.
  record_.ClearAlarmas();
  editor->Refresh();
  EXPECT_EQ(Get<QComboBox>(editor.get(), "Modo_2")->currentIndex(), ModeDisabled);
  EXPECT_FALSE(Enabled(editor.get(), "RST_Time_2"));
  EXPECT_FALSE(Get<QCheckBox>(editor.get(), "HabilA_1")->isChecked());
  EXPECT_FALSE(Enabled(editor.get(), "MacroExeLow_1"));
}

TEST_F(EditorsTest, HabilAEnablesEveryOtherControlOfItsAnalogFrame) {
  auto editor = Build(EditorId::Alarmas);
  const QStringList ruled{"TextA_0",   "RingA_0",  "RENVA_0",   "IELab_0",         "IE_0",
                          "FELab_0",   "FE_0",     "UNLab_0",   "UN_0",            "MinLab_0",
                          "Min_0",     "MaxLab_0", "Max_0",     "HistLab_0",       "Hist_0",
                          "PersistA_0", "PValA_0", "MacroHighLab_0", "MacroNominalLab_0", "MacroLowLab_0",
                          "MacroExeHigh_0", "MacroExeNominal_0", "MacroExeLow_0"};
  auto* habil = Get<QCheckBox>(editor.get(), "HabilA_0");
  habil->click();
  EXPECT_TRUE(record_.Analog[0].HABIL);
  Type(Get<QLineEdit>(editor.get(), "IE_0"), "4");
  for (const QString& name : ruled) EXPECT_TRUE(Enabled(editor.get(), name)) << name.toStdString();
  habil->click();
  for (const QString& name : ruled) EXPECT_FALSE(Enabled(editor.get(), name)) << name.toStdString();
  EXPECT_TRUE(habil->isEnabled());
  EXPECT_EQ(Get<QLineEdit>(editor.get(), "IE_0")->text(), "4");
  EXPECT_FALSE(Enabled(editor.get(), "TextA_1")) << "the other analog input stays as it was";
}

TEST_F(EditorsTest, TimersStartDisabledWithTheirDefaultsAndHabilEnablesThem) {
  auto editor = Build(EditorId::Temporizadores);
  QWidget* e = editor.get();
  const QStringList ruled{"TimeBox_", "VPBox_", "Lunes_", "Miercoles_", "Domingo_", "Macro_", "VPLabel_", "MacroLab_"};
  auto expectFresh = [&] {
    for (int t = 0; t < kTimers; ++t) {
      const QString n = QString::number(t);
      EXPECT_FALSE(Get<QCheckBox>(e, "Habil_" + n)->isChecked());
      EXPECT_EQ(Get<QLineEdit>(e, "TimeBox_" + n)->text(), "12:00");
      EXPECT_EQ(Get<QLineEdit>(e, "VPBox_" + n)->text(), "60");
      EXPECT_EQ(Get<QComboBox>(e, "Macro_" + n)->currentText(), "1");
      for (const char* day : {"Lunes_", "Martes_", "Miercoles_", "Jueves_", "Viernes_", "Sabado_", "Domingo_"}) {
        EXPECT_FALSE(Get<QCheckBox>(e, day + n)->isChecked());
      }
      for (const QString& c : ruled) EXPECT_FALSE(Enabled(e, c + n)) << (c + n).toStdString();
    }
  };
  expectFresh();
  EXPECT_EQ(Get<QGroupBox>(e, "TimerFrame_5")->title(), "Temporizador 5");

  Get<QCheckBox>(e, "Habil_6")->click();
  for (const QString& c : ruled) EXPECT_TRUE(Enabled(e, c + "6")) << c.toStdString();
  EXPECT_FALSE(Enabled(e, "TimeBox_5"));
  Get<QCheckBox>(e, "Viernes_6")->click();
  Get<QComboBox>(e, "Macro_6")->setCurrentIndex(13);
  EXPECT_EQ(record_.Timers[6].MACRO, 13);
  Get<QCheckBox>(e, "Habil_6")->click();
  EXPECT_FALSE(Enabled(e, "Viernes_6"));
  EXPECT_TRUE(Get<QCheckBox>(e, "Viernes_6")->isChecked());
  EXPECT_EQ(Get<QComboBox>(e, "Macro_6")->currentText(), "14");

  record_.Timers[2].HABIL = true;
  editor->Refresh();
  EXPECT_TRUE(Enabled(e, "VPBox_2"));
  record_.ClearTemporizadores();
  editor->Refresh();
  expectFresh();
}

TEST_F(EditorsTest, MacroTextsStopAtTheirLengthAndClearEmptiesAllTwentyEight) {
  auto editor = Build(EditorId::Macros);
  auto* text = Get<QLineEdit>(editor.get(), "MacroText_0");
  auto* command = Get<QLineEdit>(editor.get(), "MacroCom_13");
  Type(text, QString(25, QChar('a')));
  Type(command, QString(40, QChar('b')));
  EXPECT_EQ(text->text(), QString(24, QChar('a')));
  EXPECT_EQ(record_.Macros[0].MACRO_TEXT, std::string(24, 'a'));
  EXPECT_EQ(record_.Macros[13].MACRO_COM, std::string(39, 'b'));
  EXPECT_EQ(Get<QGroupBox>(editor.get(), "Frame_13")->title(), "Macro 14");
  record_.ClearMacros();
  editor->Refresh();
  for (int k = 0; k < kMacros; ++k) {
    for (const char* control : {"MacroText_", "MacroCom_"}) {
      EXPECT_TRUE(Get<QLineEdit>(editor.get(), control + QString::number(k))->text().isEmpty());
    }
  }
}

TEST_F(EditorsTest, ATextBoxKeepsEuroAndAccentsAndRefusesWhatWindows1252CannotHold) {
  auto editor = Build(EditorId::Macros);
  QString note;
  QObject::connect(editor.get(), &EditorWindow::Note, [&note](const QString& text) { note = text; });
  auto* text = Get<QLineEdit>(editor.get(), "MacroText_3");
  Type(text, QString::fromUtf8("5€ añ"));
  Type(text, QString::fromUtf8("Ω"));
  Type(text, QString::fromUtf8("É"));
  EXPECT_EQ(text->text(), QString::fromUtf8("5€ añÉ"));
  EXPECT_EQ(record_.Macros[3].MACRO_TEXT, "5\x80 a\xF1\xC9");
  EXPECT_TRUE(note.contains(QString::fromUtf8("Ω"))) << note.toStdString();
  // And back from the record into the box.
  record_.Macros[4].MACRO_COM = "\xBF\x80?";
  editor->Refresh();
  EXPECT_EQ(Get<QLineEdit>(editor.get(), "MacroCom_4")->text(), QString::fromUtf8("¿€?"));
}

// However a text reaches a box (typed, or set by an assistive tool through the box's
// accessibility interface, which does not type), the box and the record agree: the text
// is kept in both, or refused with the box back at the record's value and a note.
TEST_F(EditorsTest, ATextSetByAnAssistiveToolReachesTheRecordOrIsRefused) {
  auto editor = Build(EditorId::Macros);
  QString note;
  QObject::connect(editor.get(), &EditorWindow::Note, [&note](const QString& text) { note = text; });
  auto* box = Get<QLineEdit>(editor.get(), "MacroText_2");
  Type(box, QStringLiteral("Planta "));
  ASSERT_EQ(record_.Macros[2].MACRO_TEXT, "Planta ");
  enum class Path { SetValue, Replace, Insert };
  struct Case {
    Path path;
    QString text;     // set as the whole value, replacing it, or inserted at the end
    bool kept;
    const char* record;  // Windows-1252 bytes of the record afterwards
  };
  const Case cases[] = {
      {Path::SetValue, QString::fromUtf8("Planta Ж 漢"), false, "Planta "},
      {Path::Replace, QString::fromUtf8("Planta Ж"), false, "Planta "},
      {Path::Insert, QString::fromUtf8("漢"), false, "Planta "},
      {Path::SetValue, QString(30, QChar('x')), false, "Planta "},  // the field keeps 24
      {Path::SetValue, QString::fromUtf8("Depósito €"), true, "Dep\xF3sito \x80"},
      {Path::Replace, QStringLiteral("Bomba 2"), true, "Bomba 2"},
      {Path::Insert, QStringLiteral(" on"), true, "Bomba 2 on"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    note.clear();
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(face, nullptr);
    switch (c.path) {
      case Path::SetValue: face->setText(QAccessible::Value, c.text); break;
      case Path::Replace:
        ASSERT_NE(face->editableTextInterface(), nullptr);
        face->editableTextInterface()->replaceText(0, static_cast<int>(box->text().size()), c.text);
        break;
      case Path::Insert:
        face->editableTextInterface()->insertText(static_cast<int>(box->text().size()), c.text);
        break;
    }
    EXPECT_EQ(record_.Macros[2].MACRO_TEXT, c.record);
    EXPECT_EQ(box->text(), QString::fromStdString(Cp1252ToUtf8(record_.Macros[2].MACRO_TEXT)))
        << "the box shows what is saved and sent";
    EXPECT_EQ(note.isEmpty(), c.kept) << note.toStdString();
  }
}

// A disabled box takes no text from an assistive tool either.
TEST_F(EditorsTest, ADisabledBoxTakesNoTextFromAnAssistiveTool) {
  auto editor = Build(EditorId::Alarmas);
  auto* box = Get<QLineEdit>(editor.get(), "TextBox_0");
  ASSERT_FALSE(box->isEnabled()) << "a fresh input is not enabled";
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(box);
  face->setText(QAccessible::Value, QStringLiteral("Puerta"));
  face->editableTextInterface()->insertText(0, QStringLiteral("Puerta"));
  EXPECT_EQ(record_.Digital[0].TEXT, "");
  EXPECT_EQ(box->text(), QString());
}

// A text longer than its field (from a file) is shown whole and marked, never cut; it can
// be shortened, not lengthened.
TEST_F(EditorsTest, ALoadedTextLongerThanItsFieldIsShownWholeAndMarked) {
  auto editor = Build(EditorId::Macros);
  QString note;
  QObject::connect(editor.get(), &EditorWindow::Note, [&note](const QString& text) { note = text; });
  auto* box = Get<QLineEdit>(editor.get(), "MacroCom_0");
  const std::string longer(50, 'c');
  record_.Macros[0].MACRO_COM = longer;
  editor->Refresh();
  EXPECT_EQ(box->text(), QString::fromStdString(longer));
  EXPECT_FALSE(box->accessibleDescription().isEmpty()) << "marked for a screen reader";
  EXPECT_TRUE(box->toolTip().contains(box->accessibleDescription()));
  const QString spanish = box->accessibleDescription();
  SetCurrentLang(Lang::English);
  editor->ApplyTexts();
  EXPECT_NE(box->accessibleDescription(), spanish) << "in the language of the moment";
  EXPECT_FALSE(box->accessibleDescription().isEmpty());
  EXPECT_EQ(box->toolTip().count(QLatin1Char('\n')), 1) << box->toolTip().toStdString();
  EXPECT_NE(box->palette().color(QPalette::Base), QPalette().color(QPalette::Base)) << "and for the eye";
  box->setFocus();
  box->end(false);
  Type(box, QStringLiteral("d"));
  EXPECT_EQ(record_.Macros[0].MACRO_COM, longer) << "not lengthened";
  EXPECT_FALSE(note.isEmpty());
  QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
  QApplication::sendEvent(box, &backspace);
  EXPECT_EQ(record_.Macros[0].MACRO_COM, std::string(49, 'c')) << "shortened";
  record_.Macros[0].MACRO_COM = "c";
  editor->Refresh();
  EXPECT_TRUE(box->accessibleDescription().isEmpty());
  EXPECT_FALSE(box->toolTip().contains(QLatin1Char('\n')));
  EXPECT_EQ(box->palette().color(QPalette::Base), QPalette().color(QPalette::Base));
}

TEST_F(EditorsTest, DataloggerTakesAnyTextAndClearEmptiesIt) {
  auto editor = Build(EditorId::Datalogger);
  Type(Get<QLineEdit>(editor.get(), "LogTime"), "cada 5");
  Get<QCheckBox>(editor.get(), "RegD5")->click();
  Get<QCheckBox>(editor.get(), "RegAlmAD2")->click();
  EXPECT_EQ(record_.DataLogger.LOG_TIME, "cada 5");
  EXPECT_TRUE(record_.DataLogger.REG_D[5]);
  EXPECT_TRUE(record_.DataLogger.REG_A[2]);
  EXPECT_EQ(Get<QCheckBox>(editor.get(), "RegD5")->text(), "D5");
  record_.ClearDatalogger();
  editor->Refresh();
  EXPECT_TRUE(Get<QLineEdit>(editor.get(), "LogTime")->text().isEmpty());
  for (QCheckBox* box : editor->findChildren<QCheckBox*>()) EXPECT_FALSE(box->isChecked());
}

TEST_F(EditorsTest, ALanguageSwitchChangesEveryTextAndKeepsEverySelection) {
  auto alarms = Build(EditorId::Alarmas);
  auto logger = Build(EditorId::Datalogger);
  auto timers = Build(EditorId::Temporizadores);
  auto macros = Build(EditorId::Macros);
  Get<QComboBox>(alarms.get(), "Modo_1")->setCurrentIndex(ModeNormallyOpen);
  Get<QComboBox>(alarms.get(), "MacroExeTrue_1")->setCurrentIndex(7);
  Get<QComboBox>(timers.get(), "Macro_3")->setCurrentIndex(5);
  auto texts = [&] {
    return QStringList{alarms->windowTitle(),
                       Get<QComboBox>(alarms.get(), "Modo_1")->currentText(),
                       Get<QComboBox>(alarms.get(), "Modo_0")->currentText(),
                       Get<QComboBox>(alarms.get(), "MacroExeFalse_0")->currentText(),
                       Get<QCheckBox>(alarms.get(), "RENV_2")->text(),
                       Spoken(Get<QWidget>(alarms.get(), "TextBox_2")),
                       Spoken(Get<QWidget>(alarms.get(), "Ring_0")),
                       Spoken(Get<QWidget>(alarms.get(), "RST_Time_0")),
                       LabelledBy(Get<QWidget>(alarms.get(), "MacroExeTrue_0")).join('|'),
                       LabelledBy(Get<QWidget>(timers.get(), "Macro_3")).join('|'),
                       Get<QCheckBox>(logger.get(), "RegAlmAD0")->text(),
                       Get<QCheckBox>(logger.get(), "RegAlmAD3")->text(),
                       Get<QGroupBox>(logger.get(), "HistorFrame")->title(),
                       Spoken(Get<QWidget>(logger.get(), "LogTime")),
                       Get<QCheckBox>(timers.get(), "Miercoles_0")->text(),
                       timers->windowTitle(),
                       Get<QLabel>(macros.get(), "Label_5")->text()};
  };
  const QStringList spanish{"Alarmas 1", "N.A.", "No Habil", "No", "Reenv.", "Texto alarma 2", "Ring", "Reset:",
                            "Macro si activa:|Entrada digital 0", "Macro a ejecutar|Temporizador 3",
                            QString::fromUtf8("E.Analógica 0"), QString::fromUtf8("E.Analógica 3"),
                            QString::fromUtf8("Parámetros de grabación de histórico"),
                            "Tiempo entre registros (segundos):", "Mie", "Temporizadores", "Comando:"};
  const QStringList english{"Alarms 1", "N.O.", "Disabled", "No", "Retry", "Text for alarm 2", "Ring", "Reset:",
                            "Macro if true:|Digital input 0", "Macro to be exec.|Timer 3",
                            "Analog Input 0", "Analog Input 3", "Datalogger parameters",
                            "Sample time (seconds):", "We", "Timers", "Command:"};
  EXPECT_EQ(texts(), spanish);

  for (Lang lang : {Lang::English, Lang::Spanish}) {
    SetCurrentLang(lang);
    for (EditorWindow* e : {alarms.get(), logger.get(), timers.get(), macros.get()}) e->LoadText();
    EXPECT_EQ(texts(), lang == Lang::English ? english : spanish);
    EXPECT_EQ(Get<QComboBox>(alarms.get(), "Modo_1")->currentIndex(), ModeNormallyOpen);
    EXPECT_EQ(Get<QComboBox>(alarms.get(), "MacroExeTrue_1")->currentIndex(), 7);
    EXPECT_EQ(Get<QComboBox>(timers.get(), "Macro_3")->currentIndex(), 5);
    EXPECT_TRUE(Enabled(alarms.get(), "TextBox_1")) << "the rules hold across the switch";
  }
  EXPECT_EQ(record_.Digital[1].MACRO_TRUE, 7);
}

TEST_F(EditorsTest, TheKeyboardGoesFrameByFrameInReadingOrder) {
  auto timers = Build(EditorId::Temporizadores);
  QStringList seen;
  QWidget* w = Get<QWidget>(timers.get(), "Habil_0");
  for (int steps = 0; steps < 14 && w; ++steps, w = w->nextInFocusChain()) {
    while (w && !(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
    if (w) seen << w->objectName();
  }
  const QStringList expected{"Habil_0", "TimeBox_0", "Lunes_0", "Martes_0", "Miercoles_0", "Jueves_0", "Viernes_0",
                             "Sabado_0", "Domingo_0", "VPBox_0", "Macro_0", "Habil_1", "TimeBox_1", "Lunes_1"};
  EXPECT_EQ(seen, expected);
}

// Each editor fits the child window of a 1366x768 screen (about 1300x620) in both
// languages, every text at its full size. With ZDL_EDITOR_SHOTS naming a folder, the
// editors are also saved there as pictures, to look at.
TEST_F(EditorsTest, EveryEditorFitsTheScreenInBothLanguages) {
  const QString shots = qEnvironmentVariable("ZDL_EDITOR_SHOTS");
  for (Lang lang : {Lang::English, Lang::Spanish}) {
    SetCurrentLang(lang);
    for (EditorId id : kEditors) {
      auto editor = Build(id);
      const QString name = editor->objectName() + (lang == Lang::English ? "-en" : "-es");
      SCOPED_TRACE(name.toStdString());
      const QSize size = editor->sizeHint();
      EXPECT_LE(size.width(), 1300);
      EXPECT_LE(size.height(), 620);
      editor->resize(size);
      editor->show();
      QApplication::processEvents();
      for (QWidget* w : editor->findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QCheckBox*>(w) && !qobject_cast<QGroupBox*>(w)) continue;
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString() << " is clipped";
      }
      if (!shots.isEmpty()) editor->grab().save(QDir(shots).filePath("editors-" + name + ".png"));
    }
  }
}

}  // namespace
}  // namespace zdl::ui
