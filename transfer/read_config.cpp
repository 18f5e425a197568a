#include "transfer/read_config.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "link/trace_port.h"
#include "model/number_format.h"
#include "model/validators.h"

namespace zdl {

namespace {

constexpr int kReadProgressMax = 176;
constexpr int kReadAttempts = 3;
// "#00" repetitions that got an answer other than "#ACK", over the whole read.
constexpr int kPresenceRepeats = 5;
constexpr int kEndRecord = 999;
// Record lines one stream may bring: twice every three-digit record number, about eight
// times what a full configuration sends. A device that keeps sending valid records and
// never the end record fails the read here instead of holding it for ever.
constexpr int kMaxRecords = 2000;

// Characters `first` (1-based) to `first + count - 1` of `line`; shorter when the line
// is shorter, empty when it ends before `first`.
std::string_view Chars(std::string_view line, std::size_t first, std::size_t count) {
  if (first == 0 || first > line.size()) return {};
  return line.substr(first - 1, count);
}

// The value V: the line from its 6th character on.
std::string_view Value(std::string_view line) { return Chars(line, 6, std::string_view::npos); }

// text(L): the first L characters of V, as they are, but for control bytes: they are
// dropped, as no configuration line may carry them.
Text TextOf(std::string_view v, std::size_t length) {
  Text text;
  for (const char c : v.substr(0, length)) {
    if (!IsControlByte(c)) text += c;
  }
  return text;
}

// The record number of a line: the value of characters 2-4 as a whole number. Garbage
// gives a number no record uses.
int RecordNumber(std::string_view line) {
  double n = RoundHalfEven(NumericValue(Chars(line, 2, 3)));
  if (!(std::fabs(n) < 1e6)) return -1000000;
  return static_cast<int>(n);
}

// "#ACK_" + the record number as three digits with leading zeros + CR.
std::string Acknowledgement(int record) {
  std::string digits = std::to_string(std::abs(record));
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return std::string("#ACK_") + (record < 0 ? "-" : "") + digits + "\r";
}

// A check box as the unit sends it: the first character of V read as a digit.
enum class Flag { Clear, Set, Keep };

Flag FlagOf(std::string_view v) {
  if (v.empty()) return Flag::Clear;
  if (v[0] == '1') return Flag::Set;
  if (v[0] >= '2' && v[0] <= '9') return Flag::Keep;
  return Flag::Clear;  // "0", a non-digit
}

void StoreFlag(std::string_view v, bool& box) {
  Flag f = FlagOf(v);
  if (f != Flag::Keep) box = (f == Flag::Set);
}

// A list position from a number: rounded half to even; -1 (no selection) to `last`.
std::optional<int> ListPosition(double value, int last) {
  double r = RoundHalfEven(value);
  if (!(r >= kNoSelection && r <= last)) return std::nullopt;
  return static_cast<int>(r);
}

// index(5) of a macro choice into `choice`.
RecordOutcome StoreMacroChoice(std::string_view v, int& choice) {
  std::optional<int> position = ListPosition(NumericValue(v.substr(0, 5)), kMacroChoiceItems - 1);
  if (!position) return RecordOutcome::Rejected;
  choice = *position;
  return RecordOutcome::Decoded;
}

// Persistence in tenths of a second; 10 means "off".
RecordOutcome StorePersistence(std::string_view v, bool& persist, Text& pval) {
  double p = NumericValue(v.substr(0, 5));
  if (!std::isfinite(p)) return RecordOutcome::Rejected;
  if (p == 10) {
    persist = false;
    pval.clear();
  } else {
    persist = true;
    pval = SignSpaced(p / 10);
  }
  return RecordOutcome::Decoded;
}

// At least two digits, a "-" before them for a negative number.
std::string TwoDigits(long long n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  if (digits.size() < 2) digits.insert(0, 1, '0');
  return (n < 0 ? "-" : "") + digits;
}

// Seconds after midnight to "hh:mm", minutes rounded half to even.
RecordOutcome StoreTimerSeconds(std::string_view v, Text& time) {
  double minutes = RoundHalfEven(NumericValue(v.substr(0, 5)) / 60);
  if (!(std::fabs(minutes) <= 1e9)) return RecordOutcome::Rejected;
  auto m = static_cast<long long>(minutes);
  time = TwoDigits(m / 60) + ":" + TwoDigits(m % 60);
  return RecordOutcome::Decoded;
}

// The enable box and the seven day boxes from one bit mask, Monday in bit 0.
RecordOutcome StoreTimerDays(std::string_view v, ConfigurationRecord& record, int timer) {
  double d = RoundHalfEven(NumericValue(v.substr(0, 7)));
  if (!(d >= INT16_MIN && d <= INT16_MAX)) return RecordOutcome::Rejected;
  auto bits = static_cast<std::uint16_t>(static_cast<int>(d));
  record.SetTimerHabil(timer, bits != 0);
  for (int day = 0; day < kWeekDays; ++day) {
    record.Timers[timer].Days[day] = ((bits >> day) & 1U) != 0;
  }
  return RecordOutcome::Decoded;
}

// Records 1 to 107: general parameters, transmission-fail alarm, phone list.
RecordOutcome DecodeGeneral(int n, std::string_view v, ConfigurationRecord& record) {
  GeneralGroup& g = record.General;
  switch (n) {
    case 1: g.RENVN = TextOf(v, 3); break;
    case 2: g.RENVT = TextOf(v, 3); break;
    case 3: g.ASINC = TextOf(v, 3); break;
    case 4: g.AINFO = TextOf(v, 3); break;
    case 5: g.SMSC = TextOf(v, 16); break;
    case 6: g.PTLF = TextOf(v, 16); break;
    case 7: g.NOMBRE = TextOf(v, 50); break;
    case 8: record.TxAlarm.TEXT = TextOf(v, 80); break;
    case 9: {
      Flag f = FlagOf(v);
      if (f != Flag::Keep) record.SetTxAlarmHabil(f == Flag::Set);
      break;
    }
    case 10: StoreFlag(v, record.TxAlarm.RING); break;
    case 11: return StoreMacroChoice(v, record.TxAlarm.MACRO_TX);
    case 14: {
      double normal = NumericValue(v) / 10;
      if (!std::isfinite(normal)) return RecordOutcome::Rejected;
      g.NORMAL = SignSpaced(normal);
      break;
    }
    case 15: return StoreMacroChoice(v, g.MACRO_INICIO);
    case 16: return StoreMacroChoice(v, g.MACRO_GSMOK);
    case 17: return StoreMacroChoice(v, g.MACRO_GSMMAL);
    case 19:
      g.REST_TEXT = TextOf(v, 20);
      g.Habil_Restore = !g.REST_TEXT.empty();
      break;
    default:
      if (n >= 100 && n <= 107) {
        // The position in the list is the order of arrival, not the record number.
        Text entry = TextOf(v, 50);
        if (!entry.empty() && !record.AppendPhoneEntry(entry)) return RecordOutcome::Rejected;
        break;
      }
      return RecordOutcome::Ignored;
  }
  return RecordOutcome::Decoded;
}

// Records 200+k to 290+k: digital input k, 0 to 7.
RecordOutcome DecodeDigital(int group, int k, std::string_view v, ConfigurationRecord& record) {
  DigitalInput& d = record.Digital[k];
  switch (group) {
    case 200: d.TEXT = TextOf(v, 80); break;
    case 210:
    case 220:
    case 290: {
      // The mode is assembled from NC, HABIL and BI in whatever order they arrive.
      Flag f = FlagOf(v);
      if (f == Flag::Keep) break;
      bool value = f == Flag::Set;
      if (group == 210) record.SetDigitalNC(k, value);
      if (group == 220) record.SetDigitalHabil(k, value);
      if (group == 290) record.SetDigitalBi(k, value);
      break;
    }
    case 230: StoreFlag(v, d.RING); break;
    case 240: return StorePersistence(v, d.PERSIST, d.PVAL);
    case 250: {
      Text cycles = TextOf(v, 5);
      d.CICLOS = NumericValue(cycles) != 0;
      d.CVAL = d.CICLOS ? cycles : Text();
      break;
    }
    case 260: StoreFlag(v, d.RENV); break;
    case 270: return StoreMacroChoice(v, d.MACRO_TRUE);
    case 280: return StoreMacroChoice(v, d.MACRO_FALSE);
    default: return RecordOutcome::Ignored;
  }
  return RecordOutcome::Decoded;
}

// Records 300+j to 450+j: analog input j, 0 to 3.
RecordOutcome DecodeAnalog(int group, int j, std::string_view v, ConfigurationRecord& record) {
  AnalogInput& a = record.Analog[j];
  switch (group) {
    case 300: a.TEXT = TextOf(v, 80); break;
    case 310: a.MIN = TextOf(v, 10); break;
    case 320: a.MAX = TextOf(v, 10); break;
    case 330: a.HIST = TextOf(v, 10); break;
    case 340: a.UN = TextOf(v, 8); break;
    case 350: a.IE = TextOf(v, 10); break;
    case 360: a.FE = TextOf(v, 10); break;
    case 370: {
      Flag f = FlagOf(v);
      if (f != Flag::Keep) record.SetAnalogHabil(j, f == Flag::Set);
      break;
    }
    case 380: StoreFlag(v, a.RING); break;
    case 390: return StorePersistence(v, a.PERSIST, a.PVAL);
    case 400: StoreFlag(v, a.RENV); break;
    case 430: return StoreMacroChoice(v, a.MACRO_HIGH);
    case 440: return StoreMacroChoice(v, a.MACRO_LOW);
    case 450: return StoreMacroChoice(v, a.MACRO_NOM);
    default: return RecordOutcome::Ignored;
  }
  return RecordOutcome::Decoded;
}

// Records 510+t to 550+t: timer t, 0 to 7.
RecordOutcome DecodeTimer(int group, int t, std::string_view v, ConfigurationRecord& record) {
  Timer& timer = record.Timers[t];
  switch (group) {
    case 510: return StoreTimerSeconds(v, timer.TIME);
    case 520: return StoreTimerDays(v, record, t);
    case 530: timer.VP = TextOf(v, 5); break;
    case 540: {
      // The unit sends the macro number, 1 to 14.
      std::optional<int> position =
          ListPosition(NumericValue(v.substr(0, 2)) - 1, kTimerMacroItems - 1);
      if (!position) return RecordOutcome::Rejected;
      timer.MACRO = *position;
      break;
    }
    case 550: {
      double time = RoundHalfEven(NumericValue(v.substr(0, 5)));
      if (!std::isfinite(time)) return RecordOutcome::Rejected;
      timer.TIME = SignSpaced(time);
      break;
    }
    default: return RecordOutcome::Ignored;
  }
  return RecordOutcome::Decoded;
}

// Records 410 to 479: macro texts and commands. 410+m and 420+m carry macros 1 to 10,
// 460+m and 470+m macros 11 to 14; 464-469 and 474-479 would address macros that
// do not exist.
RecordOutcome DecodeMacro(int group, int m, std::string_view v, ConfigurationRecord& record) {
  int element = (group == 460 || group == 470) ? 10 + m : m;
  if (element >= kMacros) return RecordOutcome::Rejected;
  Macro& macro = record.Macros[element];
  if (group == 410 || group == 460) {
    macro.MACRO_TEXT = TextOf(v, 24);
  } else {
    macro.MACRO_COM = TextOf(v, 39);
  }
  return RecordOutcome::Decoded;
}

// The hexadecimal value of a text of hex digits; 0 when any character is not one.
unsigned HexValue(std::string_view text) {
  unsigned value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return 0;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value;
}

// A number field of the data-logger answers, as sign-spaced decimal; a value that is
// no finite number leaves the field as it was.
void StoreSignSpaced(std::string_view text, Text& field) {
  double value = NumericValue(text);
  if (std::isfinite(value)) field = SignSpaced(value);
}

// The "#60" and "#62" exchanges; true when the answer had the expected prefix. The read
// does not depend on them: without it the data-logger fields keep their defaults.
bool ReadLoggerChannels(SerialLine& line, Millis comTimeout, ConfigurationRecord& record) {
  std::string command = "#60";
  line.SendCommand(command, comTimeout);
  return DecodeLoggerChannels(line.LastAnswer, record);
}

bool ReadLoggerInputs(SerialLine& line, Millis comTimeout, ConfigurationRecord& record) {
  std::string command = "#62";
  line.SendCommand(command, comTimeout);
  return DecodeLoggerInputs(line.LastAnswer, record);
}

// "#00" until the unit answers "#ACK" or nothing; `repeats` counts the other answers
// over the whole read. The outcome does not matter: the read goes on in any case.
void PresenceTest(SerialLine& line, Millis comTimeout, int& repeats) {
  while (repeats <= kPresenceRepeats) {
    std::string command = "#00";
    line.SendCommand(command, comTimeout);
    if (line.LastAnswer == "#ACK" || line.LastAnswer.empty()) return;
    ++repeats;
  }
}

// Decodes the record line in LastAnswer, noting in the line's log (the trace) a record
// that was not taken whole: a value its field cannot take, control characters dropped.
RecordOutcome DecodeAndNote(SerialLine& line, ConfigurationRecord& record) {
  const std::string_view answer = line.LastAnswer;
  const RecordOutcome outcome = DecodeRecordLine(answer, record);
  const std::string number(Chars(answer, 2, 3));
  if (outcome == RecordOutcome::Rejected) {
    line.Port().Note("record " + VisibleBytes(number) + " ignored: its field cannot take " +
                     VisibleBytes(Value(answer)));
  } else if (outcome == RecordOutcome::Decoded) {
    std::string dropped;
    for (const char c : Value(answer)) {
      if (IsControlByte(c)) dropped += c;
    }
    if (!dropped.empty()) {
      line.Port().Note("record " + VisibleBytes(number) +
                       ": control characters not kept: " + VisibleBytes(dropped));
    }
  }
  return outcome;
}

enum class Attempt { Complete, Lost, NoStream, Endless };

// One attempt: clear, "#02", then the record stream up to record 999.
Attempt ReadAttempt(SerialLine& line, Millis comTimeout, ConfigurationRecord& record,
                    ProgressSink& progress, int& presenceRepeats) {
  progress.Value(0);
  record.ListaTlf.clear();
  PresenceTest(line, comTimeout, presenceRepeats);
  record.ClearAlarmas();
  record.ClearAlarmas2();
  record.ClearGeneral();
  record.ClearMacros();
  record.ClearDatalogger();

  std::string command = "#02";
  line.SendCommand(command, comTimeout);
  if (line.LastAnswer.empty()) return Attempt::NoStream;

  int bar = 0;
  for (int records = 1;; ++records) {
    if (records > kMaxRecords) return Attempt::Endless;
    if (bar < kReadProgressMax) progress.Value(++bar);
    // The unit sends the next line only after this acknowledgement.
    if (!line.WriteRaw(Acknowledgement(RecordNumber(line.LastAnswer)))) return Attempt::Lost;
    if (DecodeAndNote(line, record) == RecordOutcome::End) return Attempt::Complete;
    if (!line.ReadAnswer(comTimeout)) return Attempt::Lost;
  }
}

}  // namespace

RecordOutcome DecodeRecordLine(std::string_view line, ConfigurationRecord& record) {
  int n = RecordNumber(line);
  std::string_view v = Value(line);
  if (n == kEndRecord) return RecordOutcome::End;
  if (n >= 1 && n <= 107) return DecodeGeneral(n, v, record);

  int group = n / 10 * 10;
  int item = n % 10;
  if (group >= 200 && group <= 290 && item < kDigitalInputs) {
    return DecodeDigital(group, item, v, record);
  }
  if (group >= 300 && group <= 450 && group != 410 && group != 420 && item < kAnalogInputs) {
    return DecodeAnalog(group, item, v, record);
  }
  if (group == 410 || group == 420 || group == 460 || group == 470) {
    return DecodeMacro(group, item, v, record);
  }
  if (group == 500 && item < 4) {
    // Only inputs 0 to 3 have a reset time the unit knows.
    record.Digital[item].RST = TextOf(v, 5);
    return RecordOutcome::Decoded;
  }
  if (group >= 510 && group <= 550 && item < kTimers) {
    return DecodeTimer(group, item, v, record);
  }
  return RecordOutcome::Ignored;
}

bool DecodeLoggerChannels(std::string_view answer, ConfigurationRecord& record) {
  if (!answer.starts_with("#9F")) return false;
  DataLoggerGroup& logger = record.DataLogger;
  StoreSignSpaced(Chars(answer, 4, 5), logger.LOG_TIME);
  unsigned mask = HexValue(Chars(answer, 9, 4));
  for (int j = 0; j < kAnalogInputs; ++j) logger.REG_A[j] = ((mask >> j) & 1U) != 0;
  return true;
}

bool DecodeLoggerInputs(std::string_view answer, ConfigurationRecord& record) {
  if (!answer.starts_with("#9D")) return false;
  DataLoggerGroup& logger = record.DataLogger;
  unsigned mask = HexValue(Chars(answer, 4, 4));
  for (int k = 0; k < kDigitalInputs; ++k) logger.REG_D[k] = ((mask >> k) & 1U) != 0;
  // Character 8 is not examined.
  StoreSignSpaced(Chars(answer, 9, 4), logger.DIGITAL_REARM);
  return true;
}

bool ReadConfig(SerialLine& line, Millis comTimeout, bool hasDatalogger,
                ConfigurationRecord& record, ProgressSink& progress) {
  progress.Range(kReadProgressMax);
  int presenceRepeats = 0;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    // A closed port (carrier drop, cancel) can never answer: fail at once.
    if (!line.Port().IsOpen()) return false;
    switch (ReadAttempt(line, comTimeout, record, progress, presenceRepeats)) {
      case Attempt::NoStream:
      case Attempt::Endless:  // a stream without end would only run as long again
        return false;
      case Attempt::Lost:
        continue;
      case Attempt::Complete:
        progress.Value(kReadProgressMax);
        if (hasDatalogger) {
          ReadLoggerChannels(line, comTimeout, record);
          ReadLoggerInputs(line, comTimeout, record);
        }
        record.CleanUp();
        record.CSMCheck();
        return true;
    }
  }
  return false;
}

bool ReadConfiguration(SerialLine& line, Millis comTimeout, bool hasDatalogger,
                       ConfigurationRecord& record, ProgressSink& progress) {
  progress.Value(0);
  progress.Status(TextId::ReadingConfiguration);
  // A failed read must leave the editors as they were.
  ConfigurationRecord staging = record;
  if (!ReadConfig(line, comTimeout, hasDatalogger, staging, progress)) {
    progress.Status(TextId::CommunicationError);
    progress.Value(0);
    return false;
  }
  record = std::move(staging);
  progress.Status(TextId::ConfigurationRead);
  return true;
}

}  // namespace zdl
