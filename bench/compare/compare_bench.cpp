// Times the comparison of two full configurations, and what a backup and a verify add to
// a write at 9600 baud: zdl410 write against zdl410-sim --paced, plain, with --backup and
// with --verify, beside a zdl410 read (one read's time).
//
//   zdl_compare_bench    prints the figures
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "compare/comparison.h"
#include "configfile/config_file.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"

namespace zdl {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void CompareFigures() {
  const ConfigurationRecord a = testing::FullRecord();
  ConfigurationRecord b = a;
  // Every enabled item differs somewhere; the phone list and timers too.
  b.General.NOMBRE = "Otra";
  for (auto& d : b.Digital) d.TEXT += "x";
  for (auto& m : b.Macros) m.MACRO_COM += "y";
  b.ListaTlf.push_back("611,PRV0");
  for (auto& t : b.Timers) t.VP = "30";
  constexpr int kRounds = 2000;
  std::size_t found = 0;
  for (auto [name, compare] :
       {std::pair{"Compare", +[](const ConfigurationRecord& x, const ConfigurationRecord& y) {
          return Compare(x, y);
        }},
        std::pair{"CompareAsKept", +[](const ConfigurationRecord& x, const ConfigurationRecord& y) {
          return CompareAsKept(x, y);
        }}}) {
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) found += compare(a, b).size();
    const double each = Seconds(Clock::now() - start) / kRounds;
    std::printf("%-14s two full records: %8.1f us each (target under 1000 us)\n", name, each * 1e6);
  }
  std::printf("(%zu differences found in all)\n", found);
}

double Run(const std::vector<std::string>& argv, bool& ok) {
  const auto start = Clock::now();
  const testing::ProcessResult r = testing::RunProcess(argv);
  const double elapsed = Seconds(Clock::now() - start);
  if (r.exitCode != 0) {
    std::printf("%s failed (%d): %s\n", argv[1].c_str(), r.exitCode, r.err.c_str());
    ok = false;
  }
  return elapsed;
}

bool SafeguardFigures() {
  testing::TempDir dir;
  const std::string file = dir.File("sample.ncf");
  if (!SaveConfigFile(file, testing::FullRecord()).ok) return false;
  const std::string link = dir.File("unit");
  testing::BackgroundProcess sim({ZDL_SIM_PATH, "--link", link, "--paced", "--config", file});
  if (sim.FirstLine().empty()) {
    std::printf("the simulated unit did not start\n");
    return false;
  }
  bool ok = true;
  const std::string cli = ZDL_CLI_PATH;
  const double plain = Run({cli, "write", "--port", link, file}, ok);
  const double read = Run({cli, "read", "--port", link, dir.File("read.ncf")}, ok);
  const double backup =
      Run({cli, "write", "--port", link, "--backup", dir.File("backup.ncf"), file}, ok);
  const double verify = Run({cli, "write", "--port", link, "--verify", file}, ok);
  std::printf("write (paced)           %6.3f s\n", plain);
  std::printf("read  (paced)           %6.3f s (a connection start included)\n", read);
  std::printf("write --backup          %6.3f s  adds %6.3f s\n", backup, backup - plain);
  std::printf("write --verify          %6.3f s  adds %6.3f s\n", verify, verify - plain);
  std::printf("target: each adds at most one read plus 2 %% of the write (%6.3f s)\n",
              read + 0.02 * plain);
  return ok;
}

}  // namespace
}  // namespace zdl

int main() {
  zdl::CompareFigures();
  return zdl::SafeguardFigures() ? 0 : 1;
}
