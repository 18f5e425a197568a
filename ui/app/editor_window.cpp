#include "ui/app/editor_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QScrollArea>
#include <stdexcept>
#include <string>

#include "ui/app/language.h"

namespace zdl::ui {

namespace {

bool Encodable(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return CanEncode(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace

QString ControlNames::Caption() const {
  if (frame.isEmpty() || name.contains(frame)) return name;
  return name.isEmpty() ? frame : frame + QStringLiteral(": ") + name;
}

ControlNames NamesOf(const QWidget& editor, const QWidget& control) {
  ControlNames names;
  names.name = control.accessibleName();
  if (names.name.isEmpty()) {
    if (auto* button = qobject_cast<const QAbstractButton*>(&control)) names.name = button->text();
  }
  while (names.name.endsWith(QLatin1Char(':'))) names.name.chop(1);
  // The frame names the input, macro or timer the control belongs to.
  for (const QWidget* w = control.parentWidget(); w && w != &editor; w = w->parentWidget()) {
    if (auto* box = qobject_cast<const QGroupBox*>(w); box && !box->title().isEmpty()) {
      names.frame = box->title();
      break;
    }
  }
  return names;
}

Cp1252Validator::Cp1252Validator(int limit, std::function<qsizetype()> kept, QObject* parent)
    : QValidator(parent), limit_(limit), kept_(std::move(kept)) {}

bool Cp1252Validator::Allows(const QString& text) const {
  if (!Encodable(text)) return false;
  // Every character Windows-1252 holds is one byte of the field.
  return limit_ <= 0 || text.size() <= limit_ || text.size() <= kept_();
}

QValidator::State Cp1252Validator::validate(QString& input, int& /*pos*/) const {
  if (!Encodable(input)) {
    QString refused;
    for (const QChar c : input) {
      if (!c.isSurrogate() && Encodable(QString(c))) continue;
      if (!refused.contains(c)) refused += c;
    }
    emit Refused(refused);
    return Invalid;
  }
  if (!Allows(input)) {
    emit TooLong(limit_);
    return Invalid;
  }
  // A text from a file longer than the field: it may be shortened, and stays marked.
  return limit_ > 0 && input.size() > limit_ ? Intermediate : Acceptable;
}

EditorWindow::EditorWindow(EditorId id, ConfigurationRecord& record, QWidget* parent)
    : QWidget(parent), record_(record), id_(id) {}

Cp1252Validator* EditorWindow::RuleFor(QLineEdit* edit, int limit, std::function<qsizetype()> kept) {
  auto* rule = new Cp1252Validator(limit, std::move(kept), edit);
  edit->setValidator(rule);
  connect(rule, &Cp1252Validator::Refused, this, [this](const QString& characters) {
    emit Note(T(ExtraText::NotKeptCharactersStart) +
              (characters.isEmpty() ? QStringLiteral("?") : QChar(0x201C) + characters + QChar(0x201D)) +
              T(ExtraText::NotKeptCharactersEnd));
  });
  connect(rule, &Cp1252Validator::TooLong, this, [this](int max) {
    emit Note(T(ExtraText::NotKeptTooLong)
                  .arg(max));
  });
  return rule;
}

const Field& EditorWindow::InThisWindow(const Field* row) const {
  if (!row || row->editor != id_) throw std::logic_error("no control of that field in this window");
  return *row;
}

QWidget* EditorWindow::BoundTo(const Field& row) const {
  for (const Binding& b : bindings_) {
    if (b.field == &row) return b.widget;
  }
  throw std::logic_error("control " + row.ObjectName() + " not bound");
}

QLineEdit* EditorWindow::BindText(const Text& member) {
  const Field& field = RowOf(member);
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromStdString(field.ObjectName()));
  // No maximum length of the box's own: it would cut what the box shows of a longer text
  // from a file while the record keeps it whole. The rule refuses typing beyond the field.
  RuleFor(edit, static_cast<int>(field.maxLength),
          [this, &field] { return static_cast<qsizetype>(field.getText(record_).size()); });
  const std::size_t index = bindings_.size();
  bindings_.push_back({&field, edit});
  // Whatever way the text reached the box, typed or set through the accessibility
  // interface, it goes to the record or is refused.
  connect(edit, &QLineEdit::textChanged, this, [this, index](const QString& text) {
    if (refreshing_) return;
    TakeText(bindings_[index], text);
  });
  return edit;
}

void EditorWindow::TakeText(const Binding& b, const QString& text) {
  auto* edit = static_cast<QLineEdit*>(b.widget);
  auto* rule = static_cast<const Cp1252Validator*>(edit->validator());
  const QByteArray utf8 = text.toUtf8();
  // A disabled box takes nothing (an assistive tool can still set its text): its rule
  // keeps the record as it is, the box shows it again.
  const bool open = edit->isEnabled() && !edit->isReadOnly();
  if (open && rule->Allows(text) && b.field->SetUtf8Text(record_, std::string_view(utf8.constData(),
                                                                           static_cast<std::size_t>(utf8.size())))) {
    Changed(b.widget);
    return;
  }
  // The note says why (the rule tells it), and the box shows the record's value again.
  QString refused = text;
  int pos = 0;
  if (open) rule->validate(refused, pos);
  refreshing_ = true;
  RefreshBinding(b);
  refreshing_ = false;
}

void EditorWindow::MarkLength(const Binding& b) {
  auto* edit = static_cast<QLineEdit*>(b.widget);
  const int limit = static_cast<int>(b.field->maxLength);
  const bool over = limit > 0 && edit->text().size() > limit;
  const bool marked = edit->property("overLong").toBool();
  if (!over && !marked) return;
  // The tool tip the window's texts gave the box, kept while the mark is added to it.
  if (!marked) edit->setProperty("plainToolTip", edit->toolTip());
  const QString plain = edit->property("plainToolTip").toString();
  edit->setProperty("overLong", over);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, over ? QColor(255, 214, 214) : QPalette().color(QPalette::Base));
  edit->setPalette(palette);
  const QString mark =
      over ? T(ExtraText::LongerThanKept)
                 .arg(edit->text().size())
                 .arg(limit)
           : QString();
  edit->setAccessibleDescription(mark);
  edit->setToolTip(over ? plain + QLatin1Char('\n') + mark : plain);
}

QCheckBox* EditorWindow::BindCheck(const bool& member) {
  const Field& field = RowOf(member);
  auto* box = new QCheckBox(this);
  box->setObjectName(QString::fromStdString(field.ObjectName()));
  bindings_.push_back({&field, box});
  connect(box, &QCheckBox::toggled, this, [this, &field, box](bool checked) {
    if (refreshing_) return;
    field.SetChecked(record_, checked);
    Changed(box);
  });
  return box;
}

QComboBox* EditorWindow::BindList(const int& member) {
  const Field& field = RowOf(member);
  auto* list = new QComboBox(this);
  list->setObjectName(QString::fromStdString(field.ObjectName()));
  for (int i = 0; i < field.items; ++i) list->addItem(QString());
  bindings_.push_back({&field, list});
  connect(list, &QComboBox::currentIndexChanged, this, [this, &field, list](int position) {
    if (refreshing_) return;
    field.SetPosition(record_, position);
    Changed(list);
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
  Cp1252Validator* rule = RuleFor(edit, maxLength, [] { return qsizetype{0}; });
  // Text set another way than typing (an assistive tool) obeys the same rule: a refused
  // one gives way to the box's last accepted text.
  edit->setProperty("accepted", QString());
  connect(edit, &QLineEdit::textChanged, this, [edit, rule](const QString& text) {
    if (rule->Allows(text) && edit->isEnabled()) {
      edit->setProperty("accepted", text);
      return;
    }
    QString refused = text;
    int pos = 0;
    rule->validate(refused, pos);
    edit->setText(edit->property("accepted").toString());
  });
  return edit;
}

void EditorWindow::ApplyTexts() {
  LoadText();
  // The texts have given every box its plain tool tip again: the marks are made anew.
  for (const Binding& b : bindings_) {
    if (b.field->kind != FieldKind::TextBox) continue;
    b.widget->setProperty("overLong", false);
    MarkLength(b);
  }
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

void EditorWindow::Changed(QWidget* control) {
  Refresh();
  emit Edited(control);
}

void EditorWindow::RefreshBinding(const Binding& b) {
  switch (b.field->kind) {
    case FieldKind::TextBox: {
      auto* edit = static_cast<QLineEdit*>(b.widget);
      const QString text = QString::fromStdString(b.field->Utf8Text(record_));
      if (edit->text() != text) edit->setText(text);
      MarkLength(b);
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
