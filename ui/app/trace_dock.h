// The line trace: every byte exchanged with the unit, time-stamped, control characters
// made visible and directions told apart, as the command line's --trace writes it. It
// can be cleared and saved for support. Hidden, it asks for nothing to be traced.
#pragma once

#include <QDockWidget>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace zdl::ui {

class TraceDock final : public QDockWidget {
  Q_OBJECT
 public:
  explicit TraceDock(QWidget* parent = nullptr);

  void LoadText();
  // One line of the trace, as the link formats it.
  void AppendLine(const QString& line);
  QString Text() const;
  void Clear();
  // Writes the trace to a file; false (and a message shown) when it cannot.
  bool SaveTo(const QString& path);

  // The save dialog (replaced by tests): the chosen path, or empty when cancelled.
  std::function<QString()> chooseFile;

 signals:
  // The trace is wanted (the dock is shown) or not.
  void Wanted(bool on);

 private:
  QPlainTextEdit* text_;
  QPushButton* clear_;
  QPushButton* save_;
};

}  // namespace zdl::ui
