// zdl410 flash: the firmware upload from the command line. The status texts go to stderr
// as lines, the byte count as a bar on one updated line when stderr is a terminal; the
// final text goes to stdout on success and to stderr on a failure.
#include <unistd.h>

#include <charconv>
#include <iostream>
#include <memory>

#include "cli/cli.h"
#include "cli/common.h"
#include "cli/terminal.h"
#include "firmware/firmware_upload.h"
#include "link/qt/qt_serial_port.h"
#include "link/trace_port.h"

namespace zdl::cli {

namespace {

// Status lines and, on a terminal, a bar redrawn when the percentage moves.
class FlashProgress final : public ProgressSink {
 public:
  explicit FlashProgress(const Context& ctx) : ctx_(ctx), tty_(::isatty(STDERR_FILENO)) {}
  ~FlashProgress() override { EndBar(); }

  void Status(TextId offset) override {
    if (offset == TextId::CommunicationErrorAlert || offset == TextId::FirmwareUpgraded) return;  // the outcome is reported by the command
    EndBar();
    std::cerr << ctx_.Text(offset) << std::endl;
  }
  void Range(int maximum) override { maximum_ = maximum; }
  void Value(int value) override {
    if (!tty_ || maximum_ <= 0) return;
    const int percent = static_cast<int>(static_cast<long long>(value) * 100 / maximum_);
    if (drawn_ && percent == percent_) return;
    percent_ = percent;
    const int filled = percent * 30 / 100;
    std::cerr << '\r' << '[' << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(30 - filled), '.') << "] " << value << '/'
              << maximum_ << "\x1b[K" << std::flush;
    drawn_ = true;
  }
  void EndBar() {
    if (drawn_) std::cerr << '\n';
    drawn_ = false;
  }

 private:
  const Context& ctx_;
  bool tty_;
  bool drawn_ = false;
  int maximum_ = 0;
  int percent_ = -1;
};

std::optional<int> Seconds(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 86400) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

int Flash(Args& args, const Context& ctx) {
  const std::optional<std::string> portName = args.Option("--port");
  const std::optional<std::string> trace = args.Option("--trace");
  const std::optional<std::string> wait = args.Option("--wait");
  const std::vector<std::string> files = args.Positionals();
  if (!args.Error().empty()) return UsageError(args.Error());
  if (!portName || portName->empty()) return UsageError("flash needs --port PORT");
  if (files.size() != 1) return UsageError("flash takes one file");
  FirmwareOptions options;
  if (wait) {
    const std::optional<int> seconds = Seconds(*wait);
    if (!seconds) return UsageError("--wait takes a whole number of seconds, 1 to 86400");
    options.promptWait = Millis(std::int64_t{*seconds} * 1000);
  }

  if (!TracePathUsable(trace, {{files[0], ExtraText::TheInputFile}}, ctx)) return kUsage;

  // The file is read whole and closed before the port is touched.
  std::string error;
  const std::optional<std::string> image = ReadFirmwareFile(files[0], ctx.lang, error);
  if (!image) {
    std::cerr << "zdl410: " << error << '\n';
    return kFailure;
  }

  SteadyClock clock;
  QtSerialPort real(clock);
  LogFile traceFile;
  std::unique_ptr<TracingPort> tracing;
  if (trace) {
    if (!OpenTrace(*trace, traceFile, ctx)) return kFailure;
    tracing = std::make_unique<TracingPort>(real, clock, traceFile.Stream());
  }
  BytePort& port = tracing ? static_cast<BytePort&>(*tracing) : real;

  PortSettings settings;
  settings.name = *portName;
  if (!port.Open(settings)) {
    std::cerr << "zdl410: " << PortErrorText(port.Error()).In(ctx.lang) << '\n';
    return kFailure;
  }

  FirmwareResult result;
  {
    InterruptWatch interrupt([&real] { real.RequestCancel(); });
    FlashProgress progress(ctx);
    options.cancelled = [&interrupt] { return interrupt.Interrupted(); };
    options.waitingForPrompt = [&](std::optional<BootLoaderText> missing) {
      if (!missing) return;
      progress.EndBar();
      std::cerr << FirmwareRestartText(*missing, ctx.lang) << std::endl;
    };
    result = UploadFirmware(port, clock, *image, progress, options);
  }
  const std::string closeReason = PortErrorText(port.Error()).In(ctx.lang);
  port.Close();

  if (result.ok()) {
    std::cout << FirmwareOutcomeText(result, ctx.lang) << '\n';
    return kSuccess;
  }
  if (result.outcome == FirmwareResult::Cancelled) {
    std::cerr << "zdl410: interrupted\n";
  } else {
    std::cerr << "zdl410: " << FirmwareOutcomeText(result, ctx.lang);
    if (result.outcome == FirmwareResult::PortClosed && !closeReason.empty()) {
      std::cerr << ": " << closeReason;
    }
    std::cerr << '\n';
  }
  return kFailure;
}

}  // namespace zdl::cli
