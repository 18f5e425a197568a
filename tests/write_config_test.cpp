#include "transfer/write_config.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fake_port.h"
#include "tests/support/transfer_support.h"
#include "transfer/command_set.h"

namespace zdl {
namespace {

using testing::FakeClock;
using testing::FakePort;

constexpr Millis kComTimeout{1000};

using Progress = testing::RecordingProgress;
using testing::Payload;

// A unit that takes a configuration: "#ACK" to "#00" and "#03", "#PARSE_OK" to every
// "#01" line, "#A7" and "#A5" to the data-logger lines, and "#SAVE_OK" `saveDelay`
// after "#03". `answers` overrides the answer to a line by its logical text ("" for
// silence).
class WritingUnit {
 public:
  explicit WritingUnit(FakeClock& clock) : port_(clock) {
    port_.Open(PortSettings{});
    port_.SetResponder([this](std::string_view bytes, FakePort& port) { OnWrite(bytes, port); });
  }

  FakePort& Port() { return port_; }
  std::map<std::string, std::string> answers;
  std::optional<Micros> saveDelay = Micros{Millis{2000}};
  std::string saveAnswer = "#SAVE_OK";
  // The connection stops (the port closes) when this command is written.
  std::string closeOn;

  // The logical commands the tool sent, in order ("#00", "#01LDDEF", ...).
  std::vector<std::string> Sent() const {
    std::vector<std::string> sent;
    for (const std::string& line : port_.WrittenLines()) sent.push_back("#" + Payload(line));
    return sent;
  }
  int Count(const std::string& command) const {
    int n = 0;
    for (const std::string& s : Sent()) n += s == command;
    return n;
  }

 private:
  void OnWrite(std::string_view bytes, FakePort& port) {
    pending_.append(bytes);
    std::size_t cr;
    while ((cr = pending_.find('\r')) != std::string::npos) {
      std::string command = "#" + Payload(pending_.substr(0, cr));
      pending_.erase(0, cr + 1);
      Answer(command, port);
    }
  }

  void Answer(const std::string& command, FakePort& port) {
    if (command == closeOn) {
      port.Close();
      return;
    }
    std::string answer;
    if (auto it = answers.find(command); it != answers.end()) {
      answer = it->second;
    } else if (command == "#00" || command == "#03") {
      answer = "#ACK";
    } else if (command.starts_with("#01")) {
      answer = "#PARSE_OK";
    } else if (command.starts_with("#58")) {
      answer = "#A7";
    } else if (command.starts_with("#5A")) {
      answer = "#A5";
    }
    if (!answer.empty()) port.FeedAnswer(answer.substr(1));
    if (command == "#03" && answer == "#ACK" && saveDelay) {
      port.FeedAnswer(saveAnswer.substr(1), *saveDelay);
    }
  }

  FakePort port_;
  std::string pending_;
};

// A record that sends something in most steps, the data-logger lines included.
ConfigurationRecord FullRecord() {
  ConfigurationRecord record;
  record.General.NOMBRE = "Unit";
  record.General.SMSC = "+34609090909";
  record.General.PTLF = "600111222";
  record.General.NORMAL = "30";
  record.SetDigitalMode(0, ModeNormallyOpen);
  record.SetDigitalMode(5, ModeBistable);
  record.Analog[1].HABIL = true;
  record.Macros[0].MACRO_TEXT = "Open";
  record.ListaTlf = {"600,Prio=1,PRV2"};
  record.Timers[3].HABIL = true;
  record.Timers[3].Days[LUNES] = true;
  record.DataLogger.LOG_TIME = "60";
  record.DataLogger.DIGITAL_REARM = "5";
  return record;
}

class WriteConfigProcedure : public ::testing::Test {
 protected:
  bool Write(WritingUnit& unit, const ConfigurationRecord& record) {
    SerialLine line(unit.Port(), clock_);
    return WriteConfiguration(line, kComTimeout, record, progress_);
  }

  FakeClock clock_;
  Progress progress_;
};

TEST_F(WriteConfigProcedure, FullSuccessSendsEveryLineAndEndsAtTheMaximum) {
  WritingUnit unit(clock_);
  const ConfigurationRecord record = FullRecord();
  ASSERT_TRUE(Write(unit, record));

  std::vector<std::string> expected = {"#00"};
  for (const CommandLine& line : AllLines(BuildWriteSequence(record))) {
    expected.push_back(line.text);
  }
  EXPECT_EQ(unit.Sent(), expected);
  EXPECT_EQ(expected.back(), "#03");
  EXPECT_EQ(progress_.range, 21);
  std::vector<int> bar;
  for (int v = 0; v <= 21; ++v) bar.push_back(v);
  bar.insert(bar.begin(), 0);  // the write phase's own reset
  EXPECT_EQ(progress_.values, bar);
  EXPECT_EQ(progress_.statuses, (std::vector<int>{134, 136, 135}));
}

TEST_F(WriteConfigProcedure, EmptyStepsStillAdvanceTheBar) {
  WritingUnit unit(clock_);
  ASSERT_TRUE(Write(unit, ConfigurationRecord{}));
  EXPECT_EQ(progress_.values.back(), 21);
  for (const std::string& sent : unit.Sent()) {
    EXPECT_FALSE(sent.starts_with("#01NORMAL")) << sent;
    EXPECT_FALSE(sent.starts_with("#58")) << sent;
    EXPECT_FALSE(sent.starts_with("#5A")) << sent;
  }
}

TEST_F(WriteConfigProcedure, WrongAnswerStopsTheWriteAndNeverSaves) {
  WritingUnit unit(clock_);
  const ConfigurationRecord record = FullRecord();
  unit.answers["#01ID=Unit"] = "#PARSE_ERROR";
  EXPECT_FALSE(Write(unit, record));
  const std::vector<std::string> sent = unit.Sent();
  EXPECT_EQ(sent.back(), "#01ID=Unit");
  EXPECT_EQ(unit.Count("#01ID=Unit"), 1);  // a valid wrong answer is not retried
  EXPECT_EQ(unit.Count("#03"), 0);
  // The bar stays at step 6 until the write phase resets it.
  ASSERT_GE(progress_.values.size(), 2u);
  EXPECT_EQ(progress_.values[progress_.values.size() - 2], 6);
  EXPECT_EQ(progress_.values.back(), 0);
  EXPECT_EQ(progress_.statuses, (std::vector<int>{134, 133}));
}

TEST_F(WriteConfigProcedure, AnswersAreComparedAsAWhole) {
  for (const char* wrong : {"#PARSE_OK ", "#PARSE_OKX", "#parse_ok", "#ACK"}) {
    WritingUnit unit(clock_);
    unit.answers["#01LDDEF"] = wrong;
    EXPECT_FALSE(Write(unit, FullRecord())) << wrong;
    EXPECT_EQ(unit.Sent().back(), "#01LDDEF") << wrong;
  }
}

TEST_F(WriteConfigProcedure, SilentUnitFailsAfterFourSends) {
  WritingUnit unit(clock_);
  unit.answers["#01LDDEF"] = "";
  EXPECT_FALSE(Write(unit, FullRecord()));
  EXPECT_EQ(unit.Count("#01LDDEF"), 4);
  EXPECT_EQ(unit.Sent().back(), "#01LDDEF");
  EXPECT_EQ(progress_.statuses, (std::vector<int>{134, 133}));
}

TEST_F(WriteConfigProcedure, PresenceTestIsRepeatedAtMostFiveTimesAndIgnored) {
  struct Case {
    const char* answer;
    int sends;
  };
  for (const Case& c : {Case{"#ACK", 1}, Case{"", 1}, Case{"#NAK", 5}}) {
    WritingUnit unit(clock_);
    unit.answers["#00"] = c.answer;
    EXPECT_TRUE(Write(unit, FullRecord())) << c.answer;
    // A silent unit is sent "#00" once by the four tries of a single command.
    const int sends = *c.answer == '\0' ? 4 : c.sends;
    EXPECT_EQ(unit.Count("#00"), sends) << c.answer;
    EXPECT_EQ(unit.Sent()[static_cast<std::size_t>(sends)], "#01LDDEF") << c.answer;
  }
}

TEST_F(WriteConfigProcedure, SaveMustBeConfirmedWithinThirtySeconds) {
  struct Case {
    std::optional<Micros> delay;
    bool ok;
  };
  const std::vector<Case> cases = {
      {Micros{Millis{29000}}, true},
      {Micros{Millis{31000}}, false},
      {std::nullopt, false},
  };
  for (const Case& c : cases) {
    WritingUnit unit(clock_);
    unit.saveDelay = c.delay;
    const Micros start = clock_.Now();
    EXPECT_EQ(Write(unit, FullRecord()), c.ok);
    EXPECT_EQ(unit.Sent().back(), "#03");
    EXPECT_EQ(unit.Count("#03"), 1);  // the save confirmation is awaited, not asked for
    EXPECT_EQ(progress_.statuses.back(), c.ok ? 135 : 133);
    if (!c.ok) {
      EXPECT_GE(clock_.Now() - start, Micros{kSaveTimeout});
    }
    progress_.statuses.clear();
  }
}

TEST_F(WriteConfigProcedure, SaveAnswerOtherThanSaveOkFails) {
  WritingUnit unit(clock_);
  unit.saveAnswer = "#SAVE_ERROR";
  SerialLine line(unit.Port(), clock_);
  EXPECT_FALSE(RunWriteSequence(line, kComTimeout, ConfigurationRecord{}, progress_));
  EXPECT_EQ(progress_.statuses, std::vector<int>{136});
  EXPECT_EQ(unit.Count("#03"), 1);
}

TEST_F(WriteConfigProcedure, NoAckToSaveCommandFailsBeforeWaiting) {
  WritingUnit unit(clock_);
  unit.answers["#03"] = "#NAK";
  EXPECT_FALSE(Write(unit, ConfigurationRecord{}));
  EXPECT_EQ(progress_.statuses, (std::vector<int>{134, 133}));  // never "saving"
  EXPECT_EQ(progress_.values[progress_.values.size() - 2], 21);
}

TEST_F(WriteConfigProcedure, ClosedPortFailsWithoutSendingMore) {
  WritingUnit unit(clock_);
  unit.closeOn = "#01ID=Unit";  // the carrier watch stops the connection
  EXPECT_FALSE(Write(unit, FullRecord()));
  EXPECT_EQ(unit.Sent().back(), "#01ID=Unit");
  EXPECT_EQ(unit.Count("#01ID=Unit"), 1);
  EXPECT_EQ(unit.Count("#03"), 0);
  EXPECT_EQ(progress_.statuses, (std::vector<int>{134, 133}));
}

}  // namespace
}  // namespace zdl
