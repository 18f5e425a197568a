#include "tests/gui/gui_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QGroupBox>
#include <QMdiArea>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "configfile/config_file.h"
#include "ui/app/password_form.h"

namespace zdl::ui::testing {

void WhenReady(std::function<bool()> step) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, step = std::move(step)] {
    if (!step()) return;
    timer->stop();
    timer->deleteLater();
  });
  timer->start();
}

void Press(QWidget* target, Qt::KeyboardModifiers modifiers, int key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &press);
}

void Type(QWidget* target, const QString& text) {
  target->setFocus();
  for (const QChar c : text) Press(target, Qt::NoModifier, Qt::Key_unknown, QString(c));
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  if (done()) return true;
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(5);
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

Answerer::Answerer(QMessageBox::StandardButton answer) : answer_(answer) {
  timer_.setInterval(2);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start();
}

void Answerer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    if (!leaveOpen.isEmpty() && box->objectName() == leaveOpen) return;
    (box->button(QMessageBox::Yes) ? questions : texts) << box->text();
    icons.push_back(box->icon());
    if (answer_ == QMessageBox::NoButton && box->defaultButton()) {
      box->defaultButton()->click();  // Enter
      return;
    }
    for (QMessageBox::StandardButton b : {answer_, QMessageBox::Ok, QMessageBox::No}) {
      if (QAbstractButton* button = box->button(b)) {
        button->click();
        return;
      }
    }
  } else if (auto* form = qobject_cast<PasswordForm*>(modal)) {
    if (passwords.empty()) {
      form->reject();
      return;
    }
    if (form->property("answered").toString() == passwords.front()) return;  // click pending
    form->findChild<QLineEdit*>(QStringLiteral("PWText"))->setText(passwords.front());
    form->setProperty("answered", passwords.front());
    passwords.pop_front();
    // Clicked once this poll has returned: the click may open a box of its own, and a
    // timer's slot is not run again while it is still running.
    QMetaObject::invokeMethod(form->findChild<QPushButton*>(QStringLiteral("Aceptar")), "click",
                              Qt::QueuedConnection);
  }
}

UnitLinkOptions VirtualUnit(bool paced) {
  UnitLinkOptions options;
  options.pacedVirtualUnit = paced;
  options.virtualSaveTime = Millis{0};
  options.virtualConfiguration = FullRecord();
  return options;
}

void MakeWritable(ConfigurationRecord& r) {
  r.General.SMSC = "+34609090909";
  r.General.PTLF = "600111222";
  r.CSMCheck();
  r.ListaTlf = {"600111222,Prio=1"};
}

std::string HexImage(int records) {
  std::string image;
  for (int r = 0; r < records; ++r) {
    char line[48];  // no checksum: the boot loader takes the lines as they come
    std::snprintf(line, sizeof line, ":10%04X00%016llX%016llX\r\n", r * 16 & 0xFFFF,
                  r * 0x9E3779B97F4A7C15ULL, ~(r * 7ULL));
    image += line;
  }
  return image + ":00000001FF\r\n";
}

bool DragAndDrop(QWidget& target, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &drop);
  return enter.isAccepted();
}

namespace {

// Every text an object shows: a widget's title, spoken name, tool tip, caption and list
// items; an action's text. None once the object is gone.
QStringList TextsOf(QObject* object) {
  if (auto* action = qobject_cast<QAction*>(object)) return {action->text()};
  auto* w = qobject_cast<QWidget*>(object);
  if (!w) return {};
  QStringList texts{w->windowTitle(), w->accessibleName(), w->toolTip()};
  if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
  if (auto* frame = qobject_cast<QGroupBox*>(w)) texts << frame->title();
  if (auto* list = qobject_cast<QComboBox*>(w)) {
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
  }
  return texts;
}

}  // namespace

int ExpectTextsFollowLanguage(QWidget* root, Lang lang, const std::function<void()>& apply) {
  const Lang from = CurrentLang();
  // The table's texts that tell the two languages apart and name one entry alone.
  std::map<std::string_view, int> offsets, uses;
  for (int k = 0; k < kStringTableTexts; ++k) {
    ++uses[LangText(from, static_cast<TextId>(k))];
    if (!QString::fromUtf8(LangText(from, static_cast<TextId>(k))).trimmed().isEmpty() &&
        LangText(from, static_cast<TextId>(k)) != LangText(lang, static_cast<TextId>(k))) {
      offsets[LangText(from, static_cast<TextId>(k))] = k;
    }
  }
  QList<QObject*> objects{root};
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->objectName().startsWith(QLatin1String("qt_"))) objects << w;  // Qt's own, in Qt's words
  }
  for (QAction* action : root->findChildren<QAction*>()) objects << action;
  struct Followed {
    QPointer<QObject> object;
    QString name;
    qsizetype place;
    int k;
  };
  std::vector<Followed> followed;
  for (QObject* object : objects) {
    const QStringList texts = TextsOf(object);
    for (qsizetype place = 0; place < texts.size(); ++place) {
      const auto found = offsets.find(texts[place].toStdString());
      if (found != offsets.end() && uses[found->first] == 1)
        followed.push_back({object, object->objectName(), place, found->second});
    }
  }
  apply();
  for (const Followed& f : followed) {
    EXPECT_EQ(TextsOf(f.object).value(f.place).toStdString(), LangText(lang, static_cast<TextId>(f.k)))
        << f.name.toStdString() << ", offset " << f.k;
  }
  return static_cast<int>(followed.size());
}

void WindowTest::SetUp() {
  SetCurrentLang(Lang::English);
  ASSERT_TRUE(temp.isValid());
  qputenv("XDG_DATA_HOME", temp.path().toLocal8Bit());  // backups land in the temporary folder
}

void WindowTest::TearDown() {
  window.reset();
  SetCurrentLang(Lang::English);
}

void WindowTest::Open(const UnitLinkOptions& options) {
  window.reset();
  window = std::make_unique<MainWindow>(options);
  general = window->General();
  window->show();
  QApplication::setActiveWindow(window.get());
}

void WindowTest::ChoosePort(const QString& name) {
  QComboBox* port = Panel().Puerto();
  const int item = port->findText(name);
  if (item >= 0) {
    port->setCurrentIndex(item);
  } else {
    port->setEditText(name);
  }
}

void WindowTest::BeginOn(const QString& port, bool modem, const QString& number) {
  ChoosePort(port);
  Get<QCheckBox>("ModemCheck")->setChecked(modem);
  Get<QLineEdit>("CallNum")->setText(number);
  Panel().IniComClick();
}

bool WindowTest::Received(const std::string& line) {
  const std::vector<std::string>& lines = window->Link().VirtualUnitLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

QMdiSubWindow* WindowTest::Front() { return window->findChild<QMdiArea*>()->activeSubWindow(); }

QString WindowTest::SaveFile(const ConfigurationRecord& r, const char* name) {
  const QString path = temp.filePath(QString::fromLatin1(name));
  EXPECT_TRUE(SaveConfigFile(std::filesystem::path(path.toStdString()), r).ok);
  return path;
}

FirmwareForm* WindowTest::OpenFirmwareForm() {
  window->Action(QStringLiteral("Firmware"))->trigger();
  FirmwareForm* form = nullptr;
  for (FirmwareForm* f : window->findChildren<FirmwareForm*>()) {
    if (f->isVisible()) form = f;
  }
  EXPECT_NE(form, nullptr);
  if (form) {
    auto* search = form->findChild<QPushButton*>(QStringLiteral("SearchButt"));
    EXPECT_TRUE(WaitFor([search] { return search->isEnabled(); }));
  }
  return form;
}

QString WindowTest::WriteFile(const char* name, const std::string& bytes) {
  const QString path = temp.filePath(QString::fromLatin1(name));
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  return path;
}

}  // namespace zdl::ui::testing
