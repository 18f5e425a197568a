#include "transfer/command_set.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "link/trace_port.h"
#include "model/number_format.h"
#include "model/validators.h"

namespace zdl {
namespace {

inline constexpr const char* kChannelAck = "#A7";  // "#58": 58 + A7 = FF
inline constexpr const char* kInputAck = "#A5";    // "#5A": 5A + A5 = FF

char ItemDigit(int item) { return static_cast<char>('0' + item); }

std::string Quoted(const Text& text) { return '"' + text + '"'; }

// A time entered in seconds goes out in tenths of a second.
std::string Tenths(const Text& seconds) { return SignSpaced(NumericValue(seconds) * 10); }

// ",MACROT= 3": present only when a macro is chosen. A list with nothing selected is
// not "no macro" and goes out as it stands; the unit decides.
void AppendMacro(std::string& line, const char* part, int choice) {
  if (choice != 0) line += part + SignSpaced(choice);
}

void AppendFlag(std::string& line, const char* part, bool present) {
  if (present) line += part;
}

CommandLine Config(std::string text) { return {std::move(text), kParseOk}; }

// The texts one line carries as typed, each taken through its row of the field table and
// checked against the row's length; the first that may not go out refuses the line.
class LineTexts {
 public:
  LineTexts(const ConfigurationRecord& record, RefusedText* refused)
      : record_(record), refused_(refused) {}

  // The text of a member of the record that a control shows (an input's TEXT); empty
  // once the line is refused.
  Text Of(const Text& member) {
    const Field* field = FieldOf(record_, member);
    // A builder naming no row (a mistake of this file, which the tests would show) sends
    // nothing rather than a text it cannot check.
    if (field == nullptr) return Refuse({});
    Text text = field->getText(record_);
    if (const LineTextFault fault = CheckLineText(text, field->maxLength)) {
      return Refuse({field, -1, fault, text.size()});
    }
    return text;
  }
  // A phone-list entry, carried as it comes within the longest the editor builds.
  Text Entry(std::size_t position) {
    const Text& entry = record_.ListaTlf[position];
    if (const LineTextFault fault = CheckLineText(entry, kPhoneEntryMaxLength)) {
      return Refuse({nullptr, static_cast<int>(position), fault, entry.size()});
    }
    return entry;
  }

  std::optional<std::string> Line(std::string line) const {
    if (refusedOne_) return std::nullopt;
    return line;
  }

 private:
  Text Refuse(const RefusedText& refused) {
    if (!refusedOne_ && refused_ != nullptr) *refused_ = refused;
    refusedOne_ = true;
    return {};
  }

  const ConfigurationRecord& record_;
  RefusedText* refused_;
  bool refusedOne_ = false;
};

}  // namespace

FieldKey KeyOf(const RefusedText& refused) {
  if (refused.field == nullptr) {
    const Field& phones = PhoneListField();
    return {phones.section, phones.key + std::to_string(refused.phoneEntry)};
  }
  if (refused.field->key.empty()) return {"", refused.field->ObjectName()};
  return {refused.field->section, refused.field->key};
}

std::string RefusedTextNote(const RefusedText& refused) {
  const FieldKey key = KeyOf(refused);
  std::string note = key.section.empty() ? key.key : key.section + '.' + key.key;
  if (refused.fault.kind == LineTextFault::ControlCharacter) {
    note += " holds " + VisibleBytes(std::string(1, static_cast<char>(refused.fault.byte)));
  } else {
    note += " is longer than its field";
  }
  return note;
}

std::optional<std::string> DigitalAlarmLine(const ConfigurationRecord& record, int input,
                                            RefusedText* refused) {
  const DigitalInput& in = record.Digital.at(static_cast<std::size_t>(input));
  LineTexts texts(record, refused);
  const int mode = EffectiveMode(in);
  std::string line = "#01+ALM";
  line += ItemDigit(input);
  line += '=' + Quoted(texts.Of(in.TEXT));
  AppendFlag(line, ",NC", mode == ModeNormallyClosed);
  AppendFlag(line, ",BI", mode == ModeBistable);
  AppendFlag(line, ",RING", in.RING);
  AppendFlag(line, ",R", in.RENV);
  if (in.PERSIST) line += ",P=" + Tenths(in.PVAL);
  if (in.CICLOS) line += ",C=" + texts.Of(in.CVAL);
  // The unit's vocabulary carries the reset time of inputs 0 to 3 only.
  if (input < 4 && in.CICLOS && !in.RST.empty()) line += ",RST=" + texts.Of(in.RST);
  AppendMacro(line, ",MACROT=", in.MACRO_TRUE);
  AppendMacro(line, ",MACROF=", in.MACRO_FALSE);
  return texts.Line(std::move(line));
}

std::optional<std::string> AnalogAlarmLine(const ConfigurationRecord& record, int input,
                                           RefusedText* refused) {
  const AnalogInput& in = record.Analog.at(static_cast<std::size_t>(input));
  LineTexts texts(record, refused);
  std::string line = "#01+ADALM";
  line += ItemDigit(input);
  line += '=' + Quoted(texts.Of(in.TEXT));
  line += ",IE=" + texts.Of(in.IE);
  line += ",FE=" + texts.Of(in.FE);
  line += ",UN=" + texts.Of(in.UN);
  line += ",MIN=" + texts.Of(in.MIN);
  line += ",MAX=" + texts.Of(in.MAX);
  line += ",HIST=" + texts.Of(in.HIST);
  AppendFlag(line, ",RING", in.RING);
  AppendFlag(line, ",R", in.RENV);
  if (in.PERSIST) line += ",P=" + Tenths(in.PVAL);
  AppendMacro(line, ",MACROH=", in.MACRO_HIGH);
  AppendMacro(line, ",MACROL=", in.MACRO_LOW);
  AppendMacro(line, ",MACRON=", in.MACRO_NOM);
  return texts.Line(std::move(line));
}

std::optional<std::string> TxAlarmLine(const ConfigurationRecord& record, RefusedText* refused) {
  const TxAlarmGroup& tx = record.TxAlarm;
  LineTexts texts(record, refused);
  std::string line = "#01+TXALM=" + Quoted(texts.Of(tx.TEXT));
  AppendFlag(line, ",RING", tx.RING);
  AppendMacro(line, ",MACROT=", tx.MACRO_TX);
  return texts.Line(std::move(line));
}

std::optional<std::string> MacroLine(const ConfigurationRecord& record, int macro,
                                     RefusedText* refused) {
  const int element = macro - 1;
  // Throws for a macro that does not exist.
  const Macro& m = record.Macros.at(static_cast<std::size_t>(element));
  LineTexts texts(record, refused);
  // The macro line counts macros from 0; every reference to a macro counts from 1.
  std::string line = "#01+MACRO=" + Quoted(texts.Of(m.MACRO_TEXT)) + ",COM=" +
                     Quoted(texts.Of(m.MACRO_COM)) + ",INDEX=" + SignSpaced(macro - 1);
  return texts.Line(std::move(line));
}

std::optional<std::string> TimerLine(const ConfigurationRecord& record, int timer,
                                     RefusedText* refused) {
  const Timer& t = record.Timers.at(static_cast<std::size_t>(timer));
  LineTexts texts(record, refused);
  std::string line = "#01T";
  line += ItemDigit(timer);
  line += '=' + texts.Of(t.TIME) + ",sem=";
  for (const bool day : t.Days) line += day ? '1' : '0';
  // A macro list with nothing selected counts as its first item, macro 1, as the
  // timer's enabling rule selects it.
  const int position = t.MACRO < 0 ? 0 : t.MACRO;
  line += ",macro=" + SignSpaced(position + 1);
  line += ",vp=" + texts.Of(t.VP);
  return texts.Line(std::move(line));
}

std::string DataLoggerChannelLine(const ConfigurationRecord& record) {
  const DataLoggerGroup& log = record.DataLogger;
  std::uint16_t mask = 0;
  for (std::size_t a = 0; a < log.REG_A.size(); ++a) {
    if (log.REG_A[a]) mask = static_cast<std::uint16_t>(mask | (1u << a));
  }
  return "#58" + ZeroPadded(NumericValue(log.LOG_TIME), 5) + Hex4(mask);
}

std::string DataLoggerInputLine(const ConfigurationRecord& record) {
  const DataLoggerGroup& log = record.DataLogger;
  std::uint16_t mask = 0;
  for (std::size_t d = 0; d < log.REG_D.size(); ++d) {
    if (log.REG_D[d]) mask = static_cast<std::uint16_t>(mask | (1u << d));
  }
  return "#5A" + Hex4(mask) + ZeroPadded(NumericValue(log.DIGITAL_REARM), 4);
}

WriteSequence BuildWriteSequence(const ConfigurationRecord& record) {
  WriteSequence sequence;
  RefusedText refused;
  // Each step's lines are filled before the next step is added; the reserve keeps the
  // references valid regardless.
  sequence.steps.reserve(21);
  auto step = [&sequence]() -> std::vector<CommandLine>& {
    WriteStep& s = sequence.steps.emplace_back();
    s.progress = static_cast<int>(sequence.steps.size());
    return s.lines;
  };
  // Adds a built line; false (the sequence refused) when its builder refused a text.
  auto add = [&sequence, &refused](std::vector<CommandLine>& lines,
                                   std::optional<std::string> line) {
    if (!line) {
      sequence.refused = refused;
      return false;
    }
    lines.push_back(Config(std::move(*line)));
    return true;
  };
  auto refuse = [&sequence] {
    sequence.steps.clear();
    return std::move(sequence);
  };
  const GeneralGroup& general = record.General;

  step().push_back(Config("#01LDDEF"));  // 1

  auto& digital_low = step();  // 2
  for (int i = 0; i < 4; ++i) {
    if (EffectiveMode(record.Digital[static_cast<std::size_t>(i)]) != ModeDisabled &&
        !add(digital_low, DigitalAlarmLine(record, i, &refused))) {
      return refuse();
    }
  }
  auto& analog_low = step();  // 3
  for (int i = 0; i < 2; ++i) {
    if (record.Analog[static_cast<std::size_t>(i)].HABIL &&
        !add(analog_low, AnalogAlarmLine(record, i, &refused))) {
      return refuse();
    }
  }
  auto& high = step();  // 4
  for (int i = 4; i < kDigitalInputs; ++i) {
    if (EffectiveMode(record.Digital[static_cast<std::size_t>(i)]) != ModeDisabled &&
        !add(high, DigitalAlarmLine(record, i, &refused))) {
      return refuse();
    }
  }
  for (int i = 2; i < kAnalogInputs; ++i) {
    if (record.Analog[static_cast<std::size_t>(i)].HABIL &&
        !add(high, AnalogAlarmLine(record, i, &refused))) {
      return refuse();
    }
  }
  auto& tx = step();  // 5
  if (record.TxAlarm.HABIL && !add(tx, TxAlarmLine(record, &refused))) return refuse();

  auto& macros = step();  // 6
  for (int k = 1; k <= kMacros; ++k) {
    if (!record.Macros[static_cast<std::size_t>(k - 1)].MACRO_TEXT.empty() &&
        !add(macros, MacroLine(record, k, &refused))) {
      return refuse();
    }
  }

  const std::pair<const char*, const Text*> general_lines[] = {
      {"#01ID=", &general.NOMBRE},   // 7
      {"#01CSM=", &general.SMSC},    // 8
      {"#01PTLF=", &general.PTLF},   // 9
      {"#01RENVN=", &general.RENVN}, // 10
      {"#01RENVT=", &general.RENVT}, // 11
      {"#01ASINC=", &general.ASINC}, // 12
      {"#01AINFO=", &general.AINFO}, // 13
  };
  for (const auto& [command, text] : general_lines) {
    LineTexts texts(record, &refused);
    if (!add(step(), texts.Line(command + texts.Of(*text)))) return refuse();
  }

  auto& normal = step();  // 14
  if (NumericValue(general.NORMAL) != 0) {
    normal.push_back(Config("#01NORMAL=" + Tenths(general.NORMAL)));
  }
  auto& rest = step();  // 15
  if (general.Habil_Restore) {
    LineTexts texts(record, &refused);
    if (!add(rest, texts.Line("#01REST=" + Quoted(texts.Of(general.REST_TEXT))))) return refuse();
  }

  const std::pair<const char*, int> start_macros[] = {
      {"#01MACROI=", general.MACRO_INICIO},   // 16
      {"#01MACROGK=", general.MACRO_GSMOK},   // 17
      {"#01MACROGM=", general.MACRO_GSMMAL},  // 18
  };
  for (const auto& [command, choice] : start_macros) {
    auto& lines = step();
    if (choice != 0) lines.push_back(Config(command + SignSpaced(choice)));
  }

  auto& phones = step();  // 19
  for (std::size_t i = 0; i < record.ListaTlf.size() && i < kPhoneListSize; ++i) {
    if (record.ListaTlf[i].empty()) break;  // the end of the list
    LineTexts texts(record, &refused);
    if (!add(phones, texts.Line("#01+TLF=" + texts.Entry(i)))) return refuse();
  }

  auto& timers = step();  // 20
  for (int t = 0; t < kTimers; ++t) {
    if (record.Timers[static_cast<std::size_t>(t)].HABIL &&
        !add(timers, TimerLine(record, t, &refused))) {
      return refuse();
    }
  }

  auto& logger = step();  // 21
  if (!record.DataLogger.LOG_TIME.empty()) {
    logger.push_back({DataLoggerChannelLine(record), kChannelAck});
  }
  if (!record.DataLogger.DIGITAL_REARM.empty()) {
    logger.push_back({DataLoggerInputLine(record), kInputAck});
  }
  return sequence;
}

std::vector<CommandLine> AllLines(const WriteSequence& sequence) {
  std::vector<CommandLine> lines;
  if (sequence.refused) return lines;
  for (const WriteStep& step : sequence.steps) {
    lines.insert(lines.end(), step.lines.begin(), step.lines.end());
  }
  lines.push_back(sequence.save);
  return lines;
}

}  // namespace zdl
