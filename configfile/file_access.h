// Reading and replacing files without surprises. Only regular files are read or
// replaced: nothing opens a FIFO, a device or a folder in a way that can block (the kind
// is looked at before the file is opened and again once it is open), and a read stops at
// a size limit. A replacement is atomic (written beside the file and renamed over it) and
// keeps what it replaces: mode, owner and group, and a symbolic link, whose target is
// written. Traces, backups and anything else that carries the unit's secrets are
// created readable by their owner only.
#pragma once

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "text/extra_texts.h"

namespace zdl {

// Far above any real configuration file (a full one is some 8 KB).
inline constexpr std::size_t kMaxConfigFileSize = 1024 * 1024;

enum class FileFault {
  None,
  System,      // the system refused: `error` holds errno (ENOENT for a missing file)
  NotRegular,  // a folder, a FIFO, a device, a socket
  TooLarge,    // above the limit of the read
};

struct FileResult {
  FileFault fault = FileFault::None;
  int error = 0;  // errno, for System

  bool ok() const { return fault == FileFault::None; }
  bool Missing() const { return fault == FileFault::System && error == ENOENT; }
  // Why, in words ("not a regular file", the system's description), both languages.
  // `limit` names the size limit for TooLarge ("1 MiB").
  BilingualText Reason(std::string_view limit = "1 MiB") const;
};

// The whole regular file at `path`, at most `limit` bytes.
FileResult ReadRegularFile(const std::filesystem::path& path, std::size_t limit,
                           std::string& bytes);

// Who may read a replaced or created file.
enum class FileAccess {
  Keep,       // an existing file's mode; a new file's as the umask allows
  OwnerOnly,  // 0600 whatever was there (traces, backups)
};

// The file a write to `path` changes: `path` itself, or the end of the chain of symbolic
// links it starts, also when that end does not exist yet (a dangling link). The links
// stay. ELOOP after too many links.
FileResult ResolveLinks(const std::filesystem::path& path, std::filesystem::path& target);

// Replaces the file at `path` (after ResolveLinks) with `bytes`: a temporary file of a
// short name in the same folder, flushed to disk, then renamed over it. An existing file
// must be regular; its owner and group are kept where the process may set them, its mode
// as `access` says. On failure the old file is untouched and no temporary is left.
FileResult ReplaceRegularFile(const std::filesystem::path& path, std::string_view bytes,
                              FileAccess access = FileAccess::Keep);

// A log written from the start: `path` is created (0600) or, when it is an existing
// regular file, emptied and made 0600. Never opens anything else, and never blocks.
class LogFile {
 public:
  LogFile();
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  FileResult Open(const std::filesystem::path& path);
  // Written through unbuffered; false once a write has failed (and before an Open that
  // succeeded).
  std::ostream& Stream() { return *stream_; }

 private:
  class Buffer;
  std::unique_ptr<Buffer> buffer_;
  std::unique_ptr<std::ostream> stream_;
};

// Whether `a` and `b` name the same file: the same device and inode when both exist,
// otherwise the same absolute path once normalised (symbolic links of the existing
// folders resolved).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace zdl
