// The simulated unit's dialogue, in process: login, queries, the record stream with its
// acknowledgements, the injected faults, the modem, and the pacing of SimPort.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "link/serial_line.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_port.h"

namespace zdl {
namespace {

using testing::FakeClock;

// Drives a unit at a moving time and reads its answers line by line.
class Dialogue {
 public:
  explicit Dialogue(SimOptions options = {}) : unit(std::move(options)) {}

  // Sends the logical command framed, returns the lines due by then (see Lines).
  std::vector<std::string> Send(std::string_view command) {
    return Raw(FrameCommand(command) + "\r");
  }
  std::vector<std::string> Raw(std::string_view bytes) {
    unit.Receive(bytes, now);
    return Lines(unit.TakeOutput(now));
  }
  // Output split at CR. A framed answer reads "#payload" when its checksum is right and
  // "BAD " + the line otherwise; text before "#" is dropped, other lines are kept as sent.
  static std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t cr = bytes.find('\r'); cr != std::string::npos;
         start = cr + 1, cr = bytes.find('\r', start)) {
      std::string line = bytes.substr(start, cr - start);
      const std::size_t hash = line.find('#');
      if (hash == std::string::npos) {
        lines.push_back(line);
      } else if (AnswerOK(line.substr(hash))) {
        lines.push_back("#" + line.substr(hash + 4));
      } else {
        lines.push_back("BAD " + line.substr(hash));
      }
    }
    return lines;
  }

  SimulatedUnit unit;
  Micros now{0};
};

using Lines = std::vector<std::string>;

TEST(SimDialogue, AnswersTheConnectionQueries) {
  Dialogue d;
  EXPECT_EQ(d.Send("#111234"), Lines{"#PassWord=1"});
  EXPECT_EQ(d.Send("#115678"), Lines{"#PassWord=0"});
  EXPECT_EQ(d.Send("#00"), Lines{"#ACK"});
  EXPECT_EQ(d.Send("#0F"), Lines{"#VER=ZDL410 v5.01"});
  EXPECT_EQ(d.Send("#40"), Lines{"#BF"});
}

TEST(SimDialogue, RefusesEveryPasswordWhenAsked) {
  SimOptions options;
  options.faults.refusePassword = true;
  Dialogue d(options);
  EXPECT_EQ(d.Send("#111234"), Lines{"#PassWord=0"});
  EXPECT_FALSE(d.unit.LoggedIn());
}

TEST(SimDialogue, UnitWithoutDataloggerSaysSoAndIgnoresLoggerCommands) {
  SimOptions options;
  options.hasDatalogger = false;
  options.version = "ZDL410 v4.2";
  Dialogue d(options);
  EXPECT_EQ(d.Send("#0F"), Lines{"#VER=ZDL410 v4.2"});
  EXPECT_EQ(d.Send("#40"), Lines{"#BE"});
  EXPECT_TRUE(d.Send("#60").empty());
  EXPECT_TRUE(d.Send("#58001200009").empty());
}

TEST(SimDialogue, IgnoresBadLines) {
  Dialogue d;
  EXPECT_TRUE(d.Raw("#61;00\r").empty()) << "wrong checksum";
  EXPECT_TRUE(d.Raw("#6000\r").empty()) << "no separator";
  EXPECT_TRUE(d.Raw("hello\r").empty());
  EXPECT_TRUE(d.Send("#77").empty()) << "unknown command";
  EXPECT_EQ(d.Raw("\n#60;00\r"), Lines{"#ACK"}) << "a leading line feed is dropped";
  EXPECT_EQ(d.Raw("#60;00"), Lines{}) << "nothing before the CR";
  EXPECT_EQ(d.Raw("\r"), Lines{"#ACK"});
}

TEST(SimDialogue, DropsAnOverlongLineWhole) {
  Dialogue d;
  const std::string longLine = "#01ID=" + std::string(SimulatedUnit::kMaxLine, 'x');
  EXPECT_TRUE(d.Send(longLine).empty());
  EXPECT_EQ(d.unit.Record().General.NOMBRE, "");
  EXPECT_EQ(d.Send("#00"), Lines{"#ACK"});
}

TEST(SimDialogue, ConfigurationLinesAreParsedIntoTheRecord) {
  Dialogue d;
  EXPECT_EQ(d.Send("#01ID=Granja"), Lines{"#PARSE_OK"});
  EXPECT_EQ(d.Send("#01+ALM2=\"Puerta\",BI"), Lines{"#PARSE_OK"});
  EXPECT_EQ(d.Send("#01+ALM9=\"x\""), Lines{"#PARSE_ERROR"});
  EXPECT_EQ(d.unit.Record().General.NOMBRE, "Granja");
  EXPECT_EQ(d.unit.Record().Digital[2].Modo, ModeBistable);
  EXPECT_EQ(d.Send("#01LDDEF"), Lines{"#PARSE_OK"});
  EXPECT_EQ(d.unit.Record(), ConfigurationRecord{});
}

TEST(SimDialogue, SaveAnswersAckThenSaveOkAfterTheSaveTime) {
  SimOptions options;
  options.saveTime = Millis(2500);
  Dialogue d(options);
  EXPECT_EQ(d.Send("#03"), Lines{"#ACK"});
  ASSERT_TRUE(d.unit.NextOutputTime().has_value());
  EXPECT_EQ(*d.unit.NextOutputTime(), Millis(2500));
  EXPECT_EQ(Dialogue::Lines(d.unit.TakeOutput(Millis(2500))), Lines{"#SAVE_OK"});
}

TEST(SimDialogue, DataloggerSettingsAreKeptAndReported) {
  Dialogue d;
  EXPECT_EQ(d.Send("#58001200009"), Lines{"#A7"});
  EXPECT_EQ(d.Send("#5A00FF0005"), Lines{"#A5"});
  EXPECT_EQ(d.Send("#60"), Lines{"#9F001200009"});
  EXPECT_EQ(d.Send("#62"), Lines{"#9D00FF,0005"});
  EXPECT_TRUE(d.Send("#5812").empty()) << "malformed";
}

// Runs a whole "#02" stream, acknowledging each record; returns the record lines.
Lines ReadStream(Dialogue& d) {
  Lines records;
  Lines lines = d.Send("#02");
  while (lines.size() == 1 && lines[0].size() >= 4) {
    records.push_back(lines[0]);
    lines = d.Raw("#ACK_" + lines[0].substr(1, 3) + "\r");
  }
  return records;
}

TEST(SimStream, SendsEachRecordAfterTheAcknowledgementOfThePrevious) {
  Dialogue d;
  d.Send("#01+TLF=600,Prio=3,PRV2");
  const Lines records = ReadStream(d);
  ASSERT_GT(records.size(), 100u);
  EXPECT_EQ(records.front(), "#001=10");
  EXPECT_EQ(records[16], "#100=600,Prio=3,PRV2");
  EXPECT_EQ(records.back(), "#999=");
  EXPECT_TRUE(d.Raw("#ACK_999\r").empty()) << "nothing after the end";
}

TEST(SimStream, WrongAcknowledgementStopsTheStreamUntilTheNextRequest) {
  Dialogue d;
  EXPECT_EQ(d.Send("#02"), Lines{"#001=10"});
  EXPECT_TRUE(d.Raw("#ACK_002\r").empty());
  EXPECT_TRUE(d.Raw("#ACK_001\r").empty()) << "the stream has stopped";
  EXPECT_EQ(d.Send("#02"), Lines{"#001=10"});
  EXPECT_EQ(d.Raw("#ACK_001\r"), Lines{"#002=5"});
}

TEST(SimStream, DropsARecordOnlyTheFirstTime) {
  SimOptions options;
  options.faults.dropRecord = 3;
  Dialogue d(options);
  EXPECT_EQ(d.Send("#02"), Lines{"#001=10"});
  EXPECT_EQ(d.Raw("#ACK_001\r"), Lines{"#002=5"});
  EXPECT_TRUE(d.Raw("#ACK_002\r").empty()) << "record 3 dropped";
  const Lines records = ReadStream(d);
  ASSERT_GT(records.size(), 3u);
  EXPECT_EQ(records[2], "#003=30");
  EXPECT_EQ(records.back(), "#999=");
}

TEST(SimFaults, WrongChecksumOnTheNthAnswer) {
  SimOptions options;
  options.faults.badChecksumAnswer = 2;
  Dialogue d(options);
  EXPECT_EQ(d.Send("#00"), Lines{"#ACK"});
  const Lines second = d.Send("#00");
  ASSERT_EQ(second.size(), 1u);
  EXPECT_TRUE(second[0].starts_with("BAD #")) << second[0];
  EXPECT_EQ(d.Send("#00"), Lines{"#ACK"});
}

TEST(SimFaults, SilentAfterNAnswers) {
  SimOptions options;
  options.faults.silentAfter = 2;
  Dialogue d(options);
  EXPECT_EQ(d.Send("#00"), Lines{"#ACK"});
  EXPECT_EQ(d.Send("#02"), Lines{"#001=10"});
  EXPECT_TRUE(d.Raw("#ACK_001\r").empty());
  EXPECT_TRUE(d.Send("#00").empty());
  EXPECT_EQ(d.unit.AnswersSent(), 2);
}

TEST(SimFaults, GarbageBeforeEveryAnswer) {
  SimOptions options;
  options.faults.garbage = true;
  Dialogue d(options);
  d.unit.Receive(FrameCommand("#00") + "\r", d.now);
  const std::string out = d.unit.TakeOutput(d.now);
  EXPECT_EQ(out, std::string(kSimGarbage) + FrameCommand("#ACK") + "\r");
  EXPECT_EQ(d.Send("#00"), Lines{"#ACK"});
}

TEST(SimModem, DialsLogsInAndHangsUp) {
  SimOptions options;
  options.modem = true;
  Dialogue d(options);
  EXPECT_EQ(d.unit.TakeOutput(d.now), "");
  d.unit.Receive("ATE0\r", d.now);
  EXPECT_EQ(d.unit.TakeOutput(d.now), "\r\nOK\r\n");
  d.unit.Receive("AT\r", d.now);
  EXPECT_EQ(d.unit.TakeOutput(d.now), "\r\nOK\r\n");
  d.unit.Receive("ATX9\r", d.now);
  EXPECT_EQ(d.unit.TakeOutput(d.now), "\r\nERROR\r\n");
  EXPECT_TRUE(d.Send("#00").empty()) << "no call yet";
  d.unit.Receive("ATD600123456\r", d.now);
  EXPECT_EQ(d.unit.TakeOutput(d.now), "\r\nCONNECT 9600\r\n");
  EXPECT_TRUE(d.unit.Connected());
  EXPECT_TRUE(d.Send("#00").empty()) << "not logged in";
  EXPECT_EQ(d.Send("#119999"), Lines{"#PassWord=0"});
  EXPECT_EQ(d.Send("#111234"), Lines{"#PassWord=1"});
  EXPECT_EQ(d.Send("#00"), Lines{"#ACK"});
  d.unit.Receive("ATH\r", d.now);
  EXPECT_EQ(d.unit.TakeOutput(d.now), "\r\nOK\r\n");
  EXPECT_FALSE(d.unit.Connected());
  EXPECT_FALSE(d.unit.LoggedIn());
  EXPECT_TRUE(d.Send("#00").empty());
}

TEST(SimModem, HangUpLosesAnswersNotYetSent) {
  SimOptions options;
  options.saveTime = Millis(5000);
  SimulatedUnit unit(options);
  unit.Receive(FrameCommand("#03") + "\r", Micros(0));
  unit.HangUp(Millis(1000));
  EXPECT_EQ(Dialogue::Lines(unit.TakeOutput(Millis(10000))), Lines{"#ACK"});
  EXPECT_FALSE(unit.NextOutputTime().has_value());
}

TEST(SimTrace, RecordsWhatWasParsedAndIgnored) {
  Dialogue d;
  d.Send("#01ID=Granja");
  d.Raw("#61;00\r");
  const auto trace = d.unit.TakeTrace();
  auto has = [&trace](std::string_view text) {
    for (const auto& entry : trace) {
      if (entry.find(text) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("parsed #01ID=Granja"));
  EXPECT_TRUE(has("answer #PARSE_OK"));
  EXPECT_TRUE(has("ignored (bad frame or checksum) #61;00"));
  EXPECT_TRUE(d.unit.Trace().empty());
}

// --- pacing and the in-process port ---

TEST(SimPacing, ByteTimesAt9600Baud) {
  EXPECT_EQ(PacedBytesTime(1), Micros(1042));
  EXPECT_EQ(PacedBytesTime(3), Micros(3125));
  EXPECT_EQ(PacedBytesTime(96), Micros(100000));
  EXPECT_EQ(PacedBytesTime(9600), Micros(10000000));
}

TEST(SimPacing, AHundredByteExchangeTakesAbout104MsEachWay) {
  // "#CC;VER=" + 91 characters + CR is a 100-byte answer; the request line is 100 bytes too.
  SimOptions options;
  options.paced = true;
  options.version = std::string(91, 'v');
  SimulatedUnit unit(options);
  FakeClock clock;
  SimPort port(unit, clock);
  ASSERT_TRUE(port.Open({}));

  const std::string request = FrameCommand("#01ID=" + std::string(90, 'n')) + "\r";
  ASSERT_EQ(request.size(), 100u);
  ASSERT_TRUE(port.Write(request));
  EXPECT_FALSE(port.WaitWritten(Millis(100)));
  EXPECT_TRUE(port.WaitWritten(Millis(200)));
  EXPECT_EQ(clock.Now(), PacedBytesTime(100));  // 104167 us

  std::string answer;
  while (auto c = port.ReadByte(Millis(1000))) answer += *c;
  EXPECT_EQ(Dialogue::Lines(answer), Lines{"#PARSE_OK"});

  const Micros asked = clock.Now();
  ASSERT_TRUE(port.Write(FrameCommand("#0F") + "\r"));  // 7 bytes
  answer.clear();
  while (answer.empty() || answer.back() != '\r') {
    const auto c = port.ReadByte(asked + Millis(1000));
    ASSERT_TRUE(c.has_value());
    answer += *c;
  }
  ASSERT_EQ(answer.size(), 100u);
  EXPECT_EQ(clock.Now() - asked, PacedBytesTime(7) + PacedBytesTime(100));
}

TEST(SimPacing, ReadTimesOutAtTheDeadlineWhenNothingIsDue) {
  SimulatedUnit unit;
  FakeClock clock;
  SimPort port(unit, clock);
  ASSERT_TRUE(port.Open({}));
  EXPECT_FALSE(port.ReadByte(Millis(300)).has_value());
  EXPECT_EQ(clock.Now(), Millis(300));
  port.Close();
  EXPECT_FALSE(port.Write("#60;00\r"));
  EXPECT_FALSE(port.ReadByte(Millis(400)).has_value());
  EXPECT_EQ(clock.Now(), Millis(300)) << "a closed port does not wait";
}

TEST(SimPort, WorksWithTheSerialLine) {
  SimOptions options;
  options.paced = true;
  SimulatedUnit unit(options);
  FakeClock clock;
  SimPort port(unit, clock);
  ASSERT_TRUE(port.Open({}));
  SerialLine line(port, clock);
  std::string command = "#00";
  line.SendCommand(command, Millis(1000));
  EXPECT_EQ(line.LastAnswer, "#ACK");
  EXPECT_EQ(command, "#60;00");
  EXPECT_FALSE(port.TakeCarrierLoss());
}

TEST(SimPort, ClosingHangsUpTheModem) {
  SimOptions options;
  options.modem = true;
  SimulatedUnit unit(options);
  FakeClock clock;
  SimPort port(unit, clock);
  ASSERT_TRUE(port.Open({}));
  ASSERT_TRUE(port.Write("ATD123\r"));
  EXPECT_TRUE(unit.Connected());
  port.Close();
  EXPECT_FALSE(unit.Connected());
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace zdl
