#include "ui/app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QCloseEvent>
#include <QFileDialog>
#include <QShortcut>
#include <QFileInfo>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QDir>
#include <QScrollArea>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <utility>

#include "ui/app/compare_window.h"
#include "ui/app/connection_panel.h"
#include "ui/app/edit_menu.h"
#include "ui/app/editor_window.h"
#include "ui/app/editors.h"
#include "ui/app/firmware_form.h"
#include "ui/app/general_editor.h"
#include "ui/app/icons.h"
#include "ui/app/language.h"
#include "ui/app/language_form.h"
#include "ui/app/password_form.h"
#include "ui/app/trace_dock.h"
#include "ui/app/unit_link.h"
#include "text/extra_texts.h"

namespace zdl::ui {

namespace {

// The toolbar: key, caption, shortcut and command. An empty key is a separator.
struct Button {
  const char* key;
  TextId caption;
  const char* shortcut;
  void (*run)(MainWindow& window);
};
constexpr Button kButtons[] = {
    {"Abrir", TextId::Open, "Ctrl+O", [](MainWindow& w) { w.Open(); }},
    {"Guardar", TextId::Save, "Ctrl+S", [](MainWindow& w) { w.Save(); }},
    {"", {}, "", nullptr},
    {"General", TextId::GeneralTab, "Ctrl+1", [](MainWindow& w) { w.BringToFront(EditorId::General); }},
    {"Alarmas1", TextId::Alarms1Tab, "Ctrl+2", [](MainWindow& w) { w.BringToFront(EditorId::Alarmas); }},
    {"Alarmas2", TextId::Alarms2Tab, "Ctrl+3", [](MainWindow& w) { w.BringToFront(EditorId::Alarmas2); }},
    {"Macros", TextId::MacrosTab, "Ctrl+4", [](MainWindow& w) { w.BringToFront(EditorId::Macros); }},
    {"Datalogger", TextId::DataloggerTab, "Ctrl+5", [](MainWindow& w) { w.BringToFront(EditorId::Datalogger); }},
    {"Timer", TextId::TimersTab, "Ctrl+6", [](MainWindow& w) { w.BringToFront(EditorId::Temporizadores); }},
    {"", {}, "", nullptr},
    {"Firmware", TextId::FirmwareTab, "Ctrl+F", [](MainWindow& w) { OpenFirmwareForm(w); }},
    {"", {}, "", nullptr},
    {"Idioma", TextId::Language, "Ctrl+L", [](MainWindow& w) { w.ChooseLanguage(); }},
};

const char kFilter[] = "Norvik configuration file (*.ncf);;Todos los ficheros (*.*)";

std::size_t Slot(EditorId id) { return static_cast<std::size_t>(id); }

// While an exchange with the unit runs only Cancel acts: a file dragged or dropped on the
// window is refused, with a note saying why.
bool RefusedDuringExchange(MainWindow& window) {
  if (!window.General()->Connection().ExchangeRunning()) return false;
  window.statusBar()->showMessage(T(ExtraText::NoOpenDuringExchange),
                                  6000);
  return true;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : MainWindow(UnitLinkOptions{}, parent) {}

MainWindow::MainWindow(const UnitLinkOptions& link, QWidget* parent)
    : QMainWindow(parent), link_(std::make_unique<UnitLink>(link)), area_(new QMdiArea(this)) {
  Build();
}

void MainWindow::Build() {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QString::fromLatin1(kTitle));
  setWindowIcon(AppIcon());
  setAcceptDrops(true);
  area_->setObjectName(QStringLiteral("MDIArea"));
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(area_);
  statusBar()->setObjectName(QStringLiteral("StatusBar"));
  connect(statusBar(), &QStatusBar::messageChanged, this, &MainWindow::SpeakStatusNote);
  chooseFile = [this](bool save, bool* firstFilter) { return AskFile(save, firstFilter); };
  // What the link asks and tells while its worker waits.
  link_->askPassword = [this]() -> std::optional<std::string> {
    PasswordForm form(this);
    form.exec();
    return form.Password();
  };
  link_->message = [this](TextId text) { QMessageBox::warning(this, QString::fromLatin1(kTitle), T(text)); };
  link_->errorMessage = [this](const QString& description) {
    QMessageBox::warning(this, QString::fromLatin1(kTitle), description);
  };
  trace_ = new TraceDock(this);
  addDockWidget(Qt::BottomDockWidgetArea, trace_);
  trace_->hide();
  connect(trace_, &TraceDock::Wanted, link_.get(), &UnitLink::SetTraceEnabled);
  connect(link_.get(), &UnitLink::TraceLine, trace_, &TraceDock::AppendLine);
  BuildToolbar();
  // Compare: in the File menu, not on the toolbar.
  auto* compare = new QAction(this);
  compare->setObjectName(QStringLiteral("Action_Compare"));
  compare->setShortcut(QKeySequence(QStringLiteral("Ctrl+D")));
  compare->setShortcutContext(Qt::ApplicationShortcut);
  addAction(compare);
  connect(compare, &QAction::triggered, this, &MainWindow::Compare);
  BuildMenus();
  LoadText();

  // The editors, in their opening order; General ends in front with the focus.
  for (EditorId id : {EditorId::Macros, EditorId::Alarmas, EditorId::Alarmas2, EditorId::Datalogger,
                      EditorId::Temporizadores, EditorId::General}) {
    EditorWindow* editor = nullptr;
    switch (id) {
      case EditorId::Macros: editor = NewMacrosEditor(record_, nullptr); break;
      case EditorId::Alarmas:
      case EditorId::Alarmas2: editor = NewAlarmEditor(id, record_, nullptr); break;
      case EditorId::Datalogger: editor = NewDataloggerEditor(record_, nullptr); break;
      case EditorId::Temporizadores: editor = NewTimersEditor(record_, nullptr); break;
      case EditorId::General: editor = new GeneralEditor(record_, *link_, nullptr); break;
    }
    editor->ApplyTexts();
    editor->Refresh();
    auto* scroll = new QScrollArea;
    scroll->setWidget(editor);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setObjectName(QStringLiteral("Scroll_") + editor->objectName());
    QMdiSubWindow* sub = area_->addSubWindow(scroll);
    sub->setObjectName(QStringLiteral("Window_") + editor->objectName());
    sub->setWindowTitle(editor->windowTitle());
    sub->setWindowIcon(windowIcon());
    // An editor lives as long as the program: closing its child window (its close box,
    // Ctrl+F4, its system menu) only hides it, and the toolbar, Ctrl+1 to Ctrl+6 and the
    // Windows menu bring it back.
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->installEventFilter(this);
    editors_[Slot(id)] = editor;
    subWindows_[Slot(id)] = sub;
    connect(editor, &EditorWindow::Note, this, [this](const QString& note) {
      statusBar()->showMessage(note, 6000);
    });
    sub->show();
  }
  ConnectConnection();
  // Edit, between File and Windows: undo and redo of every change of the record.
  edits_ = new EditMenu(*this);
  menuBar()->insertMenu(windowsMenu_->menuAction(), edits_->Menu());
  // Esc ends a running start, read or write.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::ApplicationShortcut);
  connect(escape, &QShortcut::activated, this, [this] { General()->Connection().CancelExchange(); });
  resize(1280, 720);
}

void MainWindow::SetExchangeRunning(bool running) {
  toolbar_->setEnabled(!running);
  menuBar()->setEnabled(!running);
  // The General editor keeps its Cancel button: it locks its own frames.
  for (EditorWindow* editor : editors_) {
    if (editor != General()) editor->setEnabled(!running);
  }
}

void MainWindow::ConnectConnection() {
  ConnectionPanel* connection = &General()->Connection();
  connect(connection, &ConnectionPanel::ExchangeStarted, this, &MainWindow::SetExchangeRunning);
  connect(connection, &ConnectionPanel::ExchangeEnded, this, [this] { SetExchangeRunning(false); });
  connect(connection, &ConnectionPanel::RecordRead, this, [this](const ConfigurationRecord& record) {
    record_ = record;
    RefreshEditors();
    if (edits_) edits_->Record({StepKind::Read, EditorId::General, {}, {}});
  });
  connect(connection, &ConnectionPanel::FieldToMend, this, [this](EditorId id, const QString& objectName) {
    BringToFront(id);
    Editor(id)->FocusControl(objectName);
  });
  connect(connection, &ConnectionPanel::ComparisonReady, this,
          [this](const ConfigurationRecord& other, CompareSide side, bool hasDatalogger) {
            Comparison()->Show(other, side, {}, hasDatalogger);
          });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close) {
    for (QMdiSubWindow* sub : subWindows_) {
      if (watched != sub) continue;
      // Not the child window's own close, which would close the editor's scroll area.
      event->ignore();
      sub->hide();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A write the unit has partly taken is stopped only on the user's word; No keeps the
  // window open and the write going.
  if (!General()->Connection().CancelExchange()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

QSize MainWindow::WantedSize(std::size_t slot) const {
  // As large as the editor wants, within the area.
  QMdiSubWindow* sub = subWindows_[slot];
  const QSize frame = sub->size() - sub->widget()->size();
  // Room for a scroll bar, in case the editor is larger than the area.
  const int bar = sub->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
  const QSize wanted = editors_[slot]->sizeHint() + frame + QSize(bar, bar);
  return wanted.boundedTo(area_->viewport()->size());
}

void MainWindow::LayOutWindows() {
  // Each child window as large as its editor wants, within the area; the toolbar, the
  // Windows menu and Ctrl+1 to Ctrl+6 bring any of them to the front.
  for (std::size_t i = 0; i < subWindows_.size(); ++i) {
    subWindows_[i]->setGeometry(QRect(QPoint(0, 0), WantedSize(i)));
  }
}

void MainWindow::FitWindowsToTexts() {
  // The other language's texts may be longer: a child window grows where it stays, so its
  // editor needs no scroll bar the area could spare; it never shrinks (the user may have
  // made it larger).
  if (!laidOut_) return;
  for (std::size_t i = 0; i < subWindows_.size(); ++i) {
    subWindows_[i]->resize(subWindows_[i]->size().expandedTo(WantedSize(i)));
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (laidOut_) return;
  laidOut_ = true;
  QTimer::singleShot(0, this, [this] {
    LayOutWindows();
    BringToFront(EditorId::General);
  });
}

MainWindow::~MainWindow() {
  // Before the windows it watches go: their last signals find no menu.
  delete std::exchange(edits_, nullptr);
}

EditorWindow* MainWindow::Editor(EditorId id) const { return editors_[Slot(id)]; }
GeneralEditor* MainWindow::General() const {
  return static_cast<GeneralEditor*>(editors_[Slot(EditorId::General)]);
}
QMdiSubWindow* MainWindow::SubWindow(EditorId id) const { return subWindows_[Slot(id)]; }

QAction* MainWindow::Action(const QString& key) const {
  return findChild<QAction*>(QStringLiteral("Action_") + key);
}

void MainWindow::BuildToolbar() {
  toolbar_ = addToolBar(QString());
  toolbar_->setObjectName(QStringLiteral("Toolbar1"));
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setMovable(false);
  toolbar_->setIconSize(QSize(32, 32));
  for (const Button& b : kButtons) {
    if (!*b.key) {
      toolbar_->addSeparator();
      continue;
    }
    const QString key = QString::fromLatin1(b.key);
    auto* action = new QAction(ToolbarIcon(key), QString(), this);
    action->setObjectName(QStringLiteral("Action_") + key);
    action->setData(key);
    action->setShortcut(QKeySequence(QString::fromLatin1(b.shortcut)));
    action->setShortcutContext(Qt::ApplicationShortcut);
    toolbar_->addAction(action);
    if (QWidget* button = toolbar_->widgetForAction(action)) button->setObjectName(key);
    connect(action, &QAction::triggered, this, [this, run = b.run] { run(*this); });
  }
}

void MainWindow::BuildMenus() {
  // The menu bar repeats the toolbar so every command has a keyboard path (Alt). Built
  // once; a language switch renames the menus in place.
  menuBar()->setObjectName(QStringLiteral("MenuBar"));
  fileMenu_ = menuBar()->addMenu(QString());
  fileMenu_->addAction(Action(QStringLiteral("Abrir")));
  fileMenu_->addAction(Action(QStringLiteral("Guardar")));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action(QStringLiteral("Compare")));
  fileMenu_->addSeparator();
  // Print..., Export as PDF... (report_commands.cpp)
  BuildReportActions();
  fileMenu_->addSeparator();
  quit_ = fileMenu_->addAction(QString(), this, &QWidget::close);
  quit_->setShortcut(QKeySequence::Quit);
  windowsMenu_ = menuBar()->addMenu(QString());
  for (const char* key : {"General", "Alarmas1", "Alarmas2", "Macros", "Datalogger", "Timer"}) {
    windowsMenu_->addAction(Action(QString::fromLatin1(key)));
  }
  viewMenu_ = menuBar()->addMenu(QString());
  QAction* traceAction = trace_->toggleViewAction();
  traceAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
  viewMenu_->addAction(traceAction);
  toolsMenu_ = menuBar()->addMenu(QString());
  toolsMenu_->addAction(Action(QStringLiteral("Firmware")));
  toolsMenu_->addAction(Action(QStringLiteral("Idioma")));
  helpMenu_ = menuBar()->addMenu(QString());
  about_ = helpMenu_->addAction(QString(), this, [this] {
    QMessageBox::about(this, T(ExtraText::AboutTitle),
                       AboutText());
  });
}

QString AboutText() {
  const QString program = T(ExtraText::ProgramName);
  return QStringLiteral("<h3>%1</h3><p>zdl410-config %2</p><p>%3</p><p>%4</p><p>%5</p>")
      .arg(program.toHtmlEscaped(), QStringLiteral(ZDL_VERSION),
           T(ExtraText::AboutPurpose),
           T(ExtraText::AboutLicence),
           T(ExtraText::AboutQtLicence)
               .arg(QString::fromLatin1(qVersion())));
}

void MainWindow::LoadText() {
  for (const Button& b : kButtons) {
    if (!*b.key) continue;
    QAction* action = Action(QString::fromLatin1(b.key));
    action->setText(T(b.caption));
    action->setToolTip(T(b.caption) + QStringLiteral(" (") +
                       action->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
    if (QWidget* button = toolbar_->widgetForAction(action)) button->setAccessibleName(T(b.caption));
  }
  toolbar_->setWindowTitle(T(ExtraText::ToolbarTitle));
  // The button Qt shows when the toolbar does not fit the window.
  if (auto* more = toolbar_->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
    more->setAccessibleName(T(ExtraText::MoreButtonsName));
  }
  fileMenu_->setTitle(T(ExtraText::FileMenu));
  QAction* compare = Action(QStringLiteral("Compare"));
  compare->setText(T(ExtraText::CompareCommand));
  quit_->setText(T(ExtraText::QuitAction));
  windowsMenu_->setTitle(T(ExtraText::WindowsMenu));
  viewMenu_->setTitle(T(ExtraText::ViewMenu));
  toolsMenu_->setTitle(T(ExtraText::ToolsMenu));
  helpMenu_->setTitle(T(ExtraText::HelpMenu));
  about_->setText(T(ExtraText::AboutAction));
  LoadReportText();
  SpeakStatusNote(statusBar()->currentMessage());
}

void MainWindow::SpeakStatusNote(const QString& note) {
  // The status bar draws its note itself: a screen reader hears it as the bar's name,
  // and the change of name is announced.
  statusBar()->setAccessibleName(note.isEmpty() ? T(ExtraText::StatusBarName) : note);
}

void MainWindow::LoadAllTexts() {
  trace_->LoadText();
  LoadText();
  for (EditorId id : {EditorId::Alarmas, EditorId::Alarmas2, EditorId::Datalogger, EditorId::General,
                      EditorId::Macros, EditorId::Temporizadores}) {
    Editor(id)->ApplyTexts();
    SubWindow(id)->setWindowTitle(Editor(id)->windowTitle());
  }
  // Once the editors have laid their new texts out (their layout requests come first).
  QTimer::singleShot(0, this, &MainWindow::FitWindowsToTexts);
  // After the editors: the table and the Edit menu's steps name them and their controls.
  if (comparison_) comparison_->LoadText();
  edits_->LoadText();
}

void MainWindow::RefreshEditors() {
  // A configuration was set (loaded, read, taken over): its SMS-centre option shows.
  General()->ShowSmsCentreChoice();
  for (EditorWindow* editor : editors_) editor->Refresh();
}

void MainWindow::BringToFront(EditorId id) {
  QMdiSubWindow* sub = SubWindow(id);
  sub->show();
  sub->widget()->show();
  if (sub->isMinimized()) sub->showNormal();
  area_->setActiveSubWindow(sub);
  sub->raise();
  Editor(id)->setFocus(Qt::OtherFocusReason);
  if (QWidget* first = Editor(id)->nextInFocusChain(); first && Editor(id)->isAncestorOf(first)) {
    first->setFocus(Qt::OtherFocusReason);
  }
}

void MainWindow::ChooseLanguage() {
  if (ChangeLanguage(this)) LoadAllTexts();
}

QString MainWindow::AskFile(bool save, bool* firstFilter) {
  const QString filter = QString::fromLatin1(kFilter);
  const QStringList filters = filter.split(QStringLiteral(";;"));
  // Qt's own dialog everywhere, so it behaves the same on every desktop: it adds ".ncf"
  // to a name typed without an extension (under the first filter) before it asks whether
  // to replace an existing file, so its question names the file that will be written.
  QFileDialog dialog(this, T(save ? TextId::Save : TextId::Open));
  dialog.setObjectName(QStringLiteral("FileDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.front());
  if (!currentFile_.isEmpty()) dialog.setDirectory(QFileInfo(currentFile_).absolutePath());
  if (save) {
    dialog.setDefaultSuffix(QStringLiteral("ncf"));
    // Under "all files" the name is taken as typed.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, first = filters.front()](const QString& chosen) {
      dialog.setDefaultSuffix(chosen == first ? QStringLiteral("ncf") : QString());
    });
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  if (firstFilter) *firstFilter = dialog.selectedNameFilter() == filters.front();
  return dialog.selectedFiles().front();
}

void MainWindow::Open() {
  const QString path = chooseFile(false, nullptr);
  if (path.isEmpty()) return;
  OpenFile(path);
}

void MainWindow::ShowLoadOutcome(const LoadOutcome& outcome) {
  const std::string text = LoadMessage(outcome, CurrentLang());
  if (text.empty()) return;
  const std::string title = LoadMessageTitle(outcome, CurrentLang());
  QMessageBox::warning(this, title.empty() ? QString::fromLatin1(kTitle) : QString::fromStdString(title),
                       QString::fromStdString(text));
}

void MainWindow::OpenFile(const QString& path) {
  currentFile_ = path;
  // The caption names the file before it is read, and keeps it if the load fails.
  setWindowTitle(QString::fromLatin1(kTitle) + QStringLiteral(" - [") + path + QLatin1Char(']'));
  // All or nothing: a failed load leaves the record, and so the editors, as they were.
  const LoadOutcome outcome = LoadConfigFile(std::filesystem::path(path.toStdString()), record_);
  ShowLoadOutcome(outcome);
  record_.CSMCheck();
  RefreshEditors();
  // A step when the file changed anything; an undo keeps the caption and the current file.
  edits_->Record({StepKind::Open, EditorId::General, {}, QFileInfo(path).fileName().toStdString()});
  if (!General()->SelectFirstPhoneEntry()) return;
  BringToFront(EditorId::General);
}

void MainWindow::Save() {
  bool firstFilter = true;
  // The dialog adds the extension itself, before its overwrite question.
  const QString path = chooseFile(true, &firstFilter);
  if (path.isEmpty()) return;
  currentFile_ = path;
  const SaveOutcome outcome = SaveConfigFile(std::filesystem::path(path.toStdString()), record_);
  if (!outcome.ok) {
    QMessageBox::warning(this, T(TextId::ErrorTitle), QString::fromStdString(outcome.description.In(CurrentLang())));
    return;
  }
  statusBar()->showMessage(T(ExtraText::SavedPrefix) + path, 6000);
}

CompareWindow* MainWindow::Comparison() {
  if (!comparison_) comparison_ = new CompareWindow(*this, this);
  return comparison_;
}

void MainWindow::Compare() {
  if (General()->Connection().ExchangeRunning()) return;
  if (link_->Connected()) {
    QMessageBox ask(QMessageBox::Question, QString::fromLatin1(kTitle), T(ExtraText::CompareQuestion),
                    QMessageBox::Cancel, this);
    QPushButton* withFile = ask.addButton(T(ExtraText::CompareWithFile), QMessageBox::AcceptRole);
    QPushButton* withUnit = ask.addButton(T(ExtraText::CompareWithUnit), QMessageBox::AcceptRole);
    withFile->setObjectName(QStringLiteral("CompareWithFile"));
    withUnit->setObjectName(QStringLiteral("CompareWithUnit"));
    ask.setDefaultButton(withUnit);
    ask.exec();
    if (ask.clickedButton() == withUnit) {
      CompareWithUnit();
      return;
    }
    if (ask.clickedButton() != withFile) return;
  }
  const QString path = chooseFile(false, nullptr);
  if (!path.isEmpty()) CompareWithFile(path);
}

void MainWindow::CompareWithFile(const QString& path) {
  ConfigurationRecord other;
  const LoadOutcome outcome = LoadConfigFile(std::filesystem::path(path.toStdString()), other);
  ShowLoadOutcome(outcome);
  if (!outcome.loaded()) return;
  other.CSMCheck();
  Comparison()->Show(other, CompareSide::File, QDir::toNativeSeparators(path));
}

void MainWindow::CompareWithUnit() { General()->Connection().CompareWithUnit(); }

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile() || RefusedDuringExchange(*this)) return;
  event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return;
  if (RefusedDuringExchange(*this)) {  // a drag that began before the exchange
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  OpenFile(QDir::toNativeSeparators(urls.front().toLocalFile()));
}

}  // namespace zdl::ui
