#include "ui/app/password_form.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/validators.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"

namespace zdl::ui {

namespace {
}

PasswordForm::PasswordForm(QWidget* parent) : QDialog(parent), text_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("PWForm"));
  setWindowTitle(T(TextId::PasswordTitle));
  auto* label = new QLabel(T(TextId::EnterPassword), this);
  label->setObjectName(QStringLiteral("Label1"));
  label->setBuddy(text_);
  text_->setObjectName(QStringLiteral("PWText"));
  text_->setEchoMode(QLineEdit::Password);
  text_->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
  text_->setAccessibleName(T(TextId::EnterPassword));
  auto* ok = new QPushButton(T(TextId::Ok), this);
  ok->setObjectName(QStringLiteral("Aceptar"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(T(TextId::Cancel), this);
  cancel->setObjectName(QStringLiteral("Cancelar"));
  connect(ok, &QPushButton::clicked, this, &PasswordForm::Accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  setModal(true);
  QApplication::beep();
}

void PasswordForm::Accept() {
  const std::string typed = text_->text().toStdString();
  // A number (an empty text is none); the digits go to the unit as typed.
  if (!IsNumberText(typed)) {
    QMessageBox::warning(this, QString::fromLatin1(kTitle), T(TextId::NotValidPassword));
    text_->setFocus();
    text_->selectAll();
    return;
  }
  password_ = typed;
  accept();
}

}  // namespace zdl::ui
