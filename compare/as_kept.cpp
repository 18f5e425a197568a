// What the unit keeps of a configuration: each field taken through the line that writes
// it (or its absence), the unit's record that reads it back, and the tool's decoding of
// that record, followed by the clean-up a read ends with.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "compare/comparison.h"
#include "model/number_format.h"
#include "model/validators.h"

namespace zdl {

namespace {

Text First(const Text& text, std::size_t length) { return text.substr(0, length); }

// A number as the unit writes it in a record: no leading blank.
std::string Plain(double value) {
  std::string text = SignSpaced(value);
  if (text.starts_with(' ')) text.erase(0, 1);
  return text;
}

// A time entered in seconds, as the write sends it: tenths, sign-spaced.
Text Tenths(const Text& seconds) { return SignSpaced(NumericValue(seconds) * 10); }

// A macro reference the unit takes (1 to 14) comes back; "no macro" and a reference the
// unit refuses (which fails the write) are predicted as no macro.
int MacroKept(int choice) { return choice >= 1 && choice <= kMacros ? choice : 0; }

// A persistence: sent in tenths when enabled, returned as at most five characters of
// tenths, where 10 stands for "none".
void PersistenceKept(bool persist, const Text& seconds, bool& outPersist, Text& outSeconds) {
  outPersist = false;
  outSeconds.clear();
  if (!persist) return;
  const double tenths = NumericValue(First(Plain(NumericValue(Tenths(seconds))), 5));
  if (tenths == 10) return;
  outPersist = true;
  outSeconds = SignSpaced(tenths / 10);
}

// At least two digits, a "-" before them for a negative number.
std::string TwoDigits(long long n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  if (digits.size() < 2) digits.insert(0, 1, '0');
  return (n < 0 ? "-" : "") + digits;
}

// A timer's time: "h:mm" travels as seconds after midnight (five characters) and comes
// back as "hh:mm" to the nearest minute; any other time as a rounded number.
Text TimerTimeKept(const Text& time) {
  const std::size_t colon = time.find(':');
  if (colon == Text::npos) {
    const Text sent = Plain(RoundHalfEven(NumericValue(time)));
    return SignSpaced(RoundHalfEven(NumericValue(First(sent, 5))));
  }
  const double seconds = NumericValue(std::string_view(time).substr(0, colon)) * 3600 +
                         NumericValue(std::string_view(time).substr(colon + 1)) * 60;
  const double minutes = RoundHalfEven(NumericValue(First(Plain(seconds), 5)) / 60);
  const auto m = static_cast<long long>(minutes);
  return TwoDigits(m / 60) + ":" + TwoDigits(m % 60);
}

// A data-logger time: sent zero-padded when not empty, returned zero-padded within the
// digits of its answer, read as a sign-spaced number.
Text LoggerTimeKept(const Text& time, int digits, double maximum) {
  const Text stored = time.empty() ? Text() : ZeroPadded(NumericValue(time), digits);
  const Text answered = ZeroPadded(std::clamp(NumericValue(stored), 0.0, maximum), digits);
  return SignSpaced(NumericValue(answered));
}

void GeneralKept(const ConfigurationRecord& r, ConfigurationRecord& k) {
  const GeneralGroup& g = r.General;
  GeneralGroup& out = k.General;
  out.NOMBRE = First(g.NOMBRE, 50);
  out.SMSC = First(g.SMSC, 16);
  out.PTLF = First(g.PTLF, 16);
  out.RENVN = First(g.RENVN, 3);
  out.RENVT = First(g.RENVT, 3);
  out.ASINC = First(g.ASINC, 3);
  out.AINFO = First(g.AINFO, 3);
  // NORMAL goes out in tenths only when not 0; the unit keeps 0 otherwise.
  const Text normal = NumericValue(g.NORMAL) != 0 ? Tenths(g.NORMAL) : Text("0");
  out.NORMAL = SignSpaced(NumericValue(Plain(NumericValue(normal))) / 10);
  out.REST_TEXT = g.Habil_Restore ? First(g.REST_TEXT, 20) : Text();
  out.Habil_Restore = !out.REST_TEXT.empty();
  out.MACRO_INICIO = MacroKept(g.MACRO_INICIO);
  out.MACRO_GSMOK = MacroKept(g.MACRO_GSMOK);
  out.MACRO_GSMMAL = MacroKept(g.MACRO_GSMMAL);

  if (r.TxAlarm.HABIL) {
    k.TxAlarm.HABIL = true;
    k.TxAlarm.TEXT = First(r.TxAlarm.TEXT, 80);
    k.TxAlarm.RING = r.TxAlarm.RING;
    k.TxAlarm.MACRO_TX = MacroKept(r.TxAlarm.MACRO_TX);
  }

  // Sent in list order up to the first empty entry; read back in order of arrival.
  for (std::size_t i = 0; i < r.ListaTlf.size() && i < kPhoneListSize; ++i) {
    if (r.ListaTlf[i].empty()) break;
    k.ListaTlf.push_back(First(r.ListaTlf[i], 50));
  }
}

void DigitalKept(const DigitalInput& d, int input, DigitalInput& out) {
  const int mode = EffectiveMode(d);
  if (mode == ModeDisabled) return;  // not sent: the defaults, options cleared
  out.Modo = mode;
  out.NcFlag = mode == ModeNormallyClosed;
  out.BiFlag = mode == ModeBistable;
  out.TEXT = First(d.TEXT, 80);
  out.RING = d.RING;
  out.RENV = d.RENV;
  PersistenceKept(d.PERSIST, d.PVAL, out.PERSIST, out.PVAL);
  if (d.CICLOS) {
    const Text cycles = First(d.CVAL, 5);
    out.CICLOS = NumericValue(cycles) != 0;
    if (out.CICLOS) out.CVAL = cycles;
  }
  // The reset time of inputs 0 to 3 only, sent with the counter.
  if (input < 4 && d.CICLOS && !d.RST.empty()) out.RST = First(d.RST, 5);
  out.MACRO_TRUE = MacroKept(d.MACRO_TRUE);
  out.MACRO_FALSE = MacroKept(d.MACRO_FALSE);
}

void AnalogKept(const AnalogInput& a, AnalogInput& out) {
  if (!a.HABIL) return;
  out.HABIL = true;
  out.TEXT = First(a.TEXT, 80);
  out.RING = a.RING;
  out.RENV = a.RENV;
  out.IE = First(a.IE, 10);
  out.FE = First(a.FE, 10);
  out.UN = First(a.UN, 8);
  out.MIN = First(a.MIN, 10);
  out.MAX = First(a.MAX, 10);
  out.HIST = First(a.HIST, 10);
  PersistenceKept(a.PERSIST, a.PVAL, out.PERSIST, out.PVAL);
  out.MACRO_HIGH = MacroKept(a.MACRO_HIGH);
  out.MACRO_LOW = MacroKept(a.MACRO_LOW);
  out.MACRO_NOM = MacroKept(a.MACRO_NOM);
}

void TimerKept(const Timer& t, Timer& out) {
  if (!t.HABIL) return;  // not sent: the unit's default timer
  out.TIME = TimerTimeKept(t.TIME);
  out.VP = First(t.VP, 5);
  // A list with nothing selected goes out as macro 1.
  out.MACRO = std::clamp(t.MACRO, 0, kTimerMacroItems - 1);
  // The enable travels in the day mask: no day reads back as not enabled.
  out.HABIL = std::find(t.Days.begin(), t.Days.end(), true) != t.Days.end();
  out.Days = t.Days;
}

}  // namespace

ConfigurationRecord AsTheUnitKeepsIt(const ConfigurationRecord& record, const UnitKeeping& unit) {
  ConfigurationRecord kept;
  GeneralKept(record, kept);
  for (int i = 0; i < kDigitalInputs; ++i) {
    const auto n = static_cast<std::size_t>(i);
    DigitalKept(record.Digital[n], i, kept.Digital[n]);
  }
  for (std::size_t j = 0; j < kAnalogInputs; ++j) AnalogKept(record.Analog[j], kept.Analog[j]);
  for (std::size_t m = 0; m < kMacros; ++m) {
    const Macro& macro = record.Macros[m];
    if (!macro.MACRO_TEXT.empty()) {
      kept.Macros[m] = {First(macro.MACRO_TEXT, 24), First(macro.MACRO_COM, 39)};
    }
  }
  if (unit.hasDatalogger) {
    const DataLoggerGroup& log = record.DataLogger;
    DataLoggerGroup& out = kept.DataLogger;
    out.LOG_TIME = LoggerTimeKept(log.LOG_TIME, 5, 99999);
    if (!log.LOG_TIME.empty()) out.REG_A = log.REG_A;
    out.DIGITAL_REARM = LoggerTimeKept(log.DIGITAL_REARM, 4, 9999);
    if (!log.DIGITAL_REARM.empty()) out.REG_D = log.REG_D;
  }
  for (std::size_t t = 0; t < kTimers; ++t) TimerKept(record.Timers[t], kept.Timers[t]);
  kept.CSMCheck();
  return kept;
}

}  // namespace zdl
