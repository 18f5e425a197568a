#include "configfile/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <system_error>
#include <utility>

#include "configfile/formats.h"
#include "configfile/ini_document.h"
#include "model/text_codec.h"

namespace zdl {

namespace {

constexpr int kMsgNewerVersion = 183;
constexpr int kMsgNotConfigFile = 184;
constexpr int kMsgErrorTitle = 185;
constexpr int kMsgFileNotFound = 186;

std::string Reason(int error) { return std::generic_category().message(error); }

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting the error (a deferred write error can surface here).
  int Close() {
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// The whole file; 0 or the errno of the failure.
int ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  bytes.clear();
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// Creates a fresh temporary file beside `target` (same directory, so the rename is
// atomic); its mode is the target's when that exists, else what the umask allows.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temporary,
                    int& fd) {
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target;
    temporary += ".tmp" + std::to_string(entropy() % 1000000);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      if (exists) ::fchmod(fd, old.st_mode & 07777);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Writes `bytes` to a temporary file beside `target`, flushes it to disk and renames it
// over the target. On failure the target is untouched and the temporary removed.
int ReplaceFile(const std::filesystem::path& target, std::string_view bytes) {
  std::filesystem::path temporary;
  int raw_fd = -1;
  if (const int error = CreateTemporary(target, temporary, raw_fd)) return error;
  Fd fd(raw_fd);
  int error = WriteAll(fd.get(), bytes);
  if (error == 0 && ::fsync(fd.get()) != 0) error = errno;
  const int close_error = fd.Close();
  if (error == 0) error = close_error;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  // Make the rename itself durable; the new file is complete either way.
  std::filesystem::path dir = target.parent_path();
  Fd dir_fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir_fd.get() >= 0) ::fsync(dir_fd.get());
  return 0;
}

// The file a save replaces: the end of a symbolic link, so the link itself stays.
std::filesystem::path SaveTarget(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : resolved;
}

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
    case LoadStatus::LoadedNewer: return std::string(LangText(lang, kMsgNewerVersion));
    case LoadStatus::NotConfigFile: return std::string(LangText(lang, kMsgNotConfigFile));
    case LoadStatus::FileNotFound: return std::string(LangText(lang, kMsgFileNotFound));
    case LoadStatus::Failed: return outcome.description.In(lang);
  }
  return {};
}

std::string LoadMessageTitle(const LoadOutcome& outcome, Lang lang) {
  const bool error =
      outcome.status == LoadStatus::FileNotFound || outcome.status == LoadStatus::Failed;
  return error ? std::string(LangText(lang, kMsgErrorTitle)) : std::string();
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
  if (const int error = ReadWholeFile(path, bytes)) {
    LoadOutcome outcome;
    if (error == ENOENT || error == ENOTDIR) {
      outcome.status = LoadStatus::FileNotFound;
    } else {
      outcome.status = LoadStatus::Failed;
      outcome.description =
          BilingualText::Format(ExtraText::CannotRead, {path.string(), Reason(error)});
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

SaveOutcome SaveConfigFile(const std::filesystem::path& path, const ConfigurationRecord& record) {
  const std::filesystem::path target = SaveTarget(path);
  // The old file's other sections and keys are kept, so it must be readable.
  std::string existing;
  if (const int error = ReadWholeFile(target, existing); error != 0 && error != ENOENT) {
    return {false, BilingualText::Format(ExtraText::CannotRead, {path.string(), Reason(error)})};
  }
  std::string bytes;
  SaveOutcome outcome = SaveConfigBytes(record, existing, bytes);
  if (!outcome.ok) return outcome;
  if (const int error = ReplaceFile(target, bytes)) {
    return {false, BilingualText::Format(ExtraText::CannotWrite, {path.string(), Reason(error)})};
  }
  return {true, {}};
}

}  // namespace zdl
