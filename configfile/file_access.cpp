#include "configfile/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <streambuf>
#include <system_error>
#include <utility>

namespace zdl {

namespace {

// The kernel's own limit on a chain of symbolic links.
constexpr int kMaxLinks = 40;
constexpr std::size_t kChunk = 64 * 1024;

FileResult SystemFault(int error) { return {FileFault::System, error}; }
FileResult NotRegular() { return {FileFault::NotRegular, 0}; }

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  // Closes now, reporting the error (a deferred write error can surface here).
  int Close() {
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

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

// Opens a fresh temporary file in `folder`: ".zdl" and six random letters or digits, so
// it fits beside a name of any length the folder can hold.
int CreateTemporary(const std::filesystem::path& folder, mode_t mode,
                    std::filesystem::path& temporary, int& fd) {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device entropy;
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".zdl";
    for (int i = 0; i < 6; ++i) name += kLetters[pick(entropy)];
    temporary = folder / name;
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Gives the temporary the owner and group of the file it replaces, as far as the process
// may: a user who is not the owner can still keep the group when a member of it.
void KeepOwner(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) == 0) return;
  if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0) return;
  // EPERM: the file becomes the saving user's, as any new file would.
}

// The absolute path with the symbolic links of its existing folders resolved, "." and
// ".." taken out.
std::filesystem::path Normalised(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path.lexically_normal();
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
  return (error ? absolute : canonical).lexically_normal();
}

}  // namespace

BilingualText FileResult::Reason(std::string_view limit) const {
  switch (fault) {
    case FileFault::None: return {};
    case FileFault::System: return std::generic_category().message(error);
    case FileFault::NotRegular: return BilingualText::Format(ExtraText::NotRegularFile);
    case FileFault::TooLarge: return BilingualText::Format(ExtraText::FileTooLarge, {limit});
  }
  return {};
}

FileResult ReadRegularFile(const std::filesystem::path& path, std::size_t limit,
                           std::string& bytes) {
  bytes.clear();
  // The kind and size before opening: a FIFO or a device is never opened at all.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return SystemFault(errno);
  if (!S_ISREG(st.st_mode)) return NotRegular();
  if (static_cast<std::uintmax_t>(st.st_size) > limit) return {FileFault::TooLarge, 0};
  // Something else may have taken its name meanwhile: the open cannot block, and the
  // file is looked at again once open.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return SystemFault(errno);
  if (::fstat(fd.get(), &st) != 0) return SystemFault(errno);
  if (!S_ISREG(st.st_mode)) return NotRegular();
  bytes.reserve(std::min(static_cast<std::size_t>(st.st_size), limit));
  char buffer[kChunk];
  for (;;) {
    // One byte beyond the limit tells a file that grew past it.
    const std::size_t wanted = std::min(kChunk, limit + 1 - bytes.size());
    const ssize_t n = ::read(fd.get(), buffer, wanted);
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      bytes.clear();
      return SystemFault(error);
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > limit) {
      bytes.clear();
      return {FileFault::TooLarge, 0};
    }
  }
}

FileResult ResolveLinks(const std::filesystem::path& path, std::filesystem::path& target) {
  std::filesystem::path at = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0) {
      if (errno != ENOENT) return SystemFault(errno);
      target = at;  // not there yet (a dangling link's target): written as a new file
      return {};
    }
    if (!S_ISLNK(st.st_mode)) {
      target = at;
      return {};
    }
    std::error_code error;
    const std::filesystem::path next = std::filesystem::read_symlink(at, error);
    if (error) return SystemFault(error.value());
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return SystemFault(ELOOP);
}

FileResult ReplaceRegularFile(const std::filesystem::path& path, std::string_view bytes,
                              FileAccess access) {
  std::filesystem::path target;
  if (FileResult resolved = ResolveLinks(path, target); !resolved.ok()) return resolved;
  struct stat old {};
  bool exists = false;
  if (::lstat(target.c_str(), &old) == 0) {
    if (!S_ISREG(old.st_mode)) return NotRegular();
    exists = true;
  } else if (errno != ENOENT) {
    return SystemFault(errno);
  }

  // Written while readable by the owner only, so an old file's readers never see more
  // than they could before; a new file of Keep is created as any new file is.
  const bool ownerOnly = access == FileAccess::OwnerOnly;
  const mode_t createMode = ownerOnly || exists ? 0600 : 0666;
  const std::filesystem::path parent = target.parent_path();
  const std::filesystem::path folder = parent.empty() ? std::filesystem::path(".") : parent;
  std::filesystem::path temporary;
  int rawFd = -1;
  if (const int error = CreateTemporary(folder, createMode, temporary, rawFd)) {
    return SystemFault(error);
  }
  Fd fd(rawFd);

  if (exists) KeepOwner(fd.get(), old);  // before the mode: a change of owner clears set-id bits
  int error = WriteAll(fd.get(), bytes);
  if (error == 0 && ownerOnly && ::fchmod(fd.get(), 0600) != 0) error = errno;
  if (error == 0 && !ownerOnly && exists && ::fchmod(fd.get(), old.st_mode & 07777) != 0) {
    error = errno;
  }
  if (error == 0 && ::fsync(fd.get()) != 0) error = errno;
  const int closeError = fd.Close();
  if (error == 0) error = closeError;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return SystemFault(error);
  }
  // Make the rename itself durable; the new file is complete either way.
  Fd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.get() >= 0) ::fsync(folderFd.get());
  return {};
}

// An output buffer that hands every byte to the descriptor at once (the trace flushes
// line by line anyway, and must be complete however the program ends).
class LogFile::Buffer final : public std::streambuf {
 public:
  explicit Buffer(int fd) : fd_(fd) {}
  ~Buffer() override {
    if (fd_ >= 0) ::close(fd_);
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return WriteAll(fd_, std::string_view(&byte, 1)) == 0 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    return WriteAll(fd_, std::string_view(text, static_cast<std::size_t>(count))) == 0 ? count : 0;
  }

 private:
  int fd_;
};

LogFile::LogFile() : stream_(std::make_unique<std::ostream>(nullptr)) {}

LogFile::~LogFile() {
  stream_.reset();
  buffer_.reset();
}

FileResult LogFile::Open(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return NotRegular();
  } else if (errno != ENOENT) {
    return SystemFault(errno);
  }
  // Not emptied before it is known to be a regular file; a FIFO that took the name
  // meanwhile makes the open fail (no reader) or is refused below (a reader).
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600));
  if (fd.get() < 0) return SystemFault(errno);
  if (::fstat(fd.get(), &st) != 0) return SystemFault(errno);
  if (!S_ISREG(st.st_mode)) return NotRegular();
  if (::fchmod(fd.get(), 0600) != 0 || ::ftruncate(fd.get(), 0) != 0) return SystemFault(errno);
  stream_.reset();
  buffer_ = std::make_unique<Buffer>(fd.release());
  stream_ = std::make_unique<std::ostream>(buffer_.get());
  return {};
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::filesystem::path endA;
  std::filesystem::path endB;
  if (!ResolveLinks(a, endA).ok()) endA = a;
  if (!ResolveLinks(b, endB).ok()) endB = b;
  struct stat stA {};
  struct stat stB {};
  const bool hasA = ::stat(endA.c_str(), &stA) == 0;
  const bool hasB = ::stat(endB.c_str(), &stB) == 0;
  if (hasA && hasB) return stA.st_dev == stB.st_dev && stA.st_ino == stB.st_ino;
  if (hasA != hasB) return false;
  return Normalised(endA) == Normalised(endB);
}

}  // namespace zdl
