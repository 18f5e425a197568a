// The simulated boot loader: its dialogue byte for byte, its timing, its faults, and a whole
// upload through the in-process port as the windows' virtual unit makes it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/firmware_upload.h"
#include "link/serial_line.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_port.h"

namespace zdl {
namespace {

using testing::FakeClock;

// A firmware file of `lines` lines of 45 bytes (the length of an Intel HEX record of 16
// bytes with its CR LF) and the end record.
std::string HexFile(int lines) {
  std::string hex;
  for (int r = 0; r < lines; ++r) hex += ":10" + std::string(40, static_cast<char>('0' + r % 10)) + "\r\n";
  return hex + ":00000001FF\r\n";
}

// A mark that falls on the line end behind the end record still comes before "Ok".
TEST(SimBootLoader, AMarkOnTheLastLineEndPrecedesOk) {
  for (bool paced : {false, true}) {
    SCOPED_TRACE(paced);
    SimulatedBootLoader loader({paced, {}}, Micros{0});
    loader.Receive("DS", Millis(100));
    // 257 bytes ending in ":00000001FF\r\n": the mark is due at the "\n".
    const std::string file = std::string(257 - 15, 'A') + "\r\n:00000001FF\r\n";
    loader.Receive(file, Millis(200));
    std::string out;
    while (const auto due = loader.NextOutputTime()) out += loader.TakeOutput(*due);
    EXPECT_EQ(out, "*Erase chip? (s/n)Ready to upload intel file..Ok");
    EXPECT_EQ(loader.Received(), file);
  }
}

TEST(SimBootLoader, FaultsOnDemand) {
  struct Case {
    BootLoaderFaults faults;
    FirmwareResult::Outcome outcome;
    std::optional<BootLoaderText> missing;
  };
  const std::vector<Case> cases = {
      {{2, false, false}, FirmwareResult::CommunicationError, BootLoaderText::ProgressMark},
      {{0, true, false}, FirmwareResult::NoPrompt, BootLoaderText::Done},
      {{0, false, true}, FirmwareResult::NoPrompt, BootLoaderText::EraseQuestion},
  };
  for (const Case& c : cases) {
    FakeClock clock;
    SimOptions options;
    options.bootLoader = BootLoaderOptions{false, c.faults};
    SimulatedUnit unit(options);
    SimPort port(unit, clock);
    port.Open({"virtual"});
    unit.PowerCycle(clock.Now());
    testing::RecordingProgress progress;
    FirmwareOptions upload;
    upload.promptWait = Millis(10000);
    const FirmwareResult result = UploadFirmware(port, clock, HexFile(40), progress, upload);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.missing, c.missing);
    EXPECT_EQ(result.failedCheck, c.outcome == FirmwareResult::CommunicationError ? 2 : 0);
  }
}

// The virtual unit switched into its boot loader takes an upload paced at 9600 baud (the
// mark only comes once the block has crossed the line) and is then a unit again.
TEST(SimBootLoader, TheVirtualUnitTakesAPacedUploadAndReturnsToItsFirmware) {
  FakeClock clock;
  SimOptions options;
  options.paced = true;
  SimulatedUnit unit(options);
  SimPort port(unit, clock);
  port.Open({"virtual"});
  unit.EnterBootLoader({true, {}}, clock.Now());
  const std::string file = HexFile(200);  // 9013 bytes, 35 checks
  testing::RecordingProgress progress;
  const Micros start = clock.Now();
  const FirmwareResult result = UploadFirmware(port, clock, file, progress);
  ASSERT_TRUE(result.ok());
  ASSERT_NE(unit.BootLoader(), nullptr);
  EXPECT_EQ(unit.BootLoader()->Received(), file);
  // The file's wire time and the three fixed waits, each mark adding its own byte.
  const Micros least = PacedBytesTime(static_cast<std::int64_t>(file.size()) + 35) + Millis(7000);
  EXPECT_GE(clock.Now() - start, least);
  EXPECT_LE(clock.Now() - start, least + Millis(100));

  unit.LeaveBootLoader(clock.Now());
  EXPECT_EQ(unit.BootLoader(), nullptr);
  SerialLine line(port, clock);
  std::string command = "#00";
  line.SendCommand(command, Millis(1000));
  EXPECT_EQ(line.LastAnswer, "#ACK");
}

}  // namespace
}  // namespace zdl
