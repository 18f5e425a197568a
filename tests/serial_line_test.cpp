// The line primitives against a scripted far end on a fake clock, and the trace.
#include "link/serial_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "link/trace_port.h"
#include "tests/support/fake_port.h"

namespace zdl {
namespace {

using testing::FakeClock;
using testing::FakePort;
using Lines = std::vector<std::string>;

constexpr Millis kSecond{1000};

struct Rig {
  Rig() { port.Open({}); }
  FakeClock clock;
  FakePort port{clock};
  SerialLine line{port, clock};
};

TEST(Framing, ChecksumIsTheByteSumAsTwoUpperCaseDigits) {
  EXPECT_EQ(FrameCommand("#00"), "#60;00");
  EXPECT_EQ(FrameCommand("#UUV"), "#00;UUV");      // 256: the sum wraps to zero
  EXPECT_EQ(FrameCommand("#UUY"), "#03;UUY");      // below 16: the leading zero is kept
  EXPECT_EQ(FrameCommand("#\xE9 "), "#09;\xE9 ");  // bytes above 127 count as unsigned
  // Lower-case digits read the same; digits that are not hexadecimal read as 0.
  for (const char* ok : {"#60;00", "#00;UUV", "#09;\xE9 ", "#cf;ACK", "#XX;UUV"}) {
    EXPECT_TRUE(AnswerOK(ok)) << ok;
  }
  for (const char* bad : {"#61;00", "#60;0", "#00;", "#XX;00"}) EXPECT_FALSE(AnswerOK(bad)) << bad;
}

TEST(SerialLine, ReadLineAndReadAnswer) {
  const struct {
    bool framed;                                          // ReadAnswer, else ReadLine
    std::vector<std::pair<std::string, long long>> feed;  // bytes, arrival in ms
    std::string read;                                     // "" for a failed read
    long long ms;                                         // when the read returned
  } cases[] = {
      {false, {{"\n  \x01\x7F\xE9OK\r", 0}}, "OK", 0},  // leading blanks and controls skipped
      {false, {{"CONN", 0}, {"ECT\r", 600}}, "CONNECT", 600},
      {false, {{"OK", 0}, {"\r", 1200}}, "", 1000},  // the CR after the time-out loses the line
      // The time-out covers the whole line, however steadily its bytes come.
      {false, {{"A", 300}, {"B", 600}, {"C", 900}, {"D", 1200}, {"\r", 1500}}, "", 1000},
      {false, {{std::string(20000, 'A') + "\rOK\r", 0}}, "", 0},  // an overlong line is dropped
      {true, {{"ATH\r\nNO CARRIER\r\n#CF;ACK\r", 0}}, "#ACK", 0},  // text before the "#" dropped
      {true, {{"#CE;ACK\r", 0}}, "", 0},  // a wrong checksum
      {true, {{"#CF;ACK", 0}}, "", 1000},  // no CR in time
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(++row);
    Rig r;
    for (const auto& [bytes, ms] : c.feed) r.port.Feed(bytes, Millis(ms));
    r.line.LastAnswer = "stale";
    EXPECT_EQ(c.framed ? r.line.ReadAnswer(kSecond) : r.line.ReadLine(kSecond), !c.read.empty());
    EXPECT_EQ(r.line.LastAnswer, c.read);
    EXPECT_EQ(r.clock.Now(), Millis(c.ms));
  }
}

TEST(SerialLine, SendATAndSendCommandFlushThenRetry) {
  const std::string kBusy = "\r\n+CME ERROR: 515\r\n";
  const struct {
    bool framed;    // SendCommand("#00"), else SendAT("AT")
    Lines replies;  // fed 10 ms after each send; "" for silence
    std::size_t sends;
    std::string last;
    long long ms;   // the whole exchange, with the flush's 100 ms
  } cases[] = {
      {false, {"\r\nOK\r\n"}, 1, "OK", 110},
      {false, {"\r\nERROR\r\n"}, 1, "ERROR", 110},  // only the busy error is retried
      {false, {kBusy, kBusy, "\r\nOK\r\n"}, 3, "OK", 130},
      {false, {"", "\r\nOK\r\n"}, 2, "OK", 1110},
      {false, {kBusy}, 4, "", 3110},
      {true, {"#00;ACK\r", "#CF;ACK\r"}, 2, "#ACK", 120},  // a bad checksum is sent again
      {true, {}, 4, "", 4100},
  };
  for (const auto& c : cases) {
    Rig r;
    r.port.Feed("\r\nRING\r\n#CF;ACK\r");  // pending, flushed before the first send
    std::size_t send = 0;
    r.port.SetResponder([&](std::string_view, FakePort& p) {
      if (send < c.replies.size()) p.Feed(c.replies[send], Millis(10));
      ++send;
    });
    std::string command = "#00";
    c.framed ? r.line.SendCommand(command, kSecond) : r.line.SendAT("AT", kSecond);
    EXPECT_EQ(r.port.WrittenLines(), Lines(c.sends, c.framed ? "#60;00" : "AT")) << c.last;
    EXPECT_EQ(r.line.LastAnswer, c.last);
    EXPECT_EQ(r.clock.Now(), Millis(c.ms)) << c.last;
  }
}

TEST(SerialLine, FlushWaitsForStragglersOnlyAfterAnUnsettledExchange) {
  Rig r;
  int sends = 0;
  r.port.SetResponder([&](std::string_view written, FakePort& port) {
    ++sends;
    // The first "#00" is lost once; its late answer comes after the retry's.
    if (written == "#60;00\r" && sends == 1) return;
    port.FeedAnswer("ACK", Millis(10));
    if (sends == 2) port.FeedAnswer("ACK", Millis(40));
  });
  std::string first = "#00";
  r.line.SendCommand(first, kSecond);  // full flush, one lost send, answered on the retry
  EXPECT_EQ(r.clock.Now(), Millis(100 + 1000 + 10));

  // After the retry a straggler is owed: the flush waits and drops it.
  Micros before = r.clock.Now();
  std::string second = "#0F";
  r.line.SendCommand(second, kSecond);
  EXPECT_EQ(r.line.LastAnswer, "#ACK");
  EXPECT_EQ(r.clock.Now() - before, Millis(30 + 100 + 10));  // straggler, quiet 100 ms, answer

  // That exchange was clean: the next flush takes only what has already arrived.
  before = r.clock.Now();
  std::string third = "#40";
  r.line.SendCommand(third, kSecond);
  EXPECT_EQ(r.clock.Now() - before, Millis(10));
  EXPECT_EQ(sends, 4);
}

// A device that keeps sending at the speed of a USB adapter: every wait still ends (the
// flood is far from dry) and the flushes give up. The flood hands its bytes over whatever
// a read's deadline, as a real port's buffer does. (A line that never ends fails at the
// line limit, as the reads' own overlong row shows.)
TEST(SerialLine, EveryWaitEndsUnderAFlood) {
  constexpr std::int64_t kFlood = 5'000'000;  // bytes, 10 us each: 50 s on the clock
  using Exchange = void (*)(SerialLine&);
  const Exchange answer = [](SerialLine& l) { EXPECT_FALSE(l.ReadAnswer(kSecond)); };
  const Exchange command = [](SerialLine& l) {
    std::string presence = "#00";
    l.SendCommand(presence, kSecond);
  };
  const Exchange modem = [](SerialLine& l) { l.SendAT("AT", kSecond); };
  const struct {
    Exchange exchange;
    std::string flood;
    std::string last;  // LastAnswer afterwards
  } cases[] = {
      {answer, "noise without a hash\r\n", ""},
      {command, "#CF;ACK\r", "#ACK"},  // valid answers pour in: the flush gives up
      {modem, "\r\nRING\r\n", "RING"},  // modem lines pour in
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(++row);
    Rig r;
    r.port.Flood(c.flood, Micros{10}, kFlood);
    c.exchange(r.line);
    EXPECT_EQ(r.line.LastAnswer, c.last);
    EXPECT_GT(r.port.FloodLeft(), kFlood / 2) << "the wait went on long after its deadline";
    if (c.exchange != answer) {
      EXPECT_FALSE(r.port.WrittenLines().empty()) << "the flush never let the command out";
    }
  }
}

// The login's password and checksum are masked wherever they pass, written or echoed;
// other lines, record lines of the unit beginning "11" among them, stay as they are.
TEST(TracingPort, NeverShowsThePassword) {
  const struct {
    std::string bytes;
    bool received;
    std::string shown;
  } rows[] = {
      {"#C4;111234\r", false, "#**;11****\r"},
      {"noise#c4;111234\n#60;00\r", true, "noise#**;11****\n#60;00\r"},
      {"#A1;110=Texto\r", true, "#A1;110=Texto\r"},        // a record line of the unit
      {"#A1;110=Texto\r", false, "#**;11*******\r"},       // never sent: masked all the same
      {"#G4;111234\r#4;111\r#60;00\r", false, "#G4;111234\r#4;111\r#60;00\r"},  // not frames
      {"#C4;11", false, "#**;11"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(WithoutPassword(row.bytes, row.received), row.shown) << row.bytes;
  }

  // Through the port: a login written (its checksum "72"), its echo after a long run of
  // noise, and an echo longer than a trace line.
  FakeClock clock;
  FakePort inner(clock);
  std::ostringstream log;
  TracingPort port(inner, clock, log);
  ASSERT_TRUE(port.Open({}));
  log.str("");  // the line settings hold digits of their own
  ASSERT_TRUE(port.Write(FrameCommand("#1127788") + "\r"));
  inner.Feed(std::string(195, '~') + "#00;1186420\r#00;11" + std::string(450, '7') + "\r#60;00\r");
  for (int i = 0; i < 195 + 12 + 457 + 7; ++i) ASSERT_TRUE(port.ReadByte(clock.Now() + kSecond));
  std::istringstream lines(log.str());
  for (std::string entry; std::getline(lines, entry);) {
    const std::string shown = entry.substr(entry.find(" ms ") + 4);  // after the time
    EXPECT_EQ(shown.find_first_of("2478"), std::string::npos) << entry;  // the passwords' digits
  }
  EXPECT_NE(log.str().find("-> #**;11*****<CR>\n"), std::string::npos) << log.str();
  EXPECT_NE(log.str().find("<- #60;00<CR>"), std::string::npos) << log.str();
}

}  // namespace
}  // namespace zdl
