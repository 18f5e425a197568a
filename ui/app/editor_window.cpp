#include "ui/app/editor_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <stdexcept>
#include <string>

#include "ui/app/language.h"

namespace zdl::ui {

QValidator::State Cp1252Validator::validate(QString& input, int& /*pos*/) const {
  const QByteArray utf8 = input.toUtf8();
  if (CanEncode(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())))) {
    return Acceptable;
  }
  QString refused;
  for (const QChar c : input) {
    const QByteArray one = QString(c).toUtf8();
    if (!c.isSurrogate() && CanEncode(std::string_view(one.constData(), static_cast<std::size_t>(one.size())))) {
      continue;
    }
    if (!refused.contains(c)) refused += c;
  }
  emit Refused(refused);
  return Invalid;
}

EditorWindow::EditorWindow(EditorId id, ConfigurationRecord& record, QWidget* parent)
    : QWidget(parent), record_(record), id_(id), validator_(new Cp1252Validator(this)) {
  connect(validator_, &Cp1252Validator::Refused, this, [this](const QString& characters) {
    emit Note(T2("Not kept: the unit cannot store ", "No se admite: el equipo no puede guardar ") +
              (characters.isEmpty() ? QStringLiteral("?") : QChar(0x201C) + characters + QChar(0x201D)) +
              T2(" (only characters of Windows-1252).", " (solo caracteres de Windows-1252)."));
  });
}

const Field& EditorWindow::RowOf(std::string_view control, int item) const {
  const Field* field = FindField(control, item);
  if (!field || field->editor != id_) {
    throw std::logic_error("no control " + std::string(control) + " in this window");
  }
  return *field;
}

QLineEdit* EditorWindow::BindText(std::string_view control, int item) {
  const Field& field = RowOf(control, item);
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromStdString(field.ObjectName()));
  if (field.maxLength > 0) edit->setMaxLength(static_cast<int>(field.maxLength));
  edit->setValidator(validator_);
  bindings_.push_back({&field, edit});
  connect(edit, &QLineEdit::textEdited, this, [this, &field](const QString& text) {
    if (refreshing_) return;
    field.SetUtf8Text(record_, text.toStdString());
    Changed();
  });
  return edit;
}

QCheckBox* EditorWindow::BindCheck(std::string_view control, int item) {
  const Field& field = RowOf(control, item);
  auto* box = new QCheckBox(this);
  box->setObjectName(QString::fromStdString(field.ObjectName()));
  bindings_.push_back({&field, box});
  connect(box, &QCheckBox::toggled, this, [this, &field](bool checked) {
    if (refreshing_) return;
    field.SetChecked(record_, checked);
    Changed();
  });
  return box;
}

QComboBox* EditorWindow::BindList(std::string_view control, int item) {
  const Field& field = RowOf(control, item);
  auto* list = new QComboBox(this);
  list->setObjectName(QString::fromStdString(field.ObjectName()));
  for (int i = 0; i < field.items; ++i) list->addItem(QString());
  bindings_.push_back({&field, list});
  connect(list, &QComboBox::currentIndexChanged, this, [this, &field](int position) {
    if (refreshing_) return;
    field.SetPosition(record_, position);
    Changed();
  });
  return list;
}

QGroupBox* EditorWindow::Frame(const QString& name) {
  auto* frame = new QGroupBox(this);
  frame->setObjectName(name);
  return frame;
}

QLabel* EditorWindow::Label(const QString& name, QWidget* buddy) {
  auto* label = new QLabel(this);
  label->setObjectName(name);
  if (buddy) label->setBuddy(buddy);
  return label;
}

QLineEdit* EditorWindow::FreeText(const QString& name, int maxLength) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  if (maxLength > 0) edit->setMaxLength(maxLength);
  edit->setValidator(validator_);
  return edit;
}

void EditorWindow::ApplyTexts() {
  LoadText();
  for (QGroupBox* frame : findChildren<QGroupBox*>()) frame->setAccessibleName(frame->title());
}

void EditorWindow::Describe(QWidget* widget, const QString& toolTip, const QString& spokenName) {
  widget->setToolTip(toolTip);
  widget->setAccessibleName(spokenName.isEmpty() ? toolTip : spokenName);
}

void EditorWindow::SetItems(QComboBox* list, const QStringList& items) {
  for (int i = 0; i < items.size() && i < list->count(); ++i) list->setItemText(i, items[i]);
}

void EditorWindow::FitDigits(QLineEdit* edit, int digits) {
  // One digit's room beyond the longest value, plus the box's frame and margins.
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QString(digits + 1, QChar('0'))) + 14);
}

void EditorWindow::ChainTabOrder(const std::vector<QWidget*>& controls) {
  for (std::size_t i = 1; i < controls.size(); ++i) QWidget::setTabOrder(controls[i - 1], controls[i]);
}

void EditorWindow::Changed() {
  Refresh();
  emit Edited();
}

void EditorWindow::RefreshBinding(const Binding& b) {
  switch (b.field->kind) {
    case FieldKind::TextBox: {
      auto* edit = static_cast<QLineEdit*>(b.widget);
      const QString text = QString::fromStdString(b.field->Utf8Text(record_));
      if (edit->text() != text) edit->setText(text);
      break;
    }
    case FieldKind::CheckBox:
      static_cast<QCheckBox*>(b.widget)->setChecked(b.field->Checked(record_));
      break;
    case FieldKind::List:
      static_cast<QComboBox*>(b.widget)->setCurrentIndex(b.field->Position(record_));
      break;
  }
}

void EditorWindow::Refresh() {
  if (refreshing_) return;
  refreshing_ = true;
  for (const Binding& b : bindings_) RefreshBinding(b);
  RefreshOthers();
  ApplyRules();
  refreshing_ = false;
}

bool EditorWindow::FocusControl(const QString& objectName) {
  auto* control = findChild<QWidget*>(objectName);
  if (!control) return false;
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
      scroll->ensureWidgetVisible(control);
      break;
    }
  }
  control->setFocus(Qt::OtherFocusReason);
  return true;
}

}  // namespace zdl::ui
