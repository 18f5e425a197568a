// Comparing two configurations key by key, as the keyed file holds them, and predicting
// what the unit keeps of a configuration: what a write followed by a read gives back.
//
// A comparison walks every key of the keyed format in the writer's order (KeyedValues)
// and reports each key whose value differs, with the control that shows it. The PIN,
// which no file and no unit line carries, is not compared.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "model/configuration_record.h"
#include "model/field_table.h"

namespace zdl {

struct FieldDifference {
  std::string section;  // "General", "Digital", ...
  std::string key;      // "NOMBRE", "PVAL3", "MACRO_TEXT 10"
  // The control that shows the key (its editor, name and index); null for a key no
  // single control shows: the phone list (TLF0 to TLF7), the N.C. and bistable flags of a
  // digital input (NC0, BI0, ...; the input's Modo list shows them with HABIL0).
  const Field* field = nullptr;
  Text left;   // the values as the keyed writer writes them, Windows-1252
  Text right;

  bool operator==(const FieldDifference&) const = default;
};

// Every key whose value differs between `left` and `right`, in the keyed writer's order.
// Empty when the two configurations would save to the same keys and values.
std::vector<FieldDifference> Compare(const ConfigurationRecord& left,
                                     const ConfigurationRecord& right);

// What the unit can tell the tool about itself, where it shapes what a read gives back.
struct UnitKeeping {
  // A unit without the data-logger functions is not asked for them: a read leaves the
  // data-logger fields at their cleared defaults.
  bool hasDatalogger = true;
};

// The configuration that a write of `record` followed by a read gives back from the unit
// (for a record the unit accepts: one that passes the checks before a write). What the
// unit's lines cannot carry is lost on the way:
//  - items that are not enabled (inputs, timers, the transmission-fail alarm, macros
//    without a text, the data logger without its times) are not sent and come back at
//    their defaults, with the options of a disabled input cleared;
//  - a persistence of exactly 1 s comes back as no persistence, a persistence or NORMAL
//    comes back as a sign-spaced number of seconds (" 5"), read from at most five
//    characters of tenths;
//  - a cycle count whose value is 0 comes back as no counter;
//  - an enabled timer without days comes back disabled (keeping its time, period and
//    macro); "h:mm" times come back as "hh:mm" to the nearest minute, other times as a
//    sign-spaced whole number;
//  - an enabled empty restore text comes back disabled;
//  - texts come back cut to the lengths the unit's records carry (NOMBRE 50, SMSC and
//    PTLF 16, RENVN, RENVT, ASINC and AINFO 3, alarm texts 80, scale values 10, UN 8,
//    macro texts 24 and commands 39, phone entries 50, VP and CVAL 5, RST 5);
//  - the data-logger times come back as sign-spaced numbers, clamped to 0..99999 (log
//    interval) and 0..9999 (re-arm time);
//  - the phone list stops at its first empty entry and holds at most eight;
//  - the PIN and its enable, the remembered N.C. and bistable flags and the reset time of
//    inputs 4 to 7 are not carried; the SMS-centre option follows SMSC.
ConfigurationRecord AsTheUnitKeepsIt(const ConfigurationRecord& record,
                                     const UnitKeeping& unit = {});

// Compare(AsTheUnitKeepsIt(left), AsTheUnitKeepsIt(right)): the differences a write of
// one followed by a read would still show against the other. With `left` a file and
// `right` a configuration read from the unit: what a write of the file would change.
std::vector<FieldDifference> CompareAsKept(const ConfigurationRecord& left,
                                           const ConfigurationRecord& right,
                                           const UnitKeeping& unit = {});

// A configuration against one read from the unit: Compare(AsTheUnitKeepsIt(configuration),
// fromUnit). Before a write, what a write of `configuration` would change; after it, what
// the unit did not keep. The side read from the unit is taken as it is: a read already
// gives what the unit keeps, and another trip through the unit could lose more (a reset
// time sent with a cycle count of 0, which reads back as no counter, is not sent again).
std::vector<FieldDifference> CompareWithUnit(const ConfigurationRecord& configuration,
                                             const ConfigurationRecord& fromUnit,
                                             const UnitKeeping& unit = {});

// Takes the value of each listed difference over from `other` into `target`, as the
// editors would set it (the field's rules apply: unchecking the transmission-fail alarm
// empties its text). A difference on HABILn, NCn or BIn of a digital input takes over the
// input's whole mode; one on RESTORE_TEXT takes over the restore text with its enable; one
// on TLFn takes over that position of the phone list (the list is then closed up, empty
// positions removed). Differences of keys that `other` does not hold are ignored.
void TakeOver(ConfigurationRecord& target, const ConfigurationRecord& other,
              std::span<const FieldDifference> differences);

}  // namespace zdl
