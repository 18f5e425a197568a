// Texts of the comparison, the backup before a write and the verify after it, in both
// languages, kept beside the numbered string table (whose entries they are not). UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "ui/strings/string_table.h"

namespace zdl {

// "%1" stands for the argument of CompareTextWith.
enum class CompareText {
  ReadingBackup,       // "Reading the unit's configuration for the backup..."
  BackupSaved,         // "Backup of the unit's configuration saved in %1."
  BackupReadFailed,    // "The unit's configuration could not be read: nothing was written."
  BackupSaveFailed,    // "The backup could not be saved (%1): nothing was written."
  BackupIsInput,       // "The backup must not overwrite the file being written."
  ReadingBack,         // "Reading the configuration back to verify it..."
  Verified,            // "Verified: the unit keeps what was written."
  VerifyDiffers,       // "The unit keeps %1 value(s) other than what was written:"
  VerifyReadFailed,    // "The configuration could not be read back to verify it."
  UnitReadFailed,      // "The configuration could not be read from the unit."
  // The windows' compare command, check boxes and table.
  CompareCommand,      // "Compare..."
  CompareWithFile,     // "Compare with a file"
  CompareWithUnit,     // "Compare with the unit"
  NoDifferences,       // "No differences."
  TakeOverSelected,    // "Take over the selected values"
  ColumnEditor,        // "Editor"
  ColumnField,         // "Field"
  ColumnThisSide,      // "This side"
  ColumnOtherSide,     // "Other side"
  BackUpFirst,         // "Back up the unit first"
  VerifyAfterWriting,  // "Verify after writing"
  CompareTitle,        // "Compare"
  CompareQuestion,     // "Compare the editors' configuration with a file or with the unit?"
  ThisSideEditors,     // "This side: the editors' configuration."
  OtherSideFile,       // "Other side: %1"
  OtherSideUnit,       // "Other side: the configuration read from the unit."
  OtherSideVerify,     // "Other side: what the unit keeps of the write."
  DifferenceCount,     // "%1 difference(s)."
};

std::string_view CompareTextIn(Lang lang, CompareText text);

// The text with "%1" replaced by `argument`.
std::string CompareTextWith(Lang lang, CompareText text, std::string_view argument);

}  // namespace zdl
