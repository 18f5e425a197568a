// The keyed format: one table of every key, in the writer's order, walked by the writer
// (KeyedValues) and by the reader (ReadKeyed), so the two can never disagree on a key.

#include <cmath>
#include <string>

#include "configfile/formats.h"
#include "model/number_format.h"
#include "model/text_codec.h"
#include "model/validators.h"

namespace zdl {

namespace configfile {

namespace {

enum class ModeFlag { Habil, NC, Bi };

// Key of an input or timer: the base name and the index digit ("HABIL3").
std::string Indexed(std::string_view base, int index) {
  std::string key(base);
  key += static_cast<char>('0' + index);
  return key;
}

// Key of a macro: the base name, a blank and the number ("MACRO_TEXT 10").
std::string MacroKey(std::string_view base, int number) {
  return std::string(base) + " " + std::to_string(number);
}

// Walks every key of the keyed format in the writer's order. `Rec` is the record, const
// for the writer. The visitor gets, per key, the section and key names and the field:
//   Version()                        the format tag
//   Str(section, key, text)          a text field
//   Flag(section, key, flag)         a check box
//   Choice(section, key, pos, last)  a list position, -1 (nothing selected) to `last`
//   Mode(section, key, input, flag)  one of the three flags of a digital input's mode
//   Phone(section, key, position)    one phone-list entry
//   RestoreText(section, key)        the restored-alarm text when it is enabled
template <class Rec, class Visitor>
void VisitKeys(Rec& r, Visitor& v) {
  constexpr int kLastMacroChoice = kMacroChoiceItems - 1;
  constexpr int kLastTimerMacro = kTimerMacroItems - 1;

  const std::string_view general = "General";
  v.Version(general, kVersionKey);
  v.Str(general, "NOMBRE", r.General.NOMBRE);
  v.Str(general, "SMSC", r.General.SMSC);
  v.Str(general, "RENVN", r.General.RENVN);
  v.Str(general, "RENVT", r.General.RENVT);
  v.Str(general, "PTLF", r.General.PTLF);
  v.Str(general, "AINFO", r.General.AINFO);
  v.Str(general, "ASINC", r.General.ASINC);
  v.Str(general, "REST_TEXT", r.General.REST_TEXT);
  v.Str(general, "NORMAL", r.General.NORMAL);
  v.Choice(general, "MACRO_INICIO", r.General.MACRO_INICIO, kLastMacroChoice);
  v.Choice(general, "MACRO_GSMOK", r.General.MACRO_GSMOK, kLastMacroChoice);
  v.Choice(general, "MACRO_GSMMAL", r.General.MACRO_GSMMAL, kLastMacroChoice);

  const std::string_view tx = "TxAlarm";
  v.Flag(tx, "HABIL", r.TxAlarm.HABIL);
  v.Str(tx, "TEXT", r.TxAlarm.TEXT);
  v.Flag(tx, "RING", r.TxAlarm.RING);
  v.Choice(tx, "MACRO_TX", r.TxAlarm.MACRO_TX, kLastMacroChoice);

  v.RestoreText(general, "RESTORE_TEXT");

  for (int i = 0; i < kPhoneListSize; ++i) v.Phone("Telefonos", Indexed("TLF", i), i);

  const std::string_view digital = "Digital";
  for (int i = 0; i < kDigitalInputs; ++i) {
    auto& d = r.Digital[static_cast<std::size_t>(i)];
    v.Mode(digital, Indexed("HABIL", i), i, ModeFlag::Habil);
    v.Mode(digital, Indexed("NC", i), i, ModeFlag::NC);
    v.Mode(digital, Indexed("BI", i), i, ModeFlag::Bi);
    v.Str(digital, Indexed("TEXT", i), d.TEXT);
    v.Flag(digital, Indexed("RING", i), d.RING);
    v.Flag(digital, Indexed("RENV", i), d.RENV);
    v.Flag(digital, Indexed("PERSIST", i), d.PERSIST);
    v.Str(digital, Indexed("PVAL", i), d.PVAL);
    v.Flag(digital, Indexed("CICLOS", i), d.CICLOS);
    v.Str(digital, Indexed("CVAL", i), d.CVAL);
    v.Str(digital, Indexed("RST", i), d.RST);
    v.Choice(digital, Indexed("MACRO_TRUE", i), d.MACRO_TRUE, kLastMacroChoice);
    v.Choice(digital, Indexed("MACRO_FALSE", i), d.MACRO_FALSE, kLastMacroChoice);
  }

  const std::string_view analog = "Analog";
  for (int i = 0; i < kAnalogInputs; ++i) {
    auto& a = r.Analog[static_cast<std::size_t>(i)];
    v.Flag(analog, Indexed("HABIL", i), a.HABIL);
    v.Str(analog, Indexed("TEXT", i), a.TEXT);
    v.Flag(analog, Indexed("RING", i), a.RING);
    v.Flag(analog, Indexed("RENV", i), a.RENV);
    v.Str(analog, Indexed("IE", i), a.IE);
    v.Str(analog, Indexed("FE", i), a.FE);
    v.Str(analog, Indexed("UN", i), a.UN);
    v.Str(analog, Indexed("MIN", i), a.MIN);
    v.Str(analog, Indexed("MAX", i), a.MAX);
    v.Str(analog, Indexed("HIST", i), a.HIST);
    v.Flag(analog, Indexed("PERSIST", i), a.PERSIST);
    v.Str(analog, Indexed("PVAL", i), a.PVAL);
    v.Choice(analog, Indexed("MACRO_HIGH", i), a.MACRO_HIGH, kLastMacroChoice);
    v.Choice(analog, Indexed("MACRO_LOW", i), a.MACRO_LOW, kLastMacroChoice);
    v.Choice(analog, Indexed("MACRO_NOM", i), a.MACRO_NOM, kLastMacroChoice);
  }

  for (int n = 0; n < kMacros; ++n) {
    auto& m = r.Macros[static_cast<std::size_t>(n)];
    v.Str("Macros", MacroKey("MACRO_TEXT", n), m.MACRO_TEXT);
    v.Str("Macros", MacroKey("MACRO_COM", n), m.MACRO_COM);
  }

  const std::string_view logger = "DataLogger";
  v.Str(logger, "DIGITAL_REARM", r.DataLogger.DIGITAL_REARM);
  for (int i = 0; i < kDigitalInputs; ++i) {
    v.Flag(logger, Indexed("REG_D", i), r.DataLogger.REG_D[static_cast<std::size_t>(i)]);
  }
  v.Str(logger, "LOG_TIME", r.DataLogger.LOG_TIME);
  for (int i = 0; i < kAnalogInputs; ++i) {
    v.Flag(logger, Indexed("REG_A", i), r.DataLogger.REG_A[static_cast<std::size_t>(i)]);
  }

  static constexpr std::string_view kDayKeys[kWeekDays] = {
      "LUNES", "MARTES", "MIERCOLES", "JUEVES", "VIERNES", "SABADO", "DOMINGO"};
  const std::string_view timer = "Timer";
  for (int i = 0; i < kTimers; ++i) {
    auto& t = r.Timers[static_cast<std::size_t>(i)];
    v.Flag(timer, Indexed("HABIL", i), t.HABIL);
    v.Str(timer, Indexed("TIME", i), t.TIME);
    v.Str(timer, Indexed("VP", i), t.VP);
    for (int day = 0; day < kWeekDays; ++day) {
      v.Flag(timer, Indexed(kDayKeys[day], i), t.Days[static_cast<std::size_t>(day)]);
    }
    v.Choice(timer, Indexed("MACRO", i), t.MACRO, kLastTimerMacro);
  }
}

// A list position as the writer writes it: " 3", " 0", "-1".
std::string ChoiceText(int position) {
  std::string text = std::to_string(position);
  if (position >= 0) text.insert(text.begin(), ' ');
  return text;
}

class KeyedWriter {
 public:
  explicit KeyedWriter(const ConfigurationRecord& record) : record_(record) {}

  void Version(std::string_view section, std::string_view key) {
    Put(section, key, std::string(kVersionTag));
  }
  void Str(std::string_view section, std::string_view key, const Text& text) {
    Put(section, key, text);
  }
  void Flag(std::string_view section, std::string_view key, bool flag) {
    Put(section, key, flag ? "1" : "0");
  }
  void Choice(std::string_view section, std::string_view key, int position, int /*last*/) {
    Put(section, key, ChoiceText(position));
  }
  void Mode(std::string_view section, std::string_view key, int input, ModeFlag flag) {
    // Read as DigitalHabil/NC/Bi do: a mode outside 0-3 reads 0.
    const int mode = EffectiveMode(record_.Digital[static_cast<std::size_t>(input)]);
    const bool set = flag == ModeFlag::Habil ? mode != ModeDisabled
                     : flag == ModeFlag::NC  ? mode == ModeNormallyClosed
                                             : mode == ModeBistable;
    Flag(section, key, set);
  }
  void Phone(std::string_view section, std::string_view key, int position) {
    const auto p = static_cast<std::size_t>(position);
    Put(section, key, p < record_.ListaTlf.size() ? record_.ListaTlf[p] : Text());
  }
  void RestoreText(std::string_view section, std::string_view key) {
    Put(section, key, record_.General.Habil_Restore ? record_.General.REST_TEXT : Text());
  }

  std::vector<KeyedValue> Take() { return std::move(values_); }

 private:
  void Put(std::string_view section, std::string_view key, Text value) {
    values_.push_back({std::string(section), std::string(key), std::move(value)});
  }

  const ConfigurationRecord& record_;
  std::vector<KeyedValue> values_;
};

class KeyedReader {
 public:
  KeyedReader(const IniDocument& doc, ConfigurationRecord& record) : doc_(doc), record_(record) {}

  // Checked by IsKeyed before the walk.
  void Version(std::string_view, std::string_view) {}
  void Str(std::string_view section, std::string_view key, Text& text) {
    text = doc_.Get(section, key);
  }
  void Flag(std::string_view section, std::string_view key, bool& flag) {
    flag = IsSet(section, key);
  }
  void Choice(std::string_view section, std::string_view key, int& position, int last) {
    const std::string text = doc_.Get(section, key);
    // The leading number of the text, to the nearest whole number (halves to even);
    // absent or not a number reads 0, the first item.
    const double value = RoundHalfEven(NumericValue(text));
    if (!(value >= kNoSelection && value <= last)) {
      Fail(BilingualText::Format(ExtraText::BadKeyedPosition,
                                 {section, key, QuoteForMessage(text),
                                  std::to_string(kNoSelection), std::to_string(last)}));
      return;
    }
    position = static_cast<int>(value);
  }
  void Mode(std::string_view section, std::string_view key, int input, ModeFlag flag) {
    const bool set = IsSet(section, key);
    switch (flag) {
      case ModeFlag::Habil: record_.SetDigitalHabil(input, set); break;
      case ModeFlag::NC: record_.SetDigitalNC(input, set); break;
      case ModeFlag::Bi: record_.SetDigitalBi(input, set); break;
    }
  }
  void Phone(std::string_view section, std::string_view key, int /*position*/) {
    const std::string entry = doc_.Get(section, key);
    if (!entry.empty()) record_.AppendPhoneEntry(entry);
  }
  void RestoreText(std::string_view section, std::string_view key) {
    // Replaces REST_TEXT, read before; the text counts as enabled when not empty.
    record_.General.REST_TEXT = doc_.Get(section, key);
    record_.General.Habil_Restore = !record_.General.REST_TEXT.empty();
  }

  const std::optional<BilingualText>& failure() const { return failure_; }

 private:
  bool IsSet(std::string_view section, std::string_view key) const {
    return doc_.Get(section, key) == "1";
  }
  void Fail(BilingualText description) {
    if (!failure_) failure_ = std::move(description);
  }

  const IniDocument& doc_;
  ConfigurationRecord& record_;
  std::optional<BilingualText> failure_;
};

}  // namespace

bool IsKeyed(const IniDocument& doc) {
  return doc.Get(kVersionSection, kVersionKey) == kVersionTag;
}

std::optional<BilingualText> ReadKeyed(const IniDocument& doc, ConfigurationRecord& record) {
  KeyedReader reader(doc, record);
  VisitKeys(record, reader);
  return reader.failure();
}

std::string QuoteForMessage(std::string_view value) {
  constexpr std::size_t kShown = 40;
  std::string quoted(1, '"');
  quoted += Cp1252ToUtf8(value.substr(0, kShown));
  if (value.size() > kShown) quoted += "...";
  quoted += '"';
  return quoted;
}

}  // namespace configfile

std::vector<KeyedValue> KeyedValues(const ConfigurationRecord& record) {
  configfile::KeyedWriter writer(record);
  configfile::VisitKeys(record, writer);
  return writer.Take();
}

}  // namespace zdl
