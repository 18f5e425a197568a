// The keyed format: the field table's rows in the file's order, walked by the writer
// (KeyedValues) and by the reader (ReadKeyed), so the two can never disagree on a key.
// Only what no single control shows is spelled here: the format tag, the phone list's
// keys, a digital input's N.C. and bistable flags and the restored-alarm text.

#include <cmath>
#include <string>

#include "configfile/formats.h"
#include "model/field_table.h"
#include "model/number_format.h"
#include "model/text_codec.h"
#include "model/validators.h"

namespace zdl {

namespace configfile {

namespace {

enum class ModeFlag { Habil, NC, Bi };

// Key of a phone entry or of a mode flag: the base name and the index digit ("NC3").
std::string Indexed(std::string_view base, int index) {
  std::string key(base);
  key += static_cast<char>('0' + index);
  return key;
}

// Walks every key of the keyed format in the writer's order. The visitor gets, per key:
//   Version(section, key)                  the format tag
//   Str(row) / Flag(row) / Choice(row)     a row's value under its own key
//   Mode(section, key, input, flag)        one of the three flags of a digital input's mode
//   Phone(section, key, position)          one phone-list entry
//   RestoreText(section, key)              the restored-alarm text when it is enabled
template <class Visitor>
void VisitKeys(Visitor& v) {
  v.Version(kVersionSection, kVersionKey);
  const Field& phones = PhoneListField();
  for (const Field* row : FileOrder()) {
    const Field& f = *row;
    if (&f == &phones) {
      for (int i = 0; i < f.items; ++i) v.Phone(f.section, Indexed(f.key, i), i);
      continue;
    }
    switch (f.form) {
      case FileForm::Value:
        switch (f.kind) {
          case FieldKind::TextBox: v.Str(f); break;
          case FieldKind::CheckBox: v.Flag(f); break;
          case FieldKind::List: v.Choice(f); break;
        }
        break;
      case FileForm::DigitalMode:
        v.Mode(f.section, f.key, f.item, ModeFlag::Habil);
        v.Mode(f.section, Indexed("NC", f.item), f.item, ModeFlag::NC);
        v.Mode(f.section, Indexed("BI", f.item), f.item, ModeFlag::Bi);
        break;
      case FileForm::EnabledText: v.RestoreText(f.section, f.key); break;
    }
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
  void Str(const Field& f) { Put(f.section, f.key, f.getText(record_)); }
  void Flag(const Field& f) { PutFlag(f.section, f.key, f.getInt(record_) != 0); }
  void Choice(const Field& f) { Put(f.section, f.key, ChoiceText(f.getInt(record_))); }
  void Mode(std::string_view section, std::string_view key, int input, ModeFlag flag) {
    // Read as DigitalHabil/NC/Bi do: a mode outside 0-3 reads 0.
    const int mode = EffectiveMode(record_.Digital[static_cast<std::size_t>(input)]);
    const bool set = flag == ModeFlag::Habil ? mode != ModeDisabled
                     : flag == ModeFlag::NC  ? mode == ModeNormallyClosed
                                             : mode == ModeBistable;
    PutFlag(section, key, set);
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
  void PutFlag(std::string_view section, std::string_view key, bool flag) {
    Put(section, key, flag ? "1" : "0");
  }
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
  // Values go to the members as the file holds them, without the controls' rules.
  void Str(const Field& f) { f.TextIn(record_) = doc_.Get(f.section, f.key); }
  void Flag(const Field& f) { f.FlagIn(record_) = IsSet(f.section, f.key); }
  void Choice(const Field& f) {
    const std::string_view section = f.section;
    const std::string_view key = f.key;
    const int last = f.items - 1;
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
    f.PositionIn(record_) = static_cast<int>(value);
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
  VisitKeys(reader);
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
  configfile::VisitKeys(writer);
  return writer.Take();
}

}  // namespace zdl
