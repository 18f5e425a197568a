#include "ui/app/firmware_form.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string>

#include "ui/app/connection_panel.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/unit_link.h"

namespace zdl::ui {

namespace {

const char kFilter[] = "Intel hex file (*.hex);;Todos los ficheros (*.*)";

}  // namespace

FirmwareForm::FirmwareForm(MainWindow& main, QWidget* parent)
    : QDialog(parent),
      main_(main),
      link_(main.Link()),
      label1_(new QLabel(this)),
      fileText_(new QLineEdit(this)),
      searchButt_(new QPushButton(this)),
      firmLabel_(new QLabel(this)),
      pBar1_(new QProgressBar(this)),
      cancelButt_(new QPushButton(this)) {
  setObjectName(QStringLiteral("Firmware"));
  setWindowModality(Qt::ApplicationModal);
  setAttribute(Qt::WA_DeleteOnClose);
  chooseFile = [this] { return AskFile(); };

  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setBuddy(fileText_);
  fileText_->setObjectName(QStringLiteral("FileText"));
  // The path comes from the file dialog; the box shows it and can be read and copied.
  fileText_->setReadOnly(true);
  fileText_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
  searchButt_->setObjectName(QStringLiteral("SearchButt"));
  searchButt_->setDefault(true);
  firmLabel_->setObjectName(QStringLiteral("FirmLabel"));
  firmLabel_->setWordWrap(true);
  firmLabel_->setMinimumHeight(fontMetrics().lineSpacing() * 2);
  QFont status = firmLabel_->font();
  status.setBold(true);
  firmLabel_->setFont(status);
  pBar1_->setObjectName(QStringLiteral("PBar1"));
  pBar1_->setRange(0, 1);
  pBar1_->setValue(0);
  cancelButt_->setObjectName(QStringLiteral("CancelButt"));
  cancelButt_->setAutoDefault(false);

  auto* file = new QHBoxLayout;
  file->addWidget(label1_);
  file->addWidget(fileText_, 1);
  file->addWidget(searchButt_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancelButt_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(file);
  layout->addWidget(firmLabel_);
  layout->addWidget(pBar1_);
  layout->addLayout(buttons);
  setTabOrder(fileText_, searchButt_);
  setTabOrder(searchButt_, cancelButt_);

  connect(searchButt_, &QPushButton::clicked, this, &FirmwareForm::SearchButtClick);
  connect(cancelButt_, &QPushButton::clicked, this, &FirmwareForm::CancelButtClick);
  connect(&link_, &UnitLink::UploadStatus, this, [this](TextId text) { firmLabel_->setText(T(text)); });
  connect(&link_, &UnitLink::UploadProgress, this, [this](qint64 sent, qint64 total) {
    pBar1_->setRange(0, static_cast<int>(std::max<qint64>(total, 1)));
    pBar1_->setValue(static_cast<int>(sent));
  });
  connect(&link_, &UnitLink::UploadFinished, this, &FirmwareForm::OnFinished);
  // The end of each step of a connection that is being ended.
  connect(&link_, &UnitLink::Started, this, &FirmwareForm::Prepare);
  connect(&link_, &UnitLink::Stopped, this, &FirmwareForm::Prepare);
  connect(&link_, &UnitLink::ReadFinished, this, &FirmwareForm::Prepare);
  connect(&link_, &UnitLink::WriteFinished, this, &FirmwareForm::Prepare);
  connect(&link_, &UnitLink::PortForUploadOpened, this, &FirmwareForm::OnPortOpened);

  LoadText();
  searchButt_->setEnabled(false);
  Prepare();
}

void FirmwareForm::LoadText() {
  setWindowTitle(T(TextId::FirmwareUpgrade));
  label1_->setText(T(TextId::FileLabel));
  searchButt_->setText(T(TextId::Search));
  cancelButt_->setText(T(TextId::CancelUpload));
  firmLabel_->setText(T(TextId::SelectFirmwareFile));
  QString fileName = T(TextId::FileLabel);
  if (fileName.endsWith(QLatin1Char(':'))) fileName.chop(1);
  fileText_->setAccessibleName(fileName);
  fileText_->setToolTip(T(ExtraText::FirmwareFileTip));
  searchButt_->setAccessibleName(T(TextId::Search));
  searchButt_->setToolTip(T(ExtraText::SearchFirmwareTip));
  cancelButt_->setAccessibleName(T(TextId::CancelUpload));
  cancelButt_->setToolTip(T(ExtraText::CancelUploadTip));
  // FirmLabel is spoken with its text: a label without a name of its own is named by its
  // text, and each new text is announced to assistive tools. What it is: its description.
  firmLabel_->setAccessibleDescription(T(ExtraText::UploadStatusDescription));
  pBar1_->setAccessibleName(T(ExtraText::BytesSentName));
}

void FirmwareForm::Prepare() {
  if (!preparing_ || opening_) return;
  ConnectionPanel& connection = main_.General()->Connection();
  if (link_.Busy()) {
    // A start still running is ended; whatever runs, its end brings the next step.
    if (connection.ExchangeRunning()) connection.CancelExchange();
    return;
  }
  if (connection.Connected()) {
    connection.IniComClick();  // stops the connection and closes its port
    if (link_.Busy()) return;
  }
  // The port is the upload's from now on; a busy or missing one is told at once.
  opening_ = link_.OpenPortForUpload(connection.PortName());
  if (!opening_) Ready(QString());  // the upload opens it
}

void FirmwareForm::OnPortOpened(const QString& error) {
  if (!preparing_) return;
  if (!opening_) {
    Prepare();  // the port of an earlier opening: the link is free now
    return;
  }
  opening_ = false;
  Ready(error);
}

void FirmwareForm::Ready(const QString& error) {
  preparing_ = false;
  searchButt_->setEnabled(true);
  searchButt_->setFocus(Qt::OtherFocusReason);
  // The upload tries the port again: the user may free it and then choose the file.
  if (!error.isEmpty()) QMessageBox::warning(this, QString::fromLatin1(kTitle), error);
}

QString FirmwareForm::AskFile() {
  const QString filter = QString::fromLatin1(kFilter);
  QString selected = filter.section(QStringLiteral(";;"), 0, 0);
  const QString current = fileText_->text();
  const QString dir = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
  return QFileDialog::getOpenFileName(this, T(TextId::FirmwareUpgrade), dir, filter, &selected);
}

void FirmwareForm::SearchButtClick() {
  if (preparing_ || uploading_) return;
  const QString path = chooseFile();
  // A cancelled dialog changes nothing.
  if (path.isEmpty()) return;
  fileText_->setText(path);
  // The file is read whole and closed before anything is sent.
  std::string error;
  std::optional<std::string> image =
      ReadFirmwareFile(QFile::encodeName(path).toStdString(), CurrentLang(), error);
  if (!image) {
    QMessageBox::warning(this, QString::fromLatin1(kTitle), QString::fromStdString(error));
    return;
  }
  pBar1_->setRange(0, static_cast<int>(std::max<std::size_t>(image->size(), 1)));
  pBar1_->setValue(0);
  cancelButt_->setText(T(TextId::CancelUpload));
  cancelButt_->setAccessibleName(T(TextId::CancelUpload));
  if (!link_.Upload(main_.General()->Connection().PortName(), std::move(*image))) return;
  uploading_ = true;
  searchButt_->setEnabled(false);
  cancelButt_->setFocus(Qt::OtherFocusReason);
}

void FirmwareForm::OnFinished(const FirmwareResult& result, const QString& portError) {
  if (!uploading_) {
    Prepare();  // an upload of an earlier opening has just ended
    return;
  }
  uploading_ = false;
  searchButt_->setEnabled(true);
  if (result.ok()) {
    cancelButt_->setText(T(TextId::Close));
    cancelButt_->setAccessibleName(T(TextId::Close));
    cancelButt_->setFocus(Qt::OtherFocusReason);
    return;
  }
  searchButt_->setFocus(Qt::OtherFocusReason);
  if (!portError.isEmpty()) {
    firmLabel_->setText(T(TextId::SelectFirmwareFile));
    QMessageBox::warning(this, QString::fromLatin1(kTitle), portError);
    return;
  }
  // What went wrong, in one line ("Communication error!!! (no "." at progress check 3)").
  firmLabel_->setText(QString::fromStdString(FirmwareOutcomeText(result, CurrentLang())));
}

void FirmwareForm::CancelButtClick() { close(); }

void FirmwareForm::reject() { close(); }

void FirmwareForm::closeEvent(QCloseEvent* event) {
  if (uploading_) link_.Cancel();
  uploading_ = false;
  // After the cancelled upload has ended, on the link's worker.
  link_.ClosePort();
  // Not the dialog's own handler, which would reject (and so close) again.
  QWidget::closeEvent(event);
}

FirmwareForm* OpenFirmwareForm(MainWindow& main) {
  // A window closed a moment ago is hidden and about to be deleted: not that one.
  FirmwareForm* form = nullptr;
  for (FirmwareForm* open : main.findChildren<FirmwareForm*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (open->isVisible()) form = open;
  }
  if (!form) form = new FirmwareForm(main, &main);
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

}  // namespace zdl::ui
