#include "ui/app/unit_link.h"

#include <QMetaObject>
#include <QSerialPortInfo>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <utility>

#include "link/qt/qt_serial_port.h"
#include "link/trace_port.h"
#include "sim/sim_port.h"
#include "sim/unit_setup.h"
#include "transfer/read_config.h"
#include "transfer/write_session.h"
#include "ui/app/language.h"

namespace zdl::ui {

namespace {

// How often an idle connection looks at the carrier (and at a device that went away).
constexpr int kCarrierWatchMs = 250;
constexpr int kComPorts = 16;
// The firmware upload's "Switch off and switch on the equipe".
constexpr int kSwitchOffAndOn = 114;

// The port a connection uses: the real one or the virtual unit's, each directly or
// through its tracing port. Chosen per call, so switching the trace takes effect at
// once; the real or virtual side is chosen by a start, while both are closed.
class RoutedPort final : public BytePort {
 public:
  RoutedPort(BytePort& real, BytePort& realTraced, BytePort& sim, BytePort& simTraced,
             const std::atomic<bool>& trace)
      : real_(real), realTraced_(realTraced), sim_(sim), simTraced_(simTraced), trace_(trace) {}

  void UseVirtualUnit(bool on) { virtual_ = on; }

  bool Open(const PortSettings& settings) override { return Target().Open(settings); }
  void Close() override { Target().Close(); }
  bool IsOpen() const override { return Target().IsOpen(); }
  std::string ErrorString() const override { return Target().ErrorString(); }
  PortError Error() const override { return Target().Error(); }
  bool Write(std::string_view bytes) override { return Target().Write(bytes); }
  std::optional<char> ReadByte(Micros deadline) override { return Target().ReadByte(deadline); }
  bool WaitWritten(Micros deadline) override { return Target().WaitWritten(deadline); }
  void PollCarrier() override { Target().PollCarrier(); }
  bool TakeCarrierLoss() override { return Target().TakeCarrierLoss(); }
  CancelToken& Cancel() override { return Target().Cancel(); }
  void Note(std::string_view remark) override { Target().Note(remark); }

 private:
  BytePort& Target() const {
    const bool traced = trace_.load(std::memory_order_relaxed);
    if (virtual_) return traced ? simTraced_ : sim_;
    return traced ? realTraced_ : real_;
  }

  BytePort& real_;
  BytePort& realTraced_;
  BytePort& sim_;
  BytePort& simTraced_;
  const std::atomic<bool>& trace_;
  bool virtual_ = false;
};

// The tracing ports' text, handed on line by line.
class LineSink final : public std::streambuf {
 public:
  explicit LineSink(std::function<void(std::string)> emitLine) : emitLine_(std::move(emitLine)) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    Put(traits_type::to_char_type(c));
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    for (std::streamsize i = 0; i < count; ++i) Put(text[i]);
    return count;
  }

 private:
  void Put(char c) {
    if (c != '\n') {
      line_ += c;
      return;
    }
    emitLine_(std::exchange(line_, std::string()));
  }

  std::function<void(std::string)> emitLine_;
  std::string line_;
};

// A progress sink that hands each report on (the firmware upload's, which the windows
// show apart from a connection's).
class ForwardingSink final : public ProgressSink {
 public:
  ForwardingSink(std::function<void(int)> status, std::function<void(std::int64_t, std::int64_t)> value)
      : status_(std::move(status)), value_(std::move(value)) {}

  void Status(int offset) override { status_(offset); }
  void Range(int maximum) override { total_ = maximum; }
  void Value(int value) override { value_(value, total_); }

 private:
  std::function<void(int)> status_;
  std::function<void(std::int64_t, std::int64_t)> value_;
  std::int64_t total_ = 0;
};

}  // namespace

// The worker's questions to the interface thread: the password prompt and the message
// boxes. The worker waits on a condition (no CPU, no blocking queued call); the answer,
// a cancel or the link closing ends the wait. There is one question at a time.
class UnitLink::Prompts : public std::enable_shared_from_this<UnitLink::Prompts> {
 public:
  // Worker thread: runs `ask` on the interface thread and waits for it to return. False
  // when the question was answered as cancelled, or not asked because the link closes.
  // `ask` must not touch the link after anything it calls returns (a window may have
  // destroyed it in the meantime).
  bool Ask(UnitLink& link, std::function<void(UnitLink&)> ask) {
    auto question = std::make_shared<Question>();
    {
      std::lock_guard lock(mutex_);
      if (closed_) return false;
      pending_ = question;
    }
    QMetaObject::invokeMethod(
        &link,
        [self = shared_from_this(), question, ask = std::move(ask), &link] {
          {
            std::lock_guard lock(self->mutex_);
            if (question->cancelled) return;  // the worker no longer waits: do not show it
          }
          ask(link);
          self->Finish(*question, false);
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] { return question->done; });
    pending_.reset();
    return !question->cancelled;
  }

  // Interface thread: the pending question, if any, counts as cancelled.
  void CancelPending() {
    std::shared_ptr<Question> pending;
    {
      std::lock_guard lock(mutex_);
      pending = pending_;
    }
    if (pending) Finish(*pending, true);
  }

  // Interface thread: cancels the pending question and refuses every later one.
  void Close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    CancelPending();
  }

 private:
  struct Question {
    bool done = false;
    bool cancelled = false;
  };

  void Finish(Question& question, bool cancelled) {
    {
      std::lock_guard lock(mutex_);
      if (question.done) return;
      question.done = true;
      question.cancelled = cancelled;
    }
    wake_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool closed_ = false;
  std::shared_ptr<Question> pending_;
};

// Everything on the worker thread: the ports, the virtual unit, the connection and the
// carrier watch. Built on the interface thread (nothing in it is bound to a thread until
// a port opens, which happens on the worker), used only on the worker, except for the
// cancel, the trace switch and the virtual unit's carrier drop, which are thread-safe.
class UnitLink::Worker final : public ConnectionUi, public WriteSessionSink {
 public:
  Worker(UnitLink& link, const Options& options)
      : link_(link),
        prompts_(link.prompts_),
        unit_(NewVirtualUnit(options)),
        sim_(*unit_, clock_),
        real_(clock_),
        traceSink_([this](std::string line) {
          if (silent_.load(std::memory_order_acquire)) return;
          link_.Post([text = QString::fromStdString(line)](UnitLink& l) { emit l.TraceLine(text); });
        }),
        traceOut_(&traceSink_),
        realTraced_(real_, clock_, traceOut_),
        simTraced_(sim_, clock_, traceOut_),
        port_(real_, realTraced_, sim_, simTraced_, trace_),
        connection_(port_, clock_),
        bootLoaderFaults_(options.virtualBootLoaderFaults),
        watch_(new QTimer(&context_)) {
    watch_->setInterval(kCarrierWatchMs);
    QObject::connect(watch_, &QTimer::timeout, &context_, [this] { WatchCarrier(); });
  }

  QObject& Context() { return context_; }

  // --- any thread ---
  void RequestCancel() {
    real_.RequestCancel();
    sim_.RequestCancel();
  }
  void BeginExchange() {
    commit_.Reset();
    real_.BeginExchange();
    sim_.BeginExchange();
  }
  WriteCommit& Commit() { return commit_; }
  void SetTrace(bool on) { trace_.store(on, std::memory_order_relaxed); }
  void DropVirtualCarrier() { sim_.DropCarrier(); }
  // No more trace lines (the link is going).
  void Silence() { silent_.store(true, std::memory_order_release); }

  // --- the worker thread ---
  void Start(const ConnectionOptions& options) {
    watch_->stop();
    CloseFirmwarePort();  // an upload's port, and the virtual unit back in its firmware
    port_.Close();  // a connection left open on the other port
    const bool virtualUnit = options.port == VirtualUnitName().toStdString();
    if (virtualUnit) PrepareVirtualUnit(options.modem);
    port_.UseVirtualUnit(virtualUnit);
    const StartResult result = connection_.Start(options, *this);
    const UnitFacts facts{connection_.HasDatalogger(), connection_.FirmVersion(),
                          connection_.FirmText()};
    if (result == StartResult::Connected) watch_->start();
    link_.Post([result, facts](UnitLink& l) {
      l.busy_ = false;
      l.connected_ = result == StartResult::Connected;
      l.facts_ = facts;
      emit l.Started(result);
    });
  }

  void Stop() {
    watch_->stop();
    connection_.Stop(*this);
    link_.Post([](UnitLink& l) {
      l.busy_ = false;
      l.connected_ = false;
      emit l.Stopped();
    });
  }

  void Read(ConfigurationRecord record) {
    watch_->stop();
    const bool ok = ReadConfiguration(connection_.Line(), connection_.ComTimeOut(),
                                      connection_.HasDatalogger(), record, *this);
    const bool ended = !ok && EndedByFailure();
    if (!ended) watch_->start();
    link_.Post([ok, ended, record = std::move(record)](UnitLink& l) {
      l.busy_ = false;
      if (ended) l.connected_ = false;
      emit l.ReadFinished(ok, record);
      if (ended) emit l.Stopped();
    });
  }

  void ReadForCompare() {
    watch_->stop();
    ConfigurationRecord record;
    const bool ok = ReadConfiguration(connection_.Line(), connection_.ComTimeOut(),
                                      connection_.HasDatalogger(), record, *this);
    const bool ended = !ok && EndedByFailure();
    if (!ended) watch_->start();
    link_.Post([ok, ended, record = std::move(record)](UnitLink& l) {
      l.busy_ = false;
      if (ended) l.connected_ = false;
      emit l.CompareReadFinished(ok, record);
      if (ended) emit l.Stopped();
    });
  }

  // The write, with a backup before it and a verify after it when `extras` asks for them.
  void Write(const ConfigurationRecord& record, const WriteExtras& extras) {
    watch_->stop();
    TakeVirtualUnitLines();
    WriteSessionOptions options;
    if (extras.backupPath) {
      options.backupPath = [this, &extras](const ConfigurationRecord& unit) {
        backupPath_ = extras.backupPath(unit);
        return std::filesystem::path(backupPath_.toStdString());
      };
    }
    options.verify = extras.verify;
    backupPath_.clear();
    ended_ = false;
    WriteSessionResult result =
        RunWriteSession(connection_.Line(), connection_.ComTimeOut(), connection_.HasDatalogger(),
                        record, options, *this, commit_);
    using Outcome = WriteSessionResult::Outcome;
    const bool ok = result.Written();
    const bool incomplete = result.outcome == Outcome::Incomplete;
    const bool verified = ok && extras.verify;
    const bool readBackOk = result.outcome != Outcome::VerifyReadFailed;
    if (!ended_) watch_->start();
    link_.Post([ok, ended = ended_, incomplete, verified, readBackOk,
                differences = std::move(result.differences), back = std::move(result.readBack),
                lines = TakeVirtualUnitLines()](UnitLink& l) mutable {
      l.busy_ = false;
      if (ended) l.connected_ = false;
      l.virtualLines_ = std::move(lines);
      emit l.WriteFinished(ok, incomplete);
      if (verified) emit l.VerifyFinished(readBackOk, differences, back);
      if (ended) emit l.Stopped();
    });
  }

  // The last job: the ports closed on this thread, without a hang-up (closing drops DTR).
  void Shutdown() {
    watch_->stop();
    real_.Close();
    sim_.Close();
  }

  // The firmware upload: the port opened for it (kept for the next upload), the virtual
  // unit switched into its boot loader whenever the upload waits for "*".
  void Upload(const std::string& portName, const std::string& image) {
    watch_->stop();
    const bool virtualUnit = portName == VirtualUnitName().toStdString();
    FirmwareResult result;  // PortClosed
    BilingualText portError;
    std::string received;
    if (OpenFirmwarePort(portName, virtualUnit, portError)) {
      ForwardingSink sink(
          [this](int offset) { link_.Post([offset](UnitLink& l) { emit l.UploadStatus(offset); }); },
          [this](std::int64_t sent, std::int64_t total) {
            link_.Post([sent, total](UnitLink& l) { emit l.UploadProgress(sent, total); });
          });
      FirmwareOptions options;
      options.cancelled = [this] { return port_.CancelRequested(); };
      options.waitingForPrompt = [this, virtualUnit](std::optional<BootLoaderText> missing) {
        // Back to the wait for "*": the user has to switch the unit off and on again.
        if (missing) link_.Post([](UnitLink& l) { emit l.UploadStatus(kSwitchOffAndOn); });
        if (virtualUnit) SwitchVirtualUnitOn();
      };
      result = UploadFirmware(port_, clock_, image, sink, options);
      if (result.outcome == FirmwareResult::PortClosed && !port_.CancelRequested()) {
        portError = PortErrorText(port_.Error());
      }
      if (virtualUnit && unit_->BootLoader()) received = unit_->BootLoader()->Received();
      if (!port_.IsOpen()) CloseFirmwarePort();
    }
    link_.Post([result, portError, virtualUnit, received = std::move(received)](UnitLink& l) mutable {
      l.busy_ = false;
      if (virtualUnit) l.virtualFirmware_ = std::move(received);
      emit l.UploadFinished(result, QString::fromStdString(portError.In(CurrentLang())));
    });
  }

  // The port of the next upload, opened ahead of it.
  void OpenForUpload(const std::string& portName) {
    watch_->stop();
    BilingualText error;
    OpenFirmwarePort(portName, portName == VirtualUnitName().toStdString(), error);
    link_.Post([error](UnitLink& l) {
      l.busy_ = false;
      emit l.PortForUploadOpened(QString::fromStdString(error.In(CurrentLang())));
    });
  }

  // Closes the port an upload opened; nothing when none is open.
  void CloseFirmwarePort() {
    if (!firmwarePort_) return;
    port_.Close();
    firmwarePort_.reset();
    if (unit_->BootLoader()) unit_->LeaveBootLoader(clock_.Now());
  }

  // --- WriteSessionSink: a write's backup handed on as it ends, a failed step's end of
  // the connection looked at at once (a carrier drop, a port that closed) ---
  void StepEnded(WriteStep step, bool ok, const WriteSessionResult& result) override {
    using Outcome = WriteSessionResult::Outcome;
    if (!ok && result.outcome != Outcome::BackupSaveFailed) ended_ = EndedByFailure();
    if (step != WriteStep::Backup) return;
    // Empty when the unit's configuration could not be read.
    const BilingualText problem = result.saveProblem;
    link_.Post([ok, problem, path = backupPath_](UnitLink& l) {
      if (ok) {
        emit l.BackupSaved(path);
      } else {
        // Worded where it is shown, in the language of that moment.
        emit l.BackupFailed(QString::fromStdString(problem.In(CurrentLang())));
      }
    });
  }

  // --- ConnectionUi and ProgressSink, called by the core on the worker thread ---
  std::optional<std::string> AskPassword() override {
    if (port_.CancelRequested()) return std::nullopt;
    auto answer = std::make_shared<std::optional<std::string>>();
    const bool asked = prompts_->Ask(link_, [answer](UnitLink& l) {
      const auto ask = l.askPassword;  // a copy: the window may destroy the link meanwhile
      if (ask) *answer = ask();
    });
    if (!asked) return std::nullopt;
    return *answer;
  }
  void Message(int offset) override {
    prompts_->Ask(link_, [offset](UnitLink& l) {
      const auto show = l.message;
      if (show) show(offset);
    });
  }
  void ErrorMessage(const BilingualText& description) override {
    // Worded where it is shown, in the language of that moment.
    prompts_->Ask(link_, [description](UnitLink& l) {
      const auto show = l.errorMessage;
      if (show) show(QString::fromStdString(description.In(CurrentLang())));
    });
  }
  void Status(int offset) override {
    link_.Post([offset](UnitLink& l) { emit l.Status(offset); });
  }
  void Range(int maximum) override { maximum_ = maximum; }
  void Value(int value) override {
    link_.Post([value, maximum = maximum_](UnitLink& l) { emit l.Progress(value, maximum); });
  }

 private:
  static std::unique_ptr<SimulatedUnit> NewVirtualUnit(const Options& options) {
    SimOptions sim;
    sim.password = VirtualUnitPassword();
    sim.paced = options.pacedVirtualUnit;
    sim.saveTime = options.virtualSaveTime;
    sim.faults = options.virtualFaults;
    auto unit = std::make_unique<SimulatedUnit>(sim);
    if (options.virtualConfiguration) StartFromConfiguration(*unit, *options.virtualConfiguration);
    return unit;
  }

  // The virtual unit behind a modem or on a direct cable, as the start asks, keeping
  // its configuration.
  void PrepareVirtualUnit(bool modem) {
    if (unit_->Options().modem == modem) return;
    SimOptions options = unit_->Options();
    options.modem = modem;
    auto next = std::make_unique<SimulatedUnit>(options, unit_->Record());
    sim_.Attach(*next);
    unit_ = std::move(next);
  }

  // The port of an upload, open on `portName`: the one an earlier upload left open, or
  // opened now as a direct line (the virtual unit on its direct cable).
  bool OpenFirmwarePort(const std::string& portName, bool virtualUnit, BilingualText& error) {
    if (firmwarePort_ == portName && port_.IsOpen()) return true;
    CloseFirmwarePort();
    port_.Close();
    if (virtualUnit) PrepareVirtualUnit(false);
    port_.UseVirtualUnit(virtualUnit);
    PortSettings settings;
    settings.name = portName;
    if (!port_.Open(settings)) {
      error = PortErrorText(port_.Error());
      port_.Close();
      return false;
    }
    firmwarePort_ = portName;
    return true;
  }

  // The virtual unit switched off and on into its boot loader, which announces "*".
  void SwitchVirtualUnitOn() {
    if (unit_->BootLoader()) {
      unit_->PowerCycle(clock_.Now());
      return;
    }
    BootLoaderOptions options;
    options.paced = unit_->Options().paced;
    options.faults = bootLoaderFaults_;
    unit_->EnterBootLoader(options, clock_.Now());
  }

  // The logical lines the virtual unit received since the last call, as it parsed them.
  std::vector<std::string> TakeVirtualUnitLines() {
    static constexpr std::string_view kReceived = "received ";
    std::vector<std::string> lines;
    for (std::string& entry : unit_->TakeTrace()) {
      if (entry.starts_with(kReceived)) lines.push_back(entry.substr(kReceived.size()));
    }
    return lines;
  }

  // After a failed read or write: true when the connection ended (carrier lost through
  // the modem, message 182; or the port closed under the exchange, its description).
  bool EndedByFailure() {
    if (connection_.HandleCarrierLoss(*this)) return true;
    if (connection_.IsOpen()) return false;
    if (!port_.CancelRequested()) {
      if (const PortError failure = port_.Error(); !failure.empty()) {
        ErrorMessage(PortErrorText(failure));
      }
    }
    connection_.Stop(*this);
    return true;
  }

  void WatchCarrier() {
    if (connection_.WatchCarrier(*this)) return;
    watch_->stop();
    link_.Post([](UnitLink& l) {
      l.connected_ = false;
      emit l.Stopped();
    });
  }

  UnitLink& link_;
  std::shared_ptr<Prompts> prompts_;
  SteadyClock clock_;
  std::unique_ptr<SimulatedUnit> unit_;
  SimPort sim_;
  QtSerialPort real_;
  std::atomic<bool> silent_{false};
  LineSink traceSink_;
  std::ostream traceOut_;
  TracingPort realTraced_;
  TracingPort simTraced_;
  std::atomic<bool> trace_{false};
  RoutedPort port_;
  Connection connection_;
  WriteCommit commit_;  // reset on the interface thread as each exchange is handed over
  QString backupPath_;  // the running write's backup file
  bool ended_ = false;  // the running write's failure ended the connection
  int maximum_ = 0;
  BootLoaderFaults bootLoaderFaults_;
  std::optional<std::string> firmwarePort_;  // the port an upload opened and left open
  QObject context_;  // lives on the worker thread
  QTimer* watch_;    // owned by context_
};

UnitLink::UnitLink(Options options, QObject* parent)
    : QObject(parent), prompts_(std::make_shared<Prompts>()) {
  worker_ = std::make_unique<Worker>(*this, options);
  thread_.setObjectName(QStringLiteral("UnitLink"));
  worker_->Context().moveToThread(&thread_);
  thread_.start();
}

UnitLink::~UnitLink() {
  prompts_->Close();
  worker_->RequestCancel();
  worker_->Silence();
  QMetaObject::invokeMethod(
      &worker_->Context(),
      [worker = worker_.get()] {
        worker->Shutdown();
        QThread::currentThread()->quit();
      },
      Qt::QueuedConnection);
  thread_.wait();
  worker_.reset();
}

QString UnitLink::VirtualUnitName() { return QStringLiteral("ZDL410 virtual"); }

std::string UnitLink::VirtualUnitPassword() { return "1234"; }

QList<QPair<QString, QString>> UnitLink::SystemPorts() {
  QList<QPair<QString, QString>> ports;
  const QList<QSerialPortInfo> found = QSerialPortInfo::availablePorts();
  for (const QSerialPortInfo& info : found) {
    const QString path = info.systemLocation();
    bool named = false;
    for (int number = 1; number <= kComPorts && !named; ++number) {
      named = path.toStdString() == QtSerialPort::DevicePath("COM" + std::to_string(number));
    }
    if (named || path.isEmpty()) continue;
    const QString description = info.description();
    ports.append({path, description.isEmpty() ? path : path + QStringLiteral(" (") + description +
                                                           QStringLiteral(")")});
  }
  std::sort(ports.begin(), ports.end());
  return ports;
}

bool UnitLink::Submit(std::function<void(Worker&)> job) {
  if (busy_) return false;
  busy_ = true;
  worker_->BeginExchange();
  QMetaObject::invokeMethod(
      &worker_->Context(), [worker = worker_.get(), job = std::move(job)] { job(*worker); },
      Qt::QueuedConnection);
  return true;
}

void UnitLink::Post(std::function<void(UnitLink&)> call) {
  QMetaObject::invokeMethod(this, [this, call = std::move(call)] { call(*this); },
                            Qt::QueuedConnection);
}

bool UnitLink::Start(const ConnectionOptions& options) {
  return Submit([options](Worker& worker) { worker.Start(options); });
}

bool UnitLink::Stop() {
  return Submit([](Worker& worker) { worker.Stop(); });
}

bool UnitLink::Read(const ConfigurationRecord& current) {
  if (!connected_) return false;
  return Submit([current](Worker& worker) { worker.Read(current); });
}

bool UnitLink::Write(const ConfigurationRecord& record) { return Write(record, {}); }

bool UnitLink::Write(const ConfigurationRecord& record, const WriteExtras& extras) {
  if (!connected_) return false;
  return Submit([record, extras](Worker& worker) { worker.Write(record, extras); });
}

bool UnitLink::ReadForCompare() {
  if (!connected_) return false;
  return Submit([](Worker& worker) { worker.ReadForCompare(); });
}

void UnitLink::Cancel() {
  if (!busy_) return;
  worker_->RequestCancel();
  prompts_->CancelPending();
}

bool UnitLink::CancelUnlessCommitted() {
  if (!busy_) return true;
  if (!worker_->Commit().CancelUnlessCommitted()) return false;
  Cancel();
  return true;
}

bool UnitLink::WriteCommitted() const { return busy_ && worker_->Commit().Committed(); }

void UnitLink::SetTraceEnabled(bool on) { worker_->SetTrace(on); }

void UnitLink::DropVirtualUnitCarrier() { worker_->DropVirtualCarrier(); }

}  // namespace zdl::ui

namespace zdl::ui {

bool UnitLink::Upload(const QString& port, std::string image) {
  if (connected_) return false;
  auto bytes = std::make_shared<const std::string>(std::move(image));
  return Submit([name = port.toStdString(), bytes](Worker& worker) { worker.Upload(name, *bytes); });
}

bool UnitLink::OpenPortForUpload(const QString& port) {
  if (connected_) return false;
  return Submit([name = port.toStdString()](Worker& worker) { worker.OpenForUpload(name); });
}

void UnitLink::ClosePort() {
  QMetaObject::invokeMethod(
      &worker_->Context(), [worker = worker_.get()] { worker->CloseFirmwarePort(); },
      Qt::QueuedConnection);
}

}  // namespace zdl::ui
