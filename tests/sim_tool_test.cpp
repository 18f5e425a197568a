// The zdl410-sim program on a real pseudo-terminal: started, spoken to through the path it
// prints, and stopped by its process id.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "link/serial_line.h"
#include "tests/support/process.h"

namespace zdl {
namespace {

// Opens the terminal (the program keeps it raw), writes the bytes and returns what came back
// up to and with the first CR (five seconds at most); closes the terminal again.
std::string Exchange(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  const bool sent = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  std::string line;
  pollfd readable{fd, POLLIN, 0};
  char c = 0;
  while (sent && c != '\r' && poll(&readable, 1, 5000) > 0 && read(fd, &c, 1) == 1) line += c;
  close(fd);
  return line;
}

// Bad usage exits with 2, an unreadable configuration with 1; --version alone, or before
// another option, is the program's version, and followed by a text it is the unit's
// version text, as --unit-version is.
TEST(SimTool, ExitStatusesAndTheVersions) {
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;  // its start
  } rows[] = {
      {{"--silent-after=3"}, 2, ""},
      {{"--dial-reply", ""}, 2, ""},
      {{"--config", "/nonexistent/x.ncf"}, 1, ""},
      {{"--help"}, 0, "usage"},
      {{"--version"}, 0, "zdl410-sim " ZDL_VERSION "\n"},
      {{"--version", "--modem"}, 0, "zdl410-sim " ZDL_VERSION "\n"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> argv = {ZDL_SIM_PATH};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const testing::ProcessResult r = testing::RunProcess(argv);
    EXPECT_EQ(r.exitCode, row.exitCode) << row.args[0];
    EXPECT_EQ(r.out.rfind(row.out, 0), 0u) << r.out;
  }
  for (const char* option : {"--unit-version", "--version"}) {
    testing::TempDir dir;
    const std::string link = dir.File("ttyZDL");
    testing::BackgroundProcess sim({ZDL_SIM_PATH, "--link", link, option, "ZDL410 v4.2b"});
    EXPECT_EQ(Exchange(link, FrameCommand("#0F") + "\r"), FrameCommand("#VER=ZDL410 v4.2b") + "\r")
        << option;
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link is removed on exit";
  }
}

// --link replaces only a symbolic link into /dev/pts/ (left by a killed run) and on exit
// removes only the link it made; any other file at the path is refused and left alone.
TEST(SimTool, TheLinkReplacesOnlyATerminalLink) {
  testing::TempDir dir;
  const std::string file = dir.File("file");
  testing::WriteFileBytes(file, "keep me");
  const std::string otherLink = dir.File("other");
  std::filesystem::create_symlink(file, otherLink);
  for (const std::string& taken : {file, otherLink, dir.Path()}) {
    // Under timeout(1), so a program that takes the path and serves fails the test instead
    // of hanging it.
    const testing::ProcessResult refused =
        testing::RunProcess({"/usr/bin/timeout", "20", ZDL_SIM_PATH, "--link", taken});
    EXPECT_EQ(refused.exitCode, 2) << taken;
    EXPECT_NE(refused.err.find(taken), std::string::npos) << refused.err;
  }
  EXPECT_EQ(testing::ReadFileBytes(file), "keep me");
  EXPECT_EQ(std::filesystem::read_symlink(otherLink), file);

  const std::string stale = dir.File("stale");
  std::filesystem::create_symlink("/dev/pts/999999", stale);
  testing::BackgroundProcess sim({ZDL_SIM_PATH, "--link", stale});
  ASSERT_FALSE(sim.FirstLine().empty());
  EXPECT_EQ(std::filesystem::read_symlink(stale), sim.FirstLine());
  // Another run took the link over meanwhile: this one leaves it alone on exit.
  std::filesystem::remove(stale);
  std::filesystem::create_symlink("/dev/pts/999998", stale);
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(stale));
}

// The boot loader announces itself at start and again after each power cycle (SIGUSR1).
TEST(SimTool, TheBootLoaderAnnouncesItselfAtStartAndAfterEachPowerCycle) {
  testing::BackgroundProcess sim({ZDL_SIM_PATH, "--bootloader"});
  const int fd = open(sim.FirstLine().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  auto readUntil = [fd](char last) {  // five seconds at most
    std::string got;
    pollfd readable{fd, POLLIN, 0};
    char c = 0;
    while (c != last && poll(&readable, 1, 5000) > 0 && read(fd, &c, 1) == 1) got += c;
    return got;
  };
  EXPECT_EQ(readUntil('*'), "*");
  ASSERT_EQ(write(fd, "D", 1), 1);
  EXPECT_EQ(readUntil('?'), "Erase chip?");
  kill(sim.Pid(), SIGUSR1);
  EXPECT_EQ(readUntil('*').back(), '*');
  close(fd);
  EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
}  // namespace zdl
