// The simulated unit's configuration: the "#01" lines it refuses, the values of its "#02"
// record stream, and whole configurations through the tool's write and read.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "link/serial_line.h"
#include "sim/config_line_parser.h"
#include "sim/record_stream.h"
#include "sim/sim_port.h"
#include "sim/unit_setup.h"
#include "tests/support/fake_port.h"
#include "tests/support/sample_record.h"
#include "transfer/read_config.h"
#include "transfer/write_config.h"

namespace zdl {
namespace {

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

// Values the protocol carries in a form of its own, or that a read cannot tell apart.
TEST(SimStream, ValuesAreWrittenAsTheReadDecodesThem) {
  ConfigurationRecord r;  // in the unit's form
  r.General.NORMAL = " 300";
  r.General.REST_TEXT = "not enabled";
  r.Digital[0].PERSIST = true;
  r.Digital[0].PVAL = " 2.5";
  r.Timers[0] = {true, "9:30", "60", {true, false, false, false, false, false, true}, 0};
  r.Timers[1].TIME = " 1200";
  r.Timers[2].Days[LUNES] = true;  // disabled: no days sent
  const std::vector<std::string> stream = RecordStream(r);
  const std::pair<int, const char*> expected[] = {
      {14, "300"}, {19, ""},   {240, "2.5"},  {241, "10"},     {251, "0"},      {510, "34200"},
      {520, "65"}, {522, "0"}, {551, "1200"}, {511, "absent"}, {100, "absent"}, {999, ""}};
  for (const auto& [number, value] : expected) {
    const std::string key = std::to_string(1000 + number).substr(1) + "=";
    const auto line = std::find_if(stream.begin(), stream.end(),
                                   [&key](const std::string& l) { return l.starts_with(key); });
    EXPECT_EQ(line == stream.end() ? "absent" : line->substr(4), value) << key;
  }
}

// The tool's write and read procedures through SerialLine over the in-process port at 9600
// baud, with a dropped record the read must recover from and noise before every answer.
TEST(SimRoundTrip, ToolWriteAndReadGiveBackTheRecord) {
  ConfigurationRecord written = testing::FullRecord();
  written.Digital[0].TEXT = "Fallo \"UPS\",R";  // a quote and an option name inside a text
  written.Digital[1].TEXT = "Puerta \"A\", planta 1";
  written.SetAnalogHabil(3, true);  // enabled with every value empty
  written.SetTimerHabil(3, true);
  written.Timers[3].TIME = " 1200";  // a time given as a number
  written.Timers[3].Days[LUNES] = true;
  SimOptions options;
  options.paced = true;
  options.saveTime = Millis(3000);
  options.faults.dropRecord = 250;
  options.faults.garbage = true;
  SimulatedUnit unit(options);
  testing::FakeClock clock;
  SimPort port(unit, clock);
  ASSERT_TRUE(port.Open({}));
  SerialLine line(port, clock);
  ProgressSink progress;
  ASSERT_TRUE(RunWriteSequence(line, Millis(1000), written, progress));
  ConfigurationRecord read;
  ASSERT_TRUE(ReadConfig(line, Millis(1000), true, read, progress));
  EXPECT_EQ(read.ListaTlf, written.ListaTlf);
  EXPECT_EQ(read.Digital, written.Digital);
  EXPECT_EQ(read.Analog, written.Analog);
  EXPECT_EQ(read.Timers, written.Timers);
  EXPECT_EQ(read, written);
  const auto& trace = unit.Trace();
  EXPECT_NE(std::find(trace.begin(), trace.end(), "record 250 dropped"), trace.end());

  // A unit started from the configuration holds what the write left, whatever it held before.
  SimulatedUnit started;
  ASSERT_TRUE(started.ApplyConfigurationLine("#01+TLF=699"));
  EXPECT_EQ(StartFromConfiguration(started, written), std::vector<std::string>{});
  EXPECT_EQ(started.Record(), unit.Record());
}

}  // namespace
}  // namespace zdl
