#include "model/field_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "configfile/config_file.h"

namespace zdl {
namespace {

using KeyMap = std::map<std::pair<std::string, std::string>, std::string>;

KeyMap Written(const ConfigurationRecord& r) {
  KeyMap map;
  for (const KeyedValue& v : KeyedValues(r)) map[{v.section, v.key}] = v.value;
  return map;
}

// The inputs, macros and timers of `r` that differ from those of `fresh`: "Digital3", ...
std::set<std::string> ChangedItems(const ConfigurationRecord& fresh, const ConfigurationRecord& r) {
  std::set<std::string> items;
  auto compare = [&items](const std::string& section, const auto& before, const auto& after) {
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (!(before[i] == after[i])) items.insert(section + std::to_string(i));
    }
  };
  compare("Digital", fresh.Digital, r.Digital);
  compare("Analog", fresh.Analog, r.Analog);
  compare("Macros", fresh.Macros, r.Macros);
  compare("Timer", fresh.Timers, r.Timers);
  return items;
}

// Each row must reach the field of its key, both ways. A value set through the row
// changes the input, macro or timer of the row's item and no other (the record's own
// arrays tell: the keyed writer goes through the rows too), and it shows up in the keyed
// writer's output under that key and nowhere else; the key is found again at the row.
// (The loader walks the same rows: the golden file and its values' test load every key.)
TEST(FieldTable, EveryRowReachesTheFieldOfItsKeyBothWays) {
  ConfigurationRecord fresh;
  fresh.General.Habil_Restore = true;  // RESTORE_TEXT shows REST_TEXT only while enabled
  fresh.General.REST_TEXT = "restored";
  const KeyMap before = Written(fresh);
  int n = 0;
  int rows = 0;
  for (const Field& f : FieldTable()) {
    if (f.key.empty()) continue;
    ++rows;
    SCOPED_TRACE(f.ObjectName() + " " + f.section + "." + f.key);
    EXPECT_EQ(FieldOfKey(f.section, f.key), &f);
    ConfigurationRecord r = fresh;
    std::string expected;
    switch (f.kind) {
      case FieldKind::TextBox:
        expected = "v" + std::to_string(++n);
        ASSERT_TRUE(f.SetUtf8Text(r, expected));
        EXPECT_EQ(f.Utf8Text(r), expected);
        break;
      case FieldKind::CheckBox:
        f.SetChecked(r, !f.Checked(r));
        expected = f.Checked(r) ? "1" : "0";
        break;
      case FieldKind::List:
        f.SetPosition(r, 2);
        EXPECT_EQ(f.Position(r), 2);
        expected = " 2";
        break;
    }
    std::set<std::string> own;
    if (f.item >= 0 && f.section != "DataLogger") own.insert(f.section + std::to_string(f.item));
    EXPECT_EQ(ChangedItems(fresh, r), own);
    const KeyMap after = Written(r);
    ASSERT_TRUE(after.count({f.section, f.key}));
    EXPECT_NE(after.at({f.section, f.key}), before.at({f.section, f.key}));
    int changed = 0;
    for (const auto& [key, value] : after) changed += before.at(key) != value ? 1 : 0;
    // A mode also sets its N.C. flag; RESTORE_TEXT repeats REST_TEXT.
    EXPECT_LE(changed, f.control == "Modo" || f.control == "RestoreText" ? 2 : 1);
    // A mode is written as three flags; Habil_Restore as the text it enables.
    if (f.form == FileForm::Value) {
      EXPECT_EQ(after.at({f.section, f.key}), expected);
    }
  }
  EXPECT_GT(rows, 0);
}

// The editors bind and the checks point by the member a control shows: every row is
// found again from its own member, each name is used once in its window, and a member no
// control shows finds none.
TEST(FieldTable, EveryRowIsFoundByItsMemberAndItsNameIsUsedOnce) {
  ConfigurationRecord r;
  std::set<std::pair<EditorId, std::string>> names;
  for (const Field& f : FieldTable()) {
    const Field* found = f.kind == FieldKind::TextBox    ? FieldOf(r, f.TextIn(r))
                         : f.kind == FieldKind::CheckBox ? FieldOf(r, f.FlagIn(r))
                                                         : FieldOf(r, f.PositionIn(r));
    EXPECT_EQ(found, &f) << f.ObjectName();
    EXPECT_TRUE(names.insert({f.editor, f.ObjectName()}).second) << f.ObjectName();
  }
  EXPECT_EQ(FieldOf(r, r.Digital[3].NcFlag), nullptr);
}

TEST(FieldTable, SettersApplyTheFieldsRules) {
  ConfigurationRecord r;
  const Field& pin = *FindField("PIN", -1);
  EXPECT_TRUE(pin.SetUtf8Text(r, "1234"));
  EXPECT_EQ(r.General.PIN, "");  // no PIN while PinHabil is unchecked
  FindField("PinHabil", -1)->SetChecked(r, true);
  pin.SetUtf8Text(r, "1234");
  FindField("PinHabil", -1)->SetChecked(r, false);
  EXPECT_EQ(r.General.PIN, "");
  // Unchecking the transmission-fail alarm forgets its text and its ring.
  ConfigurationRecord tx;
  tx.TxAlarm = {true, "Fallo", true, 3};
  FindField("Habil_TxAlarm", -1)->SetChecked(tx, false);
  EXPECT_EQ(tx.TxAlarm, (TxAlarmGroup{false, "", false, 3}));

  // The list with no selection is stored as "Disabled"; a macro list with no selection
  // gets its first item ("No"; macro 1 for a timer) when its item is checked or unchecked.
  const Field& mode = *FindField("Modo", 5);
  mode.SetPosition(r, kNoSelection);
  EXPECT_EQ(r.Digital[5].Modo, ModeDisabled);
  r.Digital[5].MACRO_TRUE = r.Digital[5].MACRO_FALSE = kNoSelection;
  r.Timers[2].MACRO = r.Analog[1].MACRO_NOM = kNoSelection;
  mode.SetPosition(r, ModeNormallyClosed);
  FindField("Habil", 2)->SetChecked(r, true);
  FindField("HabilA", 1)->SetChecked(r, false);
  const auto& input = r.Digital[5];
  EXPECT_EQ(std::tuple(input.MACRO_TRUE, input.MACRO_FALSE, r.Timers[2].MACRO, r.Analog[1].MACRO_NOM),
            std::tuple(0, 0, 0, 0));
  FindField("Macro", 2)->SetPosition(r, 14);  // past the last item: nothing selected
  EXPECT_EQ(r.Timers[2].MACRO, kNoSelection);
}

}  // namespace
}  // namespace zdl
