// The comparison window, driven as a user drives it: Compare against a file, the
// double-click that shows a field, a selective take-over, a verify that finds a
// difference, a backup that cannot be saved, and the names it gives keys and backups.
// (Compare with the unit and a write with backup and verify: the end-to-end test.)
#include "ui/app/compare_window.h"

#include <QDateTime>
#include <QItemSelectionModel>
#include <QTableWidget>
#include <set>

#include "compare/comparison.h"
#include "tests/gui/gui_support.h"

namespace zdl::ui {
namespace {

using namespace testing;

std::set<std::string> Keys(const std::vector<FieldDifference>& differences) {
  std::set<std::string> keys;
  for (const FieldDifference& d : differences) keys.insert(d.section + "." + d.key);
  return keys;
}

using CompareWindowTest = WindowTest;

// Against a file: every difference is a row naming its editor and its control as a screen
// reader names it, with both values (a list's as the list shows them), in a table sorted
// by a column. A double-click brings the field's editor to the front with the focus on its
// control. The selected rows are taken over in one step.
TEST_F(CompareWindowTest, AgainstAFileEachDifferenceIsARowThatShowsItsControlAndCanBeTakenOver) {
  Open();
  const QString base = SaveFile(FullRecord(), "base.ncf");
  // The record changed in four places: a text of the General editor, a text of an alarm
  // editor, a list, and the phone list.
  ConfigurationRecord changed = FullRecord();
  changed.General.NOMBRE = "Otro nombre";
  changed.Digital[2].TEXT = "Puerta abierta";
  changed.General.MACRO_INICIO = changed.General.MACRO_INICIO == 3 ? 4 : 3;
  changed.ListaTlf.at(0) = "600999888";
  SetEditors(changed);
  const ConfigurationRecord edited = window->Record();
  window->chooseFile = [&](bool save, bool*) {  // not connected: Compare asks for a file
    EXPECT_FALSE(save);
    return base;
  };
  window->Action(QStringLiteral("Compare"))->trigger();
  ASSERT_TRUE(window->Comparison()->isVisible());
  QTableWidget* table = window->Comparison()->Table();
  const auto differenceAt = [&](int row) -> const FieldDifference& {
    return window->Comparison()->Differences().at(
        static_cast<std::size_t>(table->item(row, 0)->data(Qt::UserRole).toInt()));
  };
  const auto rowOf = [&](const std::string& section, const std::string& key) {  // -1: none
    for (int row = 0; row < table->rowCount(); ++row) {
      if (differenceAt(row).section == section && differenceAt(row).key == key) return row;
    }
    return -1;
  };
  EXPECT_EQ(table->rowCount(), 4) << "one row a difference; each shown below";
  EXPECT_EQ(window->Record(), edited) << "the editors do not change";
  const ConfigurationRecord other = FullRecord();
  auto* macroList = Get<QComboBox>("MacroInicio");
  const auto shown = [](const std::string& text) { return QString::fromStdString(Cp1252ToUtf8(text)); };
  struct Row {
    std::string section, key;
    EditorId editor;
    QString thisSide, otherSide;
  };
  const Row rows[] = {
      {"General", "NOMBRE", EditorId::General, shown(edited.General.NOMBRE), shown(other.General.NOMBRE)},
      {"Telefonos", "TLF0", EditorId::General, shown(edited.ListaTlf[0]), shown(other.ListaTlf[0])},
      {"Digital", "TEXT2", EditorId::Alarmas, shown(edited.Digital[2].TEXT), shown(other.Digital[2].TEXT)},
      {"General", "MACRO_INICIO", EditorId::General, macroList->itemText(edited.General.MACRO_INICIO),
       macroList->itemText(other.General.MACRO_INICIO)},
  };
  table->sortByColumn(3, Qt::DescendingOrder);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.key);
    const int row = rowOf(r.section, r.key);
    ASSERT_GE(row, 0);
    EXPECT_EQ(table->item(row, 0)->text(), window->Editor(r.editor)->windowTitle());
    EXPECT_EQ(table->item(row, 2)->text(), r.thisSide);
    EXPECT_EQ(table->item(row, 3)->text(), r.otherSide);
    const std::optional<DifferenceControl> control = ControlOf(differenceAt(row));
    ASSERT_TRUE(control.has_value());
    EXPECT_EQ(control->editor, r.editor);
    QWidget* widget = window->Editor(r.editor)->findChild<QWidget*>(control->objectName);
    ASSERT_NE(widget, nullptr);
    ASSERT_FALSE(widget->accessibleName().isEmpty());
    EXPECT_TRUE(table->item(row, 1)->text().contains(widget->accessibleName()))
        << table->item(row, 1)->text().toStdString();
    emit table->cellDoubleClicked(row, 1);
    EXPECT_EQ(Front(), window->SubWindow(r.editor));
    EXPECT_EQ(window->focusWidget(), widget);
  }

  for (const auto& [section, key] : {std::pair{"General", "NOMBRE"}, std::pair{"Telefonos", "TLF0"}}) {
    table->selectionModel()->select(table->model()->index(rowOf(section, key), 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  ASSERT_TRUE(window->Comparison()->TakeOverButton()->isEnabled());
  window->Comparison()->TakeOverButton()->click();
  // The two values came over, the others stayed, and the editors show it.
  ConfigurationRecord expected = edited;
  expected.General.NOMBRE = other.General.NOMBRE;
  expected.ListaTlf = other.ListaTlf;
  EXPECT_EQ(window->Record(), expected);
  EXPECT_EQ(Get<QLineEdit>("NameBox")->text(), shown(other.General.NOMBRE));
  const std::set<std::string> left{"Digital.TEXT2", "General.MACRO_INICIO"};
  EXPECT_EQ(Keys(window->Comparison()->Differences()), left);
  EXPECT_EQ(table->rowCount(), 2);
}

// A verify that finds a difference shows the comparison and names it in the status; a
// backup that cannot be saved is told and nothing is written.
TEST_F(CompareWindowTest, AVerifyThatDiffersOrABackupThatFailsIsShownAndTold) {
  for (bool verify : {true, false}) {
    SCOPED_TRACE(verify ? "verify" : "backup");
    UnitLinkOptions options = VirtualUnit();
    if (verify) options.virtualFaults.corruptRecord = 7;  // the unit does not keep NOMBRE
    Open(options);
    Answerer answers(QMessageBox::Yes);
    ASSERT_TRUE(Connect());
    const QString folder = ConnectionPanel::BackupFolder();
    QFile blocker(folder);  // a file where the backups folder should be
    ASSERT_TRUE(verify ||
                (QDir().mkpath(QFileInfo(folder).absolutePath()) && blocker.open(QIODevice::WriteOnly)));
    QString problem;
    QObject::connect(&window->Link(), &UnitLink::BackupFailed, [&](const QString& p) { problem = p; });
    SetEditors(FullRecord());
    Panel().BackUpFirst()->setChecked(!verify);
    Panel().VerifyAfterWriting()->setChecked(verify);
    Panel().EscribirClick();
    ASSERT_TRUE(Idle());
    if (verify) {
      EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join(QLatin1Char('|')).toStdString();
      ASSERT_TRUE(window->Comparison()->isVisible());
      EXPECT_EQ(Keys(window->Comparison()->Differences()), std::set<std::string>{"General.NOMBRE"});
      const QString differs =
          T(ExtraText::VerifyDiffers, QStringLiteral("1")).chopped(1);  // its ":" ends a list
      EXPECT_TRUE(Status().contains(differs)) << Status().toStdString();
      EXPECT_TRUE(QDir(folder).entryList({QStringLiteral("*.ncf")}, QDir::Files).isEmpty());
      continue;
    }
    ASSERT_FALSE(problem.isEmpty());
    EXPECT_EQ(answers.texts, QStringList{T(ExtraText::BackupSaveFailed, problem)});
    EXPECT_EQ(Status(), T(TextId::CommunicationError));
    EXPECT_FALSE(Received("#01LDDEF")) << "nothing written";
  }
}

TEST(BackupFileName, DateTimeAndAFileNameSafeUnitName) {
  const QDateTime when(QDate(2024, 3, 9), QTime(7, 5, 2));
  const std::pair<const char*, QString> cases[] = {
      {"Depósito nº 3", QStringLiteral("2024-03-09_07-05-02_Depósito_nº_3.ncf")},
      {"a/b\\c:*?\"<>|", QStringLiteral("2024-03-09_07-05-02_a_b_c.ncf")},
      {"../..", QStringLiteral("2024-03-09_07-05-02_ZDL410.ncf")},
  };
  for (const auto& [name, expected] : cases) {
    ConfigurationRecord r;
    r.General.NOMBRE = Utf8ToCp1252(name).value();
    EXPECT_EQ(ConnectionPanel::BackupFileName(r, when), expected) << name;
  }
}

}  // namespace
}  // namespace zdl::ui
