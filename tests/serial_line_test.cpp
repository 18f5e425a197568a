// The line primitives against a scripted far end on a fake clock, and the trace.
#include "link/serial_line.h"

#include <gtest/gtest.h>

#include <sstream>

#include "link/trace_port.h"
#include "tests/support/fake_port.h"

namespace zdl {
namespace {

using testing::FakeClock;
using testing::FakePort;

constexpr Millis kSecond{1000};
constexpr Millis kFlush{100};

Micros Ms(long long ms) { return Micros{Millis{ms}}; }

// --- framing ------------------------------------------------------------------------

TEST(Framing, ChecksumIsTheByteSumAsTwoUpperCaseDigits) {
  const struct {
    std::string command;
    std::string framed;
  } cases[] = {
      {"#00", "#60;00"},
      {"#01LDDEF", "#C0;01LDDEF"},
      {"#UUV", "#00;UUV"},             // 256: the sum wraps to zero
      {"#UUY", "#03;UUY"},             // below 16: the leading zero is kept
      {"#\xE9 ", "#09;\xE9 "},         // bytes above 127 count as unsigned
      {"#11\xFF\xFF", "#60;11\xFF\xFF"},
      {"#", "#00;"},
  };
  for (const auto& c : cases) EXPECT_EQ(FrameCommand(c.command), c.framed) << c.command;
}

TEST(Framing, AnswerOKChecksTheDigitsAgainstThePayload) {
  const struct {
    std::string line;
    bool ok;
  } cases[] = {
      {"#60;00", true},
      {"#CF;ACK", true},
      {"#cf;ACK", true},    // lower-case hexadecimal reads the same
      {"#61;00", false},
      {"#60;0", false},
      {"#00;", false},      // shorter than five characters
      {"#00", false},
      {"", false},
      {"#XX;UUV", true},    // digits that are not hexadecimal read as 0...
      {"#XX;00", false},    // ...so only a payload summing to 0 passes
      {"#6G;UUV", true},
      {"#60X00", true},     // the fourth character is not examined
      {"#09;\xE9 ", true},
  };
  for (const auto& c : cases) EXPECT_EQ(AnswerOK(c.line), c.ok) << c.line;
}

// --- readers ------------------------------------------------------------------------

class SerialLineTest : public ::testing::Test {
 protected:
  SerialLineTest() { port_.Open({"COM1", Handshake::None, false, false}); }
  Micros Elapsed() { return clock_.Now() - start_; }

  FakeClock clock_;
  FakePort port_{clock_};
  SerialLine line_{port_, clock_};
  Micros start_ = clock_.Now();
};

TEST_F(SerialLineTest, ReadLineCases) {
  const struct {
    const char* what;
    std::vector<std::pair<std::string, long long>> feed;  // bytes, arrival in ms
    bool ok;
    std::string line;
  } cases[] = {
      {"leading LF, blanks and controls skipped", {{"\n  \x01\x7F\xE9OK\r", 0}}, true, "OK"},
      {"blanks and controls inside are kept", {{"A B\x01\xE9\r", 0}}, true, "A B\x01\xE9"},
      {"split by a pause shorter than the time-out", {{"CONN", 0}, {"ECT\r", 600}}, true, "CONNECT"},
      {"CR after the time-out loses the line", {{"OK", 0}, {"\r", 1200}}, false, ""},
      {"the time-out covers the whole line",
       {{"A", 300}, {"B", 600}, {"C", 900}, {"D", 1200}, {"\r", 1500}}, false, ""},
      {"empty lines are no line", {{"\r\n\r\n", 0}}, false, ""},
      {"silence", {}, false, ""},
  };
  for (const auto& c : cases) {
    FakeClock clock;
    FakePort port(clock);
    port.Open({"COM1", Handshake::None, false, false});
    for (const auto& [bytes, delay] : c.feed) port.Feed(bytes, Ms(delay));
    SerialLine line(port, clock);
    line.LastAnswer = "stale";
    EXPECT_EQ(line.ReadLine(kSecond), c.ok) << c.what;
    EXPECT_EQ(line.LastAnswer, c.line) << c.what;
    if (!c.ok) {
      EXPECT_EQ(clock.Now(), Ms(1000)) << c.what;
    }
  }
}

TEST_F(SerialLineTest, ReadLineTakesConsecutiveLines) {
  port_.Feed("\r\nOK\r\nRING\r\n");
  EXPECT_TRUE(line_.ReadLine(kSecond));
  EXPECT_EQ(line_.LastAnswer, "OK");
  EXPECT_TRUE(line_.ReadLine(kSecond));
  EXPECT_EQ(line_.LastAnswer, "RING");
  EXPECT_FALSE(line_.ReadLine(kSecond));
}

TEST_F(SerialLineTest, OverlongLineIsDroppedWhole) {
  port_.Feed(std::string(20000, 'A') + "\rOK\r");
  EXPECT_FALSE(line_.ReadLine(kSecond));
  EXPECT_EQ(line_.LastAnswer, "");
  EXPECT_TRUE(line_.ReadLine(kSecond));
  EXPECT_EQ(line_.LastAnswer, "OK");
}

TEST_F(SerialLineTest, ReadAnswerCases) {
  const struct {
    const char* what;
    std::string feed;
    bool ok;
    std::string answer;
  } cases[] = {
      {"framing removed", "#CF;ACK\r", true, "#ACK"},
      {"text before the # dropped", "ATH\r\nNO CARRIER\r\n#CF;ACK\r", true, "#ACK"},
      {"wrong checksum", "#CE;ACK\r", false, ""},
      {"too short", "#CF\r", false, ""},
      {"no CR in time", "#CF;ACK", false, ""},
      {"no #", "ACK\r", false, ""},
      {"Windows-1252 payload", "#09;\xE9 \r", true, "#\xE9 "},
  };
  for (const auto& c : cases) {
    FakeClock clock;
    FakePort port(clock);
    port.Open({"COM1", Handshake::None, false, false});
    port.Feed(c.feed);
    SerialLine line(port, clock);
    EXPECT_EQ(line.ReadAnswer(kSecond), c.ok) << c.what;
    EXPECT_EQ(line.LastAnswer, c.answer) << c.what;
  }
}

TEST_F(SerialLineTest, ClosedPortFailsEveryWaitAtOnce) {
  port_.Close();
  port_.Feed("OK\r#CF;ACK\r");
  EXPECT_FALSE(line_.ReadLine(kSecond));
  EXPECT_FALSE(line_.ReadAnswer(kSecond));
  std::string command = "#00";
  line_.SendCommand(command, kSecond);
  line_.SendAT("AT", kSecond);
  EXPECT_EQ(line_.LastAnswer, "");
  EXPECT_EQ(port_.Written(), "");
  EXPECT_EQ(Elapsed(), Micros{0});
}

// --- SendAT ---------------------------------------------------------------------------

TEST_F(SerialLineTest, SendATFlushesPendingLinesThenReadsTheReply) {
  port_.Feed("\r\nRING\r\nOK\r\n");
  port_.SetResponder([](std::string_view written, FakePort& port) {
    if (written == "AT\r") port.Feed("\r\nOK\r\n", Ms(20));
  });
  line_.SendAT("AT", kSecond);
  EXPECT_EQ(line_.LastAnswer, "OK");
  EXPECT_EQ(port_.Written(), "AT\r");
  // The flush ends with one 100 ms read that times out; the reply took 20 ms.
  EXPECT_EQ(Elapsed(), Ms(120));
}

TEST_F(SerialLineTest, SendATRetriesOnlyTheBusyError) {
  const struct {
    std::vector<std::string> replies;  // one per send, "" for silence
    int sends;
    std::string last;
  } cases[] = {
      {{"OK"}, 1, "OK"},
      {{"ERROR"}, 1, "ERROR"},
      {{"+CME ERROR: 515", "+CME ERROR: 515", "OK"}, 3, "OK"},
      {{"", "OK"}, 2, "OK"},
      {{"+CME ERROR: 515", "+CME ERROR: 515", "+CME ERROR: 515", "+CME ERROR: 515"}, 4,
       "+CME ERROR: 515"},
      {{"", "", "", ""}, 4, ""},
      {{"+CME ERROR: 515", "", "", ""}, 4, ""},
  };
  for (const auto& c : cases) {
    FakeClock clock;
    FakePort port(clock);
    port.Open({"COM1", Handshake::RtsCts, true, true});
    std::size_t send = 0;
    port.SetResponder([&](std::string_view, FakePort& p) {
      const std::string reply = send < c.replies.size() ? c.replies[send] : "";
      ++send;
      if (!reply.empty()) p.Feed("\r\n" + reply + "\r\n", Ms(10));
    });
    SerialLine line(port, clock);
    line.SendAT("ATE0", kSecond);
    EXPECT_EQ(static_cast<int>(port.WrittenLines().size()), c.sends) << c.last;
    EXPECT_EQ(line.LastAnswer, c.last);
  }
}

TEST_F(SerialLineTest, SendATSilentModemTakesFourTimeOuts) {
  line_.SendAT("AT", kSecond);
  EXPECT_EQ(port_.WrittenLines(), (std::vector<std::string>{"AT", "AT", "AT", "AT"}));
  EXPECT_EQ(line_.LastAnswer, "");
  EXPECT_EQ(Elapsed(), Ms(100 + 4 * 1000));
}

TEST_F(SerialLineTest, SendATWithTimeOutZeroWritesAfterTheFlushAndReadsNothing) {
  port_.Feed("OK\r\n");
  port_.SetResponder([](std::string_view, FakePort& port) { port.Feed("ATD123\r\n"); });
  line_.SendAT("ATD123", Millis{0});
  EXPECT_EQ(port_.Written(), "ATD123\r");
  EXPECT_EQ(line_.LastAnswer, "");
  EXPECT_GT(port_.Pending(), 0u);  // the echo is left for the caller
  EXPECT_EQ(Elapsed(), kFlush);
}

// --- SendCommand ------------------------------------------------------------------------

TEST_F(SerialLineTest, SendCommandFramesAndReturnsThePayload) {
  port_.SetResponder([](std::string_view written, FakePort& port) {
    if (written == "#60;00\r") port.FeedAnswer("ACK", Ms(30));
  });
  std::string command = "#00";
  line_.SendCommand(command, kSecond);
  EXPECT_EQ(command, "#60;00");
  EXPECT_EQ(line_.LastAnswer, "#ACK");
  EXPECT_EQ(port_.Written(), "#60;00\r");
}

TEST_F(SerialLineTest, SendCommandDropsValidAnswersAlreadyPending) {
  port_.FeedAnswer("ACK");
  port_.FeedAnswer("PARSE_OK", Ms(50));
  port_.SetResponder([](std::string_view, FakePort& port) { port.FeedAnswer("VER=5.01", Ms(5)); });
  std::string command = "#0F";
  line_.SendCommand(command, kSecond);
  EXPECT_EQ(line_.LastAnswer, "#VER=5.01");
  EXPECT_EQ(port_.WrittenLines().size(), 1u);
}

TEST_F(SerialLineTest, FlushWaitsForStragglersOnlyAfterAnUnsettledExchange) {
  int sends = 0;
  port_.SetResponder([&](std::string_view written, FakePort& port) {
    ++sends;
    // The first "#00" is lost once; its late answer comes after the retry's.
    if (written == "#60;00\r" && sends == 1) return;
    port.FeedAnswer("ACK", Ms(10));
    if (sends == 2) port.FeedAnswer("ACK", Ms(40));
  });
  std::string first = "#00";
  line_.SendCommand(first, kSecond);  // full flush, one lost send, answered on the retry
  EXPECT_EQ(Elapsed(), Ms(100 + 1000 + 10));

  // After the retry a straggler is owed: the flush waits and drops it.
  Micros before = clock_.Now();
  std::string second = "#0F";
  line_.SendCommand(second, kSecond);
  EXPECT_EQ(line_.LastAnswer, "#ACK");
  EXPECT_EQ(clock_.Now() - before, Ms(30 + 100 + 10));  // straggler, quiet 100 ms, answer

  // That exchange was clean: the next flush takes only what has already arrived.
  before = clock_.Now();
  std::string third = "#40";
  line_.SendCommand(third, kSecond);
  EXPECT_EQ(clock_.Now() - before, Ms(10));
  EXPECT_EQ(sends, 4);
}

TEST_F(SerialLineTest, SendCommandRetriesAfterABadChecksum) {
  int sends = 0;
  port_.SetResponder([&](std::string_view, FakePort& port) {
    if (++sends == 1) {
      port.Feed("#00;ACK\r", Ms(10));
    } else {
      port.FeedAnswer("ACK", Ms(10));
    }
  });
  std::string command = "#00";
  line_.SendCommand(command, kSecond);
  EXPECT_EQ(sends, 2);
  EXPECT_EQ(line_.LastAnswer, "#ACK");
}

TEST_F(SerialLineTest, SendCommandToASilentUnitSendsFourTimesAndWaitsFourTimeOuts) {
  std::string command = "#00";
  line_.SendCommand(command, kSecond);
  EXPECT_EQ(port_.WrittenLines(), std::vector<std::string>(4, "#60;00"));
  EXPECT_EQ(line_.LastAnswer, "");
  EXPECT_EQ(Elapsed(), Ms(100 + 4 * 1000));
}

TEST_F(SerialLineTest, CarrierDropDuringAWaitEndsTheExchangeAtOnce) {
  FakeClock clock;
  FakePort port(clock);
  port.Open({"COM1", Handshake::RtsCts, true, true});
  port.DropCarrierAt(Ms(2500));
  SerialLine line(port, clock);
  std::string command = "#00";
  line.SendCommand(command, Millis{10000});
  EXPECT_EQ(line.LastAnswer, "");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.WrittenLines().size(), 1u);  // no sends into a closed port
  EXPECT_EQ(clock.Now(), Ms(2500));
  EXPECT_TRUE(port.TakeCarrierLoss());
}

TEST_F(SerialLineTest, DelayWaitsAndReadsNothing) {
  port_.Feed("OK\r");
  line_.Delay(Millis{250});
  EXPECT_EQ(Elapsed(), Ms(250));
  EXPECT_EQ(port_.Pending(), 3u);
  EXPECT_TRUE(line_.WriteRaw("#ACK_001\r"));
  EXPECT_EQ(port_.Written(), "#ACK_001\r");
}

// --- the trace ----------------------------------------------------------------------

TEST(VisibleBytes, ControlCharactersAreNamed) {
  const struct {
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"#60;00\r", "#60;00<CR>"},
      {std::string("\r\n\0\t", 4), "<CR><LF><NUL><TAB>"},
      {"\x1B\x7F", "<0x1B><0x7F>"},
      {"Alarma \xE9\x80", "Alarma \xC3\xA9\xE2\x82\xAC"},  // Windows-1252 shown in UTF-8
      {"\x81\x9D", "<0x81><0x9D>"},                        // no Windows-1252 character
  };
  for (const auto& c : cases) EXPECT_EQ(VisibleBytes(c.bytes), c.shown);
}

TEST(TracingPort, LogsBothDirectionsLineByLineWithTimes) {
  FakeClock clock;
  clock.Advance(Ms(5000));  // times count from the start of the trace
  FakePort inner(clock);
  std::ostringstream log;
  TracingPort port(inner, clock, log);
  inner.SetResponder([](std::string_view, FakePort& p) {
    p.FeedAnswer("ACK", Ms(12));
    p.Feed("\nOK", Ms(3));
  });
  ASSERT_TRUE(port.Open({"COM2", Handshake::RtsCts, true, true}));
  SerialLine line(port, clock);
  std::string command = "#00";
  line.SendCommand(command, kSecond);
  EXPECT_FALSE(line.ReadLine(Millis{40}));
  port.Close();
  EXPECT_EQ(log.str(),
            "       0 ms -- open COM2 9600,N,8,1, handshake RTS/CTS, DTR on, carrier watch on\n"
            "     100 ms -> #60;00<CR>\n"
            "     112 ms <- #CF;ACK<CR>\n"
            "     152 ms <- <LF>OK\n"
            "     152 ms -- close\n");
}

TEST(TracingPort, LogsFailuresAndCarrierLoss) {
  FakeClock clock;
  FakePort inner(clock);
  std::ostringstream log;
  TracingPort port(inner, clock, log);
  inner.FailOpen("/dev/ttyS3: Permission denied");
  EXPECT_FALSE(port.Open({"COM4", Handshake::None, false, false}));
  EXPECT_FALSE(port.Write("x"));
  EXPECT_NE(log.str().find("-- open COM4 failed: /dev/ttyS3: Permission denied\n"),
            std::string::npos);
  EXPECT_NE(log.str().find("-> x  (not sent: /dev/ttyS3: Permission denied)\n"),
            std::string::npos);

  FakeClock clock2;
  FakePort modem(clock2);
  std::ostringstream log2;
  TracingPort traced(modem, clock2, log2);
  traced.Open({"COM1", Handshake::RtsCts, true, true});
  modem.Feed("NO", Ms(10));
  modem.DropCarrierAt(Ms(20));
  SerialLine line(traced, clock2);
  EXPECT_FALSE(line.ReadLine(kSecond));
  EXPECT_TRUE(traced.TakeCarrierLoss());
  EXPECT_FALSE(traced.TakeCarrierLoss());
  const std::string text = log2.str();
  EXPECT_NE(text.find("      20 ms <- NO\n"), std::string::npos) << text;
  EXPECT_NE(text.find("      20 ms -- port closed during a wait\n"), std::string::npos) << text;
  EXPECT_NE(text.find("      20 ms -- carrier lost\n"), std::string::npos) << text;
  EXPECT_FALSE(traced.IsOpen());
}

}  // namespace
}  // namespace zdl
