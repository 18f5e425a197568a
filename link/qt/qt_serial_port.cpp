#include "link/qt/qt_serial_port.h"

#include <sys/ioctl.h>

#include <QSerialPort>
#include <QString>
#include <algorithm>

namespace zdl {

namespace {

// The longest a wait sleeps before it looks at the cancel flag and the carrier again.
constexpr Millis kSlice{50};
constexpr int kComPorts = 16;
// Time one byte takes on the line at 9600,N,8,1 (ten bits).
constexpr Micros kByteTime{1042};

// Errors after which the port is of no more use: the device went away or the far end
// of a pseudo-terminal closed. Time-outs and failed modem-line requests are not.
bool EndsThePort(QSerialPort::SerialPortError error) {
  return error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
         error == QSerialPort::ResourceError;
}

// Qt's text for these errors repeats whatever errno was left behind (a read of a
// pseudo-terminal whose far end closed reports "No such file or directory"), so the
// description is ours.
std::string Describe(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::ReadError:
      return "reading failed: the device was removed or its far end closed";
    case QSerialPort::WriteError:
      return "writing failed: the device was removed or its far end closed";
    default:
      return "the device is no longer available";
  }
}

int SliceMillis(Micros remaining) {
  const auto ms = std::chrono::ceil<Millis>(remaining);
  return static_cast<int>(std::clamp(ms, Millis{1}, kSlice).count());
}

}  // namespace

QtSerialPort::QtSerialPort(Clock& clock) : clock_(clock) {}

QtSerialPort::~QtSerialPort() { Close(); }

std::string QtSerialPort::DevicePath(const std::string& name) {
  for (int number = 1; number <= kComPorts; ++number) {
    if (name == "COM" + std::to_string(number)) return "/dev/ttyS" + std::to_string(number - 1);
  }
  return name;
}

bool QtSerialPort::Open(const PortSettings& settings) {
  Close();
  cancel_ = false;
  carrierLost_ = false;
  error_.clear();
  pendingError_.clear();
  device_ = DevicePath(settings.name);
  if (device_.empty()) {
    error_ = "No serial port given";
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
  port->setReadBufferSize(0);  // unlimited: at least the 8192 bytes a record stream needs
  // Only noted here; the wait that raised it closes the port once the call has returned.
  QObject::connect(port.get(), &QSerialPort::errorOccurred, port.get(),
                   [this](QSerialPort::SerialPortError error) {
                     if (EndsThePort(error) && pendingError_.empty()) {
                       pendingError_ = Describe(error);
                     }
                   });
  if (!port->open(QIODevice::ReadWrite)) {
    error_ = device_ + ": " + port->errorString().toStdString();
    return false;
  }
  pendingError_.clear();
  // A pseudo-terminal has no modem lines: DTR cannot be set there, which is harmless.
  if (settings.dtr && !port->setDataTerminalReady(true)) port->clearError();
  port_ = std::move(port);

  watchCarrier_ = settings.watchCarrier;
  carrierPresent_ = false;
  nextCarrierCheck_ = Micros{0};
  if (watchCarrier_) CarrierDropped();  // learns the line's state
  return true;
}

void QtSerialPort::Close() {
  if (port_) {
    port_->close();
    port_.reset();
  }
  received_.clear();
  readPos_ = 0;
  watchCarrier_ = false;
}

bool QtSerialPort::IsOpen() const { return port_ && port_->isOpen(); }

std::string QtSerialPort::ErrorString() const { return error_; }

void QtSerialPort::CloseFor(std::string reason) {
  error_ = std::move(reason);
  Close();
}

bool QtSerialPort::CarrierDropped() {
  const Micros now = clock_.Now();
  if (now < nextCarrierCheck_) return false;
  nextCarrierCheck_ = now + kSlice;
  port_->clearError();
  const QSerialPort::PinoutSignals lines = port_->pinoutSignals();
  if (port_->error() != QSerialPort::NoError) {
    // No modem lines to watch (a pseudo-terminal): never counts as a drop.
    port_->clearError();
    watchCarrier_ = false;
    return false;
  }
  const bool present = lines.testFlag(QSerialPort::DataCarrierDetectSignal);
  const bool dropped = carrierPresent_ && !present;
  carrierPresent_ = present;
  return dropped;
}

bool QtSerialPort::StillUsable() {
  if (!IsOpen()) return false;
  if (cancel_) {
    CloseFor("");
    return false;
  }
  if (watchCarrier_ && CarrierDropped()) {
    carrierLost_ = true;
    CloseFor(device_ + ": carrier lost");
    return false;
  }
  if (!pendingError_.empty()) {
    CloseFor(device_ + ": " + pendingError_);
    return false;
  }
  return true;
}

void QtSerialPort::TakeReceived() {
  const QByteArray bytes = port_->readAll();
  received_.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  readPos_ = 0;
}

bool QtSerialPort::Write(std::string_view bytes) {
  if (!StillUsable()) return false;
  const auto size = static_cast<qint64>(bytes.size());
  if (port_->write(bytes.data(), size) != size) {
    if (pendingError_.empty()) pendingError_ = Describe(QSerialPort::WriteError);
    StillUsable();
    return false;
  }
  // Without an event loop nothing moves the bytes on by itself: hand what the system
  // takes now to it; the rest leaves during the next wait.
  while (port_->bytesToWrite() > 0 && port_->waitForBytesWritten(0)) {
  }
  return StillUsable();
}

std::optional<char> QtSerialPort::ReadByte(Micros deadline) {
  bool lastLook = false;
  for (;;) {
    if (!StillUsable()) return std::nullopt;
    if (readPos_ < received_.size()) return received_[readPos_++];
    if (port_->bytesAvailable() > 0) {
      TakeReceived();
      continue;
    }
    const Micros now = clock_.Now();
    if (now >= deadline) {
      // Bytes the system has received but not yet handed over still count.
      if (lastLook) return std::nullopt;
      lastLook = true;
      port_->waitForReadyRead(0);
      continue;
    }
    port_->waitForReadyRead(SliceMillis(deadline - now));
  }
}

bool QtSerialPort::WaitWritten(Micros deadline) {
  for (;;) {
    if (!StillUsable()) return false;
    const Micros now = clock_.Now();
    if (port_->bytesToWrite() > 0) {
      if (now >= deadline) return false;
      port_->waitForBytesWritten(SliceMillis(deadline - now));
      continue;
    }
    // The bytes have left the program; wait for the system's queue to go out on the line.
    int queued = 0;
    if (::ioctl(static_cast<int>(port_->handle()), TIOCOUTQ, &queued) == -1 || queued <= 0) {
      return true;
    }
    if (now >= deadline) return false;
    clock_.SleepUntil(std::min({deadline, now + queued * kByteTime, now + Micros{kSlice}}));
  }
}

bool QtSerialPort::TakeCarrierLoss() {
  const bool lost = carrierLost_;
  carrierLost_ = false;
  return lost;
}

}  // namespace zdl
