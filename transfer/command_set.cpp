#include "transfer/command_set.h"

#include <cstdint>
#include <utility>

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

}  // namespace

std::string DigitalAlarmLine(const ConfigurationRecord& record, int input) {
  const DigitalInput& in = record.Digital.at(static_cast<std::size_t>(input));
  const int mode = EffectiveMode(in);
  std::string line = "#01+ALM";
  line += ItemDigit(input);
  line += '=' + Quoted(in.TEXT);
  AppendFlag(line, ",NC", mode == ModeNormallyClosed);
  AppendFlag(line, ",BI", mode == ModeBistable);
  AppendFlag(line, ",RING", in.RING);
  AppendFlag(line, ",R", in.RENV);
  if (in.PERSIST) line += ",P=" + Tenths(in.PVAL);
  if (in.CICLOS) line += ",C=" + in.CVAL;
  // The unit's vocabulary carries the reset time of inputs 0 to 3 only.
  if (input < 4 && in.CICLOS && !in.RST.empty()) line += ",RST=" + in.RST;
  AppendMacro(line, ",MACROT=", in.MACRO_TRUE);
  AppendMacro(line, ",MACROF=", in.MACRO_FALSE);
  return line;
}

std::string AnalogAlarmLine(const ConfigurationRecord& record, int input) {
  const AnalogInput& in = record.Analog.at(static_cast<std::size_t>(input));
  std::string line = "#01+ADALM";
  line += ItemDigit(input);
  line += '=' + Quoted(in.TEXT);
  line += ",IE=" + in.IE;
  line += ",FE=" + in.FE;
  line += ",UN=" + in.UN;
  line += ",MIN=" + in.MIN;
  line += ",MAX=" + in.MAX;
  line += ",HIST=" + in.HIST;
  AppendFlag(line, ",RING", in.RING);
  AppendFlag(line, ",R", in.RENV);
  if (in.PERSIST) line += ",P=" + Tenths(in.PVAL);
  AppendMacro(line, ",MACROH=", in.MACRO_HIGH);
  AppendMacro(line, ",MACROL=", in.MACRO_LOW);
  AppendMacro(line, ",MACRON=", in.MACRO_NOM);
  return line;
}

std::string TxAlarmLine(const ConfigurationRecord& record) {
  const TxAlarmGroup& tx = record.TxAlarm;
  std::string line = "#01+TXALM=" + Quoted(tx.TEXT);
  AppendFlag(line, ",RING", tx.RING);
  AppendMacro(line, ",MACROT=", tx.MACRO_TX);
  return line;
}

std::string MacroLine(const ConfigurationRecord& record, int macro) {
  const Macro& m = record.Macros.at(static_cast<std::size_t>(macro - 1));
  // The macro line counts macros from 0; every reference to a macro counts from 1.
  return "#01+MACRO=" + Quoted(m.MACRO_TEXT) + ",COM=" + Quoted(m.MACRO_COM) +
         ",INDEX=" + SignSpaced(macro - 1);
}

std::string TimerLine(const ConfigurationRecord& record, int timer) {
  const Timer& t = record.Timers.at(static_cast<std::size_t>(timer));
  std::string line = "#01T";
  line += ItemDigit(timer);
  line += '=' + t.TIME + ",sem=";
  for (const bool day : t.Days) line += day ? '1' : '0';
  // A macro list with nothing selected counts as its first item, macro 1, as the
  // timer's enabling rule selects it.
  const int position = t.MACRO < 0 ? 0 : t.MACRO;
  line += ",macro=" + SignSpaced(position + 1);
  line += ",vp=" + t.VP;
  return line;
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
  // Each step's lines are filled before the next step is added; the reserve keeps the
  // references valid regardless.
  sequence.steps.reserve(21);
  auto step = [&sequence]() -> std::vector<CommandLine>& {
    WriteStep& s = sequence.steps.emplace_back();
    s.progress = static_cast<int>(sequence.steps.size());
    return s.lines;
  };
  const GeneralGroup& general = record.General;

  step().push_back(Config("#01LDDEF"));  // 1

  auto& digital_low = step();  // 2
  for (int i = 0; i < 4; ++i) {
    if (EffectiveMode(record.Digital[static_cast<std::size_t>(i)]) != ModeDisabled) {
      digital_low.push_back(Config(DigitalAlarmLine(record, i)));
    }
  }
  auto& analog_low = step();  // 3
  for (int i = 0; i < 2; ++i) {
    if (record.Analog[static_cast<std::size_t>(i)].HABIL) {
      analog_low.push_back(Config(AnalogAlarmLine(record, i)));
    }
  }
  auto& high = step();  // 4
  for (int i = 4; i < kDigitalInputs; ++i) {
    if (EffectiveMode(record.Digital[static_cast<std::size_t>(i)]) != ModeDisabled) {
      high.push_back(Config(DigitalAlarmLine(record, i)));
    }
  }
  for (int i = 2; i < kAnalogInputs; ++i) {
    if (record.Analog[static_cast<std::size_t>(i)].HABIL) {
      high.push_back(Config(AnalogAlarmLine(record, i)));
    }
  }
  auto& tx = step();  // 5
  if (record.TxAlarm.HABIL) tx.push_back(Config(TxAlarmLine(record)));

  auto& macros = step();  // 6
  for (int k = 1; k <= kMacros; ++k) {
    if (!record.Macros[static_cast<std::size_t>(k - 1)].MACRO_TEXT.empty()) {
      macros.push_back(Config(MacroLine(record, k)));
    }
  }

  step().push_back(Config("#01ID=" + general.NOMBRE));      // 7
  step().push_back(Config("#01CSM=" + general.SMSC));       // 8
  step().push_back(Config("#01PTLF=" + general.PTLF));      // 9
  step().push_back(Config("#01RENVN=" + general.RENVN));    // 10
  step().push_back(Config("#01RENVT=" + general.RENVT));    // 11
  step().push_back(Config("#01ASINC=" + general.ASINC));    // 12
  step().push_back(Config("#01AINFO=" + general.AINFO));    // 13

  auto& normal = step();  // 14
  if (NumericValue(general.NORMAL) != 0) {
    normal.push_back(Config("#01NORMAL=" + Tenths(general.NORMAL)));
  }
  auto& rest = step();  // 15
  if (general.Habil_Restore) rest.push_back(Config("#01REST=" + Quoted(general.REST_TEXT)));

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
    phones.push_back(Config("#01+TLF=" + record.ListaTlf[i]));
  }

  auto& timers = step();  // 20
  for (int t = 0; t < kTimers; ++t) {
    if (record.Timers[static_cast<std::size_t>(t)].HABIL) {
      timers.push_back(Config(TimerLine(record, t)));
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
  for (const WriteStep& step : sequence.steps) {
    lines.insert(lines.end(), step.lines.begin(), step.lines.end());
  }
  lines.push_back(sequence.save);
  return lines;
}

}  // namespace zdl
