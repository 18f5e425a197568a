#include "transfer/read_config.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "configfile/config_file.h"
#include "link/trace_port.h"
#include "tests/support/fake_port.h"
#include "tests/support/sample_record.h"
#include "transfer/check_pass.h"

namespace zdl {
namespace {

using R = ConfigurationRecord;

std::string B(bool b) { return b ? "1" : "0"; }
std::string I(int i) { return std::to_string(i); }
std::string Bits(const auto& boxes) {
  std::string s;
  for (bool b : boxes) s += B(b);
  return s;
}

TEST(ReadConfigDecode, RecordLinesAndLoggerAnswers) {
  using Field = std::function<std::string(const R&)>;
  Field macroTx = [](const R& r) { return I(r.TxAlarm.MACRO_TX); };
  Field tx = [](const R& r) { return B(r.TxAlarm.HABIL) + r.TxAlarm.TEXT + B(r.TxAlarm.RING); };
  Field analog0 = [](const R& r) { return B(r.Analog[0].HABIL) + B(r.Analog[0].RING); };
  Field mode0 = [](const R& r) { return I(r.Digital[0].Modo); };
  Field input3 = [](const R& r) {
    const DigitalInput& d = r.Digital[3];
    return B(d.PERSIST) + "|" + d.PVAL + "|" + B(d.CICLOS) + "|" + d.CVAL;
  };
  Field timer0 = [](const R& r) { return r.Timers[0].TIME + "|" + I(r.Timers[0].MACRO); };
  Field timer2 = [](const R& r) { return B(r.Timers[2].HABIL) + "|" + Bits(r.Timers[2].Days); };
  Field phones = [](const R& r) {
    return std::to_string(r.ListaTlf.size()) + ":" + r.ListaTlf.front() + ";" + r.ListaTlf.back();
  };
  // Each case's lines ("\n"-separated) go into a fresh record.
  using Case = std::tuple<const char*, Field, std::string>;
  for (const auto& [lines, field, expected] : std::vector<Case>{
           {"#019 Restored\n#019 ", [](const R& r) { return B(r.General.Habil_Restore); }, "0"},
           {"#207  two  blanks ", [](const R& r) { return r.Digital[7].TEXT; }, " two  blanks "},
           {"#011 2.5", macroTx, "2"},  // list positions round half to even
           {"#011 3.5", macroTx, "4"},
           // Flags: "1" sets; "0", a non-digit or nothing clears; "2" to "9" keep the box.
           {"#009 1\n#008 Line down\n#010 1\n#009 2", tx, "1Line down1"},
           {"#009 1\n#008 Line down\n#010 1\n#009 0", tx, "00"},
           {"#370 1\n#380 1\n#370 9\n#380 9", analog0, "11"},
           {"#370 1\n#380 1\n#380", analog0, "10"},
           {"#370 1\n#370 x", analog0, "00"},
           // The mode comes from NC (21x), enable (22x) and bistable (29x) in any order.
           {"#220 1\n#210 1", mode0, I(ModeNormallyClosed)},
           {"#210 1\n#290 1\n#220 1", mode0, I(ModeBistable)},
           {"#220 1\n#220 0", mode0, I(ModeDisabled)},
           {"#243 0", input3, "1| 0|0|"},
           {"#243 15\n#243 10", input3, "0||0|"},  // 10 means no persistence
           {"#510 3690\n#540 3", timer0, "01:02|2"},  // 61.5 min; the unit counts macros from 1
           {"#510 30\n#540 0", timer0, "00:00|-1"},
           {"#550 12.5", timer0, " 12|0"},
           {"#522 65", timer2, "1|1000001"},
           {"#522 128", timer2, "1|0000000"},
           {"#522 127\n#522 0", timer2, "0|0000000"},
           {"#103 600,PRV2\n#101 \n#100 700,PRV0", phones, "2:600,PRV2;700,PRV0"},  // arrival order
           {"#100 0\n#100 1\n#100 2\n#100 3\n#100 4\n#100 5\n#100 6\n#100 7\n#107 8", phones,
            "8:0;7"},  // a ninth entry has no place
       }) {
    R record;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) DecodeRecordLine(line, record);
    EXPECT_EQ(field(record), expected) << lines;
  }
  const RecordOutcome kRejected = RecordOutcome::Rejected, kIgnored = RecordOutcome::Ignored;
  for (const auto& [line, outcome] : std::vector<std::pair<const char*, RecordOutcome>>{
           {"#011 15", kRejected}, {"#011 9E300", kRejected}, {"#464 x", kRejected},
           {"#540 15", kRejected}, {"#522 32768", kRejected}, {"#504 1", kIgnored},
           {"#012 x", kIgnored}, {"#108 600", kIgnored}, {"#208 x", kIgnored},
           {"#560 1", kIgnored}, {"#999 x", RecordOutcome::End}}) {
    R record;
    EXPECT_EQ(DecodeRecordLine(line, record), outcome) << line;
    EXPECT_TRUE(record == R{}) << line;  // a line not decoded changes nothing
  }
  // The data logger's answers to "#60" and "#62".
  auto decode = [](bool channels, const char* answer) {  // the "#60" or the "#62" answer
    R r;
    const bool ok = channels ? DecodeLoggerChannels(answer, r) : DecodeLoggerInputs(answer, r);
    const DataLoggerGroup& d = r.DataLogger;
    return B(ok) + d.LOG_TIME + d.DIGITAL_REARM + "|" + Bits(d.REG_A) + Bits(d.REG_D);
  };
  EXPECT_EQ(decode(true, "#9F0006000Bz"), "1 60|000000000000");  // a mask not in hex reads 0
  EXPECT_EQ(decode(true, "#9D00060000B"), "0|000000000000");
  EXPECT_EQ(decode(false, "#9D0081x0005"), "1 5|000010000001");  // character 8 is not examined
  EXPECT_EQ(decode(false, "#9F00FF 0030"), "0|000000000000");
}

constexpr Millis kComTimeout{1000};

// A unit that streams `records` after "#02", the next one on each acknowledgement; `lose`
// makes the record with that index (counted from 0 in every attempt) go missing.
class ReadingUnit : public testing::ScriptedUnit {
 public:
  explicit ReadingUnit(std::vector<std::string> records) : records_(std::move(records)) {
    port.Open(PortSettings{});
    answers["#00"] = "#ACK";
    onLine = [this](const std::string& command) {
      if (command == "#02") next_ = 0;
      if (command != "#02" && !command.starts_with("#ACK_")) return;
      if (endless && recordsSent < endlessLimit) next_ %= records_.size();
      if (next_ < records_.size() && !lose(next_)) {
        port.FeedAnswer(records_[next_]);
        ++recordsSent;
      }
      ++next_;
    };
  }
  bool Read(R& record, bool hasDatalogger = false, bool asUser = false) {
    SerialLine line(port, clock);
    return (asUser ? ReadConfiguration : ReadConfig)(line, kComTimeout, hasDatalogger, record,
                                                     progress);
  }

  std::function<bool(std::size_t)> lose = [](std::size_t) { return false; };
  // The records go round without end (until `endlessLimit` lines, so a read that never
  // stops still ends the test).
  bool endless = false;
  std::size_t endlessLimit = 20000;
  std::size_t recordsSent = 0;

 private:
  std::vector<std::string> records_;
  std::size_t next_ = 0;
};

TEST(ReadConfigProcedure, AcknowledgesRawAndRefillsAllButTheTimers) {
  ReadingUnit unit({"005 +34609090909", "012 x", "100 600,PRV0", "200 Off input", "999"});
  unit.answers["#60"] = "#ACK";  // data-logger answers without their prefix: defaults
  unit.answers["#62"] = "#9F0081 0030";
  R record = testing::FullRecord();
  ASSERT_TRUE(unit.Read(record, true));
  EXPECT_NE(unit.port.Written().find("#ACK_005\r#ACK_012\r#ACK_100\r#ACK_200\r#ACK_999\r"),
            std::string::npos);
  R expected;
  expected.Timers = testing::FullRecord().Timers;
  expected.General.SMSC = "+34609090909";
  expected.General.Csm = SmsCentre::CSMMovi;
  expected.ListaTlf = {"600,PRV0"};
  EXPECT_TRUE(record == expected);  // the text of a disabled input is cleaned up
  EXPECT_EQ(unit.progress.values, (std::vector<int>{0, 1, 2, 3, 4, 5, 176}));
  EXPECT_EQ(unit.Count("#60") + unit.Count("#62"), 2);
}

TEST(ReadConfigProcedure, AttemptsAndPresenceRepeats) {
  // `lost`: the record lost in the first `attempts` attempts; 0: "#02" is never answered.
  for (const auto& [presence, lost, attempts, ok, presenceSends, startSends] :
       std::vector<std::tuple<const char*, int, int, bool, int, int>>{
           {"#ACK", 1, 9, false, 3, 3}, {"#NAK", 1, 9, false, 6, 3}, {"", -1, 0, true, 4, 1},
           {"#ACK", 0, 9, false, 1, 4}, {"#ACK", 1, 1, true, 2, 2}}) {
    ReadingUnit unit({"007 Name", "999"});
    unit.answers["#00"] = presence;
    unit.lose = [&, lost = lost, attempts = attempts](std::size_t index) {
      return static_cast<int>(index) == lost && unit.Count("#02") <= attempts;
    };
    R record;
    EXPECT_EQ(unit.Read(record), ok) << presence << lost;
    EXPECT_EQ(unit.Count("#00"), presenceSends) << presence << lost;
    EXPECT_EQ(unit.Count("#02"), startSends) << presence << lost;
    EXPECT_EQ(unit.Count("#60"), 0);  // no data logger asked for
  }
}

// A failed user read leaves the record as it was, without starting the stream again:
// a record lost in every attempt, a closed port (at once), and valid records that never
// reach 999 (with the progress bar long full).
TEST(ReadConfigProcedure, AFailedUserReadLeavesTheRecordAsItWas) {
  enum Fault { Lost, Closed, Endless };
  for (const auto& [fault, starts] : {std::pair{Lost, 3}, {Closed, 1}, {Endless, 1}}) {
    SCOPED_TRACE(fault);
    std::vector<std::string> records = {"007 New name", "100 600,PRV0", "200 Input", "999"};
    if (fault == Endless) records.pop_back();
    ReadingUnit unit(records);
    if (fault == Lost) unit.lose = [](std::size_t index) { return index == 1; };
    if (fault == Closed) unit.answers["#ACK_100"] = "close";
    unit.endless = fault == Endless;
    R record = testing::FullRecord();
    EXPECT_FALSE(unit.Read(record, false, true));
    EXPECT_TRUE(record == testing::FullRecord());
    EXPECT_EQ(unit.progress.statuses,
              (std::vector<TextId>{TextId::ReadingConfiguration, TextId::CommunicationError}));
    EXPECT_EQ(unit.progress.values.back(), 0);
    EXPECT_EQ(unit.Count("#02"), starts);
    EXPECT_LT(unit.recordsSent, unit.endlessLimit);
    EXPECT_TRUE(fault != Closed || unit.clock.Now() < Micros{kComTimeout});
  }
}

// A unit's text holding control bytes (a LF, a NUL, an escape, DEL) is kept without them:
// the read succeeds, the trace says what was dropped, and the record saves and passes the
// texts' check, so it can be backed up and written back.
TEST(ReadConfigProcedure, ControlBytesOfAUnitsTextAreDroppedAndTheTraceSaysSo) {
  ReadingUnit unit({std::string("007 Gra\nnja\0 1", 15), "200 Fallo\x1B[2J UPS", "220 1",
                    "100 600,PRV2\x7F", "011 15", "999"});
  std::ostringstream log;
  TracingPort traced(unit.port, unit.clock, log);
  SerialLine line(traced, unit.clock);
  R record;
  ASSERT_TRUE(ReadConfiguration(line, kComTimeout, false, record, unit.progress));
  EXPECT_EQ(record.General.NOMBRE, "Granja 1");
  EXPECT_EQ(record.Digital[0].TEXT, "Fallo[2J UPS");
  EXPECT_EQ(record.ListaTlf, std::vector<Text>{"600,PRV2"});
  for (const char* said : {"-- record 007: control characters not kept: <LF><NUL>",
                           "-- record 100: control characters not kept: <0x7F>",
                           "-- record 011 ignored: its field cannot take 15"}) {
    EXPECT_NE(log.str().find(said), std::string::npos) << log.str();
  }
  std::string saved;
  EXPECT_TRUE(SaveConfigBytes(record, "", saved).ok);
  EXPECT_FALSE(CheckLineTexts(record).has_value());
}

}  // namespace
}  // namespace zdl
