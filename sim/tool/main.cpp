// zdl410-sim: a simulated unit on a pseudo-terminal. Prints the terminal's path on the
// first line of standard output, then answers whatever opens that terminal until SIGINT,
// SIGTERM or SIGHUP; SIGUSR1 switches the unit off and on. Exit status 0 after a signal,
// 1 on a failure, 2 on bad usage (a --link path that is not ours to replace included).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "configfile/config_file.h"
#include "configfile/file_access.h"
#include "link/clock.h"
#include "sim/simulated_unit.h"
#include "sim/unit_setup.h"

namespace zdl {
namespace {

constexpr const char* kUsage =
    "usage: zdl410-sim [options]\n"
    "A simulated ZDL410 unit on a pseudo-terminal; prints the terminal's path, runs until\n"
    "SIGINT or SIGTERM.\n"
    "  --link PATH          also make PATH a symbolic link to the terminal (removed on exit);\n"
    "                       an existing PATH is replaced only when it is a symbolic link\n"
    "                       into /dev/pts/ (left by a killed run), else refused (status 2)\n"
    "  --password PW        the unit's password (default 1234)\n"
    "  --modem              a Hayes modem in front of the unit (ATD to connect)\n"
    "  --dial-reply TEXT    the modem's answer to ATD (default \"CONNECT 9600\"; BUSY,\n"
    "                       NO ANSWER, NO CARRIER, NO DIALTONE, ERROR fail the call)\n"
    "  --modem-mute         a modem that answers no command\n"
    "  --paced              9600 baud timing in both directions\n"
    "  --no-datalogger      a unit without the data-logger functions\n"
    "  --unit-version TEXT  the version text the unit reports (default \"ZDL410 v5.01\");\n"
    "                       --version TEXT is the same when TEXT does not start with \"-\"\n"
    "  --config FILE.ncf    start from that configuration\n"
    "  --save-ms N          milliseconds between #ACK and #SAVE_OK after #03\n"
    "  --bad-checksum N     send the Nth answer with a wrong checksum\n"
    "  --silent-after N     answer nothing after N answers\n"
    "  --drop-record R      leave out record R of the first #02 stream\n"
    "  --corrupt-record R   send record R changed in every #02 stream (a value the unit\n"
    "                       does not keep)\n"
    "  --garbage            send noise before every answer\n"
    "  --refuse-password    refuse every password\n"
    "  --flood              send nothing but bytes without \"#\", CR or \"*\", as fast as\n"
    "                       the terminal takes them (a device that keeps sending noise)\n"
    "  --flood-open-line    the same, each run of bytes starting with \"#\" (answers\n"
    "                       that never end)\n"
    "  --endless-read       every #02 stream repeats its records and never sends 999\n"
    "  --bootloader         the unit's boot loader instead (firmware upload); it announces\n"
    "                       \"*\" at start and after each SIGUSR1 (the unit switched off and on)\n"
    "  --save-received PATH on exit, write the file bytes the boot loader received to PATH\n"
    "  --no-progress-mark N leave out the boot loader's \".\" at the Nth progress check\n"
    "  --no-ok              the boot loader never answers \"Ok\"\n"
    "  --no-erase-answer    the boot loader does not answer \"D\"\n"
    "  --verbose            log the dialogue to standard error\n"
    "  --help               show this text\n"
    "  --version            alone or before another option: print the program's\n"
    "                       version and exit\n";

struct Args {
  SimOptions options;
  std::optional<std::string> link;
  std::optional<std::string> config;
  std::optional<std::string> saveReceived;
  bool bootLoader = false;
  BootLoaderFaults bootFaults;
  bool verbose = false;
  bool help = false;
  bool programVersion = false;
};

std::optional<int> Count(std::string_view text, int minimum, int maximum) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < minimum ||
      value > maximum) {
    return std::nullopt;
  }
  return value;
}

// Empty and a message in `error` on bad usage.
std::optional<Args> ParseArgs(const std::vector<std::string_view>& argv, std::string& error) {
  Args args;
  SimFaults& faults = args.options.faults;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= argv.size()) return std::nullopt;
      return argv[++i];
    };
    auto count = [&](int minimum, int maximum) -> std::optional<int> {
      const auto text = value();
      return text ? Count(*text, minimum, maximum) : std::nullopt;
    };
    std::optional<int> number;
    if (arg == "--help") {
      args.help = true;
    } else if (arg == "--version" && i + 1 < argv.size() &&
               (argv[i + 1].empty() || argv[i + 1][0] != '-')) {
      // The unit's version text: the older spelling of --unit-version.
      const auto text = value();
      if (!text || text->empty()) {
        error = "--version needs a value";
        return std::nullopt;
      }
      args.options.version = std::string(*text);
    } else if (arg == "--version") {
      args.programVersion = true;
    } else if (arg == "--modem") {
      args.options.modem = true;
    } else if (arg == "--modem-mute") {
      args.options.modemMute = true;
    } else if (arg == "--paced") {
      args.options.paced = true;
    } else if (arg == "--no-datalogger") {
      args.options.hasDatalogger = false;
    } else if (arg == "--garbage") {
      faults.garbage = true;
    } else if (arg == "--refuse-password") {
      faults.refusePassword = true;
    } else if (arg == "--flood") {
      faults.flood = SimFlood::Noise;
    } else if (arg == "--flood-open-line") {
      faults.flood = SimFlood::OpenLine;
    } else if (arg == "--endless-read") {
      faults.endlessStream = true;
    } else if (arg == "--bootloader") {
      args.bootLoader = true;
    } else if (arg == "--no-ok") {
      args.bootFaults.noOk = true;
    } else if (arg == "--no-erase-answer") {
      args.bootFaults.noEraseAnswer = true;
    } else if (arg == "--no-progress-mark" && (number = count(1, 1000000000))) {
      args.bootFaults.noProgressMarkAt = *number;
    } else if (arg == "--verbose") {
      args.verbose = true;
    } else if (arg == "--link" || arg == "--password" || arg == "--unit-version" ||
               arg == "--config" || arg == "--save-received" || arg == "--dial-reply") {
      const auto text = value();
      if (!text || text->empty()) {
        error = std::string(arg) + " needs a value";
        return std::nullopt;
      }
      if (arg == "--link") args.link = std::string(*text);
      if (arg == "--password") args.options.password = std::string(*text);
      if (arg == "--unit-version") args.options.version = std::string(*text);
      if (arg == "--config") args.config = std::string(*text);
      if (arg == "--save-received") args.saveReceived = std::string(*text);
      if (arg == "--dial-reply") args.options.dialReply = std::string(*text);
    } else if (arg == "--save-ms" && (number = count(0, 3600000))) {
      args.options.saveTime = Millis(*number);
    } else if (arg == "--bad-checksum" && (number = count(1, 1000000))) {
      faults.badChecksumAnswer = *number;
    } else if (arg == "--silent-after" && (number = count(0, 1000000))) {
      faults.silentAfter = *number;
    } else if (arg == "--drop-record" && (number = count(0, 999))) {
      faults.dropRecord = *number;
    } else if (arg == "--corrupt-record" && (number = count(0, 999))) {
      faults.corruptRecord = *number;
    } else if (arg == "--save-ms" || arg == "--bad-checksum" || arg == "--silent-after" ||
               arg == "--drop-record" || arg == "--corrupt-record" || arg == "--no-progress-mark") {
      error = std::string(arg) + " needs a whole number in range";
      return std::nullopt;
    } else {
      error = "unknown option " + std::string(arg);
      return std::nullopt;
    }
  }
  if (args.saveReceived && !args.bootLoader) {
    error = "--save-received needs --bootloader";
    return std::nullopt;
  }
  if (args.bootLoader) args.options.bootLoader = BootLoaderOptions{args.options.paced, args.bootFaults};
  return args;
}

// Starts the unit from a configuration file, as if the tool had written it.
bool LoadConfiguration(const std::string& path, SimulatedUnit& unit) {
  ConfigurationRecord record;
  const LoadOutcome outcome = LoadConfigFile(path, record);
  if (!outcome.loaded()) {
    std::cerr << "zdl410-sim: cannot load " << path << ": "
              << LoadMessage(outcome, Lang::English) << '\n';
    return false;
  }
  for (const std::string& line : StartFromConfiguration(unit, record)) {
    std::cerr << "zdl410-sim: the unit cannot take the line " << line << '\n';
  }
  return true;
}

class Pty {
 public:
  ~Pty() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }

  // Opens the pair in raw mode at 9600 baud; keeps a descriptor of the terminal side
  // open so that the master never sees a hang-up when a user closes the port.
  bool Open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
      return false;
    }
    char name[256];
    if (ptsname_r(master_, name, sizeof name) != 0) {
      error = std::string("ptsname: ") + std::strerror(errno);
      return false;
    }
    path_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY);
    termios settings{};
    if (slave_ < 0 || tcgetattr(slave_, &settings) != 0) {
      error = "cannot open " + path_ + ": " + std::strerror(errno);
      return false;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(slave_, TCSANOW, &settings) != 0 ||
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
      error = std::string("cannot set up the terminal: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  int Master() const { return master_; }
  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// The symbolic link of --link, removed when the object goes if it is still the one made.
// Only a symbolic link into /dev/pts/ (a terminal link, most likely left by a run that was
// killed) is replaced; any other file at the path is refused.
class Link {
 public:
  ~Link() {
    if (!path_.empty() && Target(path_) == target_) unlink(path_.c_str());
  }
  // False with a message in `error`; `refused` tells a path that was not ours to replace.
  bool Make(const std::string& target, const std::string& path, std::string& error, bool& refused) {
    struct stat info{};
    if (lstat(path.c_str(), &info) == 0) {
      const std::optional<std::string> old = Target(path);
      if (!old || !old->starts_with("/dev/pts/")) {
        refused = true;
        error = "--link " + path + ": the path exists and is not a link to a pseudo-terminal; "
                "remove it or choose another path";
        return false;
      }
      unlink(path.c_str());
    }
    if (symlink(target.c_str(), path.c_str()) != 0) {
      error = "cannot make the link " + path + ": " + std::strerror(errno);
      return false;
    }
    path_ = path;
    target_ = target;
    return true;
  }

 private:
  // Where the symbolic link at `path` points; empty when it is not one.
  static std::optional<std::string> Target(const std::string& path) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof target) return std::nullopt;
    return std::string(target, static_cast<std::size_t>(n));
  }

  std::string path_;
  std::optional<std::string> target_;
};

// A descriptor that becomes readable on SIGINT, SIGTERM, SIGHUP or SIGUSR1 (blocked
// otherwise).
int SignalDescriptor() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  sigaddset(&signals, SIGUSR1);
  if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
  signal(SIGPIPE, SIG_IGN);
  return signalfd(-1, &signals, SFD_CLOEXEC);
}

void PrintTrace(SimulatedUnit& unit, bool verbose) {
  for (const std::string& entry : unit.TakeTrace()) {
    if (verbose) std::cerr << "zdl410-sim: " << entry << '\n';
  }
}

// The wait until `due` for ppoll(), to the microsecond so a paced byte leaves on time;
// nullptr (block) when nothing is due.
const timespec* PollTimeout(std::optional<Micros> due, Micros now, timespec& storage) {
  if (!due) return nullptr;
  const long long wait = *due <= now ? 0 : (*due - now).count();
  storage.tv_sec = static_cast<time_t>(wait / 1000000);
  storage.tv_nsec = static_cast<long>(wait % 1000000) * 1000;
  return &storage;
}

// Serves the unit on the terminal until a signal other than SIGUSR1 (a power cycle)
// arrives. False on an I/O failure.
bool Serve(SimulatedUnit& unit, int master, int signals, bool verbose) {
  SteadyClock clock;
  std::string pending;  // answer bytes due but not yet taken by the terminal
  char buffer[4096];
  for (;;) {
    const Micros now = clock.Now();
    // What the terminal has not taken yet stays with the unit (a flood has no end).
    if (pending.size() < sizeof buffer) pending += unit.TakeOutput(now);
    PrintTrace(unit, verbose);
    pollfd fds[2] = {{master, static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0},
                     {signals, POLLIN, 0}};
    timespec storage{};
    const timespec* timeout =
        pending.empty() ? PollTimeout(unit.NextOutputTime(), now, storage) : nullptr;
    if (ppoll(fds, 2, timeout, nullptr) < 0) {
      if (errno == EINTR) continue;
      std::cerr << "zdl410-sim: poll: " << std::strerror(errno) << '\n';
      return false;
    }
    if (fds[1].revents != 0) {
      signalfd_siginfo info{};
      if (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info) &&
          info.ssi_signo == SIGUSR1) {
        unit.PowerCycle(clock.Now());
        pending.clear();
        continue;
      }
      return true;
    }
    if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
      std::cerr << "zdl410-sim: the pseudo-terminal failed\n";
      return false;
    }
    if ((fds[0].revents & POLLIN) != 0) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n > 0) unit.Receive(std::string_view(buffer, static_cast<std::size_t>(n)), clock.Now());
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        std::cerr << "zdl410-sim: read: " << std::strerror(errno) << '\n';
        return false;
      }
    }
    if ((fds[0].revents & POLLOUT) != 0 && !pending.empty()) {
      const ssize_t n = write(master, pending.data(), pending.size());
      if (n > 0) pending.erase(0, static_cast<std::size_t>(n));
    }
  }
}

int Run(int argc, char** argv) {
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  std::string error;
  const auto args = ParseArgs(arguments, error);
  if (!args) {
    std::cerr << "zdl410-sim: " << error << '\n' << kUsage;
    return 2;
  }
  if (args->help) {
    std::cout << kUsage;
    return 0;
  }
  if (args->programVersion) {
    std::cout << "zdl410-sim " ZDL_VERSION "\nLicence: GPL-3.0-or-later\n";
    return 0;
  }
  SimulatedUnit unit(args->options);
  if (args->config && !LoadConfiguration(*args->config, unit)) return 1;

  const int signals = SignalDescriptor();
  Pty pty;
  Link link;
  if (signals < 0) error = std::string("signalfd: ") + std::strerror(errno);
  bool refused = false;
  const bool ready = signals >= 0 && pty.Open(error) &&
                     (!args->link || link.Make(pty.Path(), *args->link, error, refused));
  if (!ready) {
    std::cerr << "zdl410-sim: " << error << '\n';
    if (signals >= 0) close(signals);
    return refused ? 2 : 1;
  }
  std::cout << pty.Path() << std::endl;
  const bool served = Serve(unit, pty.Master(), signals, args->verbose);
  close(signals);
  if (args->saveReceived && unit.BootLoader()) {
    // Written as a whole beside the target and renamed over it: never onto a FIFO or a
    // device, which could block or be destroyed.
    const FileResult saved =
        ReplaceRegularFile(*args->saveReceived, unit.BootLoader()->Received());
    if (!saved.ok()) {
      std::cerr << "zdl410-sim: cannot write " << *args->saveReceived << ": "
                << saved.Reason().In(Lang::English) << '\n';
      return 1;
    }
  }
  return served ? 0 : 1;
}

}  // namespace
}  // namespace zdl

int main(int argc, char** argv) { return zdl::Run(argc, argv); }
