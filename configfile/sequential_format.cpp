// The sequential format of earlier releases (read only): a header line holding
// "ZDL410V" and a two-digit version, then one item after another in a fixed order.

#include <algorithm>
#include <string>

#include "configfile/formats.h"
#include "model/number_format.h"
#include "model/validators.h"

namespace zdl::configfile {

namespace {

constexpr std::string_view kHeaderTag = "ZDL410V";
// The highest version this reader knows; newer files are read as this version.
constexpr int kKnownVersion = 2;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// "HABIL of digital input 3": a field of an input, a macro or a phone entry.
BilingualText Of(std::string_view field, ExtraText group, int index) {
  return BilingualText::Format(group, {field, std::to_string(index)});
}

BilingualText OfTxAlarm(std::string_view field) {
  return BilingualText::Format(ExtraText::OfTxAlarm, {field});
}

// Items in file order. A line item is the rest of the line; a number item is read as
// BASIC's "Input #" reads it: leading blanks skipped, the item runs to a comma or the
// line end, and an item ended by a comma leaves the rest of the line for the next item.
// The first failure is kept (with its line number); later reads then give empty values.
class ItemReader {
 public:
  explicit ItemReader(std::string_view bytes) : rest_(bytes) {}

  // The next whole line; false at the end of the file.
  bool NextLine(std::string_view& line) {
    if (rest_.empty()) return false;
    const std::size_t lf = rest_.find('\n');
    line = rest_.substr(0, lf);
    rest_.remove_prefix(lf == std::string_view::npos ? rest_.size() : lf + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    ++line_number_;
    return true;
  }

  Text Line(const BilingualText& what) {
    std::string_view line;
    if (!Take(line, what)) return {};
    return Text(line);
  }

  // A number item read into a check box: 0 or 1, and 2 (grayed) counts as unchecked.
  bool Check(const BilingualText& what) {
    const double value = Number(what);
    if (failed()) return false;
    if (value != 0 && value != 1 && value != 2) {
      Fail(BilingualText::Format(ExtraText::BadCheckState, {Shown(value), what}));
      return false;
    }
    return value == 1;
  }

  // A number item read into a flag through the digital-mode setters: non-zero is set.
  bool NonZero(const BilingualText& what) { return Number(what) != 0; }

  // A number item read into a list position: -1 (nothing selected) to `last`.
  int Choice(const BilingualText& what, int last) {
    const double value = Number(what);
    if (failed()) return 0;
    if (!(value >= kNoSelection && value <= last)) {
      Fail(BilingualText::Format(
          ExtraText::BadListPosition,
          {Shown(value), what, std::to_string(kNoSelection), std::to_string(last)}));
      return 0;
    }
    return static_cast<int>(value);
  }

  // A number item whose value is not used.
  void Skip(const BilingualText& what) { Number(what); }

  bool failed() const { return failure_.has_value(); }
  const std::optional<BilingualText>& failure() const { return failure_; }

 private:
  // The source of the next item: the rest of the current line after a comma, or the
  // next line.
  bool Take(std::string_view& source, const BilingualText& what) {
    if (failed()) return false;
    if (in_line_) {
      in_line_ = false;
      source = line_rest_;
      return true;
    }
    if (NextLine(source)) return true;
    ++line_number_;  // the line that should have held the item
    Fail(BilingualText::Format(ExtraText::FileEndsBefore, {what}));
    return false;
  }

  // A whole number (halves go to the even neighbour, as a whole-number variable takes it).
  double Number(const BilingualText& what) {
    std::string_view source;
    if (!Take(source, what)) return 0;
    const std::size_t comma = source.find(',');
    if (comma != std::string_view::npos) {
      line_rest_ = source.substr(comma + 1);
      in_line_ = true;
    }
    const std::string_view item = TrimBlanks(source.substr(0, comma));
    if (item.empty() || !IsNumberText(item)) {
      Fail(BilingualText::Format(ExtraText::ExpectedNumber, {what, QuoteForMessage(item)}));
      return 0;
    }
    return RoundHalfEven(NumericValue(item));
  }

  static std::string Shown(double value) {
    // SignSpaced writes " 7"; the message wants "7".
    return std::string(TrimBlanks(SignSpaced(value)));
  }

  void Fail(const BilingualText& description) {
    if (!failure_) {
      failure_ =
          BilingualText::Format(ExtraText::LineOf, {std::to_string(line_number_), description});
    }
  }

  std::string_view rest_;       // bytes after the current line
  std::string_view line_rest_;  // the current line after a comma-ended number item
  bool in_line_ = false;
  int line_number_ = 0;  // of the current line, 1-based
  std::optional<BilingualText> failure_;
};

constexpr int kLastMacroChoice = kMacroChoiceItems - 1;

// Step "for digital inputs 0 to 3" (and 4 to 7): HABIL, NC, TEXT, RING, RENV, PERSIST,
// PVAL, CICLOS, CVAL.
void ReadDigital(ItemReader& in, ConfigurationRecord& r, int i) {
  auto& d = r.Digital[static_cast<std::size_t>(i)];
  r.SetDigitalHabil(i, in.NonZero(Of("HABIL", ExtraText::OfDigitalInput, i)));
  r.SetDigitalNC(i, in.NonZero(Of("NC", ExtraText::OfDigitalInput, i)));
  d.TEXT = in.Line(Of("TEXT", ExtraText::OfDigitalInput, i));
  d.RING = in.Check(Of("RING", ExtraText::OfDigitalInput, i));
  d.RENV = in.Check(Of("RENV", ExtraText::OfDigitalInput, i));
  d.PERSIST = in.Check(Of("PERSIST", ExtraText::OfDigitalInput, i));
  d.PVAL = in.Line(Of("PVAL", ExtraText::OfDigitalInput, i));
  d.CICLOS = in.Check(Of("CICLOS", ExtraText::OfDigitalInput, i));
  d.CVAL = in.Line(Of("CVAL", ExtraText::OfDigitalInput, i));
}

// HABIL, TEXT, RING, RENV, IE, FE, UN, MIN, MAX, HIST, PERSIST, PVAL.
void ReadAnalog(ItemReader& in, ConfigurationRecord& r, int i) {
  auto& a = r.Analog[static_cast<std::size_t>(i)];
  r.SetAnalogHabil(i, in.Check(Of("HABIL", ExtraText::OfAnalogInput, i)));
  a.TEXT = in.Line(Of("TEXT", ExtraText::OfAnalogInput, i));
  a.RING = in.Check(Of("RING", ExtraText::OfAnalogInput, i));
  a.RENV = in.Check(Of("RENV", ExtraText::OfAnalogInput, i));
  a.IE = in.Line(Of("IE", ExtraText::OfAnalogInput, i));
  a.FE = in.Line(Of("FE", ExtraText::OfAnalogInput, i));
  a.UN = in.Line(Of("UN", ExtraText::OfAnalogInput, i));
  a.MIN = in.Line(Of("MIN", ExtraText::OfAnalogInput, i));
  a.MAX = in.Line(Of("MAX", ExtraText::OfAnalogInput, i));
  a.HIST = in.Line(Of("HIST", ExtraText::OfAnalogInput, i));
  a.PERSIST = in.Check(Of("PERSIST", ExtraText::OfAnalogInput, i));
  a.PVAL = in.Line(Of("PVAL", ExtraText::OfAnalogInput, i));
}

void ReadMacro(ItemReader& in, ConfigurationRecord& r, int n) {
  auto& m = r.Macros[static_cast<std::size_t>(n)];
  m.MACRO_TEXT = in.Line(Of("MACRO_TEXT", ExtraText::OfMacro, n));
  m.MACRO_COM = in.Line(Of("MACRO_COM", ExtraText::OfMacro, n));
}

void ReadItems(ItemReader& in, ConfigurationRecord& r, int version) {
  for (int i = 0; i < kPhoneListSize; ++i) {
    const Text entry = in.Line(Of("TLF", ExtraText::OfPhoneEntry, i));
    if (!entry.empty()) r.AppendPhoneEntry(entry);
  }
  GeneralGroup& g = r.General;
  g.NOMBRE = in.Line("NOMBRE");
  g.SMSC = in.Line("SMSC");
  g.RENVN = in.Line("RENVN");
  g.RENVT = in.Line("RENVT");
  g.PTLF = in.Line("PTLF");
  g.AINFO = in.Line("AINFO");
  g.ASINC = in.Line("ASINC");

  for (int i = 0; i < 4; ++i) ReadDigital(in, r, i);
  for (int i = 0; i < 2; ++i) ReadAnalog(in, r, i);
  for (int n = 0; n < 8; ++n) ReadMacro(in, r, n);
  for (int i = 4; i < 8; ++i) ReadDigital(in, r, i);
  for (int i = 2; i < 4; ++i) ReadAnalog(in, r, i);

  for (int i = 0; i < 4; ++i) {
    for (int input : {i, i + 4}) {
      auto& d = r.Digital[static_cast<std::size_t>(input)];
      d.MACRO_TRUE =
          in.Choice(Of("MACRO_TRUE", ExtraText::OfDigitalInput, input), kLastMacroChoice);
      d.MACRO_FALSE =
          in.Choice(Of("MACRO_FALSE", ExtraText::OfDigitalInput, input), kLastMacroChoice);
    }
  }
  for (int i = 0; i < 2; ++i) {
    for (int input : {i, i + 2}) {
      auto& a = r.Analog[static_cast<std::size_t>(input)];
      a.MACRO_HIGH = in.Choice(Of("MACRO_HIGH", ExtraText::OfAnalogInput, input), kLastMacroChoice);
      a.MACRO_LOW = in.Choice(Of("MACRO_LOW", ExtraText::OfAnalogInput, input), kLastMacroChoice);
      a.MACRO_NOM = in.Choice(Of("MACRO_NOM", ExtraText::OfAnalogInput, input), kLastMacroChoice);
    }
  }
  g.MACRO_INICIO = in.Choice("MACRO_INICIO", kLastMacroChoice);
  g.MACRO_GSMOK = in.Choice("MACRO_GSMOK", kLastMacroChoice);
  g.MACRO_GSMMAL = in.Choice("MACRO_GSMMAL", kLastMacroChoice);
  for (int n = 8; n < kMacros; ++n) ReadMacro(in, r, n);

  for (int k = 0; k < 12; ++k) in.Line(BilingualText::Format(ExtraText::UnusedLine));

  DataLoggerGroup& log = r.DataLogger;
  log.DIGITAL_REARM = in.Line("DIGITAL_REARM");
  for (std::size_t i = 0; i < 4; ++i) log.REG_D[i] = in.Check("REG_D" + std::to_string(i));
  log.LOG_TIME = in.Line("LOG_TIME");
  for (std::size_t i = 0; i < 2; ++i) log.REG_A[i] = in.Check("REG_A" + std::to_string(i));
  in.Skip(BilingualText::Format(ExtraText::UnusedNumber));
  in.Skip(BilingualText::Format(ExtraText::UnusedNumber));

  g.REST_TEXT = in.Line("RESTORE_TEXT");
  g.Habil_Restore = !g.REST_TEXT.empty();

  for (int i = 0; i < kDigitalInputs; ++i) {
    r.SetDigitalBi(i, in.NonZero(Of("BI", ExtraText::OfDigitalInput, i)));
  }

  g.PIN = in.Line("PIN");
  // Unchecked empties the PIN.
  r.SetPinHabil(in.Check(BilingualText::Format(ExtraText::PinEnable)));
  g.NORMAL = in.Line("NORMAL");
  for (int i = 0; i < 4; ++i) {
    r.Digital[static_cast<std::size_t>(i)].RST =
        in.Line(Of("RST", ExtraText::OfDigitalInput, i));
  }

  if (version > 1) {
    r.SetTxAlarmHabil(in.Check(OfTxAlarm("HABIL")));
    r.TxAlarm.TEXT = in.Line(OfTxAlarm("TEXT"));
    r.TxAlarm.RING = in.Check(OfTxAlarm("RING"));
    r.TxAlarm.MACRO_TX = in.Choice(OfTxAlarm("MACRO_TX"), kLastMacroChoice);
  }
}

}  // namespace

bool IsSequential(std::string_view bytes) {
  const std::string_view first = bytes.substr(0, bytes.find('\n'));
  return first.find(kHeaderTag) != std::string_view::npos;
}

LoadOutcome ReadSequential(std::string_view bytes, ConfigurationRecord& record) {
  LoadOutcome outcome;
  ItemReader in(bytes);
  std::string_view header;
  if (!in.NextLine(header) || header.find(kHeaderTag) == std::string_view::npos) {
    outcome.status = LoadStatus::NotConfigFile;
    return outcome;
  }
  outcome.format = FileFormat::Sequential;
  // The number at the start of the header's last two characters: "02" gives 2, "V3" 0.
  const double version = RoundHalfEven(NumericValue(header.substr(header.size() - 2)));
  outcome.version = static_cast<int>(version);
  ReadItems(in, record, std::min(outcome.version, kKnownVersion));
  if (in.failure()) {
    outcome.status = LoadStatus::Failed;
    outcome.description = *in.failure();
    return outcome;
  }
  outcome.status = outcome.version > kKnownVersion ? LoadStatus::LoadedNewer : LoadStatus::Loaded;
  return outcome;
}

}  // namespace zdl::configfile
