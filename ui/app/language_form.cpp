#include "ui/app/language_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/qt/language_setting.h"
#include "ui/app/language.h"

namespace zdl::ui {

LanguageForm::LanguageForm(QWidget* parent) : QDialog(parent), combo_(new QComboBox(this)) {
  setObjectName(QStringLiteral("Selec_Idioma"));
  setWindowTitle(QStringLiteral("Idioma / Language"));
  auto* label1 = new QLabel(QStringLiteral("Por favor, seleccione el idioma que desee:"), this);
  label1->setObjectName(QStringLiteral("Label1"));
  auto* label2 = new QLabel(QStringLiteral("Please, select your language:"), this);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->setBuddy(combo_);
  combo_->setObjectName(QStringLiteral("Combo1"));
  combo_->addItem(QStringLiteral("Español"), LangBase(Lang::Spanish));
  combo_->addItem(QStringLiteral("English"), LangBase(Lang::English));
  combo_->setCurrentIndex(0);
  combo_->setAccessibleName(QStringLiteral("Idioma / Language"));
  auto* ok = new QPushButton(QStringLiteral("Aceptar / OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] {
    chosen_ = LangFromBase(combo_->currentData().toInt());
    accept();
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label1);
  layout->addWidget(label2);
  layout->addWidget(combo_);
  layout->addWidget(ok, 0, Qt::AlignRight);
  setModal(true);
}

namespace {
void Apply(Lang lang) {
  SetCurrentLang(lang);
  ApplyQtLanguage(lang);
}
}  // namespace

void EnsureLanguage(QWidget* parent) {
  if (std::optional<Lang> stored = StoredLanguage()) {
    Apply(*stored);
    return;
  }
  LanguageForm form(parent);
  form.exec();
  const Lang lang = form.Chosen().value_or(Lang::Spanish);
  StoreLanguage(lang);
  Apply(lang);
}

bool ChangeLanguage(QWidget* parent) {
  LanguageForm form(parent);
  form.exec();
  if (!form.Chosen()) return false;
  StoreLanguage(*form.Chosen());
  Apply(*form.Chosen());
  return true;
}

}  // namespace zdl::ui
