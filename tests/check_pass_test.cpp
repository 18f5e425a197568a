#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "transfer/check_pass.h"

namespace zdl {
namespace {

using Edit = std::function<void(ConfigurationRecord&, UnitFacts&)>;

// A unit with data logger and timers, and a record that passes every check.
UnitFacts ModernUnit() { return {true, 5.0f, "5.01"}; }

ConfigurationRecord ValidRecord() {
  ConfigurationRecord r;
  r.General.SMSC = "+34609090909";
  r.General.PTLF = "600123456";
  r.ListaTlf = {"600,Prio=1,PRV2"};
  return r;
}

Timer& On(ConfigurationRecord& r, int t) {
  Timer& timer = r.Timers[static_cast<std::size_t>(t)];
  timer.HABIL = true;
  timer.Days[LUNES] = true;
  return timer;
}

DigitalInput& On(ConfigurationRecord& r, int i, bool cycles, const char* cval,
                 const char* rst) {
  DigitalInput& d = r.Digital[static_cast<std::size_t>(i)];
  d.Modo = ModeNormallyOpen;
  d.CICLOS = cycles;
  d.CVAL = cval;
  d.RST = rst;
  return d;
}

void Persist(ConfigurationRecord& r, int i, const char* pval) {
  DigitalInput& d = On(r, i, false, "", "");
  d.PERSIST = true;
  d.PVAL = pval;
}

AnalogInput& Scale(ConfigurationRecord& r, int j, const char* value) {
  AnalogInput& a = r.Analog[static_cast<std::size_t>(j)];
  a.HABIL = true;
  a.IE = a.FE = a.MIN = a.MAX = a.HIST = value;
  return a;
}

struct CheckCase {
  const char* name;
  Edit edit;
  CheckResult::Kind kind;
  const char* focus = "";
  int offset = 0;
};

using R = ConfigurationRecord;
using U = UnitFacts;
constexpr auto kPass = CheckResult::Passed;
constexpr auto kAsk = CheckResult::NeedsConfirmation;
constexpr auto kFail = CheckResult::Failed;

const CheckCase kCases[] = {
    {"valid record", [](R&, U&) {}, kPass},
    {"no priority number", [](R& r, U&) { r.ListaTlf = {"600,PRV2"}; }, kAsk},
    {"empty phone list", [](R& r, U&) { r.ListaTlf.clear(); }, kAsk},
    {"priority only in a ninth entry",
     [](R& r, U&) {
       r.ListaTlf.assign(8, "600,PRV2");
       r.ListaTlf.push_back("601,Prio=1");
     },
     kAsk},

    // 1: data logger on a unit without one; its texts are not checked otherwise.
    {"log time, no data logger",
     [](R& r, U& u) {
       u.HasDatalogger = false;
       r.DataLogger.LOG_TIME = r.DataLogger.DIGITAL_REARM = "5";
     },
     kFail, "LogTime", 170},
    {"re-arm time, no data logger",
     [](R& r, U& u) {
       u.HasDatalogger = false;
       r.DataLogger.DIGITAL_REARM = "5";
     },
     kFail, "ReArmTime", 170},
    {"empty logger, no data logger", [](R&, U& u) { u.HasDatalogger = false; }, kPass},
    {"logger text unchecked", [](R& r, U&) { r.DataLogger.LOG_TIME = "abc"; }, kPass},

    // 2-3: timers.
    {"firmware 4.3 before any timer field",
     [](R& r, U& u) {
       u.FirmVersion = 4.3f;
       r.Timers[5].HABIL = true;
       r.Timers[5].VP = "bad";
     },
     kFail, "MacroInicio", 212},
    {"firmware 4.3, no timer", [](R&, U& u) { u.FirmVersion = 4.3f; }, kPass},
    {"firmware 4.4",
     [](R& r, U& u) {
       u.FirmVersion = 4.4f;
       On(r, 0);
     },
     kPass},
    {"time 8", [](R& r, U&) { On(r, 1).TIME = "8"; }, kPass},
    {"time 25:00", [](R& r, U&) { On(r, 1).TIME = "25:00"; }, kFail, "TimeBox[1]", 171},
    {"time 12:60", [](R& r, U&) { On(r, 2).TIME = "12:60"; }, kFail, "TimeBox[2]", 171},
    {"validity 1.5", [](R& r, U&) { On(r, 3).VP = "1.5"; }, kFail, "VPBox[3]", 171},
    {"validity 30000", [](R& r, U&) { On(r, 3).VP = "30000"; }, kPass},
    {"validity 30001", [](R& r, U&) { On(r, 3).VP = "30001"; }, kFail, "VPBox[3]", 172},
    {"no day", [](R& r, U&) { r.Timers[4].HABIL = true; }, kFail, "VPBox[4]", 214},
    {"each timer whole before the next",
     [](R& r, U&) {
       r.Timers[0].HABIL = true;
       On(r, 1).TIME = "x";
     },
     kFail, "VPBox[0]", 214},
    {"disabled timer", [](R& r, U&) { r.Timers[0].TIME = "x"; }, kPass},

    // 4-5: digital inputs.
    {"disabled input",
     [](R& r, U&) {
       On(r, 0, true, "x", "x").PERSIST = true;
       r.Digital[0].Modo = ModeDisabled;
     },
     kPass},
    {"no selection reads disabled",
     [](R& r, U&) { On(r, 0, true, "x", "x").Modo = kNoSelection; }, kPass},
    {"cycles 2.5", [](R& r, U&) { On(r, 2, true, "2.5", "60"); }, kFail, "CVal[2]", 171},
    {"cycles 30001", [](R& r, U&) { On(r, 6, true, "30001", ""); }, kFail, "CVal[6]", 172},
    {"empty reset time", [](R& r, U&) { On(r, 1, true, "3", ""); }, kFail, "RST_Time[1]", 171},
    {"reset time 65535", [](R& r, U&) { On(r, 3, true, "3", "65535"); }, kPass},
    {"reset time 65536", [](R& r, U&) { On(r, 3, true, "3", "65536"); }, kFail,
     "RST_Time[3]", 173},
    {"reset time without cycles", [](R& r, U&) { On(r, 3, false, "", "x"); }, kPass},
    {"no reset time check on 4-7", [](R& r, U&) { On(r, 4, true, "3", "x"); }, kPass},
    {"persistence 2,5", [](R& r, U&) { Persist(r, 7, "2,5"); }, kFail, "PVal[7]", 171},
    {"persistence 3000", [](R& r, U&) { Persist(r, 0, "3000"); }, kPass},
    {"persistence 3000.5", [](R& r, U&) { Persist(r, 0, "3000.5"); }, kFail, "PVal[0]", 174},
    {"inputs before general fields",
     [](R& r, U&) {
       r.General.RENVN = "";
       Persist(r, 7, "");
     },
     kFail, "PVal[7]", 171},

    // 6: general fields, in table order.
    {"RENVN 20", [](R& r, U&) { r.General.RENVN = "20"; }, kPass},
    {"RENVN 21", [](R& r, U&) { r.General.RENVN = "21"; }, kFail, "RENVN", 175},
    {"RENVN -3", [](R& r, U&) { r.General.RENVN = "-3"; }, kPass},
    {"RENVN 1E999", [](R& r, U&) { r.General.RENVN = "1E999"; }, kFail, "RENVN", 171},
    {"RENVT 61", [](R& r, U&) { r.General.RENVT = "61"; }, kFail, "RENVT", 176},
    {"ASINC 101", [](R& r, U&) { r.General.ASINC = "101"; }, kFail, "ASINC", 177},
    {"AINFO 31", [](R& r, U&) { r.General.AINFO = "31"; }, kFail, "AINFO", 178},
    {"AINFO 3.0", [](R& r, U&) { r.General.AINFO = "3.0"; }, kFail, "AINFO", 171},
    {"empty SMSC", [](R& r, U&) { r.General.SMSC = ""; }, kFail, "SMSCBox", 171},
    {"empty PTLF", [](R& r, U&) { r.General.PTLF = ""; }, kFail, "PTLF", 179},
    {"NORMAL 3001", [](R& r, U&) { r.General.NORMAL = "3001"; }, kFail, "NORMAL", 174},
    {"AINFO before NORMAL", [](R& r, U&) { r.General.NORMAL = r.General.AINFO = "x"; },
     kFail, "AINFO", 171},

    // 7-8: analog inputs; no range tests, TEXT and UN unchecked.
    {"analog, empty IE", [](R& r, U&) { r.Analog[1].HABIL = true; }, kFail, "IE[1]", 171},
    {"analog HIST 1,5", [](R& r, U&) { Scale(r, 3, "1").HIST = "1,5"; }, kFail, "Hist[3]", 171},
    {"analog persistence", [](R& r, U&) { Scale(r, 2, "-1.5").PERSIST = true; }, kFail,
     "PValA[2]", 171},
    {"analog large values",
     [](R& r, U&) {
       AnalogInput& a = Scale(r, 0, "99999");
       a.PERSIST = true;
       a.PVAL = "99999";
       a.UN = "x,y";
     },
     kPass},
    {"disabled analog", [](R& r, U&) { Scale(r, 0, "x").HABIL = false; }, kPass},
};

TEST(CheckPass, Table) {
  for (const CheckCase& c : kCases) {
    ConfigurationRecord record = ValidRecord();
    UnitFacts unit = ModernUnit();
    c.edit(record, unit);
    const CheckResult result = CheckForWrite(record, unit);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(result.kind, c.kind);
    if (c.kind == kFail) {
      EXPECT_EQ(FocusName(result), c.focus);
      EXPECT_EQ(result.offset, c.offset);
    }
  }
}

TEST(CheckPass, Messages) {
  const UnitFacts unit{true, 4.3f, "4.3\xe9"};  // Windows-1252 e-acute
  EXPECT_EQ(CheckMessage({kFail, Control::MacroInicio, -1, 212}, unit, Lang::English),
            "Firmware4.3\xc3\xa9 don't support Timers");
  EXPECT_EQ(CheckMessage({kFail, Control::VPBox, 4, 214}, unit, Lang::English),
            "You have not selected any day in timer  4");
  EXPECT_EQ(CheckMessage({kFail, Control::RENVN, -1, 175}, unit, Lang::English),
            "Out of range, set a value under 20");
  EXPECT_EQ(CheckMessage({kFail, Control::PTLF, -1, 179}, unit, Lang::Spanish),
            "Par\xc3\xa1metro incorrecto, escriba un n\xc3\xbamero de tel\xc3\xa9"
            "fono v\xc3\xa1lido.");
  EXPECT_EQ(CheckMessage({kPass}, unit, Lang::English), "");
  EXPECT_EQ(ConfirmationQuestion(Lang::English),
            "There isn't no prioritary number, alarms won't be notified.\r"
            "Do you really want to load this configuration?");
}

}  // namespace
}  // namespace zdl
