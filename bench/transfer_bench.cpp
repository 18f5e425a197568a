// Measures a full write and a full read against the simulated unit on a pseudo-terminal:
// paced at 9600 baud (elapsed time against the wire time of the bytes that crossed the
// line, and CPU time against elapsed time), and unpaced (how fast the program itself is).
//
//   zdl_bench            prints the figures (three paced runs, one unpaced)
#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "link/connection.h"
#include "link/qt/qt_serial_port.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"
#include "transfer/read_config.h"
#include "transfer/write_config.h"

namespace zdl {
namespace {

// Counts the bytes that cross the port in each direction.
class CountingPort final : public BytePort {
 public:
  explicit CountingPort(BytePort& inner) : inner_(inner) {}
  bool Open(const PortSettings& s) override { return inner_.Open(s); }
  void Close() override { inner_.Close(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  std::string ErrorString() const override { return inner_.ErrorString(); }
  PortError Error() const override { return inner_.Error(); }
  bool Write(std::string_view bytes) override {
    sent += bytes.size();
    return inner_.Write(bytes);
  }
  std::optional<char> ReadByte(Micros deadline) override {
    std::optional<char> c = inner_.ReadByte(deadline);
    if (c) ++received;
    return c;
  }
  bool WaitWritten(Micros deadline) override { return inner_.WaitWritten(deadline); }
  void PollCarrier() override { inner_.PollCarrier(); }
  bool TakeCarrierLoss() override { return inner_.TakeCarrierLoss(); }
  CancelToken& Cancel() override { return inner_.Cancel(); }

  std::size_t sent = 0;
  std::size_t received = 0;

 private:
  BytePort& inner_;
};

class BenchUi final : public ConnectionUi {
 public:
  std::optional<std::string> AskPassword() override { return std::string("1234"); }
  void Message(TextId text) override { std::fprintf(stderr, "message %d\n", OffsetOf(text)); }
  void ErrorMessage(const BilingualText& d) override {
    std::fprintf(stderr, "%s\n", d.In(Lang::English).c_str());
  }
};

struct CpuTime {
  double user = 0;
  double system = 0;
};

CpuTime CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

struct Figures {
  bool ok = false;
  double elapsed = 0;
  double cpu = 0;
  double system = 0;  // the part of `cpu` spent in the kernel
  std::size_t bytes = 0;
  double Wire() const { return static_cast<double>(bytes) * 10.0 / 9600.0; }
};

template <typename Transfer>
Figures Measure(CountingPort& port, Transfer transfer) {
  port.sent = port.received = 0;
  const CpuTime cpu0 = CpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  Figures f;
  f.ok = transfer();
  f.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const CpuTime cpu1 = CpuSeconds();
  f.system = cpu1.system - cpu0.system;
  f.cpu = cpu1.user - cpu0.user + f.system;
  f.bytes = port.sent + port.received;
  return f;
}

bool Run(bool paced) {
  testing::TempDir dir;
  std::string link = dir.File("unit");
  std::vector<std::string> argv = {ZDL_SIM_PATH, "--link", link};
  if (paced) argv.push_back("--paced");
  testing::BackgroundProcess sim(argv);
  if (sim.FirstLine().empty()) {
    std::printf("the simulated unit did not start\n");
    return false;
  }
  SteadyClock clock;
  QtSerialPort real(clock);
  CountingPort port(real);
  Connection connection(port, clock);
  BenchUi ui;
  ConnectionOptions options;
  options.port = link;
  if (connection.Start(options, ui) != StartResult::Connected) {
    std::printf("no connection\n");
    return false;
  }
  ConfigurationRecord record = testing::FullRecord();
  ConfigurationRecord readBack;
  ProgressSink quiet;
  Figures write = Measure(port, [&] {
    return WriteConfiguration(connection.Line(), connection.ComTimeOut(), record, quiet);
  });
  Figures read = Measure(port, [&] {
    return ReadConfiguration(connection.Line(), connection.ComTimeOut(), connection.HasDatalogger(),
                             readBack, quiet);
  });
  connection.Stop(ui);

  const char* mode = paced ? "paced at 9600 baud" : "unpaced";
  for (auto [name, f] : {std::pair{"write", write}, std::pair{"read", read}}) {
    std::printf("%-5s %-18s %s  bytes %5zu  wire %6.3f s  elapsed %6.3f s  elapsed/wire %5.3f  "
                "cpu %6.3f s (kernel %6.3f s)  cpu/elapsed %5.2f%%\n",
                name, mode, f.ok ? "ok    " : "FAILED", f.bytes, f.Wire(), f.elapsed,
                f.elapsed / f.Wire(), f.cpu, f.system, 100.0 * f.cpu / f.elapsed);
  }
  if (!paced) std::printf("write + read unpaced: %.3f s (target under 0.2 s)\n", write.elapsed + read.elapsed);
  else std::printf("targets: elapsed/wire at most 1.05, cpu/elapsed under 5%%\n");
  return write.ok && read.ok && readBack == record;
}

}  // namespace
}  // namespace zdl

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The paced figures depend on how the machine schedules two processes a byte apart,
  // so the paced run is made three times.
  bool ok = true;
  for (int run = 1; run <= 3; ++run) {
    std::printf("-- paced run %d of 3\n", run);
    ok = zdl::Run(true) && ok;
  }
  std::printf("-- unpaced\n");
  ok = zdl::Run(false) && ok;
  return ok ? 0 : 1;
}
