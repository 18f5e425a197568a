// The record's fields as the editor windows see them: one row per control that shows a
// field, with the control's name and index within its window, the file key of the field,
// its maximum length or list size, and the setter that applies the field's rules.
//
// The editors bind their controls from this table, the check pass names its failing
// control through it, and comparisons name their differences with it, so no control is
// wired by hand in two places. Texts cross it as Unicode (UTF-8); a text that
// Windows-1252 cannot hold is refused and changes nothing, so the windows never see the
// record's bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "model/configuration_record.h"

namespace zdl {

// The editor windows, in the order the main window opens them.
enum class EditorId { Macros, Alarmas, Alarmas2, Datalogger, Temporizadores, General };

enum class FieldKind {
  TextBox,  // a text box
  CheckBox, // a check box
  List,     // a list: a position, or kNoSelection
};

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
};

// True when Windows-1252 can hold every character of the UTF-8 text.
bool CanEncode(std::string_view utf8);

// Every field of every editor, editors in opening order, each editor's fields in the
// order of its frames.
std::span<const Field> FieldTable();

// The fields of one editor window, in table order.
std::vector<const Field*> FieldsOf(EditorId editor);

// The row of a control: by name and record item (input, macro or timer number; -1 for
// a single control). The alarm controls name inputs 0 to 7 (digital) or 0 to 3 (analog),
// whichever window holds them. Null when there is none.
const Field* FindField(std::string_view control, int item);

// The row that shows a key of the keyed file; null for a key no control shows.
const Field* FieldOfKey(std::string_view section, std::string_view key);

}  // namespace zdl
