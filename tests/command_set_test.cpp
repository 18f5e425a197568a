#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transfer/command_set.h"

namespace zdl {
namespace {

DigitalInput& EnabledDigital(ConfigurationRecord& r, int input, int mode) {
  DigitalInput& in = r.Digital[static_cast<std::size_t>(input)];
  in.Modo = mode;
  return in;
}

TEST(CommandSet, DigitalAlarmLineExample) {
  ConfigurationRecord r;
  DigitalInput& in = EnabledDigital(r, 0, ModeNormallyClosed);
  in.TEXT = "Fallo UPS";
  in.RING = true;
  in.PERSIST = true;
  in.PVAL = "5";
  in.MACRO_TRUE = 3;
  EXPECT_EQ(DigitalAlarmLine(r, 0), "#01+ALM0=\"Fallo UPS\",NC,RING,P= 50,MACROT= 3");
}

TEST(CommandSet, DigitalAlarmLineParts) {
  struct Case {
    const char* name;
    int input;
    void (*edit)(DigitalInput&);
    const char* expected;
  };
  const Case cases[] = {
      {"open, nothing else", 2, [](DigitalInput&) {}, "#01+ALM2=\"\""},
      {"bistable", 1, [](DigitalInput& d) { d.Modo = ModeBistable; }, "#01+ALM1=\"\",BI"},
      {"all parts in order", 3,
       [](DigitalInput& d) {
         d.Modo = ModeNormallyClosed;
         d.TEXT = "a\"b,c";
         d.RING = d.RENV = d.PERSIST = d.CICLOS = true;
         d.PVAL = "300";
         d.CVAL = " 7";
         d.RST = "65535";
         d.MACRO_TRUE = 14;
         d.MACRO_FALSE = 1;
       },
       "#01+ALM3=\"a\"b,c\",NC,RING,R,P= 3000,C= 7,RST=65535,MACROT= 14,MACROF= 1"},
      {"quarter-second persistence", 0,
       [](DigitalInput& d) {
         d.PERSIST = true;
         d.PVAL = "0.25";
       },
       "#01+ALM0=\"\",P= 2.5"},
      {"persistence that is not a number", 0,
       [](DigitalInput& d) {
         d.PERSIST = true;
         d.PVAL = "x";
       },
       "#01+ALM0=\"\",P= 0"},
      {"persistence text kept only while PERSIST", 0,
       [](DigitalInput& d) { d.PVAL = "5"; }, "#01+ALM0=\"\""},
      {"empty reset time sends no RST", 1,
       [](DigitalInput& d) { d.CICLOS = true; }, "#01+ALM1=\"\",C="},
      {"reset time only with cycles", 1, [](DigitalInput& d) { d.RST = "9"; }, "#01+ALM1=\"\""},
      {"inputs 4-7 carry no reset time", 4,
       [](DigitalInput& d) {
         d.CICLOS = true;
         d.CVAL = "3";
         d.RST = "60";
       },
       "#01+ALM4=\"\",C=3"},
      {"no selection is not no macro", 7,
       [](DigitalInput& d) { d.MACRO_FALSE = kNoSelection; }, "#01+ALM7=\"\",MACROF=-1"},
  };
  for (const Case& c : cases) {
    ConfigurationRecord r;
    DigitalInput& in = EnabledDigital(r, c.input, ModeNormallyOpen);
    c.edit(in);
    EXPECT_EQ(DigitalAlarmLine(r, c.input), c.expected) << c.name;
  }
}

TEST(CommandSet, AnalogAlarmLine) {
  ConfigurationRecord r;
  AnalogInput& a = r.Analog[3];
  a.HABIL = true;
  EXPECT_EQ(AnalogAlarmLine(r, 3), "#01+ADALM3=\"\",IE=,FE=,UN=,MIN=,MAX=,HIST=");
  a.TEXT = "Nivel";
  a.IE = "0";
  a.FE = "10.5";
  a.UN = "m3";
  a.MIN = "-1";
  a.MAX = "9";
  a.HIST = "0.5";
  a.RING = a.RENV = a.PERSIST = true;
  a.PVAL = "1.5";
  a.MACRO_HIGH = 1;
  a.MACRO_NOM = 2;
  a.MACRO_LOW = 3;
  EXPECT_EQ(AnalogAlarmLine(r, 3),
            "#01+ADALM3=\"Nivel\",IE=0,FE=10.5,UN=m3,MIN=-1,MAX=9,HIST=0.5,RING,R,P= 15,"
            "MACROH= 1,MACROL= 3,MACRON= 2");
}

TEST(CommandSet, TxAlarmAndMacroLines) {
  ConfigurationRecord r;
  r.TxAlarm = {true, "Fallo TX", true, 14};
  EXPECT_EQ(TxAlarmLine(r), "#01+TXALM=\"Fallo TX\",RING,MACROT= 14");
  r.TxAlarm = {true, "", false, 0};
  EXPECT_EQ(TxAlarmLine(r), "#01+TXALM=\"\"");

  r.Macros[0] = {"Abrir", "OUT1=1"};
  r.Macros[13] = {"Cerrar", ""};
  EXPECT_EQ(MacroLine(r, 1), "#01+MACRO=\"Abrir\",COM=\"OUT1=1\",INDEX= 0");
  EXPECT_EQ(MacroLine(r, 14), "#01+MACRO=\"Cerrar\",COM=\"\",INDEX= 13");
}

TEST(CommandSet, TimerLine) {
  ConfigurationRecord r;
  Timer& t = r.Timers[0];
  t.HABIL = true;
  t.Days[VIERNES] = t.Days[SABADO] = true;
  EXPECT_EQ(TimerLine(r, 0), "#01T0=12:00,sem=0000110,macro= 1,vp=60");

  Timer& all = r.Timers[7];
  all.Days.fill(true);
  all.TIME = "8";
  all.VP = " 5";
  all.MACRO = 13;
  EXPECT_EQ(TimerLine(r, 7), "#01T7=8,sem=1111111,macro= 14,vp= 5");
  all.MACRO = kNoSelection;  // the list's first item: macro 1
  EXPECT_EQ(TimerLine(r, 7), "#01T7=8,sem=1111111,macro= 1,vp= 5");
}

TEST(CommandSet, DataLoggerLines) {
  struct Case {
    const char* time;
    std::vector<int> flags;
    const char* channel;  // LOG_TIME with REG_A flags
    const char* input;    // DIGITAL_REARM with REG_D flags
  };
  const Case cases[] = {
      {"120", {0, 3}, "#58001200009", "#5A00090120"},
      {"5", {0, 1, 2, 3, 4, 5, 6, 7}, "#5800005000F", "#5A00FF0005"},
      {"abc", {}, "#58000000000", "#5A00000000"},
      {"123456", {1}, "#581234560002", "#5A0002123456"},
      {"2.5", {}, "#58000030000", "#5A00000003"},  // halves away from zero
      {"-5", {}, "#58-000050000", "#5A0000-0005"},
  };
  for (const Case& c : cases) {
    ConfigurationRecord r;
    r.DataLogger.LOG_TIME = r.DataLogger.DIGITAL_REARM = c.time;
    for (const int f : c.flags) {
      if (f < kAnalogInputs) r.DataLogger.REG_A[static_cast<std::size_t>(f)] = true;
      r.DataLogger.REG_D[static_cast<std::size_t>(f)] = true;
    }
    EXPECT_EQ(DataLoggerChannelLine(r), c.channel) << c.time;
    EXPECT_EQ(DataLoggerInputLine(r), c.input) << c.time;
  }
}

std::vector<std::string> Texts(const std::vector<CommandLine>& lines) {
  std::vector<std::string> texts;
  for (const CommandLine& l : lines) texts.push_back(l.text);
  return texts;
}

TEST(CommandSetSequence, DefaultRecordSendsTheFixedLinesOnly) {
  ConfigurationRecord r;
  const WriteSequence seq = BuildWriteSequence(r);
  ASSERT_EQ(seq.steps.size(), 21u);
  for (std::size_t i = 0; i < seq.steps.size(); ++i) {
    EXPECT_EQ(seq.steps[i].progress, static_cast<int>(i) + 1);
  }
  const std::vector<CommandLine> lines = AllLines(seq);
  EXPECT_EQ(Texts(lines), (std::vector<std::string>{
                              "#01LDDEF", "#01ID=", "#01CSM=", "#01PTLF=", "#01RENVN=10",
                              "#01RENVT=5", "#01ASINC=30", "#01AINFO=0", "#03"}));
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].expected, "#PARSE_OK");
  EXPECT_EQ(lines.back(), (CommandLine{"#03", "#ACK"}));
}

TEST(CommandSetSequence, EveryItemInItsStep) {
  ConfigurationRecord r;
  r.Digital[5].Modo = ModeNormallyOpen;
  r.Digital[1].Modo = ModeBistable;
  r.Digital[2].Modo = kNoSelection;  // reads as disabled
  r.Analog[2].HABIL = true;
  r.Analog[0].HABIL = true;
  r.TxAlarm.HABIL = true;
  r.Macros[4] = {"M5", ""};
  r.Macros[5] = {"", "OUT"};  // no text: not sent
  r.General.NORMAL = "30";
  r.General.Habil_Restore = true;
  r.General.REST_TEXT = "ok";
  r.General.MACRO_GSMOK = 2;
  r.ListaTlf = {"600,Prio=1,PRV2", "", "700,PRV0"};
  r.Timers[6].HABIL = true;
  r.DataLogger.LOG_TIME = "60";
  r.DataLogger.DIGITAL_REARM = "1";

  const WriteSequence seq = BuildWriteSequence(r);
  const std::vector<std::vector<std::string>> expected = {
      {"#01LDDEF"},
      {"#01+ALM1=\"\",BI"},
      {"#01+ADALM0=\"\",IE=,FE=,UN=,MIN=,MAX=,HIST="},
      {"#01+ALM5=\"\"", "#01+ADALM2=\"\",IE=,FE=,UN=,MIN=,MAX=,HIST="},
      {"#01+TXALM=\"\""},
      {"#01+MACRO=\"M5\",COM=\"\",INDEX= 4"},
      {"#01ID="}, {"#01CSM="}, {"#01PTLF="}, {"#01RENVN=10"}, {"#01RENVT=5"},
      {"#01ASINC=30"}, {"#01AINFO=0"},
      {"#01NORMAL= 300"},
      {"#01REST=\"ok\""},
      {}, {"#01MACROGK= 2"}, {},
      {"#01+TLF=600,Prio=1,PRV2"},  // the list ends at the first empty entry
      {"#01T6=12:00,sem=0000000,macro= 1,vp=60"},
      {"#58000600000", "#5A00000001"},
  };
  ASSERT_EQ(seq.steps.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Texts(seq.steps[i].lines), expected[i]) << "step " << i + 1;
  }
  EXPECT_EQ(seq.steps[20].lines[0].expected, "#A7");
  EXPECT_EQ(seq.steps[20].lines[1].expected, "#A5");
}

TEST(CommandSetSequence, NormalLineOnlyForANonZeroValue) {
  const std::pair<const char*, bool> cases[] = {
      {"0", false}, {"x30", false}, {"", false}, {"0.0", false}, {"30", true}, {"-2", true}};
  for (const auto& [normal, sent] : cases) {
    ConfigurationRecord r;
    r.General.NORMAL = normal;
    EXPECT_EQ(BuildWriteSequence(r).steps[13].lines.size(), sent ? 1u : 0u) << normal;
  }
}

TEST(CommandSetSequence, PhoneLinesStopAtEightEntries) {
  ConfigurationRecord r;
  for (int i = 0; i < 9; ++i) r.ListaTlf.push_back(std::to_string(600 + i));
  const std::vector<CommandLine> phones = BuildWriteSequence(r).steps[18].lines;
  ASSERT_EQ(phones.size(), 8u);
  EXPECT_EQ(phones.back().text, "#01+TLF=607");
}

}  // namespace
}  // namespace zdl
