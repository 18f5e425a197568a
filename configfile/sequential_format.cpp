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

std::string Of(std::string_view field, std::string_view group, int index) {
  return std::string(field) + " of " + std::string(group) + " " + std::to_string(index);
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

  Text Line(std::string_view what) {
    std::string_view line;
    if (!Take(line, what)) return {};
    return Text(line);
  }

  // A number item read into a check box: 0 or 1, and 2 (grayed) counts as unchecked.
  bool Check(std::string_view what) {
    const double value = Number(what);
    if (failed()) return false;
    if (value != 0 && value != 1 && value != 2) {
      Fail("the check state " + Shown(value) + " of " + std::string(what) +
           " is not 0, 1 or 2");
      return false;
    }
    return value == 1;
  }

  // A number item read into a flag through the digital-mode setters: non-zero is set.
  bool NonZero(std::string_view what) { return Number(what) != 0; }

  // A number item read into a list position: -1 (nothing selected) to `last`.
  int Choice(std::string_view what, int last) {
    const double value = Number(what);
    if (failed()) return 0;
    if (!(value >= kNoSelection && value <= last)) {
      Fail("the list position " + Shown(value) + " of " + std::string(what) +
           " is outside its list (" + std::to_string(kNoSelection) + " to " +
           std::to_string(last) + ")");
      return 0;
    }
    return static_cast<int>(value);
  }

  // A number item whose value is not used.
  void Skip(std::string_view what) { Number(what); }

  bool failed() const { return failure_.has_value(); }
  const std::optional<std::string>& failure() const { return failure_; }

 private:
  // The source of the next item: the rest of the current line after a comma, or the
  // next line.
  bool Take(std::string_view& source, std::string_view what) {
    if (failed()) return false;
    if (in_line_) {
      in_line_ = false;
      source = line_rest_;
      return true;
    }
    if (NextLine(source)) return true;
    ++line_number_;  // the line that should have held the item
    Fail("the file ends before " + std::string(what));
    return false;
  }

  // A whole number (halves go to the even neighbour, as a whole-number variable takes it).
  double Number(std::string_view what) {
    std::string_view source;
    if (!Take(source, what)) return 0;
    const std::size_t comma = source.find(',');
    if (comma != std::string_view::npos) {
      line_rest_ = source.substr(comma + 1);
      in_line_ = true;
    }
    const std::string_view item = TrimBlanks(source.substr(0, comma));
    if (item.empty() || !IsNumberText(item)) {
      Fail("expected a number for " + std::string(what) + ", found " + QuoteForMessage(item));
      return 0;
    }
    return RoundHalfEven(NumericValue(item));
  }

  static std::string Shown(double value) {
    // SignSpaced writes " 7"; the message wants "7".
    return std::string(TrimBlanks(SignSpaced(value)));
  }

  void Fail(std::string description) {
    if (!failure_) failure_ = "line " + std::to_string(line_number_) + ": " + description;
  }

  std::string_view rest_;       // bytes after the current line
  std::string_view line_rest_;  // the current line after a comma-ended number item
  bool in_line_ = false;
  int line_number_ = 0;  // of the current line, 1-based
  std::optional<std::string> failure_;
};

constexpr int kLastMacroChoice = kMacroChoiceItems - 1;

// Step "for digital inputs 0 to 3" (and 4 to 7): HABIL, NC, TEXT, RING, RENV, PERSIST,
// PVAL, CICLOS, CVAL.
void ReadDigital(ItemReader& in, ConfigurationRecord& r, int i) {
  auto& d = r.Digital[static_cast<std::size_t>(i)];
  r.SetDigitalHabil(i, in.NonZero(Of("HABIL", "digital input", i)));
  r.SetDigitalNC(i, in.NonZero(Of("NC", "digital input", i)));
  d.TEXT = in.Line(Of("TEXT", "digital input", i));
  d.RING = in.Check(Of("RING", "digital input", i));
  d.RENV = in.Check(Of("RENV", "digital input", i));
  d.PERSIST = in.Check(Of("PERSIST", "digital input", i));
  d.PVAL = in.Line(Of("PVAL", "digital input", i));
  d.CICLOS = in.Check(Of("CICLOS", "digital input", i));
  d.CVAL = in.Line(Of("CVAL", "digital input", i));
}

// HABIL, TEXT, RING, RENV, IE, FE, UN, MIN, MAX, HIST, PERSIST, PVAL.
void ReadAnalog(ItemReader& in, ConfigurationRecord& r, int i) {
  auto& a = r.Analog[static_cast<std::size_t>(i)];
  r.SetAnalogHabil(i, in.Check(Of("HABIL", "analog input", i)));
  a.TEXT = in.Line(Of("TEXT", "analog input", i));
  a.RING = in.Check(Of("RING", "analog input", i));
  a.RENV = in.Check(Of("RENV", "analog input", i));
  a.IE = in.Line(Of("IE", "analog input", i));
  a.FE = in.Line(Of("FE", "analog input", i));
  a.UN = in.Line(Of("UN", "analog input", i));
  a.MIN = in.Line(Of("MIN", "analog input", i));
  a.MAX = in.Line(Of("MAX", "analog input", i));
  a.HIST = in.Line(Of("HIST", "analog input", i));
  a.PERSIST = in.Check(Of("PERSIST", "analog input", i));
  a.PVAL = in.Line(Of("PVAL", "analog input", i));
}

void ReadMacro(ItemReader& in, ConfigurationRecord& r, int n) {
  auto& m = r.Macros[static_cast<std::size_t>(n)];
  m.MACRO_TEXT = in.Line(Of("MACRO_TEXT", "macro", n));
  m.MACRO_COM = in.Line(Of("MACRO_COM", "macro", n));
}

void ReadItems(ItemReader& in, ConfigurationRecord& r, int version) {
  for (int i = 0; i < kPhoneListSize; ++i) {
    const Text entry = in.Line(Of("TLF", "phone entry", i));
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
      d.MACRO_TRUE = in.Choice(Of("MACRO_TRUE", "digital input", input), kLastMacroChoice);
      d.MACRO_FALSE = in.Choice(Of("MACRO_FALSE", "digital input", input), kLastMacroChoice);
    }
  }
  for (int i = 0; i < 2; ++i) {
    for (int input : {i, i + 2}) {
      auto& a = r.Analog[static_cast<std::size_t>(input)];
      a.MACRO_HIGH = in.Choice(Of("MACRO_HIGH", "analog input", input), kLastMacroChoice);
      a.MACRO_LOW = in.Choice(Of("MACRO_LOW", "analog input", input), kLastMacroChoice);
      a.MACRO_NOM = in.Choice(Of("MACRO_NOM", "analog input", input), kLastMacroChoice);
    }
  }
  g.MACRO_INICIO = in.Choice("MACRO_INICIO", kLastMacroChoice);
  g.MACRO_GSMOK = in.Choice("MACRO_GSMOK", kLastMacroChoice);
  g.MACRO_GSMMAL = in.Choice("MACRO_GSMMAL", kLastMacroChoice);
  for (int n = 8; n < kMacros; ++n) ReadMacro(in, r, n);

  for (int k = 0; k < 12; ++k) in.Line("an unused line");

  DataLoggerGroup& log = r.DataLogger;
  log.DIGITAL_REARM = in.Line("DIGITAL_REARM");
  for (std::size_t i = 0; i < 4; ++i) log.REG_D[i] = in.Check("REG_D" + std::to_string(i));
  log.LOG_TIME = in.Line("LOG_TIME");
  for (std::size_t i = 0; i < 2; ++i) log.REG_A[i] = in.Check("REG_A" + std::to_string(i));
  in.Skip("an unused number");
  in.Skip("an unused number");

  g.REST_TEXT = in.Line("RESTORE_TEXT");
  g.Habil_Restore = !g.REST_TEXT.empty();

  for (int i = 0; i < kDigitalInputs; ++i) {
    r.SetDigitalBi(i, in.NonZero(Of("BI", "digital input", i)));
  }

  g.PIN = in.Line("PIN");
  r.SetPinHabil(in.Check("the PIN enable"));  // unchecked empties the PIN
  g.NORMAL = in.Line("NORMAL");
  for (int i = 0; i < 4; ++i) {
    r.Digital[static_cast<std::size_t>(i)].RST = in.Line(Of("RST", "digital input", i));
  }

  if (version > 1) {
    r.SetTxAlarmHabil(in.Check("HABIL of the transmission-fail alarm"));
    r.TxAlarm.TEXT = in.Line("TEXT of the transmission-fail alarm");
    r.TxAlarm.RING = in.Check("RING of the transmission-fail alarm");
    r.TxAlarm.MACRO_TX = in.Choice("MACRO_TX of the transmission-fail alarm", kLastMacroChoice);
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
