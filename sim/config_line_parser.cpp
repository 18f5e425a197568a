#include "sim/config_line_parser.h"

#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/validators.h"

namespace zdl {
namespace {

enum class Kind {
  Flag,    // present or not (",NC")
  Number,  // a number text up to the next comma (",P= 50")
  Raw,     // as typed, up to the next option (",C=00007")
  Quoted,  // a quoted text, unescaped (",COM=\"RELE1 ON\"")
};

struct Option {
  std::string_view name;  // "" for the line's leading value
  Kind kind;
  bool required = false;
};

// Reads a line's values against its options, which come in a fixed order, each at most
// once; required ones cannot be left out. Raw and quoted values end where the rest of
// the line reads as the remaining options, so they may contain commas and quotes. The
// search is memoised on (position, option), so it stays polynomial whatever the line.
class OptionReader {
 public:
  OptionReader(std::string_view text, std::span<const Option> options)
      : text_(text),
        options_(options),
        values_(options.size()),
        failed_((text.size() + 1) * (options.size() + 1), false) {}

  bool ReadAll() { return Match(0, 0); }
  bool Has(std::size_t i) const { return values_[i].has_value(); }
  std::string_view Value(std::size_t i) const { return values_[i].value_or(std::string_view{}); }

 private:
  bool Match(std::size_t pos, std::size_t first) {
    if (pos == text_.size()) {
      for (std::size_t j = first; j < options_.size(); ++j) {
        if (options_[j].required) return false;
      }
      return true;
    }
    const std::size_t memo = pos * (options_.size() + 1) + first;
    if (failed_[memo]) return false;
    for (std::size_t j = first; j < options_.size(); ++j) {
      if (text_.substr(pos).starts_with(options_[j].name) &&
          MatchValue(pos + options_[j].name.size(), j)) {
        return true;
      }
      if (options_[j].required) break;
    }
    failed_[memo] = true;
    return false;
  }

  // The value of option j starting at `start`, followed by a match of the options after j.
  bool MatchValue(std::size_t start, std::size_t j) {
    switch (options_[j].kind) {
      case Kind::Flag:
        return Accept(j, start, start, start);
      case Kind::Number: {
        std::size_t end = text_.find(',', start);
        if (end == std::string_view::npos) end = text_.size();
        return IsNumberText(text_.substr(start, end - start)) && Accept(j, start, end, end);
      }
      case Kind::Raw:
        for (std::size_t end = start; end <= text_.size(); ++end) {
          if ((end == text_.size() || text_[end] == ',') && Accept(j, start, end, end)) return true;
        }
        return false;
      case Kind::Quoted:
        if (start >= text_.size() || text_[start] != '"') return false;
        for (std::size_t q = start + 1; q < text_.size(); ++q) {
          if (text_[q] == '"' && Accept(j, start + 1, q, q + 1)) return true;
        }
        return false;
    }
    return false;
  }

  bool Accept(std::size_t j, std::size_t begin, std::size_t end, std::size_t next) {
    if (!Match(next, j + 1)) return false;
    values_[j] = text_.substr(begin, end - begin);
    return true;
  }

  std::string_view text_;
  std::span<const Option> options_;
  std::vector<std::optional<std::string_view>> values_;
  std::vector<bool> failed_;
};

// A macro reference 1 to 14.
std::optional<int> MacroNumber(std::string_view text) {
  const double value = NumericValue(text);
  if (value != std::floor(value) || value < 1 || value > kMacros) return std::nullopt;
  return static_cast<int>(value);
}

// An optional macro reference: 0 when absent.
bool ReadMacro(const OptionReader& reader, std::size_t i, int& out) {
  if (!reader.Has(i)) {
    out = 0;
    return true;
  }
  const auto number = MacroNumber(reader.Value(i));
  if (!number) return false;
  out = *number;
  return true;
}

// "n=" after a command word: the item digit 0 to count - 1.
std::optional<int> ItemDigit(std::string_view& rest, int count) {
  if (rest.size() < 2 || rest[1] != '=' || rest[0] < '0' || rest[0] >= '0' + count) {
    return std::nullopt;
  }
  const int item = rest[0] - '0';
  rest.remove_prefix(2);
  return item;
}

constexpr Option kDigitalOptions[] = {
    {"", Kind::Quoted, true}, {",NC", Kind::Flag},      {",BI", Kind::Flag},
    {",RING", Kind::Flag},    {",R", Kind::Flag},       {",P=", Kind::Number},
    {",C=", Kind::Raw},       {",RST=", Kind::Raw},     {",MACROT=", Kind::Number},
    {",MACROF=", Kind::Number},
};

bool ApplyDigital(std::string_view rest, ConfigurationRecord& record) {
  const auto item = ItemDigit(rest, kDigitalInputs);
  if (!item) return false;
  OptionReader reader(rest, kDigitalOptions);
  if (!reader.ReadAll() || (reader.Has(1) && reader.Has(2))) return false;
  DigitalInput input;
  input.NcFlag = reader.Has(1);
  input.BiFlag = reader.Has(2);
  input.Modo = input.NcFlag ? ModeNormallyClosed : input.BiFlag ? ModeBistable : ModeNormallyOpen;
  input.TEXT = Text(reader.Value(0));
  input.RING = reader.Has(3);
  input.RENV = reader.Has(4);
  input.PERSIST = reader.Has(5);
  input.PVAL = Text(reader.Value(5));
  input.CICLOS = reader.Has(6);
  input.CVAL = Text(reader.Value(6));
  input.RST = Text(reader.Value(7));
  if (!ReadMacro(reader, 8, input.MACRO_TRUE) || !ReadMacro(reader, 9, input.MACRO_FALSE)) {
    return false;
  }
  record.Digital[*item] = input;
  return true;
}

constexpr Option kAnalogOptions[] = {
    {"", Kind::Quoted, true},    {",IE=", Kind::Raw, true},   {",FE=", Kind::Raw, true},
    {",UN=", Kind::Raw, true},   {",MIN=", Kind::Raw, true},  {",MAX=", Kind::Raw, true},
    {",HIST=", Kind::Raw, true}, {",RING", Kind::Flag},       {",R", Kind::Flag},
    {",P=", Kind::Number},       {",MACROH=", Kind::Number},  {",MACROL=", Kind::Number},
    {",MACRON=", Kind::Number},
};

bool ApplyAnalog(std::string_view rest, ConfigurationRecord& record) {
  const auto item = ItemDigit(rest, kAnalogInputs);
  if (!item) return false;
  OptionReader reader(rest, kAnalogOptions);
  if (!reader.ReadAll()) return false;
  AnalogInput input;
  input.HABIL = true;
  input.TEXT = Text(reader.Value(0));
  input.IE = Text(reader.Value(1));
  input.FE = Text(reader.Value(2));
  input.UN = Text(reader.Value(3));
  input.MIN = Text(reader.Value(4));
  input.MAX = Text(reader.Value(5));
  input.HIST = Text(reader.Value(6));
  input.RING = reader.Has(7);
  input.RENV = reader.Has(8);
  input.PERSIST = reader.Has(9);
  input.PVAL = Text(reader.Value(9));
  if (!ReadMacro(reader, 10, input.MACRO_HIGH) || !ReadMacro(reader, 11, input.MACRO_LOW) ||
      !ReadMacro(reader, 12, input.MACRO_NOM)) {
    return false;
  }
  record.Analog[*item] = input;
  return true;
}

constexpr Option kTxAlarmOptions[] = {
    {"", Kind::Quoted, true}, {",RING", Kind::Flag}, {",MACROT=", Kind::Number}};

bool ApplyTxAlarm(std::string_view rest, ConfigurationRecord& record) {
  OptionReader reader(rest, kTxAlarmOptions);
  TxAlarmGroup alarm;
  if (!reader.ReadAll() || !ReadMacro(reader, 2, alarm.MACRO_TX)) return false;
  alarm.HABIL = true;
  alarm.TEXT = Text(reader.Value(0));
  alarm.RING = reader.Has(1);
  record.TxAlarm = alarm;
  return true;
}

constexpr Option kMacroOptions[] = {
    {"", Kind::Quoted, true}, {",COM=", Kind::Quoted, true}, {",INDEX=", Kind::Number, true}};

bool ApplyMacro(std::string_view rest, ConfigurationRecord& record) {
  OptionReader reader(rest, kMacroOptions);
  if (!reader.ReadAll()) return false;
  const double index = NumericValue(reader.Value(2));
  if (index != std::floor(index) || index < 0 || index >= kMacros) return false;
  record.Macros[static_cast<std::size_t>(index)] = {Text(reader.Value(0)), Text(reader.Value(1))};
  return true;
}

constexpr Option kTimerOptions[] = {
    {"", Kind::Raw, true},
    {",sem=", Kind::Raw, true},
    {",macro=", Kind::Number, true},
    {",vp=", Kind::Raw, true},
};

// A time the unit can run a timer at: "h:mm" with numbers on both sides of the colon, or a
// number.
bool IsTimerTime(std::string_view time) {
  const std::size_t colon = time.find(':');
  if (colon == std::string_view::npos) return IsNumberText(time);
  return IsNumberText(time.substr(0, colon)) && IsNumberText(time.substr(colon + 1));
}

bool ApplyTimer(std::string_view rest, ConfigurationRecord& record) {
  const auto item = ItemDigit(rest, kTimers);
  if (!item) return false;
  OptionReader reader(rest, kTimerOptions);
  if (!reader.ReadAll() || !IsTimerTime(reader.Value(0))) return false;
  const std::string_view days = reader.Value(1);
  if (days.size() != kWeekDays || days.find_first_not_of("01") != std::string_view::npos) {
    return false;
  }
  const auto macro = MacroNumber(reader.Value(2));
  if (!macro) return false;
  Timer timer;
  timer.HABIL = true;
  timer.TIME = Text(reader.Value(0));
  for (int d = 0; d < kWeekDays; ++d) timer.Days[d] = days[d] == '1';
  timer.MACRO = *macro - 1;
  timer.VP = Text(reader.Value(3));
  record.Timers[*item] = timer;
  return true;
}

// "REST=" carries a quoted text and nothing else.
bool ApplyRestore(std::string_view rest, ConfigurationRecord& record) {
  if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"') return false;
  record.General.REST_TEXT = Text(rest.substr(1, rest.size() - 2));
  record.General.Habil_Restore = true;
  return true;
}

bool Store(std::string_view value, Text& field) {
  field = Text(value);
  return true;
}

bool ApplyGeneralMacro(std::string_view rest, int& field) {
  if (!IsNumberText(rest)) return false;
  const auto number = MacroNumber(rest);
  if (!number) return false;
  field = *number;
  return true;
}

std::optional<unsigned> HexValue(std::string_view text) {
  if (text.size() != 4) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    value *= 16;
    if (c >= '0' && c <= '9') {
      value += static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      value += static_cast<unsigned>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      value += static_cast<unsigned>(c - 'a' + 10);
    } else {
      return std::nullopt;
    }
  }
  return value;
}

// A zero-padded decimal of at least `digits` digits, a leading "-" allowed.
bool IsPaddedDecimal(std::string_view text, std::size_t digits) {
  if (text.starts_with('-')) text.remove_prefix(1);
  return text.size() >= digits && text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool ApplyConfigBody(std::string_view body, ConfigurationRecord& record) {
  auto after = [&body](std::string_view word, std::string_view& rest) {
    if (!body.starts_with(word)) return false;
    rest = body.substr(word.size());
    return true;
  };
  GeneralGroup& general = record.General;
  std::string_view rest;
  if (body == "LDDEF") {
    record = ConfigurationRecord{};
    return true;
  }
  if (after("+ALM", rest)) return ApplyDigital(rest, record);
  if (after("+ADALM", rest)) return ApplyAnalog(rest, record);
  if (after("+TXALM=", rest)) return ApplyTxAlarm(rest, record);
  if (after("+MACRO=", rest)) return ApplyMacro(rest, record);
  if (after("+TLF=", rest)) return !rest.empty() && record.AppendPhoneEntry(Text(rest));
  if (after("ID=", rest)) return Store(rest, general.NOMBRE);
  if (after("CSM=", rest)) return Store(rest, general.SMSC);
  if (after("PTLF=", rest)) return Store(rest, general.PTLF);
  if (after("RENVN=", rest)) return Store(rest, general.RENVN);
  if (after("RENVT=", rest)) return Store(rest, general.RENVT);
  if (after("ASINC=", rest)) return Store(rest, general.ASINC);
  if (after("AINFO=", rest)) return Store(rest, general.AINFO);
  if (after("NORMAL=", rest)) return IsNumberText(rest) && Store(rest, general.NORMAL);
  if (after("REST=", rest)) return ApplyRestore(rest, record);
  if (after("MACROI=", rest)) return ApplyGeneralMacro(rest, general.MACRO_INICIO);
  if (after("MACROGK=", rest)) return ApplyGeneralMacro(rest, general.MACRO_GSMOK);
  if (after("MACROGM=", rest)) return ApplyGeneralMacro(rest, general.MACRO_GSMMAL);
  if (after("T", rest)) return ApplyTimer(rest, record);
  return false;
}

bool ApplyLoggerChannels(std::string_view value, ConfigurationRecord& record) {
  if (value.size() < 9) return false;
  const std::string_view time = value.substr(0, value.size() - 4);
  const auto mask = HexValue(value.substr(value.size() - 4));
  if (!mask || *mask > 0xF || !IsPaddedDecimal(time, 5)) return false;
  record.DataLogger.LOG_TIME = Text(time);
  for (int a = 0; a < kAnalogInputs; ++a) record.DataLogger.REG_A[a] = ((*mask >> a) & 1U) != 0;
  return true;
}

bool ApplyLoggerInputs(std::string_view value, ConfigurationRecord& record) {
  if (value.size() < 8) return false;
  const auto mask = HexValue(value.substr(0, 4));
  const std::string_view time = value.substr(4);
  if (!mask || *mask > 0xFF || !IsPaddedDecimal(time, 4)) return false;
  record.DataLogger.DIGITAL_REARM = Text(time);
  for (int d = 0; d < kDigitalInputs; ++d) record.DataLogger.REG_D[d] = ((*mask >> d) & 1U) != 0;
  return true;
}

}  // namespace zdl
