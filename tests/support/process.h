// Running the project's programs from tests: a command to completion with its output, or
// a background server (the simulated unit) stopped by its process id.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zdl::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Starts argv[0] with the arguments in a new session (no controlling terminal), stdin from
// /dev/null, stdout and stderr on the given descriptors.
pid_t Spawn(const std::vector<std::string>& argv, int outFd, int errFd);

// Runs argv[0] with the arguments, stdin from /dev/null and no controlling terminal (so a
// program that would ask on the terminal cannot), and waits for it.
ProcessResult RunProcess(const std::vector<std::string>& argv);

class BackgroundProcess {
 public:
  // Starts argv and reads its first line of standard output (e.g. a pseudo-terminal path).
  explicit BackgroundProcess(const std::vector<std::string>& argv);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  const std::string& FirstLine() const { return firstLine_; }
  pid_t Pid() const { return pid_; }
  // Sends SIGTERM and waits; returns the exit code (-1 when killed by a signal).
  int Stop();

 private:
  pid_t pid_ = -1;
  int outFd_ = -1;
  std::string firstLine_;
};

// A fresh temporary directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);

// Everything readable from `fd` until its writers close it (or nothing comes for
// `quietMs`; -1: no limit), appended to `text`; closes `fd`.
void ReadUntilClosed(int fd, std::string& text, int quietMs = 10000);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace zdl::testing
