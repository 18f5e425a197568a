// The zdl410-sim program on a real pseudo-terminal: started, spoken to through the path it
// prints, and stopped by its process id.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "configfile/config_file.h"
#include "link/serial_line.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"

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

TEST(SimTool, ServesItsConfigurationOnTheLinkUntilStopped) {
  testing::TempDir dir;
  const std::string link = dir.File("ttyZDL");
  ASSERT_TRUE(SaveConfigFile(dir.File("unit.ncf"), testing::FullRecord()).ok);
  testing::BackgroundProcess sim({ZDL_SIM_PATH, "--link", link, "--config", dir.File("unit.ncf")});
  // Every exchange reopens the terminal: closing it must not upset the program.
  std::string answer = Exchange(link, FrameCommand("#02") + "\r");  // records 001 to 007
  for (int n = 1; n < 7; ++n) answer = Exchange(link, "#ACK_00" + std::to_string(n) + "\r");
  EXPECT_EQ(answer, FrameCommand("#007=Dep\xF3sito n\xBA 3 \x80") + "\r");
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link is removed on exit";
}

TEST(SimTool, BadUsageExitsWithStatus2AndAnUnreadableConfigurationWith1) {
  EXPECT_EQ(testing::RunProcess({ZDL_SIM_PATH, "--silent-after=3"}).exitCode, 2);
  EXPECT_EQ(testing::RunProcess({ZDL_SIM_PATH, "--bad-checksum", "0"}).exitCode, 2);
  EXPECT_EQ(testing::RunProcess({ZDL_SIM_PATH, "--config", "/nonexistent/x.ncf"}).exitCode, 1);
  EXPECT_EQ(testing::RunProcess({ZDL_SIM_PATH, "--dial-reply", ""}).exitCode, 2);

  const testing::ProcessResult help = testing::RunProcess({ZDL_SIM_PATH, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  ASSERT_FALSE(help.out.empty());
  EXPECT_EQ(help.out.back(), '\n');
}

}  // namespace
}  // namespace zdl
