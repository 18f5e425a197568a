// The simulated unit and boot loader in process (its log, its port's carrier and cancel,
// the paced upload), and the zdl410-sim program's link on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "firmware/firmware_upload.h"
#include "link/serial_line.h"
#include "sim/sim_port.h"
#include "sim/simulated_boot_loader.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_port.h"
#include "tests/support/process.h"

namespace zdl {
namespace {

// The default options with some changed.
SimOptions With(void (*change)(SimOptions&)) {
  SimOptions options;
  change(options);
  return options;
}

// The unit's log, shown by zdl410-sim --verbose for support, never holds the password:
// neither a login it takes nor one whose frame it refuses.
TEST(SimDialogue, TheLogNeverShowsThePassword) {
  SimulatedUnit unit(With([](SimOptions& o) { o.password = "4321"; }));
  unit.Receive(FrameCommand("#114321") + "\r" + FrameCommand("#119876") + "\r#00;114321\r", Micros(0));
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
    EXPECT_EQ(port.Write(FrameCommand("#00") + "\r"), !closes);
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

// A block that ends on the line end behind the end record still gets its mark, before "Ok".
TEST(SimBootLoader, AMarkOnTheLastLineEndPrecedesOk) {
  for (const bool paced : {false, true}) {
    SCOPED_TRACE(paced);
    SimulatedBootLoader loader({paced, {}}, Micros{0});
    loader.Receive("DS", Millis(100));
    const std::string file = std::string(257 - 15, 'A') + "\r\n:00000001FF\r\n";  // 257 bytes
    loader.Receive(file, Millis(200));
    std::string out;
    while (const auto due = loader.NextOutputTime()) out += loader.TakeOutput(*due);
    EXPECT_EQ(out, "*Erase chip? (s/n)Ready to upload intel file..Ok");
  }
}

// --link replaces only a symbolic link into /dev/pts/ (left by a killed run) and removes
// its link on exit; any other file at the path is refused and left alone.
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
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(stale));
}

}  // namespace
}  // namespace zdl
