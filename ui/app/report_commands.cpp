// The main window's report commands: File > Print... and File > Export as PDF..., the
// configuration report (report/) of what the editors show, in the current language, and
// the verified write it mentions.
#include <QAction>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QDir>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>

#include "model/text_codec.h"
#include "report/configuration_report.h"
#include "ui/app/connection_panel.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/unit_link.h"
#include "text/extra_texts.h"

namespace zdl::ui {

namespace {

QString X(ExtraText text, std::initializer_list<BilingualText> args = {}) {
  return QString::fromStdString(BilingualText::Format(text, args).In(CurrentLang()));
}

QString FromCp1252(const std::string& bytes) { return QString::fromStdString(Cp1252ToUtf8(bytes)); }

}  // namespace

void MainWindow::BuildReportActions() {
  print_ = new QAction(this);
  print_->setObjectName(QStringLiteral("Action_Print"));
  print_->setShortcut(QKeySequence::Print);
  print_->setShortcutContext(Qt::ApplicationShortcut);
  connect(print_, &QAction::triggered, this, &MainWindow::PrintReport);
  exportPdf_ = new QAction(this);
  exportPdf_->setObjectName(QStringLiteral("Action_ExportPdf"));
  connect(exportPdf_, &QAction::triggered, this, &MainWindow::ExportPdf);
  fileMenu_->addAction(print_);
  fileMenu_->addAction(exportPdf_);

  setUpPrinter = [this](QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    return dialog.exec() == QDialog::Accepted;
  };
  choosePdfFile = [this] {
    QFileDialog dialog(this, exportPdf_->text().remove(QLatin1Char('&')));
    dialog.setObjectName(QStringLiteral("PdfDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(X(ExtraText::ReportPdfFilter));
    // The dialog adds ".pdf" to a name typed without a suffix before its overwrite question.
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (!currentFile_.isEmpty()) {
      const QFileInfo file(currentFile_);
      dialog.setDirectory(file.absolutePath());
      dialog.selectFile(file.completeBaseName() + QStringLiteral(".pdf"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().front();
  };

  // A write whose verify found no difference: the report of that configuration, for as
  // long as the editors show it unchanged, says so. (The record is the one written: no
  // edit reaches it while the write runs.)
  connect(link_.get(), &UnitLink::VerifyFinished, this,
          [this](bool ok, const std::vector<FieldDifference>& differences, const ConfigurationRecord&) {
            verified_.reset();
            if (!ok || !differences.empty()) return;
            verified_ = VerifiedWrite{record_, QDateTime::currentDateTime(), FromCp1252(link_->Facts().FirmText)};
          });
}

void MainWindow::LoadReportText() {
  print_->setText(X(ExtraText::ReportPrint));
  exportPdf_->setText(X(ExtraText::ReportExportPdf));
}

ReportFacts MainWindow::ReportFactsNow() const {
  ReportFacts facts;
  if (!currentFile_.isEmpty()) facts.fileName = QFileInfo(currentFile_).fileName();
  facts.printed = QDateTime::currentDateTime();
  facts.programVersion = QStringLiteral(ZDL_VERSION);
  if (link_->Connected()) facts.firmware = FromCp1252(link_->Facts().FirmText);
  if (verified_ && verified_->record == record_) {
    facts.verified = ReportFacts::Verification{verified_->when, verified_->firmware};
  }
  return facts;
}

void MainWindow::PrintReport() {
  // While an exchange runs only Cancel acts.
  if (General()->Connection().ExchangeRunning()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
  printer.setDocName(X(ExtraText::ReportTitle));
  if (!setUpPrinter(printer)) return;
  if (!zdl::PaintReport(record_, ReportFactsNow(), CurrentLang(), printer)) {
    const QString where = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
    QMessageBox::warning(this, T(TextId::ErrorTitle), X(ExtraText::ReportPrintFailed, {where.toStdString()}));
    return;
  }
  statusBar()->showMessage(X(ExtraText::ReportPrinted), 6000);
}

void MainWindow::ExportPdf() {
  if (General()->Connection().ExchangeRunning()) return;
  QString path = choosePdfFile();
  if (path.isEmpty()) return;
  if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    // A name with another suffix: the dialog asked about that name, not this one.
    path += QStringLiteral(".pdf");
    if (QFileInfo(path).exists() &&
        QMessageBox::question(this, QString::fromLatin1(kTitle),
                              X(ExtraText::ReportReplace, {QDir::toNativeSeparators(path).toStdString()}),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
      return;
    }
  }
  const FileResult written = WriteReport(std::filesystem::path(path.toStdString()), ReportFormat::Pdf, record_,
                                         ReportFactsNow(), CurrentLang());
  if (!written.ok()) {
    QMessageBox::warning(
        this, T(TextId::ErrorTitle),
        X(ExtraText::CannotWrite, {QDir::toNativeSeparators(path).toStdString(), written.Reason()}));
    return;
  }
  statusBar()->showMessage(X(ExtraText::ReportSaved, {QDir::toNativeSeparators(path).toStdString()}), 6000);
}

}  // namespace zdl::ui
