#include "transfer/write_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/fake_port.h"
#include "tests/support/sample_record.h"
#include "tests/support/transfer_support.h"
#include "transfer/command_set.h"

namespace zdl {
namespace {

// A unit that takes FullRecord(): "#ACK" to "#00", the expected answer to every line and
// `saveAnswer` `saveDelay` after its "#ACK" to "#03". `answers` overrides the answer to a
// logical command: "" for silence, "close" to close the port.
class WritingUnit {
 public:
  WritingUnit() {
    port.Open(PortSettings{});
    port.SetResponder([this](std::string_view bytes, auto&) {
      Answer("#" + testing::Payload(std::string(bytes.substr(0, bytes.find('\r')))));
    });
    for (const CommandLine& line : lines) answers.emplace(line.text, line.expected);
  }
  bool Write() {
    SerialLine line(port, clock);
    return WriteConfiguration(line, Millis{1000}, testing::FullRecord(), progress);
  }
  int Count(const std::string& command) const {  // how often the command was written
    const std::vector<std::string> sent = port.WrittenLines();
    return static_cast<int>(std::count(sent.begin(), sent.end(), FrameCommand(command)));
  }

  const std::vector<CommandLine> lines = AllLines(BuildWriteSequence(testing::FullRecord()));
  testing::FakeClock clock;
  testing::FakePort port{clock};
  testing::RecordingProgress progress;
  std::map<std::string, std::string> answers = {{"#00", "#ACK"}};
  std::string saveAnswer = "#SAVE_OK";
  Millis saveDelay{2000};
  Micros saveAskedAt{-1};

 private:
  void Answer(const std::string& command) {
    const std::string answer = answers[command];
    if (answer == "close") return port.Close();
    if (!answer.empty()) port.FeedAnswer(answer.substr(1));
    if (command != "#03" || answer != "#ACK") return;
    saveAskedAt = clock.Now();
    port.FeedAnswer(saveAnswer.substr(1), saveDelay);
  }
};

TEST(WriteConfig, SendsEveryLineInOrderThenSaves) {
  WritingUnit unit;
  ASSERT_TRUE(unit.Write());
  std::string expected = FrameCommand("#00") + "\r";
  for (const CommandLine& line : unit.lines) expected += FrameCommand(line.text) + "\r";
  EXPECT_EQ(unit.port.Written(), expected);
  EXPECT_EQ(unit.progress.values, (std::vector<int>{0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12,
                                                    13, 14, 15, 16, 17, 18, 19, 20, 21}));
  EXPECT_EQ(unit.progress.statuses, (std::vector<int>{134, 136, 135}));
}

TEST(WriteConfig, TheFirstWrongOrMissingAnswerEndsTheWriteUnsaved) {
  const CommandLine mid = WritingUnit().lines[5];
  ASSERT_EQ(mid.expected, "#PARSE_OK");
  for (const auto& [command, answer, ok, sends] :
       std::vector<std::tuple<std::string, std::string, bool, int>>{
           {"#00", "", true, 4},  // the presence test: at most five sends, outcome ignored
           {"#00", "#NAK", true, 5},
           {mid.text, "#PARSE_ERROR", false, 1},  // a wrong answer is not retried
           {mid.text, "#PARSE_OK ", false, 1},    // answers are compared whole
           {mid.text, "#ACK", false, 1},
           {mid.text, "", false, 4},
           {mid.text, "close", false, 1},
           {"#03", "#NAK", false, 1}}) {  // never "saving"
    SCOPED_TRACE(command + " answered " + answer);
    WritingUnit unit;
    unit.answers[command] = answer;
    EXPECT_EQ(unit.Write(), ok);
    EXPECT_EQ(unit.Count(command), sends);
    EXPECT_TRUE(unit.port.Written().ends_with(FrameCommand(ok ? "#03" : command) + "\r"));
    EXPECT_EQ(unit.progress.statuses, (ok ? std::vector{134, 136, 135} : std::vector{134, 133}));
    EXPECT_EQ(unit.progress.values.back(), ok ? 21 : 0);
  }
}

TEST(WriteConfig, SaveMustBeConfirmedWithinThirtySeconds) {
  for (const auto& [answer, delay, ok] : std::vector<std::tuple<std::string, int, bool>>{
           {"#SAVE_OK", 29000, true}, {"#SAVE_OK", 31000, false}, {"#SAVE_ERROR", 0, false}}) {
    WritingUnit unit;
    unit.saveAnswer = answer;
    unit.saveDelay = Millis{delay};
    EXPECT_EQ(unit.Write(), ok) << answer << delay;
    EXPECT_EQ(unit.Count("#03"), 1) << delay;  // the confirmation is awaited, not asked for
    EXPECT_EQ(unit.clock.Now() - unit.saveAskedAt, Micros{Millis{std::min(delay, 30000)}});
    EXPECT_EQ(unit.progress.statuses, (std::vector<int>{134, 136, ok ? 135 : 133})) << delay;
  }
}

}  // namespace
}  // namespace zdl
