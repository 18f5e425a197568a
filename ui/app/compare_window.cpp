#include "ui/app/compare_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "model/text_codec.h"
#include "ui/app/edit_menu.h"
#include "ui/app/editor_window.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "text/extra_texts.h"

namespace zdl::ui {

namespace {

enum Column { kEditor, kField, kThisSide, kOtherSide, kColumns };


// The number that ends a key ("TLF3" -> 3), or -1.
int TrailingNumber(const std::string& key, std::string_view base) {
  if (key.size() <= base.size() || key.compare(0, base.size(), base) != 0) return -1;
  int number = 0;
  for (std::size_t i = base.size(); i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return -1;
    number = number * 10 + (key[i] - '0');
  }
  return number;
}

}  // namespace

std::optional<DifferenceControl> ControlOf(const FieldDifference& difference) {
  if (difference.field) {
    return DifferenceControl{difference.field->editor, QString::fromStdString(difference.field->ObjectName())};
  }
  const Field& phones = PhoneListField();
  if (difference.section == phones.section && TrailingNumber(difference.key, phones.key) >= 0) {
    return DifferenceControl{phones.editor, QString::fromStdString(phones.ObjectName())};
  }
  // The N.C. and bistable flags of a digital input (keyed by the input's digit) show in
  // its Modo list, the row of the input's enable flag.
  const int input = difference.key.empty() ? -1 : difference.key.back() - '0';
  for (const Field& mode : FieldTable()) {
    if (mode.form == FileForm::DigitalMode && mode.section == difference.section && mode.item == input) {
      return DifferenceControl{mode.editor, QString::fromStdString(mode.ObjectName())};
    }
  }
  return std::nullopt;
}

CompareWindow::CompareWindow(MainWindow& main, QWidget* parent)
    : QWidget(parent, Qt::Window),
      main_(main),
      sides_(new QLabel(this)),
      count_(new QLabel(this)),
      table_(new QTableWidget(0, kColumns, this)),
      takeOver_(new QPushButton(this)),
      close_(new QPushButton(this)) {
  setObjectName(QStringLiteral("CompareWindow"));
  sides_->setObjectName(QStringLiteral("CompareSides"));
  sides_->setWordWrap(true);
  sides_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  count_->setObjectName(QStringLiteral("CompareCount"));
  table_->setObjectName(QStringLiteral("CompareTable"));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSortingEnabled(true);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  takeOver_->setObjectName(QStringLiteral("TakeOver"));
  close_->setObjectName(QStringLiteral("CloseCompare"));
  takeOver_->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(count_, 1);
  buttons->addWidget(takeOver_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sides_);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);

  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { ShowField(row); });
  connect(table_, &QTableWidget::itemSelectionChanged, this,
          [this] { takeOver_->setEnabled(!table_->selectionModel()->selectedRows().isEmpty()); });
  connect(takeOver_, &QPushButton::clicked, this, &CompareWindow::TakeOverSelected);
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
  resize(1000, 520);
  LoadText();
}

void CompareWindow::Show(const ConfigurationRecord& other, CompareSide side, const QString& otherName,
                         bool hasDatalogger) {
  other_ = other;
  side_ = side;
  otherName_ = otherName;
  hasDatalogger_ = hasDatalogger;
  Recompute();
  show();
  raise();
  activateWindow();
}

void CompareWindow::Recompute() {
  differences_ = side_ == CompareSide::File
                     ? Compare(main_.Record(), other_)
                     : CompareWithUnit(main_.Record(), other_, {.hasDatalogger = hasDatalogger_});
  Fill();
}

void CompareWindow::LoadText() {
  setWindowTitle(T(ExtraText::CompareTitle) + QStringLiteral(" - ") + QString::fromLatin1(kTitle));
  table_->setHorizontalHeaderLabels({T(ExtraText::ColumnEditor), T(ExtraText::ColumnField),
                                     T(ExtraText::ColumnThisSide), T(ExtraText::ColumnOtherSide)});
  takeOver_->setText(T(ExtraText::TakeOverSelected));
  close_->setText(T(TextId::Close));
  table_->setAccessibleName(T(ExtraText::CompareTitle));
  Fill();
}

QWidget* CompareWindow::ControlWidget(const FieldDifference& difference) const {
  const std::optional<DifferenceControl> control = ControlOf(difference);
  if (!control) return nullptr;
  return main_.Editor(control->editor)->findChild<QWidget*>(control->objectName);
}

QString CompareWindow::FieldCaption(const FieldDifference& difference) const {
  const QString key = QString::fromStdString(difference.section + "." + difference.key);
  QWidget* control = ControlWidget(difference);
  if (!control) return key;
  const ControlNames names = NamesOf(*main_.Editor(ControlOf(difference)->editor), *control);
  QString caption = names.Caption();
  const Field& phones = PhoneListField();
  if (const int entry = difference.section == phones.section ? TrailingNumber(difference.key, phones.key) : -1;
      entry >= 0) {
    // An entry of the phone list: the list's frame and the entry's position.
    caption = (names.frame.isEmpty() ? names.name : names.frame) + QStringLiteral(" %1").arg(entry + 1);
  } else if (!difference.field) {
    caption += QStringLiteral(" (") + QString::fromStdString(difference.key) + QLatin1Char(')');
  }
  return caption.isEmpty() ? key : caption;
}

QString CompareWindow::ShownValue(const FieldDifference& difference, const Text& value) const {
  const QString text = QString::fromStdString(Cp1252ToUtf8(value));
  if (!difference.field || difference.field->kind != FieldKind::List) return text;
  auto* list = qobject_cast<QComboBox*>(ControlWidget(difference));
  bool number = false;
  const int position = text.trimmed().toInt(&number);
  if (!list || !number || position < 0 || position >= list->count()) return text;
  const QString entry = list->itemText(position);
  return entry.isEmpty() || entry == text ? text : entry;
}

void CompareWindow::Fill() {
  switch (side_) {
    case CompareSide::File:
      sides_->setText(T(ExtraText::ThisSideEditors) + QLatin1Char('\n') + T(ExtraText::OtherSideFile, otherName_));
      break;
    case CompareSide::Unit:
      sides_->setText(T(ExtraText::ThisSideEditors) + QLatin1Char('\n') + T(ExtraText::OtherSideUnit));
      break;
    case CompareSide::Verify:
      sides_->setText(T(ExtraText::ThisSideEditors) + QLatin1Char('\n') + T(ExtraText::OtherSideVerify));
      break;
  }
  count_->setText(differences_.empty()
                      ? T(ExtraText::NoDifferences)
                      : T(ExtraText::DifferenceCount, QString::number(differences_.size())));
  // Sorting is off while filling, so each row's cells stay together.
  const bool sorting = table_->isSortingEnabled();
  table_->setSortingEnabled(false);
  table_->clearContents();
  table_->setRowCount(static_cast<int>(differences_.size()));
  for (std::size_t i = 0; i < differences_.size(); ++i) {
    const FieldDifference& d = differences_[i];
    const std::optional<DifferenceControl> control = ControlOf(d);
    const QString cells[kColumns] = {
        control ? main_.Editor(control->editor)->windowTitle() : QString::fromStdString(d.section),
        FieldCaption(d), ShownValue(d, d.left), ShownValue(d, d.right)};
    for (int column = 0; column < kColumns; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setData(Qt::UserRole, static_cast<int>(i));
      item->setToolTip(column == kField ? QString::fromStdString(d.section + "." + d.key) : cells[column]);
      table_->setItem(static_cast<int>(i), column, item);
    }
  }
  table_->setSortingEnabled(sorting);
  table_->resizeColumnsToContents();
  // Long texts stay readable without pushing the other columns out of the window.
  for (int column = 0; column < kThisSide; ++column) {
    table_->setColumnWidth(column, std::min(table_->columnWidth(column), 320));
  }
  table_->setColumnWidth(kThisSide, std::min(table_->columnWidth(kThisSide), 260));
  takeOver_->setEnabled(!table_->selectionModel()->selectedRows().isEmpty());
}

const FieldDifference* CompareWindow::RowDifference(int row) const {
  const QTableWidgetItem* item = table_->item(row, kEditor);
  if (!item) return nullptr;
  const int index = item->data(Qt::UserRole).toInt();
  if (index < 0 || static_cast<std::size_t>(index) >= differences_.size()) return nullptr;
  return &differences_[static_cast<std::size_t>(index)];
}

void CompareWindow::ShowField(int row) {
  const FieldDifference* difference = RowDifference(row);
  if (!difference) return;
  const std::optional<DifferenceControl> control = ControlOf(*difference);
  if (!control) return;
  main_.activateWindow();
  main_.BringToFront(control->editor);
  main_.Editor(control->editor)->FocusControl(control->objectName);
}

void CompareWindow::TakeOverSelected() {
  std::set<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) rows.insert(index.row());
  std::vector<FieldDifference> chosen;
  for (int row : rows) {
    if (const FieldDifference* d = RowDifference(row)) chosen.push_back(*d);
  }
  if (chosen.empty()) return;
  TakeOver(main_.Record(), other_, chosen);
  main_.RefreshEditors();
  main_.Edits().Record({StepKind::TakeOver, EditorId::General, {}, {}});
  Recompute();
}

}  // namespace zdl::ui
