// The simulated unit and boot loader in process (what it refuses, its log, its port's
// carrier and cancel, the paced upload), and the zdl410-sim program on a real
// pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "firmware/firmware_upload.h"
#include "link/serial_line.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_port.h"
#include "tests/support/process.h"

namespace zdl {
namespace {

// A framed line as it crosses the wire: "#CC;payload" and CR.
std::string F(std::string_view command) { return FrameCommand(command) + "\r"; }

// The default options with some changed.
SimOptions With(void (*change)(SimOptions&)) {
  SimOptions options;
  change(options);
  return options;
}

// Bytes to the unit, and every byte it answers at once.
using Steps = std::vector<std::pair<std::string, std::string>>;

// What the link's own exchanges with the simulated unit never send: refused and broken
// lines, a wrong acknowledgement, a unit without data logger. The answers to good lines,
// and the modem's dialogue, are checked by those exchanges.
TEST(SimDialogue, AnswersEachLineAsSent) {
  const std::vector<std::pair<SimOptions, Steps>> cases = {
      {{},
       {{F("#01+ALM9=\"x\""), F("#PARSE_ERROR")}, {F("#5812"), ""},
        // Bad checksum, no separator, no frame, unknown command, overlong: no answer.
        {"#61;00\r", ""}, {"#6000\r", ""}, {"hello\r", ""}, {F("#77"), ""},
        {F("#01ID=" + std::string(SimulatedUnit::kMaxLine, 'x')), ""}, {"\n#60;00\r", F("#ACK")},
        {"#60;00", ""}, {"\r", F("#ACK")},
        // The stream waits for the acknowledgement of the last record; a wrong one stops it.
        {F("#02"), F("#001=10")}, {"#ACK_001\r", F("#002=5")}, {"#ACK_003\r", ""},
        {"#ACK_002\r", ""}, {F("#02"), F("#001=10")}}},
      {With([](SimOptions& o) { o.hasDatalogger = false; }),
       {{F("#40"), F("#BE")}, {F("#60"), ""}, {F("#58001200009"), ""}}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SimulatedUnit unit(cases[i].first);
    for (const auto& [in, out] : cases[i].second) {
      unit.Receive(in, Micros(0));
      EXPECT_EQ(unit.TakeOutput(Micros(0)), out) << "case " << i << ": " << in;
    }
  }
}

// The unit's log, shown by zdl410-sim --verbose for support, never holds the password:
// neither a login it takes nor one whose frame it refuses.
TEST(SimDialogue, TheLogNeverShowsThePassword) {
  SimulatedUnit unit(With([](SimOptions& o) { o.password = "4321"; }));
  unit.Receive(F("#114321") + F("#119876") + "#00;114321\r", Micros(0));
  std::string log;
  for (const std::string& entry : unit.TakeTrace()) log += entry + "\n";
  EXPECT_EQ(log.find("4321"), std::string::npos) << log;
  EXPECT_EQ(log.find("9876"), std::string::npos) << log;
  EXPECT_NE(log.find("received #11****\n"), std::string::npos) << log;
}

// The windows' virtual unit: a carrier drop or a cancel from another thread ends a wait
// that nothing else would end for 60 s. A drop closes a watching port once, and the modem
// hangs up with it; a direct cable's port, or one opened after the drop, stays open, and a
// cancel keeps the port open for the next exchange.
TEST(SimPort, ACarrierDropOrACancelFromAnotherThreadEndsALongWait) {
  enum Act { Drop, Cancel, DropUnwatched, DropBeforeOpen };
  for (const Act act : {Drop, Cancel, DropUnwatched, DropBeforeOpen}) {
    SCOPED_TRACE(act);
    const bool closes = act == Drop;
    SimulatedUnit unit(With([](SimOptions& o) { o.modem = true; }));
    SteadyClock clock;
    SimPort port(unit, clock);
    if (act == DropBeforeOpen) port.DropCarrier();
    PortSettings settings;
    settings.watchCarrier = act != DropUnwatched;
    ASSERT_TRUE(port.Open(settings));
    ASSERT_TRUE(port.Write("ATD123\r"));
    while (port.ReadByte(clock.Now())) {
    }
    ASSERT_TRUE(unit.Connected());
    std::thread other([&] {
      clock.SleepUntil(clock.Now() + Millis(20), CancelToken{});
      if (act == Cancel) port.RequestCancel();
      if (act == Drop || act == DropUnwatched) port.DropCarrier();
    });
    // A wait nothing ends early ends at its deadline: 100 ms.
    EXPECT_FALSE(port.ReadByte(clock.Now() + Millis(act <= Cancel ? 60000 : 100)).has_value());
    other.join();
    EXPECT_EQ(port.IsOpen(), !closes);
    EXPECT_EQ(unit.Connected(), !closes);
    EXPECT_EQ(port.TakeCarrierLoss(), closes);
    EXPECT_FALSE(port.TakeCarrierLoss()) << "reported once";
    port.BeginExchange();
    EXPECT_EQ(port.Write(F("#00")), !closes);
  }
}

// A firmware file of `lines` lines of 45 bytes (the length of an Intel HEX record of 16
// bytes with its CR LF) and the end record.
std::string HexFile(int lines) {
  std::string hex;
  for (int r = 0; r < lines; ++r) hex += ":10" + std::string(40, static_cast<char>('0' + r % 10)) + "\r\n";
  return hex + ":00000001FF\r\n";
}

// The virtual unit at 9600 baud, switched into its boot loader, takes an upload byte for
// byte; each mark only comes once its block has crossed the line.
TEST(SimPort, PacedAt9600BaudThroughAnUpload) {
  EXPECT_EQ(PacedBytesTime(1), Micros(1042));
  EXPECT_EQ(PacedBytesTime(96), Micros(100000));
  testing::FakeClock clock;
  SimulatedUnit unit(With([](SimOptions& o) { o.paced = true; }));
  SimPort port(unit, clock);
  ASSERT_TRUE(port.Open({"virtual"}));
  unit.EnterBootLoader({true, {}}, clock.Now());
  const std::string file = HexFile(200);  // 9013 bytes, 35 checks
  testing::RecordingProgress progress;
  ASSERT_TRUE(UploadFirmware(port, clock, file, progress).ok());
  ASSERT_NE(unit.BootLoader(), nullptr);
  EXPECT_EQ(unit.BootLoader()->Received(), file);
  // The file's wire time and the three fixed waits, each mark adding its own byte.
  const Micros least = PacedBytesTime(static_cast<std::int64_t>(file.size()) + 35) + Millis(7000);
  EXPECT_GE(clock.Now(), least);
  EXPECT_LE(clock.Now(), least + Millis(100));
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

// What comes from the terminal up to and with `last` (five seconds at most).
std::string ReadUntil(int fd, char last) {
  std::string got;
  pollfd readable{fd, POLLIN, 0};
  char c = 0;
  while (c != last && poll(&readable, 1, 5000) > 0 && read(fd, &c, 1) == 1) got += c;
  return got;
}

// The boot loader announces itself at start and again after each power cycle (SIGUSR1);
// the link the program made is removed on exit.
TEST(SimTool, TheBootLoaderAnnouncesItselfAtStartAndAfterEachPowerCycle) {
  testing::TempDir dir;
  const std::string link = dir.File("ttyZDL");
  testing::BackgroundProcess sim({ZDL_SIM_PATH, "--bootloader", "--link", link});
  const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);  // the program keeps it raw
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ReadUntil(fd, '*'), "*");
  ASSERT_EQ(write(fd, "D", 1), 1);
  EXPECT_EQ(ReadUntil(fd, '?'), "Erase chip?");
  kill(sim.Pid(), SIGUSR1);
  EXPECT_EQ(ReadUntil(fd, '*').back(), '*');
  close(fd);
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link));
}

}  // namespace
}  // namespace zdl
