#include "transfer/check_pass.h"

#include <gtest/gtest.h>

#include "tests/support/sample_record.h"
#include "transfer/command_set.h"

namespace zdl {
namespace {

using R = ConfigurationRecord;
using U = UnitFacts;

// Enabled items with the given texts.
Timer& On(R& r, int t) {
  r.Timers[t].HABIL = r.Timers[t].Days[LUNES] = true;
  return r.Timers[t];
}

DigitalInput& Cycles(R& r, int i, const char* cval, const char* rst) {
  return r.Digital[i] = {.Modo = ModeNormallyOpen, .TEXT = "", .PVAL = "", .CICLOS = true,
                         .CVAL = cval, .RST = rst};
}

void Persist(R& r, int i, const char* pval) {
  r.Digital[i] = {.Modo = ModeNormallyOpen, .TEXT = "", .PERSIST = true, .PVAL = pval,
                  .CVAL = "", .RST = ""};
}

AnalogInput& Scale(R& r, int j, const char* v) {
  return r.Analog[j] = {.HABIL = true, .TEXT = "", .IE = v, .FE = v, .UN = "", .MIN = v,
                        .MAX = v, .HIST = v, .PVAL = ""};
}

using enum CheckResult::Kind;

// Each row edits a record that passes every check on a unit with data logger and timers.
// (Texts are moved in whole: GCC 12 at -O3 reports a false -Wrestrict on short literals.)
const struct {
  const char* name; void (*edit)(R&, U&); CheckResult::Kind kind;
  const char* focus = ""; TextId offset = TextId{};
} kCases[] = {
    {"valid record", [](R&, U&) {}, Passed},
    {"no priority number", [](R& r, U&) { r.ListaTlf = {"600,PRV2"}; }, NeedsConfirmation},
    {"empty phone list", [](R& r, U&) { r.ListaTlf.clear(); }, NeedsConfirmation},
    // A unit without data logger: only empty data-logger fields pass.
    {"log time",
     [](R& r, U& u) { u.HasDatalogger = false; r.DataLogger.LOG_TIME = Text("5"); }, Failed,
     "LogTime", TextId::DataloggerDisabled},
    {"re-arm time",
     [](R& r, U& u) { u.HasDatalogger = false; r.DataLogger.DIGITAL_REARM = Text("5"); }, Failed,
     "ReArmTime", TextId::DataloggerDisabled},
    // Timers, each whole before the next.
    {"firmware 4.3", [](R& r, U& u) { u.FirmVersion = 4.3f; On(r, 5).VP = Text("x"); }, Failed,
     "MacroInicio", TextId::TheFirmware},
    {"firmware 4.4", [](R& r, U& u) { u.FirmVersion = 4.4f; On(r, 0); }, Passed},
    {"time 8", [](R& r, U&) { On(r, 1).TIME = Text("8"); }, Passed},
    {"time 25:00", [](R& r, U&) { On(r, 1).TIME = Text("25:00"); }, Failed, "TimeBox[1]", TextId::IncorrectNumber},
    {"validity 30000", [](R& r, U&) { On(r, 3).VP = Text("30000"); }, Passed},
    {"validity 30001", [](R& r, U&) { On(r, 3).VP = Text("30001"); }, Failed, "VPBox[3]", TextId::OutOfRangeUnder30000},
    {"no day", [](R& r, U&) { r.Timers[4].HABIL = true; }, Failed, "VPBox[4]", TextId::NoDaySelectedInTimer},
    {"timer order", [](R& r, U&) { r.Timers[0].HABIL = true; On(r, 1).TIME = Text("x"); }, Failed,
     "VPBox[0]", TextId::NoDaySelectedInTimer},
    // Digital inputs, before the general fields.
    {"disabled input", [](R& r, U&) { Cycles(r, 0, "x", "x").Modo = ModeDisabled; }, Passed},
    {"cycles 30001", [](R& r, U&) { Cycles(r, 6, "30001", ""); }, Failed, "CVal[6]", TextId::OutOfRangeUnder30000},
    {"empty reset time", [](R& r, U&) { Cycles(r, 1, "3", ""); }, Failed, "RST_Time[1]", TextId::IncorrectNumber},
    {"reset time 65536", [](R& r, U&) { Cycles(r, 3, "3", "65536"); }, Failed, "RST_Time[3]", TextId::OutOfRangeUnder65536},
    {"no reset time on 4-7", [](R& r, U&) { Cycles(r, 4, "3", "x"); }, Passed},
    {"persistence 3000.5", [](R& r, U&) { Persist(r, 0, "3000.5"); }, Failed, "PVal[0]", TextId::OutOfRangeUnder3000},
    {"inputs first", [](R& r, U&) { r.General.RENVN = ""; Persist(r, 7, ""); }, Failed, "PVal[7]",
     TextId::IncorrectNumber},
    // General fields in their order.
    {"RENVN 21", [](R& r, U&) { r.General.RENVN = "21"; }, Failed, "RENVN", TextId::OutOfRangeUnder20},
    {"RENVN -3", [](R& r, U&) { r.General.RENVN = "-3"; }, Passed},
    {"empty SMSC", [](R& r, U&) { r.General.SMSC = ""; }, Failed, "SMSCBox", TextId::IncorrectNumber},
    {"empty PTLF", [](R& r, U&) { r.General.PTLF = ""; }, Failed, "PTLF", TextId::IncorrectPhoneNumberEntry},
    {"NORMAL 3001", [](R& r, U&) { r.General.NORMAL = "3001"; }, Failed, "NORMAL", TextId::OutOfRangeUnder3000},
    // Analog inputs: numbers without range; TEXT and UN unchecked.
    {"empty IE", [](R& r, U&) { r.Analog[1].HABIL = true; }, Failed, "IE[1]", TextId::IncorrectNumber},
    {"HIST 1,5", [](R& r, U&) { Scale(r, 3, "1").HIST = "1,5"; }, Failed, "Hist[3]", TextId::IncorrectNumber},
    {"persistence", [](R& r, U&) { Scale(r, 2, "1").PERSIST = true; }, Failed, "PValA[2]", TextId::IncorrectNumber},
    {"large values", [](R& r, U&) { Scale(r, 0, "99999").UN = "x,y"; }, Passed},
};

TEST(CheckPass, StopsAtTheFirstFailingField) {
  for (const auto& c : kCases) {
    ConfigurationRecord record;
    record.General.SMSC = "+34609090909";
    record.General.PTLF = "600123456";
    record.ListaTlf = {"600,Prio=1,PRV2"};
    UnitFacts unit{true, 5.0f, "5.01"};
    c.edit(record, unit);
    const CheckResult result = CheckForWrite(record, unit);
    EXPECT_EQ(result.kind, c.kind) << c.name;
    if (c.kind == Failed) {
      EXPECT_EQ(FocusName(result), c.focus) << c.name;
      EXPECT_EQ(result.offset, c.offset) << c.name;
    }
  }
}

TEST(CheckPass, Messages) {
  const UnitFacts unit{true, 4.3f, "4.3\xe9"};  // Windows-1252 e-acute
  EXPECT_EQ(CheckMessage({Failed, FindField("MacroInicio", -1), TextId::TheFirmware}, unit, Lang::English),
            "Firmware4.3\xc3\xa9 don't support Timers");
  EXPECT_EQ(CheckMessage({Failed, FindField("VPBox", 4), TextId::NoDaySelectedInTimer}, unit, Lang::English),
            "You have not selected any day in timer  4");
  EXPECT_EQ(ConfirmationQuestion(Lang::English),
            "There isn't no prioritary number, alarms won't be notified.\r"
            "Do you really want to load this configuration?");
}

const UnitFacts kUnit{true, 5.0f, "5.01"};

// Every text box: a text that may not go out fails the check at its own control, or
// the write would not carry it as it stands (a number converted, a text not sent).
TEST(CheckPass, RefusesEveryTextThatMayNotGoOutAtItsControl) {
  ASSERT_EQ(CheckForWrite(testing::EveryItemSent(), kUnit).kind, Passed);
  int refused = 0;
  for (const Field& field : FieldTable()) {
    if (field.kind != FieldKind::TextBox) continue;
    // Whether the write carries the text as it stands: a text no other field holds shows.
    ConfigurationRecord marked = testing::EveryItemSent();
    field.setText(marked, "@");
    bool asTyped = false;
    for (const CommandLine& line : AllLines(BuildWriteSequence(marked))) {
      asTyped = asTyped || line.text.find('@') != std::string::npos;
    }
    std::vector<std::string> texts = {"Granja\r#63;03", std::string("1\0", 2)};
    if (field.maxLength != 0) texts.push_back(std::string(field.maxLength + 1, '7'));
    for (const std::string& text : texts) {
      ConfigurationRecord r = testing::EveryItemSent();
      field.setText(r, text);
      const CheckResult result = CheckForWrite(r, kUnit);
      const WriteSequence seq = BuildWriteSequence(r);
      if (result.kind != Failed) {
        EXPECT_FALSE(asTyped) << field.key << " " << text.size();
        EXPECT_FALSE(seq.refused.has_value()) << field.key;
        continue;
      }
      EXPECT_EQ(FocusField(result), &field) << field.key << " " << text.size();
      if (result.field == nullptr) continue;  // a number's own check came first
      ++refused;
      EXPECT_EQ(FocusName(result), field.section + "." + field.key);
      for (const Lang lang : {Lang::English, Lang::Spanish}) {
        EXPECT_NE(CheckMessage(result, kUnit, lang).find(field.key), std::string::npos)
            << field.key;
      }
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(CheckPass, TextsAfterTheNumbersAndBeforeThePriorityQuestion) {
  ConfigurationRecord r = testing::EveryItemSent();
  r.General.NOMBRE = "Granja\r#63;03";
  r.General.RENVN = "21";
  CheckResult result = CheckForWrite(r, kUnit);
  EXPECT_EQ(FocusName(result), "RENVN");
  EXPECT_EQ(result.offset, TextId::OutOfRangeUnder20);

  r.General.RENVN = "20";
  r.ListaTlf.clear();
  result = CheckForWrite(r, kUnit);
  ASSERT_EQ(result.kind, Failed);
  EXPECT_EQ(FocusName(result), "General.NOMBRE");
  EXPECT_EQ(FocusField(result)->ObjectName(), "NameBox");
  EXPECT_EQ(CheckMessage(result, kUnit, Lang::English),
            "The text of key NOMBRE in section [General] holds a control character (code 13), "
            "which cannot be sent to the unit.");
  EXPECT_EQ(CheckMessage(result, kUnit, Lang::Spanish),
            "El texto de la clave NOMBRE de la sección [General] tiene un carácter de control "
            "(código 13), que no se puede enviar al equipo.");

  r.General.NOMBRE = std::string(100'000, 'x');
  result = CheckForWrite(r, kUnit);
  EXPECT_EQ(CheckMessage(result, kUnit, Lang::English),
            "The text of key NOMBRE in section [General] has 100000 characters; it may have at "
            "most 50.");
  EXPECT_EQ(CheckLineTexts(r)->key, "NOMBRE");
}

TEST(CheckPass, APhoneEntryThatMayNotGoOutFocusesThePhoneList) {
  ConfigurationRecord r = testing::EveryItemSent();
  r.ListaTlf[3] = "600,PRV2\r#03";
  const CheckResult result = CheckForWrite(r, kUnit);
  ASSERT_EQ(result.kind, Failed);
  EXPECT_EQ(FocusName(result), "Telefonos.TLF3");
  EXPECT_EQ(FocusField(result)->editor, EditorId::General);
  EXPECT_EQ(FocusField(result)->ObjectName(), "ListaTlf");
  EXPECT_EQ(CheckMessage(result, kUnit, Lang::English),
            "The text of key TLF3 in section [Telefonos] holds a control character (code 13), "
            "which cannot be sent to the unit.");
  r.ListaTlf[3] = std::string(kPhoneEntryMaxLength + 1, '6');
  EXPECT_EQ(CheckMessage(CheckForWrite(r, kUnit), kUnit, Lang::Spanish),
            "El texto de la clave TLF3 de la sección [Telefonos] tiene 76 caracteres; admite "
            "como máximo 75.");
}

}  // namespace
}  // namespace zdl
