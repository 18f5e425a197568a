#include "model/field_table.h"

#include <optional>
#include <utility>
#include <vector>

#include "model/text_codec.h"

namespace zdl {

namespace {

using R = ConfigurationRecord;

std::string Indexed(std::string_view base, int index) {
  return std::string(base) + std::to_string(index);
}

class TableBuilder {
 public:
  TableBuilder(EditorId editor, std::string section) : editor_(editor), section_(std::move(section)) {}

  void Place(int index, int item) {
    index_ = index;
    item_ = item;
  }
  void Section(std::string section) { section_ = std::move(section); }

  // A text box over a member reached by `text`.
  template <class Get>
  void Text_(std::string_view control, std::size_t maxLength, std::string key, Get text) {
    Field f = Base(control, FieldKind::TextBox, std::move(key));
    f.maxLength = maxLength;
    f.getText = [text](const R& r) { return text(const_cast<R&>(r)); };
    f.setText = [text](R& r, const Text& value) { text(r) = value; };
    rows_.push_back(std::move(f));
  }
  // A check box; `set` applies the field's rule.
  template <class Get, class Set>
  void Check(std::string_view control, std::string key, Get get, Set set) {
    Field f = Base(control, FieldKind::CheckBox, std::move(key));
    f.getInt = [get](const R& r) { return get(r) ? 1 : 0; };
    f.setInt = [set](R& r, int value) { set(r, value != 0); };
    rows_.push_back(std::move(f));
  }
  template <class Get>
  void PlainCheck(std::string_view control, std::string key, Get flag) {
    Check(control, std::move(key), [flag](const R& r) { return flag(const_cast<R&>(r)); },
          [flag](R& r, bool value) { flag(r) = value; });
  }
  // A list of `items` entries; positions outside it are stored as no selection.
  template <class Get>
  void Choice(std::string_view control, int items, std::string key, Get position) {
    Field f = Base(control, FieldKind::List, std::move(key));
    f.items = items;
    f.getInt = [position](const R& r) { return position(const_cast<R&>(r)); };
    f.setInt = [position, items](R& r, int value) {
      position(r) = value >= 0 && value < items ? value : kNoSelection;
    };
    rows_.push_back(std::move(f));
  }
  // The last row's setters, replaced (a field with a rule of its own).
  Field& Last() { return rows_.back(); }

  std::vector<Field> Take() { return std::move(rows_); }

 private:
  Field Base(std::string_view control, FieldKind kind, std::string key) const {
    Field f{editor_, control, index_, item_, kind, 0, 0, key.empty() ? std::string() : section_,
            std::move(key), {}, {}, {}, {}};
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

std::vector<Field> MacroRows() {
  TableBuilder b(EditorId::Macros, "Macros");
  for (int k = 0; k < kMacros; ++k) {
    b.Place(k, k);
    const auto m = static_cast<std::size_t>(k);
    b.Text_("MacroText", maxlen::MACRO_TEXT, "MACRO_TEXT " + std::to_string(k),
            [m](R& r) -> Text& { return r.Macros[m].MACRO_TEXT; });
    b.Text_("MacroCom", maxlen::MACRO_COM, "MACRO_COM " + std::to_string(k),
            [m](R& r) -> Text& { return r.Macros[m].MACRO_COM; });
  }
  return b.Take();
}

// One alarm window: digital inputs first + 0 to 3, analog inputs firstAnalog + 0 and 1.
std::vector<Field> AlarmRows(EditorId editor, int firstDigital, int firstAnalog) {
  TableBuilder b(editor, "Digital");
  for (int i = 0; i < 4; ++i) {
    const int input = firstDigital + i;
    const auto n = static_cast<std::size_t>(input);
    b.Place(i, input);
    b.Choice("Modo", 4, Indexed("HABIL", input), [n](R& r) -> int& { return r.Digital[n].Modo; });
    b.Last().setInt = [input](R& r, int mode) { r.SetDigitalMode(input, mode); };
    b.Text_("TextBox", maxlen::DigitalTEXT, Indexed("TEXT", input),
            [n](R& r) -> Text& { return r.Digital[n].TEXT; });
    b.PlainCheck("Ring", Indexed("RING", input), [n](R& r) -> bool& { return r.Digital[n].RING; });
    b.PlainCheck("RENV", Indexed("RENV", input), [n](R& r) -> bool& { return r.Digital[n].RENV; });
    b.PlainCheck("Persist", Indexed("PERSIST", input),
                 [n](R& r) -> bool& { return r.Digital[n].PERSIST; });
    b.Text_("PVal", maxlen::PVAL, Indexed("PVAL", input),
            [n](R& r) -> Text& { return r.Digital[n].PVAL; });
    b.PlainCheck("Ciclos", Indexed("CICLOS", input),
                 [n](R& r) -> bool& { return r.Digital[n].CICLOS; });
    b.Text_("CVal", maxlen::CVAL, Indexed("CVAL", input),
            [n](R& r) -> Text& { return r.Digital[n].CVAL; });
    b.Text_("RST_Time", maxlen::RST, Indexed("RST", input),
            [n](R& r) -> Text& { return r.Digital[n].RST; });
    b.Choice("MacroExeTrue", kMacroChoiceItems, Indexed("MACRO_TRUE", input),
             [n](R& r) -> int& { return r.Digital[n].MACRO_TRUE; });
    b.Choice("MacroExeFalse", kMacroChoiceItems, Indexed("MACRO_FALSE", input),
             [n](R& r) -> int& { return r.Digital[n].MACRO_FALSE; });
  }
  b.Section("Analog");
  for (int j = 0; j < 2; ++j) {
    const int input = firstAnalog + j;
    const auto n = static_cast<std::size_t>(input);
    b.Place(j, input);
    b.Check("HabilA", Indexed("HABIL", input), [n](const R& r) { return r.Analog[n].HABIL; },
            [input](R& r, bool value) { r.SetAnalogHabil(input, value); });
    b.Text_("TextA", maxlen::AnalogTEXT, Indexed("TEXT", input),
            [n](R& r) -> Text& { return r.Analog[n].TEXT; });
    b.PlainCheck("RingA", Indexed("RING", input), [n](R& r) -> bool& { return r.Analog[n].RING; });
    b.PlainCheck("RENVA", Indexed("RENV", input), [n](R& r) -> bool& { return r.Analog[n].RENV; });
    b.Text_("IE", maxlen::Scale, Indexed("IE", input), [n](R& r) -> Text& { return r.Analog[n].IE; });
    b.Text_("FE", maxlen::Scale, Indexed("FE", input), [n](R& r) -> Text& { return r.Analog[n].FE; });
    b.Text_("UN", maxlen::Scale, Indexed("UN", input), [n](R& r) -> Text& { return r.Analog[n].UN; });
    b.Text_("Min", maxlen::Scale, Indexed("MIN", input),
            [n](R& r) -> Text& { return r.Analog[n].MIN; });
    b.Text_("Max", maxlen::Scale, Indexed("MAX", input),
            [n](R& r) -> Text& { return r.Analog[n].MAX; });
    b.Text_("Hist", maxlen::Scale, Indexed("HIST", input),
            [n](R& r) -> Text& { return r.Analog[n].HIST; });
    b.PlainCheck("PersistA", Indexed("PERSIST", input),
                 [n](R& r) -> bool& { return r.Analog[n].PERSIST; });
    b.Text_("PValA", maxlen::PVAL, Indexed("PVAL", input),
            [n](R& r) -> Text& { return r.Analog[n].PVAL; });
    b.Choice("MacroExeHigh", kMacroChoiceItems, Indexed("MACRO_HIGH", input),
             [n](R& r) -> int& { return r.Analog[n].MACRO_HIGH; });
    b.Choice("MacroExeNominal", kMacroChoiceItems, Indexed("MACRO_NOM", input),
             [n](R& r) -> int& { return r.Analog[n].MACRO_NOM; });
    b.Choice("MacroExeLow", kMacroChoiceItems, Indexed("MACRO_LOW", input),
             [n](R& r) -> int& { return r.Analog[n].MACRO_LOW; });
  }
  return b.Take();
}

std::vector<Field> DataloggerRows() {
  static constexpr std::string_view kRegA[kAnalogInputs] = {"RegAlmAD0", "RegAlmAD1", "RegAlmAD2",
                                                            "RegAlmAD3"};
  static constexpr std::string_view kRegD[kDigitalInputs] = {"RegD0", "RegD1", "RegD2", "RegD3",
                                                             "RegD4", "RegD5", "RegD6", "RegD7"};
  TableBuilder b(EditorId::Datalogger, "DataLogger");
  b.Text_("LogTime", maxlen::LOG_TIME, "LOG_TIME", [](R& r) -> Text& { return r.DataLogger.LOG_TIME; });
  for (int j = 0; j < kAnalogInputs; ++j) {
    const auto n = static_cast<std::size_t>(j);
    b.Place(-1, j);
    b.PlainCheck(kRegA[n], Indexed("REG_A", j), [n](R& r) -> bool& { return r.DataLogger.REG_A[n]; });
  }
  b.Place(-1, -1);
  b.Text_("ReArmTime", maxlen::DIGITAL_REARM, "DIGITAL_REARM",
          [](R& r) -> Text& { return r.DataLogger.DIGITAL_REARM; });
  for (int i = 0; i < kDigitalInputs; ++i) {
    const auto n = static_cast<std::size_t>(i);
    b.Place(-1, i);
    b.PlainCheck(kRegD[n], Indexed("REG_D", i), [n](R& r) -> bool& { return r.DataLogger.REG_D[n]; });
  }
  return b.Take();
}

std::vector<Field> TimerRows() {
  static constexpr std::string_view kDays[kWeekDays] = {"Lunes",   "Martes", "Miercoles", "Jueves",
                                                        "Viernes", "Sabado", "Domingo"};
  static constexpr std::string_view kDayKeys[kWeekDays] = {"LUNES",   "MARTES", "MIERCOLES", "JUEVES",
                                                           "VIERNES", "SABADO", "DOMINGO"};
  TableBuilder b(EditorId::Temporizadores, "Timer");
  for (int t = 0; t < kTimers; ++t) {
    const auto n = static_cast<std::size_t>(t);
    b.Place(t, t);
    b.Check("Habil", Indexed("HABIL", t), [n](const R& r) { return r.Timers[n].HABIL; },
            [t](R& r, bool value) { r.SetTimerHabil(t, value); });
    b.Text_("TimeBox", maxlen::TIME, Indexed("TIME", t), [n](R& r) -> Text& { return r.Timers[n].TIME; });
    for (int d = 0; d < kWeekDays; ++d) {
      const auto day = static_cast<std::size_t>(d);
      b.PlainCheck(kDays[day], Indexed(kDayKeys[day], t),
                   [n, day](R& r) -> bool& { return r.Timers[n].Days[day]; });
    }
    b.Text_("VPBox", maxlen::VP, Indexed("VP", t), [n](R& r) -> Text& { return r.Timers[n].VP; });
    b.Choice("Macro", kTimerMacroItems, Indexed("MACRO", t), [n](R& r) -> int& { return r.Timers[n].MACRO; });
  }
  return b.Take();
}

std::vector<Field> GeneralRows() {
  TableBuilder b(EditorId::General, "General");
  b.Text_("NameBox", maxlen::NOMBRE, "NOMBRE", [](R& r) -> Text& { return r.General.NOMBRE; });
  b.Text_("RENVN", maxlen::RENVN, "RENVN", [](R& r) -> Text& { return r.General.RENVN; });
  b.Text_("RENVT", maxlen::RENVT, "RENVT", [](R& r) -> Text& { return r.General.RENVT; });
  b.Text_("SMSCBox", maxlen::SMSC, "SMSC", [](R& r) -> Text& { return r.General.SMSC; });
  b.Text_("ASINC", maxlen::ASINC, "ASINC", [](R& r) -> Text& { return r.General.ASINC; });
  b.Text_("AINFO", maxlen::AINFO, "AINFO", [](R& r) -> Text& { return r.General.AINFO; });
  b.Text_("PTLF", maxlen::PTLF, "PTLF", [](R& r) -> Text& { return r.General.PTLF; });
  b.Choice("MacroInicio", kMacroChoiceItems, "MACRO_INICIO",
           [](R& r) -> int& { return r.General.MACRO_INICIO; });
  b.Choice("MacroGsmOk", kMacroChoiceItems, "MACRO_GSMOK",
           [](R& r) -> int& { return r.General.MACRO_GSMOK; });
  b.Choice("MacroGsmMal", kMacroChoiceItems, "MACRO_GSMMAL",
           [](R& r) -> int& { return r.General.MACRO_GSMMAL; });
  b.Section("TxAlarm");
  b.Check("Habil_TxAlarm", "HABIL", [](const R& r) { return r.TxAlarm.HABIL; },
          [](R& r, bool value) { r.SetTxAlarmHabil(value); });
  b.Text_("TxStatText", maxlen::TxTEXT, "TEXT", [](R& r) -> Text& { return r.TxAlarm.TEXT; });
  b.PlainCheck("RING_TxStat", "RING", [](R& r) -> bool& { return r.TxAlarm.RING; });
  b.Choice("MacroTxExeTrue", kMacroChoiceItems, "MACRO_TX", [](R& r) -> int& { return r.TxAlarm.MACRO_TX; });
  b.Section("General");
  // The PIN is not kept in files; it is empty whenever PinHabil is unchecked.
  b.Check("PinHabil", "", [](const R& r) { return r.General.PinHabil; },
          [](R& r, bool value) { r.SetPinHabil(value); });
  b.Text_("PIN", maxlen::PIN, "", [](R& r) -> Text& { return r.General.PIN; });
  b.Last().setText = [](R& r, const Text& value) {
    if (r.General.PinHabil) r.General.PIN = value;
  };
  b.Text_("NORMAL", maxlen::NORMAL, "NORMAL", [](R& r) -> Text& { return r.General.NORMAL; });
  // RESTORE_TEXT carries the text only while it is enabled; a file gives Habil_Restore by it.
  b.PlainCheck("Habil_Restore", "RESTORE_TEXT", [](R& r) -> bool& { return r.General.Habil_Restore; });
  b.Text_("RestoreText", maxlen::REST_TEXT, "REST_TEXT", [](R& r) -> Text& { return r.General.REST_TEXT; });
  return b.Take();
}

std::vector<Field> BuildTable() {
  std::vector<Field> table;
  Append(table, MacroRows());
  Append(table, AlarmRows(EditorId::Alarmas, 0, 0));
  Append(table, AlarmRows(EditorId::Alarmas2, 4, 2));
  Append(table, DataloggerRows());
  Append(table, TimerRows());
  Append(table, GeneralRows());
  return table;
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

std::span<const Field> FieldTable() {
  static const std::vector<Field> table = BuildTable();
  return table;
}

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

}  // namespace zdl
