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

#include "ui/app/compare_window.h"
#include "ui/app/connection_panel.h"
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
#include "ui/strings/compare_texts.h"

namespace zdl::ui {

namespace {

constexpr int kOpenCaption = 0, kSaveCaption = 1, kErrorTitle = 185;

// The toolbar: key, caption offset, shortcut and command. An empty key is a separator.
struct Button {
  const char* key;
  int caption;
  const char* shortcut;
  void (*run)(MainWindow& window);
};
constexpr Button kButtons[] = {
    {"Abrir", kOpenCaption, "Ctrl+O", [](MainWindow& w) { w.Open(); }},
    {"Guardar", kSaveCaption, "Ctrl+S", [](MainWindow& w) { w.Save(); }},
    {"", 0, "", nullptr},
    {"General", 2, "Ctrl+1", [](MainWindow& w) { w.BringToFront(EditorId::General); }},
    {"Alarmas1", 3, "Ctrl+2", [](MainWindow& w) { w.BringToFront(EditorId::Alarmas); }},
    {"Alarmas2", 4, "Ctrl+3", [](MainWindow& w) { w.BringToFront(EditorId::Alarmas2); }},
    {"Macros", 5, "Ctrl+4", [](MainWindow& w) { w.BringToFront(EditorId::Macros); }},
    {"Datalogger", 6, "Ctrl+5", [](MainWindow& w) { w.BringToFront(EditorId::Datalogger); }},
    {"Timer", 215, "Ctrl+6", [](MainWindow& w) { w.BringToFront(EditorId::Temporizadores); }},
    {"", 0, "", nullptr},
    {"Firmware", 7, "Ctrl+F", [](MainWindow& w) { OpenFirmwareForm(w); }},
    {"", 0, "", nullptr},
    {"Idioma", 217, "Ctrl+L", [](MainWindow& w) { w.ChooseLanguage(); }},
};

const char kFilter[] = "Norvik configuration file (*.ncf);;Todos los ficheros (*.*)";

std::size_t Slot(EditorId id) { return static_cast<std::size_t>(id); }

// While an exchange with the unit runs only Cancel acts: a file dragged or dropped on the
// window is refused, with a note saying why.
bool RefusedDuringExchange(MainWindow& window) {
  if (!window.General()->Connection().ExchangeRunning()) return false;
  window.statusBar()->showMessage(T2("A file cannot be opened while an exchange with the unit runs "
                                     "(Cancel or Esc ends it).",
                                     "No se puede abrir un archivo mientras hay un intercambio con el "
                                     "equipo en curso (Cancelar o Esc lo termina)."),
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
  link_->message = [this](int offset) { QMessageBox::warning(this, QString::fromLatin1(kTitle), T(offset)); };
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

void MainWindow::LayOutWindows() {
  // Each child window as large as its editor wants, within the area; the toolbar, the
  // Windows menu and Ctrl+1 to Ctrl+6 bring any of them to the front.
  const QSize room = area_->viewport()->size();
  for (std::size_t i = 0; i < subWindows_.size(); ++i) {
    QMdiSubWindow* sub = subWindows_[i];
    const QSize frame = sub->size() - sub->widget()->size();
    // Room for a scroll bar, in case the editor is larger than the area.
    const int bar = sub->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    const QSize wanted = editors_[i]->sizeHint() + frame + QSize(bar, bar);
    sub->setGeometry(QRect(QPoint(0, 0), wanted.boundedTo(room)));
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

MainWindow::~MainWindow() = default;

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
    QMessageBox::about(this, T2("About ZDL410 configuration", "Acerca de Configuración ZDL410"),
                       AboutText());
  });
}

QString AboutText() {
  const QString program = T2("ZDL410 configuration", "Configuración ZDL410");
  return QStringLiteral("<h3>%1</h3><p>zdl410-config %2</p><p>%3</p><p>%4</p><p>%5</p>")
      .arg(program.toHtmlEscaped(), QStringLiteral(ZDL_VERSION),
           T2("Edits, reads and writes the configuration of a Norvik ZDL410 unit.",
              "Edita, lee y escribe la configuración de un equipo Norvik ZDL410."),
           T2("This program is free software under the GNU General Public License, version 3 or "
              "(at your choice) any later version (GPL-3.0-or-later). It comes with ABSOLUTELY "
              "NO WARRANTY.",
              "Este programa es software libre bajo la Licencia Pública General de GNU, versión 3 "
              "o (a su elección) cualquier versión posterior (GPL-3.0-or-later). Se distribuye SIN "
              "NINGUNA GARANTÍA."),
           T2("It uses Qt %1, under the GNU Lesser General Public License, version 3 (LGPL-3.0).",
              "Usa Qt %1, bajo la Licencia Pública General Reducida de GNU, versión 3 (LGPL-3.0).")
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
  toolbar_->setWindowTitle(T2("Toolbar", "Barra de herramientas"));
  // The button Qt shows when the toolbar does not fit the window.
  if (auto* more = toolbar_->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
    more->setAccessibleName(T2("More buttons", "Más botones"));
  }
  fileMenu_->setTitle(T2("&File", "&Archivo"));
  QAction* compare = Action(QStringLiteral("Compare"));
  compare->setText(QString::fromStdString(std::string(CompareTextIn(CurrentLang(), CompareText::CompareCommand))));
  quit_->setText(T2("&Quit", "&Salir"));
  windowsMenu_->setTitle(T2("&Windows", "&Ventanas"));
  viewMenu_->setTitle(T2("&View", "Ve&r"));
  toolsMenu_->setTitle(T2("&Tools", "&Herramientas"));
  helpMenu_->setTitle(T2("&Help", "A&yuda"));
  about_->setText(T2("&About...", "&Acerca de..."));
  LoadReportText();
  SpeakStatusNote(statusBar()->currentMessage());
}

void MainWindow::SpeakStatusNote(const QString& note) {
  // The status bar draws its note itself: a screen reader hears it as the bar's name,
  // and the change of name is announced.
  statusBar()->setAccessibleName(note.isEmpty() ? T2("Status bar", "Barra de estado") : note);
}

void MainWindow::LoadAllTexts() {
  trace_->LoadText();
  LoadText();
  for (EditorId id : {EditorId::Alarmas, EditorId::Alarmas2, EditorId::Datalogger, EditorId::General,
                      EditorId::Macros, EditorId::Temporizadores}) {
    Editor(id)->ApplyTexts();
    SubWindow(id)->setWindowTitle(Editor(id)->windowTitle());
  }
  // After the editors: the table names them and their controls.
  if (comparison_) comparison_->LoadText();
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
  QFileDialog dialog(this, T(save ? kSaveCaption : kOpenCaption));
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
    QMessageBox::warning(this, T(kErrorTitle), QString::fromStdString(outcome.description.In(CurrentLang())));
    return;
  }
  statusBar()->showMessage(T2("Saved: ", "Guardado: ") + path, 6000);
}

CompareWindow* MainWindow::Comparison() {
  if (!comparison_) comparison_ = new CompareWindow(*this, this);
  return comparison_;
}

void MainWindow::Compare() {
  if (General()->Connection().ExchangeRunning()) return;
  if (link_->Connected()) {
    auto text = [](CompareText t) { return QString::fromStdString(std::string(CompareTextIn(CurrentLang(), t))); };
    QMessageBox ask(QMessageBox::Question, QString::fromLatin1(kTitle), text(CompareText::CompareQuestion),
                    QMessageBox::Cancel, this);
    QPushButton* withFile = ask.addButton(text(CompareText::CompareWithFile), QMessageBox::AcceptRole);
    QPushButton* withUnit = ask.addButton(text(CompareText::CompareWithUnit), QMessageBox::AcceptRole);
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
