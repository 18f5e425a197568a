#include "sim/record_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "model/number_format.h"
#include "model/validators.h"

namespace zdl {
namespace {

// A number as the unit writes it in a record: no leading blank, so that five characters
// hold five digits.
std::string Plain(double value) {
  std::string text = SignSpaced(value);
  if (text.starts_with(' ')) text.erase(0, 1);
  return text;
}

std::string Flag(bool value) { return value ? "1" : "0"; }

// Persistence in tenths, or 10 for none (records 240+k and 390+j).
std::string Persistence(bool persist, const Text& tenths) {
  return persist ? Plain(NumericValue(tenths)) : "10";
}

class Stream {
 public:
  void Add(int number, std::string_view value) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%03d=", number);
    lines_.push_back(prefix + std::string(value));
  }
  void Add(int number, int value) { Add(number, std::to_string(value)); }
  std::vector<std::string> Take() { return std::move(lines_); }

 private:
  std::vector<std::string> lines_;
};

void AddGeneral(const ConfigurationRecord& record, Stream& out) {
  const GeneralGroup& g = record.General;
  out.Add(1, g.RENVN);
  out.Add(2, g.RENVT);
  out.Add(3, g.ASINC);
  out.Add(4, g.AINFO);
  out.Add(5, g.SMSC);
  out.Add(6, g.PTLF);
  out.Add(7, g.NOMBRE);
  out.Add(8, record.TxAlarm.TEXT);
  out.Add(9, Flag(record.TxAlarm.HABIL));
  out.Add(10, Flag(record.TxAlarm.RING));
  out.Add(11, record.TxAlarm.MACRO_TX);
  out.Add(14, Plain(NumericValue(g.NORMAL)));
  out.Add(15, g.MACRO_INICIO);
  out.Add(16, g.MACRO_GSMOK);
  out.Add(17, g.MACRO_GSMMAL);
  out.Add(19, g.Habil_Restore ? g.REST_TEXT : Text());
  for (std::size_t i = 0; i < record.ListaTlf.size() && i < kPhoneListSize; ++i) {
    out.Add(100 + static_cast<int>(i), record.ListaTlf[i]);
  }
}

void AddDigital(const ConfigurationRecord& record, Stream& out) {
  const auto& inputs = record.Digital;
  auto each = [&out, &inputs](int base, auto value) {
    for (int k = 0; k < kDigitalInputs; ++k) out.Add(base + k, value(inputs[k]));
  };
  each(200, [](const DigitalInput& d) { return d.TEXT; });
  each(210, [](const DigitalInput& d) { return Flag(EffectiveMode(d) == ModeNormallyClosed); });
  each(220, [](const DigitalInput& d) { return Flag(EffectiveMode(d) != ModeDisabled); });
  each(230, [](const DigitalInput& d) { return Flag(d.RING); });
  each(240, [](const DigitalInput& d) { return Persistence(d.PERSIST, d.PVAL); });
  each(250, [](const DigitalInput& d) { return d.CICLOS ? d.CVAL : Text("0"); });
  each(260, [](const DigitalInput& d) { return Flag(d.RENV); });
  each(270, [](const DigitalInput& d) { return std::to_string(d.MACRO_TRUE); });
  each(280, [](const DigitalInput& d) { return std::to_string(d.MACRO_FALSE); });
  each(290, [](const DigitalInput& d) { return Flag(EffectiveMode(d) == ModeBistable); });
}

void AddAnalogAndMacros(const ConfigurationRecord& record, Stream& out) {
  const auto& inputs = record.Analog;
  auto each = [&out, &inputs](int base, auto value) {
    for (int j = 0; j < kAnalogInputs; ++j) out.Add(base + j, value(inputs[j]));
  };
  each(300, [](const AnalogInput& a) { return a.TEXT; });
  each(310, [](const AnalogInput& a) { return a.MIN; });
  each(320, [](const AnalogInput& a) { return a.MAX; });
  each(330, [](const AnalogInput& a) { return a.HIST; });
  each(340, [](const AnalogInput& a) { return a.UN; });
  each(350, [](const AnalogInput& a) { return a.IE; });
  each(360, [](const AnalogInput& a) { return a.FE; });
  each(370, [](const AnalogInput& a) { return Flag(a.HABIL); });
  each(380, [](const AnalogInput& a) { return Flag(a.RING); });
  each(390, [](const AnalogInput& a) { return Persistence(a.PERSIST, a.PVAL); });
  each(400, [](const AnalogInput& a) { return Flag(a.RENV); });
  for (int m = 0; m < 10; ++m) out.Add(410 + m, record.Macros[m].MACRO_TEXT);
  for (int m = 0; m < 10; ++m) out.Add(420 + m, record.Macros[m].MACRO_COM);
  each(430, [](const AnalogInput& a) { return std::to_string(a.MACRO_HIGH); });
  each(440, [](const AnalogInput& a) { return std::to_string(a.MACRO_LOW); });
  each(450, [](const AnalogInput& a) { return std::to_string(a.MACRO_NOM); });
  for (int m = 0; m < 4; ++m) out.Add(460 + m, record.Macros[10 + m].MACRO_TEXT);
  for (int m = 0; m < 4; ++m) out.Add(470 + m, record.Macros[10 + m].MACRO_COM);
}

// Seconds after midnight of an "h:mm" time; empty for a time without a colon.
std::optional<double> SecondsOfDay(const Text& time) {
  const std::size_t colon = time.find(':');
  if (colon == Text::npos) return std::nullopt;
  return NumericValue(std::string_view(time).substr(0, colon)) * 3600 +
         NumericValue(std::string_view(time).substr(colon + 1)) * 60;
}

int DayMask(const Timer& timer) {
  if (!timer.HABIL) return 0;
  int mask = 0;
  for (int d = 0; d < kWeekDays; ++d) {
    if (timer.Days[d]) mask |= 1 << d;
  }
  return mask;
}

void AddTimers(const ConfigurationRecord& record, Stream& out) {
  for (int k = 0; k < 4; ++k) out.Add(500 + k, record.Digital[k].RST);
  const auto& timers = record.Timers;
  for (int t = 0; t < kTimers; ++t) {
    if (const auto seconds = SecondsOfDay(timers[t].TIME)) out.Add(510 + t, Plain(*seconds));
  }
  for (int t = 0; t < kTimers; ++t) out.Add(520 + t, DayMask(timers[t]));
  for (int t = 0; t < kTimers; ++t) out.Add(530 + t, timers[t].VP);
  for (int t = 0; t < kTimers; ++t) out.Add(540 + t, timers[t].MACRO + 1);
  for (int t = 0; t < kTimers; ++t) {
    if (!SecondsOfDay(timers[t].TIME)) {
      out.Add(550 + t, Plain(RoundHalfEven(NumericValue(timers[t].TIME))));
    }
  }
}

std::uint16_t Bits(const auto& flags) {
  unsigned mask = 0;
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if (flags[i]) mask |= 1U << i;
  }
  return static_cast<std::uint16_t>(mask);
}

std::string Padded(const Text& text, double maximum, int digits) {
  return ZeroPadded(std::clamp(NumericValue(text), 0.0, maximum), digits);
}

}  // namespace

std::vector<std::string> RecordStream(const ConfigurationRecord& record) {
  Stream out;
  AddGeneral(record, out);
  AddDigital(record, out);
  AddAnalogAndMacros(record, out);
  AddTimers(record, out);
  out.Add(kStreamEndRecord, "");
  return out.Take();
}

std::string LoggerChannelsAnswer(const ConfigurationRecord& record) {
  const DataLoggerGroup& logger = record.DataLogger;
  return "9F" + Padded(logger.LOG_TIME, 99999, 5) + Hex4(Bits(logger.REG_A));
}

std::string LoggerInputsAnswer(const ConfigurationRecord& record) {
  const DataLoggerGroup& logger = record.DataLogger;
  return "9D" + Hex4(Bits(logger.REG_D)) + "," + Padded(logger.DIGITAL_REARM, 9999, 4);
}

}  // namespace zdl
