// File > Print... and File > Export as PDF...: the report of what the editors show, in the
// window's language, and the line of a verified write while the configuration is unchanged.
#include <QPrinter>
#include <cctype>
#include <string>

#include "tests/gui/gui_support.h"
#include "tests/support/process.h"
#include "text/extra_texts.h"

namespace zdl::ui {
namespace {

using namespace testing;

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

class ReportWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetCurrentLang(Lang::Spanish);
    Open();
    SetEditors(zdl::testing::EveryItemSent());
    window->choosePdfFile = [this] { return pdfPath; };
  }
  QString File(const char* name) const { return temp.filePath(QString::fromLatin1(name)); }
  std::string Export(const char* name) {
    pdfPath = File(name);
    window->ExportPdf();
    return PdfText(pdfPath);
  }
  QString pdfPath;
};

TEST_F(ReportWindowTest, AVerifiedWriteIsReportedWhileTheConfigurationIsUnchanged) {
  ASSERT_TRUE(Connect());
  const std::string firmware = Squeezed(Cp1252ToUtf8(window->Link().Facts().FirmText));
  ASSERT_FALSE(firmware.empty());

  // Before any write: the connected unit's firmware, no verification.
  std::string text = Export("before.pdf");
  EXPECT_NE(text.find(firmware), std::string::npos);
  EXPECT_EQ(text.find(VerifiedWords(Lang::Spanish)), std::string::npos);

  Panel().VerifyAfterWriting()->setChecked(true);
  Panel().EscribirClick();
  ASSERT_TRUE(Idle());
  text = Export("verified.pdf");
  EXPECT_NE(text.find(VerifiedWords(Lang::Spanish)), std::string::npos) << text.substr(0, 400);
  EXPECT_EQ(text.find(VerifiedWords(Lang::English)), std::string::npos);

  // Changed since: the report no longer claims it.
  window->Record().Macros[3].MACRO_COM = "OUT4=1";
  window->RefreshEditors();
  text = Export("changed.pdf");
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
  const std::string kept = WriteFile("report.txt.pdf", "kept").toStdString();
  for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
    Answerer answers(answer);
    window->ExportPdf();
    EXPECT_EQ(answers.questions.size(), 1);
    EXPECT_EQ(zdl::testing::ReadFileBytes(kept).rfind(answer == QMessageBox::Yes ? "%PDF-" : "kept", 0), 0u);
  }

  // A file that cannot be written is said, and nothing is left.
  pdfPath = File("missing/report.pdf");
  Answerer failure;
  window->ExportPdf();
  ASSERT_EQ(failure.boxes.size(), 1);
  EXPECT_EQ(failure.boxes[0].icon, QMessageBox::Warning);
  EXPECT_FALSE(QFile::exists(pdfPath));
}

}  // namespace
}  // namespace zdl::ui
