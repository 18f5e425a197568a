// The zdl410 command line as an installer runs it: the exit-status and usage rules as one
// table, the offline commands and the report on files, and one path per command against
// zdl410-sim on a real pseudo-terminal (the behaviours under them are tested in the core).
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "compare/comparison.h"
#include "configfile/config_file.h"
#include "link/serial_line.h"
#include "model/field_table.h"
#include "model/text_codec.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"
#include "text/extra_texts.h"
#include "transfer/command_set.h"

namespace zdl {
namespace {

using testing::ProcessResult;
using testing::ReadFileBytes;
using testing::TempDir;
using Args = std::vector<std::string>;

// The per-user settings the command line sees: a folder of the tests' own, so the
// language stored on the machine running the tests plays no part.
const TempDir& SettingsHome() {
  static const TempDir home;
  return home;
}

Args Command(Args args) {
  setenv("XDG_CONFIG_HOME", SettingsHome().Path().c_str(), 1);
  args.insert(args.begin(), ZDL_CLI_PATH);
  return args;
}

ProcessResult Cli(const Args& args) { return testing::RunProcess(Command(args)); }

// Runs the command on a terminal of its own (stdout and stderr both), sends it Ctrl-C once
// it has printed `interruptAt` (when given), and returns all it printed.
ProcessResult OnTerminal(const Args& args, const std::string& interruptAt = "") {
  int master = -1, terminal = -1;
  if (openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0) return {};
  const pid_t pid = testing::Spawn(Command(args), terminal, terminal);
  close(terminal);
  ProcessResult result;
  char buffer[256];
  pollfd readable{master, POLLIN, 0};
  ssize_t n = 0;
  while (!interruptAt.empty() && result.out.find(interruptAt) == std::string::npos &&
         poll(&readable, 1, 20000) > 0 && (n = read(master, buffer, sizeof buffer)) > 0) {
    result.out.append(buffer, static_cast<std::size_t>(n));
  }
  if (!interruptAt.empty()) kill(pid, SIGINT);
  testing::ReadUntilClosed(master, result.out);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Without blanks: a table cell's text that wraps joins up again.
std::string Squeezed(std::string text) {
  std::erase_if(text, [](unsigned char c) { return std::isspace(c); });
  return text;
}

// The PDF's text in drawing order (poppler's pdftotext), and its number of pages (a form
// feed ends each).
std::string PdfText(const std::string& pdf, int& pages) {
  const ProcessResult text = testing::RunProcess({"/usr/bin/pdftotext", "-raw", pdf, "-"});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  pages = static_cast<int>(std::count(text.out.begin(), text.out.end(), '\f'));
  return Squeezed(text.out);
}

// The names in a folder, a FIFO marked as such.
std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string() + (entry.is_fifo() ? "|" : ""));
  }
  std::sort(names.begin(), names.end());
  return names;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { sample_ = Saved(testing::FullRecord(), "sample.ncf"); }
  std::string Saved(const ConfigurationRecord& record, const std::string& name) const {
    const std::string path = dir_.File(name);
    EXPECT_TRUE(SaveConfigFile(path, record).ok);
    return path;
  }
  // The sample with the value of NOMBRE replaced by raw bytes, as another program or a
  // hostile sender could write it.
  std::string WithName(const std::string& value, const std::string& name) const {
    std::string bytes = ReadFileBytes(sample_);
    const std::size_t start = bytes.find("\nNOMBRE=") + 8;
    bytes.replace(start, bytes.find("\r\n", start) - start, value);
    testing::WriteFileBytes(dir_.File(name), bytes);
    return dir_.File(name);
  }

  // Starts a simulated unit on a pseudo-terminal; returns the link to it in the folder.
  std::string StartUnit(Args options) {
    options.insert(options.begin(), {ZDL_SIM_PATH, "--link", dir_.File("unit")});
    unit_ = std::make_unique<testing::BackgroundProcess>(options);
    EXPECT_FALSE(unit_->FirstLine().empty());
    return dir_.File("unit");
  }

  TempDir dir_;
  std::string sample_;
  std::unique_ptr<testing::BackgroundProcess> unit_;  // stopped before the folder goes
};

// Every failure leaves the folder as it was: no output, no backup, no trace, the FIFO
// never opened (it would block), the inputs untouched.
TEST_F(CliTest, ExitStatusesAndUsage) {
  const std::string text = dir_.File("text.ncf");
  const std::string out = dir_.File("out.ncf"), backup = dir_.File("backup.ncf");
  const std::string fifo = dir_.File("fifo.pdf"), missing = dir_.File("nothing.ncf");
  const std::string folder = dir_.File("folder.pdf"), link = dir_.File("link.pdf");
  testing::WriteFileBytes(text, "[General]\r\nNOMBRE=x\r\n");
  std::filesystem::create_directory(folder);
  std::filesystem::create_symlink(sample_, link);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string before = ReadFileBytes(sample_);
  const std::vector<std::string> entries = Entries(dir_.Path());
  const std::string badSuffix = dir_.File("out.txt");
  const struct {
    Args args;
    int exitCode;
    std::string says;  // in what it printed, on either stream
  } rows[] = {
      {{"frobnicate"}, 2, "frobnicate"},
      {{"lines", "--bogus", sample_}, 2, "--bogus"},
      {{"read", "out.ncf"}, 2, "--port"},
      {{"diff", sample_, missing}, 2, "File not found"},
      {{"write", "--port", "COM9", "--backup", dir_.File("folder.pdf/../sample.ncf"), sample_}, 2, ""},
      // A version number that is no sane version.
      {{"check", sample_, "--firmware", "ZDL410 v9E99"}, 2, "--firmware"},
      // A trace that would replace a file of the command, by any spelling, is refused before
      // a port is opened; one that is no regular file, without blocking.
      {{"write", "--port", "COM9", "--trace", dir_.File("folder.pdf/../sample.ncf"), sample_}, 2,
       "is the input file"},
      {{"write", "--port", "COM9", "--backup", backup, "--trace", dir_.File("folder.pdf/../backup.ncf"),
        sample_},
       2, "is the backup file"},
      {{"read", "--port", "COM9", "--trace", out, dir_.File("./out.ncf")}, 2, "is the output file"},
      {{"read", "--port", "COM9", "--trace", fifo, out}, 1, "not a regular file"},
      // The report: its output by its suffix, never the input, written whole or not at all.
      {{"--lang", "es", "report", sample_, badSuffix}, 2,
       BilingualText::Format(ExtraText::ReportBadOutput, {badSuffix}).In(Lang::Spanish)},
      {{"report", link, link}, 2, "is the input file"},
      {{"report", sample_, dir_.File("no/such/a.pdf")}, 1, "Cannot write"},
      {{"report", sample_, fifo}, 1, "not a regular file"},
      // Failures name their reason, in the session's language.
      {{"dump", missing}, 1, "File not found"},
      {{"dump", text}, 1, "Is not a valid config file"},
      {{"--lang", "es", "write", "--port", dir_.File("no-such-port"), "--password", "1", sample_}, 1,
       "no-such-port: No hay ningún fichero o directorio con ese nombre"},  // Qt's catalogue
      // check: the first failing field, for the unit's version as a bare number (timers
      // came with 4.4).
      {{"--lang", "es", "check", sample_, "--firmware", "4.3"}, 1, "MacroInicio: "},
      {{"--version"}, 0, "zdl410 " ZDL_VERSION "\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    const ProcessResult r = Cli(row.args);
    EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
    EXPECT_NE((r.out + r.err).find(row.says), std::string::npos) << r.out << r.err;
    EXPECT_EQ(ReadFileBytes(sample_), before);
    EXPECT_EQ(Entries(dir_.Path()), entries);
  }
}

// report: every configured value on the sheet (read back from the PDF), in the language
// asked for only, every text of the record printed literally and escaped in the HTML page;
// the format by the output's suffix in any case, an existing output replaced whole.
TEST_F(CliTest, TheReportShowsEveryValueLiterallyInTheLanguageAskedFor) {
  ConfigurationRecord record = testing::FullRecord();
  record.General.NOMBRE = "<b>&";
  record.Macros[0].MACRO_TEXT = "\xAB</td><script>\xBB";  // «...» in Windows-1252
  record.Digital[5].TEXT = "a&amp;b";
  record.ListaTlf.push_back("600,<i>");
  // A file may hold texts far longer than any box: shown cut, saying how long they are.
  for (DigitalInput& input : record.Digital) input.RST = std::string(100000, '9');
  const std::string ncf = Saved(record, "hostile.ncf"), html = dir_.File("mail.htm");
  const std::pair<const char*, const char*> texts[] = {
      {"<b>&", "&lt;b&gt;&amp;"}, {"«</td><script>»", "«&lt;/td&gt;&lt;script&gt;»"},
      {"a&amp;b", "a&amp;amp;b"}, {"<i>", "&lt;i&gt;"}};
  testing::WriteFileBytes(dir_.File("en.PDF"), "old");
  for (const auto& [lang, option, other] : {std::tuple{Lang::English, "en", Lang::Spanish},
                                            std::tuple{Lang::Spanish, "es", Lang::English}}) {
    const std::string pdf = dir_.File(std::string(option) + ".PDF");
    const ProcessResult run = Cli({"--lang", option, "report", ncf, pdf});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int pages = 0;
    const std::string text = PdfText(pdf, pages);
    std::size_t values = 0;
    for (const Field& field : FieldTable()) {
      const std::string value = Squeezed(field.kind == FieldKind::TextBox ? field.Utf8Text(record) : "");
      if (value.empty()) continue;
      ++values;  // at least its first hundred characters
      EXPECT_NE(text.find(value.substr(0, 100)), std::string::npos) << option << ' ' << field.ObjectName();
    }
    EXPECT_GT(values, 40u);
    for (const Text& entry : record.ListaTlf) {
      EXPECT_NE(text.find(Cp1252ToUtf8(entry.substr(0, entry.find(',')))), std::string::npos) << entry;
    }
    for (const auto& [shown, escaped] : texts) EXPECT_NE(text.find(shown), std::string::npos) << shown;
    EXPECT_NE(text.find(Squeezed(BilingualText::Format(ExtraText::ReportTextCut, {"100000"}).In(lang))),
              std::string::npos);
    // In the language asked for only, its disabled items shown as such, on a few pages.
    EXPECT_NE(text.find(Squeezed(std::string(ExtraTextIn(lang, ExtraText::ReportTitle)))),
              std::string::npos);
    EXPECT_EQ(text.find(Squeezed(std::string(ExtraTextIn(other, ExtraText::ReportTitle)))),
              std::string::npos);
    EXPECT_NE(text.find(Squeezed(std::string(LangText(lang, TextId::Disabled)))), std::string::npos);
    EXPECT_GT(pages, 1) << option;
    EXPECT_LT(pages, 20) << option;  // not hundreds
  }
  // No markup of the record's, and a page of its own: nothing fetched from elsewhere.
  ASSERT_EQ(Cli({"report", ncf, html}).exitCode, 0);
  const std::string page = ReadFileBytes(html);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  for (const auto& [shown, escaped] : texts) EXPECT_NE(page.find(escaped), std::string::npos) << escaped;
  for (const char* absent : {"<script", "<i>", "src=", "href="}) {
    EXPECT_EQ(page.find(absent), std::string::npos) << absent;
  }
}

// dump prints every key in the writer's order in UTF-8, convert keeps a keyed file byte for
// byte, lines prints the write's sequence as built (in UTF-8). A text that
// may not go out loads, shows escaped in dump (every other line as before), and check and
// lines refuse it naming its key, lines without printing a line at all.
TEST_F(CliTest, OfflineCommandsShowWhatTheCoreMakesAndRefuseWhatMayNotGoOut) {
  std::string usual;
  for (const KeyedValue& v : KeyedValues(testing::FullRecord())) {
    usual += v.section + "." + v.key + "=" + Cp1252ToUtf8(v.value) + "\n";
  }
  EXPECT_EQ(Cli({"dump", sample_}).out, usual);

  const std::string copy = dir_.File("copy.ncf");
  ASSERT_EQ(Cli({"convert", sample_, copy}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(sample_));

  std::string plain;
  for (const CommandLine& line : AllLines(BuildWriteSequence(testing::FullRecord()))) {
    plain += Cp1252ToUtf8(line.text) + "\n";
  }
  EXPECT_EQ(Cli({"lines", sample_}).out, plain);

  const std::string name = "General.NOMBRE=Dep\xC3\xB3sito n\xC2\xBA 3 \xE2\x82\xAC\n";
  ASSERT_NE(usual.find(name), std::string::npos);
  const struct {
    std::string bytes, shown;
  } rows[] = {
      {"Granja\r#63;03", "General.NOMBRE=Granja\\r#63;03\n"},
      {std::string("a\\b\t\0\x7F\xE9", 7), "General.NOMBRE=a\\\\b\\t\\x00\\x7F\xC3\xA9\n"},
      {"C:\\unidad", "General.NOMBRE=C:\\unidad\n"},
  };
  for (const auto& row : rows) {
    std::string expected = usual;
    expected.replace(expected.find(name), name.size(), row.shown);
    EXPECT_EQ(Cli({"dump", WithName(row.bytes, "odd.ncf")}).out, expected) << row.shown;
  }
  const std::string file = WithName("Granja\r#63;03", "hostile.ncf");
  const ProcessResult checked = Cli({"check", file});
  EXPECT_EQ(checked.exitCode, 1);
  EXPECT_EQ(checked.out.rfind("General.NOMBRE: ", 0), 0u) << checked.out;
  const ProcessResult lines = Cli({"lines", "--framed", file});
  EXPECT_EQ(lines.exitCode, 1);
  EXPECT_EQ(lines.out, "");
  EXPECT_EQ(lines.err, checked.out);
}

// The one path through a unit: through a modem, with a trace, write with backup and verify,
// then read back with the password from the environment.
TEST_F(CliTest, WriteAndReadBackThroughTheUnit) {
  ConfigurationRecord next = testing::FullRecord();
  next.General.NOMBRE = "Nueva";
  next.General.NORMAL = "30";  // kept as " 30": the verify compares with what the unit keeps
  const std::string nextFile = Saved(next, "next.ncf");
  const std::string port = StartUnit({"--modem", "--config", sample_});
  const std::string trace = dir_.File("trace.log"), backup = dir_.File("backup.ncf");
  const ProcessResult written = Cli({"write", "--password", "1234", "--trace", trace, "--backup", backup,
                                     "--verify", "--port", port, "--modem", "600111222", nextFile});
  ASSERT_EQ(written.exitCode, 0) << written.err;
  EXPECT_NE(written.out.find("backup.ncf"), std::string::npos) << written.out;
  EXPECT_EQ(Cli({"diff", backup, sample_}).exitCode, 0);
  const std::string log = ReadFileBytes(trace);
  EXPECT_NE(log.find("ATD600111222"), std::string::npos);
  EXPECT_NE(log.find("-> #**;11****<CR>"), std::string::npos) << log;  // the password masked
  EXPECT_EQ(log.find("1234"), std::string::npos);

  setenv("ZDL410_PASSWORD", "1234", 1);  // out of sight of other users
  const std::string back = dir_.File("back.ncf");
  const ProcessResult read = Cli({"read", "--port", port, "--modem", "600111222", back});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  ConfigurationRecord kept;
  ASSERT_TRUE(LoadConfigFile(back, kept).loaded());
  EXPECT_EQ(kept, AsTheUnitKeepsIt(next));
  unsetenv("ZDL410_PASSWORD");
}

// On a terminal a failed start shows the progress and then the reason, each once.
TEST_F(CliTest, AFailedStartOnATerminalSaysWhyOnce) {
  const std::string noAnswer = StartUnit({"--modem", "--dial-reply", "NO ANSWER"});
  const ProcessResult printed = OnTerminal(
      {"read", "--port", noAnswer, "--modem", "555", "--password", "1", dir_.File("o.ncf")});
  EXPECT_EQ(printed.out, "Calling...\r\nNo answer\r\n");
}

// Ctrl-C once the unit has taken "#01LDDEF" (the progress has moved): the write stops
// without "#03" and says, in the session's language, that the unit must be written again.
TEST_F(CliTest, AnInterruptEndsTheCommandWithItsReason) {
  const std::string port = StartUnit({"--paced"});
  const std::string trace = dir_.File("stopped.log");
  const ProcessResult write =
      OnTerminal({"--lang", "es", "write", "--port", port, "--trace", trace, sample_}, "] 1/");
  EXPECT_EQ(write.exitCode, 1) << write.out;
  EXPECT_NE(write.out.find("configuración incompleta y debe escribirse de nuevo"), std::string::npos)
      << write.out;
  EXPECT_EQ(write.out.find("Error de comunicación"), std::string::npos) << write.out;
  EXPECT_NE(ReadFileBytes(trace).find(";01LDDEF"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(trace).find("-> " + FrameCommand("#03")), std::string::npos);
}

}  // namespace
}  // namespace zdl
