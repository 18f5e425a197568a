// Comparing configurations key by key, taking differences over, and the prediction of
// what the unit keeps, checked field by field against the simulated unit: a write of the
// configuration followed by a read must give back exactly what AsTheUnitKeepsIt predicts.
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "compare/comparison.h"
#include "link/serial_line.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_port.h"
#include "tests/support/sample_record.h"
#include "transfer/read_config.h"
#include "transfer/write_config.h"

namespace zdl {
namespace {

std::string Keys(const std::vector<FieldDifference>& differences) {
  std::string keys;
  for (const FieldDifference& d : differences) {
    keys += (keys.empty() ? "" : " ") + d.section + "." + d.key;
  }
  return keys;
}

// A write of `written` to a fresh simulated unit, then a read into a record that holds
// other values; empty when the unit refused a line (or the read failed).
std::optional<ConfigurationRecord> WriteThenRead(const ConfigurationRecord& written,
                                                 SimOptions options = {}) {
  SimulatedUnit unit(options);
  testing::FakeClock clock;
  SimPort port(unit, clock);
  if (!port.Open({})) return std::nullopt;
  SerialLine line(port, clock);
  ProgressSink progress;
  if (!RunWriteSequence(line, Millis(1000), written, progress)) return std::nullopt;
  ConfigurationRecord read = testing::EveryItemSent();
  read.SetPinHabil(true);
  read.General.PIN = "9999";
  if (!ReadConfiguration(line, Millis(1000), options.hasDatalogger, read, progress)) {
    return std::nullopt;
  }
  return read;
}

// A write of `record` and a read give back exactly what AsTheUnitKeepsIt predicts; false
// when the unit refused the record.
bool KeptAsPredicted(const std::string& name, const ConfigurationRecord& record) {
  const std::optional<ConfigurationRecord> read = WriteThenRead(record);
  if (!read) return false;
  const ConfigurationRecord predicted = AsTheUnitKeepsIt(record);
  // Compare names the keyed fields; the PIN, the SMS centre's choice and the flags have none.
  EXPECT_TRUE(*read == predicted) << name << ": " << Keys(Compare(*read, predicted));
  return true;
}

// Every value of every field, on one base, through the simulated unit: values a field
// meets and where the unit's records cut or reshape them (empty, exactly one second, tenths
// of tenths, an h:mm time, more than five digits, blanks, quotes and an option's name
// inside a text, more than eighty characters). On the defaults most items are not enabled
// and a value is not sent at all. Each field is carried at least once; returns how many
// values the unit refused.
int CheckEveryField(EditorId editor, const ConfigurationRecord& base, bool fewTexts) {
  const Text longText =
      "Una frase larga con acentos \xE1\xE9\xED y comas, \"comillas\" y m\xE1s texto hasta "
      "pasar de los ochenta caracteres del registro";
  std::vector<Text> texts = {"1", longText};
  if (!fewTexts) texts.insert(texts.end(), {"", "0.25", "9:5", "123456", " a \"b\",R "});
  int refused = 0;
  for (const Field* field : FieldsOf(editor)) {
    const Field& f = *field;
    const std::string name = f.ObjectName() + "/" + f.key + " = ";
    bool carried = false;
    auto check = [&](const std::string& value, auto set) {
      ConfigurationRecord r = base;
      set(r);
      const bool kept = KeptAsPredicted(name + value, r);
      carried = carried || kept;
      refused += kept ? 0 : 1;
    };
    if (f.kind == FieldKind::TextBox) {
      for (const Text& t : texts) check(t.substr(0, 12), [&](ConfigurationRecord& r) { f.setText(r, t); });
    } else {
      const std::vector<int> values = f.kind == FieldKind::CheckBox
                                          ? std::vector<int>{0, 1}
                                          : std::vector<int>{kNoSelection, 0, 1, f.items - 1};
      for (int v : values) check(std::to_string(v), [&](ConfigurationRecord& r) { f.setInt(r, v); });
    }
    EXPECT_TRUE(carried) << name << " never carried";
  }
  return refused;
}

// One editor's fields a test (they run in parallel), on a configuration with everything
// enabled and on the defaults; the General editor's values reach some the unit refuses, too.
using Editor = std::pair<EditorId, const char*>;
class AsTheUnitKeepsItPerEditor : public ::testing::TestWithParam<Editor> {};

TEST_P(AsTheUnitKeepsItPerEditor, EveryFieldOnEverythingEnabledAndOnTheDefaults) {
  const int refused = CheckEveryField(GetParam().first, testing::EveryItemSent(), false) +
                      CheckEveryField(GetParam().first, ConfigurationRecord{}, true);
  EXPECT_TRUE(GetParam().first != EditorId::General || refused > 0) << refused;
}

INSTANTIATE_TEST_SUITE_P(
    , AsTheUnitKeepsItPerEditor,
    ::testing::Values(Editor{EditorId::General, "General"}, Editor{EditorId::Alarmas, "Alarmas"},
                      Editor{EditorId::Alarmas2, "Alarmas2"}, Editor{EditorId::Macros, "Macros"},
                      Editor{EditorId::Datalogger, "Datalogger"},
                      Editor{EditorId::Temporizadores, "Temporizadores"}),
    [](const auto& test) { return std::string(test.param.second); });

TEST(AsTheUnitKeepsIt, ThePhoneListTheFlagsAndTheUnitWithoutDatalogger) {
  using R = ConfigurationRecord;
  const struct {
    const char* name;
    void (*change)(R&);
  } rows[] = {
      {"an empty entry ends the list", [](R& r) { r.ListaTlf = {"600,PRV1", "", "700,PRV2"}; }},
      {"a long entry", [](R& r) {
         r.ListaTlf = {"600111222,Prio=1,RXD,PRV3,D0,D1,D2,D3,A0,A1,TXA,AIN,D4,D5,D6,D7,A2,A3"};
       }},
      {"PIN", [](R& r) {
         r.SetPinHabil(true);
         r.General.PIN = "1234";
       }},
      {"remembered flags", [](R& r) {
         r.Digital[1].NcFlag = r.Digital[3].BiFlag = true;
         r.SetDigitalMode(6, ModeDisabled);
         r.Digital[6].NcFlag = true;
       }},
      {"SMS centre of an operator", [](R& r) {
         r.General.SMSC = std::string(kSmsCentreVodafone);
         r.General.Csm = SmsCentre::CSMOtro;
       }},
  };
  for (const auto& row : rows) {
    ConfigurationRecord r = testing::EveryItemSent();
    row.change(r);
    EXPECT_TRUE(KeptAsPredicted(row.name, r)) << row.name;
  }

  ConfigurationRecord noLogger = testing::EveryItemSent();
  noLogger.DataLogger = {};
  SimOptions withoutLogger;
  withoutLogger.hasDatalogger = false;
  const std::optional<ConfigurationRecord> read = WriteThenRead(noLogger, withoutLogger);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, AsTheUnitKeepsIt(noLogger, {.hasDatalogger = false}));
  EXPECT_EQ(read->DataLogger.LOG_TIME, "");
  EXPECT_EQ(AsTheUnitKeepsIt(noLogger).DataLogger.LOG_TIME, " 0");  // a unit with one answers 0
}

TEST(Compare, DifferencesInTheWritersOrderWithBothSidesAsWritten) {
  const ConfigurationRecord a = testing::FullRecord();
  EXPECT_TRUE(Compare(a, a).empty());
  ConfigurationRecord b = a;
  b.Timers[7].MACRO = 2;
  b.General.NOMBRE = "Otra";
  b.Macros[10].MACRO_TEXT = "Cambiada";
  b.ListaTlf.erase(b.ListaTlf.begin());
  b.SetDigitalMode(0, ModeBistable);
  b.DataLogger.REG_A[3] = false;
  b.General.PIN = "1111";  // no key: not compared
  const std::vector<FieldDifference> d = Compare(a, b);
  ASSERT_EQ(Keys(d),
            "General.NOMBRE Telefonos.TLF0 Telefonos.TLF1 Telefonos.TLF2 Digital.NC0 Digital.BI0 "
            "Macros.MACRO_TEXT 10 DataLogger.REG_A3 Timer.MACRO7");
  // Each difference with both sides as written (the compare window shows the controls).
  EXPECT_EQ(d[8].left, " 0");
  EXPECT_EQ(d[8].right, " 2");
}

TEST(TakeOver, AllDifferencesMakeTheSidesEqualAndAnEmptiedEntryClosesTheList) {
  const std::pair<ConfigurationRecord, ConfigurationRecord> pairs[] = {
      {ConfigurationRecord{}, testing::EveryItemSent()},
      {testing::EveryItemSent(), ConfigurationRecord{}},
  };
  for (const auto& [from, to] : pairs) {
    ConfigurationRecord target = from;
    const std::vector<FieldDifference> all = Compare(target, to);
    ASSERT_FALSE(all.empty());
    TakeOver(target, to, all);
    EXPECT_EQ(Keys(Compare(target, to)), "");
  }

  // A selection: the compare window's take-over. An entry taken over as empty closes the
  // list up.
  ConfigurationRecord shorter = testing::FullRecord();
  shorter.ListaTlf.erase(shorter.ListaTlf.begin());
  ConfigurationRecord full = testing::FullRecord();
  const std::vector<FieldDifference> phones = Compare(full, shorter);
  TakeOver(full, shorter, std::span(phones).subspan(2, 1));  // TLF2 only: emptied
  EXPECT_EQ(full.ListaTlf.size(), 2u);
}

}  // namespace
}  // namespace zdl
