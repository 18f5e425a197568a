// The simulated unit and boot loader, in process and byte for byte (the dialogue, the injected
// faults, the pacing, the configuration it takes), and the zdl410-sim program on a real
// pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "firmware/firmware_upload.h"
#include "link/serial_line.h"
#include "sim/config_line_parser.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_port.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"

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

// A simulated unit behind its in-process port, on a fake clock.
struct Virtual {
  explicit Virtual(const SimOptions& options = {}) : unit(options) {}
  testing::FakeClock clock;
  SimulatedUnit unit;
  SimPort port{unit, clock};
};

// Bytes to the unit, and every byte it answers at once.
using Steps = std::vector<std::pair<std::string, std::string>>;

TEST(SimDialogue, AnswersEachLineAsSent) {
  const std::string ok = "\r\nOK\r\n", noise(kSimGarbage);
  const std::vector<std::pair<SimOptions, Steps>> cases = {
      {{},
       {{F("#00"), F("#ACK")}, {F("#0F"), F("#VER=ZDL410 v5.01")}, {F("#40"), F("#BF")},
        {F("#01ID=Granja"), F("#PARSE_OK")}, {F("#01+ALM9=\"x\""), F("#PARSE_ERROR")},
        {F("#58001200009"), F("#A7")}, {F("#5A00FF0005"), F("#A5")}, {F("#5812"), ""},
        {F("#60"), F("#9F001200009")}, {F("#62"), F("#9D00FF,0005")},
        // Bad checksum, no separator, no frame, unknown command, overlong: no answer.
        {"#61;00\r", ""}, {"#6000\r", ""}, {"hello\r", ""}, {F("#77"), ""},
        {F("#01ID=" + std::string(SimulatedUnit::kMaxLine, 'x')), ""}, {"\n#60;00\r", F("#ACK")},
        {"#60;00", ""}, {"\r", F("#ACK")},
        // The stream waits for the acknowledgement of the last record; a wrong one stops it.
        {F("#02"), F("#001=10")}, {"#ACK_001\r", F("#002=5")}, {"#ACK_003\r", ""},
        {"#ACK_002\r", ""}, {F("#02"), F("#001=10")}}},
      {With([](SimOptions& o) { o.hasDatalogger = false; }),
       {{F("#40"), F("#BE")}, {F("#60"), ""}, {F("#58001200009"), ""}}},
      {With([](SimOptions& o) { o.modem = true; }),
       {{"ATE0\r", ok}, {"AT\r", ok}, {"ATX9\r", "\r\nERROR\r\n"}, {F("#00"), ""},
        {"ATD600\r", "\r\nCONNECT 9600\r\n"}, {F("#00"), ""}, {F("#119999"), F("#PassWord=0")},
        {F("#111234"), F("#PassWord=1")}, {F("#00"), F("#ACK")}, {"ATH\r", ok}, {F("#00"), ""}}},
      {With([](SimOptions& o) { o.faults.badChecksumAnswer = 2; }),
       {{F("#00"), F("#ACK")}, {F("#00"), "#D0;ACK\r"}, {F("#00"), F("#ACK")}}},
      // A record dropped the first time its turn comes; noise before every framed answer.
      {With([](SimOptions& o) { o.faults.dropRecord = 2; o.faults.garbage = true; }),
       {{F("#02"), noise + F("#001=10")}, {"#ACK_001\r", ""}, {F("#02"), noise + F("#001=10")},
        {"#ACK_001\r", noise + F("#002=5")}}},
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

TEST(SimDialogue, SaveOkFollowsAfterTheSaveTimeUnlessTheCallDrops) {
  SimulatedUnit unit(With([](SimOptions& o) { o.saveTime = Millis(2500); }));
  unit.Receive(F("#03"), Micros(0));
  EXPECT_EQ(unit.TakeOutput(Millis(2499)), F("#ACK"));
  EXPECT_EQ(unit.TakeOutput(Millis(2500)), F("#SAVE_OK"));
  unit.Receive(F("#03"), Millis(3000));
  unit.HangUp(Millis(4000));
  EXPECT_EQ(unit.TakeOutput(Millis(9000)), F("#ACK")) << "no #SAVE_OK after the hang-up";
}

// A flooding unit answers nothing but its flood, always due; an endless stream goes round
// its records and never reaches 999.
TEST(SimDialogue, FloodsAndAStreamWithoutEnd) {
  for (const SimFlood flood : {SimFlood::Noise, SimFlood::OpenLine}) {
    SimOptions options;
    options.faults.flood = flood;
    SimulatedUnit unit(options);
    unit.Receive(F("#00"), Micros(0));
    for (int helping = 0; helping < 3; ++helping) {
      EXPECT_EQ(unit.NextOutputTime(), Micros(0));
      const std::string bytes = unit.TakeOutput(Micros(0));
      EXPECT_FALSE(bytes.empty());
      EXPECT_EQ(bytes.find_first_of("\r*"), std::string::npos);
      EXPECT_EQ(bytes.find('#'), flood == SimFlood::OpenLine ? 0 : std::string::npos);
    }
  }

  SimulatedUnit unit(With([](SimOptions& o) { o.faults.endlessStream = true; }));
  unit.Receive(F("#02"), Micros(0));
  std::set<std::string> numbers;
  for (int record = 0; record < 1000; ++record) {
    const std::string line = unit.TakeOutput(Micros(0));
    ASSERT_GE(line.size(), 7u) << record;
    const std::string number = line.substr(4, 3);
    EXPECT_NE(number, "999");
    numbers.insert(number);
    unit.Receive("#ACK_" + number + "\r", Micros(0));
  }
  EXPECT_LT(numbers.size(), 1000u) << "the records come round again";
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

TEST(SimParse, RefusedLinesChangeNothing) {
  ConfigurationRecord full = testing::FullRecord();
  full.ListaTlf.resize(kPhoneListSize, "600");  // so a ninth number is refused
  for (const char* body :
       {"+ALM0=\"x\",NC,BI", "+ALM0=\"x\",RING,NC", "+ALM0=\"x\",MACROT= 15", "+ALM0=\"x\",P=abc",
        "+ALM8=\"x\"", "+ALM0=x", "+ALM0=\"x", "+ADALM0=\"\",IE=,FE=,UN=,MIN=,MAX=", "REST=Rest",
        "+MACRO=\"m\",COM=\"\",INDEX= 14", "+MACRO=\"m\",INDEX= 1", "MACROGM= 0", "+TLF=601",
        "T0=12:00,sem=000011,macro= 1,vp=60", "T0=1x:00,sem=0000110,macro= 1,vp=60", "+TLF=", "",
        "T0=12:00,sem=0000110,macro= 0,vp=60", "T8=12:00,sem=0000110,macro= 1,vp=60"}) {
    ConfigurationRecord record = full;
    EXPECT_FALSE(ApplyConfigBody(body, record)) << body;
    EXPECT_EQ(record, full) << body;
  }
  ConfigurationRecord record = full;
  for (const char* v : {"120009", "001200010"}) EXPECT_FALSE(ApplyLoggerChannels(v, record));
  EXPECT_FALSE(ApplyLoggerInputs("00FF05", record));
  EXPECT_EQ(record, full);
}

// A firmware file of `lines` lines of 45 bytes (the length of an Intel HEX record of 16
// bytes with its CR LF) and the end record.
std::string HexFile(int lines) {
  std::string hex;
  for (int r = 0; r < lines; ++r) hex += ":10" + std::string(40, static_cast<char>('0' + r % 10)) + "\r\n";
  return hex + ":00000001FF\r\n";
}

// The dialogue byte for byte, with the faults on demand. A mark that falls on the line end
// behind the end record still comes before "Ok".
TEST(SimBootLoader, AnswersTheDialogueAndTheFileWithItsFaults) {
  const std::string prompted = "*Erase chip? (s/n)Ready to upload intel file.";
  const struct {
    bool paced;
    BootLoaderFaults faults;
    std::string out;
  } rows[] = {
      {false, {}, prompted + ".Ok"},
      {true, {}, prompted + ".Ok"},
      {false, {1, false, false}, prompted + "Ok"},
      {false, {0, true, false}, prompted},
      {false, {0, false, true}, "*"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.out + (row.paced ? " paced" : ""));
    SimulatedBootLoader loader({row.paced, row.faults}, Micros{0});
    loader.Receive("DS", Millis(100));
    // 257 bytes ending in ":00000001FF\r\n": the mark is due at the "\n".
    const std::string file = std::string(257 - 15, 'A') + "\r\n:00000001FF\r\n";
    loader.Receive(file, Millis(200));
    std::string out;
    while (const auto due = loader.NextOutputTime()) out += loader.TakeOutput(*due);
    EXPECT_EQ(out, row.out);
    if (row.out.ends_with("Ok")) {
      EXPECT_EQ(loader.Received(), file);
    }
  }
}

// The virtual unit at 9600 baud: switched into its boot loader it takes an upload (the
// mark only comes once the block has crossed the line); back in its firmware it answers a
// line timed from the request; a closed port does not wait.
TEST(SimPort, PacedAt9600BaudThroughAnUploadAndBackAndAClosedPortDoesNotWait) {
  EXPECT_EQ(PacedBytesTime(1), Micros(1042));
  EXPECT_EQ(PacedBytesTime(96), Micros(100000));
  // "#CC;VER=" + 91 characters + CR: a 100-byte answer.
  Virtual v(With([](SimOptions& o) { o.paced = true; o.version = std::string(91, 'v'); }));
  auto& [clock, unit, port] = v;
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

  unit.LeaveBootLoader(clock.Now());
  EXPECT_EQ(unit.BootLoader(), nullptr);
  const Micros asked = clock.Now();
  ASSERT_TRUE(port.Write(F("#0F")));
  EXPECT_FALSE(port.WaitWritten(asked + Millis(7)));
  EXPECT_TRUE(port.WaitWritten(asked + Millis(100)));
  EXPECT_EQ(clock.Now(), asked + PacedBytesTime(7));
  std::string answer;
  while (answer.size() < 100) answer += port.ReadByte(asked + Millis(1000)).value_or('?');
  EXPECT_EQ(answer, F("#VER=" + unit.Options().version));
  EXPECT_EQ(clock.Now(), asked + PacedBytesTime(7) + PacedBytesTime(100)) << "timed from the request";
  EXPECT_FALSE(port.ReadByte(asked + Millis(300)).has_value()) << "nothing due: waits to the deadline";
  EXPECT_EQ(clock.Now(), asked + Millis(300));
  port.Close();
  EXPECT_FALSE(port.Write(F("#00")));
  EXPECT_FALSE(port.ReadByte(asked + Millis(400)).has_value());
  EXPECT_EQ(clock.Now(), asked + Millis(300)) << "a closed port does not wait";
}

// What comes from the terminal up to and with `last` (five seconds at most).
std::string ReadUntil(int fd, char last) {
  std::string got;
  pollfd readable{fd, POLLIN, 0};
  char c = 0;
  while (c != last && poll(&readable, 1, 5000) > 0 && read(fd, &c, 1) == 1) got += c;
  return got;
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
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);  // the program keeps it raw
    const std::string ask = F("#0F");
    ASSERT_EQ(write(fd, ask.data(), ask.size()), static_cast<ssize_t>(ask.size()));
    EXPECT_EQ(ReadUntil(fd, '\r'), F("#VER=ZDL410 v4.2b")) << option;
    close(fd);
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
  EXPECT_EQ(ReadUntil(fd, '*'), "*");
  ASSERT_EQ(write(fd, "D", 1), 1);
  EXPECT_EQ(ReadUntil(fd, '?'), "Erase chip?");
  kill(sim.Pid(), SIGUSR1);
  EXPECT_EQ(ReadUntil(fd, '*').back(), '*');
  close(fd);
  EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
}  // namespace zdl
