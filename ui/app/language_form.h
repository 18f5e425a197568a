// The language form: the same bilingual texts whatever the language, "Español" selected
// when it opens.
#pragma once

#include <QDialog>
#include <optional>

#include "text/string_table.h"

class QComboBox;

namespace zdl::ui {

class LanguageForm final : public QDialog {
  Q_OBJECT
 public:
  explicit LanguageForm(QWidget* parent = nullptr);
  // The language chosen with OK; empty when the form was closed otherwise.
  std::optional<Lang> Chosen() const { return chosen_; }

 private:
  QComboBox* combo_;
  std::optional<Lang> chosen_;
};

// Asks the language at first start (no stored setting, or one that names none) and
// stores it; the form closed without OK takes Spanish, its default. Sets the current
// language from the setting either way.
void EnsureLanguage(QWidget* parent);

// The language form from the toolbar: on OK the language becomes current and is stored.
// True when the language was chosen.
bool ChangeLanguage(QWidget* parent);

}  // namespace zdl::ui
