// Connection start and stop, login, detection and the modem dial, against a scripted
// modem and unit on the fake port and clock.
#include "link/connection.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <stdexcept>

#include "tests/support/fake_port.h"

namespace zdl {
namespace {

using Lines = std::vector<std::string>;
using Offsets = std::vector<TextId>;

// The user, a Hayes modem and the unit behind it, answering 20 ms after each line.
struct Rig final : ConnectionUi, testing::ScriptedUnit {
  Rig() {
    answers = {{"#00", "#ACK"}, {"#0F", "#VER=ZDL410 V5.01"}, {"#40", "#BF01"},
               {"#111234", "#PassWord=1"}, {"#119", "#PassWord=0"}, {"ATE0", "ATE0\r\r\nOK\r\n"},
               {"AT", "\r\nOK\r\n"}, {"ATH", "\r\nOK\r\n"},
               {"ATD600123456", "ATD600123456\r\r\nCONNECT 9600\r\n"}};
    delay = Millis(20);
    onLine = [this](const std::string& command) {
      if (command == dropAfter) port.DropCarrierAt(clock.Now() + Millis(500));
      if (command == cancelAfter) port.RequestCancel();
    };
  }
  Started Start(bool modem, std::string number = "600123456") {
    prompts = 0;
    return connection.Start({"COM3", modem, std::move(number)}, *this);
  }
  std::optional<std::string> AskPassword() override {
    if (throwInPrompt) throw std::runtime_error("out of memory");
    if (cancelInPrompt) port.RequestCancel();  // the window closes; the prompt still answers
    if (prompts >= passwords.size()) return std::nullopt;  // cancelled
    return passwords[prompts++];
  }
  void Message(TextId offset) override { messages.push_back(offset); }
  void ErrorMessage(const BilingualText& description) override {
    errors.push_back(description.In(Lang::English));
  }
  void Status(TextId offset) override { statuses.push_back(offset); }

  std::string dropAfter;  // carrier drops 500 ms after this command (left unanswered)
  std::string cancelAfter;  // the user cancels once this command is written
  bool cancelInPrompt = false;
  bool throwInPrompt = false;
  Lines passwords{"1234"}, errors;
  std::size_t prompts = 0;
  Offsets messages, statuses;
  Connection connection{port, clock};
};

// The version's rule is the firmware version's own test.
TEST(Connection, CarrierLossStopsOnceOnlyAModemIsHungUpOrWatchedAndEachStartLearnsAfresh) {
  Rig r;
  ASSERT_EQ(r.Start(true), StartResult::Connected);
  EXPECT_EQ(r.connection.FirmText(), "ZDL410 V5.01");
  EXPECT_FLOAT_EQ(r.connection.FirmVersion(), 5.01f);
  EXPECT_TRUE(r.connection.HasDatalogger());
  const Micros drop = r.clock.Now() + Millis(3000);
  r.port.DropCarrierAt(drop);
  std::string command = "#02";
  r.connection.Line().SendCommand(command, r.connection.ComTimeOut());
  EXPECT_EQ(r.connection.Line().LastAnswer, "");
  EXPECT_EQ(r.clock.Now(), drop);  // the closed port ends the wait at once
  EXPECT_TRUE(r.connection.HandleCarrierLoss(r));
  EXPECT_FALSE(r.connection.HandleCarrierLoss(r));
  EXPECT_EQ(r.messages, Offsets{TextId::ModemConnectionLost});
  EXPECT_EQ(r.statuses.back(), TextId::CommunicationNotStarted);
  EXPECT_FALSE(r.connection.IsOpen());
  ASSERT_EQ(r.Start(true), StartResult::Connected);
  r.connection.Stop(r);

  ASSERT_EQ(r.Start(false), StartResult::Connected);
  r.connection.Stop(r);
  const std::string modem = "ATE0\rAT\rATD600123456\r#2C;111234\r#60;00\r#76;0F\r#64;40\r";
  EXPECT_EQ(r.port.Written(),
            modem + "#62;02\r" + modem + "ATH\r" + "#60;00\r#76;0F\r#64;40\r");
  const PortSettings& dialled = r.port.Opens().at(0);
  const PortSettings& direct = r.port.Opens().at(2);
  EXPECT_TRUE(dialled.name == "COM3" && dialled.handshake == Handshake::RtsCts && dialled.dtr &&
              dialled.watchCarrier);
  EXPECT_TRUE(direct.handshake == Handshake::None && !direct.dtr && !direct.watchCarrier);

  // An idle modem connection sees a drop once; a direct cable has no carrier to watch.
  ASSERT_EQ(r.Start(true), StartResult::Connected);
  r.port.DropCarrierAt(r.clock.Now() + Millis(1000));
  r.clock.Advance(Millis(500));
  EXPECT_TRUE(r.connection.WatchCarrier(r));
  r.clock.Advance(Millis(600));
  EXPECT_FALSE(r.connection.WatchCarrier(r));
  EXPECT_FALSE(r.connection.WatchCarrier(r));
  EXPECT_EQ(r.messages, Offsets(2, TextId::ModemConnectionLost));
  EXPECT_EQ(r.statuses.back(), TextId::CommunicationNotStarted);
  EXPECT_FALSE(r.connection.IsOpen());
  // A start forgets what the one before it learnt of the unit.
  r.answers["#0F"] = "";
  r.answers["#40"] = "#00";
  ASSERT_EQ(r.Start(false), StartResult::Connected);
  EXPECT_EQ(r.connection.FirmText(), "");
  EXPECT_FLOAT_EQ(r.connection.FirmVersion(), 0.0f);
  EXPECT_FALSE(r.connection.HasDatalogger());
  r.port.DropCarrierAt(r.clock.Now());
  r.clock.Advance(Millis(100));
  EXPECT_TRUE(r.connection.WatchCarrier(r));
  EXPECT_EQ(r.messages.size(), 2u);
}

TEST(Connection, StartOutcomes) {
  using enum StartResult;
  using T = TextId;
  const std::string kDial = "ATD600123456";
  const struct {
    std::map<std::string, std::string> replies = {};  // instead of the usual ones
    Lines passwords = {"1234"};
    std::string number = "600123456";
    std::string openError = "";
    std::string drop = "";
    bool throwInPrompt = false;
    StartResult result;
    std::optional<TextId> status = T::CommunicationNotStarted;  // the last one
    std::optional<TextId> message = std::nullopt;
    DialOutcome dial = DialOutcome::NotDialled;  // a failed dial's outcome
    std::size_t sent = 7;  // lines written
  } cases[] = {
      {.number = "", .result = InvalidPhoneNumber, .status = std::nullopt,
       .message = T::EnterValidPhoneNumber, .sent = 0},
      {.openError = "/dev/ttyS2: Permission denied", .result = PortError, .sent = 0},
      // Detection: a unit answering otherwise is asked five times, a silent one once.
      {.replies = {{"#00", "#NAK"}}, .result = NotFound, .message = T::UnitNotFound, .sent = 9},
      {.replies = {{"#00", ""}}, .result = NotFound, .message = T::UnitNotFound, .sent = 8},
      // Login; a password that is not a number text is never sent nor counted as a try:
      // three refusals by the unit are needed.
      {.passwords = {"9", "9", "9"}, .result = BadPassword, .status = T::BadPasswordStatus,
       .message = T::BadPassword, .sent = 7},
      {.passwords = {}, .result = BadPassword, .status = T::BadPasswordStatus,
       .message = T::BadPassword, .sent = 4},
      {.passwords = {"9", "1234\r#03", "9", "-", "9", "1234"}, .result = BadPassword,
       .status = T::BadPasswordStatus, .message = T::BadPassword, .sent = 7},
      // Dial outcomes; no hang-up after a failed dial.
      {.replies = {{kDial, "ATD600123456\r\r\nRING\r\n\r\nRING\r\n\r\nNO CARRIER\r\n"}},
       .result = DialFailed, .status = T::NoCarrier, .dial = DialOutcome::NoCarrier, .sent = 3},
      {.replies = {{kDial, "\r\nBUSY\r\n"}}, .result = DialFailed, .status = T::Busy,
       .dial = DialOutcome::Busy, .sent = 3},
      // A modem echoing "AT" before its "OK", and no modem at all, are never dialled.
      {.replies = {{"AT", "AT\r\r\nOK\r\n"}}, .result = DialFailed, .status = T::CommunicationError,
       .dial = DialOutcome::NoModem, .sent = 2},
      {.replies = {{"AT", ""}}, .result = DialFailed, .status = T::CommunicationError,
       .dial = DialOutcome::NoModem, .sent = 5},
      // Carrier lost under the start: the carrier message, the port closed.
      {.drop = "#111234", .result = BadPassword, .message = T::ModemConnectionLost, .sent = 4},
      // An unexpected error: the port closed, its description shown.
      {.throwInPrompt = true, .result = PortError, .sent = 3},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(++row);
    Rig r;
    for (const auto& [command, reply] : c.replies) r.answers[command] = reply;
    r.passwords = c.passwords;
    r.port.FailOpen(c.openError);
    r.dropAfter = c.drop;
    r.throwInPrompt = c.throwInPrompt;
    if (!c.drop.empty()) r.answers[c.drop] = "";
    const Started started = r.Start(true, c.number);
    EXPECT_EQ(started.result, c.result);
    if (c.result == DialFailed) {
      EXPECT_EQ(started.dial, c.dial);
    }
    EXPECT_EQ(started.carrierLost, c.message == TextId::ModemConnectionLost);
    EXPECT_EQ(r.statuses.empty() ? std::nullopt : std::optional(r.statuses.back()), c.status);
    EXPECT_EQ(r.messages, c.message ? Offsets{*c.message} : Offsets{});
    EXPECT_EQ(r.port.WrittenLines().size(), c.sent) << ::testing::PrintToString(r.port.Written());
    EXPECT_FALSE(r.connection.IsOpen());
    const std::string shown = c.throwInPrompt ? "out of memory" : c.openError;
    EXPECT_EQ(r.errors, shown.empty() ? Lines{} : Lines{shown});
    if (c.result == BadPassword && c.drop.empty()) {
      EXPECT_EQ(r.port.WrittenLines().back(), "ATH");
    }
  }
}

TEST(Connection, SilentModemAfterTheDialGivesUpAfterSixtyOneTurns) {
  Rig r;
  r.answers["ATD600123456"] = "";
  EXPECT_EQ(r.Start(true), StartResult::DialFailed);
  EXPECT_EQ(r.statuses.back(), TextId::CommunicationError);
  EXPECT_EQ(r.clock.Now(), Millis(340 + 61 * 1000));  // dialled at 340 ms, after the modem test
}

TEST(Connection, ACancelEndsTheStartWhereverItIsAndTheNextExchangeStartsAfresh) {
  const struct {
    const char* when;
    bool before = false;
    bool inPrompt = false;
    std::string after = "";
    std::map<std::string, std::string> replies = {};
    std::size_t sent = 0;
  } cases[] = {
      {"before the port opens", true},
      {"in the password prompt", false, true, "", {}, 3},
      {"during the detection", false, false, "#00", {{"#00", ""}}, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.when);
    Rig r;
    for (const auto& [command, reply] : c.replies) r.answers[command] = reply;
    r.cancelAfter = c.after;
    r.cancelInPrompt = c.inPrompt;
    if (c.before) r.port.RequestCancel();
    const Micros start = r.clock.Now();
    EXPECT_EQ(r.Start(true), StartResult::Cancelled);
    EXPECT_FALSE(r.connection.IsOpen());
    EXPECT_EQ(r.port.Opens().size(), c.before ? 0u : 1u);
    // Nothing is sent after the cancel: no retry, no hang-up, no further prompt.
    EXPECT_EQ(r.port.WrittenLines().size(), c.sent) << ::testing::PrintToString(r.port.Written());
    EXPECT_LE(r.prompts, 1u);
    if (!c.after.empty()) {
      EXPECT_LT(r.clock.Now() - start, Millis(1000));
    }
    EXPECT_TRUE(r.messages.empty() && r.errors.empty());
    EXPECT_EQ(r.statuses.back(), TextId::CommunicationNotStarted);
    EXPECT_TRUE(r.connection.CancelRequested());  // until the next exchange begins

    r.cancelAfter.clear();
    r.cancelInPrompt = false;
    r.answers = Rig().answers;
    r.port.BeginExchange();
    EXPECT_EQ(r.Start(true), StartResult::Connected);
  }
}

}  // namespace
}  // namespace zdl
