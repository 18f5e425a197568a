#include "ui/app/main_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QHash>
#include <QMap>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <vector>

#include "model/text_codec.h"
#include "tests/gui/gui_support.h"
#include "ui/app/connection_panel.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/language_form.h"
#include "ui/app/unit_link.h"

namespace zdl::ui {
namespace {

using testing::AnswerNextBox;
using testing::SeenBox;

QString Data(const char* name) { return QStringLiteral(ZDL_TEST_DATA "/") + QString::fromLatin1(name); }

void StoreSetting(const QString& value) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvik_config"));
  if (value.isNull()) {
    settings.remove(QStringLiteral("Idioma/Idioma"));
  } else {
    settings.setValue(QStringLiteral("Idioma/Idioma"), value);
  }
  settings.sync();
}

QString Setting() {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvik_config"));
  return settings.value(QStringLiteral("Idioma/Idioma")).toString();
}

// Answers the language form when it shows: with OK after choosing `lang`, or by closing it.
// `shown` tells whether it was shown at all and what it had selected.
struct FormSeen {
  bool shown = false;
  QString selected;
};
void AnswerLanguageForm(FormSeen& seen, std::optional<Lang> lang) {
  testing::WhenReady([&seen, lang] {
    auto* form = qobject_cast<LanguageForm*>(QApplication::activeModalWidget());
    if (!form) return false;
    seen.shown = true;
    auto* combo = form->findChild<QComboBox*>(QStringLiteral("Combo1"));
    seen.selected = combo->currentText();
    if (!lang) {
      form->reject();
    } else {
      combo->setCurrentIndex(*lang == Lang::Spanish ? 0 : 1);
      form->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    }
    return true;
  });
}

QStringList ToolbarCaptions(MainWindow& w) {
  QStringList captions;
  for (QAction* a : w.findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions()) {
    if (!a->isSeparator()) captions << a->text();
  }
  return captions;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentLang(Lang::English);
    window = std::make_unique<MainWindow>();
    general = window->General();
  }
  template <class W>
  W* Get(const char* name) {
    W* w = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  std::unique_ptr<MainWindow> window;
  GeneralEditor* general = nullptr;
};

TEST(Language, FirstStartAsksBeforeAnyEditorAndStoresTheChoice) {
  struct Case {
    QString stored;  // null: nothing stored
    std::optional<Lang> answer;
    QString expected;
  };
  const Case cases[] = {
      {QString(), Lang::English, QStringLiteral("401")},
      {QStringLiteral("0"), Lang::Spanish, QStringLiteral("101")},
      {QStringLiteral("999"), Lang::English, QStringLiteral("401")},  // damaged: no language
      {QString(), std::nullopt, QStringLiteral("101")},                // closed: Spanish
  };
  for (const Case& c : cases) {
    StoreSetting(c.stored);
    FormSeen seen;
    AnswerLanguageForm(seen, c.answer);
    EnsureLanguage(nullptr);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.selected, QStringLiteral("Español"));
    EXPECT_EQ(Setting(), c.expected);
    EXPECT_EQ(CurrentLang(), c.expected == QLatin1String("401") ? Lang::English : Lang::Spanish);
  }
  // A stored language asks nothing.
  StoreSetting(QStringLiteral("401"));
  SetCurrentLang(Lang::Spanish);
  EnsureLanguage(nullptr);
  EXPECT_EQ(CurrentLang(), Lang::English);
}

TEST_F(MainWindowTest, ToolbarCaptionsFollowTheLanguageAndGeneralIsInFront) {
  EXPECT_EQ(ToolbarCaptions(*window),
            (QStringList{"Open", "Save", "General", "Alarms 1", "Alarms 2", "Macros", "Datalogger",
                         "Timers", "Firmware", "Language"}));
  window->show();
  QApplication::processEvents();
  EXPECT_EQ(window->findChild<QMdiArea*>()->activeSubWindow(), window->SubWindow(EditorId::General));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("NORVIK ZDL410 v5.01"));
  for (const char* key : {"Abrir", "Guardar", "General", "Alarmas1", "Alarmas2", "Macros", "Datalogger",
                          "Timer", "Firmware", "Idioma"}) {
    EXPECT_NE(window->Action(QString::fromLatin1(key)), nullptr) << key;
  }
  EXPECT_EQ(window->Action(QStringLiteral("Abrir"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
  EXPECT_EQ(window->Action(QStringLiteral("Timer"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+6")));

  StoreSetting(QStringLiteral("401"));
  FormSeen seen;
  AnswerLanguageForm(seen, Lang::Spanish);
  window->Action(QStringLiteral("Idioma"))->trigger();
  EXPECT_EQ(seen.selected, QStringLiteral("Español"));
  EXPECT_EQ(Setting(), QStringLiteral("101"));
  EXPECT_EQ(ToolbarCaptions(*window),
            (QStringList{"Abrir", "Guardar", "General", "Alarmas 1", "Alarmas 2", "Macros", "Datalogger",
                         "Tempo.", "Firmware", "Idioma"}));
  EXPECT_EQ(window->SubWindow(EditorId::General)->windowTitle(), QStringLiteral("Parámetros generales"));

  window->Action(QStringLiteral("Macros"))->trigger();
  EXPECT_EQ(window->findChild<QMdiArea*>()->activeSubWindow(), window->SubWindow(EditorId::Macros));
}

TEST_F(MainWindowTest, LanguageSwitchKeepsEverySelection) {
  auto* prio = Get<QComboBox>("PrioBox");
  auto* privilege = Get<QComboBox>("Privilegios");
  prio->setCurrentIndex(4);
  privilege->setCurrentIndex(3);
  Get<QComboBox>("MacroGsmOk")->setCurrentIndex(7);
  SetCurrentLang(Lang::Spanish);
  window->LoadAllTexts();
  EXPECT_EQ(prio->currentIndex(), 4);
  EXPECT_EQ(prio->currentText(), QStringLiteral("Prio. 4"));
  EXPECT_EQ(prio->itemText(0), QStringLiteral("No Prio."));
  EXPECT_EQ(privilege->currentText(), QStringLiteral("Usuario"));
  EXPECT_EQ(Get<QComboBox>("MacroGsmOk")->currentIndex(), 7);
  EXPECT_EQ(window->Record().General.MACRO_GSMOK, 7);
  EXPECT_EQ(Get<QLineEdit>("NameBox")->accessibleName(), QStringLiteral("Nombre del equipo"));
}

TEST_F(MainWindowTest, GeneralEnablingRules) {
  auto* mask = Get<QCheckBox>("CheckMask");
  auto* info = Get<QCheckBox>("CheckInfo");
  auto* d3 = Get<QCheckBox>("CheckD3");
  EXPECT_FALSE(d3->isEnabled());
  mask->setChecked(true);
  d3->setChecked(true);
  info->setChecked(true);
  EXPECT_TRUE(Get<QLabel>("LabelD3")->isEnabled());
  mask->setChecked(false);
  EXPECT_FALSE(d3->isChecked());
  EXPECT_TRUE(info->isChecked());
  EXPECT_FALSE(info->isEnabled());
  EXPECT_FALSE(Get<QLabel>("LabelTXA")->isEnabled());
  mask->setChecked(true);
  EXPECT_TRUE(info->isChecked());

  auto* tx = Get<QCheckBox>("Habil_TxAlarm");
  tx->click();
  Get<QLineEdit>("TxStatText")->setText(QStringLiteral("x"));
  window->Record().TxAlarm.TEXT = "fail";
  Get<QCheckBox>("RING_TxStat")->click();
  tx->click();  // unchecked: text emptied, Ring cleared, controls disabled
  EXPECT_EQ(Get<QLineEdit>("TxStatText")->text(), QString());
  EXPECT_FALSE(Get<QCheckBox>("RING_TxStat")->isChecked());
  EXPECT_FALSE(Get<QComboBox>("MacroTxExeTrue")->isEnabled());
  EXPECT_FALSE(Get<QLabel>("MacroTxSiLab")->isEnabled());

  Get<QRadioButton>("CSMMovi")->click();
  EXPECT_FALSE(Get<QLineEdit>("SMSCBox")->isEnabled());
  Get<QRadioButton>("CSMOtro")->click();
  EXPECT_TRUE(Get<QLineEdit>("SMSCBox")->isEnabled());
  EXPECT_EQ(Get<QLineEdit>("SMSCBox")->text(), QStringLiteral("+34609090909"));

  auto* pin = Get<QLineEdit>("PIN");
  EXPECT_FALSE(pin->isEnabled());
  Get<QCheckBox>("PinHabil")->click();
  EXPECT_TRUE(pin->isEnabled());
  EXPECT_EQ(pin->echoMode(), QLineEdit::Password);
  for (const char* digit : {"1", "2", "3", "4", "5"}) pin->insert(QString::fromLatin1(digit));
  EXPECT_EQ(window->Record().General.PIN, "1234");
  Get<QCheckBox>("Habil_Restore")->click();
  EXPECT_TRUE(Get<QLineEdit>("RestoreText")->isEnabled());
}

TEST_F(MainWindowTest, PhoneListAddAndDelete) {
  auto* number = Get<QLineEdit>("NewTlf");
  auto* prio = Get<QComboBox>("PrioBox");
  auto* list = Get<QListWidget>("ListaTlf");
  // Empty number: nothing added, nothing shown, the choices reset.
  prio->setCurrentIndex(2);
  Get<QCheckBox>("RxD")->setChecked(true);
  general->AddPhoneEntry();
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(prio->currentIndex(), 0);
  EXPECT_FALSE(Get<QCheckBox>("RxD")->isChecked());

  // A number with a comma: IncorrectPhoneNumber, the typed text stays.
  number->setText(QStringLiteral("600,1"));
  SeenBox box;
  AnswerNextBox(box);
  general->AddPhoneEntry();
  EXPECT_EQ(box.text, QStringLiteral("Incorrect parameter, enter a valid phone number."));
  EXPECT_EQ(box.icon, QMessageBox::Warning);
  EXPECT_EQ(box.title, QStringLiteral("NORVIK ZDL410 v5.01"));
  EXPECT_EQ(number->text(), QStringLiteral("600,1"));
  EXPECT_EQ(list->count(), 0);

  number->setText(QStringLiteral("600"));
  prio->setCurrentIndex(3);
  Get<QCheckBox>("CheckMask")->setChecked(true);
  Get<QCheckBox>("CheckD0")->setChecked(true);
  Get<QCheckBox>("CheckInfo")->setChecked(true);
  general->AddPhoneEntry();
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("600,Prio=3,PRV2,D0,AIN"));
  EXPECT_EQ(window->Record().ListaTlf.size(), 1u);
  for (int i = 1; i < kPhoneListSize; ++i) {
    number->setText(QString::number(700 + i));
    general->AddPhoneEntry();
  }
  number->setText(QStringLiteral("999"));
  prio->setCurrentIndex(1);
  AnswerNextBox(box);
  general->AddPhoneEntry();
  EXPECT_EQ(box.text, QStringLiteral("List full, delete some entry"));
  EXPECT_EQ(box.icon, QMessageBox::Information);
  EXPECT_EQ(list->count(), kPhoneListSize);
  EXPECT_EQ(number->text(), QString());
  EXPECT_EQ(prio->currentIndex(), 0);

  list->clearSelection();
  list->setCurrentRow(-1);
  general->DeletePhoneEntry();  // no selection: nothing happens
  EXPECT_EQ(list->count(), kPhoneListSize);
  list->setCurrentRow(0);
  general->DeletePhoneEntry();
  EXPECT_EQ(list->count(), kPhoneListSize - 1);
  EXPECT_EQ(window->Record().ListaTlf.front(), "701,PRV2");
  // No entry is chosen after a Delete: the next one removes nothing.
  EXPECT_TRUE(list->selectedItems().isEmpty());
  Get<QPushButton>("Borrar")->click();
  EXPECT_EQ(list->count(), kPhoneListSize - 1);
  list->setCurrentRow(2);
  Get<QPushButton>("Borrar")->click();
  EXPECT_EQ(list->count(), kPhoneListSize - 2);
  EXPECT_EQ(list->currentRow(), -1);
}

TEST_F(MainWindowTest, OpenCommandOutcomes) {
  QString answer;
  window->chooseFile = [&answer](bool, bool*) { return answer; };
  const QString title = QStringLiteral("NORVIK ZDL410 v5.01");

  answer.clear();  // cancelled: nothing changes
  window->Open();
  EXPECT_EQ(window->windowTitle(), title);
  EXPECT_TRUE(window->CurrentFile().isEmpty());

  answer = Data("full.ncf");
  window->Open();
  EXPECT_EQ(window->windowTitle(), title + QStringLiteral(" - [") + answer + QStringLiteral("]"));
  EXPECT_EQ(Get<QLineEdit>("NameBox")->text(), QString::fromStdString(Cp1252ToUtf8(window->Record().General.NOMBRE)));
  EXPECT_FALSE(window->Record().General.NOMBRE.empty());
  EXPECT_EQ(Get<QListWidget>("ListaTlf")->currentRow(), 0);
  const ConfigurationRecord loaded = window->Record();

  QTemporaryDir dir;
  struct Case {
    QString path;
    QByteArray contents;  // empty: not created
    QString text;
    QString boxTitle;
  };
  const Case failures[] = {
      {dir.filePath(QStringLiteral("missing.ncf")), {}, QStringLiteral("File not found"), QStringLiteral("Error")},
      {dir.filePath(QStringLiteral("plain.ncf")), "[General]\r\nNOMBRE=x\r\n",
       QStringLiteral("Is not a valid config file or an older version."), title},
  };
  for (const Case& c : failures) {
    if (!c.contents.isEmpty()) {
      QFile f(c.path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(c.contents);
    }
    answer = c.path;
    SeenBox box;
    AnswerNextBox(box);
    window->Open();
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.title, c.boxTitle);
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(window->windowTitle(), title + QStringLiteral(" - [") + c.path + QStringLiteral("]"));
    EXPECT_EQ(window->Record(), loaded);  // the editors keep what they had
  }

  answer = Data("seq_v3.ncf");  // newer: NewerVersionFile, then loaded
  SeenBox box;
  AnswerNextBox(box);
  window->Open();
  EXPECT_EQ(box.text, QStringLiteral("You are loading a config file from a newer version, some parameters will be lost."));
  EXPECT_NE(window->Record(), loaded);
}

TEST_F(MainWindowTest, SaveUnderANewNameKeepsTheCaptionAndWritesThePathTheDialogGives) {
  QTemporaryDir dir;
  window->chooseFile = [](bool, bool*) { return QStringLiteral(ZDL_TEST_DATA "/full.ncf"); };
  window->Open();
  window->Record().General.NOMBRE = "Dep\xF3sito \x80";
  window->RefreshEditors();
  // The dialog has added the extension (or not, under "all files"): the path is written as given.
  for (const char* name : {"copy.ncf", "plain"}) {
    const QString target = dir.filePath(QString::fromLatin1(name));
    window->chooseFile = [&target](bool save, bool* first) {
      EXPECT_TRUE(save);
      *first = true;
      return target;
    };
    const QString caption = window->windowTitle();
    window->Save();
    EXPECT_EQ(window->windowTitle(), caption);
    ASSERT_TRUE(QFile::exists(target)) << name;
    const ConfigurationRecord saved = window->Record();
    window->chooseFile = [&target](bool, bool*) { return target; };
    window->Open();
    EXPECT_EQ(Get<QLineEdit>("NameBox")->text(), QStringLiteral("Depósito €"));
    EXPECT_EQ(window->Record().Digital, saved.Digital);
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "nothing added to a name";
}

TEST_F(MainWindowTest, DroppingAFileOpensIt) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QStringLiteral(ZDL_TEST_DATA "/full.ncf"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("full.ncf]")));
  EXPECT_FALSE(window->Record().General.NOMBRE.empty());
}

TEST_F(MainWindowTest, CharactersOutsideWindows1252AreRefusedWhereTheyEnter) {
  auto* name = Get<QLineEdit>("NameBox");
  QString note;
  QObject::connect(general, &EditorWindow::Note, [&note](const QString& n) { note = n; });
  name->setFocus();
  name->insert(QStringLiteral("Ñandú €"));
  EXPECT_EQ(name->text(), QStringLiteral("Ñandú €"));
  name->insert(QStringLiteral(" Ω"));
  EXPECT_EQ(name->text(), QStringLiteral("Ñandú €"));
  EXPECT_TRUE(note.contains(QChar(0x03A9)));
  // A box that is not a field of the record (the phone number being entered) keeps its
  // last accepted text when an assistive tool sets one the unit cannot store.
  auto* number = Get<QLineEdit>("NewTlf");
  number->setText(QStringLiteral("600"));
  QAccessibleEditableTextInterface* editable = QAccessible::queryAccessibleInterface(number)->editableTextInterface();
  ASSERT_NE(editable, nullptr);
  note.clear();
  editable->insertText(3, QString::fromUtf8("Ж"));
  EXPECT_EQ(number->text(), QStringLiteral("600"));
  EXPECT_FALSE(note.isEmpty());
  editable->insertText(3, QString(40, QChar('1')));
  EXPECT_EQ(number->text(), QStringLiteral("600")) << "longer than a phone-list number";
  editable->insertText(3, QStringLiteral("1"));
  EXPECT_EQ(number->text(), QStringLiteral("6001"));
  name->clear();
  for (int i = 0; i < 60; ++i) name->insert(QStringLiteral("n"));
  EXPECT_EQ(name->text(), QString(50, QChar('n'))) << "typing stops at the field's length";
}

TEST_F(MainWindowTest, GeneralControlsCarryTheirNames) {
  for (const char* name :
       {"Frame3", "NameBox", "Frame9", "RENVN", "Frame10", "RENVT", "Label3", "Frame2", "CSMMovi", "CSMVoda",
        "CSMAmen", "CSMOtro", "SMSCBox", "Frame12", "FirmText", "Frame5", "ASINC", "Label1", "Frame6", "AINFO",
        "Label2", "Frame4", "PTLF", "Frame1", "Puerto", "ModemCheck", "CallNum", "Frame7", "NewTlf", "PrioBox",
        "Privilegios", "RxD", "Anadir", "Borrar", "ListaTlf", "Label11", "Label10", "Label13", "Frame8",
        "CheckMask", "CheckD0", "CheckD7", "CheckA0", "CheckA3", "CheckTxAlm", "CheckInfo", "LabelD0", "LabelA3",
        "LabelTXA", "Frame14", "Frame15", "Frame16", "MacroInicio", "MacroGsmOk", "MacroGsmMal", "DigitalFrame",
        "Habil_TxAlarm", "TxStatText", "RING_TxStat", "MacroTxExeTrue", "MacroTxSiLab", "Frame18", "PinHabil",
        "PIN", "Frame13", "NORMAL", "Label4", "Frame17", "Habil_Restore", "RestoreText", "IniCom", "Leer",
        "Escribir", "ProgStat", "PBar"}) {
    EXPECT_NE(general->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  }
  auto* port = Get<QComboBox>("Puerto");
  ASSERT_GE(port->count(), 17);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(port->itemText(i), QStringLiteral("COM%1").arg(i + 1));
  EXPECT_EQ(port->itemText(port->count() - 1), UnitLink::VirtualUnitName());
  EXPECT_EQ(port->currentText(), QStringLiteral("COM1"));
  EXPECT_EQ(Get<QComboBox>("Privilegios")->currentIndex(), 1);
  EXPECT_TRUE(Get<QLineEdit>("FirmText")->isReadOnly());
  EXPECT_EQ(Get<QLabel>("ProgStat")->text(), QStringLiteral("Communication not started"));
}

}  // namespace
}  // namespace zdl::ui

namespace zdl::ui {
namespace {

constexpr EditorId kAllEditors[] = {EditorId::General, EditorId::Alarmas, EditorId::Alarmas2,
                                    EditorId::Macros, EditorId::Datalogger, EditorId::Temporizadores};

// The main window's File, Edit, Windows, View, Tools and Help menus.
QList<QMenu*> TopMenus(MainWindow& w) {
  QList<QMenu*> menus;
  for (QAction* a : w.menuBar()->actions()) {
    if (a->menu()) menus << a->menu();
  }
  return menus;
}

// Closing an editor's child window (its close box, Ctrl+F4) only hides it; its toolbar
// button, its shortcut and the Windows menu bring it back, and a language switch, an open
// and the end of the program afterwards find every editor whole.
TEST_F(MainWindowTest, ClosingAnEditorOnlyHidesItAndItComesBack) {
  window->show();
  QApplication::processEvents();
  auto* area = window->findChild<QMdiArea*>();
  QMenu* windowsMenu = TopMenus(*window).value(2);
  ASSERT_NE(windowsMenu, nullptr);
  // Each entry of the Windows menu and the child window it brings to the front.
  QHash<QMdiSubWindow*, QAction*> entries;
  for (QAction* a : windowsMenu->actions()) {
    a->trigger();
    entries.insert(area->activeSubWindow(), a);
  }
  enum class Back { Button, Shortcut, Menu };
  int turn = 0;
  for (EditorId id : kAllEditors) {
    QMdiSubWindow* sub = window->SubWindow(id);
    QAction* action = entries.value(sub);
    ASSERT_NE(action, nullptr) << sub->objectName().toStdString();
    for (int how = 0; how < 2; ++how, ++turn) {
      SCOPED_TRACE(sub->objectName().toStdString() + (how ? " Ctrl+F4" : " close box"));
      window->BringToFront(id);
      if (how == 0) {
        sub->close();  // what its close box does
      } else {
        // Ctrl+F4 is the shortcut of the child window's Close in its system menu.
        QAction* close = nullptr;
        for (QAction* a : sub->systemMenu()->actions()) {
          if (a->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_F4))) close = a;
        }
        ASSERT_NE(close, nullptr);
        close->trigger();
      }
      QApplication::processEvents();
      EXPECT_FALSE(sub->isVisible());
      EXPECT_TRUE(area->subWindowList().contains(sub));
      switch (static_cast<Back>(turn % 3)) {
        case Back::Button:
          qobject_cast<QToolButton*>(window->findChild<QToolBar*>()->widgetForAction(action))->click();
          break;
        case Back::Shortcut: {
          // What the key sequence delivers to its action.
          EXPECT_FALSE(action->shortcut().isEmpty());
          QShortcutEvent shortcut(action->shortcut(), 1);
          QApplication::sendEvent(action, &shortcut);
          break;
        }
        case Back::Menu: action->trigger(); break;
      }
      QApplication::processEvents();
      EXPECT_TRUE(sub->isVisible());
      EXPECT_TRUE(sub->widget()->isVisible()) << "the editor itself shows again";
      EXPECT_EQ(area->activeSubWindow(), sub);
    }
    sub->close();  // left closed for what follows
  }
  SetCurrentLang(Lang::Spanish);
  window->LoadAllTexts();
  window->OpenFile(Data("full.ncf"));
  EXPECT_TRUE(window->SubWindow(EditorId::General)->isVisible()) << "the open brings General to the front";
  EXPECT_EQ(window->SubWindow(EditorId::General)->windowTitle(), QStringLiteral("Parámetros generales"));
  window->close();
  window.reset();  // the end of the program
}

// Help, the last menu, tells the program's version, the Qt it runs on and both licences,
// in the language of the moment.
TEST_F(MainWindowTest, HelpAboutTellsTheVersionQtAndTheLicencesInEitherLanguage) {
  QMap<Lang, QString> said;
  for (Lang lang : {Lang::English, Lang::Spanish}) {
    SetCurrentLang(lang);
    window->LoadAllTexts();
    QMenu* help = TopMenus(*window).constLast();
    ASSERT_FALSE(help->actions().isEmpty());
    SeenBox box;
    AnswerNextBox(box);
    help->actions().constFirst()->trigger();
    ASSERT_TRUE(box.seen);
    for (const QString& part : {QStringLiteral(ZDL_VERSION), QString::fromLatin1(qVersion()),
                                QStringLiteral("GPL-3.0-or-later"), QStringLiteral("LGPL-3.0")}) {
      EXPECT_TRUE(box.text.contains(part)) << part.toStdString() << " in " << box.text.toStdString();
    }
    said[lang] = box.text + box.title;
  }
  EXPECT_NE(said[Lang::English], said[Lang::Spanish]);
  EXPECT_TRUE(said[Lang::Spanish].contains(QStringLiteral("Licencia")));
}

// A language switch renames the menus; it makes none anew.
TEST_F(MainWindowTest, ALanguageSwitchRenamesTheMenusInPlace) {
  const qsizetype menus = window->findChildren<QMenu*>().size();
  const QList<QMenu*> top = TopMenus(*window);
  const QString english = top.value(0)->title();
  for (Lang lang : {Lang::Spanish, Lang::English, Lang::Spanish, Lang::English, Lang::Spanish}) {
    SetCurrentLang(lang);
    window->LoadAllTexts();
  }
  EXPECT_EQ(window->findChildren<QMenu*>().size(), menus);
  EXPECT_EQ(TopMenus(*window), top);
  EXPECT_NE(top.value(0)->title(), english);
  EXPECT_TRUE(top.value(0)->title().contains(QStringLiteral("Archivo")));
}

// The save dialog adds ".ncf" to a name typed without it before it asks whether to
// replace an existing file, so answering No leaves plant.ncf untouched.
TEST_F(MainWindowTest, TheSaveDialogAsksBeforeReplacingTheFileTheTypedNameBecomes) {
  QTemporaryDir dir;
  const QString existing = dir.filePath(QStringLiteral("plant.ncf"));
  const QByteArray before = "[General]\r\nVERSION=ZDL410\r\nNOMBRE=old\r\n";
  {
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(before);
  }
  window->Record().General.NOMBRE = "new";
  struct Case {
    QMessageBox::StandardButton answer;
    bool replaced;
  };
  for (const Case& c : {Case{QMessageBox::No, false}, Case{QMessageBox::Yes, true}}) {
    SCOPED_TRACE(c.replaced);
    QString question;
    bool dialogSeen = false;
    testing::WhenReady([&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return false;
      dialogSeen = true;
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!name) {
        dialog->reject();
        return true;
      }
      dialog->setDirectory(dir.path());
      // The name box has the focus, as when the user types in it (the dialog then leaves
      // the typed text alone instead of taking the name of a file it matches).
      QApplication::setActiveWindow(dialog);
      name->setFocus(Qt::OtherFocusReason);
      name->clear();
      for (const QChar ch : QStringLiteral("plant")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(name, &press);
      }
      // The question comes while the dialog's accept runs.
      testing::WhenReady([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == nullptr) return false;
        question = box->text();
        box->button(c.answer)->click();
        return true;
      });
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
      if (dialog->isVisible()) dialog->reject();  // after No: the user gives up
      return true;
    });
    window->Save();
    ASSERT_TRUE(dialogSeen);
    EXPECT_TRUE(question.contains(QStringLiteral("plant.ncf"))) << question.toStdString();
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    EXPECT_EQ(after != before, c.replaced);
    EXPECT_EQ(after.contains("NOMBRE=new"), c.replaced);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("plant")))) << "no second file beside it";
    EXPECT_EQ(window->CurrentFile() == existing, c.replaced);
  }
}

// Under the dialog's "all files" filter a typed name is saved as typed.
TEST_F(MainWindowTest, UnderAllFilesTheSaveDialogTakesTheNameAsTyped) {
  QTemporaryDir dir;
  testing::WhenReady([&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return false;
    dialog->setDirectory(dir.path());
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!types || !name || types->count() < 2) {
      dialog->reject();
      return true;
    }
    types->setCurrentIndex(1);
    // What the list sends when the user picks an entry.
    emit types->activated(1);
    emit types->textActivated(types->itemText(1));
    name->setText(QStringLiteral("plain"));
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    return true;
  });
  window->Save();
  EXPECT_EQ(window->CurrentFile(), dir.filePath(QStringLiteral("plain")));
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("plain"))));
}

// At start no SMS-centre option is selected (SMSCBox editable, as under "Other"); the
// first configuration that sets one shows it.
TEST_F(MainWindowTest, NoSmsCentreOptionIsSelectedUntilAConfigurationSetsOne) {
  auto checked = [this] {
    QStringList names;
    for (QRadioButton* r : general->findChildren<QRadioButton*>()) {
      if (r->isChecked()) names << r->objectName();
    }
    return names;
  };
  EXPECT_EQ(checked(), QStringList());
  EXPECT_TRUE(Get<QLineEdit>("SMSCBox")->isEnabled());
  window->OpenFile(Data("full.ncf"));
  EXPECT_EQ(checked().size(), 1);
}

// Every status line is spoken with its current text, and each change is announced.
std::vector<QObject*>* announced = nullptr;

TEST_F(MainWindowTest, TheStatusLinesAreSpokenWithTheirText) {
  std::vector<QObject*> named;
  announced = &named;
  QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
    if (announced && event->type() == QAccessible::NameChanged) announced->push_back(event->object());
  });
  QAccessible::setActive(true);
  auto spoken = [](QWidget* w) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Name) : QString();
  };
  auto* progStat = Get<QLabel>("ProgStat");
  EXPECT_EQ(spoken(progStat), progStat->text());
  EXPECT_FALSE(progStat->text().isEmpty());
  EXPECT_FALSE(progStat->accessibleDescription().isEmpty());
  general->Connection().ShowStatusText([] { return QStringLiteral("Backup saved"); });
  EXPECT_EQ(spoken(progStat), QStringLiteral("Backup saved"));
  const QString note = QStringLiteral("Saved: /tmp/plant.ncf");
  window->statusBar()->showMessage(note);
  EXPECT_EQ(spoken(window->statusBar()), note);
  // Only an active accessibility bridge (a desktop session) hears announcements.
  if (QAccessible::isActive()) {
    EXPECT_NE(std::find(named.begin(), named.end(), progStat), named.end());
    EXPECT_NE(std::find(named.begin(), named.end(), window->statusBar()), named.end());
  }
  window->statusBar()->clearMessage();
  EXPECT_NE(spoken(window->statusBar()), note);
  EXPECT_FALSE(spoken(window->statusBar()).isEmpty());
  announced = nullptr;
  QAccessible::installUpdateHandler(nullptr);
  QAccessible::setActive(false);
}

}  // namespace
}  // namespace zdl::ui
