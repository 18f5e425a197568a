#include "link/qt/qt_serial_port.h"

#include <sys/ioctl.h>

#include <QMetaObject>
#include <QSerialPort>
#include <QString>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

namespace zdl {

namespace {

// The longest a wait sleeps before it looks at the cancel, a close asked by another
// thread and the carrier again.
constexpr Millis kSlice{50};
constexpr int kComPorts = 16;
// Time one byte takes on the line at 9600,N,8,1 (ten bits).
constexpr Micros kByteTime{1042};
// What QSerialPort keeps of received bytes nobody has read yet, as the unit's receive
// buffer of 8192 characters: while a connection is idle (its thread's event loop reads the
// port) a device that keeps sending fills this much and then waits in the system's own
// small buffer, instead of filling the memory. A wait takes all of it at once into
// received_, so QSerialPort always has room again when the wait asks it for more.
constexpr qint64 kReadBuffer = 8192;

constexpr const char* kNeedsQThread =
    "QtSerialPort: the port must be opened and driven on a QThread or on the main thread of "
    "a QCoreApplication; this thread has no Qt event dispatcher (a plain std::thread?)";
constexpr const char* kForeignThread =
    "QtSerialPort: called on a thread that does not own the open port";

// Errors after which the port is of no more use: the device went away or the far end
// of a pseudo-terminal closed. Time-outs and failed modem-line requests are not.
bool EndsThePort(QSerialPort::SerialPortError error) {
  return error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
         error == QSerialPort::ResourceError;
}

// Qt's text for these errors repeats whatever errno was left behind (a read of a
// pseudo-terminal whose far end closed reports "No such file or directory"), so the
// reason is ours.
PortFailure Describe(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::ReadError:
      return PortFailure::ReadFailed;
    case QSerialPort::WriteError:
      return PortFailure::WriteFailed;
    default:
      return PortFailure::Gone;
  }
}

int SliceMillis(Micros remaining) {
  const auto ms = std::chrono::ceil<Millis>(remaining);
  return static_cast<int>(std::clamp(ms, Millis{1}, kSlice).count());
}

}  // namespace

struct QtSerialPort::Shared {
  // Held by whoever uses the QSerialPort or the owner-thread state: the owner thread
  // inside a call (never while it waits for anything but the port, so never long), its
  // event loop closing the port, and another thread asking for a close or destroying.
  std::mutex call;
  QSerialPort* port = nullptr;  // owned; lives in `owner`
  std::atomic<QThread*> owner{nullptr};
  std::atomic<bool> open{false};
  // Another thread asked for a close, or a device error did: the owner closes at once.
  std::atomic<bool> closeAsked{false};

  mutable std::mutex errorMutex;
  PortError error;  // Error()
  // A device error seen by the port's signal, not acted on yet.
  PortFailure pendingError = PortFailure::None;

  void SetError(PortError reason) {
    std::lock_guard lock(errorMutex);
    error = std::move(reason);
  }
  PortFailure TakePendingError() {
    std::lock_guard lock(errorMutex);
    return std::exchange(pendingError, PortFailure::None);
  }

  enum class Delete { Now, Deferred };
  // On the owner thread, with `call` held. Deferred when this runs inside one of the
  // port's own events or signals.
  void CloseHere(Delete when) {
    open = false;
    if (port != nullptr) {
      QObject::disconnect(port, nullptr, nullptr, nullptr);
      port->close();
      if (when == Delete::Now) {
        delete port;
      } else {
        port->deleteLater();
      }
      port = nullptr;
    }
    owner = nullptr;
  }

  // Asks the owner thread's event loop to close `port` (still the open one).
  static void CloseFromEventLoop(const std::weak_ptr<Shared>& weak, QSerialPort* port) {
    QMetaObject::invokeMethod(
        port,
        [weak, port] {
          const std::shared_ptr<Shared> shared = weak.lock();
          if (!shared) return;
          std::lock_guard lock(shared->call);
          if (shared->port != port) return;
          const PortFailure pending = shared->TakePendingError();
          if (pending != PortFailure::None) {
            shared->SetError({pending, port->portName().toStdString(), {}});
          }
          shared->CloseHere(Delete::Deferred);
        },
        Qt::QueuedConnection);
  }
};

QtSerialPort::QtSerialPort(Clock& clock) : clock_(clock), shared_(std::make_shared<Shared>()) {}

QtSerialPort::~QtSerialPort() {
  // A call in progress on the owner thread ends within one slice.
  shared_->closeAsked = true;
  cancel_.Request();
  std::lock_guard lock(shared_->call);
  QSerialPort* port = shared_->port;
  if (port == nullptr) return;
  shared_->open = false;
  QObject::disconnect(port, nullptr, nullptr, nullptr);
  if (shared_->owner.load() == QThread::currentThread()) {
    port->close();
    delete port;
  } else {
    // Closed and deleted on its own thread: its notifiers belong there.
    port->deleteLater();
  }
  shared_->port = nullptr;
  shared_->owner = nullptr;
}

std::string QtSerialPort::DevicePath(const std::string& name) {
  for (int number = 1; number <= kComPorts; ++number) {
    if (name == "COM" + std::to_string(number)) return "/dev/ttyS" + std::to_string(number - 1);
  }
  return name;
}

std::optional<bool> QtSerialPort::ReadCarrierLine(QSerialPort& port) {
  port.clearError();
  const QSerialPort::PinoutSignals lines = port.pinoutSignals();
  if (port.error() != QSerialPort::NoError) {
    port.clearError();
    return std::nullopt;
  }
  return lines.testFlag(QSerialPort::DataCarrierDetectSignal);
}

bool QtSerialPort::OnOwnerThread([[maybe_unused]] const char* what) const {
  const QThread* owner = shared_->owner.load();
  const bool here = owner == nullptr || owner == QThread::currentThread();
  Q_ASSERT_X(here, what, kForeignThread);
  return here;
}

bool QtSerialPort::Open(const PortSettings& settings) {
  if (QThread::currentThread()->eventDispatcher() == nullptr) {
#ifndef QT_NO_DEBUG
    qFatal("%s", kNeedsQThread);
#endif
    shared_->SetError({PortFailure::Other, {}, kNeedsQThread});
    return false;
  }
  if (!OnOwnerThread("QtSerialPort::Open")) {
    shared_->SetError({PortFailure::Other, {}, kForeignThread});
    return false;
  }
  Close();
  std::lock_guard lock(shared_->call);
  shared_->closeAsked = false;
  shared_->TakePendingError();
  shared_->SetError({});
  carrierLost_ = false;
  device_ = DevicePath(settings.name);
  if (device_.empty()) {
    shared_->SetError({PortFailure::NoName, {}, {}});
    return false;
  }

  auto port = std::make_unique<QSerialPort>();
  port->setPortName(QString::fromStdString(device_));
  port->setBaudRate(QSerialPort::Baud9600);
  port->setDataBits(QSerialPort::Data8);
  port->setParity(QSerialPort::NoParity);
  port->setStopBits(QSerialPort::OneStop);
  port->setFlowControl(settings.handshake == Handshake::RtsCts ? QSerialPort::HardwareControl
                                                                : QSerialPort::NoFlowControl);
  port->setReadBufferSize(kReadBuffer);
  if (!port->open(QIODevice::ReadWrite)) {
    shared_->SetError({PortFailure::OpenFailed, device_, port->errorString().toStdString()});
    return false;
  }
  // A pseudo-terminal has no modem lines: DTR cannot be set there, which is harmless.
  if (settings.dtr && !port->setDataTerminalReady(true)) port->clearError();

  // A device error is only noted here; a call in progress closes the port once it is
  // back from QSerialPort, and an idle port is closed from the event loop (the signal
  // can fire many times in a row, so only the first error asks). `open()` itself
  // reports NoError, which is ignored.
  QSerialPort* raw = port.get();
  const std::weak_ptr<Shared> weak = shared_;
  QObject::connect(raw, &QSerialPort::errorOccurred, raw,
                   [weak, raw](QSerialPort::SerialPortError error) {
                     const std::shared_ptr<Shared> shared = weak.lock();
                     if (!shared || !EndsThePort(error)) return;
                     {
                       std::lock_guard errorLock(shared->errorMutex);
                       if (shared->pendingError != PortFailure::None) return;
                       shared->pendingError = Describe(error);
                     }
                     Shared::CloseFromEventLoop(weak, raw);
                   });
  // A port still open when its thread ends is closed there, before the thread is gone.
  QObject::connect(
      QThread::currentThread(), &QThread::finished, raw,
      [weak, raw] {
        const std::shared_ptr<Shared> shared = weak.lock();
        if (!shared) return;
        std::lock_guard finishLock(shared->call);
        if (shared->port == raw) shared->CloseHere(Shared::Delete::Deferred);
      },
      Qt::DirectConnection);

  shared_->port = port.release();
  shared_->owner = QThread::currentThread();
  shared_->open = true;
  watchCarrier_ = settings.watchCarrier;
  carrierPresent_ = false;
  nextCarrierCheck_ = Micros{0};
  if (watchCarrier_) CarrierDropped();  // learns the line's state
  return true;
}

void QtSerialPort::Close() {
  const QThread* owner = shared_->owner.load();
  if (owner != nullptr && owner != QThread::currentThread()) {
    // Not ours to close: the owner does it, at once if it is inside a call.
    shared_->closeAsked = true;
    std::lock_guard lock(shared_->call);
    if (shared_->port != nullptr) Shared::CloseFromEventLoop(shared_, shared_->port);
    return;
  }
  std::lock_guard lock(shared_->call);
  if (shared_->owner.load() == QThread::currentThread()) shared_->CloseHere(Shared::Delete::Now);
  received_.clear();
  readPos_ = 0;
  watchCarrier_ = false;
}

bool QtSerialPort::IsOpen() const { return shared_->open && !shared_->closeAsked; }

std::string QtSerialPort::ErrorString() const { return PortErrorText(Error()).In(Lang::English); }

PortError QtSerialPort::Error() const {
  std::lock_guard lock(shared_->errorMutex);
  return shared_->error;
}

void QtSerialPort::CloseFor(PortError reason) {
  shared_->SetError(std::move(reason));
  shared_->CloseHere(Shared::Delete::Now);
  received_.clear();
  readPos_ = 0;
  watchCarrier_ = false;
}

bool QtSerialPort::CarrierDropped() {
  const Micros now = clock_.Now();
  if (now < nextCarrierCheck_) return false;
  nextCarrierCheck_ = now + kSlice;
  const std::optional<bool> present = carrierReader_(*shared_->port);
  if (!present) {
    // No modem lines to watch (a pseudo-terminal): never counts as a drop.
    watchCarrier_ = false;
    return false;
  }
  const bool dropped = carrierPresent_ && !*present;
  carrierPresent_ = *present;
  return dropped;
}

bool QtSerialPort::StillUsable() {
  if (shared_->port == nullptr) return false;
  if (const PortFailure pending = shared_->TakePendingError(); pending != PortFailure::None) {
    CloseFor({pending, device_, {}});
    return false;
  }
  if (shared_->closeAsked) {
    CloseFor({});
    return false;
  }
  if (watchCarrier_ && CarrierDropped()) {
    carrierLost_ = true;
    CloseFor({PortFailure::CarrierLost, device_, {}});
    return false;
  }
  return true;
}

void QtSerialPort::TakeReceived() {
  const QByteArray bytes = shared_->port->readAll();
  received_.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  readPos_ = 0;
}

void QtSerialPort::MakeRoomToRead() {
  QSerialPort& port = *shared_->port;
  if (port.bytesAvailable() < kReadBuffer) return;
  // Kept for the next read, up to twice the buffer; beyond that the device is flooding
  // the line and what it sends is of no use to anyone.
  received_.erase(0, readPos_);
  readPos_ = 0;
  const QByteArray bytes = port.readAll();
  const auto keep = static_cast<std::size_t>(2 * kReadBuffer);
  const std::size_t room = received_.size() < keep ? keep - received_.size() : 0;
  received_.append(bytes.constData(), std::min(room, static_cast<std::size_t>(bytes.size())));
}

bool QtSerialPort::Write(std::string_view bytes) {
  if (!OnOwnerThread("QtSerialPort::Write")) return false;
  std::lock_guard lock(shared_->call);
  if (!StillUsable() || cancel_.Requested()) return false;
  QSerialPort& port = *shared_->port;
  const auto size = static_cast<qint64>(bytes.size());
  if (port.write(bytes.data(), size) != size) {
    {
      std::lock_guard errorLock(shared_->errorMutex);
      if (shared_->pendingError == PortFailure::None) {
        shared_->pendingError = Describe(QSerialPort::WriteError);
      }
    }
    StillUsable();
    return false;
  }
  // Without an event loop nothing moves the bytes on by itself: hand what the system
  // takes now to it; the rest leaves during the next wait.
  while (port.bytesToWrite() > 0 && port.waitForBytesWritten(0)) {
  }
  return StillUsable();
}

std::optional<char> QtSerialPort::ReadByte(Micros deadline) {
  if (!OnOwnerThread("QtSerialPort::ReadByte")) return std::nullopt;
  std::lock_guard lock(shared_->call);
  bool lastLook = false;
  for (;;) {
    if (!StillUsable() || cancel_.Requested()) return std::nullopt;
    if (readPos_ < received_.size()) return received_[readPos_++];
    QSerialPort& port = *shared_->port;
    if (port.bytesAvailable() > 0) {
      TakeReceived();
      continue;
    }
    const Micros now = clock_.Now();
    if (now >= deadline) {
      // Bytes the system has received but not yet handed over still count.
      if (lastLook) return std::nullopt;
      lastLook = true;
      port.waitForReadyRead(0);
      continue;
    }
    port.waitForReadyRead(SliceMillis(deadline - now));
  }
}

bool QtSerialPort::WaitWritten(Micros deadline) {
  if (!OnOwnerThread("QtSerialPort::WaitWritten")) return false;
  std::lock_guard lock(shared_->call);
  for (;;) {
    if (!StillUsable() || cancel_.Requested()) return false;
    QSerialPort& port = *shared_->port;
    const Micros now = clock_.Now();
    if (port.bytesToWrite() > 0) {
      if (now >= deadline) return false;
      // With its read buffer full QSerialPort's wait returns at once while the device
      // has more to give: without room it would turn in a tight loop.
      MakeRoomToRead();
      port.waitForBytesWritten(SliceMillis(deadline - now));
      continue;
    }
    // The bytes have left the program; wait for the system's queue to go out on the line.
    int queued = 0;
    if (::ioctl(static_cast<int>(port.handle()), TIOCOUTQ, &queued) == -1 || queued <= 0) {
      return true;
    }
    if (now >= deadline) return false;
    clock_.SleepUntil(std::min({deadline, now + queued * kByteTime, now + Micros{kSlice}}), cancel_);
  }
}

void QtSerialPort::PollCarrier() {
  if (!OnOwnerThread("QtSerialPort::PollCarrier")) return;
  std::lock_guard lock(shared_->call);
  nextCarrierCheck_ = Micros{0};  // look now, whenever the last look was
  StillUsable();
}

bool QtSerialPort::TakeCarrierLoss() {
  std::lock_guard lock(shared_->call);
  return std::exchange(carrierLost_, false);
}

}  // namespace zdl
