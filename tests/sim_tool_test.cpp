// The zdl410-sim program on a real pseudo-terminal: started, spoken to through the path it
// prints, and stopped by its process id.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "configfile/config_file.h"
#include "link/serial_line.h"
#include "tests/support/process.h"

namespace zdl {
namespace {

using testing::BackgroundProcess;
using testing::RunProcess;
using testing::TempDir;

// The terminal side in raw mode, as a serial port is opened.
class Terminal {
 public:
  explicit Terminal(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios settings{};
    if (fd_ >= 0 && tcgetattr(fd_, &settings) == 0) {
      cfmakeraw(&settings);
      tcsetattr(fd_, TCSANOW, &settings);
    }
  }
  ~Terminal() {
    if (fd_ >= 0) close(fd_);
  }
  bool IsOpen() const { return fd_ >= 0; }

  // Writes the framed command and returns the answer as "#payload" ("" when none came
  // within five seconds or its checksum is wrong).
  std::string Ask(const std::string& command) { return Exchange(FrameCommand(command) + "\r"); }
  std::string Exchange(const std::string& bytes) {
    if (write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return "";
    std::string line;
    pollfd fd{fd_, POLLIN, 0};
    char c = 0;
    while (poll(&fd, 1, 5000) > 0 && read(fd_, &c, 1) == 1) {
      if (c == '\r') break;
      line += c;
    }
    return c == '\r' && AnswerOK(line) ? "#" + line.substr(4) : "";
  }

 private:
  int fd_;
};

TEST(SimTool, ServesThePseudoTerminalUntilStopped) {
  TempDir dir;
  const std::string link = dir.File("ttyZDL");
  BackgroundProcess sim({ZDL_SIM_PATH, "--link", link, "--password", "4321"});
  ASSERT_TRUE(sim.FirstLine().starts_with("/dev/pts/")) << sim.FirstLine();
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.FirstLine());
  {
    Terminal terminal(link);
    ASSERT_TRUE(terminal.IsOpen());
    EXPECT_EQ(terminal.Ask("#111234"), "#PassWord=0");
    EXPECT_EQ(terminal.Ask("#114321"), "#PassWord=1");
    EXPECT_EQ(terminal.Ask("#00"), "#ACK");
  }
  {
    Terminal reopened(sim.FirstLine());  // closing the port did not upset the program
    ASSERT_TRUE(reopened.IsOpen());
    EXPECT_EQ(reopened.Ask("#00"), "#ACK");
  }
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link is removed on exit";
}

TEST(SimTool, StartsFromAConfigurationFile) {
  TempDir dir;
  ConfigurationRecord record;
  record.General.NOMBRE = "Granja, nave 2";
  ASSERT_TRUE(SaveConfigFile(dir.File("granja.ncf"), record).ok);
  BackgroundProcess sim({ZDL_SIM_PATH, "--config", dir.File("granja.ncf")});
  Terminal terminal(sim.FirstLine());
  ASSERT_TRUE(terminal.IsOpen());
  std::string answer = terminal.Ask("#02");
  for (int n = 1; n < 7 && !answer.empty(); ++n) {
    answer = terminal.Exchange("#ACK_" + answer.substr(1, 3) + "\r");
  }
  EXPECT_EQ(answer, "#007=Granja, nave 2");
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimTool, BadUsageExitsWithStatus2) {
  for (const char* bad : {"--bogus", "--bad-checksum", "--silent-after=3"}) {
    const auto result = RunProcess({ZDL_SIM_PATH, bad});
    EXPECT_EQ(result.exitCode, 2) << bad;
    EXPECT_NE(result.err.find("usage"), std::string::npos) << bad;
  }
  EXPECT_EQ(RunProcess({ZDL_SIM_PATH, "--drop-record", "1000"}).exitCode, 2);
  EXPECT_EQ(RunProcess({ZDL_SIM_PATH, "--bad-checksum", "0"}).exitCode, 2);
  EXPECT_EQ(RunProcess({ZDL_SIM_PATH, "--config", "/nonexistent/x.ncf"}).exitCode, 1);
  const auto help = RunProcess({ZDL_SIM_PATH, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--drop-record"), std::string::npos);
}

}  // namespace
}  // namespace zdl
