#include "compare/comparison.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <unordered_map>

#include "configfile/config_file.h"

namespace zdl {

namespace {

std::string KeyId(std::string_view section, std::string_view key) {
  std::string id(section);
  id += '\n';
  id += key;
  return id;
}

// The control that shows each key, built once from the field table (which never changes).
const Field* ControlOfKey(std::string_view section, std::string_view key) {
  static const std::unordered_map<std::string, const Field*> kIndex = [] {
    std::unordered_map<std::string, const Field*> index;
    for (const Field& f : FieldTable()) {
      if (!f.key.empty()) index.emplace(KeyId(f.section, f.key), &f);
    }
    return index;
  }();
  const auto found = kIndex.find(KeyId(section, key));
  return found == kIndex.end() ? nullptr : found->second;
}

// The digit after `base` in `key` ("TLF3" -> 3), or -1.
int IndexAfter(std::string_view key, std::string_view base, int count) {
  if (key.size() != base.size() + 1 || !key.starts_with(base)) return -1;
  const int index = key.back() - '0';
  return index >= 0 && index < count ? index : -1;
}

}  // namespace

std::vector<FieldDifference> Compare(const ConfigurationRecord& left,
                                     const ConfigurationRecord& right) {
  const std::vector<KeyedValue> a = KeyedValues(left);
  const std::vector<KeyedValue> b = KeyedValues(right);
  std::vector<FieldDifference> differences;
  // Both walks visit the same keys in the same order.
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i].value == b[i].value) continue;
    differences.push_back({a[i].section, a[i].key, ControlOfKey(a[i].section, a[i].key),
                           a[i].value, b[i].value});
  }
  return differences;
}

std::vector<FieldDifference> CompareAsKept(const ConfigurationRecord& left,
                                           const ConfigurationRecord& right,
                                           const UnitKeeping& unit) {
  return Compare(AsTheUnitKeepsIt(left, unit), AsTheUnitKeepsIt(right, unit));
}

std::vector<FieldDifference> CompareWithUnit(const ConfigurationRecord& configuration,
                                             const ConfigurationRecord& fromUnit,
                                             const UnitKeeping& unit) {
  return Compare(AsTheUnitKeepsIt(configuration, unit), fromUnit);
}

void TakeOver(ConfigurationRecord& target, const ConfigurationRecord& other,
              std::span<const FieldDifference> differences) {
  // The phone list is taken over position by position, then closed up.
  std::array<Text, kPhoneListSize> phones;
  for (std::size_t i = 0; i < target.ListaTlf.size() && i < phones.size(); ++i) {
    phones[i] = target.ListaTlf[i];
  }
  bool phonesTaken = false;

  for (const FieldDifference& d : differences) {
    if (d.section == "Telefonos") {
      const int position = IndexAfter(d.key, "TLF", kPhoneListSize);
      if (position < 0) continue;
      const auto p = static_cast<std::size_t>(position);
      phones[p] = p < other.ListaTlf.size() ? other.ListaTlf[p] : Text();
      phonesTaken = true;
      continue;
    }
    if (d.section == "Digital") {
      int input = IndexAfter(d.key, "NC", kDigitalInputs);
      if (input < 0) input = IndexAfter(d.key, "BI", kDigitalInputs);
      if (input < 0) input = IndexAfter(d.key, "HABIL", kDigitalInputs);
      if (input >= 0) {
        target.SetDigitalMode(input, EffectiveMode(other.Digital[static_cast<std::size_t>(input)]));
        continue;
      }
    }
    if (d.section == "General" && d.key == "RESTORE_TEXT") {
      target.General.Habil_Restore = other.General.Habil_Restore;
      if (other.General.Habil_Restore) target.General.REST_TEXT = other.General.REST_TEXT;
      continue;
    }
    const Field* field = ControlOfKey(d.section, d.key);
    if (field == nullptr) continue;
    if (field->kind == FieldKind::TextBox) {
      field->setText(target, field->getText(other));
    } else {
      field->setInt(target, field->getInt(other));
    }
  }

  if (phonesTaken) {
    target.ListaTlf.clear();
    for (const Text& entry : phones) {
      if (!entry.empty()) target.ListaTlf.push_back(entry);
    }
  }
}

}  // namespace zdl
