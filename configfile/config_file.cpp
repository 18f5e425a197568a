#include "configfile/config_file.h"

#include <cerrno>
#include <utility>

#include "configfile/file_access.h"
#include "configfile/formats.h"
#include "configfile/ini_document.h"
#include "model/text_codec.h"

namespace zdl {

namespace {


// What a load clears before it reads: every group, the data logger too, so nothing of the
// previous configuration stays behind in a field the file does not carry.
void ClearForLoad(ConfigurationRecord& record) {
  record.ClearAlarmas();
  record.ClearAlarmas2();
  record.ClearGeneral();
  record.ClearMacros();
  record.ClearTemporizadores();
  record.ClearDatalogger();
}

}  // namespace

std::string LoadMessage(const LoadOutcome& outcome, Lang lang) {
  switch (outcome.status) {
    case LoadStatus::Loaded: return {};
    case LoadStatus::LoadedNewer: return std::string(LangText(lang, TextId::NewerVersionFile));
    case LoadStatus::NotConfigFile: return std::string(LangText(lang, TextId::NotValidConfigFile));
    case LoadStatus::FileNotFound: return std::string(LangText(lang, TextId::FileNotFound));
    case LoadStatus::Failed: return outcome.description.In(lang);
  }
  return {};
}

std::string LoadMessageTitle(const LoadOutcome& outcome, Lang lang) {
  const bool error =
      outcome.status == LoadStatus::FileNotFound || outcome.status == LoadStatus::Failed;
  return error ? std::string(LangText(lang, TextId::ErrorTitle)) : std::string();
}

namespace {

// A file that starts with a UTF-8 byte-order mark was written by a UTF-8 editor: its
// texts are taken back to Windows-1252, the only character set of the unit and of the
// files this program writes. A file whose text is not UTF-8 after all, or holds
// characters the unit cannot take, is read byte for byte as before.
std::string WithoutByteOrderMark(std::string_view bytes) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (!bytes.starts_with(kBom)) return std::string(bytes);
  if (std::optional<std::string> text = Utf8ToCp1252(bytes.substr(kBom.size()))) return *text;
  return std::string(bytes);
}

}  // namespace

LoadOutcome LoadConfigBytes(std::string_view bytes, ConfigurationRecord& record) {
  const std::string text = WithoutByteOrderMark(bytes);
  bytes = text;
  ConfigurationRecord staged = record;
  ClearForLoad(staged);
  LoadOutcome outcome;
  const IniDocument doc = IniDocument::Parse(bytes);
  if (configfile::IsKeyed(doc)) {
    outcome.format = FileFormat::Keyed;
    if (auto failure = configfile::ReadKeyed(doc, staged)) {
      outcome.status = LoadStatus::Failed;
      outcome.description = std::move(*failure);
      return outcome;
    }
    outcome.status = LoadStatus::Loaded;
  } else {
    outcome = configfile::ReadSequential(bytes, staged);
    if (!outcome.loaded()) return outcome;
  }
  staged.CSMCheck();
  record = std::move(staged);
  return outcome;
}

LoadOutcome LoadConfigFile(const std::filesystem::path& path, ConfigurationRecord& record) {
  std::string bytes;
  if (const FileResult read = ReadRegularFile(path, kMaxConfigFileSize, bytes); !read.ok()) {
    LoadOutcome outcome;
    if (read.fault == FileFault::System && (read.error == ENOENT || read.error == ENOTDIR)) {
      outcome.status = LoadStatus::FileNotFound;
    } else {
      outcome.status = LoadStatus::Failed;
      outcome.description =
          BilingualText::Format(ExtraText::CannotRead, {path.string(), read.Reason()});
    }
    return outcome;
  }
  return LoadConfigBytes(bytes, record);
}

SaveOutcome SaveConfigBytes(const ConfigurationRecord& record, std::string_view existing,
                            std::string& bytes) {
  bytes.clear();
  const std::vector<KeyedValue> values = KeyedValues(record);
  for (const KeyedValue& v : values) {
    if (v.value.find_first_of("\r\n") != Text::npos) {
      return {false, BilingualText::Format(ExtraText::LineBreakInValue, {v.key, v.section})};
    }
  }
  const std::string base = WithoutByteOrderMark(existing);
  IniDocument doc = IniDocument::Parse(base);
  // An old sequential file is replaced whole: its lines are items of a format without
  // sections, which would otherwise stay above the new ones.
  if (!configfile::IsKeyed(doc) && configfile::IsSequential(base)) doc = IniDocument{};
  for (const KeyedValue& v : values) doc.Set(v.section, v.key, v.value);
  bytes = doc.Serialise();
  return {true, {}};
}

SaveOutcome SaveConfigFile(const std::filesystem::path& path, const ConfigurationRecord& record,
                           FileAccess access) {
  // A symbolic link stays; the file at its end (existing or not) is written.
  std::filesystem::path target;
  if (const FileResult resolved = ResolveLinks(path, target); !resolved.ok()) {
    return {false,
            BilingualText::Format(ExtraText::CannotWrite, {path.string(), resolved.Reason()})};
  }
  // The old file's other sections and keys are kept, so it must be a readable regular
  // file of a configuration's size.
  std::string existing;
  if (const FileResult read = ReadRegularFile(target, kMaxConfigFileSize, existing);
      !read.ok() && !read.Missing()) {
    const ExtraText what =
        read.fault == FileFault::System ? ExtraText::CannotRead : ExtraText::CannotWrite;
    return {false, BilingualText::Format(what, {path.string(), read.Reason()})};
  }
  std::string bytes;
  SaveOutcome outcome = SaveConfigBytes(record, existing, bytes);
  if (!outcome.ok) return outcome;
  if (const FileResult replaced = ReplaceRegularFile(target, bytes, access); !replaced.ok()) {
    return {false,
            BilingualText::Format(ExtraText::CannotWrite, {path.string(), replaced.Reason()})};
  }
  return {true, {}};
}

}  // namespace zdl
