// zdl410 diff between files and against a unit, and write --backup and --verify against
// the simulated unit on a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "configfile/config_file.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"

namespace zdl {
namespace {

using testing::BackgroundProcess;
using testing::ProcessResult;
using testing::TempDir;

const TempDir& SettingsHome() {
  static const TempDir home;
  return home;
}

ProcessResult Cli(std::vector<std::string> args) {
  setenv("XDG_CONFIG_HOME", SettingsHome().Path().c_str(), 1);
  args.insert(args.begin(), ZDL_CLI_PATH);
  return testing::RunProcess(args);
}

class CompareCli : public ::testing::Test {
 protected:
  std::string Saved(const ConfigurationRecord& record, const std::string& name) const {
    std::string path = dir_.File(name);
    EXPECT_TRUE(SaveConfigFile(path, record).ok);
    return path;
  }
  // A simulated unit started from `config`, with its options.
  std::unique_ptr<BackgroundProcess> Unit(const std::string& config,
                                          std::vector<std::string> options = {}) {
    port_ = dir_.File("unit-" + std::to_string(++units_));
    std::vector<std::string> argv = {ZDL_SIM_PATH, "--link", port_, "--config", config};
    argv.insert(argv.end(), options.begin(), options.end());
    auto unit = std::make_unique<BackgroundProcess>(argv);
    EXPECT_FALSE(unit->FirstLine().empty());
    return unit;
  }
  const std::string& Port() const { return port_; }

  TempDir dir_;
  std::string port_;
  int units_ = 0;
};

TEST_F(CompareCli, DiffOfTwoFilesPrintsTheDifferingKeysAndExitsAsDiffDoes) {
  const ConfigurationRecord a = testing::FullRecord();
  ConfigurationRecord b = a;
  b.General.NOMBRE = "Caseta \"Norte\"";
  b.Digital[4].CVAL = "";
  b.Timers[0].MACRO = 0;
  const std::string fileA = Saved(a, "a.ncf");
  const std::string fileB = Saved(b, "b.ncf");

  ProcessResult same = Cli({"diff", fileA, Saved(a, "copy.ncf")});
  EXPECT_EQ(same.exitCode, 0) << same.err;
  EXPECT_EQ(same.out, "");

  ProcessResult differ = Cli({"diff", fileA, fileB});
  EXPECT_EQ(differ.exitCode, 1) << differ.err;
  EXPECT_EQ(differ.out,
            "General.NOMBRE: \"Depósito nº 3 €\" -> \"Caseta \"Norte\"\"\n"
            "Digital.CVAL4: \"10\" -> \"\"\n"
            "Timer.MACRO0: \" 9\" -> \" 0\"\n");

  // A value holding a control byte cannot break or hide a line of the listing.
  b.General.NOMBRE = "Granja\x01\t#03";
  ProcessResult hostile = Cli({"diff", fileA, Saved(b, "hostile.ncf")});
  EXPECT_EQ(hostile.out.substr(0, hostile.out.find('\n') + 1),
            "General.NOMBRE: \"Depósito nº 3 €\" -> \"Granja\\x01\\t#03\"\n");

  ProcessResult missing = Cli({"diff", fileA, dir_.File("none.ncf")});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("File not found"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "");

  std::string text = dir_.File("text.ncf");
  testing::WriteFileBytes(text, "[General]\r\nNOMBRE=x\r\n");
  EXPECT_EQ(Cli({"diff", text, fileA}).exitCode, 2);
  EXPECT_EQ(Cli({"diff", fileA}).exitCode, 2);
  EXPECT_EQ(Cli({"diff", fileA, fileB, fileB}).exitCode, 2);
  EXPECT_EQ(Cli({"diff", "--bogus", fileA, fileB}).exitCode, 2);
  EXPECT_EQ(Cli({"diff", fileA, "--port"}).exitCode, 2);
}

TEST_F(CompareCli, DiffWithTheUnitShowsWhatAWriteWouldChange) {
  const std::string sample = Saved(testing::FullRecord(), "sample.ncf");
  auto unit = Unit(sample);
  ProcessResult same = Cli({"diff", sample, "--port", Port()});
  EXPECT_EQ(same.exitCode, 0) << same.err;
  EXPECT_EQ(same.out, "");

  // A persistence of exactly 1 s is no persistence on the unit: not a difference. A new
  // name is.
  ConfigurationRecord changed = testing::FullRecord();
  changed.General.NOMBRE = "Nave";
  changed.Digital[1].PERSIST = true;
  changed.Digital[1].PVAL = "1";
  ProcessResult differ = Cli({"diff", Saved(changed, "changed.ncf"), "--port", Port()});
  EXPECT_EQ(differ.exitCode, 1) << differ.err;
  EXPECT_EQ(differ.out, "General.NOMBRE: \"Nave\" -> \"Depósito nº 3 €\"\n");

  ProcessResult noUnit = Cli({"diff", sample, "--port", dir_.File("no-such-port")});
  EXPECT_EQ(noUnit.exitCode, 2);
}

TEST_F(CompareCli, WriteWithBackupSavesTheUnitsConfigurationFirst) {
  const std::string before = Saved(testing::FullRecord(), "before.ncf");
  ConfigurationRecord next = testing::FullRecord();
  next.General.NOMBRE = "Nueva";
  const std::string nextFile = Saved(next, "next.ncf");
  auto unit = Unit(before);
  const std::string backup = dir_.File("backup.ncf");
  ProcessResult written = Cli({"write", "--port", Port(), "--backup", backup, nextFile});
  ASSERT_EQ(written.exitCode, 0) << written.err;
  EXPECT_NE(written.out.find("backup.ncf"), std::string::npos) << written.out;
  struct stat st {};  // the unit's numbers and privileges: the owner's alone
  ASSERT_EQ(stat(backup.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Cli({"diff", backup, before}).exitCode, 0);
  EXPECT_EQ(Cli({"diff", nextFile, "--port", Port()}).exitCode, 0);

  // The backup cannot be the file being written.
  EXPECT_EQ(Cli({"write", "--port", Port(), "--backup", nextFile, nextFile}).exitCode, 2);
}

TEST_F(CompareCli, ABackupThatFailsWritesNothing) {
  const std::string before = Saved(testing::FullRecord(), "before.ncf");
  ConfigurationRecord next = testing::FullRecord();
  next.General.NOMBRE = "Nueva";
  const std::string nextFile = Saved(next, "next.ncf");

  // The read stops answering half way: not one configuration line is sent.
  {
    auto unit = Unit(before, {"--silent-after", "40"});
    const std::string trace = dir_.File("trace.log");
    ProcessResult cut = Cli({"write", "--port", Port(), "--trace", trace, "--backup",
                             dir_.File("backup.ncf"), nextFile});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.err.find("nothing was written"), std::string::npos) << cut.err;
    const std::string log = testing::ReadFileBytes(trace);
    EXPECT_NE(log.find("#ACK_"), std::string::npos);  // the read had begun
    EXPECT_EQ(log.find("LDDEF"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("backup.ncf")));
  }
  // The backup cannot be saved: the unit keeps its configuration.
  auto unit = Unit(before);
  ProcessResult unsaved = Cli({"--lang", "es", "write", "--port", Port(), "--backup",
                               dir_.File("no-such-folder/backup.ncf"), nextFile});
  EXPECT_EQ(unsaved.exitCode, 1);
  EXPECT_NE(unsaved.err.find("no se ha escrito nada"), std::string::npos) << unsaved.err;
  EXPECT_EQ(Cli({"diff", before, "--port", Port()}).exitCode, 0);
}

TEST_F(CompareCli, VerifyReportsExactlyTheValueTheUnitDidNotKeep) {
  const std::string sample = Saved(testing::FullRecord(), "sample.ncf");
  ConfigurationRecord defaults;
  const std::string empty = Saved(defaults, "empty.ncf");
  {
    auto sound = Unit(empty);
    ProcessResult verified = Cli({"write", "--port", Port(), "--verify", sample});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
    EXPECT_EQ(verified.out,
              "Configuration successfully upgraded.\nVerified: the unit keeps what was written.\n");
  }
  auto faulty = Unit(empty, {"--corrupt-record", "7"});
  ProcessResult differs = Cli({"write", "--port", Port(), "--verify", sample});
  EXPECT_EQ(differs.exitCode, 1) << differs.err;
  EXPECT_EQ(differs.out,
            "Configuration successfully upgraded.\n"
            "The unit keeps 1 value(s) other than what was written:\n"
            "General.NOMBRE: \"Depósito nº 3 €\" -> \"0epósito nº 3 €\"\n");
}

}  // namespace
}  // namespace zdl
