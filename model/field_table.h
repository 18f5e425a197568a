// The record's fields as the editor windows and the keyed file see them: one row per
// control that shows a field, with the control's name and index within its window, the
// file section and key of the field, its maximum length or list size, the record member
// it shows and the setter that applies the field's rules. This table is the one place
// that spells a file key, a control name, a list size or a maximum length.
//
// The rows are in the keyed file's order. The keyed format walks them; the editors bind
// their controls from them by the record member a control shows; the check pass and the
// line builders point at them by the member they test; comparisons name their differences
// with them. Texts cross it as Unicode (UTF-8); a text that Windows-1252 cannot hold is
// refused and changes nothing, so the windows never see the record's bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/configuration_record.h"

namespace zdl {

// The editor windows, in the order the main window opens them.
enum class EditorId { Macros, Alarmas, Alarmas2, Datalogger, Temporizadores, General };

enum class FieldKind {
  TextBox,  // a text box
  CheckBox, // a check box
  List,     // a list: a position, or kNoSelection
};

// How the keyed file carries a row's key.
enum class FileForm {
  Value,        // the row's value, as its kind is written
  DigitalMode,  // the input's enable flag; its N.C. and bistable flags follow, keyed apart
  EnabledText,  // the restored-alarm text while the row's box is checked, else empty
};

// The record member a row shows, as the file and the unit carry it (no rule applied).
using FieldMember = std::variant<std::function<Text&(ConfigurationRecord&)>,   // text boxes
                                 std::function<bool&(ConfigurationRecord&)>,   // check boxes
                                 std::function<int&(ConfigurationRecord&)>>;   // lists

struct Field {
  EditorId editor;
  std::string_view control;  // "TextBox", "Habil", "NameBox"
  int index;                 // within its window, as the window numbers it; -1 when single
  int item;                  // in the record: input, macro (0-13) or timer number; -1 when single
  FieldKind kind;
  std::size_t maxLength;  // text boxes: 0 is no limit
  int items;              // lists: the number of items
  std::string section;    // the keyed file's section and key, "" when the file has none
  std::string key;
  FileForm form = FileForm::Value;
  FieldMember member{};

  std::function<Text(const ConfigurationRecord&)> getText;
  std::function<void(ConfigurationRecord&, const Text&)> setText;
  std::function<int(const ConfigurationRecord&)> getInt;  // a check (0/1) or a position
  std::function<void(ConfigurationRecord&, int)> setInt;

  // "TextBox_3", "NameBox": the control's object name.
  std::string ObjectName() const;

  // Text boxes.
  std::string Utf8Text(const ConfigurationRecord& record) const;
  // False, and nothing changed, when Windows-1252 cannot hold the text.
  bool SetUtf8Text(ConfigurationRecord& record, std::string_view utf8) const;
  // Check boxes and lists.
  bool Checked(const ConfigurationRecord& record) const { return getInt(record) != 0; }
  void SetChecked(ConfigurationRecord& record, bool value) const { setInt(record, value ? 1 : 0); }
  int Position(const ConfigurationRecord& record) const { return getInt(record); }
  void SetPosition(ConfigurationRecord& record, int position) const { setInt(record, position); }

  // The member itself, without the row's rules (for the file); `member` must be of that kind.
  Text& TextIn(ConfigurationRecord& record) const;
  bool& FlagIn(ConfigurationRecord& record) const;
  int& PositionIn(ConfigurationRecord& record) const;
  // True when the row shows that very object of `record`.
  bool Shows(const ConfigurationRecord& record, const void* object) const;
};

// True when Windows-1252 can hold every character of the UTF-8 text.
bool CanEncode(std::string_view utf8);

// Every field of every editor, in the keyed file's order of their keys (the fields no
// file holds, PinHabil and PIN, at the end).
std::span<const Field> FieldTable();

// The General editor's phone list ListaTlf: the file's section, the base of its keys
// (the base and the entry's digit) and the most entries it holds. Its accessors are
// empty: the entries are the record's list, not a member of this table.
const Field& PhoneListField();

// Every row with a file key, and the phone list's row at its place, in the keyed file's
// order.
std::span<const Field* const> FileOrder();

// The fields of one editor window, in table order.
std::vector<const Field*> FieldsOf(EditorId editor);

// The row of a control: by name and record item (input, macro or timer number; -1 for
// a single control). The alarm controls name inputs 0 to 7 (digital) or 0 to 3 (analog),
// whichever window holds them. Null when there is none.
const Field* FindField(std::string_view control, int item);

// The row that shows a key of the keyed file; null for a key no control shows.
const Field* FieldOfKey(std::string_view section, std::string_view key);

// The row that shows `member`, a member of `record` itself; null when no control shows
// it. The editors bind, and the checks name their failures, by the member.
const Field* FieldOf(const ConfigurationRecord& record, const Text& member);
const Field* FieldOf(const ConfigurationRecord& record, const bool& member);
const Field* FieldOf(const ConfigurationRecord& record, const int& member);

}  // namespace zdl
