#include "transfer/check_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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
using enum TextId;

// Each row edits a record that passes every check on a unit with data logger and timers.
// (Texts are moved in whole: GCC 12 at -O3 reports a false -Wrestrict on short literals.)
const struct {
  const char* name; void (*edit)(R&, U&); CheckResult::Kind kind;
  const char* focus = ""; TextId offset = {};
} kCases[] = {
    {"valid record", [](R&, U&) {}, Passed},
    {"no priority number", [](R& r, U&) { r.ListaTlf = {"600,PRV2"}; }, NeedsConfirmation},
    // A unit without data logger: only empty data-logger fields pass.
    {"log time", [](R& r, U& u) { u.HasDatalogger = false; r.DataLogger.LOG_TIME = Text("5"); }, Failed,
     "LogTime", DataloggerDisabled},
    // Timers, each whole before the next.
    {"firmware 4.3", [](R& r, U& u) { u.FirmVersion = 4.3f; On(r, 5).VP = Text("x"); }, Failed,
     "MacroInicio", TheFirmware},
    {"firmware 4.4", [](R& r, U& u) { u.FirmVersion = 4.4f; On(r, 0); }, Passed},
    {"time 25:00", [](R& r, U&) { On(r, 1).TIME = Text("25:00"); }, Failed, "TimeBox[1]", IncorrectNumber},
    {"VP 30000", [](R& r, U&) { On(r, 3).VP = Text("30000"); }, Passed},
    {"VP 30001", [](R& r, U&) { On(r, 3).VP = Text("30001"); }, Failed, "VPBox[3]", OutOfRangeUnder30000},
    {"no day", [](R& r, U&) { r.Timers[4].HABIL = true; }, Failed, "VPBox[4]", NoDaySelectedInTimer},
    {"timer order", [](R& r, U&) { r.Timers[0].HABIL = true; On(r, 1).TIME = Text("x"); }, Failed,
     "VPBox[0]", NoDaySelectedInTimer},
    // Digital inputs, before the general fields.
    {"disabled input", [](R& r, U&) { Cycles(r, 0, "x", "x").Modo = ModeDisabled; }, Passed},
    {"cycles 30001", [](R& r, U&) { Cycles(r, 6, "30001", ""); }, Failed, "CVal[6]", OutOfRangeUnder30000},
    {"empty RST", [](R& r, U&) { Cycles(r, 1, "3", ""); }, Failed, "RST_Time[1]", IncorrectNumber},
    {"RST 65536", [](R& r, U&) { Cycles(r, 3, "3", "65536"); }, Failed, "RST_Time[3]", OutOfRangeUnder65536},
    {"no reset time on 4-7", [](R& r, U&) { Cycles(r, 4, "3", "x"); }, Passed},
    {"persistence 3000.5", [](R& r, U&) { Persist(r, 0, "3000.5"); }, Failed, "PVal[0]", OutOfRangeUnder3000},
    {"inputs first", [](R& r, U&) { r.General.RENVN = ""; Persist(r, 7, ""); }, Failed, "PVal[7]",
     IncorrectNumber},
    // General fields in their order.
    {"RENVN 21", [](R& r, U&) { r.General.RENVN = "21"; }, Failed, "RENVN", OutOfRangeUnder20},
    {"empty SMSC", [](R& r, U&) { r.General.SMSC = ""; }, Failed, "SMSCBox", IncorrectNumber},
    {"empty PTLF", [](R& r, U&) { r.General.PTLF = ""; }, Failed, "PTLF", IncorrectPhoneNumberEntry},
    // Analog inputs: numbers without range; TEXT and UN unchecked.
    {"empty IE", [](R& r, U&) { r.Analog[1].HABIL = true; }, Failed, "IE[1]", IncorrectNumber},
    {"persistence", [](R& r, U&) { Scale(r, 2, "1").PERSIST = true; }, Failed, "PValA[2]", IncorrectNumber},
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

const UnitFacts kUnit{true, 5.0f, "5.01"};

bool HoldsControlByte(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

// What a file or a unit could put in a text: control bytes that would end the line and
// run the rest as a command of its own, and a text longer than its control takes.
std::vector<std::string> HostileTexts(std::size_t maxLength) {
  std::vector<std::string> texts = {"Granja\r#63;03", std::string("a\0b", 3), "\x7F"};
  if (maxLength != 0) texts.push_back(std::string(maxLength + 1, '7'));
  return texts;
}

// Every text the write could carry, each text box and each phone entry: a text the write
// carries as typed is refused by its line's builder, naming its row (the write then has no
// line at all, the trace's note names its key), and by the check at its own control (a
// phone entry's at the phone list); a text the write does not carry as typed (converted
// to a number, or not sent) never reaches a line. The longest text the control takes goes
// out (the longest entry the phone-list editor builds is the phone list's own test).
TEST(CheckPass, EveryTextThatMayNotGoOutIsRefusedByItsBuilderAndAtItsControl) {
  const ConfigurationRecord base = testing::EveryItemSent();
  ASSERT_EQ(CheckForWrite(base, kUnit).kind, Passed);
  struct Slot {
    std::string key;   // "General.NOMBRE", "Telefonos.TLF2"
    const Field* row;  // null for a phone entry
    std::size_t maxLength;
    std::function<void(ConfigurationRecord&, const Text&)> set;
  };
  std::vector<Slot> slots;
  for (const Field& field : FieldTable()) {
    if (field.kind != FieldKind::TextBox) continue;
    slots.push_back({field.section + "." + field.key, &field, field.maxLength, field.setText});
  }
  for (std::size_t position = 0; position < base.ListaTlf.size(); ++position) {
    slots.push_back({"Telefonos.TLF" + std::to_string(position), nullptr, kPhoneEntryMaxLength,
                     [position](ConfigurationRecord& r, const Text& text) { r.ListaTlf[position] = text; }});
  }
  int refused = 0;
  for (const Slot& slot : slots) {
    SCOPED_TRACE(slot.key);
    ConfigurationRecord marked = base;
    slot.set(marked, "@");  // a text no other field holds
    bool asTyped = false;
    for (const CommandLine& line : AllLines(BuildWriteSequence(marked))) {
      asTyped = asTyped || line.text.find('@') != std::string::npos;
    }
    for (const std::string& text : HostileTexts(slot.maxLength)) {
      ConfigurationRecord r = base;
      slot.set(r, text);
      const WriteSequence seq = BuildWriteSequence(r);
      const CheckResult checked = CheckForWrite(r, kUnit);
      if (checked.kind == Failed) {
        EXPECT_EQ(FocusField(checked), slot.row ? slot.row : &PhoneListField()) << text.size();
      }
      if (!asTyped) {
        EXPECT_FALSE(seq.refused.has_value());
        for (const CommandLine& line : AllLines(seq)) EXPECT_FALSE(HoldsControlByte(line.text));
        continue;
      }
      ASSERT_TRUE(seq.refused.has_value()) << text.size();
      EXPECT_EQ(seq.refused->field, slot.row);
      EXPECT_EQ(RefusedTextNote(*seq.refused).rfind(slot.key + " ", 0), 0u);
      EXPECT_EQ(seq.refused->fault.kind, HoldsControlByte(text) ? LineTextFault::ControlCharacter
                                                                 : LineTextFault::TooLong);
      EXPECT_TRUE(seq.steps.empty() && AllLines(seq).empty());
      ASSERT_EQ(checked.kind, Failed);
      if (checked.field == nullptr) continue;  // a number's own check came first
      ++refused;
      EXPECT_EQ(FocusName(checked), slot.key);
      for (const Lang lang : {Lang::English, Lang::Spanish}) {
        const std::string key = slot.key.substr(slot.key.find('.') + 1);
        EXPECT_NE(CheckMessage(checked, kUnit, lang).find(key), std::string::npos);
      }
    }
    if (asTyped && slot.maxLength != 0) {
      ConfigurationRecord r = base;
      slot.set(r, std::string(slot.maxLength, '7'));
      EXPECT_FALSE(BuildWriteSequence(r).refused.has_value());
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace zdl
