#include "model/field_table.h"

#include <optional>
#include <variant>
#include <utility>
#include <vector>

#include "model/text_codec.h"

namespace zdl {

namespace {

using R = ConfigurationRecord;

std::string Indexed(std::string_view base, int index) {
  return std::string(base) + std::to_string(index);
}

constexpr std::string_view kRegA[kAnalogInputs] = {"RegAlmAD0", "RegAlmAD1", "RegAlmAD2", "RegAlmAD3"};
constexpr std::string_view kRegD[kDigitalInputs] = {"RegD0", "RegD1", "RegD2", "RegD3",
                                                    "RegD4", "RegD5", "RegD6", "RegD7"};
constexpr std::string_view kDays[kWeekDays] = {"Lunes",   "Martes", "Miercoles", "Jueves",
                                               "Viernes", "Sabado", "Domingo"};
constexpr std::string_view kDayKeys[kWeekDays] = {"LUNES",   "MARTES", "MIERCOLES", "JUEVES",
                                                  "VIERNES", "SABADO", "DOMINGO"};

class TableBuilder {
 public:
  TableBuilder(EditorId editor, std::string section) : editor_(editor), section_(std::move(section)) {}

  void Editor(EditorId editor) { editor_ = editor; }
  void Place(int index, int item) {
    index_ = index;
    item_ = item;
  }
  void Section(std::string section) { section_ = std::move(section); }

  // A text box of at most `maxLength` characters (0: no limit) over a member reached by `text`.
  template <class Get>
  void Text_(std::string_view control, std::size_t maxLength, std::string key, Get text) {
    Field f = Base(control, FieldKind::TextBox, std::move(key));
    f.maxLength = maxLength;
    f.member = std::function<Text&(R&)>(text);
    f.getText = [text](const R& r) { return text(const_cast<R&>(r)); };
    f.setText = [text](R& r, const Text& value) { text(r) = value; };
    rows_.push_back(std::move(f));
  }
  // A check box over a member reached by `flag`.
  template <class Get>
  void Check(std::string_view control, std::string key, Get flag) {
    Field f = Base(control, FieldKind::CheckBox, std::move(key));
    f.member = std::function<bool&(R&)>(flag);
    f.getInt = [flag](const R& r) { return flag(const_cast<R&>(r)) ? 1 : 0; };
    f.setInt = [flag](R& r, int value) { flag(r) = value != 0; };
    rows_.push_back(std::move(f));
  }
  // A list of `items` entries; positions outside it are stored as no selection.
  template <class Get>
  void Choice(std::string_view control, int items, std::string key, Get position) {
    Field f = Base(control, FieldKind::List, std::move(key));
    f.items = items;
    f.member = std::function<int&(R&)>(position);
    f.getInt = [position](const R& r) { return position(const_cast<R&>(r)); };
    f.setInt = [position, items](R& r, int value) {
      position(r) = value >= 0 && value < items ? value : kNoSelection;
    };
    rows_.push_back(std::move(f));
  }
  // The last row, to give it a rule of its own (its setter) or its file form.
  Field& Last() { return rows_.back(); }
  // A check box's rule: `set` replaces the plain setter.
  template <class Set>
  void Rule(Set set) {
    Last().setInt = [set](R& r, int value) { set(r, value != 0); };
  }

  std::vector<Field> Take() { return std::move(rows_); }

 private:
  Field Base(std::string_view control, FieldKind kind, std::string key) const {
    Field f{editor_, control, index_, item_, kind, 0, 0, key.empty() ? std::string() : section_,
            std::move(key), FileForm::Value, {}, {}, {}, {}, {}};
    return f;
  }

  EditorId editor_;
  std::string section_;
  int index_ = -1;
  int item_ = -1;
  std::vector<Field> rows_;
};

void Append(std::vector<Field>& table, std::vector<Field> rows) {
  for (Field& f : rows) table.push_back(std::move(f));
}

// The macro lists of the alarms and the general events: "No", then macros 1 to 14.
constexpr int kMacroList = kMacroChoiceItems;

// Section General, the transmission-fail alarm, and RESTORE_TEXT, written after it.
std::vector<Field> GeneralRows() {
  TableBuilder b(EditorId::General, "General");
  b.Text_("NameBox", 50, "NOMBRE", [](R& r) -> Text& { return r.General.NOMBRE; });
  b.Text_("SMSCBox", 15, "SMSC", [](R& r) -> Text& { return r.General.SMSC; });
  b.Text_("RENVN", 2, "RENVN", [](R& r) -> Text& { return r.General.RENVN; });
  b.Text_("RENVT", 2, "RENVT", [](R& r) -> Text& { return r.General.RENVT; });
  b.Text_("PTLF", 16, "PTLF", [](R& r) -> Text& { return r.General.PTLF; });
  b.Text_("AINFO", 3, "AINFO", [](R& r) -> Text& { return r.General.AINFO; });
  b.Text_("ASINC", 3, "ASINC", [](R& r) -> Text& { return r.General.ASINC; });
  b.Text_("RestoreText", 19, "REST_TEXT", [](R& r) -> Text& { return r.General.REST_TEXT; });
  b.Text_("NORMAL", 5, "NORMAL", [](R& r) -> Text& { return r.General.NORMAL; });
  b.Choice("MacroInicio", kMacroList, "MACRO_INICIO", [](R& r) -> int& { return r.General.MACRO_INICIO; });
  b.Choice("MacroGsmOk", kMacroList, "MACRO_GSMOK", [](R& r) -> int& { return r.General.MACRO_GSMOK; });
  b.Choice("MacroGsmMal", kMacroList, "MACRO_GSMMAL", [](R& r) -> int& { return r.General.MACRO_GSMMAL; });
  b.Section("TxAlarm");
  b.Check("Habil_TxAlarm", "HABIL", [](R& r) -> bool& { return r.TxAlarm.HABIL; });
  b.Rule([](R& r, bool value) { r.SetTxAlarmHabil(value); });
  b.Text_("TxStatText", 50, "TEXT", [](R& r) -> Text& { return r.TxAlarm.TEXT; });
  b.Check("RING_TxStat", "RING", [](R& r) -> bool& { return r.TxAlarm.RING; });
  b.Choice("MacroTxExeTrue", kMacroList, "MACRO_TX", [](R& r) -> int& { return r.TxAlarm.MACRO_TX; });
  b.Section("General");
  // RESTORE_TEXT carries the text only while it is enabled; a file gives Habil_Restore by it.
  b.Check("Habil_Restore", "RESTORE_TEXT", [](R& r) -> bool& { return r.General.Habil_Restore; });
  b.Last().form = FileForm::EnabledText;
  return b.Take();
}

// Section Digital (inputs 0 to 7), then section Analog (inputs 0 to 3). Alarmas shows
// digital inputs 0 to 3 and analog inputs 0 and 1, Alarmas2 the others, numbered from 0
// within the window.
std::vector<Field> AlarmRows() {
  constexpr int kDigitalPerWindow = 4;
  constexpr int kAnalogPerWindow = 2;
  TableBuilder b(EditorId::Alarmas, "Digital");
  for (int input = 0; input < kDigitalInputs; ++input) {
    const auto n = static_cast<std::size_t>(input);
    b.Editor(input < kDigitalPerWindow ? EditorId::Alarmas : EditorId::Alarmas2);
    b.Place(input % kDigitalPerWindow, input);
    b.Choice("Modo", 4, Indexed("HABIL", input), [n](R& r) -> int& { return r.Digital[n].Modo; });
    b.Last().setInt = [input](R& r, int mode) { r.SetDigitalMode(input, mode); };
    b.Last().form = FileForm::DigitalMode;
    b.Text_("TextBox", 50, Indexed("TEXT", input), [n](R& r) -> Text& { return r.Digital[n].TEXT; });
    b.Check("Ring", Indexed("RING", input), [n](R& r) -> bool& { return r.Digital[n].RING; });
    b.Check("RENV", Indexed("RENV", input), [n](R& r) -> bool& { return r.Digital[n].RENV; });
    b.Check("Persist", Indexed("PERSIST", input), [n](R& r) -> bool& { return r.Digital[n].PERSIST; });
    b.Text_("PVal", 5, Indexed("PVAL", input), [n](R& r) -> Text& { return r.Digital[n].PVAL; });
    b.Check("Ciclos", Indexed("CICLOS", input), [n](R& r) -> bool& { return r.Digital[n].CICLOS; });
    b.Text_("CVal", 5, Indexed("CVAL", input), [n](R& r) -> Text& { return r.Digital[n].CVAL; });
    b.Text_("RST_Time", 0, Indexed("RST", input), [n](R& r) -> Text& { return r.Digital[n].RST; });
    b.Choice("MacroExeTrue", kMacroList, Indexed("MACRO_TRUE", input),
             [n](R& r) -> int& { return r.Digital[n].MACRO_TRUE; });
    b.Choice("MacroExeFalse", kMacroList, Indexed("MACRO_FALSE", input),
             [n](R& r) -> int& { return r.Digital[n].MACRO_FALSE; });
  }
  b.Section("Analog");
  for (int input = 0; input < kAnalogInputs; ++input) {
    const auto n = static_cast<std::size_t>(input);
    b.Editor(input < kAnalogPerWindow ? EditorId::Alarmas : EditorId::Alarmas2);
    b.Place(input % kAnalogPerWindow, input);
    b.Check("HabilA", Indexed("HABIL", input), [n](R& r) -> bool& { return r.Analog[n].HABIL; });
    b.Rule([input](R& r, bool value) { r.SetAnalogHabil(input, value); });
    b.Text_("TextA", 50, Indexed("TEXT", input), [n](R& r) -> Text& { return r.Analog[n].TEXT; });
    b.Check("RingA", Indexed("RING", input), [n](R& r) -> bool& { return r.Analog[n].RING; });
    b.Check("RENVA", Indexed("RENV", input), [n](R& r) -> bool& { return r.Analog[n].RENV; });
    b.Text_("IE", 6, Indexed("IE", input), [n](R& r) -> Text& { return r.Analog[n].IE; });
    b.Text_("FE", 6, Indexed("FE", input), [n](R& r) -> Text& { return r.Analog[n].FE; });
    b.Text_("UN", 6, Indexed("UN", input), [n](R& r) -> Text& { return r.Analog[n].UN; });
    b.Text_("Min", 6, Indexed("MIN", input), [n](R& r) -> Text& { return r.Analog[n].MIN; });
    b.Text_("Max", 6, Indexed("MAX", input), [n](R& r) -> Text& { return r.Analog[n].MAX; });
    b.Text_("Hist", 6, Indexed("HIST", input), [n](R& r) -> Text& { return r.Analog[n].HIST; });
    b.Check("PersistA", Indexed("PERSIST", input), [n](R& r) -> bool& { return r.Analog[n].PERSIST; });
    b.Text_("PValA", 5, Indexed("PVAL", input), [n](R& r) -> Text& { return r.Analog[n].PVAL; });
    b.Choice("MacroExeHigh", kMacroList, Indexed("MACRO_HIGH", input),
             [n](R& r) -> int& { return r.Analog[n].MACRO_HIGH; });
    b.Choice("MacroExeLow", kMacroList, Indexed("MACRO_LOW", input),
             [n](R& r) -> int& { return r.Analog[n].MACRO_LOW; });
    b.Choice("MacroExeNominal", kMacroList, Indexed("MACRO_NOM", input),
             [n](R& r) -> int& { return r.Analog[n].MACRO_NOM; });
  }
  return b.Take();
}

// Section Macros: the key's base, a blank and the macro's position 0 to 13.
std::vector<Field> MacroRows() {
  TableBuilder b(EditorId::Macros, "Macros");
  for (int k = 0; k < kMacros; ++k) {
    b.Place(k, k);
    const auto m = static_cast<std::size_t>(k);
    b.Text_("MacroText", 24, "MACRO_TEXT " + std::to_string(k),
            [m](R& r) -> Text& { return r.Macros[m].MACRO_TEXT; });
    b.Text_("MacroCom", 39, "MACRO_COM " + std::to_string(k),
            [m](R& r) -> Text& { return r.Macros[m].MACRO_COM; });
  }
  return b.Take();
}

std::vector<Field> DataloggerRows() {
  TableBuilder b(EditorId::Datalogger, "DataLogger");
  b.Text_("ReArmTime", 0, "DIGITAL_REARM", [](R& r) -> Text& { return r.DataLogger.DIGITAL_REARM; });
  for (int i = 0; i < kDigitalInputs; ++i) {
    const auto n = static_cast<std::size_t>(i);
    b.Place(-1, i);
    b.Check(kRegD[n], Indexed("REG_D", i), [n](R& r) -> bool& { return r.DataLogger.REG_D[n]; });
  }
  b.Place(-1, -1);
  b.Text_("LogTime", 0, "LOG_TIME", [](R& r) -> Text& { return r.DataLogger.LOG_TIME; });
  for (int j = 0; j < kAnalogInputs; ++j) {
    const auto n = static_cast<std::size_t>(j);
    b.Place(-1, j);
    b.Check(kRegA[n], Indexed("REG_A", j), [n](R& r) -> bool& { return r.DataLogger.REG_A[n]; });
  }
  return b.Take();
}

std::vector<Field> TimerRows() {
  TableBuilder b(EditorId::Temporizadores, "Timer");
  for (int t = 0; t < kTimers; ++t) {
    const auto n = static_cast<std::size_t>(t);
    b.Place(t, t);
    b.Check("Habil", Indexed("HABIL", t), [n](R& r) -> bool& { return r.Timers[n].HABIL; });
    b.Rule([t](R& r, bool value) { r.SetTimerHabil(t, value); });
    b.Text_("TimeBox", 5, Indexed("TIME", t), [n](R& r) -> Text& { return r.Timers[n].TIME; });
    b.Text_("VPBox", 5, Indexed("VP", t), [n](R& r) -> Text& { return r.Timers[n].VP; });
    for (int d = 0; d < kWeekDays; ++d) {
      const auto day = static_cast<std::size_t>(d);
      b.Check(kDays[day], Indexed(kDayKeys[day], t), [n, day](R& r) -> bool& { return r.Timers[n].Days[day]; });
    }
    b.Choice("Macro", kTimerMacroItems, Indexed("MACRO", t), [n](R& r) -> int& { return r.Timers[n].MACRO; });
  }
  return b.Take();
}

// The PIN, which no file holds; it is empty whenever PinHabil is unchecked.
std::vector<Field> PinRows() {
  TableBuilder b(EditorId::General, "General");
  b.Check("PinHabil", "", [](R& r) -> bool& { return r.General.PinHabil; });
  b.Rule([](R& r, bool value) { r.SetPinHabil(value); });
  b.Text_("PIN", 4, "", [](R& r) -> Text& { return r.General.PIN; });
  b.Last().setText = [](R& r, const Text& value) {
    if (r.General.PinHabil) r.General.PIN = value;
  };
  return b.Take();
}

struct Tables {
  std::vector<Field> rows;
  Field phoneList;
  std::vector<const Field*> fileOrder;
};

Tables BuildTables() {
  Tables t{{},
           {EditorId::General, "ListaTlf", -1, -1, FieldKind::List, 0, kPhoneListSize, "Telefonos", "TLF",
            FileForm::Value, {}, {}, {}, {}, {}},
           {}};
  Append(t.rows, GeneralRows());
  const std::size_t phonesAt = t.rows.size();  // section Telefonos comes next in the file
  Append(t.rows, AlarmRows());
  Append(t.rows, MacroRows());
  Append(t.rows, DataloggerRows());
  Append(t.rows, TimerRows());
  Append(t.rows, PinRows());
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    if (i == phonesAt) t.fileOrder.push_back(&t.phoneList);
    if (!t.rows[i].key.empty()) t.fileOrder.push_back(&t.rows[i]);
  }
  return t;
}

const Tables& TheTables() {
  static const Tables tables = BuildTables();
  return tables;
}

const void* AddressOf(const Field& f, const ConfigurationRecord& record) {
  auto& r = const_cast<ConfigurationRecord&>(record);
  return std::visit([&r](const auto& get) -> const void* { return get ? &get(r) : nullptr; }, f.member);
}

template <class Member>
const Field* RowShowing(const ConfigurationRecord& record, const Member& member) {
  for (const Field& f : FieldTable()) {
    if (f.Shows(record, &member)) return &f;
  }
  return nullptr;
}

}  // namespace

std::string Field::ObjectName() const {
  std::string name(control);
  if (index >= 0) name.append(1, '_').append(std::to_string(index));
  return name;
}

std::string Field::Utf8Text(const ConfigurationRecord& record) const {
  return Cp1252ToUtf8(getText(record));
}

bool Field::SetUtf8Text(ConfigurationRecord& record, std::string_view utf8) const {
  std::optional<std::string> bytes = Utf8ToCp1252(utf8);
  if (!bytes) return false;
  setText(record, *bytes);
  return true;
}

bool CanEncode(std::string_view utf8) { return Utf8ToCp1252(utf8).has_value(); }

Text& Field::TextIn(ConfigurationRecord& record) const {
  return std::get<std::function<Text&(ConfigurationRecord&)>>(member)(record);
}

bool& Field::FlagIn(ConfigurationRecord& record) const {
  return std::get<std::function<bool&(ConfigurationRecord&)>>(member)(record);
}

int& Field::PositionIn(ConfigurationRecord& record) const {
  return std::get<std::function<int&(ConfigurationRecord&)>>(member)(record);
}

bool Field::Shows(const ConfigurationRecord& record, const void* object) const {
  return object != nullptr && AddressOf(*this, record) == object;
}

std::span<const Field> FieldTable() { return TheTables().rows; }

const Field& PhoneListField() { return TheTables().phoneList; }

std::span<const Field* const> FileOrder() { return TheTables().fileOrder; }

std::vector<const Field*> FieldsOf(EditorId editor) {
  std::vector<const Field*> fields;
  for (const Field& f : FieldTable()) {
    if (f.editor == editor) fields.push_back(&f);
  }
  return fields;
}

const Field* FindField(std::string_view control, int item) {
  for (const Field& f : FieldTable()) {
    if (f.control == control && f.item == item) return &f;
  }
  return nullptr;
}

const Field* FieldOfKey(std::string_view section, std::string_view key) {
  for (const Field& f : FieldTable()) {
    if (!f.key.empty() && f.section == section && f.key == key) return &f;
  }
  return nullptr;
}

const Field* FieldOf(const ConfigurationRecord& record, const Text& member) {
  return RowShowing(record, member);
}
const Field* FieldOf(const ConfigurationRecord& record, const bool& member) {
  return RowShowing(record, member);
}
const Field* FieldOf(const ConfigurationRecord& record, const int& member) {
  return RowShowing(record, member);
}

}  // namespace zdl
