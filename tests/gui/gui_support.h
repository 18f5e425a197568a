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

// Answers the next modal box (with `button`, or its default) as soon as it shows, and
// records what it said.
inline void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton button = QMessageBox::NoButton) {
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [&seen, button, poll] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
      QTimer::singleShot(0, *poll);
      return;
    }
    seen = {box->text(), box->windowTitle(), box->icon(), true};
    if (button != QMessageBox::NoButton && box->button(button)) {
      box->button(button)->click();
    } else {
      box->done(box->defaultButton() ? box->standardButton(box->defaultButton()) : 0);
    }
  };
  QTimer::singleShot(0, *poll);
}

template <class W>
W* Find(QWidget* root, const QString& name) {
  return root->findChild<W*>(name);
}

}  // namespace zdl::ui::testing
