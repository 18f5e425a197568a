// The main window and the General editor without a unit: the language form and switch,
// the General editor's rules and phone list, the file commands, drops, the editors'
// child windows, Help, and what a screen reader hears.
#include "ui/app/main_window.h"

#include <QAccessible>
#include <QAction>
#include <QFileDialog>
#include <QHash>
#include <QKeyEvent>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSettings>
#include <algorithm>

#include "tests/gui/gui_support.h"
#include "ui/app/language_form.h"

namespace zdl::ui {
namespace {

using namespace testing;

const QString kTitle = QStringLiteral("NORVIK ZDL410 v5.01");

QSettings Settings() { return {QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvik_config")}; }
QString Setting() { return Settings().value(QStringLiteral("Idioma/Idioma")).toString(); }
void StoreSetting(const QString& value) {  // null: nothing stored
  QSettings settings = Settings();
  if (value.isNull()) settings.remove(QStringLiteral("Idioma/Idioma"));
  if (!value.isNull()) settings.setValue(QStringLiteral("Idioma/Idioma"), value);
}

// Answers the language form when it shows: with OK after choosing `lang`, or by closing
// it; `selected` receives what it had selected when it showed.
void AnswerLanguageForm(QString& selected, std::optional<Lang> lang) {
  WhenReady([&selected, lang] {
    auto* form = qobject_cast<LanguageForm*>(QApplication::activeModalWidget());
    if (!form) return false;
    auto* combo = form->findChild<QComboBox*>(QStringLiteral("Combo1"));
    selected = combo->currentText();
    if (!lang) {
      form->reject();
    } else {
      combo->setCurrentIndex(*lang == Lang::Spanish ? 0 : 1);
      form->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    }
    return true;
  });
}

// The main window's File, Windows, View, Tools and Help menus.
QList<QMenu*> TopMenus(MainWindow& w) {
  QList<QMenu*> menus;
  for (QAction* a : w.menuBar()->actions()) {
    if (a->menu()) menus << a->menu();
  }
  return menus;
}

class MainWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Open();
  }
};

TEST(Language, FirstStartAsksBeforeAnyEditorAndStoresTheChoice) {
  struct Case {
    QString stored;  // null: nothing stored
    std::optional<Lang> answer;
    QString expected;
  };
  const Case cases[] = {
      {QString(), Lang::English, QStringLiteral("401")},
      {QStringLiteral("0"), Lang::Spanish, QStringLiteral("101")},  // damaged: no language
      {QString(), std::nullopt, QStringLiteral("101")},                // closed: Spanish
  };
  for (const Case& c : cases) {
    StoreSetting(c.stored);
    QString selected;
    AnswerLanguageForm(selected, c.answer);
    EnsureLanguage(nullptr);
    EXPECT_EQ(selected, QStringLiteral("Español")) << "shown, Spanish first";
    EXPECT_EQ(Setting(), c.expected);
    EXPECT_EQ(CurrentLang(), c.expected == QLatin1String("401") ? Lang::English : Lang::Spanish);
  }
  StoreSetting(QStringLiteral("401"));  // a stored language asks nothing
  SetCurrentLang(Lang::Spanish);
  EnsureLanguage(nullptr);
  EXPECT_EQ(CurrentLang(), Lang::English);
}

// The toolbar's Language button and a switch back: every text of every window becomes
// the same entry of the other language, the menus are renamed in place, and every
// selection of every editor and its enabling stay.
TEST_F(MainWindowTest, ALanguageSwitchRenamesEveryTextInPlaceAndKeepsEverySelection) {
  ASSERT_TRUE(WaitFor([this] { return Front() == window->SubWindow(EditorId::General); }));
  EXPECT_EQ(window->windowTitle(), kTitle);
  const QList<QComboBox*> lists = window->findChildren<QComboBox*>();
  for (QComboBox* list : lists) list->setCurrentIndex(list->count() - 1);
  const ConfigurationRecord before = window->Record();
  const auto disabledNow = [this] {
    QList<QWidget*> off = window->findChildren<QWidget*>();
    off.removeIf([](QWidget* w) { return w->isEnabled(); });
    return off;
  };
  const QList<QWidget*> disabled = disabledNow();
  const qsizetype menus = window->findChildren<QMenu*>().size();
  const QList<QMenu*> top = TopMenus(*window);
  const QString file = top.value(0)->title();

  StoreSetting(QStringLiteral("401"));
  QString selected;
  AnswerLanguageForm(selected, Lang::Spanish);
  EXPECT_GT(ExpectTextsFollowLanguage(window.get(), Lang::Spanish,
                                               [&] { window->Action(QStringLiteral("Idioma"))->trigger(); }),
            100);
  EXPECT_FALSE(selected.isEmpty()) << "the form was shown";
  EXPECT_EQ(Setting(), QStringLiteral("101"));
  EXPECT_NE(top.value(0)->title(), file);
  for (Lang lang : {Lang::English, Lang::Spanish, Lang::English}) {
    EXPECT_GT(ExpectTextsFollowLanguage(window.get(), lang, [&] { SwitchTo(lang); }), 100);
  }
  EXPECT_EQ(top.value(0)->title(), file);
  EXPECT_EQ(window->findChildren<QMenu*>().size(), menus);
  EXPECT_EQ(TopMenus(*window), top);
  for (QComboBox* list : lists) EXPECT_EQ(list->currentIndex(), list->count() - 1) << list->objectName().toStdString();
  EXPECT_EQ(window->Record(), before);
  EXPECT_EQ(disabledNow(), disabled);
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
  Get<QCheckBox>("RING_TxStat")->click();
  tx->click();  // unchecked: text emptied, Ring cleared, controls disabled
  EXPECT_EQ(Get<QLineEdit>("TxStatText")->text(), QString());
  EXPECT_FALSE(Get<QCheckBox>("RING_TxStat")->isChecked());
  EXPECT_FALSE(Get<QComboBox>("MacroTxExeTrue")->isEnabled());
  EXPECT_FALSE(Get<QLabel>("MacroTxSiLab")->isEnabled());

  // No SMS-centre option is selected until a configuration sets one: SMSCBox is editable.
  const auto checked = [this] {
    const QList<QRadioButton*> options = general->findChildren<QRadioButton*>();
    return std::count_if(options.begin(), options.end(), [](QRadioButton* r) { return r->isChecked(); });
  };
  EXPECT_EQ(checked(), 0);
  EXPECT_TRUE(Get<QLineEdit>("SMSCBox")->isEnabled());
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

  Answerer answers;
  number->setText(QStringLiteral("600,1"));  // a comma: refused, the typed text stays
  general->AddPhoneEntry();
  ASSERT_EQ(answers.boxes.size(), 1);
  EXPECT_EQ(answers.boxes[0].text, T(TextId::IncorrectPhoneNumber));
  EXPECT_EQ(answers.boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(answers.boxes[0].title, kTitle);
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
  for (int i = 1; i <= kPhoneListSize; ++i) {  // the last one does not fit
    number->setText(QString::number(700 + i));
    general->AddPhoneEntry();
  }
  ASSERT_EQ(answers.boxes.size(), 2);
  EXPECT_EQ(answers.boxes[1].text, T(TextId::ListFull));
  EXPECT_EQ(answers.boxes[1].icon, QMessageBox::Information);
  EXPECT_EQ(list->count(), kPhoneListSize);
  EXPECT_EQ(number->text(), QString());

  list->clearSelection();
  list->setCurrentRow(-1);
  general->DeletePhoneEntry();  // no selection: nothing happens
  EXPECT_EQ(list->count(), kPhoneListSize);
  list->setCurrentRow(0);
  general->DeletePhoneEntry();
  EXPECT_EQ(list->count(), kPhoneListSize - 1);
  EXPECT_EQ(window->Record().ListaTlf.front(), "701,PRV2");
  EXPECT_TRUE(list->selectedItems().isEmpty()) << "no entry is chosen after a Delete";
  EXPECT_EQ(list->currentRow(), -1);

  // A box that is not a field of the record keeps its last accepted text when an
  // assistive tool sets one the unit cannot store or the list cannot hold.
  number->setText(QStringLiteral("600"));
  QAccessibleEditableTextInterface* editable = QAccessible::queryAccessibleInterface(number)->editableTextInterface();
  ASSERT_NE(editable, nullptr);
  QString note;
  QObject::connect(general, &EditorWindow::Note, [&note](const QString& n) { note = n; });
  editable->insertText(3, QString::fromUtf8("Ж"));
  EXPECT_EQ(number->text(), QStringLiteral("600"));
  EXPECT_FALSE(note.isEmpty());
  editable->insertText(3, QString(40, QChar('1')));
  EXPECT_EQ(number->text(), QStringLiteral("600"));
  editable->insertText(3, QStringLiteral("1"));
  EXPECT_EQ(number->text(), QStringLiteral("6001"));
}

// Open (and a drop, which is an open): a cancelled dialog changes nothing; a file opened
// shows in the caption and the editors; a failed one is told in a box, the editors keep
// what they had; a newer file is told, then loaded.
TEST_F(MainWindowTest, OpenAndDropOutcomes) {
  QString answer;
  window->chooseFile = [&answer](bool, bool*) { return answer; };
  window->Open();
  EXPECT_EQ(window->windowTitle(), kTitle);
  EXPECT_TRUE(window->CurrentFile().isEmpty());

  EXPECT_TRUE(DragAndDrop(*window, TestData("full.ncf")));
  EXPECT_EQ(window->windowTitle(), kTitle + QStringLiteral(" - [") + TestData("full.ncf") + QStringLiteral("]"));
  EXPECT_FALSE(window->Record().General.NOMBRE.empty());  // the editors show it: the end-to-end test
  EXPECT_EQ(Get<QListWidget>("ListaTlf")->currentRow(), 0);
  const ConfigurationRecord loaded = window->Record();

  const QString plain = WriteFile("plain.ncf", "[General]\r\nNOMBRE=x\r\n");
  struct Case {
    QString path;
    QString text;
    QString title;
  };
  const Case failures[] = {
      {temp.filePath(QStringLiteral("missing.ncf")), T(TextId::FileNotFound), T(TextId::ErrorTitle)},
      {plain, T(TextId::NotValidConfigFile), kTitle},
  };
  for (const Case& c : failures) {
    SCOPED_TRACE(c.path.toStdString());
    answer = c.path;
    Answerer answers;
    window->Open();
    ASSERT_EQ(answers.boxes.size(), 1);
    EXPECT_EQ(answers.boxes[0].text, c.text);
    EXPECT_EQ(answers.boxes[0].title, c.title);
    EXPECT_EQ(answers.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(window->windowTitle(), kTitle + QStringLiteral(" - [") + c.path + QStringLiteral("]"));
    EXPECT_EQ(window->Record(), loaded) << "the editors keep what they had";
  }
  answer = TestData("seq_v3.ncf");
  Answerer answers;
  window->Open();
  EXPECT_EQ(answers.texts, QStringList{T(TextId::NewerVersionFile)});
  EXPECT_NE(window->Record(), loaded);
}

// The save dialog, typed into as a user types: a name without ".ncf" gets it before the
// dialog asks whether to replace an existing file (so No leaves plant.ncf untouched);
// under the "all files" filter the name is taken as typed.
TEST_F(MainWindowTest, TheSaveDialogAddsTheExtensionBeforeAskingUnlessAllFilesIsChosen) {
  const QByteArray before = "[General]\r\nVERSION=ZDL410\r\nNOMBRE=old\r\n";
  const QString existing = WriteFile("plant.ncf", before.toStdString());
  window->Record().General.NOMBRE = "new";
  struct Case {
    bool allFiles;
    QMessageBox::StandardButton answer;  // to the question, if any
    QString saved;                       // the file written, if any
    bool replaced;                       // plant.ncf holds the new configuration
  };
  const QString plain = temp.filePath(QStringLiteral("plant"));
  const Case cases[] = {{false, QMessageBox::No, {}, false},
                        {false, QMessageBox::Yes, existing, true},
                        {true, QMessageBox::No, plain, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer == QMessageBox::Yes ? "Yes" : c.allFiles ? "all files" : "No");
    Answerer answers(c.answer);  // the question comes while the dialog's accept runs
    bool dialogSeen = false;
    WhenReady([&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return false;
      dialogSeen = true;
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      if (!name || !types || types->count() < 2) {
        dialog->reject();
        return true;
      }
      dialog->setDirectory(temp.path());
      const int filter = c.allFiles ? 1 : 0;  // what the list sends when the user picks an entry
      types->setCurrentIndex(filter);
      emit types->activated(filter);
      emit types->textActivated(types->itemText(filter));
      // The name box has the focus, as when the user types in it (the dialog then leaves
      // the typed text alone instead of taking the name of a file it matches).
      QApplication::setActiveWindow(dialog);
      name->setFocus(Qt::OtherFocusReason);
      name->clear();
      for (const QChar ch : QStringLiteral("plant")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(name, &press);
      }
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
      if (dialog->isVisible()) dialog->reject();  // after No: the user gives up
      return true;
    });
    window->Save();
    ASSERT_TRUE(dialogSeen);
    EXPECT_EQ(answers.questions.join(QString()).contains(QStringLiteral("plant.ncf")), !c.allFiles);
    EXPECT_EQ(window->CurrentFile(), c.saved);
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().contains("NOMBRE=new"), c.replaced);
    EXPECT_EQ(QFile::remove(plain), c.allFiles) << "a second file beside it only under all files";
  }
}

// Closing an editor's child window (its close box, Ctrl+F4) only hides it; its action (the
// Windows menu's entry, its toolbar button and its shortcut) brings it back, and a language switch, an open
// and the end of the program afterwards find every editor whole.
TEST_F(MainWindowTest, ClosingAnEditorOnlyHidesItAndItComesBack) {
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
  ASSERT_EQ(entries.size(), 6);
  for (QMdiSubWindow* sub : area->subWindowList()) {
    SCOPED_TRACE(sub->objectName().toStdString());
    QAction* action = entries.value(sub);
    ASSERT_NE(action, nullptr);
    area->setActiveSubWindow(sub);
    sub->close();  // what its close box and Ctrl+F4 (its system menu's Close) do
    QApplication::processEvents();
    EXPECT_FALSE(sub->isVisible());
    EXPECT_TRUE(area->subWindowList().contains(sub));
    action->trigger();  // its toolbar button's and its shortcut's action too
    QApplication::processEvents();
    EXPECT_TRUE(sub->isVisible());
    EXPECT_TRUE(sub->widget()->isVisible()) << "the editor itself shows again";
    EXPECT_EQ(area->activeSubWindow(), sub);
    sub->close();  // left closed for what follows
  }
  SwitchTo(Lang::Spanish);
  window->OpenFile(TestData("full.ncf"));
  EXPECT_TRUE(window->SubWindow(EditorId::General)->isVisible()) << "the open brings General to the front";
  EXPECT_EQ(window->SubWindow(EditorId::General)->windowTitle(), window->Editor(EditorId::General)->windowTitle());
  window->close();
  window.reset();  // the end of the program
}

// Help, the last menu, tells the program's version, the Qt it runs on and both licences,
// in the language of the moment.
TEST_F(MainWindowTest, HelpAboutTellsTheVersionQtAndTheLicencesInEitherLanguage) {
  QStringList said;
  for (Lang lang : {Lang::English, Lang::Spanish}) {
    SwitchTo(lang);
    Answerer answers;
    TopMenus(*window).constLast()->actions().constFirst()->trigger();
    ASSERT_EQ(answers.boxes.size(), 1);
    said << answers.boxes[0].text + answers.boxes[0].title;
    for (const QString& part : {QStringLiteral(ZDL_VERSION), QString::fromLatin1(qVersion()),
                                QStringLiteral("GPL-3.0-or-later"), QStringLiteral("LGPL-3.0")}) {
      EXPECT_TRUE(said.last().contains(part)) << part.toStdString();
    }
  }
  EXPECT_NE(said[0], said[1]);
  EXPECT_TRUE(said[1].contains(QStringLiteral("Licencia")));
}

// The status bar is spoken with its current note, or its name without one. (Whether each
// change is announced only an accessibility bridge of a desktop session hears: never on the
// offscreen platform.)
TEST_F(MainWindowTest, TheStatusBarIsSpokenWithItsNote) {
  const QString note = QStringLiteral("Saved: /tmp/plant.ncf");
  window->statusBar()->showMessage(note);
  EXPECT_EQ(Spoken(window->statusBar()), note);
  window->statusBar()->clearMessage();
  EXPECT_NE(Spoken(window->statusBar()), note);
  EXPECT_FALSE(Spoken(window->statusBar()).isEmpty());
}

}  // namespace
}  // namespace zdl::ui
