// Configuration files (.ncf): the keyed INI-style format, read and written, and the
// sequential format of earlier releases, read only. A load is all-or-nothing: the file
// is parsed into a fresh record that replaces the caller's only when the whole load
// succeeded. A save is atomic: written beside the old file and renamed over it, keeping
// the sections and keys of the old file that this program does not write, and its mode,
// owner, group and symbolic link.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "configfile/file_access.h"
#include "model/configuration_record.h"
#include "text/extra_texts.h"
#include "text/string_table.h"

namespace zdl {

enum class LoadStatus {
  Loaded,            // keyed, or sequential of version 1 or 2
  LoadedNewer,       // sequential above version 2: loaded, with NewerVersionFile
  NotConfigFile,     // NotValidConfigFile; nothing changed
  FileNotFound,      // FileNotFound titled ErrorTitle; nothing changed
  Failed,            // `description` titled 185; nothing changed
};

enum class FileFormat { Keyed, Sequential };

struct LoadOutcome {
  LoadStatus status = LoadStatus::Failed;
  BilingualText description;  // for Failed: what went wrong and where
  std::optional<FileFormat> format;
  int version = 0;  // sequential format version

  bool loaded() const { return status == LoadStatus::Loaded || status == LoadStatus::LoadedNewer; }
};

// The message a front end shows for an outcome (empty for Loaded), and its box title
// (ErrorTitle "Error" for FileNotFound and Failed, none otherwise).
std::string LoadMessage(const LoadOutcome& outcome, Lang lang);
std::string LoadMessageTitle(const LoadOutcome& outcome, Lang lang);

// Parses file contents (no I/O). On success `record` is replaced by the loaded one.
LoadOutcome LoadConfigBytes(std::string_view bytes, ConfigurationRecord& record);
// Reads the file and loads it as above: only a regular file of at most
// kMaxConfigFileSize bytes (anything else fails with its reason, opening nothing that
// could block).
LoadOutcome LoadConfigFile(const std::filesystem::path& path, ConfigurationRecord& record);

struct SaveOutcome {
  bool ok = false;
  BilingualText description;  // what went wrong, shown titled ErrorTitle
};

// Saves atomically (ReplaceRegularFile): a symbolic link stays and its target is written;
// an existing file must be a regular one of at most kMaxConfigFileSize bytes, and keeps
// its owner, group and, unless `access` says OwnerOnly (backups), its mode.
SaveOutcome SaveConfigFile(const std::filesystem::path& path, const ConfigurationRecord& record,
                           FileAccess access = FileAccess::Keep);

// The bytes a save writes (no I/O): `existing` (the old file's contents, or empty) with
// every key of KeyedValues set in order, CRLF line ends. Fails, leaving `bytes` empty,
// when a text holds a CR or LF, which a keyed value cannot carry.
SaveOutcome SaveConfigBytes(const ConfigurationRecord& record, std::string_view existing,
                            std::string& bytes);

// One key of the keyed format as the writer writes it.
struct KeyedValue {
  std::string section;
  std::string key;
  Text value;  // Windows-1252

  bool operator==(const KeyedValue&) const = default;
};

// Every key of the keyed format, in the writer's order, with the values the writer
// writes (VERSION first).
std::vector<KeyedValue> KeyedValues(const ConfigurationRecord& record);

}  // namespace zdl
