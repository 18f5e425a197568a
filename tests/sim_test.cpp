// The simulated unit's dialogue, in process and byte for byte: login, queries, the record
// stream with its acknowledgements, the injected faults, the modem, and SimPort's pacing.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "link/serial_line.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_port.h"

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

TEST(SimDialogue, AnswersEachLineAsSent) {
  const std::string ok = "\r\nOK\r\n";
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
      {With([](SimOptions& o) { o.faults.silentAfter = 2; }),
       {{F("#00"), F("#ACK")}, {F("#02"), F("#001=10")}, {"#ACK_001\r", ""}, {F("#00"), ""}}},
      {With([](SimOptions& o) { o.faults.dropRecord = 2; }),  // only the first time
       {{F("#02"), F("#001=10")}, {"#ACK_001\r", ""}, {F("#02"), F("#001=10")},
        {"#ACK_001\r", F("#002=5")}}},
      {With([](SimOptions& o) { o.faults.garbage = true; }),
       {{F("#00"), std::string(kSimGarbage) + F("#ACK")}}},
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

TEST(SimPort, PacedAt9600BaudAndAClosedPortDoesNotWait) {
  EXPECT_EQ(PacedBytesTime(1), Micros(1042));
  EXPECT_EQ(PacedBytesTime(96), Micros(100000));
  // "#CC;VER=" + 91 characters + CR: a 100-byte answer.
  SimulatedUnit unit(With([](SimOptions& o) { o.paced = true; o.version = std::string(91, 'v'); }));
  testing::FakeClock clock;
  SimPort port(unit, clock);
  ASSERT_TRUE(port.Open({}));
  ASSERT_TRUE(port.Write(F("#0F")));
  EXPECT_FALSE(port.WaitWritten(Millis(7)));
  EXPECT_TRUE(port.WaitWritten(Millis(100)));
  EXPECT_EQ(clock.Now(), PacedBytesTime(7));
  std::string answer;
  while (answer.size() < 100) answer += port.ReadByte(Millis(1000)).value_or('?');
  EXPECT_EQ(answer, F("#VER=" + unit.Options().version));
  EXPECT_EQ(clock.Now(), PacedBytesTime(7) + PacedBytesTime(100)) << "timed from the request";
  EXPECT_FALSE(port.ReadByte(Millis(300)).has_value()) << "nothing due: waits to the deadline";
  EXPECT_EQ(clock.Now(), Millis(300));
  port.Close();
  EXPECT_FALSE(port.Write(F("#00")));
  EXPECT_FALSE(port.ReadByte(Millis(400)).has_value());
  EXPECT_EQ(clock.Now(), Millis(300)) << "a closed port does not wait";
}

// A drop closes a watching port once, and the modem hangs up with it; a direct cable's
// port, or one opened after the drop, stays open.
TEST(SimPort, ACarrierDropClosesAWatchingPortOnceAndIsIgnoredOtherwise) {
  for (const auto& [watch, dropBeforeOpen] : {std::pair{true, false}, {false, false}, {true, true}}) {
    SCOPED_TRACE(::testing::Message() << watch << dropBeforeOpen);
    const bool closes = watch && !dropBeforeOpen;
    SimulatedUnit unit(With([](SimOptions& o) { o.modem = true; }));
    testing::FakeClock clock;
    SimPort port(unit, clock);
    if (dropBeforeOpen) port.DropCarrier();
    PortSettings settings;
    settings.watchCarrier = watch;
    ASSERT_TRUE(port.Open(settings));
    ASSERT_TRUE(port.Write("ATD123\r"));
    if (!dropBeforeOpen) port.DropCarrier();
    EXPECT_EQ(port.ReadByte(Millis(1000)).has_value(), !closes);
    EXPECT_EQ(port.IsOpen(), !closes);
    EXPECT_EQ(unit.Connected(), !closes);
    EXPECT_EQ(port.TakeCarrierLoss(), closes);
    EXPECT_FALSE(port.TakeCarrierLoss()) << "reported once";
  }
}

// The windows' virtual unit: a carrier drop or a cancel from another thread ends a wait
// that nothing else would end for 60 s; a cancel keeps the port open for the next exchange.
TEST(SimPort, ACarrierDropOrACancelFromAnotherThreadEndsALongWait) {
  for (const bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancel" : "carrier drop");
    SimulatedUnit unit;
    SteadyClock clock;
    SimPort port(unit, clock);
    PortSettings settings;
    settings.watchCarrier = true;
    ASSERT_TRUE(port.Open(settings));
    std::thread other([&] {
      clock.SleepUntil(clock.Now() + Millis(20), CancelToken{});
      cancel ? port.RequestCancel() : port.DropCarrier();
    });
    EXPECT_FALSE(port.ReadByte(clock.Now() + Millis(60000)).has_value());
    other.join();
    EXPECT_EQ(port.IsOpen(), cancel);
    EXPECT_EQ(port.TakeCarrierLoss(), !cancel);
    port.BeginExchange();
    EXPECT_EQ(port.Write(FrameCommand("#00") + "\r"), cancel);
  }
}

}  // namespace
}  // namespace zdl
