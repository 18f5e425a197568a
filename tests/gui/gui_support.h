// Helpers of the windows' tests: answering modal boxes, finding controls.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace zdl::ui::testing {

// The text, title and icon of a message box the code under test showed.
struct SeenBox {
  QString text;
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool seen = false;
};

// Runs `step` on the interface thread as soon as the event loop is free, again and again
// until it returns true (a modal box the code under test shows keeps the loop running).
inline void WhenReady(std::function<bool()> step) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, step = std::move(step)] {
    if (!step()) return;
    timer->stop();
    timer->deleteLater();
  });
  timer->start();
}

// Answers the next modal box (with `button`, or its default) as soon as it shows, and
// records what it said.
inline void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton button = QMessageBox::NoButton) {
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

template <class W>
W* Find(QWidget* root, const QString& name) {
  return root->findChild<W*>(name);
}

}  // namespace zdl::ui::testing
