// The write session against the simulated unit: the backup's read before anything is
// written, the verify's read only after "#SAVE_OK", and a failure or a stop at any step
// ending the session there.
#include "transfer/write_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "configfile/config_file.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "sim/unit_setup.h"
#include "tests/support/fake_port.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"

namespace zdl {
namespace {

using Outcome = WriteSessionResult::Outcome;

// Tells each step's end as "step" or "step!" (failed), and, when asked, stops the session
// during one step as a user would: the stop is asked for once that step's progress has
// moved, and a stop the commit gate refuses is then confirmed.
class StepLog final : public WriteSessionSink {
 public:
  StepLog(BytePort& port, WriteCommit& commit) : port_(port), commit_(commit) {}

  void StepBegins(WriteStep step) override { step_ = step; }
  void StepEnded(WriteStep step, bool ok, const WriteSessionResult&) override {
    if (!steps.empty()) steps += ' ';
    steps += std::array{"backup", "write", "verify"}[static_cast<std::size_t>(step)];
    if (!ok) steps += '!';
  }
  void Value(int value) override {
    if (stopIn != step_ || value < 3 || stopAllowedAtOnce.has_value()) return;
    stopAllowedAtOnce = commit_.CancelUnlessCommitted();
    port_.RequestCancel();
  }

  std::optional<WriteStep> stopIn;
  std::optional<bool> stopAllowedAtOnce;
  std::string steps;

 private:
  BytePort& port_;
  WriteCommit& commit_;
  std::optional<WriteStep> step_;
};

// What the unit was asked, in order: "read" for a "#02" stream, "write" for "#01LDDEF",
// "save" for "#03"; a request repeated at once (a read's retry) counted once.
std::string WireShape(SimulatedUnit& unit) {
  std::string shape;
  std::string last;
  for (const std::string& entry : unit.TakeTrace()) {
    std::string token;
    if (entry == "received #02") token = "read";
    if (entry == "received #01LDDEF") token = "write";
    if (entry == "received #03") token = "save";
    if (token.empty() || token == last) continue;
    shape += (shape.empty() ? "" : " ") + token;
    last = token;
  }
  return shape;
}

TEST(WriteSession, EachStepRunsOnlyAfterTheOneBeforeItSucceeded) {
  ConfigurationRecord before = testing::FullRecord();
  before.General.NOMBRE = "Antes";
  const ConfigurationRecord next = testing::FullRecord();

  enum class Backup { None, Saved, Unsavable };
  struct Row {
    const char* what;
    Backup backup;
    bool verify;
    std::optional<int> silentAfter;  // the unit's faults
    std::optional<int> corruptRecord;
    std::optional<WriteStep> stopIn;
    Outcome outcome;
    const char* steps;
    const char* wire;
    const char* differences;
  };
  const Row rows[] = {
      {"all three", Backup::Saved, true, {}, {}, {}, Outcome::Verified,
       "backup write verify", "read write save read", ""},
      {"the write alone", Backup::None, false, {}, {}, {}, Outcome::Written, "write", "write save", ""},
      {"backup read cut", Backup::Saved, true, 40, {}, {}, Outcome::BackupReadFailed,
       "backup!", "read", ""},
      {"backup not saved", Backup::Unsavable, true, {}, {}, {}, Outcome::BackupSaveFailed, "backup!",
       "read", ""},
      {"write cut", Backup::None, true, 30, {}, {}, Outcome::WriteFailed, "write!",
       "write", ""},
      {"read-back cut", Backup::None, true, 90, {}, {}, Outcome::VerifyReadFailed,
       "write verify!", "write save read", ""},
      {"a value not kept", Backup::None, true, {}, 7, {}, Outcome::VerifyDiffers,
       "write verify", "write save read", "NOMBRE"},
      // A stop during the write, once the unit has taken "#01LDDEF", comes only on the
      // user's word, and no read-back follows.
      {"stopped in the write", Backup::None, true, {}, {}, WriteStep::Write, Outcome::Incomplete,
       "write!", "write", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SimOptions options;
    options.faults.silentAfter = row.silentAfter;
    options.faults.corruptRecord = row.corruptRecord;
    SimulatedUnit unit(options);
    ASSERT_TRUE(StartFromConfiguration(unit, before).empty());
    unit.TakeTrace();
    testing::FakeClock clock;
    SimPort port(unit, clock);
    ASSERT_TRUE(port.Open({}));
    SerialLine line(port, clock);
    WriteCommit commit;
    StepLog log(port, commit);
    log.stopIn = row.stopIn;

    const testing::TempDir dir;
    const std::string backup =
        dir.File(row.backup == Backup::Unsavable ? "no-such-folder/backup.ncf" : "backup.ncf");
    WriteSessionOptions asked;
    if (row.backup != Backup::None) asked.backupPath = [&](const ConfigurationRecord&) { return backup; };
    asked.verify = row.verify;
    const WriteSessionResult result =
        RunWriteSession(line, Millis(1000), true, next, asked, log, commit);

    EXPECT_EQ(result.outcome, row.outcome);
    EXPECT_EQ(log.steps, row.steps);
    EXPECT_EQ(WireShape(unit), row.wire);
    if (row.stopIn) {
      EXPECT_EQ(log.stopAllowedAtOnce, row.stopIn != WriteStep::Write);
    }
    std::string keys;
    for (const FieldDifference& d : result.differences) keys += (keys.empty() ? "" : " ") + d.key;
    EXPECT_EQ(keys, row.differences);
    EXPECT_EQ(result.saveProblem.In(Lang::English).empty(), row.backup != Backup::Unsavable);

    // A backup exists only once saved, holds what the unit held before the write, and is
    // readable by its owner only.
    const bool saved = !result.backup.empty();
    EXPECT_EQ(std::filesystem::exists(backup), saved);
    if (saved) {
      EXPECT_EQ(result.backup.string(), backup);
      ConfigurationRecord kept;
      ASSERT_TRUE(LoadConfigFile(backup, kept).loaded());
      EXPECT_EQ(kept.General.NOMBRE, "Antes");
      struct stat st {};
      ASSERT_EQ(stat(backup.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
  }
}

}  // namespace
}  // namespace zdl
