#include "transfer/write_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <latch>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "link/serial_line.h"
#include "tests/support/fake_port.h"
#include "tests/support/sample_record.h"
#include "transfer/command_set.h"

namespace zdl {
namespace {

// A unit that takes every line: "#ACK" to "#00" and "#03", "#PARSE_OK" to a "#01" line,
// "#A7" to "#58", "#A5" to "#5A", and `saveAnswer` `saveDelay` after its "#ACK" to "#03".
class WritingUnit : public testing::ScriptedUnit {
 public:
  explicit WritingUnit(ConfigurationRecord written = testing::FullRecord())
      : record(std::move(written)) {
    port.Open(PortSettings{});
    usual = [](const std::string& command) -> std::string {
      if (command == "#00" || command == "#03") return "#ACK";
      if (command.starts_with("#01")) return "#PARSE_OK";
      return command.starts_with("#58") ? "#A7" : command.starts_with("#5A") ? "#A5" : "";
    };
    onLine = [this](const std::string& command) {
      if (onCommand) onCommand(command);
      if (command != "#03" || answers.contains("#03")) return;
      saveAskedAt = clock.Now();
      port.FeedAnswer(saveAnswer.substr(1), saveDelay);
    };
  }
  WriteOutcome Write() {
    SerialLine line(port, clock);
    return WriteConfiguration(line, Millis{1000}, record, progress, commit);
  }

  ConfigurationRecord record;
  WriteCommit commit;
  // Told of every logical command as it is written, once the unit's answer is on its way.
  std::function<void(const std::string&)> onCommand;
  std::string saveAnswer = "#SAVE_OK";
  Millis saveDelay{2000};
  Micros saveAskedAt{-1};
};

using Statuses = std::vector<TextId>;
const Statuses kWritten = {TextId::WritingConfiguration, TextId::SavingOnEeprom,
                           TextId::ConfigurationWritten};
const Statuses kFailed = {TextId::WritingConfiguration, TextId::CommunicationError};

// After one "#00" (the unit answered "#ACK"), every line of the sequence framed and in its
// order, the progress moved on at each step of the sequence, then the wait for "#SAVE_OK".
// The lines themselves are the command set's.
TEST(WriteConfig, SendsEveryLineInOrderThenSavesOrNothingAtAll) {
  WritingUnit unit;
  ASSERT_EQ(unit.Write(), WriteOutcome::Written);
  const WriteSequence sequence = BuildWriteSequence(unit.record);
  std::vector<std::string> framed = {FrameCommand("#00")};
  for (const CommandLine& line : AllLines(sequence)) framed.push_back(FrameCommand(line.text));
  std::vector<int> values = {0};
  for (int step = 0; step <= static_cast<int>(sequence.steps.size()); ++step) values.push_back(step);
  EXPECT_EQ(unit.port.WrittenLines(), framed);
  EXPECT_EQ(unit.progress.values, values);
  EXPECT_EQ(unit.progress.statuses, kWritten);

  // A text that may not go out (the check before a write was passed by) refuses the whole
  // write: nothing at all reaches the unit, least of all "#03".
  ConfigurationRecord record = testing::FullRecord();
  record.Macros[13].MACRO_COM = "OUT1=1\r#63;03";
  WritingUnit refused(record);
  EXPECT_EQ(refused.Write(), WriteOutcome::Failed);
  EXPECT_EQ(refused.port.Written(), "");
  EXPECT_EQ(refused.progress.statuses, kFailed);
  EXPECT_EQ(refused.progress.values.back(), 0);
}

TEST(WriteConfig, TheFirstWrongOrMissingAnswerEndsTheWriteUnsaved) {
  const std::string mid = "#01RENVN=" + testing::FullRecord().General.RENVN;
  for (const auto& [command, answer, ok, sends] :
       std::vector<std::tuple<std::string, std::string, bool, int>>{
           {"#00", "", true, 4},  // the presence test: at most five sends, outcome ignored
           {"#00", "#NAK", true, 5},
           {mid, "#PARSE_ERROR", false, 1},  // a wrong answer is not retried
           {mid, "#PARSE_OK ", false, 1},    // answers are compared whole
           {mid, "", false, 4},
           {mid, "close", false, 1},
           {"#03", "#NAK", false, 1}}) {  // never "saving"
    SCOPED_TRACE(command + " answered " + answer);
    WritingUnit unit;
    unit.answers[command] = answer;
    EXPECT_EQ(unit.Write() == WriteOutcome::Written, ok);
    EXPECT_EQ(unit.Count(command), sends);
    EXPECT_TRUE(unit.port.Written().ends_with(FrameCommand(ok ? "#03" : command) + "\r"));
    EXPECT_EQ(unit.progress.statuses, ok ? kWritten : kFailed);
    EXPECT_EQ(unit.progress.values.back(), ok ? 21 : 0);
  }
}

TEST(WriteConfig, SaveMustBeConfirmedWithinThirtySeconds) {
  for (const auto& [answer, delay, ok] : std::vector<std::tuple<std::string, int, bool>>{
           {"#SAVE_OK", 29000, true}, {"#SAVE_OK", 31000, false}, {"#SAVE_ERROR", 0, false}}) {
    WritingUnit unit;
    unit.saveAnswer = answer;
    unit.saveDelay = Millis{delay};
    EXPECT_EQ(unit.Write() == WriteOutcome::Written, ok) << answer << delay;
    EXPECT_EQ(unit.Count("#03"), 1) << delay;  // the confirmation is awaited, not asked for
    EXPECT_EQ(unit.clock.Now() - unit.saveAskedAt, Micros{Millis{std::min(delay, 30000)}});
    EXPECT_EQ(unit.progress.statuses,
              (Statuses{TextId::WritingConfiguration, TextId::SavingOnEeprom,
                        ok ? TextId::ConfigurationWritten : TextId::CommunicationError}))
        << delay;
  }
}

// The user stops the write at a moment of the sequence: at once while the unit has not
// taken "#01LDDEF" (nothing of the configuration goes out) or once it has acknowledged
// "#03"; in between the gate refuses and the stop comes only after the user's word, and
// the write ends Incomplete, without "#03".
TEST(WriteConfig, AStopBetweenTheFirstLineAndTheSaveLeavesTheUnitIncomplete) {
  struct Row {
    std::string at;  // a command as it is written, or "saving": the status SavingOnEeprom
    bool atOnce;     // the gate lets the stop through without asking
    WriteOutcome outcome;
    int lddefSent;
    int saveSent;
    std::vector<TextId> statuses;
  };
  for (const Row& row : std::vector<Row>{
           {"#00", true, WriteOutcome::Failed, 0, 0, kFailed},
           {"#01LDDEF", false, WriteOutcome::Incomplete, 1, 0, {TextId::WritingConfiguration}},
           // "#03" written but not acknowledged: the unit may not have it.
           {"#03", false, WriteOutcome::Incomplete, 1, 1, {TextId::WritingConfiguration}},
           {"saving", true, WriteOutcome::Failed, 1, 1,
            {TextId::WritingConfiguration, TextId::SavingOnEeprom, TextId::CommunicationError}},
       }) {
    SCOPED_TRACE(row.at);
    WritingUnit unit;
    std::optional<bool> atOnce;
    auto stop = [&] {
      atOnce = unit.commit.CancelUnlessCommitted();
      unit.port.Cancel().Request();  // at once, or after the user said Yes
    };
    unit.onCommand = [&](const std::string& command) {
      if (command == row.at && !atOnce) stop();
    };
    unit.progress.onStatus = [&](TextId offset) {
      if (offset == TextId::SavingOnEeprom && row.at == "saving") stop();
    };
    EXPECT_EQ(unit.Write(), row.outcome);
    EXPECT_EQ(atOnce, std::optional<bool>(row.atOnce));
    EXPECT_EQ(unit.Count("#01LDDEF"), row.lddefSent);
    EXPECT_EQ(unit.Count("#03"), row.saveSent);
    EXPECT_EQ(unit.progress.statuses, row.statuses);
    EXPECT_EQ(unit.progress.values.back(), 0);
  }
}

// The write's thread commits while the interface thread cancels: exactly one of them
// wins, whichever order the threads happen to run in.
TEST(WriteCommit, ACancelAndTheCommitNeverBothWin) {
  for (int i = 0; i < 300; ++i) {
    WriteCommit commit;
    bool committed = false;
    bool cancelled = false;
    std::latch go(2);  // both threads start together; which side runs on which alternates
    std::function<void()> commitSide = [&] { committed = commit.Commit(); };
    std::function<void()> cancelSide = [&] { cancelled = commit.CancelUnlessCommitted(); };
    std::thread writer([&] {
      go.arrive_and_wait();
      (i % 2 ? cancelSide : commitSide)();
    });
    go.arrive_and_wait();
    (i % 2 ? commitSide : cancelSide)();
    writer.join();
    ASSERT_NE(committed, cancelled) << i;
    EXPECT_EQ(commit.Committed(), committed);
  }

  // A cancel stands until the next write; a refused stop, asked again, is refused again.
  WriteCommit commit;
  EXPECT_TRUE(commit.CancelUnlessCommitted());
  commit.Reset();
  EXPECT_TRUE(commit.Commit());
  EXPECT_FALSE(commit.CancelUnlessCommitted());
  EXPECT_FALSE(commit.CancelUnlessCommitted());
}

}  // namespace
}  // namespace zdl
