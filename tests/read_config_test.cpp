#include "transfer/read_config.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fake_port.h"
#include "tests/support/transfer_support.h"

namespace zdl {
namespace {

using testing::FakeClock;
using testing::FakePort;

// --- decoding of single record lines ---

struct DecodeCase {
  const char* line;
  RecordOutcome outcome;
  std::function<std::string(const ConfigurationRecord&)> field;
  std::string expected;
};

std::string B(bool b) { return b ? "1" : "0"; }
std::string I(int i) { return std::to_string(i); }

std::string Days(const Timer& t) {
  std::string s;
  for (bool d : t.Days) s += B(d);
  return s;
}

void RunDecodeTable(const std::vector<DecodeCase>& cases) {
  for (const DecodeCase& c : cases) {
    ConfigurationRecord record;
    EXPECT_EQ(DecodeRecordLine(c.line, record), c.outcome) << c.line;
    EXPECT_EQ(c.field(record), c.expected) << c.line;
  }
}

TEST(ReadConfigDecode, GeneralRecords) {
  RunDecodeTable({
      {"#001 10", RecordOutcome::Decoded, [](auto& r) { return r.General.RENVN; }, "10"},
      {"#001 1234", RecordOutcome::Decoded, [](auto& r) { return r.General.RENVN; }, "123"},
      {"#002 7", RecordOutcome::Decoded, [](auto& r) { return r.General.RENVT; }, "7"},
      {"#003 45", RecordOutcome::Decoded, [](auto& r) { return r.General.ASINC; }, "45"},
      {"#004 3", RecordOutcome::Decoded, [](auto& r) { return r.General.AINFO; }, "3"},
      {"#005 +34609090909", RecordOutcome::Decoded, [](auto& r) { return r.General.SMSC; },
       "+34609090909"},
      {"#006 600123456 ", RecordOutcome::Decoded, [](auto& r) { return r.General.PTLF; },
       "600123456 "},
      {"#007 Pump station", RecordOutcome::Decoded, [](auto& r) { return r.General.NOMBRE; },
       "Pump station"},
      {"#008 Tx fail", RecordOutcome::Decoded, [](auto& r) { return r.TxAlarm.TEXT; }, "Tx fail"},
      {"#011 3", RecordOutcome::Decoded, [](auto& r) { return I(r.TxAlarm.MACRO_TX); }, "3"},
      {"#014 15", RecordOutcome::Decoded, [](auto& r) { return r.General.NORMAL; }, " 1.5"},
      {"#014 300", RecordOutcome::Decoded, [](auto& r) { return r.General.NORMAL; }, " 30"},
      {"#014 -30", RecordOutcome::Decoded, [](auto& r) { return r.General.NORMAL; }, "-3"},
      {"#014 x", RecordOutcome::Decoded, [](auto& r) { return r.General.NORMAL; }, " 0"},
      {"#015 14", RecordOutcome::Decoded, [](auto& r) { return I(r.General.MACRO_INICIO); }, "14"},
      {"#016 2", RecordOutcome::Decoded, [](auto& r) { return I(r.General.MACRO_GSMOK); }, "2"},
      {"#017 5", RecordOutcome::Decoded, [](auto& r) { return I(r.General.MACRO_GSMMAL); }, "5"},
      {"#019 Restored", RecordOutcome::Decoded,
       [](auto& r) { return r.General.REST_TEXT + "|" + B(r.General.Habil_Restore); },
       "Restored|1"},
      {"#019 ", RecordOutcome::Decoded,
       [](auto& r) { return r.General.REST_TEXT + "|" + B(r.General.Habil_Restore); }, "|0"},
      {"#019 123456789012345678901234", RecordOutcome::Decoded,
       [](auto& r) { return r.General.REST_TEXT; }, "12345678901234567890"},
  });
}

TEST(ReadConfigDecode, MacroChoicesAreListPositions) {
  auto macroTx = [](const ConfigurationRecord& r) { return I(r.TxAlarm.MACRO_TX); };
  RunDecodeTable({
      {"#011 0", RecordOutcome::Decoded, macroTx, "0"},
      {"#011 2.5", RecordOutcome::Decoded, macroTx, "2"},  // halves to even
      {"#011 3.5", RecordOutcome::Decoded, macroTx, "4"},
      {"#011 -1", RecordOutcome::Decoded, macroTx, "-1"},  // no selection
      {"#011 15", RecordOutcome::Rejected, macroTx, "0"},
      {"#011 -2", RecordOutcome::Rejected, macroTx, "0"},
      {"#011 99999", RecordOutcome::Rejected, macroTx, "0"},
      {"#011 9E300", RecordOutcome::Rejected, macroTx, "0"},
      {"#275 7", RecordOutcome::Decoded, [](auto& r) { return I(r.Digital[5].MACRO_TRUE); }, "7"},
      {"#286 14", RecordOutcome::Decoded, [](auto& r) { return I(r.Digital[6].MACRO_FALSE); },
       "14"},
      {"#433 1", RecordOutcome::Decoded, [](auto& r) { return I(r.Analog[3].MACRO_HIGH); }, "1"},
      {"#440 2", RecordOutcome::Decoded, [](auto& r) { return I(r.Analog[0].MACRO_LOW); }, "2"},
      {"#451 3", RecordOutcome::Decoded, [](auto& r) { return I(r.Analog[1].MACRO_NOM); }, "3"},
      {"#541 3", RecordOutcome::Decoded, [](auto& r) { return I(r.Timers[1].MACRO); }, "2"},
      {"#547 14", RecordOutcome::Decoded, [](auto& r) { return I(r.Timers[7].MACRO); }, "13"},
      {"#540 0", RecordOutcome::Decoded, [](auto& r) { return I(r.Timers[0].MACRO); }, "-1"},
      {"#540 15", RecordOutcome::Rejected, [](auto& r) { return I(r.Timers[0].MACRO); }, "0"},
      {"#540 -1", RecordOutcome::Rejected, [](auto& r) { return I(r.Timers[0].MACRO); }, "0"},
  });
}

TEST(ReadConfigDecode, AlarmInputs) {
  RunDecodeTable({
      {"#200 Door", RecordOutcome::Decoded, [](auto& r) { return r.Digital[0].TEXT; }, "Door"},
      {"#207  two  blanks ", RecordOutcome::Decoded, [](auto& r) { return r.Digital[7].TEXT; },
       " two  blanks "},
      {"#243 10", RecordOutcome::Decoded,
       [](auto& r) { return B(r.Digital[3].PERSIST) + "|" + r.Digital[3].PVAL; }, "0|"},
      {"#243 15", RecordOutcome::Decoded,
       [](auto& r) { return B(r.Digital[3].PERSIST) + "|" + r.Digital[3].PVAL; }, "1| 1.5"},
      {"#240 0", RecordOutcome::Decoded,
       [](auto& r) { return B(r.Digital[0].PERSIST) + "|" + r.Digital[0].PVAL; }, "1| 0"},
      {"#251 0", RecordOutcome::Decoded,
       [](auto& r) { return B(r.Digital[1].CICLOS) + "|" + r.Digital[1].CVAL; }, "0|"},
      {"#251 00007", RecordOutcome::Decoded,
       [](auto& r) { return B(r.Digital[1].CICLOS) + "|" + r.Digital[1].CVAL; }, "1|00007"},
      {"#251 abc", RecordOutcome::Decoded,
       [](auto& r) { return B(r.Digital[1].CICLOS) + "|" + r.Digital[1].CVAL; }, "0|"},
      {"#300 Tank", RecordOutcome::Decoded, [](auto& r) { return r.Analog[0].TEXT; }, "Tank"},
      {"#313 -1.5", RecordOutcome::Decoded, [](auto& r) { return r.Analog[3].MIN; }, "-1.5"},
      {"#320 12345678901", RecordOutcome::Decoded, [](auto& r) { return r.Analog[0].MAX; },
       "1234567890"},
      {"#331 0.2", RecordOutcome::Decoded, [](auto& r) { return r.Analog[1].HIST; }, "0.2"},
      {"#341 123456789", RecordOutcome::Decoded, [](auto& r) { return r.Analog[1].UN; },
       "12345678"},
      {"#352 4", RecordOutcome::Decoded, [](auto& r) { return r.Analog[2].IE; }, "4"},
      {"#363 20", RecordOutcome::Decoded, [](auto& r) { return r.Analog[3].FE; }, "20"},
      {"#391 15", RecordOutcome::Decoded,
       [](auto& r) { return B(r.Analog[1].PERSIST) + "|" + r.Analog[1].PVAL; }, "1| 1.5"},
      {"#500 3600", RecordOutcome::Decoded, [](auto& r) { return r.Digital[0].RST; }, "3600"},
      {"#503 1234567", RecordOutcome::Decoded, [](auto& r) { return r.Digital[3].RST; }, "12345"},
  });
}

TEST(ReadConfigDecode, Macros) {
  RunDecodeTable({
      {"#410 Open valve", RecordOutcome::Decoded,
       [](auto& r) { return r.Macros[0].MACRO_TEXT; }, "Open valve"},
      {"#419 Ten", RecordOutcome::Decoded, [](auto& r) { return r.Macros[9].MACRO_TEXT; }, "Ten"},
      {"#420 SAL1=1", RecordOutcome::Decoded, [](auto& r) { return r.Macros[0].MACRO_COM; },
       "SAL1=1"},
      {"#460 Eleven", RecordOutcome::Decoded,
       [](auto& r) { return r.Macros[10].MACRO_TEXT; }, "Eleven"},
      {"#463 Fourteen", RecordOutcome::Decoded,
       [](auto& r) { return r.Macros[13].MACRO_TEXT; }, "Fourteen"},
      {"#473 SAL2=0", RecordOutcome::Decoded, [](auto& r) { return r.Macros[13].MACRO_COM; },
       "SAL2=0"},
      {"#410 1234567890123456789012345", RecordOutcome::Decoded,
       [](auto& r) { return r.Macros[0].MACRO_TEXT; }, "123456789012345678901234"},
  });
  // Macros 15 to 20 do not exist.
  for (const char* line : {"#464 x", "#469 x", "#474 x", "#479 x"}) {
    ConfigurationRecord record;
    EXPECT_EQ(DecodeRecordLine(line, record), RecordOutcome::Rejected) << line;
    EXPECT_EQ(record, ConfigurationRecord{}) << line;
  }
}

TEST(ReadConfigDecode, Timers) {
  auto time0 = [](const ConfigurationRecord& r) { return r.Timers[0].TIME; };
  auto days2 = [](const ConfigurationRecord& r) {
    return B(r.Timers[2].HABIL) + "|" + Days(r.Timers[2]);
  };
  RunDecodeTable({
      {"#510 3690", RecordOutcome::Decoded, time0, "01:02"},  // 61.5 min -> 62
      {"#510 30", RecordOutcome::Decoded, time0, "00:00"},    // 0.5 min -> 0
      {"#510 90", RecordOutcome::Decoded, time0, "00:02"},    // 1.5 min -> 2
      {"#510 86340", RecordOutcome::Decoded, time0, "23:59"},
      {"#510 99999", RecordOutcome::Decoded, time0, "27:47"},
      {"#510", RecordOutcome::Decoded, time0, "00:00"},
      {"#517 43200", RecordOutcome::Decoded, [](auto& r) { return r.Timers[7].TIME; }, "12:00"},
      {"#522 0", RecordOutcome::Decoded, days2, "0|0000000"},
      {"#522 65", RecordOutcome::Decoded, days2, "1|1000001"},
      {"#522 127", RecordOutcome::Decoded, days2, "1|1111111"},
      {"#522 128", RecordOutcome::Decoded, days2, "1|0000000"},
      {"#522 -1", RecordOutcome::Decoded, days2, "1|1111111"},
      {"#522 32768", RecordOutcome::Rejected, days2, "0|0000000"},
      {"#522 9999999", RecordOutcome::Rejected, days2, "0|0000000"},
      {"#533 30000", RecordOutcome::Decoded, [](auto& r) { return r.Timers[3].VP; }, "30000"},
      {"#550 1230", RecordOutcome::Decoded, time0, " 1230"},
      {"#550 12.5", RecordOutcome::Decoded, time0, " 12"},
      {"#550 13.5", RecordOutcome::Decoded, time0, " 14"},
  });
  // Days value 0 clears the enable box and every day box that was set before.
  ConfigurationRecord record;
  record.Timers[4].HABIL = true;
  record.Timers[4].Days.fill(true);
  EXPECT_EQ(DecodeRecordLine("#524 0", record), RecordOutcome::Decoded);
  EXPECT_FALSE(record.Timers[4].HABIL);
  EXPECT_EQ(Days(record.Timers[4]), "0000000");
}

TEST(ReadConfigDecode, UnlistedRecordsAreIgnoredAndChangeNothing) {
  for (const char* line : {"#000 x", "#012 x", "#013 1", "#018 1", "#108 600", "#208 x",
                           "#209 1", "#304 x", "#374 1", "#504 1", "#507 1", "#518 1",
                           "#560 1", "#998 1", "#abc 1", "#-01 1"}) {
    ConfigurationRecord record;
    EXPECT_EQ(DecodeRecordLine(line, record), RecordOutcome::Ignored) << line;
    EXPECT_EQ(record, ConfigurationRecord{}) << line;
  }
  ConfigurationRecord record;
  EXPECT_EQ(DecodeRecordLine("#999", record), RecordOutcome::End);
  EXPECT_EQ(DecodeRecordLine("#999 anything", record), RecordOutcome::End);
}

// Flags: "1" sets, "0", a non-digit or nothing clears, "2" to "9" leave the box.
TEST(ReadConfigDecode, FlagValues) {
  struct FlagRecord {
    int number;
    std::function<bool&(ConfigurationRecord&)> box;
  };
  const std::vector<FlagRecord> records = {
      {10, [](ConfigurationRecord& r) -> bool& { return r.TxAlarm.RING; }},
      {232, [](ConfigurationRecord& r) -> bool& { return r.Digital[2].RING; }},
      {267, [](ConfigurationRecord& r) -> bool& { return r.Digital[7].RENV; }},
      {370, [](ConfigurationRecord& r) -> bool& { return r.Analog[0].HABIL; }},
      {383, [](ConfigurationRecord& r) -> bool& { return r.Analog[3].RING; }},
      {402, [](ConfigurationRecord& r) -> bool& { return r.Analog[2].RENV; }},
  };
  struct ValueCase {
    const char* v;
    bool fromFalse;
    bool fromTrue;
  };
  const std::vector<ValueCase> values = {
      {"1", true, true},   {"0", false, false}, {"2", false, true}, {"9", false, true},
      {"x", false, false}, {"", false, false},  {"-1", false, false}, {" 1", false, false},
  };
  for (const FlagRecord& f : records) {
    for (const ValueCase& c : values) {
      char line[32];
      std::snprintf(line, sizeof line, "#%03d %s", f.number, c.v);
      for (bool start : {false, true}) {
        ConfigurationRecord record;
        f.box(record) = start;
        EXPECT_EQ(DecodeRecordLine(line, record), RecordOutcome::Decoded) << line;
        EXPECT_EQ(f.box(record), start ? c.fromTrue : c.fromFalse) << line << " from " << start;
      }
    }
  }
}

TEST(ReadConfigDecode, TxAlarmEnableGoesThroughItsRule) {
  ConfigurationRecord record;
  DecodeRecordLine("#009 1", record);
  DecodeRecordLine("#008 Line down", record);
  DecodeRecordLine("#010 1", record);
  EXPECT_TRUE(record.TxAlarm.HABIL);
  DecodeRecordLine("#009 2", record);  // no change, no rule
  EXPECT_EQ(record.TxAlarm.TEXT, "Line down");
  DecodeRecordLine("#009 0", record);  // unchecking empties the text and the ring box
  EXPECT_FALSE(record.TxAlarm.HABIL);
  EXPECT_EQ(record.TxAlarm.TEXT, "");
  EXPECT_FALSE(record.TxAlarm.RING);
}

TEST(ReadConfigDecode, DigitalModeAssembledInAnyOrder) {
  struct ModeCase {
    std::vector<const char*> lines;
    int mode;
  };
  const std::vector<ModeCase> cases = {
      {{"#220 1"}, ModeNormallyOpen},
      {{"#210 1", "#220 1"}, ModeNormallyClosed},
      {{"#220 1", "#210 1"}, ModeNormallyClosed},
      {{"#290 1", "#220 1"}, ModeBistable},
      {{"#220 1", "#290 1"}, ModeBistable},
      {{"#210 1", "#290 1", "#220 1"}, ModeBistable},
      {{"#210 1"}, ModeDisabled},  // only remembered while disabled
      {{"#210 1", "#220 2"}, ModeDisabled},
      {{"#220 1", "#210 2"}, ModeNormallyOpen},  // "2": no call at all
      {{"#220 1", "#290 1", "#290 0"}, ModeNormallyOpen},
      {{"#220 1", "#220 0"}, ModeDisabled},
  };
  for (const ModeCase& c : cases) {
    ConfigurationRecord record;
    std::string trail;
    for (const char* line : c.lines) {
      DecodeRecordLine(line, record);
      trail += std::string(line) + " ";
    }
    EXPECT_EQ(record.Digital[0].Modo, c.mode) << trail;
  }
  ConfigurationRecord record;
  DecodeRecordLine("#215 1", record);
  DecodeRecordLine("#225 1", record);
  EXPECT_EQ(record.Digital[5].Modo, ModeNormallyClosed);
  EXPECT_EQ(record.Digital[4].Modo, ModeDisabled);
}

TEST(ReadConfigDecode, PhoneEntriesAppendInArrivalOrder) {
  ConfigurationRecord record;
  EXPECT_EQ(DecodeRecordLine("#103 600,Prio=3,PRV2", record), RecordOutcome::Decoded);
  EXPECT_EQ(DecodeRecordLine("#101 ", record), RecordOutcome::Decoded);  // empty: skipped
  EXPECT_EQ(DecodeRecordLine("#100 700,PRV0", record), RecordOutcome::Decoded);
  EXPECT_EQ(record.ListaTlf, (std::vector<Text>{"600,Prio=3,PRV2", "700,PRV0"}));

  ConfigurationRecord full;
  for (int i = 0; i < kPhoneListSize; ++i) {
    EXPECT_EQ(DecodeRecordLine("#100 " + std::to_string(i), full), RecordOutcome::Decoded);
  }
  EXPECT_EQ(DecodeRecordLine("#107 9", full), RecordOutcome::Rejected);
  EXPECT_EQ(full.ListaTlf.size(), static_cast<std::size_t>(kPhoneListSize));
}

TEST(ReadConfigDecode, NeverCrashesOnShortOrOddLines) {
  const std::vector<std::string> values = {
      "",     " ",     "x",        "0",          "1",           "-1",         "99999999",
      "1E308", "-1E308", "9E999",  "\xff\x80\x01", ".", "1.5.5",     std::string(200, '9')};
  for (const char* line : {"", "#", "#0", "#00", "#001", "#001x", "x001 1", "#\r\n"}) {
    ConfigurationRecord record;
    DecodeRecordLine(line, record);
  }
  for (int n = 0; n <= 1000; ++n) {
    char number[16];
    std::snprintf(number, sizeof number, "#%03d", n);
    ConfigurationRecord record;
    for (const std::string& v : values) {
      DecodeRecordLine(std::string(number) + " " + v, record);
      DecodeRecordLine(std::string(number) + v, record);
    }
  }
}

// --- data-logger answers ---

TEST(ReadConfigDecode, LoggerChannels) {
  struct Case {
    const char* answer;
    bool ok;
    const char* logTime;
    const char* regA;  // bits 0 to 3
  };
  const std::vector<Case> cases = {
      {"#9F00060000B", true, " 60", "1101"},
      {"#9F00600000f", true, " 600", "1111"},
      {"#9F00060zzzz", true, " 60", "0000"},  // invalid hex reads as 0
      {"#9F0006000 1", true, " 60", "0000"},
      {"#9F", true, " 0", "0000"},
      {"#9F12345FFFF", true, " 12345", "1111"},
      {"#A7", false, "", "0000"},
      {"", false, "", "0000"},
      {"#9D00060000B", false, "", "0000"},
  };
  for (const Case& c : cases) {
    ConfigurationRecord record;
    EXPECT_EQ(DecodeLoggerChannels(c.answer, record), c.ok) << c.answer;
    EXPECT_EQ(record.DataLogger.LOG_TIME, c.logTime) << c.answer;
    std::string bits;
    for (bool b : record.DataLogger.REG_A) bits += B(b);
    EXPECT_EQ(bits, c.regA) << c.answer;
    EXPECT_EQ(record.DataLogger.REG_D, (std::array<bool, kDigitalInputs>{})) << c.answer;
  }
}

TEST(ReadConfigDecode, LoggerInputs) {
  struct Case {
    const char* answer;
    bool ok;
    const char* rearm;
    const char* regD;  // bits 0 to 7
  };
  const std::vector<Case> cases = {
      {"#9D00FF 0030", true, " 30", "11111111"},
      {"#9D0081x0005", true, " 5", "10000001"},
      {"#9D0100 0005", true, " 5", "00000000"},  // bit 8 has no input
      {"#9D00g1 0005", true, " 5", "00000000"},
      {"#9D0002", true, " 0", "01000000"},
      {"#9F00FF 0030", false, "", "00000000"},
      {"#9", false, "", "00000000"},
  };
  for (const Case& c : cases) {
    ConfigurationRecord record;
    EXPECT_EQ(DecodeLoggerInputs(c.answer, record), c.ok) << c.answer;
    EXPECT_EQ(record.DataLogger.DIGITAL_REARM, c.rearm) << c.answer;
    std::string bits;
    for (bool b : record.DataLogger.REG_D) bits += B(b);
    EXPECT_EQ(bits, c.regD) << c.answer;
  }
}

// --- the read procedure against a scripted unit ---

using Progress = testing::RecordingProgress;
using testing::Payload;

// A unit that streams `records` after "#02", one per acknowledgement. `lose(attempt,
// index)` says whether the index-th record of that attempt (counted from 0) goes missing.
class ReadingUnit {
 public:
  ReadingUnit(FakeClock& clock, std::vector<std::string> records)
      : port_(clock), records_(std::move(records)) {
    port_.Open(PortSettings{});
    port_.SetResponder([this](std::string_view bytes, FakePort& port) { OnWrite(bytes, port); });
  }

  FakePort& Port() { return port_; }
  std::function<bool(int attempt, std::size_t index)> lose = [](int, std::size_t) {
    return false;
  };
  std::string presenceAnswer = "ACK";
  std::string channels = "9F00060000B";
  std::string inputs = "9D0081 0030";
  bool answerStart = true;
  // Closes the port when the acknowledgement of this record index arrives.
  std::optional<std::size_t> closeAt;
  int attempts = 0;

  int Sent(const std::string& payload) const {
    int n = 0;
    for (const std::string& line : port_.WrittenLines()) n += Payload(line) == payload;
    return n;
  }

 private:
  void OnWrite(std::string_view bytes, FakePort& port) {
    pending_.append(bytes);
    std::size_t cr;
    while ((cr = pending_.find('\r')) != std::string::npos) {
      std::string line = Payload(pending_.substr(0, cr));
      pending_.erase(0, cr + 1);
      Answer(line, port);
    }
  }

  void Answer(const std::string& payload, FakePort& port) {
    if (payload == "00") {
      if (!presenceAnswer.empty()) port.FeedAnswer(presenceAnswer);
    } else if (payload == "02") {
      if (!answerStart) return;
      ++attempts;
      next_ = 0;
      SendNext(port);
    } else if (payload.starts_with("#ACK_")) {
      if (closeAt && next_ == *closeAt + 1) {
        port.Close();
        return;
      }
      SendNext(port);
    } else if (payload == "60") {
      port.FeedAnswer(channels);
    } else if (payload == "62") {
      port.FeedAnswer(inputs);
    }
  }

  void SendNext(FakePort& port) {
    if (next_ >= records_.size()) return;
    std::size_t index = next_++;
    if (lose(attempts, index)) return;
    port.FeedAnswer(records_[index]);
  }

  FakePort port_;
  std::vector<std::string> records_;
  std::size_t next_ = 0;
  std::string pending_;
};

constexpr Millis kComTimeout{1000};

class ReadConfigProcedure : public ::testing::Test {
 protected:
  bool Read(ReadingUnit& unit, ConfigurationRecord& record, bool hasDatalogger = false) {
    SerialLine line(unit.Port(), clock_);
    return ReadConfig(line, kComTimeout, hasDatalogger, record, progress_);
  }
  bool ReadAsUser(ReadingUnit& unit, ConfigurationRecord& record) {
    SerialLine line(unit.Port(), clock_);
    return ReadConfiguration(line, kComTimeout, false, record, progress_);
  }

  FakeClock clock_;
  Progress progress_;
};

// A record with something in every group a read touches, the timers included.
ConfigurationRecord EditedRecord() {
  ConfigurationRecord record;
  record.General.NOMBRE = "Old name";
  record.General.RENVN = "3";
  record.ListaTlf = {"111,PRV0", "222,Prio=1,PRV2"};
  record.SetDigitalMode(1, ModeNormallyClosed);
  record.Digital[1].TEXT = "Old alarm";
  record.Analog[2].HABIL = true;
  record.Macros[3].MACRO_TEXT = "Old macro";
  record.DataLogger.LOG_TIME = "5";
  record.Timers[2].HABIL = true;
  record.Timers[2].TIME = "07:30";
  return record;
}

TEST_F(ReadConfigProcedure, OnlyEndRecordGivesDefaultsAndKeepsTimers) {
  ReadingUnit unit(clock_, {"999"});
  ConfigurationRecord record = EditedRecord();
  ASSERT_TRUE(Read(unit, record));

  ConfigurationRecord expected;
  expected.Timers = record.Timers;
  EXPECT_EQ(record, expected);
  EXPECT_EQ(record.Timers[2].TIME, "07:30");
  EXPECT_EQ(progress_.range, 176);
  EXPECT_EQ(progress_.values.back(), 176);
  EXPECT_EQ(unit.Port().WrittenLines().back(), "#ACK_999");
  EXPECT_EQ(unit.Sent("60"), 0);
}

TEST_F(ReadConfigProcedure, AcknowledgesEveryRecordWithItsThreeDigitNumber) {
  ReadingUnit unit(clock_, {"007 Name", "012 what", "100 600,PRV0", "999"});
  ConfigurationRecord record;
  ASSERT_TRUE(Read(unit, record));
  const std::string& written = unit.Port().Written();
  EXPECT_NE(written.find("#ACK_007\r#ACK_012\r#ACK_100\r#ACK_999\r"), std::string::npos);
  EXPECT_EQ(record.General.NOMBRE, "Name");
  EXPECT_EQ(record.ListaTlf, std::vector<Text>{"600,PRV0"});
  EXPECT_EQ(progress_.values, (std::vector<int>{0, 1, 2, 3, 4, 176}));
}

TEST_F(ReadConfigProcedure, CleansUpDisabledInputsAndPicksTheSmsCentre) {
  ReadingUnit unit(clock_, {"005 +34609090909", "200 Off input", "201 On input", "221 1",
                            "232 1", "300 Off channel", "999"});
  ConfigurationRecord record;
  ASSERT_TRUE(Read(unit, record));
  EXPECT_EQ(record.General.Csm, SmsCentre::CSMMovi);
  EXPECT_EQ(record.Digital[0].TEXT, "");
  EXPECT_EQ(record.Digital[1].TEXT, "On input");
  EXPECT_FALSE(record.Digital[2].RING);
  EXPECT_EQ(record.Analog[0].TEXT, "");
}

TEST_F(ReadConfigProcedure, MoreRecordsThanTheBarHoldsKeepItAtItsMaximum) {
  std::vector<std::string> records(200, "013 x");
  records.push_back("999");
  ReadingUnit unit(clock_, records);
  ConfigurationRecord record;
  ASSERT_TRUE(Read(unit, record));
  ASSERT_EQ(progress_.values.size(), 1u + 176u + 1u);
  for (std::size_t i = 0; i < progress_.values.size() - 1; ++i) {
    EXPECT_EQ(progress_.values[i], static_cast<int>(i));
  }
  EXPECT_EQ(progress_.values.back(), 176);
  EXPECT_EQ(unit.Sent("#ACK_013"), 200);
}

TEST_F(ReadConfigProcedure, LostLineRestartsTheReadFromTheBeginning) {
  ReadingUnit unit(clock_, {"007 Name", "100 600,PRV0", "101 700,PRV0", "999"});
  unit.lose = [](int attempt, std::size_t index) { return attempt == 1 && index == 2; };
  ConfigurationRecord record;
  ASSERT_TRUE(Read(unit, record));
  EXPECT_EQ(unit.Sent("02"), 2);
  // The phone list was emptied again: no entry twice.
  EXPECT_EQ(record.ListaTlf, (std::vector<Text>{"600,PRV0", "700,PRV0"}));
  EXPECT_EQ(progress_.values, (std::vector<int>{0, 1, 2, 0, 1, 2, 3, 4, 176}));
}

TEST_F(ReadConfigProcedure, ThreeLostAttemptsFail) {
  ReadingUnit unit(clock_, {"007 Name", "999"});
  unit.lose = [](int, std::size_t index) { return index == 1; };
  ConfigurationRecord record;
  EXPECT_FALSE(Read(unit, record));
  EXPECT_EQ(unit.Sent("02"), 3);
  // The fields keep what the last attempt decoded.
  EXPECT_EQ(record.General.NOMBRE, "Name");
}

TEST_F(ReadConfigProcedure, CorruptLineEndsTheAttempt) {
  ReadingUnit unit(clock_, {"007 Name", "999"});
  int corrupted = 0;
  unit.lose = [&](int attempt, std::size_t index) {
    if (attempt != 1 || index != 1) return false;
    unit.Port().Feed("#00;999\r");  // wrong checksum
    ++corrupted;
    return true;
  };
  ConfigurationRecord record;
  ASSERT_TRUE(Read(unit, record));
  EXPECT_EQ(corrupted, 1);
  EXPECT_EQ(unit.Sent("02"), 2);
}

TEST_F(ReadConfigProcedure, NoAnswerToStartFailsAtOnce) {
  ReadingUnit unit(clock_, {"999"});
  unit.answerStart = false;
  ConfigurationRecord record;
  EXPECT_FALSE(Read(unit, record));
  EXPECT_EQ(unit.Sent("00"), 1);  // no second attempt
}

TEST_F(ReadConfigProcedure, PresenceRepeatsCountOverTheWholeRead) {
  ReadingUnit unit(clock_, {"007 Name", "999"});
  unit.presenceAnswer = "NAK";
  unit.lose = [](int, std::size_t index) { return index == 1; };
  ConfigurationRecord record;
  EXPECT_FALSE(Read(unit, record));
  EXPECT_EQ(unit.Sent("00"), 6);
  EXPECT_EQ(unit.Sent("02"), 3);
}

TEST_F(ReadConfigProcedure, SilentPresenceTestDoesNotStopTheRead) {
  ReadingUnit unit(clock_, {"001 5", "999"});
  unit.presenceAnswer = "";
  ConfigurationRecord record;
  ASSERT_TRUE(Read(unit, record));
  EXPECT_EQ(record.General.RENVN, "5");
}

TEST_F(ReadConfigProcedure, ClosedPortEndsTheReadAtOnceAsFailed) {
  ReadingUnit unit(clock_, {"001 5", "002 6", "003 7", "999"});
  unit.closeAt = 1;
  ConfigurationRecord record;
  EXPECT_FALSE(Read(unit, record));
  EXPECT_EQ(unit.Sent("02"), 1);
  EXPECT_LT(clock_.Now(), Micros{kComTimeout});
}

TEST_F(ReadConfigProcedure, DataloggerAnswersAreDecodedAfterTheStream) {
  ReadingUnit unit(clock_, {"999"});
  ConfigurationRecord record;
  ASSERT_TRUE(Read(unit, record, true));
  EXPECT_EQ(record.DataLogger.LOG_TIME, " 60");
  EXPECT_EQ(record.DataLogger.REG_A, (std::array<bool, 4>{true, true, false, true}));
  EXPECT_EQ(record.DataLogger.DIGITAL_REARM, " 30");
  EXPECT_TRUE(record.DataLogger.REG_D[0]);
  EXPECT_TRUE(record.DataLogger.REG_D[7]);
  const std::vector<std::string> lines = unit.Port().WrittenLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(Payload(lines[lines.size() - 2]), "60");
  EXPECT_EQ(Payload(lines.back()), "62");
}

TEST_F(ReadConfigProcedure, DataloggerAnswersWithoutPrefixLeaveDefaults) {
  ReadingUnit unit(clock_, {"999"});
  unit.channels = "ACK";
  unit.inputs = "9F0081 0030";
  ConfigurationRecord record = EditedRecord();
  ASSERT_TRUE(Read(unit, record, true));
  EXPECT_EQ(record.DataLogger, DataLoggerGroup{});
}

TEST_F(ReadConfigProcedure, FailedReadLeavesTheRecordAsItWas) {
  ReadingUnit unit(clock_, {"007 New name", "100 999", "999"});
  unit.lose = [](int, std::size_t index) { return index == 2; };
  const ConfigurationRecord before = EditedRecord();
  ConfigurationRecord record = before;
  EXPECT_FALSE(ReadAsUser(unit, record));
  EXPECT_EQ(record, before);
  EXPECT_EQ(progress_.statuses, (std::vector<int>{131, 133}));
  EXPECT_EQ(progress_.values.back(), 0);
}

TEST_F(ReadConfigProcedure, SuccessfulReadReplacesTheRecord) {
  ReadingUnit unit(clock_, {"007 New name", "999"});
  ConfigurationRecord record = EditedRecord();
  ASSERT_TRUE(ReadAsUser(unit, record));
  EXPECT_EQ(record.General.NOMBRE, "New name");
  EXPECT_TRUE(record.ListaTlf.empty());
  EXPECT_EQ(record.Timers[2].TIME, "07:30");
  EXPECT_EQ(progress_.statuses, (std::vector<int>{131, 132}));
  EXPECT_EQ(progress_.values.back(), 176);
}

}  // namespace
}  // namespace zdl
