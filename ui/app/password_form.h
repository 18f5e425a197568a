// The password prompt of a login through the modem: texts of the current language at each
// opening, a beep, and only a number accepted (the prompt stays open otherwise).
#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QLineEdit;

namespace zdl::ui {

class PasswordForm final : public QDialog {
  Q_OBJECT
 public:
  explicit PasswordForm(QWidget* parent = nullptr);
  // The password as typed (Windows-1252), or empty when cancelled.
  std::optional<std::string> Password() const { return password_; }

 private:
  void Accept();
  QLineEdit* text_;
  std::optional<std::string> password_;
};

}  // namespace zdl::ui
