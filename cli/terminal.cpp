#include "cli/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "model/validators.h"
#include "text/extra_texts.h"

namespace zdl::cli {

bool HaveTerminal() {
  int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::optional<std::string> AskTerminal(const std::string& prompt, bool echo, int interruptFd) {
  int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  if (::write(fd, prompt.data(), prompt.size()) < 0) {
    ::close(fd);
    return std::nullopt;
  }
  termios saved{};
  bool restore = false;
  if (!echo && ::tcgetattr(fd, &saved) == 0) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    restore = ::tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
  }
  std::string line;
  bool gotLine = false;
  bool interrupted = false;
  char c = 0;
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {interruptFd, POLLIN, 0}};
    if (::poll(fds, interruptFd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) break;
    if (interruptFd >= 0 && (fds[1].revents & POLLIN)) {
      interrupted = true;
      break;
    }
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    if (::read(fd, &c, 1) != 1) break;
    if (c == '\n') {
      gotLine = true;
      break;
    }
    if (c != '\r') line += c;
  }
  if (restore) {
    ::tcsetattr(fd, TCSAFLUSH, &saved);
    if (::write(fd, "\n", 1) < 0) {
      // Nothing to do: the answer was read.
    }
  }
  ::close(fd);
  if (interrupted || (!gotLine && line.empty())) return std::nullopt;
  return line;
}

std::optional<std::string> TerminalConnectionUi::AskPassword() {
  if (password_) {
    if (offered_) return std::nullopt;
    offered_ = true;
    if (!IsNumberText(*password_)) {
      Message(TextId::NotValidPassword);
      return std::nullopt;
    }
    return password_;
  }
  for (;;) {
    std::optional<std::string> typed = AskTerminal(ctx_.Text(TextId::EnterPassword) + " ", false, interruptFd_);
    if (!typed) {
      if (!HaveTerminal()) problem_ = ExtraTextIn(ctx_.lang, ExtraText::NoPasswordTerminal);
      if (interruptFd_ >= 0) {
        pollfd wake{interruptFd_, POLLIN, 0};
        if (::poll(&wake, 1, 0) > 0) problem_ = "interrupted";
      }
      return std::nullopt;
    }
    if (typed->empty()) return std::nullopt;  // an empty answer cancels, as the prompt's Cancel
    if (IsNumberText(*typed)) return typed;
    Message(TextId::NotValidPassword);
  }
}

TerminalConnectionUi::TerminalConnectionUi(const Context& ctx, std::optional<std::string> password,
                                           int interruptFd)
    : ctx_(ctx),
      password_(std::move(password)),
      interruptFd_(interruptFd),
      statusOnTerminal_(::isatty(STDERR_FILENO) != 0) {}

void TerminalConnectionUi::Message(TextId offset) {
  const std::string text = ctx_.Text(offset);
  if (text != shownStatus_) std::cerr << text << '\n';
  shownStatus_.clear();
  reasonTold_ = true;
}

void TerminalConnectionUi::ErrorMessage(const BilingualText& description) {
  std::cerr << description.In(ctx_.lang) << '\n';
  shownStatus_.clear();
  reasonTold_ = true;
}

void TerminalConnectionUi::Status(TextId offset) {
  shownStatus_.clear();
  if (!statusOnTerminal_) return;
  shownStatus_ = ctx_.Text(offset);
  std::cerr << shownStatus_ << '\n';
}

void TerminalConnectionUi::ReportFailureReason(const Started& started) {
  if (reasonTold_ || statusOnTerminal_ || started.result != StartResult::DialFailed ||
      started.dial == DialOutcome::NotDialled) {
    return;
  }
  std::cerr << ctx_.Text(DialOutcomeText(started.dial)) << '\n';
  reasonTold_ = true;
}

TerminalProgress::TerminalProgress(const Context& ctx) : ctx_(ctx), tty_(::isatty(STDERR_FILENO)) {}

TerminalProgress::~TerminalProgress() {
  if (drawn_) std::cerr << '\n';
}

void TerminalProgress::Status(TextId offset) {
  status_ = ctx_.Text(offset);
  Draw();
}

void TerminalProgress::Range(int maximum) {
  maximum_ = maximum;
  Draw();
}

void TerminalProgress::Value(int value) {
  if (value == value_) return;
  value_ = value;
  Draw();
}

void TerminalProgress::Draw() {
  if (!tty_ || maximum_ <= 0) return;
  int width = 30;
  int filled = value_ * width / maximum_;
  std::cerr << '\r' << status_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << value_ << '/'
            << maximum_ << "\x1b[K" << std::flush;
  drawn_ = true;
}

namespace {

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGUSR1);  // our own wake-up at the end
  return set;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  thread_ = std::thread([this, set] {
    int signal = 0;
    while (sigwait(&set, &signal) == 0) {
      if (signal == SIGUSR1) return;
      interrupted_ = true;
      onInterrupt_();
      if (wake_[1] >= 0 && ::write(wake_[1], "!", 1) < 0) {
        // The pipe is full: the prompt has been woken already.
      }
    }
  });
}

InterruptWatch::~InterruptWatch() {
  pthread_kill(thread_.native_handle(), SIGUSR1);
  thread_.join();
  sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  for (int fd : wake_) {
    if (fd >= 0) ::close(fd);
  }
}

}  // namespace zdl::cli
