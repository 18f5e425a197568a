#include "ui/app/unit_link.h"

#include <QMetaObject>
#include <QSerialPortInfo>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <utility>

#include "link/qt/qt_serial_port.h"
#include "transfer/read_config.h"
#include "transfer/write_session.h"
#include "ui/app/language.h"
#include "ui/app/unit_link_parts.h"

namespace zdl::ui {

namespace {

// How often an idle connection looks at the carrier (and at a device that went away).
constexpr int kCarrierWatchMs = 250;
constexpr int kComPorts = 16;
// The firmware upload's "Switch off and switch on the equipe".

// A progress sink that hands each report on (the firmware upload's, which the windows
// show apart from a connection's).
class ForwardingSink final : public ProgressSink {
 public:
  ForwardingSink(std::function<void(TextId)> status, std::function<void(std::int64_t, std::int64_t)> value)
      : status_(std::move(status)), value_(std::move(value)) {}

  void Status(TextId offset) override { status_(offset); }
  void Range(int maximum) override { total_ = maximum; }
  void Value(int value) override { value_(value, total_); }

 private:
  std::function<void(TextId)> status_;
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

// Everything on the worker thread: the virtual unit, the ports, the connection, its jobs
// and the carrier watch. Built on the interface thread (nothing in it is bound to a
// thread until a port opens, which happens on the worker), used only on the worker,
// except for the cancel, the trace switch and the virtual unit's carrier drop, which are
// thread-safe.
class UnitLink::Worker final : public ConnectionUi, public WriteSessionSink {
 public:
  Worker(UnitLink& link, const Options& options)
      : link_(link),
        prompts_(link.prompts_),
        virtual_(options, clock_),
        ports_(virtual_.Port(), clock_,
               [this](std::string line) {
                 link_.Post([text = QString::fromStdString(line)](UnitLink& l) { emit l.TraceLine(text); });
               }),
        port_(ports_.Port()),
        connection_(port_, clock_),
        watch_(new QTimer(&context_)) {
    watch_->setInterval(kCarrierWatchMs);
    QObject::connect(watch_, &QTimer::timeout, &context_, [this] { WatchCarrier(); });
  }

  QObject& Context() { return context_; }

  // --- any thread ---
  void RequestCancel() { ports_.RequestCancel(); }
  void BeginExchange() {
    commit_.Reset();
    ports_.BeginExchange();
  }
  WriteCommit& Commit() { return commit_; }
  void SetTrace(bool on) { ports_.SetTrace(on); }
  void DropVirtualCarrier() { virtual_.DropCarrier(); }
  // No more trace lines (the link is going).
  void Silence() { ports_.Silence(); }

  // --- the jobs, on the worker thread; each ends with End ---
  void Start(const ConnectionOptions& options) {
    watch_->stop();
    CloseFirmwarePort();  // an upload's port, and the virtual unit back in its firmware
    port_.Close();  // a connection left open on the other port
    const bool virtualUnit = options.port == VirtualUnitName().toStdString();
    if (virtualUnit) virtual_.UseModem(options.modem);
    port_.UseVirtualUnit(virtualUnit);
    const StartResult result = connection_.Start(options, *this).result;
    const UnitFacts facts{connection_.HasDatalogger(), connection_.FirmVersion(),
                          connection_.FirmText()};
    End(result == StartResult::Connected ? After::Connected : After::NotConnected,
        [result, facts](UnitLink& l) {
          l.facts_ = facts;
          emit l.Started(result);
        });
  }

  void Stop() {
    watch_->stop();
    connection_.Stop(*this);
    End(After::Ended, {});
  }

  void Read(ConfigurationRecord record) {
    watch_->stop();
    const bool ok = ReadConfiguration(connection_.Line(), connection_.ComTimeOut(),
                                      connection_.HasDatalogger(), record, *this);
    End(AfterExchange(ok), [ok, record = std::move(record)](UnitLink& l) { emit l.ReadFinished(ok, record); });
  }

  void ReadForCompare() {
    watch_->stop();
    ConfigurationRecord record;
    const bool ok = ReadConfiguration(connection_.Line(), connection_.ComTimeOut(),
                                      connection_.HasDatalogger(), record, *this);
    End(AfterExchange(ok),
        [ok, record = std::move(record)](UnitLink& l) { emit l.CompareReadFinished(ok, record); });
  }

  // The write, with a backup before it and a verify after it when `extras` asks for them.
  void Write(const ConfigurationRecord& record, const WriteExtras& extras) {
    watch_->stop();
    virtual_.TakeReceivedLines();
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
    End(ended_ ? After::Ended : After::Kept,
        [ok, incomplete, verified, readBackOk, differences = std::move(result.differences),
         back = std::move(result.readBack), lines = virtual_.TakeReceivedLines()](UnitLink& l) mutable {
          l.virtualLines_ = std::move(lines);
          emit l.WriteFinished(ok, incomplete);
          if (verified) emit l.VerifyFinished(readBackOk, differences, back);
        });
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
          [this](TextId text) { link_.Post([text](UnitLink& l) { emit l.UploadStatus(text); }); },
          [this](std::int64_t sent, std::int64_t total) {
            link_.Post([sent, total](UnitLink& l) { emit l.UploadProgress(sent, total); });
          });
      FirmwareOptions options;
      options.cancelled = [this] { return port_.CancelRequested(); };
      options.waitingForPrompt = [this, virtualUnit](std::optional<BootLoaderText> missing) {
        // Back to the wait for "*": the user has to switch the unit off and on again.
        if (missing) link_.Post([](UnitLink& l) { emit l.UploadStatus(TextId::SwitchUnitOffAndOn); });
        if (virtualUnit) virtual_.SwitchOnIntoBootLoader();
      };
      result = UploadFirmware(port_, clock_, image, sink, options);
      if (result.outcome == FirmwareResult::PortClosed && !port_.CancelRequested()) {
        portError = PortErrorText(port_.Error());
      }
      if (virtualUnit) received = virtual_.BootLoaderReceived();
      if (!port_.IsOpen()) CloseFirmwarePort();
    }
    End(After::NotConnected, [result, portError, virtualUnit, received = std::move(received)](UnitLink& l) mutable {
      if (virtualUnit) l.virtualFirmware_ = std::move(received);
      emit l.UploadFinished(result, QString::fromStdString(portError.In(CurrentLang())));
    });
  }

  // The port of the next upload, opened ahead of it.
  void OpenForUpload(const std::string& portName) {
    watch_->stop();
    BilingualText error;
    OpenFirmwarePort(portName, portName == VirtualUnitName().toStdString(), error);
    End(After::NotConnected, [error](UnitLink& l) {
      emit l.PortForUploadOpened(QString::fromStdString(error.In(CurrentLang())));
    });
  }

  // --- not jobs: they end nothing and tell nothing ---
  // The last call: the ports closed on this thread, without a hang-up (closing drops DTR).
  void Shutdown() {
    watch_->stop();
    ports_.Real().Close();
    ports_.Virtual().Close();
  }

  // Closes the port an upload opened; nothing when none is open.
  void CloseFirmwarePort() {
    if (!firmwarePort_) return;
    port_.Close();
    firmwarePort_.reset();
    virtual_.LeaveBootLoader();
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
  void Message(TextId offset) override {
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
  void Status(TextId offset) override {
    link_.Post([offset](UnitLink& l) { emit l.Status(offset); });
  }
  void Range(int maximum) override { maximum_ = maximum; }
  void Value(int value) override {
    link_.Post([value, maximum = maximum_](UnitLink& l) { emit l.Progress(value, maximum); });
  }

 private:
  // What a job leaves of the connection.
  enum class After {
    Connected,     // a start connected: the link is connected
    Kept,          // the connection goes on as it was
    NotConnected,  // a start that failed, an upload: no connection (nothing ended)
    Ended,         // the connection ended: Stopped follows the job's own signals
  };

  // After a read or a write that did not end the connection by itself.
  After AfterExchange(bool ok) { return !ok && EndedByFailure() ? After::Ended : After::Kept; }

  // The end of every job: the carrier watch on again while the connection goes on, then
  // on the interface thread the link no longer busy, its connection state, what the job
  // tells (`tell`), and Stopped when the connection ended.
  void End(After after, std::function<void(UnitLink&)> tell) {
    if (after == After::Connected || after == After::Kept) watch_->start();
    link_.Post([after, tell = std::move(tell)](UnitLink& l) {
      l.busy_ = false;
      if (after == After::Connected) l.connected_ = true;
      if (after == After::NotConnected || after == After::Ended) l.connected_ = false;
      if (tell) tell(l);
      if (after == After::Ended) emit l.Stopped();
    });
  }

  // The port of an upload, open on `portName`: the one an earlier upload left open, or
  // opened now as a direct line (the virtual unit on its direct cable).
  bool OpenFirmwarePort(const std::string& portName, bool virtualUnit, BilingualText& error) {
    if (firmwarePort_ == portName && port_.IsOpen()) return true;
    CloseFirmwarePort();
    port_.Close();
    if (virtualUnit) virtual_.UseModem(false);
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

  // After a failed read or write: true when the connection ended (carrier lost through
  // the modem, ModemConnectionLost; or the port closed under the exchange, its description).
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

  // The carrier watch of an idle connection (not a job: the link is not busy).
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
  VirtualUnit virtual_;
  PortRoutes ports_;
  RoutedPort& port_;
  Connection connection_;
  WriteCommit commit_;  // reset on the interface thread as each exchange is handed over
  QString backupPath_;  // the running write's backup file
  bool ended_ = false;  // the running write's failure ended the connection
  int maximum_ = 0;
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
