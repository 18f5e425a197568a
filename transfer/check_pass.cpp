#include "transfer/check_pass.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "model/number_format.h"
#include "model/text_codec.h"
#include "model/validators.h"
#include "transfer/command_set.h"

namespace zdl {
namespace {

// Message offsets of the check pass.
inline constexpr int kNoDatalogger = 170;
inline constexpr int kNotANumber = 171;
inline constexpr int kOver30000 = 172;
inline constexpr int kOver65535 = 173;
inline constexpr int kOver3000 = 174;
inline constexpr int kBadPhone = 179;
inline constexpr int kNoPriority = 180;
inline constexpr int kConfirm = 181;
inline constexpr int kTimersUnsupported = 212;
inline constexpr int kTimersUnsupportedEnd = 213;
inline constexpr int kNoDay = 214;

// Timers need firmware 4.4 or later (compared as the single-precision version).
inline constexpr float kTimerFirmware = 4.4f;

CheckResult Fail(Control control, int offset, int index = -1) {
  return {CheckResult::Failed, control, index, offset};
}

// Range tests accept the limit itself and have no lower bound.
bool AboveLimit(const Text& text, double limit) { return NumericValue(text) > limit; }

using Check = std::optional<CheckResult>;

Check CheckDatalogger(const DataLoggerGroup& log, const UnitFacts& unit) {
  if (unit.HasDatalogger) return std::nullopt;
  if (!log.LOG_TIME.empty()) return Fail(Control::LogTime, kNoDatalogger);
  if (!log.DIGITAL_REARM.empty()) return Fail(Control::ReArmTime, kNoDatalogger);
  return std::nullopt;
}

Check CheckTimers(const ConfigurationRecord& record, const UnitFacts& unit) {
  bool any_enabled = false;
  for (const Timer& timer : record.Timers) any_enabled = any_enabled || timer.HABIL;
  if (any_enabled && unit.FirmVersion < kTimerFirmware) {
    return Fail(Control::MacroInicio, kTimersUnsupported);
  }
  for (int t = 0; t < kTimers; ++t) {
    const Timer& timer = record.Timers[static_cast<std::size_t>(t)];
    if (!timer.HABIL) continue;
    if (!CheckTime(timer.TIME) && !CheckInt(timer.TIME)) {
      return Fail(Control::TimeBox, kNotANumber, t);
    }
    if (!CheckInt(timer.VP)) return Fail(Control::VPBox, kNotANumber, t);
    if (AboveLimit(timer.VP, 30000)) return Fail(Control::VPBox, kOver30000, t);
    bool any_day = false;
    for (const bool day : timer.Days) any_day = any_day || day;
    if (!any_day) return Fail(Control::VPBox, kNoDay, t);
  }
  return std::nullopt;
}

// Inputs 4 to 7 have no reset time that the unit takes, so it is not checked for them.
Check CheckDigital(const ConfigurationRecord& record, int input) {
  const DigitalInput& in = record.Digital[static_cast<std::size_t>(input)];
  if (EffectiveMode(in) == ModeDisabled) return std::nullopt;
  if (in.CICLOS) {
    if (!CheckInt(in.CVAL)) return Fail(Control::CVal, kNotANumber, input);
    if (AboveLimit(in.CVAL, 30000)) return Fail(Control::CVal, kOver30000, input);
    if (input < 4) {
      if (!CheckInt(in.RST)) return Fail(Control::RST_Time, kNotANumber, input);
      if (AboveLimit(in.RST, 65535)) return Fail(Control::RST_Time, kOver65535, input);
    }
  }
  if (in.PERSIST) {
    if (!CheckNum(in.PVAL)) return Fail(Control::PVal, kNotANumber, input);
    if (AboveLimit(in.PVAL, 3000)) return Fail(Control::PVal, kOver3000, input);
  }
  return std::nullopt;
}

Check CheckGeneral(const GeneralGroup& general) {
  struct Row {
    const Text& text;
    Control control;
    int not_a_number;
    double limit;  // 0: no range test
    int out_of_range;
  };
  const std::array<Row, 7> rows{{
      {general.RENVN, Control::RENVN, kNotANumber, 20, 175},
      {general.RENVT, Control::RENVT, kNotANumber, 60, 176},
      {general.ASINC, Control::ASINC, kNotANumber, 100, 177},
      {general.AINFO, Control::AINFO, kNotANumber, 30, 178},
      {general.SMSC, Control::SMSCBox, kNotANumber, 0, 0},
      {general.PTLF, Control::PTLF, kBadPhone, 0, 0},
      {general.NORMAL, Control::NORMAL, kNotANumber, 3000, kOver3000},
  }};
  for (const Row& row : rows) {
    if (!CheckInt(row.text)) return Fail(row.control, row.not_a_number);
    if (row.out_of_range != 0 && AboveLimit(row.text, row.limit)) {
      return Fail(row.control, row.out_of_range);
    }
  }
  return std::nullopt;
}

Check CheckAnalog(const AnalogInput& in, int input) {
  if (!in.HABIL) return std::nullopt;
  const std::array<std::pair<const Text&, Control>, 5> scale{{
      {in.IE, Control::IE},
      {in.FE, Control::FE},
      {in.MIN, Control::Min},
      {in.MAX, Control::Max},
      {in.HIST, Control::Hist},
  }};
  for (const auto& [text, control] : scale) {
    if (!CheckNum(text)) return Fail(control, kNotANumber, input);
  }
  if (in.PERSIST && !CheckNum(in.PVAL)) return Fail(Control::PValA, kNotANumber, input);
  return std::nullopt;
}

Check FirstFailure(const ConfigurationRecord& record, const UnitFacts& unit) {
  if (auto failure = CheckDatalogger(record.DataLogger, unit)) return failure;
  if (auto failure = CheckTimers(record, unit)) return failure;
  for (int i = 0; i < kDigitalInputs; ++i) {
    if (auto failure = CheckDigital(record, i)) return failure;
  }
  if (auto failure = CheckGeneral(record.General)) return failure;
  for (int j = 0; j < kAnalogInputs; ++j) {
    if (auto failure = CheckAnalog(record.Analog[static_cast<std::size_t>(j)], j)) {
      return failure;
    }
  }
  return std::nullopt;
}

// The phone list as a failure's focus: the General editor's list box.
const Field& PhoneListRow() {
  static const Field row{EditorId::General, "ListaTlf", -1, -1, FieldKind::List, 0,
                         kPhoneListSize, "Telefonos", "", {}, {}, {}, {}};
  return row;
}

CheckResult TextFailure(const RefusedText& refused) {
  CheckResult result{CheckResult::Failed};
  result.field = refused.field != nullptr ? refused.field : &PhoneListRow();
  const FieldKey key = KeyOf(refused);
  result.section = key.section;
  result.key = key.key;
  if (refused.fault.kind == LineTextFault::ControlCharacter) {
    result.message = BilingualText::Format(
        ExtraText::TextHoldsControlCharacter,
        {key.key, key.section, std::to_string(static_cast<int>(refused.fault.byte))});
  } else {
    const std::size_t limit =
        refused.field != nullptr ? refused.field->maxLength : kPhoneEntryMaxLength;
    result.message = BilingualText::Format(
        ExtraText::TextTooLong, {key.key, key.section, std::to_string(refused.length),
                                 std::to_string(limit)});
  }
  return result;
}

}  // namespace

std::optional<CheckResult> CheckLineTexts(const ConfigurationRecord& record) {
  const WriteSequence sequence = BuildWriteSequence(record);
  if (!sequence.refused) return std::nullopt;
  return TextFailure(*sequence.refused);
}

const char* ControlName(Control control) {
  switch (control) {
    case Control::LogTime: return "LogTime";
    case Control::ReArmTime: return "ReArmTime";
    case Control::MacroInicio: return "MacroInicio";
    case Control::TimeBox: return "TimeBox";
    case Control::VPBox: return "VPBox";
    case Control::CVal: return "CVal";
    case Control::RST_Time: return "RST_Time";
    case Control::PVal: return "PVal";
    case Control::RENVN: return "RENVN";
    case Control::RENVT: return "RENVT";
    case Control::ASINC: return "ASINC";
    case Control::AINFO: return "AINFO";
    case Control::SMSCBox: return "SMSCBox";
    case Control::PTLF: return "PTLF";
    case Control::NORMAL: return "NORMAL";
    case Control::IE: return "IE";
    case Control::FE: return "FE";
    case Control::Min: return "Min";
    case Control::Max: return "Max";
    case Control::Hist: return "Hist";
    case Control::PValA: return "PValA";
  }
  return "";
}

CheckResult CheckForWrite(const ConfigurationRecord& record, const UnitFacts& unit) {
  if (auto failure = FirstFailure(record, unit)) return *failure;
  if (auto failure = CheckLineTexts(record)) return *failure;
  if (!record.HasPriorityNumber()) return {CheckResult::NeedsConfirmation};
  return {CheckResult::Passed};
}

std::string FocusName(const CheckResult& result) {
  if (result.field != nullptr) {
    return result.section.empty() ? result.key : result.section + '.' + result.key;
  }
  std::string name = ControlName(result.control);
  if (result.index >= 0) name += '[' + std::to_string(result.index) + ']';
  return name;
}

const Field* FocusField(const CheckResult& result) {
  if (result.kind != CheckResult::Failed) return nullptr;
  if (result.field != nullptr) return result.field;
  return FindField(ControlName(result.control), result.index);
}

std::string CheckMessage(const CheckResult& result, const UnitFacts& unit, Lang lang) {
  if (result.kind != CheckResult::Failed) return {};
  if (result.field != nullptr) return result.message.In(lang);
  std::string message(LangText(lang, result.offset));
  if (result.offset == kTimersUnsupported) {
    message += Cp1252ToUtf8(unit.FirmText) + ' ';
    message += LangText(lang, kTimersUnsupportedEnd);
  } else if (result.offset == kNoDay) {
    message += SignSpaced(result.index);
  }
  return message;
}

std::string ConfirmationQuestion(Lang lang) {
  std::string question(LangText(lang, kNoPriority));
  question += '\r';
  question += LangText(lang, kConfirm);
  return question;
}

}  // namespace zdl
