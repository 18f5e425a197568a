#include "tests/gui/gui_support.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
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

void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton button) {
  WhenReady([&seen, button] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return false;
    seen = {box->text(), box->windowTitle(), box->icon(), true};
    if (button != QMessageBox::NoButton && box->button(button)) {
      box->button(button)->click();
    } else {
      box->done(box->defaultButton() ? box->standardButton(box->defaultButton()) : 0);
    }
    return true;
  });
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
    boxes.push_back({box->text(), box->windowTitle(), box->icon(), true});
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
    QByteArray line = QByteArray::fromHex("10") + char((r * 16) >> 8 & 0xFF) + char(r * 16 & 0xFF) + '\0';
    for (int i = 0; i < 16; ++i) line += char((r * 7 + i * 13) & 0xFF);
    int sum = 0;
    for (const char byte : line) sum += static_cast<unsigned char>(byte);
    line += char(-sum & 0xFF);
    image += ":" + line.toHex().toUpper().toStdString() + "\r\n";
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

QString Spoken(QWidget* w) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
  return face ? face->text(QAccessible::Name) : QString();
}

namespace {

// Every text a tree of widgets shows (titles, captions, list items, spoken names, tool
// tips, actions), each with its object's name and read again on demand.
std::vector<std::pair<QString, std::function<QString()>>> TextsOf(QWidget* root) {
  std::vector<std::pair<QString, std::function<QString()>>> all;
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* widget : widgets) {
    if (widget->objectName().startsWith(QLatin1String("qt_"))) continue;  // Qt's own, in Qt's words
    const QPointer<QWidget> w(widget);
    const auto add = [&all, w](std::function<QString(QWidget*)> read) {
      all.emplace_back(w->objectName(), [w, read] { return w ? read(w) : QString(); });
    };
    add([](QWidget* x) { return x->windowTitle(); });
    add([](QWidget* x) { return x->accessibleName(); });
    add([](QWidget* x) { return x->toolTip(); });
    if (qobject_cast<QLabel*>(widget)) add([](QWidget* x) { return static_cast<QLabel*>(x)->text(); });
    if (qobject_cast<QAbstractButton*>(widget)) add([](QWidget* x) { return static_cast<QAbstractButton*>(x)->text(); });
    if (qobject_cast<QGroupBox*>(widget)) add([](QWidget* x) { return static_cast<QGroupBox*>(x)->title(); });
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
      for (int i = 0; i < list->count(); ++i) add([i](QWidget* x) { return static_cast<QComboBox*>(x)->itemText(i); });
    }
  }
  for (QAction* action : root->findChildren<QAction*>()) {
    const QPointer<QAction> a(action);
    all.emplace_back(a->objectName(), [a] { return a ? a->text() : QString(); });
  }
  return all;
}

}  // namespace

int ExpectTextsFollowLanguage(QWidget* root, Lang lang, const std::function<void()>& apply) {
  const Lang from = CurrentLang();
  // The table's texts that tell the two languages apart and name one entry alone.
  std::map<std::string_view, int> offsets, uses;
  for (int k = 0; k < kStringTableTexts; ++k) {
    ++uses[LangText(from, k)];
    if (!QString::fromUtf8(LangText(from, k)).trimmed().isEmpty() && LangText(from, k) != LangText(lang, k)) {
      offsets[LangText(from, k)] = k;
    }
  }
  std::vector<std::pair<std::pair<QString, std::function<QString()>>, int>> followed;
  for (auto& text : TextsOf(root)) {
    const std::string shown = text.second().toStdString();
    const auto found = offsets.find(shown);
    if (found != offsets.end() && uses[found->first] == 1) followed.emplace_back(std::move(text), found->second);
  }
  apply();
  for (const auto& [text, k] : followed) {
    EXPECT_EQ(text.second().toStdString(), LangText(lang, k)) << text.first.toStdString() << ", offset " << k;
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

bool WindowTest::StartOn(const QString& port, bool modem, const QString& number) {
  ChoosePort(port);
  Get<QCheckBox>("ModemCheck")->setChecked(modem);
  Get<QLineEdit>("CallNum")->setText(number);
  Panel().IniComClick();
  return Idle();
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
