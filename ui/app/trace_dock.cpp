#include "ui/app/trace_dock.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QFile>
#include <QVBoxLayout>

#include "configfile/file_access.h"
#include "ui/app/language.h"

namespace zdl::ui {

namespace {
// Enough for several full reads; older lines go first.
constexpr int kMaxLines = 20000;
}  // namespace

TraceDock::TraceDock(QWidget* parent)
    : QDockWidget(parent), text_(new QPlainTextEdit(this)), clear_(new QPushButton(this)),
      save_(new QPushButton(this)) {
  setObjectName(QStringLiteral("TraceDock"));
  text_->setObjectName(QStringLiteral("TraceText"));
  text_->setReadOnly(true);
  text_->setMaximumBlockCount(kMaxLines);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  clear_->setObjectName(QStringLiteral("TraceClear"));
  save_->setObjectName(QStringLiteral("TraceSave"));
  auto* body = new QWidget(this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear_);
  buttons->addWidget(save_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(buttons);
  layout->addWidget(text_);
  setWidget(body);
  chooseFile = [this] {
    return QFileDialog::getSaveFileName(this, windowTitle(), QStringLiteral("zdl410-trace.txt"),
                                        T(ExtraText::TraceFileFilter));
  };
  connect(clear_, &QPushButton::clicked, this, &TraceDock::Clear);
  connect(save_, &QPushButton::clicked, this, [this] {
    const QString path = chooseFile();
    if (!path.isEmpty()) SaveTo(path);
  });
  connect(this, &QDockWidget::visibilityChanged, this, &TraceDock::Wanted);
  LoadText();
}

void TraceDock::LoadText() {
  setWindowTitle(T(ExtraText::LineTraceTitle));
  clear_->setText(T(ExtraText::ClearTraceAction));
  save_->setText(T(ExtraText::SaveTraceAction));
  text_->setAccessibleName(windowTitle());
  toggleViewAction()->setText(T(ExtraText::LineTraceAction));
}

void TraceDock::AppendLine(const QString& line) { text_->appendPlainText(line); }

QString TraceDock::Text() const { return text_->toPlainText(); }

void TraceDock::Clear() { text_->clear(); }

bool TraceDock::SaveTo(const QString& path) {
  QByteArray bytes = Text().toUtf8();
  if (!bytes.isEmpty()) bytes += '\n';
  // Atomic, a regular file only, readable by its owner only: a trace tells much about
  // the unit.
  const std::string name = QFile::encodeName(path).toStdString();
  const FileResult saved = ReplaceRegularFile(
      name, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
      FileAccess::OwnerOnly);
  if (!saved.ok()) {
    const BilingualText text =
        BilingualText::Format(ExtraText::CannotWrite, {path.toStdString(), saved.Reason()});
    QMessageBox::warning(this, T(TextId::ErrorTitle), QString::fromStdString(text.In(CurrentLang())));
    return false;
  }
  return true;
}

}  // namespace zdl::ui
