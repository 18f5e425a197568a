// The comparison window and the write's extras, driven as a user drives them: the
// Compare command against a file and against the built-in virtual unit (unpaced), the
// double-click that shows a field, a selective take-over, and a write with a backup
// first and a verify after.
#include "ui/app/compare_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <set>

#include "compare/comparison.h"
#include "configfile/config_file.h"
#include "model/text_codec.h"
#include "tests/gui/gui_support.h"
#include "tests/support/sample_record.h"
#include "transfer/check_pass.h"
#include "ui/app/editor_window.h"
#include "ui/app/connection_panel.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/unit_link.h"

namespace zdl::ui {
namespace {

// Runs the interface thread's events until `done` holds; false after 30 s (a hang).
bool WaitFor(const std::function<bool()>& done) {
  if (done()) return true;
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(5);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(30000);
  loop.exec();
  return done();
}

std::set<std::string> Keys(const std::vector<FieldDifference>& differences) {
  std::set<std::string> keys;
  for (const FieldDifference& d : differences) keys.insert(d.section + "." + d.key);
  return keys;
}

// The editors' configuration changed in four places from `base`: a text of the General
// editor, a text of an alarm editor, a list, and the phone list.
ConfigurationRecord Changed(ConfigurationRecord r) {
  r.General.NOMBRE = "Otro nombre";
  r.Digital[2].TEXT = "Puerta abierta";
  r.General.MACRO_INICIO = r.General.MACRO_INICIO == 3 ? 4 : 3;
  r.ListaTlf.at(0) = "600999888";
  return r;
}

class CompareWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentLang(Lang::English);
    ASSERT_TRUE(data.isValid());
    // Backups land in the temporary folder.
    previousData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
  }
  void TearDown() override {
    window.reset();
    if (previousData.isNull()) {
      qunsetenv("XDG_DATA_HOME");
    } else {
      qputenv("XDG_DATA_HOME", previousData);
    }
  }

  void Open(UnitLinkOptions options = {}) {
    options.pacedVirtualUnit = false;
    options.virtualSaveTime = Millis{0};
    window = std::make_unique<MainWindow>(options);
    window->Link().askPassword = [] { return std::optional<std::string>(UnitLink::VirtualUnitPassword()); };
    general = window->General();
  }

  void SetEditors(const ConfigurationRecord& r) {
    window->Record() = r;
    window->RefreshEditors();
  }

  QString SaveFile(const ConfigurationRecord& r, const char* name) {
    const QString path = data.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(SaveConfigFile(std::filesystem::path(path.toStdString()), r).ok);
    return path;
  }

  bool Connect() {
    general->Connection().Puerto()->setCurrentText(UnitLink::VirtualUnitName());
    general->Connection().IniComClick();
    return WaitFor([&] { return !general->Connection().ExchangeRunning(); }) && window->Link().Connected();
  }

  bool Idle() { return WaitFor([&] { return !general->Connection().ExchangeRunning(); }); }

  QTableWidget* Table() { return window->Comparison()->Table(); }

  // The table row that shows a key, or -1.
  int RowOf(const std::string& section, const std::string& key) {
    const auto& differences = window->Comparison()->Differences();
    for (int row = 0; row < Table()->rowCount(); ++row) {
      const auto index = static_cast<std::size_t>(Table()->item(row, 0)->data(Qt::UserRole).toInt());
      if (differences.at(index).section == section && differences.at(index).key == key) return row;
    }
    return -1;
  }

  QTemporaryDir data;
  QByteArray previousData;
  std::unique_ptr<MainWindow> window;
  GeneralEditor* general = nullptr;
};

TEST_F(CompareWindowTest, AgainstAFileEveryDifferenceIsARowWithItsEditorCaptionAndBothValues) {
  Open();
  const ConfigurationRecord base = zdl::testing::FullRecord();
  const QString file = SaveFile(base, "base.ncf");
  SetEditors(Changed(base));
  const ConfigurationRecord before = window->Record();
  // Not connected: Compare asks for a file and takes it.
  window->chooseFile = [&](bool save, bool*) {
    EXPECT_FALSE(save);
    return file;
  };
  window->Action(QStringLiteral("Compare"))->trigger();
  CompareWindow* compare = window->Comparison();
  ASSERT_TRUE(compare->isVisible());
  EXPECT_EQ(Keys(compare->Differences()),
            (std::set<std::string>{"General.NOMBRE", "Digital.TEXT2", "General.MACRO_INICIO", "Telefonos.TLF0"}));
  EXPECT_EQ(Table()->rowCount(), 4);
  EXPECT_TRUE(compare->findChild<QLabel*>(QStringLiteral("CompareSides"))->text().contains(QDir::toNativeSeparators(file)));
  EXPECT_EQ(window->Record(), before);  // the editors do not change

  struct Expected {
    std::string section, key;
    EditorId editor;
    QString control;
    QString thisSide, otherSide;
  };
  const Expected expected[] = {
      {"General", "NOMBRE", EditorId::General, QStringLiteral("NameBox"), QStringLiteral("Otro nombre"),
       QString::fromStdString(Cp1252ToUtf8(base.General.NOMBRE))},
      {"Telefonos", "TLF0", EditorId::General, QStringLiteral("ListaTlf"), QStringLiteral("600999888"),
       QString::fromStdString(Cp1252ToUtf8(base.ListaTlf.at(0)))},
  };
  for (const Expected& e : expected) {
    const int row = RowOf(e.section, e.key);
    ASSERT_GE(row, 0) << e.key;
    EXPECT_EQ(Table()->item(row, 0)->text(), window->Editor(e.editor)->windowTitle());
    QWidget* control = window->Editor(e.editor)->findChild<QWidget*>(e.control);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(Table()->item(row, 1)->text().contains(control->accessibleName())) << Table()->item(row, 1)->text().toStdString();
    EXPECT_EQ(Table()->item(row, 2)->text(), e.thisSide);
    EXPECT_EQ(Table()->item(row, 3)->text(), e.otherSide);
  }
  // The digital input's text names its input (the frame's title) and its control.
  const FieldDifference text2 = compare->Differences().at(
      static_cast<std::size_t>(Table()->item(RowOf("Digital", "TEXT2"), 0)->data(Qt::UserRole).toInt()));
  ASSERT_NE(text2.field, nullptr);
  QWidget* textControl = window->Editor(text2.field->editor)->findChild<QWidget*>(QString::fromStdString(text2.field->ObjectName()));
  ASSERT_NE(textControl, nullptr);
  EXPECT_EQ(compare->FieldCaption(text2).isEmpty(), false);
  EXPECT_TRUE(compare->FieldCaption(text2).contains(textControl->accessibleName()));
  // A list's values as the list shows them.
  const int macroRow = RowOf("General", "MACRO_INICIO");
  auto* macroList = general->findChild<QComboBox*>(QStringLiteral("MacroInicio"));
  EXPECT_EQ(Table()->item(macroRow, 2)->text(), macroList->itemText(window->Record().General.MACRO_INICIO));
  EXPECT_EQ(Table()->item(macroRow, 3)->text(), macroList->itemText(base.General.MACRO_INICIO));

  // Sorted by any column, each row keeps its own cells; a language switch renames them.
  Table()->sortByColumn(3, Qt::DescendingOrder);
  EXPECT_EQ(Table()->item(RowOf("General", "NOMBRE"), 2)->text(), QStringLiteral("Otro nombre"));
  Table()->sortByColumn(1, Qt::AscendingOrder);
  EXPECT_EQ(Table()->item(RowOf("Telefonos", "TLF0"), 3)->text(), expected[1].otherSide);
  SetCurrentLang(Lang::Spanish);
  window->LoadAllTexts();
  EXPECT_EQ(Table()->horizontalHeaderItem(0)->text(), QStringLiteral("Editor"));
  EXPECT_EQ(Table()->horizontalHeaderItem(2)->text(), QStringLiteral("Este lado"));
  EXPECT_EQ(Table()->item(RowOf("General", "NOMBRE"), 0)->text(), window->Editor(EditorId::General)->windowTitle());
  SetCurrentLang(Lang::English);
}

TEST_F(CompareWindowTest, ADoubleClickBringsTheFieldsEditorToTheFrontWithTheFocusOnItsControl) {
  Open();
  const ConfigurationRecord base = zdl::testing::FullRecord();
  const QString file = SaveFile(base, "base.ncf");
  SetEditors(Changed(base));
  window->show();
  window->activateWindow();
  window->CompareWithFile(file);
  ASSERT_EQ(Table()->rowCount(), 4);
  struct Case {
    std::string section, key;
    EditorId editor;
  };
  for (const Case& c : {Case{"Digital", "TEXT2", EditorId::Alarmas}, Case{"General", "NOMBRE", EditorId::General},
                        Case{"Telefonos", "TLF0", EditorId::General}}) {
    const int row = RowOf(c.section, c.key);
    ASSERT_GE(row, 0);
    emit Table()->cellDoubleClicked(row, 1);
    const std::optional<DifferenceControl> control =
        ControlOf(window->Comparison()->Differences().at(static_cast<std::size_t>(Table()->item(row, 0)->data(Qt::UserRole).toInt())));
    ASSERT_TRUE(control.has_value());
    EXPECT_EQ(control->editor, c.editor);
    EXPECT_EQ(window->findChild<QMdiArea*>()->activeSubWindow(), window->SubWindow(c.editor)) << c.key;
    QWidget* widget = window->Editor(c.editor)->findChild<QWidget*>(control->objectName);
    ASSERT_NE(widget, nullptr);
    // The control holds the main window's focus (it has the keyboard once that window is active).
    EXPECT_EQ(window->focusWidget(), widget) << c.key << " focus on "
                                             << (window->focusWidget() ? window->focusWidget()->objectName().toStdString() : "");
  }
}

TEST_F(CompareWindowTest, TheSelectedRowsAreTakenOverInOneStepAndASecondCompareShowsThemDone) {
  Open();
  const ConfigurationRecord base = zdl::testing::FullRecord();
  const QString file = SaveFile(base, "base.ncf");
  const ConfigurationRecord edited = Changed(base);
  SetEditors(edited);
  window->CompareWithFile(file);
  ASSERT_EQ(Table()->rowCount(), 4);
  EXPECT_FALSE(window->Comparison()->TakeOverButton()->isEnabled());
  auto select = [&](const std::string& section, const std::string& key) {
    Table()->selectionModel()->select(Table()->model()->index(RowOf(section, key), 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  };
  select("General", "NOMBRE");
  select("Telefonos", "TLF0");
  ASSERT_TRUE(window->Comparison()->TakeOverButton()->isEnabled());
  window->Comparison()->TakeOverButton()->click();

  // The two values came over, the others stayed, and the editors show it.
  EXPECT_EQ(window->Record().General.NOMBRE, base.General.NOMBRE);
  EXPECT_EQ(window->Record().ListaTlf, base.ListaTlf);
  EXPECT_EQ(window->Record().Digital[2].TEXT, edited.Digital[2].TEXT);
  EXPECT_EQ(window->Record().General.MACRO_INICIO, edited.General.MACRO_INICIO);
  EXPECT_EQ(general->findChild<QLineEdit*>(QStringLiteral("NameBox"))->text(),
            QString::fromStdString(Cp1252ToUtf8(base.General.NOMBRE)));
  const std::set<std::string> left{"Digital.TEXT2", "General.MACRO_INICIO"};
  EXPECT_EQ(Keys(window->Comparison()->Differences()), left);
  EXPECT_EQ(Table()->rowCount(), 2);
  window->CompareWithFile(file);
  EXPECT_EQ(Keys(window->Comparison()->Differences()), left);
  // Everything taken over: no differences.
  Table()->selectAll();
  window->Comparison()->TakeOverSelected();
  EXPECT_TRUE(window->Comparison()->Differences().empty());
  EXPECT_EQ(window->Comparison()->findChild<QLabel*>(QStringLiteral("CompareCount"))->text(),
            QStringLiteral("No differences."));
}

TEST_F(CompareWindowTest, AgainstTheUnitTheReadGoesIntoACopyAndTheEditorsDoNotChange) {
  UnitLinkOptions options;
  const ConfigurationRecord unit = zdl::testing::FullRecord();
  options.virtualConfiguration = unit;
  Open(options);
  ASSERT_TRUE(Connect());
  SetEditors(Changed(unit));
  const ConfigurationRecord before = window->Record();
  ASSERT_TRUE(general->Connection().CompareWithUnit());
  EXPECT_TRUE(general->Connection().ExchangeRunning());
  ASSERT_TRUE(Idle());
  EXPECT_EQ(window->Record(), before);
  ASSERT_TRUE(window->Comparison()->isVisible());
  EXPECT_EQ(Keys(window->Comparison()->Differences()),
            (std::set<std::string>{"General.NOMBRE", "Digital.TEXT2", "General.MACRO_INICIO", "Telefonos.TLF0"}));
  EXPECT_EQ(general->findChild<QLineEdit*>(QStringLiteral("NameBox"))->text(), QStringLiteral("Otro nombre"));
  // Taken over from the unit, the editors hold what the unit holds.
  window->Comparison()->Table()->selectAll();
  window->Comparison()->TakeOverSelected();
  EXPECT_TRUE(window->Comparison()->Differences().empty());
  EXPECT_TRUE(Compare(window->Record(), unit).empty());
}

TEST_F(CompareWindowTest, AWriteWithBothBoxesLeavesABackupOfThePreviousConfigurationAndVerifies) {
  UnitLinkOptions options;
  ConfigurationRecord previous = zdl::testing::FullRecord();
  options.virtualConfiguration = previous;
  Open(options);
  EXPECT_FALSE(general->Connection().BackUpFirst()->isChecked());
  EXPECT_FALSE(general->Connection().VerifyAfterWriting()->isChecked());
  ASSERT_TRUE(Connect());
  const ConfigurationRecord written = Changed(previous);
  SetEditors(written);
  general->Connection().BackUpFirst()->setChecked(true);
  general->Connection().VerifyAfterWriting()->setChecked(true);
  testing::SeenBox confirm;
  if (CheckForWrite(written, window->Link().Facts()).kind == CheckResult::NeedsConfirmation) {
    testing::AnswerNextBox(confirm, QMessageBox::Yes);
  }
  general->Connection().EscribirClick();
  ASSERT_TRUE(Idle());

  const QDir backups(ConnectionPanel::BackupFolder());
  EXPECT_TRUE(backups.absolutePath().startsWith(data.path())) << backups.absolutePath().toStdString();
  const QStringList files = backups.entryList({QStringLiteral("*.ncf")}, QDir::Files);
  ASSERT_EQ(files.size(), 1);
  // The user's alone: the folder and the file.
  const auto ownerOnly = [](const QString& path) {
    return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
  };
  EXPECT_EQ(ownerOnly(backups.absolutePath()), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(ownerOnly(backups.filePath(files.front())), QFile::ReadOwner | QFile::WriteOwner);
  // Named by date, time ("yyyy-MM-dd_HH-mm-ss_") and the unit's name.
  EXPECT_EQ(files.front().mid(20), ConnectionPanel::BackupFileName(previous, QDateTime::currentDateTime()).mid(20));
  ConfigurationRecord backup;
  ASSERT_TRUE(LoadConfigFile(std::filesystem::path(backups.filePath(files.front()).toStdString()), backup).loaded());
  EXPECT_TRUE(CompareWithUnit(previous, backup).empty());
  EXPECT_FALSE(Compare(backup, written).empty());
  const QString status = general->Connection().ProgStat()->text();
  EXPECT_TRUE(status.contains(QDir::toNativeSeparators(backups.filePath(files.front())))) << status.toStdString();
  EXPECT_TRUE(status.contains(QStringLiteral("Verified"))) << status.toStdString();
  EXPECT_FALSE(window->Comparison()->isVisible());
  // The unit now holds what was written.
  ASSERT_TRUE(general->Connection().CompareWithUnit());
  ASSERT_TRUE(Idle());
  EXPECT_TRUE(window->Comparison()->Differences().empty());
  // The boxes are not remembered.
  Open(options);
  EXPECT_FALSE(general->Connection().BackUpFirst()->isChecked());
  EXPECT_FALSE(general->Connection().VerifyAfterWriting()->isChecked());
}

TEST_F(CompareWindowTest, AVerifyThatFindsADifferenceShowsTheComparison) {
  UnitLinkOptions options;
  options.virtualFaults.corruptRecord = 7;  // the unit does not keep NOMBRE
  Open(options);
  ASSERT_TRUE(Connect());
  SetEditors(zdl::testing::FullRecord());
  general->Connection().VerifyAfterWriting()->setChecked(true);
  testing::SeenBox confirm;
  if (CheckForWrite(window->Record(), window->Link().Facts()).kind == CheckResult::NeedsConfirmation) {
    testing::AnswerNextBox(confirm, QMessageBox::Yes);
  }
  general->Connection().EscribirClick();
  ASSERT_TRUE(Idle());
  ASSERT_TRUE(window->Comparison()->isVisible());
  EXPECT_EQ(Keys(window->Comparison()->Differences()), std::set<std::string>{"General.NOMBRE"});
  EXPECT_TRUE(general->Connection().ProgStat()->text().contains(QStringLiteral("1 value(s)"))) << general->Connection().ProgStat()->text().toStdString();
  EXPECT_TRUE(QDir(ConnectionPanel::BackupFolder()).entryList({QStringLiteral("*.ncf")}, QDir::Files).isEmpty());
}

TEST_F(CompareWindowTest, ABackupThatCannotBeSavedWritesNothing) {
  UnitLinkOptions options;
  const ConfigurationRecord previous = zdl::testing::FullRecord();
  options.virtualConfiguration = previous;
  Open(options);
  ASSERT_TRUE(Connect());
  // A file stands where the backups folder should be.
  const QString folder = ConnectionPanel::BackupFolder();
  ASSERT_TRUE(QDir().mkpath(QFileInfo(folder).absolutePath()));
  {
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  }
  std::optional<bool> written;
  QString problem;
  QObject::connect(&window->Link(), &UnitLink::WriteFinished, [&](bool ok) { written = ok; });
  QObject::connect(&window->Link(), &UnitLink::BackupFailed, [&](const QString& p) { problem = p; });
  SetEditors(Changed(previous));
  general->Connection().BackUpFirst()->setChecked(true);
  testing::SeenBox confirm;
  if (CheckForWrite(window->Record(), window->Link().Facts()).kind == CheckResult::NeedsConfirmation) {
    testing::AnswerNextBox(confirm, QMessageBox::Yes);
  }
  general->Connection().EscribirClick();  // the confirmation, if any, is answered within
  testing::SeenBox failure;
  testing::AnswerNextBox(failure);
  ASSERT_TRUE(WaitFor([&] { return written.has_value() && failure.seen; }));
  EXPECT_FALSE(*written);
  EXPECT_FALSE(problem.isEmpty());
  EXPECT_TRUE(failure.text.contains(QStringLiteral("nothing was written"))) << failure.text.toStdString();
  ASSERT_TRUE(Idle());
  EXPECT_TRUE(window->Link().Connected());
  // The unit still holds its configuration.
  ASSERT_TRUE(general->Connection().CompareWithUnit());
  ASSERT_TRUE(Idle());
  const ConfigurationRecord editors = window->Record();
  EXPECT_EQ(Keys(window->Comparison()->Differences()),
            Keys(CompareWithUnit(editors, previous)));
  EXPECT_FALSE(window->Comparison()->Differences().empty());
}

// A key no control shows alone names the control where its value is seen.
TEST(DifferenceControl, KeysWithoutARowOfTheirOwnNameTheControlThatShowsThem) {
  struct Case {
    const char* section;
    const char* key;
    EditorId editor;
    const char* objectName;
  };
  const Case cases[] = {
      {"Telefonos", "TLF3", EditorId::General, "ListaTlf"},
      {"Digital", "NC1", EditorId::Alarmas, "Modo_1"},
      {"Digital", "BI6", EditorId::Alarmas2, "Modo_2"},
  };
  for (const Case& c : cases) {
    const std::optional<DifferenceControl> control = ControlOf(FieldDifference{c.section, c.key, nullptr, {}, {}});
    ASSERT_TRUE(control.has_value()) << c.key;
    EXPECT_EQ(control->editor, c.editor) << c.key;
    EXPECT_EQ(control->objectName, QString::fromLatin1(c.objectName)) << c.key;
  }
  EXPECT_FALSE(ControlOf(FieldDifference{"General", "VERSION", nullptr, {}, {}}).has_value());
}

TEST(BackupFileName, DateTimeAndAFileNameSafeUnitName) {
  struct Case {
    const char* name;  // UTF-8
    QString expected;
  };
  const QDateTime when(QDate(2024, 3, 9), QTime(7, 5, 2));
  const Case cases[] = {
      {"Depósito nº 3", QStringLiteral("2024-03-09_07-05-02_Depósito_nº_3.ncf")},
      {"a/b\\c:*?\"<>|", QStringLiteral("2024-03-09_07-05-02_a_b_c.ncf")},
      {"", QStringLiteral("2024-03-09_07-05-02_ZDL410.ncf")},
      {"../..", QStringLiteral("2024-03-09_07-05-02_ZDL410.ncf")},
  };
  for (const Case& c : cases) {
    ConfigurationRecord r;
    r.General.NOMBRE = Utf8ToCp1252(c.name).value();
    EXPECT_EQ(ConnectionPanel::BackupFileName(r, when), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace zdl::ui
