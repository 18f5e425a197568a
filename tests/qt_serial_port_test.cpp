// The QSerialPort adapter over a real pseudo-terminal pair: the test holds the master
// side (the unit), the adapter opens the slave device by its path.
#include "link/qt/qt_serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <poll.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <array>
#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/stderr_capture.h"

namespace zdl {
namespace {

using std::chrono::seconds;

class QtSerialPortTest : public ::testing::Test {
 protected:
  // The port's read notifier wants a thread with an event dispatcher, as the front ends
  // have; nothing here runs the event loop.
  QtSerialPortTest() {
    if (QCoreApplication::instance() == nullptr) {
      app_ = std::make_unique<QCoreApplication>(argc_, argv_.data());
    }
    std::array<char, 128> name{};
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_TRUE(master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
                ptsname_r(master_, name.data(), name.size()) == 0);
    slave_.name = name.data();
  }
  ~QtSerialPortTest() override { CloseMaster(); }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  Micros In(Millis ms) { return clock_.Now() + ms; }
  // The slave side has been closed by every holder: the master sees the hang-up.
  bool SlaveClosedWithin(Millis ms) {
    pollfd hangUp{master_, POLLIN, 0};
    const auto until = clock_.Now() + ms;
    while (clock_.Now() < until) {
      if (::poll(&hangUp, 1, 50) > 0 && (hangUp.revents & POLLHUP) != 0) return true;
      if ((hangUp.revents & POLLIN) != 0) {  // drain what the port wrote
        char drain[64];
        if (::read(master_, drain, sizeof drain) <= 0) return true;
      }
    }
    return false;
  }

  int argc_ = 1;
  char appName_[10] = "zdl_tests";
  std::array<char*, 2> argv_{appName_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
  int master_ = -1;
  PortSettings slave_;
  SteadyClock clock_;
  QtSerialPort port_{clock_};
};

TEST_F(QtSerialPortTest, ComNamesMapToTheFirstSixteenDevices) {
  for (const auto& [name, path] : std::initializer_list<std::pair<const char*, const char*>>{
           {"COM1", "/dev/ttyS0"}, {"COM16", "/dev/ttyS15"}, {"COM17", "COM17"}, {"COM0", "COM0"},
           {"com1", "com1"}, {"COM01", "COM01"}, {"/dev/pts/7", "/dev/pts/7"}}) {
    EXPECT_EQ(QtSerialPort::DevicePath(name), path) << name;
  }
}

TEST_F(QtSerialPortTest, ACancelEndsTheExchangeButKeepsThePortAndTheFarEndClosingEndsIt) {
  port_.RequestCancel();  // before the port is open: not lost
  ASSERT_TRUE(port_.Open(slave_));
  Micros start = clock_.Now();
  EXPECT_FALSE(port_.ReadByte(start + seconds{10}));
  EXPECT_FALSE(port_.Write("x"));
  EXPECT_FALSE(port_.WaitWritten(start + seconds{10}));
  EXPECT_TRUE(port_.IsOpen());
  port_.BeginExchange();
  std::thread ui([&] {
    std::this_thread::sleep_for(Millis{20});
    port_.RequestCancel();
  });
  EXPECT_FALSE(port_.ReadByte(start + seconds{10}));
  ui.join();
  EXPECT_LT(clock_.Now() - start, Micros{seconds{5}});
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(port_.ErrorString(), "");  // a cancel is not an error to show

  port_.BeginExchange();  // the next exchange uses the same open port
  ASSERT_EQ(::write(master_, "AB", 2), 2);
  EXPECT_EQ(port_.ReadByte(In(Millis{2000})), 'A');
  CloseMaster();
  start = clock_.Now();
  std::optional<char> c;
  do {  // what was already received may still be served; then the wait fails
    c = port_.ReadByte(start + seconds{10});
  } while (c == 'B');
  EXPECT_FALSE(c);
  EXPECT_LT(clock_.Now() - start, Micros{seconds{5}});
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_FALSE(port_.TakeCarrierLoss());
}

TEST_F(QtSerialPortTest, ACarrierDropEndsAWaitAndIsSeenWhileIdleOnlyWhenWatched) {
  std::atomic<bool> carrier{true};
  port_.SetCarrierReader([&carrier](QSerialPort&) -> std::optional<bool> { return carrier.load(); });
  PortSettings modem = slave_;
  modem.watchCarrier = true;

  ASSERT_TRUE(port_.Open(modem));
  std::thread line([&] {
    std::this_thread::sleep_for(Millis{30});
    carrier = false;
  });
  EXPECT_FALSE(port_.ReadByte(In(Millis{3000})));  // ended by the drop, not the deadline
  line.join();
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_NE(port_.ErrorString().find("carrier lost"), std::string::npos);
  EXPECT_TRUE(port_.TakeCarrierLoss());
  EXPECT_FALSE(port_.TakeCarrierLoss());

  carrier = true;
  ASSERT_TRUE(port_.Open(modem));
  port_.PollCarrier();
  EXPECT_TRUE(port_.IsOpen());
  carrier = false;
  port_.PollCarrier();  // idle: nobody reads or writes
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_TRUE(port_.TakeCarrierLoss());

  ASSERT_TRUE(port_.Open(slave_));  // a direct connection ignores the line
  port_.PollCarrier();
  EXPECT_FALSE(port_.ReadByte(In(Millis{30})));
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_FALSE(port_.TakeCarrierLoss());
}

// A worker QThread owns the port; the main thread closes or destroys it, while the worker
// waits inside a read or while it is idle in its event loop. A port still open when its
// thread ends is closed there.
TEST_F(QtSerialPortTest, ClosingOrDestroyingFromAnotherThreadIsHandedToTheOwner) {
  testing::StderrCapture stderrText;
  QThread worker;
  worker.start();
  QObject onWorker;
  onWorker.moveToThread(&worker);
  const struct {
    bool destroy;
    bool reading;
  } cases[] = {{false, true}, {false, false}, {true, true}, {true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.destroy ? "destroy" : "close") + (c.reading ? " in a read" : " idle"));
    auto port = std::make_unique<QtSerialPort>(clock_);
    std::promise<bool> opened;
    std::promise<std::optional<char>> read;
    QMetaObject::invokeMethod(&onWorker, [&, raw = port.get()] {
      const bool ok = raw->Open(slave_);
      opened.set_value(ok);
      if (ok && c.reading) read.set_value(raw->ReadByte(clock_.Now() + std::chrono::seconds{10}));
    });
    ASSERT_TRUE(opened.get_future().get());
    std::future<std::optional<char>> result = read.get_future();
    std::this_thread::sleep_for(Millis{20});
    const Micros asked = clock_.Now();
    if (c.destroy) {
      port.reset();
    } else {
      port->Close();
      EXPECT_FALSE(port->IsOpen());
    }
    EXPECT_LT(clock_.Now() - asked, Micros{Millis{1000}});
    if (c.reading) {
      ASSERT_EQ(result.wait_for(std::chrono::seconds{2}), std::future_status::ready);
      EXPECT_FALSE(result.get());
    }
    EXPECT_TRUE(SlaveClosedWithin(Millis{2000}));  // closed on the worker
  }
  bool opened = false;
  QMetaObject::invokeMethod(&onWorker, [&] { opened = port_.Open(slave_); }, Qt::BlockingQueuedConnection);
  EXPECT_TRUE(opened);
  worker.quit();
  worker.wait();
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_TRUE(SlaveClosedWithin(Millis{2000}));
  EXPECT_EQ(stderrText.Text(), "");
}

}  // namespace
}  // namespace zdl
