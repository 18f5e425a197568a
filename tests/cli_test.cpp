// The zdl410 command line as an installer runs it: offline commands on files, and read and
// write against the simulated unit on a real pseudo-terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "configfile/config_file.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"

namespace zdl {
namespace {

using testing::BackgroundProcess;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

// The per-user settings the command line sees: a folder of the tests' own, so the
// language stored on the machine running the tests plays no part.
const TempDir& SettingsHome() {
  static const TempDir home;
  return home;
}

ProcessResult Cli(std::vector<std::string> args) {
  setenv("XDG_CONFIG_HOME", SettingsHome().Path().c_str(), 1);
  args.insert(args.begin(), ZDL_CLI_PATH);
  return RunProcess(args);
}

// Runs the command line on a terminal of its own (stdout and stderr a pseudo-terminal)
// and returns all it printed there, with the terminal's CR LF line ends.
std::string CliOnTerminal(std::vector<std::string> args) {
  setenv("XDG_CONFIG_HOME", SettingsHome().Path().c_str(), 1);
  args.insert(args.begin(), ZDL_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string printed;
  char buffer[4096];
  ssize_t n = 0;
  while (pid > 0 && (n = read(master, buffer, sizeof buffer)) > 0) {
    printed.append(buffer, static_cast<std::size_t>(n));
  }
  if (pid > 0) waitpid(pid, nullptr, 0);
  if (master >= 0) close(master);
  return printed;
}

std::size_t Occurrences(const std::string& text, const std::string& word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

class CliFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SaveConfigFile(Sample(), testing::FullRecord()).ok);
  }
  std::string Sample() const { return dir_.File("sample.ncf"); }
  std::string Saved(const ConfigurationRecord& record, const std::string& name) const {
    std::string path = dir_.File(name);
    EXPECT_TRUE(SaveConfigFile(path, record).ok);
    return path;
  }
  TempDir dir_;
};

TEST_F(CliFiles, DumpPrintsEveryKeyInTheWritersOrderInUtf8) {
  ProcessResult r = Cli({"dump", Sample()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("General.VERSION=ZDL410\nGeneral.NOMBRE=Depósito nº 3 €\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nDigital.PVAL0= 5\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nMacros.MACRO_TEXT 10=Macro 11\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nTelefonos.TLF3=\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nTimer.MACRO7= 0\n"), std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.size() - 16), "Timer.MACRO7= 0\n");
}

TEST_F(CliFiles, ConvertKeepsAKeyedFileUnchanged) {
  std::string out = dir_.File("copy.ncf");
  ProcessResult converted = Cli({"convert", Sample(), out});
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_EQ(Cli({"dump", out}).out, Cli({"dump", Sample()}).out);
  EXPECT_EQ(testing::ReadFileBytes(out), testing::ReadFileBytes(Sample()));
}

TEST_F(CliFiles, FailedLoadsSayWhyAndFail) {
  ProcessResult missing = Cli({"dump", dir_.File("nothing.ncf")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("File not found"), std::string::npos) << missing.err;
  EXPECT_TRUE(missing.out.empty());

  ProcessResult spanish = Cli({"--lang", "es", "dump", dir_.File("nothing.ncf")});
  EXPECT_NE(spanish.err.find("El fichero no existe"), std::string::npos) << spanish.err;

  std::string text = dir_.File("text.ncf");
  testing::WriteFileBytes(text, "[General]\r\nNOMBRE=x\r\n");
  ProcessResult notConfig = Cli({"dump", text});
  EXPECT_EQ(notConfig.exitCode, 1);
  EXPECT_NE(notConfig.err.find("Is not a valid config file or an older version."), std::string::npos);

  std::string out = dir_.File("never.ncf");
  EXPECT_EQ(Cli({"convert", text, out}).exitCode, 1);
  EXPECT_TRUE(testing::ReadFileBytes(out).empty());
}

TEST_F(CliFiles, LinesPrintsTheWriteSequence) {
  ConfigurationRecord r;
  r.SetDigitalNC(0, true);
  r.SetDigitalHabil(0, true);
  r.Digital[0].TEXT = "Fallo UPS";
  r.Digital[0].RING = true;
  r.Digital[0].PERSIST = true;
  r.Digital[0].PVAL = "5";
  r.Digital[0].MACRO_TRUE = 3;
  ProcessResult lines = Cli({"lines", Saved(r, "ups.ncf")});
  ASSERT_EQ(lines.exitCode, 0) << lines.err;
  EXPECT_EQ(lines.out.rfind("#01LDDEF\n#01+ALM0=\"Fallo UPS\",NC,RING,P= 50,MACROT= 3\n#01ID=\n", 0), 0u)
      << lines.out;
  EXPECT_EQ(lines.out.substr(lines.out.size() - 4), "#03\n");

  ProcessResult framed = Cli({"lines", "--framed", Saved(r, "ups.ncf")});
  EXPECT_EQ(framed.out.rfind("#C0;01LDDEF\n", 0), 0u) << framed.out;
  EXPECT_EQ(framed.out.substr(framed.out.size() - 7), "#63;03\n");
}

TEST_F(CliFiles, CheckNamesTheFirstFailingFieldOrAsksForConfirmation) {
  ConfigurationRecord r = testing::FullRecord();
  r.SetTimerHabil(3, true);
  r.Timers[3].Days[LUNES] = true;
  r.Timers[3].VP = "30001";
  ProcessResult failed = Cli({"check", Saved(r, "vp.ncf")});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.out, "VPBox[3]: Out of range, set a value under 30000\n");

  ProcessResult old = Cli({"--lang", "es", "check", Saved(r, "vp.ncf"), "--firmware", "4.3"});
  EXPECT_EQ(old.exitCode, 1);
  EXPECT_EQ(old.out, "MacroInicio: El Firmware4.3 no soporta las funciones de temporizador\n");
  // The version as the unit shows it, or a bare number: the same rule as a connection's.
  for (const char* firmware : {"ZDL410 v5.01", "5.01", "ZDL410 V4.2b"}) {
    ProcessResult timers = Cli({"check", Saved(r, "vp.ncf"), "--firmware", firmware});
    EXPECT_EQ(timers.out, std::string(firmware) == "ZDL410 V4.2b"
                              ? "MacroInicio: FirmwareZDL410 V4.2b don't support Timers\n"
                              : "VPBox[3]: Out of range, set a value under 30000\n")
        << firmware;
  }

  ConfigurationRecord logger = testing::FullRecord();
  ProcessResult noLogger = Cli({"check", Saved(logger, "log.ncf"), "--no-datalogger"});
  EXPECT_EQ(noLogger.out, "LogTime: Datalogger functions disabled by Firmware\n");

  ConfigurationRecord renvn = testing::FullRecord();
  renvn.General.RENVN = "21";
  EXPECT_EQ(Cli({"check", Saved(renvn, "renvn.ncf")}).out,
            "RENVN: Out of range, set a value under 20\n");

  ConfigurationRecord noPriority = testing::FullRecord();
  noPriority.ListaTlf = {"600,PRV2"};
  ProcessResult ask = Cli({"check", Saved(noPriority, "noprio.ncf")});
  EXPECT_EQ(ask.exitCode, 0);
  EXPECT_EQ(ask.out,
            "There isn't no prioritary number, alarms won't be notified.\n"
            "Do you really want to load this configuration?\n");

  EXPECT_EQ(Cli({"check", Sample()}).exitCode, 0);
}

TEST(CliLanguage, TheStoredLanguageIsTheDefault) {
  const std::string settings = SettingsHome().File("Norvik_config.conf");
  testing::WriteFileBytes(settings, "[Idioma]\nIdioma=101\n");
  ProcessResult spanish = Cli({"dump", "/nonexistent/x.ncf"});
  testing::WriteFileBytes(settings, "[Idioma]\nIdioma=7\n");  // damaged: no language chosen
  ProcessResult english = Cli({"dump", "/nonexistent/x.ncf"});
  std::remove(settings.c_str());
  EXPECT_NE(spanish.err.find("El fichero no existe"), std::string::npos) << spanish.err;
  EXPECT_NE(english.err.find("File not found"), std::string::npos) << english.err;
}

TEST(CliUsage, BadUsageExitsTwo) {
  EXPECT_EQ(Cli({}).exitCode, 2);
  EXPECT_EQ(Cli({"frobnicate"}).exitCode, 2);
  EXPECT_EQ(Cli({"dump"}).exitCode, 2);
  EXPECT_EQ(Cli({"dump", "a", "b"}).exitCode, 2);
  EXPECT_EQ(Cli({"--lang", "fr", "dump", "a"}).exitCode, 2);
  EXPECT_EQ(Cli({"lines", "--bogus", "a"}).exitCode, 2);
  EXPECT_EQ(Cli({"read", "out.ncf"}).exitCode, 2);
  EXPECT_EQ(Cli({"--help"}).exitCode, 0);
}

// A simulated unit on a pseudo-terminal, reachable at a link in a temporary directory.
class Unit {
 public:
  explicit Unit(const TempDir& dir, std::vector<std::string> options = {})
      : link_(dir.File("unit-" + std::to_string(++count_))) {
    std::vector<std::string> argv = {ZDL_SIM_PATH, "--link", link_};
    argv.insert(argv.end(), options.begin(), options.end());
    process_ = std::make_unique<BackgroundProcess>(argv);
  }
  const std::string& Port() const { return link_; }
  bool Started() const { return !process_->FirstLine().empty(); }

 private:
  static inline int count_ = 0;
  std::string link_;
  std::unique_ptr<BackgroundProcess> process_;
};

class CliUnit : public CliFiles {};

TEST_F(CliUnit, WriteThenReadGivesTheSameFile) {
  Unit unit(dir_);
  ASSERT_TRUE(unit.Started());
  ProcessResult written = Cli({"write", "--port", unit.Port(), "--password", "1234", Sample()});
  ASSERT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out, "Configuration successfully upgraded.\n");

  std::string back = dir_.File("back.ncf");
  ProcessResult read = Cli({"read", "--port", unit.Port(), "--password", "1234", back});
  ASSERT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(read.out, "Configuration successfully read.\n");
  EXPECT_EQ(Cli({"dump", back}).out, Cli({"dump", Sample()}).out);
}

TEST_F(CliUnit, ThroughTheModemWithATrace) {
  Unit unit(dir_, {"--modem"});
  ASSERT_TRUE(unit.Started());
  std::string trace = dir_.File("trace.log");
  ProcessResult written = Cli({"--lang", "es", "write", "--port", unit.Port(), "--modem", "600111222",
                               "--password", "1234", "--trace", trace, Sample()});
  ASSERT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out, "Configuración actualizada con éxito.\n");
  std::string log = testing::ReadFileBytes(trace);
  EXPECT_NE(log.find("ATD600111222"), std::string::npos);
  EXPECT_NE(log.find("CONNECT"), std::string::npos);
  EXPECT_NE(log.find("SAVE_OK"), std::string::npos);

  std::string back = dir_.File("back.ncf");
  ProcessResult read =
      Cli({"read", "--port", unit.Port(), "--modem", "600111222", "--password", "1234", back});
  ASSERT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(Cli({"dump", back}).out, Cli({"dump", Sample()}).out);
}

TEST_F(CliUnit, RecoverableFaultsAreRetried) {
  for (std::vector<std::string> fault :
       {std::vector<std::string>{"--bad-checksum", "5"}, {"--garbage"}, {"--drop-record", "200"}}) {
    Unit unit(dir_, fault);
    ASSERT_TRUE(unit.Started());
    ProcessResult written = Cli({"write", "--port", unit.Port(), "--password", "1234", Sample()});
    EXPECT_EQ(written.exitCode, 0) << fault[0] << ": " << written.err;
    std::string back = dir_.File("back.ncf");
    ProcessResult read = Cli({"read", "--port", unit.Port(), "--password", "1234", back});
    EXPECT_EQ(read.exitCode, 0) << fault[0] << ": " << read.err;
    EXPECT_EQ(Cli({"dump", back}).out, Cli({"dump", Sample()}).out) << fault[0];
  }
}

TEST_F(CliUnit, WithoutAPriorityNumberOnlyYesWrites) {
  ConfigurationRecord r = testing::FullRecord();
  r.ListaTlf = {"600,PRV2"};
  std::string file = Saved(r, "noprio.ncf");
  Unit unit(dir_);
  ProcessResult unconfirmed = Cli({"write", "--port", unit.Port(), file});
  EXPECT_EQ(unconfirmed.exitCode, 1);
  EXPECT_NE(unconfirmed.err.find("--yes"), std::string::npos) << unconfirmed.err;

  ProcessResult confirmed = Cli({"write", "--port", unit.Port(), "--yes", file});
  EXPECT_EQ(confirmed.exitCode, 0) << confirmed.err;
  std::string back = dir_.File("back.ncf");
  ASSERT_EQ(Cli({"read", "--port", unit.Port(), back}).exitCode, 0);
  EXPECT_NE(Cli({"dump", back}).out.find("Telefonos.TLF0=600,PRV2\nTelefonos.TLF1=\n"),
            std::string::npos);

  // A field the checks refuse stops the write before anything is sent.
  r.General.RENVT = "61";
  ProcessResult refused = Cli({"write", "--port", unit.Port(), "--yes", Saved(r, "renvt.ncf")});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "RENVT: Out of range, set a value under 60\n");
}

TEST_F(CliUnit, FailuresEndWithTheirMessages) {
  // A direct cable has no login; through the modem the password is asked.
  Unit refusing(dir_, {"--modem", "--refuse-password"});
  ProcessResult refused = Cli({"write", "--port", refusing.Port(), "--modem", "600", "--password",
                               "1234", Sample()});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Bad password"), std::string::npos) << refused.err;

  Unit modem(dir_, {"--modem"});
  ProcessResult wrong = Cli({"read", "--port", modem.Port(), "--modem", "600", "--password", "99",
                             dir_.File("x.ncf")});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_NE(wrong.err.find("Bad password"), std::string::npos) << wrong.err;

  ProcessResult noTerminal = Cli({"read", "--port", modem.Port(), "--modem", "600", dir_.File("x.ncf")});
  EXPECT_EQ(noTerminal.exitCode, 1);
  EXPECT_NE(noTerminal.err.find("--password"), std::string::npos) << noTerminal.err;

  ProcessResult badNumber = Cli({"read", "--port", modem.Port(), "--modem", "600,1", "--password",
                                 "1234", dir_.File("x.ncf")});
  EXPECT_EQ(badNumber.exitCode, 1);
  EXPECT_NE(badNumber.err.find("Enter a valid phone number."), std::string::npos) << badNumber.err;

  // The port's own description, in the session's language (Qt's catalogue).
  ProcessResult noPort = Cli({"read", "--port", dir_.File("no-such-port"), "--password", "1234",
                              dir_.File("x.ncf")});
  EXPECT_EQ(noPort.exitCode, 1);
  EXPECT_NE(noPort.err.find("no-such-port: No such file or directory"), std::string::npos)
      << noPort.err;
  ProcessResult noPortEs = Cli({"--lang", "es", "write", "--port", dir_.File("no-such-port"),
                                "--password", "1234", Sample()});
  EXPECT_EQ(noPortEs.exitCode, 1);
  EXPECT_NE(noPortEs.err.find("no-such-port: No hay ningún fichero o directorio con ese nombre"),
            std::string::npos)
      << noPortEs.err;

  Unit silent(dir_, {"--silent-after", "12"});
  ProcessResult cut = Cli({"write", "--port", silent.Port(), "--password", "1234", Sample()});
  EXPECT_EQ(cut.exitCode, 1);
  EXPECT_NE(cut.err.find("Communication error, check your connections."), std::string::npos) << cut.err;
  EXPECT_EQ(cut.out, "Communication error.\n");
}

// A device that floods the line, and a unit whose record stream never ends: each read
// fails with its message (the flood: no unit found) and saves nothing.
TEST_F(CliUnit, AFloodOrAStreamWithoutEndFailsTheReadAndSavesNothing) {
  const struct {
    std::string fault;
    std::string message;
  } cases[] = {
      {"--flood", "Norvik not found, check your connections."},
      {"--endless-read", "Communication error, check your connections."},
  };
  for (const auto& c : cases) {
    Unit unit(dir_, {c.fault});
    ASSERT_TRUE(unit.Started());
    const std::string out = dir_.File("out.ncf");
    ProcessResult read = Cli({"read", "--port", unit.Port(), "--password", "1234", out});
    EXPECT_EQ(read.exitCode, 1) << c.fault;
    EXPECT_NE(read.err.find(c.message), std::string::npos) << c.fault << ": " << read.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.fault;
  }
}

// Run from a script (no terminal), a failed dial still says why, once.
TEST_F(CliUnit, EveryDialOutcomeIsNamedWithoutATerminal) {
  struct Row {
    std::vector<std::string> modem;
    std::string lang;
    std::string reason;
  };
  const Row rows[] = {
      {{"--dial-reply", "BUSY"}, "en", "Busy"},
      {{"--dial-reply", "NO ANSWER"}, "en", "No answer"},
      {{"--dial-reply", "NO CARRIER"}, "en", "No carrier"},
      {{"--dial-reply", "NO DIALTONE"}, "en", "No dialtone"},
      {{"--dial-reply", "ERROR"}, "en", "Error"},
      {{"--modem-mute"}, "en", "Communication error."},
      {{"--dial-reply", "BUSY"}, "es", "Comunica"},
      {{"--dial-reply", "NO DIALTONE"}, "es", "Sin tono de marcado"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> options = {"--modem"};
    options.insert(options.end(), row.modem.begin(), row.modem.end());
    Unit unit(dir_, options);
    ASSERT_TRUE(unit.Started());
    ProcessResult read = Cli({"--lang", row.lang, "read", "--port", unit.Port(), "--modem", "5551234",
                              "--password", "4321", dir_.File("out.ncf")});
    EXPECT_EQ(read.exitCode, 1) << row.reason;
    EXPECT_EQ(read.err, row.reason + "\n") << row.modem.back();
    EXPECT_TRUE(read.out.empty()) << read.out;
  }
}

// On a terminal the status shows the progress and the reason, each once.
TEST_F(CliUnit, OnATerminalEveryReasonShowsOnce) {
  Unit refusing(dir_, {"--modem", "--refuse-password"});
  const std::string refused = CliOnTerminal(
      {"read", "--port", refusing.Port(), "--modem", "555", "--password", "1", dir_.File("o.ncf")});
  EXPECT_EQ(Occurrences(refused, "Calling..."), 1u) << refused;
  EXPECT_EQ(Occurrences(refused, "Bad password"), 1u) << refused;
  Unit noAnswer(dir_, {"--modem", "--dial-reply", "NO ANSWER"});
  const std::string unanswered = CliOnTerminal(
      {"read", "--port", noAnswer.Port(), "--modem", "555", "--password", "1", dir_.File("o.ncf")});
  EXPECT_EQ(unanswered, "Calling...\r\nNo answer\r\n");

  Unit busy(dir_, {"--modem", "--dial-reply", "BUSY"});
  ProcessResult written =
      Cli({"write", "--port", busy.Port(), "--modem", "555", "--password", "1", Sample()});
  EXPECT_EQ(written.exitCode, 1);
  EXPECT_EQ(written.err, "Busy\n");
}

}  // namespace
}  // namespace zdl
