// The terminal side of the unit commands: the password asked without echo, the
// no-priority question, progress on one updated line, and Ctrl-C ending a wait cleanly.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "cli/cli.h"
#include "link/connection.h"
#include "link/progress.h"

namespace zdl::cli {

// True when the process can talk to the user (/dev/tty opens).
bool HaveTerminal();

// Reads one line from the terminal; without echo when `echo` is false. Empty when there
// is no terminal, it was closed, or `interruptFd` (see InterruptWatch) became readable.
std::optional<std::string> AskTerminal(const std::string& prompt, bool echo, int interruptFd = -1);

// The password prompt and message boxes of a connection. Messages go to stderr always;
// status texts are progress, shown only when stderr is a terminal. A message that repeats
// the status just shown ("Bad password" twice) is not printed again.
class TerminalConnectionUi final : public ConnectionUi {
 public:
  // `password`: given on the command line or in ZDL410_PASSWORD; offered once (a refusal
  // is not retried with the same text). Without it the user is asked on the terminal.
  TerminalConnectionUi(const Context& ctx, std::optional<std::string> password, int interruptFd);

  std::optional<std::string> AskPassword() override;
  void Message(TextId offset) override;
  void ErrorMessage(const BilingualText& description) override;
  void Status(TextId offset) override;

  // Why no password could be had (no terminal), for the final report.
  const std::string& Problem() const { return problem_; }

  // After a failed start: prints the reason of a failed dial on stderr when no message
  // has told why and the status was not shown (no terminal), so a script learns why as a
  // user at a terminal does.
  void ReportFailureReason(const Started& started);

 private:
  const Context& ctx_;
  std::optional<std::string> password_;
  int interruptFd_;
  bool offered_ = false;
  std::string problem_;
  bool statusOnTerminal_;
  std::string shownStatus_;  // the status text just printed, until something else is
  bool reasonTold_ = false;  // a message or an error description was printed
};

// Status texts as lines and the bar as "value/maximum" on one updated line of stderr,
// when stderr is a terminal.
class TerminalProgress final : public ProgressSink {
 public:
  explicit TerminalProgress(const Context& ctx);
  ~TerminalProgress() override;
  void Status(TextId offset) override;
  void Range(int maximum) override;
  void Value(int value) override;

 private:
  void Draw();
  const Context& ctx_;
  bool tty_;
  bool drawn_ = false;
  int maximum_ = 0;
  int value_ = 0;
  std::string status_;
};

// Runs `onInterrupt` (from another thread) when SIGINT or SIGTERM arrives while this
// object lives, and makes WakeFd() readable, so a prompt waiting on the terminal ends
// too. The signals are blocked for the whole process while it lives, so the waiting
// thread is the only one that sees them.
class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> onInterrupt);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;
  bool Interrupted() const { return interrupted_; }
  int WakeFd() const { return wake_[0]; }

 private:
  std::function<void()> onInterrupt_;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<bool> interrupted_{false};
};

}  // namespace zdl::cli
