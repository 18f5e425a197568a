// The simulated unit's configuration: parsing the "#01" lines, the record stream of "#02",
// and the round trip of a whole configuration through the tool's write and read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "link/serial_line.h"
#include "sim/config_line_parser.h"
#include "sim/record_stream.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "sim/unit_setup.h"
#include "tests/support/fake_port.h"
#include "transfer/command_set.h"
#include "transfer/read_config.h"
#include "transfer/write_config.h"

namespace zdl {
namespace {

struct ParseCase {
  const char* body;
  bool ok;
  std::function<void(const ConfigurationRecord&)> check;
};

void ExpectParses(const std::vector<ParseCase>& cases) {
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.body);
    ConfigurationRecord record;
    record.ListaTlf = {"1", "2", "3", "4", "5", "6", "7"};
    const ConfigurationRecord before = record;
    EXPECT_EQ(ApplyConfigBody(c.body, record), c.ok);
    if (!c.ok) {
      EXPECT_EQ(record, before) << "a refused line changes nothing";
    }
    if (c.check) c.check(record);
  }
}

TEST(SimParse, DigitalAlarmLines) {
  ExpectParses({
      {"+ALM0=\"Fallo UPS\",NC,RING,P= 50,MACROT= 3", true,
       [](const ConfigurationRecord& r) {
         const DigitalInput& d = r.Digital[0];
         EXPECT_EQ(d.Modo, ModeNormallyClosed);
         EXPECT_TRUE(d.NcFlag);
         EXPECT_EQ(d.TEXT, "Fallo UPS");
         EXPECT_TRUE(d.RING);
         EXPECT_FALSE(d.RENV);
         EXPECT_TRUE(d.PERSIST);
         EXPECT_EQ(d.PVAL, " 50");
         EXPECT_EQ(d.MACRO_TRUE, 3);
         EXPECT_EQ(d.MACRO_FALSE, 0);
       }},
      {"+ALM7=\"\"", true,
       [](const ConfigurationRecord& r) {
         EXPECT_EQ(r.Digital[7].Modo, ModeNormallyOpen);
         EXPECT_EQ(r.Digital[7].TEXT, "");
       }},
      {"+ALM1=\"x\",BI,R,C=00007,RST=60,MACROF= 14", true,
       [](const ConfigurationRecord& r) {
         const DigitalInput& d = r.Digital[1];
         EXPECT_EQ(d.Modo, ModeBistable);
         EXPECT_TRUE(d.RENV);
         EXPECT_TRUE(d.CICLOS);
         EXPECT_EQ(d.CVAL, "00007");
         EXPECT_EQ(d.RST, "60");
         EXPECT_EQ(d.MACRO_FALSE, 14);
       }},
      // Texts are not escaped: commas and quotes inside them are kept.
      {"+ALM2=\"a,b \"c\",R\",RING", true,
       [](const ConfigurationRecord& r) {
         EXPECT_EQ(r.Digital[2].TEXT, "a,b \"c\",R");
         EXPECT_TRUE(r.Digital[2].RING);
         EXPECT_FALSE(r.Digital[2].RENV);
       }},
      {"+ALM3=\"Puerta \"A\", planta 1\"", true,
       [](const ConfigurationRecord& r) {
         EXPECT_EQ(r.Digital[3].TEXT, "Puerta \"A\", planta 1");
       }},
      // Known ambiguity: a text ending in a quote and a valid option list reads short.
      {"+ALM4=\"a\",C=5\"", true,
       [](const ConfigurationRecord& r) {
         EXPECT_EQ(r.Digital[4].TEXT, "a");
         EXPECT_EQ(r.Digital[4].CVAL, "5\"");
       }},
      {"+ALM0=\"x\",NC,BI", false, nullptr},
      {"+ALM0=\"x\",MACROT= 15", false, nullptr},
      {"+ALM0=\"x\",P=abc", false, nullptr},
      {"+ALM0=\"x\",RING,NC", false, nullptr},  // options in the tool's order only
      {"+ALM0=\"x\",FOO", false, nullptr},
      {"+ALM8=\"x\"", false, nullptr},
      {"+ALM0=x", false, nullptr},
      {"+ALM0=\"x", false, nullptr},
  });
}

TEST(SimParse, OtherAlarmAndMacroLines) {
  ExpectParses({
      {"+ADALM2=\"Temp\",IE=0,FE=100,UN=\xBA" "C,MIN=5,MAX=40,HIST=2,RING,P= 300,MACROH= 4,"
       "MACROL= 6,MACRON= 5",
       true,
       [](const ConfigurationRecord& r) {
         const AnalogInput& a = r.Analog[2];
         EXPECT_TRUE(a.HABIL);
         EXPECT_EQ(a.TEXT, "Temp");
         EXPECT_EQ(a.IE, "0");
         EXPECT_EQ(a.FE, "100");
         EXPECT_EQ(a.UN, "\xBA" "C");
         EXPECT_EQ(a.MIN, "5");
         EXPECT_EQ(a.MAX, "40");
         EXPECT_EQ(a.HIST, "2");
         EXPECT_TRUE(a.RING);
         EXPECT_TRUE(a.PERSIST);
         EXPECT_EQ(a.PVAL, " 300");
         EXPECT_EQ(a.MACRO_HIGH, 4);
         EXPECT_EQ(a.MACRO_LOW, 6);
         EXPECT_EQ(a.MACRO_NOM, 5);
       }},
      {"+ADALM0=\"\",IE=,FE=,UN=,MIN=,MAX=,HIST=", true,
       [](const ConfigurationRecord& r) { EXPECT_TRUE(r.Analog[0].HABIL); }},
      {"+ADALM0=\"\",IE=,FE=,UN=,MIN=,MAX=", false, nullptr},  // the scale is always sent
      {"+TXALM=\"Fallo, tx\",RING,MACROT= 2", true,
       [](const ConfigurationRecord& r) {
         EXPECT_TRUE(r.TxAlarm.HABIL);
         EXPECT_EQ(r.TxAlarm.TEXT, "Fallo, tx");
         EXPECT_TRUE(r.TxAlarm.RING);
         EXPECT_EQ(r.TxAlarm.MACRO_TX, 2);
       }},
      {"+MACRO=\"Abrir, ya\",COM=\"RELE1 ON\",INDEX= 13", true,
       [](const ConfigurationRecord& r) {
         EXPECT_EQ(r.Macros[13].MACRO_TEXT, "Abrir, ya");
         EXPECT_EQ(r.Macros[13].MACRO_COM, "RELE1 ON");
       }},
      {"+MACRO=\"m\",COM=\"\",INDEX= 0", true,
       [](const ConfigurationRecord& r) { EXPECT_EQ(r.Macros[0].MACRO_TEXT, "m"); }},
      {"+MACRO=\"m\",COM=\"\",INDEX= 14", false, nullptr},
      {"+MACRO=\"m\",INDEX= 1", false, nullptr},
      {"T0=12:00,sem=0000110,macro= 1,vp=60", true,
       [](const ConfigurationRecord& r) {
         const Timer& t = r.Timers[0];
         EXPECT_TRUE(t.HABIL);
         EXPECT_EQ(t.TIME, "12:00");
         EXPECT_EQ(t.Days, (std::array<bool, kWeekDays>{false, false, false, false, true, true,
                                                        false}));
         EXPECT_EQ(t.MACRO, 0);
         EXPECT_EQ(t.VP, "60");
       }},
      {"T7= 1200,sem=1111111,macro= 14,vp=5", true,
       [](const ConfigurationRecord& r) {
         EXPECT_EQ(r.Timers[7].TIME, " 1200");
         EXPECT_EQ(r.Timers[7].MACRO, 13);
       }},
      {"T0=12:00,sem=000011,macro= 1,vp=60", false, nullptr},
      {"T0=1x:00,sem=0000110,macro= 1,vp=60", false, nullptr},
      {"T0=12:00,sem=0000110,macro= 0,vp=60", false, nullptr},
      {"T8=12:00,sem=0000110,macro= 1,vp=60", false, nullptr},
  });
}

TEST(SimParse, GeneralAndPhoneLines) {
  ExpectParses({
      {"ID=Granja, nave 2", true,
       [](const ConfigurationRecord& r) { EXPECT_EQ(r.General.NOMBRE, "Granja, nave 2"); }},
      {"CSM=+34609090909", true,
       [](const ConfigurationRecord& r) { EXPECT_EQ(r.General.SMSC, "+34609090909"); }},
      {"RENVN=", true, [](const ConfigurationRecord& r) { EXPECT_EQ(r.General.RENVN, ""); }},
      {"NORMAL= 300", true,
       [](const ConfigurationRecord& r) { EXPECT_EQ(r.General.NORMAL, " 300"); }},
      {"NORMAL=x", false, nullptr},
      {"REST=\"Restablecido\"", true,
       [](const ConfigurationRecord& r) {
         EXPECT_TRUE(r.General.Habil_Restore);
         EXPECT_EQ(r.General.REST_TEXT, "Restablecido");
       }},
      {"REST=Restablecido", false, nullptr},
      {"MACROI= 14", true,
       [](const ConfigurationRecord& r) { EXPECT_EQ(r.General.MACRO_INICIO, 14); }},
      {"MACROGK= 1", true,
       [](const ConfigurationRecord& r) { EXPECT_EQ(r.General.MACRO_GSMOK, 1); }},
      {"MACROGM= 0", false, nullptr},
      {"+TLF=600,Prio=3,PRV2", true,
       [](const ConfigurationRecord& r) { EXPECT_EQ(r.ListaTlf.back(), "600,Prio=3,PRV2"); }},
      {"+TLF=", false, nullptr},
      {"LDDEF", true, [](const ConfigurationRecord& r) { EXPECT_EQ(r, ConfigurationRecord{}); }},
      {"FOO=1", false, nullptr},
      {"", false, nullptr},
  });
  ConfigurationRecord full;
  full.ListaTlf.assign(kPhoneListSize, "600");
  EXPECT_FALSE(ApplyConfigBody("+TLF=601", full)) << "a ninth number is refused";
}

TEST(SimParse, DataloggerLines) {
  ConfigurationRecord record;
  ASSERT_TRUE(ApplyLoggerChannels("001200009", record));
  EXPECT_EQ(record.DataLogger.LOG_TIME, "00120");
  EXPECT_EQ(record.DataLogger.REG_A, (std::array<bool, kAnalogInputs>{true, false, false, true}));
  ASSERT_TRUE(ApplyLoggerInputs("00810005", record));
  EXPECT_EQ(record.DataLogger.DIGITAL_REARM, "0005");
  EXPECT_TRUE(record.DataLogger.REG_D[0]);
  EXPECT_TRUE(record.DataLogger.REG_D[7]);
  EXPECT_FALSE(record.DataLogger.REG_D[1]);
  EXPECT_EQ(LoggerChannelsAnswer(record), "9F001200009");
  EXPECT_EQ(LoggerInputsAnswer(record), "9D0081,0005");

  const ConfigurationRecord before = record;
  EXPECT_FALSE(ApplyLoggerChannels("00120000G", record));
  EXPECT_FALSE(ApplyLoggerChannels("120009", record)) << "time shorter than 5 digits";
  EXPECT_FALSE(ApplyLoggerChannels("001200010", record)) << "only four channels";
  EXPECT_FALSE(ApplyLoggerInputs("00FF05", record));
  EXPECT_EQ(record, before);
}

// The value of one record in a stream, "" when absent.
std::string RecordValue(const std::vector<std::string>& stream, int number) {
  char prefix[8];
  std::snprintf(prefix, sizeof prefix, "%03d=", number);
  for (const std::string& line : stream) {
    if (line.starts_with(prefix)) return line.substr(4);
  }
  return "<absent>";
}

TEST(SimStreamEncoding, ValuesAreWrittenAsTheReadDecodesThem) {
  ConfigurationRecord r;
  r.General.NORMAL = " 300";
  r.Digital[0].PERSIST = true;
  r.Digital[0].PVAL = " 2.5";
  r.Digital[1].CICLOS = false;
  r.Digital[1].CVAL = "00007";
  r.Digital[2].Modo = ModeNormallyClosed;
  r.Digital[3].Modo = ModeBistable;
  r.Timers[0].HABIL = true;
  r.Timers[0].TIME = "9:30";
  r.Timers[0].Days[LUNES] = r.Timers[0].Days[DOMINGO] = true;
  r.Timers[1].TIME = " 1200";
  r.Timers[2].Days[LUNES] = true;  // disabled: no days sent
  r.Timers[2].MACRO = 13;
  const auto s = RecordStream(r);
  EXPECT_EQ(RecordValue(s, 14), "300");
  EXPECT_EQ(RecordValue(s, 19), "") << "restore text not enabled";
  EXPECT_EQ(RecordValue(s, 240), "2.5");
  EXPECT_EQ(RecordValue(s, 241), "10") << "no persistence";
  EXPECT_EQ(RecordValue(s, 251), "0") << "no cycle counter";
  EXPECT_EQ(RecordValue(s, 212), "1");
  EXPECT_EQ(RecordValue(s, 222), "1");
  EXPECT_EQ(RecordValue(s, 292), "0");
  EXPECT_EQ(RecordValue(s, 293), "1");
  EXPECT_EQ(RecordValue(s, 224), "0");
  EXPECT_EQ(RecordValue(s, 510), "34200");
  EXPECT_EQ(RecordValue(s, 520), "65");
  EXPECT_EQ(RecordValue(s, 550), "<absent>");
  EXPECT_EQ(RecordValue(s, 511), "<absent>");
  EXPECT_EQ(RecordValue(s, 551), "1200");
  EXPECT_EQ(RecordValue(s, 522), "0");
  EXPECT_EQ(RecordValue(s, 542), "14");
  EXPECT_EQ(RecordValue(s, 100), "<absent>") << "no phone numbers";
  EXPECT_EQ(s.back(), "999=");
}

// A configuration in the form a read produces (sign-spaced numbers, disabled items at
// their defaults), with the awkward texts a unit must carry: commas, quotes, accents.
ConfigurationRecord CanonicalRecord() {
  ConfigurationRecord r;
  GeneralGroup& g = r.General;
  g.NOMBRE = "Granja Norte, nave 2";
  g.SMSC = "+34609090909";
  g.RENVN = "3";
  g.PTLF = "600111222";
  g.AINFO = "7";
  g.NORMAL = " 30";
  g.REST_TEXT = "Restablecido";
  g.Habil_Restore = true;
  g.MACRO_INICIO = 1;
  g.MACRO_GSMOK = 14;
  r.ListaTlf = {"600,Prio=3,PRV2,D0,A1,TXA", "+34699000111,PRV0"};
  r.TxAlarm = {true, "Fallo de transmisi\xF3n", true, 2};

  DigitalInput& ups = r.Digital[0];
  ups.Modo = ModeNormallyClosed;
  ups.NcFlag = true;
  ups.TEXT = "Fallo UPS";
  ups.RING = true;
  ups.PERSIST = true;
  ups.PVAL = " 5";
  ups.CICLOS = true;
  ups.CVAL = "00007";
  ups.RST = "60";
  ups.MACRO_TRUE = 3;
  DigitalInput& door = r.Digital[1];
  door.Modo = ModeBistable;
  door.BiFlag = true;
  door.TEXT = "Puerta \"A\", planta 1";
  door.RENV = true;
  door.PERSIST = true;
  door.PVAL = " 0.25";
  r.Digital[5].Modo = ModeNormallyOpen;
  r.Digital[5].MACRO_FALSE = 14;

  AnalogInput& temp = r.Analog[0];
  temp = {true, "Temperatura", true, false, "0", "100", "\xBA" "C", "5", "40", "2", true, " 30",
          4, 5, 6};
  r.Analog[3].HABIL = true;
  r.Analog[3].TEXT = "Nivel";
  r.Analog[3].RENV = true;

  r.Macros[0] = {"Abrir", "RELE1 ON"};
  r.Macros[10] = {"Macro once", ""};
  r.Macros[13] = {"Cerrar, \"ya\"", "RELE1 OFF"};

  r.DataLogger = {" 120", " 5", {true, true, true, true, true, true, true, true},
                  {true, false, false, true}};

  r.Timers[0] = {true, "12:00", "60", {false, false, false, false, true, true, false}, 0};
  r.Timers[3] = {true, "07:30", "5", {true, true, true, true, true, true, true}, 13};
  r.Timers[5] = {true, " 1200", "10", {true, false, false, false, false, false, false}, 1};
  r.CSMCheck();
  return r;
}

void ExpectSameRecord(const ConfigurationRecord& actual, const ConfigurationRecord& expected) {
  EXPECT_EQ(actual.General, expected.General);
  EXPECT_EQ(actual.ListaTlf, expected.ListaTlf);
  EXPECT_EQ(actual.TxAlarm, expected.TxAlarm);
  for (int k = 0; k < kDigitalInputs; ++k) EXPECT_EQ(actual.Digital[k], expected.Digital[k]) << k;
  for (int j = 0; j < kAnalogInputs; ++j) EXPECT_EQ(actual.Analog[j], expected.Analog[j]) << j;
  EXPECT_EQ(actual.Macros, expected.Macros);
  EXPECT_EQ(actual.DataLogger, expected.DataLogger);
  for (int t = 0; t < kTimers; ++t) EXPECT_EQ(actual.Timers[t], expected.Timers[t]) << t;
  EXPECT_EQ(actual, expected);
}

std::string TakeAnswer(SimulatedUnit& unit) {
  std::string raw = unit.TakeOutput(Micros(0));
  if (raw.empty() || raw.back() != '\r' || !AnswerOK(raw.substr(0, raw.size() - 1))) return "";
  return "#" + raw.substr(4, raw.size() - 5);
}

// What the tool's read decodes from the unit's "#02" stream and data-logger answers.
ConfigurationRecord ReadBack(SimulatedUnit& unit) {
  ConfigurationRecord read;  // the groups a read clears, at their defaults
  unit.Receive(FrameCommand("#02") + "\r", Micros(0));
  for (int records = 0; records < 300; ++records) {
    const std::string line = TakeAnswer(unit);
    if (line.empty()) {
      ADD_FAILURE() << "the stream broke off";
      break;
    }
    const RecordOutcome outcome = DecodeRecordLine(line, read);
    EXPECT_NE(outcome, RecordOutcome::Rejected) << line;
    unit.Receive("#ACK_" + line.substr(1, 3) + "\r", Micros(0));
    if (outcome == RecordOutcome::End) break;
  }
  unit.Receive(FrameCommand("#60") + "\r", Micros(0));
  EXPECT_TRUE(DecodeLoggerChannels(TakeAnswer(unit), read));
  unit.Receive(FrameCommand("#62") + "\r", Micros(0));
  EXPECT_TRUE(DecodeLoggerInputs(TakeAnswer(unit), read));
  read.CleanUp();
  read.CSMCheck();
  return read;
}

TEST(SimRoundTrip, WriteLinesThenRecordStreamGiveBackTheRecord) {
  const ConfigurationRecord written = CanonicalRecord();
  SimulatedUnit unit;
  for (const CommandLine& line : AllLines(BuildWriteSequence(written))) {
    unit.Receive(FrameCommand(line.text) + "\r", Micros(0));
    if (line.text == "#03") {
      EXPECT_EQ(unit.TakeOutput(Micros(0)), FrameCommand("#ACK") + "\r" +
                                                FrameCommand("#SAVE_OK") + "\r");
    } else {
      EXPECT_EQ(TakeAnswer(unit), line.expected) << line.text;
    }
  }
  ExpectSameRecord(ReadBack(unit), written);
}

TEST(SimRoundTrip, StartFromConfigurationHoldsWhatAWriteWouldLeave) {
  const ConfigurationRecord configuration = CanonicalRecord();
  SimulatedUnit unit;
  unit.Receive(FrameCommand("#01ID=old") + "\r", Micros(0));
  unit.TakeOutput(Micros(0));
  EXPECT_EQ(StartFromConfiguration(unit, configuration), std::vector<std::string>{});
  EXPECT_EQ(unit.AnswersSent(), 1) << "nothing answered";
  ExpectSameRecord(ReadBack(unit), configuration);
}

// The whole path: the tool's write and read procedures through SerialLine over the
// in-process port at 9600 baud, with a fault the read must recover from.
TEST(SimRoundTrip, ToolWriteAndReadThroughThePacedPort) {
  SimOptions options;
  options.paced = true;
  options.saveTime = Millis(3000);
  options.faults.dropRecord = 250;
  options.faults.garbage = true;
  SimulatedUnit unit(options);
  testing::FakeClock clock;
  SimPort port(unit, clock);
  ASSERT_TRUE(port.Open({}));
  SerialLine line(port, clock);
  ProgressSink progress;

  const ConfigurationRecord written = CanonicalRecord();
  ASSERT_TRUE(RunWriteSequence(line, Millis(1000), written, progress));
  ConfigurationRecord read;
  ASSERT_TRUE(ReadConfig(line, Millis(1000), true, read, progress));
  ExpectSameRecord(read, written);
  EXPECT_NE(std::find(unit.Trace().begin(), unit.Trace().end(), "record 250 dropped"),
            unit.Trace().end())
      << "the read recovered from the dropped record";
  EXPECT_LT(clock.Now(), Millis(60000));
}

}  // namespace
}  // namespace zdl
