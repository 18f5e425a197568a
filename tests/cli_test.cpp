// The zdl410 command line as an installer runs it: offline commands on files, and read and
// write against the simulated unit on a real pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "configfile/config_file.h"
#include "link/serial_line.h"
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

// A trace that would overwrite a file of the command is refused before anything is
// opened (no port is needed: the refusal comes first), whatever spelling names the file;
// a trace that is not a regular file is refused without blocking.
TEST_F(CliFiles, ATraceNeverReplacesAFileOfTheCommand) {
  const std::string input = Sample(), sameInput = dir_.File("sub/../sample.ncf");
  const std::string out = dir_.File("out.ncf"), backup = dir_.File("backup.ncf");
  const std::string hex = dir_.File("fw.hex"), fifo = dir_.File("fifo.log");
  testing::WriteFileBytes(hex, ":00000001FF\r\n");
  std::filesystem::create_directory(dir_.File("sub"));
  std::filesystem::create_symlink(input, dir_.File("link.ncf"));
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string before = testing::ReadFileBytes(input);
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* says;
  } rows[] = {
      {{"write", "--port", "COM9", "--trace", sameInput, input}, 2, "is the input file"},
      {{"write", "--port", "COM9", "--backup", backup, "--trace", dir_.File("sub/../backup.ncf"),
        input},
       2, "is the backup file"},
      {{"read", "--port", "COM9", "--trace", out, dir_.File("./out.ncf")}, 2,
       "is the output file"},
      {{"--lang", "es", "diff", input, "--port", "COM9", "--trace", dir_.File("link.ncf")}, 2,
       "es el fichero de entrada"},
      {{"flash", "--port", "COM9", "--trace", hex, hex}, 2, "is the input file"},
      {{"read", "--port", "COM9", "--trace", fifo, out}, 1, "not a regular file"},
  };
  for (const auto& row : rows) {
    const ProcessResult r = Cli(row.args);
    EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
    EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
    EXPECT_EQ(testing::ReadFileBytes(input), before);
    EXPECT_EQ(testing::ReadFileBytes(hex), ":00000001FF\r\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(backup));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  }
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

  // A version number that is no sane version is a usage error.
  for (const char* firmware : {"1e39", "ZDL410 v9E99", "-1"}) {
    ProcessResult insane = Cli({"check", Saved(r, "vp.ncf"), "--firmware", firmware});
    EXPECT_EQ(insane.exitCode, 2) << firmware;
    EXPECT_NE(insane.err.find("--firmware"), std::string::npos) << firmware;
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

// The sample file with the value of NOMBRE replaced by `value` as raw bytes: a file such
// as another program or a hostile sender could make (the save never writes a line break).
std::string WithName(const std::string& sample, const std::string& value, const std::string& path) {
  std::string bytes = testing::ReadFileBytes(sample);
  const std::size_t start = bytes.find("\nNOMBRE=") + 8;
  bytes.replace(start, bytes.find("\r\n", start) - start, value);
  testing::WriteFileBytes(path, bytes);
  return path;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

constexpr const char* kInjectedName = "Granja\r#63;03";
constexpr const char* kInjectedRefusal =
    "General.NOMBRE: The text of key NOMBRE in section [General] holds a control character "
    "(code 13), which cannot be sent to the unit.\n";

TEST_F(CliFiles, ATextThatMayNotGoOutLoadsShowsEscapedAndIsRefused) {
  const std::string file = WithName(Sample(), kInjectedName, dir_.File("injected.ncf"));
  // dump shows it escaped, and every other line as before.
  ProcessResult dumped = Cli({"dump", file});
  ASSERT_EQ(dumped.exitCode, 0) << dumped.err;
  const std::vector<std::string> hostile = LinesOf(dumped.out);
  const std::vector<std::string> usual = LinesOf(Cli({"dump", Sample()}).out);
  ASSERT_EQ(hostile.size(), usual.size());
  for (std::size_t i = 0; i < usual.size(); ++i) {
    EXPECT_EQ(hostile[i], usual[i].starts_with("General.NOMBRE=") ? "General.NOMBRE=Granja\\r#63;03"
                                                                  : usual[i]);
  }
  const std::string odd = WithName(Sample(), std::string("a\\b\t\0\x7F\xE9", 7), dir_.File("odd.ncf"));
  EXPECT_NE(Cli({"dump", odd}).out.find("\nGeneral.NOMBRE=a\\\\b\\t\\x00\\x7F\xC3\xA9\n"),
            std::string::npos);
  const std::string slash = WithName(Sample(), "C:\\unidad", dir_.File("slash.ncf"));
  EXPECT_NE(Cli({"dump", slash}).out.find("\nGeneral.NOMBRE=C:\\unidad\n"), std::string::npos);

  // check and lines refuse it, naming its key, and lines prints no line at all.
  ProcessResult checked = Cli({"check", file});
  EXPECT_EQ(checked.exitCode, 1);
  EXPECT_EQ(checked.out, kInjectedRefusal);
  ProcessResult lines = Cli({"lines", "--framed", file});
  EXPECT_EQ(lines.exitCode, 1);
  EXPECT_EQ(lines.out, "");
  EXPECT_EQ(lines.err, kInjectedRefusal);
  ProcessResult spanish = Cli({"--lang", "es", "check", file});
  EXPECT_EQ(spanish.out,
            "General.NOMBRE: El texto de la clave NOMBRE de la sección [General] tiene un carácter "
            "de control (código 13), que no se puede enviar al equipo.\n");

  const std::string longName =
      WithName(Sample(), std::string(5000, 'x'), dir_.File("long.ncf"));
  EXPECT_EQ(Cli({"check", longName}).out,
            "General.NOMBRE: The text of key NOMBRE in section [General] has 5000 characters; it "
            "may have at most 50.\n");
  EXPECT_EQ(Cli({"lines", longName}).exitCode, 1);
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

// --version names the program and the version the build was given, not the unit's.
TEST(CliUsage, VersionPrintsTheProgramsVersion) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"}, {"--lang", "es", "--version"}}) {
    const ProcessResult version = Cli(args);
    EXPECT_EQ(version.exitCode, 0) << args.size();
    EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "zdl410 " ZDL_VERSION);
  }
  EXPECT_NE(Cli({"--help"}).out.find("--version"), std::string::npos);
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
  // The password is masked, and the trace is its owner's alone.
  EXPECT_NE(log.find("-> #**;11****<CR>"), std::string::npos) << log;
  EXPECT_EQ(log.find("1234"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(trace.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // The password from the environment, out of sight of other users.
  std::string back = dir_.File("back.ncf");
  setenv("ZDL410_PASSWORD", "1234", 1);
  ProcessResult read = Cli({"read", "--port", unit.Port(), "--modem", "600111222", back});
  unsetenv("ZDL410_PASSWORD");
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

// A file whose name would smuggle "#03" into the unit: the check before the write refuses
// it, and the unit gets no configuration line at all (the trace shows every byte sent).
TEST_F(CliUnit, ATextThatMayNotGoOutReachesNoLineOfTheUnit) {
  Unit unit(dir_);
  ASSERT_TRUE(unit.Started());
  const std::string trace = dir_.File("trace.log");
  ProcessResult written =
      Cli({"write", "--port", unit.Port(), "--yes", "--trace", trace,
           WithName(Sample(), kInjectedName, dir_.File("injected.ncf"))});
  EXPECT_EQ(written.exitCode, 1);
  EXPECT_EQ(written.err, kInjectedRefusal);
  int sent = 0;
  for (const std::string& line : LinesOf(testing::ReadFileBytes(trace))) {
    if (line.find(" -> #") == std::string::npos) continue;
    ++sent;
    // A framed line is "#", its checksum, ";" and the command: "01..." and "03" configure.
    const std::string command = line.substr(line.find(" -> #") + 8);
    EXPECT_FALSE(command.starts_with("01") || command.starts_with("03")) << line;
  }
  EXPECT_GT(sent, 0);  // the connection start did talk to the unit
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

// Runs the command line against a far end the test holds (the master side of a
// pseudo-terminal; "PORT" in `args` names its device), closes that end as soon as the
// command has written to it, and returns what the command printed on stderr.
std::string CliWhoseFarEndCloses(std::vector<std::string> args) {
  setenv("XDG_CONFIG_HOME", SettingsHome().Path().c_str(), 1);
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char name[128] = {};
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
      ptsname_r(master, name, sizeof name) != 0) {
    return "no pseudo-terminal";
  }
  for (std::string& a : args) {
    if (a == "PORT") a = name;
  }
  args.insert(args.begin(), ZDL_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int err[2] = {-1, -1};
  if (pipe2(err, O_CLOEXEC) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();  // no terminal to ask on
    const int none = open("/dev/null", O_RDWR);
    dup2(none, 0);
    dup2(none, 1);
    dup2(err[1], 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(err[1]);
  pollfd written{master, POLLIN, 0};
  char buffer[256];
  if (poll(&written, 1, 10000) > 0) (void)!read(master, buffer, sizeof buffer);
  close(master);
  std::string printed;
  testing::ReadUntilClosed(err[0], printed, 20000);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return printed;
}

// The port adapter's own reasons are worded in the session's language where they are
// shown, as Qt's catalogue words the system's.
TEST_F(CliFiles, APortThatFailsSaysSoInTheSessionsLanguage) {
  const std::string spanish = CliWhoseFarEndCloses(
      {"--lang", "es", "read", "--port", "PORT", "--password", "1", dir_.File("x.ncf")});
  EXPECT_NE(spanish.find(": la lectura ha fallado: el dispositivo se ha retirado o su otro "
                         "extremo se ha cerrado\n"),
            std::string::npos)
      << spanish;
  const std::string english = CliWhoseFarEndCloses(
      {"--lang", "en", "read", "--port", "PORT", "--password", "1", dir_.File("x.ncf")});
  EXPECT_NE(english.find(": reading failed: "), std::string::npos) << english;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x.ncf")));
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

// Ctrl-C once the unit has taken "#01LDDEF": the write stops without "#03" and says, in
// the session's language, that the unit must be written again.
TEST_F(CliUnit, AnInterruptAfterTheFirstLineWarnsThatTheUnitIsIncomplete) {
  Unit unit(dir_, {"--paced"});
  ASSERT_TRUE(unit.Started());
  const std::string trace = dir_.File("stopped.log");
  const std::string out = dir_.File("stopped.out");
  // Every change of a file in the folder (the trace among them) wakes the wait below.
  const int watch = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, dir_.Path().c_str(), IN_MODIFY | IN_CREATE), 0);
  int err[2];
  ASSERT_EQ(pipe(err), 0);
  setenv("XDG_CONFIG_HOME", SettingsHome().Path().c_str(), 1);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(err[1], 2);
    execl(ZDL_CLI_PATH, ZDL_CLI_PATH, "--lang", "es", "write", "--port", unit.Port().c_str(), "--password",
          "1234", "--trace", trace.c_str(), Sample().c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(err[1]);
  // The trace is written line by line: wait (on inotify, with a deadline) until the unit
  // has answered "#01LDDEF".
  auto lddefTaken = [&] {
    const std::string log = testing::ReadFileBytes(trace);
    const std::size_t sent = log.find(";01LDDEF");
    return sent != std::string::npos && log.find("PARSE_OK", sent) != std::string::npos;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!lddefTaken() && std::chrono::steady_clock::now() < deadline) {
    pollfd changed{watch, POLLIN, 0};
    if (poll(&changed, 1, 1000) > 0) {
      char events[4096];
      if (read(watch, events, sizeof events) < 0) break;
    }
  }
  close(watch);
  ASSERT_TRUE(lddefTaken()) << testing::ReadFileBytes(trace);
  kill(pid, SIGINT);
  std::string text;
  testing::ReadUntilClosed(err[0], text);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << text;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(text.find("configuración incompleta y debe escribirse de nuevo"), std::string::npos) << text;
  EXPECT_EQ(text.find("Error de comunicación"), std::string::npos) << text;
  EXPECT_EQ(testing::ReadFileBytes(out), "Escritura detenida: el equipo tiene una configuración incompleta.\n");
  const std::string log = testing::ReadFileBytes(trace);
  EXPECT_EQ(log.find("-> " + FrameCommand("#03")), std::string::npos) << log;
}

}  // namespace
}  // namespace zdl
