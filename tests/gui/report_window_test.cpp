// File > Print... and File > Export as PDF...: the report of what the editors show, in the
// window's language, and the line of a verified write while the configuration is unchanged.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <string>

#include "model/text_codec.h"
#include "tests/gui/gui_support.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"
#include "ui/app/connection_panel.h"
#include "ui/app/general_editor.h"
#include "ui/app/language.h"
#include "ui/app/main_window.h"
#include "ui/app/unit_link.h"
#include "text/extra_texts.h"

namespace zdl::ui {
namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Without blanks: a table cell's text that wraps joins up again.
std::string Squeezed(std::string_view text) {
  std::string squeezed;
  for (const char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) squeezed += c;
  }
  return squeezed;
}

// The PDF's text; empty when there is none.
std::string PdfText(const QString& pdf) {
  return Squeezed(zdl::testing::RunProcess({"/usr/bin/pdftotext", "-raw", pdf.toStdString(), "-"}).out);
}

// The verified line's words before its date.
std::string VerifiedWords(Lang lang) {
  const std::string_view line = ExtraTextIn(lang, ExtraText::ReportVerified);
  return Squeezed(line.substr(0, line.find("%1")));
}

class ReportWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentLang(Lang::Spanish);
    UnitLinkOptions options;
    options.pacedVirtualUnit = false;
    window = std::make_unique<MainWindow>(options);
    window->show();
    window->Record() = zdl::testing::EveryItemSent();
    window->RefreshEditors();
    window->choosePdfFile = [this] { return pdfPath; };
  }
  void TearDown() override { SetCurrentLang(Lang::English); }
  QString File(const char* name) const { return QString::fromStdString(dir.File(name)); }
  bool Idle() {
    return WaitFor([this] { return !window->General()->Connection().ExchangeRunning(); });
  }

  zdl::testing::TempDir dir;
  std::unique_ptr<MainWindow> window;
  QString pdfPath;
};

TEST_F(ReportWindowTest, AVerifiedWriteIsReportedWhileTheConfigurationIsUnchanged) {
  ConnectionPanel& connection = window->General()->Connection();
  const int virtualUnit = connection.Puerto()->findText(UnitLink::VirtualUnitName());
  ASSERT_GE(virtualUnit, 0);
  connection.Puerto()->setCurrentIndex(virtualUnit);
  connection.IniComClick();
  ASSERT_TRUE(Idle());
  ASSERT_TRUE(window->Link().Connected());
  const std::string firmware = Squeezed(Cp1252ToUtf8(window->Link().Facts().FirmText));
  ASSERT_FALSE(firmware.empty());

  // Before any write: the connected unit's firmware, no verification.
  pdfPath = File("before.pdf");
  window->ExportPdf();
  std::string text = PdfText(pdfPath);
  EXPECT_NE(text.find(firmware), std::string::npos);
  EXPECT_EQ(text.find(VerifiedWords(Lang::Spanish)), std::string::npos);

  connection.VerifyAfterWriting()->setChecked(true);
  connection.EscribirClick();
  ASSERT_TRUE(Idle());
  pdfPath = File("verified.pdf");
  window->ExportPdf();
  text = PdfText(pdfPath);
  EXPECT_NE(text.find(VerifiedWords(Lang::Spanish)), std::string::npos) << text.substr(0, 400);
  EXPECT_EQ(text.find(VerifiedWords(Lang::English)), std::string::npos);

  // Changed since: the report no longer claims it.
  window->Record().Macros[3].MACRO_COM = "OUT4=1";
  window->RefreshEditors();
  pdfPath = File("changed.pdf");
  window->ExportPdf();
  text = PdfText(pdfPath);
  EXPECT_NE(text.find("OUT4=1"), std::string::npos);
  EXPECT_EQ(text.find(VerifiedWords(Lang::Spanish)), std::string::npos);
}

TEST_F(ReportWindowTest, PrintAndExportWriteTheReportAndAskBeforeReplacingAnUnnamedFile) {
  // Printing on the printer the dialog set up (a PDF file here), every page numbered.
  window->setUpPrinter = [this](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(File("printed.pdf"));
    return true;
  };
  window->PrintReport();
  const std::string printed = PdfText(File("printed.pdf"));
  EXPECT_NE(printed.find(Squeezed(ExtraTextIn(Lang::Spanish, ExtraText::ReportTitle))), std::string::npos);
  EXPECT_NE(printed.find("1/"), std::string::npos);
  window->setUpPrinter = [](QPrinter&) { return false; };  // cancelled: nothing printed
  window->PrintReport();

  // ".pdf" is added to a name without it; a file of that name is replaced only on Yes.
  pdfPath = File("report.txt");
  zdl::testing::WriteFileBytes(dir.File("report.txt.pdf"), "kept");
  testing::SeenBox question;
  testing::AnswerNextBox(question, QMessageBox::No);
  window->ExportPdf();
  EXPECT_TRUE(question.seen);
  EXPECT_EQ(zdl::testing::ReadFileBytes(dir.File("report.txt.pdf")), "kept");
  testing::AnswerNextBox(question, QMessageBox::Yes);
  window->ExportPdf();
  EXPECT_EQ(zdl::testing::ReadFileBytes(dir.File("report.txt.pdf")).rfind("%PDF-", 0), 0u);

  // A file that cannot be written is said, and nothing is left.
  pdfPath = File("missing/report.pdf");
  testing::SeenBox failure;
  testing::AnswerNextBox(failure);
  window->ExportPdf();
  EXPECT_TRUE(failure.seen);
  EXPECT_EQ(failure.icon, QMessageBox::Warning);
  EXPECT_FALSE(QFile::exists(pdfPath));
}

}  // namespace
}  // namespace zdl::ui
