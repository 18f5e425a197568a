#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zdl::testing {

namespace {

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, int outFd, int errFd) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setsid();  // no controlling terminal
  dup2(open("/dev/null", O_RDONLY), 0);
  dup2(outFd, 1);
  dup2(errFd, 2);
  std::vector<char*> ptrs;
  for (const std::string& a : argv) ptrs.push_back(const_cast<char*>(a.c_str()));
  ptrs.push_back(nullptr);
  execv(ptrs[0], ptrs.data());
  _exit(127);
}

ProcessResult RunProcess(const std::vector<std::string>& argv) {
  int out[2];
  std::FILE* err = std::tmpfile();  // stderr in a file: no pipe to keep drained
  if (err == nullptr || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = Spawn(argv, out[1], fileno(err));
  close(out[1]);
  ProcessResult result;
  ReadUntilClosed(out[0], result.out, -1);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = ExitCode(status);
  result.err = ReadFileBytes("/proc/self/fd/" + std::to_string(fileno(err)));
  std::fclose(err);
  return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = Spawn(argv, out[1], 2);
  close(out[1]);
  outFd_ = out[0];
  // The first line, or nothing within ten seconds.
  char c = 0;
  pollfd fd{outFd_, POLLIN, 0};
  while (poll(&fd, 1, 10000) > 0 && read(outFd_, &c, 1) == 1 && c != '\n') firstLine_ += c;
}

BackgroundProcess::~BackgroundProcess() { Stop(); }

int BackgroundProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (outFd_ >= 0) close(outFd_);
  outFd_ = -1;
  return ExitCode(status);
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zdl-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void ReadUntilClosed(int fd, std::string& text, int quietMs) {
  char buffer[256];
  pollfd readable{fd, POLLIN, 0};
  ssize_t n = 0;
  while (poll(&readable, 1, quietMs) > 0 && (n = read(fd, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
}

}  // namespace zdl::testing
