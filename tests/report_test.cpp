// The configuration report as zdl410 report writes it: every configured value on the sheet
// in both languages (read back from the PDF with poppler's pdftotext), every text of the
// record printed literally and escaped in the HTML page, and the command's exit statuses,
// no failure leaving an output behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "configfile/config_file.h"
#include "model/field_table.h"
#include "model/text_codec.h"
#include "report/configuration_report.h"
#include "tests/support/process.h"
#include "text/extra_texts.h"

namespace zdl {
namespace {

using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

const std::string kFull = ZDL_TEST_DATA "/full.ncf";

ProcessResult Cli(std::vector<std::string> args) {
  static const TempDir settings;  // no language stored on the machine plays a part
  setenv("XDG_CONFIG_HOME", settings.Path().c_str(), 1);
  args.insert(args.begin(), ZDL_CLI_PATH);
  return RunProcess(args);
}

// Without blanks: a table cell's text that wraps joins up again.
std::string Squeezed(std::string_view text) {
  std::string squeezed(text);
  std::erase_if(squeezed, [](unsigned char c) { return std::isspace(c); });
  return squeezed;
}

// The PDF's text in drawing order, and its number of pages (pdftotext ends each with a form feed).
std::string PdfText(const std::string& pdf, int* pages = nullptr) {
  const ProcessResult text = RunProcess({"/usr/bin/pdftotext", "-raw", pdf, "-"});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  if (pages) *pages = static_cast<int>(std::count(text.out.begin(), text.out.end(), '\f'));
  return Squeezed(text.out);
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Report, ThePdfHoldsEveryConfiguredValueInTheChosenLanguage) {
  ConfigurationRecord record;
  ASSERT_TRUE(LoadConfigFile(kFull, record).loaded());
  const TempDir dir;
  for (const auto& [lang, option, other] : {std::tuple{Lang::English, "en", Lang::Spanish},
                                            std::tuple{Lang::Spanish, "es", Lang::English}}) {
    const std::string pdf = dir.File(std::string(option) + ".pdf");
    const ProcessResult run = Cli({"--lang", option, "report", kFull, pdf});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int pages = 0;
    const std::string text = PdfText(pdf, &pages);
    std::size_t values = 0;
    for (const Field& field : FieldTable()) {
      const std::string value = Squeezed(field.kind == FieldKind::TextBox ? field.Utf8Text(record) : "");
      if (value.empty()) continue;
      ++values;
      EXPECT_NE(text.find(value), std::string::npos) << option << ' ' << field.ObjectName() << ": " << value;
    }
    EXPECT_GT(values, 40u);
    for (const Text& entry : record.ListaTlf) {
      const std::string number = Cp1252ToUtf8(entry.substr(0, entry.find(',')));
      EXPECT_NE(text.find(number), std::string::npos) << option << ' ' << entry;
    }
    // In the language asked for only, its disabled items shown as such, every page numbered.
    EXPECT_NE(text.find(Squeezed(ExtraTextIn(lang, ExtraText::ReportTitle))), std::string::npos) << option;
    EXPECT_EQ(text.find(Squeezed(ExtraTextIn(other, ExtraText::ReportTitle))), std::string::npos) << option;
    EXPECT_NE(text.find(Squeezed(LangText(lang, TextId::Disabled))), std::string::npos) << option;  // "Disabled"
    ASSERT_GT(pages, 1) << option;
    for (int page = 1; page <= pages; ++page) {
      const std::string number = std::to_string(page) + "/" + std::to_string(pages);
      EXPECT_NE(text.find(number), std::string::npos) << option << ' ' << number;
    }
  }
}

// Texts of the record that look like markup print literally and stay text in the page.
TEST(Report, EveryTextOfTheRecordPrintsLiterally) {
  const TempDir dir;
  const std::string ncf = dir.File("hostile.ncf");
  ConfigurationRecord record;
  record.General.NOMBRE = "<b>&";
  record.Macros[0].MACRO_TEXT = "\xAB</td><script>\xBB";  // «...» in Windows-1252
  record.Digital[5].TEXT = "a&amp;b";
  record.ListaTlf = {"600,<i>"};
  // A file may hold texts far longer than any box: shown cut, saying how long they are.
  for (DigitalInput& input : record.Digital) input.RST = std::string(100000, '9');
  ASSERT_TRUE(SaveConfigFile(ncf, record).ok);
  ASSERT_EQ(Cli({"report", ncf, dir.File("r.pdf")}).exitCode, 0);
  ASSERT_EQ(Cli({"report", ncf, dir.File("r.html")}).exitCode, 0);
  int pages = 0;
  const std::string text = PdfText(dir.File("r.pdf"), &pages);
  const std::string html = testing::ReadFileBytes(dir.File("r.html"));
  EXPECT_LT(pages, 20);  // not hundreds
  EXPECT_NE(text.find(Squeezed(BilingualText::Format(ExtraText::ReportTextCut, {"100000"}).In(Lang::English))),
            std::string::npos);
  for (const auto& [shown, escaped] : {std::pair{"<b>&", "&lt;b&gt;&amp;"},
                                       std::pair{"«</td><script>»", "«&lt;/td&gt;&lt;script&gt;»"},
                                       std::pair{"a&amp;b", "a&amp;amp;b"}, std::pair{"<i>", "&lt;i&gt;"}}) {
    EXPECT_NE(text.find(shown), std::string::npos) << shown;
    EXPECT_NE(html.find(escaped), std::string::npos) << escaped;
  }
  // No markup of the record's, and a page of its own: nothing fetched from elsewhere.
  for (const char* absent : {"<script", "<i>", "src=", "href="}) EXPECT_EQ(html.find(absent), std::string::npos) << absent;
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
}

TEST(Report, ExitStatusesAndNoOutputLeftByAFailure) {
  const TempDir dir;
  const std::string folderNamedPdf = dir.File("folder.pdf");
  std::filesystem::create_directory(folderNamedPdf);
  ASSERT_EQ(mkfifo(dir.File("fifo.pdf").c_str(), 0600), 0);  // never opened: it would block
  testing::WriteFileBytes(dir.File("garbage.ncf"), std::string("\x01\x02 not a configuration\n"));
  testing::WriteFileBytes(dir.File("conf.pdf"), testing::ReadFileBytes(kFull));  // an input named .pdf
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"report"}, 2},
      {{"report", kFull}, 2},
      {{"report", kFull, dir.File("out.pdf"), dir.File("more.pdf")}, 2},
      {{"report", "--colour", kFull, dir.File("out.pdf")}, 2},
      {{"report", kFull, dir.File("out.txt")}, 2},
      {{"report", dir.File("conf.pdf"), dir.File("conf.pdf")}, 2},
      {{"report", dir.File("missing.ncf"), dir.File("out.pdf")}, 1},
      {{"report", dir.File("garbage.ncf"), dir.File("out.pdf")}, 1},
      {{"report", kFull, dir.File("no/such/folder/out.pdf")}, 1},
      {{"report", kFull, folderNamedPdf}, 1},
      {{"report", kFull, dir.File("fifo.pdf")}, 1},
  };
  const std::vector<std::string> before = Entries(dir.Path());
  for (const auto& [args, status] : cases) {
    const ProcessResult run = Cli(args);
    const std::string shown = ::testing::PrintToString(args);
    EXPECT_EQ(run.exitCode, status) << shown << run.err;
    EXPECT_FALSE(run.err.empty()) << shown;
    EXPECT_EQ(Entries(dir.Path()), before) << shown;
  }
  EXPECT_EQ(testing::ReadFileBytes(dir.File("conf.pdf")), testing::ReadFileBytes(kFull));
  // Messages in the chosen language.
  const ProcessResult spanish = Cli({"--lang", "es", "report", kFull, dir.File("out.txt")});
  EXPECT_NE(spanish.err.find(BilingualText::Format(ExtraText::ReportBadOutput, {dir.File("out.txt")}).In(Lang::Spanish)),
            std::string::npos)
      << spanish.err;

  // Success, by the output's suffix in any case; an existing output is replaced whole.
  testing::WriteFileBytes(dir.File("old.PDF"), "old");
  for (const auto& [name, start] : {std::pair{"old.PDF", "%PDF-"}, {"mail.htm", "<!DOCTYPE html>"}}) {
    EXPECT_EQ(Cli({"report", kFull, dir.File(name)}).exitCode, 0) << name;
    EXPECT_EQ(testing::ReadFileBytes(dir.File(name)).rfind(start, 0), 0u) << name;
  }
}

}  // namespace
}  // namespace zdl
