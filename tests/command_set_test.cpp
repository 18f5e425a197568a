#include "transfer/command_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace zdl {
namespace {

std::vector<std::string> Texts(const std::vector<CommandLine>& lines) {
  std::vector<std::string> texts;
  for (const CommandLine& l : lines) texts.push_back(l.text);
  return texts;
}

// One record that exercises every kind of line; each step lists exactly the lines it sends.
TEST(CommandSet, EveryLineInItsStep) {
  ConfigurationRecord r;
  r.Digital[0] = {.Modo = ModeNormallyClosed, .TEXT = "Fallo UPS", .RING = true,
                  .PERSIST = true, .PVAL = "5", .CVAL = "", .RST = "", .MACRO_TRUE = 3};
  // Values whose flag is off are not sent.
  r.Digital[1] = {.Modo = ModeBistable, .TEXT = "", .PVAL = "5", .CVAL = "3", .RST = "9"};
  r.Digital[2] = {.Modo = ModeNormallyOpen, .TEXT = "", .PERSIST = true, .PVAL = "0.25",
                  .CICLOS = true, .CVAL = "", .RST = ""};
  r.Digital[3] = {.Modo = ModeNormallyClosed, .TEXT = "a\"b,c", .RING = true, .RENV = true,
                  .PERSIST = true, .PVAL = "300", .CICLOS = true, .CVAL = " 7",
                  .RST = "65535", .MACRO_TRUE = 14, .MACRO_FALSE = 1};
  r.Digital[4] = {.Modo = ModeNormallyOpen, .TEXT = "", .PVAL = "", .CICLOS = true,
                  .CVAL = "3", .RST = "60"};
  r.Digital[5].Modo = ModeNormallyOpen;
  r.Digital[6].Modo = kNoSelection;  // reads as disabled
  r.Digital[7].Modo = ModeNormallyOpen;
  r.Digital[7].MACRO_FALSE = kNoSelection;
  r.Analog[0] = {.HABIL = true, .TEXT = "Nivel", .RING = true, .RENV = true, .IE = "0",
                 .FE = "10.5", .UN = "m3", .MIN = "-1", .MAX = "9", .HIST = "0.5",
                 .PERSIST = true, .PVAL = "1.5", .MACRO_HIGH = 1, .MACRO_NOM = 2, .MACRO_LOW = 3};
  r.Analog[2].HABIL = true;
  r.TxAlarm = {true, "Fallo TX", true, 14};
  r.Macros[0] = {"Abrir", "OUT1=1"};
  r.Macros[5] = {"", "OUT"};  // no text: not sent
  r.Macros[13] = {"Cerrar", ""};
  r.General.NORMAL = "30";
  r.General.Habil_Restore = true;
  r.General.REST_TEXT = "ok";
  r.General.MACRO_GSMOK = 2;
  r.ListaTlf = {"600,Prio=1,PRV2", "", "700,PRV0"};  // the list ends at the first empty entry
  r.Timers[6] = {.HABIL = true, .Days = {false, false, false, false, true, true, false},
                 .MACRO = kNoSelection};  // the list's first item: macro 1
  r.Timers[7] = {.HABIL = true, .TIME = "8", .VP = " 5", .MACRO = 13};
  r.Timers[7].Days.fill(true);
  r.DataLogger = {"120", "5", {}, {true, false, false, true}};
  r.DataLogger.REG_D.fill(true);

  const WriteSequence seq = BuildWriteSequence(r);
  const std::vector<std::vector<std::string>> expected = {
      {"#01LDDEF"},
      {R"(#01+ALM0="Fallo UPS",NC,RING,P= 50,MACROT= 3)", R"(#01+ALM1="",BI)",
       R"(#01+ALM2="",P= 2.5,C=)",
       R"(#01+ALM3="a"b,c",NC,RING,R,P= 3000,C= 7,RST=65535,MACROT= 14,MACROF= 1)"},
      {R"(#01+ADALM0="Nivel",IE=0,FE=10.5,UN=m3,MIN=-1,MAX=9,HIST=0.5,RING,R,P= 15,)"
       "MACROH= 1,MACROL= 3,MACRON= 2"},
      {R"(#01+ALM4="",C=3)", R"(#01+ALM5="")", R"(#01+ALM7="",MACROF=-1)",
       R"(#01+ADALM2="",IE=,FE=,UN=,MIN=,MAX=,HIST=)"},
      {R"(#01+TXALM="Fallo TX",RING,MACROT= 14)"},
      {R"(#01+MACRO="Abrir",COM="OUT1=1",INDEX= 0)", R"(#01+MACRO="Cerrar",COM="",INDEX= 13)"},
      {"#01ID="}, {"#01CSM="}, {"#01PTLF="}, {"#01RENVN=10"}, {"#01RENVT=5"},
      {"#01ASINC=30"}, {"#01AINFO=0"}, {"#01NORMAL= 300"}, {R"(#01REST="ok")"},
      {}, {"#01MACROGK= 2"}, {},
      {"#01+TLF=600,Prio=1,PRV2"},
      {"#01T6=12:00,sem=0000110,macro= 1,vp=60", "#01T7=8,sem=1111111,macro= 14,vp= 5"},
      {"#58001200009", "#5A00FF0005"},
  };
  ASSERT_EQ(seq.steps.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Texts(seq.steps[i].lines), expected[i]) << "step " << i + 1;
  }
}

// Numbers read from texts: NORMAL in tenths and only when not 0; the data-logger times
// rounded (halves away from zero) and zero-padded.
TEST(CommandSet, NumbersReadFromTexts) {
  const struct { const char *text, *normal, *channel, *input; } rows[] = {
      {"0", nullptr, "#58000000000", "#5A00000000"},
      {"123456", "#01NORMAL= 1234560", "#581234560000", "#5A0000123456"},
      {"2.5", "#01NORMAL= 25", "#58000030000", "#5A00000003"},
      {"-5", "#01NORMAL=-50", "#58-000050000", "#5A0000-0005"},
  };
  for (const auto& row : rows) {
    ConfigurationRecord r;
    r.General.NORMAL = r.DataLogger.LOG_TIME = r.DataLogger.DIGITAL_REARM = row.text;
    const WriteSequence seq = BuildWriteSequence(r);
    const std::vector<std::string> normal = row.normal ? std::vector<std::string>{row.normal}
                                                       : std::vector<std::string>{};
    EXPECT_EQ(Texts(seq.steps[13].lines), normal) << row.text;
    EXPECT_EQ(Texts(seq.steps[20].lines), (std::vector<std::string>{row.channel, row.input}))
        << row.text;
  }
}

}  // namespace
}  // namespace zdl
