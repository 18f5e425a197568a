// The simulated unit's configuration: the "#01" lines it refuses, and whole configurations
// through the tool's write and read (what each field comes back as is the comparison's test).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "link/serial_line.h"
#include "sim/config_line_parser.h"
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
