// The checks made before a configuration is written to the unit. They stop at the first
// field that fails, naming the control that gets the focus and the message to show.
#pragma once

#include <optional>
#include <string>

#include "model/configuration_record.h"
#include "model/field_table.h"
#include "text/extra_texts.h"
#include "text/string_table.h"

namespace zdl {

// What the connection start learnt of the connected unit.
struct UnitFacts {
  bool HasDatalogger = false;
  float FirmVersion = 0;
  Text FirmText;  // the version text as shown, Windows-1252
};

struct CheckResult {
  enum Kind {
    Passed,              // nothing to ask: write
    NeedsConfirmation,   // no priority number: ask NoPriorityNumber and ConfirmLoadConfiguration
    Failed,              // show the text `offset`, focus `control`
  };
  Kind kind = Passed;
  // A number's failure: the field table's row of the control that gets the focus (for a
  // repeated control its item is the timer, or the input number: digital 0 to 7, analog
  // 0 to 3), and the message (named `offset` for its place in the string table).
  const Field* control = nullptr;
  TextId offset = TextId::IncorrectNumber;
  // A text that may not go out (a control character, or longer than its control takes):
  // its row of the field table (for a phone-list entry, PhoneListField()), the keyed
  // file's section and key that hold it, and the message, which names them. `control`
  // and `offset` then play no part.
  const Field* field = nullptr;
  std::string section{};
  std::string key{};
  BilingualText message{};
};

// The checks in their order: the numbers (data logger, timers, digital inputs, general
// fields, analog inputs), then every text the write would carry as typed, in the order
// of the write, then the priority number.
CheckResult CheckForWrite(const ConfigurationRecord& record, const UnitFacts& unit);

// The text step alone: the first text the write would carry as typed that may not go out.
std::optional<CheckResult> CheckLineTexts(const ConfigurationRecord& record);

// "VPBox[3]", "RENVN"; for a text, its section and key: "General.NOMBRE", "Telefonos.TLF2".
std::string FocusName(const CheckResult& result);

// The field whose control a failure puts the focus on (its editor and object name):
// `field` for a text, else `control`; null for a result that is not a failure. A
// phone-list entry gives PhoneListField(), the General editor's list.
const Field* FocusField(const CheckResult& result);

// The message of a failure, UTF-8, built as the write shows it: TheFirmware, the
// firmware text, a blank and NoTimerSupport; NoDaySelectedInTimer followed by the timer
// number as a sign-spaced decimal; otherwise the text itself.
std::string CheckMessage(const CheckResult& result, const UnitFacts& unit, Lang lang);

// The confirmation asked when no phone-list entry is a priority number: NoPriorityNumber,
// a carriage return, ConfirmLoadConfiguration.
std::string ConfirmationQuestion(Lang lang);

}  // namespace zdl
