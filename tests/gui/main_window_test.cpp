// The main window and the General editor without a unit: the language form and switch,
// the General editor's rules and phone list, the file commands, drops, the editors'
// child windows, Export as PDF.
#include "ui/app/main_window.h"

#include <QAction>
#include <QFileDialog>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include "tests/gui/gui_support.h"
#include "tests/support/process.h"
#include "ui/app/language_form.h"

namespace zdl::ui {
namespace {

using namespace testing;

const QString kTitle = QStringLiteral("NORVIK ZDL410 v5.01");

QSettings Settings() { return QSettings(QStringLiteral("Norvik_config")); }  // native, the user's
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
      {QStringLiteral("0"), Lang::English, QStringLiteral("401")},  // damaged: no language
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
}

// The toolbar's Language button and a switch back: every text of every window becomes
// the same entry of the other language, the menus are renamed in place, and every
// selection of every editor and its enabling stay.
TEST_F(MainWindowTest, ALanguageSwitchRenamesEveryTextInPlaceAndKeepsEverySelection) {
  ASSERT_TRUE(WaitFor([this] { return Front() == window->SubWindow(EditorId::General); }));
  const QList<QComboBox*> lists = window->findChildren<QComboBox*>();
  for (QComboBox* list : lists) list->setCurrentIndex(list->count() - 1);
  const ConfigurationRecord before = window->Record();
  const auto disabledNow = [this] {
    QList<QWidget*> off = window->findChildren<QWidget*>();
    off.removeIf([](QWidget* w) { return w->isEnabled(); });
    return off;
  };
  const QList<QWidget*> disabled = disabledNow();
  const QList<QMenu*> top = TopMenus(*window);
  const QString file = top.value(0)->title();

  StoreSetting(QStringLiteral("401"));
  QString selected;
  AnswerLanguageForm(selected, Lang::Spanish);
  const auto button = [this] { window->Action(QStringLiteral("Idioma"))->trigger(); };
  EXPECT_GT(ExpectTextsFollowLanguage(window.get(), Lang::Spanish, button), 100);
  EXPECT_EQ(Setting(), QStringLiteral("101"));
  EXPECT_NE(top.value(0)->title(), file);
  EXPECT_GT(ExpectTextsFollowLanguage(window.get(), Lang::English, [this] { SwitchTo(Lang::English); }), 100);
  EXPECT_EQ(top.value(0)->title(), file);
  EXPECT_EQ(TopMenus(*window), top);
  for (QComboBox* list : lists)
    EXPECT_EQ(list->currentIndex(), list->count() - 1) << list->objectName().toStdString();
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
  EXPECT_TRUE(d3->isEnabled());
  mask->setChecked(false);
  EXPECT_FALSE(d3->isChecked());
  EXPECT_TRUE(info->isChecked());
  EXPECT_FALSE(info->isEnabled());
  mask->setChecked(true);
  EXPECT_TRUE(info->isChecked());

  auto* pin = Get<QLineEdit>("PIN");
  EXPECT_FALSE(pin->isEnabled());
  Get<QCheckBox>("PinHabil")->click();
  EXPECT_TRUE(pin->isEnabled());
  EXPECT_EQ(pin->echoMode(), QLineEdit::Password);
  for (const char* digit : {"1", "2", "3", "4", "5"}) pin->insert(QString::fromLatin1(digit));
  EXPECT_EQ(window->Record().General.PIN, "1234");
}

TEST_F(MainWindowTest, PhoneListAddAndDelete) {
  auto* number = Get<QLineEdit>("NewTlf");
  auto* prio = Get<QComboBox>("PrioBox");
  auto* list = Get<QListWidget>("ListaTlf");
  general->AddPhoneEntry();  // an empty number: nothing added
  EXPECT_EQ(list->count(), 0);

  Answerer answers;
  number->setText(QStringLiteral("600,1"));  // a comma: refused, the typed text stays
  general->AddPhoneEntry();
  EXPECT_EQ(answers.texts, QStringList{T(TextId::IncorrectPhoneNumber)});
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
  EXPECT_EQ(answers.texts, QStringList({T(TextId::IncorrectPhoneNumber), T(TextId::ListFull)}));
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
}

// Open (and a drop, which is an open): a file opened shows in the caption and the
// editors; a failed one is told in a box, the editors keep what they had.
TEST_F(MainWindowTest, OpenAndDropOutcomes) {
  QString answer;
  window->chooseFile = [&answer](bool, bool*) { return answer; };
  EXPECT_TRUE(DragAndDrop(*window, TestData("full.ncf")));
  EXPECT_EQ(window->windowTitle(),
            kTitle + QStringLiteral(" - [") + TestData("full.ncf") + QStringLiteral("]"));
  EXPECT_FALSE(window->Record().General.NOMBRE.empty());  // the editors show it: the end-to-end test
  EXPECT_EQ(Get<QListWidget>("ListaTlf")->currentRow(), 0);
  const ConfigurationRecord loaded = window->Record();

  const QString plain = WriteFile("plain.ncf", "[General]\r\nNOMBRE=x\r\n");
  const std::pair<QString, QString> failures[] = {
      {temp.filePath(QStringLiteral("missing.ncf")), T(TextId::FileNotFound)},
      {plain, T(TextId::NotValidConfigFile)},
  };
  for (const auto& [path, text] : failures) {
    SCOPED_TRACE(path.toStdString());
    answer = path;
    Answerer answers;
    window->Open();
    EXPECT_EQ(answers.texts, QStringList{text});
    EXPECT_EQ(window->windowTitle(), kTitle + QStringLiteral(" - [") + path + QStringLiteral("]"));
    EXPECT_EQ(window->Record(), loaded) << "the editors keep what they had";
  }
}

// The save dialog, typed into as a user types: a name without ".ncf" gets it before the
// dialog asks whether to replace an existing file (so No leaves plant.ncf untouched).
TEST_F(MainWindowTest, TheSaveDialogAddsTheExtensionBeforeAskingWhetherToReplace) {
  const QString existing = WriteFile("plant.ncf", "[General]\r\nVERSION=ZDL410\r\nNOMBRE=old\r\n");
  window->Record().General.NOMBRE = "new";
  for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
    const bool yes = answer == QMessageBox::Yes;
    SCOPED_TRACE(yes ? "Yes" : "No");
    Answerer answers(answer);  // the question comes while the dialog's accept runs
    bool dialogSeen = false;
    WhenReady([&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return false;
      dialogSeen = true;
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!name) {
        dialog->reject();
        return true;
      }
      dialog->setDirectory(temp.path());
      // The name box has the focus, as when the user types in it (the dialog then leaves
      // the typed text alone instead of taking the name of a file it matches).
      QApplication::setActiveWindow(dialog);
      name->clear();
      Type(name, QStringLiteral("plant"));
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
      if (dialog->isVisible()) dialog->reject();  // after No: the user gives up
      return true;
    });
    window->Save();
    ASSERT_TRUE(dialogSeen);
    EXPECT_EQ(answers.questions.size(), 1);
    EXPECT_TRUE(answers.questions.value(0).contains(QStringLiteral("plant.ncf")));
    EXPECT_EQ(window->CurrentFile(), yes ? existing : QString());
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().contains("NOMBRE=new"), yes);
    EXPECT_FALSE(QFile::exists(temp.filePath(QStringLiteral("plant")))) << "no second file beside it";
  }
}

// Export as PDF: ".pdf" is added to a name without it; a file of that name is replaced only
// on Yes. (The report's pages: the command line's report tests; the verified write's line:
// the windows' end-to-end test.)
TEST_F(MainWindowTest, ExportAsksBeforeReplacingTheFileItsAddedSuffixNames) {
  window->choosePdfFile = [this] { return temp.filePath(QStringLiteral("report.txt")); };
  const std::string kept = WriteFile("report.txt.pdf", "kept").toStdString();
  for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
    Answerer answers(answer);
    window->ExportPdf();
    EXPECT_EQ(answers.questions.size(), 1);
    EXPECT_EQ(zdl::testing::ReadFileBytes(kept).rfind(answer == QMessageBox::Yes ? "%PDF-" : "kept", 0), 0u);
  }
}

// Closing an editor's child window (its close box, Ctrl+F4) only hides it; each entry of
// the Windows menu (the action of a toolbar button and a shortcut too) brings its own one
// back, and a language switch, an open and the end of the program afterwards find every
// editor whole.
TEST_F(MainWindowTest, ClosingAnEditorOnlyHidesItAndItComesBack) {
  QApplication::processEvents();
  auto* area = window->findChild<QMdiArea*>();
  const QList<QMdiSubWindow*> subs = area->subWindowList();
  for (QMdiSubWindow* sub : subs) sub->close();  // what its close box and Ctrl+F4 do
  QApplication::processEvents();
  for (QMdiSubWindow* sub : subs) EXPECT_FALSE(sub->isVisible()) << sub->objectName().toStdString();
  QList<QMdiSubWindow*> back;
  for (QAction* entry : TopMenus(*window).value(2)->actions()) {
    entry->trigger();
    QApplication::processEvents();
    QMdiSubWindow* sub = area->activeSubWindow();
    ASSERT_TRUE(sub && sub->isVisible() && !back.contains(sub)) << entry->text().toStdString();
    EXPECT_TRUE(sub->widget()->isVisible()) << "the editor itself shows again";
    back << sub;
    sub->close();  // left closed for what follows
  }
  EXPECT_EQ(back.size(), subs.size()) << "every editor came back, each by its own entry";
  EXPECT_EQ(area->subWindowList(), subs);
  SwitchTo(Lang::Spanish);
  window->OpenFile(TestData("full.ncf"));
  EXPECT_TRUE(window->SubWindow(EditorId::General)->isVisible()) << "the open brings General to the front";
  EXPECT_EQ(window->SubWindow(EditorId::General)->windowTitle(),
            window->Editor(EditorId::General)->windowTitle());
  window->close();
  window.reset();  // the end of the program
}

}  // namespace
}  // namespace zdl::ui
