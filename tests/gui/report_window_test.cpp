// File > Print... and File > Export as PDF...: the line of a verified write while the
// configuration is unchanged, and the question before a PDF replaces an unnamed file. (The
// report's pages themselves: the command line's report tests.)
#include "report/configuration_report.h"
#include "tests/gui/gui_support.h"
#include "tests/support/process.h"
#include "text/extra_texts.h"

namespace zdl::ui {
namespace {

using namespace testing;

using ReportWindowTest = WindowTest;

TEST_F(ReportWindowTest, AVerifiedWriteIsReportedWhileTheConfigurationIsUnchanged) {
  Open();
  ASSERT_TRUE(Connect());
  SetEditors(zdl::testing::EveryItemSent());
  // The report the window would print now, and whether it has the verified line's words.
  const auto report = [this] {
    return ReportHtml(window->Record(), window->ReportFactsNow(), Lang::Spanish);
  };
  const QString verified = QString::fromUtf8(ExtraTextIn(Lang::Spanish, ExtraText::ReportVerified))
                               .section(QStringLiteral("%1"), 0, 0);
  const QString firmware = QString::fromStdString(Cp1252ToUtf8(window->Link().Facts().FirmText));
  ASSERT_FALSE(firmware.isEmpty());

  // Before any write: the connected unit's firmware, no verification.
  EXPECT_TRUE(report().contains(firmware.toHtmlEscaped()));
  EXPECT_FALSE(report().contains(verified));

  Panel().VerifyAfterWriting()->setChecked(true);
  Panel().EscribirClick();
  ASSERT_TRUE(Idle());
  EXPECT_TRUE(report().contains(verified));

  // Changed since: the report no longer claims it.
  window->Record().Macros[3].MACRO_COM = "OUT4=1";
  window->RefreshEditors();
  EXPECT_FALSE(report().contains(verified));
}

// ".pdf" is added to a name without it; a file of that name is replaced only on Yes.
TEST_F(ReportWindowTest, ExportAsksBeforeReplacingTheFileItsAddedSuffixNames) {
  Open();
  window->choosePdfFile = [this] { return temp.filePath(QStringLiteral("report.txt")); };
  const std::string kept = WriteFile("report.txt.pdf", "kept").toStdString();
  for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
    Answerer answers(answer);
    window->ExportPdf();
    EXPECT_EQ(answers.questions.size(), 1);
    EXPECT_EQ(zdl::testing::ReadFileBytes(kept).rfind(answer == QMessageBox::Yes ? "%PDF-" : "kept", 0), 0u);
  }
}

}  // namespace
}  // namespace zdl::ui
