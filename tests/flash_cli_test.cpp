// zdl410 flash against zdl410-sim --bootloader on a real pseudo-terminal: an Intel HEX file
// made by objcopy arrives byte for byte; failures, usage and Ctrl-C end it with the right
// status and text.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace zdl {
namespace {

using testing::BackgroundProcess;
using testing::ProcessResult;
using testing::TempDir;

const TempDir& SettingsHome() {
  static const TempDir home;
  return home;
}

ProcessResult Flash(std::vector<std::string> args) {
  setenv("XDG_CONFIG_HOME", SettingsHome().Path().c_str(), 1);
  args.insert(args.begin(), {ZDL_CLI_PATH, "flash"});
  return testing::RunProcess(args);
}

// An Intel HEX file made by objcopy from a binary of 6000 bytes of every value.
std::string MakeHexFile(const TempDir& dir) {
  std::string binary;
  for (int i = 0; i < 6000; ++i) binary += static_cast<char>((i * 131 + i / 256) % 256);
  testing::WriteFileBytes(dir.File("fw.bin"), binary);
  const ProcessResult made = testing::RunProcess(
      {"/usr/bin/objcopy", "-I", "binary", "-O", "ihex", dir.File("fw.bin"), dir.File("fw.hex")});
  EXPECT_EQ(made.exitCode, 0) << made.err;
  return dir.File("fw.hex");
}

TEST(FlashCommand, UploadsAnObjcopyHexFileByteForByte) {
  TempDir dir;
  const std::string hex = MakeHexFile(dir);
  const std::string file = testing::ReadFileBytes(hex);
  ASSERT_GT(file.size(), 16000u);
  ASSERT_NE(file.find("\r\n:00000001FF\r\n"), std::string::npos);
  BackgroundProcess sim({ZDL_SIM_PATH, "--bootloader", "--save-received", dir.File("got")});
  ASSERT_FALSE(sim.FirstLine().empty());
  const ProcessResult r = Flash({"--lang", "es", "--port", sim.FirstLine(), hex});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Firmware actualizado con \xC3\xA9xito\n");
  EXPECT_NE(r.err.find("Apague y encienda el equipo\nBorrando flash...\nTransfiriendo Firmware...\n"),
            std::string::npos) << r.err;
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_EQ(testing::ReadFileBytes(dir.File("got")), file);
}

TEST(FlashCommand, FailuresSayWhatWasMissingOnStderr) {
  TempDir dir;
  const std::string hex = MakeHexFile(dir);
  struct Case {
    std::vector<std::string> simFaults;
    std::vector<std::string> texts;
  };
  const std::vector<Case> cases = {
      {{"--no-progress-mark", "3"}, {"Communication error!!!", "progress check 3"}},
      {{"--no-erase-answer"}, {"\"Erase chip? (s/n)\"", "No \"*\" from the boot loader"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.simFaults[0]);
    std::vector<std::string> argv = {ZDL_SIM_PATH, "--bootloader"};
    argv.insert(argv.end(), c.simFaults.begin(), c.simFaults.end());
    BackgroundProcess sim(argv);
    const ProcessResult r = Flash({"--lang", "en", "--port", sim.FirstLine(), "--wait", "1", hex});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    for (const std::string& text : c.texts) EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
  }
}

TEST(FlashCommand, BadUsageIs2AndAnUnreadableFileSendsNothing) {
  TempDir dir;
  const std::string hex = MakeHexFile(dir);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{hex}, {"--port", "/dev/null"}, {"--port", "/dev/null", hex, hex},
        {"--port", "/dev/null", "--wait", "0", hex}, {"--port", "/dev/null", "--wait", "x", hex},
        {"--port", "/dev/null", "--speed", "1", hex}}) {
    EXPECT_EQ(Flash(args).exitCode, 2) << ::testing::PrintToString(args);
  }
  // The file is read before the port is opened: the message names the file.
  const ProcessResult r = Flash({"--port", "/nonexistent/tty", dir.File("missing.hex")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(dir.File("missing.hex")), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("/nonexistent/tty"), std::string::npos) << r.err;
}

// Reads from the terminal until `text` has come (five seconds at most).
std::string ReadUntil(int fd, const std::string& text) {
  std::string got;
  pollfd readable{fd, POLLIN, 0};
  char c = 0;
  while (got.find(text) == std::string::npos && poll(&readable, 1, 5000) > 0 && read(fd, &c, 1) == 1) {
    got += c;
  }
  return got;
}

TEST(SimBootLoaderTool, AnnouncesItselfAtStartAndAfterEachPowerCycle) {
  BackgroundProcess sim({ZDL_SIM_PATH, "--bootloader"});
  const int fd = open(sim.FirstLine().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ReadUntil(fd, "*"), "*");
  ASSERT_EQ(write(fd, "D", 1), 1);
  EXPECT_EQ(ReadUntil(fd, "?"), "Erase chip?");
  kill(sim.Pid(), SIGUSR1);  // switched off and on: it announces itself again
  EXPECT_EQ(ReadUntil(fd, "*").back(), '*');
  close(fd);
  EXPECT_EQ(sim.Stop(), 0);
}

// Ctrl-C while waiting without a limit for a boot loader that never announces itself.
TEST(FlashCommand, AnInterruptEndsTheWaitCleanly) {
  TempDir dir;
  const std::string hex = MakeHexFile(dir);
  BackgroundProcess sim({ZDL_SIM_PATH});  // the unit's firmware, not its boot loader
  int err[2];
  ASSERT_EQ(pipe(err), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    dup2(open("/dev/null", O_RDWR), 0);
    dup2(open("/dev/null", O_RDWR), 1);
    dup2(err[1], 2);
    execl(ZDL_CLI_PATH, ZDL_CLI_PATH, "--lang", "en", "flash", "--port", sim.FirstLine().c_str(),
          hex.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(err[1]);
  // Once the instruction to switch the unit off and on is out, the program is waiting.
  std::string text;
  char buffer[256];
  pollfd readable{err[0], POLLIN, 0};
  while (text.find("Switch off and switch on the equipe\n") == std::string::npos &&
         poll(&readable, 1, 10000) > 0) {
    const ssize_t n = read(err[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  kill(pid, SIGINT);
  testing::ReadUntilClosed(err[0], text);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << text;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(text.find("zdl410: interrupted\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace zdl
