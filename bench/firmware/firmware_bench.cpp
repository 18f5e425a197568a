// Measures a firmware upload of a 64 KiB image (an Intel HEX file made by objcopy, about
// 180 KB) to the simulated boot loader on a pseudo-terminal, paced at 9600 baud: the
// transfer against the wire time of its bytes, the whole upload against the transfer
// plus the dialogue's three fixed waits (1000, 5000 and 1000 ms), and the CPU time
// against the elapsed time.
//
//   zdl_firmware_bench            prints the figures (takes about 200 s)
#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <string>

#include "firmware/firmware_upload.h"
#include "link/qt/qt_serial_port.h"
#include "tests/support/process.h"

namespace zdl {
namespace {

constexpr double kByteSeconds = 10.0 / 9600.0;
constexpr double kFixedWaits = 7.0;

double Seconds(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Notes when the file's bytes are handed to the port: the first write after "D" and "S",
// and the last one.
class TimingPort final : public BytePort {
 public:
  explicit TimingPort(BytePort& inner) : inner_(inner) {}
  bool Open(const PortSettings& s) override { return inner_.Open(s); }
  void Close() override { inner_.Close(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  std::string ErrorString() const override { return inner_.ErrorString(); }
  PortError Error() const override { return inner_.Error(); }
  bool Write(std::string_view bytes) override {
    if (++writes == 3) first = std::chrono::steady_clock::now();
    if (writes >= 3) {
      last = std::chrono::steady_clock::now();
      beforeLast = fileBytes;
      fileBytes += bytes.size();
    }
    return inner_.Write(bytes);
  }
  std::optional<char> ReadByte(Micros deadline) override { return inner_.ReadByte(deadline); }
  bool WaitWritten(Micros deadline) override { return inner_.WaitWritten(deadline); }
  void PollCarrier() override { inner_.PollCarrier(); }
  bool TakeCarrierLoss() override { return inner_.TakeCarrierLoss(); }
  CancelToken& Cancel() override { return inner_.Cancel(); }

  int writes = 0;
  std::size_t fileBytes = 0;
  std::size_t beforeLast = 0;  // file bytes written before the last write
  std::chrono::steady_clock::time_point first, last;

 private:
  BytePort& inner_;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool Run() {
  testing::TempDir dir;
  std::string binary;
  for (int i = 0; i < 65536; ++i) binary += static_cast<char>((i * 131 + i / 256) % 256);
  testing::WriteFileBytes(dir.File("fw.bin"), binary);
  const testing::ProcessResult made = testing::RunProcess(
      {"/usr/bin/objcopy", "-I", "binary", "-O", "ihex", dir.File("fw.bin"), dir.File("fw.hex")});
  const std::string image = testing::ReadFileBytes(dir.File("fw.hex"));
  if (made.exitCode != 0 || image.empty()) {
    std::printf("objcopy failed: %s\n", made.err.c_str());
    return false;
  }
  testing::BackgroundProcess sim({ZDL_SIM_PATH, "--bootloader", "--paced", "--save-received",
                                  dir.File("received")});
  if (sim.FirstLine().empty()) {
    std::printf("the simulated boot loader did not start\n");
    return false;
  }
  SteadyClock clock;
  QtSerialPort real(clock);
  TimingPort port(real);
  if (!port.Open({sim.FirstLine()})) {
    std::printf("cannot open %s\n", sim.FirstLine().c_str());
    return false;
  }
  ProgressSink quiet;
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const FirmwareResult result = UploadFirmware(port, clock, image, quiet);
  const auto t1 = std::chrono::steady_clock::now();
  const double cpu = CpuSeconds() - cpu0;
  port.Close();
  sim.Stop();
  const bool same = testing::ReadFileBytes(dir.File("received")) == image;

  const double whole = Seconds(t0, t1);
  const double transfer = Seconds(port.first, port.last);
  const double transferWire = static_cast<double>(port.beforeLast) * kByteSeconds;
  const double fileWire = static_cast<double>(image.size()) * kByteSeconds;
  std::printf("upload %s, received %s: image %zu bytes (64 KiB binary), file wire time %.3f s\n",
              result.ok() ? "ok" : "FAILED", same ? "identical" : "DIFFERENT", image.size(),
              fileWire);
  std::printf("transfer (first byte sent to last) %.3f s, wire time of those bytes %.3f s: "
              "ratio %.4f (target at most 1.02)\n",
              transfer, transferWire, transfer / transferWire);
  std::printf("whole upload %.3f s = file wire time x %.4f + fixed waits %.1f s (target: x at "
              "most 1.02)\n",
              whole, (whole - kFixedWaits) / fileWire, kFixedWaits);
  std::printf("cpu %.3f s, cpu/elapsed %.3f%% (target under 2%%)\n", cpu, 100.0 * cpu / whole);
  return result.ok() && same;
}

}  // namespace
}  // namespace zdl

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return zdl::Run() ? 0 : 1;
}
