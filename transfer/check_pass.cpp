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

// Timers need firmware 4.4 or later (compared as the single-precision version).
inline constexpr float kTimerFirmware = 4.4f;

// A failure at the control that shows `member` of `record`.
template <class Member>
CheckResult Fail(const ConfigurationRecord& record, const Member& member, TextId offset) {
  return {CheckResult::Failed, FieldOf(record, member), offset};
}

// Range tests accept the limit itself and have no lower bound.
bool AboveLimit(const Text& text, double limit) { return NumericValue(text) > limit; }

using Check = std::optional<CheckResult>;

Check CheckDatalogger(const ConfigurationRecord& record, const UnitFacts& unit) {
  const DataLoggerGroup& log = record.DataLogger;
  if (unit.HasDatalogger) return std::nullopt;
  if (!log.LOG_TIME.empty()) return Fail(record, log.LOG_TIME, TextId::DataloggerDisabled);
  if (!log.DIGITAL_REARM.empty()) return Fail(record, log.DIGITAL_REARM, TextId::DataloggerDisabled);
  return std::nullopt;
}

Check CheckTimers(const ConfigurationRecord& record, const UnitFacts& unit) {
  bool any_enabled = false;
  for (const Timer& timer : record.Timers) any_enabled = any_enabled || timer.HABIL;
  if (any_enabled && unit.FirmVersion < kTimerFirmware) {
    return Fail(record, record.General.MACRO_INICIO, TextId::TheFirmware);
  }
  for (int t = 0; t < kTimers; ++t) {
    const Timer& timer = record.Timers[static_cast<std::size_t>(t)];
    if (!timer.HABIL) continue;
    if (!CheckTime(timer.TIME) && !CheckInt(timer.TIME)) {
      return Fail(record, timer.TIME, TextId::IncorrectNumber);
    }
    if (!CheckInt(timer.VP)) return Fail(record, timer.VP, TextId::IncorrectNumber);
    if (AboveLimit(timer.VP, 30000)) return Fail(record, timer.VP, TextId::OutOfRangeUnder30000);
    bool any_day = false;
    for (const bool day : timer.Days) any_day = any_day || day;
    if (!any_day) return Fail(record, timer.VP, TextId::NoDaySelectedInTimer);
  }
  return std::nullopt;
}

// Inputs 4 to 7 have no reset time that the unit takes, so it is not checked for them.
Check CheckDigital(const ConfigurationRecord& record, int input) {
  const DigitalInput& in = record.Digital[static_cast<std::size_t>(input)];
  if (EffectiveMode(in) == ModeDisabled) return std::nullopt;
  if (in.CICLOS) {
    if (!CheckInt(in.CVAL)) return Fail(record, in.CVAL, TextId::IncorrectNumber);
    if (AboveLimit(in.CVAL, 30000)) return Fail(record, in.CVAL, TextId::OutOfRangeUnder30000);
    if (input < 4) {
      if (!CheckInt(in.RST)) return Fail(record, in.RST, TextId::IncorrectNumber);
      if (AboveLimit(in.RST, 65535)) return Fail(record, in.RST, TextId::OutOfRangeUnder65536);
    }
  }
  if (in.PERSIST) {
    if (!CheckNum(in.PVAL)) return Fail(record, in.PVAL, TextId::IncorrectNumber);
    if (AboveLimit(in.PVAL, 3000)) return Fail(record, in.PVAL, TextId::OutOfRangeUnder3000);
  }
  return std::nullopt;
}

Check CheckGeneral(const ConfigurationRecord& record) {
  const GeneralGroup& general = record.General;
  struct Row {
    const Text& text;
    TextId not_a_number;
    double limit;
    std::optional<TextId> out_of_range;  // none: no range test
  };
  const std::array<Row, 7> rows{{
      {general.RENVN, TextId::IncorrectNumber, 20, TextId::OutOfRangeUnder20},
      {general.RENVT, TextId::IncorrectNumber, 60, TextId::OutOfRangeUnder60},
      {general.ASINC, TextId::IncorrectNumber, 100, TextId::OutOfRangeUnder100},
      {general.AINFO, TextId::IncorrectNumber, 30, TextId::OutOfRangeUnder30},
      {general.SMSC, TextId::IncorrectNumber, 0, std::nullopt},
      {general.PTLF, TextId::IncorrectPhoneNumberEntry, 0, std::nullopt},
      {general.NORMAL, TextId::IncorrectNumber, 3000, TextId::OutOfRangeUnder3000},
  }};
  for (const Row& row : rows) {
    if (!CheckInt(row.text)) return Fail(record, row.text, row.not_a_number);
    if (row.out_of_range && AboveLimit(row.text, row.limit)) {
      return Fail(record, row.text, *row.out_of_range);
    }
  }
  return std::nullopt;
}

Check CheckAnalog(const ConfigurationRecord& record, int input) {
  const AnalogInput& in = record.Analog[static_cast<std::size_t>(input)];
  if (!in.HABIL) return std::nullopt;
  for (const Text* text : {&in.IE, &in.FE, &in.MIN, &in.MAX, &in.HIST}) {
    if (!CheckNum(*text)) return Fail(record, *text, TextId::IncorrectNumber);
  }
  if (in.PERSIST && !CheckNum(in.PVAL)) return Fail(record, in.PVAL, TextId::IncorrectNumber);
  return std::nullopt;
}

Check FirstFailure(const ConfigurationRecord& record, const UnitFacts& unit) {
  if (auto failure = CheckDatalogger(record, unit)) return failure;
  if (auto failure = CheckTimers(record, unit)) return failure;
  for (int i = 0; i < kDigitalInputs; ++i) {
    if (auto failure = CheckDigital(record, i)) return failure;
  }
  if (auto failure = CheckGeneral(record)) return failure;
  for (int j = 0; j < kAnalogInputs; ++j) {
    if (auto failure = CheckAnalog(record, j)) return failure;
  }
  return std::nullopt;
}

CheckResult TextFailure(const RefusedText& refused) {
  CheckResult result{CheckResult::Failed};
  result.field = refused.field != nullptr ? refused.field : &PhoneListField();
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
  if (result.control == nullptr) return {};
  std::string name(result.control->control);
  if (result.control->item >= 0) name += '[' + std::to_string(result.control->item) + ']';
  return name;
}

const Field* FocusField(const CheckResult& result) {
  if (result.kind != CheckResult::Failed) return nullptr;
  return result.field != nullptr ? result.field : result.control;
}

std::string CheckMessage(const CheckResult& result, const UnitFacts& unit, Lang lang) {
  if (result.kind != CheckResult::Failed) return {};
  if (result.field != nullptr) return result.message.In(lang);
  std::string message(LangText(lang, result.offset));
  if (result.offset == TextId::TheFirmware) {
    message += Cp1252ToUtf8(unit.FirmText) + ' ';
    message += LangText(lang, TextId::NoTimerSupport);
  } else if (result.offset == TextId::NoDaySelectedInTimer) {
    message += SignSpaced(result.control != nullptr ? result.control->item : -1);
  }
  return message;
}

std::string ConfirmationQuestion(Lang lang) {
  std::string question(LangText(lang, TextId::NoPriorityNumber));
  question += '\r';
  question += LangText(lang, TextId::ConfirmLoadConfiguration);
  return question;
}

}  // namespace zdl
