// The main window: the frame of the editors (child windows of a multiple-document area),
// the toolbar, the open and save commands with the current file path, and the caption.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "configfile/config_file.h"
#include "model/configuration_record.h"
#include "model/field_table.h"
#include "report/configuration_report.h"

class QAction;
class QLabel;
class QMenu;
class QMdiArea;
class QMdiSubWindow;
class QPrinter;
class QToolBar;

namespace zdl::ui {

class CompareWindow;
class EditMenu;
class EditorWindow;
class GeneralEditor;
class TraceDock;
class UnitLink;
struct UnitLinkOptions;

inline constexpr char kTitle[] = "NORVIK ZDL410 v5.01";

// What Help > About says in the current language: the program, its version, the Qt it runs
// on and both licences.
QString AboutText();

class MainWindow final : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(QWidget* parent = nullptr);
  // `link` sets how the built-in virtual unit behaves (tests run it unpaced).
  explicit MainWindow(const UnitLinkOptions& link, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The one configuration the editors show.
  ConfigurationRecord& Record() { return record_; }
  EditorWindow* Editor(EditorId id) const;
  GeneralEditor* General() const;
  QMdiSubWindow* SubWindow(EditorId id) const;
  QAction* Action(const QString& key) const;
  UnitLink& Link() { return *link_; }
  TraceDock* Trace() const { return trace_; }
  // A read or a write runs: every window but the way out of the wait takes no input.
  void SetExchangeRunning(bool running);
  const QString& CurrentFile() const { return currentFile_; }

  // The toolbar's commands.
  void Open();
  void Save();
  void BringToFront(EditorId id);
  void ChooseLanguage();
  // Opens a file as the Open command does after its dialog (drops, the command line).
  void OpenFile(const QString& path);
  // Every window's texts in the current language, in the order of a language switch.
  void LoadAllTexts();
  // Record -> every editor.
  void RefreshEditors();

  // The Compare command: the editors' configuration against a file, or against the
  // connected unit (read into a copy; the editors do not change). Asks which when
  // connected; otherwise takes a file.
  void Compare();
  void CompareWithFile(const QString& path);
  void CompareWithUnit();
  // The comparison window (built when first needed).
  CompareWindow* Comparison();

  // Edit: undo and redo of every change of the record.
  EditMenu& Edits() const { return *edits_; }

  // The file dialogs (replaced by tests): the chosen path, or empty when cancelled.
  // `firstFilter` tells whether the first filter was the one chosen.
  std::function<QString(bool save, bool* firstFilter)> chooseFile;

  // --- The configuration report (ui/app/report_commands.cpp) ---
  // File > Print... (Ctrl+P): the system's print dialog, then the report on the printer.
  void PrintReport();
  // File > Export as PDF...: a save dialog, ".pdf" added when missing, then the report
  // written atomically.
  void ExportPdf();
  // What the report says besides the configuration: the file, the moment, the program,
  // the connected unit's firmware, and a verified write of this very configuration.
  ReportFacts ReportFactsNow() const;
  // The dialogs (replaced by tests): the printer set up (false: cancelled); the PDF's
  // path (empty: cancelled).
  std::function<bool(QPrinter& printer)> setUpPrinter;
  std::function<QString()> choosePdfFile;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Ends a running exchange first; the link's worker ends at once and the port closes.
  void closeEvent(QCloseEvent* event) override;
  // A child window's close only hides its editor.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildToolbar();
  // Sizes and places the child windows within the area.
  void LayOutWindows();
  // After a language switch: grows a child window whose editor's texts no longer fit.
  void FitWindowsToTexts();
  QSize WantedSize(std::size_t slot) const;
  void BuildMenus();
  void LoadText();
  // The status bar's note, spoken as the bar's name.
  void SpeakStatusNote(const QString& note);
  QString AskFile(bool save, bool* firstFilter);
  void ShowLoadOutcome(const LoadOutcome& outcome);

  void Build();
  // The General editor's connection panel: its exchanges lock the windows, its read
  // replaces the record, its comparisons show in the comparison window.
  void ConnectConnection();

  ConfigurationRecord record_;
  // Destroyed before the windows it reports to: its worker is joined first.
  std::unique_ptr<UnitLink> link_;
  TraceDock* trace_ = nullptr;
  QMdiArea* area_;
  QToolBar* toolbar_;
  std::array<EditorWindow*, 6> editors_{};
  std::array<QMdiSubWindow*, 6> subWindows_{};
  QString currentFile_;
  bool laidOut_ = false;
  CompareWindow* comparison_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* windowsMenu_ = nullptr;
  QMenu* viewMenu_ = nullptr;
  QMenu* toolsMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QAction* about_ = nullptr;
  QAction* quit_ = nullptr;
  EditMenu* edits_ = nullptr;

  // --- The configuration report (ui/app/report_commands.cpp) ---
  void BuildReportActions();
  void LoadReportText();
  // The last write whose verify found no difference: what was written, when, to which
  // firmware.
  struct VerifiedWrite {
    ConfigurationRecord record;
    QDateTime when;
    QString firmware;
  };
  std::optional<VerifiedWrite> verified_;
  QAction* print_ = nullptr;
  QAction* exportPdf_ = nullptr;
};

}  // namespace zdl::ui
