// Connection start and stop, login, detection and the modem dial, against a scripted
// modem and unit on the fake port and clock.
#include "link/connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>

#include "tests/support/fake_port.h"

namespace zdl {
namespace {

using testing::FakeClock;
using testing::FakePort;

Micros Ms(long long ms) { return Micros{Millis{ms}}; }

// The far end: a Hayes modem and the unit behind it. Framed commands are known by
// their logical text ("#00"), modem commands by their line ("ATD600"). Each command
// answers with its replies in turn, the last one repeating; "" is silence.
class FakeUnit {
 public:
  explicit FakeUnit(FakePort& port) {
    port.SetResponder([this](std::string_view written, FakePort& p) { Answer(written, p); });
  }

  void On(const std::string& command, std::vector<std::string> replies) {
    replies_[command] = std::deque<std::string>(replies.begin(), replies.end());
  }
  // Called with every command, after its reply has been fed.
  std::function<void(const std::string&)> then;

  const std::vector<std::string>& Received() const { return received_; }
  int Count(const std::string& command) const {
    return static_cast<int>(std::count(received_.begin(), received_.end(), command));
  }

 private:
  void Answer(std::string_view written, FakePort& port) {
    std::string command(written.substr(0, written.size() - 1));  // the CR
    if (command.size() >= 4 && command[0] == '#') command = "#" + command.substr(4);
    received_.push_back(command);
    auto it = replies_.find(command);
    if (it != replies_.end() && !it->second.empty()) {
      const std::string reply = it->second.front();
      if (it->second.size() > 1) it->second.pop_front();
      if (reply.empty()) {
      } else if (reply[0] == '#') {
        port.FeedAnswer(reply.substr(1), Ms(20));
      } else {
        port.Feed(reply, Ms(20));
      }
    }
    if (then) then(command);
  }

  std::map<std::string, std::deque<std::string>> replies_;
  std::vector<std::string> received_;
};

class FakeUi final : public ConnectionUi {
 public:
  std::optional<std::string> AskPassword() override {
    ++prompts;
    if (passwords.empty()) return std::nullopt;
    std::string password = passwords.front();
    passwords.pop_front();
    if (password == "throw") throw std::runtime_error("prompt failed");
    return password;
  }
  void Message(int offset) override { messages.push_back(offset); }
  void ErrorMessage(const std::string& description) override { errors.push_back(description); }
  void Status(int offset) override { statuses.push_back(offset); }

  std::deque<std::string> passwords;
  int prompts = 0;
  std::vector<int> messages;
  std::vector<std::string> errors;
  std::vector<int> statuses;
};

class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() {
    unit_.On("#00", {"#ACK"});
    unit_.On("#0F", {"#VER=ZDL410 V5.01"});
    unit_.On("#40", {"#BF01"});
    unit_.On("ATE0", {"ATE0\r\r\nOK\r\n"});
    unit_.On("AT", {"\r\nOK\r\n"});
    unit_.On("ATD600123456", {"ATD600123456\r\r\nCONNECT 9600\r\n"});
    unit_.On("#111234", {"#PassWord=1"});
    unit_.On("ATH", {"\r\nOK\r\n"});
  }

  StartResult StartDirect() { return connection_.Start({"COM3", false, ""}, ui_); }
  StartResult StartModem(std::string number = "600123456") {
    return connection_.Start({"COM2", true, std::move(number)}, ui_);
  }

  FakeClock clock_;
  FakePort port_{clock_};
  FakeUnit unit_{port_};
  FakeUi ui_;
  Connection connection_{port_, clock_};
};

TEST_F(ConnectionTest, DirectStartDetectsTheUnitWithoutLogin) {
  EXPECT_EQ(StartDirect(), StartResult::Connected);
  ASSERT_EQ(port_.Opens().size(), 1u);
  const PortSettings& settings = port_.Opens()[0];
  EXPECT_EQ(settings.name, "COM3");
  EXPECT_EQ(settings.handshake, Handshake::None);
  EXPECT_FALSE(settings.dtr);
  EXPECT_FALSE(settings.watchCarrier);
  EXPECT_EQ(unit_.Received(), (std::vector<std::string>{"#00", "#0F", "#40"}));
  EXPECT_EQ(port_.WrittenLines()[0], "#60;00");
  EXPECT_EQ(ui_.prompts, 0);
  EXPECT_EQ(ui_.statuses, (std::vector<int>{123, 124}));
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(connection_.IsOpen());
  EXPECT_EQ(connection_.ComTimeOut(), kDirectTimeout);
  EXPECT_EQ(connection_.FirmText(), "ZDL410 V5.01");
  EXPECT_FLOAT_EQ(connection_.FirmVersion(), 5.01f);
  EXPECT_TRUE(connection_.HasDatalogger());
}

TEST_F(ConnectionTest, ModemStartDialsAndLogsIn) {
  ui_.passwords = {"1234"};
  EXPECT_EQ(StartModem(), StartResult::Connected);
  const PortSettings& settings = port_.Opens().at(0);
  EXPECT_EQ(settings.handshake, Handshake::RtsCts);
  EXPECT_TRUE(settings.dtr);
  EXPECT_TRUE(settings.watchCarrier);
  EXPECT_EQ(unit_.Received(), (std::vector<std::string>{"ATE0", "AT", "ATD600123456", "#111234",
                                                        "#00", "#0F", "#40"}));
  EXPECT_EQ(ui_.statuses, (std::vector<int>{121, 123, 124}));
  EXPECT_EQ(connection_.ComTimeOut(), kModemTimeout);
  EXPECT_TRUE(connection_.Modem());
}

TEST_F(ConnectionTest, InvalidPhoneNumberChangesNothing) {
  for (const char* number : {"", "abc", "600,123", "600.123", "600 123"}) {
    FakeUi ui;
    EXPECT_EQ(connection_.Start({"COM2", true, number}, ui), StartResult::InvalidPhoneNumber)
        << number;
    EXPECT_EQ(ui.messages, std::vector<int>{166});
    EXPECT_TRUE(ui.statuses.empty());
  }
  EXPECT_TRUE(port_.Opens().empty());
  // On a direct cable the number is not looked at.
  EXPECT_EQ(connection_.Start({"COM2", false, "abc"}, ui_), StartResult::Connected);
}

TEST_F(ConnectionTest, PortThatCannotOpenShowsItsDescription) {
  port_.FailOpen("/dev/ttyS2: Permission denied");
  EXPECT_EQ(StartDirect(), StartResult::PortError);
  EXPECT_EQ(ui_.errors, std::vector<std::string>{"/dev/ttyS2: Permission denied"});
  EXPECT_EQ(ui_.statuses, std::vector<int>{52});
  EXPECT_FALSE(connection_.IsOpen());
  EXPECT_EQ(port_.Written(), "");
}

TEST_F(ConnectionTest, LoginEndings) {
  const struct {
    const char* what;
    std::deque<std::string> passwords;
    StartResult result;
    int prompts;
    int loginsSent;
  } cases[] = {
      {"three refusals", {"1", "2", "3"}, StartResult::BadPassword, 3, 3},
      {"cancel at the first prompt", {}, StartResult::BadPassword, 1, 0},
      {"empty password", {""}, StartResult::BadPassword, 1, 0},
      {"cancel after a refusal", {"1"}, StartResult::BadPassword, 2, 1},
      {"right at the third try", {"1", "2", "1234"}, StartResult::Connected, 3, 3},
      {"a line break is never sent", {"1234\r#03", "1234"}, StartResult::Connected, 2, 1},
  };
  for (const auto& c : cases) {
    FakeClock clock;
    FakePort port(clock);
    FakeUnit unit(port);
    unit.On("AT", {"OK\r"});
    unit.On("ATD600", {"CONNECT\r"});
    unit.On("#111234", {"#PassWord=1"});
    unit.On("#00", {"#ACK"});
    for (const char* refused : {"#111", "#112", "#113"}) unit.On(refused, {"#PassWord=0"});
    FakeUi ui;
    ui.passwords = c.passwords;
    Connection connection(port, clock);
    EXPECT_EQ(connection.Start({"COM1", true, "600"}, ui), c.result) << c.what;
    EXPECT_EQ(ui.prompts, c.prompts) << c.what;
    int logins = 0;
    for (const std::string& command : unit.Received()) logins += command.rfind("#11", 0) == 0;
    EXPECT_EQ(logins, c.loginsSent) << c.what;
    EXPECT_EQ(unit.Count("#03"), 0) << c.what;
    if (c.result == StartResult::BadPassword) {
      EXPECT_EQ(ui.messages, std::vector<int>{167}) << c.what;
      EXPECT_EQ(ui.statuses.back(), 122) << c.what;
      EXPECT_EQ(unit.Received().back(), "ATH") << c.what;
      EXPECT_EQ(unit.Count("#00"), 0) << c.what;
      EXPECT_FALSE(port.IsOpen()) << c.what;
    }
  }
}

TEST_F(ConnectionTest, UnitAnsweringOtherThanAckIsAskedFiveTimes) {
  unit_.On("#00", {"#NAK"});
  EXPECT_EQ(StartDirect(), StartResult::NotFound);
  EXPECT_EQ(unit_.Count("#00"), 5);
  EXPECT_EQ(ui_.messages, std::vector<int>{168});
  EXPECT_EQ(ui_.statuses, (std::vector<int>{123, 52}));
  EXPECT_FALSE(connection_.IsOpen());

  unit_.On("#00", {"#NAK", "#NAK", "#ACK"});
  EXPECT_EQ(StartDirect(), StartResult::Connected);
  EXPECT_EQ(unit_.Count("#00"), 5 + 3);
}

TEST_F(ConnectionTest, SilentUnitIsGivenUpAfterTheFirstPresenceTest) {
  unit_.On("#00", {""});
  const Micros start = clock_.Now();
  EXPECT_EQ(StartDirect(), StartResult::NotFound);
  EXPECT_EQ(unit_.Count("#00"), 4);  // one SendCommand: four sends
  EXPECT_EQ(clock_.Now() - start, Ms(100 + 4 * 1000));
  EXPECT_EQ(ui_.messages, std::vector<int>{168});
  EXPECT_FALSE(connection_.IsOpen());
}

TEST_F(ConnectionTest, ModemUnitNotFoundIsNotHungUp) {
  ui_.passwords = {"1234"};
  unit_.On("#00", {""});
  EXPECT_EQ(StartModem(), StartResult::NotFound);
  EXPECT_EQ(unit_.Count("ATH"), 0);
  EXPECT_FALSE(connection_.IsOpen());
}

TEST_F(ConnectionTest, VersionAnswers) {
  const struct {
    std::string answer;  // "" for a silent unit
    std::string text;
    float version;
  } cases[] = {
      {"#VER=ZDL410 V5.01", "ZDL410 V5.01", 5.01f},
      {"#VER=ZDL410 V4.2b", "ZDL410 V4.2b", 4.2f},
      {"#VER=1.2", "1.2", 0.0f},  // shorter than 14 characters in all
      {"#VER=", "", 0.0f},
      {"#VER=ZDL410 Vx", "ZDL410 Vx", 0.0f},
      {"#VERSION", "", 0.0f},
      {"", "", 0.0f},
  };
  for (const auto& c : cases) {
    unit_.On("#0F", {c.answer});
    EXPECT_EQ(StartDirect(), StartResult::Connected) << c.answer;
    EXPECT_EQ(connection_.FirmText(), c.text) << c.answer;
    EXPECT_FLOAT_EQ(connection_.FirmVersion(), c.version) << c.answer;
    connection_.Stop(ui_);
  }
}

TEST_F(ConnectionTest, EveryStartForgetsTheUnitBefore) {
  EXPECT_EQ(StartDirect(), StartResult::Connected);
  EXPECT_TRUE(connection_.HasDatalogger());
  connection_.Stop(ui_);
  unit_.On("#0F", {"#ERR"});
  unit_.On("#40", {"#00"});
  EXPECT_EQ(StartDirect(), StartResult::Connected);
  EXPECT_FALSE(connection_.HasDatalogger());
  EXPECT_FLOAT_EQ(connection_.FirmVersion(), 0.0f);
  EXPECT_EQ(connection_.FirmText(), "");
}

TEST_F(ConnectionTest, StopHangsUpOnlyAModem) {
  EXPECT_EQ(StartDirect(), StartResult::Connected);
  const std::string before = port_.Written();
  connection_.Stop(ui_);
  EXPECT_EQ(port_.Written(), before);  // a direct cable gets nothing
  EXPECT_FALSE(connection_.IsOpen());
  EXPECT_EQ(ui_.statuses.back(), 52);
  EXPECT_EQ(connection_.FirmText(), "");

  ui_.passwords = {"1234"};
  EXPECT_EQ(StartModem(), StartResult::Connected);
  connection_.Stop(ui_);
  EXPECT_EQ(unit_.Received().back(), "ATH");
  EXPECT_FALSE(connection_.IsOpen());
}

TEST_F(ConnectionTest, FailedDialClosesThePortAndKeepsTheReason) {
  unit_.On("ATD600123456", {"\r\nBUSY\r\n"});
  EXPECT_EQ(StartModem(), StartResult::DialFailed);
  EXPECT_EQ(ui_.statuses, (std::vector<int>{121, 125}));
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(ui_.prompts, 0);
  EXPECT_EQ(unit_.Count("ATH"), 0);
  EXPECT_FALSE(connection_.IsOpen());
}

TEST_F(ConnectionTest, ExceptionDuringAStartClosesThePort) {
  ui_.passwords = {"throw"};
  EXPECT_EQ(StartModem(), StartResult::PortError);
  EXPECT_EQ(ui_.errors, std::vector<std::string>{"prompt failed"});
  EXPECT_EQ(ui_.statuses.back(), 52);
  EXPECT_FALSE(connection_.IsOpen());
}

// --- carrier loss ---------------------------------------------------------------------

TEST_F(ConnectionTest, CarrierDropDuringAnExchangeStopsOnce) {
  ui_.passwords = {"1234"};
  ASSERT_EQ(StartModem(), StartResult::Connected);
  port_.DropCarrierAt(clock_.Now() + Ms(3000));
  unit_.On("#02", {""});
  std::string command = "#02";
  connection_.Line().SendCommand(command, connection_.ComTimeOut());
  EXPECT_EQ(connection_.Line().LastAnswer, "");
  EXPECT_EQ(unit_.Count("#02"), 1);
  const std::size_t written = port_.Written().size();

  EXPECT_TRUE(connection_.HandleCarrierLoss(ui_));
  EXPECT_EQ(ui_.messages, std::vector<int>{182});
  EXPECT_EQ(ui_.statuses.back(), 52);
  EXPECT_FALSE(connection_.IsOpen());
  EXPECT_EQ(port_.Written().size(), written);  // no "ATH" into a closed port
  EXPECT_FALSE(connection_.HandleCarrierLoss(ui_));
  EXPECT_EQ(ui_.messages.size(), 1u);
}

TEST_F(ConnectionTest, CarrierOnADirectCableIsNotWatched) {
  ASSERT_EQ(StartDirect(), StartResult::Connected);
  port_.DropCarrierAt(clock_.Now() + Ms(10));
  EXPECT_FALSE(connection_.Line().ReadLine(Millis{1000}));
  EXPECT_TRUE(connection_.IsOpen());
  EXPECT_FALSE(connection_.HandleCarrierLoss(ui_));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ConnectionTest, CarrierDropDuringAStartEndsItWithTheCarrierMessage) {
  const struct {
    const char* what;
    std::string dropAfter;  // the command after which carrier drops
    StartResult result;
    int prompts;
  } cases[] = {
      {"during the login", "#111234", StartResult::BadPassword, 1},
      {"during detection", "#00", StartResult::NotFound, 1},
      {"during the version", "#0F", StartResult::NotFound, 1},
  };
  for (const auto& c : cases) {
    FakeClock clock;
    FakePort port(clock);
    FakeUnit unit(port);
    unit.On("AT", {"OK\r"});
    unit.On("ATD600", {"CONNECT\r"});
    unit.On(c.dropAfter, {""});
    unit.On("#111234", {c.dropAfter == "#111234" ? "" : "#PassWord=1"});
    unit.On("#00", {c.dropAfter == "#00" ? "" : "#ACK"});
    unit.then = [&](const std::string& command) {
      if (command == c.dropAfter) port.DropCarrierAt(clock.Now() + Ms(500));
    };
    FakeUi ui;
    ui.passwords = {"1234", "1234", "1234"};
    Connection connection(port, clock);
    EXPECT_EQ(connection.Start({"COM1", true, "600"}, ui), c.result) << c.what;
    EXPECT_EQ(ui.messages, std::vector<int>{182}) << c.what;
    EXPECT_EQ(ui.prompts, c.prompts) << c.what;
    EXPECT_EQ(ui.statuses.back(), 52) << c.what;
    EXPECT_EQ(unit.Count(c.dropAfter), 1) << c.what;
    EXPECT_FALSE(port.IsOpen()) << c.what;
    EXPECT_FALSE(connection.HandleCarrierLoss(ui)) << c.what;
  }
}

// --- modem dial -----------------------------------------------------------------------

class DialTest : public ::testing::Test {
 protected:
  DialTest() {
    port_.Open({"COM1", Handshake::RtsCts, true, true});
    unit_.On("ATE0", {"\r\nOK\r\n"});
    unit_.On("AT", {"\r\nOK\r\n"});
  }
  bool Dial() { return DialModem(line_, "600123456", ui_); }

  FakeClock clock_;
  FakePort port_{clock_};
  FakeUnit unit_{port_};
  SerialLine line_{port_, clock_};
  FakeUi ui_;
};

TEST_F(DialTest, Outcomes) {
  const struct {
    std::string replies;  // what the modem says after the dial command
    bool connected;
    int status;  // 0: none
  } cases[] = {
      {"\r\nCONNECT 9600\r\n", true, 0},
      {"\r\nCONNECT 9600/V.32/LAPM\r\n", true, 0},
      {"ATD600123456\r\r\nRING\r\n\r\nRING\r\n\r\nNO CARRIER\r\n", false, 127},
      {"\r\nBUSY\r\n", false, 125},
      {"\r\nNO ANSWER\r\n", false, 126},
      {"\r\nNO CARRIER\r\n", false, 127},
      {"\r\nNO DIALTONE\r\n", false, 128},
      {"\r\nERROR\r\n", false, 129},
      {"\r\nbusy\r\n", false, 133},         // case-sensitive: no outcome at all
      {"\r\nNO CARRIER \r\n", false, 133},  // whole-line comparison
  };
  for (const auto& c : cases) {
    FakeClock clock;
    FakePort port(clock);
    port.Open({"COM1", Handshake::RtsCts, true, true});
    FakeUnit unit(port);
    unit.On("ATE0", {"OK\r"});
    unit.On("AT", {"OK\r"});
    unit.On("ATD600123456", {c.replies});
    SerialLine line(port, clock);
    FakeUi ui;
    EXPECT_EQ(DialModem(line, "600123456", ui), c.connected) << c.replies;
    EXPECT_EQ(ui.statuses, c.status ? std::vector<int>{c.status} : std::vector<int>{})
        << c.replies;
    EXPECT_EQ(unit.Count("ATD600123456"), 1) << c.replies;
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(port.IsOpen());  // the caller closes the port
  }
}

TEST_F(DialTest, SilentModemAfterTheDialGivesUpAfterSixtyOneTurns) {
  Micros dialled{0};
  unit_.then = [&](const std::string& command) {
    if (command.rfind("ATD", 0) == 0) dialled = clock_.Now();
  };
  EXPECT_FALSE(Dial());
  EXPECT_EQ(ui_.statuses, std::vector<int>{133});
  EXPECT_EQ(clock_.Now() - dialled, Ms(61 * 1000));
  EXPECT_EQ(port_.WrittenLines().back(), "ATD600123456");
}

TEST_F(DialTest, StillEchoingModem) {
  // The echo of "ATE0" is taken as its reply, and its "OK" is flushed before "AT".
  unit_.On("ATE0", {"ATE0\r\r\nOK\r\n"});
  unit_.On("ATD600123456", {"\r\nCONNECT 9600\r\n"});
  EXPECT_TRUE(Dial());

  // An echo of "AT" itself arriving before "OK" fails the modem test.
  unit_.On("AT", {"AT\r\r\nOK\r\n"});
  EXPECT_FALSE(Dial());
  EXPECT_EQ(ui_.statuses, std::vector<int>{133});
  EXPECT_EQ(unit_.Count("ATD600123456"), 1);
}

TEST_F(DialTest, BusyNetworkErrorIsRetriedDuringTheModemTest) {
  unit_.On("AT", {"\r\n+CME ERROR: 515\r\n", "\r\nOK\r\n"});
  unit_.On("ATD600123456", {"\r\nCONNECT\r\n"});
  EXPECT_TRUE(Dial());
  EXPECT_EQ(unit_.Count("AT"), 2);
}

TEST_F(DialTest, ModemWithoutOkIsACommunicationError) {
  unit_.On("AT", {""});
  EXPECT_FALSE(Dial());
  EXPECT_EQ(unit_.Count("AT"), 4);
  EXPECT_EQ(unit_.Count("ATD600123456"), 0);
  EXPECT_EQ(ui_.statuses, std::vector<int>{133});
}

}  // namespace
}  // namespace zdl
